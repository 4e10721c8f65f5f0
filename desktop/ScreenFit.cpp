#include "ScreenFit.h"

#include <QApplication>
#include <QEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace ferrolyt {

QRect FitInside(const QRect& frame, const QRect& area)
{
    QRect fitted(frame.topLeft(), QSize(std::min(frame.width(), area.width()), std::min(frame.height(), area.height())));
    fitted.moveLeft(std::clamp(fitted.left(), area.left(), area.right() - fitted.width() + 1));
    fitted.moveTop(std::clamp(fitted.top(), area.top(), area.bottom() - fitted.height() + 1));
    return fitted;
}

namespace {

// Set on a window once it has been placed for its first showing.
constexpr char PlacedProperty[] = "ferrolytPlaced";

QMargins FrameOf(const QWidget& window)
{
    if (window.windowFlags().testFlag(Qt::FramelessWindowHint))
        return {};
    const QWindow* handle = window.windowHandle();
    const QMargins known = handle ? handle->frameMargins() : QMargins();
    return known.isNull() ? AssumedFrame : known;
}

} // namespace

void FitToScreen(QWidget& window)
{
    if (!window.isWindow() || window.isFullScreen() || window.isMaximized())
        return;
    const QWidget* owner = window.parentWidget() ? window.parentWidget()->window() : nullptr;
    const bool first = !window.property(PlacedProperty).toBool();
    window.setProperty(PlacedProperty, true);
    QScreen* screen = first && owner && owner->isVisible() ? owner->screen() : window.screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QMargins margins = FrameOf(window);
    QRect frame = window.geometry().marginsAdded(margins);
    if (first && !window.testAttribute(Qt::WA_Moved)) {
        const bool onOwner = owner && owner->isVisible() && owner != &window;
        frame.moveCenter(onOwner ? owner->frameGeometry().center() : area.center());
    }
    const QRect fitted = FitInside(frame, area).marginsRemoved(margins);
    if (fitted != window.geometry())
        window.setGeometry(fitted);
}

namespace {

class TScreenKeeper : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto& widget = static_cast<QWidget&>(*watched);
            const Qt::WindowType type = widget.windowType();
            if (widget.isWindow() && (type == Qt::Window || type == Qt::Dialog || type == Qt::Tool))
                FitToScreen(widget);
        }
        return false;
    }
};

} // namespace

void KeepWindowsOnScreen()
{
    static constexpr char Name[] = "ferrolytScreenKeeper";
    auto* app = QCoreApplication::instance();
    if (!app || app->findChild<QObject*>(Name, Qt::FindDirectChildrenOnly))
        return;
    auto* keeper = new TScreenKeeper(app);
    keeper->setObjectName(Name);
    app->installEventFilter(keeper);
}

} // namespace ferrolyt
