#pragma once
// Exponential and natural logarithm in 80-bit extended precision, a few
// times faster than the C library's, which the solver calls millions of
// times per melt. Both are within about one unit in the last place over the
// whole range (subnormal results and arguments included) and follow the
// C library at the edges: NaN in, NaN out; overflow gives +inf; log of 0 is
// -inf and of a negative number NaN.

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace ferrolyt {

namespace extended_math {

struct TExtendedPair {
    long double Hi, Lo;
};
struct TLogEntry {
    long double Centre, InverseCentre, LogHi, LogLo;
};

extern const long double ExpInvStep, ExpStepHi, ExpStepLo;
extern const std::array<TExtendedPair, 128> ExpTable;
extern const long double LogLn2Hi, LogLn2Lo;
extern const std::array<TLogEntry, 128> LogTable;

// The x87 layout of a long double: 64-bit mantissa with its leading bit,
// then sign and 15-bit biased exponent.
struct TBits {
    uint64_t Mantissa;
    uint16_t SignExponent;
};
static_assert(std::numeric_limits<long double>::digits == 64, "80-bit extended precision needed");

inline TBits BitsOf(long double x)
{
    TBits b;
    std::memcpy(&b.Mantissa, &x, sizeof b.Mantissa);
    std::memcpy(&b.SignExponent, reinterpret_cast<const unsigned char*>(&x) + sizeof b.Mantissa,
                sizeof b.SignExponent);
    return b;
}

inline long double FromBits(uint64_t mantissa, uint16_t signExponent)
{
    long double x = 0;
    std::memcpy(&x, &mantissa, sizeof mantissa);
    std::memcpy(reinterpret_cast<unsigned char*>(&x) + sizeof mantissa, &signExponent, sizeof signExponent);
    return x;
}

constexpr int ExponentBias = 16383;

// A coefficient kept as a double.
constexpr long double D(double c) { return static_cast<long double>(c); }

} // namespace extended_math

inline long double ExpL(long double x)
{
    using namespace extended_math;
    // Beyond these the result is +inf or rounds to 0.
    if (!(x <= 11356.5234062941439494L))
        return x != x ? x : std::numeric_limits<long double>::infinity();
    if (x < -11400.0L)
        return 0.0L;
    // x = (128 n + j) ln2/128 + r with |r| <= ln2/256.
    // k = x 128/ln2 rounded, found in double: a conversion from the x87
    // unit switches its rounding mode twice, and a rounding constant added
    // there would depend on its precision setting.
    const auto steps = static_cast<double>(x * ExpInvStep);
    const auto k = static_cast<int32_t>(steps + (steps >= 0 ? 0.5 : -0.5));
    const auto kf = static_cast<long double>(k);
    const long double r = (x - kf * ExpStepHi) - kf * ExpStepLo;
    // e^r - 1 to well below the last place for |r| <= 0.0028, in Estrin's
    // order: the x87 unit's long latencies make the plain nesting slow. The
    // higher terms are so small that double coefficients suffice.
    const long double r2 = r * r;
    const long double p =
        r + r2 * ((0.5L + r * D(1.0 / 6)) + r2 * ((D(1.0 / 24) + r * D(1.0 / 120)) + r2 * D(1.0 / 720)));
    const TExtendedPair& t = ExpTable[static_cast<std::size_t>(k & 127)];
    const long double m = t.Hi + (t.Hi * p + t.Lo);
    const int32_t n = k >> 7;
    // 2^n as a double where it is one: building an 80-bit value from its
    // parts stalls the store forwarding of the x87 load.
    if (n > -1022 && n < 1023) {
        const uint64_t bits = static_cast<uint64_t>(n + 1023) << 52;
        double scale;
        std::memcpy(&scale, &bits, sizeof scale);
        return m * scale;
    }
    if (n > -ExponentBias + 1 && n < ExponentBias)
        return m * FromBits(0x8000000000000000ULL, static_cast<uint16_t>(n + ExponentBias));
    return std::ldexp(m, n);
}

namespace extended_math {

// ln x = e ln2 + ln c + ln(1 + f) for x = 2^e m, m = c (1 + f).
inline long double LogReduced(long double x, long double m, int32_t e, std::size_t j)
{
    if ((e == 0 && j == 0) || (e == -1 && j == 127)) {
        // Near 1: the series on the exact f = x - 1, |f| < 1/128.
        constexpr std::array<long double, 11> Coef{-1.0L / 2, 1.0L / 3,  -1.0L / 4, 1.0L / 5,  -1.0L / 6, 1.0L / 7,
                                                   -1.0L / 8, 1.0L / 9,  -1.0L / 10, 1.0L / 11, -1.0L / 12};
        const long double f = x - 1.0L;
        long double s = Coef[10];
        for (std::size_t n = 10; n-- > 0;)
            s = Coef[n] + f * s;
        return f + f * (f * s);
    }
    const TLogEntry& c = LogTable[j];
    const long double f = (m - c.Centre) * c.InverseCentre; // |f| <= 1/256 and a little
    // ln(1 + f) - f, in Estrin's order; beyond f^2 the terms are small
    // enough for double coefficients.
    const long double f2 = f * f;
    const long double f4 = f2 * f2;
    const long double series =
        f2 * (((-0.5L + f * D(1.0 / 3)) + f2 * (-0.25L + f * D(0.2))) +
              f4 * ((D(-1.0 / 6) + f * D(1.0 / 7)) + f2 * (-0.125L + f * D(1.0 / 9))));
    const auto ef = static_cast<long double>(e);
    return (ef * LogLn2Hi + c.LogHi) + (ef * LogLn2Lo + c.LogLo + f + series);
}

// Arguments outside the range of double, and the special values.
inline long double LogWide(long double x)
{
    TBits b = BitsOf(x);
    int32_t e = static_cast<int32_t>(b.SignExponent) - ExponentBias;
    if (b.SignExponent == 0 || b.SignExponent >= 0x7FFF || !(b.Mantissa >> 63)) {
        // Zero, subnormal, negative, infinite, NaN or an unnormal encoding.
        if (!(x > 0) || x == std::numeric_limits<long double>::infinity())
            return x == 0 ? -std::numeric_limits<long double>::infinity()
                          : (x > 0 ? x : std::numeric_limits<long double>::quiet_NaN());
        b = BitsOf(x * 0x1p64L);
        e = static_cast<int32_t>(b.SignExponent) - ExponentBias - 64;
    }
    return LogReduced(x, FromBits(b.Mantissa, ExponentBias), e, static_cast<std::size_t>((b.Mantissa >> 56) & 127));
}

} // namespace extended_math

inline long double LogL(long double x)
{
    using namespace extended_math;
    // Exponent and leading bits read from x rounded to double: taking an
    // 80-bit value apart in memory stalls the store forwarding. Rounding
    // may carry into the next bucket or binade; m then lies a hair outside
    // its bucket, which the series covers.
    const auto xd = static_cast<double>(x);
    uint64_t bits = 0;
    std::memcpy(&bits, &xd, sizeof bits);
    const auto biased = static_cast<int32_t>(bits >> 52); // the sign makes negatives large
    if (biased < 1 || biased > 2045)
        return LogWide(x);
    const int32_t e = biased - 1023;
    const uint64_t inverseBits = static_cast<uint64_t>(1023 - e) << 52;
    double inverse = 0;
    std::memcpy(&inverse, &inverseBits, sizeof inverse);
    return LogReduced(x, x * inverse, e, static_cast<std::size_t>((bits >> 45) & 127));
}

} // namespace ferrolyt
