// The equilibrium solver on small systems of our own: conservation, the
// conditions that hold at convergence, the effect tables against finite
// differences, the direction of the physics, and the callers' flags.

#include "ForwardProblem.h"
#include "RecordingHost.h"
#include "SolverFixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

using namespace ferrolyt;
using namespace ferrolyt::test;

namespace {

double D(long double v) { return static_cast<double>(v); }

// Element amounts the charge brings in, by the definition of an amount.
std::vector<long double> ChargedAmounts(const TThSys& sys, const TCompositionTable& composition)
{
    std::vector<long double> amounts;
    for (int i = 0; i <= SystemElemLast; ++i) {
        const TElementRecord& e = sys.El(i);
        long double n = (e.InputMetalMass + e.InputSlagMass + e.InputNmiMass) / e.MolarMass;
        for (int j = 1; j <= MaterialCount; ++j)
            if (MaterialTable[j].Type >= mtMetal && MaterialTable[j].Amount > 1e-10L)
                n += MaterialTable[j].Amount * composition[Ix(i + 1)][j] / e.MolarMass;
        amounts.push_back(n);
    }
    return amounts;
}

long double MetalPercent(const TThSys& sys, const char* symbol)
{
    return 100 * sys.El(sys.Elems->IndexOfSymbol(symbol)).MetalFraction;
}

// The system's totals, every element's phases and the effect tables.
void ExpectFinite(const TThSys& sys)
{
    std::vector<long double> v{sys.Temperature, sys.MetalMass,  sys.SlagMass, sys.GasMass,
                               sys.NmiMass,     sys.MetalMoles, sys.SlagMoles, sys.GasMoles, sys.TotalMoles};
    const std::size_t k = sys.Kind == 1 ? 1 : 0;
    for (int i = 0; i <= SystemElemLast; ++i) {
        const TElementRecord& e = sys.El(i);
        v.insert(v.end(), {e.MetalAmount, e.SlagAmount, e.GasAmount, e.NmiAmount, e.MetalMass, e.SlagMass,
                           e.GasMass, e.NmiMass});
        for (int j = 1; j <= MaterialCount + 3; ++j)
            v.insert(v.end(), {MaterialEffectsOnMetal[k][Ix(i + 1)][j], MaterialEffectsOnSlag[k][Ix(i + 1)][j]});
        for (int m = 0; m <= SystemElemLast; ++m)
            v.insert(v.end(), {ElementEffectsOnMetal[k][Ix(i)][Ix(m)], ElementEffectsOnSlag[k][Ix(i)][Ix(m)]});
    }
    for (std::size_t r = 0; r < v.size(); ++r)
        EXPECT_TRUE(std::isfinite(v[r])) << "value " << r;
}

// The same melt with ideal metal and slag solutions: every activity
// coefficient is 1 whatever the composition.
TThSys& ChargeIdealFeOSiMnCa()
{
    TThSys& sys = ChargeFeOSiMnCa();
    InteractionEnergy = {};
    for (int i = 0; i <= SystemElemLast; ++i)
        sys.El(i).SlagEnergy = 1;
    PrepareCharge(sys);
    return sys;
}

} // namespace

// ---------------------------------------------------------------------------

TEST(SolverMassBalance, ElementsKeepTheirChargedAmountsAndPhasesAddUp)
{
    RecordingHost host;
    for (int mode = 0; mode < 3; ++mode) {
        for (int system = 0; system < 3; ++system) {
            TThSys& sys = system == 0 ? ChargeFeCO(1, 0.04f, 0.05L)
                : system == 1         ? ChargeFeCO(1, 0.04f, 0)
                                      : ChargeFeOSiMnCa();
            Settings.FinalTempMode = static_cast<uint8_t>(mode);
            const std::vector<long double> charged = ChargedAmounts(sys, CompositionMin);
            SCOPED_TRACE("mode " + std::to_string(mode) + " system " + std::to_string(system));
            ASSERT_TRUE(Solve(sys));
            for (int i = 0; i <= SystemElemLast; ++i) {
                const TElementRecord& e = sys.El(i);
                const long double n = e.MetalAmount + e.SlagAmount + e.GasAmount + e.NmiAmount;
                EXPECT_NEAR(D(n / charged[Ix(i)]), 1.0, 1e-12) << e.Symbol;
                EXPECT_NEAR(D(e.TotalMass / (charged[Ix(i)] * e.MolarMass)), 1.0, 1e-12) << e.Symbol;
            }
            EXPECT_NEAR(D((sys.MetalMass + sys.SlagMass + sys.GasMass + sys.NmiMass) / sys.TotalMass), 1.0, 1e-12);
            ExpectFinite(sys);
        }
    }
}

