#include "ForwardProblem.h"

#include "Model.h"
#include "SystemSetup.h"
#include "ThSys.h"
#include "Utils.h"

namespace ferrolyt {

TForwardResult SolveForwardProblem()
{
    CreateSystems();
    TForwardResult result;
    result.LowerConverged =
        ThSystems[0]->SolveEquilibrium(MaterialEffectsOnMetal[0], MaterialEffectsOnSlag[0], CompositionMin,
                                       ElementEffectsOnMetal[0], ElementEffectsOnSlag[0], true, false, false, false);
    result.LowerPasses = SolverPass;
    result.UpperConverged =
        ThSystems[1]->SolveEquilibrium(MaterialEffectsOnMetal[1], MaterialEffectsOnSlag[1], CompositionMax,
                                       ElementEffectsOnMetal[1], ElementEffectsOnSlag[1], true, false, false, false);
    result.UpperPasses = SolverPass;
    result.StopCounter = PerfCounter();
    result.BothConverged = result.LowerConverged && result.UpperConverged;
    BothConverged = result.BothConverged;
    if (!BothConverged && !SuppressConvergenceWarning)
        ShowWarning("Збіжність прямої задачі не досягнуто");
    return result;
}

TForwardResult MeltForward()
{
    CalcStartCounter = PerfCounter();
    SlpPass = 0;
    PrepareSystems();
    return SolveForwardProblem();
}

} // namespace ferrolyt
