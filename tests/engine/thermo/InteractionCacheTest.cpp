// The kept pair tables and logarithms of the standard Gibbs energies: what
// the cache hands back must be, to the last bit, what a fresh computation
// gives, and a changed input must reach the result.

#include "ExtendedMath.h"
#include "LoaderTestSupport.h"
#include "RecordingHost.h"
#include "ThSys.h"
#include "Utils.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace ferrolyt::test {
namespace {

// The sample project's elements and databases: several pairs share a slag
// energy or a pair energy, as real data do.
class InteractionCacheSample : public LoaderTestBase {
protected:
    void SetUp() override
    {
        LoaderTestBase::SetUp();
        Settings.SlagModel = 0;
        const std::filesystem::path fixture = std::filesystem::path(FERROLYT_FIXTURES) / "sample-melt";
        for (const auto& file : std::filesystem::directory_iterator(fixture))
            std::filesystem::copy_file(file.path(), project_ / file.path().filename().string());
        ASSERT_TRUE(LoadProject((project_ / "FERROLYT.FWP").string()));
        ASSERT_GT(SystemElemLast, 4);
    }

    struct TSnapshot {
        TInteractionTable Metal{}, Slag{};
        std::vector<long double> LnGammaInf, MetalStdTerm, SlagStdTerm, Formation;
    };

    static TSnapshot Snapshot(const TThSys& sys)
    {
        TSnapshot s;
        s.Metal = sys.MetalInteraction;
        s.Slag = sys.SlagInteraction;
        for (int i = 0; i <= SystemElemLast; ++i) {
            s.LnGammaInf.push_back(sys.El(i).LnGammaInf);
            s.MetalStdTerm.push_back(sys.El(i).MetalStdTerm);
            s.SlagStdTerm.push_back(sys.El(i).SlagStdTerm);
        }
        for (int g = 1; g <= ActiveGasCount; ++g)
            s.Formation.push_back(sys.SpeciesFormation[g]);
        return s;
    }

    static void ExpectSameBits(const TSnapshot& a, const TSnapshot& b)
    {
        for (int i = 0; i <= SystemElemLast; ++i)
            for (int j = 0; j <= SystemElemLast; ++j) {
                const auto ui = static_cast<std::size_t>(i), uj = static_cast<std::size_t>(j);
                EXPECT_EQ(a.Metal[ui][uj], b.Metal[ui][uj]) << i << "," << j;
                EXPECT_EQ(a.Slag[ui][uj], b.Slag[ui][uj]) << i << "," << j;
            }
        EXPECT_EQ(a.LnGammaInf, b.LnGammaInf);
        EXPECT_EQ(a.MetalStdTerm, b.MetalStdTerm);
        EXPECT_EQ(a.SlagStdTerm, b.SlagStdTerm);
        EXPECT_EQ(a.Formation, b.Formation);
    }

