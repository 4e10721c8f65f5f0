#pragma once
// Small thermodynamic systems with hand-made constants, built directly into
// the model's tables (no data files): iron-carbon-oxygen with its gas, an
// iron-oxygen-silicon-manganese-calcium melt with slag, and a larger
// synthetic system for timing. Each builder starts from a fresh model and
// default settings and leaves the elements of ThSystems[0] and [1] set up.

#include "Model.h"
#include "Settings.h"
#include "ThSys.h"

#include <cmath>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace ferrolyt::test {

struct TElementData {
    std::string Symbol;
    long double Valence = 0;
    long double MolarMass = 0;
    long double MetalH = 0, MetalS = 0; // direct standard: μM = S + H/T
    long double SlagA = 0, SlagB = 0;   // μS = B + A/T (both slag models)
    long double SlagEnergy = 0;         // e of slag model 0
    long double LiquidA = 0, LiquidB = 0;
    long double SolidA = 0, SolidB = 0, SolidC = 0;
    long double SurfaceCoef = 0;
};

struct TSpeciesData {
    std::string Name;
    long double H0 = 0;       // J/mol
    long double Phi1 = 0;     // J/(mol K)
    long double Phi2 = 0;     // J/(mol K), times ln(T/10^4)
    std::vector<std::pair<std::string, int>> Parts; // symbol, count
};

inline std::size_t Ix(int i) { return static_cast<std::size_t>(i); }

// A fresh model with default options and a total pressure of 1 atm.
inline void ResetSmallModel()
{
    ResetModel();
    Settings = TSettingsRecord{};
    TotalPressure = 1.0L;
}

// The elements become the database and the element list of systems 0 and 1
// (database index = position); the key elements are looked up by symbol.
inline void SetElements(const std::vector<TElementData>& items)
{
    ElementBase.Clear();
    for (std::size_t k = 0; k < items.size(); ++k) {
        const TElementData& s = items[k];
        TElementRecord r;
        r.Symbol = s.Symbol;
        r.Index = static_cast<uint16_t>(k);
        r.Valence = s.Valence;
        r.MolarMass = s.MolarMass;
        r.CompoundFactor = (s.Valence > 0 && s.Symbol != "C") ? 7.9997L * s.Valence / s.MolarMass + 1.0L : 1.0L;
        r.DirectStandard = true;
        r.MetalH = s.MetalH;
        r.MetalS = s.MetalS;
        r.SlagA1 = r.SlagA2 = s.SlagA;
        r.SlagB1 = r.SlagB2 = s.SlagB;
        r.SlagEnergy = s.SlagEnergy;
        r.LiquidEnthalpy[0] = s.LiquidA;
        r.LiquidEnthalpy[1] = s.LiquidB;
        r.SolidEnthalpy[0] = s.SolidA;
        r.SolidEnthalpy[1] = s.SolidB;
        r.SolidEnthalpy[2] = s.SolidC;
        r.NmiSurfaceCoef = s.SurfaceCoef;
        ElementBase.Add(r);
    }
    BaseElemLast = ElementBase.Count - 1;
    SystemElemLast = ElementBase.Count - 1;
    static const char* const keys[KeyElementCount] = {"O", "Fe", "Si", "Ca", "Mg", "C", "Mn", "S", "P", "Al"};
    for (int k = 0; k < KeyElementCount; ++k) {
        const int at = ElementBase.IndexOfSymbol(keys[k]);
        ElementBase.KeyIndex[Ix(k)] = at < 0 ? KeyAbsent : static_cast<uint8_t>(at);
    }
    ElementBase.BasicOxides = ElementBase.Key(keySi) >= 0
                              && (ElementBase.Key(keyCa) >= 0 || ElementBase.Key(keyMg) >= 0);
    for (int s = 0; s < 2; ++s)
        ThSystems[Ix(s)]->Elems->Assign(ElementBase);
}

// Symmetric pair energy of the metal model, J/mol.
inline void SetPairEnergy(const std::string& a, const std::string& b, long double energy)
{
    const auto i = Ix(ElementBase.IndexOfSymbol(a)), j = Ix(ElementBase.IndexOfSymbol(b));
    InteractionEnergy[i][j] = InteractionEnergy[j][i] = energy;
}

