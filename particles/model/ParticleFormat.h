#pragma once
// Number texts of the particle windows and the result table, in the manner
// of the original program's Format and FormatFloat: "%w.pg" (general format
// with p significant digits, padded to width w), "0.00000" (fixed
// decimals), "0.####" (at most that many decimals). A value without a
// finite value is written "NAN", "INF" or "-INF".

#include <string>

namespace ferrolyt::particles {

// General format: fixed notation while the value has at most `precision`
// digits before the point and is at least 1e-5 in magnitude, scientific
// ("1.5E-10", "2E+20") otherwise; trailing zeros dropped; padded on the left
// with blanks to `width`.
std::string FormatGeneral(double value, int precision, int width = 0);

// Exactly `decimals` decimals ("0.00000").
std::string FormatFixed(double value, int decimals);

// At most `decimals` decimals, trailing zeros and a bare point dropped
// ("0.####").
std::string FormatUpTo(double value, int decimals);

// What the windows show for a quantity without a value: a type without
// particles, a quotient before the first frame. The result table keeps
// "NAN" and "INF", which readers of numbers know.
inline constexpr const char* NoValueText = "–";

// `text` (value formatted), or NoValueText padded on the left to `width`
// characters when value is not finite.
std::string ShownOrNoValue(double value, std::string text, int width = 0);

} // namespace ferrolyt::particles
