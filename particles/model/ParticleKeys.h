#pragma once
// The one-key commands of the particle view. The key (upper-cased) picks a
// command; the commands that only change the model are carried out here,
// the rest (full screen, closing, the charts, the scenery, the loop without
// drawing) are handed back to the window.

#include "ParticleModel.h"

namespace ferrolyt::particles {

enum class TKeyCommand {
    None,
    NormalScreen,     // Enter, Space, N
    Escape,           // leave full screen, else close
    Accelerate,       // + or =
    Decelerate,       // -
    BeginMeasure,     // B
    Charts,           // C
    EnsembleNVE,      // E
    EnsembleNVK,      // K
    EnsembleNoI,      // R
    EnsembleNVT,      // T
    FullScreen,       // F
    Gravity,          // G
    PlaneXY,          // H
    PlaneXZ,          // V
    LessBalls,        // L
    MoreBalls,        // M
    Periodic,         // P
    Restart,          // S
    Scenery,          // W
    NoGraphics,       // X
};

// The command of a typed character (letters in either case; Cyrillic
// letters and other characters give None).
TKeyCommand KeyCommandFor(char32_t key);

enum class TKeyResult {
    Done,       // the model has taken the command
    Refused,    // the command could not apply (no room, no kT for NVT, box too small)
    ForWindow,  // the window carries it out
};

// Carries out the model part of a command; afterwards InteractionOn
// follows the ensemble, whatever the key.
TKeyResult ApplyKeyCommand(ParticleModel& model, TKeyCommand command);

} // namespace ferrolyt::particles
