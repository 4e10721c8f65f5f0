#pragma once
// The engine's only way to the program's windows. The engine never includes
// a GUI header: it asks the current host to show a warning, ask a question,
// write a status panel or let pending window messages run. The program
// installs a Qt host at start-up; tests install a recording one.
//
// Every member has a harmless default so that a host only overrides what it
// shows, and so that adding a member later breaks no existing host.

#include <string>

namespace ferrolyt {

class TThSys;

class Host {
public:
    Host() = default;
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;
    virtual ~Host() = default;

    // A warning box titled "Ferrolyt" with an OK button; returns the box's
    // result code (1 for OK).
    virtual int ShowWarning(const std::string& text);

    // A Yes/No question box titled "Ferrolyt"; true when the answer is Yes.
    virtual bool AskYesNo(const std::string& text);

    // One panel of the main window's status bar.
    virtual void SetStatusText(int panel, const std::string& text);

    // Lets the window system handle pending input (long runs call this
    // between passes so that the stop command can reach them).
    virtual void ProcessMessages();

    // Shows a solved system in the element grid.
    virtual void ShowInGrid(const TThSys& system);

    // The main window's caption.
    virtual void SetCaption(const std::string& text);
};

// The host the engine talks to now. Never null: without an installed host
// the engine uses a silent one that prints warnings on standard error and
// answers No to every question.
Host& CurrentHost();

// Installs a host (the caller keeps ownership); nullptr restores the silent
// default. Returns the host that was installed before.
Host* SetHost(Host* host);

} // namespace ferrolyt
