#pragma once
// The physical range of every number the data and task files hold, in one
// table, and the reader that holds the file's values to them. A value
// outside its range, "nan", "inf", a number too large for the program or
// text that is no number refuses the file with a message. Only "-" means
// "not given": the program's own mark for it in memory, -1e20, is a number
// like any other when a file holds it, and lies outside every range.

#include "Utils.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace ferrolyt {

struct TFieldRange {
    long double Min;
    long double Max;
};

namespace FieldRange {
// Materials and tasks.
inline constexpr TFieldRange Percent{0, 100};           // analyses and shares, mass %
inline constexpr TFieldRange Price{-1e7L, 1e7L};         // USD per t (per MWh for energy)
inline constexpr TFieldRange Recovery{0, 10};            // factor on what a material brings to the bath
inline constexpr TFieldRange Temperature{-273.15L, 5000}; // °C
inline constexpr TFieldRange Mass{0, 1e5L};              // t: phases and charge amounts
inline constexpr TFieldRange Basicity{0, 1000};          // CaO/SiO2
inline constexpr TFieldRange Energy{-1e9L, 1e9L};        // MJ: energy input and heat losses
inline constexpr TFieldRange Pressure{0, 1000};          // atm
inline constexpr TFieldRange Charge{-1e6L, 1e6L};        // kF, the slag's electric charge
// The thermodynamic database. Each bound is a sanity bound, not a fit: it
// lies far beyond the largest value any real substance or solution has
// (for the coefficients, twenty times or more), so that a refitted table always passes, while
// a value that only a damaged or mistyped file holds (1e300, a shifted
// column) is refused before it can melt to nonsense.
//
// Element constants (*.CON), by the file's field:
//   M   molar mass: the lightest carrier of a charge, the electron, is
//       5.5e-4 kg/kmol; no element or compound of the slag reaches 1000.
inline constexpr TFieldRange MolarMass{1e-4L, 1000};     // kg/kmol
//   z   valence: no ion has a charge beyond ±8 (osmium VIII).
inline constexpr TFieldRange Valence{-8, 8};
//   b, k  small integers of which the low byte is used (b a signed byte,
//       k a flag): a value beyond a byte is a shifted column.
inline constexpr TFieldRange FileByte{-128, 255};
//   A1, A2  slag terms in decimal-log form, A/T + B: A = -ΔH/(R ln 10). The
//       strongest oxide formation, about -2 MJ per mole of cations, gives
//       |A| of 1e5 K; the bound is ten times that.
inline constexpr TFieldRange SlagLogA{-1e6L, 1e6L};      // K
//   B1, B2  B = ΔS/(R ln 10): entropies of formation stay below 1 kJ/(mol K)
//       in magnitude, which is |B| ≈ 52.
inline constexpr TFieldRange SlagLogB{-1000, 1000};
//   e2  the square of the slag energy parameter: never negative (its root
//       is taken); real values lie below 100.
inline constexpr TFieldRange SlagEnergySquare{0, 1e6L};
//   H, solid a, liquid a, h298  enthalpies in J/mol: the largest formation
//       enthalpy of a slag compound is about -4 MJ/mol (calcium
//       phosphate); solution enthalpies are far smaller.
inline constexpr TFieldRange Enthalpy{-1e8L, 1e8L};      // J/mol
//   S   entropy of solution in J/(mol K): real values lie within ±100.
inline constexpr TFieldRange Entropy{-1e4L, 1e4L};       // J/(mol K)
//   q   the tolerance of a sample, in mass %: not beyond the whole melt.
inline constexpr TFieldRange SampleTolerance{-100, 100}; // mass %
//   solid b, liquid b  heat capacities in J/(mol K): a mole of any
//       substance of a heat holds less than 1 kJ/(mol K).
inline constexpr TFieldRange HeatCapacity{-1e4L, 1e4L};  // J/(mol K)
//   solid c and the higher terms, h = a + b T + c T², and the liquid
//       set's last three (kept as read): real terms lie below 0.01; at
//       3000 K a |c| of 1000 would add 6e6 J/(mol K), a thousand times
//       any heat capacity.
inline constexpr TFieldRange HeatCapacitySlope{-1000, 1000}; // J/(mol K²)
//   liquid s  the share of an element's metal pair energies that is
//       entropy (the third value of the liquid set): 0 leaves the pair
//       energies as they stand at 1600 °C, 1 makes them scale with the
//       temperature; a share beyond either end has no meaning.
inline constexpr TFieldRange EntropyShare{0, 1};
//   s   the inclusions' surface-tension coefficient, mJ/m²: liquid oxides
//       and metals lie between 100 and 5000.
inline constexpr TFieldRange SurfaceTension{0, 1e6L};
//
// Interaction parameters (*.EPS):
//   e   the parameter of an element's self-interaction: real values lie
//       between 0.01 and 100.
inline constexpr TFieldRange InteractionE{-1e4L, 1e4L};
//   ε   first-order interaction parameters in natural-log form: the
//       strongest pairs in liquid iron (O with Al, Ca or rare earths) reach
//       a few thousand.
inline constexpr TFieldRange Interaction{-1e5L, 1e5L};
//
// Slag pair energies (*.SLG), kJ/mol: the strongest pairs of the regular
// solution models (CaO with P2O5) reach about -250 kJ/mol.
inline constexpr TFieldRange SlagEnergy{-1e4L, 1e4L};
//
// Gas species (*.GAS):
//   φ1..φ7  coefficients of Φ(x), x = T/1e4, in J/(mol K): Φ itself lies
//       between 100 and 500 for every species, and fits of real species
//       keep each coefficient below 1e4 in magnitude.
inline constexpr TFieldRange GibbsCoefficient{-1e6L, 1e6L};
//   H0  the enthalpy of formation at 298.15 K in kJ/mol: no gas species
//       reaches ±3000.
inline constexpr TFieldRange GasFormationEnthalpy{-1e5L, 1e5L}; // kJ/mol
//   the two temperatures of the fit (ignored): kelvins from 0 to beyond any
//       plasma.
inline constexpr TFieldRange FitTemperature{0, 1e6L};    // K
} // namespace FieldRange

