#include "FTask.h"

#include "CutTextTips.h"
#include "GridEdits.h"
#include "LaterWarning.h"
#include "NumberInput.h"
#include "ModalDialog.h"
#include "Project.h"
#include "ResultDisplay.h"
#include "TaskEditorHost.h"
#include "Utils.h"

#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

using namespace ferrolyt;

namespace {

// The entry of the project's task files that the main window has selected.
TTaskFileEntry* SelectedTaskFileEntry()
{
    if (TaskListBoxIndex < 0 || TaskListBoxIndex >= static_cast<int>(TaskListBox.size()))
        return nullptr;
    return &TaskListBox[static_cast<std::size_t>(TaskListBoxIndex)];
}

QString U(const char* s) { return QString::fromUtf8(s); }
QString Q(const std::string& s) { return QString::fromStdString(s); }

const QString Idle = QStringLiteral("background-color: rgb(239, 239, 239);");
const QString Focused = QStringLiteral("background-color: rgb(255, 255, 255);");

constexpr const char* ElGridHeaderText = "N,Ел,Мет>=,Мет<=,Проба,Шлк>=,Шлк<=,Проба";
constexpr const char* MatGridHeaderText = "N,Матерiал,Реком,Фiкс,Мiн т,Mакс т,Мiн %,Макс%";
constexpr int NameColumnWidth = 150;

// The twenty edits: object name, label of the pair, hint.
struct TEditText {
    const char* Name;
    const char* Label;
    const char* Hint;
};
constexpr std::array<TEditText, TTaskEditorView::FieldCount> EditTexts = {{
    {"MinMetEd", "Мiн / Макс М мет.", "Нижня задана межа, т"},
    {"MaxMetEd", "", "Верхня задана межа, т"},
    {"IniMinMetEd", "Вiдома поч. М мет.", "Нижня межа, т"},
    {"IniMaxMetEd", "", "Верхня межа, т"},
    {"MinSlgEd", "Мiн / Макс М шл.", "Нижня задана межа, т"},
    {"MaxSlgEd", "", "Верхня задана межа, т"},
    {"IniMinSlgEd", "Вiдома поч. М шлаку", "Нижня межа, т"},
    {"IniMaxSlgEd", "", "Верхня межа, т"},
    {"MinOsnEd", "Мiн / Макс осн-ть", "Нижня задана межа"},
    {"MaxOsnEd", "", "Верхня задана межа"},
    {"MinGasEd", "Мiн / Макс M газу", "Нижня задана межа, т"},
    {"MaxGasEd", "", "Верхня задана межа, т"},
    {"MinTempEd", "Мiн / Макс т-ра,°C", "Нижня задана межа, °С"},
    {"MaxTempEd", "", "Верхня задана межа, °С"},
    {"IniTempEd", "Поч. т-ра,°С", ""},
    {"AmbTempEd", "Т-ра н.серед", "Температура навколишнього середовища,°C"},
    {"EnergyEd", "Q+, MДж", "Внесена енергія, МДж"},
    {"LossesEd", "Q-, MДж", "Тепловi втрати, МДж"},
    {"ExtPEd", "P, aтм", "Зовнiшнiй тиск, атм"},
    {"ChargeEd", "Заряд", "Ел. заряд шлаку, кF (e*кмоль)"},
}};

// Number columns of the grids take only what TaskEditKey lets through; the
// name column takes everything.
class TTaskCellDelegate : public QStyledItemDelegate {
public:
    TTaskCellDelegate(QObject* filter, QObject* parent) : QStyledItemDelegate(parent), filter_(filter) {}
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (index.column() > 0)
            editor->installEventFilter(filter_);
        return editor;
    }
    // The keys let through still make "1,2,3" or "--": such a text is
    // refused and the cell keeps its value.
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        if (auto* line = qobject_cast<QLineEdit*>(editor); line && index.column() > 0) {
            const QString row = index.siblingAtColumn(0).data().toString().trimmed();
            const QString column = model->headerData(index.column(), Qt::Horizontal).toString();
            const QString field = row.isEmpty() ? column : row + ", " + column;
            if (RefuseIfNotNumber(field.toStdString(), line->text().toStdString()))
                return;
        }
        QStyledItemDelegate::setModelData(editor, model, index);
    }

private:
    QObject* filter_;
};

