#include "ForwardProblem.h"

#include "Host.h"
#include "Model.h"
#include "RunState.h"
#include "Settings.h"
#include "SystemSetup.h"
#include "ThSys.h"
#include "Utils.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <future>
#include <thread>

namespace ferrolyt {

namespace {
constexpr long double HottestMelt = 2000.0L + KelvinOffset;
// How often the window messages run while the caller waits for the lower
// system's solve.
constexpr std::chrono::milliseconds MessageInterval{10};
} // namespace

const std::string HeatBalanceOpenText =
    "Тепловий баланс не замикається в області рідкого металу: розрахована температура нижча за ліквідус "
    "або вища за 2000 °C. Перевірте енергію, втрати тепла та шихту";
const std::string HeatBalanceOpenStatus = " Тепловий баланс не замикається";

long double MetalLiquidus(const TThSys& sys)
{
    const int c = sys.Elems->Key(keyC);
    const long double carbon = c < 0 ? 0.0L : 100.0L * sys.El(c).MetalFraction;
    const long double celsius =
        carbon <= 0.53L ? 1538.0L - (1538.0L - 1495.0L) * carbon / 0.53L
                        : 1495.0L - (1495.0L - 1147.0L) * (std::min(carbon, 4.3L) - 0.53L) / (4.3L - 0.53L);
    return celsius + KelvinOffset;
}

bool HeatBalanceClosesInLiquid(const TThSys& sys)
{
    return Settings.FinalTempMode == 0 || (sys.Temperature >= MetalLiquidus(sys) && sys.Temperature <= HottestMelt);
}

std::array<TThSys::TSolveNotes, 2> SolveBoundSystems(bool display, bool fromGivenPhases)
{
    CreateSystems();
    std::atomic<bool> stop = false;
    std::array<TThSys::TSolveNotes, 2> notes;
    for (auto& n : notes)
        n.Stop = &stop;
    notes[1].OnCallersThread = true;
    const auto solve = [&](std::size_t k) {
        ThSystems[k]->SolveEquilibrium(MaterialEffectsOnMetal[k], MaterialEffectsOnSlag[k],
                                       k == 0 ? CompositionMin : CompositionMax, ElementEffectsOnMetal[k],
                                       ElementEffectsOnSlag[k], display, false, fromGivenPhases, false, &notes[k]);
    };
    std::exception_ptr lowerFailed;
    {
        std::promise<void> lowerDone;
        const std::future<void> lowerEnded = lowerDone.get_future();
        std::jthread lower([&] {
            try {
                solve(0);
            } catch (...) {
                lowerFailed = std::current_exception();
            }
            lowerDone.set_value();
        });
        solve(1);
        // The window stays responsive, and a stop reaches the lower solve,
        // while it runs on after the upper one.
        if (CalcBusy && SlpPass > 0)
            while (lowerEnded.wait_for(MessageInterval) != std::future_status::ready) {
                CurrentHost().ProcessMessages();
                if (StopRequested)
                    stop = true;
            }
    }
    if (lowerFailed)
        std::rethrow_exception(lowerFailed);
    for (std::size_t k = 0; k < 2; ++k)
        ThSystems[k]->PassOnSolve(notes[k], display, false);
    return notes;
}

TForwardResult SolveForwardProblem()
{
    TForwardResult result;
    const auto notes = SolveBoundSystems(true, false);
    result.LowerConverged = notes[0].Converged;
    result.LowerPasses = notes[0].Passes;
    result.UpperConverged = notes[1].Converged;
    result.UpperPasses = notes[1].Passes;
    result.StopCounter = PerfCounter();
    result.BothConverged = result.LowerConverged && result.UpperConverged;
    BothConverged = result.BothConverged;
    if (!BothConverged && !SuppressConvergenceWarning)
        ShowWarning("Збіжність прямої задачі не досягнуто");
    result.HeatBalanceCloses = HeatBalanceClosesInLiquid(*ThSystems[0]) && HeatBalanceClosesInLiquid(*ThSystems[1]);
    if (!result.HeatBalanceCloses && !SuppressConvergenceWarning)
        ShowWarning(HeatBalanceOpenText);
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
