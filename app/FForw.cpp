#include "FForw.h"

#include "Constraints.h"
#include "ForwardProblem.h"
#include "GridModel.h"
#include "Model.h"
#include "Optimiser.h"
#include "ProgramDir.h"
#include "Project.h"
#include "RunState.h"
#include "Settings.h"
#include "SimplexLP.h"
#include "SystemSetup.h"
#include "TaskList.h"
#include "ThSys.h"
#include "Utils.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QBrush>
#include <QCloseEvent>
#include <QColor>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

using namespace ferrolyt;

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

QColor ToColor(const TRgb& c) { return QColor(c.R, c.G, c.B); }

QLineEdit* MakeEdit(QWidget* parent, const char* name, bool readOnly)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setReadOnly(readOnly);
    e->setMinimumWidth(90);
    return e;
}

QTableView* MakeGridView(QWidget* parent, const char* name, TGridModel* model)
{
    auto* v = new QTableView(parent);
    v->setObjectName(name);
    v->setModel(model);
    v->verticalHeader()->setDefaultSectionSize(20);
    v->verticalHeader()->setMinimumWidth(24);
    v->horizontalHeader()->setDefaultSectionSize(64);
    v->setSelectionMode(QAbstractItemView::SingleSelection);
    v->setWordWrap(false);
    return v;
}

// Ends a run in every case, so that an exception cannot leave it active.
class TIdleGuard {
public:
    explicit TIdleGuard(TFForw& w) : w_(w) {}
    TIdleGuard(const TIdleGuard&) = delete;
    TIdleGuard& operator=(const TIdleGuard&) = delete;
    ~TIdleGuard() { w_.SetIdle(true); }

private:
    TFForw& w_;
};

constexpr int AltHeaderWidths[3] = {156, 156, 126};

} // namespace

TFForw::TFForw(QWidget* parent) : QMainWindow(parent)
{
    OptimiserCalls.BuildConstraintBlocks = [] { return ferrolyt::BuildConstraintBlocks(); };
    OptimiserCalls.Optimise = [](int32_t released) { return ferrolyt::Optimise(released); };

    SBar = new QStatusBar(this);
    SBar->setObjectName("SBar");
    for (int i = 0; i < StatusPanelCount; ++i) {
        auto* panel = new QLabel(SBar);
        panel->setObjectName(QStringLiteral("SBarPanel%1").arg(i));
        SBar->addWidget(panel);
        SBarPanels.append(panel);
    }
    setStatusBar(SBar);
    CreateActions();
    CreateWidgets();
    CreatePopups();
    DecorateGrids();
    FormCreate();
    resize(1180, 760);
}

TFForw::~TFForw() = default;

// ---------------------------------------------------------------------------
// Building the window

void TFForw::CreateActions()
{
    auto make = [this](const char* name, const QKeySequence& key) {
        auto* a = new QAction(this);
        a->setObjectName(name);
        if (!key.isEmpty())
            a->setShortcut(key);
        addAction(a); // the shortcuts work wherever the focus is
        return a;
    };
    MeltRecA = make("MeltRecA", QKeySequence(Qt::Key_F8));
    MeltA = make("MeltA", QKeySequence(Qt::Key_F9));
    StartA = make("StartA", QKeySequence(Qt::Key_F10));
    StopA = make("StopA", QKeySequence());
    MeltRecA->setData(1);
    MeltA->setData(0);
    MeltRecA->setIcon(style()->standardIcon(QStyle::SP_MediaSeekForward));
    MeltA->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    StartA->setIcon(style()->standardIcon(QStyle::SP_DialogApplyButton));
    StopA->setIcon(style()->standardIcon(QStyle::SP_MediaStop));
    connect(MeltRecA, &QAction::triggered, this, [this] { RunCommand([this] { MeltButClick(1); }); });
    connect(MeltA, &QAction::triggered, this, [this] { RunCommand([this] { MeltButClick(0); }); });
    connect(StartA, &QAction::triggered, this, [this] { RunCommand([this] { StartButClick(); }); });
    connect(StopA, &QAction::triggered, this, [this] { StopButClick(); });

    MainMatsM = menuBar()->addMenu(QString());
    MainMatsM->setObjectName("MainMatsM");
    MainMatsM->addAction(MeltRecA);
    MainMatsM->addAction(MeltA);
    OptimizeM = menuBar()->addMenu(QString());
    OptimizeM->setObjectName("OptimizeM");
    OptimizeM->addAction(StartA);
    OptimizeM->addAction(StopA);
    HelpM = menuBar()->addMenu(QString());
    HelpM->setObjectName("HelpM");
    AboutM = HelpM->addAction(QString());
    AboutM->setObjectName("AboutM");
    connect(AboutM, &QAction::triggered, this, [this] {
        QMessageBox box(QMessageBox::Information, QStringLiteral("Про програму FERROLYT"),
                        QStringLiteral("Ferrolyt\nВерсiя 2.00\nТермодинамічний розрахунок сталеплавильної плавки"),
                        QMessageBox::Ok, this);
        box.exec();
    });

    ToolBar = addToolBar(QStringLiteral("Ferrolyt"));
    ToolBar->setObjectName("ToolBar");
    ToolBar->addAction(MeltRecA);
    ToolBar->addAction(MeltA);
    StartBut = new QToolButton(ToolBar);
    StartBut->setObjectName("StartBut");
    StartBut->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    StartBut->setDefaultAction(StartA);
    ToolBar->addWidget(StartBut);
    ToolBar->addSeparator();
    TaskFileBox = new QComboBox(ToolBar);
    TaskFileBox->setObjectName("TaskFileBox");
    TaskFileBox->setMinimumWidth(160);
    TaskBox = new QComboBox(ToolBar);
    TaskBox->setObjectName("TaskBox");
    TaskBox->setMinimumWidth(160);
    // They show the project's task files and tasks; choosing one arrives
    // with the task commands.
    TaskFileBox->setEnabled(false);
    TaskBox->setEnabled(false);
    ToolBar->addWidget(TaskFileBox);
    ToolBar->addWidget(TaskBox);
}

