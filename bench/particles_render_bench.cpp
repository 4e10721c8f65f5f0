// Frames per second of the particle view with 1241 spheres on the platform's
// OpenGL (run it under Xvfb for the software renderer): the window runs as
// it does for the user, paced by its 20 ms frame clock (so at most 50 frames
// a second), each frame ten physics steps, the spheres and the composition;
// from the start position of the camera and from close to the spheres.
// Besides the rate, which a busy machine lowers, it gives the processor time
// per frame of the GUI thread (taking the spheres, submitting them,
// composing the window) and of all threads (with the physics and the
// renderer's rasterising threads), which depend less on the other load.
#include "FormGL.h"
#include "ParticleModel.h"

#include <QApplication>
#include <QTest>

#include <benchmark/benchmark.h>

#include <ctime>
#include <memory>

using namespace ferrolyt::particles;

namespace {

double CpuMs(clockid_t clock)
{
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) * 1e-6;
}

// 1241 spheres of the sample's three radii in the smallest cubic box.
std::unique_ptr<ParticleModel> BigModel()
{
    auto m = std::make_unique<ParticleModel>();
    m->SetMessageSink([](const std::string&, const std::string&) {});
    m->Seed(1);
    const double radius[4] = {0, 0.3, 0.4, 0.5};
    const int count[4] = {0, 621, 413, 207};
    for (int t = 1; t <= 3; ++t) {
        m->BallTypes[t].Radius = radius[t];
        m->BallTypes[t].Mass = t;
        m->BallTypes[t].N = count[t];
    }
    std::int64_t n = 1;
    while (LatticeSiteCount(TLattice::Cubic, n) < MaxBalls)
        ++n;
    const double L = double(n) * 0.5 * LatticeFactor(TLattice::Cubic);
    m->BoxL = {L, L, L};
    m->SysT = 0.01;
    return m;
}

void ViewFrames(benchmark::State& state)
{
    const int closer = static_cast<int>(state.range(0));  // camera steps forward
    auto* view = new TFormGL(BigModel());
    view->showNormal();
    view->resize(1024, 768);
    if (!QTest::qWaitForWindowExposed(view) || !view->ViewStarted()) {
        state.SkipWithError("no view");
        delete view;
        return;
    }
    for (int k = 0; k < closer; ++k)
        QTest::keyClick(view, Qt::Key_Up);
    QTest::qWait(500);
    const auto frames0 = view->TotalFrames();
    const double gui0 = CpuMs(CLOCK_THREAD_CPUTIME_ID), all0 = CpuMs(CLOCK_PROCESS_CPUTIME_ID);
    for (auto _ : state)
        QTest::qWait(1000);
    const double frames = double(view->TotalFrames() - frames0);
    state.counters["fps"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
    state.counters["gui_ms_per_frame"] = frames > 0 ? (CpuMs(CLOCK_THREAD_CPUTIME_ID) - gui0) / frames : 0;
    state.counters["all_ms_per_frame"] = frames > 0 ? (CpuMs(CLOCK_PROCESS_CPUTIME_ID) - all0) / frames : 0;
    state.SetLabel(closer ? "close" : "start position");
    delete view;
}

} // namespace

BENCHMARK(ViewFrames)->Arg(0)->Arg(12)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
