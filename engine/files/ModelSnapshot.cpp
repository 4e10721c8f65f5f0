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

TModelSnapshot::TModelSnapshot() : state_(std::make_unique<State>())
{
    State& s = *state_;
    s.Base.Assign(ElementBase);
    s.BaseLast = BaseElemLast;
    s.Wagner = WagnerMatrix;
    s.E = WagnerE;
    s.Energy = InteractionEnergy;
    s.Slag = SlagMatrix;
    s.Gases = GasBase;
    s.GasCount = GasBaseCount;
    s.Active = ActiveGases;
    s.ActiveCount = ActiveGasCount;
    s.Materials = MaterialTable;
    s.Min = CompositionMin;
    s.Max = CompositionMax;
    s.MaterialCount = MaterialCount;
    s.SystemLast = SystemElemLast;
    s.HasSystems = ExistingSystemElems(0) && ExistingSystemElems(1);
    if (s.HasSystems)
        for (std::size_t k = 0; k < 2; ++k)
            s.SystemElems[k].Assign(*ExistingSystemElems(static_cast<int>(k)));
    s.Tasks.Assign(TaskList);
    s.Project = ProjectList;
    s.TaskFiles = TaskListBox;
    s.TaskFileIndex = TaskListBoxIndex;
    s.MatFiles = TaskMatFiles;
    s.Dir = ProjectDir;
    std::error_code ec;
    s.Cwd = std::filesystem::current_path(ec);
    s.LastProject = Settings.LastProject;
}

TModelSnapshot::~TModelSnapshot() = default;

void TModelSnapshot::Restore() const
{
    const State& s = *state_;
    ElementBase.Assign(s.Base);
    BaseElemLast = s.BaseLast;
    WagnerMatrix = s.Wagner;
    WagnerE = s.E;
    InteractionEnergy = s.Energy;
    SlagMatrix = s.Slag;
    GasBase = s.Gases;
    GasBaseCount = s.GasCount;
    ActiveGases = s.Active;
    ActiveGasCount = s.ActiveCount;
    MaterialTable = s.Materials;
    CompositionMin = s.Min;
    CompositionMax = s.Max;
    MaterialCount = s.MaterialCount;
    SystemElemLast = s.SystemLast;
    if (s.HasSystems && ExistingSystemElems(0) && ExistingSystemElems(1))
        for (std::size_t k = 0; k < 2; ++k)
            SystemElems(static_cast<int>(k)).Assign(s.SystemElems[k]);
    TaskList.Assign(s.Tasks);
    ProjectList = s.Project;
    TaskListBox = s.TaskFiles;
    TaskListBoxIndex = s.TaskFileIndex;
    TaskMatFiles = s.MatFiles;
    ProjectDir = s.Dir;
    std::error_code ec;
    if (!s.Cwd.empty())
        std::filesystem::current_path(s.Cwd, ec);
    Settings.LastProject = s.LastProject;

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
