// What the user typed or loaded is not lost behind their back: a refused
// task file leaves the charge, the results and the task lists as they were;
// a text that is not a number is refused, by name, in every grid cell and
// edit that takes one; a one-phase study with nothing to start from says so
// instead of showing a made-up phase.

#include "AppFixture.h"

#include "AutoF.h"
#include "FOptions.h"
#include "FTask.h"
#include "OptionControls.h"
#include "RzForm.h"
#include "TaskList.h"
#include "ThSys.h"
#include "support/ShownNumber.h"

#include <QComboBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>

using namespace ferrolyt;

namespace {

QStringList CellsOf(const TStringGrid& g)
{
    QStringList out;
    for (int r = 0; r < g.RowCount(); ++r)
        for (int c = 0; c < g.ColCount(); ++c)
            out << QString::fromStdString(g.Cell(c, r));
    return out;
}

// Everything the main window shows of the heat and of the task lists, one
// text a line, so that a failed comparison names what changed.
QStringList ScreenOf(const TFForw& w)
{
    QStringList s = CellsOf(w.MatGridCells) + CellsOf(w.ElGridCells) + CellsOf(w.GasGridCells);
    for (const QLineEdit* e : w.findChildren<QLineEdit*>())
        if (e->window() == &w)
            s << e->objectName() + ": " + e->text();
    // Panel 1 is the time the last melt took, which no two melts share.
    for (int p = 0; p < w.SBarPanels.size(); ++p)
        s << (p == 1 ? QString() : w.SBarPanels[p]->text());
    for (const QComboBox* box : {w.TaskBox, w.TaskFileBox})
        for (int i = 0; i < box->count(); ++i)
            s << box->itemText(i) + (i == box->currentIndex() ? " *" : "");
    s << QString("shown %1").arg(ResultsShown);
    return s;
}

} // namespace

class TstUserInput : public QObject {
    Q_OBJECT

    TAppFixture f;

    void WriteBytes(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    // The shipped sample's file (the data functions run before the copy).
    static QByteArray SampleBytes(const QString& name)
    {
        QFile file(QString(FERROLYT_DATA) + "/" + name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // A charge of the user's own (not the task's recommended one), melted.
    void MeltOwnCharge()
    {
        f.w->MatGridCells.SetCell(2, 1, "60");
        f.w->MatGridCells.SetCell(2, 2, "20,5");
        f.w->MeltA->trigger();
        QVERIFY(ResultsShown);
    }

    // Types `text` into the materials grid's mass cell of `row` and ends it
    // with Enter, as a user does.
    void TypeMass(int row, const QString& text)
    {
        f.w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.w.get()));
        QTableView& grid = *f.w->MatGrid;
        grid.setFocus();
        grid.setCurrentIndex(grid.model()->index(row - 1, 1));
        QTest::keyClick(&grid, Qt::Key_F2);
        auto* editor = qobject_cast<QLineEdit*>(grid.indexWidget(grid.currentIndex()));
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClick(editor, Qt::Key_Delete);
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
        // The editor stores the cell once the key is handled, and the melt
        // that Enter asked for comes right behind it.
        QTRY_VERIFY_WITH_TIMEOUT(!grid.indexWidget(grid.currentIndex()), StateWaitMs);
        QCoreApplication::processEvents();
    }

    // Types `text` over an edit's text and leaves it with Tab.
    static void TypeAndLeave(QLineEdit& edit, const QString& text)
    {
        edit.setFocus();
        edit.selectAll();
        QTest::keyClick(&edit, Qt::Key_Delete);
        QTest::keyClicks(&edit, text);
        QTest::keyClick(&edit, Qt::Key_Tab);
        QCoreApplication::processEvents(); // the refusal's box comes once the edit is done
    }

    // The same in a dialog, whose window the offscreen platform need not
    // make active: the end of editing comes as the focus change would send it.
    static void TypeAndFinish(QLineEdit& edit, const QString& text)
    {
        edit.selectAll();
        QTest::keyClick(&edit, Qt::Key_Delete);
        QTest::keyClicks(&edit, text);
        emit edit.editingFinished();
        QCoreApplication::processEvents(); // the refusal's box comes once the edit is done
    }

private slots:
    void init() { QVERIFY2(f.Start(), qPrintable(f.Texts().join("; "))); }
    void cleanup() { f.Stop(); }

    // --- refused task files

    void aRefusedTaskFileKeepsTheChargeTheResultsAndTheTasks_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray sample = SampleBytes("Ferrolyt.TSK");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("garbage") << QByteArray::fromHex("0102fffe20676172626167650d0a7f0010");
        QTest::newRow("blank lines") << QByteArray("\r\n\r\n   \r\n");
        QTest::newRow("cut in the first task") << sample.left(sample.indexOf("MASSMET") + 12);
        QTest::newRow("header only") << sample.left(sample.indexOf('\n') + 1);
    }

