#pragma once
// The physical range of every number the data and task files hold, in one
// table, and the reader that holds the file's values to them. A value
// outside its range, "nan", "inf" or a number too large for the program
// refuses the file with a message; "-" (or any other text that is not a
// number) still means "not given", as the files have always said.

#include "Utils.h"

#include <cfloat>
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
// Element constants.
inline constexpr TFieldRange MolarMass{1e-4L, 1000};     // kg/kmol (an electron is 5.5e-4)
inline constexpr TFieldRange Valence{-8, 8};
// Coefficients of the constants, interaction and gas files: whatever the
// double-precision tables can hold. Slag pair energies: 32-bit integers.
inline constexpr TFieldRange Coefficient{-DBL_MAX, DBL_MAX};
inline constexpr TFieldRange SlagEnergy{INT32_MIN, INT32_MAX}; // kJ/mol, after rounding
} // namespace FieldRange

// Empty when v lies in range (UnsetValue counts as in range: it is what a
// writer puts for "not given"); otherwise the reason, such as
// "1e+308 поза межами 0..100000".
std::string OutOfRange(const TFieldRange& range, long double v);

// ReadValueOrRange (Utils.h) holding each part to range. Returns what
// ReadValueOrRange returns; when a part is "nan", "inf", a number too large
// to read, or a value outside range, *refusal gets the reason (empty
// otherwise) and the parts keep what was read.
bool ReadFieldOrRange(std::string& line, char marker, const TCharSet& delims, long double& lo, long double& hi,
                      const TFieldRange& range, std::string& refusal);

} // namespace ferrolyt
