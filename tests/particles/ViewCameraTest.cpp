#include "SphereDetail.h"
#include "ViewCamera.h"
#include "ViewportFit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

using namespace ferrolyt::particles;

namespace {

void ExpectSameMatrix(const TMatrix4& a, const TMatrix4& b, float tol = 1e-4f)
{
    for (int k = 0; k < 16; ++k)
        EXPECT_NEAR(a[k], b[k], tol) << "element " << k;
}

// Where the camera transform sends a world point (w = 1).
std::array<double, 3> Apply(const TMatrix4& m, double x, double y, double z)
{
    return {m[0] * x + m[4] * y + m[8] * z + m[12], m[1] * x + m[5] * y + m[9] * z + m[13],
            m[2] * x + m[6] * y + m[10] * z + m[14]};
}

void Press(TCamera& cam, TCameraKey key, int times = 1, TCameraModifier modifier = TCameraModifier::None)
{
    for (int k = 0; k < times; ++k)
        cam.Key(key, modifier);
}

void ExpectOriginAhead(const TCamera& cam, double tol)
{
    const auto p = Apply(cam.Matrix(), 0, 0, 0);
    EXPECT_NEAR(p[0], 0, tol);
    EXPECT_NEAR(p[1], 0, tol);
    EXPECT_NEAR(p[2], -14, tol);
}

} // namespace

TEST(CameraHome, StartsAtHomeAndHomeUndoesAnyMoves)
{
    TCamera cam;
    EXPECT_DOUBLE_EQ(cam.CameraEye[2], 14);
    ExpectOriginAhead(cam, 1e-6);
    const TMatrix4 home = cam.Matrix();
    Press(cam, TCameraKey::Left);
    Press(cam, TCameraKey::PageUp);
    Press(cam, TCameraKey::Up, 1, TCameraModifier::Shift);
    cam.Wheel(120, false);
    Press(cam, TCameraKey::Home);
    ExpectSameMatrix(cam.Matrix(), home, 0);
    EXPECT_EQ(cam.CameraAzimuth, 0);
    EXPECT_EQ(cam.CameraSlope, 0);
}

TEST(CameraHome, ShiftHomeClearsOnlyTheAzimuth)
{
    TCamera cam;
    Press(cam, TCameraKey::Right, 5);
    EXPECT_EQ(cam.CameraAzimuth, 10);
    Press(cam, TCameraKey::Home, 1, TCameraModifier::Shift);
    EXPECT_EQ(cam.CameraAzimuth, 0);
    ExpectSameMatrix(cam.Matrix(), TCamera().Matrix());
}

TEST(CameraHome, RebuildMatchesTheKeysForPureTurns)
{
    TCamera keys;
    Press(keys, TCameraKey::Right, 7);
    TCamera rebuilt;
    rebuilt.CameraAzimuth = keys.CameraAzimuth;
    rebuilt.Rebuild();
    ExpectSameMatrix(keys.Matrix(), rebuilt.Matrix());
}

TEST(CameraAngles, AzimuthWrapsAtPlusMinus180)
{
    EXPECT_EQ(WrapAngle(182), -178);
    EXPECT_EQ(WrapAngle(-180), 180);
    EXPECT_EQ(WrapAngle(180), 180);
    EXPECT_EQ(WrapAngle(-179), -179);
    TCamera cam;
    Press(cam, TCameraKey::Right, 90);
    EXPECT_EQ(cam.CameraAzimuth, 180);
    Press(cam, TCameraKey::Right);
    EXPECT_EQ(cam.CameraAzimuth, -178);
    TCamera back;
    Press(back, TCameraKey::Left, 90);
    EXPECT_EQ(back.CameraAzimuth, 180);  // -180 is shown as 180
    // The slope wraps the same way.
    TCamera slope;
    Press(slope, TCameraKey::PageUp, 91);
    EXPECT_EQ(slope.CameraSlope, -178);
}

