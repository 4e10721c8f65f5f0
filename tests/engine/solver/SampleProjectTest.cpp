// The shipped sample project against published equilibria of liquid iron at
// 1600 °C and 1 atm. The project is read through the real loaders into a
// fresh model; each case is charged the way the program's own set-up does it
// (element masses in metal and slag, or the task's charge) and solved by the
// equilibrium solver. The hand values quoted are those of the data's
// derivation notes, recomputed from the shipped numbers.

#include "Constraints.h"
#include "ForwardProblem.h"
#include "LoaderTestSupport.h"
#include "Optimiser.h"
#include "RecordingHost.h"
#include "RunState.h"
#include "SampleProjectSupport.h"
#include "SimplexLP.h"
#include "SystemSetup.h"
#include "ThSys.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>

namespace ferrolyt::test {
namespace {

constexpr long double SteelmakingTemperature = 1873.15L; // 1600 °C

// A fresh model with the sample project loaded, the solution models of the
// data's derivation (metal model 0, slag model 0) and no heat balance.
class SampleProjectBase : public LoaderTestBase {
protected:
    void SetUp() override
    {
        LoaderTestBase::SetUp();
        UseSampleSolutionSettings();
        ASSERT_TRUE(LoadProject(SampleProjectFile().string()));
        ASSERT_TRUE(host_.warnings.empty()) << host_.warnings.front();
    }

    // The lower-bound system emptied for a charge given element by element:
    // no material charged, every input mass at the set-up's floor, 1600 °C,
    // 1 atm, and the template task (no slag charge, no energy terms).
    TThSys& BareSystem()
    {
        for (int j = 1; j <= MaterialCount + 3; ++j)
            MaterialTable[j].Amount = 0;
        TaskList.Current = -1;
        TotalPressure = 1.0L;
        TThSys& sys = *ThSystems[0];
        for (int i = 0; i <= SystemElemLast; ++i) {
            TElementRecord& e = sys.El(i);
            e.InputMetalMass = DivisorFloor;
            e.InputSlagMass = DivisorFloor;
            e.InputNmiMass = 0;
        }
        sys.Temperature = sys.InitialTemperature = SteelmakingTemperature;
        return sys;
    }

    // The bare system with 100 t of iron in the metal.
    TThSys& IronBath()
    {
        TThSys& sys = BareSystem();
        Charge(sys, "Fe", 100, 0);
        return sys;
    }

    static TElementRecord& Element(TThSys& sys, const char* symbol)
    {
        const int i = sys.Elems->IndexOfSymbol(symbol);
        EXPECT_GE(i, 0) << symbol << " is not among the sample project's elements";
        return sys.El(i < 0 ? 0 : i);
    }

    // Adds masses (t) of an element to the given metal and slag.
    static void Charge(TThSys& sys, const char* symbol, long double metal, long double slag)
    {
        TElementRecord& e = Element(sys, symbol);
        e.InputMetalMass += metal;
        e.InputSlagMass += slag;
    }

    // Adds `mass` t of the oxide M_aO_b to the given slag.
    static void ChargeOxide(TThSys& sys, const char* metal, int a, int b, long double mass)
    {
        const long double mMetal = a * Element(sys, metal).MolarMass;
        const long double mOxygen = b * Element(sys, "O").MolarMass;
        Charge(sys, metal, 0, mass * mMetal / (mMetal + mOxygen));
        Charge(sys, "O", 0, mass * mOxygen / (mMetal + mOxygen));
    }

    // Standard terms, initial amounts and one solve with the kind-0 tables,
    // as a recomputed forward problem does it but without the display.
    static bool Solve(TThSys& sys)
    {
        sys.CalcStandardGibbs();
        sys.InitAmounts();
        return sys.SolveEquilibrium(MaterialEffectsOnMetal[0], MaterialEffectsOnSlag[0], CompositionMin,
                                    ElementEffectsOnMetal[0], ElementEffectsOnSlag[0], false, false, false, false);
    }

    static double MetalPercent(TThSys& sys, const char* symbol)
    {
        return 100.0 * static_cast<double>(Element(sys, symbol).MetalFraction);
    }

    static double SpeciesPressure(const TThSys& sys, const std::string& name)
    {
        for (int s = 1; s <= ActiveGasCount; ++s)
            if (ActiveGases[s].Name == name)
                return static_cast<double>(sys.SpeciesPressures[s]);
        ADD_FAILURE() << "no gas species " << name;
        return 0;
    }

