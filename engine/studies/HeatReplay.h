#pragma once
// The replay of a loaded heat log (HeatLog.h) on the two systems:
// ThSystems[0] with CompositionMin and ThSystems[1] with CompositionMax.
// Each row's energy balance decides how much of the solid scrap melts, the
// charged portion is equilibrated with the bath, the result is calibrated
// against measured temperatures and samples, and slag that no longer fits
// into the furnace runs off.
//
// Two ways of counting consumptions:
//   ConsumptionPortion (0): each row charges its own portion into the bath
//     left by the previous row (the solver's quick mode carries the bath);
//   ConsumptionAccumulated (1): each row re-solves the whole charge so far,
//     with the energy corrected by every temperature calibration.
//
// The replay is a step loop without any event loop of its own: a window
// calls SetUp, then RunStep row by row, and may stop between any two steps.
// Finish (also run by the destructor) puts back the task record and the
// iron constant that the replay borrowed.

#include "HeatLog.h"
#include "Model.h"
#include "TaskList.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ferrolyt {

enum THeatConsumptionMode : int { ConsumptionPortion = 0, ConsumptionAccumulated = 1 };

// Fills the heat content of MaterialTable slots -1 (replay slag), 0 (replay
// metal) and `slot`: the enthalpy, MJ per t, that takes the material from
// its temperature and state to liquid at tRef °C. Slots -1 and 0 first take
// the composition and mean temperature of the two systems' metal and slag.
void ComputeHeatContents(int tRef, int slot);

// What the heat window shows after a step. NaN marks a value that cannot be
// computed (an element the system lacks, no gas phase, no molten charge).
struct THeatStepInfo {
    int Row = 0;
    int Time = 0;
    long double MetalMass = 0;    // mean of the two systems, t
    long double SlagMass = 0;     // t
    long double SlagRunOffMean = 0;
    long double GasMass = 0;      // t
    long double TemperatureC = 0; // mean, °C
    long double SolidScrap = 0;   // t
    long double BalanceE = 0;     // MJ, rounded
    long double SumE = 0;         // kWh, rounded
    long double SumEPerTonne = 0; // kWh per t of metal above the hot heel, rounded
    // [C],[Mn],[Si],[S],[P],[Al] in the metal; (Fe),(Mn),(Si),(S),(P),(Al),
    // (Mg),(Ca) in the slag, mass %; {CO} partial pressure × 100.
    std::array<long double, 15> Grid{};
    // The step's calibration, when the row had a measurement or a sample.
    bool HasTempError = false;
    int TempError = 0;    // K, rounded
    int TempErrorAve = 0; // root mean square so far, rounded
    bool HasSampleError = false;
    long double SampleError = 0;    // mass %
    long double SampleErrorAve = 0; // mass %
};

// Grid columns of THeatStepInfo::Grid.
enum THeatGridColumn : int {
    hgC, hgMn, hgSi, hgS, hgP, hgAl, hgSlagFe, hgSlagMn, hgSlagSi, hgSlagS, hgSlagP, hgSlagAl, hgSlagMg, hgSlagCa, hgCO
};

// One replay of the loaded log ("TFHeat.RunHeat" taken apart into its steps).
class THeatReplay {
public:
    THeatReplay() = default;
    THeatReplay(const THeatReplay&) = delete;
    THeatReplay& operator=(const THeatReplay&) = delete;
    ~THeatReplay();

    // Set-up: the hot heel with its additions, solved on both systems. False
    // (after a warning naming them) when the materials file lacks materials
    // the replay needs; nothing is changed then.
    bool SetUp(int mode);
    // Replays the next row; false when every row was replayed (or the
    // replay is not set up).
    bool RunStep();
    // The values shown for the state after the last step, at `row`'s time
    // (also sets LastSlagMass).
    THeatStepInfo StepInfo(int row);
    // End of the replay: the task record and the iron constant go back.
    // Safe to call more than once.
    void Finish();

    bool Active() const { return active_; }
    int Mode() const { return mode_; }
    // Rows replayed so far.
    int Row() const { return row_; }

    // Mass charged into each system since the set-up (hot heel included),
    // and mass that left it as gas, t; for balance checks.
    std::array<long double, 2> ChargedMass{};
    std::array<long double, 2> GasOut{};

private:
    void SolveBoth(bool quick);
    void CalibrateTemperature(const THeatLogRecord& r);
    void CompareSample(const THeatLogRecord& r);
    void RunOffSlag();
    void StepPortion(const THeatLogRecord& r);
    void StepAccumulated(const THeatLogRecord& r, const THeatLogRecord& t);
    long double MeltedThisStep() const;
    long double ChargeMass(int kind) const;

    bool active_ = false;
    int mode_ = ConsumptionPortion;
    int row_ = 0;
    int coSpecies_ = 0;
    TTaskRecord savedTask_;
    int savedTaskSlot_ = 0;
    std::array<long double, 2> savedFeB1_{}, savedFeB2_{};
    bool pendingTemp_ = false, pendingSample_ = false;
    int tempError_ = 0, tempErrorAve_ = 0;
    long double sampleError_ = 0, sampleErrorAve_ = 0;
    // Melting heat, MJ, of the scrap a measurement declared melted, still to
    // be taken from the energy of the following portion steps.
    long double scrapHeatOwed_ = 0;
};

enum class THeatRunResult { Completed, Stopped, Refused };

// The whole replay as the window's run command performs it: set-up, the
// initial state shown at row 1, then every row, each followed by
// `showStep` (which lets pending window input run) and the stop test on
// HeatRunning. A stop ends the replay after the current step; the end of the
// replay runs in every case.
THeatRunResult RunHeat(int mode, const std::function<void(const THeatStepInfo&)>& showStep);

} // namespace ferrolyt