QTableWidget* MakeGrid(QWidget* parent, const char* name, const char* header, int rows, QObject* filter)
{
    auto* g = new QTableWidget(parent);
    g->setObjectName(name);
    TStringGrid headerRow(8, 1);
    SetGridHeader(headerRow, header);
    g->setColumnCount(7);
    g->setRowCount(rows);
    QStringList labels;
    for (int c = 1; c < 8; ++c)
        labels << Q(headerRow.Cell(c, 0));
    g->setHorizontalHeaderLabels(labels);
    g->verticalHeader()->setDefaultSectionSize(20);
    g->horizontalHeader()->setDefaultSectionSize(58);
    g->horizontalHeader()->setStyleSheet(QStringLiteral("QHeaderView::section { background-color: #EFEFEF; }"));
    g->setItemDelegate(new TTaskCellDelegate(filter, g));
    ShowCutTextsAsToolTips(*g);
    g->setStyleSheet(Idle);
    g->installEventFilter(filter);
    return g;
}

std::string CellText(const QTableWidget* g, int col, int row)
{
    const QTableWidgetItem* item = g->item(row - 1, col - 1);
    return item ? item->text().toStdString() : std::string();
}

void SetCellText(QTableWidget* g, int col, int row, const std::string& text)
{
    if (row < 1 || row > g->rowCount() || col < 1 || col > g->columnCount())
        return;
    if (QTableWidgetItem* item = g->item(row - 1, col - 1))
        item->setText(Q(text));
    else
        g->setItem(row - 1, col - 1, new QTableWidgetItem(Q(text)));
}

void ClearGrid(QTableWidget* g)
{
    for (int r = 0; r < g->rowCount(); ++r)
        for (int c = 0; c < g->columnCount(); ++c)
            if (QTableWidgetItem* item = g->item(r, c))
                item->setText(QString());
}

std::string TaskName(const std::string& s) { return Utf8Left(s, TaskNameLength); }

std::string InvertedBoundRefusal(const std::string& task, const std::string& inverted)
{
    return "Завдання \"" + task + "\": " + WithDisplaySeparatorInText(inverted) +
           ". Виправте межу, щоб прийняти завдання.";
}

} // namespace

char32_t TaskEditKey(char32_t key)
{
    if (key == U',' || key == U'б')
        return U',';
    if (key == U'.' || key == U'/' || key == U'ю')
        return U'.';
    return key;
}

