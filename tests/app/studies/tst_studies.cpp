// The kinetics, electroneutrality and isotherm windows on the melted sample
// project; each saves its chart as a 24-bit BMP of the chart's size.

#include "FGraph.h"
#include "FSolu.h"
#include "KinF.h"
#include "ModalDialog.h"
#include "QtHost.h"

#include "ForwardProblem.h"
#include "Model.h"
#include "ProgramDir.h"
#include "Project.h"
#include "RunState.h"
#include "Settings.h"
#include "Studies.h"
#include "TaskList.h"
#include "ThSys.h"

#include "../../engine/support/SampleProjectSupport.h"
#include "support/StateWait.h"

#include <QAction>
#include <QFile>
#include <QGraphicsSimpleTextItem>
#include <QInputDialog>
#include <QLineSeries>
#include <QRadioButton>
#include <QScatterSeries>
#include <QSet>
#include <QValueAxis>
#include <QTemporaryDir>
#include <QtCharts/QChartView>
#include <QtTest>

#include <cstdint>
#include <filesystem>

using namespace ferrolyt;
using ferrolyt::test::SampleProjectFile;

namespace {

// "width x height, bits" as a BMP file declares them; empty for anything else.
QString BmpShape(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = f.read(30);
    if (data.size() < 30 || data[0] != 'B' || data[1] != 'M')
        return {};
    const auto le = [&data](int at, int size) {
        uint32_t v = 0;
        for (int i = size - 1; i >= 0; --i)
            v = v << 8 | static_cast<uint8_t>(data[at + i]);
        return static_cast<int32_t>(v);
    };
    return QString("%1x%2, %3").arg(le(18, 4)).arg(std::abs(le(22, 4))).arg(le(28, 2));
}

// What a chart saved as a 24-bit BMP of its own size declares.
QString ChartShape(const QWidget& chart) { return QString("%1x%2, 24").arg(chart.width()).arg(chart.height()); }

} // namespace

class TstStudies : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    QString savedCwd;

