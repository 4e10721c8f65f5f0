#pragma once
// The forward problem ("Melt") without a window: both systems solved from
// the prepared charge, the lower-bound system with the lower composition
// table and the kind-0 effect tables, the upper-bound one with the upper
// table and the kind-1 tables.

#include <cstdint>

namespace ferrolyt {

struct TForwardResult {
    bool LowerConverged = false; // ThSystems[0]
    bool UpperConverged = false; // ThSystems[1]
    bool BothConverged = false;
    int32_t LowerPasses = 0; // outer solver passes
    int32_t UpperPasses = 0;
    int64_t StopCounter = 0; // PerfCounter() after both solves
};

// Solves ThSystems[0] and then ThSystems[1] as displayed results (each solve
// hands its system to the host's grid). Sets BothConverged and, unless
// SuppressConvergenceWarning, warns when either system did not converge.
TForwardResult SolveForwardProblem();

// What the melt command does: CalcStartCounter, SlpPass := 0,
// PrepareSystems (the task's charge) and SolveForwardProblem.
TForwardResult MeltForward();

} // namespace ferrolyt
