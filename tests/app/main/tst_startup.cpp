// Start-up and shut-down of the main window with the settings file, and the
// Qt host's boxes, caption and status panels.

#include "FForw.h"
#include "OptionControls.h"
#include "ProgramDir.h"
#include "QtHost.h"
#include "QtTranslation.h"
#include "RunState.h"
#include "Settings.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace ferrolyt;

class TstStartup : public QObject {
    Q_OBJECT

private:
    QList<QtHost::Message> messages;
    QMessageBox::StandardButton answer = QMessageBox::No;
    std::string savedProgramDir;
    std::unique_ptr<QTemporaryDir> dir; // the program's folder, without a project

    QString IniPath() const { return dir->filePath("Ferrolyt.ini"); }

    static void WriteIni(const QString& path, const TSettingsRecord& record)
    {
        const auto image = EncodeSettings(record);
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(image.data()), qint64(image.size()));
    }

    static QByteArray ReadIni(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // Shows the window and waits until it is on screen. These folders hold
    // no project: the start-up's load warnings are not what these tests are
    // about, and are dropped (loadFailureIsReported checks them).
    void ShowAndWait(TFForw& window)
    {
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        messages.clear();
    }

private slots:
    void initTestCase()
    {
        savedProgramDir = ProgramDir();
        QtHost::SetMessageHook([this](const QtHost::Message& m) {
            messages.append(m);
            return m.buttons.testFlag(QMessageBox::Yes) ? answer : QMessageBox::Ok;
        });
    }

    void cleanupTestCase()
    {
        QtHost::SetMessageHook({});
        SetProgramDir(savedProgramDir);
    }

    void init()
    {
        messages.clear();
        SetOptionDefaults();
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        SetProgramDir(dir->path().toStdString());
    }

    void theStandardButtonsSpeakUkrainian()
    {
        QVERIFY(InstallQtTranslation(*QCoreApplication::instance()));
        QDialogButtonBox box(QDialogButtonBox::Yes | QDialogButtonBox::No | QDialogButtonBox::Cancel);
        QStringList texts;
        for (const QAbstractButton* b : box.buttons())
            texts << b->text().remove('&');
        texts.sort();
        const auto translators = QCoreApplication::instance()->findChildren<QTranslator*>();
        for (QTranslator* t : translators) {
            QCoreApplication::removeTranslator(t);
            delete t;
        }
        QCOMPARE(texts, (QStringList{QStringLiteral("Ні"), QStringLiteral("Скасувати"), QStringLiteral("Так")}));
    }

    void readsTheFileOnFirstShowAndWritesItOnClose()
    {
        TSettingsRecord onDisk;
        onDisk.HotHeelTemp = 1650;
        onDisk.LastProject = "Проєкт.FWP";
        onDisk.Reserved3[5] = 0x77;
        WriteIni(IniPath(), onDisk);

        QtHost host;
        TFForw window;
        host.AttachWindow(&window, window.SBarPanels);
        QCOMPARE(window.windowTitle(), QString("Ferrolyt"));
        QVERIFY(!window.StartupDone());
        QCOMPARE(Settings.HotHeelTemp, uint16_t(0)); // nothing read before the first show

        ShowAndWait(window);
        QVERIFY(window.StartupDone());
        QCOMPARE(Settings.HotHeelTemp, uint16_t(1650));
        QCOMPARE(QString::fromStdString(Settings.LastProject), QString("Проєкт.FWP"));

        // A second showing reads nothing: the change made in the run stays.
        Settings.AutoSave = true;
        window.hide();
        ShowAndWait(window);
        QVERIFY(Settings.AutoSave);
        QVERIFY(window.close());
        QVERIFY(messages.isEmpty());

        const QByteArray written = ReadIni(IniPath());
        QCOMPARE(written.size(), 512);
        QCOMPARE(uint8_t(written[237]), uint8_t(1));  // AutoSave changed in the run
        QCOMPARE(uint8_t(written[241]), uint8_t(1650 & 0xFF));
        QCOMPARE(uint8_t(written[242]), uint8_t(1650 >> 8));
        QCOMPARE(uint8_t(written[366 + 5]), uint8_t(0x77)); // reserved byte kept
    }

    void withoutAFileTheDefaultsWithTheSampleFurnaceAreWritten()
    {
        QtHost host;
        TFForw window;
        ShowAndWait(window);
        // The record's defaults, with the sample project's furnace for the
        // heat replay, which cannot run on zeros.
        TSettingsRecord firstStart;
        SetFurnaceFallbacks(firstStart);
        QCOMPARE(Settings, firstStart);
        QCOMPARE(Settings.FurnaceVolume, 23.0);
        QCOMPARE(Settings.HotHeelTemp, uint16_t(1700));
        QVERIFY(window.close());
        const QByteArray written = ReadIni(IniPath());
        QCOMPARE(written.size(), 512);
        const auto defaults = EncodeSettings(firstStart);
        QVERIFY(std::equal(defaults.begin(), defaults.end(), reinterpret_cast<const uint8_t*>(written.constData())));
        QVERIFY(messages.isEmpty());
    }

    void aReadOnlyFolderMakesTheCloseWarn()
    {
        QtHost host;
        TFForw window;
        ShowAndWait(window);
        // A folder where the file must go stops even the superuser, who
        // writes into a read-only folder all the same.
        QVERIFY(QDir().mkdir(IniPath()));
        QVERIFY(::chmod(dir->path().toLocal8Bit().constData(), 0555) == 0);
        QVERIFY(window.close());
        ::chmod(dir->path().toLocal8Bit().constData(), 0755);
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].icon, QMessageBox::Warning);
        QCOMPARE(messages[0].title, QString("Ferrolyt"));
        QVERIFY(messages[0].text.contains("Ferrolyt.ini"));
        QVERIFY(QFileInfo(IniPath()).isDir());
        QVERIFY(QDir(IniPath()).isEmpty());
    }

    void aVanishedFolderMakesTheCloseWarn()
    {
        const QString gone = dir->filePath("gone");
        SetProgramDir(gone.toStdString());
        QtHost host;
        TFForw window;
        ShowAndWait(window);
        QVERIFY(window.close()); // the window still closes
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].icon, QMessageBox::Warning);
        QCOMPARE(messages[0].title, QString("Ferrolyt"));
        QCOMPARE(messages[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(messages[0].text, QString("Неможливо зберегти файл ") + gone + "/Ferrolyt.ini");
    }

    void closingDuringACalculationOnlyAsksToStop()
    {
        QtHost host;
        TFForw window;
        ShowAndWait(window);
        CalcBusy = true;
        for (auto reply : {QMessageBox::Yes, QMessageBox::No}) {
            answer = reply;
            QVERIFY(!window.close());
            QVERIFY(window.isVisible());
            QCOMPARE(StopRequested, reply == QMessageBox::Yes);
        }
        CalcBusy = false;
        QCOMPARE(messages.size(), 2);
        QCOMPARE(messages[0].text, QString("Зупинити розрахунок?"));
        QVERIFY(!QFile::exists(IniPath()));
        QVERIFY(window.close());
        QVERIFY(QFile::exists(IniPath()));
    }

    void loadFailureIsReportedAndTheWindowStillStarts()
    {
        QtHost host;
        TFForw window;
        host.AttachWindow(&window, window.SBarPanels);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(!messages.isEmpty());
        QCOMPARE(messages[0].text, QString("Неможливо завантажити файл ") + dir->path() + "/FERROLYT.FWP");
        QVERIFY(!CalcBusy);
        QVERIFY(!ResultsShown); // nothing was melted
        messages.clear();
        QVERIFY(window.close());
    }

    void hostDrivesQuestionsCaptionAndStatusPanels()
    {
        Host& before = CurrentHost();
        {
            QtHost host;
            QCOMPARE(&CurrentHost(), static_cast<Host*>(&host));
            TFForw window;
            host.AttachWindow(&window, window.SBarPanels);

            answer = QMessageBox::Yes;
            QVERIFY(CurrentHost().AskYesNo("Зупинити розрахунок?"));
            answer = QMessageBox::No;
            QVERIFY(!CurrentHost().AskYesNo("Зупинити розрахунок?"));
            QCOMPARE(messages.size(), 2);
            QCOMPARE(messages[0].icon, QMessageBox::Question);
            QCOMPARE(messages[0].title, QString("Ferrolyt"));
            QCOMPARE(messages[0].text, QString("Зупинити розрахунок?"));
            QCOMPARE(messages[0].buttons, QMessageBox::Yes | QMessageBox::No);
            QCOMPARE(CurrentHost().ShowWarning("Увага"), 1);

            CurrentHost().SetStatusText(3, " мас.%");
            CurrentHost().SetStatusText(TFForw::StatusPanelCount, "ignored");
            CurrentHost().SetStatusText(-1, "ignored");
            QCOMPARE(window.SBarPanels[3]->text(), QString(" мас.%"));
            CurrentHost().SetCaption("Ferrolyt - STEEL.FWP");
            QCOMPARE(window.windowTitle(), QString("Ferrolyt - STEEL.FWP"));

            bool ran = false;
            QTimer::singleShot(0, [&ran] { ran = true; });
            CurrentHost().ProcessMessages();
            QVERIFY(ran);
        }
        QCOMPARE(&CurrentHost(), &before);
    }
};

QTEST_MAIN(TstStartup)
#include "tst_startup.moc"
