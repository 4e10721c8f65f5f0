#include "Model.h"

#include <algorithm>
#include <cctype>

namespace ferrolyt {

TMaterialTable MaterialTable;
TCompositionTable CompositionMin;
TCompositionTable CompositionMax;
std::array<TCompositionTable, 2> MaterialEffectsOnMetal;
std::array<TCompositionTable, 2> MaterialEffectsOnSlag;
std::array<TElementEffectTable, 2> ElementEffectsOnMetal;
std::array<TElementEffectTable, 2> ElementEffectsOnSlag;

int32_t MaterialCount = 0;
int32_t SystemElemLast = -1;
int32_t BaseElemLast = -1;
long double ChargeTotal = 0;

TElems ElementBase;
TGasSpeciesTable GasBase;
int32_t GasBaseCount = 0;
TGasSpeciesTable ActiveGases;
int32_t ActiveGasCount = 0;
std::array<std::array<double, MaxElements>, MaxElements> WagnerMatrix{};
std::array<std::array<long double, MaxElements>, MaxElements> InteractionEnergy{};
std::array<std::array<int32_t, MaxElements>, MaxElements> SlagMatrix{};
std::array<long double, MaxElements> WagnerE{};

namespace {
std::string UpperAscii3(const std::string& s)
{
    std::string r = s.substr(0, 3);
    for (char& c : r)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return r;
}
} // namespace

void TElems::Clear()
{
    Count = 0;
    for (auto& item : Items)
        item = TElementRecord{};
    KeyIndex.fill(KeyAbsent);
    BasicOxides = false;
}

void TElems::Assign(const TElems& source)
{
    Count = source.Count;
    KeyIndex = source.KeyIndex;
    BasicOxides = source.BasicOxides;
    Items = source.Items;
}

bool TElems::Add(const TElementRecord& rec)
{
    if (Count < 0 || Count >= MaxElements)
        return false;
    Items[static_cast<std::size_t>(Count)] = rec;
    ++Count;
    return true;
}

int TElems::IndexOfSymbol(const std::string& sym) const
{
    // Element symbols are Latin, so ASCII upper-casing is the whole story.
    const std::string key = UpperAscii3(sym);
    for (int i = 0; i < Count; ++i)
        if (UpperAscii3(Items[static_cast<std::size_t>(i)].Symbol) == key)
            return i;
    return -1;
}

TMaterialRecord ZeroMaterialRecord()
{
    TMaterialRecord r;
    r.MinT = r.MaxT = r.Fixed = r.Recommended = 0;
    r.Temperature = 0;
    r.MinPercent = r.MaxPercent = 0;
    r.RecoveryLo = r.RecoveryHi = 0;
    return r;
}

void ResetModel()
{
    ResetRunState();
    for (auto& m : MaterialTable)
        m = ZeroMaterialRecord();
    auto zeroComposition = [](TCompositionTable& t) {
        for (auto& row : t)
            row.Fill(0.0f);
    };
    zeroComposition(CompositionMin);
    zeroComposition(CompositionMax);
    for (int k = 0; k < 2; ++k) {
        zeroComposition(MaterialEffectsOnMetal[k]);
        zeroComposition(MaterialEffectsOnSlag[k]);
        ElementEffectsOnMetal[k] = {};
        ElementEffectsOnSlag[k] = {};
    }
    MaterialCount = 0;
    SystemElemLast = -1;
    BaseElemLast = -1;
    ChargeTotal = 0;
    ElementBase.Clear();
    for (auto& g : GasBase)
        g = TGasSpeciesRecord{};
    for (auto& g : ActiveGases)
        g = TGasSpeciesRecord{};
    GasBaseCount = 0;
    ActiveGasCount = 0;
    WagnerMatrix = {};
    InteractionEnergy = {};
    SlagMatrix = {};
    WagnerE = {};
    RecreateSystems();
}

} // namespace ferrolyt