void TFForw::CreateWidgets()
{
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 4);

    // The input and result edits, labelled.
    auto* edits = new QWidget(central);
    auto* editRow = new QHBoxLayout(edits);
    editRow->setContentsMargins(0, 0, 0, 0);
    EditIniT = MakeEdit(edits, "EditIniT", false);
    EditP = MakeEdit(edits, "EditP", false);
    EditFinT = MakeEdit(edits, "EditFinT", true);
    EditMetM = MakeEdit(edits, "EditMetM", true);
    EditSlgM = MakeEdit(edits, "EditSlgM", true);
    EditOsn = MakeEdit(edits, "EditOsn", true);
    EdCharge = MakeEdit(edits, "EdCharge", true);
    EditGasM = MakeEdit(edits, "EditGasM", true);
    EditNmiM = MakeEdit(edits, "EditNmiM", true);
    EditMatM = MakeEdit(edits, "EditMatM", true);
    EditCost = MakeEdit(edits, "EditCost", true);
    for (QLineEdit* e : {EditIniT, EditP, EditFinT, EditMetM, EditSlgM, EditOsn, EdCharge, EditGasM, EditNmiM,
                         EditMatM, EditCost}) {
        auto* box = new QWidget(edits);
        auto* v = new QVBoxLayout(box);
        v->setContentsMargins(0, 0, 0, 0);
        v->setSpacing(1);
        auto* label = new QLabel(box);
        label->setObjectName(e->objectName() + "Label");
        label->setBuddy(e);
        v->addWidget(label);
        v->addWidget(e);
        editRow->addWidget(box);
    }
    for (QLineEdit* e : {EditIniT, EditP}) {
        e->installEventFilter(this);
        e->setStyleSheet(QStringLiteral("background-color: rgb(239, 239, 239);"));
    }
    layout->addWidget(edits);

    // The three grids side by side.
    MatGridModel = new TGridModel(MatGridCells, this);
    ElGridModel = new TGridModel(ElGridCells, this);
    GasGridModel = new TGridModel(GasGridCells, this);
    MatGridModel->SetEditableColumns({2});
    auto* splitter = new QSplitter(Qt::Horizontal, central);
    splitter->setObjectName("GridSplitter");
    MatGrid = MakeGridView(splitter, "MatGrid", MatGridModel);
    ElGrid = MakeGridView(splitter, "ElGrid", ElGridModel);
    GasGrid = MakeGridView(splitter, "GasGrid", GasGridModel);
    MatGrid->horizontalHeader()->resizeSection(0, 170);
    ElGrid->horizontalHeader()->resizeSection(0, 36);
    GasGrid->horizontalHeader()->resizeSection(0, 64);
    splitter->addWidget(MatGrid);
    splitter->addWidget(ElGrid);
    splitter->addWidget(GasGrid);
    splitter->setSizes({260, 700, 227});
    for (QTableView* g : {ElGrid, GasGrid})
        g->installEventFilter(this);
    ElGrid->setMouseTracking(true);
    connect(ElGrid, &QTableView::doubleClicked, this, [this] { WidenMClick(); });
    layout->addWidget(splitter, 1);

    ProgBar1 = new QProgressBar(central);
    ProgBar1->setObjectName("ProgBar1");
    ProgBar1->setVisible(false);
    layout->addWidget(ProgBar1);

    AltView = new QTreeWidget(central);
    AltView->setObjectName("AltView");
    AltView->setColumnCount(4);
    AltView->setRootIsDecorated(false);
    AltView->setUniformRowHeights(true);
    AltView->header()->setStretchLastSection(false);
    AltView->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int c = 1; c <= 3; ++c) {
        AltView->header()->setSectionResizeMode(c, QHeaderView::Fixed);
        AltView->header()->resizeSection(c, AltHeaderWidths[c - 1]);
    }
    connect(AltView, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { RunCommand([this, item] { AltViewClick(AltView->indexOfTopLevelItem(item)); }); });
    connect(AltView, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item) { RunCommand([this, item] { AltViewClick(AltView->indexOfTopLevelItem(item)); }); });
    layout->addWidget(AltView);
    SetAltViewHeight(0);

    setCentralWidget(central);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    connect(Timer1, &QTimer::timeout, this, [this] { RunCommand([] { SaveProject(0); }); });
}

