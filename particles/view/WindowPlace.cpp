#include "WindowPlace.h"

#include "ScreenFit.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace ferrolyt::particles {

QRect BesideWindow(const QRect& owner, const QSize& frame, const QRect& area, double smallest)
{
    if (frame.isEmpty())
        return QRect(owner.topLeft(), frame);
    const int areaRight = area.x() + area.width(), areaBottom = area.y() + area.height();
    const int ownerRight = owner.x() + owner.width(), ownerBottom = owner.y() + owner.height();
    // Room on each side: right, left, below, above.
    const std::array<QSize, 4> room = {QSize(areaRight - ownerRight, area.height()),
                                       QSize(owner.x() - area.x(), area.height()),
                                       QSize(area.width(), areaBottom - ownerBottom),
                                       QSize(area.width(), owner.y() - area.y())};
    int best = 0;
    double bestScale = -1;
    for (int side = 0; side < 4; ++side) {
        const double scale = std::min({1.0, double(room[side].width()) / frame.width(),
                                       double(room[side].height()) / frame.height()});
        if (scale > bestScale) {
            bestScale = scale;
            best = side;
        }
    }
    QSize size = frame;
    if (bestScale >= smallest && bestScale < 1)
        size = QSize(int(std::floor(frame.width() * bestScale)), int(std::floor(frame.height() * bestScale)));
    QPoint at;
    switch (best) {
    case 0: at = QPoint(ownerRight, owner.y()); break;
    case 1: at = QPoint(owner.x() - size.width(), owner.y()); break;
    case 2: at = QPoint(owner.x(), ownerBottom); break;
    default: at = QPoint(owner.x(), owner.y() - size.height()); break;
    }
    return ferrolyt::FitInside(QRect(at, size), area);
}

} // namespace ferrolyt::particles
