// The solver's own 80-bit exponential and logarithm: within a unit or two
// in the last place of the C library's over the whole extended range,
// monotone across the seams of their tables, and the C library's answers
// at the edges.

#include "ExtendedMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>

namespace ferrolyt::test {
namespace {

using Limits = std::numeric_limits<long double>;

// |a - b| in units of the last place of b.
long double UlpDistance(long double a, long double b)
{
    if (a == b)
        return 0;
    const long double ulp = std::fabs(std::nextafter(b, Limits::infinity()) - b);
    return std::fabs(a - b) / ulp;
}

// The C library is itself within one unit; ours within about one more.
constexpr long double ExpUlps = 2;
constexpr long double LogUlps = 3;

void ExpectExpClose(long double x)
{
    EXPECT_LE(UlpDistance(ExpL(x), std::exp(x)), ExpUlps) << "x = " << static_cast<double>(x);
}

void ExpectLogClose(long double x)
{
    EXPECT_LE(UlpDistance(LogL(x), std::log(x)), LogUlps) << "x = " << static_cast<double>(x);
}

// f over the eight representable numbers on either side of x never steps
// down.
void ExpectMonotoneAround(long double x, long double (*f)(long double))
{
    for (int k = 0; k < 8; ++k)
        x = std::nextafter(x, -Limits::infinity());
    long double previous = f(x);
    for (int k = 0; k < 16; ++k) {
        x = std::nextafter(x, Limits::infinity());
        const long double value = f(x);
        EXPECT_GE(value, previous) << "x = " << static_cast<double>(x);
        previous = value;
    }
}

TEST(ExtendedExp, AgreesWithTheLibraryFromUnderflowToOverflow)
{
    std::mt19937_64 random(20261206);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (const long double scale : {1e-6L, 0.01L, 1.0L, 50.0L, 700.0L, 2400.0L, 11350.0L}) {
        SCOPED_TRACE("scale " + std::to_string(static_cast<double>(scale)));
        for (int k = 0; k < 20000; ++k) {
            // Arguments with all 64 bits in use, not only double's 53.
            const long double x = scale * (static_cast<long double>(unit(random)) + 0x1p-60L * unit(random));
            ExpectExpClose(x);
            if (HasFailure())
                return;
        }
    }
    // Results below the smallest normal number, down to the last subnormal.
    for (long double x = -11355.0L; x > -11399.0L; x -= 0.37L)
        ExpectExpClose(x);
}

TEST(ExtendedExp, ExactWhereTheResultIsExact)
{
    EXPECT_EQ(ExpL(0.0L), 1.0L);
    EXPECT_EQ(ExpL(-0.0L), 1.0L);
    EXPECT_EQ(ExpL(Limits::denorm_min()), 1.0L);
}

TEST(ExtendedExp, EdgesAreThoseOfTheLibrary)
{
    EXPECT_TRUE(std::isnan(ExpL(Limits::quiet_NaN())));
    EXPECT_EQ(ExpL(Limits::infinity()), Limits::infinity());
    EXPECT_EQ(ExpL(-Limits::infinity()), 0.0L);
    EXPECT_EQ(ExpL(11357.0L), Limits::infinity());
    EXPECT_EQ(ExpL(Limits::max()), Limits::infinity());
    EXPECT_EQ(ExpL(-11400.5L), 0.0L);
    EXPECT_EQ(ExpL(-Limits::max()), 0.0L);
    // The largest finite results and the floors the solver relies on.
    EXPECT_TRUE(std::isfinite(ExpL(11356.5L)));
    EXPECT_LE(UlpDistance(ExpL(11356.5L), std::exp(11356.5L)), ExpUlps);
    EXPECT_GT(ExpL(-2302.6L), 0.0L); // about 1e-1000
}

TEST(ExtendedExp, MonotoneAcrossTheSeamsOfItsTable)
{
    // The reduction switches table entry at every multiple of ln2/128.
    const long double step = 0.693147180559945309417232121458176568L / 128;
    std::mt19937 random(7);
    std::uniform_int_distribution<int> seam(-1000000, 1000000);
    for (int n = 0; n < 2000; ++n) {
        ExpectMonotoneAround(step * static_cast<long double>(seam(random)), ExpL);
        if (HasFailure())
            return;
    }
}

TEST(ExtendedLog, AgreesWithTheLibraryOverTheWholeRange)
{
    std::mt19937_64 random(6);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (const long double scale : {0.01L, 1.0L, 700.0L, 11000.0L}) {
        SCOPED_TRACE("scale " + std::to_string(static_cast<double>(scale)));
        for (int k = 0; k < 20000; ++k) {
            const long double x = std::exp(scale * static_cast<long double>(unit(random))) *
                (1.0L + 0x1p-58L * static_cast<long double>(unit(random)));
            ExpectLogClose(x);
            if (HasFailure())
                return;
        }
    }
    // Subnormal arguments, and the largest ones.
    for (long double x = Limits::denorm_min(); x < Limits::min(); x *= 3.7L)
        ExpectLogClose(x);
    ExpectLogClose(Limits::max());
}

TEST(ExtendedLog, SmallResultsNearOneKeepTheirPrecision)
{
    // ln(1 + f) = f - f²/2 + ...: a loss of digits to cancellation would
    // show as many units in the last place here.
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (int k = 0; k < 20000; ++k) {
        const long double f = 0x1p-6L * static_cast<long double>(unit(random)) * std::pow(2.0L, -(k % 50));
        ExpectLogClose(1.0L + f);
    }
    EXPECT_EQ(LogL(1.0L), 0.0L);
    ExpectLogClose(std::nextafter(1.0L, 0.0L));
    ExpectLogClose(std::nextafter(1.0L, 2.0L));
}

TEST(ExtendedLog, ArgumentsThatRoundUpToAPowerOfTwo)
{
    // Just below 2^n the argument rounds to 2^n in double, which the
    // reduction reads its exponent from.
    for (int n = -16380; n <= 16383; n += 97) {
        const long double p = std::ldexp(1.0L, n);
        for (long double x = p, k = 0; k < 4; ++k) {
            x = std::nextafter(x, 0.0L);
            ExpectLogClose(x);
        }
        ExpectLogClose(p);
        EXPECT_LE(UlpDistance(LogL(p), static_cast<long double>(n) * 0.693147180559945309417232121458176568L),
                  LogUlps)
            << n;
    }
}

TEST(ExtendedLog, MonotoneAcrossTheSeamsOfItsTable)
{
    for (int e = -3; e <= 3; ++e)
        for (int j = 0; j <= 128; ++j) {
            ExpectMonotoneAround(std::ldexp(1.0L + j / 128.0L, e), LogL);
            if (HasFailure())
                return;
        }
}

TEST(ExtendedLog, EdgesAreThoseOfTheLibrary)
{
    EXPECT_TRUE(std::isnan(LogL(Limits::quiet_NaN())));
    EXPECT_TRUE(std::isnan(LogL(-1.0L)));
    EXPECT_TRUE(std::isnan(LogL(-Limits::denorm_min())));
    EXPECT_TRUE(std::isnan(LogL(-Limits::infinity())));
    EXPECT_EQ(LogL(0.0L), -Limits::infinity());
    EXPECT_EQ(LogL(-0.0L), -Limits::infinity());
    EXPECT_EQ(LogL(Limits::infinity()), Limits::infinity());
}

TEST(ExtendedExpAndLog, UndoEachOther)
{
    std::mt19937_64 random(3);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (int k = 0; k < 20000; ++k) {
        const long double x = 11000.0L * static_cast<long double>(unit(random));
        // ln e^x to the few units that e^x's last place carries into it.
        EXPECT_NEAR(static_cast<double>(LogL(ExpL(x)) - x), 0.0, 4e-19 * (1.0 + std::fabs(static_cast<double>(x))))
            << static_cast<double>(x);
    }
}

} // namespace
} // namespace ferrolyt::test
