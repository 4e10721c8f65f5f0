// The slag's specific charge as a function of its potential, and the root of
// that function. The kinetics needs the potential of a slag that is not in
// equilibrium, and the electroneutrality window draws the whole function.

#include "ExtendedMath.h"
#include "Model.h"
#include "ThSys.h"

#include <algorithm>
#include <cmath>

namespace ferrolyt {

namespace {

long double LimitedExp(long double x)
{
    return ExpL(std::clamp(x, -300.0L, 300.0L));
}

long double Sign(long double x)
{
    return x > 0 ? 1.0L : (x < 0 ? -1.0L : 0.0L);
}

// Steps of the root search; the function is monotonic, so these are only a
// guard against non-finite charges.
constexpr int BracketLimit = 200;
constexpr int RefineLimit = 200;

} // namespace

long double TThSys::SlagChargeAt(long double mu) const
{
    // Each element's share in the slag is that of the phase distribution at
    // this potential: s/n = 1 / (1 + (m + g)/s), with (m + g)/s written from
    // the same distribution terms the solver uses.
    long double q = 0.001L * SlagCharge;
    for (int i = 0; i <= SystemElemLast; ++i) {
        const TElementRecord& e = El(i);
        if (e.Valence == 0)
            continue;
        const long double otherOverSlag =
            LimitedExp(e.Valence * mu - e.KMS + LnMetalSlag) * (1 + LimitedExp(e.KMG - LnMetalGas));
        q += e.Valence * e.Amount / (1 + otherOverSlag);
    }
    return q;
}

long double TThSys::SolveFermiLevel() const
{
    const auto f = [this](long double x) { return -SlagChargeAt(x); };
    long double x = SlagPotential;
    if (!std::isfinite(x))
        x = 0;
    long double fB = f(x);
    if (fB == 0 || !std::isfinite(fB))
        return x;
    long double h = 0.1L * -Sign(fB);
    long double fA = fB;

    const auto bracket = [&]() {
        for (int k = 0; k < BracketLimit; ++k) {
            fA = fB;
            x += h;
            fB = f(x);
            h *= 2;
            if ((fA > 0) != (fB > 0))
                break;
        }
        h /= 2;
    };

    bracket();
    for (int pass = 0; pass < RefineLimit; ++pass) {
        long double d = h / (fB - fA);
        long double x0 = x;
        x -= fB * d;
        long double fC = f(x);
        if (fC == 0 || !std::isfinite(fC) || !std::isfinite(x))
            return x;
        const long double q = ((fA + fB) - fA * fB / fC) / 2;
        if (std::fabs(q) >= 1e19L)
            return x;
        long double t = d * (q - Sign(fC) * std::sqrt(std::max(0.0L, q * q - fA * fB)));
        x += t;
        if (std::fabs(t) < 1e-6L || !std::isfinite(x))
            return x;
        // Correction: while the new point falls on the same side as the
        // secant point and further from the root, shrink towards the bracket.
        bool again = true;
        while (again && pass < RefineLimit) {
            again = false;
            const long double fOld = fB;
            fB = f(x);
            if (!std::isfinite(fB))
                return x;
            if ((fC > 0) == (fB >= 0) && std::fabs(fB) > std::fabs(fC)) {
                if ((fOld > 0) != (fB > 0))
                    fA = fOld;
                else
                    x0 -= h;
                h = x - x0;
                d = h / (fB - fA);
                x0 = x;
                x -= fB * d;
                fC = f(x);
                if (fC == 0 || !std::isfinite(fC) || !std::isfinite(x))
                    return x;
                const long double q2 = ((fA + fB) - fA * fB / fC) / 2;
                if (std::fabs(q2) >= 1e19L)
                    return x;
                t = d * (q2 - Sign(fC) * std::sqrt(std::max(0.0L, q2 * q2 - fA * fB)));
                x += t;
                if (std::fabs(t) < 1e-6L || !std::isfinite(x))
                    return x;
                again = true;
                ++pass;
            }
        }
        if (std::fabs(fB - fC) < 1e-19L)
            return x;
        h = -1.1L * t * fB / (fB - fC);
        const long double limit = 2 * std::fabs(t);
        h = std::clamp(h, -limit, limit);
        if (std::fabs(h) < 1e-6L)
            return x + h / 1.1L;
        bracket();
    }
    return x;
}

} // namespace ferrolyt