TFTask::TFTask(TTaskEditorHost* main, QWidget* parent) : QDialog(parent), main_(main)
{
    setObjectName("FTask");
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    TaskTabs = new QTabBar(this);
    TaskTabs->setObjectName("TaskTabs");
    TaskTabs->setExpanding(false);
    TaskTabs->setContextMenuPolicy(Qt::CustomContextMenu);
    layout->addWidget(TaskTabs);

    auto* body = new QHBoxLayout;
    ElGrid = MakeGrid(this, "ElGrid", ElGridHeaderText, MaxTaskElements, this);
    MatGrid = MakeGrid(this, "MatGrid", MatGridHeaderText, MaxTaskMaterials, this);
    MatGrid->horizontalHeader()->resizeSection(0, NameColumnWidth);
    auto* grids = new QVBoxLayout;
    grids->addWidget(ElGrid, 1);
    grids->addWidget(MatGrid, 1);
    body->addLayout(grids, 1);

    auto* values = new QGridLayout;
    int row = 0;
    QString pairLabel;
    for (int f = 0; f < FieldCount; ++f) {
        const TEditText& t = EditTexts[static_cast<std::size_t>(f)];
        auto* e = new QLineEdit(this);
        e->setObjectName(t.Name);
        if (*t.Label)
            pairLabel = U(t.Label);
        KeepNumbersIn(*e, *t.Hint ? pairLabel + " (" + U(t.Hint) + ")" : pairLabel);
        e->setMaxLength(15);
        e->setMaximumWidth(80);
        e->setStyleSheet(Idle);
        e->installEventFilter(this);
        Edits[static_cast<std::size_t>(f)] = e;
        if (*t.Label) {
            auto* label = new QLabel(this);
            label->setObjectName(QString(t.Name) + "Label");
            label->setBuddy(e);
            values->addWidget(label, row, 0);
            values->addWidget(e, row, 1);
            // The second edit of a pair sits beside the first.
            const bool pair = f + 1 < FieldCount && !*EditTexts[static_cast<std::size_t>(f) + 1].Label;
            if (!pair)
                ++row;
        } else {
            values->addWidget(e, row++, 2);
        }
    }
    values->setRowStretch(row, 1);
    body->addLayout(values);
    layout->addLayout(body, 1);

    auto* buttons = new QHBoxLayout;
    BitBtn3 = new QPushButton(this);
    BitBtn3->setObjectName("BitBtn3");
    BitBtn1 = new QPushButton(this);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn2 = new QPushButton(this);
    BitBtn2->setObjectName("BitBtn2");
    buttons->addStretch(1);
    buttons->addWidget(BitBtn3);
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    layout->addLayout(buttons);
    connect(BitBtn3, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);

    PopupTab = new QMenu(this);
    PopupTab->setObjectName("PopupTab");
    SaveTaskM = PopupTab->addAction(QString());
    SaveTaskAsM = PopupTab->addAction(QString());
    OpenTaskM = PopupTab->addAction(QString());
    PopupTab->addSeparator();
    AddTskM = PopupTab->addMenu(QString());
    AddTskTemplM = AddTskM->addAction(QString());
    AddTskEmptyM = AddTskM->addAction(QString());
    AddTskPlavM = AddTskM->addAction(QString());
    AddTskM->addSeparator();
    InsEndM = AddTskM->addAction(QString());
    InsCurM = AddTskM->addAction(QString());
    auto* where = new QActionGroup(this);
    for (QAction* a : {InsEndM, InsCurM}) {
        a->setCheckable(true);
        where->addAction(a);
    }
    InsEndM->setChecked(true);
    RenTskM = PopupTab->addAction(QString());
    ClrTskM = PopupTab->addAction(QString());
    DelTskM = PopupTab->addAction(QString());
    const std::pair<QAction*, const char*> names[] = {
        {SaveTaskM, "SaveTaskM"}, {SaveTaskAsM, "SaveTaskAsM"}, {OpenTaskM, "OpenTaskM"},
        {AddTskTemplM, "AddTskTemplM"}, {AddTskEmptyM, "AddTskEmptyM"}, {AddTskPlavM, "AddTskPlavM"},
        {InsEndM, "InsEndM"}, {InsCurM, "InsCurM"}, {RenTskM, "RenTskM"}, {ClrTskM, "ClrTskM"}, {DelTskM, "DelTskM"}};
    for (const auto& [a, name] : names)
        a->setObjectName(name);
    AddTskM->setObjectName("AddTskM");
    AddTskTemplM->setData(0);
    AddTskEmptyM->setData(1);
    AddTskPlavM->setData(2);
    for (QAction* a : {AddTskTemplM, AddTskEmptyM, AddTskPlavM})
        connect(a, &QAction::triggered, this, [this, a] { AddTaskMClick(a->data().toInt()); });
    connect(RenTskM, &QAction::triggered, this, [this] { RenTskMClick(); });
    connect(ClrTskM, &QAction::triggered, this, [this] { ClrTskMClick(); });
    connect(DelTskM, &QAction::triggered, this, [this] { DelTskMClick(); });
    connect(SaveTaskM, &QAction::triggered, this, [this] { SaveTaskMClick(); });
    connect(SaveTaskAsM, &QAction::triggered, this, [this] { SaveTaskAsMClick(); });
    connect(OpenTaskM, &QAction::triggered, this, [this] { OpenTaskMClick(); });
    connect(PopupTab, &QMenu::aboutToShow, this, [this] { PopupTabPopup(); });
    connect(TaskTabs, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { PopupTab->popup(TaskTabs->mapToGlobal(p)); });
    connect(TaskTabs, &QTabBar::currentChanged, this, [this](int index) { TaskTabsChange(index); });
    FormCreate();
    resize(980, 640);
}

void TFTask::FormCreate()
{
    setWindowTitle(QStringLiteral("Завдання на плавку"));
    for (int f = 0; f < FieldCount; ++f) {
        const TEditText& t = EditTexts[static_cast<std::size_t>(f)];
        if (*t.Hint)
            Edits[static_cast<std::size_t>(f)]->setToolTip(U(t.Hint));
        if (auto* label = findChild<QLabel*>(QString(t.Name) + "Label"))
            label->setText(U(t.Label));
    }
    SaveTaskM->setText(QStringLiteral("Зберегти файл завдань"));
    SaveTaskAsM->setText(QStringLiteral("Зберегти файл завдань як..."));
    OpenTaskM->setText(QStringLiteral("Відкрити файл завдань"));
    AddTskM->setTitle(QStringLiteral("Додати завдання"));
    AddTskTemplM->setText(QStringLiteral("За шаблоном поточного завдання"));
    AddTskEmptyM->setText(QStringLiteral("Порожнє"));
    AddTskPlavM->setText(QStringLiteral("За результатом проплавлення"));
    InsEndM->setText(QStringLiteral("В кінець списку"));
    InsCurM->setText(QStringLiteral("У поточній позиції"));
    RenTskM->setText(QStringLiteral("Перейменувати завдання"));
    ClrTskM->setText(QStringLiteral("Очистити завдання"));
    DelTskM->setText(QStringLiteral("Видалити завдання"));
    BitBtn1->setText(QStringLiteral("Вiдмiна"));
    BitBtn2->setText(QStringLiteral("Довiдка"));
    BitBtn3->setText(QStringLiteral("Прийняти"));
}

