#include "ParticleFiles.h"
#include "ParticleFormat.h"
#include "ParticleModel.h"
#include "ParticleTestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <tuple>

using namespace ferrolyt::particles;
using ferrolyt::particles::testing::Model;
using ferrolyt::particles::testing::OneType;

namespace {

const TLattice AllLattices[3] = {TLattice::Cubic, TLattice::BCC, TLattice::FCC};

double MinDistance(const ParticleModel& m)
{
    double best = INFINITY;
    for (int i = 0; i < m.NBalls; ++i)
        for (int j = 0; j < i; ++j) {
            const TBall &a = m.Balls[i], &b = m.Balls[j];
            best = std::min(best, std::hypot(a.X - b.X, a.Y - b.Y, a.Z - b.Z));
        }
    return best;
}

} // namespace

TEST(Lattice, SiteCountsMatchTheFormulaForOneToTwelveCells)
{
    for (TLattice lattice : AllLattices)
        for (int n = 1; n <= 12; ++n) {
            const double d = 0.5 * LatticeFactor(lattice);
            const LatticeSites sites = LatticeSites::For(lattice, 0.5, {n * d, n * d, n * d});
            ASSERT_EQ(sites.nx, n);
            ASSERT_EQ(sites.Count(), std::uint64_t(LatticeSiteCount(lattice, n))) << int(lattice) << " n=" << n;
            // Every site is distinct and at least one diameter from every other.
            if (n > 6)
                continue;
            std::vector<std::array<double, 3>> p(sites.Count());
            for (std::uint64_t s = 0; s < sites.Count(); ++s)
                sites.Site(s, p[s][0], p[s][1], p[s][2]);
            for (std::size_t a = 0; a < p.size(); ++a) {
                for (int k = 0; k < 3; ++k)
                    EXPECT_LE(std::fabs(p[a][k]) + 0.5, n * d + 1e-9);
                for (std::size_t b = 0; b < a; ++b)
                    ASSERT_GE(std::hypot(p[a][0] - p[b][0], p[a][1] - p[b][1], p[a][2] - p[b][2]), 1.0)
                        << int(lattice) << " n=" << n;
            }
        }
}

TEST(Lattice, OneCellHoldsOnlyTheOrigin)
{
    Model m;
    OneType(*m, 1, 0.5, 0.6);
    ASSERT_TRUE(m->SetupParticles());
    EXPECT_EQ(m->Balls[0].X, 0);
    EXPECT_EQ(m->Balls[0].Y, 0);
    EXPECT_EQ(m->Balls[0].Z, 0);
    m->BallTypes[1].N = 2;
    EXPECT_FALSE(m->SetupParticles());
}

TEST(Lattice, PlacedParticlesAreAtLeastOneDiameterApart)
{
    for (TLattice lattice : AllLattices) {
        Model m;
        OneType(*m, 100, 0.5, 3.5);
        m->BallTypes[2].N = 30;
        m->BallTypes[2].Radius = 0.3;
        m->Lattice = lattice;
        ASSERT_TRUE(m->SetupParticles()) << int(lattice);
        EXPECT_EQ(m->NBalls, 130);
        EXPECT_GE(MinDistance(*m), 1.0 - 1e-12);
    }
}

TEST(Lattice, TooSmallBoxIsRefusedAndKeepsTheParticles)
{
    Model m;
    OneType(*m, 27, 0.5, 1.6);
    ASSERT_TRUE(m->SetupParticles());
    const double x = m->Balls[5].X;
    m->BoxL = {1.5, 1.5, 1.5};  // 2 cells a side: 8 sites
    EXPECT_FALSE(m->SetupParticles());
    ASSERT_EQ(m.messages.size(), 1u);
    EXPECT_EQ(m.messages[0], "Initial volume is not sufficient!");
    EXPECT_EQ(m->Balls[5].X, x);
    EXPECT_DOUBLE_EQ(m->BoxVolume, 8 * 1.5 * 1.5 * 1.5);
}

TEST(Lattice, SmallestBoxIsExactAndAlwaysAccepted)
{
    ParticleParams hundred;
    hundred.N = {100, 0, 0};
    EXPECT_EQ(SmallestBox(hundred, nullptr), "2.55");
    int cases = 0;
    for (TLattice lattice : AllLattices)
        for (double R = 0.05; R < 1.5; R += 0.0437)
            for (int n : {1, 2, 9, 28, 100, 333, 1000, 1241}) {
                ParticleParams p;
                p.Radius = {FormatGeneral(R, 6), "0.01", FormatGeneral(R * 0.5, 6)};
                p.N = {n, 0, 0};
                p.Lattice = lattice;
                std::string error;
                const std::string box = SmallestBox(p, &error);
                ASSERT_FALSE(box.empty()) << error;
                p.Box = {box, box, box};
                p.Eps = {{{"0", "", ""}, {"0", "0", ""}, {"0", "0", "0"}}};
                Model m;
                ASSERT_TRUE(ReadModelParams(p, *m, &error)) << error;
                ASSERT_TRUE(m->SetupParticles()) << "R=" << R << " n=" << n << " box " << box;
                ++cases;
            }
    EXPECT_GT(cases, 500);
}

TEST(Lattice, FullCapUsesTheWholeBox)
{
    // Far more sites than 1241: the particles must spread over all of them,
    // not fill the first planes of the lattice.
    Model m;
    OneType(*m, MaxBalls, 0.1, 5.0);
    ASSERT_TRUE(m->SetupParticles());
    for (double TBall::*c : {&TBall::X, &TBall::Y, &TBall::Z}) {
        const auto [lo, hi] = std::minmax_element(m->Balls.begin(), m->Balls.begin() + m->NBalls,
                                                  [c](const TBall& a, const TBall& b) { return a.*c < b.*c; });
        EXPECT_LT((*lo).*c, -4.0);
        EXPECT_GT((*hi).*c, 4.0);
    }
    EXPECT_GE(MinDistance(*m), 0.2 - 1e-12);
}

TEST(Lattice, ExactlyFullLatticeTakesEverySite)
{
    Model m;
    OneType(*m, 125, 0.5, 2.55);
    ASSERT_TRUE(m->SetupParticles());
    std::set<std::tuple<long, long, long>> seen;
    for (int i = 0; i < m->NBalls; ++i)
        seen.insert({std::lround(m->Balls[i].X * 100), std::lround(m->Balls[i].Y * 100), std::lround(m->Balls[i].Z * 100)});
    EXPECT_EQ(seen.size(), 125u);
}
