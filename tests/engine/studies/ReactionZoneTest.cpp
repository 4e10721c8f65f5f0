// The reaction zone on the melted sample heat: what the zone and the final
// system hold, the limiting shares, and the convergence of both solves.

#include "ReactionZone.h"
#include "StudyFixtures.h"
#include "TaskList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace ferrolyt::test {
namespace {

double D(long double v) { return static_cast<double>(v); }

// The composition tables are single precision: masses rebuilt from them
// agree to a few parts in ten million.
double Near(long double expected) { return 2e-6 * (1e-6 + std::fabs(D(expected))); }

struct TElementMasses {
    long double Metal = 0, Slag = 0, Gas = 0, Total = 0;
};

// The melted heat as it was before the zone touched anything.
std::vector<TElementMasses> HeatMasses()
{
    std::vector<TElementMasses> v;
    for (int i = 0; i <= SystemElemLast; ++i) {
        const TElementRecord& e = ThSystems[0]->El(i);
        v.push_back({e.MetalMass, e.SlagMass, e.GasMass, e.TotalMass});
    }
    return v;
}

class ReactionZoneBase : public MeltedSampleBase {
protected:
    void SetUp() override
    {
        MeltedSampleBase::SetUp();
        if (HasFatalFailure())
            return;
        heat_ = HeatMasses();
        oxygenSlot_ = MaterialIndexByName(ReactionZoneOxygenName);
        ASSERT_GE(oxygenSlot_, 1);
    }

    // Oxygen material's mass fraction of element i.
    long double OxygenFraction(int i) const
    {
        return CompositionMin[static_cast<std::size_t>(i + 1)][oxygenSlot_];
    }

    // Mass of the melted heat in the given shares of its phases.
    long double HeatShare(long double metal, long double slag, long double gas = 0) const
    {
        long double m = 0;
        for (const TElementMasses& h : heat_)
            m += metal * h.Metal + slag * h.Slag + gas * h.Gas;
        return m;
    }

