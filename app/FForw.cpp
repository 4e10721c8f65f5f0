#include "FForw.h"

#include "Constraints.h"
#include "ForwardProblem.h"
#include "AboutBox.h"
#include "AutoF.h"
#include "AutographPoint.h"
#include "DataFiles.h"
#include "FGraph.h"
#include "FHeat.h"
#include "FOptions.h"
#include "FSolu.h"
#include "FTask.h"
#include "FormDKM.h"
#include "HeatReplay.h"
#include "KinF.h"
#include "MaxF.h"
#include "ResultsExport.h"
#include "RzForm.h"
#include "Studies.h"
#include "GridModel.h"
#include "HelpDocument.h"
#include "LastMeltTask.h"
#include "MaterialCommands.h"
#include "Materials.h"
#include "ModalDialog.h"
#include "OptionControls.h"
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
#include <QInputDialog>
#include <QKeyEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
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

// The main window's commands as an autograph point uses them, so that every
// point is also shown in the window.
class TWindowAutographCommands : public TAutographCommands {
public:
    explicit TWindowAutographCommands(TFForw& w) : w_(w) {}

    bool MeltButClick() override
    {
        w_.MeltButClick(-1);
        return ResultsShown;
    }
    void SetIdle(bool idle) override { w_.SetIdle(idle); }
    bool BuildConstraintBlocks() override { return w_.OptimiserCalls.BuildConstraintBlocks(); }
    int32_t Optimise(int32_t released) override { return w_.OptimiserCalls.Optimise(released); }
    void ShowForwardProblem(bool recompute) override { w_.ShowForwardProblem(recompute); }
    void ProcessMessages() override { QCoreApplication::processEvents(); }
    void RefreshCurrentTask() override { w_.MeltButClick(-1); }

private:
    TFForw& w_;
};

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
    connect(Timer1, &QTimer::timeout, this, [this] { RunCommand([this] { Timer1Timer(); }); });
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
    // A kinetics run steps on the systems from its timer: it ends with its
    // window, before the systems are freed.
    KinF->close();
    for (QWidget* w : std::initializer_list<QWidget*>{FHeat, FormDKM, RzForm, MaxF})
        if (w)
            w->close();
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
    } else if (watched == MatGrid && event->type() == QEvent::KeyPress) {
        // While a cell is edited its editor has the keys, not the grid.
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            RunCommand([this] { MeltButClick(0); });
            return true;
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

bool TFForw::AskIfReplaying()
{
    if (!HeatRunning)
        return false;
    if (AskStopCalculation() == IdYes && FHeat)
        FHeat->StopButClick();
    return true;
}

bool TFForw::AskIfSystemsInUse() { return AskIfBusy() || AskIfReplaying(); }

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
    if (AskIfSystemsInUse())
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
    if (AskIfSystemsInUse())
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
    if (AskIfSystemsInUse())
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
    if (FormDKM)
        FormDKM->ClearGrid();
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

// ---------------------------------------------------------------------------
// File commands

QStringList TFForw::OpenFilters(bool save)
{
    if (save)
        return {QStringLiteral("Файлы проектов (*.FWP)"), QStringLiteral("Файлы констант (*.CON)"),
                QStringLiteral("Файлы материалов (*.MAT)"), QStringLiteral("Файлы заданий (*.TSK)"),
                QStringLiteral("Все файлы Ferrolyt (*.FWP *.CON *.MAT *.TSK)")};
    return {QStringLiteral("Projects (*.FWP)"),      QStringLiteral("Constants (*.CON)"),
            QStringLiteral("Materials (*.MAT)"),     QStringLiteral("Tasks (*.TSK)"),
            QStringLiteral("EAF templates (*.HEA)"), QStringLiteral("Datafiles (*.XLS)"),
            QStringLiteral("All files (*.FWP *.CON *.MAT *.TSK *.HEA *.XLS)")};
}

QString TFForw::AskOpenFileName(int tag)
{
    QFileDialog dialog(this, QStringLiteral("Ferrolyt"), Q(ProgramDir()));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    const QStringList filters = OpenFilters(false);
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.value(tag - 1, filters.front()));
    if (ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().front();
}

void TFForw::OpenMClick(int tag)
{
    if (AskIfBusy())
        return;
    const QString name = AskOpenFileName(tag);
    if (!name.isEmpty())
        OpenFile(name.toStdString());
}

void TFForw::OpenFile(const std::string& fileName)
{
    if (AskIfSystemsInUse())
        return;
    const std::string ext = UpperCase1251(Utf8Left(std::filesystem::path(fileName).extension().string(), 5));
    if (ext == ".FWP") {
        LoadProject(fileName);
    } else if (ext == ".CON") {
        if (OpenConstantsFile(fileName))
            MeltButClick(-1);
    } else if (ext == ".MAT") {
        if (OpenMaterialsFile(fileName))
            MeltButClick(-1);
    } else if (ext == ".TSK") {
        if (!OpenTaskFile(fileName))
            return;
        const std::string name = TaskList.FileName;
        TaskMatFiles.resize(TaskListBox.size());
        for (std::size_t i = 0; i < TaskListBox.size(); ++i) {
            if (UpperCase1251(TaskListBox[i].Text) != UpperCase1251(name))
                continue;
            if (SelectTaskFile(static_cast<int>(i))) {
                ShowTaskListBox();
                MeltButClick(-1);
            }
            return;
        }
        if (CurrentHost().AskYesNo("Добавить файл заданий " + name + " в проект?") || TaskListBoxIndex < 0 ||
            TaskListBoxIndex >= static_cast<int>(TaskListBox.size())) {
            // With no entry to replace the file is added in any case, so
            // that the project keeps a record of it.
            TaskListBox.push_back({name, 0});
            TaskMatFiles.push_back(ProjectValue("MatFile"));
            TaskListBoxIndex = static_cast<int>(TaskListBox.size()) - 1;
        } else {
            TaskListBox[static_cast<std::size_t>(TaskListBoxIndex)].Text = name;
        }
        ShowTaskListBox();
        MeltButClick(-1);
    }
}

void TFForw::TaskListBoxClick(int index)
{
    if (AskIfSystemsInUse())
        return;
    if (SelectTaskFile(index) && MeltRecA->isEnabled())
        MeltButClick(1);
}

void TFForw::TaskBoxClick(int index)
{
    if (AskIfSystemsInUse()) {
        TaskBox->setCurrentIndex(TaskList.Current); // the choice did not happen
        return;
    }
    if (index < 0 || index >= TaskList.Count)
        return;
    TaskList.Current = index;
    if (TaskListBoxIndex >= 0 && TaskListBoxIndex < static_cast<int>(TaskListBox.size()))
        TaskListBox[static_cast<std::size_t>(TaskListBoxIndex)].TaskIndex = index;
    ElGrid->setFocus();
    MeltRecA->setEnabled(TaskList.HasMaterialBounds(index));
    StartA->setEnabled(TaskList.HasMassBounds(index));
    if (MeltRecA->isEnabled())
        MeltButClick(-1);
}

void TFForw::ClearButClick()
{
    if (AskIfSystemsInUse())
        return;
    SystemElemLast = 0;
    MaterialCount = 0;
    if (ThSystems[0] && ThSystems[0]->Elems)
        ThSystems[0]->Elems->Clear();
    MaterialTable.Fill(ZeroMaterialRecord());
    MeltA->setEnabled(false);
    MeltRecA->setEnabled(false);
    ClearResults(false, false, 1);
    MatGridCells.SetRowCount(2);
    ElGridCells.SetRowCount(2);
    GridsChanged();
    SBarPanels[4]->clear();
    EditIniT->clear();
    EditFinT->clear();
    EditP->setText(QStringLiteral("1"));
    Settings.LastProject =
        FitShortString(ProjectDir.empty() ? "Untitled.FWP" : ProjectDir + "/Untitled.FWP", LastProjectCapacity);
    setWindowTitle(QStringLiteral("Ferrolyt"));
    TaskList.Clear();
    TaskListBox.clear();
    TaskListBoxIndex = -1;
    ShowTaskListBox();
    StartA->setEnabled(false);
}

void TFForw::SaveButClick(int tag)
{
    if (AskIfBusy())
        return;
    SaveProject(tag);
}

void TFForw::Timer1Timer() { SaveButClick(0); }

void TFForw::SetAutoSaveTimer()
{
    Timer1->setInterval(int(Settings.AutoSaveMinutes) * 60000);
    if (Settings.AutoSave)
        Timer1->start();
    else
        Timer1->stop();
}

// ---------------------------------------------------------------------------
// Menu commands

void TFForw::TaskMClick()
{
    if (AskIfSystemsInUse())
        return;
    if (ThSystems[0] && ThSystems[1])
        FillLastMeltTask(TaskList.Items[LastMeltTaskSlot], TaskList.Items[0], *ThSystems[0], *ThSystems[1]);
    FTask->FormShow();
    if (ExecModal(*FTask) != QDialog::Accepted || MaterialCount < 1)
        return;
    MeltRecA->setEnabled(TaskList.HasMaterialBounds(TaskList.Current));
    StartA->setEnabled(TaskList.HasMassBounds(TaskList.Current));
    if (MeltRecA->isEnabled())
        MeltButClick(-1);
}

void TFForw::OptionsMClick()
{
    if (AskIfSystemsInUse())
        return;
    const TSettingsRecord before = Settings;
    FOptions->FormShow();
    if (ExecModal(*FOptions) == QDialog::Accepted)
        FHeat->RunButTag = Settings.ConsumptionMode;
    switch (OptionsChangeEffect(before, Settings, ResultsShown)) {
    case TOptionsEffect::Melt:
        MeltButClick(0);
        break;
    case TOptionsEffect::ReloadMaterials:
        if (TaskListBoxIndex >= 0 && TaskListBoxIndex < static_cast<int>(TaskMatFiles.size()))
            LoadMaterials(TaskMatFiles[static_cast<std::size_t>(TaskListBoxIndex)], true);
        else
            LoadMaterials(ProjectValue("MatFile"), true);
        MeltButClick(0);
        break;
    case TOptionsEffect::Redisplay:
        ShowForwardProblem(false);
        break;
    case TOptionsEffect::Nothing:
        break;
    }
    SetAutoSaveTimer();
}

void TFForw::PrintButClick()
{
    if (AskIfBusy())
        return;
    QPrinter printer(QPrinter::HighResolution);
    const QPageLayout::Orientation orientation = printer.pageLayout().orientation();
    printer.setPageOrientation(QPageLayout::Landscape);
    QPrintDialog dialog(&printer, this);
    if (ExecModal(dialog) == QDialog::Accepted)
        PrintWindow(printer);
    printer.setPageOrientation(orientation);
}

void TFForw::PrintWindow(QPrinter& printer)
{
    const QPixmap image = grab();
    QPainter painter;
    if (!painter.begin(&printer)) {
        ShowWarning("Неможливо надрукувати вікно");
        return;
    }
    const QRect page = painter.viewport();
    QSize size = image.size();
    size.scale(page.size(), Qt::KeepAspectRatio);
    painter.setViewport(page.x(), page.y(), size.width(), size.height());
    painter.setWindow(image.rect());
    painter.drawPixmap(0, 0, image);
    painter.end();
}

void TFForw::OpenHelpMClick() { OpenHelpDocument(); }

void TFForw::AboutMClick() { ExecModal(*AboutBox); }

bool TFForw::OpenOptionsPage(int page)
{
    const int previous = FOptions->Pages->currentIndex();
    FOptions->Pages->setCurrentIndex(page);
    FOptions->FormShow();
    const bool ok = ExecModal(*FOptions) == QDialog::Accepted;
    FOptions->Pages->setCurrentIndex(previous);
    return ok;
}

void TFForw::ExportMClick() { ExportResultsCommand(*this); }

void TFForw::ProAExecute()
{
    if (AskIfBusy())
        return;
    FHeat->show();
    FHeat->raise();
    FHeat->activateWindow();
}

void TFForw::EffMatMClick() { FormDKM->ShowEffects(); }

void TFForw::ElectroMClick() { ExecModal(*FGraph); }

void TFForw::IsothMClick()
{
    if (AskIfReplaying())
        return;
    ExecModal(*FSolu);
}

void TFForw::KineMClick()
{
    if (AskIfReplaying())
        return;
    // The kinetics window asks the stop question itself while busy.
    KinF->KineMClick([this] { MeltButClick(0); });
}

void TFForw::AutoGraphMClick()
{
    if (AskIfReplaying())
        return;
    TWindowAutographCommands commands(*this);
    AutoF->SetCommands(&commands);
    struct TDetach {
        TAutoF* f;
        ~TDetach() { f->SetCommands(nullptr); }
    } detach{AutoF};
    ExecModal(*AutoF);
}

void TFForw::GibbsDuhemMClick()
{
    if (AskIfReplaying())
        return;
    GibbsDuhemCheck(); // a check for the developer: nothing is shown
}

void TFForw::EquiMetClick(int tag)
{
    if (AskIfReplaying())
        return;
    EquilibrateBothSystems(true, tag == 1);
}

void TFForw::EquiSlgClick(int tag)
{
    if (AskIfReplaying())
        return;
    EquilibrateBothSystems(false, tag == 1);
}

void TFForw::ConstrRzMClick()
{
    if (AskIfReplaying())
        return;
    RzForm->show();
    RzForm->raise();
    RzForm->activateWindow();
}

void TFForw::DemonMClick()
{
    MaxF->show();
    MaxF->raise();
    MaxF->activateWindow();
}

void TFForw::TopButClick(bool down)
{
    setWindowFlag(Qt::WindowStaysOnTopHint, down);
    show(); // changing the flag hides the window
}

void TFForw::MainTaskMClick()
{
    RemTaskM->setEnabled(!TaskListBox.empty());
    if (!TaskListBox.empty())
        RemTaskM->setText(Q("Вилучити " + TaskFileBox->currentText().toStdString() + " з проєкту"));
}

void TFForw::RemTaskMClick()
{
    if (AskIfSystemsInUse())
        return;
    const int i = TaskListBoxIndex;
    if (i < 0 || i >= static_cast<int>(TaskListBox.size()))
        return;
    TaskListBox.erase(TaskListBox.begin() + i);
    if (i < static_cast<int>(TaskMatFiles.size()))
        TaskMatFiles.erase(TaskMatFiles.begin() + i);
    if (TaskListBox.empty()) {
        TaskListBoxIndex = -1;
        ShowTaskListBox();
        ClearResults(false, false, 2);
        TaskList.Clear();
        TaskBox->clear();
        StartA->setEnabled(false);
        MeltRecA->setEnabled(false);
        return;
    }
    TaskListBoxIndex = std::min(i, static_cast<int>(TaskListBox.size()) - 1);
    ShowTaskListBox();
    TaskListBoxClick(TaskListBoxIndex);
}

// ---------------------------------------------------------------------------
// Materials popup

void TFForw::CreateMaterialsPopup()
{
    MatsPop = new QMenu(this);
    MatsPop->setObjectName("MatsPop");
    auto item = [this](const char* name, int tag) {
        QAction* a = MatsPop->addAction(QString());
        a->setObjectName(name);
        a->setData(tag);
        return a;
    };
    EnableMatM = item("EnableMatM", 0);
    FixMatM = item("FixMatM", 0);
    SetMatRecM = item("SetMatRecM", 0);
    SetMatMinM = item("SetMatMinM", 1);
    SetMatMaxM = item("SetMatMaxM", 2);
    SetMatMinPctM = item("SetMatMinPctM", 3);
    SetMatMaxPctM = item("SetMatMaxPctM", 4);
    MatsPop->addSeparator();
    EnableAllMatsM = item("EnableAllMatsM", 0);
    ClrMatsM = item("ClrMatsM", 0);
    RecAllMatsM = item("RecAllMatsM", 0);
    MatsPop->addSeparator();
    MatTonsM = item("MatTonsM", 0);
    MatKmolesM = item("MatKmolesM", 1);
    MatTonsM->setCheckable(true);
    MatKmolesM->setCheckable(true);
    auto command = [this](QAction* a, const std::function<void()>& f) {
        connect(a, &QAction::triggered, this, [this, f] { RunCommand(f); });
    };
    command(EnableMatM, [this] { EnableMatMClick(); });
    command(FixMatM, [this] { FixMatClick(); });
    for (QAction* a : {SetMatRecM, SetMatMinM, SetMatMaxM, SetMatMinPctM, SetMatMaxPctM})
        command(a, [this, a] { SetMatRecMClick(a->data().toInt()); });
    command(EnableAllMatsM, [this] { EnableAllMatsMClick(); });
    command(ClrMatsM, [this] { ClrMatsMClick(); });
    command(RecAllMatsM, [this] { RecAllMatsMClick(); });
    command(MatTonsM, [this] { MatKmolesMClick(0); });
    command(MatKmolesM, [this] { MatKmolesMClick(1); });
    MatGrid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(MatGrid, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) {
        // The model's row 0 is the header row of the grid's cells.
        const int row = MatGrid->rowAt(p.y()) + 1; // -1 (no row) gives the header row
        MatsPopPopup(row);
        MatsPop->popup(MatGrid->viewport()->mapToGlobal(p));
    });
    MatGrid->installEventFilter(this);
    for (QLineEdit* e : {EditP, EditIniT})
        connect(e, &QLineEdit::returnPressed, this, [this] { RunCommand([this] { MeltButClick(0); }); });
}