// ---------------------------------------------------------------------------

TEST(SolverConvergedState, SlagIsElectroneutralWithTheTaskCharge)
{
    RecordingHost host;
    for (long double taskCharge : {0.0L, 2.0L}) {
        TThSys& sys = ChargeFeOSiMnCa();
        TaskList.Items[0].Charge = taskCharge == 0 ? UnsetValue : taskCharge;
        ASSERT_TRUE(Solve(sys));
        EXPECT_EQ(sys.SlagCharge, taskCharge);
        long double charge = 0.001L * sys.SlagCharge, scale = 0;
        for (int i = 0; i <= SystemElemLast; ++i) {
            charge += sys.El(i).Valence * sys.El(i).SlagAmount;
            scale += std::fabs(sys.El(i).Valence * sys.El(i).SlagAmount);
        }
        EXPECT_LT(std::fabs(charge), 1e-9L * scale) << "charge " << D(taskCharge);
    }
    TaskList.Items[0].Charge = UnsetValue;
}

TEST(SolverConvergedState, GasPressuresSumToTheTotalPressureWhenGasForms)
{
    RecordingHost host;
    for (long double p : {1.0L, 2.5L}) {
        TThSys& sys = ChargeFeCO(1, 0.04f, 0.05L);
        TotalPressure = p;
        ASSERT_TRUE(Solve(sys));
        ASSERT_TRUE(sys.GasPresent);
        long double sum = 0;
        for (int s = 1; s <= ActiveGasCount; ++s)
            sum += sys.SpeciesPressures[s];
        EXPECT_NEAR(D(sum), D(p), 1e-9);
        EXPECT_NEAR(D(sys.GasPressureSum), D(p), 1e-6);
        EXPECT_GT(sys.GasVolume, 0);
    }
}

TEST(SolverConvergedState, HeatBalanceClosesAndMoreEnergyGivesAHotterMelt)
{
    RecordingHost host;
    for (int system = 0; system < 2; ++system) {
        long double previous = 0;
        for (long double energy : {0.0L, 60.0L, 100.0L}) {
            TThSys& sys = system == 0 ? ChargeFeCO(1, 0.04f, 0.05L) : ChargeFeOSiMnCa();
            SCOPED_TRACE("system " + std::to_string(system) + " energy " + std::to_string(D(energy)));
            Settings.FinalTempMode = 1;
            TaskList.Items[0].Energy = energy;
            TaskList.Items[0].Losses = 20;
            ASSERT_TRUE(Solve(sys));
            const long double in = sys.HeatInputs[0] + sys.HeatInputs[1] + energy - 20;
            EXPECT_EQ(sys.HeatInput, in);
            const long double residual = sys.Heat.H[phTotal] + sys.HeatCapA + sys.Temperature * sys.HeatCapB - in;
            EXPECT_LT(std::fabs(residual), 1e-6L * std::fabs(in));
            EXPECT_GT(sys.Temperature, std::max(previous, 293.15L));
            EXPECT_LT(sys.Temperature, 5000.0L);
            previous = sys.Temperature;
        }
    }
}

// ---------------------------------------------------------------------------

// The tables are the derivatives of the solved phases with the activity
// coefficients held at their solved values. With ideal solutions nothing
// else moves, so a re-solve with one input moved by ±δ must move each
// element's phase mass by effect × δ: central differences with δ = 1e-3 t
// (1e-4 t for an element) leave a truncation error of order δ², the solves
// settle to 1e-9 in the pressure sum and the tables are single precision,
// so 0.1 % of the column's largest entry (plus 1e-7) is ample, while a sign
// or factor error in any term exceeds it by far. With interacting solutions
// the tables leave out how the coefficients follow the composition; they
// must still agree to 15 %.
struct TEffectCase {
    bool Ideal;
    double Tolerance;
};