    RecordingHost host_;
};

// ---------------------------------------------------------------------------
// [C] + [O] = CO(g) under 1 atm: log K = 1160/T + 2.003 (JSPS, Steelmaking
// Data Sourcebook, 1988); [%C][%O] ≈ 0.0024 over 0.05–0.5 % C at 1600 °C.

using SampleProjectCarbonOxygen = SampleProjectBase;

TEST_F(SampleProjectCarbonOxygen, ProductUnderOneAtmosphereOfCarbonMonoxideIsThePublishedOne)
{
    for (const double carbon : {0.05, 0.1, 0.2, 0.5}) {
        SCOPED_TRACE("[%C] charged " + std::to_string(carbon));
        TThSys& sys = IronBath();
        // Oxygen beyond the equilibrium content, so that CO bubbles form and
        // the gas stands at the total pressure.
        Charge(sys, "C", carbon, 0);
        Charge(sys, "O", 0.0024 / carbon + 0.01, 0);
        ASSERT_TRUE(Solve(sys));

        ASSERT_TRUE(sys.GasPresent);
        EXPECT_NEAR(static_cast<double>(sys.GasPressureSum), 1.0, 1e-6);
        EXPECT_GT(SpeciesPressure(sys, "CO"), 0.9);
        const double c = MetalPercent(sys, "C");
        const double o = MetalPercent(sys, "O");
        EXPECT_GT(c, 0.8 * carbon);
        EXPECT_LT(c, carbon);
        EXPECT_NEAR(c * o, 0.0024, 0.2 * 0.0024) << "[%C] " << c << " [%O] " << o;
    }
}

TEST_F(SampleProjectCarbonOxygen, OxygenTheSetUpPutsBesideCarbonLiesOnTheSameLine)
{
    // A task with a carbon sample and no oxygen: the set-up gives the metal
    // the oxygen whose gas stands at the total pressure.
    for (const double carbon : {0.05, 0.2}) {
        SCOPED_TRACE("[%C] " + std::to_string(carbon));
        TThSys& sys = BareSystem();
        Charge(sys, "C", carbon, 0);
        sys.CalcStandardGibbs();
        long double otherMetal = carbon;
        sys.SolveCarbonOxygen(otherMetal, 100);
        const long double oxygen = Element(sys, "O").InputMetalMass;
        EXPECT_NEAR(static_cast<double>(otherMetal - carbon), static_cast<double>(oxygen), 1e-12);
        EXPECT_NEAR(static_cast<double>(sys.GasPressureSum), 1.0, 1e-6);
        EXPECT_NEAR(carbon * static_cast<double>(oxygen), 0.0024, 0.2 * 0.0024);
    }
}

// ---------------------------------------------------------------------------
// Oxygen solubility of liquid iron under liquid iron oxide:
// log[%O] = -6320/T + 2.734 (Taylor & Chipman, Trans. AIME 154, 1943),
// 0.23 % at 1600 °C.

using SampleProjectIronOxide = SampleProjectBase;

// The one-phase equilibrium asks the same question directly (which metal is
// in equilibrium with this slag) and must agree with the full solve.
TEST_F(SampleProjectIronOxide, IronUnderPureIronOxideSlagHoldsThePublishedOxygen)
{
    for (const uint8_t slagModel : {uint8_t{0}, uint8_t{1}}) {
        SCOPED_TRACE("slag model " + std::to_string(slagModel));
        Settings.SlagModel = slagModel;
        TThSys& sys = IronBath();
        ChargeOxide(sys, "Fe", 1, 1, 10);
        ASSERT_TRUE(Solve(sys));
        ASSERT_TRUE(sys.SlagPresent);
        EXPECT_GT(100 * Element(sys, "Fe").SlagCompoundFraction, 99.0);
        const double oxygen = MetalPercent(sys, "O");
        EXPECT_NEAR(oxygen, 0.23, 0.2 * 0.23);

        TThSys& alone = BareSystem();
        ChargeOxide(alone, "Fe", 1, 1, 10);
        ASSERT_TRUE(alone.EquilibrateMetalWithSlag(true, true));
        EXPECT_TRUE(host_.warnings.empty());
        EXPECT_NEAR(MetalPercent(alone, "O"), oxygen, 0.01 * oxygen);
        EXPECT_GT(MetalPercent(alone, "Fe"), 99.0);
    }
}

// ---------------------------------------------------------------------------
// Deoxidation equilibria at 1600 °C.

using SampleProjectDeoxidation = SampleProjectBase;

// Al2O3(s) = 2[Al] + 3[O]: log K ≈ -13 with the standard free energies of
// Sigworth & Elliott (Metal Science 8, 1974) and NASA Glenn data for Al2O3
// (-13.3; JSPS 1988 quotes -13.6).
TEST_F(SampleProjectDeoxidation, AluminiumUnderAluminaSlagLeavesAFewPpmOfOxygen)
{
    TThSys& sys = IronBath();
    Charge(sys, "Al", 0.032, 0);
    Charge(sys, "O", 0.002, 0);
    ChargeOxide(sys, "Al", 2, 3, 1);
    ASSERT_TRUE(Solve(sys));

    const double al = MetalPercent(sys, "Al");
    const double o = MetalPercent(sys, "O");
    EXPECT_NEAR(al, 0.03, 0.005);
    EXPECT_GT(o * 1e4, 1.0);
    EXPECT_LT(o * 1e4, 10.0);
    EXPECT_NEAR(2 * std::log10(al) + 3 * std::log10(o), -13.0, 0.7) << "[%Al] " << al << " [%O] " << o;
}

// SiO2(s) = [Si] + 2[O]: about 100 ppm O at 0.2 % Si under silica-saturated
// slag (Sigworth & Elliott 1974 with NASA Glenn SiO2: log K = -4.65).
TEST_F(SampleProjectDeoxidation, SiliconUnderSilicaSaturatedSlagLeavesAboutOneHundredPpmOfOxygen)
{
    for (const uint8_t slagModel : {uint8_t{0}, uint8_t{1}}) {
        SCOPED_TRACE("slag model " + std::to_string(slagModel));
        Settings.SlagModel = slagModel;
        TThSys& sys = IronBath();
        Charge(sys, "Si", 0.19, 0);
        Charge(sys, "O", 0.005, 0);
        ChargeOxide(sys, "Si", 1, 2, 1);
        ASSERT_TRUE(Solve(sys));

        const double si = MetalPercent(sys, "Si");
        const double ppm = MetalPercent(sys, "O") * 1e4;
        EXPECT_NEAR(si, 0.2, 0.02);
        EXPECT_GT(100 * Element(sys, "Si").SlagCompoundFraction, slagModel == 0 ? 95.0 : 80.0);
        EXPECT_GT(ppm, 50.0);
        EXPECT_LT(ppm, 200.0);
    }
}

// ---------------------------------------------------------------------------
// Sieverts' law under 1 atm of the pure gas at 1600 °C: 0.045 % N and 25 ppm
// H (Sigworth & Elliott 1974: ½N2 = [N] 3600 + 23.89T, ½H2 = [H]
// 36480 + 30.46T J/mol).

using SampleProjectGasSolubility = SampleProjectBase;

TEST_F(SampleProjectGasSolubility, IronUnderOneAtmosphereOfTheGasHoldsThePublishedContent)
{
    struct TCase {
        const char* Symbol;
        const char* Gas;
        long double Charged; // t, about twice what dissolves: the rest is gas
        double Ppm;
    };
    for (const TCase& c : {TCase{"N", "N2", 0.1L, 450.0}, TCase{"H", "H2", 0.01L, 25.0}}) {
        SCOPED_TRACE(c.Gas);
        TThSys& sys = IronBath();
        Charge(sys, c.Symbol, c.Charged, 0);
        ASSERT_TRUE(Solve(sys));
        ASSERT_TRUE(sys.GasPresent);
        EXPECT_GT(SpeciesPressure(sys, c.Gas), 0.99);
        EXPECT_NEAR(MetalPercent(sys, c.Symbol) * 1e4, c.Ppm, 0.15 * c.Ppm);
    }
}

TEST_F(SampleProjectGasSolubility, DissolvedNitrogenFollowsTheSquareRootOfThePressure)
{
    // Sieverts' law: a quarter of the pressure halves the content.
    auto nitrogenAt = [&](long double pressure) {
        TThSys& sys = IronBath();
        TotalPressure = pressure;
        Charge(sys, "N", 0.1, 0);
        EXPECT_TRUE(Solve(sys)) << pressure << " atm";
        return MetalPercent(sys, "N");
    };
    EXPECT_NEAR(nitrogenAt(0.25L) / nitrogenAt(1.0L), 0.5, 0.02);
}

// ---------------------------------------------------------------------------
// Slags at steelmaking temperatures: oxide activities, sulphide capacities
// and phosphorus partitions of the slag models against published data. The
// slags are those of the data's fit (data-sources/slag-data.csv), in mass %.

struct TSlag {
    double CaO, SiO2, Al2O3, MgO, FeO, MnO;
};

struct TOxide {
    const char* Metal;
    int A, B;                 // M_aO_b
    double TSlag::*Percent; // its share of a slag
};
constexpr TOxide CaO{"Ca", 1, 1, &TSlag::CaO}, SiO2{"Si", 1, 2, &TSlag::SiO2}, Al2O3{"Al", 2, 3, &TSlag::Al2O3},
    MgO{"Mg", 1, 1, &TSlag::MgO}, FeO{"Fe", 1, 1, &TSlag::FeO}, MnO{"Mn", 1, 1, &TSlag::MnO};
constexpr TOxide SlagOxides[] = {CaO, SiO2, Al2O3, MgO, FeO, MnO};

class SampleProjectSlag : public SampleProjectBase {
protected:
    // The lower-bound system's slag set to the given oxides (and an ion
    // fraction of sulphur) at T, with the standard terms and the slag
    // model's activity coefficients of that temperature.
    TThSys& SlagAt(const TSlag& slag, long double celsius, long double sulphur = 0.002L)
    {
        TThSys& sys = BareSystem();
        for (int i = 0; i <= SystemElemLast; ++i)
            sys.El(i).SlagAmount = AmountFloor;
        for (const TOxide& oxide : SlagOxides) {
            const long double moles = slag.*oxide.Percent / (oxide.A * Element(sys, oxide.Metal).MolarMass +
                                                              oxide.B * Element(sys, "O").MolarMass);
            Element(sys, oxide.Metal).SlagAmount += oxide.A * moles;
            Element(sys, "O").SlagAmount += oxide.B * moles;
        }
        long double total = 0;
        for (int i = 0; i <= SystemElemLast; ++i)
            total += sys.El(i).SlagAmount;
        Element(sys, "S").SlagAmount = sulphur / (1 - sulphur) * total;
        sys.SlagMoles = total + Element(sys, "S").SlagAmount;
        sys.Temperature = celsius + 273.15L;
        sys.CalcStandardGibbs();
        sys.CalcMoleFractions();
        sys.CalcSlagActivity();
        return sys;
    }

