#include "ModelSnapshot.h"

#include "Host.h"
#include "Model.h"
#include "Project.h"
#include "Settings.h"
#include "TaskList.h"

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace ferrolyt {

struct TModelSnapshot::State {
    TElems Base;
    int32_t BaseLast = -1;
    std::array<std::array<double, MaxElements>, MaxElements> Wagner{};
    std::array<long double, MaxElements> E{};
    std::array<std::array<long double, MaxElements>, MaxElements> Energy{};
    std::array<std::array<int32_t, MaxElements>, MaxElements> Slag{};
    TGasSpeciesTable Gases;
    int32_t GasCount = 0;
    TGasSpeciesTable Active;
    int32_t ActiveCount = 0;
    TMaterialTable Materials;
    TCompositionTable Min{};
    TCompositionTable Max{};
    int32_t MaterialCount = 0;
    int32_t SystemLast = -1;
    std::array<TElems, 2> SystemElems;
    bool HasSystems = false;
    TTaskList Tasks;
    std::vector<std::string> Project;
    std::vector<TTaskFileEntry> TaskFiles;
    int TaskFileIndex = -1;
    std::vector<std::string> MatFiles;
    std::string Dir;
    std::filesystem::path Cwd;
    std::string LastProject;
};

namespace {

// Copies one part either way; the element lists and the task list copy
// themselves with Assign.
struct Into {
    template <typename T>
    void operator()(T& to, const T& from) const
    {
        to = from;
    }
    void operator()(TElems& to, const TElems& from) const { to.Assign(from); }
    void operator()(TTaskList& to, const TTaskList& from) const { to.Assign(from); }
};

} // namespace

// Every part of the snapshot with the model's part it copies: `copy(mine,
// model)` takes the snapshot, the same with the arguments swapped restores it.
template <typename Copy>
void TModelSnapshot::Parts(Copy copy) const
{
    State& s = *state_;
    copy(s.Base, ElementBase);
    copy(s.BaseLast, BaseElemLast);
    copy(s.Wagner, WagnerMatrix);
    copy(s.E, WagnerE);
    copy(s.Energy, InteractionEnergy);
    copy(s.Slag, SlagMatrix);
    copy(s.Gases, GasBase);
    copy(s.GasCount, GasBaseCount);
    copy(s.Active, ActiveGases);
    copy(s.ActiveCount, ActiveGasCount);
    copy(s.Materials, MaterialTable);
    copy(s.Min, CompositionMin);
    copy(s.Max, CompositionMax);
    copy(s.MaterialCount, MaterialCount);
    copy(s.SystemLast, SystemElemLast);
    if (s.HasSystems && ExistingSystemElems(0) && ExistingSystemElems(1))
        for (std::size_t k = 0; k < 2; ++k)
            copy(s.SystemElems[k], SystemElems(static_cast<int>(k)));
    copy(s.Tasks, TaskList);
    copy(s.Project, ProjectList);
    copy(s.TaskFiles, TaskListBox);
    copy(s.TaskFileIndex, TaskListBoxIndex);
    copy(s.MatFiles, TaskMatFiles);
    copy(s.Dir, ProjectDir);
    copy(s.LastProject, Settings.LastProject);
}

TModelSnapshot::TModelSnapshot() : state_(std::make_unique<State>())
{
    state_->HasSystems = ExistingSystemElems(0) && ExistingSystemElems(1);
    Parts([](auto& mine, const auto& model) { Into{}(mine, model); });
    std::error_code ec;
    state_->Cwd = std::filesystem::current_path(ec);
}

TModelSnapshot::~TModelSnapshot() = default;

void TModelSnapshot::Restore() const
{
    Parts([](auto& mine, auto& model) { Into{}(model, mine); });
    const State& s = *state_;
    std::error_code ec;
    if (!s.Cwd.empty())
        std::filesystem::current_path(s.Cwd, ec);

    // The windows showed what the refused files had begun to load.
    Host& host = CurrentHost();
    for (int m = 1; m <= MaterialCount; ++m)
        host.SetMaterialName(m, MaterialTable[m].Name);
    if (s.HasSystems)
        for (int i = 0; i < s.SystemElems[0].Count; ++i)
            host.SetElementSymbol(i + 1, " " + s.SystemElems[0].Items[static_cast<std::size_t>(i)].Symbol);
    host.SetStatusText(4, " " + ProjectValue("MatFile"));
    host.ClearTaskBox();
    for (int k = 1; k <= TaskList.Count; ++k)
        host.AddTaskBoxItem(TaskList.Items[static_cast<std::size_t>(k)].Name);
    host.SelectTaskBoxItem(TaskList.Current);
    host.SetActionEnabled("MeltA", MaterialCount > 0);
    host.SetActionEnabled("StartA", TaskList.HasMassBounds(TaskList.Current));
    host.SetActionEnabled("MeltRecA", TaskList.HasMaterialBounds(TaskList.Current));
    ShowTaskListBox();
}

} // namespace ferrolyt
