// The heat each sample material brings, against its enthalpy on the scale
// of the elements at 298.15 K computed here from the compounds of its
// analysis (lower ends of the materials file) and published standard
// enthalpies. It must not depend on the solution models the options choose.
//
// Standard enthalpies of formation at 298.15 K, kJ/mol: FeO -272.04, SiO2
// -910.70, Al2O3 -1675.70, CaO -634.92, MgO -601.60, CaF2 -1228.00
// (NIST-JANAF, Chase 1998, and NASA Glenn, McBride et al. 2002); CaCO3
// (calcite) -1207.6, 1/2 P4O10 -1492.0, H2O(l) -285.83 (NIST-JANAF/CODATA).
// Metals, graphite, O2 and N2: 0. The heat content from 298.15 to 293.15 K
// (about -3 MJ/t) is left out of the references.

#include "LoaderTestSupport.h"
#include "RecordingHost.h"
#include "SampleProjectSupport.h"
#include "SystemSetup.h"
#include "TaskList.h"
#include "ThSys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <utility>
#include <vector>

namespace ferrolyt::test {
namespace {

struct TCompound {
    double MolarMass; // kg/kmol
    double Formation; // kJ/mol
};
const TCompound FeO{71.844, -272.04}, SiO2{60.084, -910.70}, Al2O3{101.961, -1675.70}, CaO{56.077, -634.92},
    MgO{40.304, -601.60}, CaF2{78.075, -1228.00}, CaCO3{100.087, -1207.6}, P2O5{141.945, -1492.0},
    H2O{18.015, -285.83};

// MJ per t of a material holding the given mass % of compounds.
double Formation(const std::vector<std::pair<TCompound, double>>& analysis)
{
    double h = 0;
    for (const auto& [c, percent] : analysis)
        h += 10.0 * percent / c.MolarMass * c.Formation;
    return h;
}

// A ferroalloy's silicon and carbon stand in silicides and carbides: MJ per
// t of one whose iron is the balance of the given mass % of Si, Mn, Cr and
// C (the rest of its analysis taken as iron too), with the phases of its
// constitution written out. Standard enthalpies of formation at 298.15 K:
// FeSi -38.6, Mn5Si3 -34.0, Cr5Si3 -33.6 kJ per mol of atoms (S.V. Meschel,
// O.J. Kleppa, J. Alloys Compd. 267, 1998, 128-135), Mn7C3 -19.8 kcal/mol
// (V.N. Eremenko, G.M. Lukashenko, R.I. Polotskaya, Studies in Soviet
// Science, 1974), Cr7C3 -144 kJ/mol (H. Kleykamp, J. Alloys Compd. 321,
// 2001, 138-145).
struct TAlloy {
    double Si, Mn, Cr, C, Other; // mass %
};
constexpr double FeSiPerSi = -2 * 38.6, Mn5Si3PerSi = -8 * 34.0 / 3, Cr5Si3PerSi = -8 * 33.6 / 3,
                 Mn7C3PerC = -19.8 * 4.184 / 3, Cr7C3PerC = -144.0 / 3; // kJ per mol of Si or C

// FeSi75: silicon in excess, all its iron as silicide (FeSi per Fe atom).
double SiliconAlloy(const TAlloy& a)
{
    const double fe = 10.0 * (100 - a.Si - a.Mn - a.Cr - a.C - a.Other) / 55.845;
    return fe * FeSiPerSi;
}

// FeMn and SiMn: silicon as Mn5Si3, then carbon as Mn7C3 as far as the
// manganese left reaches.
double ManganeseAlloy(const TAlloy& a)
{
    const double si = 10.0 * a.Si / 28.086, mn = 10.0 * a.Mn / 54.938, c = 10.0 * a.C / 12.011;
    const double mnLeft = mn - si * 5 / 3;
    return si * Mn5Si3PerSi + std::min(c, mnLeft * 3 / 7) * Mn7C3PerC;
}

// High-carbon FeCr: silicon as Cr5Si3, carbon as Cr7C3 as far as the
// chromium left reaches.
double ChromiumAlloy(const TAlloy& a)
{
    const double si = 10.0 * a.Si / 28.086, cr = 10.0 * a.Cr / 51.996, c = 10.0 * a.C / 12.011;
    const double crLeft = cr - si * 5 / 3;
    return si * Cr5Si3PerSi + std::min(c, crLeft * 3 / 7) * Cr7C3PerC;
}

// Lower ends of the materials file's analyses.
constexpr TAlloy FeSi75{74, 0.2, 0, 0.05, 0.02 + 0.01 + 0.5 + 0.1}, FeMn78{0.5, 76, 0, 6.0, 0.20 + 0.01},
    SiMn17{16, 65, 0, 1.5, 0.10 + 0.01}, FeCr800{1.0, 0, 65, 7.0, 0.02 + 0.02};

struct TMaterialCase {
    const char* Name;
    double Reference; // MJ/t
};

// Molten iron with carbon, silicon and manganese: the heat content of each
// element from 298.15 K plus its enthalpy of solution in liquid iron, kJ/mol.
// Fe(l): 46.024 T - 10.805 (NIST-JANAF, Chase 1998, Shomate form). Graphite:
// the NASA-7 polynomial of McBride, Gordon and Reno (NASA TM-4513, 1993, from
// the JANAF tables). Si(l) and Mn(l): 91.55 and 78.40 at 1873.15 K with their
// liquid heat capacities 27.2 and 46.0 J/(mol K) (NASA Glenn, McBride et al.
// 2002). Solution at infinite dilution: C(gr) +22.594, Si(l) -131.5, Mn(l)
// +4.084 (G.K. Sigworth, J.F. Elliott, The thermodynamics of liquid dilute
// iron alloys, Metal Science 8, 1974, 298-310). MJ per t of a melt of the
// given mass % (iron the balance) at T.
double GraphiteHeat(double T)
{
    constexpr double a[6] = {1.45571829, 1.71702216e-03, -6.97562786e-07, 1.35277032e-10, -9.67590652e-15,
                             -695.138814}; // 1000-5000 K; H(298.15) = 0
    const double rt = 8.31451e-3 * T;
    return rt * (a[0] + T * (a[1] / 2 + T * (a[2] / 3 + T * (a[3] / 4 + T * a[4] / 5))) + a[5] / T);
}
double MoltenIronReference(double carbon, double silicon, double manganese, double T)
{
    const double fe = 10.0 * (100 - carbon - silicon - manganese) / 55.845;
    return fe * (46.024e-3 * T - 10.805) + 10.0 * carbon / 12.011 * (GraphiteHeat(T) + 22.594) +
           10.0 * silicon / 28.086 * (91.55 + 27.2e-3 * (T - 1873.15) - 131.5) +
           10.0 * manganese / 54.938 * (78.40 + 46.0e-3 * (T - 1873.15) + 4.084);
}

// The shipped hot metal at 1350 °C, lower ends: 4.45 % C, 0.58 % Si, 0.33 %
// Mn; its P, S, Cr, Ni and N (0.14 %) are counted as iron.
double HotMetalReference() { return MoltenIronReference(4.45, 0.58, 0.33, 1623.15); }

std::vector<TMaterialCase> Cases()
{
    return {
        {"Кисень", 0},
        {"Электроды", 0},
        {"Алюміній чушковий", 0},
        {"ФС75", SiliconAlloy(FeSi75)},
        {"ФМн78", ManganeseAlloy(FeMn78)},
        {"Вапно", Formation({{CaO, 90}, {MgO, 0.5}, {SiO2, 0.5}, {Al2O3, 0.2}, {FeO, 0.1}, {CaCO3, 1}})},
        {"Вапно доломітизоване",
         Formation({{CaO, 55}, {MgO, 35}, {SiO2, 0.5}, {Al2O3, 0.2}, {FeO, 0.1}, {CaCO3, 1}})},
        {"Плавиковий шпат", Formation({{SiO2, 12}, {FeO, 0.3}, {CaF2, 75}, {CaCO3, 2}})},
        {"Кокс",
         Formation({{CaO, 0.3}, {MgO, 0.1}, {SiO2, 4.5}, {Al2O3, 2.2}, {FeO, 0.5}, {P2O5, 0.02}, {H2O, 0.5}})},
        {"Антрацит", Formation({{CaO, 0.2}, {MgO, 0.1}, {SiO2, 3}, {Al2O3, 1.5}, {FeO, 0.3}, {H2O, 1}})},
        {"Брухт важкий", Formation({{FeO, 1.5}, {SiO2, 0.5}, {Al2O3, 0.15}})},
        {"Брухт змішаний", Formation({{FeO, 2.5}, {SiO2, 0.8}, {Al2O3, 0.2}})},
        {"Металізовані окатиші", Formation({{FeO, 5}, {SiO2, 1.5}, {Al2O3, 0.5}, {CaO, 0.5}, {MgO, 0.3}})},
        {"Чавун рідкий", HotMetalReference()},
    };
}

class SampleMaterialHeats : public LoaderTestBase {
protected:
    void SetUp() override
    {
        LoaderTestBase::SetUp();
        UseSampleSolutionSettings();
        ASSERT_TRUE(LoadProject(SampleProjectFile().string()));
        TaskList.Current = 0; // the EAF task: ambient 20 °C
    }
    // Sets the task up under each metal and slag model in turn and runs
    // check on the materials it leaves.
    template <typename Check> static void UnderEveryModel(Check check)
    {
        for (const uint8_t metalModel : {uint8_t{0}, uint8_t{1}}) {
            for (const uint8_t slagModel : {uint8_t{0}, uint8_t{1}}) {
                SCOPED_TRACE("models " + std::to_string(metalModel) + "/" + std::to_string(slagModel));
                Settings.MetalModel = metalModel;
                Settings.SlagModel = slagModel;
                PrepareSystems();
                check();
            }
        }
    }
    RecordingHost host_;
};

TEST_F(SampleMaterialHeats, EachMaterialBringsItsStandardEnthalpyUnderEveryModel)
{
    UnderEveryModel([] {
        for (const TMaterialCase& c : Cases()) {
            const int j = MaterialIndexByName(c.Name);
            ASSERT_GT(j, 0) << c.Name;
            EXPECT_NEAR(static_cast<double>(MaterialTable[j].HeatTotal[0]), c.Reference, 300.0) << c.Name;
        }
    });
}

// A molten iron-based material is the model's own metal phase: its heat is
// the solution model's, and it must be the published one whichever metal
// model the options choose, from a trace of carbon to near saturation and
// from hot metal to tapping temperatures (within 0.05 GJ/t, a few kelvin of
// a converter's bath).
TEST_F(SampleMaterialHeats, MoltenIronCarbonAlloysHoldThePublishedHeatUnderBothMetalModels)
{
    const int j = MaterialIndexByName("Чавун рідкий");
    ASSERT_GT(j, 0);
    struct TMelt {
        double C, Si, Mn, Celsius;
    };
    std::vector<TMelt> melts;
    for (const double celsius : {1250.0, 1350.0, 1500.0, 1700.0})
        for (const double carbon : {0.1, 1.0, 2.5, 4.5, 5.0})
            for (const double alloy : {0.0, 1.0})
                melts.push_back({carbon, alloy, alloy, celsius});
    std::vector<std::array<double, 2>> heats(melts.size());
    for (const uint8_t metalModel : {uint8_t{0}, uint8_t{1}}) {
        Settings.MetalModel = metalModel;
        PrepareSystems();
        TThSys& sys = *ThSystems[0];
        for (std::size_t m = 0; m < melts.size(); ++m) {
            const TMelt& melt = melts[m];
            for (int i = 0; i <= SystemElemLast; ++i)
                CompositionMin[static_cast<std::size_t>(i + 1)][j] = 0;
            const std::pair<const char*, double> analysis[] = {
                {"Fe", 100 - melt.C - melt.Si - melt.Mn}, {"C", melt.C}, {"Si", melt.Si}, {"Mn", melt.Mn}};
            for (const auto& [symbol, percent] : analysis) {
                const int i = sys.Elems->IndexOfSymbol(symbol);
                ASSERT_GE(i, 0) << symbol;
                CompositionMin[static_cast<std::size_t>(i + 1)][j] = static_cast<float>(percent / 100);
            }
            heats[m][metalModel] = static_cast<double>(
                sys.MaterialHeat(CompositionMin, j, melt.Celsius + KelvinOffset, true).Total());
        }
    }
    for (std::size_t m = 0; m < melts.size(); ++m) {
        const TMelt& melt = melts[m];
        SCOPED_TRACE(std::to_string(melt.C) + " % C, " + std::to_string(melt.Si) + " % Si and Mn, " +
                     std::to_string(melt.Celsius) + " °C");
        const double reference = MoltenIronReference(melt.C, melt.Si, melt.Mn, melt.Celsius + 273.15);
        EXPECT_NEAR(heats[m][0], reference, 50.0) << "metal model 0";
        EXPECT_NEAR(heats[m][1], reference, 50.0) << "metal model 1";
        EXPECT_NEAR(heats[m][0], heats[m][1], 10.0);
    }
}

// The ferroalloys, cold, against their compounds' heats of formation to 0.1
// GJ/t (a few hundred MJ/t below their elements), under every model.
TEST_F(SampleMaterialHeats, FerroalloysBringTheHeatsOfTheirSilicidesAndCarbides)
{
    const std::pair<const char*, double> cases[] = {{"ФС75", SiliconAlloy(FeSi75)},
                                                     {"ФМн78", ManganeseAlloy(FeMn78)},
                                                     {"МнС17", ManganeseAlloy(SiMn17)},
                                                     {"ФХ800", ChromiumAlloy(FeCr800)}};
    UnderEveryModel([&cases] {
        for (const auto& [name, reference] : cases) {
            const int j = MaterialIndexByName(name);
            ASSERT_GT(j, 0) << name;
            EXPECT_LT(reference, -100.0) << name;
            EXPECT_NEAR(static_cast<double>(MaterialTable[j].HeatTotal[0]), reference, 100.0) << name;
        }
    });
}

} // namespace
} // namespace ferrolyt::test
