#pragma once
// The forward problem ("Melt") without a window: both systems solved from
// the prepared charge, the lower-bound system with the lower composition
// table and the kind-0 effect tables, the upper-bound one with the upper
// table and the kind-1 tables.

#include "ThSys.h"

#include <array>
#include <cstdint>
#include <string>

namespace ferrolyt {

struct TForwardResult {
    bool LowerConverged = false; // ThSystems[0]
    bool UpperConverged = false; // ThSystems[1]
    bool BothConverged = false;
    // False when a heat-balanced melt ended outside the liquid metal's range.
    bool HeatBalanceCloses = true;
    int32_t LowerPasses = 0; // outer solver passes
    int32_t UpperPasses = 0;
    int64_t StopCounter = 0; // PerfCounter() after both solves
};

// The liquidus of the system's metal, K, from the iron-carbon diagram by its
// carbon content: 1538 °C for iron, 1495 °C at 0.53 % C (peritectic),
// 1147 °C at 4.3 % C (eutectic) and above, linear between.
long double MetalLiquidus(const TThSys& sys);

// Whether the system's temperature lies where a melt's heat balance means
// something: liquid metal, from its liquidus up to 2000 °C. Always true
// when the temperature is given rather than computed.
bool HeatBalanceClosesInLiquid(const TThSys& sys);

// Warning and status text for a heat balance that does not close there.
extern const std::string HeatBalanceOpenText;
extern const std::string HeatBalanceOpenStatus;

// Solves ThSystems[0] (lower composition table, kind-0 effect tables) and
// ThSystems[1] (upper table, kind-1 tables) for the current charge, from the
// charge or from the given phases, at the same time: the lower one on a
// thread of its own. Neither solve reads what the other writes, so each ends
// exactly as it would alone. What they show and count reaches the host and
// the run state afterwards on the calling thread, the lower system first,
// as if solved one after the other. Returns the notes of each.
std::array<TThSys::TSolveNotes, 2> SolveBoundSystems(bool display, bool fromGivenPhases);

// Solves both systems (SolveBoundSystems) as displayed results (each solve
// hands its system to the host's grid). Sets BothConverged and, unless
// SuppressConvergenceWarning, warns when either system did not converge;
// warns also when a heat-balanced melt ends outside the liquid range.
TForwardResult SolveForwardProblem();

// What the melt command does: CalcStartCounter, SlpPass := 0,
// PrepareSystems (the task's charge) and SolveForwardProblem.
TForwardResult MeltForward();

} // namespace ferrolyt
