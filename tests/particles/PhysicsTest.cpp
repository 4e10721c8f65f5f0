#include "ParticleModel.h"
#include "ParticleStats.h"
#include "ParticleTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <tuple>

using namespace ferrolyt::particles;
using ferrolyt::particles::testing::Model;
using ferrolyt::particles::testing::OneType;
using ferrolyt::particles::testing::SoftGas;

namespace {

double Energy(double r)
{
    double u, f;
    SoftPotential(r, u, f);
    return u;
}

double Force(double r)
{
    double u, f;
    SoftPotential(r, u, f);
    return f;
}

double KineticOf(const ParticleModel& m)
{
    double k = 0;
    for (int i = 0; i < m.NBalls; ++i) {
        const TBall& b = m.Balls[i];
        k += 0.5 * b.TypeData.Mass * (b.Vh[0] * b.Vh[0] + b.Vh[1] * b.Vh[1] + b.Vh[2] * b.Vh[2]);
    }
    return k;
}

// Sets the model up, lets it settle, and gathers fresh statistics.
void Measure(ParticleModel& m, int settle, int frames)
{
    ASSERT_TRUE(m.SetupParticles());
    for (int f = 0; f < settle + frames; ++f) {
        if (f == settle)
            m.ResetStatistics();
        ASSERT_TRUE(m.DoSteps()) << "frame " << f;
    }
}

// Two particles of radius 0.5 on the x axis moving towards each other.
void HeadOn(Model& m, double m1, double m2, double v1, double v2)
{
    OneType(*m, 1, 0.5, 20);
    m->BallTypes[2] = m->BallTypes[1];
    m->BallTypes[1].Mass = m1;
    m->BallTypes[2].Mass = m2;
    ASSERT_TRUE(m->SetupParticles());
    for (int k = 0; k < 2; ++k) {
        TBall& b = m->Balls[k];
        std::tie(b.X, b.Y, b.Z) = std::tuple(k ? 2.0 : -2.0, 0.0, 0.0);
        std::tie(b.Vh[0], b.Vh[1], b.Vh[2]) = std::tuple(k ? v2 : v1, 0.0, 0.0);
    }
}

} // namespace

TEST(Physics, ForceIsMinusTheDerivativeOfThePotential)
{
    for (double r : {0.9, 1.3, 1.6, 2.2, 3.0, 4.5, 7.0, 11.0}) {
        const double h = 1e-5 * r, derivative = (Energy(r + h) - Energy(r - h)) / (2 * h);
        EXPECT_NEAR(Force(r), -derivative, 1e-7 * std::max(1.0, std::fabs(Force(r)))) << "r=" << r;
    }
    // Repulsive at long range, attractive inside the barrier near r = 1.6.
    EXPECT_GT(Force(3.0), 0);
    EXPECT_LT(Force(1.2), 0);
}

TEST(Physics, PairForcesAddUpToZeroAndPerTypeVirialsToTheTotal)
{
    for (bool periodic : {false, true})
        for (auto kernel : {ParticleModel::Kernel::Reference, ParticleModel::Kernel::Fast}) {
            SCOPED_TRACE(::testing::Message() << "periodic " << periodic << " kernel " << int(kernel));
            Model m;
            SoftGas(*m, TEnsemble::NVK);
            m->BoxL = {6, 6, 6};
            m->Periodic = periodic;
            m->SetKernel(kernel);
            ASSERT_TRUE(m->SetupParticles());
            ASSERT_TRUE(m->DoSteps());
            double sum[3] = {0, 0, 0}, size = 0;
            for (int i = 0; i < m->NBalls; ++i)
                for (int k = 0; k < 3; ++k) {
                    sum[k] += m->Balls[i].F[k];
                    size += std::fabs(m->Balls[i].F[k]);
                }
            ASSERT_GT(size, 0);
            for (double s : sum)
                EXPECT_LT(std::fabs(s), 1e-12 * size);
            for (int f = 0; f < 19; ++f)
                ASSERT_TRUE(m->DoSteps());
            const double virials = m->BallTypes[1].SumVir + m->BallTypes[2].SumVir + m->BallTypes[3].SumVir;
            ASSERT_NE(m->VirialSum, 0);
            EXPECT_NEAR(virials, m->VirialSum, 1e-12 * std::fabs(m->VirialSum));
        }
}

