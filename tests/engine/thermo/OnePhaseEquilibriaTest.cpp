#include "RecordingHost.h"
#include "SmallSystems.h"
#include "ThSys.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

using namespace ferrolyt;
using namespace ferrolyt::test;

namespace {

double D(long double v) { return static_cast<double>(v); }

// The slag system at 1550 °C with a sample of one phase by element masses.
TThSys& WithSample(long double TElementRecord::*phase, const std::array<long double, 5>& mass)
{
    TThSys& sys = BuildFeOSiMnCa();
    for (int i = 0; i <= SystemElemLast; ++i)
        sys.El(i).*phase = mass[Ix(i)];
    sys.InitialTemperature = 1823.15L;
    return sys;
}

// A metal of 0.1 % O, 0.5 % Si, 0.6 % Mn, 0.001 % Ca; a slag of FeO, SiO2, MnO and CaO.
TThSys& WithMetalSample() { return WithSample(&TElementRecord::InputMetalMass, {98.8L, 0.1L, 0.5L, 0.6L, 0.001L}); }
TThSys& WithSlagSample() { return WithSample(&TElementRecord::InputSlagMass, {10, 35, 15, 5, 30}); }

} // namespace

// ---------------------------------------------------------------------------

TEST(SlagWithMetal, SlagIsElectroneutralKeepsItsAmountAndFollowsTheMetal)
{
    RecordingHost host;
    TThSys& sys = WithMetalSample();
    const long double slagMoles = sys.SlagMoles, T = sys.Temperature;
    EXPECT_TRUE(sys.EquilibrateSlagWithMetal(true, true));
    long double zx = 0, x = 0, n = 0, w = 0;
    for (int i = 0; i <= SystemElemLast; ++i) {
        zx += sys.El(i).Valence * sys.El(i).SlagMoleFraction;
        x += sys.El(i).SlagMoleFraction;
        n += sys.El(i).SlagAmount;
        w += sys.El(i).SlagFraction;
    }
    EXPECT_NEAR(D(zx), 0.0, 1e-12);
    EXPECT_NEAR(D(x), 1.0, 1e-15);
    EXPECT_NEAR(D(w), 1.0, 1e-15);
    EXPECT_NEAR(D(n / slagMoles), 1.0, 1e-15);
    EXPECT_EQ(sys.SlagMoles, slagMoles);
    EXPECT_EQ(sys.Temperature, T);
    EXPECT_TRUE(host.warnings.empty());
    EXPECT_EQ(host.gridShows, 1);
    // n^S/n^M ∝ exp(K^MS - z ψ) with one proportionality factor for all elements.
    const long double psi = sys.SlagPotential;
    const TElementRecord& fe = sys.El(0);
    const long double ref = std::log(fe.SlagAmount / fe.MetalAmount) - (fe.KMS - fe.Valence * psi);
    for (int i = 1; i <= SystemElemLast; ++i) {
        const TElementRecord& e = sys.El(i);
        EXPECT_NEAR(D(std::log(e.SlagAmount / e.MetalAmount) - (e.KMS - e.Valence * psi) - ref), 0.0, 1e-6)
            << e.Symbol;
    }
}

TEST(SlagWithMetal, StartsFromTheSamePotentialEveryTime)
{
    RecordingHost host;
    TThSys& sys = WithMetalSample();
    sys.EquilibrateSlagWithMetal(true, false);
    const long double first = sys.SlagPotential;
    sys.SlagPotential = -7;
    sys.EquilibrateSlagWithMetal(true, false);
    EXPECT_EQ(sys.SlagPotential, first);
}

// A task without an initial metal (an arc furnace melting scrap) has
// nothing to put the slag in equilibrium with: the lower system says so,
// and neither shows or changes anything.
TEST(SlagWithMetal, WithoutAnInitialMetalNothingIsMadeUp)
{
    // The set-up leaves the floor where the task gives no initial phase.
    for (int kind : {0, 1}) {
        RecordingHost host;
        TThSys& sys = WithSlagSample();
        for (int i = 0; i <= SystemElemLast; ++i)
            sys.El(i).InputMetalMass = kind == 0 ? DivisorFloor : 0;
        sys.Kind = kind;
        std::vector<long double> slag;
        for (int i = 0; i <= SystemElemLast; ++i)
            slag.push_back(sys.El(i).SlagFraction);
        const long double potential = sys.SlagPotential, T = sys.Temperature;
        EXPECT_FALSE(sys.EquilibrateSlagWithMetal(true, true));
        const std::vector<std::string> expected{"Шлак у рівновазі з вихідним металом не існує"};
        EXPECT_EQ(host.warnings, kind == 0 ? expected : std::vector<std::string>{}) << "kind " << kind;
        EXPECT_EQ(host.gridShows, 0);
        EXPECT_EQ(sys.SlagPotential, potential);
        EXPECT_EQ(sys.Temperature, T);
        for (int i = 0; i <= SystemElemLast; ++i)
            EXPECT_EQ(sys.El(i).SlagFraction, slag[Ix(i)]) << sys.El(i).Symbol;
    }
}

