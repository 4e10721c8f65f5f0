#include "TaskEntries.h"

#include "FieldRanges.h"
#include "TextFile.h"
#include "Utils.h"

#include <algorithm>
#include <array>
#include <vector>

namespace ferrolyt {

namespace {

using Field = TTaskEditorView::Field;
constexpr int FieldCount = TTaskEditorView::FieldCount;
constexpr int RowValues = 6; // grid columns 2..7

// One element or material row as the file would hold it.
struct TRow {
    int Row = 0;
    std::string Name;
    bool Known = true;
    std::string Key; // two rows with one key list the same entry
    std::array<long double, RowValues> Values{};
};

struct TEntries {
    std::string Task;
    std::array<long double, FieldCount> Fields{};
    std::vector<TRow> Elements;
    std::vector<TRow> Materials;
};

// Each edit's value is held to the range the reader holds its file field to.
constexpr std::array<TFieldRange, FieldCount> EditRanges = {
    FieldRange::Mass,        FieldRange::Mass,        FieldRange::Mass,        FieldRange::Mass,
    FieldRange::Mass,        FieldRange::Mass,        FieldRange::Mass,        FieldRange::Mass,
    FieldRange::Basicity,    FieldRange::Basicity,    FieldRange::Mass,        FieldRange::Mass,
    FieldRange::Temperature, FieldRange::Temperature, FieldRange::Temperature, FieldRange::Temperature,
    FieldRange::Energy,      FieldRange::Energy,      FieldRange::Pressure,    FieldRange::Charge};
// The file line each edit's value goes to.
constexpr std::array<const char*, FieldCount> EditKeys = {
    "MASSMET", "MASSMET", "MASSMET", "MASSMET", "MASSSLG", "MASSSLG", "MASSSLG", "MASSSLG", "OSNSLG", "OSNSLG",
    "MASSGAS", "MASSGAS", "TEMP",    "TEMP",    "TEMP",    "TEMP",    "TEMP",    "TEMP",    "EXTP",   "CHARGE"};
// The edits before MinTempEd come in pairs of a lower and an upper bound,
// as does MinTempEd with MaxTempEd.
bool UpperOfPair(int f) { return f % 2 == 1 && f <= TTaskEditorView::MaxTempEd; }

constexpr std::array<TFieldRange, RowValues> ElementRanges = {
    FieldRange::Percent, FieldRange::Percent, FieldRange::Percent,
    FieldRange::Percent, FieldRange::Percent, FieldRange::Percent};
constexpr std::array<TFieldRange, RowValues> MaterialRanges = {
    FieldRange::Mass, FieldRange::Mass, FieldRange::Mass, FieldRange::Mass, FieldRange::Percent, FieldRange::Percent};
// The grid columns of the bounds that come in pairs, by their lower one.
constexpr std::array<int, 2> ElementPairs = {2, 5}; // metal, slag
constexpr std::array<int, 2> MaterialPairs = {4, 6}; // tonnes, per cent

// The reader's verdict on the number as the writer puts it: a value cut to
// the file's eight characters is judged as it will come back.
std::string OutOfFileRange(long double v, const TFieldRange& range)
{
    long double read = 0;
    std::string refusal;
    ReadFileNumber(FormatFileValue(v), read, range, refusal);
    return refusal;
}

// Empty when the file can hold the text as one line in its code page.
std::string UnwritableText(const std::string& text)
{
    if (text.find_first_of("\r\n") != std::string::npos)
        return "розрив рядка не можна записати у файл завдань";
    std::string converted;
    std::string error;
    return TryToCp1251(text, converted, &error) ? std::string() : error;
}

TEntries FromEditor(const TTaskEditorView& editor)
{
    TEntries entries;
    for (int f = 0; f < FieldCount; ++f)
        ReadEditValue(editor.EditText(static_cast<Field>(f)), entries.Fields[static_cast<std::size_t>(f)]);
    // The names as StoreCurrent takes them; an empty one deletes its row.
    auto rows = [](int count, auto cell, auto known, auto key) {
        std::vector<TRow> out;
        for (int row = 1; row <= count; ++row) {
            TRow r;
            r.Row = row;
            r.Name = TrimBlanks(cell(1, row));
            if (r.Name.empty())
                continue;
            r.Known = known(r.Name);
            r.Key = key(r.Name);
            for (int c = 0; c < RowValues; ++c)
                ReadEditValue(cell(c + 2, row), r.Values[static_cast<std::size_t>(c)]);
            out.push_back(std::move(r));
        }
        return out;
    };
    entries.Elements = rows(
        editor.ElementRowCount(), [&](int c, int r) { return editor.ElementCell(c, r); },
        [](const std::string& s) { return ElementBase.IndexOfSymbol(s) >= 0; },
        [](const std::string& s) { return UpperCase1251(Utf8Left(s, 3)); });
    entries.Materials = rows(
        editor.MaterialRowCount(), [&](int c, int r) { return editor.MaterialCell(c, r); },
        [](const std::string& s) { return MaterialIndexByName(s) >= 0; },
        [](const std::string& s) { return std::to_string(MaterialIndexByName(s)); });
    return entries;
}

TEntries FromRecord(const TTaskRecord& t)
{
    TEntries entries;
    entries.Task = t.Name;
    for (std::size_t f = 0; f < TaskValueFields.size(); ++f)
        entries.Fields[f] = t.*TaskValueFields[f];
    for (int e = 1; e <= std::min(std::max(t.NEl, 0), MaxTaskElements); ++e) {
        TRow r;
        r.Row = e;
        r.Name = t.Symbols[e];
        r.Key = UpperCase1251(t.Symbols[e]);
        r.Values = {t.MetalMin[e], t.MetalMax[e], t.MetalSample[e], t.SlagMin[e], t.SlagMax[e], t.SlagSample[e]};
        entries.Elements.push_back(std::move(r));
    }
    for (int j = 1; j <= std::min(std::max(t.NMat, 0), MaxTaskMaterials); ++j) {
        const TMaterialRecord& m = t.Materials[j];
        TRow r;
        r.Row = j;
        r.Name = m.Name;
        r.Key = std::to_string(m.TableIndex);
        r.Values = {m.Recommended, m.Fixed, m.MinT, m.MaxT, m.MinPercent, m.MaxPercent};
        entries.Materials.push_back(std::move(r));
    }
    return entries;
}

TTaskEntryRefusal RowRefusal(const std::vector<TRow>& rows, TTaskEntryRefusal::Place place,
                             const std::array<TFieldRange, RowValues>& ranges, const std::array<int, 2>& pairs,
                             bool bounds)
{
    using Kind = TTaskEntryRefusal::Kind;
    const bool elements = place == TTaskEntryRefusal::Place::ElementRow;
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const TRow& r = rows[k];
        TTaskEntryRefusal refusal;
        refusal.Where = place;
        refusal.Row = r.Row;
        refusal.Column = 1;
        refusal.Name = r.Name;
        auto found = [&](Kind what, std::string reason) {
            refusal.What = what;
            refusal.Reason = std::move(reason);
            return refusal;
        };
        if (!r.Known)
            return found(Kind::Unknown, elements ? "елемента \"" + r.Name + "\" немає серед елементів програми"
                                                 : "матеріалу \"" + r.Name + "\" немає серед матеріалів проекту");
        if (const std::string error = UnwritableText(r.Name); !error.empty())
            return found(Kind::Unwritable, "назва, " + error);
        for (std::size_t i = 0; i < k; ++i)
            if (rows[i].Key == r.Key)
                return found(Kind::Repeated, (elements ? "елемент " : "матеріал ") + r.Name +
                                                 " указано двічі (уперше в рядку " + std::to_string(rows[i].Row) +
                                                 ")");
        for (int c = 0; c < RowValues; ++c) {
            refusal.Column = c + 2;
            const auto v = static_cast<std::size_t>(c);
            if (std::string reason = OutOfFileRange(r.Values[v], ranges[v]); !reason.empty())
                return found(Kind::OutOfRange, std::move(reason));
            for (const int lower : pairs)
                if (bounds && c + 1 == lower) // the pair's upper column
                    if (std::string reason = InvertedRange(r.Values[v - 1], r.Values[v]); !reason.empty()) {
                        refusal.Column = lower;
                        return found(Kind::Inverted, std::move(reason));
                    }
        }
    }
    return {};
}

TTaskEntryRefusal Check(const TEntries& entries, bool bounds)
{
    using Kind = TTaskEntryRefusal::Kind;
    TTaskEntryRefusal refusal;
    if (const std::string error = UnwritableText(entries.Task); !error.empty()) {
        refusal.What = Kind::Unwritable;
        refusal.Reason = "назва, " + error;
    }
    for (int f = 0; f < FieldCount && !refusal.Found(); ++f) {
        const auto k = static_cast<std::size_t>(f);
        refusal.Where = TTaskEntryRefusal::Place::Edit;
        refusal.Field = static_cast<Field>(f);
        if (std::string reason = OutOfFileRange(entries.Fields[k], EditRanges[k]); !reason.empty()) {
            refusal.What = Kind::OutOfRange;
            refusal.Reason = std::move(reason);
        } else if (bounds && UpperOfPair(f)) {
            refusal.Field = static_cast<Field>(f - 1);
            refusal.Reason = InvertedRange(entries.Fields[k - 1], entries.Fields[k]);
            refusal.What = refusal.Reason.empty() ? Kind::None : Kind::Inverted;
        }
    }
    if (!refusal.Found())
        refusal = RowRefusal(entries.Elements, TTaskEntryRefusal::Place::ElementRow, ElementRanges, ElementPairs,
                             bounds);
    if (!refusal.Found())
        refusal = RowRefusal(entries.Materials, TTaskEntryRefusal::Place::MaterialRow, MaterialRanges, MaterialPairs,
                             bounds);
    if (!refusal.Found())
        return {};
    refusal.Task = entries.Task;
    return refusal;
}

} // namespace

TTaskEntryRefusal RefusedEditorEntry(const TTaskEditorView& editor) { return Check(FromEditor(editor), true); }

TTaskEntryRefusal RefusedTaskEntry(const TTaskRecord& task, bool bounds) { return Check(FromRecord(task), bounds); }

std::string TaskEntryText(const TTaskEntryRefusal& refusal)
{
    using Place = TTaskEntryRefusal::Place;
    using Kind = TTaskEntryRefusal::Kind;
    std::string text = "завдання \"" + refusal.Task + "\"";
    switch (refusal.Where) {
    case Place::Task:
        break;
    case Place::Edit:
        text += ", " + std::string(EditKeys[static_cast<std::size_t>(refusal.Field)]);
        break;
    case Place::ElementRow:
        text += ", рядок " + std::to_string(refusal.Row) + " таблиці елементів";
        break;
    case Place::MaterialRow:
        text += ", рядок " + std::to_string(refusal.Row) + " таблиці матеріалів";
        break;
    }
    const bool value = refusal.What == Kind::OutOfRange || refusal.What == Kind::Inverted;
    if (value && refusal.Where != Place::Edit)
        text += ", " + refusal.Name;
    return text + ": " + refusal.Reason;
}

} // namespace ferrolyt
