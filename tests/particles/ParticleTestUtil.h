#pragma once
// Helpers of the particle tests: models made on the heap with fixed seeds,
// warnings recorded instead of printed, and temporary folders.

#include "ParticleFiles.h"
#include "ParticleModel.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>
#include <memory>
#include <string>
#include <vector>

namespace ferrolyt::particles::testing {

struct Model {
    std::unique_ptr<ParticleModel> m = std::make_unique<ParticleModel>();
    std::vector<std::string> messages;

    Model()
    {
        m->SetMessageSink([this](const std::string&, const std::string& text) { messages.push_back(text); });
        m->Seed(12345);
    }
    ParticleModel* operator->() { return m.get(); }
    ParticleModel& operator*() { return *m; }
};

// One type (others empty), radius R, mass 1, cubic box of half-length L.
inline void OneType(ParticleModel& m, int n, double R, double L)
{
    for (int t = 1; t <= 3; ++t) {
        m.BallTypes[t] = TBallTypeRecord{};
        m.BallTypes[t].Radius = R;
        m.BallTypes[t].N = 0;
    }
    m.BallTypes[1].N = n;
    m.BoxL = {L, L, L};
}

// The soft regime that stays finite: radius 1.3, kT 0.005, a sparse walled box.
inline void SoftGas(ParticleModel& m, TEnsemble ensemble)
{
    for (int t = 1; t <= 3; ++t) {
        m.BallTypes[t] = TBallTypeRecord{};
        m.BallTypes[t].Radius = 1.3;
        m.BallTypes[t].Mass = t;
    }
    m.BallTypes[1].N = 20;
    m.BallTypes[2].N = 10;
    m.BallTypes[3].N = 0;
    m.BoxL = {10, 10, 10};
    m.Ensemble = ensemble;
    m.SysT = 0.005;
}

// Sets the model up, lets it settle, and gathers fresh statistics.
inline void Measure(ParticleModel& m, int settle, int frames)
{
    ASSERT_TRUE(m.SetupParticles());
    for (int f = 0; f < settle + frames; ++f) {
        if (f == settle)
            m.ResetStatistics();
        ASSERT_TRUE(m.DoSteps()) << "frame " << f;
    }
}

// The control window as it first shows: radius 0.5 and 10 particles of
// each type, box 3 x 3 x 5, no interaction, with the energy grid's cells 0.
inline ParticleParams ControlDefaults()
{
    ParticleParams p;
    for (auto& row : p.Eps)
        row.fill("0");
    return p;
}

class TempDir {
public:
    TempDir()
    {
        static int counter = 0;
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::filesystem::temp_directory_path() /
                ("ferrolyt_particles_" + std::to_string(::getpid()) + "_" + info->name() + "_" +
                 std::to_string(counter++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline bool Sanitized()
{
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#else
    return false;
#endif
#else
    return false;
#endif
}

} // namespace ferrolyt::particles::testing
