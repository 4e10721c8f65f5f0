#pragma once
// A message box runs an event loop of its own. Shown from inside an item
// view's commit, a delegate's setModelData or an edit's editingFinished,
// that loop goes on with the view's queued work, which closes and destroys
// the very cell editor the view is still storing, and the program falls
// over once the box is closed. Such callers refuse at once (the old value
// stays) and leave the telling to WarnWhenIdle.

#include <string>

// Shows `text` as a warning once control is back in the event loop, after
// the event being handled and what it queued. The same text asked for again
// while it waits or is on screen is shown once: the box takes the focus, and
// an edit that loses it offers its text again.
void WarnWhenIdle(const std::string& text);