    void aRefusedTaskFileKeepsTheChargeTheResultsAndTheTasks()
    {
        QFETCH(QByteArray, bytes);
        MeltOwnCharge();
        const QStringList before = ScreenOf(*f.w);
        const int current = TaskList.Current;
        const std::string tasks = TaskList.FileName;

        WriteBytes(f.Path("Bad.TSK"), bytes);
        f.dialog = [this](QDialog& d) {
            dynamic_cast<QFileDialog&>(d).selectFile(f.Path("Bad.TSK"));
            return int(QDialog::Accepted);
        };
        f.w->OpenTskM->trigger();
        QCOMPARE(f.dialogs, 1);
        QCOMPARE(f.messages.size(), 1);
        QVERIFY2(f.Texts()[0].contains("Bad.TSK"), qPrintable(f.Texts()[0]));

        QCOMPARE(ScreenOf(*f.w), before);
        QCOMPARE(TaskList.Current, current);
        QCOMPARE(TaskList.FileName, tasks);

        // F9 melts the charge on screen, to the same heat.
        f.w->MeltA->trigger();
        QCOMPARE(f.messages.size(), 1);
        QCOMPARE(double(MaterialTable[1].Amount), 60.0);
        QCOMPARE(double(MaterialTable[2].Amount), 20.5);
        QCOMPARE(ScreenOf(*f.w), before);
    }

    void aProjectWithACutTaskFileKeepsTheOpenOne()
    {
        MeltOwnCharge();
        const QStringList before = ScreenOf(*f.w);
        QVERIFY(QDir(f.dir->path()).mkdir("cut"));
        for (const QString& name : QDir(f.dir->path()).entryList(QDir::Files))
            QVERIFY(QFile::copy(f.Path(name), f.Path("cut/" + name)));
        const QByteArray sample = SampleBytes("Ferrolyt.TSK");
        QVERIFY(QFile::remove(f.Path("cut/Ferrolyt.TSK")));
        WriteBytes(f.Path("cut/Ferrolyt.TSK"), sample.left(sample.indexOf("MASSMET") + 12));

        f.w->OpenFile(f.Path("cut/FERROLYT.FWP").toStdString());
        QCOMPARE(f.messages.size(), 1);
        QCOMPARE(ScreenOf(*f.w), before);
        QCOMPARE(f.w->windowTitle(), QString("Ferrolyt - FERROLYT.FWP"));
        f.w->MeltA->trigger();
        QCOMPARE(double(MaterialTable[1].Amount), 60.0);
    }

