// The heat a charge material brings, on the scale the products of a melt
// are counted on: the elements in their standard states at 298.15 K have no
// enthalpy. The solution models describe elements dilute in liquid iron and
// oxides in a liquid slag, so they serve only for a material that is such a
// phase: molten iron-based metal and molten slag. Everything else is counted
// from standard enthalpies, so that cold coke, oxygen or a fluoride bring the
// same heat whatever model the options choose.

#include "RunState.h"
#include "Settings.h"
#include "TaskList.h"
#include "ThSys.h"
#include "Utils.h"

#include <algorithm>

namespace ferrolyt {

namespace {

std::size_t Idx(int i) { return static_cast<std::size_t>(i); }

constexpr long double StandardT = 298.15L;
// A metal-forming material is the model's metal when at least this share of
// its mass is the solvent.
constexpr long double IronBasedShare = 0.5L;

// The per-unit amounts of material j in the phase its type names: all three
// phases hold the floor, the material's own phase its analysis.
void LoadUnitMaterial(TThSys& sys, const TCompositionTable& composition, int j, uint8_t type)
{
    sys.MetalMoles = sys.SlagMoles = sys.GasMoles = 0;
    for (int i = 0; i <= SystemElemLast; ++i) {
        TElementRecord& e = sys.El(i);
        long double c = static_cast<long double>(composition[Idx(i + 1)][j]) / e.MolarMass;
        if (MatsInKmoles)
            c = 0.001L * c / static_cast<long double>(composition[0][j]);
        c += AmountFloor;
        e.MetalAmount = e.SlagAmount = e.GasAmount = DivisorFloor;
        const long double own = std::max(DivisorFloor, c);
        switch (type) {
        case mtMetal: e.MetalAmount = own; break;
        case mtSlag: e.SlagAmount = own; break;
        case mtGas: e.GasAmount = own; break;
        default: break;
        }
        e.Amount = e.MetalAmount + e.SlagAmount + e.GasAmount;
        sys.MetalMoles += e.MetalAmount;
        sys.SlagMoles += e.SlagAmount;
        sys.GasMoles += e.GasAmount;
    }
}

// Heat content from 298.15 K with the solid set's heat capacity (its offset
// belongs to the element dissolved in iron, not to the element as charged).
long double SolidSensible(const TElementRecord& e, long double T)
{
    const auto& c = e.SolidEnthalpy;
    return c[1] * (T - StandardT) + c[2] * (T * T - StandardT * StandardT);
}

// The gas file's species of the element alone (the diatomic one first) and
// its atom count; null when the file has none.
const TGasSpeciesRecord* OwnGas(const TElementRecord& e, int& atoms)
{
    for (const int k : {1, 0}) {
        const int s = e.GasLinks[Idx(k)];
        if (s >= 1 && s <= ActiveGasCount) {
            atoms = 2 - k;
            return &ActiveGases[s];
        }
    }
    return nullptr;
}

// Oxygen in a metal-forming material is rust, scale and dirt: it is bound
// to the cations that hold it most firmly (per mole of oxygen) first.
long double BoundOxygenEnthalpy(const TThSys& sys)
{
    const int o = sys.Elems->Key(keyO);
    if (o < 0)
        return 0;
    const auto perOxygen = [&sys](int i) { return 2 * sys.El(i).ChargeEnthalpy / sys.El(i).Valence; };
    std::array<int, MaxElements> cations{};
    std::size_t count = 0;
    for (int i = 0; i <= SystemElemLast; ++i)
        if (i != o && sys.El(i).Valence > 0 && sys.El(i).ChargeEnthalpy < 0)
            cations[count++] = i;
    std::sort(cations.begin(), cations.begin() + static_cast<std::ptrdiff_t>(count),
              [&](int a, int b) { return perOxygen(a) < perOxygen(b); });
    long double oxygen = sys.El(o).Amount;
    long double h = 0;
    for (std::size_t k = 0; k < count && oxygen > 0; ++k) {
        const TElementRecord& e = sys.El(cations[k]);
        const long double bound = std::min(oxygen, e.Amount * e.Valence / 2);
        h += bound * perOxygen(cations[k]);
        oxygen -= bound;
    }
    return h;
}

// The compounds that hold silicon and carbon in a ferroalloy, the firmest per
// atom bound first: silicides before carbides, each metal atom in one of
// them. Standard enthalpies of formation at 298.15 K from the elements:
// Mn5Si3 -34.0, Cr5Si3 -33.6 and FeSi -38.6 kJ per mol of atoms (S.V.
// Meschel, O.J. Kleppa, J. Alloys Compd. 267, 1998, 128-135), Cr7C3 -144
// kJ/mol (H. Kleykamp, J. Alloys Compd. 321, 2001, 138-145) and Mn7C3
// -19.8 kcal/mol (V.N. Eremenko, G.M. Lukashenko, R.I. Polotskaya, Studies
// in Soviet Science, 1974).
struct TAlloyCompound {
    const char* Metal;
    const char* Bound;
    long double BoundPerMetal; // atoms
    long double PerBound;      // J per mol of the bound element
};
constexpr std::array<TAlloyCompound, 5> AlloyCompounds{{
    {"Mn", "Si", 3.0L / 5, -34.0e3L * 8 / 3},
    {"Cr", "Si", 3.0L / 5, -33.6e3L * 8 / 3},
    {"Fe", "Si", 1.0L, -38.6e3L * 2},
    {"Cr", "C", 3.0L / 7, -144.0e3L / 3},
    {"Mn", "C", 3.0L / 7, -19.8e3L * 4.184L / 3},
}};

// Silicon and carbon of a ferroalloy stand in its silicides and carbides,
// not as the elements: binding them, as far as the metals reach, releases
// their heats of formation.
long double AlloyCompoundEnthalpy(const TThSys& sys)
{
    std::array<long double, MaxElements> free{};
    for (int i = 0; i <= SystemElemLast; ++i)
        free[Idx(i)] = sys.El(i).Amount;
    long double h = 0;
    for (const TAlloyCompound& c : AlloyCompounds) {
        const int m = sys.Elems->IndexOfSymbol(c.Metal);
        const int b = sys.Elems->IndexOfSymbol(c.Bound);
        if (m < 0 || b < 0)
            continue;
        const long double bound = std::min(free[Idx(b)], free[Idx(m)] * c.BoundPerMetal);
        if (bound <= 0)
            continue;
        h += bound * c.PerBound;
        free[Idx(b)] -= bound;
        free[Idx(m)] -= bound / c.BoundPerMetal;
    }
    return h;
}

bool IronBased(const TThSys& sys)
{
    long double total = 0;
    for (int i = 0; i <= SystemElemLast; ++i)
        total += sys.El(i).Amount * sys.El(i).MolarMass;
    return sys.El(0).Amount * sys.El(0).MolarMass >= IronBasedShare * total;
}

} // namespace

TMaterialHeat TThSys::MaterialHeat(const TCompositionTable& composition, int j, long double T, bool molten)
{
    const uint8_t type = MaterialTable[j].Type;
    LoadUnitMaterial(*this, composition, j, type);
    TMaterialHeat heat;

    if (molten && (type == mtSlag || (type == mtMetal && IronBased(*this)))) {
        // The model's own phase at this composition, as the products are counted.
        Temperature = T;
        long double liquidSlope = 0;
        for (int i = 0; i <= SystemElemLast; ++i) {
            const TElementRecord& e = El(i);
            heat.Sensible += e.Amount * (e.LiquidEnthalpy[0] + T * e.LiquidEnthalpy[1]);
            liquidSlope += e.Amount * e.LiquidEnthalpy[1];
        }
        THeatBlock block;
        HeatBalance(block, false, false);
        heat.Standard = block.H[phTotal];
        heat.Cp = block.Cp[phTotal] + liquidSlope;
        return heat;
    }

    // Standard enthalpies plus heat contents, differentiated over ±0.5 K.
    const auto sensibleAt = [this, type](long double t, long double& standard) {
        long double sensible = 0;
        standard = 0;
        for (int i = 0; i <= SystemElemLast; ++i) {
            const TElementRecord& e = El(i);
            int atoms = 1;
            const TGasSpeciesRecord* gas = type == mtGas ? OwnGas(e, atoms) : nullptr;
            if (gas) {
                standard += e.Amount * gas->Coef[7] / atoms;
                sensible += e.Amount * (GasSpeciesEnthalpy(gas->Coef, t) - gas->Coef[7]) / atoms;
            } else {
                if (type != mtMetal)
                    standard += e.Amount * e.ChargeEnthalpy;
                sensible += e.Amount * SolidSensible(e, t);
            }
        }
        if (type == mtMetal)
            standard = BoundOxygenEnthalpy(*this) + (IronBased(*this) ? 0 : AlloyCompoundEnthalpy(*this));
        return sensible;
    };
    heat.Sensible = sensibleAt(T, heat.Standard);
    long double unused = 0;
    heat.Cp = sensibleAt(T + 0.5L, unused) - sensibleAt(T - 0.5L, unused);
    return heat;
}

void TThSys::CalcMaterialHeats(TCompositionTable& composition, bool withPseudo)
{
    const long double savedT = Temperature;
    const int lastSlot = MaterialCount + (withPseudo ? 3 : 0);
    const long double ambient = TaskList.CurrentTask().AmbTemp;
    const std::size_t k = Kind == 1 ? 1 : 0;
    for (int j = 1; j <= lastSlot && j <= MaterialSlotLast; ++j) {
        TMaterialRecord& m = MaterialTable[j];
        if (m.Type <= mtChargeCarrier)
            continue;
        const long double T = !IsUnset(m.Temperature) ? m.Temperature + KelvinOffset
                              : !IsUnset(ambient)     ? ambient + KelvinOffset
                                                      : 293.15L;
        // The pseudo-materials are the phases of a melt.
        const TMaterialHeat heat = MaterialHeat(composition, j, T, m.Molten || j > MaterialCount);
        m.HeatA[k] = heat.Sensible;
        m.HeatB[k] = heat.Standard;
        m.HeatTotal[k] = heat.Total();
    }
    Temperature = savedT;
}

void TThSys::CalcMoltenMaterialHeats(TCompositionTable& composition)
{
    const long double savedT = Temperature;
    const int lastSlot = std::min(MaterialCount + 3, MaterialSlotLast);
    const std::size_t k = Kind == 1 ? 1 : 0;
    for (int j = 1; j <= lastSlot; ++j) {
        TMaterialRecord& m = MaterialTable[j];
        if (m.Type <= mtChargeCarrier)
            continue;
        const TMaterialHeat cold = MaterialHeat(composition, j, 293.15L, false);
        const TMaterialHeat hot = MaterialHeat(composition, j, Settings.MoltenMaterialTemp + KelvinOffset, true);
        m.HeatToMolten[k] = hot.Total() - cold.Total();
        m.MoltenHeatCapacity[k] = hot.Cp;
    }
    Temperature = savedT;
}

} // namespace ferrolyt
