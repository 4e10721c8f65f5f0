#include "LaterWarning.h"

#include "Utils.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <set>

namespace {
std::set<std::string>& Waiting()
{
    static std::set<std::string> texts;
    return texts;
}
} // namespace

void WarnWhenIdle(const std::string& text)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        ferrolyt::ShowWarning(text); // no event loop to come back to
        return;
    }
    if (!Waiting().insert(text).second)
        return;
    QMetaObject::invokeMethod(
        app,
        [text] {
            ferrolyt::ShowWarning(text);
            Waiting().erase(text);
        },
        Qt::QueuedConnection);
}