// How far the lower ends of a material's analysis may add up beyond 100 %:
// analyses are rounded, and a few dozen components each rounded up by a
// hundredth of a per cent stay within it; more is mass made from nothing.
inline constexpr long double AnalysisSumTolerance = 1.0L; // mass %

// Empty when lo and hi are not both given or lo <= hi; otherwise the
// reason, such as "нижня межа 0.22 більша за верхню 0.17", its numbers
// written with `separator`.
std::string InvertedRange(long double lo, long double hi, char separator = '.');

// Empty when v lies in range; otherwise the reason, such as
// "1e+308 поза межами 0..100000".
std::string OutOfRange(const TFieldRange& range, long double v);

// The one rule for a number in every data file the program reads: an
// optional sign, digits with at most one decimal separator, a point or a
// comma ("1,5" is 1.5), and an optional exponent; nothing else. "-" is
// "not given" where a file may leave a value out (unsetAllowed).
inline constexpr const char* DecimalSeparatorNote = "десятковий знак — крапка або кома";

enum class TFileNumber { Number, Unset, Refused };

// Reads one value by that rule and holds it to range. Refused (with the
// reason in refusal) for a text that is no number, "nan", "inf", a number
// too large to read, a value outside range (-1e20 written out among
// them), and a text longer than the 255 characters a field may hold.
TFileNumber ReadFileNumber(std::string_view text, long double& value, const TFieldRange& range,
                           std::string& refusal, bool unsetAllowed = true);

// ReadValueOrRange (Utils.h) with every part read by ReadFileNumber.
// Returns true when every part is a number; a part "-" stays UnsetValue
// (returns false, no refusal); any other part that is no number in range,
// an empty part, and a field longer than 255 characters set *refusal to
// the reason (empty otherwise).
bool ReadFieldOrRange(std::string& line, char marker, const TCharSet& delims, long double& lo, long double& hi,
                      const TFieldRange& range, std::string& refusal, bool unsetAllowed = true);

} // namespace ferrolyt
