// Frames of physics per second of the particle model: N = 100, 500 and 1241
// in each ensemble, as the 3D window runs it (histograms on, 10 steps a
// frame), with the threads of all cores and with one thread.
// The soft ensembles run in the regime where the pair potential stays
// finite (radius 1.3, kT 0.005); NVE takes the energy of a frame at that kT
// (its start's potential energy alone is far above 3/2 N kT). Hard spheres
// fill a tenth of the box.
#include "ParticleModel.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

using namespace ferrolyt::particles;

namespace {

void Frames(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const auto ensemble = static_cast<TEnsemble>(state.range(1));
    const bool fast = state.range(2) != 0;
    const int threads = static_cast<int>(state.range(3));
    auto m = std::make_unique<ParticleModel>();
    m->SetMessageSink([](const std::string&, const std::string&) {});
    m->Seed(1);
    m->SetKernel(fast ? ParticleModel::Kernel::Fast : ParticleModel::Kernel::Reference);
    m->SetThreadCount(threads);
    const bool hard = ensemble == TEnsemble::NoI;
    const double R = hard ? 0.5 : 1.3;
    // Hard spheres: packing fraction 0.1; soft: 0.005 particles per unit
    // volume, near the shipped soft examples (denser walled soft gases
    // squeeze pairs through the barrier of the potential).
    const double volume = hard ? n * (4.0 / 3.0 * 3.14159265358979 * R * R * R) / 0.1 : n / 0.005;
    const double L = 0.5 * std::cbrt(volume);
    for (int t = 1; t <= 3; ++t) {
        m->BallTypes[t].Radius = R;
        m->BallTypes[t].Mass = t;
        m->BallTypes[t].N = 0;
    }
    m->BallTypes[1].N = n - n / 3;
    m->BallTypes[2].N = n / 3;
    m->BoxL = {L, L, L};
    m->Ensemble = ensemble == TEnsemble::NVE ? TEnsemble::NVK : ensemble;
    m->SysT = 0.005;
    if (!m->SetupParticles()) {
        state.SkipWithError("set-up failed");
        return;
    }
    // NVE starts once the lattice's potential energy has relaxed at that kT.
    for (int f = 0; f < (ensemble == TEnsemble::NVE ? 300 : 5); ++f)
        m->DoSteps();
    if (ensemble == TEnsemble::NVE && !m->SetEnsemble(TEnsemble::NVE)) {
        state.SkipWithError("no switch to NVE");
        return;
    }
    std::int64_t frames = 0;
    for (auto _ : state) {
        if (!m->DoSteps()) {
            state.SkipWithError("the model halted");
            break;
        }
        ++frames;
    }
    state.counters["fps"] = benchmark::Counter(double(frames), benchmark::Counter::kIsRate);
    state.counters["threads"] = m->ThreadCount();
    state.SetLabel(std::string(EnsembleNames[static_cast<int>(ensemble)]) + (fast ? " fast" : " plain"));
}

// Arguments: N, ensemble, fast kernel (1) or plain loop (0), threads (0: one per core).
void Args(benchmark::internal::Benchmark* b)
{
    for (int n : {100, 500, 1241})
        for (int e = 0; e < 4; ++e)
            b->Args({n, e, 1, 0});
    for (int n : {100, 500, 1241})
        for (int e = 0; e < 4; ++e)
            b->Args({n, e, 1, 1});
    // The plain loop, for comparison, at the largest size only.
    b->Args({1241, 0, 0, 1});
    b->Args({1241, 2, 0, 1});
}

} // namespace

BENCHMARK(Frames)->Apply(Args)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
