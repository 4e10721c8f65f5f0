#pragma once
// The cost optimiser: sequential linear programming over the two systems.
// Each pass solves both systems for the current charge, builds the linear
// rows around it, solves them with SolveLP and moves the charge part of the
// way towards that solution, until the moves become small.

#include "SimplexLP.h"

#include <array>
#include <cstdint>
#include <vector>

namespace ferrolyt {

// Passes after which a run gives up (the next pass ends with lpNotMet).
inline constexpr int32_t MaxSlpPasses = 100;
// Relaxed amounts below this become 0, t.
inline constexpr long double NegligibleAmount = 0.0005L;

// Melts of the final charge that may send a run back to its passes before it
// ends not met.
inline constexpr int MaxMeltVerdicts = 3;

// Finds the cheapest charge for the current task. `released` names a block
// to release for the whole run, or -1. Returns the status of SolveLP (0, 1
// or 2); 2 also when the pass limit is exceeded, or when a released absence
// leaves its material at 0 t. A run is met only when the melt of its final
// charge meets every listed limit but the released block within the margins
// of Constraints.h, whatever its last rows needed; a run of the task as
// stated may also end with status 1, its melt then breaking one block
// beside. The systems then hold that melt. A run with a released block that
// ends without a charge, by whatever route (its rows not met even with one
// more block released, after one pass or many, or final melts that break
// another limit, its rows met with one more block released or not), is
// made once more from
// the task's charge on melted slopes (below), those of its passes whose rows
// cannot be met moving towards the cheapest charge that breaks the
// linearised limits least; that run gives up early when the release does
// not lower the least break at the task's charge, or when its passes stop
// closing in on the rows. The second run's outcome is the answer. A run of
// the task as stated (no block released) that ends met only with one block
// released automatically is made once more on melted slopes, and that run's
// outcome is the answer. On melted slopes the rows take every movable
// material's effect from a melt of the pass's charge with a little more of
// it instead of from the solver's effect tables; the slopes of the task's
// own charge are melted once for the runs of one listing. A stopped run
// ends with 2. Every material ends with its new amount and LP amount. The
// caller has listed the blocks (BuildConstraintBlocks).
int32_t Optimise(int32_t released);

// The cost of the charge in MaterialTable: price × amount over every
// material.
long double ChargeCost();

// The amounts of material slots 1..MaterialCount, to put back later with
// RestoreCharge, which also makes them the LP amounts (the charge as a met
// run leaves it).
std::vector<long double> KeptCharge();
void RestoreCharge(const std::vector<long double>& amounts);

// Convergence tolerance of a run: 1e-5, or 1e-7 with accurate optimisation.
long double OptimiserTolerance();

// Lowest weight of the current amount against the LP amount while the
// passes move the charge steadily in one direction.
inline constexpr long double MinRelaxationWeight = 0.33L;
// Highest weight.
inline constexpr long double MaxRelaxationWeight = 10;

// Weight of the current amount against the LP amount for a relative move r
// on pass `pass` (the first pass takes the LP solution whole), never below
// `floor`.
long double RelaxationWeight(int32_t pass, long double r, long double floor = MinRelaxationWeight);

// The relaxation of one run of Optimise. When a pass's move turns back
// against the previous one, the linear rows overshoot and the charge would
// swing between two vertices for good: the lowest weight then doubles, so
// the later moves are shorter and the swing dies out. A swing that goes on
// at the highest weight halves the share of the move taken for the rest of
// the run, so the charge settles between the vertices; so does a gap that
// stops closing for several passes (the rows leading the charge on, or
// swinging among more vertices), so every run ends well inside the pass
// limit. A pass whose rows cannot be met halves the share too. Passes that
// close the gap steadily in one direction give back what of that damping
// is not for good: first the share, then the lowest weight. A run that
// never turns back keeps the lowest weight 0.33.
class TRelaxation {
public:
    // Moves every amount towards its LP amount by the pass's (SlpPass)
    // weight, drops negligible amounts and sets ChargeTotal. True when the
    // relative gap to the LP amounts, or a shortened move, is below
    // tolerance × SlpPass.
    bool Step(long double tolerance);

    // After a pass whose linear rows cannot be met: rows built at the end of
    // a long move can be far off, so the move is halved (and the lowest
    // weight doubled) and the pass tried again. False when no move was made
    // or it has been halved MaxStepBacks times in a row.
    bool StepBack();

    long double Floor() const { return floor_; }

private:
    static constexpr int MaxStepBacks = 6;
    long double floor_ = MinRelaxationWeight;
    long double reach_ = 1; // share of the relaxed move taken, halved while the rows jump
    std::array<long double, LpMaxColumns + 1> lastMove_{};
    std::array<long double, LpMaxColumns + 1> before_{}; // the amounts before the last move
    bool moved_ = false;
    int stepBacks_ = 0;
    // Adapts the damping to the gap r of this pass; `sameWay` when the move
    // keeps the direction of the last one.
    void Adapt(long double r, bool sameWay);

    // Passes in a row that keep the direction and close the gap before the
    // damping is eased, and the least cosine between their moves.
    static constexpr int ApproachPasses = 3;
    static constexpr long double ApproachCosine = 0.9L;
    // Passes without closing the gap to StallProgress of its best before the
    // move is shortened for good.
    static constexpr int StallPasses = 5;
    static constexpr long double StallProgress = 0.9L;
    int approaching_ = 0;
    int stalled_ = 0;
    long double reachCeiling_ = 1; // the share easing may give back, lowered for good
    long double lastGap_ = 0;
    long double bestGap_ = 0; // smallest gap since the move was last shortened for a stall
};

// A final amount: to the nearest 0.001 t, halves to even.
long double RoundAmount(long double amount);

} // namespace ferrolyt
