#include "ParticleMessages.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <QWidget>

#include <mutex>

namespace ferrolyt::particles {

namespace {

std::mutex hookMutex;
ParticleMessageHook& Hook()
{
    static ParticleMessageHook hook;
    return hook;
}

void ShowNow(QWidget* parent, const QString& caption, const QString& text)
{
    ParticleMessageHook hook;
    {
        std::lock_guard lock(hookMutex);
        hook = Hook();
    }
    if (hook) {
        hook(caption, text);
        return;
    }
    QMessageBox::warning(parent, caption, text);
}

} // namespace

void SetParticleMessageHook(ParticleMessageHook hook)
{
    std::lock_guard lock(hookMutex);
    Hook() = std::move(hook);
}

void ShowParticleMessage(QWidget* parent, const QString& caption, const QString& text)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        ShowNow(parent, caption, text);
        return;
    }
    QPointer<QWidget> guard(parent);
    QMetaObject::invokeMethod(
        app, [guard, caption, text] { ShowNow(guard.data(), caption, text); }, Qt::QueuedConnection);
}

} // namespace ferrolyt::particles
