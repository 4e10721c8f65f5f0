// The main window's file commands: opening by extension, new project, task
// file and task choice, saving, autosave, and the busy rule of all of them.

#include "AppFixture.h"

#include "KeyStore.h"
#include "Materials.h"
#include "ResultsExport.h"
#include "TaskList.h"
#include "TextFile.h"
#include "support/DesktopLocale.h"

#include <algorithm>
#include <fstream>

#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTimer>

using namespace ferrolyt;

class TstFileCommands : public QObject {
    Q_OBJECT

    TAppFixture f;

    static void WriteLines(const QString& path, const QStringList& lines)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write((lines.join("\r\n") + "\r\n").toLatin1());
    }

    static QStringList ReadLines(const QString& path)
    {
        QStringList out;
        if (QFile::exists(path))
            for (const std::string& l : ReadTextFile1251(path.toStdString()))
                out << QString::fromStdString(l);
        return out;
    }

    // Every file of the folder by name; a workbook by its members, less the
    // one that holds the time it was made.
    static QMap<QString, QByteArray> FolderContents(const QString& folder)
    {
        QMap<QString, QByteArray> out;
        for (const QString& name : QDir(folder).entryList(QDir::Files)) {
            const QString path = folder + "/" + name;
            if (!name.endsWith(".xlsx")) {
                QFile file(path);
                out[name] = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
                continue;
            }
            QProcess list;
            list.start("unzip", {"-Z1", path});
            list.waitForFinished(10000);
            for (const QString& member : QString(list.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts)) {
                if (member == "docProps/core.xml")
                    continue;
                QProcess unzip;
                unzip.start("unzip", {"-p", path, member});
                unzip.waitForFinished(10000);
                out[name + ":" + member] = unzip.readAllStandardOutput();
            }
        }
        return out;
    }

    // Melts, saves the project and exports the results into `folder`.
    QMap<QString, QByteArray> SaveAndExport(const QString& folder)
    {
        f.w->MeltButClick(0);
        f.w->SaveButClick(0);
        const QString out = f.Path(folder);
        if (!QDir().mkpath(out))
            return {};
        ExportResults(*f.w, (out + "/Heat.xlsx").toStdString());
        for (const QString& name : QDir(f.dir->path()).entryList(QDir::Files))
            QFile::copy(f.Path(name), out + "/" + name);
        return FolderContents(out);
    }

