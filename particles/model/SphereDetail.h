#pragma once
// How finely the 3D view draws a sphere: as many facets as its size on the
// screen needs. Slices step 360/n degrees around the axis and stacks 180/m
// along it; the silhouette, seen from any side, departs from the true circle
// by up to r (1 - cos(a / 2)) for a projected radius of r pixels, with a the
// larger step. The coarsest level that keeps this within half a pixel looks
// the same as the finest; spheres larger than 58 pixels, whose finest
// silhouette already departs by more, are drawn at the finest.

#include "ViewCamera.h"

#include <array>

namespace ferrolyt::particles {

struct TSphereFacets {
    int Slices, Stacks;
};

// The detail levels, finest first: the finest is the sphere of 24 slices and
// 24 stacks; the others take half as many stacks as slices (equal steps).
// Most spheres span tens of pixels, where each step of two slices saves a
// sixth of the vertices or more.
inline constexpr std::array<TSphereFacets, 9> SphereFacets = {
    {{24, 24}, {24, 12}, {20, 10}, {18, 9}, {16, 8}, {14, 7}, {12, 6}, {10, 5}, {8, 4}}};

// The level (index into SphereFacets) for a projected radius in pixels;
// the finest for anything not finite.
int SphereDetailLevel(double radiusPixels);

// How far, in pixels, the silhouette of a sphere so drawn departs from the
// circle at most.
double SilhouetteError(const TSphereFacets& facets, double radiusPixels);

// The projected radius in pixels of a sphere of the given radius at (x, y,
// z) seen through the camera transform with a perspective of fovDegrees
// vertically over viewportHeight pixels; infinite when its centre is not in
// front of the eye.
double ProjectedRadius(const TMatrix4& camera, double x, double y, double z, double radius, int viewportHeight,
                       double fovDegrees);

// Whether any of a sphere lies inside the view: the perspective of
// fovDegrees vertically with the given width / height, between the near
// and far planes. A sphere wholly outside need not be drawn.
bool SphereInView(const TMatrix4& camera, double x, double y, double z, double radius, double fovDegrees,
                  double aspect, double nearPlane, double farPlane);

} // namespace ferrolyt::particles
