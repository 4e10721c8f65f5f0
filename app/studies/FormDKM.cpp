#include "FormDKM.h"

#include "CutTextTips.h"
#include "GridModel.h"
#include "NumberInput.h"
#include "ResultsExport.h"
#include "TaskList.h"
#include "ThSys.h"
#include "Utils.h"
#include "Workbook.h"

#include <QAction>
#include <QActionGroup>
#include <QColor>
#include <QFont>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTabBar>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

using namespace ferrolyt;

TFormDKM* FormDKM = nullptr;

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Group tags of the popup items, as indexes of the last checked item.
enum : int { grView = 0, grRows = 1, grUnit = 2, grSlag = 3, grBound = 4 };

const QColor Cream(255, 251, 240);

} // namespace

TFormDKM::TFormDKM(QWidget* parent) : QWidget(parent, Qt::Window)
{
    if (!FormDKM)
        FormDKM = this;
    setObjectName("FormDKM");
    CreateWidgets();
    CreateActions();
    TaskText = [] { return TaskList.Current >= 0 ? TaskList.CurrentTask().Name : std::string(); };
    ExpoDialog = [this](const std::string& suggested) {
        return AskWorkbookFileName(this, "Експорт таблиці у файл", Q(suggested));
    };
    FormCreate();
}

TFormDKM::~TFormDKM()
{
    if (FormDKM == this)
        FormDKM = nullptr;
    // The view and its model read the grid, which goes before the base
    // class deletes its children.
    delete DKMGrid;
    delete DKMGridModel;
}

void TFormDKM::CreateWidgets()
{
    resize(900, 520);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    DKMGridModel = new TGridModel(DKMGridCells, this);
    DKMGrid = new QTableView(this);
    DKMGrid->setObjectName("DKMGrid");
    DKMGrid->setModel(DKMGridModel);
    QFont font("Arial");
    font.setBold(true);
    DKMGrid->setFont(font);
    DKMGrid->verticalHeader()->setDefaultSectionSize(22);
    DKMGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DKMGrid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                             | QAbstractItemView::AnyKeyPressed);
    DKMGrid->setContextMenuPolicy(Qt::CustomContextMenu);
    DKMGridModel->SetRowLabel([](int row) { return QString::number(row); });
    DKMGridModel->SetDecorator([](int col, int row, int role) -> QVariant {
        if (role == Qt::TextAlignmentRole) {
            if (row == 0 || (DkmViewMode == dkmProperties && (col == 3 || col == 4)))
                return int(Qt::AlignHCenter | Qt::AlignVCenter);
            if (col >= 2)
                return int(Qt::AlignRight | Qt::AlignVCenter);
            return {};
        }
        if (role == Qt::BackgroundRole && row > 0)
            return Cream;
        return {};
    });
    // A typed number is stored however the editing ends, as in the main
    // window's materials grid; what is not one is refused there by name. An
    // empty cell would store nothing: it keeps the value it shows.
    DKMGridModel->SetCellCheck(
        [numbers = NumberCellCheck(DKMGridCells)](int col, int row, const std::string& text) {
            return numbers(col, row, text) && !TrimBlanks(text).empty();
        });
    connect(DKMGridModel, &TGridModel::CellEdited, this, [this](int col, int row) { DKMGridKeyDown(col, row); });
    ShowCutTextsAsToolTips(*DKMGrid);
    layout->addWidget(DKMGrid, 1);

    Tab = new QTabBar(this);
    Tab->setObjectName("Tab");
    Tab->setShape(QTabBar::RoundedSouth);
    for (int i = 0; i < DkmViewCount; ++i)
        Tab->addTab(QString());
    connect(Tab, &QTabBar::currentChanged, this, [this](int) { MetMClick(Tab); });
    layout->addWidget(Tab);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setSizeGripEnabled(false);
    StatusText = new QLabel(StatusBar1);
    StatusBar1->addWidget(StatusText, 1);
    layout->addWidget(StatusBar1);
}

QAction* TFormDKM::AddItem(QActionGroup* group, int groupIndex, int tag, bool checked)
{
    auto* a = new QAction(this);
    a->setCheckable(true);
    a->setData(tag);
    a->setProperty("dkmGroup", groupIndex);
    a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    group->addAction(a);
    a->setChecked(checked);
    if (checked)
        checkedItem_[static_cast<std::size_t>(groupIndex)] = a;
    PhasePop->addAction(a);
    addAction(a);
    connect(a, &QAction::triggered, this, [this, a] { MetMClick(a); });
    return a;
}

