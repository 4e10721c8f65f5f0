// The main window: building its widgets, actions and popups, its start-up
// and shut-down. Its commands, its grids and display, and its file and menu
// commands stand in FForwCommands.cpp, FForwDisplay.cpp and FForwFiles.cpp.

#include "FForw.h"

#include "AboutBox.h"
#include "AutoF.h"
#include "FGraph.h"
#include "FHeat.h"
#include "FOptions.h"
#include "FSolu.h"
#include "FTask.h"
#include "FormDKM.h"
#include "FormGL.h"
#include "KinF.h"
#include "MaxF.h"
#include "RzForm.h"
#include "GridCorner.h"
#include "GridModel.h"
#include "NumberInput.h"
#include "OptionControls.h"
#include "Optimiser.h"
#include "ProgramDir.h"
#include "Project.h"
#include "Utils.h"

#include <QMetaObject>
#include <QActionGroup>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

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
    CreateMaterialsPopup();
    DecorateGrids();
    FormCreate();
    CreateToolWindows();
    resize(1180, 760);
}

void TFForw::CreateToolWindows()
{
    // In the order the program has always created them.
    FOptions = new TFOptions(this);
    FTask = new TFTask(this, this);
    FGraph = new TFGraph(this);
    KinF = new TKinF(this);
    AboutBox = new TAboutBox(this);
    auto* dkm = new TFormDKM(this);
    FormDKM = dkm;
    dkm->TaskText = [this] { return TaskBox->currentText().toStdString(); };
    FHeat = new TFHeat(this);
    FHeat->ShowForwardProblem = [this] { ShowForwardProblem(false); };
    FHeat->AskHeatFileName = [this] { return AskOpenFileName(5); };
    FHeat->OpenOptions = [this](int page) { return OpenOptionsPage(page); };
    FSolu = new TFSolu(this);
    AutoF = new TAutoF(this);
    RzForm = new TRzForm(this);
    // The control window makes its own chart window.
    MaxF = new particles::TMaxF(this);
}