// Symmetric interaction parameter of the quadratic metal model.
inline void SetWagner(const std::string& a, const std::string& b, double eps)
{
    const auto i = Ix(ElementBase.IndexOfSymbol(a)), j = Ix(ElementBase.IndexOfSymbol(b));
    WagnerMatrix[i][j] = WagnerMatrix[j][i] = eps;
}

// The active gas species, with the reference species and gas links of the
// elements set as the materials loader sets them.
inline void SetSpecies(const std::vector<TSpeciesData>& items)
{
    ActiveGasCount = 0;
    for (const TSpeciesData& s : items) {
        TGasSpeciesRecord g;
        g.Name = s.Name;
        g.Coef[0] = s.Phi1;
        g.Coef[1] = s.Phi2;
        g.Coef[7] = s.H0;
        g.Count = static_cast<int32_t>(s.Parts.size());
        for (std::size_t k = 0; k < s.Parts.size(); ++k) {
            g.Parts[k].Symbol = s.Parts[k].first;
            g.Parts[k].Elem = ElementBase.IndexOfSymbol(s.Parts[k].first);
            g.Parts[k].Nu = s.Parts[k].second;
            g.Atoms += s.Parts[k].second;
        }
        ActiveGases[++ActiveGasCount] = g;
    }
    for (int s = 1; s <= ActiveGasCount; ++s) {
        const TGasSpeciesRecord& g = ActiveGases[s];
        if (g.Atoms == 1) {
            for (int t = 1; t <= ActiveGasCount; ++t)
                for (auto& part : ActiveGases[t].Parts)
                    if (!part.Symbol.empty() && part.Symbol == g.Parts[0].Symbol)
                        part.RefSpecies = s;
            ElementBase.Items[Ix(g.Parts[0].Elem)].GasLinks[0] = static_cast<uint16_t>(s);
        } else if (g.Atoms == 2 && g.Count == 1) {
            ElementBase.Items[Ix(g.Parts[0].Elem)].GasLinks[1] = static_cast<uint16_t>(s);
        }
    }
    for (int s = 0; s < 2; ++s)
        ThSystems[Ix(s)]->Elems->Assign(ElementBase);
}

// Amounts per phase by symbol (elements not named hold the floor); the
// phase totals and element totals follow.
inline void SetAmounts(TThSys& sys, std::initializer_list<std::pair<const char*, long double>> metal,
                       std::initializer_list<std::pair<const char*, long double>> slag = {},
                       std::initializer_list<std::pair<const char*, long double>> gas = {})
{
    for (int i = 0; i <= SystemElemLast; ++i) {
        TElementRecord& e = sys.El(i);
        e.MetalAmount = e.SlagAmount = e.GasAmount = e.NmiAmount = AmountFloor;
    }
    for (const auto& [sym, n] : metal)
        sys.El(sys.Elems->IndexOfSymbol(sym)).MetalAmount = n;
    for (const auto& [sym, n] : slag)
        sys.El(sys.Elems->IndexOfSymbol(sym)).SlagAmount = n;
    for (const auto& [sym, n] : gas)
        sys.El(sys.Elems->IndexOfSymbol(sym)).GasAmount = n;
    sys.MetalMoles = sys.SlagMoles = sys.GasMoles = sys.NmiMoles = sys.TotalMoles = 0;
    for (int i = 0; i <= SystemElemLast; ++i) {
        TElementRecord& e = sys.El(i);
        e.Amount = e.MetalAmount + e.SlagAmount + e.GasAmount + e.NmiAmount;
        e.ChargeTerm = e.Valence * e.Amount;
        sys.MetalMoles += e.MetalAmount;
        sys.SlagMoles += e.SlagAmount;
        sys.GasMoles += e.GasAmount;
        sys.NmiMoles += e.NmiAmount;
    }
    sys.TotalMoles = sys.MetalMoles + sys.SlagMoles + sys.GasMoles + sys.NmiMoles;
}