TEST(CameraInverse, AMoveAndItsInverseRestoreTheMatrix)
{
    using enum TCameraKey;
    using enum TCameraModifier;
    const std::tuple<TCameraKey, TCameraKey, TCameraModifier> pairs[] = {
        {Left, Right, None}, {Left, Right, Shift}, {Left, Right, Alt},      {Up, Down, None},
        {Up, Down, Shift},   {Up, Down, Alt},      {PageUp, PageDown, None}};
    for (const auto& [key, inverse, modifier] : pairs) {
        SCOPED_TRACE(::testing::Message() << "key " << int(key) << " modifier " << int(modifier));
        TCamera cam;
        // Start away from home so that the axes in use are not trivial.
        Press(cam, Right, 2);
        Press(cam, PageUp);
        Press(cam, Up);
        const TMatrix4 before = cam.Matrix();
        const auto eye = cam.CameraEye;
        const auto azi = cam.CameraAzimuth, slope = cam.CameraSlope;
        cam.Key(key, modifier);
        bool changed = false;
        for (int k = 0; k < 16; ++k)
            changed = changed || std::fabs(cam.Matrix()[k] - before[k]) > 1e-3f;
        EXPECT_TRUE(changed);
        cam.Key(inverse, modifier);
        ExpectSameMatrix(cam.Matrix(), before);
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(cam.CameraEye[k], eye[k], 1e-9);
        EXPECT_EQ(cam.CameraAzimuth, azi);
        EXPECT_EQ(cam.CameraSlope, slope);
    }
}

TEST(CameraMoves, OrbitKeepsTheOriginInFrontOfTheEye)
{
    TCamera cam;
    Press(cam, TCameraKey::Left, 20, TCameraModifier::Alt);
    EXPECT_EQ(cam.CameraAzimuth, 40);
    ExpectOriginAhead(cam, 1e-4);
    Press(cam, TCameraKey::Up, 10, TCameraModifier::Alt);
    ExpectOriginAhead(cam, 1e-3);
}

TEST(CameraMoves, WheelMovesAlongTheViewAndBack)
{
    TCamera cam;
    const TMatrix4 before = cam.Matrix();
    cam.Wheel(120, false);
    EXPECT_NEAR(cam.CameraEye[2], 13.5, 1e-12);  // forward is -Z at azimuth 0
    cam.Wheel(-120, false);
    ExpectSameMatrix(cam.Matrix(), before);
    cam.Wheel(240, true);
    EXPECT_NEAR(cam.CameraEye[1], 0.5, 1e-12);
    cam.Wheel(0, true);
    EXPECT_NEAR(cam.CameraEye[1], 0.5, 1e-12);
}

TEST(ViewportLetterbox, KeepsTheAspectAndCentres)
{
    // A wider window than the view: bars of 40 below, area 800 x 400.
    const TViewportRect wide = FitViewport(800, 440, 40, 1.0f);
    EXPECT_EQ(wide, (TViewportRect{200, 40, 400, 400}));
    // A taller window: width limits.
    const TViewportRect tall = FitViewport(400, 840, 40, 2.0f);
    EXPECT_EQ(tall, (TViewportRect{0, 40 + 300, 400, 200}));
    // Exactly the aspect: fills the area.
    EXPECT_EQ(FitViewport(600, 340, 40, 2.0f), (TViewportRect{0, 40, 600, 300}));
}

TEST(ViewportLetterbox, EmptyAreaNeverDivides)
{
    EXPECT_EQ(FitViewport(0, 0, 40, 1.5f), (TViewportRect{0, 40, 0, 0}));
    EXPECT_EQ(FitViewport(300, 30, 40, 1.5f), (TViewportRect{0, 40, 300, 0}));
    EXPECT_EQ(FitViewport(-5, 100, 0, 1.5f), (TViewportRect{0, 0, 0, 100}));
    EXPECT_EQ(FitViewport(300, 200, 0, 0.0f), (TViewportRect{0, 0, 300, 200}));
    EXPECT_EQ(FitViewport(300, 200, 0, std::nanf("")), (TViewportRect{0, 0, 300, 200}));
    EXPECT_FLOAT_EQ(ViewAspectFor(300, 40, 40, 1.25f), 1.25f);
    EXPECT_FLOAT_EQ(ViewAspectFor(0, 400, 40, 1.25f), 1.25f);
    EXPECT_FLOAT_EQ(ViewAspectFor(720, 400, 40), 2.0f);
}

