#pragma once
// Number texts of the inclusion tables.

#include <string>

namespace ferrolyt {

// The general number format of the tables: 15 significant digits without
// trailing zeros, fixed notation from 1e-5 up to 15 integral digits, else
// scientific as "1.5E-7" / "2E20".
std::string FormatGeneral(long double value);

// The mask "0.#": at most one decimal, none when it is zero.
std::string FormatFloatOneDecimal(long double value);

} // namespace ferrolyt
