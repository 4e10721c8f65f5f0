#include "ParticleBatch.h"
#include "ParticleFiles.h"
#include "ParticleModel.h"
#include "ParticleStats.h"
#include "ParticleTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

using namespace ferrolyt::particles;
using ferrolyt::particles::testing::ControlDefaults;
using ferrolyt::particles::testing::Model;
using ferrolyt::particles::testing::OneType;
using ferrolyt::particles::testing::SoftGas;

namespace {

bool StateFinite(const ParticleModel& m)
{
    for (int i = 0; i < m.NBalls; ++i) {
        const TBall& b = m.Balls[i];
        const double v[] = {b.X, b.Y, b.Z, b.V[0], b.V[1], b.V[2], b.Vh[0], b.Vh[1], b.Vh[2], b.F[0], b.U, b.K};
        for (double x : v)
            if (!std::isfinite(x))
                return false;
    }
    return std::isfinite(m.TotalEnergy) && std::isfinite(m.SumE) && std::isfinite(m.VirialSum);
}

// At (x, y, z), at rest, with no force on it.
void PlaceAtRest(TBall& b, double x, double y = 0, double z = 0)
{
    std::tie(b.X, b.Y, b.Z) = std::tie(x, y, z);
    for (int k = 0; k < 3; ++k)
        b.V[k] = b.Vh[k] = b.F[k] = 0;
}

ParticleParams GoodParams()
{
    ParticleParams p;
    p.N = {20, 10, 0};
    p.Eps = {{{"1", "", ""}, {"1", "1", ""}, {"1", "1", "1"}}};
    p.SysT = "0.01";
    return p;
}

} // namespace

TEST(Guards, TwoParticlesAtOnePointGiveNoNaN)
{
    // Hard spheres run on; the soft potential pulls the two together and the
    // run stops at once, in a finite state.
    for (auto kernel : {ParticleModel::Kernel::Reference, ParticleModel::Kernel::Fast})
        for (TEnsemble e : {TEnsemble::NoI, TEnsemble::NVK}) {
            Model m;
            SoftGas(*m, e);
            m->SetKernel(kernel);
            ASSERT_TRUE(m->SetupParticles());
            ASSERT_TRUE(m->DoSteps());
            TBall &a = m->Balls[0], &b = m->Balls[1];
            std::tie(b.X, b.Y, b.Z) = std::tie(a.X, a.Y, a.Z);
            EXPECT_EQ(m->DoSteps(), e == TEnsemble::NoI);
            EXPECT_TRUE(StateFinite(*m));
            EXPECT_EQ(m->Halted, e != TEnsemble::NoI);
        }
}

TEST(Guards, SoftRunStopsAsSoonAsItLeavesTheSaneRange)
{
    // The soft potential has no core: inside its barrier (r = 1.6, u = 0.195)
    // a pair falls together and heats the rest without limit.
    const TBarrier barrier = SoftBarrier();
    ASSERT_NEAR(barrier.R, 1.6, 0.01);
    ASSERT_NEAR(barrier.Height, 0.195, 0.001);
    for (bool hot : {false, true}) {
        SCOPED_TRACE(hot ? "kT above the barrier" : "a pair inside the barrier");
        Model m;
        SoftGas(*m, TEnsemble::NVK);
        ASSERT_TRUE(m->SetupParticles());
        ASSERT_TRUE(m->DoSteps());
        if (hot) {
            m->TargetKT = 0.25;  // as after "+" pressed often enough
        } else {
            PlaceAtRest(m->Balls[0], 0);
            PlaceAtRest(m->Balls[1], 1.3);
        }
        int frames = 0;
        while (frames < 100 && m->DoSteps())
            ++frames;
        EXPECT_LE(frames, 1);
        EXPECT_TRUE(m->Halted);
        ASSERT_EQ(m.messages.size(), 1u);
        EXPECT_NE(m.messages[0].find(hot ? "Кінетична температура" : "бар'єр"), std::string::npos) << m.messages[0];
        EXPECT_TRUE(StateFinite(*m));
        for (int i = 0; i < m->NBalls; ++i)  // stopped before anything ran away
            EXPECT_LT(std::hypot(m->Balls[i].Vh[0], m->Balls[i].Vh[1], m->Balls[i].Vh[2]), 3) << i;
    }
}

