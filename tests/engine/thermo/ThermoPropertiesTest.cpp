#include "RecordingHost.h"
#include "RunState.h"
#include "Settings.h"
#include "SmallSystems.h"
#include "ThSys.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace ferrolyt;
using namespace ferrolyt::test;

namespace {

double D(long double v) { return static_cast<double>(v); }

int Elem(const TThSys& sys, const char* sym) { return sys.Elems->IndexOfSymbol(sym); }

// Σ x_i d ln γ_i along the composition change dx, by central differences of
// the model's own ln γ in the metal or in the slag.
long double GibbsDuhemDefect(TThSys& sys, bool slag, const std::vector<long double>& x,
                             const std::vector<long double>& dx)
{
    const long double h = 1e-6L;
    auto lnGammaAt = [&](long double step) {
        for (int i = 0; i <= SystemElemLast; ++i)
            (slag ? sys.El(i).SlagMoleFraction : sys.El(i).MetalMoleFraction) = x[Ix(i)] + step * dx[Ix(i)];
        if (slag)
            sys.CalcSlagActivity();
        else
            sys.CalcMetalActivity();
        std::vector<long double> lnGamma;
        for (int i = 0; i <= SystemElemLast; ++i)
            lnGamma.push_back(slag ? sys.El(i).LnGammaSlag : sys.El(i).LnGammaMetal);
        return lnGamma;
    };
    const auto plus = lnGammaAt(h), minus = lnGammaAt(-h);
    long double sum = 0;
    for (int i = 0; i <= SystemElemLast; ++i)
        sum += x[Ix(i)] * (plus[Ix(i)] - minus[Ix(i)]) / (2 * h);
    return sum;
}

} // namespace

// ---------------------------------------------------------------------------

TEST(MoleFractions, SumToOneInEveryPhase)
{
    TThSys& sys = BuildFeOSiMnCa();
    SetAmounts(sys, {{"Fe", 3.0L}, {"O", 0.01L}, {"Si", 0.2L}, {"Mn", 0.05L}},
               {{"Fe", 0.1L}, {"O", 0.5L}, {"Si", 0.1L}, {"Ca", 0.2L}}, {{"O", 0.03L}, {"Fe", 1e-5L}});
    sys.El(Elem(sys, "Ca")).NmiAmount = 0.02L;
    sys.El(Elem(sys, "O")).NmiAmount = 0.02L;
    sys.NmiMoles = 0.04L;
    sys.CalcMoleFractions();
    long double m = 0, s = 0, g = 0, nmi = 0;
    for (int i = 0; i <= SystemElemLast; ++i) {
        m += sys.El(i).MetalMoleFraction;
        s += sys.El(i).SlagMoleFraction;
        g += sys.El(i).GasMoleFraction;
        nmi += sys.El(i).NmiMoleFraction;
    }
    EXPECT_NEAR(D(m), 1.0, 1e-15);
    EXPECT_NEAR(D(s), 1.0, 1e-15);
    EXPECT_NEAR(D(g), 1.0, 1e-15);
    EXPECT_NEAR(D(nmi), 1.0, 1e-12);
}

TEST(MoleFractions, EmptyPhaseGivesFiniteFractions)
{
    TThSys& sys = BuildFeCO();
    SetAmounts(sys, {{"Fe", 1.0L}});
    sys.SlagMoles = 0;
    sys.CalcMoleFractions();
    for (int i = 0; i <= SystemElemLast; ++i)
        EXPECT_TRUE(std::isfinite(sys.El(i).SlagMoleFraction));
}

// ---------------------------------------------------------------------------

TEST(PhaseMasses, ElementMassesAndCationOxidesAddUpToThePhases)
{
    TThSys& sys = BuildFeOSiMnCa();
    sys.CalcPhaseMasses();
    long double m = 0, s = 0, wm = 0, ws = 0, oxides = 0;
    for (int i = 0; i <= SystemElemLast; ++i) {
        const TElementRecord& e = sys.El(i);
        EXPECT_NEAR(D(e.MetalMass), D(e.MetalAmount * e.MolarMass), 1e-15);
        m += e.MetalMass;
        s += e.SlagMass;
        wm += e.MetalFraction;
        ws += e.SlagFraction;
        if (e.Valence > 0)
            oxides += e.SlagCompoundFraction;
    }
    EXPECT_NEAR(D(m), D(sys.MetalMass), 1e-14);
    EXPECT_NEAR(D(s), D(sys.SlagMass), 1e-14);
    EXPECT_NEAR(D(wm), 1.0, 1e-15);
    EXPECT_NEAR(D(ws), 1.0, 1e-15);
    EXPECT_NEAR(D(oxides), 1.0, 1e-15); // the anions are all carried in the oxides
}