private slots:
    void init() { QVERIFY2(f.Start(), qPrintable(f.Texts().join("; "))); }
    void cleanup() { f.Stop(); }

    void theOpenDialogOffersTheCommandsFilterAndOpensTheChoice()
    {
        QVERIFY(QFile::copy(f.Path("Ferrolyt.MAT"), f.Path("other.mat")));
        QString filter;
        f.dialog = [&](QDialog& d) {
            auto& fd = dynamic_cast<QFileDialog&>(d);
            filter = fd.selectedNameFilter();
            fd.selectFile(f.Path("other.mat"));
            return int(QDialog::Accepted);
        };
        f.w->OpenMatFileM->trigger();
        QCOMPARE(f.dialogs, 1);
        QCOMPARE(filter, QString("Materials (*.MAT)"));
        QCOMPARE(QString::fromStdString(ProjectValue("MatFile")), QString("other.mat"));
        QCOMPARE(QString::fromStdString(TaskMatFiles.at(0)), QString("other.mat"));
        QVERIFY(ResultsShown);
        QVERIFY2(f.messages.isEmpty(), qPrintable(f.Texts().join("; ")));

        // A cancelled dialog opens nothing.
        f.dialog = [](QDialog&) { return int(QDialog::Rejected); };
        ClearProjectState();
        f.w->OpenA->trigger();
        QVERIFY(ProjectList.empty());
    }

    void aFailedMaterialsFileKeepsTheProjectsMaterials()
    {
        const int count = MaterialCount;
        const std::string first = MaterialTable[1].Name;
        f.w->OpenFile(f.Path("missing.MAT").toStdString());
        QCOMPARE(f.Texts().size(), 1);
        QVERIFY(f.Texts()[0].startsWith("Неможливо завантажити файл " + f.Path("missing.MAT") + "\n"));
        QCOMPARE(MaterialCount, count);
        QCOMPARE(MaterialTable[1].Name, first);
        QCOMPARE(QString::fromStdString(ProjectValue("MatFile")), QString("Ferrolyt.MAT"));
    }

    // A lone CR and -1e20 written as a number are refused by their line,
    // and the project keeps its materials; a name too long is read cut,
    // with a warning naming its line.
    void aMaterialsFileIsReadAsItHoldsOrSaysSoByItsLine()
    {
        std::ifstream in(f.Path("Ferrolyt.MAT").toStdString(), std::ios::binary);
        const std::string good{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        const std::string scrap = ToCp1251("Брухт важкий");
        const struct {
            std::string From, To;
            QString Says;
        } cases[] = {
            {" $335\r\n", " $335\r", "символ CR (повернення каретки) не в кінці рядка"},
            {"0.17/0.22", "-1e20/0.22", "аналіз C: -1e+20 поза межами 0..100"},
            {scrap + "  ", ToCp1251("Брухт важкий сортований для печей"), "назву «Брухт важкий сортований для печей»"},
        };
        const int count = MaterialCount;
        const std::string first = MaterialTable[1].Name;
        for (const auto& c : cases) {
            std::string bytes = good;
            const std::size_t at = bytes.find(c.From, bytes.find(scrap));
            QVERIFY(at != std::string::npos);
            bytes.replace(at, c.From.size(), c.To);
            const QString line = QString::number(std::count(bytes.begin(), bytes.begin() + long(at), '\n') + 1);
            std::ofstream(f.Path("damaged.MAT").toStdString(), std::ios::binary | std::ios::trunc) << bytes;
            f.messages.clear();
            f.w->OpenFile(f.Path("damaged.MAT").toStdString());
            // A material renamed is one the task file no longer finds: a
            // second message says so.
            const bool loads = c.Says.startsWith("назву");
            QVERIFY2(f.Texts().size() == (loads ? 2 : 1), qPrintable(f.Texts().join("; ")));
            QVERIFY2(f.Texts()[0].startsWith((loads ? "Файл " : "Неможливо завантажити файл ") + f.Path("damaged.MAT") +
                                             (loads ? ", рядок " : "\nРядок ") + line + ": ") &&
                         f.Texts()[0].contains(c.Says),
                     qPrintable(f.Texts()[0]));
            QCOMPARE(MaterialCount, count);
            QCOMPARE(QString::fromStdString(MaterialTable[1].Name),
                     loads ? QString("Брухт важкий сортований д") : QString::fromStdString(first));
        }
    }

    void aConstantsFileLoadsButTheProjectKeepsNamingItsOwn()
    {
        QVERIFY(QFile::copy(f.Path("Ferrolyt.CON"), f.Path("Other.CON")));
        ResultsShown = false;
        f.w->OpenFile(f.Path("Other.CON").toStdString());
        QVERIFY2(f.messages.isEmpty(), qPrintable(f.Texts().join("; ")));
        QVERIFY(ResultsShown);
        QCOMPARE(QString::fromStdString(ProjectValue("ConFile")), QString("Ferrolyt.CON"));
        f.w->SaveButClick(0);
        QVERIFY(ReadLines(f.Path("FERROLYT.FWP")).contains("ConFile=Ferrolyt.CON"));
    }

    void aProjectFileLoadsTheWholeProject()
    {
        f.w->ClearButClick();
        QCOMPARE(MaterialCount, 0);
        f.w->OpenFile(f.Path("FERROLYT.FWP").toStdString());
        QVERIFY2(f.messages.isEmpty(), qPrintable(f.Texts().join("; ")));
        QVERIFY(MaterialCount > 5);
        QCOMPARE(TaskList.Count, f.w->TaskBox->count());
        QVERIFY(TaskList.Count >= 2);
        QVERIFY(ResultsShown);
        QCOMPARE(f.w->windowTitle(), QString("Ferrolyt - FERROLYT.FWP"));
        QCOMPARE(f.w->TaskFileBox->currentText(), QString("Ferrolyt.TSK"));
    }

    void taskFilesAreAddedReplacedAndChosen()
    {
        QVERIFY(QFile::copy(f.Path("Ferrolyt.TSK"), f.Path("Heats.TSK")));
        f.answer = QMessageBox::Yes;
        f.w->OpenFile(f.Path("Heats.TSK").toStdString());
        QCOMPARE(f.Texts(), QStringList{"Добавить файл заданий Heats.TSK в проект?"});
        QCOMPARE(int(TaskListBox.size()), 2);
        QCOMPARE(TaskListBoxIndex, 1);
        QCOMPARE(f.w->TaskFileBox->currentText(), QString("Heats.TSK"));
        QCOMPARE(QString::fromStdString(TaskMatFiles.at(1)), QString("Ferrolyt.MAT"));
        QVERIFY(ResultsShown);

        // Opening a file already in the project selects its entry and the
        // task last chosen in it, without asking.
        TaskListBox[0].TaskIndex = 1;
        f.messages.clear();
        f.w->OpenFile(f.Path("Ferrolyt.TSK").toStdString());
        QVERIFY(f.messages.isEmpty());
        QCOMPARE(TaskListBoxIndex, 0);
        QCOMPARE(TaskList.Current, 1);
        QCOMPARE(f.w->TaskBox->currentIndex(), 1);

        // No: the selected entry now names the new file.
        QVERIFY(QFile::copy(f.Path("Ferrolyt.TSK"), f.Path("Third.TSK")));
        f.answer = QMessageBox::No;
        f.w->OpenFile(f.Path("Third.TSK").toStdString());
        QCOMPARE(int(TaskListBox.size()), 2);
        QCOMPARE(QString::fromStdString(TaskListBox[0].Text), QString("Third.TSK"));
        QCOMPARE(TaskListBox[0].TaskIndex, 1);

        // The project written now lists both files.
        f.w->SaveButClick(0);
        const QStringList lines = ReadLines(f.Path("FERROLYT.FWP"));
        QVERIFY2(lines.contains("Tsk0=Third.TSK #1 *Ferrolyt.MAT"), qPrintable(lines.join("|")));
        QVERIFY2(lines.contains("Tsk1=Heats.TSK #0 *Ferrolyt.MAT"), qPrintable(lines.join("|")));

        // Choosing the other entry loads its file and the task last chosen in it.
        TaskListBox[1].TaskIndex = 1;
        ResultsShown = false;
        f.w->TaskListBoxClick(1);
        QCOMPARE(TaskListBoxIndex, 1);
        QCOMPARE(QString::fromStdString(TaskList.FileName), QString("Heats.TSK"));
        QCOMPARE(TaskList.Current, 1);
        QVERIFY(ResultsShown);
    }

    void choosingATaskMeltsItsRecommendedCharge()
    {
        QCOMPARE(TaskList.Current, 0);
        const long double before = ChargeTotal;
        ResultsShown = false;
        f.w->TaskBoxClick(1);
        QCOMPARE(TaskList.Current, 1);
        QCOMPARE(TaskListBox.at(0).TaskIndex, 1);
        QVERIFY(ResultsShown);
        QVERIFY(f.w->MeltRecA->isEnabled());
        QVERIFY(ChargeTotal != before);
        QVERIFY2(f.messages.isEmpty(), qPrintable(f.Texts().join("; ")));

        // A task without any recommended, fixed or minimum quantity melts
        // nothing and disables the melt of the recommended charge.
        TTaskRecord& other = TaskList.Items[1];
        for (int j = 1; j <= other.NMat; ++j)
            other.Materials[j].Recommended = other.Materials[j].Fixed = other.Materials[j].MinT = UnsetValue;
        ResultsShown = false;
        f.w->TaskBoxClick(0);
        QCOMPARE(TaskList.Current, 0);
        QVERIFY(!f.w->MeltRecA->isEnabled());
        QVERIFY(!ResultsShown);
    }

    void aNewProjectClearsEverythingAndSavesAsUntitled()
    {
        // The melted sample fills every panel, the solver's and Cp/Kp too.
        for (int p : {2, 4, 6, 7, 8})
            QVERIFY2(f.w->SBarPanels[p]->text().contains(QRegularExpression("\\w")), qPrintable(QString::number(p)));
        f.w->ClearButClick();
        // No panel keeps a value of the previous project: at most its label.
        const QStringList labels{"", " Iтерацiй:", " Час розрахунку:", " Mu:", " Склад фаз:", " Тепл. еф.:"};
        for (int p = 0; p < TFForw::StatusPanelCount; ++p)
            QVERIFY2(labels.contains(f.w->SBarPanels[p]->text()),
                     qPrintable(QString::number(p) + ": " + f.w->SBarPanels[p]->text()));
        QCOMPARE(MaterialCount, 0);
        QCOMPARE(SystemElemLast, 0);
        QCOMPARE(TaskList.Count, 0);
        QCOMPARE(f.w->TaskBox->count(), 0);
        QCOMPARE(f.w->TaskFileBox->count(), 0);
        QVERIFY(!ResultsShown);
        QVERIFY(!f.w->MeltA->isEnabled());
        QVERIFY(!f.w->MeltRecA->isEnabled());
        QVERIFY(!f.w->StartA->isEnabled());
        QCOMPARE(f.w->EditP->text(), QString("1"));
        QVERIFY(f.w->EditIniT->text().isEmpty());
        QVERIFY(f.w->EditMetM->text().isEmpty());
        QVERIFY(f.w->MatGridCells.Cell(1, 1).empty());
        QCOMPARE(f.w->windowTitle(), QString("Ferrolyt"));
        QCOMPARE(QString::fromStdString(Settings.LastProject), QString("Untitled.FWP"));

        f.w->SaveA->trigger();
        QCOMPARE(f.dialogs, 0);
        const QStringList lines = ReadLines(f.Path("Untitled.FWP"));
        QVERIFY2(lines.contains("ConFile=Ferrolyt.CON"), qPrintable(lines.join("|")));
        QCOMPARE(f.w->windowTitle(), QString("Ferrolyt - Untitled.FWP"));
    }

    // Files are data: a desktop with a decimal comma writes the same bytes.
    void savedProjectAndExportAreTheSameOnEveryDesktop()
    {
        QMap<QString, QByteArray> point, comma;
        {
            const TDesktopLocale c("C");
            point = SaveAndExport("c");
        }
        {
            const TDesktopLocale uk("uk_UA.UTF-8");
            QVERIFY2(uk.Active(), "the uk_UA.UTF-8 locale is missing");
            comma = SaveAndExport("uk");
        }
        QVERIFY2(f.messages.isEmpty(), qPrintable(f.Texts().join("; ")));
        QVERIFY(point.contains("FERROLYT.FWP") && point.contains("Heat.xlsx:xl/worksheets/sheet1.xml"));
        QCOMPARE(comma.keys(), point.keys());
        for (auto it = point.cbegin(); it != point.cend(); ++it)
            QVERIFY2(comma.value(it.key()) == it.value(), qPrintable(it.key()));
    }

    void aNewProjectAsksBeforeReplacingAFileItDidNotOpen()
    {
        const QString untitled = f.Path("Untitled.FWP");
        WriteLines(untitled, {"ConFile=Other.CON"});
        f.w->ClearButClick();
        const QStringList question{"Файл " + untitled + " вже існує. Замінити його?"};
        f.answer = QMessageBox::No;
        f.w->SaveA->trigger();
        QCOMPARE(f.Texts(), question);
        QCOMPARE(ReadLines(untitled), QStringList{"ConFile=Other.CON"});
        QCOMPARE(f.w->windowTitle(), QString("Ferrolyt"));

        f.messages.clear();
        f.answer = QMessageBox::Yes;
        f.w->Timer1Timer(); // the autosave asks too
        QCOMPARE(f.Texts(), question);
        QVERIFY(ReadLines(untitled).contains("ConFile=Ferrolyt.CON"));

        // Once replaced it is the user's project: saved without asking.
        f.messages.clear();
        f.w->SaveA->trigger();
        QVERIFY(f.messages.isEmpty());
    }

    void aProjectThatFailsToOpenLeavesTheCaptionAndTheLastProject()
    {
        QVERIFY(QDir(f.dir->path()).mkdir("broken"));
        WriteLines(f.Path("broken/Broken.FWP"), {"ConFile=Missing.CON"});
        f.w->OpenFile(f.Path("broken/Broken.FWP").toStdString());
        QCOMPARE(f.messages.size(), 1);
        QCOMPARE(f.w->windowTitle(), QString("Ferrolyt - FERROLYT.FWP"));
        QCOMPARE(QString::fromStdString(Settings.LastProject), QString("FERROLYT.FWP"));
        QCOMPARE(QString::fromStdString(ProjectFile.filename().string()), QString("FERROLYT.FWP"));
    }

    // "-" ends a slag row: a value after it, as a user of the materials
    // file may write one, refuses the project, and the open one stays.
    void aProjectWithAValueAfterASlagRowsEndIsRefusedAndTheOpenOneStays()
    {
        QVERIFY(QDir(f.dir->path()).mkdir("broken"));
        for (const QString& name : QDir(f.dir->path()).entryList(QDir::Files))
            QVERIFY(QFile::copy(f.Path(name), f.Path("broken/" + name)));
        WriteLines(f.Path("broken/Ferrolyt.SLG"),
                   ReadLines(f.Path("broken/Ferrolyt.SLG")).replaceInStrings("Fe  0 0 0 9 ", "Fe  0 0 0 - 9 "));
        const auto slagMatrix = SlagMatrix;
        const auto energies = InteractionEnergy;
        const std::filesystem::path project = ProjectFile;
        f.w->OpenFile(f.Path("broken/FERROLYT.FWP").toStdString());
        QCOMPARE(f.messages.size(), 1);
        QVERIFY2(f.Texts()[0].startsWith("Неможливо завантажити файл ") &&
                     f.Texts()[0].contains("Ferrolyt.SLG\nРядок 3: енергія пари Fe, значення 5 (Mn): \"9\" після \"-\""),
                 qPrintable(f.Texts()[0]));
        QCOMPARE(QString::fromStdString(ProjectFile.string()), QString::fromStdString(project.string()));
        QVERIFY(SlagMatrix == slagMatrix && InteractionEnergy == energies);
    }

    void aLongProjectPathIsRememberedAndSavedWhole()
    {
        // The settings record keeps 105 characters: here the cut falls in
        // the project's own name.
        QString deep = "Плавки";
        while (deep.size() < 100)
            deep += "/Цех 2";
        QVERIFY(QDir(f.dir->path()).mkpath(deep));
        for (const QString& file : QDir(f.dir->path()).entryList(QDir::Files))
            QVERIFY(QFile::copy(f.Path(file), f.Path(deep + "/" + file)));
        const QString relative = deep + "/FERROLYT.FWP";
        f.w->OpenFile(f.Path(relative).toStdString());
        QVERIFY2(f.messages.isEmpty(), qPrintable(f.Texts().join("; ")));
        QCOMPARE(QString::fromStdString(Settings.LastProject), relative);

        TaskList.Items[1].Name = "Збережена плавка";
        f.w->SaveA->trigger();
        QVERIFY2(f.messages.isEmpty(), qPrintable(f.Texts().join("; ")));
        QCOMPARE(QDir(f.Path(deep)).entryList({"*.FWP"}), QStringList{"FERROLYT.FWP"});
        QVERIFY(ReadLines(f.Path(deep + "/Ferrolyt.TSK")).contains("*Збережена плавка"));

        // Closing remembers it whole for the next start.
        SetKeyStoreFile(f.Path("registry.ini").toStdString());
        QVERIFY(f.w->close());
        SetOptionDefaults();
        QVERIFY(ReadSettingsFile(ProgramFile(SettingsFileName)));
        RestoreWholeLastProject();
        SetKeyStoreFile({});
        QCOMPARE(QString::fromStdString(Settings.LastProject), relative);
    }

    void aFailedSaveOnExitKeepsTheWindowOpenAndAsks()
    {
        Settings.ExitSave = true;
        QVERIFY(QFile::remove(f.Path("FERROLYT.FWP")));
        QVERIFY(QDir(f.dir->path()).mkdir("FERROLYT.FWP")); // a folder cannot be replaced by the file
        f.answer = QMessageBox::No;
        QVERIFY(!f.w->close());
        QVERIFY(f.w->isVisible());
        QCOMPARE(f.messages.size(), 2);
        QCOMPARE(f.messages.last().text, QString("Проєкт не збережено. Вийти без збереження?"));
        QVERIFY(ResultsShown); // nothing was freed

        f.answer = QMessageBox::Yes;
        QVERIFY(f.w->close());
        Settings.ExitSave = false;
    }

    void saveAsAsksThroughTheDialogHookAndSavesWhereTheUserSaid()
    {
        QString asked;
        f.dialog = [&](QDialog& d) {
            auto& files = dynamic_cast<QFileDialog&>(d);
            asked = files.objectName();
            files.selectFile(f.Path("Copy.FWP"));
            return int(QDialog::Accepted);
        };
        f.w->SaveAsM->trigger();
        QCOMPARE(asked, QString("SaveProjectDialog"));
        QVERIFY2(f.messages.isEmpty(), qPrintable(f.Texts().join("; ")));
        QVERIFY(QFile::exists(f.Path("Copy.FWP")));
        QCOMPARE(f.w->windowTitle(), QString("Ferrolyt - Copy.FWP"));
    }

    void theAutosaveTickSavesWithoutADialog()
    {
        Settings.AutoSave = true;
        Settings.AutoSaveMinutes = 3;
        f.w->SetAutoSaveTimer();
        QVERIFY(f.w->Timer1->isActive());
        QCOMPARE(f.w->Timer1->interval(), 180000);

        QVERIFY(QFile::remove(f.Path("FERROLYT.FWP")));
        TaskList.Items[1].Name = "Змінена плавка";
        f.w->Timer1Timer();
        QCOMPARE(f.dialogs, 0);
        QVERIFY(f.messages.isEmpty());
        QVERIFY(ReadLines(f.Path("FERROLYT.FWP")).contains("TskFile=Ferrolyt.TSK"));
        QVERIFY(ReadLines(f.Path("Ferrolyt.TSK")).contains("*Змінена плавка"));

        Settings.AutoSave = false;
        f.w->SetAutoSaveTimer();
        QVERIFY(!f.w->Timer1->isActive());
    }
};

QTEST_MAIN(TstFileCommands)
#include "tst_filecommands.moc"
