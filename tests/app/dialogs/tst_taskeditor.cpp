// The task editor on the sample task file: editing the tab list, the commit
// rule of OK and Cancel, what the value edits let through and what OK refuses.

#include "AppFixture.h"

#include "FTask.h"
#include "TaskList.h"
#include "support/RealBoxes.h"
#include "support/ShownNumber.h"
#include "support/StateWait.h"

#include <QComboBox>
#include <QFileDialog>
#include <QApplication>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTableWidget>

#include <deque>

using namespace ferrolyt;

class TstTaskEditor : public QObject {
    Q_OBJECT

    TAppFixture f;
    std::deque<QString> names; // answers of the name queries, in order; empty: Cancel
    std::function<void(TFTask&)> edit;

    void OpenEditor(int result)
    {
        f.dialog = [this, result](QDialog& d) {
            if (auto* q = qobject_cast<QInputDialog*>(&d)) {
                if (names.empty())
                    return int(QDialog::Rejected);
                q->setTextValue(names.front());
                names.pop_front();
                return int(QDialog::Accepted);
            }
            if (auto* t = qobject_cast<TFTask*>(&d); t && edit)
                edit(*t);
            return result;
        };
        f.w->TaskMClick();
    }

    static std::vector<std::string> FileLinesOnDisk(const std::string& fileName)
    {
        auto list = std::make_unique<TTaskList>();
        list->Items[0] = TaskList.Items[0];
        if (!list->LoadFromFile(fileName, 0))
            return {};
        return list->FileLines();
    }

private slots:
    void init()
    {
        QVERIFY2(f.Start(), qPrintable(f.Texts().join("; ")));
        names.clear();
        edit = nullptr;
    }
    void cleanup() { f.Stop(); }

    void tasksAreCreatedEditedCopiedRenamedDeletedAndSaved()
    {
        const int count = TaskList.Count;
        QVERIFY(count >= 2);
        names = {"Копія", "Нова плавка", "Плавка 7"};
        edit = [&](TFTask& t) {
            QCOMPARE(t.TaskTabs->count(), count);
            QCOMPARE(t.windowTitle(), QString("Файл завдань - Ferrolyt.TSK"));
            QCOMPARE(t.TaskTabs->tabText(0), QString::fromStdString(TaskList.Items[1].Name));
            // Edit the first task: a value, an element bound, a material.
            t.Edit(TTaskEditorView::MinMetEd)->setText("91,5");
            t.SetElementCell(3, 1, "0.2");
            t.SetMaterialCell(5, 1, "77");
            // Copy it (the copy holds the edits) and add an empty task.
            t.AddTaskMClick(0);
            QCOMPARE(t.TaskTabs->count(), count + 1);
            QCOMPARE(t.TaskTabs->currentIndex(), count);
            QCOMPARE(t.TaskTabs->tabText(count), QString("Копія"));
            QCOMPARE(t.Edit(TTaskEditorView::MinMetEd)->text(), OnScreen("91.5"));
            QCOMPARE(t.MaterialCell(5, 1), std::string("77"));
            t.AddTaskMClick(1);
            QCOMPARE(t.TaskTabs->count(), count + 2);
            QVERIFY(t.Edit(TTaskEditorView::MinMetEd)->text().isEmpty());
            t.Edit(TTaskEditorView::IniTempEd)->setText("1590");
            // Swapped with the second row: a material listed twice in one
            // task would not load back.
            t.SetMaterialCell(1, 1, QString::fromStdString(MaterialTable[2].Name).toStdString());
            t.SetMaterialCell(1, 2, QString::fromStdString(MaterialTable[1].Name).toStdString());
            t.SetMaterialCell(2, 1, "12.5");
            // Rename the second task, delete the first.
            t.TaskTabs->setCurrentIndex(1);
            t.RenTskMClick();
            QCOMPARE(t.TaskTabs->tabText(1), QString("Плавка 7"));
            t.TaskTabs->setCurrentIndex(0);
            t.DelTskMClick();
            QCOMPARE(t.TaskTabs->count(), count + 1);
            QCOMPARE(t.TaskTabs->tabText(0), QString("Плавка 7"));
            t.SaveTaskMClick();
        };
        OpenEditor(QDialog::Accepted);
        QVERIFY2(f.messages.isEmpty(), qPrintable(f.Texts().join("; ")));
        QCOMPARE(TaskList.Count, count + 1);
        QCOMPARE(QString::fromStdString(TaskList.Items[1].Name), QString("Плавка 7"));
        const TTaskRecord& copy = TaskList.Items[static_cast<std::size_t>(count) - 0];
        QCOMPARE(QString::fromStdString(copy.Name), QString("Копія"));
        QCOMPARE(double(copy.MinMet), 91.5);
        QCOMPARE(double(copy.MetalMax[1]), 0.2);
        QCOMPARE(double(copy.Materials[1].MaxT), 77.0);
        const TTaskRecord& fresh = TaskList.Items[static_cast<std::size_t>(count) + 1];
        QCOMPARE(QString::fromStdString(fresh.Name), QString("Нова плавка"));
        QCOMPARE(double(fresh.IniTemp), 1590.0);
        // An empty task lists every material of the template, unset.
        QCOMPARE(fresh.NMat, std::min(MaterialCount, MaxTaskMaterials));
        QCOMPARE(double(fresh.Materials[1].Recommended), 12.5);
        QCOMPARE(int(fresh.Materials[1].TableIndex), 2);
        // The main window's task box lists the new tabs.
        QCOMPARE(f.w->TaskBox->count(), count + 1);
        QCOMPARE(f.w->TaskBox->itemText(0), QString("Плавка 7"));
        // The file read back equals what was edited.
        QCOMPARE(FileLinesOnDisk("Ferrolyt.TSK"), TaskList.FileLines());
    }