namespace {

// The current task, or a scratch record when there is none, so that the
// popup's commands still work on the materials table.
TTaskRecord& PopupTask()
{
    static TTaskRecord scratch;
    if (TaskList.Current >= 0 && TaskList.Current < TaskList.Count)
        return TaskList.CurrentTask();
    scratch = TTaskRecord{};
    return scratch;
}

} // namespace

void TFForw::MatsPopPopup(int row)
{
    PopupMaterialRow = row;
    const bool material = row >= 1 && row <= MaterialCount;
    for (QAction* a : {EnableMatM, FixMatM, SetMatRecM, SetMatMinM, SetMatMaxM, SetMatMinPctM, SetMatMaxPctM})
        a->setVisible(material);
    if (material) {
        const TMaterialRecord& slot = MaterialTable[row];
        PopupTaskMaterial = TaskMaterialPosition(PopupTask(), slot.Name);
        const TMaterialPopupTexts texts = MaterialPopupTexts(slot, MatGridCells.Cell(2, row));
        EnableMatM->setText(Q(texts.Enable));
        FixMatM->setText(Q(texts.Fix));
        FixMatM->setEnabled(texts.FixEnabled);
    }
    MatTonsM->setChecked(!MatsInKmoles);
    MatKmolesM->setChecked(MatsInKmoles);
}