// ---------------------------------------------------------------------------

TEST(MetalWithSlag, WithoutAnInitialSlagTheMetalDoesNotExist)
{
    RecordingHost host;
    TThSys& sys = WithMetalSample();
    for (int i = 0; i <= SystemElemLast; ++i)
        sys.El(i).InputSlagMass = DivisorFloor;
    EXPECT_FALSE(sys.EquilibrateMetalWithSlag(true, true));
    EXPECT_EQ(host.warnings, std::vector<std::string>{"Метал у рівновазі з вихідним шлаком не існує"});
    EXPECT_EQ(host.gridShows, 0);
}

TEST(MetalWithSlag, MetalAddsUpToOneAndIsInEquilibriumWithTheSlag)
{
    RecordingHost host;
    TThSys& sys = WithSlagSample();
    const long double T = sys.Temperature;
    ASSERT_TRUE(sys.EquilibrateMetalWithSlag(true, true));
    long double x = 0, w = 0;
    for (int i = 0; i <= SystemElemLast; ++i) {
        x += sys.El(i).MetalMoleFraction;
        w += sys.El(i).MetalFraction;
    }
    EXPECT_NEAR(D(x), 1.0, 1e-12);
    EXPECT_NEAR(D(w), 1.0, 1e-15);
    EXPECT_EQ(sys.Temperature, T);
    EXPECT_TRUE(host.warnings.empty());
    EXPECT_EQ(host.gridShows, 1);
    EXPECT_GT(sys.El(0).MetalMoleFraction, 0.5L); // iron is the metal's solvent
    // ln(x^M/x^S) = z ψ - μS - ln γ^M + ln γ^S with the metal's own ln γ
    // (the activity coefficients lag one iterate behind the composition).
    sys.CalcMetalActivity();
    for (int i = 0; i <= SystemElemLast; ++i) {
        const TElementRecord& e = sys.El(i);
        EXPECT_NEAR(D(std::log(e.MetalMoleFraction / e.SlagMoleFraction)),
                    D(e.Valence * sys.SlagPotential - e.SlagStdTerm - e.LnGammaMetal + e.LnGammaSlag), 1e-7)
            << e.Symbol;
    }
}

TEST(MetalWithSlag, RepeatedRunsFromTheSampleGiveTheSamePotential)
{
    RecordingHost host;
    TThSys& sys = WithSlagSample();
    ASSERT_TRUE(sys.EquilibrateMetalWithSlag(true, false));
    const long double first = sys.SlagPotential;
    sys.SlagPotential = 9;
    ASSERT_TRUE(sys.EquilibrateMetalWithSlag(true, false));
    EXPECT_EQ(sys.SlagPotential, first);
    // Without the sample it starts from the present state and ends there too.
    ASSERT_TRUE(sys.EquilibrateMetalWithSlag(false, false));
    EXPECT_NEAR(D(sys.SlagPotential), D(first), 1e-9);
}

TEST(MetalWithSlag, SlagThatCannotHoldAMetalIsReportedForTheLowerSystemOnly)
{
    // Standard terms that make every element far more stable in the metal:
    // even the most dilute electroneutral metal has Σ x > 1.
    for (int kind : {0, 1}) {
        RecordingHost host;
        TThSys& sys = WithSlagSample();
        for (int i = 0; i <= SystemElemLast; ++i)
            sys.El(i).SlagB1 = -40;
        sys.Kind = kind;
        EXPECT_FALSE(sys.EquilibrateMetalWithSlag(true, true));
        const std::vector<std::string> expected{"Метал у рівновазі з вихідним шлаком не існує"};
        EXPECT_EQ(host.warnings, kind == 0 ? expected : std::vector<std::string>{}) << "kind " << kind;
        EXPECT_EQ(host.gridShows, 0);
    }
}

TEST(MetalWithSlag, WithoutTheSampleAnImpossibleMetalIsNormalised)
{
    RecordingHost host;
    TThSys& sys = WithSlagSample();
    ASSERT_TRUE(sys.EquilibrateMetalWithSlag(true, false));
    for (int i = 0; i <= SystemElemLast; ++i)
        sys.El(i).SlagB1 = -40;
    EXPECT_FALSE(sys.EquilibrateMetalWithSlag(false, true));
    EXPECT_TRUE(host.warnings.empty());
    EXPECT_EQ(sys.SlagPotential, 0.0L);
    long double x = 0;
    for (int i = 0; i <= SystemElemLast; ++i)
        x += sys.El(i).MetalMoleFraction;
    EXPECT_NEAR(D(x), 1.0, 1e-15);
}