void TFForw::CreatePopups()
{
    ElemPop = new QMenu(this);
    ElemPop->setObjectName("ElemPop");
    auto item = [](QMenu* menu, const char* name, int tag, bool checkable) {
        QAction* a = menu->addAction(QString());
        a->setObjectName(name);
        a->setData(tag);
        a->setCheckable(checkable);
        return a;
    };
    WidenM = item(ElemPop, "WidenM", -1, false);
    ElemPop->addSeparator();
    MassPercM = item(ElemPop, "MassPercM", 0, true);
    MolePercM = item(ElemPop, "MolePercM", 1, true);
    KilosM = item(ElemPop, "KilosM", 2, true);
    KmoleM = item(ElemPop, "KmoleM", 3, true);
    auto* units = new QActionGroup(this);
    for (QAction* a : {MassPercM, MolePercM, KilosM, KmoleM})
        units->addAction(a);
    ElemPop->addSeparator();
    AveM = item(ElemPop, "AveM", 4, true);
    SysPercM = item(ElemPop, "SysPercM", 5, true);
    MsgPercM = item(ElemPop, "MsgPercM", 6, true);
    LogM = item(ElemPop, "LogM", 7, true);
    AccM = item(ElemPop, "AccM", 8, true);
    connect(WidenM, &QAction::triggered, this, [this] { WidenMClick(); });
    for (QAction* a : {MassPercM, MolePercM, KilosM, KmoleM, AveM, SysPercM, MsgPercM, LogM, AccM})
        connect(a, &QAction::triggered, this, [this, a] { RunCommand([this, a] { MolePercMClick(a); }); });
    connect(ElemPop, &QMenu::aboutToShow, this, [this] { ElemPopPopup(); });
    ElGrid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ElGrid, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { ElemPop->popup(ElGrid->viewport()->mapToGlobal(p)); });

    GasPop = new QMenu(this);
    GasPop->setObjectName("GasPop");
    AtmM = item(GasPop, "AtmM", 0, true);
    KPasM = item(GasPop, "KPasM", 1, true);
    PascM = item(GasPop, "PascM", 2, true);
    MmrtstM = item(GasPop, "MmrtstM", 3, true);
    auto* gasUnits = new QActionGroup(this);
    for (QAction* a : {AtmM, KPasM, PascM, MmrtstM})
        gasUnits->addAction(a);
    GasPop->addSeparator();
    AveGasM = item(GasPop, "AveGasM", 4, true);
    GasLgM = item(GasPop, "GasLgM", 5, true);
    GasLnM = item(GasPop, "GasLnM", 6, true);
    for (QAction* a : {AtmM, KPasM, PascM, MmrtstM, AveGasM, GasLgM, GasLnM})
        connect(a, &QAction::triggered, this, [this, a] { RunCommand([this, a] { AtmMClick(a); }); });
    connect(GasPop, &QMenu::aboutToShow, this, [this] { GasPopPopup(); });
    GasGrid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(GasGrid, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { GasPop->popup(GasGrid->viewport()->mapToGlobal(p)); });
}

