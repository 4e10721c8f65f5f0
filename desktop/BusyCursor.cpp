#include "BusyCursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace ferrolyt {

TBusyCursor::TBusyCursor()
{
    // Without a GUI application (the command-line runs) there is no cursor.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return;
    QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
    shown_ = true;
}

TBusyCursor::~TBusyCursor()
{
    if (shown_ && qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        QGuiApplication::restoreOverrideCursor();
}

} // namespace ferrolyt
