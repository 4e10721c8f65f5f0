#include "AxisTicks.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace ferrolyt {

TAxisTicks RoundTicks(double lo, double hi, int most)
{
    if (!std::isfinite(lo))
        lo = 0;
    if (!std::isfinite(hi) || hi <= lo)
        hi = lo + 1;
    most = std::max(most, 2);
    const double span = hi - lo;
    // A range far narrower than its values (1e-13 around 1600) has no round
    // step that double precision can tell apart: one step over the range.
    if (span <= std::abs(lo) * 1e-12)
        return {lo, span, 0};

    // The smallest round step that leaves no more than `most` ticks; no
    // step below a tenth of span / most can.
    int power = static_cast<int>(std::floor(std::log10(span / most))) - 1;
    double step = 0;
    for (;; ++power) {
        const double unit = std::pow(10.0, power);
        for (const double m : std::array{1.0, 2.0, 5.0}) {
            const double s = m * unit;
            if (std::floor(hi / s + 1e-9) - std::ceil(lo / s - 1e-9) + 1 <= most) {
                step = s;
                break;
            }
        }
        if (step > 0)
            break;
    }
    TAxisTicks ticks;
    ticks.Step = step;
    ticks.First = std::ceil(lo / step - 1e-9) * step;
    if (ticks.First == 0)
        ticks.First = 0; // no "-0" on the axis
    ticks.Decimals = std::max(0, -power);
    return ticks;
}

} // namespace ferrolyt