// ---------------------------------------------------------------------------
// The editor view

int TFTask::SelectedTab() const { return storingTab_ ? *storingTab_ : TaskTabs->currentIndex(); }

void TFTask::SetCaption(const std::string& text) { setWindowTitle(Q(text)); }

std::string TFTask::EditText(Field f) const { return Edit(f)->text().toStdString(); }

void TFTask::SetEditText(Field f, const std::string& text) { Edit(f)->setText(Q(WithDisplaySeparator(text))); }

void TFTask::ClearElementGrid() { ClearGrid(ElGrid); }

int TFTask::ElementRowCount() const { return ElGrid->rowCount(); }

std::string TFTask::ElementCell(int col, int row) const { return CellText(ElGrid, col, row); }

// Column 1 holds the element's symbol, the others numbers.
void TFTask::SetElementCell(int col, int row, const std::string& text)
{
    SetCellText(ElGrid, col, row, col >= 2 ? WithDisplaySeparator(text) : text);
}

void TFTask::ClearMaterialGrid() { ClearGrid(MatGrid); }

int TFTask::MaterialRowCount() const { return MatGrid->rowCount(); }

std::string TFTask::MaterialCell(int col, int row) const { return CellText(MatGrid, col, row); }

// Column 1 holds the material's name, the others numbers.
void TFTask::SetMaterialCell(int col, int row, const std::string& text)
{
    SetCellText(MatGrid, col, row, col >= 2 ? WithDisplaySeparator(text) : text);
}

// ---------------------------------------------------------------------------
// Opening, tabs and closing

void TFTask::FormShow()
{
    mainTaskBoxIndex_ = main_ ? main_->ShownTask() : -1;
    mainTaskFileText_ = SelectedTaskFileEntry() ? SelectedTaskFileEntry()->Text : std::string();
    TaskListEdit.Assign(TaskList);
    if (TaskList.Count == 0)
        AddTaskMClick(1);
    FillTabs();
}

void TFTask::FillTabs()
{
    filling_ = true;
    while (TaskTabs->count() > 0)
        TaskTabs->removeTab(0);
    for (int k = 1; k <= TaskListEdit.Count; ++k)
        TaskTabs->addTab(Q(TaskListEdit.Items[static_cast<std::size_t>(k)].Name));
    TaskListEdit.Current = std::max(0, TaskListEdit.Current);
    TaskTabs->setCurrentIndex(TaskListEdit.Count > 0 ? std::min(TaskListEdit.Current, TaskListEdit.Count - 1) : -1);
    filling_ = false;
    TaskListEdit.ShowCurrent(*this);
    FitNameColumn();
}

void TFTask::FitNameColumn()
{
    // Long names get the room they need, up to twice the usual; longer ones
    // are read whole in their tooltips.
    MatGrid->setColumnWidth(0, std::clamp(FittingColumnWidth(*MatGrid, 0), NameColumnWidth, 2 * NameColumnWidth));
}

void TFTask::TaskTabsChange(int index)
{
    if (filling_)
        return;
    static_cast<void>(index);
    // The controls still show the task of the tab that was selected before.
    storingTab_ = TaskListEdit.Current;
    TaskListEdit.StoreCurrent(*this);
    storingTab_.reset();
    TaskListEdit.ShowCurrent(*this);
    FitNameColumn();
}