// ---------------------------------------------------------------------------

TEST(WilsonMetalModel, SingleElementIsIdeal)
{
    TThSys& sys = BuildFeCO();
    SystemElemLast = 0;
    SetAmounts(sys, {{"Fe", 2.0L}});
    sys.CalcMoleFractions();
    sys.CalcStandardGibbs();
    sys.CalcMetalActivity();
    EXPECT_NEAR(D(sys.El(0).LnGammaMetal), 0.0, 1e-18);
}

TEST(WilsonMetalModel, DiluteLimitGivesTheInfiniteDilutionValue)
{
    TThSys& sys = BuildFeOSiMnCa();
    sys.CalcStandardGibbs();
    for (int j = 1; j <= SystemElemLast; ++j)
        sys.El(j).MetalMoleFraction = 1e-14L;
    sys.El(0).MetalMoleFraction = 1.0L - 1e-14L * SystemElemLast;
    sys.CalcMetalActivity();
    for (int i = 1; i <= SystemElemLast; ++i) {
        EXPECT_NEAR(D(sys.El(i).LnGammaMetal), D(sys.El(i).LnGammaInf), 1e-11) << sys.El(i).Symbol;
        EXPECT_NE(sys.El(i).LnGammaInf, 0.0L); // the test data are not ideal
    }
    EXPECT_EQ(sys.El(0).LnGammaInf, 0.0L);
}

TEST(WilsonMetalModel, SatisfiesGibbsDuhem)
{
    TThSys& sys = BuildFeOSiMnCa();
    sys.CalcStandardGibbs();
    EXPECT_NEAR(D(GibbsDuhemDefect(sys, false, {0.8L, 0.05L, 0.08L, 0.04L, 0.03L}, {-1.0L, 0.3L, 0.2L, 0.4L, 0.1L})),
                0.0, 1e-9);
}

// ---------------------------------------------------------------------------

TEST(QuadraticMetalModel, SatisfiesGibbsDuhem)
{
    TThSys& sys = BuildFeOSiMnCa();
    Settings.MetalModel = 1;
    sys.CalcStandardGibbs();
    // Any change of composition, also one that does not keep Σ x = 1.
    for (const auto& dx : {std::vector<long double>{-1.0L, 0.3L, 0.2L, 0.4L, 0.1L},
                           std::vector<long double>{0.0L, 1.0L, 0.0L, 0.0L, 0.0L}})
        EXPECT_NEAR(D(GibbsDuhemDefect(sys, false, {0.8L, 0.05L, 0.08L, 0.04L, 0.03L}, dx)), 0.0, 1e-9);
}

TEST(QuadraticMetalModel, PureSolventLeavesTheInfiniteDilutionValues)
{
    TThSys& sys = BuildFeOSiMnCa();
    Settings.MetalModel = 1;
    sys.CalcStandardGibbs();
    for (int j = 0; j <= SystemElemLast; ++j)
        sys.El(j).MetalMoleFraction = j == 0 ? 1.0L : 0.0L;
    sys.CalcMetalActivity();
    for (int i = 0; i <= SystemElemLast; ++i)
        EXPECT_NEAR(D(sys.El(i).LnGammaMetal), D(sys.El(i).LnGammaInf), 1e-15);
    // Oxygen's own interaction: d ln γ_O / d x_O = ε_OO at the dilute end.
    const int o = Elem(sys, "O");
    sys.El(o).MetalMoleFraction = 1e-6L;
    sys.El(0).MetalMoleFraction = 1.0L - 1e-6L;
    sys.CalcMetalActivity();
    EXPECT_NEAR(D((sys.El(o).LnGammaMetal - sys.El(o).LnGammaInf) / 1e-6L), -0.4, 1e-5);
}