TEST(Guards, HardSphereRunSwitchesToTheSoftPotentialOnlyOutsideItsBarrier)
{
    // The control window's defaults (radius 0.5): spheres in contact are 1
    // apart, inside the barrier; the switch is refused and the run goes on.
    Model m;
    std::string error;
    ASSERT_TRUE(ReadModelParams(ControlDefaults(), *m, &error)) << error;
    ASSERT_TRUE(m->SetupParticles());
    ASSERT_TRUE(m->DoSteps());
    for (TEnsemble e : {TEnsemble::NVE, TEnsemble::NVK, TEnsemble::NVT}) {
        EXPECT_FALSE(m->SetEnsemble(e));
        EXPECT_EQ(m->Ensemble, TEnsemble::NoI);
        EXPECT_FALSE(m->InteractionOn);
    }
    ASSERT_EQ(m.messages.size(), 3u);
    EXPECT_NE(m.messages[0].find("бар'єр"), std::string::npos) << m.messages[0];
    for (int f = 0; f < 100; ++f)
        ASSERT_TRUE(m->DoSteps());

    // Spheres of radius 1.3 never come that close: every ensemble takes over.
    for (TEnsemble e : {TEnsemble::NVE, TEnsemble::NVK, TEnsemble::NVT}) {
        Model soft;
        SoftGas(*soft, TEnsemble::NoI);
        ASSERT_TRUE(soft->SetupParticles());
        for (int f = 0; f < 50; ++f)
            ASSERT_TRUE(soft->DoSteps());
        ASSERT_TRUE(soft->SetEnsemble(e));
        for (int f = 0; f < 2000; ++f)
            if (!soft->DoSteps()) { ADD_FAILURE() << "ensemble " << int(e) << " frame " << f << ": " << soft->HaltMessage; break; }
        EXPECT_TRUE(soft.messages.empty());
    }
}

TEST(Guards, ZeroKineticEnergyIsNotRescaled)
{
    for (TEnsemble e : {TEnsemble::NVE, TEnsemble::NVK}) {
        Model m;
        OneType(*m, 2, 0.5, 3);
        m->Ensemble = e;
        m->SysE = 0;
        m->SysT = 0;
        ASSERT_TRUE(m->SetupParticles());
        // At rest and beyond each other's reach: K stays 0 and nothing moves.
        PlaceAtRest(m->Balls[0], -2.4);
        PlaceAtRest(m->Balls[1], 2.4);
        ASSERT_TRUE(m->DoSteps());
        ASSERT_TRUE(m->DoSteps());
        EXPECT_EQ(m->FrameK, 0);
        EXPECT_TRUE(StateFinite(*m));
        EXPECT_EQ(m->Balls[0].X, -2.4);
        // The statistics have no value, but are rendered, not trapped.
        EXPECT_FALSE(StatisticsTick(*m, 0).Bar2[4].empty());
    }
}

TEST(Guards, NonFiniteStateHaltsAndIsUndone)
{
    for (bool runaway : {false, true}) {
        SCOPED_TRACE(runaway ? "runaway thermostat" : "overlap");
        Model m;
        SoftGas(*m, runaway ? TEnsemble::NVT : TEnsemble::NVK);
        ASSERT_TRUE(m->SetupParticles());
        ASSERT_TRUE(m->DoSteps());
        if (runaway) {
            m->Xi = -1e306;  // negative friction that overflows the velocities
        } else {
            // Two particles 1e-60 apart: the attraction 3/r^7 is infinite.
            PlaceAtRest(m->Balls[0], 0);
            PlaceAtRest(m->Balls[1], 1e-60);
        }
        const double x0 = m->Balls[0].X, x1 = m->Balls[1].X;
        const std::uint64_t frames = m->FrameCounter;
        EXPECT_FALSE(m->DoSteps());
        EXPECT_TRUE(m->Halted);
        ASSERT_EQ(m.messages.size(), 1u);
        EXPECT_NE(m.messages[0].find("скінченн"), std::string::npos);
        EXPECT_EQ(m->Balls[0].X, x0);
        EXPECT_EQ(m->Balls[1].X, x1);
        EXPECT_TRUE(StateFinite(*m));
        EXPECT_EQ(m->FrameCounter, frames);
        EXPECT_FALSE(m->DoSteps());  // stays stopped until set up again
        EXPECT_EQ(m.messages.size(), 1u);
        ASSERT_TRUE(m->SetupParticles());
        EXPECT_TRUE(m->DoSteps());
    }
}