    void cancelKeepsTheListThoughASavedFileHasTheEdits()
    {
        const std::vector<std::string> before = TaskList.FileLines();
        const std::string firstName = TaskList.Items[1].Name;
        names = {"Тимчасова"};
        edit = [](TFTask& t) {
            t.AddTaskMClick(1);
            t.Edit(TTaskEditorView::MaxTempEd)->setText("1650");
            t.SaveTaskMClick();
        };
        OpenEditor(QDialog::Rejected);
        QCOMPARE(TaskList.FileLines(), before);
        QCOMPARE(TaskList.Items[1].Name, firstName);
        QCOMPARE(f.w->TaskBox->count(), TaskList.Count);
        const std::vector<std::string> onDisk = FileLinesOnDisk("Ferrolyt.TSK");
        QVERIFY(onDisk != before);
        QVERIFY(std::find(onDisk.begin(), onDisk.end(), "*Тимчасова") != onDisk.end());
    }

    void cancelAfterOpeningAnotherTaskFileKeepsTheProjectsEntry()
    {
        QVERIFY(QFile::copy(f.Path("Ferrolyt.TSK"), f.Path("Other.TSK")));
        QString caption;
        f.dialog = [&](QDialog& d) {
            if (auto* fd = qobject_cast<QFileDialog*>(&d)) {
                fd->selectFile(f.Path("Other.TSK"));
                return int(QDialog::Accepted);
            }
            if (auto* t = qobject_cast<TFTask*>(&d)) {
                t->OpenTaskMClick();
                caption = t->windowTitle();
            }
            return int(QDialog::Rejected);
        };
        f.w->TaskMClick();
        QCOMPARE(caption, QString("Файл завдань - Other.TSK"));
        QCOMPARE(QString::fromStdString(TaskListBox.at(0).Text), QString("Ferrolyt.TSK"));
        QCOMPARE(f.w->TaskFileBox->currentText(), QString("Ferrolyt.TSK"));
        QCOMPARE(QString::fromStdString(TaskList.FileName), QString("Ferrolyt.TSK"));
    }

