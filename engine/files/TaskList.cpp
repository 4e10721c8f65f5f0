#include "TaskList.h"

#include "DataFiles.h"
#include "FieldRanges.h"
#include "Host.h"
#include "Project.h"
#include "TaskEntries.h"
#include "TextFile.h"
#include "Utils.h"

#include <algorithm>
#include <charconv>
#include <memory>
#include <cmath>

namespace ferrolyt {

TTaskList TaskList;
TTaskList TaskListEdit;

TTaskRecord::TTaskRecord()
{
    MetalMin.Fill(UnsetValue);
    MetalMax.Fill(UnsetValue);
    MetalSample.Fill(UnsetValue);
    SlagMin.Fill(UnsetValue);
    SlagMax.Fill(UnsetValue);
    SlagSample.Fill(UnsetValue);
}

namespace {


// A record as the list's Clear leaves it: every number 0, every text empty.
TTaskRecord ZeroTaskRecord()
{
    TTaskRecord t;
    for (long double* v : {&t.MinMet, &t.MaxMet, &t.IniMinMet, &t.IniMaxMet, &t.MinSlg, &t.MaxSlg, &t.IniMinSlg,
                           &t.IniMaxSlg, &t.MinOsn, &t.MaxOsn, &t.MinGas, &t.MaxGas, &t.MinTemp, &t.MaxTemp,
                           &t.IniTemp, &t.AmbTemp, &t.Energy, &t.Losses, &t.ExtP, &t.Charge})
        *v = 0;
    for (auto* a : {&t.MetalMin, &t.MetalMax, &t.MetalSample, &t.SlagMin, &t.SlagMax, &t.SlagSample})
        a->Fill(0);
    t.Materials.Fill(ZeroMaterialRecord());
    return t;
}

// Fixed notation with at most 4 decimals, trailing zeros and a trailing
// point removed. Never uses the process locale.
std::string Fixed4(long double x)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, 4);
    std::string s(buf, r.ptr);
    if (s.find('.') != std::string::npos) {
        while (!s.empty() && s.back() == '0')
            s.pop_back();
        if (!s.empty() && s.back() == '.')
            s.pop_back();
    }
    if (s == "-0")
        s = "0";
    return s;
}

std::string Scientific(long double x, int digits)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific, digits);
    return std::string(buf, r.ptr);
}

bool StartsTask(const std::string& line) { return !line.empty() && line[0] == '*'; }

std::string Pair(long double lo, long double hi) { return FormatFileValue(lo) + "/" + FormatFileValue(hi); }

} // namespace

// ---------------------------------------------------------------------------
// Numbers

std::string FormatTaskValue(long double x)
{
    if (IsUnset(x) || !std::isfinite(x))
        return {};
    std::string s = Fixed4(x);
    // A value too long for the editor's 15 characters is shown in exponent
    // form rather than cut into another number.
    if (Utf8Length(s) > 15)
        s = Scientific(x, 6);
    return s;
}

std::string FormatFileValue(long double x)
{
    if (x == 0)
        return "0";
    if (IsUnset(x) || !std::isfinite(x))
        return "-";
    // Beyond 1e15 fixed notation only grows; the cut below would need the
    // exponent form anyway.
    if (std::fabs(x) >= 1e15L)
        return Scientific(x, 7);
    std::string s = Fixed4(x);
    // A value that rounds to zero is written as 0, not as an empty field
    // that would shift the values after it.
    if (s == "0")
        return "0";
    if (s.compare(0, 2, "0.") == 0)
        s.erase(0, 1);
    else if (s.compare(0, 3, "-0.") == 0)
        s.erase(1, 1);
    if (s.size() <= 8)
        return s;
    const std::size_t dot = s.find('.');
    const std::size_t whole = dot == std::string::npos ? s.size() : dot;
    // Only decimals are cut; cutting whole digits would write another number.
    if (whole <= 8) {
        s.resize(8);
        if (s.back() == '.')
            s.pop_back();
        return s;
    }
    return Scientific(x, 7);
}

void ReadEditValue(std::string_view text, long double& x)
{
    const std::string t = TrimBlanks(DecimalDot(text));
    long double v = 0;
    x = !t.empty() && TryParseReal(t, v) ? v : UnsetValue;
}

