// The heat window on the sample project: opening a log, its replay with
// pause, resume and stop, and the batch with its numbered report.

#include "FHeat.h"
#include "ModalDialog.h"
#include "OptionControls.h"
#include "QtHost.h"

#include "HeatLog.h"
#include "HeatReplay.h"
#include "Model.h"
#include "Project.h"
#include "Settings.h"
#include "TextFile.h"

#include "../../engine/support/SampleProjectSupport.h"
#include "support/ShownNumber.h"
#include "support/StateWait.h"

#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QXYSeries>
#include <QtTest>

#include <filesystem>

using namespace ferrolyt;

class TstHeatWindow : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString savedCwd_;

    static int Points(TFHeat& w, const char* title) { return static_cast<int>(w.Series(title)->count()); }
    std::filesystem::path File(const char* name) const { return dir_.filePath(name).toStdString(); }

    void OpenSample(TFHeat& w)
    {
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const int i = w.HeatBox->findText("DSP23517");
        QVERIFY(i >= 0);
        w.HeatBox->setCurrentIndex(i);
        w.HeatBoxClick();
        QCOMPARE(QString::fromStdString(HeatFileName), QString("DSP23517"));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        savedCwd_ = QDir::currentPath();
        ResetModel();
        Settings.FinalTempMode = 0;
        Settings.CalcNmi = false;
        test::UseSampleFurnaceSettings();
        QVERIFY(LoadProject(test::SampleProjectFile().string()));
        // The heat logs are listed from the current folder.
        QVERIFY(QFile::copy(QString(FERROLYT_DATA) + "/DSP23517.HEA", dir_.filePath("DSP23517.HEA")));
        QVERIFY(QDir::setCurrent(dir_.path()));
    }

    void cleanupTestCase() { QDir::setCurrent(savedCwd_); }

    // On its own the window asks for a log through the same modal path as
    // every dialog, so that a test or a tool can answer it.
    void openingALogOnItsOwnAsksThroughTheDialogHook()
    {
        TFHeat w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QString asked;
        SetModalHook([&](QDialog& d) {
            auto& files = dynamic_cast<QFileDialog&>(d);
            asked = files.objectName();
            files.selectFile(dir_.filePath("DSP23517.HEA"));
            return int(QDialog::Accepted);
        });
        w.OpenButClick();
        SetModalHook({});
        QCOMPARE(asked, QString("OpenHeatDialog"));
        QCOMPARE(QString::fromStdString(HeatFileName), QString("DSP23517"));
    }

    void opensAndShowsTheLogAndTheInitialState()
    {
        TFHeat w;
        OpenSample(w);
        QVERIFY(w.windowTitle().endsWith("DSP23517"));
        QCOMPARE(Points(w, "Qе, МДж"), HeatLogCount);
        QCOMPARE(Points(w, "Темп.факт.,°С"), HeatMeasurementCount);
        QCOMPARE(Points(w, "[C] факт., %"), HeatSampleCount);
        // Only the initial state is computed: the hot heel.
        QCOMPARE(Points(w, "Метал, т х10"), 1);
        QVERIFY(std::abs(ShownNumber(w.MetalEd->text()) - Settings.HotHeelMetal) < 1.5);
        QVERIFY(!w.StopBut->isEnabled());
        QCOMPARE(w.RunButImage, 10);
        QVERIFY(!HeatRunning);
    }

    void replaysTheSampleLogToItsEnd()
    {
        TFHeat w;
        OpenSample(w);
        int forwardShown = 0;
        w.ShowForwardProblem = [&] { ++forwardShown; };
        w.RunButClick(0);
        QCOMPARE(w.LastRun(), THeatRunResult::Completed);
        QCOMPARE(Points(w, "Метал, т х10"), HeatLogCount + 1);
        QCOMPARE(Points(w, "Темп-1000,°С"), HeatLogCount + 1);
        QVERIFY(ShownNumber(w.MetalEd->text()) > 90);
        QCOMPARE(w.TempEd->text(), QString("1646"));
        QVERIFY(!w.ErrorTEd->text().isEmpty());
        QVERIFY(!w.ErrorChAveEd->text().isEmpty());
        QVERIFY(!w.SGrid->item(0, 0)->text().isEmpty());
        QCOMPARE(forwardShown, 1);
        QVERIFY(!HeatRunning);
        QVERIFY(!w.StopBut->isEnabled());
        QCOMPARE(w.RunButImage, 10);
        QVERIFY(w.HeatBox->isEnabled());
    }

    void pausesResumesAndStopsBetweenSteps()
    {
        TFHeat w;
        OpenSample(w);
        int pausedAt = -1, stillAt = -1, resumedTo = -1;
        bool wasPaused = false, stopEnabled = false, boxDisabled = false;
        QTimer look;
        QDeadlineTimer giveUp;
        // The first click during the run pauses it ...
        QTimer::singleShot(0, &w, [&] {
            stopEnabled = w.StopBut->isEnabled();
            boxDisabled = !w.HeatBox->isEnabled();
            w.RunBut->click();
            pausedAt = Points(w, "Метал, т х10");
            wasPaused = w.Paused() && w.RunButImage == 10;
            // ... nothing moves while paused ...
            QTimer::singleShot(200, &w, [&] {
                stillAt = Points(w, "Метал, т х10");
                w.RunBut->click(); // resume
                giveUp.setRemainingTime(StateWaitMs);
                look.start(10);
            });
        });
        // ... and the replay goes on from there: once its next point is
        // drawn (however long a step takes) it is paused again and stopped.
        connect(&look, &QTimer::timeout, &w, [&] {
            if (Points(w, "Метал, т х10") <= stillAt && !giveUp.hasExpired())
                return;
            look.stop();
            resumedTo = Points(w, "Метал, т х10");
            w.RunBut->click(); // pause again
            QTimer::singleShot(0, &w, [&] { w.StopBut->click(); }); // stop while paused
        });
        w.RunButClick(0);
        QVERIFY(stopEnabled);
        QVERIFY(boxDisabled);
        QVERIFY(wasPaused);
        QCOMPARE(stillAt, pausedAt);
        QVERIFY(resumedTo > pausedAt);
        QCOMPARE(w.LastRun(), THeatRunResult::Stopped);
        QVERIFY(Points(w, "Метал, т х10") < HeatLogCount + 1);
        QVERIFY(!HeatRunning);
        QVERIFY(!w.Paused());
        QCOMPARE(w.RunButImage, 10);
        QCOMPARE(w.RunBut->toolTip(), QString("Начать плавку"));
    }

    void accumulatedMenuItemStoresItsMode()
    {
        TFHeat w;
        OpenSample(w);
        Settings.ConsumptionMode = 0;
        w.N2->trigger();
        QCOMPARE(int(Settings.ConsumptionMode), 1);
        w.hide();
        w.show();
        QCOMPARE(w.RunButTag, 1);
        Settings.ConsumptionMode = 0;
    }

    void theListedLogIsLoadedWhenTheWindowOpens()
    {
        LoadHeatFile("");
        TFHeat w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.HeatBox->currentText(), QString("DSP23517"));
        QCOMPARE(QString::fromStdString(HeatFileName), QString("DSP23517"));
        QCOMPARE(Points(w, "Метал, т х10"), 1); // its initial state, ready to run
    }

    void aReplayOnZeroFurnaceConstantsIsRefusedNamingTheOption()
    {
        QStringList messages;
        QtHost host;
        QtHost::SetMessageHook([&](const QtHost::Message& m) {
            messages << m.text;
            return QMessageBox::Ok;
        });
        const TSettingsRecord kept = Settings;
        Settings.FurnaceVolume = 0;
        TFHeat w;
        OpenSample(w);
        QCOMPARE(Points(w, "Метал, т х10"), 0); // no preview on zeros either
        w.RunButClick(0);
        QCOMPARE(Points(w, "Метал, т х10"), 0);
        QVERIFY(!HeatRunning);
        w.RunAllButClick();
        QCOMPARE(messages.size(), 2);
        QVERIFY2(messages[0].contains(QString::fromUtf8("\"Плавка в ДСП > Об'ем р/п печі, м3\"")),
                 qPrintable(messages[0]));
        // A first start's settings replay the sample log.
        Settings = TSettingsRecord{};
        SetFurnaceFallbacks(Settings);
        QVERIFY(ZeroFurnaceConstant(Settings).empty());
        w.RunButClick(0);
        QCOMPARE(w.LastRun(), THeatRunResult::Completed);
        QCOMPARE(messages.size(), 2);
        // On zeros the measured temperatures were missed by 582 K on average.
        QVERIFY2(w.ErrorTAveEd->text().toInt() < 150, qPrintable(w.ErrorTAveEd->text()));
        Settings = kept;
        QtHost::SetMessageHook({});
    }

    void theBatchWritesItsNumberedReportUnlessStopped()
    {
        TFHeat w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        WriteTextFile1251(File("NUM.TXT"), {"20"});
        QTimer::singleShot(0, &w, [&] { w.StopBut->click(); });
        w.RunAllButClick();
        QVERIFY(!QFile::exists(dir_.filePath("21.RES")));
        QCOMPARE(ReadTextFile1251(File("NUM.TXT")), std::vector<std::string>{"20"});

        WriteTextFile1251(File("NUM.TXT"), {"7"});
        w.RunAllButClick();
        QCOMPARE(w.LastReport(), QString("8.RES"));
        const auto report = ReadTextFile1251(File("8.RES"));
        QVERIFY(report.size() > 10);
        QCOMPARE(QString::fromStdString(report[0]), QString("Пл.№  Шл.  d(х/с)   dT    dT^2"));
        QVERIFY(QString::fromStdString(report[1]).startsWith("DSP23517  "));
        QCOMPARE(ReadTextFile1251(File("NUM.TXT")), std::vector<std::string>{"8"});
    }
};

QTEST_MAIN(TstHeatWindow)
#include "tst_heatwindow.moc"
