#pragma once
// The user's manual "Ferrolyt.pdf", opened with the desktop's viewer. It is
// looked for in the current folder (the open project's) and then in the
// program folder; when it is in neither, or no viewer takes it, the user is
// told so instead of nothing happening.

#include <QUrl>

#include <functional>

inline constexpr const char* HelpFileName = "Ferrolyt.pdf";

// The manual's path, or an empty text when it does not exist.
QString FindHelpDocument();

// Opens the manual; false after a warning when it cannot be opened.
bool OpenHelpDocument();

// Receives the URL in place of the desktop (tests); empty: the desktop.
using OpenUrlHook = std::function<bool(const QUrl&)>;
void SetOpenUrlHook(OpenUrlHook hook);
