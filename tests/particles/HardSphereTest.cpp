#include "ParticleModel.h"
#include "ParticleStats.h"
#include "ParticleTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <tuple>

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

// The deepest overlap of two spheres, as a share of their contact distance,
// and how far two spheres can close in within one step. A step resolves the
// overlaps that the previous one's move made; its own move, and the rest of
// the step that a collision's pair travels at its new velocities, are
// resolved by the next step: at most two steps' reach is ever open.
struct Overlap {
    double depth = 0, stepReach = 0;
};
Overlap DeepestOverlap(const ParticleModel& m)
{
    Overlap o;
    double fastest = 0;
    for (int i = 0; i < m.NBalls; ++i) {
        const TBall& a = m.Balls[i];
        fastest = std::max(fastest, std::sqrt(a.Vh[0] * a.Vh[0] + a.Vh[1] * a.Vh[1] + a.Vh[2] * a.Vh[2]));
        for (int j = 0; j < i; ++j) {
            const TBall& b = m.Balls[j];
            double d[3] = {a.X - b.X, a.Y - b.Y, a.Z - b.Z}, r2 = 0;
            for (int k = 0; k < 3; ++k) {
                if (m.Periodic)
                    d[k] -= 2 * m.BoxL[k] * std::nearbyint(d[k] / (2 * m.BoxL[k]));
                r2 += d[k] * d[k];
            }
            const double sigma = a.TypeData.Radius + b.TypeData.Radius;
            o.depth = std::max(o.depth, 1 - std::sqrt(r2) / sigma);
        }
    }
    o.stepReach = 2 * fastest * m.Dt;
    return o;
}

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
    // 108 spheres of diameter 1 in a periodic box. The collisions' virial
    // gives PV/NkT; with it the chemical potential is 3/2 ln 2 + PV/NkT
    // (the Boltzmann factor's mean over Maxwellian speeds is 2^(-3/2)), and
    // Cv/k stays 3/2 because the kinetic energy never changes.
    for (const double eta : {0.1, 0.2, 0.4}) {
        SCOPED_TRACE(::testing::Message() << "packing fraction " << eta);
        Model m;
        const double volume = 108 * std::numbers::pi / 6 / eta;
        OneType(*m, 108, 0.5, std::cbrt(volume) / 2);
        m->Periodic = true;
        m->SysT = 0.01;
        ASSERT_NO_FATAL_FAILURE(Measure(*m, 300, 1500));
        const TStatistics s = ComputeStatistics(*m);
        EXPECT_NEAR(s.PackingFraction, eta, 1e-12);
        const double Z = s.Pressure * m->BoxVolume / (m->NBalls * m->TargetKT);
        EXPECT_NEAR(Z / CarnahanStarling(eta), 1, eta < 0.3 ? 0.03 : 0.05) << "Z = " << Z;
        EXPECT_NEAR(s.Mu[1], 1.5 * std::log(2.0) + Z, 0.06);
        EXPECT_NEAR(s.HeatCapacity, 1.5, 1e-6);
        EXPECT_NEAR(m->TargetKT, 0.01, 1e-12);
    }
}

TEST(HardSpheres, DenseRunsKeepTheSpheresApart)
{
    // At packing fraction 0.4 in a periodic box, and in the walled boxes that
    // the smallest-box rule gives for 120 spheres on each lattice (packing
    // fractions 0.47, 0.32 and 0.34), no two spheres ever overlap by more
    // than two steps' motion (a tenth of a diameter at kT = 0.01).
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
            const Overlap o = DeepestOverlap(*m);
            ASSERT_LE(o.depth, 2 * o.stepReach) << "frame " << f;
        }
        EXPECT_NEAR(KineticOf(*m), e0, 1e-9 * e0);
    }
}
