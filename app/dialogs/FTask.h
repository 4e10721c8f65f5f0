#pragma once
// The task editor "Завдання на плавку": one tab per task of the open task
// file, the selected task's element and material bounds in two grids and its
// twenty values in edits, and the tab popup that adds, renames, clears and
// deletes tasks and opens and saves task files. It edits TaskListEdit, a
// working copy of TaskList that replaces it only when the editor closes with
// "Прийняти"; task files saved meanwhile keep their edits either way.

#include "TaskList.h"

#include <QDialog>

#include <array>
#include <optional>

class QAction;
class QLineEdit;
class QMenu;
class QPushButton;
class QTabBar;
class QTableWidget;
class TTaskEditorHost;
namespace ferrolyt {
struct TTaskEntryRefusal;
}

// What a key typed into a value edit or a number column enters: ',' and
// the letter 'б' a comma, '.', '/' and the letter 'ю' a point (the keys of
// the Ukrainian layout that carry them); any other character itself, so
// that a text which is not a number is refused whole when editing ends,
// never changed into another number by keys dropped on the way.
char32_t TaskEditKey(char32_t key);

class TFTask : public QDialog, public ferrolyt::TTaskEditorView {
    Q_OBJECT

public:
    explicit TFTask(TTaskEditorHost* main, QWidget* parent = nullptr);

    QTabBar* TaskTabs = nullptr;
    QTableWidget* ElGrid = nullptr;
    QTableWidget* MatGrid = nullptr;
    std::array<QLineEdit*, FieldCount> Edits{};
    QMenu* PopupTab = nullptr;
    QAction* SaveTaskM = nullptr;
    QAction* SaveTaskAsM = nullptr;
    QAction* OpenTaskM = nullptr;
    QMenu* AddTskM = nullptr;
    QAction* AddTskTemplM = nullptr;
    QAction* AddTskEmptyM = nullptr;
    QAction* AddTskPlavM = nullptr;
    QAction* InsEndM = nullptr;
    QAction* InsCurM = nullptr;
    QAction* RenTskM = nullptr;
    QAction* ClrTskM = nullptr;
    QAction* DelTskM = nullptr;
    QPushButton* BitBtn1 = nullptr; // "Вiдмiна"
    QPushButton* BitBtn2 = nullptr; // "Довiдка"
    QPushButton* BitBtn3 = nullptr; // "Прийняти"

    QLineEdit* Edit(Field f) const { return Edits[static_cast<std::size_t>(f)]; }

    void FormCreate();
    // Takes a working copy of TaskList and shows it.
    void FormShow();
    // Stores the shown task; with Accepted the copy replaces TaskList.
    void FormClose(int result);
    void FillTabs();
    void AddTaskMClick(int tag);
    void RenTskMClick();
    void ClrTskMClick();
    void DelTskMClick();
    void SaveTaskMClick();
    void SaveTaskAsMClick();
    void OpenTaskMClick();
    void PopupTabPopup();

    // TTaskEditorView
    int SelectedTab() const override;
    void SetCaption(const std::string& text) override;
    std::string EditText(Field f) const override;
    void SetEditText(Field f, const std::string& text) override;
    void ClearElementGrid() override;
    int ElementRowCount() const override;
    std::string ElementCell(int col, int row) const override;
    void SetElementCell(int col, int row, const std::string& text) override;
    void ClearMaterialGrid() override;
    int MaterialRowCount() const override;
    std::string MaterialCell(int col, int row) const override;
    void SetMaterialCell(int col, int row, const std::string& text) override;

public slots:
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void TaskTabsChange(int index);
    // Asks for a text; none when the query is cancelled.
    std::optional<std::string> Query(const QString& prompt, const std::string& proposal);
    QString ChooseTaskFile(bool save, int* filterIndex);
    void RestoreMainTaskBox();
    // The material names' column as wide as their longest, within bounds.
    void FitNameColumn();
    // Tells over the editor the first entry of the shown task that storing
    // it would drop (a name not known), or with `all` any it cannot take;
    // true when there is one.
    bool RefuseShownTask(bool all);
    std::string EntryRefusalText(const ferrolyt::TTaskEntryRefusal& refusal, int tab) const;

    TTaskEditorHost* main_;
    std::optional<int> storingTab_; // the tab left behind while the selection changes
    bool filling_ = false; // tabs are being rebuilt
    int mainTaskBoxIndex_ = -1;
    // The project's task-file entry as the editor found it: showing a task
    // file opened or saved here renames it, and Cancel takes that back.
    std::string mainTaskFileText_;
};
