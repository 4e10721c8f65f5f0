#include "SphereDetail.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ferrolyt::particles {

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr double SilhouettePixels = 0.5;

} // namespace

double SilhouetteError(const TSphereFacets& facets, double radiusPixels)
{
    const double step = std::max(2 * Pi / facets.Slices, Pi / facets.Stacks);
    return radiusPixels * (1 - std::cos(step / 2));
}

int SphereDetailLevel(double radiusPixels)
{
    if (!std::isfinite(radiusPixels))
        return 0;
    int level = 0;
    for (int k = 1; k < int(SphereFacets.size()); ++k)
        if (SilhouetteError(SphereFacets[k], radiusPixels) <= SilhouettePixels)
            level = k;
    return level;
}

double ProjectedRadius(const TMatrix4& camera, double x, double y, double z, double radius, int viewportHeight,
                       double fovDegrees)
{
    // Depth in front of the eye: minus the eye-space z (column-major matrix).
    const double depth = -(camera[2] * x + camera[6] * y + camera[10] * z + camera[14]);
    if (!(depth > 0))
        return std::numeric_limits<double>::infinity();
    return radius * (viewportHeight / 2.0) / (depth * std::tan(fovDegrees * Pi / 360.0));
}

bool SphereInView(const TMatrix4& camera, double x, double y, double z, double radius, double fovDegrees,
                  double aspect, double nearPlane, double farPlane)
{
    const double ex = camera[0] * x + camera[4] * y + camera[8] * z + camera[12];
    const double ey = camera[1] * x + camera[5] * y + camera[9] * z + camera[13];
    const double depth = -(camera[2] * x + camera[6] * y + camera[10] * z + camera[14]);
    if (depth + radius < nearPlane || depth - radius > farPlane)
        return false;
    // The side planes pass through the eye; a sphere is outside one when
    // its centre lies farther than its radius beyond it.
    const double ty = std::tan(fovDegrees * Pi / 360.0), tx = ty * aspect;
    auto beyond = [&](double across, double t) { return (std::fabs(across) - t * depth) / std::sqrt(1 + t * t) > radius; };
    // NaN from a broken camera or position draws the sphere rather than hide it.
    return !(beyond(ex, tx) || beyond(ey, ty));
}

} // namespace ferrolyt::particles
