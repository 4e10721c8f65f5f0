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

    std::vector<TElementMasses> heat_;
    int oxygenSlot_ = -1;
};

TThSys& Zone() { return *ThSystems[3]; }
TThSys& Final() { return *ThSystems[2]; }

// ---------------------------------------------------------------------------

using ReactionZoneMassBalance = ReactionZoneBase;

TEST_F(ReactionZoneMassBalance, ZoneHoldsItsSharesOfMetalAndSlagAndTheOxygen)
{
    TReactionZoneShares s;
    s.MetalToZone = 0.7L;
    s.SlagToZone = 0.4L;
    s.Oxygen = 1.5L;
    const TReactionZoneResult r = SolveReactionZone(s);
    EXPECT_EQ(r.OxygenSlot, oxygenSlot_);
    long double expectedTotal = 0;
    for (int i = 0; i <= SystemElemLast; ++i) {
        SCOPED_TRACE(Zone().El(i).Symbol);
        const TElementMasses& h = heat_[static_cast<std::size_t>(i)];
        const long double expected = 0.7L * h.Metal + 0.4L * h.Slag + 1.5L * OxygenFraction(i);
        const TElementRecord& z = Zone().El(i);
        EXPECT_NEAR(D(z.TotalMass), D(expected), Near(expected));
        EXPECT_NEAR(D(z.MetalMass + z.SlagMass + z.GasMass), D(expected), Near(expected));
        expectedTotal += expected;
    }
    EXPECT_NEAR(D(Zone().TotalMass), D(expectedTotal), Near(expectedTotal));
}

TEST_F(ReactionZoneMassBalance, FinalSystemHoldsTheRestAndTheReturnedShares)
{
    TReactionZoneShares s;
    s.MetalToZone = 0.6L;
    s.SlagToZone = 0.9L;
    s.Oxygen = 2.0L;
    s.MetalBack = 0.5L;
    s.SlagBack = 0.25L;
    s.GasBack = 1.0L;
    const TReactionZoneResult r = SolveReactionZone(s);
    ASSERT_TRUE(r.ZoneConverged);
    for (int i = 0; i <= SystemElemLast; ++i) {
        SCOPED_TRACE(Final().El(i).Symbol);
        const TElementMasses& h = heat_[static_cast<std::size_t>(i)];
        const TElementRecord& z = Zone().El(i);
        const long double rest = 0.4L * h.Metal + h.Gas + 0.1L * h.Slag;
        const long double back = 0.5L * z.MetalMass + 0.25L * z.SlagMass + z.GasMass;
        const TElementRecord& f = Final().El(i);
        EXPECT_NEAR(D(f.TotalMass), D(rest + back), Near(rest + back) + 1e-9);
        EXPECT_NEAR(D(f.MetalMass + f.SlagMass + f.GasMass), D(f.TotalMass), Near(f.TotalMass));
    }
}

TEST_F(ReactionZoneMassBalance, WholeReturnKeepsTheHeatAndAddsTheOxygen)
{
    TReactionZoneShares s;
    s.Oxygen = 3.0L;
    SolveReactionZone(s);
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
    TReactionZoneShares s;
    s.MetalToZone = 0.5L;
    s.SlagToZone = 0.5L;
    SolveReactionZone(s);
    long double zoneExpected = 0;
    for (const TElementMasses& h : heat_)
        zoneExpected += 0.5L * (h.Metal + h.Slag);
    EXPECT_NEAR(D(Zone().TotalMass), D(zoneExpected), Near(zoneExpected));
    const long double heatTotal = ThSystems[0]->TotalMass;
    EXPECT_NEAR(D(Final().TotalMass), D(heatTotal), Near(heatTotal));
    EXPECT_LT(Final().NmiMoles, 1e-90L);
}

