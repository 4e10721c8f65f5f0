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

} // namespace ferrolyt::particles