TEST(SphereDetail, FacetsFollowTheSizeOnTheScreen)
{
    // Large spheres keep the full 24 x 24; smaller ones get the coarsest
    // facets whose silhouette stays within half a pixel of the circle.
    const std::array<std::pair<double, int>, 9> cases = {
        {{200, 24}, {60, 24}, {50, 24}, {40, 20}, {30, 18}, {20, 16}, {10, 10}, {3, 8}, {INFINITY, 24}}};
    for (const auto& [pixels, slices] : cases) {
        const int level = SphereDetailLevel(pixels);
        const TSphereFacets f = SphereFacets[level];
        EXPECT_EQ(f.Slices, slices) << pixels << " px";
        if (pixels <= 58) {
            EXPECT_LE(SilhouetteError(f, pixels), 0.5) << pixels << " px";
        }
        if (level + 1 < int(SphereFacets.size())) {
            EXPECT_GT(SilhouetteError(SphereFacets[level + 1], pixels), 0.5) << pixels << " px: a coarser level would do";
        }
    }
    EXPECT_EQ(SphereFacets[SphereDetailLevel(60)].Stacks, 24);  // up close: the sphere as it always was
    EXPECT_EQ(SphereFacets[SphereDetailLevel(50)].Stacks, 12);
    EXPECT_EQ(SphereFacets[SphereDetailLevel(NAN)].Stacks, 24);
    // The silhouette of n slices is a regular polygon: its sagitta r (1 - cos(pi/n)).
    EXPECT_NEAR(SilhouetteError({24, 24}, 100), 100 * (1 - std::cos(M_PI / 24)), 1e-12);
    EXPECT_NEAR(SilhouetteError({8, 4}, 100), 100 * (1 - std::cos(M_PI / 8)), 1e-12);
}

TEST(SphereDetail, ProjectedRadiusFromTheCamera)
{
    // Perspective of 30 degrees over 720 pixels: a radius r at distance d
    // spans r * 360 / (d tan 15 deg) pixels.
    TCamera cam;
    const double atStart = ProjectedRadius(cam.Matrix(), 0, 0, 0, 0.5, 720, 30);
    EXPECT_NEAR(atStart, 0.5 * 360 / (14 * std::tan(M_PI / 12)), 1e-3);
    EXPECT_NEAR(ProjectedRadius(cam.Matrix(), 3, -2, 7, 0.5, 720, 30), 2 * atStart, 1e-3);
    EXPECT_TRUE(std::isinf(ProjectedRadius(cam.Matrix(), 0, 0, 20, 0.5, 720, 30)));  // behind the eye
    Press(cam, TCameraKey::Up, 4);  // two units closer
    EXPECT_NEAR(ProjectedRadius(cam.Matrix(), 0, 0, 0, 0.5, 720, 30), atStart * 14 / 12, 1e-3);
}

TEST(SphereDetail, SpheresOutsideTheViewAreLeftOut)
{
    // From the start position (eye at z = 14 looking along -z), 30 degrees
    // vertically, twice as wide: the side planes at |y| = 0.268 d and
    // |x| = 0.536 d at depth d.
    TCamera cam;
    auto in = [&](double x, double y, double z, double r) {
        return SphereInView(cam.Matrix(), x, y, z, r, 30, 2, 1, 50);
    };
    EXPECT_TRUE(in(0, 0, 0, 0.5));
    EXPECT_TRUE(in(0, 3.9, 0, 0.5));   // 14 tan 15 deg = 3.75 at the centre's depth: it reaches in
    EXPECT_FALSE(in(0, 4.5, 0, 0.5));  // wholly above
    EXPECT_TRUE(in(7.9, 0, 0, 0.5));
    EXPECT_FALSE(in(8.5, 0, 0, 0.5));  // wholly to the right of 7.5
    EXPECT_FALSE(in(0, 0, 13.6, 0.3)); // in front of the near plane
    EXPECT_TRUE(in(0, 0, 13.6, 0.7));
    EXPECT_FALSE(in(0, 0, -37, 0.5));  // beyond the far plane
    EXPECT_FALSE(in(0, 0, 20, 0.5));   // behind the eye
    EXPECT_TRUE(in(NAN, 0, 0, 0.5));   // drawn rather than lost
}
