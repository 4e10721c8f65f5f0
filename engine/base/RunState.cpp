#include "RunState.h"

#include <chrono>

namespace ferrolyt {

bool CalcBusy = false;
bool StopRequested = true;
bool ResultsShown = false;
bool MatsInKmoles = false;
bool SuppressConvergenceWarning = false;
long double TotalPressure = 1.0L;
double ChargePortion = 100.0;
int32_t SlpPass = 0;
int32_t SolverPass = 0;
bool BothConverged = false;
int64_t CalcStartCounter = 0;
int64_t PerfFrequency = static_cast<int64_t>(std::chrono::steady_clock::period::den / std::chrono::steady_clock::period::num);

void ResetRunState()
{
    CalcBusy = false;
    StopRequested = true;
    ResultsShown = false;
    MatsInKmoles = false;
    SuppressConvergenceWarning = false;
    TotalPressure = 1.0L;
    ChargePortion = 100.0;
    SlpPass = 0;
    SolverPass = 0;
    BothConverged = false;
    CalcStartCounter = 0;
}

int64_t PerfCounter()
{
    return static_cast<int64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

} // namespace ferrolyt
