// Timing of the equilibrium solver on a realistic charge: 15 elements, 40
// gas species and 20 materials, one system's solve and the whole forward
// problem (both systems, as the melt command runs it).

#include "ForwardProblem.h"
#include "Model.h"
#include "RunState.h"
#include "Settings.h"
#include "TaskList.h"
#include "ThSys.h"

#include "../tests/engine/support/SmallSystems.h"

#include <benchmark/benchmark.h>

namespace {

using namespace ferrolyt;
using namespace ferrolyt::test;

constexpr int Elements = 15;
constexpr int Species = 40;
constexpr int Materials = 20;

// The synthetic system with 20 materials: metal-forming ones rich in the
// first element, slag-forming oxide mixtures and one gas, all molten.
void BuildCharge()
{
    BuildSynthetic(Elements, Species);
    for (int s = 0; s < 2; ++s) {
        TThSys& sys = *ThSystems[static_cast<std::size_t>(s)];
        for (int i = 0; i <= SystemElemLast; ++i) {
            TElementRecord& e = sys.El(i);
            e.InputMetalMass = e.InputSlagMass = DivisorFloor;
            e.InputNmiMass = 0;
        }
        sys.Temperature = sys.InitialTemperature = 1873.15L;
    }
    MaterialCount = Materials;
    for (int j = 1; j <= Materials; ++j) {
        TMaterialRecord& m = MaterialTable[j];
        m = ZeroMaterialRecord();
        m.Name = "M" + std::to_string(j);
        m.Type = j <= 12 ? mtMetal : (j <= 19 ? mtSlag : mtGas);
        m.Amount = m.Type == mtMetal ? 0.1L : (m.Type == mtSlag ? 0.01L : 0.001L);
        m.Temperature = 1600;
        m.Molten = true;
        for (int t = 0; t < 2; ++t) {
            TCompositionTable& table = t == 0 ? CompositionMin : CompositionMax;
            float sum = 0, perMolar = 0;
            for (int i = 0; i < Elements; ++i) {
                float f = 0;
                if (m.Type == mtMetal)
                    f = i == 0 ? 0.9f : ((i + j) % 4 == 0 ? 0.01f : 0.001f);
                else if (m.Type == mtSlag)
                    f = ((i + j) % 3 == 0) ? 0.2f : 0.01f;
                else
                    f = i % 5 == 1 ? 0.5f : 0.0f;
                f *= t == 0 ? 0.98f : 1.02f;
                table[static_cast<std::size_t>(i + 1)][j] = f;
                sum += f;
                perMolar += f / static_cast<float>(ThSystems[0]->El(i).MolarMass);
            }
            (void)sum;
            table[0][j] = perMolar;
        }
    }
    for (int p = 0; p < 3; ++p) {
        TMaterialRecord& pseudo = MaterialTable[Materials + 1 + p];
        pseudo = ZeroMaterialRecord();
        pseudo.Type = static_cast<uint8_t>(mtMetal + p);
    }
    for (int s = 0; s < 2; ++s) {
        TThSys& sys = *ThSystems[static_cast<std::size_t>(s)];
        sys.CalcStandardGibbs();
        sys.InitAmounts();
        sys.CalcMaterialHeats(s == 0 ? CompositionMin : CompositionMax, false);
    }
    Settings.FinalTempMode = 1;
}

void BM_SolveOneSystem(benchmark::State& state)
{
    BuildCharge();
    TThSys& sys = *ThSystems[0];
    bool ok = true;
    for (auto _ : state) {
        sys.Temperature = 1873.15L;
        ok = sys.SolveEquilibrium(MaterialEffectsOnMetal[0], MaterialEffectsOnSlag[0], CompositionMin,
                                  ElementEffectsOnMetal[0], ElementEffectsOnSlag[0], false, false, false, false) &&
            ok;
        benchmark::DoNotOptimize(sys.Temperature);
    }
    state.counters["passes"] = SolverPass;
    state.counters["converged"] = ok ? 1 : 0;
}
BENCHMARK(BM_SolveOneSystem)->Unit(benchmark::kMillisecond);

void BM_ForwardProblem(benchmark::State& state)
{
    BuildCharge();
    SuppressConvergenceWarning = true;
    bool ok = true;
    for (auto _ : state) {
        ThSystems[0]->Temperature = ThSystems[1]->Temperature = 1873.15L;
        ok = SolveForwardProblem().BothConverged && ok;
        benchmark::DoNotOptimize(ThSystems[1]->Temperature);
    }
    state.counters["converged"] = ok ? 1 : 0;
}
BENCHMARK(BM_ForwardProblem)->Unit(benchmark::kMillisecond);

} // namespace