void TFForw::EnableMatMClick()
{
    const int j = PopupMaterialRow;
    if (j < 1 || j > MaterialCount)
        return;
    TMaterialRecord* m = TaskMaterialAt(PopupTask(), PopupTaskMaterial, j);
    TMaterialRecord spare;
    const auto cell = EnableMaterial(m ? *m : spare, MaterialTable[j]);
    if (cell)
        MatGridCells.SetCell(2, j, *cell);
    GridsChanged();
}

void TFForw::EnableAllMatsMClick()
{
    std::vector<std::string> cells(static_cast<std::size_t>(MatGridCells.RowCount()));
    for (int r = 0; r < MatGridCells.RowCount(); ++r)
        cells[static_cast<std::size_t>(r)] = MatGridCells.Cell(2, r);
    EnableAllMaterials(PopupTask(), MaterialTable, cells);
    for (int r = 1; r < MatGridCells.RowCount(); ++r)
        MatGridCells.SetCell(2, r, cells[static_cast<std::size_t>(r)]);
    GridsChanged();
}

void TFForw::FixMatClick()
{
    const int j = PopupMaterialRow;
    if (j < 1 || j > MaterialCount)
        return;
    TMaterialRecord* m = TaskMaterialAt(PopupTask(), PopupTaskMaterial, j);
    TMaterialRecord spare;
    FixMaterial(m ? *m : spare, MaterialTable[j], MatGridCells.Cell(2, j));
    GridsChanged();
}