// ---------------------------------------------------------------------------
// List operations

void TTaskList::Clear()
{
    Count = 0;
    Current = -1;
    const TTaskRecord zero = ZeroTaskRecord();
    for (std::size_t k = 1; k < Items.size(); ++k)
        Items[k] = zero;
    FileName.clear();
    Description.clear();
    CurrentHost().ClearTaskBox();
}

void TTaskList::Add(const TTaskRecord& task, bool addName, bool atCurrent)
{
    if (Count >= MaxTasks)
        return;
    std::size_t slot = static_cast<std::size_t>(Count) + 1;
    if (atCurrent && Current >= 0 && Current < Count) {
        slot = static_cast<std::size_t>(Current) + 1;
        for (std::size_t k = static_cast<std::size_t>(Count) + 1; k > slot; --k)
            Items[k] = std::move(Items[k - 1]);
    }
    Items[slot] = task;
    if (addName)
        CurrentHost().AddTaskBoxItem(task.Name);
    ++Count;
}

void TTaskList::Assign(const TTaskList& source)
{
    if (this == &source)
        return;
    Count = source.Count;
    Current = source.Current;
    Items = source.Items;
    FileName = source.FileName;
    Description = source.Description;
}

bool TTaskList::HasMassBounds(int k) const
{
    if (k < 0 || k >= MaxTasks)
        return false;
    const TTaskRecord& t = Items[static_cast<std::size_t>(k) + 1];
    for (long double v : {t.MinMet, t.IniMinMet, t.IniMaxMet, t.MinSlg, t.IniMinSlg, t.IniMaxSlg})
        if (!IsUnset(v))
            return true;
    for (int j = 1; j <= t.NMat && j <= MaxTaskMaterials; ++j)
        if (t.Materials[j].MinT > 0 || t.Materials[j].Fixed > 0)
            return true;
    return false;
}

bool TTaskList::HasMaterialBounds(int k) const
{
    if (k < 0 || k >= MaxTasks)
        return false;
    const TTaskRecord& t = Items[static_cast<std::size_t>(k) + 1];
    for (int j = 1; j <= t.NMat && j <= MaxTaskMaterials; ++j)
        if (t.Materials[j].MinT > 0 || t.Materials[j].Fixed > 0 || t.Materials[j].Recommended > 0)
            return true;
    return false;
}

// ---------------------------------------------------------------------------
// Task editor

void TTaskList::ShowCurrent(TTaskEditorView& editor)
{
    Current = editor.SelectedTab();
    if (TaskListBoxIndex >= 0 && TaskListBoxIndex < static_cast<int>(TaskListBox.size())) {
        TaskListBox[static_cast<std::size_t>(TaskListBoxIndex)].Text = FileName;
        ShowTaskListBox();
    }
    editor.SetCaption("Файл завдань - " + FileName);
    editor.ClearElementGrid();
    editor.ClearMaterialGrid();
    if (Current < 0 || Current >= MaxTasks)
        return;
    TTaskRecord& t = CurrentTask();
    for (int e = 1; e <= t.NEl && e <= MaxTaskElements; ++e) {
        editor.SetElementCell(1, e, t.Symbols[e]);
        const long double values[6] = {t.MetalMin[e], t.MetalMax[e], t.MetalSample[e],
                                       t.SlagMin[e],  t.SlagMax[e],  t.SlagSample[e]};
        for (int c = 0; c < 6; ++c)
            editor.SetElementCell(c + 2, e, FormatTaskValue(values[c]));
    }
    for (int j = 1; j <= t.NMat && j <= MaxTaskMaterials; ++j) {
        const TMaterialRecord& m = t.Materials[j];
        editor.SetMaterialCell(1, j, m.Name);
        const long double values[6] = {m.Recommended, m.Fixed, m.MinT, m.MaxT, m.MinPercent, m.MaxPercent};
        for (int c = 0; c < 6; ++c)
            editor.SetMaterialCell(c + 2, j, FormatTaskValue(values[c]));
    }
    for (std::size_t f = 0; f < TaskValueFields.size(); ++f)
        editor.SetEditText(static_cast<TTaskEditorView::Field>(f), FormatTaskValue(t.*TaskValueFields[f]));
}

