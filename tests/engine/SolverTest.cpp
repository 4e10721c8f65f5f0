// The equilibrium solver on small systems of our own: conservation, the
// conditions that hold at convergence, the effect tables against finite
// differences, the direction of the physics, and the callers' flags.

#include "ForwardProblem.h"
#include "RecordingHost.h"
#include "SolverFixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

using namespace ferrolyt;
using namespace ferrolyt::test;

namespace {

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

long double PhaseSum(const TElementRecord& e)
{
    return e.MetalAmount + e.SlagAmount + e.GasAmount + e.NmiAmount;
}

long double MetalPercent(const TThSys& sys, const char* symbol)
{
    return 100 * sys.El(sys.Elems->IndexOfSymbol(symbol)).MetalFraction;
}

void ExpectFinite(const TThSys& sys)
{
    EXPECT_TRUE(std::isfinite(sys.Temperature));
    for (long double v : {sys.MetalMass, sys.SlagMass, sys.GasMass, sys.NmiMass, sys.MetalMoles, sys.SlagMoles,
                          sys.GasMoles, sys.TotalMoles})
        EXPECT_TRUE(std::isfinite(v));
    for (int i = 0; i <= SystemElemLast; ++i) {
        const TElementRecord& e = sys.El(i);
        for (long double v : {e.MetalAmount, e.SlagAmount, e.GasAmount, e.NmiAmount, e.MetalMass, e.SlagMass,
                              e.GasMass, e.NmiMass})
            EXPECT_TRUE(std::isfinite(v)) << e.Symbol;
    }
    const std::size_t k = sys.Kind == 1 ? 1 : 0;
    for (int i = 0; i <= SystemElemLast; ++i) {
        for (int j = 1; j <= MaterialCount + 3; ++j) {
            EXPECT_TRUE(std::isfinite(MaterialEffectsOnMetal[k][Ix(i + 1)][j]));
            EXPECT_TRUE(std::isfinite(MaterialEffectsOnSlag[k][Ix(i + 1)][j]));
        }
        for (int m = 0; m <= SystemElemLast; ++m) {
            EXPECT_TRUE(std::isfinite(ElementEffectsOnMetal[k][Ix(i)][Ix(m)]));
            EXPECT_TRUE(std::isfinite(ElementEffectsOnSlag[k][Ix(i)][Ix(m)]));
        }
    }
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

TEST(SolverMassBalance, EveryElementKeepsItsChargedAmount)
{
    RecordingHost host;
    for (int mode = 0; mode < 3; ++mode) {
        for (int system = 0; system < 3; ++system) {
            TThSys& sys = system == 0 ? ChargeFeCO(1, 0.04f, 0.05L)
                : system == 1         ? ChargeFeCO(1, 0.04f, 0)
                                      : ChargeFeOSiMnCa();
            Settings.FinalTempMode = static_cast<uint8_t>(mode);
            const std::vector<long double> charged = ChargedAmounts(sys, CompositionMin);
            ASSERT_TRUE(Solve(sys)) << "mode " << mode << " system " << system;
            for (int i = 0; i <= SystemElemLast; ++i) {
                const long double expected = charged[Ix(i)];
                EXPECT_NEAR(static_cast<double>(PhaseSum(sys.El(i)) / expected), 1.0, 1e-12)
                    << sys.El(i).Symbol << " mode " << mode << " system " << system;
                EXPECT_NEAR(static_cast<double>(sys.El(i).TotalMass / (expected * sys.El(i).MolarMass)), 1.0, 1e-12);
            }
            ExpectFinite(sys);
        }
    }
}

TEST(SolverMassBalance, PhaseMassesAddUpToTheSystem)
{
    RecordingHost host;
    TThSys& sys = ChargeFeOSiMnCa();
    ASSERT_TRUE(Solve(sys));
    const long double total = sys.MetalMass + sys.SlagMass + sys.GasMass + sys.NmiMass;
    EXPECT_NEAR(static_cast<double>(total / sys.TotalMass), 1.0, 1e-12);
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
        EXPECT_LT(std::fabs(charge), 1e-9L * scale) << "charge " << static_cast<double>(taskCharge);
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
        EXPECT_NEAR(static_cast<double>(sum), static_cast<double>(p), 1e-9);
        EXPECT_NEAR(static_cast<double>(sys.GasPressureSum), static_cast<double>(p), 1e-6);
        EXPECT_GT(sys.GasVolume, 0);
    }
}

TEST(SolverConvergedState, HeatBalanceClosesWithTheTemperature)
{
    RecordingHost host;
    for (int system = 0; system < 2; ++system) {
        TThSys& sys = system == 0 ? ChargeFeCO(1, 0.04f, 0.05L) : ChargeFeOSiMnCa();
        Settings.FinalTempMode = 1;
        TaskList.Items[0].Energy = 60;
        TaskList.Items[0].Losses = 20;
        ASSERT_TRUE(Solve(sys));
        const long double in = sys.HeatInputs[0] + sys.HeatInputs[1] + 60 - 20;
        EXPECT_EQ(sys.HeatInput, in);
        const long double residual = sys.Heat.H[phTotal] + sys.HeatCapA + sys.Temperature * sys.HeatCapB - in;
        EXPECT_LT(std::fabs(residual), 1e-6L * std::fabs(in)) << "system " << system;
        EXPECT_GT(sys.Temperature, 293.15L);
        EXPECT_LT(sys.Temperature, 5000.0L);
    }
}

TEST(SolverConvergedState, MoreEnergyGivesAHotterMelt)
{
    RecordingHost host;
    long double previous = 0;
    for (long double energy : {0.0L, 50.0L, 100.0L}) {
        TThSys& sys = ChargeFeOSiMnCa();
        Settings.FinalTempMode = 1;
        TaskList.Items[0].Energy = energy;
        ASSERT_TRUE(Solve(sys));
        EXPECT_GT(sys.Temperature, previous);
        previous = sys.Temperature;
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

TEST_P(SolverEffects, MaterialEffectsMatchFiniteDifferences)
{
    RecordingHost host;
    for (int mode : {0, 1}) {
        TThSys& sys = Charge();
        Settings.FinalTempMode = static_cast<uint8_t>(mode);
        ASSERT_TRUE(Solve(sys));
        const auto metalEffects = MaterialEffectsOnMetal[0];
        const auto slagEffects = MaterialEffectsOnSlag[0];
        const long double tempEffect[2] = {MaterialTable[1].TempEffect[0], MaterialTable[2].TempEffect[0]};
        for (int j = 1; j <= 2; ++j) {
            const long double delta = 1e-3L;
            const long double base = MaterialTable[j].Amount;
            std::vector<long double> metalPlus, slagPlus, metalMinus, slagMinus;
            MaterialTable[j].Amount = base + delta;
            ASSERT_TRUE(Solve(sys));
            for (int i = 0; i <= SystemElemLast; ++i) {
                metalPlus.push_back(sys.El(i).MetalMass);
                slagPlus.push_back(sys.El(i).SlagMass);
            }
            const long double tPlus = sys.Temperature;
            MaterialTable[j].Amount = base - delta;
            ASSERT_TRUE(Solve(sys));
            for (int i = 0; i <= SystemElemLast; ++i) {
                metalMinus.push_back(sys.El(i).MetalMass);
                slagMinus.push_back(sys.El(i).SlagMass);
            }
            const long double tMinus = sys.Temperature;
            MaterialTable[j].Amount = base;

            double largest = 0;
            for (int i = 0; i <= SystemElemLast; ++i)
                largest = std::max({largest, std::fabs(static_cast<double>(metalEffects[Ix(i + 1)][j])),
                                    std::fabs(static_cast<double>(slagEffects[Ix(i + 1)][j]))});
            const double tol = GetParam().Tolerance * largest + 1e-7;
            for (int i = 0; i <= SystemElemLast; ++i) {
                const double dMetal = static_cast<double>((metalPlus[Ix(i)] - metalMinus[Ix(i)]) / (2 * delta));
                const double dSlag = static_cast<double>((slagPlus[Ix(i)] - slagMinus[Ix(i)]) / (2 * delta));
                EXPECT_NEAR(metalEffects[Ix(i + 1)][j], dMetal, tol)
                    << "metal " << sys.El(i).Symbol << " material " << j << " mode " << mode;
                EXPECT_NEAR(slagEffects[Ix(i + 1)][j], dSlag, tol)
                    << "slag " << sys.El(i).Symbol << " material " << j << " mode " << mode;
            }
            if (mode == 1) {
                const double dT = static_cast<double>((tPlus - tMinus) / (2 * delta));
                // The heat capacity comes from second differences over 0.001 K.
                const double tTol = std::max(GetParam().Tolerance, 5e-3) * std::fabs(dT) + 1e-3;
                EXPECT_NEAR(static_cast<double>(tempEffect[j - 1]), dT, tTol)
                    << "temperature, material " << j;
            }
        }
    }
}

TEST_P(SolverEffects, ElementEffectsMatchFiniteDifferencesAtConstantTemperature)
{
    RecordingHost host;
    TThSys& sys = Charge();
    for (const char* symbol : {"O", "Si", "Ca"}) {
        const int k = sys.Elems->IndexOfSymbol(symbol);
        // A little of the element in the initial metal, so that it can be
        // taken away as well as added.
        const long double base = 1e-3L;
        const long double delta = 1e-4L; // t of the element
        sys.El(k).InputMetalMass = base;
        ASSERT_TRUE(Solve(sys));
        const auto metalEffects = ElementEffectsOnMetal[0];
        const auto slagEffects = ElementEffectsOnSlag[0];
        std::vector<long double> plusMetal, plusSlag;
        sys.El(k).InputMetalMass = base + delta;
        ASSERT_TRUE(Solve(sys));
        for (int i = 0; i <= SystemElemLast; ++i) {
            plusMetal.push_back(sys.El(i).MetalMass);
            plusSlag.push_back(sys.El(i).SlagMass);
        }
        sys.El(k).InputMetalMass = base - delta;
        ASSERT_TRUE(Solve(sys));
        sys.El(k).InputMetalMass = DivisorFloor;
        long double largest = 0;
        for (int i = 0; i <= SystemElemLast; ++i)
            largest = std::max({largest, std::fabs(metalEffects[Ix(i)][Ix(k)]), std::fabs(slagEffects[Ix(i)][Ix(k)])});
        const double tol = static_cast<double>(GetParam().Tolerance * largest) + 1e-7;
        for (int i = 0; i <= SystemElemLast; ++i) {
            const long double dMetal = (plusMetal[Ix(i)] - sys.El(i).MetalMass) / (2 * delta);
            const long double dSlag = (plusSlag[Ix(i)] - sys.El(i).SlagMass) / (2 * delta);
            EXPECT_NEAR(static_cast<double>(metalEffects[Ix(i)][Ix(k)]), static_cast<double>(dMetal), tol)
                << "metal " << sys.El(i).Symbol << " per " << symbol;
            EXPECT_NEAR(static_cast<double>(slagEffects[Ix(i)][Ix(k)]), static_cast<double>(dSlag), tol)
                << "slag " << sys.El(i).Symbol << " per " << symbol;
        }
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
        const long double oxygen = MetalPercent(sys, "O");
        EXPECT_LT(oxygen, previousOxygen) << "C " << carbon;
        previousOxygen = oxygen;
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
        const long double product = MetalPercent(sys, "C") * MetalPercent(sys, "O");
        EXPECT_GT(product, previous) << "P " << static_cast<double>(p);
        previous = product;
    }
}

TEST(SolverPhysics, AnOxidisingSlagRaisesTheMetalsOxygen)
{
    RecordingHost host;
    TThSys& lean = ChargeFeOSiMnCa(1, 0.1L);
    ASSERT_TRUE(Solve(lean));
    const long double leanOxygen = MetalPercent(lean, "O");
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
            v.push_back(sys.El(i).MetalAmount);
            v.push_back(sys.El(i).SlagAmount);
            v.push_back(sys.El(i).GasAmount);
            for (int j = 1; j <= MaterialCount + 3; ++j)
                v.push_back(MaterialEffectsOnMetal[0][Ix(i + 1)][j]);
        }
        return v;
    };
    const auto first = run();
    const auto second = run();
    ASSERT_EQ(first.size(), second.size());
    // The 80 significant bits of each value (the rest is padding).
    for (std::size_t k = 0; k < first.size(); ++k)
        EXPECT_EQ(0, std::memcmp(&first[k], &second[k], 10))
            << "value " << k << ": " << static_cast<double>(first[k]) << " vs " << static_cast<double>(second[k]);
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
        EXPECT_NEAR(static_cast<double>(MaterialTable[j].Temperature),
                    static_cast<double>(sys.Temperature - KelvinOffset), 1e-9);
        EXPECT_EQ(MaterialTable[j].HeatTotal[0], MaterialTable[j].HeatA[0] + MaterialTable[j].HeatB[0]);
    }
    const int fe = sys.Elems->IndexOfSymbol("Fe");
    EXPECT_FLOAT_EQ(CompositionMin[Ix(fe + 1)][MaterialCount + 1], static_cast<float>(sys.El(fe).MetalFraction));
    // Charging the computed metal and slag back gives the same phases.
    const long double metalMass = sys.MetalMass;
    EXPECT_GT(metalMass, 0);
    EXPECT_NE(sys.Basicity, UnsetValue);
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
    const int meltPasses = SolverPass;
    EXPECT_GT(meltPasses, 1);

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
