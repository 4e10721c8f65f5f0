#include "ViewCamera.h"
#include "ViewportFit.h"

#include <gtest/gtest.h>

#include <cmath>

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

} // namespace

TEST(CameraHome, StartsAtTheHomePosition)
{
    TCamera cam;
    EXPECT_EQ(cam.CameraAzimuth, 0);
    EXPECT_EQ(cam.CameraSlope, 0);
    EXPECT_DOUBLE_EQ(cam.CameraEye[2], 14);
    // The origin lies 14 units in front of the eye.
    const auto p = Apply(cam.Matrix(), 0, 0, 0);
    EXPECT_NEAR(p[2], -14, 1e-6);
}

TEST(CameraHome, HomeUndoesAnyMoves)
{
    TCamera cam;
    const TMatrix4 home = cam.Matrix();
    cam.Key(TCameraKey::Left, TCameraModifier::None);
    cam.Key(TCameraKey::PageUp, TCameraModifier::None);
    cam.Key(TCameraKey::Up, TCameraModifier::Shift);
    cam.Wheel(120, false);
    cam.Key(TCameraKey::Home, TCameraModifier::None);
    ExpectSameMatrix(cam.Matrix(), home, 0);
    EXPECT_EQ(cam.CameraAzimuth, 0);
    EXPECT_EQ(cam.CameraSlope, 0);
}

TEST(CameraHome, ShiftHomeClearsOnlyTheAzimuth)
{
    TCamera cam;
    for (int k = 0; k < 5; ++k)
        cam.Key(TCameraKey::Right, TCameraModifier::None);
    EXPECT_EQ(cam.CameraAzimuth, 10);
    cam.Key(TCameraKey::Home, TCameraModifier::Shift);
    EXPECT_EQ(cam.CameraAzimuth, 0);
    ExpectSameMatrix(cam.Matrix(), TCamera().Matrix());
}

TEST(CameraHome, RebuildMatchesTheKeysForPureTurns)
{
    TCamera keys;
    for (int k = 0; k < 7; ++k)
        keys.Key(TCameraKey::Right, TCameraModifier::None);
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
    for (int k = 0; k < 90; ++k)
        cam.Key(TCameraKey::Right, TCameraModifier::None);
    EXPECT_EQ(cam.CameraAzimuth, 180);
    cam.Key(TCameraKey::Right, TCameraModifier::None);
    EXPECT_EQ(cam.CameraAzimuth, -178);
    TCamera back;
    for (int k = 0; k < 90; ++k)
        back.Key(TCameraKey::Left, TCameraModifier::None);
    EXPECT_EQ(back.CameraAzimuth, 180);  // -180 is shown as 180
}

TEST(CameraAngles, SlopeWrapsLikeTheAzimuth)
{
    TCamera cam;
    for (int k = 0; k < 91; ++k)
        cam.Key(TCameraKey::PageUp, TCameraModifier::None);
    EXPECT_EQ(cam.CameraSlope, -178);
}

struct InversePair {
    TCameraKey key, inverse;
    TCameraModifier modifier;
};

class CameraInverse : public ::testing::TestWithParam<InversePair> {};

TEST_P(CameraInverse, AMoveAndItsInverseRestoreTheMatrix)
{
    TCamera cam;
    // Start away from home so that the axes in use are not trivial.
    cam.Key(TCameraKey::Right, TCameraModifier::None);
    cam.Key(TCameraKey::Right, TCameraModifier::None);
    cam.Key(TCameraKey::PageUp, TCameraModifier::None);
    cam.Key(TCameraKey::Up, TCameraModifier::None);
    const TMatrix4 before = cam.Matrix();
    const auto eye = cam.CameraEye;
    const auto azi = cam.CameraAzimuth, slope = cam.CameraSlope;
    const auto [key, inverse, modifier] = GetParam();
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

INSTANTIATE_TEST_SUITE_P(
    Keys, CameraInverse,
    ::testing::Values(InversePair{TCameraKey::Left, TCameraKey::Right, TCameraModifier::None},
                      InversePair{TCameraKey::Left, TCameraKey::Right, TCameraModifier::Shift},
                      InversePair{TCameraKey::Left, TCameraKey::Right, TCameraModifier::Alt},
                      InversePair{TCameraKey::Up, TCameraKey::Down, TCameraModifier::None},
                      InversePair{TCameraKey::Up, TCameraKey::Down, TCameraModifier::Shift},
                      InversePair{TCameraKey::Up, TCameraKey::Down, TCameraModifier::Alt},
                      InversePair{TCameraKey::PageUp, TCameraKey::PageDown, TCameraModifier::None}));

TEST(CameraMoves, OrbitKeepsTheOriginInFrontOfTheEye)
{
    TCamera cam;
    for (int k = 0; k < 20; ++k)
        cam.Key(TCameraKey::Left, TCameraModifier::Alt);
    EXPECT_EQ(cam.CameraAzimuth, 40);
    const auto p = Apply(cam.Matrix(), 0, 0, 0);
    EXPECT_NEAR(p[0], 0, 1e-4);
    EXPECT_NEAR(p[1], 0, 1e-4);
    EXPECT_NEAR(p[2], -14, 1e-4);
    for (int k = 0; k < 10; ++k)
        cam.Key(TCameraKey::Up, TCameraModifier::Alt);
    const auto q = Apply(cam.Matrix(), 0, 0, 0);
    EXPECT_NEAR(q[0], 0, 1e-3);
    EXPECT_NEAR(q[1], 0, 1e-3);
    EXPECT_NEAR(q[2], -14, 1e-3);
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
