#pragma once
// Where a window opens next to the window that opened it, so that the two
// do not cover each other where the screen has room for both.

#include <QRect>
#include <QSize>

namespace ferrolyt::particles {

// The frame of a window of the given frame size beside the owner's frame,
// inside the area (the screen without its panels): to the owner's right,
// else its left, below or above, on the first side with the most room. The
// window is made smaller, keeping its proportions down to `smallest` of its
// size, where that lets it stand beside the owner; where even that does not,
// it goes on that side at its size and is moved into the area (and shrunk
// only to the area's size).
QRect BesideWindow(const QRect& owner, const QSize& frame, const QRect& area, double smallest = 2.0 / 3.0);

} // namespace ferrolyt::particles
