#include "Optimiser.h"

#include "Constraints.h"
#include "ForwardProblem.h"
#include "Host.h"
#include "Model.h"
#include "Settings.h"
#include "SimplexLP.h"
#include "SystemSetup.h"
#include "TaskList.h"
#include "ThSys.h"

#include <algorithm>
#include <cfenv>
#include <cmath>

namespace ferrolyt {

long double OptimiserTolerance() { return Settings.AccurateOptimisation ? 1e-7L : 1e-5L; }

long double RelaxationWeight(int32_t pass, long double r, long double floor)
{
    if (pass == 1)
        return 0;
    return std::min(MaxRelaxationWeight, std::max(floor, 3 * r));
}

long double RoundAmount(long double amount)
{
    // Ties to even is the default rounding mode; set it in case a caller
    // changed it.
    const int mode = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const long double rounded = std::nearbyint(amount * 1000) / 1000;
    std::fesetround(mode);
    return rounded;
}

namespace {

long double Settled(long double amount) { return amount < NegligibleAmount ? 0 : amount; }

} // namespace

bool TRelaxation::Step(long double tolerance)
{
    long double squares = 0;
    long double lpTotal = 0;
    long double turn = 0; // the move against the previous one
    long double lastSquares = 0;
    const int columns = std::min(MaterialCount, LpMaxColumns);
    for (int j = 1; j <= MaterialCount; ++j) {
        const TMaterialRecord& m = MaterialTable[j];
        const long double d = m.LpAmount - m.Amount;
        squares += d * d;
        lpTotal += m.LpAmount;
        if (j <= columns) {
            auto& last = lastMove_[static_cast<std::size_t>(j)];
            turn += d * last;
            lastSquares += last * last;
            last = d;
        }
    }
    const long double r = std::sqrt(squares) / (1e-6L + lpTotal);
    if (SlpPass > 1 && turn < 0) {
        // At the highest weight a swing that goes on is a jump of the rows
        // between two vertices: only shorter moves end it.
        if (floor_ >= MaxRelaxationWeight) {
            reach_ /= 2;
            reachCeiling_ = reach_;
        }
        floor_ = std::min(MaxRelaxationWeight, 2 * floor_);
    }
    if (SlpPass > 1)
        Adapt(r, turn > ApproachCosine * std::sqrt(squares * lastSquares));
    else
        bestGap_ = r;
    lastGap_ = r;
    const long double w = RelaxationWeight(SlpPass, r, floor_);
    ChargeTotal = 0;
    for (int j = 1; j <= MaterialCount; ++j) {
        TMaterialRecord& m = MaterialTable[j];
        if (j <= columns)
            before_[static_cast<std::size_t>(j)] = m.Amount;
        m.Amount = Settled(reach_ < 1 ? m.Amount + reach_ * (m.LpAmount - m.Amount) / (w + 1)
                                      : (m.LpAmount + w * m.Amount) / (w + 1));
        ChargeTotal += m.Amount;
    }
    moved_ = true;
    stepBacks_ = 0;
    // Shortened moves settle the charge between the vertices, where the
    // rows' answer still jumps: the run ends when those moves die out.
    const long double limit = tolerance * SlpPass;
    return r < limit || (reach_ < 1 && reach_ * r / (w + 1) < limit);
}

void TRelaxation::Adapt(long double r, bool sameWay)
{
    // Passes that keep the direction and close the gap are held back by
    // damping an earlier swing or step-back left behind: it is given back
    // step by step, first the share of the move, then the weight.
    approaching_ = sameWay && r < lastGap_ ? approaching_ + 1 : 0;
    if (approaching_ >= ApproachPasses) {
        approaching_ = 0;
        if (reach_ < reachCeiling_)
            reach_ = std::min(reachCeiling_, 2 * reach_);
        else
            floor_ = std::max(MinRelaxationWeight, floor_ / 2);
    }
    // A gap that stops closing is a creep or a swing among more than two
    // vertices, which neither the weight nor the turn test catches: the
    // share of the move is halved for good, so the shortened moves end the
    // run.
    if (r < StallProgress * bestGap_) {
        bestGap_ = r;
        stalled_ = 0;
    } else if (++stalled_ >= StallPasses) {
        stalled_ = 0;
        bestGap_ = r;
        reach_ /= 2;
        reachCeiling_ = reach_;
    }
}

bool TRelaxation::StepBack()
{
    if (!moved_ || stepBacks_ >= MaxStepBacks)
        return false;
    ++stepBacks_;
    floor_ = std::min(MaxRelaxationWeight, 2 * floor_);
    reach_ /= 2;
    ChargeTotal = 0;
    for (int j = 1; j <= std::min(MaterialCount, LpMaxColumns); ++j) {
        TMaterialRecord& m = MaterialTable[j];
        m.Amount = Settled((m.Amount + before_[static_cast<std::size_t>(j)]) / 2);
        ChargeTotal += m.Amount;
    }
    return true;
}

namespace {

bool IsSet(long double v) { return v != UnsetValue; }

// A released absence: the task material whose Fixed 0 mark is lifted for the
// run, and its table slot.
struct TLiftedAbsence {
    int TaskMaterial = 0;
    int Slot = 0;
};

TLiftedAbsence LiftAbsence(int32_t released)
{
    TLiftedAbsence lifted;
    if (released < 1 || released > ConstraintBlockCount || released > MaxConstraintBlocks)
        return lifted;
    const TConstraintBlockRecord& block = ConstraintBlocks[released];
    if (block.Kind != ckFixedMass || TaskList.Current < 0 || TaskList.Current >= TaskList.Count)
        return lifted;
    TTaskRecord& task = TaskList.CurrentTask();
    for (int k = 1; k <= task.NMat && k <= MaxTaskMaterials; ++k) {
        TMaterialRecord& tm = task.Materials[k];
        if (tm.TableIndex == block.Index && tm.Fixed == 0) {
            if (block.Index < 1 || block.Index > MaterialCount)
                break;
            tm.Fixed = UnsetValue;
            MaterialTable[block.Index].Fixed = UnsetValue;
            lifted.TaskMaterial = k;
            lifted.Slot = block.Index;
            break;
        }
    }
    return lifted;
}

void SolveBothSystems(bool display, bool fromTargets)
{
    for (int kind = 0; kind < 2; ++kind) {
        const auto k = static_cast<std::size_t>(kind);
        ThSystems[k]->SolveEquilibrium(MaterialEffectsOnMetal[k], MaterialEffectsOnSlag[k],
                                       kind == 0 ? CompositionMin : CompositionMax, ElementEffectsOnMetal[k],
                                       ElementEffectsOnSlag[k], display, false, fromTargets, false);
    }
}

} // namespace

int32_t Optimise(int32_t released)
{
    // Tasks that do not fit the tableau are refused when the blocks are
    // listed; never run on a table that was not.
    if (MaterialCount > LpMaxColumns || ConstraintBlockCount > MaxConstraintBlocks || LpRowCount > LpMaxRows ||
        !ThSystems[0] || !ThSystems[1])
        return lpNotMet;

    // Tables kept from an earlier run would be handed back where this run
    // computes them afresh, and the last bits of a pass steer which vertex
    // the rows pick: a run starts clean so it does not depend on the runs
    // before it.
    for (const auto& sys : ThSystems)
        if (sys)
            sys->InteractionTables.Clear();

    const TLiftedAbsence lifted = LiftAbsence(released);
    const bool fromTargets = Settings.AutoInitialEstimate;
    if (fromTargets)
        InitialEstimateFromTargets();
    else
        InitialChargeFromTask();
    const long double tolerance = OptimiserTolerance();
    SlpPass = 0;

    int32_t status = lpNotMet;
    TRelaxation relaxation;
    for (;;) {
        SolveBothSystems(SlpPass % 10 == 0, fromTargets && SlpPass == 0);
        BuildLinearRows();
        status = SolveLP(released);
        ++SlpPass;
        if (SlpPass > MaxSlpPasses)
            status = lpNotMet;
        CurrentHost().ProcessMessages();
        if (status == lpNotMet) {
            if (SlpPass <= MaxSlpPasses && !StopRequested && relaxation.StepBack())
                continue;
            break;
        }
        if (relaxation.Step(tolerance) || StopRequested)
            break;
    }

    // A charge whose heat balance ends with solid metal, or far above any
    // tapping temperature, meets no task.
    if (!HeatBalanceClosesInLiquid(*ThSystems[0]) || !HeatBalanceClosesInLiquid(*ThSystems[1]))
        status = lpNotMet;

    for (int j = 1; j <= MaterialCount; ++j) {
        TMaterialRecord& m = MaterialTable[j];
        m.Amount = IsSet(m.Fixed) ? m.Fixed : RoundAmount(m.Amount);
        m.LpAmount = status == lpNotMet ? 0 : m.Amount;
    }

    if (lifted.Slot > 0) {
        TaskList.CurrentTask().Materials[lifted.TaskMaterial].Fixed = 0;
        MaterialTable[lifted.Slot].Fixed = 0;
        if (MaterialTable[lifted.Slot].Amount == 0)
            status = lpNotMet;
    }
    return status;
}

} // namespace ferrolyt