    static long double LnXGamma(TThSys& sys, const char* symbol)
    {
        const TElementRecord& e = Element(sys, symbol);
        return std::log(e.SlagMoleFraction) + e.LnGammaSlag;
    }

    // ln a of the oxide against the pure oxide, which the slag terms put in
    // equilibrium with the metal at unit activity.
    double LnActivity(const TSlag& slag, const TOxide& oxide, long double celsius = 1600)
    {
        TThSys& sys = SlagAt(slag, celsius);
        const long double inSlag = oxide.A * LnXGamma(sys, oxide.Metal) + oxide.B * LnXGamma(sys, "O");
        TSlag pure{};
        pure.*oxide.Percent = 100;
        TThSys& alone = SlagAt(pure, celsius, 0);
        return static_cast<double>(inSlag - oxide.A * LnXGamma(alone, oxide.Metal) - oxide.B * LnXGamma(alone, "O"));
    }

    static long double Formation(const TThSys& sys, const std::string& name)
    {
        for (int s = 1; s <= ActiveGasCount; ++s)
            if (ActiveGases[s].Name == name)
                return sys.SpeciesFormation[s];
        ADD_FAILURE() << "no gas species " << name;
        return 0;
    }

    // log10 of the sulphide capacity (%S)(pO2/pS2)^½ by the model's terms:
    // each element's one-atom pressure is (x γ)_slag e^(z ψ - μS + μM), and
    // the potential ψ drops out between O²⁻ and S²⁻.
    double Log10Capacity(const TSlag& slag, long double celsius, long double sulphur)
    {
        TThSys& sys = SlagAt(slag, celsius, sulphur);
        sys.CalcPhaseMasses();
        const TElementRecord& o = Element(sys, "O");
        const TElementRecord& s = Element(sys, "S");
        const long double lnPO = LnXGamma(sys, "O") - o.SlagStdTerm + o.MetalStdTerm;
        const long double lnPS = LnXGamma(sys, "S") - s.SlagStdTerm + s.MetalStdTerm;
        const long double lnCapacity =
            std::log(100 * s.SlagFraction) + lnPO - lnPS - 0.5L * Formation(sys, "O2") + 0.5L * Formation(sys, "S2");
        return static_cast<double>(lnCapacity / std::log(10.0L));
    }

