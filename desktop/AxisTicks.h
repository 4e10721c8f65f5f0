#pragma once
// Tick marks a reader can count with: the step between two ticks is 1, 2 or
// 5 times a power of ten, and every tick is a whole multiple of the step.
// Plain arithmetic, so that it is tried without a window.

namespace ferrolyt {

struct TAxisTicks {
    double First = 0; // the lowest tick inside the range
    double Step = 1;
    int Decimals = 0; // digits after the separator that show every tick exactly
};

// The ticks for an axis from lo to hi with at most `most` ticks (at least
// two); a range that is empty, reversed or not finite gets the ticks of
// [lo, lo + 1].
TAxisTicks RoundTicks(double lo, double hi, int most = 8);

} // namespace ferrolyt