void TTaskList::StoreCurrent(const TTaskEditorView& editor)
{
    const int tab = editor.SelectedTab();
    if (tab < 0 || tab >= MaxTasks)
        return;
    Current = tab;
    TTaskRecord& t = CurrentTask();
    const std::string name = t.Name;
    t = Items[0];
    t.Name = name;
    for (std::size_t f = 0; f < TaskValueFields.size(); ++f)
        ReadEditValue(editor.EditText(static_cast<TTaskEditorView::Field>(f)), t.*TaskValueFields[f]);

    t.NEl = 0;
    for (int row = 1; row <= editor.ElementRowCount() && t.NEl < MaxTaskElements; ++row) {
        const std::string symbol = TrimBlanks(editor.ElementCell(1, row));
        if (symbol.empty() || ElementBase.IndexOfSymbol(symbol) < 0)
            continue;
        const int e = ++t.NEl;
        t.Symbols[e] = Utf8Left(symbol, 3);
        long double* targets[6] = {&t.MetalMin[e], &t.MetalMax[e], &t.MetalSample[e],
                                   &t.SlagMin[e],  &t.SlagMax[e],  &t.SlagSample[e]};
        for (int c = 0; c < 6; ++c)
            ReadEditValue(editor.ElementCell(c + 2, row), *targets[c]);
    }
    t.NMat = 0;
    for (int row = 1; row <= editor.MaterialRowCount() && t.NMat < MaxTaskMaterials; ++row) {
        const std::string matName = TrimBlanks(editor.MaterialCell(1, row));
        const int index = MaterialIndexByName(matName);
        if (index < 0)
            continue;
        TMaterialRecord& m = t.Materials[++t.NMat];
        m = TMaterialRecord{};
        m.Name = Utf8Left(matName, TaskNameLength);
        m.TableIndex = static_cast<uint16_t>(index);
        long double* targets[6] = {&m.Recommended, &m.Fixed, &m.MinT, &m.MaxT, &m.MinPercent, &m.MaxPercent};
        for (int c = 0; c < 6; ++c)
            ReadEditValue(editor.MaterialCell(c + 2, row), *targets[c]);
    }
}

// ---------------------------------------------------------------------------
// Task file

std::string UnknownMaterialsText(const std::string& fileName, const std::vector<std::string>& names)
{
    constexpr std::size_t Shown = 20;
    std::string list;
    for (std::size_t k = 0; k < names.size() && k < Shown; ++k)
        list += (k ? ", " : "") + names[k];
    if (names.size() > Shown)
        list += " і ще " + std::to_string(names.size() - Shown);
    return "Файл " + fileName + ": матеріалів, яких немає у файлі матеріалів, не враховано (" +
           std::to_string(names.size()) + "): " + list;
}

bool TTaskList::LoadFromFile(const std::string& fileName, int currentIndex)
{
    const std::filesystem::path file = ResolveProjectFile(fileName);
    const std::string shown = ShownFileName(fileName, file);
    std::vector<std::string> lines;
    if (!ReadDataFile(file, shown, lines))
        return false;
    return LoadFromLines(lines, shown, currentIndex, file);
}

