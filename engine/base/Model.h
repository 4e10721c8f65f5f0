#pragma once
// The model of a heat: element lists, the materials table with its
// composition and effect tables, the thermodynamic databases read from the
// project's data files, and the numeric conventions every routine shares.
// All of it is global for the whole run; ResetModel() returns everything to
// the state of a freshly started program.

#include "OffsetArray.h"
#include "RunState.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace ferrolyt {

// ---------------------------------------------------------------------------
// Numeric conventions

// Marks every absent number: task bounds, material fields, results.
inline constexpr long double UnsetValue = -1e20L;
inline constexpr float UnsetSingle = -1e20f;
// Amounts never fall below this, so that logarithms of empty phases stay finite.
inline constexpr long double AmountFloor = 1e-1000L;
// Added to divisors that are phase or system totals.
inline constexpr long double DivisorFloor = 1e-100L;
// A mass or amount above this counts as present.
inline constexpr long double PresenceThreshold = 1e-10L;
inline constexpr long double GasConstant = 8.314472L;
inline constexpr long double KelvinOffset = 273.15L;

inline constexpr int MaxElements = 41;         // records of an element list
inline constexpr int MaxMaterials = 97;        // real materials; three pseudo-materials follow
inline constexpr int MaterialSlotFirst = -1;   // heat replay's slag
inline constexpr int MaterialSlotLast = 100;
inline constexpr int MaxGasSpecies = 300;
inline constexpr uint8_t KeyAbsent = 0xFF;

inline bool IsUnset(long double v) { return v == UnsetValue; }
inline bool IsUnset(float v) { return v == UnsetSingle; }

// Positions of the key elements in TElems::KeyIndex.
enum TKeyElement : int {
    keyO = 0,
    keyFe = 1,
    keySi = 2,
    keyCa = 3,
    keyMg = 4,
    keyC = 5,
    keyMn = 6,
    keyS = 7,
    keyP = 8,
    keyAl = 9,
    KeyElementCount = 10
};

// ---------------------------------------------------------------------------
// Element records

struct TElementRecord {
    std::string Symbol; // up to 3 characters, compared upper-case
    std::string Label;  // up to 6 characters: the element's oxide or compound
    uint8_t FileByte = 0;            // the constants file's integer field (read signed by the phase masses)
    uint16_t Index = 0;              // position in the element database
    std::array<uint16_t, 2> GasLinks{}; // [0] one-atom reference species, [1] diatomic one-element species

    long double Valence = 0;        // z, negative for anions
    long double MolarMass = 0;      // M, kg/kmol
    long double CompoundFactor = 0; // compound mass per element mass

    // Constants file terms. The slag pairs are stored in natural-log form.
    long double SlagA1 = 0, SlagB1 = 0; // slag model 0
    long double SlagA2 = 0, SlagB2 = 0; // slag model 1
    long double SlagEnergy = 0;         // e, the square root of the file value
    long double MetalH = 0, MetalS = 0; // metal standard pair
    long double Tolerance = 0;          // q: analysis tolerance used on metal samples
    bool DirectStandard = false;        // the metal standard term is S + H/T directly
    std::array<long double, 6> SolidEnthalpy{};  // h = [0] + [1] T + [2] T^2 (rest kept as read)
    // h = [0] + [1] T; [2] the share of the element's metal pair energies
    // that is entropy, 0..1 (EntropyShare, InteractionCache.h); the rest
    // kept as read.
    std::array<long double, 6> LiquidEnthalpy{};
    long double NmiSurfaceCoef = 0;     // surface-tension coefficient of the inclusions
    // Standard enthalpy at 298.15 K, J per mol of the element, of the element
    // as it stands in a slag-forming charge material (its oxide, fluoride or
    // water), on the scale of the elements at 298.15 K; oxygen 0.
    long double ChargeEnthalpy = 0;

    // Given initial contents, t.
    long double InputMetalMass = 0, InputSlagMass = 0, InputNmiMass = 0;
    long double GivenMetalMass = 0, GivenSlagMass = 0; // start of a solve from given phases

