#pragma once
// Windows inside the screen: a window never opens larger than the screen's
// free area (the desktop without its panels) nor with a part outside it, on
// a laptop's 1366×768 as on a large screen.

#include <QMargins>
#include <QRect>

class QWidget;

namespace ferrolyt {

// The frame moved, and where it is larger than the area shrunk, so that it
// lies inside the area; a frame already inside comes back as it was.
QRect FitInside(const QRect& frame, const QRect& area);

// The frame a window manager draws around a window whose frame is not known
// yet: a title bar and thin borders.
inline constexpr QMargins AssumedFrame{4, 30, 4, 4};

// Fits the window's frame into the free area of its screen. The first time
// a window that nobody placed is shown, it is centred on the window that
// owns it (the screen when none does) before it is fitted. Full-screen and
// maximised windows are left to the window manager.
void FitToScreen(QWidget& window);

// From now on every window the application shows (main windows, dialogs,
// tool windows; not menus or tooltips) is fitted as it is shown. Call once
// the application object exists.
void KeepWindowsOnScreen();

} // namespace ferrolyt
