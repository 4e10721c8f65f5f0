#include "Host.h"

#include <cstdio>

namespace ferrolyt {

int Host::ShowWarning(const std::string& text)
{
    std::fprintf(stderr, "Ferrolyt: %s\n", text.c_str());
    return 1;
}

bool Host::AskYesNo(const std::string&) { return false; }
void Host::SetStatusText(int, const std::string&) {}
void Host::ProcessMessages() {}
void Host::ShowInGrid(const TThSys&) {}
void Host::SetCaption(const std::string&) {}

namespace {
Host& SilentHost()
{
    static Host silent;
    return silent;
}
Host* installedHost = nullptr;
} // namespace

Host& CurrentHost() { return installedHost ? *installedHost : SilentHost(); }

Host* SetHost(Host* host)
{
    Host* previous = installedHost;
    installedHost = host;
    return previous;
}

} // namespace ferrolyt
