#pragma once
// The shipped sample project for the benchmarks that time whole tasks.

#include "Model.h"
#include "Project.h"
#include "Settings.h"
#include "TaskList.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>

namespace ferrolyt::bench {

// Loads the sample project into a fresh model; the loader moves into the
// project's folder, so the current folder is put back. True when it loaded
// with its first task current.
inline bool LoadSampleProject()
{
    const std::filesystem::path cwd = std::filesystem::current_path();
    ResetModel();
    const bool loaded = LoadProject((std::filesystem::path(FERROLYT_DATA) / "FERROLYT.FWP").string());
    std::filesystem::current_path(cwd);
    return loaded && TaskList.Current == 0;
}

// LoadSampleProject for a benchmark, which is skipped with an error when the
// project does not load.
inline bool LoadSampleProject(benchmark::State& state)
{
    if (LoadSampleProject())
        return true;
    state.SkipWithError("the sample project did not load");
    return false;
}

// The benchmark's argument as the final-temperature mode (0 without, 1 with
// the heat balance) for as long as the object lives.
class FinalTempModeFromArg {
public:
    explicit FinalTempModeFromArg(const benchmark::State& state) : saved_(Settings.FinalTempMode)
    {
        Settings.FinalTempMode = static_cast<uint8_t>(state.range(0));
    }
    ~FinalTempModeFromArg() { Settings.FinalTempMode = saved_; }
    FinalTempModeFromArg(const FinalTempModeFromArg&) = delete;
    FinalTempModeFromArg& operator=(const FinalTempModeFromArg&) = delete;

private:
    uint8_t saved_;
};

} // namespace ferrolyt::bench