    ScratchFolder project_;
    RecordingHost host_;
};

// exp(b/T) for |b/T| up to a few: however b/T is rounded, the result moves
// by no more than a few units of 1e-19.
constexpr double TableTolerance = 1e-17;

void ExpectTableEntry(long double actual, long double fresh, int i, int j)
{
    EXPECT_NEAR(static_cast<double>(actual / fresh - 1), 0.0, TableTolerance) << i << "," << j;
}

// The table entries computed afresh at the system's temperature.
struct TFresh {
    long double Metal, Slag;
};
TFresh FreshEntry(const TThSys& sys, int i, int j)
{
    const std::size_t di = sys.El(i).Index, dj = sys.El(j).Index;
    const long double c = -1000.0L / (GasConstant * sys.Temperature);
    const long double de = sys.El(i).SlagEnergy - sys.El(j).SlagEnergy;
    return {ExpL(-InteractionEnergy[di][dj] / (GasConstant * sys.Temperature)),
            Settings.SlagModel == 0 ? ExpL(c * de * de) : ExpL(c * static_cast<long double>(SlagMatrix[di][dj]))};
}

// Both tables against their exponentials, symmetric with ones on the
// diagonal, and ln gamma infinity from them (exactly when `lnTolerance` is
// 0). Returns how many pairs share a slag energy.
int ExpectFreshTables(const TThSys& sys, double lnTolerance)
{
    int shared = 0;
    for (int i = 0; i <= SystemElemLast; ++i) {
        const auto ui = static_cast<std::size_t>(i);
        EXPECT_EQ(sys.MetalInteraction[ui][ui], 1.0L);
        EXPECT_EQ(sys.SlagInteraction[ui][ui], 1.0L);
        for (int j = 0; j < i; ++j) {
            const auto uj = static_cast<std::size_t>(j);
            const TFresh fresh = FreshEntry(sys, i, j);
            ExpectTableEntry(sys.MetalInteraction[ui][uj], fresh.Metal, i, j);
            ExpectTableEntry(sys.SlagInteraction[ui][uj], fresh.Slag, i, j);
            EXPECT_EQ(sys.MetalInteraction[uj][ui], sys.MetalInteraction[ui][uj]);
            EXPECT_EQ(sys.SlagInteraction[uj][ui], sys.SlagInteraction[ui][uj]);
            shared += sys.El(i).SlagEnergy == sys.El(j).SlagEnergy ? 1 : 0;
        }
        const long double ln = 1.0L - sys.MetalInteraction[0][ui] - LogL(sys.MetalInteraction[ui][0]);
        if (lnTolerance == 0) {
            EXPECT_EQ(sys.El(i).LnGammaInf, ln) << i;
        } else {
            EXPECT_NEAR(static_cast<double>(sys.El(i).LnGammaInf - ln), 0.0, lnTolerance) << i;
        }
    }
    return shared;
}

TEST_F(InteractionCacheSample, TablesAreTheExponentialsOfTheirPairs)
{
    TThSys& sys = *ThSystems[0];
    for (const uint8_t model : {uint8_t{0}, uint8_t{1}}) {
        SCOPED_TRACE("slag model " + std::to_string(model));
        Settings.SlagModel = model;
        sys.Temperature = 1873.15L;
        sys.CalcStandardGibbs();
        // The data hold pairs of equal slag energies: the case the table
        // build shares exponentials for.
        EXPECT_GT(ExpectFreshTables(sys, 0), 0);
    }
}

TEST_F(InteractionCacheSample, TermsAtATemperatureSeenBeforeAreThoseFirstComputed)
{
    TThSys& sys = *ThSystems[0];
    sys.Temperature = 1873.15L;
    sys.CalcStandardGibbs();
    const TSnapshot first = Snapshot(sys);

    // Back after one other temperature (kept) and after many (rebuilt).
    sys.Temperature = 1873.151L;
    sys.CalcStandardGibbs();
    sys.Temperature = 1873.15L;
    sys.CalcStandardGibbs();
    ExpectSameBits(first, Snapshot(sys));
    for (int k = 1; k <= 6; ++k) {
        sys.Temperature = 1800.0L + k;
        sys.CalcStandardGibbs();
    }
    sys.Temperature = 1873.15L;
    sys.CalcStandardGibbs();
    ExpectSameBits(first, Snapshot(sys));
}

TEST_F(InteractionCacheSample, ChangedInputsReachTheTermsAtAKeptTemperature)
{
    TThSys& sys = *ThSystems[0];
    sys.Temperature = 1873.15L;
    sys.CalcStandardGibbs();
    int referred = -1;
    for (int i = 0; i <= SystemElemLast && referred < 0; ++i)
        if (!sys.El(i).DirectStandard)
            referred = i;
    ASSERT_GE(referred, 0) << "no element with a standard term referred to 1 % in iron";
    TElementRecord& e = sys.El(referred);
    const long double before = e.MetalStdTerm;

    // A molar mass twice as large moves the 1 % reference by ln 2.
    e.MolarMass *= 2;
    sys.CalcStandardGibbs();
    EXPECT_NEAR(static_cast<double>(e.MetalStdTerm - before), std::log(2.0), 1e-12);

    // A pair energy changed in the database rebuilds the table.
    const std::size_t d0 = sys.El(0).Index, d1 = sys.El(1).Index;
    InteractionEnergy[d0][d1] = InteractionEnergy[d1][d0] = InteractionEnergy[d0][d1] + 1000.0L;
    sys.CalcStandardGibbs();
    ExpectTableEntry(sys.MetalInteraction[1][0], ExpL(-InteractionEnergy[d1][d0] / (GasConstant * sys.Temperature)), 1,
                     0);
}

// A pair energy changed between two heat balances must reach the tables of
// the second, whatever the pair groups and tables kept from the first.
TEST_F(InteractionCacheSample, PairEnergyChangedBetweenHeatBalancesReachesTheTables)
{
    TThSys& sys = *ThSystems[0];
    sys.Temperature = 1873.15L;
    sys.HeatBalance(sys.Heat, false, false);
    ExpectFreshTables(sys, 1e-16);
    const std::size_t d0 = sys.El(0).Index, d1 = sys.El(1).Index;
    InteractionEnergy[d0][d1] = InteractionEnergy[d1][d0] = InteractionEnergy[d0][d1] + 1000.0L;
    sys.Temperature = 1873.4L;
    sys.HeatBalance(sys.Heat, false, false);
    ExpectFreshTables(sys, 1e-16);
}

// The heat balance's evaluations share the logarithms of the metal's mole
// fractions; a fraction that has changed must not keep its former one.
TEST_F(InteractionCacheSample, ChangedMetalFractionsReachTheElementActivities)
{
    TThSys& sys = *ThSystems[0];
    sys.Temperature = 1873.15L;
    sys.CalcStandardGibbs();
    const auto lnActivity = [&sys](int i) {
        long double t = sys.El(i).MetalStdTerm + sys.El(i).LnGammaMetal;
        ClampAbs(t, 300.0L);
        return LogL(sys.El(i).MetalMoleFraction) + t;
    };
    for (int i = 0; i <= SystemElemLast; ++i)
        sys.El(i).MetalMoleFraction = 0.01L * (i + 1);
    sys.CalcGasActivities();
    EXPECT_EQ(sys.El(1).LnActivity, lnActivity(1));

    sys.El(1).MetalMoleFraction = 0.5L;
    sys.CalcGasActivities();
    EXPECT_EQ(sys.El(1).LnActivity, lnActivity(1));
    EXPECT_EQ(sys.El(2).LnActivity, lnActivity(2)); // its neighbour keeps its own
}

TEST_F(InteractionCacheSample, TablesAtOtherTemperaturesAreTheirExponentialsToo)
{
    TThSys& sys = *ThSystems[0];
    sys.Temperature = 1873.15L;
    sys.CalcStandardGibbs();
    // The heat balance's neighbours and a small Newton step (derived from
    // the first tables), then temperatures too far for that.
    for (const long double T : {1873.149L, 1873.151L, 1873.4L, 1872.9L, 1923.15L, 1700.0L, 1700.2L}) {
        SCOPED_TRACE(static_cast<double>(T));
        sys.Temperature = T;
        sys.CalcStandardGibbs();
        ExpectFreshTables(sys, 1e-16);
        if (HasFailure())
            return;
    }
}

TEST_F(InteractionCacheSample, OtherElementsAreNotDerivedFromTheFormerOnes)
{
    TThSys& sys = *ThSystems[0];
    sys.Temperature = 1873.15L;
    sys.CalcStandardGibbs();
    // Another slag energy regroups the pairs: the next table, a hair away
    // in temperature, must use it.
    sys.El(1).SlagEnergy += 7.0L;
    sys.Temperature = 1873.151L;
    sys.CalcStandardGibbs();
    for (int j = 0; j <= SystemElemLast; ++j) {
        if (j == 1)
            continue;
        const int i = std::max(j, 1), k = std::min(j, 1);
        ExpectTableEntry(sys.SlagInteraction[static_cast<std::size_t>(i)][static_cast<std::size_t>(k)],
                         FreshEntry(sys, i, k).Slag, i, k);
    }
}

} // namespace
} // namespace ferrolyt::test