void TFForw::SetMatRecMClick(int tag)
{
    const int j = PopupMaterialRow;
    if (j < 1 || j > MaterialCount)
        return;
    static QAction* const* items[] = {&SetMatRecM, &SetMatMinM, &SetMatMaxM, &SetMatMinPctM, &SetMatMaxPctM};
    const QAction* item = *items[std::clamp(tag, 0, 4)];
    TMaterialRecord& slot = MaterialTable[j];
    QInputDialog box(this);
    box.setWindowTitle(Q(MaterialBoundCaption(item->text().toStdString(), slot.Name)));
    box.setLabelText(QStringLiteral("Введіть число"));
    box.setTextValue(Q(MaterialBoundProposal(slot, tag)));
    if (ExecModal(box) != QDialog::Accepted)
        return;
    TMaterialRecord* m = TaskMaterialAt(PopupTask(), PopupTaskMaterial, j);
    TMaterialRecord spare;
    ApplyMaterialBound(box.textValue().toStdString(), m ? *m : spare, slot, tag);
    GridsChanged();
}

void TFForw::RecAllMatsMClick()
{
    std::vector<std::string> cells(static_cast<std::size_t>(MatGridCells.RowCount()));
    for (int r = 0; r < MatGridCells.RowCount(); ++r)
        cells[static_cast<std::size_t>(r)] = MatGridCells.Cell(2, r);
    MeltRecA->setEnabled(CurrentMassesAsRecommended(PopupTask(), MaterialTable, cells));
}

void TFForw::ClrMatsMClick()
{
    MatGridCells.ClearColumns(2);
    GridsChanged();
}

void TFForw::MatKmolesMClick(int tag)
{
    MatsInKmoles = tag == 1;
    MatGridCells.SetCell(2, 0, MatsInKmoles ? "kmol" : "t");
    GridsChanged();
    if (ResultsShown)
        MeltButClick(0);
}

void TFForw::MainMatsMClick()
{
    TonsM->setChecked(!MatsInKmoles);
    KmolM->setChecked(MatsInKmoles);
}
