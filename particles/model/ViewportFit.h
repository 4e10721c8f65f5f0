#pragma once
// Where the particle view draws inside its window: the viewport keeps the
// aspect ratio the view started with and is centred, letterboxed, in the
// area above the status bars. A minimised or tiny window gives an empty
// area; nothing here divides by it.

namespace ferrolyt::particles {

struct TViewportRect {
    int X = 0, Y = 0, W = 0, H = 0;
    bool operator==(const TViewportRect&) const = default;
};

// Width / height of the area above the bars; `fallback` when that area is
// empty (a minimised window or bars taller than the client).
float ViewAspectFor(int clientWidth, int clientHeight, int barsHeight, float fallback = 1.0f);

// The letterboxed viewport (OpenGL's origin: bottom left, the bars below).
// An empty area gives an empty viewport; an aspect that is not a positive
// number fills the whole area.
TViewportRect FitViewport(int clientWidth, int clientHeight, int barsHeight, float viewAspect);

} // namespace ferrolyt::particles