TFForw::~TFForw()
{
    // The grid views and their models read cell grids that are members and
    // die before the base class deletes (and first hides) its children.
    for (QTableView* view : {ElGrid, MatGrid, GasGrid})
        delete view;
    for (TGridModel* model : {ElGridModel, MatGridModel, GasGridModel})
        delete model;
}

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
    auto command = [this](QAction* a, const std::function<void()>& f) {
        connect(a, &QAction::triggered, this, [this, f] { RunCommand(f); });
    };
    NewA = make("NewA", QKeySequence(Qt::CTRL | Qt::Key_N));
    OpenA = make("OpenA", QKeySequence(Qt::CTRL | Qt::Key_O));
    OpenConM = make("OpenConM", QKeySequence());
    OpenMatM = make("OpenMatM", QKeySequence());
    OpenTskM = make("OpenTskM", QKeySequence());
    OpenHeaM = make("OpenHeaM", QKeySequence());
    SaveA = make("SaveA", QKeySequence(Qt::CTRL | Qt::Key_S));
    SaveAsM = make("SaveAsM", QKeySequence());
    SaveTskM = make("SaveTskM", QKeySequence());
    PrintA = make("PrintA", QKeySequence(Qt::CTRL | Qt::Key_P));
    ExportM = make("ExportM", QKeySequence(Qt::CTRL | Qt::Key_E));
    ExitM = make("ExitM", QKeySequence());
    OpenMatFileM = make("OpenMatFileM", QKeySequence());
    MeltRecA = make("MeltRecA", QKeySequence(Qt::Key_F8));
    MeltA = make("MeltA", QKeySequence(Qt::Key_F9));
    MatsA = make("MatsA", QKeySequence(Qt::Key_F3));
    AllowAllMatsM = make("AllowAllMatsM", QKeySequence());
    ClearAllMatsM = make("ClearAllMatsM", QKeySequence());
    CurRecMatsM = make("CurRecMatsM", QKeySequence());
    TonsM = make("TonsM", QKeySequence());
    KmolM = make("KmolM", QKeySequence());
    TaskA = make("TaskA", QKeySequence(Qt::Key_F5));
    OpenTaskFileM = make("OpenTaskFileM", QKeySequence());
    RemTaskM = make("RemTaskM", QKeySequence());
    StartA = make("StartA", QKeySequence(Qt::Key_F10));
    StopA = make("StopA", QKeySequence());
    OptionsM = make("OptionsM", QKeySequence());
    OpenHelpM = make("OpenHelpM", QKeySequence(Qt::Key_F1));
    AboutM = make("AboutM", QKeySequence());
    ElectroM = make("ElectroM", QKeySequence(Qt::Key_F7));
    KinA = make("KinA", QKeySequence(Qt::CTRL | Qt::Key_K));
    ProA = make("ProA", QKeySequence(Qt::Key_F4));
    IsothM = make("IsothM", QKeySequence());
    GibbsDuhemM = make("GibbsDuhemM", QKeySequence());
    AutoGraphM = make("AutoGraphM", QKeySequence(Qt::CTRL | Qt::Key_A));
    EquiMetCurM = make("EquiMetCurM", QKeySequence());
    EquiMetTskM = make("EquiMetTskM", QKeySequence());
    EquiSlgCurM = make("EquiSlgCurM", QKeySequence());
    EquiSlgTskM = make("EquiSlgTskM", QKeySequence());
    ConstrRzM = make("ConstrRzM", QKeySequence());
    DemonM = make("DemonM", QKeySequence());
    EquiMetCurM->setData(0);
    EquiSlgCurM->setData(0);
    EquiMetTskM->setData(1);
    EquiSlgTskM->setData(1);
    TopBut = make("TopBut", QKeySequence());
    TopBut->setCheckable(true);
    MeltRecA->setData(1);
    MeltA->setData(0);
    TonsM->setCheckable(true);
    KmolM->setCheckable(true);
    KmolM->setData(1);
    TonsM->setData(0);
    NewA->setIcon(style()->standardIcon(QStyle::SP_FileIcon));
    OpenA->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    SaveA->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    PrintA->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    TaskA->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    TopBut->setIcon(style()->standardIcon(QStyle::SP_TitleBarShadeButton));
    MeltRecA->setIcon(style()->standardIcon(QStyle::SP_MediaSeekForward));
    MeltA->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    StartA->setIcon(style()->standardIcon(QStyle::SP_DialogApplyButton));
    StopA->setIcon(style()->standardIcon(QStyle::SP_MediaStop));
    MatsA->setIcon(style()->standardIcon(QStyle::SP_FileDialogInfoView));
    KinA->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    ProA->setIcon(style()->standardIcon(QStyle::SP_ComputerIcon));

    command(NewA, [this] { ClearButClick(); });
    command(OpenA, [this] { OpenMClick(1); });
    command(OpenConM, [this] { OpenMClick(2); });
    command(OpenMatM, [this] { OpenMClick(3); });
    command(OpenMatFileM, [this] { OpenMClick(3); });
    command(OpenTskM, [this] { OpenMClick(4); });
    command(OpenHeaM, [this] { OpenMClick(5); });
    command(OpenTaskFileM, [this] { OpenMClick(4); });
    command(SaveA, [this] { SaveButClick(0); });
    command(SaveAsM, [this] { SaveButClick(1); });
    command(SaveTskM, [this] { SaveTskMClick(); });
    command(PrintA, [this] { PrintButClick(); });
    command(ExportM, [this] { ExportMClick(); });
    connect(ExitM, &QAction::triggered, this, &QWidget::close);
    command(MeltRecA, [this] { MeltButClick(1); });
    command(MeltA, [this] { MeltButClick(0); });
    command(MatsA, [this] { EffMatMClick(); });
    command(AllowAllMatsM, [this] { EnableAllMatsMClick(); });
    command(ClearAllMatsM, [this] { ClrMatsMClick(); });
    command(CurRecMatsM, [this] { RecAllMatsMClick(); });
    command(TonsM, [this] { MatKmolesMClick(0); });
    command(KmolM, [this] { MatKmolesMClick(1); });
    command(TaskA, [this] { TaskMClick(); });
    command(RemTaskM, [this] { RemTaskMClick(); });
    command(StartA, [this] { StartButClick(); });
    connect(StopA, &QAction::triggered, this, [this] { StopButClick(); });
    command(OptionsM, [this] { OptionsMClick(); });
    command(OpenHelpM, [this] { OpenHelpMClick(); });
    command(AboutM, [this] { AboutMClick(); });
    command(ElectroM, [this] { ElectroMClick(); });
    command(KinA, [this] { KineMClick(); });
    command(ProA, [this] { ProAExecute(); });
    command(IsothM, [this] { IsothMClick(); });
    command(GibbsDuhemM, [this] { GibbsDuhemMClick(); });
    command(AutoGraphM, [this] { AutoGraphMClick(); });
    command(EquiMetCurM, [this] { EquiMetClick(0); });
    command(EquiMetTskM, [this] { EquiMetClick(1); });
    command(EquiSlgCurM, [this] { EquiSlgClick(0); });
    command(EquiSlgTskM, [this] { EquiSlgClick(1); });
    command(ConstrRzM, [this] { ConstrRzMClick(); });
    command(DemonM, [this] { DemonMClick(); });
    connect(TopBut, &QAction::toggled, this, [this](bool down) { TopButClick(down); });
    // The studies work on the melted heat: a project without materials (a
    // new one) has none, and loading materials enables the melt.
    connect(MeltA, &QAction::changed, this, [this] {
        for (QAction* a : {MatsA, ElectroM, IsothM, KinA, GibbsDuhemM, EquiMetCurM, EquiMetTskM, EquiSlgCurM,
                           EquiSlgTskM, ConstrRzM})
            a->setEnabled(MeltA->isEnabled());
    });

    FileM = menuBar()->addMenu(QString());
    FileM->setObjectName("FileM");
    FileM->addAction(NewA);
    FileM->addAction(OpenA);
    OpenFileM = FileM->addMenu(QString());
    OpenFileM->setObjectName("OpenFileM");
    OpenFileM->addAction(OpenConM);
    OpenFileM->addAction(OpenMatM);
    OpenFileM->addAction(OpenTskM);
    OpenFileM->addAction(OpenHeaM);
    FileM->addSeparator();
    FileM->addAction(SaveA);
    FileM->addAction(SaveAsM);
    SaveFileM = FileM->addMenu(QString());
    SaveFileM->setObjectName("SaveFileM");
    SaveFileM->addAction(SaveTskM);
    FileM->addSeparator();
    FileM->addAction(PrintA);
    FileM->addAction(ExportM);
    FileM->addSeparator();
    FileM->addAction(ExitM);

    MainMatsM = menuBar()->addMenu(QString());
    MainMatsM->setObjectName("MainMatsM");
    MainMatsM->addAction(OpenMatFileM);
    MainMatsM->addSeparator();
    MainMatsM->addAction(MeltRecA);
    MainMatsM->addAction(MeltA);
    MainMatsM->addAction(MatsA);
    MainMatsM->addSeparator();
    MainMatsM->addAction(AllowAllMatsM);
    MainMatsM->addAction(ClearAllMatsM);
    MainMatsM->addAction(CurRecMatsM);
    MainMatsM->addSeparator();
    MainMatsM->addAction(TonsM);
    MainMatsM->addAction(KmolM);
    connect(MainMatsM, &QMenu::aboutToShow, this, [this] { MainMatsMClick(); });

    MainTaskM = menuBar()->addMenu(QString());
    MainTaskM->setObjectName("MainTaskM");
    MainTaskM->addAction(TaskA);
    MainTaskM->addAction(OpenTaskFileM);
    MainTaskM->addAction(RemTaskM);
    connect(MainTaskM, &QMenu::aboutToShow, this, [this] { MainTaskMClick(); });

    OptimizeM = menuBar()->addMenu(QString());
    OptimizeM->setObjectName("OptimizeM");
    OptimizeM->addAction(StartA);
    OptimizeM->addAction(StopA);
    GraphsM = menuBar()->addMenu(QString());
    GraphsM->setObjectName("GraphsM");
    GraphsM->addAction(ElectroM);
    GraphsM->addAction(KinA);
    GraphsM->addAction(ProA);
    GraphsM->addAction(IsothM);
    GraphsM->addAction(GibbsDuhemM);
    GraphsM->addSeparator();
    GraphsM->addAction(AutoGraphM);
    menuBar()->addAction(OptionsM);
    MiscM = menuBar()->addMenu(QString());
    MiscM->setObjectName("MiscM");
    EquiMetM = MiscM->addMenu(QString());
    EquiMetM->setObjectName("EquiMetM");
    EquiMetM->addAction(EquiMetCurM);
    EquiMetM->addAction(EquiMetTskM);
    EquiSlgM = MiscM->addMenu(QString());
    EquiSlgM->setObjectName("EquiSlgM");
    EquiSlgM->addAction(EquiSlgCurM);
    EquiSlgM->addAction(EquiSlgTskM);
    MiscM->addSeparator();
    MiscM->addAction(ConstrRzM);
    MiscM->addAction(DemonM);
    HelpM = menuBar()->addMenu(QString());
    HelpM->setObjectName("HelpM");
    HelpM->addAction(OpenHelpM);
    HelpM->addAction(AboutM);

    ToolBar = addToolBar(QStringLiteral("Ferrolyt"));
    ToolBar->setObjectName("ToolBar");
    ToolBar->addAction(NewA);
    ToolBar->addAction(OpenA);
    ToolBar->addAction(SaveA);
    ToolBar->addAction(PrintA);
    ToolBar->addSeparator();
    ToolBar->addAction(TaskA);
    ToolBar->addAction(MeltRecA);
    ToolBar->addAction(MeltA);
    ToolBar->addAction(MatsA);
    StartBut = new QToolButton(ToolBar);
    StartBut->setObjectName("StartBut");
    StartBut->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    StartBut->setDefaultAction(StartA);
    ToolBar->addWidget(StartBut);
    ToolBar->addSeparator();
    KinBut = new QToolButton(ToolBar);
    KinBut->setObjectName("KinBut");
    KinBut->setDefaultAction(KinA);
    ToolBar->addWidget(KinBut);
    ToolBar->addAction(ProA);
    ToolBar->addSeparator();
    TaskFileBox = new QComboBox(ToolBar);
    TaskFileBox->setObjectName("TaskFileBox");
    TaskFileBox->setMinimumWidth(160);
    TaskBox = new QComboBox(ToolBar);
    TaskBox->setObjectName("TaskBox");
    TaskBox->setMinimumWidth(160);
    ToolBar->addWidget(TaskFileBox);
    ToolBar->addWidget(TaskBox);
    ToolBar->addSeparator();
    ToolBar->addAction(TopBut);
    // Only a choice of the user's runs the commands; filling the boxes
    // from the project does not.
    connect(TaskFileBox, &QComboBox::activated, this,
            [this](int index) { RunCommand([this, index] { TaskListBoxClick(index); }); });
    connect(TaskBox, &QComboBox::activated, this,
            [this](int index) { RunCommand([this, index] { TaskBoxClick(index); }); });
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
    // Basicity and charge are shown with three significant digits, which
    // a ladle slag's four-digit basicity turns into exponents.
    for (QLineEdit* e : {EditOsn, EdCharge})
        e->setMinimumWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("-1.05E+3..-1.39E+3")) + 12);
    for (QLineEdit* e : {EditFinT, EditMetM, EditSlgM, EditOsn, EdCharge, EditGasM, EditNmiM})
        e->installEventFilter(this);
    for (QLineEdit* e : {EditIniT, EditP}) {
        KeepNumbersIn(*e, e == EditIniT ? QStringLiteral("Темп. поч., °C") : QStringLiteral("Тиск, атм"));
        e->installEventFilter(this);
        e->setStyleSheet(QStringLiteral("background-color: rgb(239, 239, 239);"));
    }
    layout->addWidget(edits);

    // The three grids side by side.
    MatGridModel = new TGridModel(MatGridCells, this);
    ElGridModel = new TGridModel(ElGridCells, this);
    GasGridModel = new TGridModel(GasGridCells, this);
    MatGridModel->SetEditableColumns({2});
    MatGridModel->SetCellCheck(NumberCellCheck(MatGridCells));
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
    // A material's name and mass, and a gas with both pressures, are read
    // together: those grids keep room for all their columns, the row numbers
    // and a scroll bar; the element grid takes what is left.
    for (QTableView* g : {MatGrid, GasGrid}) {
        const int rowNumbers = std::max(g->verticalHeader()->minimumWidth(), g->fontMetrics().horizontalAdvance("000") + 8);
        int width = rowNumbers + style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 2 * g->frameWidth() + 4;
        for (int c = 0; c < g->model()->columnCount(); ++c)
            width += g->columnWidth(c);
        g->setMinimumWidth(width);
    }
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setStretchFactor(2, 0);
    splitter->setSizes({MatGrid->minimumWidth(), 700, GasGrid->minimumWidth()});
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
    connect(Timer1, &QTimer::timeout, this, [this] { RunCommand([this] { Timer1Timer(); }, false); });
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
    FileM->setTitle(QStringLiteral("Файл"));
    OpenFileM->setTitle(QStringLiteral("Відкрити файл..."));
    MainMatsM->setTitle(QStringLiteral("Матеріали"));
    MainTaskM->setTitle(QStringLiteral("Завдання"));
    OptimizeM->setTitle(QStringLiteral("Оптимізація"));
    OptimizeM->setToolTip(QStringLiteral("Оптимізація матеріалів"));
    GraphsM->setTitle(QStringLiteral("Графіки"));
    MiscM->setTitle(QStringLiteral("Різне"));
    EquiMetM->setTitle(QStringLiteral("Рівноважний метал відносно шлаку"));
    EquiSlgM->setTitle(QStringLiteral("Рівноважний шлак відносно металу"));
    HelpM->setTitle(QStringLiteral("Довідка"));

    auto caption = [](QAction* a, const char* text, const char* hint) {
        a->setText(QString::fromUtf8(text));
        a->setToolTip(QString::fromUtf8(hint ? hint : text));
        a->setStatusTip(a->toolTip());
    };
    caption(MeltRecA, "Проплавити рекомендовані", "Проплавити рекомендовані матеріали");
    caption(MeltA, "Проплавити поточні", "Проплавити поточні матеріали");
    caption(StartA, "Оптимізувати матеріали", nullptr);
    caption(StopA, "Зупинити", nullptr);
    caption(NewA, "Новий проєкт", nullptr);
    caption(OpenA, "Відкрити проєкт", nullptr);
    caption(SaveA, "Зберегти проєкт", nullptr);
    caption(PrintA, "Друкувати проєкт", nullptr);
    caption(TaskA, "Редактор завдання", nullptr);
    caption(MatsA, "Властивості", "Властивості матеріалів");
    caption(KinA, "Кінетика процесу", nullptr);
    caption(ProA, "Моделювання електродугової плавки", nullptr);
    ElectroM->setText(QStringLiteral("Крива електронейтральності"));
    IsothM->setText(QStringLiteral("Ізотерма розчинності кисню"));
    GibbsDuhemM->setText(QStringLiteral("Рівняння Гіббса-Дюгема"));
    AutoGraphM->setText(QStringLiteral("Автографіки..."));
    for (QAction* a : {EquiMetCurM, EquiSlgCurM})
        a->setText(QStringLiteral("Поточні фази"));
    for (QAction* a : {EquiMetTskM, EquiSlgTskM})
        a->setText(QStringLiteral("Початкові фази за завданням"));
    ConstrRzM->setText(QStringLiteral("Конструктор реакційної зони"));
    caption(DemonM, "Zivad Urevezozu", "Модуль статистичної термодинаміки");
    MiscM->setToolTipsVisible(true);
    ExportM->setText(QStringLiteral("Експорт таблиць..."));
    OpenHeaM->setText(QStringLiteral("Шаблон плавки (*.HEA)..."));
    OpenConM->setText(QStringLiteral("Файл констант (*.CON)..."));
    OpenMatM->setText(QStringLiteral("Файл матеріалів (*.MAT)..."));
    OpenTskM->setText(QStringLiteral("Файл завдань (*.TSK)..."));
    SaveAsM->setText(QStringLiteral("Зберегти проєкт як..."));
    SaveFileM->setTitle(QStringLiteral("Зберегти файл..."));
    SaveTskM->setText(QStringLiteral("Файл завдань (*.TSK)"));
    ExitM->setText(QStringLiteral("Вихід..."));
    OpenMatFileM->setText(QStringLiteral("Відкрити файл матеріалів..."));
    AllowAllMatsM->setText(QStringLiteral("Дозволити все"));
    ClearAllMatsM->setText(QStringLiteral("Очистити все"));
    CurRecMatsM->setText(QStringLiteral("Поточні > Рекомендовані"));
    TonsM->setText(QStringLiteral("Тонни"));
    KmolM->setText(QStringLiteral("Кіломолі"));
    OpenTaskFileM->setText(QStringLiteral("Відкрити файл завдань..."));
    RemTaskM->setText(QStringLiteral("Вилучити"));
    OptionsM->setText(QStringLiteral("Опції"));
    OpenHelpM->setText(QStringLiteral("Інструкція користувача"));
    AboutM->setText(QStringLiteral("Про програму"));
    TopBut->setToolTip(QStringLiteral("Поверх інших вікон"));
    EnableMatM->setText(QStringLiteral("Заборонити"));
    FixMatM->setText(QStringLiteral("Зафiксувати"));
    SetMatRecM->setText(QStringLiteral("Задати рекоменд. масу, т"));
    SetMatMinM->setText(QStringLiteral("Задати мiн масу, т"));
    SetMatMaxM->setText(QStringLiteral("Задати макс масу, т"));
    SetMatMinPctM->setText(QStringLiteral("Задати мiн частку, %"));
    SetMatMaxPctM->setText(QStringLiteral("Задати макс частку, %"));
    EnableAllMatsM->setText(QStringLiteral("Дозволити все"));
    ClrMatsM->setText(QStringLiteral("Очистити все"));
    RecAllMatsM->setText(QStringLiteral("Поточні > Рекомендовані"));
    MatTonsM->setText(QStringLiteral("Тонни"));
    MatKmolesM->setText(QStringLiteral("Кіломолі"));

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
    for (auto [grid, cells] : {std::pair{MatGrid, &MatGridCells}, {ElGrid, &ElGridCells}, {GasGrid, &GasGridCells}})
        SetCornerText(*grid, Q(cells->Cell(0, 0)));
    GridsChanged();
    ProjectList.clear();
    TaskMatFiles.clear();
    // A first start has no settings file: the heat replay then begins with
    // the sample project's furnace rather than with zeros.
    if (ReadSettingsFile(ProgramFile(SettingsFileName)))
        RestoreWholeLastProject();
    else
        SetFurnaceFallbacks(Settings);
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
    SetAutoSaveTimer();
}