// Iron with carbon and oxygen and the gas Fe, C, O, O2, CO, CO2. The
// standard terms put about 1 atm of CO over a metal with 4 % C and 0.05 % O.
inline TThSys& BuildFeCO()
{
    ResetSmallModel();
    SetElements({
        {"Fe", 2, 55.847L, -30000, -7.2L, -2000, 1.0L, 1.0L, 10000, 45, 5000, 25, 0.004L, 1.2L},
        {"C", 4, 12.011L, -20000, -9.0L, 0, 0, 2.0L, 8000, 20, 3000, 15, 0.002L, 0},
        {"O", -2, 15.9994L, 30000, -16.0L, 0, 0, 3.0L, 0, 30, 0, 25, 0.001L, 0.5L},
    });
    SetPairEnergy("Fe", "C", -6000);
    SetPairEnergy("Fe", "O", -12000);
    SetPairEnergy("C", "O", -25000);
    SetWagner("C", "C", 0.5);
    SetWagner("C", "O", -1.2);
    SetWagner("O", "O", -0.4);
    SetWagner("Fe", "C", 0.3);
    SetSpecies({
        {"Fe", 0, 0, 0, {{"Fe", 1}}},
        {"C", 0, 0, 0, {{"C", 1}}},
        {"O", 0, 0, 0, {{"O", 1}}},
        {"O2", -100000, 4, 2, {{"O", 2}}},
        {"CO", -400000, 50, 3, {{"C", 1}, {"O", 1}}},
        {"CO2", -500000, 45, 5, {{"C", 1}, {"O", 2}}},
    });
    TThSys& sys = *ThSystems[0];
    sys.Temperature = sys.InitialTemperature = 1873.15L;
    SetAmounts(sys, {{"Fe", 1.0L}, {"C", 0.04L}, {"O", 0.002L}});
    return sys;
}

// Iron with oxygen, silicon, manganese and calcium under an oxide slag, with
// a gas of the atoms, O2 and SiO. Slag model 0 (e differences) and the
// Wilson metal model.
inline TThSys& BuildFeOSiMnCa()
{
    ResetSmallModel();
    SetElements({
        {"Fe", 2, 55.847L, -30000, -7.2L, -1500, -2.0L, 1.0L, 10000, 45, 5000, 25, 0.004L, 1.2L},
        {"O", -2, 15.9994L, 30000, -16.0L, 2000, 4.0L, 3.0L, 0, 30, 0, 25, 0.001L, 0.5L},
        {"Si", 4, 28.0855L, -40000, -9.0L, 30000, 6.0L, 2.0L, 12000, 27, 6000, 22, 0.003L, 0.8L},
        {"Mn", 2, 54.938L, -25000, -5.0L, 8000, 1.0L, 1.2L, 9000, 46, 4000, 26, 0.004L, 1.0L},
        {"Ca", 2, 40.078L, -10000, -6.0L, 25000, 9.0L, 1.5L, 8000, 31, 3500, 22, 0.003L, 0.9L},
    });
    SetPairEnergy("Fe", "O", -12000);
    SetPairEnergy("Fe", "Si", -30000);
    SetPairEnergy("Fe", "Mn", -2000);
    SetPairEnergy("Fe", "Ca", 5000);
    SetPairEnergy("O", "Si", -40000);
    SetPairEnergy("O", "Mn", -15000);
    SetPairEnergy("O", "Ca", -50000);
    SetPairEnergy("Si", "Mn", -5000);
    SetPairEnergy("Si", "Ca", -20000);
    SetPairEnergy("Mn", "Ca", -1000);
    SetWagner("O", "O", -0.4);
    SetWagner("Si", "Si", 0.2);
    SetWagner("O", "Si", -2.0);
    SetWagner("O", "Mn", -0.5);
    SetWagner("O", "Ca", -3.0);
    SetWagner("Mn", "Si", -0.1);
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 5; ++j)
            if (i != j)
                SlagMatrix[Ix(i)][Ix(j)] = (i * 7 + j * 3) % 11 - 5; // unsymmetric on purpose
    SetSpecies({
        {"Fe", 0, 0, 0, {{"Fe", 1}}},
        {"O", 0, 0, 0, {{"O", 1}}},
        {"Si", 0, 0, 0, {{"Si", 1}}},
        {"Mn", 0, 0, 0, {{"Mn", 1}}},
        {"Ca", 0, 0, 0, {{"Ca", 1}}},
        {"O2", -100000, 4, 2, {{"O", 2}}},
        {"SiO", -300000, 20, 1, {{"Si", 1}, {"O", 1}}},
        {"FeO", -150000, 10, 0, {{"Fe", 1}, {"O", 1}}},
    });
    TThSys& sys = *ThSystems[0];
    sys.Temperature = sys.InitialTemperature = 1873.15L;
    SetAmounts(sys, {{"Fe", 1.0L}, {"O", 0.001L}, {"Si", 0.004L}, {"Mn", 0.005L}, {"Ca", 1e-6L}},
               {{"Fe", 0.02L}, {"O", 0.08L}, {"Si", 0.015L}, {"Mn", 0.01L}, {"Ca", 0.02L}});
    return sys;
}

