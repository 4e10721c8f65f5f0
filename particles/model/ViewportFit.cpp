#include "ViewportFit.h"

#include <algorithm>
#include <cmath>

namespace ferrolyt::particles {

float ViewAspectFor(int clientWidth, int clientHeight, int barsHeight, float fallback)
{
    const int h = clientHeight - barsHeight;
    if (clientWidth <= 0 || h <= 0)
        return fallback;
    return static_cast<float>(clientWidth) / static_cast<float>(h);
}

TViewportRect FitViewport(int clientWidth, int clientHeight, int barsHeight, float viewAspect)
{
    const int bars = std::max(barsHeight, 0);
    const int w = std::max(clientWidth, 0);
    const int h = std::max(clientHeight - bars, 0);
    if (w == 0 || h == 0)
        return {0, bars, w, h};
    if (!(viewAspect > 0) || !std::isfinite(viewAspect))
        return {0, bars, w, h};
    int vw = w, vh = h;
    // Rounding to the nearest, ties to even, as the original's Round does.
    if (double(w) / double(h) <= double(viewAspect))
        vh = std::clamp(static_cast<int>(std::nearbyint(double(w) / double(viewAspect))), 0, h);
    else
        vw = std::clamp(static_cast<int>(std::nearbyint(double(h) * double(viewAspect))), 0, w);
    return {(w - vw) / 2, (h - vh) / 2 + bars, vw, vh};
}

} // namespace ferrolyt::particles
