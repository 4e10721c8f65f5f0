// Timing of one melt of the shipped sample project's EAF task: the set-up of
// both systems from the task and their two solves, as the melt command runs
// them, without and with the heat balance.

#include "ForwardProblem.h"
#include "SampleBenchSupport.h"

#include <benchmark/benchmark.h>

namespace {

using namespace ferrolyt;

void MeltSampleEaf(benchmark::State& state)
{
    if (!bench::LoadSampleProject(state))
        return;
    const bench::FinalTempModeFromArg mode(state);
    int32_t passes = 0;
    for (auto _ : state) {
        const TForwardResult result = MeltForward();
        benchmark::DoNotOptimize(result);
        passes = result.LowerPasses + result.UpperPasses;
        if (!result.BothConverged) {
            state.SkipWithError("the sample EAF task did not converge");
            break;
        }
    }
    state.counters["solver passes"] = passes;
}
BENCHMARK(MeltSampleEaf)->Arg(0)->Arg(1)->ArgName("heat balance")->Unit(benchmark::kMillisecond);

} // namespace
