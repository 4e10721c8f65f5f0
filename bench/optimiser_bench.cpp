// Cost optimisations of the shipped sample project's tasks, as the start
// button runs them: the task's set-up, the constraint blocks and whole runs
// of sequential linear programming over both systems, with the heat balance
// off and on; and the scan of the scrap-only task's alternatives.

#include "Constraints.h"
#include "Optimiser.h"
#include "RunState.h"
#include "SampleBenchSupport.h"
#include "SimplexLP.h"
#include "SystemSetup.h"

#include <benchmark/benchmark.h>

#include <algorithm>

using namespace ferrolyt;

namespace {

// Sets up the task for F10: false when it has no constraint blocks.
bool PrepareTask(int task)
{
    TaskList.Current = task;
    PrepareSystems();
    if (!BuildConstraintBlocks())
        return false;
    // As the window's busy state does: a run stops early only on request.
    CalcBusy = true;
    StopRequested = false;
    return true;
}

void OptimiseSampleTask(benchmark::State& state)
{
    if (!bench::LoadSampleProject(state))
        return;
    const bench::FinalTempModeFromArg mode(state);
    const int task = static_cast<int>(state.range(1));
    if (task >= TaskList.Count) {
        state.SkipWithError("the sample project has fewer tasks");
        return;
    }
    int32_t status = 0;
    for (auto _ : state) {
        if (!PrepareTask(task)) {
            state.SkipWithError("the task has no constraint blocks");
            break;
        }
        status = Optimise(-1);
        benchmark::DoNotOptimize(LpTableau[0][0]);
    }
    CalcBusy = false;
    state.SetLabel(TaskList.Items[static_cast<std::size_t>(task + 1)].Name);
    state.counters["passes"] = SlpPass;
    state.counters["status"] = status;
    state.counters["cost"] = static_cast<double>(ChargeCost());
}
BENCHMARK(OptimiseSampleTask)
    ->ArgsProduct({{0, 1}, {0, 1, 2, 3}})
    ->ArgNames({"heat balance", "task"})
    ->Unit(benchmark::kMillisecond);

// F10 on the scrap-only task: the run as stated, then one run per block
// released, as the window scans the alternatives (it never stops early
// here: no released limit is met by its own charge). Every run melts its
// final charge for its verdict.
void ScanScrapOnlyAlternatives(benchmark::State& state)
{
    if (!bench::LoadSampleProject(state))
        return;
    const bench::FinalTempModeFromArg mode(state);
    int task = -1;
    for (int k = 0; k < TaskList.Count; ++k)
        if (TaskList.Items[static_cast<std::size_t>(k + 1)].Name.starts_with("Лише брухт"))
            task = k;
    if (task < 0) {
        state.SkipWithError("the sample project has no scrap-only task");
        return;
    }
    int alternatives = 0;
    int32_t mostPasses = 0;
    long double cheapest = 0;
    for (auto _ : state) {
        if (!PrepareTask(task)) {
            state.SkipWithError("the task has no constraint blocks");
            break;
        }
        alternatives = 0;
        mostPasses = 0;
        cheapest = 0;
        Optimise(-1);
        for (int k = 1; k <= ConstraintBlockCount; ++k) {
            // The window never offers to release a fixed amount.
            const TConstraintBlockRecord& block = ConstraintBlocks[k];
            if (block.Kind == ckFixedMass && MaterialTable[block.Index].Fixed > 0)
                continue;
            // A met run's charge has been melted and meets every limit but
            // the released one: the window lists it with its cost.
            if (Optimise(k) == lpMet) {
                ++alternatives;
                cheapest = alternatives == 1 ? ChargeCost() : std::min(cheapest, ChargeCost());
            }
            mostPasses = std::max(mostPasses, SlpPass);
        }
    }
    CalcBusy = false;
    state.counters["alternatives"] = alternatives;
    state.counters["most passes"] = mostPasses;
    state.counters["cheapest"] = static_cast<double>(cheapest);
}
BENCHMARK(ScanScrapOnlyAlternatives)->Arg(0)->Arg(1)->ArgName("heat balance")->Unit(benchmark::kMillisecond);

} // namespace