    std::vector<TElementMasses> heat_;
    int oxygenSlot_ = -1;
};

TThSys& Zone() { return *ThSystems[3]; }
TThSys& Final() { return *ThSystems[2]; }

// ---------------------------------------------------------------------------

using ReactionZoneMassBalance = ReactionZoneBase;

// The zone holds its shares of the heat's metal and slag and the oxygen; the
// final system the rest of the heat and the returned shares of the zone.
TEST_F(ReactionZoneMassBalance, ZoneAndFinalSystemHoldTheirShares)
{
    const TReactionZoneResult r = SolveReactionZone(
        {.MetalToZone = 0.6L, .SlagToZone = 0.9L, .Oxygen = 2.0L, .MetalBack = 0.5L, .SlagBack = 0.25L, .GasBack = 1.0L});
    EXPECT_EQ(r.OxygenSlot, oxygenSlot_);
    ASSERT_TRUE(r.ZoneConverged);
    long double zoneTotal = 0;
    for (int i = 0; i <= SystemElemLast; ++i) {
        SCOPED_TRACE(Zone().El(i).Symbol);
        const TElementMasses& h = heat_[static_cast<std::size_t>(i)];
        const TElementRecord& z = Zone().El(i);
        const long double drawn = 0.6L * h.Metal + 0.9L * h.Slag + 2.0L * OxygenFraction(i);
        EXPECT_NEAR(D(z.TotalMass), D(drawn), Near(drawn));
        EXPECT_NEAR(D(z.MetalMass + z.SlagMass + z.GasMass), D(drawn), Near(drawn));
        zoneTotal += drawn;
        const long double rest = 0.4L * h.Metal + h.Gas + 0.1L * h.Slag;
        const long double back = 0.5L * z.MetalMass + 0.25L * z.SlagMass + z.GasMass;
        const TElementRecord& f = Final().El(i);
        EXPECT_NEAR(D(f.TotalMass), D(rest + back), Near(rest + back) + 1e-9);
        EXPECT_NEAR(D(f.MetalMass + f.SlagMass + f.GasMass), D(f.TotalMass), Near(f.TotalMass));
    }
    EXPECT_NEAR(D(Zone().TotalMass), D(zoneTotal), Near(zoneTotal));
}

TEST_F(ReactionZoneMassBalance, WholeReturnKeepsTheHeatAndAddsTheOxygen)
{
    SolveReactionZone({.Oxygen = 3.0L});
    long double oxygen = 0;
    for (int i = 0; i <= SystemElemLast; ++i)
        oxygen += 3.0L * OxygenFraction(i);
    const long double expected = ThSystems[0]->TotalMass + oxygen;
    EXPECT_NEAR(D(Final().TotalMass), D(expected), Near(expected));
    EXPECT_NEAR(D(Final().MetalMass + Final().SlagMass + Final().GasMass), D(expected), Near(expected));
}

TEST_F(ReactionZoneMassBalance, HeatsChargedInclusionsAreNotCountedTwice)
{
    // A heat set up with part of its slag charged as inclusions: the solve
    // spread those over its phases, yet the element records still carry
    // them as an input.
    for (int i = 0; i <= SystemElemLast; ++i) {
        TElementRecord& e = ThSystems[0]->El(i);
        e.InputNmiMass = 0.1L * e.SlagMass;
    }
    SolveReactionZone({.MetalToZone = 0.5L, .SlagToZone = 0.5L});
    const long double zoneExpected = HeatShare(0.5L, 0.5L);
    EXPECT_NEAR(D(Zone().TotalMass), D(zoneExpected), Near(zoneExpected));
    const long double heatTotal = ThSystems[0]->TotalMass;
    EXPECT_NEAR(D(Final().TotalMass), D(heatTotal), Near(heatTotal));
    EXPECT_LT(Final().NmiMoles, 1e-90L);
}

TEST_F(ReactionZoneMassBalance, KilomoleUnitsOfTheMaterialsGridChangeNothing)
{
    const TReactionZoneShares s{.Oxygen = 2.0L, .MetalBack = 0.8L};
    SolveReactionZone(s);
    const long double zoneTotal = Zone().TotalMass, finalTotal = Final().TotalMass;
    const long double finalMetal = Final().MetalMass;

    MatsInKmoles = true;
    SolveReactionZone(s);
    EXPECT_TRUE(MatsInKmoles);
    MatsInKmoles = false;
    EXPECT_NEAR(D(Zone().TotalMass), D(zoneTotal), Near(zoneTotal));
    EXPECT_NEAR(D(Final().TotalMass), D(finalTotal), Near(finalTotal));
    EXPECT_NEAR(D(Final().MetalMass), D(finalMetal), 1e-6 * D(finalMetal));
}

// ---------------------------------------------------------------------------

using ReactionZoneLimits = ReactionZoneBase;

// Each element's metal and slag in the final system against the melted heat.
void ExpectHeatsEquilibrium(const std::vector<TElementMasses>& heat)
{
    for (int i = 0; i <= SystemElemLast; ++i) {
        const TElementRecord& f = Final().El(i);
        SCOPED_TRACE(f.Symbol);
        const TElementMasses& h = heat[static_cast<std::size_t>(i)];
        const double tol = 1e-4 * D(h.Total) + 1e-9;
        EXPECT_NEAR(D(f.TotalMass), D(h.Total), tol);
        EXPECT_NEAR(D(f.MetalMass), D(h.Metal), tol);
        EXPECT_NEAR(D(f.SlagMass), D(h.Slag), tol);
    }
}

TEST_F(ReactionZoneLimits, NothingOrTheWholeHeatDrawnInComesBackToTheHeatsEquilibrium)
{
    for (const long double share : {0.0L, 1.0L}) {
        SCOPED_TRACE("share drawn in " + std::to_string(D(share)));
        const TReactionZoneResult r = SolveReactionZone({.MetalToZone = share, .SlagToZone = share, .Oxygen = 0});
        EXPECT_TRUE(r.FinalConverged);
        EXPECT_TRUE(share == 0 ? Zone().TotalMass < 1e-90L : r.ZoneConverged);
        ExpectHeatsEquilibrium(heat_);
    }
}

TEST_F(ReactionZoneLimits, NothingReturnedChargesThePseudoMaterialsAtTheFloor)
{
    const TReactionZoneResult r = SolveReactionZone(
        {.MetalToZone = 0.5L, .SlagToZone = 0.5L, .Oxygen = 1, .MetalBack = 0, .SlagBack = 0, .GasBack = 0});
    EXPECT_TRUE(r.FinalConverged);
    for (int p = 1; p <= 3; ++p)
        EXPECT_EQ(MaterialTable[MaterialCount + p].Amount, 1e-100L) << "pseudo-material " << p;
    for (int j = 1; j <= MaterialCount; ++j)
        EXPECT_EQ(MaterialTable[j].Amount, 0) << MaterialTable[j].Name;
    const long double rest = HeatShare(0.5L, 0.5L, 1);
    EXPECT_NEAR(D(Final().TotalMass), D(rest), Near(rest));
}

TEST_F(ReactionZoneLimits, ReturnedPhasesCarryTheZonesCompositionAndTemperature)
{
    const TReactionZoneShares s{.Oxygen = 2};
    PrepareReactionZone(s);
    ASSERT_TRUE(SolveZone());
    EXPECT_EQ(MaterialTable[oxygenSlot_].Amount, 2.0L);
    ChargeZonePhases(s);
    EXPECT_EQ(MaterialTable[oxygenSlot_].Amount, 0);
    const std::array<long double, 3> mass{Zone().MetalMass, Zone().SlagMass, Zone().GasMass};
    for (int p = 0; p < 3; ++p) {
        const TMaterialRecord& m = MaterialTable[MaterialCount + 1 + p];
        EXPECT_EQ(m.Amount, std::max(mass[static_cast<std::size_t>(p)], 1e-100L));
        EXPECT_NEAR(D(m.Temperature), D(Zone().Temperature - KelvinOffset), 1e-9);
    }
    const int fe = ThSystems[0]->Elems->Key(keyFe);
    ASSERT_GE(fe, 0);
    EXPECT_FLOAT_EQ(CompositionMin[static_cast<std::size_t>(fe + 1)][MaterialCount + 1],
                    static_cast<float>(Zone().El(fe).MetalFraction));
    EXPECT_FLOAT_EQ(CompositionMin[static_cast<std::size_t>(fe + 1)][MaterialCount + 2],
                    static_cast<float>(Zone().El(fe).SlagFraction));
}

TEST_F(ReactionZoneLimits, ProjectWithoutOxygenMaterialComputesTheZoneWithoutIt)
{
    MaterialTable[oxygenSlot_].Name = "Повітря";
    const TReactionZoneResult r = SolveReactionZone({.MetalToZone = 0.5L, .SlagToZone = 0.5L, .Oxygen = 5});
    EXPECT_EQ(r.OxygenSlot, -1);
    EXPECT_TRUE(r.ZoneConverged);
    const long double expected = HeatShare(0.5L, 0.5L);
    EXPECT_NEAR(D(Zone().TotalMass), D(expected), Near(expected));
}

TEST_F(ReactionZoneLimits, NegativeOxygenChargesNone)
{
    for (const long double oxygen : {-3.0L, std::nanl("")}) {
        PrepareReactionZone({.Oxygen = oxygen});
        EXPECT_EQ(MaterialTable[oxygenSlot_].Amount, 0) << D(oxygen);
    }
}

// ---------------------------------------------------------------------------

using ReactionZoneConvergence = ReactionZoneBase;

// The window's start: 20 % of metal and slag, an oxygen share of 10 %.
TReactionZoneShares StartShares()
{
    return {.Oxygen = ThSystems[0]->MetalMass * 0.2L * 0.1L / 0.9L};
}

TEST_F(ReactionZoneConvergence, StartSharesConvergeAndTheOxygenOxidisesTheZone)
{
    const long double slagIn = 0.2L * ThSystems[0]->SlagMass;
    const TReactionZoneResult r = SolveReactionZone(StartShares());
    EXPECT_TRUE(r.ZoneConverged);
    EXPECT_TRUE(r.FinalConverged);
    EXPECT_GT(Zone().SlagMass, slagIn);
    EXPECT_GT(Final().SlagMass, ThSystems[0]->SlagMass);
    EXPECT_TRUE(std::isfinite(D(Final().Temperature)));
}

TEST_F(ReactionZoneConvergence, HeatBalanceKeepsTheTemperatureOfAnUntouchedHeat)
{
    // With the heat balance on, the heat drawn in whole without oxygen is
    // the same heat: the zone keeps its temperature.
    Settings.FinalTempMode = 1;
    TTaskRecord& task = TaskList.CurrentTask();
    task.Energy = 20000;
    task.Losses = 15000;
    ASSERT_TRUE(MeltForward().BothConverged);
    const long double heatT = ThSystems[0]->Temperature;
    const TReactionZoneResult r = SolveReactionZone({.MetalToZone = 1, .SlagToZone = 1, .Oxygen = 0});
    EXPECT_TRUE(r.ZoneConverged);
    EXPECT_TRUE(r.FinalConverged);
    EXPECT_NEAR(D(Zone().Temperature), D(heatT), 5.0);
    EXPECT_EQ(task.Energy, 20000);
    EXPECT_EQ(task.Losses, 15000);
}

TEST_F(ReactionZoneConvergence, HeatBalanceWarmsAZoneThatBurnsOxygen)
{
    Settings.FinalTempMode = 1;
    ASSERT_TRUE(MeltForward().BothConverged);
    const long double heatT = ThSystems[0]->Temperature;
    TReactionZoneShares s = StartShares();
    s.Oxygen *= 0.1L;
    const TReactionZoneResult r = SolveReactionZone(s);
    EXPECT_TRUE(r.ZoneConverged);
    EXPECT_TRUE(r.FinalConverged);
    EXPECT_GT(Zone().Temperature, heatT);
    EXPECT_LT(Zone().Temperature, heatT + 500);
}

} // namespace
} // namespace ferrolyt::test
