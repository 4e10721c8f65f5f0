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

// Liquid hot metal at 1350 °C (4.45 % C, 0.43 % Si, 0.33 % Mn, iron the
// rest): the heat content of each element from 298.15 K plus its enthalpy of
// solution in liquid iron. Fe(l): 46.024 T - 10 805 J/mol (NIST-JANAF
// Shomate form); graphite, Si(l) and Mn(l) at 1623 K from their values at
// 1773 K (29.88, 88.83, 73.80 kJ/mol, NASA Glenn) less 150 K of their heat
// capacities (24.7, 27.2, 46.0 J/(mol K)); solution enthalpies C(gr) +22.59,
// Si(l) -131.5, Mn(l) +4.08 kJ/mol (Sigworth and Elliott 1974).
double HotMetalReference()
{
    const double T = 1623.15;
    const double fe = (1000.0 - 10.0 * (4.45 + 0.43 + 0.33 + 0.085 + 0.018 + 0.02 + 0.01 + 0.003)) / 55.845;
    const double c = 44.5 / 12.011, si = 4.3 / 28.086, mn = 3.3 / 54.938;
    return fe * (46.024e-3 * T - 10.805) + c * (29.88 - 150 * 24.7e-3 + 22.59) +
           si * (88.83 - 150 * 27.2e-3 - 131.5) + mn * (73.80 - 150 * 46.0e-3 + 4.08);
}

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