    void aCellBeingTypedIsKeptWhenTheEditorCloses()
    {
        // Enter in a cell reaches the dialog's button before the cell
        // editor has stored its text.
        TFTask& t = *f.w->FTask;
        t.FormShow();
        t.show();
        t.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&t));
        t.MatGrid->setFocus();
        t.MatGrid->setCurrentCell(0, 4); // material 1, Max t
        t.MatGrid->edit(t.MatGrid->currentIndex());
        auto* editor = qobject_cast<QLineEdit*>(t.MatGrid->indexWidget(t.MatGrid->currentIndex()));
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClicks(editor, "77");
        // A command of the main window (an autosave tick) leaves it open.
        f.w->SaveA->trigger();
        QCOMPARE(t.MatGrid->indexWidget(t.MatGrid->currentIndex()), editor);
        t.done(QDialog::Accepted);
        QCOMPARE(double(TaskList.CurrentTask().Materials[1].MaxT), 77.0);
    }

    void okWithAnUnsetInitialTemperaturePuts1600IntoTheMainWindow()
    {
        // Closing the editor itself, without the melt that follows it.
        TFTask& t = *f.w->FTask;
        f.w->EditIniT->setText("1234");
        t.FormShow();
        t.Edit(TTaskEditorView::IniTempEd)->clear();
        t.done(QDialog::Accepted);
        QVERIFY(IsUnset(TaskList.CurrentTask().IniTemp));
        QCOMPARE(f.w->EditIniT->text(), QString("1600"));
        t.FormShow();
        t.Edit(TTaskEditorView::IniTempEd)->setText("1610.5");
        t.done(QDialog::Accepted);
        QCOMPARE(f.w->EditIniT->text(), OnScreen("1610.5"));
    }

    void clearingAndDeletingTheLastTab()
    {
        const int count = TaskList.Count;
        edit = [&](TFTask& t) {
            t.TaskTabs->setCurrentIndex(count - 1);
            t.ClrTskMClick();
            QVERIFY(t.Edit(TTaskEditorView::MinMetEd)->text().isEmpty());
            QVERIFY(t.MaterialCell(2, 1).empty()); // the template's materials, unset
            QCOMPARE(t.TaskTabs->tabText(count - 1), QString::fromStdString(TaskList.Items[count].Name));
            t.PopupTabPopup();
            QVERIFY(t.DelTskM->isEnabled());
            t.DelTskMClick();
            QCOMPARE(t.TaskTabs->count(), count - 1);
            QCOMPARE(t.TaskTabs->currentIndex(), count - 2);
        };
        OpenEditor(QDialog::Accepted);
        QCOMPARE(TaskList.Count, count - 1);
        QCOMPARE(TaskList.Current, count - 2);
    }

    void anEmptyListAsksForTheFirstTasksNameAtOnce()
    {
        f.w->ClearButClick();
        QVERIFY(QFile::copy(f.Path("Ferrolyt.MAT"), f.Path("x.MAT")));
        names = {"Перша"};
        int tabs = -1;
        edit = [&](TFTask& t) { tabs = t.TaskTabs->count(); };
        OpenEditor(QDialog::Accepted);
        QCOMPARE(tabs, 1);
        QCOMPARE(TaskList.Count, 1);
        QCOMPARE(QString::fromStdString(TaskList.Items[1].Name), QString("Перша"));

        // Cancelling the query leaves the editor without a task.
        f.w->ClearButClick();
        names.clear();
        OpenEditor(QDialog::Accepted);
        QCOMPARE(tabs, 0);
        QCOMPARE(TaskList.Count, 0);
    }

    void aNewTaskCanStartFromTheLastMelt()
    {
        QVERIFY(ResultsShown);
        names = {"З проплавлення"};
        edit = [](TFTask& t) { t.AddTaskMClick(2); };
        OpenEditor(QDialog::Accepted);
        const TTaskRecord& t = TaskList.Items[static_cast<std::size_t>(TaskList.Count)];
        QCOMPARE(QString::fromStdString(t.Name), QString("З проплавлення"));
        QVERIFY(t.IniMinMet > 0 && t.IniMaxMet >= t.IniMinMet);
        QVERIFY(t.IniTemp > 1000 && t.IniTemp < 2500);
        QVERIFY(t.NEl > 3);
    }

    void valueEditsMapTheLayoutsSeparatorKeysAndKeepOtherCharacters()
    {
        const std::pair<char32_t, char32_t> taken[] = {{U'ю', U'.'}, {U'/', U'.'}, {U'б', U','}, {U'7', U'7'},
                                                       {U'-', U'-'}, {U'a', U'a'}, {U'ж', U'ж'}, {U' ', U' '}};
        for (const auto& [typed, stored] : taken)
            QCOMPARE(TaskEditKey(typed), stored);

        TFTask t(nullptr);
        t.show();
        QVERIFY(QTest::qWaitForWindowExposed(&t));
        QLineEdit* e = t.Edit(TTaskEditorView::EnergyEd);
        e->setFocus();
        auto type = [e](const QString& text) {
            for (const QChar c : text) {
                QKeyEvent press(QEvent::KeyPress, c.unicode() < 128 ? c.toUpper().unicode() : int(Qt::Key_unknown),
                                Qt::NoModifier, QString(c));
                QApplication::sendEvent(e, &press);
            }
        };
        type(QString("1ю5x/2"));
        QCOMPARE(e->text(), QString("1.5x.2"));
        type(QString("б"));
        QCOMPARE(e->text(), QString("1.5x.2,"));
    }

    void lettersTypedIntoAValueAreRefusedByNameAndTheOldValueComesBack()
    {
        // The user's keys into the editor the main window opens; Enter
        // ends the edit, and refused it leaves the dialog open to mend it.
        TFTask& t = *f.w->FTask;
        t.FormShow();
        t.show();
        t.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&t));
        QLineEdit* energy = t.Edit(TTaskEditorView::EnergyEd);
        energy->setText(OnScreen("420.5"));
        t.done(QDialog::Accepted);
        QCOMPARE(double(TaskList.CurrentTask().Energy), 420.5);
        t.FormShow();
        t.show();
        t.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&t));
        QTest::mouseClick(energy, Qt::LeftButton);
        energy->selectAll();
        QTest::keyClicks(energy, "4x2y0");
        QTest::keyClick(energy, Qt::Key_Return);
        QTRY_COMPARE(f.Texts().size(), 1);
        QVERIFY2(f.Texts()[0].contains("Q+, MДж") && f.Texts()[0].contains("\"4x2y0\" не є числом"),
                 qPrintable(f.Texts()[0]));
        QCOMPARE(energy->text(), OnScreen("420.5"));
        QVERIFY(t.isVisible());
        t.done(QDialog::Accepted);
        QCOMPARE(double(TaskList.CurrentTask().Energy), 420.5);
    }

    void okRefusesABoundUpsideDownAndKeepsTheEditorOpen()
    {
        TFTask& t = *f.w->FTask;
        t.FormShow();
        t.show();
        t.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&t));
        const long double minMet = TaskList.CurrentTask().MinMet;
        auto type = [&t](TTaskEditorView::Field field, const char* text) {
            QLineEdit* e = t.Edit(field);
            QTest::mouseClick(e, Qt::LeftButton);
            e->selectAll();
            QTest::keyClicks(e, text);
        };
        type(TTaskEditorView::MinMetEd, "105");
        type(TTaskEditorView::MaxMetEd, "95");
        QTest::mouseClick(t.BitBtn3, Qt::LeftButton);
        QTRY_COMPARE(f.Texts().size(), 1);
        QVERIFY2(f.Texts()[0].contains("поле \"Мiн / Макс М мет.\": нижня межа 105 більша за верхню 95"),
                 qPrintable(f.Texts()[0]));
        QVERIFY(t.isVisible());
        QCOMPARE(double(TaskList.CurrentTask().MinMet), double(minMet)); // nothing taken

        // Mended, the same OK takes it.
        f.messages.clear();
        type(TTaskEditorView::MaxMetEd, "110");
        QTest::keyClick(t.Edit(TTaskEditorView::MaxMetEd), Qt::Key_Return);
        QVERIFY(!t.isVisible());
        QCOMPARE(double(TaskList.CurrentTask().MinMet), 105.0);
        QCOMPARE(double(TaskList.CurrentTask().MaxMet), 110.0);
        QTest::qWait(0);
        QVERIFY2(f.messages.isEmpty(), qPrintable(f.Texts().join("; ")));
    }

    // OK refuses what the task file cannot hold in a real box naming the
    // row, and takes nothing; emptied, a name still deletes its row and a
    // value its limit.
    void okRefusesWhatTheTaskFileCouldNotKeepByItsRow_data()
    {
        QTest::addColumn<bool>("materials");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("typed"); // empty: the name of row 1
        QTest::addColumn<QString>("says");  // %1: the row's name as it was
        // The reasons' wording is the task file's own, checked with the file.
        QTest::newRow("material unknown")
            << true << 1 << 0 << "Vapno" << "таблиця матеріалів, рядок 1: матеріалу \"Vapno\" немає";
        QTest::newRow("element unknown")
            << false << 1 << 0 << "abc" << "таблиця елементів, рядок 1: елемента \"abc\" немає";
        QTest::newRow("material twice") << true << 2 << 0 << ""
                                        << "таблиця матеріалів, рядок 2: матеріал %1 указано двічі (уперше в "
                                           "рядку 1)";
        QTest::newRow("element twice") << false << 2 << 0 << ""
                                       << "таблиця елементів, рядок 2: елемент %1 указано двічі (уперше в рядку 1)";
        QTest::newRow("per cent") << false << 1 << 2 << "150"
                                  << "таблиця елементів, рядок 1, %1, Мет<=: 150 поза межами 0..100";
    }

    void okRefusesWhatTheTaskFileCouldNotKeepByItsRow()
    {
        QFETCH(bool, materials);
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(QString, typed);
        QFETCH(QString, says);
        TBoxCloser closer;
        TFTask& t = *f.w->FTask;
        t.FormShow();
        t.show();
        t.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&t));
        QTableWidget& grid = materials ? *t.MatGrid : *t.ElGrid;
        if (typed.isEmpty())
            typed = grid.item(0, 0)->text();
        if (says.contains("%1"))
            says = says.arg(column > 0 ? grid.item(row - 1, 0)->text() : typed);
        const std::vector<std::string> before = TaskList.FileLines();
        const int rows = materials ? TaskList.CurrentTask().NMat : TaskList.CurrentTask().NEl;
        const QModelIndex cell = grid.model()->index(row - 1, column);
        // Typed over the cell (a Cyrillic name too, as the layout types it),
        // and «Прийняти» clicked while it is still open.
        auto typeAndAccept = [&](const QString& text) {
            grid.setFocus();
            const QPoint at = grid.visualRect(cell).center();
            QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, at);
            auto* editor = qobject_cast<QLineEdit*>(grid.indexWidget(cell));
            if (!editor)
                return false;
            editor->selectAll();
            QTest::keyClick(editor, Qt::Key_Delete);
            for (const QChar c : text)
                QTest::sendKeyEvent(QTest::Click, editor, Qt::Key_unknown, QString(c), Qt::NoModifier);
            QTest::mouseClick(t.BitBtn3, Qt::LeftButton);
            return true;
        };
        QVERIFY(typeAndAccept(typed));
        // The box comes once the click is handled; an editor that took the
        // task is gone at once.
        QTRY_VERIFY_WITH_TIMEOUT(!closer.texts.isEmpty() || !t.isVisible(), StateWaitMs);
        QVERIFY(t.isVisible());
        QCOMPARE(closer.texts.size(), 1);
        const QString task = QString::fromStdString(TaskList.CurrentTask().Name);
        QVERIFY2(closer.texts[0].startsWith("Завдання \"" + task + "\", " + says), qPrintable(closer.texts[0]));
        QCOMPARE(cell.data().toString(), typed); // left to be mended
        QCOMPARE(TaskList.FileLines(), before);

        QVERIFY(typeAndAccept(QString()));
        QTRY_VERIFY_WITH_TIMEOUT(!t.isVisible(), StateWaitMs);
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QCOMPARE(closer.texts.size(), 1);
        QCOMPARE(materials ? TaskList.CurrentTask().NMat : TaskList.CurrentTask().NEl, column > 0 ? rows : rows - 1);
    }
};

QTEST_MAIN(TstTaskEditor)
#include "tst_taskeditor.moc"
