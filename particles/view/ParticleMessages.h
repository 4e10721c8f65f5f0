#pragma once
// Message boxes of the particle windows. They keep their own captions (the
// model's "Radudiz Adazuz", the control window's title), so they do not go
// through the engine's host. A hook, when set, receives each box instead of
// it being shown, so that tests never block on a modal box.

#include <QString>

#include <functional>

class QWidget;

namespace ferrolyt::particles {

using ParticleMessageHook = std::function<void(const QString& caption, const QString& text)>;
void SetParticleMessageHook(ParticleMessageHook hook);

// A warning box; safe to call from any thread (another thread's box is
// shown later on the GUI thread without waiting for it).
void ShowParticleMessage(QWidget* parent, const QString& caption, const QString& text);

} // namespace ferrolyt::particles