    void aTaskWithABoundUpsideDownOpensAndIsRefusedUntilMended()
    {
        // As an earlier version wrote it.
        QVERIFY(QDir(f.dir->path()).mkdir("upside"));
        for (const QString& name : QDir(f.dir->path()).entryList(QDir::Files))
            QVERIFY(QFile::copy(f.Path(name), f.Path("upside/" + name)));
        QByteArray tasks = SampleBytes("Ferrolyt.TSK");
        QVERIFY(tasks.indexOf("MASSMET | 95/105") > 0);
        tasks.replace(tasks.indexOf("MASSMET | 95/105"), 16, "MASSMET | 105.5/95");
        QVERIFY(QFile::remove(f.Path("upside/Ferrolyt.TSK")));
        WriteBytes(f.Path("upside/Ferrolyt.TSK"), tasks);
        // Told on loading as the commands tell it: in the desktop's numbers.
        const QString limit = "MASSMET: нижня межа " + OnScreen("105.5") + " більша за верхню 95";

        f.w->OpenFile(f.Path("upside/FERROLYT.FWP").toStdString());
        QCOMPARE(f.Texts().size(), 1);
        QVERIFY2(f.Texts()[0].contains("Ferrolyt.TSK, рядок 7: " + limit), qPrintable(f.Texts()[0]));
        QCOMPARE(f.w->windowTitle(), QString("Ferrolyt - FERROLYT.FWP"));
        QCOMPARE(TaskList.Count, 4);
        QCOMPARE(TaskList.Current, 0);

        // F9 and F10 say why and compute nothing.
        f.w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.w.get()));
        const QStringList screen = ScreenOf(*f.w);
        for (const Qt::Key key : {Qt::Key_F9, Qt::Key_F10}) {
            f.messages.clear();
            QTest::keyClick(f.w.get(), key);
            QTRY_COMPARE(f.Texts().size(), 1);
            QVERIFY2(f.Texts()[0].contains(limit), qPrintable(f.Texts()[0]));
            QVERIFY(!ResultsShown);
            QCOMPARE(ScreenOf(*f.w), screen);
        }

        // Mended in the task editor, the task melts.
        f.messages.clear();
        f.dialog = [](QDialog& d) {
            if (auto* t = qobject_cast<TFTask*>(&d))
                t->Edit(TTaskEditorView::MinMetEd)->setText("95");
            return int(QDialog::Accepted);
        };
        f.w->TaskMClick();
        f.w->MeltA->trigger();
        QVERIFY(ResultsShown);
        QTest::qWait(0);
        QVERIFY2(f.messages.isEmpty(), qPrintable(f.Texts().join("; ")));
    }

    // --- the one-phase studies

    void theSlagOfATaskWithoutInitialMetalIsNotMadeUp()
    {
        QVERIFY(QString::fromStdString(TaskList.CurrentTask().Name).startsWith("ДСП-100"));
        QVERIFY(IsUnset(TaskList.CurrentTask().IniMinMet) && IsUnset(TaskList.CurrentTask().IniMaxMet));
        const QStringList shown = CellsOf(f.w->ElGridCells);
        f.w->EquiSlgTskM->trigger();
        QCOMPARE(f.Texts(), QStringList{"Шлак у рівновазі з вихідним металом не існує"});
        QCOMPARE(CellsOf(f.w->ElGridCells), shown);
        // The present phases still give a slag.
        f.messages.clear();
        f.w->EquiSlgCurM->trigger();
        QVERIFY2(f.messages.isEmpty(), qPrintable(f.Texts().join("; ")));
    }

    // --- typing

    void aMassCellRefusesWhatIsNotANumber()
    {
        QCOMPARE(QString::fromStdString(f.w->MatGridCells.Cell(2, 1)), QString("55"));
        TypeMass(1, "abc");
        QTRY_COMPARE_WITH_TIMEOUT(f.Texts().size(), 1, StateWaitMs);
        QVERIFY2(f.Texts()[0].contains("Брухт важкий, т") && f.Texts()[0].contains("\"abc\""),
                 qPrintable(f.Texts()[0]));
        QCOMPARE(QString::fromStdString(f.w->MatGridCells.Cell(2, 1)), QString("55"));
        // Enter melted the charge that is still on screen.
        QVERIFY(ResultsShown);
        QCOMPARE(double(MaterialTable[1].Amount), 55.0);

        // A number, with the desktop's separator or a point, is taken.
        f.messages.clear();
        TypeMass(1, "60,5");
        QCOMPARE(ShownNumber(QString::fromStdString(f.w->MatGridCells.Cell(2, 1))), 60.5);
        QCOMPARE(double(MaterialTable[1].Amount), 60.5);
        TypeMass(1, "61.5");
        QCOMPARE(double(MaterialTable[1].Amount), 61.5);
        // An empty cell is no charge of that material, as before.
        TypeMass(1, "");
        QCOMPARE(double(MaterialTable[1].Amount), 0.0);
        QVERIFY2(f.messages.isEmpty(), qPrintable(f.Texts().join("; ")));
    }

    void theTemperatureAndPressureEditsRefuseWhatIsNotANumber()
    {
        f.w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.w.get()));
        for (QLineEdit* edit : {f.w->EditIniT, f.w->EditP}) {
            const QString name = edit == f.w->EditIniT ? "Темп. поч., °C" : "Тиск, атм";
            f.messages.clear();
            edit->setText(edit == f.w->EditIniT ? "1600" : "1");
            TypeAndLeave(*edit, "abc");
            QTRY_COMPARE_WITH_TIMEOUT(f.Texts().size(), 1, StateWaitMs);
            QVERIFY2(f.Texts()[0].contains(name) && f.Texts()[0].contains("\"abc\""), qPrintable(f.Texts()[0]));
            QCOMPARE(edit->text(), edit == f.w->EditIniT ? QString("1600") : QString("1"));

            // Enter melts at once: the typo is refused before the melt reads it.
            f.messages.clear();
            edit->setFocus();
            edit->selectAll();
            QTest::keyClicks(edit, "1x5");
            QTest::keyClick(edit, Qt::Key_Return);
            QTRY_COMPARE_WITH_TIMEOUT(f.Texts().size(), 1, StateWaitMs);
            QCOMPARE(edit->text(), edit == f.w->EditIniT ? QString("1600") : QString("1"));
            QVERIFY(ResultsShown);
        }
        // The autosave tick may come while the user types: it reads neither edit.
        f.messages.clear();
        f.w->EditIniT->setFocus();
        f.w->EditIniT->selectAll();
        QTest::keyClicks(f.w->EditIniT, "15-");
        QSignalSpy ticks(f.w->Timer1, &QTimer::timeout);
        f.w->Timer1->start(1);
        QTRY_VERIFY_WITH_TIMEOUT(!ticks.isEmpty(), StateWaitMs);
        f.w->Timer1->stop();
        QVERIFY2(f.messages.isEmpty(), qPrintable(f.Texts().join("; ")));
        QCOMPARE(f.w->EditIniT->text(), QString("15-"));

        // A number is taken and melted with.
        f.messages.clear();
        f.w->EditIniT->setFocus();
        f.w->EditIniT->selectAll();
        QTest::keyClicks(f.w->EditIniT, "1590");
        QTest::keyClick(f.w->EditIniT, Qt::Key_Return);
        QVERIFY2(f.messages.isEmpty(), qPrintable(f.Texts().join("; ")));
        QCOMPARE(f.w->EditIniT->text(), QString("1590"));
        QCOMPARE(double(ThSystems[0]->InitialTemperature), 1590 + 273.15);
    }

    void theTaskEditorsCellsAndEditsRefuseWhatIsNotANumber()
    {
        TFTask& t = *f.w->FTask;
        t.FormShow();
        t.show();
        t.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&t));

        // Every value edit: the keys let "1-2" through, which is no number.
        for (QLineEdit* edit : t.Edits) {
            f.messages.clear();
            const QString kept = edit->text();
            TypeAndFinish(*edit, "1-2");
            QTRY_VERIFY2_WITH_TIMEOUT(f.Texts().size() == 1, qPrintable(edit->objectName() + " holds " + edit->text()),
                                      StateWaitMs);
            QVERIFY2(f.Texts()[0].contains("\"1-2\""), qPrintable(edit->objectName()));
            QCOMPARE(edit->text(), kept);
        }
        f.messages.clear();
        TypeAndFinish(*t.Edit(TTaskEditorView::MinMetEd), "91,5");
        QVERIFY(f.messages.isEmpty());

        // Every number column of both grids, on the first row.
        for (QTableWidget* grid : {t.ElGrid, t.MatGrid}) {
            const QString row = grid->item(0, 0)->text().trimmed();
            for (int col = 1; col < grid->columnCount(); ++col) {
                f.messages.clear();
                const QString kept = grid->item(0, col) ? grid->item(0, col)->text() : QString();
                grid->setFocus();
                grid->setCurrentCell(0, col);
                grid->edit(grid->currentIndex());
                auto* editor = qobject_cast<QLineEdit*>(grid->indexWidget(grid->currentIndex()));
                QVERIFY(editor);
                editor->selectAll();
                QTest::keyClicks(editor, "2,,5");
                QTest::keyClick(editor, Qt::Key_Tab);
                const QString where = grid->objectName() + " " + QString::number(col);
                QTRY_VERIFY2_WITH_TIMEOUT(f.Texts().size() == 1, qPrintable(where + ": " + f.Texts().join("; ")),
                                          StateWaitMs);
                QVERIFY2(f.Texts()[0].contains(row) && f.Texts()[0].contains("\"2,,5\""), qPrintable(f.Texts()[0]));
                QCOMPARE(grid->item(0, col) ? grid->item(0, col)->text() : QString(), kept);
            }
        }
        // Letters are not dropped on the way into another number.
        f.messages.clear();
        t.MatGrid->setFocus();
        t.MatGrid->setCurrentCell(0, 4);
        t.MatGrid->edit(t.MatGrid->currentIndex());
        auto* editor = qobject_cast<QLineEdit*>(t.MatGrid->indexWidget(t.MatGrid->currentIndex()));
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClicks(editor, "4x2y0");
        QTest::keyClick(editor, Qt::Key_Tab);
        QTRY_COMPARE(f.Texts().size(), 1);
        QVERIFY2(f.Texts()[0].contains("\"4x2y0\""), qPrintable(f.Texts()[0]));
        t.done(QDialog::Accepted);
        QCOMPARE(double(TaskList.CurrentTask().MinMet), 91.5);
    }

    void theOptionsEditsRefuseWhatIsNotANumber()
    {
        TFOptions d;
        d.FormShow();
        d.show();
        d.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        int checked = 0;
        for (const TOptionEdit& e : OptionEdits()) {
            QLineEdit* edit = d.Edit(e.Name);
            QVERIFY(edit);
            if (!edit->isEnabled())
                continue;
            // The edit must be on the page shown to take the focus.
            d.Pages->setCurrentIndex(int(e.Page));
            f.messages.clear();
            const QString kept = edit->text();
            TypeAndFinish(*edit, "abc");
            QTRY_VERIFY2_WITH_TIMEOUT(f.Texts().size() == 1, e.Name, StateWaitMs);
            QCOMPARE(edit->text(), kept);
            ++checked;
        }
        QVERIFY2(checked >= 10, qPrintable(QString::number(checked)));
        d.reject();
    }

    void theStudiesNumberEditsRefuseWhatIsNotANumber()
    {
        f.w->ConstrRzM->trigger();
        QLineEdit* oxygen = f.w->RzForm->OxiEd;
        f.w->RzForm->OxiEdEnter(); // as the focus entering it: the typed mass is then fixed
        const QString kept = oxygen->text();
        TypeAndFinish(*oxygen, "abc");
        QTRY_COMPARE_WITH_TIMEOUT(f.Texts().size(), 1, StateWaitMs);
        QVERIFY2(f.Texts()[0].contains("m O2"), qPrintable(f.Texts()[0]));
        QCOMPARE(oxygen->text(), kept);

        for (const char* name : {"EdRangeX1", "EdRangeX2", "EdStepX", "EdRangeXX1", "EdRangeXX2", "EdStepXX"}) {
            auto* edit = f.w->AutoF->findChild<QLineEdit*>(name);
            QVERIFY(edit);
            edit->setText("5");
            f.messages.clear();
            TypeAndFinish(*edit, "5..");
            QTRY_VERIFY2_WITH_TIMEOUT(f.Texts().size() == 1, name, StateWaitMs);
            QCOMPARE(edit->text(), QString("5"));
        }
    }

    void aMaterialBoundThatIsNotANumberIsRefusedByName()
    {
        f.dialog = [](QDialog& d) {
            if (auto* box = qobject_cast<QInputDialog*>(&d))
                box->setTextValue("abc");
            return int(QDialog::Accepted);
        };
        const long double before = MaterialTable[1].MaxT;
        f.w->MatsPopPopup(1);
        f.w->SetMatMaxM->trigger();
        QCOMPARE(f.Texts().size(), 1);
        QVERIFY2(f.Texts()[0].contains("Брухт важкий") && f.Texts()[0].contains("\"abc\""), qPrintable(f.Texts()[0]));
        QCOMPARE(double(MaterialTable[1].MaxT), double(before));
    }
};

QTEST_MAIN(TstUserInput)
#include "tst_userinput.moc"