    // (%P)/[%P] of the iron in equilibrium with 10 t of the slag holding
    // 0.1 % phosphorus: the slag's iron oxide sets the metal's oxygen.
    double PhosphorusPartition(const TSlag& slag)
    {
        TThSys& sys = BareSystem();
        for (const TOxide& oxide : SlagOxides)
            ChargeOxide(sys, oxide.Metal, oxide.A, oxide.B, slag.*oxide.Percent / 10);
        Charge(sys, "P", 0, 0.01);
        EXPECT_TRUE(sys.EquilibrateMetalWithSlag(true, true));
        return 100 * static_cast<double>(Element(sys, "P").SlagFraction) / MetalPercent(sys, "P");
    }
};

// Furnace slags of the fit: an EAF slag at the end of the oxidising period,
// a basic one, a converter slag and an iron-oxide-rich one.
constexpr TSlag EafSlag{42, 16, 3, 9, 25, 5}, BasicSlag{50, 25, 5, 8, 10, 2}, ConverterSlag{48, 14, 3, 9, 20, 6},
    IronOxideSlag{38, 20, 0, 8, 30, 4};
// Ladle slags of Al-killed steel.
constexpr TSlag LadleSlag{55, 8, 30, 7, 0, 0}, AluminaLadleSlag{50, 5, 35, 10, 0, 0}, LimeLadleSlag{58, 12, 22, 8, 0, 0};

// Oxide activities in furnace slags at 1600 °C by the regular solution of
// S. Ban-ya (ISIJ International 33, 1993, 2-11), which reproduces the
// measured activities of CaO-SiO2-FeO-MgO-MnO(-Al2O3) slags.
TEST_F(SampleProjectSlag, FurnaceSlagActivitiesFollowBanya)
{
    struct TCase {
        TSlag Slag;
        double FeO, MnO, SiO2, MgO, CaO; // Ban-ya's activities
    };
    const TCase cases[] = {{EafSlag, 0.458, 0.0319, 0.0164, 0.0371, 0.0176},
                           {BasicSlag, 0.185, 0.00731, 0.033, 0.0153, 0.0228},
                           {ConverterSlag, 0.352, 0.03, 0.00973, 0.027, 0.0258},
                           {IronOxideSlag, 0.495, 0.0263, 0.0312, 0.038, 0.0142}};
    for (const TCase& c : cases) {
        SCOPED_TRACE("FeO " + std::to_string(c.Slag.FeO) + " %");
        // Slag model 1 within a factor of 2; its CaO within a factor of 4
        // (the model puts lime 2.5 times higher on average).
        Settings.SlagModel = 1;
        EXPECT_NEAR(LnActivity(c.Slag, FeO), std::log(c.FeO), std::log(2.0));
        EXPECT_NEAR(LnActivity(c.Slag, MnO), std::log(c.MnO), std::log(2.0));
        EXPECT_NEAR(LnActivity(c.Slag, SiO2), std::log(c.SiO2), std::log(2.0));
        EXPECT_NEAR(LnActivity(c.Slag, MgO), std::log(c.MgO), std::log(2.0));
        EXPECT_NEAR(LnActivity(c.Slag, CaO), std::log(c.CaO), std::log(4.0));
        // Slag model 0 holds only positive deviations: it follows the iron
        // and manganese oxides (within a factor of 2.5), not the acid-base
        // oxides.
        Settings.SlagModel = 0;
        EXPECT_NEAR(LnActivity(c.Slag, FeO), std::log(c.FeO), std::log(2.5));
        EXPECT_NEAR(LnActivity(c.Slag, MnO), std::log(c.MnO), std::log(2.5));
    }
    // The same regular solution carried to lime-alumina ladle slags, outside
    // the iron oxide slags it was fitted to: slag model 1's silica within a
    // factor of 3.
    Settings.SlagModel = 1;
    EXPECT_NEAR(LnActivity(LadleSlag, SiO2), std::log(0.00246), std::log(3.0));
    EXPECT_NEAR(LnActivity(LimeLadleSlag, SiO2), std::log(0.00486), std::log(3.0));
}

// Silica in CaO-SiO2-Al2O3 melts at 1600 °C by the regular solution of
// S. Ban-ya (ISIJ International 33, 1993, 2-11), carried to lime-alumina
// melts through its Ca-Si and Al-Si energies: slag model 1 within a factor
// of 3. (No alumina activity of these melts could be read from a published
// table, so none is asserted.)
TEST_F(SampleProjectSlag, LimeAluminaSilicaMeltsFollowBanya)
{
    Settings.SlagModel = 1;
    struct TCase {
        TSlag Slag;
        double SiO2; // Ban-ya's regular solution
    };
    const TCase cases[] = {{{55, 10, 35, 0, 0, 0}, 0.00279}, {{45, 15, 40, 0, 0, 0}, 0.00735},
                           {{40, 40, 20, 0, 0, 0}, 0.151}};
    for (const TCase& c : cases) {
        SCOPED_TRACE("CaO " + std::to_string(c.Slag.CaO) + " SiO2 " + std::to_string(c.Slag.SiO2));
        EXPECT_NEAR(LnActivity(c.Slag, SiO2), std::log(c.SiO2), std::log(3.0));
    }
}

// Sulphide capacities: log Cs = (22690 - 54640 Λ)/T + 43.6 Λ - 25.2, Λ the
// optical basicity (CaO 1.0, MgO 0.78, SiO2 0.48, Al2O3 0.61, FeO and MnO
// 1.0), the correlation of D.J. Sosinsky and I.D. Sommerville (Metall.
// Trans. B 17, 1986, 331-337) of measured capacities. Within 0.5 in log10
// (slag model 0, whose capacity hardly depends on the slag: 0.6), at 0.1 %
// and 1 % sulphur alike.
TEST_F(SampleProjectSlag, SulphideCapacitiesFollowSosinskyAndSommerville)
{
    struct TCase {
        TSlag Slag;
        double Celsius, Log10Cs; // published
        bool ModelZero;          // a basic slag (Λ ≥ 0.76), which slag model 0 is fitted to
    };
    const TCase cases[] = {{LadleSlag, 1600, -1.92, true},        {LadleSlag, 1550, -2.21, true},
                           {AluminaLadleSlag, 1600, -2.01, true}, {LimeLadleSlag, 1650, -1.57, true},
                           {{45, 20, 25, 10, 0, 0}, 1600, -2.70, false},
                           {EafSlag, 1600, -1.24, true},          {IronOxideSlag, 1600, -1.45, true},
                           {{35, 35, 2, 8, 15, 5}, 1600, -2.83, false}};
    for (const TCase& c : cases) {
        SCOPED_TRACE("CaO " + std::to_string(c.Slag.CaO) + " at " + std::to_string(c.Celsius) + " °C");
        for (const uint8_t model : {uint8_t{0}, uint8_t{1}}) {
            if (model == 0 && !c.ModelZero)
                continue;
            SCOPED_TRACE("slag model " + std::to_string(model));
            Settings.SlagModel = model;
            for (const long double sulphur : {0.002L, 0.02L})
                EXPECT_NEAR(Log10Capacity(c.Slag, c.Celsius, sulphur), c.Log10Cs, model == 0 ? 0.6 : 0.5);
        }
    }
}

// Phosphorus partition between iron and oxidising slags at 1600 °C:
// log((%P)/[%P]) = 22350/T + 0.08 (%CaO) + 2.5 log(%Fe total) - 16.0
// (G.W. Healy, J. Iron Steel Inst. 208, 1970, 664-668), within a factor of
// 2. Slag model 0 is calibrated on the EAF slag and has no lime-phosphate
// attraction: it follows the partition only near that slag's lime content.
TEST_F(SampleProjectSlag, PhosphorusPartitionFollowsHealy)
{
    struct TCase {
        TSlag Slag;
        double Partition; // Healy
        bool ModelZero;
    };
    const TCase cases[] = {{EafSlag, 326, true}, {BasicSlag, 144, false}, {ConverterSlag, 563, false},
                           {IronOxideSlag, 246, true}};
    for (const TCase& c : cases) {
        SCOPED_TRACE("CaO " + std::to_string(c.Slag.CaO) + " FeO " + std::to_string(c.Slag.FeO));
        for (const uint8_t model : {uint8_t{0}, uint8_t{1}}) {
            if (model == 0 && !c.ModelZero)
                continue;
            SCOPED_TRACE("slag model " + std::to_string(model));
            Settings.SlagModel = model;
            EXPECT_NEAR(std::log(PhosphorusPartition(c.Slag)), std::log(c.Partition), std::log(2.0));
        }
    }
}

// The enthalpy of a liquid slag less that of its solid oxides (liquid FeO)
// at 1600 °C, GJ per t of slag, within 0.2 under both slag models:
// - a lime-alumina ladle slag, the C3A-C12A7-C2S eutectic melt (51.97 CaO,
//   41.34 Al2O3, 6.69 SiO2): its heat of crystallisation, -607 kJ/kg at
//   1608 K (B. Švecová, K. Adamkovičová, L. Kosa, I. Proks, Chem. Papers 39,
//   1985, 585-597), over the heats of formation of C2S and C3A from the
//   oxides (-126.5 and -7.6 kJ/mol) and C12A7 between C3A and CA2 (-20.5),
//   carried to 1600 °C with the liquid's heat capacity of Stebbins et al.:
//   +0.556;
// - the EAF and converter slags, by the regular solution of S. Ban-ya (ISIJ
//   International 33, 1993, 2-11), whose pair energies are enthalpies:
//   -0.193 and -0.194;
// - liquid CaSiO3: the heat of fusion of pseudowollastonite, 57.3 kJ/mol at
//   1817 K (K. Adamkovičová, L. Kosa, I. Proks, Ceramics-Silikáty 24, 1980,
//   193-201), over its heat of formation from the oxides, -82.7 kJ/mol
//   (Holland and Powell 2011): -0.209.
// The oxides: standard enthalpies of formation and heat contents to 1873 K
// (NASA Glenn, McBride et al. 2002; liquid FeO of NIST-JANAF).
TEST_F(SampleProjectSlag, LiquidSlagsHoldThePublishedHeatOverTheirOxides)
{
    struct THeat {
        double Formation, Content; // kJ/mol
    };
    const std::map<const char*, THeat> oxideHeat = {{"Ca", {-634.92, 80.77}}, {"Si", {-910.70, 110.69}},
                                                    {"Al", {-1675.70, 192.82}}, {"Mg", {-601.60, 79.23}},
                                                    {"Fe", {-272.04, 118.35}},  {"Mn", {-385.22, 85.61}}};
    struct TCase {
        const char* Name;
        TSlag Slag;
        double Published; // GJ per t
    };
    const TCase cases[] = {{"ladle", {51.97, 6.69, 41.34, 0, 0, 0}, 0.556},
                           {"EAF", EafSlag, -0.193},
                           {"converter", ConverterSlag, -0.194},
                           {"CaSiO3", {48.28, 51.72, 0, 0, 0, 0}, -0.209}};
    for (const TCase& c : cases) {
        for (const uint8_t model : {uint8_t{0}, uint8_t{1}}) {
            SCOPED_TRACE(std::string(c.Name) + " slag, slag model " + std::to_string(model));
            Settings.SlagModel = model;
            TThSys& sys = SlagAt(c.Slag, 1600, 0);
            long double grams = 0, oxides = 0;
            for (const TOxide& oxide : SlagOxides) {
                const long double moles = c.Slag.*oxide.Percent / (oxide.A * Element(sys, oxide.Metal).MolarMass +
                                                                    oxide.B * Element(sys, "O").MolarMass);
                const THeat& h = oxideHeat.at(oxide.Metal);
                oxides += moles * 1000 * (h.Formation + h.Content);
                grams += c.Slag.*oxide.Percent;
            }
            for (int i = 0; i <= SystemElemLast; ++i) {
                TElementRecord& e = sys.El(i);
                e.MetalAmount = e.GasAmount = DivisorFloor;
                e.Amount = e.SlagAmount + 2 * DivisorFloor;
            }
            THeatBlock block;
            sys.HeatBalance(block, false, false);
            long double slag = block.H[phSlag];
            for (int i = 0; i <= SystemElemLast; ++i) {
                const TElementRecord& e = sys.El(i);
                slag += e.SlagAmount * (e.LiquidEnthalpy[0] + sys.Temperature * e.LiquidEnthalpy[1]);
            }
            // J per g is MJ per t
            EXPECT_NEAR(static_cast<double>((slag - oxides) / grams) / 1000, c.Published, 0.2);
        }
    }
}

// ---------------------------------------------------------------------------
// Heat content of liquid iron at 1600 °C from bcc iron at 25 °C:
// H(T) - H(298.15) = 46.024 T - 10805 J/mol (NIST-JANAF, Chase 1998),
// 1350 kJ/kg.

using SampleProjectHeatContent = SampleProjectBase;

TEST_F(SampleProjectHeatContent, LiquidIronAt1600CarriesThePublishedHeat)
{
    TThSys& sys = BareSystem();
    Charge(sys, "Fe", 1, 0);
    ASSERT_TRUE(Solve(sys));

    // The solve writes the metal's heat per tonne into the pseudo-material
    // "Метал"; MJ/t is kJ/kg.
    const TMaterialRecord& metal = MaterialTable[MaterialCount + 1];
    EXPECT_NEAR(static_cast<double>(metal.Temperature), 1600.0, 1e-6);
    const TElementRecord& fe = Element(sys, "Fe");
    const long double roomT = 298.15L;
    const long double atRoom =
        (fe.SolidEnthalpy[0] + roomT * (fe.SolidEnthalpy[1] + roomT * fe.SolidEnthalpy[2])) / fe.MolarMass * 1000;
    const double heat = static_cast<double>(metal.HeatTotal[0] - atRoom);
    EXPECT_NEAR(heat, 1350.0, 0.05 * 1350.0);
}

// ---------------------------------------------------------------------------
// Heats of the refining reactions in a bath at 1600 °C under an iron
// silicate slag, through the model under each metal and slag model: each
// element's partial enthalpy in its phase on the products' scale (the
// solver's h of the phase plus the liquid set's a + b T), oxygen charged
// cold (its heat at 20 °C, -0.07 kJ per mol O, is left out). References, kJ
// per mol of the element burnt:
//   [C] + 1/2 O2 = {CO}: -110.54 + 52.15 - (32.35 + 22.59) = -119.33
//   [Si] + O2 = (SiO2):  -910.70 + 110.69 - (91.55 - 131.5) = -760.06
//   Fe + 1/2 O2 = (FeO):  -272.04 + 118.35 - 75.41 = -229.10
// from the enthalpies of formation at 298.15 K and the heat contents at
// 1873 K of CO (NASA Glenn, McBride et al. 2002), SiO2, graphite and Si(l)
// (NASA Glenn), liquid FeO and liquid Fe (NIST-JANAF, Chase 1998), and the
// enthalpies of solution of graphite (+22.59 kJ/mol) and liquid silicon
// (-131.5 kJ/mol) in iron (Sigworth and Elliott 1974). The oxides'
// enthalpies of mixing in the slag are left out.

using SampleProjectReactionHeats = SampleProjectBase;

// An element's partial enthalpy in one phase of a solved system, kJ/mol.
double PartialHeat(TThSys& sys, const TElementRecord& e, long double TElementRecord::*phase)
{
    return static_cast<double>((e.*phase + e.LiquidEnthalpy[0] + sys.Temperature * e.LiquidEnthalpy[1]) / 1000);
}

TEST_F(SampleProjectReactionHeats, BurningCarbonSiliconAndIronReleasesThePublishedHeat)
{
    for (const uint8_t metalModel : {uint8_t{0}, uint8_t{1}}) {
        for (const uint8_t slagModel : {uint8_t{0}, uint8_t{1}}) {
            SCOPED_TRACE("models " + std::to_string(metalModel) + "/" + std::to_string(slagModel));
            Settings.MetalModel = metalModel;
            Settings.SlagModel = slagModel;
            TThSys& sys = IronBath();
            Charge(sys, "C", 0.3L, 0);
            Charge(sys, "Si", 0.1L, 0);
            ChargeOxide(sys, "Fe", 1, 1, 3.0L);
            ChargeOxide(sys, "Si", 1, 2, 1.0L);
            ASSERT_TRUE(Solve(sys));
            auto h = [&](const char* symbol, long double TElementRecord::*phase) {
                return PartialHeat(sys, Element(sys, symbol), phase);
            };
            using E = TElementRecord;
            EXPECT_NEAR(h("C", &E::HGas) + h("O", &E::HGas) - h("C", &E::HMetal), -119.33, 0.03 * 119.33);
            EXPECT_NEAR(h("Si", &E::HSlag) + 2 * h("O", &E::HSlag) - h("Si", &E::HMetal), -760.06, 0.03 * 760.06);

            // Iron burnt to its oxide, under a slag of iron oxide alone so
            // that no mixing enthalpy enters.
            TThSys& bath = IronBath();
            ChargeOxide(bath, "Fe", 1, 1, 3.0L);
            ASSERT_TRUE(Solve(bath));
            const TElementRecord& fe = Element(bath, "Fe");
            ASSERT_GT(100 * fe.SlagCompoundFraction, 99.0);
            EXPECT_NEAR(PartialHeat(bath, fe, &E::HSlag) + PartialHeat(bath, Element(bath, "O"), &E::HSlag) -
                            PartialHeat(bath, fe, &E::HMetal),
                        -229.10, 0.03 * 229.10);
        }
    }
}

// ---------------------------------------------------------------------------
// The sample EAF task ("ДСП-100, сталь 20") melted with its recommended
// charge. Plausibility against steelmaking practice: tapping [C] and [O] on
// the carbon-oxygen line of JSPS (1988), an oxidising slag, the basicity
// the lime and doloma give.

using SampleProjectEafMelt = SampleProjectBase;

// Total heat of the bath, MJ, less the heat supplied: zero when balanced.
long double HeatResidual(const TThSys& sys)
{
    return sys.Heat.H[phTotal] + sys.HeatCapA + sys.Temperature * sys.HeatCapB - sys.HeatInput;
}

// At the task's fixed 1640 °C and with the heat balance on, where the shipped
// energy less the losses must bring the bath to the tapping heat the task
// asks for.
TEST_F(SampleProjectEafMelt, RecommendedChargeMeltsToAPlausibleHeat)
{
    ASSERT_EQ(TaskList.Current, 0);
    const TTaskRecord& task = TaskList.CurrentTask();
    ASSERT_EQ(task.Name, "ДСП-100, сталь 20");
    int c = 0;
    for (int k = 1; k <= task.NEl; ++k)
        c = task.Symbols[k] == "C" ? k : c;
    ASSERT_GT(c, 0);
    for (const uint8_t heatBalance : {uint8_t{0}, uint8_t{1}}) {
        SCOPED_TRACE("heat balance " + std::to_string(heatBalance));
        Settings.FinalTempMode = heatBalance;
        ASSERT_TRUE(MeltForward().BothConverged);
        EXPECT_TRUE(BothConverged);
        EXPECT_FALSE(host_.warned("Збіжність"));

        double feo[2] = {0, 0};
        double oxygen[2] = {0, 0};
        for (int k = 0; k < 2; ++k) {
            SCOPED_TRACE("system " + std::to_string(k));
            TThSys& sys = *ThSystems[static_cast<std::size_t>(k)];
            const long double celsius = sys.Temperature - KelvinOffset;
            if (heatBalance == 0) {
                EXPECT_NEAR(static_cast<double>(celsius), 1640.0, 1e-6);
            } else {
                EXPECT_NEAR(static_cast<double>(HeatResidual(sys)), 0.0, 1e-6 * static_cast<double>(sys.HeatInput));
                EXPECT_GT(celsius, 1300.0L); // a molten bath
                EXPECT_GE(celsius, task.MinTemp);
                EXPECT_LE(celsius, task.MaxTemp);
            }
            EXPECT_NEAR(static_cast<double>(sys.MetalMass), 100.0, 5.0);
            EXPECT_GT(sys.SlagMass, 3.0L);
            EXPECT_LT(sys.SlagMass, 15.0L);

            const double carbon = MetalPercent(sys, "C");
            oxygen[k] = MetalPercent(sys, "O");
            EXPECT_GT(carbon, 0.02);
            EXPECT_LT(carbon, 0.12);
            if (heatBalance != 0) {
                EXPECT_GE(carbon, static_cast<double>(task.MetalMin[c]));
                EXPECT_LE(carbon, static_cast<double>(task.MetalMax[c]));
            }
            // Bath and CO bubbles are in equilibrium at tapping.
            EXPECT_NEAR(carbon * oxygen[k], 0.0024, 0.2 * 0.0024) << "[%C] " << carbon << " [%O] " << oxygen[k];

            // The basicity the task asks for, and all the lime's calcium in
            // the slag.
            EXPECT_GE(sys.Basicity, task.MinOsn);
            EXPECT_LE(sys.Basicity, task.MaxOsn);
            const TCompositionTable& composition = k == 0 ? CompositionMin : CompositionMax;
            const int ca = sys.Elems->IndexOfSymbol("Ca");
            long double chargedCa = 0;
            for (int j = 1; j <= MaterialCount; ++j)
                if (MaterialTable[j].Type >= mtMetal)
                    chargedCa += MaterialTable[j].Amount * composition[static_cast<std::size_t>(ca + 1)][j];
            EXPECT_NEAR(static_cast<double>(sys.El(ca).SlagMass), static_cast<double>(chargedCa),
                        0.01 * static_cast<double>(chargedCa));

            // An oxidising slag. At 1640 °C the upper ends of the analyses
            // bring more C, Si, Mn and Al for the same 2.4 t of oxygen, so
            // that system oxidises less iron (about 8 % FeO against 17 %):
            // below the 15–35 % of an EAF tapping slag, but within the
            // task's limit of 35 %.
            feo[k] = 100 * static_cast<double>(Element(sys, "Fe").SlagCompoundFraction);
            EXPECT_GT(feo[k], heatBalance == 0 ? 5.0 : 15.0);
            EXPECT_LE(feo[k], 35.0);
        }
        EXPECT_GE(feo[0], 15.0);
        // More iron oxide in the slag goes with more oxygen in the metal.
        EXPECT_EQ(feo[0] > feo[1], oxygen[0] > oxygen[1]);
    }
}

TEST_F(SampleProjectEafMelt, EnergyTheBalanceAsksForBringsTheHeatToItsTemperature)
{
    // At a fixed 1640 °C the solve shows how much heat the lower-bound
    // system lacks; that much more electric energy, charged, must end the
    // heat-balanced melt at 1640 °C.
    ASSERT_TRUE(MeltForward().BothConverged);
    const long double lacking = HeatResidual(*ThSystems[0]);
    ASSERT_GT(lacking, 0.0L);
    const int energySlot = MaterialIndexByName("Електроенергія");
    ASSERT_GT(energySlot, 0);
    const long double perMWh = MaterialTable[energySlot].HeatA[0];
    ASSERT_GT(perMWh, 0.0L);

    TTaskRecord& task = TaskList.CurrentTask();
    bool raised = false;
    for (int m = 1; m <= task.NMat; ++m) {
        if (task.Materials[m].TableIndex == energySlot) {
            task.Materials[m].Fixed += lacking / perMWh;
            raised = true;
        }
    }
    ASSERT_TRUE(raised);

    Settings.FinalTempMode = 1;
    ASSERT_TRUE(MeltForward().BothConverged);
    const long double finalT = ThSystems[0]->Temperature - KelvinOffset;
    EXPECT_NEAR(static_cast<double>(finalT), 1640.0, 5.0);
    EXPECT_GE(finalT, task.MinTemp);
    EXPECT_LE(finalT, task.MaxTemp);
}

// The electric energy and the task's heat scaled by a factor: without them
// the charge stays a solid far below the liquidus; three times them boil
// the bath far above any tapping temperature. Neither is a result.
TEST_F(SampleProjectEafMelt, HeatBalanceOutsideTheLiquidRangeIsReportedAsNotClosing)
{
    const int energySlot = MaterialIndexByName("Електроенергія");
    ASSERT_GT(energySlot, 0);
    TTaskRecord& task = TaskList.CurrentTask();
    const TTaskRecord shipped = task;
    for (const long double factor : {0.0L, 3.0L}) {
        SCOPED_TRACE("energy x " + std::to_string(static_cast<double>(factor)));
        task = shipped;
        task.Energy *= factor;
        for (int m = 1; m <= task.NMat; ++m)
            if (task.Materials[m].TableIndex == energySlot)
                task.Materials[m].Fixed *= factor;
        // No temperature limits: the optimiser's rows alone would call it met.
        task.MinTemp = task.MaxTemp = UnsetValue;
        host_.warnings.clear();
        Settings.FinalTempMode = 1;

        const TForwardResult melt = MeltForward();
        EXPECT_FALSE(melt.HeatBalanceCloses);
        EXPECT_TRUE(host_.warned(HeatBalanceOpenText));
        const TThSys& lower = *ThSystems[0];
        if (factor == 0) {
            EXPECT_LT(lower.Temperature, MetalLiquidus(lower));
        } else {
            EXPECT_GT(lower.Temperature - KelvinOffset, 2000.0L);
        }

        PrepareSystems();
        ASSERT_TRUE(BuildConstraintBlocks());
        CalcBusy = true;
        EXPECT_EQ(Optimise(-1), lpNotMet);
        CalcBusy = false;
    }
    // The shipped energy closes it.
    task = shipped;
    EXPECT_TRUE(MeltForward().HeatBalanceCloses);
}

} // namespace
} // namespace ferrolyt::test