bool TTaskList::LoadFromLines(const std::vector<std::string>& lines, const std::string& fileName, int currentIndex,
                              const std::filesystem::path& file)
{
    // Read into a list of its own: a refused file leaves this one as it was.
    auto loaded = std::make_unique<TTaskList>();
    loaded->Items[0] = Items[0];
    struct Refusal {
        std::size_t line; // 0-based
        std::string reason;
    };
    const TCharSet noDelims;
    const TCharSet materialDelims = TCharSet::Of("~!&%");
    auto limitText = [&](std::size_t line, const std::string& what, int limit) {
        return "Файл " + fileName + ", рядок " + std::to_string(line + 1) + ": більше " + std::to_string(limit) +
               " " + what + " (межа " + std::to_string(limit) + "); зайві пропущено";
    };

    std::size_t n = 0;
    while (n < lines.size() && !StartsTask(lines[n]))
        ++n;
    std::vector<std::string> description(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(n));
    bool tooManyTasksShown = false;
    std::vector<std::string> unknownMaterials;
    Refusal firstInverted{0, {}};
    int invertedPairs = 0;
    TLongNames longNames;
    // A line that begins with '*' always starts the next task, even inside
    // a block cut short, so one damaged block cannot swallow the next task.
    auto nextLine = [&](std::string& out) {
        if (n >= lines.size() || StartsTask(lines[n])) {
            out.clear();
            return false;
        }
        out = lines[n++];
        return true;
    };
    try {
        while (n < lines.size()) {
            const std::size_t taskLine = n;
            TTaskRecord task = Items[0];
            task.Name = longNames.Cut(lines[n].substr(1), TaskNameLength, n);
            ++n;

            std::string line;
            nextLine(line);
            task.NEl = 0;
            std::string token;
            bool tooManyElements = false;
            while (NextToken(line, token, 1, 1, BlankSet)) {
                // A run of control characters trims to nothing, and a '*' would
                // start a task line when written back: neither is a symbol.
                std::string symbol = Utf8Left(token, 3);
                while (!symbol.empty() && IsBlankOrControl(symbol.back()))
                    symbol.pop_back();
                if (symbol.empty() || symbol[0] == '*')
                    continue;
                if (task.NEl >= MaxTaskElements) {
                    tooManyElements = true;
                    break;
                }
                // The value lines give one pair per symbol: an element given
                // twice would get two sets of limits, of which one is lost.
                for (int e = 1; e <= task.NEl; ++e)
                    if (UpperCase1251(task.Symbols[e]) == UpperCase1251(symbol))
                        throw Refusal{n - 1, "елемент " + symbol + " указано двічі"};
                task.Symbols[++task.NEl] = symbol;
            }
            if (tooManyElements)
                ShowWarning(limitText(n - 1, "елементів у завданні", MaxTaskElements));
            for (int e = task.NEl + 1; e <= MaxTaskElements; ++e)
                task.Symbols[e].clear();

            // A value is held to its field's range; the refusal names the line
            // it came from (n has moved past it).
            // A lower bound above its upper bound cannot be met, but earlier
            // versions wrote such pairs: the task is read as it stands, the
            // user is told where (in the desktop's numbers, as the commands
            // tell it), and the commands refuse it until mended.
            const char separator = CurrentHost().DecimalSeparator();
            auto read = [&](std::string& text, char marker, const TCharSet& delims, long double& lo, long double& hi,
                            const TFieldRange& range, const std::string& what, bool bounds = true) {
                std::string refusal;
                ReadFieldOrRange(text, marker, delims, lo, hi, range, refusal);
                if (!refusal.empty())
                    throw Refusal{n - 1, what + ": " + refusal};
                if (const std::string inverted = bounds ? InvertedRange(lo, hi, separator) : std::string(); !inverted.empty()) {
                    if (invertedPairs++ == 0)
                        firstInverted = {n - 1, what + ": " + inverted};
                }
            };
            // A line holds its values as a whole: one for each field, none
            // left out (a line the block lacks altogether leaves them unset).
            auto requireValue = [&](const std::string& text, char marker, const std::string& what) {
                const std::size_t from = marker == '\0' ? 0 : text.find(marker) + 1;
                if (text.find_first_not_of(" \t", from) == std::string::npos)
                    throw Refusal{n - 1, what + ": немає значення (\"-\", коли його немає)"};
            };
            auto refuseSurplus = [&](const std::string& text, std::string_view markers) {
                if (const std::string word = SurplusWord(text, markers); !word.empty())
                    throw Refusal{n - 1, "зайве значення \"" + Utf8Left(word, 24) + "\""};
            };
            auto readPairs = [&](OffsetArray<long double, 1, MaxTaskElements>& lo,
                                 OffsetArray<long double, 1, MaxTaskElements>& hi, bool bounds) {
                std::string values;
                if (!nextLine(values))
                    return;
                for (int e = 1; e <= task.NEl; ++e) {
                    requireValue(values, '\0', task.Symbols[e]);
                    read(values, '\0', noDelims, lo[e], hi[e], FieldRange::Percent, task.Symbols[e], bounds);
                }
                if (!tooManyElements) // the values of the elements left out go with them
                    refuseSurplus(values, "");
            };
            readPairs(task.MetalMin, task.MetalMax, true);
            readPairs(task.SlagMin, task.SlagMax, true);
            readPairs(task.MetalSample, task.SlagSample, false); // the metal's sample and the slag's

            // Keyword lines, up to the empty line (or any line without a name before '|').
            while (nextLine(line)) {
                const std::size_t bar = line.find('|');
                const std::string key = bar == std::string::npos ? std::string() : TrimBlanks(std::string_view(line).substr(0, bar));
                if (key.empty())
                    break;
                long double a = 0;
                long double b = 0;
                auto pair = [&](long double& lo, long double& hi, const TFieldRange& range) {
                    requireValue(line, '|', key);
                    read(line, '|', noDelims, lo, hi, range, key);
                };
                auto single = [&](long double& v, const TFieldRange& range) {
                    requireValue(line, '|', key);
                    read(line, '|', noDelims, a, b, range, key, false);
                    v = a;
                };
                const std::string name = UpperCase1251(key);
                if (name == "MASSMET") {
                    pair(task.MinMet, task.MaxMet, FieldRange::Mass);
                    pair(task.IniMinMet, task.IniMaxMet, FieldRange::Mass);
                } else if (name == "MASSSLG") {
                    pair(task.MinSlg, task.MaxSlg, FieldRange::Mass);
                    pair(task.IniMinSlg, task.IniMaxSlg, FieldRange::Mass);
                } else if (name == "OSNSLG") {
                    pair(task.MinOsn, task.MaxOsn, FieldRange::Basicity);
                } else if (name == "MASSGAS") {
                    pair(task.MinGas, task.MaxGas, FieldRange::Mass);
                } else if (name == "TEMP") {
                    pair(task.MinTemp, task.MaxTemp, FieldRange::Temperature);
                    single(task.IniTemp, FieldRange::Temperature);
                    requireValue(line, '|', key);
                    read(line, '|', noDelims, task.Energy, task.Losses, FieldRange::Energy, key, false);
                    single(task.AmbTemp, FieldRange::Temperature);
                } else if (name == "EXTP") {
                    single(task.ExtP, FieldRange::Pressure);
                } else if (name == "CHARGE") {
                    single(task.Charge, FieldRange::Charge);
                } else {
                    continue; // a line of another name is skipped whole
                }
                refuseSurplus(line.substr(bar + 1), "");
            }

            // Material lines, up to the next task.
            task.NMat = 0;
            bool tooManyMaterials = false;
            while (nextLine(line)) {
                const std::size_t bar = line.find('|');
                if (bar == std::string::npos)
                    continue;
                const std::string matName = TrimBlanks(std::string_view(line).substr(0, bar));
                const int index = MaterialIndexByName(matName);
                if (index < 0) {
                    if (!matName.empty() &&
                        std::find(unknownMaterials.begin(), unknownMaterials.end(), matName) == unknownMaterials.end())
                        unknownMaterials.push_back(matName);
                    continue;
                }
                // F8 and the optimiser would take one of the two rows and
                // drop the other's limits without a word.
                for (int j = 1; j <= task.NMat; ++j)
                    if (task.Materials[j].TableIndex == index)
                        throw Refusal{n - 1, "матеріал " + matName + " указано в завданні двічі"};
                if (task.NMat >= MaxTaskMaterials) {
                    if (!tooManyMaterials)
                        ShowWarning(limitText(n - 1, "матеріалів у завданні", MaxTaskMaterials));
                    tooManyMaterials = true;
                    continue;
                }
                TMaterialRecord& m = task.Materials[++task.NMat];
                m = TMaterialRecord{};
                m.Name = longNames.Cut(matName, TaskNameLength, n - 1);
                m.TableIndex = static_cast<uint16_t>(index);
                // Markers are looked for after the '|' only: a name may hold them.
                std::string rest = line.substr(bar + 1);
                long double a = 0;
                long double b = 0;
                read(rest, '~', materialDelims, a, b, FieldRange::Mass, matName, false);
                m.Recommended = a;
                read(rest, '!', materialDelims, a, b, FieldRange::Mass, matName, false);
                m.Fixed = a;
                read(rest, '&', materialDelims, m.MinT, m.MaxT, FieldRange::Mass, matName);
                read(rest, '%', materialDelims, m.MinPercent, m.MaxPercent, FieldRange::Percent, matName);
                refuseSurplus(rest, "~!&%");
                if (m.MinT == m.MaxT)
                    m.MinT = UnsetValue;
            }
            for (int j = task.NMat + 1; j <= MaxTaskMaterials; ++j)
                task.Materials[j] = TMaterialRecord{};

            if (loaded->Count >= MaxTasks) {
                if (!tooManyTasksShown)
                    ShowWarning(limitText(taskLine, "завдань", MaxTasks));
                tooManyTasksShown = true;
                continue;
            }
            loaded->Add(task, false, false);
        }
    } catch (const Refusal& e) {
        ShowWarning(LoadFailedText(fileName, e.line + 1, e.reason));
        return false;
    }
    if (loaded->Count == 0) {
        ShowWarning(LoadFailedText(fileName, lines.empty() ? 1 : lines.size(), NoRecordsText("жодного завдання")));
        return false;
    }

    // Dropped all the same, as the materials file decides what exists; but
    // a user whose charge lost materials is told which, once.
    if (!unknownMaterials.empty())
        ShowWarning(UnknownMaterialsText(fileName, unknownMaterials));
    if (invertedPairs > 0)
        ShowWarning(InvertedPairsText(fileName, firstInverted.line + 1, firstInverted.reason, invertedPairs));
    if (const std::string cut = longNames.Text(fileName); !cut.empty())
        ShowWarning(cut);

    Clear();
    Description = std::move(description);
    for (int k = 1; k <= loaded->Count; ++k)
        Add(loaded->Items[static_cast<std::size_t>(k)], true, false);
    Current = std::min(std::max(currentIndex, -1), Count - 1);
    FileName = StoredFileName(file);
    Host& host = CurrentHost();
    host.SelectTaskBoxItem(Current);
    host.SetActionEnabled("StartA", HasMassBounds(Current));
    host.SetActionEnabled("MeltRecA", HasMaterialBounds(Current));
    return true;
}