class SolverEffects : public testing::TestWithParam<TEffectCase> {
protected:
    TThSys& Charge() { return GetParam().Ideal ? ChargeIdealFeOSiMnCa() : ChargeFeOSiMnCa(); }
};

namespace {

// Every element's metal mass, then every slag mass, and last the temperature.
std::vector<long double> SolvedState(TThSys& sys)
{
    EXPECT_TRUE(Solve(sys));
    std::vector<long double> v;
    for (int i = 0; i <= SystemElemLast; ++i)
        v.push_back(sys.El(i).MetalMass);
    for (int i = 0; i <= SystemElemLast; ++i)
        v.push_back(sys.El(i).SlagMass);
    v.push_back(sys.Temperature);
    return v;
}

// The metal and slag effects (laid out as SolvedState) against the central
// differences over ±delta, within tolerance × the column's largest entry.
void ExpectEffects(const TThSys& sys, const std::vector<double>& effect, const std::vector<long double>& plus,
                   const std::vector<long double>& minus, long double delta, double tolerance)
{
    const std::size_t n = Ix(SystemElemLast + 1);
    double largest = 0;
    for (std::size_t r = 0; r < 2 * n; ++r)
        largest = std::max(largest, std::fabs(effect[r]));
    for (std::size_t r = 0; r < 2 * n; ++r)
        EXPECT_NEAR(effect[r], D((plus[r] - minus[r]) / (2 * delta)), tolerance * largest + 1e-7)
            << (r < n ? "metal " : "slag ") << sys.El(static_cast<int>(r % n)).Symbol;
}

} // namespace

TEST_P(SolverEffects, MaterialEffectsMatchFiniteDifferences)
{
    RecordingHost host;
    for (int mode : {0, 1}) {
        TThSys& sys = Charge();
        Settings.FinalTempMode = static_cast<uint8_t>(mode);
        ASSERT_TRUE(Solve(sys));
        std::array<std::vector<double>, 3> effect; // per material, then its temperature effect
        for (int j = 1; j <= 2; ++j) {
            for (const auto* table : {&MaterialEffectsOnMetal[0], &MaterialEffectsOnSlag[0]})
                for (int i = 0; i <= SystemElemLast; ++i)
                    effect[Ix(j)].push_back((*table)[Ix(i + 1)][j]);
            effect[Ix(j)].push_back(D(MaterialTable[j].TempEffect[0]));
        }
        for (int j = 1; j <= 2; ++j) {
            SCOPED_TRACE("material " + std::to_string(j) + " mode " + std::to_string(mode));
            const long double delta = 1e-3L, base = MaterialTable[j].Amount;
            MaterialTable[j].Amount = base + delta;
            const auto plus = SolvedState(sys);
            MaterialTable[j].Amount = base - delta;
            const auto minus = SolvedState(sys);
            MaterialTable[j].Amount = base;
            ExpectEffects(sys, effect[Ix(j)], plus, minus, delta, GetParam().Tolerance);
            if (mode == 1) {
                const double dT = D((plus.back() - minus.back()) / (2 * delta));
                // The heat capacity comes from second differences over 0.001 K.
                EXPECT_NEAR(effect[Ix(j)].back(), dT, std::max(GetParam().Tolerance, 5e-3) * std::fabs(dT) + 1e-3);
            }
        }
    }
}

TEST_P(SolverEffects, ElementEffectsMatchFiniteDifferencesAtConstantTemperature)
{
    RecordingHost host;
    TThSys& sys = Charge();
    for (const char* symbol : {"O", "Si", "Ca"}) {
        SCOPED_TRACE(std::string("per ") + symbol);
        const int k = sys.Elems->IndexOfSymbol(symbol);
        // A little of the element in the initial metal, so that it can be
        // taken away as well as added.
        const long double base = 1e-3L, delta = 1e-4L; // t of the element
        sys.El(k).InputMetalMass = base;
        ASSERT_TRUE(Solve(sys));
        std::vector<double> effect;
        for (const auto* table : {&ElementEffectsOnMetal[0], &ElementEffectsOnSlag[0]})
            for (int i = 0; i <= SystemElemLast; ++i)
                effect.push_back(D((*table)[Ix(i)][Ix(k)]));
        sys.El(k).InputMetalMass = base + delta;
        const auto plus = SolvedState(sys);
        sys.El(k).InputMetalMass = base - delta;
        const auto minus = SolvedState(sys);
        sys.El(k).InputMetalMass = DivisorFloor;
        ExpectEffects(sys, effect, plus, minus, delta, GetParam().Tolerance);
    }
}

