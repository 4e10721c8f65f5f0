#include "ParticleKeys.h"

namespace ferrolyt::particles {

TKeyCommand KeyCommandFor(char32_t key)
{
    if (key >= U'a' && key <= U'z')
        key = key - U'a' + U'A';
    switch (key) {
    case U'\r':
    case U'\n':
    case U' ':
    case U'N': return TKeyCommand::NormalScreen;
    case 27: return TKeyCommand::Escape;
    case U'+':
    case U'=': return TKeyCommand::Accelerate;
    case U'-': return TKeyCommand::Decelerate;
    case U'B': return TKeyCommand::BeginMeasure;
    case U'C': return TKeyCommand::Charts;
    case U'E': return TKeyCommand::EnsembleNVE;
    case U'K': return TKeyCommand::EnsembleNVK;
    case U'R': return TKeyCommand::EnsembleNoI;
    case U'T': return TKeyCommand::EnsembleNVT;
    case U'F': return TKeyCommand::FullScreen;
    case U'G': return TKeyCommand::Gravity;
    case U'H': return TKeyCommand::PlaneXY;
    case U'V': return TKeyCommand::PlaneXZ;
    case U'L': return TKeyCommand::LessBalls;
    case U'M': return TKeyCommand::MoreBalls;
    case U'P': return TKeyCommand::Periodic;
    case U'S': return TKeyCommand::Restart;
    case U'W': return TKeyCommand::Scenery;
    case U'X': return TKeyCommand::NoGraphics;
    default: return TKeyCommand::None;
    }
}

namespace {

TKeyResult Apply(ParticleModel& m, TKeyCommand command)
{
    switch (command) {
    case TKeyCommand::Accelerate: m.Accelerate(); return TKeyResult::Done;
    case TKeyCommand::Decelerate: m.Decelerate(); return TKeyResult::Done;
    case TKeyCommand::BeginMeasure: m.ResetStatistics(); return TKeyResult::Done;
    case TKeyCommand::EnsembleNVE: return m.SetEnsemble(TEnsemble::NVE) ? TKeyResult::Done : TKeyResult::Refused;
    case TKeyCommand::EnsembleNVK: return m.SetEnsemble(TEnsemble::NVK) ? TKeyResult::Done : TKeyResult::Refused;
    case TKeyCommand::EnsembleNoI: return m.SetEnsemble(TEnsemble::NoI) ? TKeyResult::Done : TKeyResult::Refused;
    case TKeyCommand::EnsembleNVT: return m.SetEnsemble(TEnsemble::NVT) ? TKeyResult::Done : TKeyResult::Refused;
    case TKeyCommand::Gravity: m.ToggleGravity(); return TKeyResult::Done;
    case TKeyCommand::PlaneXY: m.FlattenToXY(); return TKeyResult::Done;
    case TKeyCommand::PlaneXZ: m.FlattenToXZ(); return TKeyResult::Done;
    case TKeyCommand::LessBalls: return m.RemoveLastParticle() ? TKeyResult::Done : TKeyResult::Refused;
    case TKeyCommand::MoreBalls: return m.AddParticle() ? TKeyResult::Done : TKeyResult::Refused;
    case TKeyCommand::Periodic: m.Periodic = !m.Periodic; return TKeyResult::Done;
    case TKeyCommand::Restart: return m.SetupParticles() ? TKeyResult::Done : TKeyResult::Refused;
    case TKeyCommand::None: return TKeyResult::Refused;
    default: return TKeyResult::ForWindow;
    }
}

} // namespace

TKeyResult ApplyKeyCommand(ParticleModel& model, TKeyCommand command)
{
    const TKeyResult result = Apply(model, command);
    model.InteractionOn = model.Ensemble != TEnsemble::NoI;
    return result;
}

} // namespace ferrolyt::particles