std::vector<std::string> TTaskList::FileLines() const
{
    std::vector<std::string> out = Description;
    for (int k = 1; k <= Count && k <= MaxTasks; ++k) {
        const TTaskRecord& t = Items[static_cast<std::size_t>(k)];
        const int nEl = std::min(std::max(t.NEl, 0), MaxTaskElements);
        out.push_back("*" + t.Name);
        std::string symbols;
        std::string metal;
        std::string slag;
        std::string samples;
        for (int e = 1; e <= nEl; ++e) {
            symbols += "   " + t.Symbols[e];
            metal += " " + Pair(t.MetalMin[e], t.MetalMax[e]);
            slag += " " + Pair(t.SlagMin[e], t.SlagMax[e]);
            samples += " " + Pair(t.MetalSample[e], t.SlagSample[e]);
        }
        for (std::string* s : {&symbols, &metal, &slag, &samples}) {
            const std::size_t first = s->find_first_not_of(' ');
            s->erase(0, first == std::string::npos ? s->size() : first);
            out.push_back(*s);
        }
        out.push_back("MASSMET | " + Pair(t.MinMet, t.MaxMet) + " " + Pair(t.IniMinMet, t.IniMaxMet));
        out.push_back("MASSSLG | " + Pair(t.MinSlg, t.MaxSlg) + " " + Pair(t.IniMinSlg, t.IniMaxSlg));
        out.push_back("OSNSLG  | " + Pair(t.MinOsn, t.MaxOsn));
        out.push_back("MASSGAS | " + Pair(t.MinGas, t.MaxGas));
        out.push_back("TEMP    | " + Pair(t.MinTemp, t.MaxTemp) + " " + FormatFileValue(t.IniTemp) + " " +
                      Pair(t.Energy, t.Losses) + " " + FormatFileValue(t.AmbTemp));
        if (!IsUnset(t.ExtP))
            out.push_back("EXTP    | " + FormatFileValue(t.ExtP));
        if (!IsUnset(t.Charge))
            out.push_back("CHARGE  | " + FormatFileValue(t.Charge));
        out.emplace_back();
        const int nMat = std::min(std::max(t.NMat, 0), MaxTaskMaterials);
        for (int j = 1; j <= nMat; ++j) {
            const TMaterialRecord& m = t.Materials[j];
            std::string line = PadRight(m.Name, 10) + "|";
            if (!IsUnset(m.Recommended))
                line += " ~" + FormatFileValue(m.Recommended);
            if (!IsUnset(m.Fixed))
                line += " !" + FormatFileValue(m.Fixed);
            if (!IsUnset(m.MinT) || !IsUnset(m.MaxT)) {
                line += " &";
                if (!IsUnset(m.MinT))
                    line += FormatFileValue(m.MinT) + "/";
                line += FormatFileValue(m.MaxT);
            }
            if (!IsUnset(m.MinPercent) || !IsUnset(m.MaxPercent))
                line += " %" + Pair(m.MinPercent, m.MaxPercent);
            out.push_back(line);
        }
        out.emplace_back();
    }
    return out;
}

