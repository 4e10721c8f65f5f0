#pragma once
// Relaxation of the lower-bound system towards equilibrium in time: every
// element passes between metal and slag and between metal and gas at a rate
// proportional to the gap between its potentials in the two phases. The
// integration, its history and the curves it charts live here without any
// window; the kinetics window drives the steps and draws the curves.

#include "Model.h"
#include "ThSys.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace ferrolyt {

struct TTaskRecord;

inline constexpr int KinHistoryLimit = 800;   // rows kept before thinning
inline constexpr int KinThinnedRows = 600;    // about this many remain after thinning
inline constexpr int KinRowWidth = 128;
inline constexpr long double KinRateConstant = 1e-4L;
inline constexpr long double KinFirstStep = 1e-9L;
inline constexpr long double KinTimeScale = 10000.0L; // charted time per unit of the step

enum TKinPhase : int { kinMetal = 0, kinSlag = 1, kinGas = 2 };

// One history row: [0] time, [1] temperature (K), [2..4] metal, slag and gas
// totals, then the metal, slag and gas values of the 41 elements.
using TKinRow = std::array<float, KinRowWidth>;

constexpr int KinValueColumn(int phase, int element) { return 5 + MaxElements * phase + element; }

using TKinAmounts = std::array<long double, MaxElements>;

// What one element's series shows in the chart.
struct TKinCurve {
    bool Drawn = false;        // a maximum below about 1e-4 is not drawn
    double Scale = 0;          // 1 / (1.03 × running maximum)
    double Latest = 0;         // unscaled value of the last row
    std::vector<std::array<double, 2>> Points; // (time, scaled value), then the equilibrium extension
};

class TKinetics {
public:
    explicit TKinetics(TThSys& system) : sys_(system) {}

    // The state right after the melt becomes the target row (the
    // equilibrium); the running maxima start from 0.
    void RecordTarget();
    // Slag charge of the solved state, and the start of the run: from the
    // unmixed charge when the slag carries no charge, otherwise from the
    // solved state. Returns true when it started from the unmixed charge.
    bool SetUpStart(const TTaskRecord& task);
    // Phase totals and ratios from the element amounts, and the slag
    // potential that makes the slag neutral.
    void PreparePhases();
    // One step of the integration (gas equilibrium, sample, rates, move).
    void Step();

    // Rates of passage from the metal into the slag (into the gas), per
    // element, at the system's present state. The slag rates also set the
    // system's slag potential.
    TKinAmounts KinSlagRates(const TKinAmounts& slag);
    TKinAmounts KinGasRates(const TKinAmounts& gas) const;
    // Appends the system's present state to the history (thinning it when
    // full).
    void KinRecordSample();

    // --- what the window charts
    int SampleCount() const { return samples_; }
    const TKinRow& Row(int r) const { return history_[static_cast<std::size_t>(r)]; }
    const TKinRow& Target() const { return target_; }
    float Maximum(int phase, int element) const
    {
        return maxima_[static_cast<std::size_t>(phase)][static_cast<std::size_t>(element)];
    }
    float MaxTemperature() const { return maxTemperature_; }
    long double Time() const { return time_; }
    long double StepSize() const { return dt_; }
    int64_t StepCount() const { return steps_; }

    // One element's series in a phase: its history scaled to its running
    // maximum, and two points at the equilibrium level beyond the last time.
    TKinCurve Curve(int phase, int element) const;
    // True when every drawn curve ends within `pixels` of its equilibrium
    // level on a plot `plotHeight` pixels high (the axis runs from 0 to 1).
    bool Settled(int phase, double plotHeight, double pixels = 2.0) const;
    // Title of element i's series: its symbol, "-G" for Fe in the metal.
    std::string SeriesTitle(int phase, int element) const;

    // Pause state of the run: 0 never paused, 1 pause due, 2 paused once.
    int PauseState = 0;

private:
    void WriteRow(TKinRow& row);
    void NeutraliseThroughIron(bool average);
    void SumPhases();

    TThSys& sys_;
    std::vector<TKinRow> history_ = std::vector<TKinRow>(KinHistoryLimit);
    int samples_ = 0;
    TKinRow target_{};
    std::array<std::array<float, MaxElements>, 3> maxima_{};
    float maxTemperature_ = 0;
    long double time_ = 0;
    long double dt_ = KinFirstStep;
    int64_t steps_ = 0;
};

} // namespace ferrolyt