TEST(Physics, HardSphereCollisionsConserveMomentumAndEnergy)
{
    for (bool equal : {true, false}) {
        SCOPED_TRACE(equal ? "equal spheres head on" : "glancing, masses 1 and 3");
        const double m2 = equal ? 1 : 3, v1 = equal ? 0.2 : 0.15, v2 = equal ? -0.1 : -0.05;
        Model m;
        HeadOn(m, 1, m2, v1, v2);
        if (!equal)
            m->Balls[1].Y = 0.4;  // off centre: the spheres glance
        const double e0 = KineticOf(*m);
        for (int f = 0; f < (equal ? 40 : 60); ++f)
            ASSERT_TRUE(m->DoSteps());
        const TBall &a = m->Balls[0], &b = m->Balls[1];
        EXPECT_NEAR(a.Vh[0] + b.Vh[0] * m2, v1 + m2 * v2, 1e-14);
        EXPECT_NEAR(a.Vh[1] + b.Vh[1] * m2, 0, 1e-14);
        EXPECT_NEAR(KineticOf(*m), e0, 1e-14);
        if (equal) {  // they exchange their velocities and part again
            EXPECT_NEAR(a.Vh[0], v2, 1e-14);
            EXPECT_NEAR(b.Vh[0], v1, 1e-14);
            EXPECT_LT(a.X, b.X - 1.0);
        } else {
            EXPECT_NE(a.Vh[1], 0);  // they did meet
        }
    }
}

TEST(Physics, HardSphereGasIsIdeal)
{
    // A dilute hard-sphere gas: PV/NkT = 1, Cv/k = 3/2 from the kinetic
    // temperature's fluctuation, and mu = 3/2 ln 2 + 1 (about 2.04) once the
    // speeds have become Maxwellian.
    Model m;
    OneType(*m, 125, 0.35, 4);
    m->SysT = 0.01;
    ASSERT_NO_FATAL_FAILURE(Measure(*m, 300, 600));
    const TStatistics s = ComputeStatistics(*m);
    EXPECT_NEAR(s.Pressure * m->BoxVolume / (m->NBalls * m->TargetKT), 1.0, 0.01);
    EXPECT_NEAR(s.HeatCapacity, 1.5, 1e-6);
    EXPECT_NEAR(s.Mu[1], 1.5 * std::log(2.0) + 1, 0.06);
    EXPECT_NEAR(m->TargetKT, 0.01, 1e-12);  // collisions keep the kinetic energy
}

TEST(Physics, IsokineticEnsembleHoldsTheKineticEnergyEveryFrame)
{
    Model m;
    SoftGas(*m, TEnsemble::NVK);
    ASSERT_TRUE(m->SetupParticles());
    for (int f = 0; f < 50; ++f) {
        ASSERT_TRUE(m->DoSteps());
        ASSERT_NEAR(m->FrameK, 1.5 * m->NBalls * 0.005, 1e-14) << "frame " << f;
        ASSERT_EQ(m->TargetKT, 0.005);
    }
}

TEST(Physics, ThermostatHoldsTheMeanTemperature)
{
    Model m;
    SoftGas(*m, TEnsemble::NVT);
    ASSERT_NO_FATAL_FAILURE(Measure(*m, 400, 2500));
    EXPECT_NEAR(m->TargetKT / 0.005, 1.0, 0.02);
    EXPECT_NE(m->Xi, 0);
}