std::string TTaskList::InvertedBound(int k) const
{
    if (k < 0 || k >= Count || k >= MaxTasks)
        return {};
    const TTaskRecord& t = Items[static_cast<std::size_t>(k) + 1];
    std::string found;
    auto check = [&](long double lo, long double hi, const std::string& what) {
        if (found.empty())
            if (const std::string inverted = InvertedRange(lo, hi); !inverted.empty())
                found = what + ": " + inverted;
    };
    check(t.MinMet, t.MaxMet, "MASSMET");
    check(t.IniMinMet, t.IniMaxMet, "MASSMET");
    check(t.MinSlg, t.MaxSlg, "MASSSLG");
    check(t.IniMinSlg, t.IniMaxSlg, "MASSSLG");
    check(t.MinOsn, t.MaxOsn, "OSNSLG");
    check(t.MinGas, t.MaxGas, "MASSGAS");
    check(t.MinTemp, t.MaxTemp, "TEMP");
    for (int e = 1; e <= std::min(std::max(t.NEl, 0), MaxTaskElements); ++e) {
        check(t.MetalMin[e], t.MetalMax[e], t.Symbols[e]);
        check(t.SlagMin[e], t.SlagMax[e], t.Symbols[e]);
    }
    for (int j = 1; j <= std::min(std::max(t.NMat, 0), MaxTaskMaterials); ++j) {
        check(t.Materials[j].MinT, t.Materials[j].MaxT, t.Materials[j].Name);
        check(t.Materials[j].MinPercent, t.Materials[j].MaxPercent, t.Materials[j].Name);
    }
    return found;
}

std::string InvertedPairsText(const std::string& fileName, std::size_t line, const std::string& limit, int count)
{
    std::string text = "Файл " + fileName + ", рядок " + std::to_string(line) + ": " + limit;
    if (count > 1)
        text += " (і ще меж: " + std::to_string(count - 1) + ")";
    return text + ". Завдання з такою межею не розраховується, доки її не виправлено.";
}

bool TTaskList::SaveToFile() const
{
    if (FileName.empty())
        return true;
    // A pair upside down is written as it stands: the reader takes it back
    // (and says where it is), and the task stays the user's to mend. A task
    // that holds what the reader refuses (a name listed twice, a value out of
    // its range) is not written: the reader would refuse the whole file.
    for (int k = 1; k <= Count && k <= MaxTasks; ++k)
        if (const TTaskEntryRefusal refusal = RefusedTaskEntry(Items[static_cast<std::size_t>(k)], false);
            refusal.Found()) {
            ShowWarning("Неможливо зберегти файл " + FileName + "\n" + TaskEntryText(refusal));
            return false;
        }
    return SaveDataFile(ResolveProjectFile(FileName), FileName, FileLines());
}

} // namespace ferrolyt