bool TFForw::FormCloseQuery()
{
    if (CalcBusy) { // a running calculation still uses the model
        AskStopCalculation();
        return false;
    }
    if (AskIfReplaying()) // so does a heat replay
        return false;
    // An edit that could not be saved keeps the window open unless the user
    // lets it go.
    if (startupDone_ && Settings.ExitSave && !SaveProject(0) &&
        !CurrentHost().AskYesNo("Проєкт не збережено. Вийти без збереження?"))
        return false;
    // A kinetics run steps on the systems from its timer: it ends with its
    // window, before the systems are freed.
    KinF->close();
    // The particle view is a window of its own, started from MaxF.
    for (QWidget* w : std::initializer_list<QWidget*>{FHeat, FormDKM, RzForm, MaxF, particles::FormGL.data()})
        if (w)
            w->close();
    Timer1->stop();
    ElementBase.Clear();
    for (int k : {0, 1, 3})
        ThSystems[static_cast<std::size_t>(k)].reset();
    TaskList.Clear();
    ResultsShown = false;
    const std::string path = ProgramFile(SettingsFileName);
    if (!WriteSettingsFile(path))
        ShowWarning("Неможливо зберегти файл " + path);
    if (std::string error; !KeepWholeLastProject(&error))
        ShowWarning("Неможливо запам'ятати шлях до проєкту " + Settings.LastProject + "\n" + error);
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
    } else if (watched == MatGrid && event->type() == QEvent::KeyPress) {
        // While a cell is edited its editor has the keys, not the grid.
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            // The Enter that ends a cell's editing reaches the grid after the
            // editor has queued its own commit: the melt waits for it, so
            // the cell is stored once and its editor closed by its owner.
            if (MatGrid->indexWidget(MatGrid->currentIndex()))
                QMetaObject::invokeMethod(this, [this] { RunCommand([this] { MeltButClick(0); }); },
                                          Qt::QueuedConnection);
            else
                RunCommand([this] { MeltButClick(0); });
            return true;
        }
    } else if (event->type() == QEvent::Resize && ResultsShown) {
        // The layout gives the result edits their widths after the window's
        // own resize: each fits its range when it gets its own.
        for (const auto& [edit, field] : RangeEdits())
            if (watched == edit)
                FitResultEdit(*edit, field);
    } else if (event->type() == QEvent::FocusOut &&
               (watched == ElGrid || watched == GasGrid)) {
        static_cast<QTableView*>(watched)->clearSelection();
    }
    return QMainWindow::eventFilter(watched, event);
}
