// Timing of one melt of the shipped sample project's EAF task: the set-up of
// both systems from the task and their two solves, as the melt command runs
// them, without and with the heat balance.

#include "ForwardProblem.h"
#include "Model.h"
#include "Project.h"
#include "RunState.h"
#include "Settings.h"
#include "TaskList.h"

#include <benchmark/benchmark.h>

#include <filesystem>

namespace {

using namespace ferrolyt;

// Loads the sample project into a fresh model once per run; the loader
// moves into the project's folder, so the current folder is put back.
bool LoadSample()
{
    const std::filesystem::path cwd = std::filesystem::current_path();
    ResetModel();
    const bool loaded = LoadProject((std::filesystem::path(FERROLYT_DATA) / "FERROLYT.FWP").string());
    std::filesystem::current_path(cwd);
    return loaded && TaskList.Current == 0;
}

void MeltSampleEaf(benchmark::State& state)
{
    if (!LoadSample()) {
        state.SkipWithError("the sample project did not load");
        return;
    }
    const uint8_t savedMode = Settings.FinalTempMode;
    Settings.FinalTempMode = static_cast<uint8_t>(state.range(0));
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
    Settings.FinalTempMode = savedMode;
}
BENCHMARK(MeltSampleEaf)->Arg(0)->Arg(1)->ArgName("heat balance")->Unit(benchmark::kMillisecond);

} // namespace
