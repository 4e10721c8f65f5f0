#pragma once
// The task list: the heats of one task file (*.TSK) with a template task and
// the result of the last melt, the task file's reader and writer, and the
// moves of the current task to and from the task editor.

#include "Model.h"
#include "OffsetArray.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace ferrolyt {

inline constexpr int MaxTasks = 60;           // tasks of one file
inline constexpr int LastMeltTaskSlot = 61;   // Items[61]: the result of the last melt
inline constexpr int MaxTaskElements = 41;    // elements listed by one task
inline constexpr int MaxTaskMaterials = 30;   // materials listed by one task
inline constexpr std::size_t TaskNameLength = 25;
inline constexpr std::size_t TaskFileNameLength = 80;

// One heat's assignment. Every real is UnsetValue when not given.
struct TTaskRecord {
    std::string Name; // heat number, up to 25 characters
    long double MinMet = UnsetValue, MaxMet = UnsetValue;       // final metal mass, t
    long double IniMinMet = UnsetValue, IniMaxMet = UnsetValue; // known initial metal mass, t
    long double MinSlg = UnsetValue, MaxSlg = UnsetValue;       // final slag mass, t
    long double IniMinSlg = UnsetValue, IniMaxSlg = UnsetValue; // known initial slag mass, t
    long double MinOsn = UnsetValue, MaxOsn = UnsetValue;       // slag basicity
    long double MinGas = UnsetValue, MaxGas = UnsetValue;       // gas mass, t
    long double MinTemp = UnsetValue, MaxTemp = UnsetValue;     // final temperature, °C
    long double IniTemp = UnsetValue; // initial temperature, °C
    long double AmbTemp = UnsetValue; // ambient temperature, °C
    long double Energy = UnsetValue;  // energy input, MJ
    long double Losses = UnsetValue;  // heat losses, MJ
    long double ExtP = UnsetValue;    // external pressure, atm
    long double Charge = UnsetValue;  // electric charge of the slag, kF
    int32_t NEl = 0;  // elements listed
    int32_t NMat = 0; // materials listed
    OffsetArray<std::string, 1, MaxTaskElements> Symbols{}; // up to 3 characters each
    OffsetArray<long double, 1, MaxTaskElements> MetalMin{}, MetalMax{}, MetalSample{}; // mass %
    OffsetArray<long double, 1, MaxTaskElements> SlagMin{}, SlagMax{}, SlagSample{};    // mass %
    // Of each record a task uses Name, MinT, MaxT, Fixed, Recommended,
    // MinPercent, MaxPercent and TableIndex.
    OffsetArray<TMaterialRecord, 1, MaxTaskMaterials> Materials{};

    TTaskRecord();
};

// What the task editor window offers to ShowCurrent and StoreCurrent. The
// grids are 1-based in rows and columns (row 0 and column 0 are headers).
class TTaskEditorView {
public:
    // The twenty value edits.
    enum Field : int {
        MinMetEd, MaxMetEd, IniMinMetEd, IniMaxMetEd, MinSlgEd, MaxSlgEd,
        IniMinSlgEd, IniMaxSlgEd, MinOsnEd, MaxOsnEd, MinGasEd, MaxGasEd,
        MinTempEd, MaxTempEd, IniTempEd, AmbTempEd, EnergyEd, LossesEd,
        ExtPEd, ChargeEd, FieldCount
    };

    TTaskEditorView() = default;
    TTaskEditorView(const TTaskEditorView&) = delete;
    TTaskEditorView& operator=(const TTaskEditorView&) = delete;
    virtual ~TTaskEditorView() = default;

    // Selected tab of TaskTabs, -1 when none.
    virtual int SelectedTab() const = 0;
    virtual void SetCaption(const std::string& text) = 0;
    virtual std::string EditText(Field f) const = 0;
    virtual void SetEditText(Field f, const std::string& text) = 0;
    // ElGrid: columns 1..7 = symbol, metal min, max, sample, slag min, max, sample.
    virtual void ClearElementGrid() = 0;
    virtual int ElementRowCount() const = 0;
    virtual std::string ElementCell(int col, int row) const = 0;
    virtual void SetElementCell(int col, int row, const std::string& text) = 0;
    // MatGrid: columns 1..7 = name, recommended, fixed, min t, max t, min %, max %.
    virtual void ClearMaterialGrid() = 0;
    virtual int MaterialRowCount() const = 0;
    virtual std::string MaterialCell(int col, int row) const = 0;
    virtual void SetMaterialCell(int col, int row, const std::string& text) = 0;
};