TEST(QuadraticMetalModel, UnknownModelLeavesActivitiesAlone)
{
    TThSys& sys = BuildFeCO();
    Settings.MetalModel = 7;
    sys.El(1).LnGammaMetal = 0.123L;
    sys.CalcMoleFractions();
    sys.CalcStandardGibbs();
    sys.CalcMetalActivity();
    EXPECT_EQ(sys.El(1).LnGammaMetal, 0.123L);
}

// ---------------------------------------------------------------------------

TEST(SlagModels, WilsonSlagSatisfiesGibbsDuhemAndIsIdealWhenPure)
{
    TThSys& sys = BuildFeOSiMnCa();
    sys.CalcStandardGibbs();
    EXPECT_NEAR(D(GibbsDuhemDefect(sys, true, {0.1L, 0.55L, 0.15L, 0.05L, 0.15L}, {0.2L, -1.0L, 0.3L, 0.3L, 0.2L})),
                0.0, 1e-9);
    for (int j = 0; j <= SystemElemLast; ++j)
        sys.El(j).SlagMoleFraction = j == 2 ? 1.0L : 0.0L;
    sys.CalcSlagActivity();
    EXPECT_NEAR(D(sys.El(2).LnGammaSlag), 0.0, 1e-18);
}

TEST(SlagModels, PairEnergyModelUsesTheSlagTableAsRead)
{
    TThSys& sys = BuildFeOSiMnCa();
    Settings.SlagModel = 1;
    sys.CalcStandardGibbs();
    const long double RT = GasConstant * sys.Temperature;
    // The table is not mirrored: the later element's row decides the pair.
    EXPECT_NEAR(D(sys.SlagInteraction[3][1]), D(std::exp(-1000.0L * SlagMatrix[3][1] / RT)), 1e-15);
    EXPECT_EQ(sys.SlagInteraction[1][3], sys.SlagInteraction[3][1]);
    // A slag of one cation and one anion of equal charge is neutral.
    for (int j = 0; j <= SystemElemLast; ++j)
        sys.El(j).SlagMoleFraction = 0;
    sys.El(Elem(sys, "Ca")).SlagMoleFraction = 1.0L;
    sys.CalcSlagActivity();
    EXPECT_NEAR(D(sys.El(Elem(sys, "Ca")).LnGammaSlag), 0.0, 1e-15);
}

// ---------------------------------------------------------------------------

TEST(StandardTerms, CarbonWithDirectStandardGetsTheGraphiteSolutionTerm)
{
    TThSys& sys = BuildFeCO();
    sys.CalcStandardGibbs();
    const TElementRecord& c = sys.El(Elem(sys, "C"));
    const TElementRecord& fe = sys.El(Elem(sys, "Fe"));
    const long double T = sys.Temperature, RT = GasConstant * T;
    const long double expected = c.MetalS + c.MetalH / T + (22594.0L - 42.0L * T) / RT
                                 + std::log(100.0L * c.MolarMass / 55.847L) - c.LnGammaInf;
    EXPECT_NEAR(D(c.MetalStdTerm), D(expected), 1e-15);
    EXPECT_NEAR(D(fe.MetalStdTerm), D(fe.MetalS + fe.MetalH / T), 1e-15);
}

TEST(StandardTerms, GasReferredTermUsesHalfTheDiatomicFormation)
{
    TThSys& sys = BuildFeCO();
    TElementRecord& o = sys.El(Elem(sys, "O"));
    o.DirectStandard = false;
    sys.CalcStandardGibbs();
    const long double T = sys.Temperature, RT = GasConstant * T;
    // O2 against two O atoms (whose Gibbs energy is 0 in the test data).
    const long double gO2 = -100000.0L - T * (4.0L + 2.0L * std::log(T * 1e-4L));
    const long double expected = (o.MetalH + T * o.MetalS) / RT + 0.5L * gO2 / RT
                                 + std::log(100.0L * o.MolarMass / 55.847L) - o.LnGammaInf;
    EXPECT_NEAR(D(o.MetalStdTerm), D(expected), 1e-13);
}

TEST(StandardTerms, MetalStandardTermIsLimitedTo150)
{
    TThSys& sys = BuildFeCO();
    sys.El(0).MetalH = 1e9L;
    sys.CalcStandardGibbs();
    EXPECT_EQ(sys.El(0).MetalStdTerm, 150.0L);
}