INSTANTIATE_TEST_SUITE_P(Solutions, SolverEffects,
                         testing::Values(TEffectCase{true, 1e-3}, TEffectCase{false, 0.15}),
                         [](const auto& info) { return info.param.Ideal ? "Ideal" : "Interacting"; });

// ---------------------------------------------------------------------------

TEST(SolverPhysics, MoreCarbonLeavesLessOxygenInTheMetal)
{
    RecordingHost host;
    long double previousOxygen = 1e9;
    for (float carbon : {0.005f, 0.02f, 0.04f}) {
        TThSys& sys = ChargeFeCO(1, carbon, 0.05L);
        ASSERT_TRUE(Solve(sys));
        EXPECT_LT(MetalPercent(sys, "O"), previousOxygen) << "C " << carbon;
        previousOxygen = MetalPercent(sys, "O");
    }
}

TEST(SolverPhysics, HigherPressureRaisesTheCarbonOxygenProduct)
{
    RecordingHost host;
    long double previous = 0;
    for (long double p : {0.5L, 1.0L, 2.0L}) {
        TThSys& sys = ChargeFeCO(1, 0.02f, 0.05L);
        TotalPressure = p;
        ASSERT_TRUE(Solve(sys));
        EXPECT_GT(MetalPercent(sys, "C") * MetalPercent(sys, "O"), previous) << "P " << D(p);
        previous = MetalPercent(sys, "C") * MetalPercent(sys, "O");
    }
}

TEST(SolverPhysics, AnOxidisingSlagRaisesTheMetalsOxygen)
{
    RecordingHost host;
    TThSys& lean = ChargeFeOSiMnCa(1, 0.1L);
    ASSERT_TRUE(Solve(lean));
    const long double leanOxygen = MetalPercent(lean, "O"); // the next charge replaces this model
    TThSys& rich = ChargeFeOSiMnCa(1, 0.1L);
    AddMaterial("Окалина", mtSlag, 0.1L, {{"Fe", 0.7773f}, {"O", 0.2227f}});
    PrepareCharge(rich);
    ASSERT_TRUE(Solve(rich));
    EXPECT_GT(MetalPercent(rich, "O"), leanOxygen);
}

// ---------------------------------------------------------------------------

TEST(SolverDeterminism, RepeatedSolvesAreBitIdentical)
{
    RecordingHost host;
    auto run = [] {
        TThSys& sys = ChargeFeOSiMnCa();
        Settings.FinalTempMode = 1;
        EXPECT_TRUE(Solve(sys));
        std::vector<long double> v{sys.Temperature, sys.SlagPotential, sys.LnMetalSlag, sys.LnMetalGas};
        for (int i = 0; i <= SystemElemLast; ++i) {
            v.insert(v.end(), {sys.El(i).MetalAmount, sys.El(i).SlagAmount, sys.El(i).GasAmount});
            for (int j = 1; j <= MaterialCount + 3; ++j)
                v.push_back(MaterialEffectsOnMetal[0][Ix(i + 1)][j]);
        }
        return v;
    };
    const auto first = run(), second = run();
    ASSERT_EQ(first.size(), second.size());
    // The 80 significant bits of each value (the rest is padding).
    for (std::size_t k = 0; k < first.size(); ++k)
        EXPECT_EQ(0, std::memcmp(&first[k], &second[k], 10))
            << "value " << k << ": " << D(first[k]) << " vs " << D(second[k]);
}

// ---------------------------------------------------------------------------

TEST(SolverFlags, QuickStepCarriesItsPhasesAndLeavesTheTablesAlone)
{
    RecordingHost host;
    TThSys& sys = ChargeFeOSiMnCa();
    for (int i = 0; i <= SystemElemLast; ++i)
        sys.El(i).InputMetalMass = 0.01L * sys.El(i).MolarMass;
    for (auto& row : MaterialEffectsOnMetal[0])
        row.Fill(42.0f);
    CompositionMin[1][MaterialCount + 1] = 7.0f;
    ASSERT_TRUE(Solve(sys, false, true));
    EXPECT_EQ(MaterialEffectsOnMetal[0][2][1], 42.0f);
    EXPECT_EQ(CompositionMin[1][MaterialCount + 1], 7.0f);
    for (int i = 0; i <= SystemElemLast; ++i) {
        EXPECT_EQ(sys.El(i).InputMetalMass, sys.El(i).MetalMass);
        EXPECT_EQ(sys.El(i).InputSlagMass, sys.El(i).SlagMass);
    }
}

