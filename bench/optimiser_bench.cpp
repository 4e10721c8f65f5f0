// The optimiser's linear programme: one dual simplex on a tableau of the
// size a large task builds (100 rows over 60 materials).

#include "Constraints.h"
#include "Model.h"
#include "SimplexLP.h"

#include <benchmark/benchmark.h>

#include <random>

using namespace ferrolyt;

namespace {

// Covering rows (every row needs some material) and material bounds, so
// that many exchanges are needed and the programme stays feasible.
TLpTableau MakeTableau(int rows, int columns)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> coef(0, 9);
    TLpTableau t{};
    for (int j = 1; j <= columns; ++j)
        t[0][j] = 1 + coef(rng);
    for (int r = 1; r <= rows; ++r) {
        if (r % 5 == 0) {
            t[r][(r / 5 - 1) % columns + 1] = 1;
            t[r][0] = 50;
            continue;
        }
        for (int j = 1; j <= columns; ++j)
            t[r][j] = coef(rng) < 4 ? -coef(rng) : 0;
        t[r][0] = -(5 + coef(rng));
    }
    return t;
}

void BM_SolveLP_100x60(benchmark::State& state)
{
    ResetModel();
    constexpr int rows = 100;
    constexpr int columns = 60;
    MaterialCount = columns;
    ConstraintBlockCount = 0;
    const TLpTableau start = MakeTableau(rows, columns);
    for (auto _ : state) {
        LpTableau = start;
        LpRowCount = rows;
        const int32_t status = SolveLP(0);
        if (status != lpMet) {
            state.SkipWithError("the benchmark's programme is not met");
            break;
        }
        benchmark::DoNotOptimize(LpTableau[0][0]);
    }
}
BENCHMARK(BM_SolveLP_100x60)->Unit(benchmark::kMicrosecond);

} // namespace

// ---------------------------------------------------------------------------
// One cost optimisation of the shipped sample project's EAF task, as the
// start button runs it: the task's set-up, the constraint blocks and the
// sequential linear programming over both systems.

#include "Optimiser.h"
#include "RunState.h"
#include "SampleBenchSupport.h"
#include "SystemSetup.h"

namespace {

void OptimiseSampleEaf(benchmark::State& state)
{
    if (!bench::LoadSampleProject(state))
        return;
    const bench::FinalTempModeFromArg mode(state);
    int32_t passes = 0;
    for (auto _ : state) {
        PrepareSystems();
        if (!BuildConstraintBlocks()) {
            state.SkipWithError("the sample EAF task has no constraint blocks");
            break;
        }
        CalcBusy = true;
        const int32_t status = Optimise(-1);
        CalcBusy = false;
        passes = SlpPass;
        if (status != lpMet) {
            state.SkipWithError("the sample EAF task has no cheapest charge");
            break;
        }
        benchmark::DoNotOptimize(LpTableau[0][0]);
    }
    state.counters["optimiser passes"] = passes;
}
BENCHMARK(OptimiseSampleEaf)->Arg(0)->Arg(1)->ArgName("heat balance")->Unit(benchmark::kMillisecond);

} // namespace