    // Masses, t, and mass fractions.
    long double TotalMass = 0;
    long double MetalMass = 0, SlagMass = 0, GasMass = 0, NmiMass = 0;
    long double MetalFraction = 0, SlagFraction = 0, GasFraction = 0, NmiFraction = 0;
    long double SlagCompoundFraction = 0, NmiCompoundFraction = 0;
    long double SystemFraction = 0; // mass fraction in the whole system

    // Amounts (t / (kg/kmol)) and mole fractions.
    long double Amount = 0;         // n_i
    long double MetalNmiAmount = 0; // written by the inclusions block
    long double MoleFraction = 0;   // n_i / N
    long double MetalAmount = 0, MetalMoleFraction = 0;
    long double SlagAmount = 0, SlagMoleFraction = 0;
    long double NmiAmount = 0, NmiMoleFraction = 0;
    long double GasAmount = 0, GasMoleFraction = 0;
    long double ChargeTerm = 0;         // z n_i
    long double ChargeTermMetalNmi = 0; // z (metal + NMI amount)
    long double GasFactor = 0;          // 1 + exp(K^MG - LnMetalGas)

    // Activity data.
    long double LnGammaInf = 0;   // ln γ° in the solvent at infinite dilution
    long double MetalStdTerm = 0; // μM / RT
    long double SlagStdTerm = 0;  // μS / RT
    long double LnGammaMetal = 0, LnGammaSlag = 0, LnGammaNmi = 0;
    long double LnActivity = 0;   // ln a of the element in the metal (gas equilibrium)
    long double GasTerm = 0;      // L^G
    long double GasAmountTerm = 0; // g_i of the gas equilibrium

    // Distribution terms at the current state.
    long double KMS = 0, KMN = 0, KMG = 0;

    // Display values: total, metal, slag, gas, NMI in the display unit.
    std::array<long double, 5> DisplayValues{};

    // Phase potentials (J/mol) at T and the partial enthalpies.
    long double PotMetal = 0, PotSlag = 0, PotGas = 0;
    long double HMetal = 0, HSlag = 0, HGas = 0;
    long double HMean = 0; // amount-weighted mean of the three
    long double HTerm = 0; // mean + a + b T

    // Limits set from the task.
    uint8_t FileFlag = 0;
    bool MetalLimitGiven = false, SlagLimitGiven = false;
    long double MetalLimit = 0, SlagLimit = 0;
    long double SlagMassFraction = 0; // set-up's slag fraction of the element
};

// An element list: the database read from the constants file, or the list of
// one system.
class TElems {
public:
    std::array<uint8_t, KeyElementCount> KeyIndex{};
    int32_t Count = 0;
    bool BasicOxides = false;
    std::array<TElementRecord, MaxElements> Items{};

    TElems() { Clear(); }

    void Clear();
    void Assign(const TElems& source);
    // Copies rec into slot Count. Refuses (returns false) when the list is full.
    bool Add(const TElementRecord& rec);
    int IndexOfSymbol(const std::string& sym) const;

    // Index of a key element, or -1 when absent.
    int Key(TKeyElement k) const { return KeyIndex[k] == KeyAbsent ? -1 : KeyIndex[k]; }
};

// ---------------------------------------------------------------------------
// Materials

struct TMaterialRecord {
    std::string Name; // up to 25 characters
    long double Price = 0;
    long double LpAmount = 0; // amount found by the optimiser
    long double Amount = 0;   // t (or kmol with MatsInKmoles)
    long double MinT = UnsetValue, MaxT = UnsetValue, Fixed = UnsetValue, Recommended = UnsetValue;
    long double Temperature = UnsetValue; // °C
    long double MinPercent = UnsetValue, MaxPercent = UnsetValue;
    long double RecoveryLo = 1.0L, RecoveryHi = 1.0L;
    long double HeatContent = 0;
    std::array<long double, 2> HeatA{};       // per Kind: tabulated heat of a unit amount
    std::array<long double, 2> HeatB{};       // per Kind: model heat of a unit amount
    std::array<long double, 2> HeatTotal{};   // per Kind: A + B
    std::array<long double, 2> TempEffect{};  // per Kind: K of final temperature per unit amount
    std::array<long double, 2> HeatToMolten{};
    std::array<long double, 2> MoltenHeatCapacity{};
    std::array<int32_t, 2> ChargeSign{};
    uint8_t Type = 0; // 0 energy, 1 charge carrier, 2 metal-forming, 3 slag-forming, 4 gas; 5+ metal-forming
    bool Molten = false;
    bool Disabled = false;
    uint16_t TableIndex = 0; // in task records: the material's slot in MaterialTable
};