void TFormDKM::CreateActions()
{
    PhasePop = new QMenu(this);
    PhasePop->setObjectName("PhasePop");
    std::array<QActionGroup*, 5> groups{};
    for (auto& g : groups) {
        g = new QActionGroup(this);
        g->setExclusive(true);
    }
    N4 = AddItem(groups[grView], grView, dkmProperties, true);
    MetM = AddItem(groups[grView], grView, dkmMetal, false);
    MetM->setShortcut(QKeySequence("Ctrl+M"));
    SlgM = AddItem(groups[grView], grView, dkmSlag, false);
    SlgM->setShortcut(QKeySequence("Ctrl+S"));
    GasM = AddItem(groups[grView], grView, dkmGas, false);
    GasM->setShortcut(QKeySequence("Ctrl+G"));
    N5 = AddItem(groups[grView], grView, dkmComposition, false);
    PhasePop->addSeparator();
    EffMatM = AddItem(groups[grRows], grRows, 0, true);
    EffElM = AddItem(groups[grRows], grRows, 0, false);
    PhasePop->addSeparator();
    MassM = AddItem(groups[grUnit], grUnit, 0, true);
    PercM = AddItem(groups[grUnit], grUnit, 0, false);
    PhasePop->addSeparator();
    SlgOxiM = AddItem(groups[grSlag], grSlag, 0, true);
    SlgEleM = AddItem(groups[grSlag], grSlag, 0, false);
    PhasePop->addSeparator();
    HighM = AddItem(groups[grBound], grBound, 0, false);
    HighM->setShortcut(QKeySequence("Ctrl+H"));
    AveM = AddItem(groups[grBound], grBound, 0, true);
    AveM->setShortcut(QKeySequence("Ctrl+A"));
    LowM = AddItem(groups[grBound], grBound, 0, false);
    LowM->setShortcut(QKeySequence("Ctrl+L"));
    PhasePop->addSeparator();
    ExportM = new QAction(this);
    ExportM->setShortcut(QKeySequence("Ctrl+E"));
    ExportM->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    PhasePop->addAction(ExportM);
    addAction(ExportM);
    connect(ExportM, &QAction::triggered, this, [this] { ExportMClick(); });

    connect(PhasePop, &QMenu::aboutToShow, this, [this] { PhasePopPopup(); });
    connect(DKMGrid, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PhasePop->popup(DKMGrid->viewport()->mapToGlobal(pos)); });
}

void TFormDKM::FormCreate()
{
    SetGridHeader(DKMGridCells, "N");
    N4->setText("Властивості");
    MetM->setText("Метал");
    SlgM->setText("Шлак");
    GasM->setText("Газ");
    N5->setText("Склад");
    EffMatM->setText("Еф. материалів");
    EffElM->setText("Еф. елементів (ДКЗ)");
    MassM->setText("Зміна у кг");
    PercM->setText("Зміна у мас.%");
    SlgOxiM->setText("Оксидний склад");
    SlgEleM->setText("Елементний склад");
    HighM->setText("Верхнє");
    AveM->setText("Середнє");
    LowM->setText("Нижнє");
    ExportM->setText("Експорт...");
    for (int i = 0; i < DkmViewCount; ++i)
        Tab->setTabText(i, ViewItem(i)->text().remove('&'));
}

QAction* TFormDKM::ViewItem(int view) const
{
    switch (view) {
    case dkmMetal: return MetM;
    case dkmSlag: return SlgM;
    case dkmGas: return GasM;
    case dkmComposition: return N5;
    default: return N4;
    }
}

TDkmChoices TFormDKM::Choices() const
{
    TDkmChoices c;
    c.MaterialRows = EffMatM->isChecked();
    c.InKg = MassM->isChecked();
    c.OxideSlag = SlgOxiM->isChecked();
    c.Bound = HighM->isChecked() ? TDkmBound::High : LowM->isChecked() ? TDkmBound::Low : TDkmBound::Mean;
    return c;
}

QString TFormDKM::Caption() const { return windowTitle(); }

QString TFormDKM::Status() const { return StatusText->text(); }

