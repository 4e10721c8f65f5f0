#pragma once

namespace ferrolyt {

// Once the application object exists: numbers on screen take the user's
// decimal separator, while the C library's numeric locale goes back to "C"
// so that every file is written alike on any desktop.
void UseLocaleOnScreenOnly();

} // namespace ferrolyt
