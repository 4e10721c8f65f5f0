// Timing of the property routines the equilibrium solver calls at every
// evaluation, on a melt-sized system of 15 elements and 40 gas species.

#include "../tests/engine/support/SmallSystems.h"

#include <benchmark/benchmark.h>

using namespace ferrolyt;

namespace {

void BM_CalcGasEquilibrium(benchmark::State& state)
{
    TThSys& sys = test::BuildSynthetic(15, 40);
    for (auto _ : state) {
        sys.CalcGasEquilibrium();
        benchmark::DoNotOptimize(sys.GasElementSum);
    }
}
BENCHMARK(BM_CalcGasEquilibrium);

// Every call at a new temperature: the interaction tables are rebuilt.
void BM_CalcGasEquilibriumNewTemperature(benchmark::State& state)
{
    TThSys& sys = test::BuildSynthetic(15, 40);
    long double t = 1873.15L;
    for (auto _ : state) {
        t += 1e-6L;
        sys.Temperature = t;
        sys.CalcGasEquilibrium();
        benchmark::DoNotOptimize(sys.GasElementSum);
    }
}
BENCHMARK(BM_CalcGasEquilibriumNewTemperature);

void BM_HeatBalance(benchmark::State& state)
{
    TThSys& sys = test::BuildSynthetic(15, 40);
    THeatBlock block;
    for (auto _ : state) {
        sys.HeatBalance(block, false, false);
        benchmark::DoNotOptimize(block.H[phTotal]);
    }
}
BENCHMARK(BM_HeatBalance);

void BM_HeatBalanceNewTemperature(benchmark::State& state)
{
    TThSys& sys = test::BuildSynthetic(15, 40);
    THeatBlock block;
    long double t = 1873.15L;
    for (auto _ : state) {
        t += 1e-6L;
        sys.Temperature = t;
        sys.HeatBalance(block, false, false);
        benchmark::DoNotOptimize(block.H[phTotal]);
    }
}
BENCHMARK(BM_HeatBalanceNewTemperature);

} // namespace