private slots:
    void init()
    {
        savedCwd = QDir::currentPath();
        dir = std::make_unique<QTemporaryDir>();
        ResetModel();
        ClearProjectState();
        Settings = TSettingsRecord{};
        Settings.FinalTempMode = 0;
        Settings.CalcNmi = false;
        QVERIFY(LoadProject(SampleProjectFile().string()));
        QVERIFY(MeltForward().BothConverged);
    }
    void cleanup()
    {
        SetModalHook({});
        QDir::setCurrent(savedCwd);
        ClearProjectState();
    }

    void kineticsWaitsForACalculationThenRunsPausesAndSavesItsChart()
    {
        TKinF w;
        CalcBusy = true;
        bool melted = false;
        w.KineMClick([&melted] { melted = true; });
        CalcBusy = false;
        QVERIFY(!melted);
        QVERIFY(!w.KinRunning);

        w.resize(800, 500);
        w.KineMClick([] { MeltForward(); });
        QVERIFY(w.KinRunning);
        QVERIFY(w.isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(w.Kinetics()->StepCount() >= 30, StateWaitMs);

        // Every element's curve has a colour of its own, and time is named.
        QSet<QRgb> colours;
        int curves = 0;
        for (QAbstractSeries* s : w.KinChart->chart()->series())
            if (s->isVisible() && !s->name().isEmpty()) {
                ++curves;
                colours.insert(static_cast<QLineSeries*>(s)->color().rgb());
            }
        QCOMPARE(curves, SystemElemLast + 1);
        QCOMPARE(colours.size(), curves);
        const auto* time = qobject_cast<QValueAxis*>(w.KinChart->chart()->axes(Qt::Horizontal).value(0));
        QVERIFY(time && !time->titleText().isEmpty());

        // Stop pauses after the current step; the phase can change while paused.
        w.StopButClick();
        QTRY_VERIFY_WITH_TIMEOUT(w.Paused(), StateWaitMs);
        QCOMPARE(w.StopContA->text(), QStringLiteral("Continue"));
        const int64_t steps = w.Kinetics()->StepCount();
        QTest::qWait(50);
        QCOMPARE(w.Kinetics()->StepCount(), steps);
        w.PhaseGrpClick(1);
        QVERIFY(w.SlgM->isChecked());
        QVERIFY(w.PhaseGrp[1]->isChecked());
        QVERIFY(!w.KinRedrawRequested); // drawn at once while paused

        w.StopButClick();
        QCOMPARE(w.StopContA->text(), QStringLiteral("Stop"));
        QTRY_VERIFY_WITH_TIMEOUT(w.Kinetics()->StepCount() > steps, StateWaitMs);

        // Save through the menu: the name's extension becomes ".bmp".
        const QString asked = dir->filePath("kin.png");
        SetModalHook([&asked](QDialog& d) {
            auto& input = static_cast<QInputDialog&>(d);
            if (input.textValue() != QStringLiteral("Kinetics.bmp"))
                return int(QDialog::Rejected);
            input.setTextValue(asked);
            return int(QDialog::Accepted);
        });
        w.SaveImgMClick();
        QCOMPARE(BmpShape(dir->filePath("kin.bmp")), ChartShape(*w.KinChart));

        // A blank answer saves nothing.
        SetModalHook([](QDialog& d) {
            static_cast<QInputDialog&>(d).setTextValue(QStringLiteral("   "));
            return int(QDialog::Accepted);
        });
        const auto before = QDir(dir->path()).entryList(QDir::Files).size();
        w.SaveImgMClick();
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files).size(), before);

        // Closing ends the run.
        w.close();
        QVERIFY(!w.KinRunning);
        const int64_t atClose = w.Kinetics()->StepCount();
        QTest::qWait(50);
        QCOMPARE(w.Kinetics()->StepCount(), atClose);
    }

    void electroneutralityWindowDrawsTheCurve()
    {
        TFGraph w;
        w.resize(700, 500);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.Series1->count(), ElectroneutralityPoints);
        QVERIFY(w.Series2->count() > 0);
        QCOMPARE(w.windowTitle(), QStringLiteral("Крива електронейтральності"));
        // Every mark carries its element's symbol, placed beside it.
        const TElectroneutralityCurve curve = ElectroneutralityCurve(TCurveSystem::Lower);
        QStringList symbols, labels;
        for (const auto* marks : {&curve.Present, &curve.AbsentInRange})
            for (const TChargeMark& m : *marks)
                symbols << QString::fromStdString(m.Symbol);
        const QRectF plot = w.Chart1->chart()->plotArea().adjusted(-40, -40, 40, 40);
        for (QGraphicsItem* item : w.Chart1->chart()->childItems())
            if (const auto* label = dynamic_cast<QGraphicsSimpleTextItem*>(item)) {
                labels << label->text();
                QVERIFY2(plot.contains(label->pos()), qPrintable(label->text()));
            }
        symbols.sort();
        labels.sort();
        QCOMPARE(labels, symbols);
        QCOMPARE(int(curve.Present.size()), int(w.Series2->count()));
        // The curve crosses zero charge at the lower system's potential.
        const auto points = w.Series1->points();
        double crossing = NAN;
        for (qsizetype k = 1; k < points.size(); ++k)
            if ((points[k - 1].x() > 0) != (points[k].x() > 0)) {
                crossing = points[k].y();
                break;
            }
        const double step = (points.back().y() - points.front().y()) / 1000;
        QVERIFY(std::fabs(crossing - static_cast<double>(ThSystems[0]->SlagPotential)) <= 1.01 * step);

        w.MSys2->trigger();
        QVERIFY(w.MSys2->isChecked() && !w.MSys1->isChecked());
        QCOMPARE(w.Series1->count(), ElectroneutralityPoints);

        const QString file = dir->filePath("curve.bmp");
        QVERIFY(w.SaveImage(file));
        QCOMPARE(BmpShape(file), ChartShape(*w.Chart1));
    }

    void isothermWindowDrawsThreeCurvesOfTheSampleProjectAndSavesThem()
    {
        // The ladle task: its initial metal is the bath that is deoxidised.
        for (int t = 0; t < TaskList.Count; ++t)
            if (TaskList.Items[static_cast<std::size_t>(t + 1)].Name.starts_with("Ківш"))
                TaskList.Current = t;
        QVERIFY(TaskList.CurrentTask().Name.starts_with("Ківш"));
        TFSolu w;
        w.PointStride = 60;
        w.LastPoint = 300;
        w.resize(700, 500);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        for (QLineSeries* s : w.Series)
            QVERIFY(s->count() >= 4);
        QCOMPARE(w.Series[0]->name(), QStringLiteral("1550°C"));

        QString offered = QStringLiteral("unset");
        SetModalHook([&](QDialog& d) {
            auto& input = static_cast<QInputDialog&>(d);
            offered = input.textValue();
            input.setTextValue(dir->filePath("iso"));
            return int(QDialog::Accepted);
        });
        w.N1Click();
        QVERIFY(offered.isEmpty());
        QCOMPARE(BmpShape(dir->filePath("iso.bmp")), ChartShape(*w.Chart1));

        // Cancelling saves nothing (not even a file named ".bmp").
        SetModalHook([](QDialog&) { return int(QDialog::Rejected); });
        QDir::setCurrent(dir->path());
        w.N1Click();
        QVERIFY(!QFile::exists(dir->filePath(".bmp")));
    }

    void isothermWindowSaysWhichMaterialIsMissing()
    {
        QStringList messages;
        QtHost host;
        QtHost::SetMessageHook([&](const QtHost::Message& m) {
            messages << m.text;
            return QMessageBox::Ok;
        });
        MaterialTable[MaterialIndexByName("Al")].Name = "Al2";
        TFSolu w;
        w.LastPoint = 20;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QtHost::SetMessageHook({});
        for (QLineSeries* s : w.Series)
            QCOMPARE(s->count(), 0);
        QCOMPARE(messages, QStringList{QStringLiteral("Ізотерми розчинності кисню: у проєкті немає матеріалу \"Al\"")});
    }
};

QTEST_MAIN(TstStudies)
#include "tst_studies.moc"