TEST(Guards, UnsafeNumbersAreRefusedNamingTheField)
{
    struct Case {
        void (*change)(ParticleParams&);
        const char* field;
    };
    const Case cases[] = {
        {[](ParticleParams& p) { p.Radius[1] = "0"; }, "R2"},
        {[](ParticleParams& p) { p.Radius[0] = "-1"; }, "R1"},
        {[](ParticleParams& p) { p.Radius[2] = "abc"; }, "R3"},
        {[](ParticleParams& p) { p.Mass[0] = "0"; }, "M1"},
        {[](ParticleParams& p) { p.Mass[2] = "nan"; }, "M3"},
        {[](ParticleParams& p) { p.Box[1] = "0"; }, "Ly"},
        {[](ParticleParams& p) { p.Box[2] = "-5"; }, "Lz"},
        {[](ParticleParams& p) { p.Step = "0"; }, "StepH"},
        {[](ParticleParams& p) { p.Step = "2.5"; }, "StepH"},
        {[](ParticleParams& p) { p.Step = "1e-7"; }, "StepH"},
        {[](ParticleParams& p) { p.SysE = "-1"; }, "SysE"},
        {[](ParticleParams& p) { p.SysT = "-0.01"; }, "SysT"},
        {[](ParticleParams& p) { p.Eps[2][1] = "x"; }, "E23"},
        {[](ParticleParams& p) { p.N = {1241, 1, 0}; }, "1242"},
        {[](ParticleParams& p) { p.N = {0, 0, 0}; }, "N1 + N2 + N3"},
    };
    for (const Case& c : cases) {
        ParticleParams p = GoodParams();
        c.change(p);
        Model m;
        const double before = m->BoxL[0];
        std::string error;
        EXPECT_FALSE(ReadModelParams(p, *m, &error)) << c.field;
        EXPECT_NE(error.find(c.field), std::string::npos) << error;
        EXPECT_EQ(m->BoxL[0], before);
    }
    ParticleParams p = GoodParams();
    p.Step = "2";  // the largest step: one step per frame
    Model m;
    std::string error;
    ASSERT_TRUE(ReadModelParams(p, *m, &error)) << error;
    EXPECT_EQ(m->StepsPerFrame, 1);
}

TEST(Guards, TheModelItselfRefusesUnsafeNumbers)
{
    Model m;
    OneType(*m, 10, 0.5, 3);
    m->Dt = 0;
    EXPECT_FALSE(m->SetupParticles());
    m->Dt = 0.1;
    m->BallTypes[2].Mass = -1;
    EXPECT_FALSE(m->SetupParticles());
    m->BallTypes[2].Mass = 1;
    m->BallTypes[1].N = 1000;
    m->BallTypes[3].N = 300;
    EXPECT_FALSE(m->SetupParticles());
    ASSERT_EQ(m.messages.size(), 3u);
    EXPECT_NE(m.messages[2].find("Забагато частинок"), std::string::npos);
}

TEST(Guards, ChemicalPotentialIsFiniteFromTheFirstFrame)
{
    for (TEnsemble e : {TEnsemble::NoI, TEnsemble::NVE}) {
        Model m;
        SoftGas(*m, e);
        if (e == TEnsemble::NVE) {
            for (int t = 1; t <= 3; ++t)
                m->BallTypes[t].Radius = 3;
            m->BallTypes[1].N = 6;
            m->BallTypes[2].N = 4;
            m->SysE = 0.5;
        }
        ASSERT_TRUE(m->SetupParticles());
        EXPECT_GT(m->TargetKT, 0);
        ASSERT_TRUE(m->DoSteps());
        const TStatistics s = ComputeStatistics(*m);
        EXPECT_TRUE(std::isfinite(s.Mu[1]));
        EXPECT_TRUE(std::isfinite(s.Mu[2]));
    }
}

TEST(Guards, HistogramBinsFromNonFiniteValuesGoToTheOverflowBin)
{
    Model m;
    OneType(*m, 20, 0.3, 3);
    m->SysT = 0.01;
    ASSERT_TRUE(m->SetupParticles());
    for (int f = 0; f < 10; ++f)
        ASSERT_TRUE(m->DoSteps());
    const std::int64_t before = m->EnergyHistogram[97];
    m->EnergyUnit = 0;  // K / 0: infinite bins
    ASSERT_TRUE(m->DoSteps());
    m->EnergyUnit = NAN;
    ASSERT_TRUE(m->DoSteps());
    EXPECT_EQ(m->EnergyHistogram[97], before + 2 * 20);
    EXPECT_FALSE(PairCorrelationChart(*m, 1, 1).empty());
}

