#include "ThSys.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iterator>

using namespace ferrolyt;

namespace {
TElementRecord Element(const std::string& symbol, long double z, long double m)
{
    TElementRecord r;
    r.Symbol = symbol;
    r.Valence = z;
    r.MolarMass = m;
    return r;
}
} // namespace

TEST(ElementList, IndexOfSymbolIgnoresCaseAndComparesThreeCharacters)
{
    TElems list;
    EXPECT_EQ(list.IndexOfSymbol("Fe"), -1); // empty list
    ASSERT_TRUE(list.Add(Element("Fe", 2, 55.847L)));
    ASSERT_TRUE(list.Add(Element("O", -2, 15.9994L)));
    ASSERT_TRUE(list.Add(Element("Uuq", 0, 289)));
    EXPECT_EQ(list.IndexOfSymbol("fe"), 0);
    EXPECT_EQ(list.IndexOfSymbol("FE"), 0);
    EXPECT_EQ(list.IndexOfSymbol("o"), 1);
    EXPECT_EQ(list.IndexOfSymbol("UUQX"), 2); // a longer text matches by its first three characters
    EXPECT_EQ(list.IndexOfSymbol("Si"), -1);
}

TEST(ElementList, ClearMarksEveryKeyElementAbsent)
{
    TElems list;
    list.Add(Element("Fe", 2, 55.847L));
    list.KeyIndex[keyFe] = 0;
    list.BasicOxides = true;
    list.Clear();
    EXPECT_EQ(list.Count, 0);
    EXPECT_FALSE(list.BasicOxides);
    for (int k = 0; k < KeyElementCount; ++k)
        EXPECT_EQ(list.Key(static_cast<TKeyElement>(k)), -1);
    EXPECT_TRUE(list.Items[0].Symbol.empty());
}

TEST(ElementList, AddRefusesTheFortySecondElement)
{
    TElems list;
    for (int i = 0; i < MaxElements; ++i)
        ASSERT_TRUE(list.Add(Element("E" + std::to_string(i), 1, 10)));
    EXPECT_FALSE(list.Add(Element("X", 1, 10)));
    EXPECT_EQ(list.Count, MaxElements);
}

TEST(SystemAssign, CopiesStateButKeepsItsOwnElementList)
{
    TThSys source;
    TThSys target;
    source.Elems->Add(Element("Fe", 2, 55.847L));
    source.Elems->Items[0].MetalAmount = 1.5L;
    // Each gets a value that differs from every default.
    long double TThSys::*const copied[] = {&TThSys::LnMetalSlag,    &TThSys::LnMetalGas, &TThSys::SlagPotential,
                                            &TThSys::Temperature,    &TThSys::Basicity,   &TThSys::InitialTemperature,
                                            &TThSys::GasPressureSum, &TThSys::GasVolume,  &TThSys::MetalMass,
                                            &TThSys::TotalMoles};
    for (std::size_t k = 0; k < std::size(copied); ++k)
        source.*copied[k] = 100.5L + k;
    source.SlagPresent = false;
    source.Heat.Cp[phTotal] = 42;
    source.SpeciesPressures[5] = 0.25L;
    source.Kind = 1;
    source.SlagCharge = 9; // not part of a save-and-restore

    const TElems* ownList = target.Elems.get();
    target.Assign(source);
    EXPECT_EQ(target.Elems.get(), ownList);
    EXPECT_NE(target.Elems.get(), source.Elems.get());
    EXPECT_EQ(target.Elems->Count, 1);
    EXPECT_EQ(target.El(0).MetalAmount, 1.5L);
    for (std::size_t k = 0; k < std::size(copied); ++k)
        EXPECT_EQ(target.*copied[k], 100.5L + k) << "field " << k;
    EXPECT_FALSE(target.SlagPresent);
    EXPECT_EQ(target.Heat.Cp[phTotal], 42);
    EXPECT_EQ(target.SpeciesPressures[5], 0.25L);
    EXPECT_EQ(target.Kind, 1);
    EXPECT_EQ(target.SlagCharge, 0);

    source.Elems->Items[0].MetalAmount = 9; // the copy is deep
    EXPECT_EQ(target.El(0).MetalAmount, 1.5L);
}

TEST(ModelReset, ReturnsTablesAndRunStateToAFreshStart)
{
    ResetModel();
    MaterialCount = 5;
    MaterialTable[-1].Name = "slag of the replay";
    MaterialTable[100].Price = 3;
    CompositionMax[41][100] = 0.5f;
    ElementEffectsOnSlag[1][40][40] = 1;
    CalcBusy = true;
    StopRequested = false;
    TotalPressure = 2;
    ThSystems[0]->LnMetalSlag = 4;

    ResetModel();
    EXPECT_EQ(MaterialCount, 0);
    EXPECT_TRUE(MaterialTable[-1].Name.empty());
    EXPECT_EQ(MaterialTable[100].Price, 0);
    EXPECT_EQ(CompositionMax[41][100], 0.0f);
    EXPECT_EQ(ElementEffectsOnSlag[1][40][40], 0);
    EXPECT_FALSE(CalcBusy);
    EXPECT_TRUE(StopRequested);
    EXPECT_EQ(TotalPressure, 1.0L);
    for (const auto& s : ThSystems)
        ASSERT_TRUE(s);
    EXPECT_EQ(ThSystems[0]->LnMetalSlag, 0);
    EXPECT_EQ(ThSystems[0]->Kind, 0);
    EXPECT_EQ(ThSystems[1]->Kind, 1);
}

TEST(Numerics, ExtendedPrecisionHoldsTheAmountFloor)
{
    // The floors of empty phases need the 80-bit exponent range.
    EXPECT_GT(AmountFloor, 0.0L);
    EXPECT_GT(std::log(AmountFloor), -2303.0L);
    EXPECT_LT(std::log(AmountFloor), -2302.0L);
}

TEST(ModelReset, SystemElementListsAreEachSystemsOwnAndComeBackEmpty)
{
    ResetModel();
    SystemElems(1).Add(Element("Fe", 2, 55.847L));
    ASSERT_NE(ExistingSystemElems(1), nullptr);
    EXPECT_EQ(ExistingSystemElems(1), ThSystems[1]->Elems.get());
    EXPECT_EQ(ThSystems[1]->Elems->IndexOfSymbol("Fe"), 0);
    EXPECT_EQ(SystemElems(0).Count, 0); // the lower-bound system's list is another

    // Without systems there is no list to read; asking for one to fill
    // creates the systems with their kinds.
    ThSystems[0].reset();
    EXPECT_EQ(ExistingSystemElems(0), nullptr);
    SystemElems(0);
    ASSERT_NE(ThSystems[0], nullptr);
    EXPECT_EQ(ThSystems[0]->Kind, 0);
    EXPECT_EQ(ThSystems[1]->Kind, 1);

    ResetModel();
    EXPECT_EQ(SystemElems(1).Count, 0);
}