void TFTask::done(int result)
{
    CommitGridEdits(*this);
    for (QLineEdit* e : Edits)
        CheckNumberEdit(*e);
    if (result == QDialog::Accepted) {
        // A lower bound above its upper one cannot be met: the list is not
        // taken, and the editor stays open on the task to mend.
        TaskListEdit.StoreCurrent(*this);
        for (int k = 0; k < TaskListEdit.Count; ++k) {
            const std::string inverted = TaskListEdit.InvertedBound(k);
            if (inverted.empty())
                continue;
            if (k != TaskTabs->currentIndex())
                TaskTabs->setCurrentIndex(k);
            // OK may come from the Enter that ends a cell's editing: the box
            // waits until the grid has done with it.
            WarnWhenIdle(InvertedBoundRefusal(TaskListEdit.Items[static_cast<std::size_t>(k) + 1].Name, inverted));
            return;
        }
    }
    FormClose(result);
    QDialog::done(result);
}

void TFTask::FormClose(int result)
{
    TaskListEdit.StoreCurrent(*this);
    if (result == QDialog::Accepted) {
        TaskList.Assign(TaskListEdit);
        if (main_) {
            QStringList names;
            for (int k = 0; k < TaskTabs->count(); ++k)
                names.append(TaskTabs->tabText(k));
            main_->ListTasks(names, TaskList.Current);
            if (mainTaskBoxIndex_ != TaskList.Current)
                main_->ClearTaskResults();
            const bool iniSet = TaskList.Current >= 0 && !IsUnset(TaskList.CurrentTask().IniTemp);
            main_->ShowInitialTemperature(iniSet ? Q(WithDisplaySeparator(DecimalDot(EditText(IniTempEd))))
                                                 : QStringLiteral("1600"));
        }
    } else if (TTaskFileEntry* entry = SelectedTaskFileEntry(); entry && entry->Text != mainTaskFileText_) {
        entry->Text = mainTaskFileText_;
        ShowTaskListBox();
    }
    TaskListEdit.Clear();
    RestoreMainTaskBox();
}

void TFTask::RestoreMainTaskBox()
{
    // Opening a task file into the working copy lists its tasks in the main
    // window's task box; the box always shows the list in force.
    if (!main_)
        return;
    QStringList names;
    for (int k = 1; k <= TaskList.Count; ++k)
        names.append(Q(TaskList.Items[static_cast<std::size_t>(k)].Name));
    main_->ListTasks(names, TaskList.Current);
    main_->EnableBoundCommands(TaskList.HasMassBounds(TaskList.Current), TaskList.HasMaterialBounds(TaskList.Current));
}

// ---------------------------------------------------------------------------
// Tab popup

std::optional<std::string> TFTask::Query(const QString& prompt, const std::string& proposal)
{
    QInputDialog box(this);
    box.setWindowTitle(QStringLiteral("Ferrolyt"));
    box.setLabelText(prompt);
    box.setTextValue(Q(proposal));
    if (ExecModal(box) != QDialog::Accepted)
        return std::nullopt;
    return box.textValue().toStdString();
}

void TFTask::AddTaskMClick(int tag)
{
    TTaskRecord task;
    std::string proposal = "Завдання " + std::to_string(TaskListEdit.Count + 1);
    if (tag == 0) {
        TaskListEdit.StoreCurrent(*this);
        task = TaskListEdit.Current >= 0 ? TaskListEdit.CurrentTask() : TaskListEdit.Items[0];
        proposal = task.Name;
    } else if (tag == 2) {
        task = TaskList.Items[LastMeltTaskSlot];
    } else {
        task = TaskListEdit.Items[0];
    }
    const auto name = Query(QStringLiteral("Найменування нового завдання (№ плавки)"), proposal);
    if (!name || TaskListEdit.Count >= MaxTasks)
        return;
    task.Name = TaskName(*name);
    const bool atCurrent = InsCurM->isChecked() && TaskListEdit.Current >= 0 && TaskListEdit.Current < TaskListEdit.Count;
    TaskListEdit.Add(task, false, atCurrent);
    if (!atCurrent)
        TaskListEdit.Current = TaskListEdit.Count - 1;
    FillTabs();
}

void TFTask::RenTskMClick()
{
    const int tab = TaskTabs->currentIndex();
    if (tab < 0)
        return;
    TTaskRecord& task = TaskListEdit.Items[static_cast<std::size_t>(tab) + 1];
    const std::string name = TaskName(Query(QStringLiteral("Нове найменування завдання (№ плавки)"), task.Name)
                                          .value_or(task.Name));
    task.Name = name;
    TaskTabs->setTabText(tab, Q(name));
}

void TFTask::ClrTskMClick()
{
    const int tab = TaskTabs->currentIndex();
    if (tab < 0)
        return;
    TTaskRecord& task = TaskListEdit.Items[static_cast<std::size_t>(tab) + 1];
    task = TaskListEdit.Items[0];
    task.Name = TaskName(TaskTabs->tabText(tab).toStdString());
    TaskListEdit.ShowCurrent(*this);
}