TEST(Guards, StepCountBeyondThirtyTwoBits)
{
    Model m;
    OneType(*m, 10, 0.5, 3);
    ASSERT_TRUE(m->SetupParticles());
    m->FrameCounter = 5'000'000'000ull;
    m->StepsPerFrame = 10;
    const double S = 5e10;
    m->BallTypes[1].SumMV2 = 2.0 * 3 * m->BoxVolume * S;
    m->BallTypes[1].SumBoltz = std::exp(-1.0) * 10 * S;
    const TStatistics s = ComputeStatistics(*m);
    EXPECT_EQ(s.Steps, 50'000'000'000ull);
    EXPECT_DOUBLE_EQ(s.P[1], 2.0);
    EXPECT_NEAR(s.Mu[1], 1.0 + 2.0 * m->BoxVolume / (m->TargetKT * 10), 1e-9);
}

TEST(Guards, PeriodicWrapHandlesAnyDisplacement)
{
    Model m;
    OneType(*m, 2, 0.5, 3);
    m->Periodic = true;
    ASSERT_TRUE(m->SetupParticles());
    TBall& b = m->Balls[0];
    for (double x : {3.0000001, -3.5, 7.3 * 3, -101.7, 1e6 + 0.25}) {
        PlaceAtRest(b, x, b.Y, b.Z);
        m->IntegrateBall(b);
        EXPECT_LE(std::fabs(b.X), 3.0) << x;
        // The same point modulo the box.
        const double k = (x - b.X) / 6;
        EXPECT_NEAR(k, std::round(k), 1e-6) << x;
    }
    // Pairs across any number of boxes see their nearest image.
    PlaceAtRest(m->Balls[0], 2.9);
    PlaceAtRest(m->Balls[1], -2.9 - 6 * 40);
    m->ResetStatistics();
    m->PairInteraction(m->Balls[0], m->Balls[1]);
    EXPECT_EQ(m->PairHistogram[1][1][8], 2);  // r = 0.2 = 8 bins of 3/120
}

TEST(Guards, TypeCountsFollowRemovedAndAddedParticles)
{
    Model m;
    OneType(*m, 5, 0.3, 3);
    m->BallTypes[2].N = 4;
    m->BallTypes[3].N = 3;
    ASSERT_TRUE(m->SetupParticles());
    ASSERT_EQ(m->NBalls, 12);
    ASSERT_TRUE(m->RemoveLastParticle());
    ASSERT_TRUE(m->RemoveLastParticle());
    EXPECT_EQ(m->BallTypes[3].N, 1);
    ASSERT_TRUE(m->AddParticle());
    EXPECT_EQ(m->BallTypes[1].N, 6);
    EXPECT_EQ(m->NBalls, m->BallTypes[1].N + m->BallTypes[2].N + m->BallTypes[3].N);
    ASSERT_TRUE(m->SetupParticles());  // restart with the changed counts
    EXPECT_EQ(m->NBalls, 11);
    for (int k = 0; k < 10; ++k)
        m->RemoveLastParticle();
    EXPECT_EQ(m->NBalls, 1);
    EXPECT_FALSE(m->RemoveLastParticle());
    while (m->AddParticle())
        continue;
    EXPECT_EQ(m->NBalls, MaxBalls);
    EXPECT_EQ(m->BallTypes[1].N + m->BallTypes[2].N + m->BallTypes[3].N, MaxBalls);
}

TEST(Guards, BatchSharesAreExactWithTiesToEven)
{
    // {N, percent of type 2, N1}; the ties 28.5, 9.5, 620.5, 0.5 and 1.5 go to the even count.
    const int cases[][3] = {{30, 5, 28},     {10, 5, 10},  {1241, 50, 620}, {1241, 0, 1241},
                            {1241, 100, 0},  {1000, 97, 30}, {50, 99, 0},   {150, 99, 2}};
    for (const auto& c : cases)
        EXPECT_EQ(BatchN1(c[0], c[1]), c[2]) << c[0] << " " << c[1];
}

TEST(Guards, ThermostatWithoutKTTakesTheCurrentTemperature)
{
    Model m;
    SoftGas(*m, TEnsemble::NVK);
    ASSERT_TRUE(m->SetupParticles());
    m->SysT = NAN;
    ASSERT_TRUE(m->SetEnsemble(TEnsemble::NVT));
    EXPECT_EQ(m->SysT, m->TargetKT);
    for (int f = 0; f < 20; ++f)
        ASSERT_TRUE(m->DoSteps());
    EXPECT_TRUE(std::isfinite(m->Xi));
}