// ---------------------------------------------------------------------------

TEST(GasEquilibrium, PressuresAddUpAndFollowTheLawOfMassAction)
{
    for (long double p : {1.0L, 0.2L, 3.0L}) {
        SCOPED_TRACE("P " + std::to_string(D(p)));
        TThSys& sys = BuildFeCO();
        TotalPressure = p;
        sys.CalcGasEquilibrium();
        const auto& P = sys.SpeciesPressures;
        const long double lnY = std::log(sys.PressureScale);
        long double sum = 0;
        for (int s = 1; s <= ActiveGasCount; ++s) {
            const TGasSpeciesRecord& sp = ActiveGases[s];
            long double rhs = sp.Atoms > 1 ? -sys.SpeciesFormation[s] : 0.0L;
            for (int k = 0; k < sp.Count; ++k)
                rhs += sp.Parts[Ix(k)].Nu * (sys.El(sp.Parts[Ix(k)].Elem).LnActivity + lnY);
            EXPECT_NEAR(D(std::log(P[s])), D(rhs), 1e-10) << sp.Name;
            sum += P[s];
        }
        EXPECT_NEAR(D(sum / p), 1.0, 1e-12);
        // CO = C + O and CO2 = C + 2 O with the hand-made polynomials (C, O, CO
        // and CO2 are species 2, 3, 5 and 6).
        const long double T = sys.Temperature, RT = GasConstant * T, lnx = std::log(T * 1e-4L);
        const long double gCO = -400000.0L - T * (50.0L + 3.0L * lnx);
        const long double gCO2 = -500000.0L - T * (45.0L + 5.0L * lnx);
        EXPECT_NEAR(D(std::log(P[5] / (P[2] * P[3]))), D(-gCO / RT), 1e-10);
        EXPECT_NEAR(D(std::log(P[6] / (P[2] * P[3] * P[3]))), D(-gCO2 / RT), 1e-10);
    }
}

TEST(GasEquilibrium, GasTermsAgreeWithTheSpeciesSums)
{
    TThSys& sys = BuildFeCO();
    sys.CalcGasEquilibrium();
    long double total = 0;
    for (int i = 0; i <= SystemElemLast; ++i)
        total += sys.El(i).GasAmountTerm;
    EXPECT_NEAR(D(sys.GasElementSum), D(total), 1e-15);
    // Oxygen's atoms in O, O2, CO and CO2.
    const auto& P = sys.SpeciesPressures;
    EXPECT_NEAR(D(sys.El(Elem(sys, "O")).GasAmountTerm), D(P[3] + 2 * P[4] + P[5] + 2 * P[6]), 1e-15);
    // The metal-gas term turns the metal activity into the gas share.
    for (int i = 0; i <= SystemElemLast; ++i) {
        const TElementRecord& e = sys.El(i);
        EXPECT_NEAR(D(e.KMG), D(e.LnGammaMetal + e.MetalStdTerm - e.GasTerm), 1e-15);
        EXPECT_TRUE(std::isfinite(e.KMS));
    }
}

TEST(GasEquilibrium, TablesReusedAtARepeatedTemperatureGiveTheSameResults)
{
    TThSys& sys = BuildFeOSiMnCa();
    TThSys& fresh = *ThSystems[1];
    fresh.Temperature = sys.Temperature;
    SetAmounts(fresh, {{"Fe", 1.0L}, {"O", 0.001L}, {"Si", 0.004L}, {"Mn", 0.005L}, {"Ca", 1e-6L}},
               {{"Fe", 0.02L}, {"O", 0.08L}, {"Si", 0.015L}, {"Mn", 0.01L}, {"Ca", 0.02L}});
    sys.CalcGasEquilibrium();
    sys.Temperature += 10;
    sys.CalcGasEquilibrium();
    sys.Temperature -= 10;
    sys.CalcGasEquilibrium(); // from the kept tables
    fresh.CalcGasEquilibrium();
    for (int i = 0; i <= SystemElemLast; ++i) {
        EXPECT_EQ(sys.El(i).KMS, fresh.El(i).KMS);
        EXPECT_EQ(sys.El(i).KMG, fresh.El(i).KMG);
        EXPECT_EQ(sys.El(i).LnGammaInf, fresh.El(i).LnGammaInf);
    }
    // A changed database is noticed at the same temperature.
    SetPairEnergy("Fe", "Si", -35000);
    sys.CalcGasEquilibrium();
    EXPECT_NE(sys.El(Elem(sys, "Si")).LnGammaInf, fresh.El(Elem(sys, "Si")).LnGammaInf);
    Settings.SlagModel = 1;
    const long double before = sys.SlagInteraction[3][0];
    sys.CalcGasEquilibrium();
    EXPECT_NE(sys.SlagInteraction[3][0], before);
}