TEST_F(ReactionZoneMassBalance, KilomoleUnitsOfTheMaterialsGridChangeNothing)
{
    TReactionZoneShares s;
    s.Oxygen = 2.0L;
    s.MetalBack = 0.8L;
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

TEST_F(ReactionZoneLimits, NothingDrawnInLeavesTheHeatsEquilibrium)
{
    TReactionZoneShares s;
    s.MetalToZone = 0;
    s.SlagToZone = 0;
    s.Oxygen = 0;
    const TReactionZoneResult r = SolveReactionZone(s);
    EXPECT_TRUE(r.FinalConverged);
    EXPECT_LT(Zone().TotalMass, 1e-90L);
    ExpectHeatsEquilibrium(heat_);
}

TEST_F(ReactionZoneLimits, WholeHeatDrawnInAndReturnedComesBackToTheHeatsEquilibrium)
{
    TReactionZoneShares s;
    s.MetalToZone = 1;
    s.SlagToZone = 1;
    s.Oxygen = 0;
    const TReactionZoneResult r = SolveReactionZone(s);
    EXPECT_TRUE(r.ZoneConverged);
    EXPECT_TRUE(r.FinalConverged);
    ExpectHeatsEquilibrium(heat_);
}

TEST_F(ReactionZoneLimits, NothingReturnedChargesThePseudoMaterialsAtTheFloor)
{
    TReactionZoneShares s;
    s.MetalToZone = 0.5L;
    s.SlagToZone = 0.5L;
    s.Oxygen = 1;
    s.MetalBack = s.SlagBack = s.GasBack = 0;
    const TReactionZoneResult r = SolveReactionZone(s);
    EXPECT_TRUE(r.FinalConverged);
    for (int p = 1; p <= 3; ++p)
        EXPECT_EQ(MaterialTable[MaterialCount + p].Amount, 1e-100L) << "pseudo-material " << p;
    for (int j = 1; j <= MaterialCount; ++j)
        EXPECT_EQ(MaterialTable[j].Amount, 0) << MaterialTable[j].Name;
    long double rest = 0;
    for (const TElementMasses& h : heat_)
        rest += 0.5L * (h.Metal + h.Slag) + h.Gas;
    EXPECT_NEAR(D(Final().TotalMass), D(rest), Near(rest));
}

TEST_F(ReactionZoneLimits, ReturnedPhasesCarryTheZonesCompositionAndTemperature)
{
    TReactionZoneShares s;
    s.Oxygen = 2;
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
    TReactionZoneShares s;
    s.MetalToZone = 0.5L;
    s.SlagToZone = 0.5L;
    s.Oxygen = 5;
    const TReactionZoneResult r = SolveReactionZone(s);
    EXPECT_EQ(r.OxygenSlot, -1);
    EXPECT_TRUE(r.ZoneConverged);
    long double expected = 0;
    for (const TElementMasses& h : heat_)
        expected += 0.5L * (h.Metal + h.Slag);
    EXPECT_NEAR(D(Zone().TotalMass), D(expected), Near(expected));
}

TEST_F(ReactionZoneLimits, NegativeOxygenChargesNone)
{
    TReactionZoneShares s;
    s.Oxygen = -3;
    PrepareReactionZone(s);
    EXPECT_EQ(MaterialTable[oxygenSlot_].Amount, 0);
    s.Oxygen = std::nanl("");
    PrepareReactionZone(s);
    EXPECT_EQ(MaterialTable[oxygenSlot_].Amount, 0);
}

// ---------------------------------------------------------------------------

using ReactionZoneConvergence = ReactionZoneBase;

// The window's start: 20 % of metal and slag, an oxygen share of 10 %.
TReactionZoneShares StartShares()
{
    TReactionZoneShares s;
    const long double mMetRZ = ThSystems[0]->MetalMass * 0.2L;
    s.Oxygen = mMetRZ * 0.1L / 0.9L;
    return s;
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
    TReactionZoneShares s;
    s.MetalToZone = 1;
    s.SlagToZone = 1;
    s.Oxygen = 0;
    const TReactionZoneResult r = SolveReactionZone(s);
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
