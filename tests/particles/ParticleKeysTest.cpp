#include "ParticleKeys.h"
#include "ParticleTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using namespace ferrolyt::particles;

namespace {

std::unique_ptr<ParticleModel> SmallModel(TEnsemble ensemble, double radius = 0.3)
{
    auto m = std::make_unique<ParticleModel>();
    m->SetMessageSink([](const std::string&, const std::string&) {});
    m->SetKernel(ParticleModel::Kernel::Reference);
    ferrolyt::particles::testing::OneType(*m, 8, radius, 3);
    m->SysT = 0.5;
    m->Ensemble = ensemble;
    m->Seed(7);
    EXPECT_TRUE(m->SetupParticles());
    return m;
}

double SpeedOfFirst(const ParticleModel& m)
{
    return std::hypot(m.Balls[0].Vh[0], m.Balls[0].Vh[1], m.Balls[0].Vh[2]);
}

} // namespace

TEST(KeyMapping, LettersInEitherCaseAndSigns)
{
    using enum TKeyCommand;
    const std::pair<char32_t, TKeyCommand> cases[] = {
        {U'f', FullScreen},   {U'F', FullScreen},   {U'=', Accelerate}, {U'+', Accelerate}, {U'-', Decelerate},
        {U' ', NormalScreen}, {U'\r', NormalScreen}, {27, Escape},       {U'x', NoGraphics}, {U'Q', None},
        {U'ф', None}};
    for (auto [key, command] : cases)
        EXPECT_EQ(KeyCommandFor(key), command) << std::uint32_t(key);
}

TEST(KeyAccelerate, EachEnsembleSpeedsUpItsOwnWay)
{
    auto noi = SmallModel(TEnsemble::NoI);
    const double v0 = SpeedOfFirst(*noi);
    EXPECT_EQ(ApplyKeyCommand(*noi, KeyCommandFor(U'+')), TKeyResult::Done);
    EXPECT_NEAR(SpeedOfFirst(*noi), v0 * 1.1, 1e-6 * v0);
    EXPECT_FALSE(noi->InteractionOn);

    auto nve = SmallModel(TEnsemble::NVE);
    const double e0 = nve->TotalEnergy;
    ApplyKeyCommand(*nve, TKeyCommand::Accelerate);
    EXPECT_NEAR(nve->TotalEnergy, e0 + 0.01, 1e-12);
    ApplyKeyCommand(*nve, TKeyCommand::Decelerate);
    EXPECT_NEAR(nve->TotalEnergy, e0, 1e-12);
    EXPECT_TRUE(nve->InteractionOn);

    auto nvk = SmallModel(TEnsemble::NVK);
    ApplyKeyCommand(*nvk, TKeyCommand::Accelerate);
    EXPECT_NEAR(nvk->TargetKT, 0.55, 1e-12);

    auto nvt = SmallModel(TEnsemble::NVT);
    ApplyKeyCommand(*nvt, TKeyCommand::Decelerate);
    EXPECT_NEAR(nvt->SysT, 0.5 / 1.1, 1e-12);
}

TEST(KeyEnsemble, SwitchingSetsInteractionAndClearsFriction)
{
    auto m = SmallModel(TEnsemble::NoI, 0.9);  // no pair inside the soft potential's barrier
    m->Xi = 0.3;
    EXPECT_EQ(ApplyKeyCommand(*m, KeyCommandFor(U'e')), TKeyResult::Done);
    EXPECT_EQ(m->Ensemble, TEnsemble::NVE);
    EXPECT_TRUE(m->InteractionOn);
    EXPECT_EQ(m->Xi, 0);
    for (auto [key, ensemble] : {std::pair{U'K', TEnsemble::NVK}, {U'T', TEnsemble::NVT}, {U'R', TEnsemble::NoI}}) {
        ApplyKeyCommand(*m, KeyCommandFor(key));
        EXPECT_EQ(m->Ensemble, ensemble);
        EXPECT_EQ(m->InteractionOn, ensemble != TEnsemble::NoI);
    }
}

TEST(KeyEnsemble, InteractionFollowsTheEnsembleAfterAnyKey)
{
    auto m = SmallModel(TEnsemble::NVE);
    m->InteractionOn = false;  // as if something had left it behind
    ApplyKeyCommand(*m, KeyCommandFor(U'P'));
    EXPECT_TRUE(m->InteractionOn);
    EXPECT_TRUE(m->Periodic);
}

TEST(KeyParticles, LessAndMoreStopAtTheirLimits)
{
    auto m = SmallModel(TEnsemble::NoI);
    for (int k = 0; k < 7; ++k)
        EXPECT_EQ(ApplyKeyCommand(*m, TKeyCommand::LessBalls), TKeyResult::Done);
    EXPECT_EQ(m->NBalls, 1);
    EXPECT_EQ(ApplyKeyCommand(*m, TKeyCommand::LessBalls), TKeyResult::Refused);
    EXPECT_EQ(m->NBalls, 1);
    EXPECT_EQ(ApplyKeyCommand(*m, TKeyCommand::MoreBalls), TKeyResult::Done);
    EXPECT_EQ(m->NBalls, 2);
    EXPECT_DOUBLE_EQ(m->Balls[1].X, 0);
    m->NBalls = MaxBalls;
    EXPECT_EQ(ApplyKeyCommand(*m, TKeyCommand::MoreBalls), TKeyResult::Refused);
}

TEST(KeyWindow, WindowCommandsAreHandedBack)
{
    auto m = SmallModel(TEnsemble::NoI);
    for (char32_t k : {U'F', U'N', U'C', U'W', U'X', char32_t(27)})
        EXPECT_EQ(ApplyKeyCommand(*m, KeyCommandFor(k)), TKeyResult::ForWindow);
    EXPECT_EQ(ApplyKeyCommand(*m, KeyCommandFor(U'Q')), TKeyResult::Refused);
}

TEST(KeyModel, PlanesGravityAndRestart)
{
    auto m = SmallModel(TEnsemble::NoI);
    ApplyKeyCommand(*m, KeyCommandFor(U'H'));
    for (int i = 0; i < m->NBalls; ++i) {
        EXPECT_EQ(m->Balls[i].Y, -2.0);
        EXPECT_EQ(m->Balls[i].Vh[1], 0);
    }
    ApplyKeyCommand(*m, KeyCommandFor(U'G'));
    EXPECT_TRUE(m->GravityOn);
    EXPECT_DOUBLE_EQ(m->Gravity, 0.005);
    m->FrameCounter = 5;
    EXPECT_EQ(ApplyKeyCommand(*m, KeyCommandFor(U'S')), TKeyResult::Done);
    EXPECT_EQ(m->FrameCounter, 0u);
    m->FrameCounter = 5;
    ApplyKeyCommand(*m, KeyCommandFor(U'B'));
    EXPECT_EQ(m->FrameCounter, 0u);
}
