#include "ParticleModel.h"
#include "ParticleTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace ferrolyt::particles;
using ferrolyt::particles::testing::Model;

namespace {

struct Case {
    TEnsemble ensemble;
    bool periodic;
    bool batch;
};

// A three-type mixture, dense enough that hard spheres collide every step
// and soft spheres overlap (spin updates), with enough pairs to use threads.
void Mixture(ParticleModel& m, const Case& s)
{
    const bool hard = s.ensemble == TEnsemble::NoI;
    const double R = hard ? 0.45 : 1.3;
    const double L = hard ? 4.0 : 10.0;
    const double radius[4] = {0, R, 0.8 * R, 0.6 * R};
    const double mass[4] = {0, 1, 2, 0.5};
    const int n[4] = {0, 130, 80, 50};
    for (int t = 1; t <= 3; ++t) {
        m.BallTypes[t] = TBallTypeRecord{};
        m.BallTypes[t].Radius = radius[t];
        m.BallTypes[t].Mass = mass[t];
        m.BallTypes[t].N = n[t];
    }
    m.BoxL = {L, 0.9 * L, 1.1 * L};
    // NVE starts from a frame at kT 0.005 (Start): the start's potential
    // energy is far above 3/2 N kT here.
    m.Ensemble = s.ensemble == TEnsemble::NVE ? TEnsemble::NVK : s.ensemble;
    m.SysT = 0.005;
    m.Periodic = s.periodic;
    m.BatchMode = s.batch;
    m.Seed(99);
}

// Sets up and runs one frame.
::testing::AssertionResult StartAndStep(ParticleModel& m, const Case& s)
{
    if (!m.SetupParticles())
        return ::testing::AssertionFailure() << "set-up";
    if (s.ensemble == TEnsemble::NVE && !(m.DoSteps() && m.SetEnsemble(TEnsemble::NVE)))
        return ::testing::AssertionFailure() << "switch to NVE";
    if (!m.DoSteps())
        return ::testing::AssertionFailure() << "frame";
    return ::testing::AssertionSuccess();
}

void ExpectSame(const ParticleModel& a, const ParticleModel& b)
{
    ASSERT_EQ(a.NBalls, b.NBalls);
    double worst = 0;
    for (int i = 0; i < a.NBalls; ++i) {
        const TBall &p = a.Balls[i], &q = b.Balls[i];
        const double d[] = {p.X - q.X, p.Y - q.Y, p.Z - q.Z, p.Vh[0] - q.Vh[0], p.Vh[1] - q.Vh[1], p.Vh[2] - q.Vh[2],
                            p.V[0] - q.V[0], p.F[0] - q.F[0], p.F[1] - q.F[1], p.F[2] - q.F[2], p.U - q.U,
                            p.SpinAxis[0] - q.SpinAxis[0], p.SpinAxis[2] - q.SpinAxis[2]};
        for (double x : d)
            worst = std::max(worst, std::fabs(x));
    }
    EXPECT_LE(worst, 1e-12);
    const double tol = 1e-12 * std::max(1.0, std::fabs(a.VirialSum));
    EXPECT_NEAR(a.VirialSum, b.VirialSum, tol);
    for (int t = 1; t <= 3; ++t)
        EXPECT_NEAR(a.BallTypes[t].SumVir, b.BallTypes[t].SumVir, tol);
    EXPECT_TRUE(a.PairHistogram == b.PairHistogram);
}

} // namespace

TEST(Kernels, FastKernelEqualsThePlainLoop)
{
    const Case setups[] = {
        {TEnsemble::NoI, false, false}, {TEnsemble::NoI, true, false},  {TEnsemble::NoI, false, true},
        {TEnsemble::NVE, false, false}, {TEnsemble::NVK, true, false},  {TEnsemble::NVT, false, false},
        {TEnsemble::NVK, false, true},  {TEnsemble::NVT, true, true},
    };
    int collisions = 0;
    for (const Case& s : setups) {
        Model plain;
        Mixture(*plain, s);
        plain->SetKernel(ParticleModel::Kernel::Reference);
        ASSERT_TRUE(StartAndStep(*plain, s));
        for (int threads : {1, 3})
            for (bool vectorised : {false, true}) {
                SCOPED_TRACE(::testing::Message() << "ensemble " << int(s.ensemble) << " periodic " << s.periodic
                                                  << " batch " << s.batch << " threads " << threads
                                                  << " vectorised " << vectorised);
                Model fast;
                Mixture(*fast, s);
                fast->SetThreadCount(threads);
                fast->SetVectorised(vectorised);
                ASSERT_TRUE(StartAndStep(*fast, s));
                ExpectSame(*plain, *fast);
            }
        if (s.ensemble == TEnsemble::NoI) {
            // The hard-sphere case is only a test when spheres did collide.
            for (int i = 0; i < plain->NBalls; ++i)
                collisions += plain->Balls[i].SpinAxis[0] != 0;
        }
    }
    EXPECT_GT(collisions, 10);
}

TEST(Kernels, FastKernelIsDeterministic)
{
    Model a, b;
    for (Model* m : {&a, &b}) {
        Mixture(**m, {TEnsemble::NVK, true, false});
        (*m)->SetThreadCount(4);
        ASSERT_TRUE((*m)->SetupParticles());
        for (int f = 0; f < 3; ++f)
            ASSERT_TRUE((*m)->DoSteps());
    }
    for (int i = 0; i < a->NBalls; ++i) {
        ASSERT_EQ(a->Balls[i].X, b->Balls[i].X);
        ASSERT_EQ(a->Balls[i].F[1], b->Balls[i].F[1]);
    }
    EXPECT_EQ(a->VirialSum, b->VirialSum);
}
