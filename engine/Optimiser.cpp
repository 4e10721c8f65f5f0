#include "Optimiser.h"

#include "Constraints.h"
#include "ForwardProblem.h"
#include "Host.h"
#include "Model.h"
#include "Settings.h"
#include "SimplexLP.h"
#include "TaskList.h"
#include "ThSys.h"

#include <algorithm>
#include <cfenv>
#include <cmath>

namespace ferrolyt {

long double OptimiserTolerance() { return Settings.AccurateOptimisation ? 1e-7L : 1e-5L; }

long double RelaxationWeight(int32_t pass, long double r)
{
    if (pass == 1)
        return 0;
    return std::min(10.0L, std::max(0.33L, 3 * r));
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

bool RelaxAndTest(long double tolerance)
{
    long double squares = 0;
    long double lpTotal = 0;
    for (int j = 1; j <= MaterialCount; ++j) {
        const TMaterialRecord& m = MaterialTable[j];
        const long double d = m.LpAmount - m.Amount;
        squares += d * d;
        lpTotal += m.LpAmount;
    }
    const long double r = std::sqrt(squares) / (1e-6L + lpTotal);
    const long double w = RelaxationWeight(SlpPass, r);
    ChargeTotal = 0;
    for (int j = 1; j <= MaterialCount; ++j) {
        TMaterialRecord& m = MaterialTable[j];
        m.Amount = (m.LpAmount + w * m.Amount) / (w + 1);
        if (m.Amount < NegligibleAmount)
            m.Amount = 0;
        ChargeTotal += m.Amount;
    }
    return r < tolerance * SlpPass;
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

    const TLiftedAbsence lifted = LiftAbsence(released);
    const bool fromTargets = Settings.AutoInitialEstimate;
    if (fromTargets)
        InitialEstimateFromTargets();
    else
        InitialChargeFromTask();
    const long double tolerance = OptimiserTolerance();
    SlpPass = 0;

    int32_t status = lpNotMet;
    for (;;) {
        SolveBothSystems(SlpPass % 10 == 0, fromTargets && SlpPass == 0);
        BuildLinearRows();
        status = SolveLP(released);
        ++SlpPass;
        if (SlpPass > MaxSlpPasses)
            status = lpNotMet;
        CurrentHost().ProcessMessages();
        if (status == lpNotMet)
            break;
        if (RelaxAndTest(tolerance) || StopRequested)
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
