#pragma once
// The sign that a command is working: for as long as a TBusyCursor lives,
// the application shows the busy cursor (the arrow with the hourglass, as
// the window still answers its Stop buttons). Guards nest: the cursor comes
// back when the outermost one ends.

namespace ferrolyt {

class TBusyCursor {
public:
    TBusyCursor();
    ~TBusyCursor();
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;

private:
    bool shown_ = false;
};

} // namespace ferrolyt