TEST(SolverFlags, PseudoMaterialsHoldTheComputedPhases)
{
    RecordingHost host;
    TThSys& sys = ChargeFeOSiMnCa();
    Settings.FinalTempMode = 1;
    ASSERT_TRUE(Solve(sys));
    for (int p = 0; p < 3; ++p) {
        const int j = MaterialCount + 1 + p;
        double sum = 0;
        for (int i = 0; i <= SystemElemLast; ++i)
            sum += CompositionMin[Ix(i + 1)][j];
        EXPECT_NEAR(sum, 1.0, 1e-5) << "phase " << p;
        EXPECT_NEAR(D(MaterialTable[j].Temperature), D(sys.Temperature - KelvinOffset), 1e-9);
        EXPECT_EQ(MaterialTable[j].HeatTotal[0], MaterialTable[j].HeatA[0] + MaterialTable[j].HeatB[0]);
    }
    const int fe = sys.Elems->IndexOfSymbol("Fe");
    EXPECT_FLOAT_EQ(CompositionMin[Ix(fe + 1)][MaterialCount + 1], static_cast<float>(sys.El(fe).MetalFraction));
    EXPECT_GT(sys.MetalMass, 0);
    EXPECT_NE(sys.Basicity, UnsetValue); // this melt has silicon
}

TEST(SolverFlags, BasicityIsUnsetWithoutSilicon)
{
    RecordingHost host;
    TThSys& sys = ChargeFeCO(1, 0.04f, 0.05L);
    ASSERT_TRUE(Solve(sys));
    EXPECT_EQ(sys.Basicity, UnsetValue);
}

TEST(SolverFlags, AMeltNeverYieldsButAnOptimiserPassStopsOnRequest)
{
    RecordingHost host;
    TThSys& sys = ChargeFeOSiMnCa();
    StopRequested = true; // as at start-up: the melt must not look at it
    ASSERT_TRUE(Solve(sys));
    EXPECT_EQ(host.processMessagesCalls, 0);
    EXPECT_GT(SolverPass, 1);

    CalcBusy = true;
    SlpPass = 3;
    StopRequested = true;
    EXPECT_TRUE(Solve(sys));
    EXPECT_EQ(SolverPass, 1);
    EXPECT_EQ(host.processMessagesCalls, 1);
    CalcBusy = false;
    SlpPass = 0;
}

TEST(SolverFlags, ABrokenChargeReportsFailureAndTheForwardProblemWarns)
{
    RecordingHost host;
    ChargeFeOSiMnCa();
    // A NaN analysis can never settle: the solve must say so.
    CompositionMin[2][1] = std::nanf("");
    CompositionMax[2][1] = std::nanf("");
    const TForwardResult r = SolveForwardProblem();
    EXPECT_FALSE(r.LowerConverged);
    EXPECT_FALSE(r.BothConverged);
    EXPECT_FALSE(BothConverged);
    EXPECT_TRUE(host.warned("Збіжність прямої задачі не досягнуто"));

    RecordingHost quiet;
    SuppressConvergenceWarning = true;
    SolveForwardProblem();
    EXPECT_TRUE(quiet.warnings.empty());
    SuppressConvergenceWarning = false;
}

TEST(SolverFlags, DisplayedSolveGoesToTheGridAndNamesItsMethod)
{
    RecordingHost host;
    TThSys& sys = ChargeFeOSiMnCa();
    ASSERT_TRUE(Solve(sys, true));
    EXPECT_EQ(host.gridShows, 1);
    EXPECT_EQ(host.status[6], " Newton");
    TThSys& chained = ChargeFeOSiMnCa(); // a fresh model: the old system is gone
    Settings.BetterConvergence = true;
    ASSERT_TRUE(Solve(chained, false));
    EXPECT_EQ(host.status[6], " Chain");
    EXPECT_EQ(host.gridShows, 1);
}