// The twenty values of a task, in the order of the editor's edits.
inline constexpr std::array<long double TTaskRecord::*, TTaskEditorView::FieldCount> TaskValueFields = {
    &TTaskRecord::MinMet,  &TTaskRecord::MaxMet,  &TTaskRecord::IniMinMet, &TTaskRecord::IniMaxMet,
    &TTaskRecord::MinSlg,  &TTaskRecord::MaxSlg,  &TTaskRecord::IniMinSlg, &TTaskRecord::IniMaxSlg,
    &TTaskRecord::MinOsn,  &TTaskRecord::MaxOsn,  &TTaskRecord::MinGas,    &TTaskRecord::MaxGas,
    &TTaskRecord::MinTemp, &TTaskRecord::MaxTemp, &TTaskRecord::IniTemp,   &TTaskRecord::AmbTemp,
    &TTaskRecord::Energy,  &TTaskRecord::Losses,  &TTaskRecord::ExtP,      &TTaskRecord::Charge};

class TTaskList {
public:
    int32_t Count = 0;    // 0..60
    int32_t Current = -1; // 0-based: the current task is Items[Current + 1]
    // [0] template, [1..60] tasks, [61] the result of the last melt.
    std::array<TTaskRecord, LastMeltTaskSlot + 1> Items{};
    std::string FileName; // relative to the program folder, or bare in the project's folder
    // The lines before the file's first task (its description): the reader
    // skips them and the writer puts them back.
    std::vector<std::string> Description;

    void Clear();
    void Add(const TTaskRecord& task, bool addName, bool atCurrent);
    void Assign(const TTaskList& source);
    bool HasMassBounds(int k) const;
    bool HasMaterialBounds(int k) const;

    void ShowCurrent(TTaskEditorView& editor);
    void StoreCurrent(const TTaskEditorView& editor);

    // True when at least one task was read.
    bool LoadFromFile(const std::string& fileName, int currentIndex);
    // The same from lines already decoded to UTF-8; fileName names the
    // source in messages, and `file` is the path FileName is made from.
    bool LoadFromLines(const std::vector<std::string>& lines, const std::string& fileName, int currentIndex,
                       const std::filesystem::path& file);
    // Writes every task to FileName (nothing when it is empty). False, after
    // a message, when the file could not be replaced, or when a task holds
    // what the reader would refuse (the message names the task, the row and
    // the name); the previous file then stays as it was and the tasks stay
    // in memory.
    bool SaveToFile() const;
    // The lines SaveToFile writes.
    std::vector<std::string> FileLines() const;
    // The first lower bound above its upper bound in task k (0-based)
    // ("MASSMET: ..."), empty when there is none. The reader takes such a
    // pair with a warning (earlier versions wrote them); the editor does not
    // accept one, and the melt and the optimisation refuse the task.
    std::string InvertedBound(int k) const;

    TTaskRecord& CurrentTask() { return Items[static_cast<std::size_t>(Current + 1)]; }
};

// The one warning of a task file's load that names the materials its tasks
// list but the materials file does not hold (they are left out).
std::string UnknownMaterialsText(const std::string& fileName, const std::vector<std::string>& names);
// The one warning of a task file's load that names its first pair with the
// lower bound above the upper (line 1-based) and how many there are.
std::string InvertedPairsText(const std::string& fileName, std::size_t line, const std::string& limit, int count);

// Number as a task editor shows it: empty when unset, else "0.####".
std::string FormatTaskValue(long double x);
// Number as the task file holds it: "0", "-", or "#.####" cut to 8 characters.
std::string FormatFileValue(long double x);
// Reads an edit's text; x := UnsetValue when it is empty or not a number.
void ReadEditValue(std::string_view text, long double& x);

// The open task file and the task editor's working copy.
extern TTaskList TaskList;
extern TTaskList TaskListEdit;

} // namespace ferrolyt
