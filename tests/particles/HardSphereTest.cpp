#include "ParticleModel.h"
#include "ParticleStats.h"
#include "ParticleTestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <tuple>
#include <vector>

using namespace ferrolyt::particles;
using ferrolyt::particles::testing::Measure;
using ferrolyt::particles::testing::Model;
using ferrolyt::particles::testing::OneType;

namespace {

double KineticOf(const ParticleModel& m)
{
    double k = 0;
    for (int i = 0; i < m.NBalls; ++i) {
        const TBall& b = m.Balls[i];
        k += 0.5 * b.TypeData.Mass * (b.Vh[0] * b.Vh[0] + b.Vh[1] * b.Vh[1] + b.Vh[2] * b.Vh[2]);
    }
    return k;
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

// Compressibility factor PV/NkT of the hard-sphere fluid at packing
// fraction eta: N. F. Carnahan and K. E. Starling, J. Chem. Phys. 51 (1969) 635.
double CarnahanStarling(double eta)
{
    return (1 + eta + eta * eta - eta * eta * eta) / std::pow(1 - eta, 3);
}

// The deepest overlap of two spheres, as a share of their contact distance.
double DeepestOverlap(const ParticleModel& m)
{
    double depth = 0;
    for (int i = 0; i < m.NBalls; ++i) {
        const TBall& a = m.Balls[i];
        for (int j = 0; j < i; ++j) {
            const TBall& b = m.Balls[j];
            double d[3] = {a.X - b.X, a.Y - b.Y, a.Z - b.Z}, r2 = 0;
            for (int k = 0; k < 3; ++k) {
                if (m.Periodic)
                    d[k] -= 2 * m.BoxL[k] * std::nearbyint(d[k] / (2 * m.BoxL[k]));
                r2 += d[k] * d[k];
            }
            const double sigma = a.TypeData.Radius + b.TypeData.Radius;
            depth = std::max(depth, 1 - std::sqrt(r2) / sigma);
        }
    }
    return depth;
}

// A periodic box of n spheres of radius R at packing fraction eta (with
// the box's half-lengths in the given proportions).
void PeriodicFluid(Model& m, int n, double R, double eta, std::array<double, 3> shape = {1, 1, 1})
{
    OneType(*m, n, R, 0);
    const double volume = n * 4.0 / 3.0 * std::numbers::pi * R * R * R / eta;
    const double scale = std::cbrt(volume / (8 * shape[0] * shape[1] * shape[2]));
    m->BoxL = {scale * shape[0], scale * shape[1], scale * shape[2]};
    m->Periodic = true;
    m->SysT = 0.01;
}

// The contact value g(sigma+) of the pair chart: ln g extrapolated to r =
// sigma from the first two bins that lie wholly outside the core (g falls
// about exponentially there). Also the largest g of the bins wholly inside.
struct Contact {
    double g = 0, inside = 0;
};
Contact ContactValue(const ParticleModel& m, double sigma)
{
    const double dr = m.BoxL[0] / 120;
    Contact c;
    std::vector<ChartPoint> outside;
    for (const ChartPoint& p : PairCorrelationChart(m, 1, 1)) {
        if (p.x + dr / 2 <= sigma)
            c.inside = std::max(c.inside, p.y);
        else if (p.x - dr / 2 >= sigma && outside.size() < 2)
            outside.push_back(p);
    }
    if (outside.size() == 2 && outside[0].y > 0 && outside[1].y > 0) {
        const double slope = (std::log(outside[1].y) - std::log(outside[0].y)) / (outside[1].x - outside[0].x);
        c.g = std::exp(std::log(outside[0].y) + slope * (sigma - outside[0].x));
    }
    return c;
}

// The contact value of the Carnahan-Starling fluid, from Z = 1 + 4 eta g(sigma+).
double CarnahanStarlingContact(double eta) { return (1 - eta / 2) / std::pow(1 - eta, 3); }

} // namespace

TEST(HardSpheres, CollisionsConserveMomentumAndEnergy)
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

TEST(HardSpheres, PressureFollowsCarnahanStarling)
{
    // 108 spheres in a periodic box, of diameters other than 1 (so that the
    // contact vector's length squared is not its length). The collisions'
    // virial gives PV/NkT; with it the chemical potential is 3/2 ln 2 +
    // PV/NkT (the Boltzmann factor's mean over Maxwellian speeds is
    // 2^(-3/2)), and Cv/k stays 3/2 because the kinetic energy never changes.
    struct Case {
        double eta, sigma;
    };
    for (const Case c : {Case{0.1, 1.6}, Case{0.2, 0.7}, Case{0.4, 1.6}, Case{0.4, 0.7}}) {
        SCOPED_TRACE(::testing::Message() << "packing fraction " << c.eta << ", diameter " << c.sigma);
        Model m;
        PeriodicFluid(m, 108, c.sigma / 2, c.eta);
        ASSERT_NO_FATAL_FAILURE(Measure(*m, 300, 1500));
        const TStatistics s = ComputeStatistics(*m);
        EXPECT_NEAR(s.PackingFraction, c.eta, 1e-12);
        const double Z = s.Pressure * m->BoxVolume / (m->NBalls * m->TargetKT);
        EXPECT_NEAR(Z / CarnahanStarling(c.eta), 1, 0.03) << "Z = " << Z;
        EXPECT_NEAR(s.Mu[1], 1.5 * std::log(2.0) + Z, 0.06);
        EXPECT_NEAR(s.HeatCapacity, 1.5, 1e-6);
        EXPECT_NEAR(m->TargetKT, 0.01, 1e-12);
    }
}

TEST(HardSpheres, SpheresNeverOverlap)
{
    // The flight takes every collision at contact: at packing fractions
    // from 0.1 to 0.45, with walls and periodic, at kT 0.01 and ten times
    // that, no two spheres are ever closer than their contact distance
    // beyond rounding.
    for (bool periodic : {true, false})
        for (double eta : {0.1, 0.45})
            for (double kT : {0.01, 0.1}) {
                SCOPED_TRACE(::testing::Message() << (periodic ? "periodic" : "walls") << ", packing fraction " << eta
                                                  << ", kT " << kT);
                Model m;
                PeriodicFluid(m, 64, 0.5, eta);
                m->Periodic = periodic;
                m->SysT = kT;
                ASSERT_TRUE(m->SetupParticles());
                double deepest = 0;
                for (int f = 0; f < 3000; ++f) {
                    ASSERT_TRUE(m->DoSteps());
                    deepest = std::max(deepest, DeepestOverlap(*m));
                }
                EXPECT_LT(deepest, 1e-9);
            }
}

TEST(HardSpheres, ContactValueFollowsCarnahanStarling)
{
    // g(sigma+) of the pair chart against the Carnahan-Starling contact
    // value (N. F. Carnahan and K. E. Starling, J. Chem. Phys. 51 (1969)
    // 635, with Z = 1 + 4 eta g(sigma+)), and no pair inside the core.
    // The second box is not a cube: the chart's bins are Lx / 120 wide.
    struct Case {
        double eta;
        std::array<double, 3> shape;
    };
    for (const Case c : {Case{0.2, {1, 1, 1}}, Case{0.4, {1, 1, 1}}, Case{0.3, {1, 1.2, 1.45}}}) {
        SCOPED_TRACE(::testing::Message() << "packing fraction " << c.eta << ", box " << c.shape[0] << " x "
                                          << c.shape[1] << " x " << c.shape[2]);
        Model m;
        PeriodicFluid(m, 108, 0.5, c.eta, c.shape);
        ASSERT_NO_FATAL_FAILURE(Measure(*m, 300, 1500));
        const Contact contact = ContactValue(*m, 1.0);
        EXPECT_EQ(contact.inside, 0);
        EXPECT_NEAR(contact.g / CarnahanStarlingContact(c.eta), 1, 0.05) << "g(sigma+) = " << contact.g;
    }
}

TEST(HardSpheres, DenseRunsKeepTheSpheresApart)
{
    // At packing fraction 0.4 in a periodic box, and in the walled boxes that
    // the smallest-box rule gives for 120 spheres on each lattice (packing
    // fractions 0.47, 0.32 and 0.34), no two spheres ever overlap, and the
    // kinetic energy stays.
    struct Case {
        const char* name;
        TLattice lattice;
        bool periodic;
    };
    for (const Case c : {Case{"periodic, 0.4", TLattice::Cubic, true}, Case{"cubic box", TLattice::Cubic, false},
                         Case{"BCC box", TLattice::BCC, false}, Case{"FCC box", TLattice::FCC, false}}) {
        SCOPED_TRACE(c.name);
        Model m;
        if (c.periodic) {
            OneType(*m, 108, 0.5, std::cbrt(108 * std::numbers::pi / 6 / 0.4) / 2);
        } else {
            OneType(*m, 120, 0.5, 0);
            std::int64_t n = 1;
            while (LatticeSiteCount(c.lattice, n) < 120)
                ++n;
            const double L = double(n) * 0.5 * LatticeFactor(c.lattice);
            m->BoxL = {L, L, L};
        }
        m->Lattice = c.lattice;
        m->Periodic = c.periodic;
        m->SysT = 0.01;
        ASSERT_TRUE(m->SetupParticles());
        const double e0 = KineticOf(*m);
        for (int f = 0; f < 1000; ++f) {
            ASSERT_TRUE(m->DoSteps());
            ASSERT_LT(DeepestOverlap(*m), 1e-9) << "frame " << f;
        }
        EXPECT_NEAR(KineticOf(*m), e0, 1e-9 * e0);
    }
}

namespace {

// 500 spheres of radius 0.5 in the box that "Calculate" gives them on the
// cubic lattice (8 cells a side, packing fraction 0.48), walls, speed 0.11,
// run until the lattice has melted.
void DenseBox(Model& m)
{
    OneType(*m, 500, 0.5, 8 * 0.5 * LatticeFactor(TLattice::Cubic));
    ASSERT_TRUE(m->SetupParticles());
    for (int f = 0; f < 100; ++f)
        ASSERT_TRUE(m->DoSteps());
    ASSERT_LT(DeepestOverlap(*m), 1e-9);
}

// After a command pushed spheres into one another: apart within 10 frames,
// and they stay apart; the parting keeps the kinetic energy.
void ExpectPartedWithinTenFrames(ParticleModel& m)
{
    const double e0 = KineticOf(m);
    for (int f = 0; f < 10; ++f)
        ASSERT_TRUE(m.DoSteps());
    EXPECT_LT(DeepestOverlap(m), 1e-9) << "10 frames after the command";
    for (int f = 0; f < 40; ++f) {
        ASSERT_TRUE(m.DoSteps());
        ASSERT_LT(DeepestOverlap(m), 1e-9) << "frame " << 10 + f;
    }
    EXPECT_NEAR(KineticOf(m), e0, 1e-9 * e0);
}

} // namespace

TEST(HardSpheres, SpheresASmallerBoxPushesTogetherComeApart)
{
    Model m;
    ASSERT_NO_FATAL_FAILURE(DenseBox(m));
    m->ChangeVolume(false);  // Ctrl+Alt+V: the walls close in by 1 %
    int outside = 0;
    for (int i = 0; i < m->NBalls; ++i)
        outside += std::fabs(m->Balls[i].X) > m->BoxL[0] - 0.5;
    ASSERT_GT(outside, 10);  // the walls push these into their neighbours
    ASSERT_NO_FATAL_FAILURE(ExpectPartedWithinTenFrames(*m));
}

TEST(HardSpheres, AParticleAddedAmongOthersPushesThemApart)
{
    Model m;
    ASSERT_NO_FATAL_FAILURE(DenseBox(m));
    ASSERT_TRUE(m->AddParticle());  // at the centre, inside its neighbours
    ASSERT_GT(DeepestOverlap(*m), 0.01);
    ASSERT_NO_FATAL_FAILURE(ExpectPartedWithinTenFrames(*m));
}

TEST(HardSpheres, AFlattenedLayerComesApart)
{
    // "H" on the shipped hard-sphere example: 120 spheres of three sizes
    // cover 88 % of the plane Y = -2, more than a plane can hold.
    ParticleParams p;
    NameValueList lines;
    std::string error;
    ASSERT_TRUE(LoadParameterFile(std::filesystem::path(FERROLYT_DATA) / "DezOzevev", "HardSpheres.dat", p, lines,
                                  &error))
        << error;
    Model m;
    ASSERT_TRUE(ReadModelParams(p, *m, &error)) << error;
    ASSERT_TRUE(m->SetupParticles());
    for (int f = 0; f < 100; ++f)
        ASSERT_TRUE(m->DoSteps());
    m->FlattenToXY();
    int onThePlane = 0;
    for (int i = 0; i < m->NBalls; ++i) {
        EXPECT_EQ(m->Balls[i].Vh[1], 0);
        EXPECT_LE(std::fabs(m->Balls[i].Y), m->BoxL[1] - m->Balls[i].TypeData.Radius);  // on either side, inside
        onThePlane += m->Balls[i].Y == -2.0;
    }
    EXPECT_GT(onThePlane, m->NBalls / 4);
    // Were every sphere at Y = -2, the spheres of the layer could push one
    // another only along it, and it has no room for them.
    for (int f = 0; f < 10; ++f)
        ASSERT_TRUE(m->DoSteps());
    EXPECT_LT(DeepestOverlap(*m), 1e-9);
}

TEST(HardSpheres, AFlattenedFullBoxKeepsEverySphereInsideAndApart)
{
    // "H" and "V" in the box that "Calculate" gives 1241 spheres (11 cubic
    // cells a side, packing fraction 0.46): far more spheres than one plane
    // holds, and a plane 2 from the centre, so they settle on both sides.
    for (const bool periodic : {false, true})
        for (const int axis : {1, 2}) {  // H: the plane Y = -2; V: the plane Z = 2
            SCOPED_TRACE(::testing::Message() << (periodic ? "periodic, " : "walls, ") << (axis == 1 ? "H" : "V"));
            Model m;
            OneType(*m, MaxBalls, 0.5, 11 * 0.5 * LatticeFactor(TLattice::Cubic));
            m->Periodic = periodic;
            ASSERT_NO_FATAL_FAILURE(Measure(*m, 5, 0));
            const double level = axis == 1 ? -2.0 : 2.0;
            auto fromThePlane = [&](const TBall& b) {
                const double d = (axis == 1 ? b.Y : b.Z) - level, L2 = 2 * m->BoxL[axis];
                return std::fabs(periodic ? d - L2 * std::nearbyint(d / L2) : d);
            };
            std::vector<double> before;
            for (int i = 0; i < m->NBalls; ++i)
                before.push_back(fromThePlane(m->Balls[i]));
            axis == 1 ? m->FlattenToXY() : m->FlattenToXZ();
            int onThePlane = 0, outside = 0, nearer = 0;
            for (int i = 0; i < m->NBalls; ++i) {
                const TBall& b = m->Balls[i];
                const double at[3] = {b.X, b.Y, b.Z};
                for (int k = 0; k < 3; ++k)
                    outside += std::fabs(at[k]) > m->BoxL[k] - (periodic ? 0 : 0.5);
                EXPECT_EQ(b.Vh[axis], 0);
                EXPECT_LE(fromThePlane(b), before[i] + 1e-12);
                onThePlane += at[axis] == level;
                nearer += fromThePlane(b) < before[i] - 0.1;
            }
            EXPECT_EQ(outside, 0);
            EXPECT_GT(onThePlane, 25);
            EXPECT_GT(nearer, m->NBalls / 2) << onThePlane;
            EXPECT_LT(DeepestOverlap(*m), 1e-9) << "as flattened";
            for (int f = 1; f <= 3; ++f) {
                ASSERT_TRUE(m->DoSteps());
                EXPECT_LT(DeepestOverlap(*m), 1e-9) << "frame " << f;
            }
        }
}

TEST(HardSpheres, ASphereACollisionSpeedsUpMeetsSpheresBeyondItsCandidates)
{
    // A heavy sphere (mass 20) at speed 1 strikes a light one at rest at
    // the start of a step; the light one leaves at 1.9 towards a third that
    // comes at speed 1 from 0.24 away. The pair pass lists the pairs that
    // could close in by 2 x the fastest speed x Dt = 0.2, not this one; the
    // flight has to watch the sped-up sphere against every other, or it
    // passes into the third within the step.
    Model m;
    for (int t = 1; t <= 3; ++t) {
        m->BallTypes[t].Radius = 0.5;
        m->BallTypes[t].N = 1;
    }
    m->BallTypes[2].Mass = 20;
    m->BoxL = {10, 10, 10};
    m->StepsPerFrame = 1;
    ASSERT_TRUE(m->SetupParticles());
    const double x[3] = {0, -1 - 1e-9, 1.24}, v[3] = {0, 1, -1};
    for (int k = 0; k < 3; ++k) {
        TBall& b = m->Balls[k];
        std::tie(b.X, b.Y, b.Z) = std::tuple(x[k], 0.0, 0.0);
        std::tie(b.Vh[0], b.Vh[1], b.Vh[2]) = std::tuple(v[k], 0.0, 0.0);
    }
    ASSERT_TRUE(m->DoSteps());
    EXPECT_LT(DeepestOverlap(*m), 1e-9);
    EXPECT_GT(m->Balls[2].Vh[0], 0);  // the third sphere was turned back
}
