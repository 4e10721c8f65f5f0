// Autographs: axis ends, the sweep's points, X into a task, Y from two solved
// systems, names, short sweeps on the sample project checked in the saved
// workbook against independent melts, and the dialog.

#include "AutoF.h"
#include "AutographChart.h"
#include "AutographPoint.h"
#include "AutographRun.h"

#include "ForwardProblem.h"
#include "Host.h"
#include "Model.h"
#include "Project.h"
#include "ResultDisplay.h"
#include "RunState.h"
#include "Settings.h"
#include "TaskList.h"
#include "ThSys.h"
#include "Workbook.h"
#include "support/AppFixture.h"
#include "support/SavedWorkbook.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <functional>
#include <memory>

using namespace ferrolyt;

namespace {

class TRecordingHost : public Host {
public:
    QStringList warnings, questions;
    int ShowWarning(const std::string& text) override
    {
        warnings << QString::fromStdString(text);
        return 1;
    }
    bool AskYesNo(const std::string& text) override
    {
        questions << QString::fromStdString(text);
        return false;
    }
};

// Engine commands that count the points and can stop the sweep after some.
class TScriptedCommands : public TAutographCommands {
public:
    int melts = 0;
    int stopAfter = -1; // melts after which the sweep is asked to stop
    std::function<void()> onMessages;
    bool MeltButClick() override
    {
        ++melts;
        return TAutographCommands::MeltButClick();
    }
    bool SweepStopRequested() override { return stopAfter >= 0 && melts >= stopAfter; }
    void ProcessMessages() override
    {
        if (onMessages)
            onMessages();
    }
};

// Chooses an item as the user would: the list's own handler follows.
void Pick(TAutoF& f, QComboBox* list, int item, void (TAutoF::*chosen)())
{
    list->setCurrentIndex(item);
    (f.*chosen)();
}

// The lower and the upper axis end.
std::pair<double, double> AxisEnds(double a, double b)
{
    return {RoundAxisBound(false, a, b), RoundAxisBound(true, a, b)};
}

// The points of one range, none when it is refused.
std::vector<double> Points(const char* x1, const char* x2, const char* step)
{
    const auto r = ParseSweepRange(x1, x2, step);
    return r ? SweepPoints(*r, std::nullopt) : std::vector<double>{};
}

// A sweep ready to read Y into its first row.
TAutographSweep FirstRow(int yKind, int curves = 1)
{
    TAutographSweep sw;
    sw.YKind = yKind;
    sw.Curves = curves;
    sw.ResetTables();
    sw.Row = 1;
    return sw;
}

// Numbers of one column of a sheet's XML, by row (text cells left out).
QMap<int, double> ColumnNumbers(const QString& xml, const QString& column)
{
    QMap<int, double> values;
    const QRegularExpression cell("<c r=\"" + column + "(\\d+)\"(?![^>]*t=\"s\")[^>]*>(?:<f>[^<]*</f>)?<v>([^<]*)</v>");
    for (auto it = cell.globalMatch(xml); it.hasNext();) {
        const auto m = it.next();
        values[m.captured(1).toInt()] = m.captured(2).toDouble();
    }
    return values;
}

// A sheet column's letter, 1 for A.
QString ColumnName(int column) { return QString(QChar('A' + column - 1)); }

} // namespace

class TstAutographs : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    TRecordingHost host;
    Host* previousHost = nullptr;

    void LoadSample()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(UseSampleCopy(*dir));
        QVERIFY(LoadProject(dir->filePath("FERROLYT.FWP").toStdString()));
        QVERIFY2(host.warnings.isEmpty(), qPrintable(host.warnings.join("; ")));
    }

    static TAutographChoices Sweep(int x, int y, const char* unit, const char* x1, const char* x2, const char* step)
    {
        TAutographChoices c;
        c.XKind = x;
        c.XText = AutographXItems[x];
        c.YKind = y;
        c.YText = AutographYItems[y];
        c.UnitText = unit;
        c.UnitEnabled = true;
        c.RangeX1 = x1;
        c.RangeX2 = x2;
        c.StepX = step;
        return c;
    }

    static TAutographChoices IniTempToFinalTemp() { return Sweep(1, 0, "C", "1550", "1650", "50"); }