TEST(Physics, MicrocanonicalRescaleHoldsTheEnergy)
{
    Model m;
    SoftGas(*m, TEnsemble::NVE);
    for (int t = 1; t <= 3; ++t)
        m->BallTypes[t].Radius = 3;
    m->BallTypes[1].N = 6;
    m->BallTypes[2].N = 4;
    m->SysE = 0.5;
    ASSERT_TRUE(m->SetupParticles());
    for (int f = 0; f < 300; ++f) {
        ASSERT_TRUE(m->DoSteps());
        ASSERT_LT(m->FrameU, 0.5);
        ASSERT_NEAR(m->TotalEnergy, 0.5, 1e-13) << "frame " << f;
        ASSERT_NEAR(m->FrameK + m->FrameU, 0.5, 1e-13);
    }
}

TEST(Physics, MicrocanonicalWithPotentialAboveTheEnergyStopsTheParticles)
{
    Model m;
    SoftGas(*m, TEnsemble::NVE);
    m->SysE = 0;  // every start has U > 0 = E
    ASSERT_TRUE(m->SetupParticles());
    ASSERT_TRUE(m->DoSteps());
    EXPECT_EQ(m->FrameK, 0);
    for (int i = 0; i < m->NBalls; ++i)
        EXPECT_EQ(m->Balls[i].Vh[0], 0);
}

TEST(Physics, DiluteSoftGasPressureFollowsTheSecondVirialCoefficient)
{
    // Periodic NVK gas at kT 0.005. The dynamics sees the potential shifted
    // to 0 at the cut-off 4 sigma (no force acts at the jump), and the
    // barrier near r = 1.6 is never crossed, so the second virial
    // coefficient is B2 = 2 pi [ rb^3/3 + integral from rb to rc of
    // (1 - exp(-(u(r) - u(rc))/kT)) r^2 dr ] and PV/NkT = 1 + B2 N/V.
    const double kT = 0.005, sigma = 2.6, rc = 4 * sigma;
    double rb = 1.6;  // where f changes sign: the top of the barrier
    for (int k = 0; k < 60; ++k)
        rb -= Force(rb) / ((Force(rb + 1e-6) - Force(rb)) / 1e-6);
    double integral = rb * rb * rb / 3;
    const int steps = 20000;
    const double h = (rc - rb) / steps;
    for (int k = 0; k < steps; ++k) {
        const double r = rb + (k + 0.5) * h;
        integral += (1 - std::exp(-(Energy(r) - Energy(rc)) / kT)) * r * r * h;
    }
    const double B2 = 2 * std::numbers::pi * integral;

    Model m;
    OneType(*m, 64, 1.3, 45);
    m->Periodic = true;
    m->Ensemble = TEnsemble::NVK;
    m->SysT = kT;
    m->Dt = 0.2;
    m->StepsPerFrame = 5;
    ASSERT_NO_FATAL_FAILURE(Measure(*m, 300, 3000));
    const double density = m->NBalls / m->BoxVolume;
    ASSERT_GT(B2 * density, 0.05);
    ASSERT_LT(B2 * density, 0.2);
    const TStatistics s = ComputeStatistics(*m);
    const double Z = s.Pressure * m->BoxVolume / (m->NBalls * kT);
    // Within a tenth of the correction (this run lands within 2 %; the
    // third virial term is a few per cent of it at this density).
    EXPECT_NEAR(Z - 1, B2 * density, 0.1 * B2 * density) << "B2 = " << B2;
}

TEST(Physics, WallsTurnTheVelocityInwards)
{
    Model m;
    OneType(*m, 1, 0.5, 3);
    ASSERT_TRUE(m->SetupParticles());
    TBall& b = m->Balls[0];
    b.X = 2.5 - 1e-7;  // touching the wall at +3 within 1e-6
    b.Vh[0] = -0.1;    // already moving inwards
    m->CollideWithWalls(b);
    EXPECT_EQ(b.Vh[0], -0.1);
    b.Vh[0] = 0.1;
    m->CollideWithWalls(b);
    EXPECT_EQ(b.Vh[0], -0.1);
    m->GravityOn = true;
    m->ApplyGravitySetting();
    b.Vh[0] = 0.1;
    b.Vh[1] = 0.2;
    m->CollideWithWalls(b);
    EXPECT_DOUBLE_EQ(b.Vh[0], -0.098);
    EXPECT_DOUBLE_EQ(b.Vh[1], 0.2 * 0.98);
}