void TFTask::DelTskMClick()
{
    const int tab = TaskTabs->currentIndex();
    if (tab < 0 || TaskListEdit.Count <= 0)
        return;
    for (int k = tab + 1; k < TaskListEdit.Count; ++k)
        TaskListEdit.Items[static_cast<std::size_t>(k)] = TaskListEdit.Items[static_cast<std::size_t>(k) + 1];
    TaskListEdit.Items[static_cast<std::size_t>(TaskListEdit.Count)] = TaskListEdit.Items[0];
    --TaskListEdit.Count;
    TaskListEdit.Current = std::min(tab, TaskListEdit.Count - 1);
    FillTabs();
}

void TFTask::PopupTabPopup()
{
    AddTskM->setEnabled(TaskListEdit.Count < MaxTasks);
    DelTskM->setEnabled(TaskListEdit.Count > 1);
}

QString TFTask::ChooseTaskFile(bool save, int* filterIndex)
{
    QFileDialog dialog(this);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    const QStringList filters = OpenFilters(save);
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters[3]); // task files
    dialog.selectFile(Q(TaskListEdit.FileName));
    if (ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    if (filterIndex)
        *filterIndex = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
    return dialog.selectedFiles().front();
}

void TFTask::SaveTaskMClick()
{
    if (TaskListEdit.FileName.empty()) {
        // A list that no file holds yet (a new project) asks where to go.
        SaveTaskAsMClick();
        return;
    }
    TaskListEdit.StoreCurrent(*this);
    TaskListEdit.SaveToFile();
}

void TFTask::SaveTaskAsMClick()
{
    int filter = 0;
    const QString chosen = ChooseTaskFile(true, &filter);
    if (chosen.isEmpty())
        return;
    if (!chosen.toUpper().endsWith(".TSK") && filter != 4)
        return;
    QFileInfo info(chosen);
    const QString file = info.dir().filePath(info.completeBaseName() + ".TSK");
    TaskListEdit.FileName = Utf8Left(StoredFileName(file.toStdString()), TaskFileNameLength);
    TaskListEdit.StoreCurrent(*this);
    TaskListEdit.SaveToFile();
    TaskListEdit.ShowCurrent(*this);
}

void TFTask::OpenTaskMClick()
{
    const QString chosen = ChooseTaskFile(false, nullptr);
    if (!chosen.toUpper().endsWith(".TSK"))
        return;
    // Read into a list of its own, so that a file that fails leaves the
    // tasks being edited as they are.
    auto loaded = std::make_unique<TTaskList>();
    loaded->Items[0] = TaskListEdit.Items[0];
    if (loaded->LoadFromFile(chosen.toStdString(), 0)) {
        TaskListEdit.Assign(*loaded);
        FillTabs();
    }
}

// ---------------------------------------------------------------------------
// Typing and focus

bool TFTask::eventFilter(QObject* watched, QEvent* event)
{
    auto* widget = qobject_cast<QWidget*>(watched);
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
        if (qobject_cast<QLineEdit*>(watched) && widget->parent() == this)
            widget->setStyleSheet(event->type() == QEvent::FocusIn ? Focused : Idle);
        else if (auto* grid = qobject_cast<QTableWidget*>(watched)) {
            grid->setStyleSheet(event->type() == QEvent::FocusIn ? Focused : Idle);
            if (event->type() == QEvent::FocusOut && !grid->isPersistentEditorOpen(grid->currentIndex()) &&
                !grid->isAncestorOf(QApplication::focusWidget()))
                grid->clearSelection();
        }
    }
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        if (text.size() != 1 || key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
            return QDialog::eventFilter(watched, event);
        if (auto* grid = qobject_cast<QTableWidget*>(watched); grid && grid->currentColumn() == 0)
            return QDialog::eventFilter(watched, event); // the name column takes every key
        const char32_t typed = text.toUcs4().value(0);
        if (typed < 32)
            return QDialog::eventFilter(watched, event);
        const char32_t entered = TaskEditKey(typed);
        if (entered != typed) {
            const QString replacement = QString::fromUcs4(&entered, 1);
            QKeyEvent mapped(QEvent::KeyPress, entered == U',' ? Qt::Key_Comma : Qt::Key_Period,
                             key->modifiers(), replacement);
            QCoreApplication::sendEvent(watched, &mapped);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