private slots:
    void initTestCase() { previousHost = SetHost(&host); }
    void cleanupTestCase() { SetHost(previousHost); }

    void init()
    {
        ResetModel();
        ClearProjectState();
        SetOptionDefaults();
        ElemRelToElement = false;
        host.warnings.clear();
        host.questions.clear();
    }

    void cleanup() { dir.reset(); }

    // --- axis ends

    void axisEndsRoundOutwardToTheDigitsThatTellThemApart()
    {
        QCOMPARE(AxisEnds(1000, 1100), std::pair(1000.0, 1200.0));
        QCOMPARE(AxisEnds(1234, 1300), std::pair(1200.0, 1400.0));
        QVERIFY(std::fabs(RoundAxisBound(false, 0.0234, 0.05) - 0.02) < 1e-12);
        QVERIFY(std::fabs(RoundAxisBound(true, 0.0234, 0.05) - 0.06) < 1e-12);
        QCOMPARE(AxisEnds(-5, 5), std::pair(-6.0, 6.0));
    }

    void axisEndsNearZeroOrEqualStayPut()
    {
        QCOMPARE(RoundAxisBound(false, 0.004, 0.05), 0.0); // below 0.01
        QCOMPARE(AxisEnds(2, 2), std::pair(2.0, 2.0));
        QCOMPARE(RoundAxisBound(false, 0, 7), 0.0);
        // Ends given the wrong way round still give the smaller lower end.
        QCOMPARE(AxisEnds(1100, 1000), std::pair(1000.0, 1200.0));
        // Negative ends: the upper towards zero, the lower away from it by a
        // whole step, even from a round end.
        QCOMPARE(AxisEnds(-30, -12), std::pair(-40.0, -10.0));
        for (double a : {-7.3, 0.37, 12.5, 1873.15})
            for (double b : {a + 0.01, a + 3.0, a + 250.0}) {
                QVERIFY(RoundAxisBound(false, a, b) <= a);
                QVERIFY(RoundAxisBound(true, a, b) >= b);
            }
    }

    // A constant curve, or one that carries only rounding noise, gets an
    // axis of about a hundredth of its value: ends that meet draw an empty
    // chart, and a span of 1e-12 blows the noise up into waves.
    void flatCurvesGetAnAxisOfAHundredthOfTheirValue()
    {
        for (const double v : {2.0, 1600.0, -0.35, 0.0}) {
            const auto [lo, hi] = AutographAxisRange(v, v);
            QVERIFY2(lo < v && v < hi && hi - lo <= (v == 0 ? 2 : 0.05 * std::fabs(v)),
                     qPrintable(QString("%1: %2..%3").arg(v).arg(lo).arg(hi)));
        }
        const auto [lo, hi] = AutographAxisRange(0.1234, 0.1234 + 1e-12);
        QVERIFY(lo <= 0.1234 && hi >= 0.1234 && hi - lo >= 0.001);
        QCOMPARE(AutographAxisRange(1000, 1100), std::pair(1000.0, 1200.0));
        QCOMPARE(AutographAxisRange(0.0234, 0.05).first, RoundAxisBound(false, 0.0234, 0.05));
    }

    // --- the sweep's points

    void aRangeEndsWithAShorterStepEitherWay()
    {
        QCOMPARE(Points("0", "10", "3"), (std::vector<double>{0, 3, 6, 9, 10}));
        QCOMPARE(ParseSweepRange("0", "10", "3").value().Steps, 4);
        // A falling range turns its step.
        QCOMPARE(Points("10", "0", "3"), (std::vector<double>{10, 7, 4, 1, 0}));
        QCOMPARE(ParseSweepRange("10", "0", "3").value().Step, -3.0);
    }

    void badRangesAreRefused()
    {
        const char* bad[][3] = {{"0", "10", "-3"}, {"0", "10", "0"}, {"0", "10", ""},
                                {"5", "5", "1"},   {"a", "5", "1"},  {"0", "inf", "1"}};
        for (const auto& r : bad)
            QVERIFY2(!ParseSweepRange(r[0], r[1], r[2]), qPrintable(QString("%1 %2 %3").arg(r[0], r[1], r[2])));
    }

    void theSecondRangeSkipsItsFirstEnd()
    {
        const auto b = ParseSweepRange("10", "20", "5");
        QCOMPARE(SweepPoints(ParseSweepRange("0", "10", "5").value(), b), (std::vector<double>{0, 5, 10, 15, 20}));
    }

    void decimalCommasReadAndRoundingAddsNoPoint()
    {
        const auto xs = Points("0", "1", "0,1");
        QCOMPARE(int(xs.size()), 11);
        QCOMPARE(xs.back(), 1.0);
        QCOMPARE(int(Points("0.3", "0", "0.1").size()), 4);
    }

    void tooManyPointsAreRefusedBeforeAnyMelt()
    {
        LoadSample();
        TAutographChoices c = IniTempToFinalTemp();
        c.StepX = "0.01";
        TScriptedCommands commands;
        const auto result = RunAutographs(c, commands);
        QVERIFY(!result.Ran);
        QCOMPARE(commands.melts, 0);
        QCOMPARE(host.warnings, QStringList{TooManyPointsText});
        host.warnings.clear();
        c.StepX = "";
        QVERIFY(!RunAutographs(c, commands).Ran);
        QCOMPARE(host.warnings, QStringList{BadRangeText});
    }

    // --- X written into the task

    void xGoesIntoTheTaskField()
    {
        TTaskRecord task;
        TAutographSweep sw;
        TAutographCommands commands;
        const std::array<long double TTaskRecord::*, 4> fields = {&TTaskRecord::ExtP, &TTaskRecord::IniTemp,
                                                                  &TTaskRecord::MinTemp, &TTaskRecord::IniMinSlg};
        for (int kind = 0; kind < 4; ++kind) {
            sw.XKind = kind;
            QVERIFY(ApplyAutographX(sw, task, 12.5, commands));
            QCOMPARE(double(task.*fields[static_cast<std::size_t>(kind)]), 12.5);
        }
        QCOMPARE(double(task.IniMaxSlg), 12.5);
        sw.XKind = 4;
        QVERIFY(ApplyAutographX(sw, task, 40, commands));
        QCOMPARE(ChargePortion, 40.0);
        sw.XKind = 6;
        QVERIFY(ApplyAutographX(sw, task, 0.3, commands));
        QCOMPARE(double(task.MetalSample[2]), 0.3);
        sw.XKind = 8;
        QVERIFY(ApplyAutographX(sw, task, -2, commands));
        QCOMPARE(double(task.Charge), -2.0);
    }

    void aFixedAmountGoesToTheTasksEntryOrANewOne()
    {
        MaterialCount = 3;
        MaterialTable[3].Name = "Вапно";
        TTaskRecord task;
        task.NMat = 2;
        task.Materials[1].TableIndex = 3;
        task.Materials[2].TableIndex = 1;
        TAutographSweep sw;
        sw.XKind = 5;
        sw.FixedMaterial = 3;
        TAutographCommands commands;
        QVERIFY(ApplyAutographX(sw, task, 4, commands));
        QCOMPARE(task.NMat, 2);
        QCOMPARE(double(task.Materials[1].Fixed), 4.0);
        sw.FixedMaterial = 2;
        QVERIFY(ApplyAutographX(sw, task, 7, commands));
        QCOMPARE(task.NMat, 3);
        QCOMPARE(int(task.Materials[3].TableIndex), 2);
        QCOMPARE(double(task.Materials[3].Fixed), 7.0);
        // A full list takes no further material.
        task.NMat = MaxTaskMaterials;
        for (int k = 1; k <= MaxTaskMaterials; ++k)
            task.Materials[k].TableIndex = 1;
        sw.FixedMaterial = 3;
        QVERIFY(!ApplyAutographX(sw, task, 1, commands));
        QCOMPARE(task.NMat, MaxTaskMaterials);
    }

    // --- Y read from the two systems

    void yIsTheMeanOfTheTwoSystemsInTheChosenUnit()
    {
        CreateSystems();
        TThSys& s0 = *ThSystems[0];
        TThSys& s1 = *ThSystems[1];
        TAutographSweep sw = FirstRow(0);
        auto y = [&](auto unit) {
            sw.UnitCode = unit;
            ReadAutographY(sw);
            return sw.Y(1);
        };
        s0.Temperature = s1.Temperature = 1873.15L;
        QVERIFY(std::fabs(y(auCelsius) - 1600) < 1e-9);
        s0.GasPressureSum = 0.4L;
        s1.GasPressureSum = 0.6L;
        sw.YKind = 1;
        QVERIFY(std::fabs(y(auMmHg) - 380) < 1e-9);
        QVERIFY(std::fabs(y(auKPa) - 50.6625) < 1e-9);
    }

    void thePresenceCodeIsNegativeWithoutConvergence()
    {
        CreateSystems();
        TThSys& s0 = *ThSystems[0];
        TThSys& s1 = *ThSystems[1];
        s0.MetalMass = s1.MetalMass = 90;
        s0.SlagMass = s1.SlagMass = 8;
        s0.GasMass = s1.GasMass = 0;
        TAutographSweep sw = FirstRow(5);
        sw.PhaseCode = apPresence;
        BothConverged = true;
        ReadAutographY(sw);
        QCOMPARE(sw.Y(1), 6.0);
        BothConverged = false;
        ReadAutographY(sw);
        QCOMPARE(sw.Y(1), -6.0);
    }

    void optimalAmountsPerTonneOfMetalAndTheCostColumn()
    {
        CreateSystems();
        ThSystems[0]->MetalMass = ThSystems[1]->MetalMass = 100;
        MaterialCount = 2;
        MaterialTable[1].Amount = 30;
        MaterialTable[1].Price = 10;
        MaterialTable[2].Amount = 0;
        MaterialTable[2].Price = 99;
        TAutographSweep sw = FirstRow(8, 3);
        sw.UnitCode = auKgPerT;
        ReadAutographY(sw);
        QVERIFY(std::fabs(sw.Y(1) - 300) < 1e-9);
        QCOMPARE(sw.Y(2), 0.0);
        QVERIFY(std::fabs(sw.Y(3) - 3) < 1e-9); // 300 per 100 t of metal
    }

    // --- names and titles

    void theFileNameIsMadeOfTheCodes()
    {
        TAutographChoices c;
        c.ElementText = "Mn";
        c.ElementEnabled = true;
        c.PhaseText = "металі";
        c.PhaseEnabled = true;
        c.UnitText = "мас.%";
        c.UnitEnabled = true;
        TAutographSweep sw;
        sw.XKind = 4;
        sw.YKind = 4;
        sw.AllTasks = true;
        sw.Series = true;
        QCOMPARE(QString::fromStdString(AutographFileName(c, sw, "x")), QString("Ser_Port-Cont_Mn_мет_мас.%.xls"));

        TAutographChoices t;
        t.UnitText = "C";
        t.UnitEnabled = true;
        TAutographSweep one;
        one.XKind = 0;
        one.YKind = 0;
        QCOMPARE(QString::fromStdString(AutographFileName(t, one, "Heat 1")), QString("Heat 1_Press-FinT_C.xls"));
        // A task name never makes a folder of the file name.
        QCOMPARE(QString::fromStdString(AutographFileName(t, one, "12/05")), QString("12_05_Press-FinT_C.xls"));
        t.UnitText = "К/(кг/т)";
        one.YKind = 7;
        one.Optimise = true;
        QCOMPARE(QString::fromStdString(AutographFileName(t, one, "ПЛ-100, плавка 20")),
                 QString("ПЛ-100, пл_Press-HEff_К_(кг_т)_опт.xls"));
    }

    void sheetNamesAreMadeAcceptable()
    {
        QCOMPARE(QString::fromStdString(SafeSheetName("a/b:c")), QString("a_b_c"));
        QCOMPARE(QString::fromStdString(SafeSheetName("")), QString("Аркуш"));
        QCOMPARE(int(QString::fromStdString(SafeSheetName(std::string(40, 'x'))).size()), 31);
    }

    void aChosenElementNamesItsOwnCurve()
    {
        CreateSystems();
        TElems& e = *ThSystems[0]->Elems;
        e.Clear();
        TElementRecord fe, ti;
        fe.Symbol = "Fe";
        ti.Symbol = "Ti";
        ti.Label = "TiO2";
        e.Add(fe);
        e.Add(ti);
        TAutographSweep sw;
        sw.YKind = 4;
        sw.ElementIndex = 1;
        sw.PhaseCode = apMetal;
        sw.YCaption = "Вміст %s в металі, мас.%";
        QCOMPARE(QString::fromStdString(AutographYTitle(sw, 1, 1)), QString("Вміст Ti в металі, мас.%"));
        sw.PhaseCode = apSlag;
        QCOMPARE(QString::fromStdString(AutographYTitle(sw, 1, 1)), QString("Вміст TiO2 в металі, мас.%"));
        sw.ElementIndex = -1;
        QCOMPARE(QString::fromStdString(AutographYTitle(sw, 1, 2)), QString("Вміст елементів в металі, мас.%"));
        sw.YCaption = "Вміст вуглецю в металі, мас.%";
        QCOMPARE(QString::fromStdString(AutographYTitle(sw, 1, 1)), QString("Вміст вуглецю в металі, мас.%"));
    }

    // --- a sweep on the sample project

    void aSweepWritesItsPointsAndAChartAndEqualsIndependentMelts()
    {
        LoadSample();
        const std::string taskName = TaskList.CurrentTask().Name;
        const long double iniTemp = TaskList.CurrentTask().IniTemp;
        TScriptedCommands commands;
        const auto result = RunAutographs(IniTempToFinalTemp(), commands);
        QVERIFY2(result.Ran, qPrintable(host.warnings.join("; ")));
        QCOMPARE(result.Points, 3);
        const QString file = QString::fromStdString(result.FileName);
        QCOMPARE(host.questions, QStringList{"Файл " + QFileInfo(file).fileName() + " готовий!\nВідкрити?"});
        QVERIFY(file.endsWith("_IniT-FinT_C.xlsx"));
        QVERIFY(QFileInfo(file).fileName().startsWith(QString::fromStdString(taskName).left(10)));
        // The run put the task back as it was.
        QCOMPARE(double(TaskList.CurrentTask().IniTemp), double(iniTemp));
        QCOMPARE(ChargePortion, 100.0);
        QVERIFY(!SuppressConvergenceWarning);

        const QString sheet = ZipMember(file, "xl/worksheets/sheet1.xml");
        QVERIFY(sheet.contains("<drawing"));
        const QString chart = ZipMember(file, "xl/charts/chart1.xml");
        QVERIFY(chart.contains("scatterChart"));
        const auto xs = ColumnNumbers(sheet, "A");
        const auto ys = ColumnNumbers(sheet, "B");
        QCOMPARE(xs.keys(), (QList<int>{2, 3, 4}));
        QCOMPARE(xs.values(), (QList<double>{1550, 1600, 1650}));
        QCOMPARE(ys.size(), 3);

        // Independent melts at the same X.
        for (int row = 2; row <= 4; ++row) {
            TaskList.CurrentTask().IniTemp = xs.value(row);
            MeltForward();
            const double t = double((ThSystems[0]->Temperature + ThSystems[1]->Temperature) / 2 - KelvinOffset);
            QVERIFY2(std::fabs(ys.value(row) - t) < 1e-6 * std::fabs(t),
                     qPrintable(QString("row %1: %2 against %3").arg(row).arg(ys.value(row)).arg(t)));
        }
        // A hotter start ends hotter.
        QVERIFY(ys.value(4) > ys.value(2));

        // The axis of X runs over the range; the one of Y is rounded outward.
        const QString header = ZipMember(file, "xl/sharedStrings.xml");
        QVERIFY(header.contains(AutographXItems[1]));
        QVERIFY(chart.contains("<c:max val=\"1650\"/>"));
        QVERIFY(chart.contains("<c:min val=\"1550\"/>"));
    }

    // The slag ratio, like the two oxygen contents, is recorded as each task
    // reached it: on the series sheet every task's curve runs against its
    // own X, and the X axis covers them all.
    void seriesOfARecordedXTakeEachTasksOwnX()
    {
        LoadSample();
        TAutographChoices c = Sweep(3, 0, "C", "5", "15", "10");
        c.AllTasks = true;
        c.SeriesEnabled = c.SeriesChecked = true;
        TScriptedCommands commands;
        const auto result = RunAutographs(c, commands);
        QVERIFY2(result.Ran, qPrintable(host.warnings.join("; ")));
        const QString file = QString::fromStdString(result.FileName);
        const int tasks = TaskList.Count;
        QVERIFY(tasks >= 2);
        const QString chart = ZipMember(file, QString("xl/charts/chart%1.xml").arg(tasks + 1));
        QCOMPARE(chart.count("<c:ser>"), tasks);
        double lo = HUGE_VAL, hi = -HUGE_VAL;
        for (int k = 1; k <= tasks; ++k) {
            const QString own = ColumnName(tasks + 1 + k);
            QVERIFY2(chart.contains(QString("<c:xVal><c:numRef><c:f>'%1'!$%2$2:$%2$")
                                        .arg(AutographYItems[0], own)),
                     qPrintable(own));
            const QString taskSheet = ZipMember(file, QString("xl/worksheets/sheet%1.xml").arg(k));
            for (const double x : ColumnNumbers(taskSheet, "A")) {
                lo = std::min(lo, x);
                hi = std::max(hi, x);
            }
        }
        const QRegularExpression bound("<c:valAx><c:axId val=\"\\d+\"/><c:scaling><c:orientation val=\"minMax\"/>"
                                       "<c:max val=\"([^\"]+)\"/><c:min val=\"([^\"]+)\"/>");
        const auto m = bound.match(chart);
        QVERIFY(m.hasMatch());
        QVERIFY2(m.captured(2).toDouble() <= lo && m.captured(1).toDouble() >= hi,
                 qPrintable(QString("%1..%2 against %3..%4").arg(m.captured(2), m.captured(1)).arg(lo).arg(hi)));
        QVERIFY(lo < hi);
    }

    void aStopBetweenPointsKeepsWhatWasComputed()
    {
        LoadSample();
        const long double pressure = TaskList.CurrentTask().ExtP;
        TAutographChoices c = Sweep(0, 5, "т", "0.5", "3", "0.5");
        c.PhaseText = "металу";
        c.PhaseEnabled = true;
        TScriptedCommands commands;
        commands.stopAfter = 2;
        const auto result = RunAutographs(c, commands);
        QVERIFY(result.Ran);
        QVERIFY(result.Stopped);
        QCOMPARE(result.Points, 2);
        QCOMPARE(double(TaskList.CurrentTask().ExtP), double(pressure));
        const QString file = QString::fromStdString(result.FileName);
        QVERIFY(file.endsWith("_Press-Mass_мет_т.xlsx"));
        const QString sheet = ZipMember(file, "xl/worksheets/sheet1.xml");
        const auto xs = ColumnNumbers(sheet, "A");
        QCOMPARE(xs.keys(), (QList<int>{2, 3}));
        QCOMPARE(xs.values(), (QList<double>{0.5, 1.0}));
        QCOMPARE(ColumnNumbers(sheet, "B").size(), 2);
        QVERIFY(ZipMember(file, "xl/charts/chart1.xml").contains("scatterChart"));
    }

    void aFailedPointLeavesItsRowEmptyAndTheRangeAlone()
    {
        LoadSample();
        class TFailSecond : public TScriptedCommands {
        public:
            bool MeltButClick() override { return TScriptedCommands::MeltButClick() && melts != 2; }
        } commands;
        const auto result = RunAutographs(IniTempToFinalTemp(), commands);
        QVERIFY(result.Ran);
        const QString sheet = ZipMember(QString::fromStdString(result.FileName), "xl/worksheets/sheet1.xml");
        QCOMPARE(ColumnNumbers(sheet, "A").size(), 3);
        const auto ys = ColumnNumbers(sheet, "B");
        QCOMPARE(ys.keys(), (QList<int>{2, 4}));
    }

    // --- the dialog

    void theDialogOffersTheChoicesOfEachY()
    {
        LoadSample();
        TAutoF f;
        f.show();
        QCOMPARE(f.ComboX->count(), AutographXKinds);
        QCOMPARE(f.DoTaskBut->text(), QString("Побудувати графіки"));
        Pick(f, f.ComboY, 4, &TAutoF::ComboYClick);
        QVERIFY(f.ComboElems->isEnabled());
        QCOMPARE(f.ComboElems->itemText(0), QString("Усі"));
        QCOMPARE(f.ComboElems->currentIndex(), 2);
        QVERIFY(f.LabelB->isEnabled());
        QCOMPARE(f.ComboPhase->currentText(), QString("металі"));
        QCOMPARE(f.ComboUnits->count(), 6);
        QVERIFY(f.SeriesChk->isEnabled()); // Y kind 4 allows series for one task
        Pick(f, f.ComboY, 0, &TAutoF::ComboYClick);
        QVERIFY(!f.ComboElems->isEnabled());
        QVERIFY(!f.SeriesChk->isEnabled());
        QVERIFY(!f.ColorChk->isEnabled());
        Pick(f, f.ComboY, 5, &TAutoF::ComboYClick);
        Pick(f, f.ComboPhase, 5, &TAutoF::ComboPhaseClick);
        QVERIFY(!f.ComboUnits->isEnabled());
        QCOMPARE(f.ComboUnits->currentIndex(), -1);
        Pick(f, f.ComboY, 2, &TAutoF::ComboYClick);
        QVERIFY(!f.GasBox->isHidden());
        QCOMPARE(f.GasBox->count(), ActiveGasCount);
        Pick(f, f.ComboY, 8, &TAutoF::ComboYClick);
        QVERIFY(f.OptiChk->isChecked());
        Pick(f, f.ComboX, 4, &TAutoF::ComboXClick);
        QCOMPARE(f.EdRangeX2->text(), QString("100"));
        Pick(f, f.ComboX, 5, &TAutoF::ComboXClick);
        QVERIFY(f.ComboXfact->isEnabled());
        QCOMPARE(f.ComboXfact->count(), MaterialCount);
        QCOMPARE(f.Label9->text(), QString("Матеріал"));
        f.ClearButClick();
        QCOMPARE(f.ComboX->currentIndex(), -1);
        QVERIFY(f.EdRangeX1->text().isEmpty());
        QVERIFY(!f.OptiChk->isChecked());
        f.DoTaskBut->click();
        QCOMPARE(host.warnings, QStringList{MissingChoicesText});
    }

    void theDialogsButtonStopsARunningSweep()
    {
        LoadSample();
        TAutoF f;
        TScriptedCommands commands;
        f.SetCommands(&commands);
        f.show();
        Pick(f, f.ComboX, 1, &TAutoF::ComboXClick);
        Pick(f, f.ComboY, 0, &TAutoF::ComboYClick);
        f.EdRangeX1->setText("1500");
        f.EdRangeX2->setText("1700");
        f.EdStepX->setText("25");
        bool disabledWhileRunning = false;
        commands.onMessages = [&] {
            if (commands.melts == 2) {
                disabledWhileRunning = !f.ComboX->isEnabled() && f.DoTaskBut->isEnabled();
                QCOMPARE(f.DoTaskBut->text(), QString("Зупинити"));
                f.DoTaskBut->click();
            }
        };
        f.DoTaskBut->click();
        QVERIFY(disabledWhileRunning);
        QVERIFY(!f.Running());
        QVERIFY(f.LastRun().Stopped);
        QCOMPARE(f.LastRun().Points, 2);
        QVERIFY(f.ComboX->isEnabled());
        QCOMPARE(f.DoTaskBut->text(), QString("Побудувати графіки"));
    }
};

QTEST_MAIN(TstAutographs)
#include "tst_autographs.moc"