// A system of `elements` synthetic elements (alternating cations and a few
// anions) and `species` gas species: one atom of each element, then
// diatomic and mixed species. Used for timing; the constants only need to be
// well behaved.
inline TThSys& BuildSynthetic(int elements, int species)
{
    ResetSmallModel();
    std::vector<TElementData> items;
    for (int k = 0; k < elements; ++k) {
        TElementData s;
        s.Symbol = "E" + std::to_string(k);
        const bool anion = k % 5 == 1;
        s.Valence = anion ? -2 : 1 + k % 3;
        s.MolarMass = 12.0L + 3.7L * k;
        s.MetalH = -20000 - 1500.0L * k;
        s.MetalS = -6.0L - 0.3L * k;
        s.SlagA = 1000.0L * (k % 7) - 3000;
        s.SlagB = 0.5L * (k % 4) - 1.0L;
        s.SlagEnergy = 1.0L + 0.15L * k;
        s.LiquidA = 5000 + 100.0L * k;
        s.LiquidB = 25 + k;
        s.SolidA = 2000;
        s.SolidB = 20;
        s.SolidC = 0.003L;
        items.push_back(s);
    }
    SetElements(items);
    for (int i = 0; i < elements; ++i)
        for (int j = 0; j < i; ++j)
            SetPairEnergy(items[Ix(i)].Symbol, items[Ix(j)].Symbol, -2000.0L * ((i * 3 + j) % 9) + 4000);
    std::vector<TSpeciesData> gases;
    for (int k = 0; k < elements && static_cast<int>(gases.size()) < species; ++k)
        gases.push_back({items[Ix(k)].Symbol, 0, 0, 0, {{items[Ix(k)].Symbol, 1}}});
    for (int k = 0; static_cast<int>(gases.size()) < species; ++k) {
        const int a = k % elements, b = (k * 7 + 1) % elements;
        TSpeciesData g;
        g.Name = "G" + std::to_string(k);
        g.H0 = -150000 - 10000.0L * (k % 5);
        g.Phi1 = 10 + k % 4;
        g.Phi2 = 1;
        if (a == b || k % 4 == 0)
            g.Parts = {{items[Ix(a)].Symbol, 2}};
        else if (k % 4 == 3)
            g.Parts = {{items[Ix(a)].Symbol, 1}, {items[Ix(b)].Symbol, 2}};
        else
            g.Parts = {{items[Ix(a)].Symbol, 1}, {items[Ix(b)].Symbol, 1}};
        gases.push_back(g);
    }
    SetSpecies(gases);
    TThSys& sys = *ThSystems[0];
    sys.Temperature = sys.InitialTemperature = 1873.15L;
    for (int i = 0; i < elements; ++i) {
        TElementRecord& e = sys.El(i);
        e.MetalAmount = i == 0 ? 1.0L : 0.002L * (1 + i % 4);
        e.SlagAmount = 0.01L * (1 + i % 3);
        e.GasAmount = 1e-4L;
        e.NmiAmount = AmountFloor;
        e.Amount = e.MetalAmount + e.SlagAmount + e.GasAmount + e.NmiAmount;
        e.ChargeTerm = e.Valence * e.Amount;
        sys.MetalMoles += e.MetalAmount;
        sys.SlagMoles += e.SlagAmount;
        sys.GasMoles += e.GasAmount;
    }
    sys.TotalMoles = sys.MetalMoles + sys.SlagMoles + sys.GasMoles;
    return sys;
}

} // namespace ferrolyt::test
