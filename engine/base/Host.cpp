#include "Host.h"

#include <cstdio>

namespace ferrolyt {

int Host::ShowWarning(const std::string& text)
{
    std::fprintf(stderr, "Ferrolyt: %s\n", text.c_str());
    return 1;
}

void Host::ShowInformation(const std::string& text) { std::printf("Ferrolyt: %s\n", text.c_str()); }

bool Host::AskYesNo(const std::string&) { return false; }
void Host::SetStatusText(int, const std::string&) {}
void Host::ProcessMessages() {}
void Host::ShowInGrid(const TThSys&) {}
void Host::SetCaption(const std::string&) {}
char Host::DecimalSeparator() { return '.'; }
bool Host::EditHasFocus(InputEdit) { return false; }
std::string Host::EditText(InputEdit) { return {}; }
void Host::SetEditText(InputEdit, const std::string&) {}
void Host::SetMaterialName(int, const std::string&) {}
void Host::SetElementSymbol(int, const std::string&) {}
void Host::ClearResults(bool, bool, int) {}
void Host::SetActionEnabled(const std::string&, bool) {}
void Host::ClearTaskBox() {}
void Host::AddTaskBoxItem(const std::string&) {}
void Host::SelectTaskBoxItem(int) {}
void Host::ShowTaskFiles(const std::vector<std::string>&, int) {}
std::string Host::AskProjectSaveName(const std::string&, const std::string&) { return {}; }
void Host::MeltCurrentTask() {}

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