void TFForw::DecorateGrids()
{
    ElGridModel->SetRowLabel([](int row) -> QString {
        if (row >= 1 && row <= SystemElemLast + 1)
            return QString::number(row - 1);
        if (row == TotalsRow())
            return QStringLiteral("Σ");
        return {};
    });
    ElGridModel->SetDecorator([this](int col, int row, int role) -> QVariant {
        if (row == 0) {
            if (role == Qt::ToolTipRole)
                return Q(ElementHeaderHint(col));
            return {};
        }
        const TThSys* s0 = ThSystems[0].get();
        const TThSys* s1 = ThSystems[1].get();
        switch (role) {
        case Qt::BackgroundRole:
            if (auto c = ElementColumnBackground(col))
                return QBrush(ToColor(*c));
            return {};
        case Qt::ForegroundRole:
            if (!ResultsShown || !s0 || !s1 || ElGridCells.Cell(col, row).empty())
                return {};
            {
                const bool hasTask = TaskList.Current >= 0 && TaskList.Current < TaskList.Count;
                const TTaskRecord* task = hasTask ? &TaskList.CurrentTask() : nullptr;
                if (auto c = ElementCellColour(col, row, *s0, *s1, task))
                    return QBrush(ToColor(*c));
            }
            return {};
        case Qt::TextAlignmentRole:
            if (col >= 2 && row <= SystemElemLast + 4)
                return int(Qt::AlignRight | Qt::AlignVCenter);
            return {};
        case Qt::ToolTipRole:
            if (col == 1 && row == TotalsRow() && (Settings.CompositionUnit == 1 || Settings.CompositionUnit == 3))
                return QStringLiteral("кмоль");
            if (s0 && s1)
                return Q(ElementLimitHint(col, row, *s0, *s1, ElGridCells.Cell(col, row).empty()));
            return {};
        default:
            return {};
        }
    });

    MatGridModel->SetRowLabel([](int row) -> QString {
        return row >= 1 && row <= MaterialCount ? QString::number(row) : QString();
    });
    MatGridModel->SetDecorator([](int col, int row, int role) -> QVariant {
        if (role == Qt::ForegroundRole && col == 1 && row >= 1 && row <= MaterialCount) {
            const TMaterialRecord& m = MaterialTable[row];
            if (m.Disabled)
                return QBrush(QColor(128, 128, 128));
            if (m.Fixed > 0)
                return QBrush(QColor(128, 0, 0));
        }
        if (role == Qt::TextAlignmentRole && col == 2)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    });

    GasGridModel->SetRowLabel([](int row) -> QString {
        return row >= 1 && row <= GasLineCount ? QString::number(row) : QString();
    });
    GasGridModel->SetDecorator([](int col, int, int role) -> QVariant {
        if (role == Qt::TextAlignmentRole && col >= 2)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    });
}

void TFForw::FormCreate()
{
    setWindowTitle(QStringLiteral("Ferrolyt"));
    MainMatsM->setTitle(QStringLiteral("Матеріали"));
    OptimizeM->setTitle(QStringLiteral("Оптимізація"));
    OptimizeM->setToolTip(QStringLiteral("Оптимізація матеріалів"));
    HelpM->setTitle(QStringLiteral("Довідка"));
    AboutM->setText(QStringLiteral("Про програму"));

    auto caption = [](QAction* a, const char* text, const char* hint) {
        a->setText(QString::fromUtf8(text));
        a->setToolTip(QString::fromUtf8(hint ? hint : text));
        a->setStatusTip(a->toolTip());
    };
    caption(MeltRecA, "Проплавити рекомендовані", "Проплавити рекомендовані матеріали");
    caption(MeltA, "Проплавити поточні", "Проплавити поточні матеріали");
    caption(StartA, "Оптимізувати матеріали", nullptr);
    caption(StopA, "Зупинити", nullptr);

    WidenM->setText(QStringLiteral("Розширити"));
    MassPercM->setText(QStringLiteral("Масовi %"));
    MolePercM->setText(QStringLiteral("Мольнi %"));
    KilosM->setText(QStringLiteral("Кiлограми"));
    KmoleM->setText(QStringLiteral("Кiломолi"));
    AveM->setText(QStringLiteral("Середнє"));
    SysPercM->setText(QStringLiteral("Вiдносно маси системи"));
    MsgPercM->setText(QStringLiteral("Вiдносно маси елемента в системi"));
    LogM->setText(QStringLiteral("Десятичний логарифм"));
    AccM->setText(QStringLiteral("Пiдвищена точнiсть"));
    AtmM->setText(QStringLiteral("Атмосфери"));
    KPasM->setText(QStringLiteral("Кілопаскалі"));
    PascM->setText(QStringLiteral("Паскалі"));
    MmrtstM->setText(QStringLiteral("Мм рт. ст."));
    AveGasM->setText(QStringLiteral("Середнє"));
    GasLgM->setText(QStringLiteral("Десятковий логарифм (-)"));
    GasLnM->setText(QStringLiteral("Натуральний логарифм (-)"));

    AltView->setHeaderLabels({QStringLiteral("Зняти обмеження"), QStringLiteral("Задане"),
                              QStringLiteral("Очiкуване"), QStringLiteral("Вартiсть~")});
    for (int c = 1; c <= 3; ++c)
        AltView->headerItem()->setTextAlignment(c, Qt::AlignCenter);

    const std::pair<QLineEdit*, const char*> labels[] = {
        {EditIniT, "Темп. поч., °C"}, {EditP, "Тиск, атм"},      {EditFinT, "Темп. кінц., °C"},
        {EditMetM, "Метал, т"},       {EditSlgM, "Шлак, т"},     {EditOsn, "Основність ш."},
        {EdCharge, "Заряд ш.,F/моль"}, {EditGasM, "Газ, т"},     {EditNmiM, "НВ, кг"},
        {EditMatM, "Маса ШМ, т"},     {EditCost, "Вартість ШМ"},
    };
    for (const auto& [edit, text] : labels)
        if (auto* label = findChild<QLabel*>(edit->objectName() + "Label"))
            label->setText(QString::fromUtf8(text));
    EdCharge->setToolTip(QStringLiteral("Питомий заряд шлаку, F/моль"));
}