void TFormDKM::FormShow()
{
    // Nothing to show before the project has made its systems.
    if (!ThSystems[0] || !ThSystems[1])
        return;
    const int columns = DkmGridColumnCount();
    if (columns != DKMGridCells.ColCount()) {
        TStringGrid wider(columns, DkmGridRows);
        for (int r = 0; r < DkmGridRows; ++r)
            for (int c = 0; c < DKMGridCells.ColCount(); ++c)
                wider.SetCell(c, r, DKMGridCells.Cell(c, r));
        DKMGridCells = wider;
    }
    const TDkmTexts texts = FillDkmGrid(DKMGridCells, DkmViewMode, Choices(), *ThSystems[0], *ThSystems[1]);
    setWindowTitle(Q(texts.Caption));
    StatusText->setText(Q(texts.Status));
    if (DkmViewMode == dkmProperties)
        DKMGridModel->SetEditableColumns({2, 11});
    else
        DKMGridModel->SetEditableColumns({});
    DKMGridModel->Refresh();
    // The names get the room they need, up to three times the usual; longer
    // ones are read whole in their tooltips.
    const int usual = DKMGrid->horizontalHeader()->defaultSectionSize();
    DKMGrid->setColumnWidth(0, std::clamp(FittingColumnWidth(*DKMGrid, 0), usual, 3 * usual));
}

void TFormDKM::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    FormShow();
}

void TFormDKM::ShowEffects()
{
    if (isVisible())
        FormShow();
    else
        show();
    raise();
    activateWindow();
}

void TFormDKM::MetMClick(QObject* sender)
{
    auto* item = qobject_cast<QAction*>(sender);
    if (item) {
        const int group = item->property("dkmGroup").toInt();
        QAction*& last = checkedItem_[static_cast<std::size_t>(group)];
        if (last == item)
            return;
        last = item;
        item->setChecked(true);
    }
    if (sender == Tab || (item && item->property("dkmGroup").toInt() == grView)) {
        DkmViewMode = static_cast<uint8_t>(sender == Tab ? Tab->currentIndex() : item->data().toInt());
        QAction* view = ViewItem(DkmViewMode);
        checkedItem_[grView] = view;
        view->setChecked(true);
        const QSignalBlocker block(Tab);
        Tab->setCurrentIndex(DkmViewMode);
    }
    FormShow();
}

void TFormDKM::PhasePopPopup()
{
    QAction* view = ViewItem(Tab->currentIndex());
    checkedItem_[grView] = view;
    view->setChecked(true);
    const bool effects = IsEffectView(static_cast<uint8_t>(Tab->currentIndex()));
    MassM->setVisible(effects);
    PercM->setVisible(effects);
    EffMatM->setVisible(effects);
    EffElM->setVisible(effects);
    const bool slag = Tab->currentIndex() == dkmSlag;
    SlgOxiM->setVisible(slag);
    SlgEleM->setVisible(slag);
}

void TFormDKM::DKMGridKeyDown(int col, int row)
{
    StoreDkmCell(DkmViewMode, col, row, DKMGridCells.Cell(col, row));
}

void TFormDKM::ClearGrid()
{
    DKMGridCells.ClearColumns(1);
    DKMGridModel->Refresh();
}

std::string TFormDKM::ExportTo(const std::string& fileName)
{
    TDkmExport table;
    table.Grid = &DKMGridCells;
    table.View = DkmViewMode;
    table.RowCount = DkmRowCount;
    table.Caption = windowTitle().toStdString();
    table.TaskText = TaskText ? TaskText() : std::string();
    table.MassIsRowSum = MassIsSumOfElements(DkmViewMode, Choices());
    table.ColumnWidths.push_back(DKMGrid->verticalHeader()->width());
    for (int c = 1; c < DKMGridCells.ColCount(); ++c)
        table.ColumnWidths.push_back(DKMGrid->columnWidth(c - 1));
    return ExportDkmTable(table, fileName);
}

void TFormDKM::ExportMClick()
{
    const std::string task = TaskText ? TaskText() : std::string();
    const std::string suggested = DkmExportFileName(Tab->tabText(Tab->currentIndex()).toStdString(), task);
    const std::string fileName = ExpoDialog ? ExpoDialog(suggested) : std::string();
    if (fileName.empty())
        return;
    try {
        ExportTo(fileName);
    } catch (const std::exception& e) {
        ShowWarning(e.what());
    }
}