// ---------------------------------------------------------------------------

TEST(NmiActivity, CapillarityLowersTheDistributionTermByMolarMass)
{
    TThSys& sys = BuildFeOSiMnCa();
    SetAmounts(sys, {{"Fe", 1.0L}, {"O", 0.001L}, {"Si", 0.004L}});
    sys.El(Elem(sys, "Si")).NmiAmount = 0.01L;
    sys.El(Elem(sys, "O")).NmiAmount = 0.02L;
    sys.NmiMoles = 0.03L;
    sys.NmiRadius = 2.0L;
    sys.CalcStandardGibbs();
    sys.CalcNmiActivity(false);
    std::vector<long double> plain;
    for (int i = 0; i <= SystemElemLast; ++i)
        plain.push_back(sys.El(i).KMN);
    sys.CalcNmiActivity(true);
    const long double sigma = (0.01L * 0.8L + 0.02L * 0.5L) / 0.03L;
    EXPECT_NEAR(D(sys.NmiSurfaceTerm), D(sigma), 1e-12);
    const long double kappa = 2 * sigma / (GasConstant * sys.Temperature * 2.0L * 3000.0L);
    for (int i = 0; i <= SystemElemLast; ++i)
        EXPECT_NEAR(D(plain[Ix(i)] - sys.El(i).KMN), D(kappa * sys.El(i).MolarMass), 1e-15);
}

// ---------------------------------------------------------------------------

namespace {
// Phase Gibbs sums at temperature T, as the heat balance evaluates them.
std::array<long double, 4> GibbsAt(TThSys& sys, long double T)
{
    const long double keep = sys.Temperature;
    sys.Temperature = T;
    sys.CalcGasEquilibrium();
    std::array<long double, 4> g{};
    sys.SumPhaseEnthalpies(g);
    sys.Temperature = keep;
    return g;
}

long double StepFrom(long double T, long double heatInput, bool better, bool busy, int mode = 1, bool force = false)
{
    TThSys& sys = BuildFeCO();
    Settings.FinalTempMode = static_cast<uint8_t>(mode);
    Settings.BetterConvergence = better;
    CalcBusy = busy;
    sys.Temperature = T;
    sys.HeatInput = heatInput;
    THeatBlock block;
    sys.HeatBalance(block, true, force);
    CalcBusy = false;
    return sys.Temperature;
}
} // namespace

TEST(HeatBalance, EntropyEnthalpyAndHeatCapacityFollowTheGibbsSums)
{
    TThSys& sys = BuildFeOSiMnCa();
    sys.SlagPotential = 1.5L;
    const long double T = sys.Temperature;
    THeatBlock block;
    sys.HeatBalance(block, false, false);
    EXPECT_EQ(sys.Temperature, T);
    const long double h = 0.05L;
    const auto g0 = GibbsAt(sys, T), gp = GibbsAt(sys, T + h), gm = GibbsAt(sys, T - h);
    const auto gp2 = GibbsAt(sys, T + 2 * h), gm2 = GibbsAt(sys, T - 2 * h);
    for (int p = phMetal; p <= phTotal; ++p) {
        // Fourth-order differences with a step fifty times the routine's.
        const long double dG = (-gp2[Ix(p)] + 8 * gp[Ix(p)] - 8 * gm[Ix(p)] + gm2[Ix(p)]) / (12 * h);
        const long double d2G = (gp[Ix(p)] - 2 * g0[Ix(p)] + gm[Ix(p)]) / (h * h);
        const long double scale = 1 + std::fabs(dG), cpScale = 1 + std::fabs(T * d2G);
        EXPECT_NEAR(D(block.G[Ix(p)]), D(g0[Ix(p)]), 1e-9) << p;
        EXPECT_NEAR(D(block.S[Ix(p)] / scale), D(-dG / scale), 1e-6) << p;
        EXPECT_NEAR(D((block.H[Ix(p)] - (g0[Ix(p)] - T * dG)) / (scale * T)), 0.0, 1e-6) << p;
        EXPECT_NEAR(D(block.Cp[Ix(p)] / cpScale), D(-T * d2G / cpScale), 1e-3) << p;
    }
    EXPECT_NE(block.S[phTotal], 0.0L);
}