enum TMaterialType : uint8_t {
    mtEnergy = 0,
    mtChargeCarrier = 1,
    mtMetal = 2,
    mtSlag = 3,
    mtGas = 4
};

// A zeroed record (as the loaders clear slots): every field 0, recovery 0.
TMaterialRecord ZeroMaterialRecord();

using TMaterialTable = OffsetArray<TMaterialRecord, MaterialSlotFirst, MaterialSlotLast>;
// Row 0: per-material Σ fraction / M; row i+1: mass fraction of element i.
using TCompositionRow = OffsetArray<float, MaterialSlotFirst, MaterialSlotLast>;
using TCompositionTable = std::array<TCompositionRow, MaxElements + 1>;
using TElementEffectTable = std::array<std::array<long double, MaxElements>, MaxElements>;

extern TMaterialTable MaterialTable;
extern TCompositionTable CompositionMin;
extern TCompositionTable CompositionMax;
// One table of each pair per system kind (0 lower, 1 upper).
extern std::array<TCompositionTable, 2> MaterialEffectsOnMetal;
extern std::array<TCompositionTable, 2> MaterialEffectsOnSlag;
extern std::array<TElementEffectTable, 2> ElementEffectsOnMetal;
extern std::array<TElementEffectTable, 2> ElementEffectsOnSlag;

extern int32_t MaterialCount;
extern int32_t SystemElemLast;
extern int32_t BaseElemLast;
extern long double ChargeTotal; // total charge, t: the denominator of material shares

// Slot of a real material by name (case-insensitive as code page 1251
// upper-casing), or -1. The pseudo-materials are not searched.
int MaterialIndexByName(const std::string& name);

// ---------------------------------------------------------------------------
// Thermodynamic databases

struct TGasSpeciesPart {
    std::string Symbol; // up to 3 characters
    int32_t Elem = -1;  // database index from the gas file; the system index once active
    int32_t RefSpecies = 0;
    int32_t Nu = 0;
};

struct TGasSpeciesRecord {
    std::string Name; // up to 8 characters
    std::array<long double, 8> Coef{}; // φ1..φ7, H0 (J/mol)
    int32_t Count = 0;         // constituents used
    int32_t Atoms = 0;         // Σν of the constituents found
    std::array<TGasSpeciesPart, 4> Parts{};
};

using TGasSpeciesTable = OffsetArray<TGasSpeciesRecord, 1, MaxGasSpecies>;

extern TElems ElementBase;
extern TGasSpeciesTable GasBase;
extern int32_t GasBaseCount;
extern TGasSpeciesTable ActiveGases;
extern int32_t ActiveGasCount;
extern std::array<std::array<double, MaxElements>, MaxElements> WagnerMatrix;
extern std::array<std::array<long double, MaxElements>, MaxElements> InteractionEnergy;
extern std::array<std::array<int32_t, MaxElements>, MaxElements> SlagMatrix;
// The parameter e of each database element from the interaction file (e_0 = 1).
extern std::array<long double, MaxElements> WagnerE;

// The element lists of the lower- (k = 0) and upper-bound (k = 1) systems,
// which the readers of the files fill and read. The systems themselves are
// the thermodynamics' (ThSystems); these are defined beside them.
// SystemElems creates the systems when they do not exist yet;
// ExistingSystemElems is nullptr while they do not.
TElems& SystemElems(int k);
const TElems* ExistingSystemElems(int k);
// Drops the four systems and creates them anew, empty.
void RecreateSystems();

// ---------------------------------------------------------------------------

// Returns every global of the model, the run state and the databases to the
// state of a freshly started program (the four systems are recreated empty).
void ResetModel();

} // namespace ferrolyt