// ---------------------------------------------------------------------------
// Start-up and shut-down

void TFForw::FormShow()
{
    if (startupDone_)
        return;
    startupDone_ = true;
    SetGridHeader(ElGridCells, ElGridHeader);
    SetGridHeader(MatGridCells, MatGridHeader);
    SetGridHeader(GasGridCells, GasGridHeader);
    GridsChanged();
    ProjectList.clear();
    TaskMatFiles.clear();
    ReadSettingsFile(ProgramFile(SettingsFileName));
    ElementBase.Clear();
    CreateSystems();
    ThSystems[0]->Kind = 0;
    ThSystems[1]->Kind = 1;

    std::filesystem::path project(Settings.LastProject);
    if (project.is_relative())
        project = std::filesystem::path(ProgramDir()) / project;
    RunCommand([&project] { LoadProject(project.string()); });

    SetIdle(true);
    SetAltViewHeight(0);
    SBar->setFocus();
    Timer1->setInterval(int(Settings.AutoSaveMinutes) * 60000);
    if (Settings.AutoSave)
        Timer1->start();
    else
        Timer1->stop();
}

bool TFForw::FormCloseQuery()
{
    if (CalcBusy) { // a running calculation still uses the model
        AskStopCalculation();
        return false;
    }
    if (startupDone_ && Settings.ExitSave)
        SaveProject(0);
    Timer1->stop();
    ElementBase.Clear();
    for (int k : {0, 1, 3})
        ThSystems[static_cast<std::size_t>(k)].reset();
    TaskList.Clear();
    ResultsShown = false;
    const std::string path = ProgramFile(SettingsFileName);
    if (!WriteSettingsFile(path))
        ShowWarning("Неможливо зберегти файл " + path);
    return true;
}

void TFForw::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    FormShow();
}

void TFForw::closeEvent(QCloseEvent* event)
{
    if (FormCloseQuery())
        event->accept();
    else
        event->ignore();
}