TEST(HeatBalance, PartialEnthalpiesAddUpToThePhaseEnthalpies)
{
    // With fixed amounts, Σ n_i h_i is the phase enthalpy (Gibbs-Helmholtz
    // per element); the slag term carries the potential twice.
    TThSys& sys = BuildFeOSiMnCa();
    sys.SlagPotential = 0.0L;
    THeatBlock block;
    sys.HeatBalance(block, false, false);
    long double hm = 0, hs = 0, hg = 0;
    for (int i = 0; i <= SystemElemLast; ++i) {
        hm += sys.El(i).MetalAmount * sys.El(i).HMetal;
        hs += sys.El(i).SlagAmount * sys.El(i).HSlag;
        hg += sys.El(i).GasAmount * sys.El(i).HGas;
    }
    EXPECT_NEAR(D(hm / block.H[phMetal]), 1.0, 1e-9);
    EXPECT_NEAR(D(hs / block.H[phSlag]), 1.0, 1e-9);
    EXPECT_NEAR(D(hg / block.H[phGas]), 1.0, 1e-9);
}

TEST(HeatBalance, TemperatureStepKeepsItsLimits)
{
    const long double T = 1873.15L;
    EXPECT_NEAR(D(StepFrom(T, 1e12L, false, false)), D(T * 1.1L), 1e-9);
    EXPECT_NEAR(D(StepFrom(T, -1e12L, false, false)), D(T * 0.9L), 1e-9);
    EXPECT_NEAR(D(StepFrom(T, 1e12L, true, false)), D(T * (1 + 0.01L / 3)), 1e-9);
    EXPECT_NEAR(D(StepFrom(T, -1e12L, true, false)), D(T * (1 - 0.01L / 3)), 1e-9);
    EXPECT_EQ(StepFrom(4800.0L, 1e12L, false, false), 5000.0L);
    EXPECT_EQ(StepFrom(300.0L, -1e12L, false, false), 293.15L);
    EXPECT_EQ(StepFrom(1800.0L, -1e12L, false, true), 1773.15L);
}

TEST(HeatBalance, TemperatureMovesTowardsTheHeatSupplied)
{
    // A small surplus of heat raises T by 0.2 of the full correction.
    TThSys& sys = BuildFeCO();
    Settings.FinalTempMode = 1;
    sys.HeatCapA = 100;
    sys.HeatCapB = 2;
    THeatBlock block;
    sys.HeatBalance(block, false, false);
    const long double T = sys.Temperature;
    const long double balanced = sys.HeatCapA + T * sys.HeatCapB + block.H[phTotal];
    sys.HeatInput = balanced + 0.5L * (block.Cp[phTotal] + sys.HeatCapB);
    sys.HeatBalance(block, true, false);
    EXPECT_NEAR(D(sys.Temperature - T), 0.1, 1e-9);
    sys.Temperature = T;
    sys.HeatInput = balanced;
    sys.HeatBalance(block, true, false);
    EXPECT_NEAR(D(sys.Temperature), D(T), 1e-9);
}

TEST(HeatBalance, NoStepWithoutTheSettingUnlessForced)
{
    EXPECT_EQ(StepFrom(1873.15L, 1e12L, false, false, 0, false), 1873.15L);
    EXPECT_GT(StepFrom(1873.15L, 1e12L, false, false, 0, true), 1873.15L);
    // useSetting false and no force: unchanged even with the setting on.
    TThSys& sys = BuildFeCO();
    Settings.FinalTempMode = 1;
    sys.HeatInput = 1e12L;
    THeatBlock block;
    sys.HeatBalance(block, false, false);
    EXPECT_EQ(sys.Temperature, 1873.15L);
    EXPECT_NE(block.H[phTotal], 0.0L);
}
