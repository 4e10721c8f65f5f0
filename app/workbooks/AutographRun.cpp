#include "AutographRun.h"

#include "AutographChart.h"
#include "AutographPoint.h"
#include "Host.h"
#include "Model.h"
#include "ProgramDir.h"
#include "ResultDisplay.h"
#include "RunState.h"
#include "Settings.h"
#include "TaskList.h"
#include "ThSys.h"
#include "Utils.h"
#include "Workbook.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <tuple>
#include <variant>

namespace ferrolyt {

namespace {

std::string Trim(const std::string& s)
{
    const auto a = s.find_first_not_of(" \t");
    if (a == std::string::npos)
        return {};
    const auto b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
}

void ReplaceAll(std::string& s, char from, char to) { std::replace(s.begin(), s.end(), from, to); }

// Replaces the first "%s" of a caption.
std::string FormatCaption(const std::string& caption, const std::string& value)
{
    const auto p = caption.find("%s");
    return p == std::string::npos ? caption : caption.substr(0, p) + value + caption.substr(p + 2);
}

// A name no other sheet of the book has (the comparison ignores case, as the
// spreadsheet program's does).
std::string UniqueSheetName(TWorkbook& book, const TWorksheet& self, const std::string& wanted)
{
    auto taken = [&](const std::string& name) {
        auto lower = [](std::string s) {
            for (char& ch : s)
                ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
            return s;
        };
        for (int i = 1; i <= book.SheetCount(); ++i) {
            const TWorksheet& other = book.Worksheets(i);
            if (&other != &self && lower(other.Name()) == lower(name))
                return true;
        }
        return false;
    };
    const std::string base = SafeSheetName(wanted);
    std::string name = base;
    for (int n = 2; taken(name); ++n) {
        const std::string suffix = " (" + std::to_string(n) + ")";
        name = Utf8Left(base, 31 - suffix.size()) + suffix;
    }
    return name;
}

// The task sheet of the task just computed.
void WriteTaskSheet(TWorksheet& sheet, TAutographSweep& sw, const TAutographChoices& ch, const std::string& taskName)
{
    sheet.SetName(UniqueSheetName(sheet.Workbook(), sheet, taskName));
    sheet.TabColorIndex = 15;
    const int cols = sw.Curves + 1;
    TValueArray values(static_cast<std::size_t>(sw.Row + 1), std::vector<TCellValue>(static_cast<std::size_t>(cols)));
    values[0][0] = ch.XText;
    auto header = [&](int c, const std::string& text) {
        if (c >= 1 && c <= sw.Curves)
            values[0][static_cast<std::size_t>(c)] = text;
    };
    if (sw.YKind == 7 || sw.YKind == 8) {
        for (int j = 1; j <= MaterialCount; ++j)
            header(j, MaterialTable[j].Name);
        if (sw.YKind == 8)
            header(MaterialCount + 1, MaterialTable[MaterialCount + 1].Name);
    } else if (sw.YKind == 4 && sw.ElementIndex < 0) {
        for (int e = 0; e <= SystemElemLast && e < ThSystems[0]->Elems->Count; ++e)
            header(e + 1, ThSystems[0]->El(e).Symbol);
    } else if (sw.YKind == 2) {
        int c = 0;
        for (int k : sw.GasSpecies) {
            ++c;
            header(c, k >= 1 && k <= ActiveGasCount ? ActiveGases[k].Name : std::string());
        }
    } else {
        header(1, ch.YText);
    }
    for (int r = 1; r <= sw.Row; ++r) {
        auto& row = values[static_cast<std::size_t>(r)];
        row[0] = sw.XTable[static_cast<std::size_t>(r + 1)];
        for (int c = 1; c <= sw.Curves; ++c) {
            const double y = sw.YTable[static_cast<std::size_t>(r + 1)][static_cast<std::size_t>(c)];
            if (y != UnsetY)
                row[static_cast<std::size_t>(c)] = y;
        }
    }
    sheet.Range(1, 1, sw.Row + 1, cols).SetValues(values);
    sheet.Rows(1).SetBold(true);
    sheet.Rows(1).SetHorizontalAlignment(3);

    if (sw.Row == 0)
        return; // nothing to draw
    if (sw.YKind == 4 && sw.ElementIndex < 0 && sw.Series) {
        AddAutographChart(sheet, sw, 30, 30, 1 + sw.Curves, sheet.Workbook().ActiveSheetIndex(), sw.Curves);
        return;
    }
    for (int c = 1; c <= sw.Curves; ++c)
        AddAutographChart(sheet, sw, c % 2 == 1 ? 10 : 420, 20 + 310 * ((c - 1) / 2), 1 + c, c, 1);
}

void WriteSeriesSheet(TWorkbook& book, TWorksheet& sheet, TAutographSweep& sw, const TAutographChoices& ch, int c,
                      int taskSheets)
{
    std::string name;
    if (sw.YKind == 7 || sw.YKind == 8) {
        name = c >= 1 && c <= MaterialSlotLast ? MaterialTable[c].Name : std::string();
        ReplaceAll(name, '/', '_');
    } else {
        name = Utf8Left(ch.YText, 31);
    }
    sheet.SetName(UniqueSheetName(book, sheet, name));
    TWorksheet& first = book.Worksheets(1);
    const int rows = std::max(first.UsedRange().Row2, 1);
    sheet.Range(1, 1, rows, 1).SetValues(first.Range(1, 1, rows, 1).Values());
    for (int k = 1; k <= taskSheets; ++k) {
        TWorksheet& task = book.Worksheets(k);
        const int taskRows = std::max(task.UsedRange().Row2, 1);
        sheet.Range(1, k + 1, taskRows, k + 1).SetValues(task.Range(1, c + 1, taskRows, c + 1).Values());
        sheet.Cells(1, k + 1).SetValue(task.Name());
    }
    if (sw.Row == 0)
        return;
    TChart& chart = AddAutographChart(sheet, sw, 30, 30, 1 + taskSheets, c, taskSheets);
    if (!RecordsItsOwnX(sw.XKind))
        return;
    // Each task's curve against the X that task recorded, in columns after
    // the tasks' curves, and an X axis over all of them.
    double lo = HUGE_VAL, hi = -HUGE_VAL;
    for (int k = 1; k <= taskSheets; ++k) {
        TWorksheet& task = book.Worksheets(k);
        const int taskRows = std::max(task.UsedRange().Row2, 1);
        const int col = taskSheets + 1 + k;
        const TValueArray xs = task.Range(1, 1, taskRows, 1).Values();
        sheet.Range(1, col, taskRows, col).SetValues(xs);
        sheet.Cells(1, col).SetValue(ch.XText + " " + task.Name());
        for (const auto& row : xs)
            if (const double* x = std::get_if<double>(&row[0])) {
                lo = std::min(lo, *x);
                hi = std::max(hi, *x);
            }
        if (k <= static_cast<int>(chart.Series.size()))
            chart.SeriesAt(k).XValues = TCellRect{2, col, taskRows, col};
    }
    if (lo <= hi)
        std::tie(chart.Axis(1).MinimumScale, chart.Axis(1).MaximumScale) = AutographAxisRange(lo, hi);
}

} // namespace

std::string SafeSheetName(const std::string& name)
{
    std::string s = name;
    for (char bad : std::string("[]:*?/\\"))
        ReplaceAll(s, bad, '_');
    while (!s.empty() && s.front() == '\'')
        s.erase(s.begin());
    s = Utf8Left(s, 31);
    while (!s.empty() && s.back() == '\'')
        s.pop_back();
    if (Trim(s).empty())
        s = "Аркуш";
    return s;
}

std::string AutographFileName(const TAutographChoices& ch, const TAutographSweep& sw, const std::string& taskName)
{
    std::string q;
    if (ch.ElementEnabled)
        q = "_" + Utf8Left(ch.ElementText, 80);
    if (ch.PhaseEnabled)
        q += "_" + Utf8Left(ch.PhaseText, 3);
    if (ch.UnitEnabled)
        q += "_" + Utf8Left(ch.UnitText, 80);
    ReplaceAll(q, '/', '_');
    if (ElemRelToElement && sw.YKind == 4 && ch.UnitText == "мас.%")
        q += "_Msg";
    if (sw.Optimise)
        q += "_опт";
    std::string name = std::string(AutographXCodes[static_cast<std::size_t>(sw.XKind)]) + "-" +
                       AutographYCodes[static_cast<std::size_t>(sw.YKind)] + q + ".xls";
    if (sw.Series)
        name = "Ser_" + name;
    if (!sw.AllTasks) {
        // The task's name becomes part of a file name: no folder separators.
        std::string task = Utf8Left(taskName, 10);
        for (char bad : std::string("/\\:*?\"<>|"))
            ReplaceAll(task, bad, '_');
        name = task + "_" + name;
    }
    return name;
}

TAutographRunResult RunAutographs(const TAutographChoices& ch, TAutographCommands& commands)
{
    TAutographRunResult result;
    if (CalcBusy) {
        AskStopCalculation();
        return result;
    }
    if (ch.XKind < 0 || ch.XKind >= AutographXKinds || ch.YKind < 0 || ch.YKind >= AutographYKinds ||
        Trim(ch.RangeX1).empty() || Trim(ch.RangeX2).empty()) {
        ShowWarning(MissingChoicesText);
        return result;
    }

    TAutographSweep sw;
    sw.XKind = ch.XKind;
    sw.YKind = ch.YKind;

    // Element, phase and unit.
    std::string genitive = ch.ElementEnabled ? Utf8Left(ElementGenitiveName(ch.ElementText), 15) : std::string();
    if (genitive.empty())
        genitive = "%s";
    sw.ElementIndex = ch.ElementEnabled ? ThSystems[0]->Elems->IndexOfSymbol(ch.ElementText) : -1;
    sw.PhaseCode = AutographPhaseCode(ch.PhaseText, ch.PhaseEnabled);
    sw.UnitCode = AutographUnitCode(ch.UnitText);

    // Ranges.
    const auto first = ParseSweepRange(ch.RangeX1, ch.RangeX2, ch.StepX);
    if (!first) {
        ShowWarning(BadRangeText);
        return result;
    }
    sw.First = *first;
    sw.Second = ParseSweepRange(ch.RangeXX1, ch.RangeXX2, ch.StepXX);
    const long long points = 1LL + sw.First.Steps + (sw.Second ? sw.Second->Steps : 0);
    if (points > MaxAutographPoints) {
        ShowWarning(TooManyPointsText);
        return result;
    }
    sw.RowsTotal = static_cast<int>(points);

    // Options.
    sw.AllTasks = ch.AllTasks;
    sw.SkipBad = ch.SkipBad;
    sw.Optimise = ch.Optimise;
    sw.Series = ch.SeriesEnabled && ch.SeriesChecked;
    sw.Markers = ch.Markers;
    sw.Colour = ch.ColourEnabled && ch.ColourChecked;
    sw.NoNeg = ch.NoNeg;
    sw.FixedMaterial = ch.XFactIndex + 1;
    sw.GasSpecies = ch.CheckedGases;

    // Captions.
    sw.XCaption = Utf8Left(sw.XKind == 5 ? FormatCaption(ch.XText, ch.XFactText) : ch.XText, 80);
    std::string qualifier;
    if (ch.ElementEnabled)
        qualifier = " " + genitive;
    if (ch.PhaseEnabled) {
        if (sw.YKind == 4 || sw.YKind == 6)
            qualifier += " в";
        qualifier += " " + ch.PhaseText;
    }
    sw.YCaption = Utf8Left(ch.YText + qualifier + ", " + ch.UnitText, 80);

    // Counts.
    const int savedCurrent = TaskList.Current;
    if (TaskList.Count <= 0 || (!sw.AllTasks && (savedCurrent < 0 || savedCurrent >= TaskList.Count))) {
        ShowWarning(MissingChoicesText);
        return result;
    }
    if (sw.XKind == 5 && (sw.FixedMaterial < 1 || sw.FixedMaterial > MaterialCount)) {
        ShowWarning(MissingChoicesText);
        return result;
    }
    sw.TaskCount = sw.AllTasks ? TaskList.Count : 1;
    sw.SeriesSheets = sw.Series ? 1 : 0;
    sw.Curves = 1;
    switch (sw.YKind) {
    case 2:
        sw.SeriesSheets = 1;
        sw.Curves = static_cast<int>(sw.GasSpecies.size());
        if (sw.Curves == 0) { // no species to draw
            ShowWarning(MissingChoicesText);
            return result;
        }
        break;
    case 4:
        if (sw.ElementIndex < 0)
            sw.Curves = SystemElemLast + 1;
        break;
    case 7:
        sw.SeriesSheets = sw.Series ? MaterialCount : 0;
        sw.Curves = MaterialCount;
        break;
    case 8:
        sw.SeriesSheets = sw.Series ? MaterialCount + 1 : 0;
        sw.Curves = MaterialCount + 1;
        break;
    default: break;
    }
    sw.Curves = std::max(sw.Curves, 0);

    // What the run changes and puts back at its end.
    const std::string startTaskName = TaskList.CurrentTask().Name;
    const auto savedTasks = std::make_unique<decltype(TaskList.Items)>(TaskList.Items);
    const auto savedMaterials = std::make_unique<TMaterialTable>(MaterialTable);
    const bool savedAutoOxygen = Settings.AutoOxygen;

    TSpreadsheetApp app;
    const int savedSheetsInNewWorkbook = app.SheetsInNewWorkbook;
    app.SheetsInNewWorkbook = 1; // sheets are added as tasks finish
    TWorkbook& book = app.AddWorkbook();
    sw.NewFormat = book.FileFormat() == xl::OpenXMLWorkbook;

    if (sw.YKind == 8 && MaterialCount + 1 <= MaterialSlotLast)
        MaterialTable[MaterialCount + 1].Name = "Вартість матеріалів";
    SuppressConvergenceWarning = true;
    if (sw.XKind == 6)
        Settings.AutoOxygen = true;

    bool open = false;
    auto restore = [&] {
        ChargePortion = 100.0;
        commands.SetProgress(0);
        TaskList.Items = *savedTasks;
        TaskList.Current = savedCurrent;
        MaterialTable = *savedMaterials;
        Settings.AutoOxygen = savedAutoOxygen;
        try {
            commands.RefreshCurrentTask();
        } catch (...) {
        }
        app.SheetsInNewWorkbook = savedSheetsInNewWorkbook;
        if (!open)
            app.Quit();
        SuppressConvergenceWarning = false;
    };

    try {
        const std::vector<double> xs = SweepPoints(sw.First, sw.Second);
        int sheets = 0;
        for (int task = 0; task < TaskList.Count && !result.Stopped; ++task) {
            if (!sw.AllTasks && task != savedCurrent)
                continue;
            TaskList.Current = task;
            sw.ResetTables();
            for (double x : xs) {
                if (commands.SweepStopRequested()) {
                    result.Stopped = true;
                    break;
                }
                ++sw.Row;
                sw.X = x;
                ComputeAutographPoint(sw, commands);
                ++result.Points;
            }
            if (sw.Row == 0 && result.Stopped)
                break;
            ++sheets;
            TWorksheet& sheet = sheets == 1 ? book.Worksheets(1) : book.AddSheet();
            book.Activate(sheets);
            WriteTaskSheet(sheet, sw, ch, TaskList.CurrentTask().Name);
            sheet.Zoom = 75;
            ++sw.TasksDone;
        }

        if (sheets > 0 && sw.SeriesSheets > 0 && !(sw.YKind == 4 && sw.ElementIndex < 0)) {
            if (sw.SeriesSheets > 1)
                commands.SetProgress(0);
            for (int c = 1; c <= sw.SeriesSheets; ++c) {
                TWorksheet& sheet = book.AddSheet();
                book.Activate(book.SheetCount());
                WriteSeriesSheet(book, sheet, sw, ch, c, sheets);
                sheet.Zoom = 75;
                if (sw.SeriesSheets > 1)
                    commands.SetProgress(static_cast<int>(std::lround(c * 100.0 / sw.SeriesSheets)));
            }
        }
        book.Activate(1);

        if (sheets > 0) {
            std::string name = AutographFileName(ch, sw, startTaskName);
            std::string path = ProgramDir() + "/" + name;
            const std::string ext = SaveWorkbookAs(book, path);
            name = ChangeFileExt(name, ext);
            result.FileName = path;
            result.Ran = true;
            open = CurrentHost().AskYesNo("Файл " + name + " готовий!\nВідкрити?");
        }
    } catch (...) {
        open = false;
        restore();
        throw;
    }
    restore();
    if (open)
        commands.OpenWorkbook(result.FileName);
    return result;
}

} // namespace ferrolyt