bool TFForw::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == EditP || watched == EditIniT) {
        // While the user types in them the set-up reads these edits.
        auto* edit = static_cast<QLineEdit*>(watched);
        if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
            const bool in = event->type() == QEvent::FocusIn;
            (edit == EditP ? editPFocused_ : editIniTFocused_) = in;
            edit->setStyleSheet(in ? QStringLiteral("background-color: rgb(255, 255, 255);")
                                   : QStringLiteral("background-color: rgb(239, 239, 239);"));
        }
    } else if (event->type() == QEvent::FocusOut &&
               (watched == ElGrid || watched == GasGrid)) {
        static_cast<QTableView*>(watched)->clearSelection();
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Commands

bool TFForw::AskIfBusy()
{
    if (!CalcBusy)
        return false;
    AskStopCalculation();
    return true;
}

void TFForw::RunCommand(const std::function<void()>& command)
{
    try {
        command();
    } catch (const std::exception& e) {
        ShowWarning(e.what());
    }
}

void TFForw::SetIdle(bool idle)
{
    StartBut->setDefaultAction(idle ? StartA : StopA);
    CalcBusy = !idle;
    StopRequested = idle;
    QCoreApplication::processEvents();
}

void TFForw::StopButClick() { StopRequested = true; }

void TFForw::MeltButClick(int tag)
{
    if (AskIfBusy())
        return;
    const bool recommended = tag != 0;
    PrepareSystems();
    ClearResults(true, tag >= 0, 2);

    long double total = 0;
    for (int j = 1; j <= MaterialCount; ++j) {
        if (recommended)
            total += MaterialTable[j].Amount;
        else
            MaterialTable[j].Amount = 0;
    }
    if (!recommended) {
        for (int row = 1; row < MatGridCells.RowCount(); ++row) {
            // The row's name decides the material: the grid's order need not
            // be the table's.
            const int slot = MaterialIndexByName(Q(MatGridCells.Cell(1, row)).trimmed().toStdString());
            if (slot < 1)
                continue;
            long double amount = 0;
            const std::string text = DecimalDot(Q(MatGridCells.Cell(2, row)).trimmed().toStdString());
            if (!TryParseReal(text, amount) || !(amount > 0))
                continue;
            MaterialTable[slot].Amount = amount;
            total += amount;
        }
    }
    const TTaskRecord& task = TaskList.CurrentTask();
    if (total == 0 && !(task.IniMinMet > 0) && !(task.IniMaxMet > 0) && !(task.IniMinSlg > 0) &&
        !(task.IniMaxSlg > 0)) {
        GridsChanged();
        return;
    }
    CalcStartCounter = PerfCounter();
    SlpPass = 0;
    ShowForwardProblem(true);
}

void TFForw::StartButClick()
{
    if (AskIfBusy())
        return;
    PrepareSystems();
    if (!OptimiserCalls.BuildConstraintBlocks())
        return;
    SetIdle(false);
    ClearResults(false, false, 2);
    CalcStartCounter = PerfCounter();

    int32_t r = lpNotMet;
    bool stopped = false;
    {
        TIdleGuard idle(*this);
        r = OptimiserCalls.Optimise(-1);
        stopped = StopRequested;
        if (!stopped && r > 0) {
            ProgBar1->setRange(0, std::max(1, int(ConstraintBlockCount)));
            ProgBar1->setValue(0);
            ProgBar1->setVisible(true);
            int metAt = 0;
            for (int k = 1; k <= ConstraintBlockCount && k <= MaxConstraintBlocks; ++k) {
                ProgBar1->setValue(k);
                const TConstraintBlockRecord block = ConstraintBlocks[k];
                if (block.Kind == ckFixedMass && block.Index >= 1 && block.Index <= MaterialCount &&
                    MaterialTable[block.Index].Fixed > 0)
                    continue;
                AltView->headerItem()->setText(0, Q("Зняти обмеження: " + block.Name));
                r = OptimiserCalls.Optimise(k);
                if (StopRequested) {
                    stopped = true;
                    break;
                }
                if (r == lpMet && ThSystems[0]->MetalMass > 0) {
                    const TAlternativeTexts texts =
                        AlternativeTexts(block, *ThSystems[0], *ThSystems[1], TaskList.CurrentTask());
                    Alternatives.push_back({block.Name, k, texts.Given, texts.Expected, -LpTableau[0][0]});
                    ShowAlternatives();
                    if (texts.LimitMet) {
                        metAt = k;
                        break;
                    }
                }
            }
            ProgBar1->setVisible(false);
            AltView->headerItem()->setText(0, QStringLiteral("Зняти обмеження:"));
            if (stopped) {
                // What was found so far stays listed to choose from, but no
                // charge of an unfinished scan is offered as the answer.
                SortAlternatives(Alternatives);
                CurrentAlternative = -1;
                ShowAlternatives();
            } else if (metAt > 0) {
                Alternatives.clear();
                CurrentAlternative = -1;
                ShowAlternatives();
                OptimiserCalls.Optimise(metAt);
                stopped = StopRequested;
                r = lpMet;
            } else if (!Alternatives.empty()) {
                SortAlternatives(Alternatives);
                CurrentAlternative = 0;
                ShowAlternatives();
                OptimiserCalls.Optimise(Alternatives.front().Block);
                stopped = StopRequested;
                r = lpMetReleased;
            } else {
                r = lpNotMet;
            }
        }
        if (!stopped && r == lpNotMet) {
            ShowWarning("НЕ ЗНАЙДЕНО РІШЕННЯ!");
            ClearResults(false, false, 2);
        }
    }
    if (stopped)
        ShowRunStopped();
    else if (r < lpNotMet)
        ShowForwardProblem(true);
}

void TFForw::AltViewClick(int row)
{
    if (AskIfBusy())
        return;
    if (row < 0 || row >= static_cast<int>(Alternatives.size()))
        return;
    CurrentAlternative = row;
    ShowAlternatives();
    SetIdle(false);
    CalcStartCounter = PerfCounter();
    int32_t r = lpNotMet;
    bool stopped = false;
    {
        TIdleGuard idle(*this);
        r = OptimiserCalls.Optimise(Alternatives[static_cast<std::size_t>(row)].Block);
        stopped = StopRequested;
    }
    if (stopped) {
        ShowRunStopped();
    } else if (r == lpNotMet) {
        // The charge of a failed run is no answer: say so instead of
        // showing it.
        ClearResults(false, true, 2);
        ShowWarning("НЕ ЗНАЙДЕНО РІШЕННЯ!");
    } else {
        ShowForwardProblem(true);
    }
}

void TFForw::ShowRunStopped()
{
    ClearResults(false, true, 2);
    SBarPanels[0]->setText(QStringLiteral(" Розрахунок зупинено"));
}

void TFForw::SetAltViewHeight(int items)
{
    if (items <= 0) {
        AltView->setFixedHeight(0);
        AltView->setVisible(false);
        return;
    }
    AltView->setVisible(true);
    AltView->setFixedHeight(std::clamp(23 * items + 29, 74, 236));
}

void TFForw::ShowAlternatives()
{
    AltView->clear();
    const QIcon current = style()->standardIcon(QStyle::SP_ArrowRight);
    for (std::size_t i = 0; i < Alternatives.size(); ++i) {
        const TAlternative& a = Alternatives[i];
        auto* item = new QTreeWidgetItem(AltView, {Q(a.Name), Q(a.Given), Q(a.Expected), Q(CostText(a.Cost))});
        item->setData(0, Qt::UserRole, a.Block);
        for (int c = 1; c <= 3; ++c)
            item->setTextAlignment(c, Qt::AlignCenter);
        if (static_cast<int>(i) == CurrentAlternative) {
            item->setIcon(0, current);
            AltView->setCurrentItem(item);
        }
    }
    const bool listed = !Alternatives.empty();
    AltView->setStyleSheet(listed && CurrentAlternative >= 0
                               ? QStringLiteral("QTreeWidget { background-color: rgb(250, 248, 248); }")
                               : QString());
    SetAltViewHeight(static_cast<int>(Alternatives.size()));
}

// ---------------------------------------------------------------------------
// Result display

void TFForw::GridsChanged()
{
    ElGridModel->Refresh();
    MatGridModel->Refresh();
    GasGridModel->Refresh();
}

void TFForw::ShowSystemInGrid(TThSys& sys, bool showNmi, bool showMaterialAmounts)
{
    ferrolyt::ShowSystemInGrid(sys, showNmi, showMaterialAmounts, ElGridCells, MatGridCells, ThSystems[0].get());
    GridsChanged();
}

void TFForw::ShowForwardProblem(bool recompute)
{
    CreateSystems();
    TThSys& s0 = *ThSystems[0];
    TThSys& s1 = *ThSystems[1];
    static int64_t stopCounter = 0;
    if (recompute) {
        const TForwardResult result = SolveForwardProblem(); // warns itself when not converged
        stopCounter = result.StopCounter;
    }
    FillGasGrid(GasGridCells, s0, s1);
    for (TThSys* s : {&s0, &s1})
        ShowSystemInGrid(*s, Settings.CalcNmi && s->NmiSolved, false);
    FillElementExtraColumns(ElGridCells, s0, s1);

    TResultTexts texts = ResultEditTexts(s0, s1);
    FillChargeTexts(MatGridCells, texts);
    EditMetM->setText(Q(texts.MetalMass));
    EditSlgM->setText(Q(texts.SlagMass));
    EditGasM->setText(Q(texts.GasMass));
    EditNmiM->setText(Q(texts.NmiMass));
    EditOsn->setText(Q(texts.Basicity));
    EdCharge->setText(Q(texts.SlagCharge));
    EditFinT->setText(Q(texts.FinalTemp));
    EditCost->setText(Q(texts.ChargeCost));
    EditMatM->setText(Q(texts.ChargeMass));

    const auto panels = ResultStatusTexts(s0, s1, stopCounter);
    for (int p : {0, 1, 2, 3, 5, 7, 8})
        SBarPanels[p]->setText(Q(panels[static_cast<std::size_t>(p)]));
    ResultsShown = true;
    GridsChanged();
}

void TFForw::ClearResults(bool keepMaterialAmounts, bool keepAlternatives, int firstColumn)
{
    if (!keepMaterialAmounts)
        MatGridCells.ClearColumns(firstColumn);
    GasLineCount = 0;
    ElGridCells.ClearColumns(firstColumn);
    GasGridCells.ClearColumns(1);
    for (QLineEdit* e : {EditFinT, EditMetM, EditSlgM, EditGasM, EditOsn, EdCharge, EditNmiM, EditMatM, EditCost})
        e->clear();
    const auto panels = ClearedStatusTexts();
    for (int p = 0; p < StatusPanelCount; ++p)
        if (panels[static_cast<std::size_t>(p)])
            SBarPanels[p]->setText(Q(*panels[static_cast<std::size_t>(p)]));
    ResultsShown = false;
    if (!keepAlternatives) {
        Alternatives.clear();
        CurrentAlternative = -1;
        AltView->clear();
        AltView->setStyleSheet(QString());
        SetAltViewHeight(0);
    }
    GridsChanged();
}

void TFForw::MolePercMClick(QAction* item)
{
    const auto before = EncodeSettings(Settings);
    const bool relSystem = ElemRelToSystem, relElement = ElemRelToElement;
    const int tag = item->data().toInt();
    const bool ticked = item->isChecked();
    switch (tag) {
    case 0: case 1: case 2: case 3:
        Settings.CompositionUnit = static_cast<uint8_t>(tag);
        break;
    case 4:
        Settings.AverageValues = ticked;
        break;
    case 5:
        ElemRelToSystem = ticked;
        if (ticked) {
            ElemRelToElement = false;
            MsgPercM->setChecked(false);
        }
        break;
    case 6:
        ElemRelToElement = ticked;
        if (ticked) {
            ElemRelToSystem = false;
            SysPercM->setChecked(false);
        }
        break;
    case 7:
        Settings.LogValues = ticked;
        break;
    case 8:
        Settings.MorePrecision = ticked;
        break;
    default:
        break;
    }
    const auto after = EncodeSettings(Settings);
    const bool changed = !std::equal(before.begin() + 356, before.begin() + 393, after.begin() + 356) ||
                         relSystem != ElemRelToSystem || relElement != ElemRelToElement;
    if (changed && ResultsShown)
        ShowForwardProblem(false);
}

void TFForw::AtmMClick(QAction* item)
{
    const auto before = EncodeSettings(Settings);
    const int tag = item->data().toInt();
    const bool ticked = item->isChecked();
    Settings.GasLogMode = 0;
    switch (tag) {
    case 0: case 1: case 2: case 3:
        Settings.GasPressureUnit = static_cast<uint8_t>(tag);
        if (GasLgM->isChecked())
            Settings.GasLogMode = 1;
        else if (GasLnM->isChecked())
            Settings.GasLogMode = 2;
        break;
    case 4:
        Settings.AverageValues = ticked;
        if (GasLgM->isChecked())
            Settings.GasLogMode = 1;
        else if (GasLnM->isChecked())
            Settings.GasLogMode = 2;
        break;
    case 5:
        GasLnM->setChecked(false);
        if (ticked)
            Settings.GasLogMode = 1;
        break;
    case 6:
        GasLgM->setChecked(false);
        if (ticked)
            Settings.GasLogMode = 2;
        break;
    default:
        break;
    }
    const auto after = EncodeSettings(Settings);
    if (!std::equal(before.begin() + 356, before.begin() + 393, after.begin() + 356) && ResultsShown)
        ShowForwardProblem(false);
}

void TFForw::ElemPopPopup()
{
    WidenM->setText(GasGrid->width() > 0 && GasGrid->isVisible() ? QStringLiteral("Звузити")
                                                                : QStringLiteral("Розширити"));
    QAction* units[] = {MassPercM, MolePercM, KilosM, KmoleM};
    units[std::min<int>(Settings.CompositionUnit, 3)]->setChecked(true);
    AveM->setChecked(Settings.AverageValues);
    LogM->setChecked(Settings.LogValues);
    AccM->setChecked(Settings.MorePrecision);
    SysPercM->setChecked(ElemRelToSystem);
    MsgPercM->setChecked(ElemRelToElement);
    SysPercM->setEnabled(Settings.CompositionUnit <= 1);
    MsgPercM->setEnabled(Settings.CompositionUnit == 0);
}

void TFForw::GasPopPopup()
{
    QAction* units[] = {AtmM, KPasM, PascM, MmrtstM};
    units[std::min<int>(Settings.GasPressureUnit, 3)]->setChecked(true);
    AveGasM->setChecked(Settings.AverageValues);
    GasLgM->setChecked(Settings.GasLogMode == 1);
    GasLnM->setChecked(Settings.GasLogMode == 2);
}

void TFForw::WidenMClick()
{
    // The gas grid gives its room to the element grid, and takes it back.
    GasGrid->setVisible(!GasGrid->isVisible());
}

// ---------------------------------------------------------------------------
// What the engine asks of the window

QLineEdit* TFForw::InputEditWidget(Host::InputEdit edit) const
{
    return edit == Host::InputEdit::Pressure ? EditP : EditIniT;
}

bool TFForw::EditHasFocus(Host::InputEdit edit) const
{
    return edit == Host::InputEdit::Pressure ? editPFocused_ : editIniTFocused_;
}

std::string TFForw::EditText(Host::InputEdit edit) const { return InputEditWidget(edit)->text().toStdString(); }

void TFForw::SetEditText(Host::InputEdit edit, const std::string& text) { InputEditWidget(edit)->setText(Q(text)); }

void TFForw::SetMaterialName(int row, const std::string& name)
{
    if (row < 1)
        return;
    MatGridCells.SetRowCount(std::max(MaterialCount, row) + 1);
    MatGridCells.SetCell(1, row, name);
    GridsChanged();
}

void TFForw::SetElementSymbol(int row, const std::string& text)
{
    if (row < 1)
        return;
    ElGridCells.SetRowCount(std::max(SystemElemLast + 4, row + 1));
    ElGridCells.SetCell(1, row, text);
    GridsChanged();
}

void TFForw::SetActionEnabled(const std::string& action, bool enabled)
{
    for (QAction* a : {MeltA, MeltRecA, StartA})
        if (a->objectName().toStdString() == action)
            a->setEnabled(enabled);
}

void TFForw::ClearTaskBox() { TaskBox->clear(); }

void TFForw::AddTaskBoxItem(const std::string& name) { TaskBox->addItem(Q(name)); }

void TFForw::SelectTaskBoxItem(int index) { TaskBox->setCurrentIndex(index); }

void TFForw::ShowTaskFiles(const std::vector<std::string>& names, int selected)
{
    TaskFileBox->clear();
    for (const std::string& n : names)
        TaskFileBox->addItem(Q(n));
    TaskFileBox->setCurrentIndex(selected);
}

std::string TFForw::AskProjectSaveName(const std::string& fileName, const std::string& folder)
{
    const QString start = fileName.empty() ? Q(folder) : Q(fileName);
    return QFileDialog::getSaveFileName(this, QStringLiteral("Зберегти проєкт як..."), start,
                                        QStringLiteral("Проєкт (*.FWP)"))
        .toStdString();
}