namespace ferrolyt::test {
namespace {

// An element's entropy share (the third value of its liquid enthalpy set)
// keeps that share of its pair energies at their value of 1600 °C: a pair
// term is exp(-E ((1 - s)/T + s/T0)/R) with s the mean of the two shares.
// Shares of 1 leave the metal's ln gamma independent of temperature, so that
// mixing brings no heat; a share changed in the data reaches the tables.
TEST_F(InteractionCacheSample, EntropySharesHoldPairTermsAtTheirValueOf1600C)
{
    TThSys& sys = *ThSystems[0];
    const auto expected = [&sys](int i, int j) {
        const long double s = (sys.El(i).LiquidEnthalpy[2] + sys.El(j).LiquidEnthalpy[2]) / 2;
        const long double e = InteractionEnergy[sys.El(i).Index][sys.El(j).Index];
        return ExpL(-e * ((1 - s) / sys.Temperature + s / 1873.15L) / GasConstant);
    };
    const auto expectTables = [&] {
        for (int i = 1; i <= SystemElemLast; ++i)
            for (int j = 0; j < i; ++j)
                ExpectTableEntry(sys.MetalInteraction[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)],
                                 expected(i, j), i, j);
    };
    sys.Temperature = 1700.0L;
    sys.CalcStandardGibbs();
    sys.El(1).LiquidEnthalpy[2] = 0.5L; // the same temperature: the kept tables no longer fit
    sys.CalcStandardGibbs();
    ASSERT_NE(sys.MetalInteraction[1][0], ExpL(-InteractionEnergy[sys.El(1).Index][sys.El(0).Index] /
                                               (GasConstant * sys.Temperature)));
    expectTables();

    for (int i = 0; i <= SystemElemLast; ++i)
        sys.El(i).LiquidEnthalpy[2] = 1.0L;
    for (const long double T : {1700.0L, 1700.2L, 1873.15L, 1923.15L}) {
        SCOPED_TRACE(static_cast<double>(T));
        sys.Temperature = T;
        sys.CalcStandardGibbs();
        expectTables();
    }
    // A metal of the system's elements alone: its enthalpy is that of its
    // standard states, the heat balance's metal enthalpy nothing.
    for (int i = 0; i <= SystemElemLast; ++i) {
        TElementRecord& e = sys.El(i);
        e.MetalAmount = 1.0L / (1 + i);
        e.SlagAmount = e.GasAmount = 1e-100L;
    }
    sys.Temperature = 1823.15L;
    THeatBlock block;
    sys.HeatBalance(block, false, false);
    EXPECT_NEAR(static_cast<double>(block.H[phMetal]), 0.0, 1e-3);
}

} // namespace
} // namespace ferrolyt::test
