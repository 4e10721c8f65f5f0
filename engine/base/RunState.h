#pragma once
// Run-state globals shared by the engine and the program's windows. They
// live for the whole run; ResetModel() (Model.h) puts them back to their
// start values for tests.

#include <cstdint>

namespace ferrolyt {

extern bool CalcBusy;                   // an optimisation or sweep is running
extern bool StopRequested;              // the user asked the running calculation to stop
extern bool ResultsShown;               // the forward problem's results are on screen
extern bool MatsInKmoles;               // material amounts are kilomoles instead of tonnes
extern bool SuppressConvergenceWarning; // sweeps melt without the convergence warning
extern long double TotalPressure;       // atm
extern double ChargePortion;            // percent applied to fixed amounts at the optimiser's start
extern int32_t SlpPass;                 // optimiser pass (0 on the first pass and for a melt)
extern int32_t SolverPass;              // outer passes of the last solve
extern bool BothConverged;              // both systems converged in the last forward problem
extern int64_t CalcStartCounter;        // steady-clock ticks at the start of a calculation
extern int64_t PerfFrequency;           // steady-clock ticks per second

// The run state's start values.
void ResetRunState();

// Ticks of the monotonic clock used for computing times.
int64_t PerfCounter();

} // namespace ferrolyt
