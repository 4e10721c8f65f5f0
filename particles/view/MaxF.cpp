#include "MaxF.h"

#include "FChart.h"
#include "FormGL.h"
#include "ParticleMessages.h"
#include "ProgramDir.h"
#include "ScreenFit.h"
#include "ScreenText.h"
#include "WindowPlace.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QProgressBar>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QTableWidget>
#include <QThread>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include <chrono>

namespace ferrolyt::particles {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

// A number of the parameter file as the edits show it: with the user's
// decimal separator. The files keep '.', whatever the user typed.
QString Shown(const std::string& fileText) { return ScreenText(fileText); }
std::string FileNumber(const QString& shown) { return S(QString(shown).replace(QLatin1Char(','), QLatin1Char('.'))); }

const char* const BatchIdleText = "TDF loop";
const char* const BatchRunningText = "Stop TDF loop";

} // namespace

TMaxF::TMaxF(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName("MaxF");
    // Parameter files and textures are found under the program folder.
    QDir::setCurrent(Q(ProgramDir()));

    auto* layout = new QVBoxLayout(this);
    auto* toolbar = new QToolBar(this);
    openA_ = toolbar->addAction("Open");
    openA_->setObjectName("OpenA");
    saveA_ = toolbar->addAction("Save");
    saveA_->setObjectName("SaveA");
    startA_ = toolbar->addAction("Start");
    startA_->setObjectName("StartA");
    tdfLoopBut_ = new QToolButton(toolbar);
    tdfLoopBut_->setObjectName("TDFloopBut");
    tdfLoopBut_->setText(BatchIdleText);
    toolbar->addWidget(tdfLoopBut_);
    layout->addWidget(toolbar);
    connect(openA_, &QAction::triggered, this, [this] { OpenButClick(); });
    connect(saveA_, &QAction::triggered, this, [this] { SaveButClick(); });
    connect(startA_, &QAction::triggered, this, [this] { StartButClick(); });
    connect(tdfLoopBut_, &QToolButton::clicked, this, [this] { TDFloopButClick(); });

    auto* types = new QHBoxLayout();
    for (int t = 0; t < 3; ++t) {
        auto* grp = new QGroupBox(QString(" Type %1 ").arg(t + 1), this);
        grp->setObjectName(QString("Grp%1").arg(t + 1));
        auto* g = new QGridLayout(grp);
        rad_[t] = new QLineEdit(Shown("0.5"), grp);
        rad_[t]->setObjectName(QString("EdRad%1").arg(t + 1));
        mass_[t] = new QLineEdit("1", grp);
        mass_[t]->setObjectName(QString("EdMass%1").arg(t + 1));
        spin_[t] = new QSpinBox(grp);
        spin_[t]->setObjectName(QString("SpinN%1").arg(t + 1));
        spin_[t]->setRange(0, MaxBalls);
        spin_[t]->setValue(10);
        g->addWidget(new QLabel("Radius", grp), 0, 0);
        g->addWidget(rad_[t], 0, 1);
        g->addWidget(new QLabel("Mass", grp), 1, 0);
        g->addWidget(mass_[t], 1, 1);
        g->addWidget(new QLabel("Quantity", grp), 2, 0);
        g->addWidget(spin_[t], 2, 1);
        types->addWidget(grp);
    }
    layout->addLayout(types);

    auto* middle = new QHBoxLayout();
    auto* epsBox = new QVBoxLayout();
    epsBox->addWidget(new QLabel("Energy of interaction ", this));
    epsGrid_ = new QTableWidget(3, 3, this);
    epsGrid_->setObjectName("EpsGrid");
    epsGrid_->setHorizontalHeaderLabels({"1", "2", "3"});
    epsGrid_->setVerticalHeaderLabels({"1", "2", "3"});
    epsGrid_->horizontalHeader()->setDefaultAlignment(Qt::AlignHCenter | Qt::AlignTop);
    epsGrid_->verticalHeader()->setDefaultAlignment(Qt::AlignHCenter | Qt::AlignTop);
    epsGrid_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    epsGrid_->setSelectionMode(QAbstractItemView::NoSelection);
    epsGrid_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    epsGrid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            epsGrid_->setItem(r, c, new QTableWidgetItem());
    FitEpsGridHeight();
    epsBox->addWidget(epsGrid_);
    middle->addLayout(epsBox, 2);

    auto* boxGrid = new QGridLayout();
    boxGrid->addWidget(new QLabel("Integration step", this), 0, 0);
    stepEd_ = new QLineEdit(Shown("0.1"), this);
    stepEd_->setObjectName("StepEd");
    boxGrid->addWidget(stepEd_, 0, 1, 1, 5);
    const char* boxNames[3] = {"EditLx", "EditLy", "EditLz"};
    const char* boxLabels[3] = {"Initial volume 8 x", "x", "x"};
    const char* boxDefaults[3] = {"3", "3", "5"};
    for (int a = 0; a < 3; ++a) {
        box_[a] = new QLineEdit(boxDefaults[a], this);
        box_[a]->setObjectName(boxNames[a]);
        boxGrid->addWidget(new QLabel(boxLabels[a], this), 1, 2 * a);
        boxGrid->addWidget(box_[a], 1, 2 * a + 1);
    }
    auto* iniVBut = new QToolButton(this);
    iniVBut->setObjectName("IniVBut");
    iniVBut->setText("Calculate");
    connect(iniVBut, &QToolButton::clicked, this, [this] { IniVButClick(); });
    boxGrid->addWidget(iniVBut, 2, 5);
    boxGrid->addWidget(new QLabel("E =", this), 2, 0);
    editE_ = new QLineEdit(this);
    editE_->setObjectName("EditE");
    boxGrid->addWidget(editE_, 2, 1);
    boxGrid->addWidget(new QLabel("kT =", this), 2, 2);
    editT_ = new QLineEdit(this);
    editT_->setObjectName("EditT");
    boxGrid->addWidget(editT_, 2, 3);
    periodicBox_ = new QCheckBox("Periodical boundary condititions", this);
    periodicBox_->setObjectName("PeriodicBox");
    boxGrid->addWidget(periodicBox_, 3, 0, 1, 6);
    middle->addLayout(boxGrid, 3);
    layout->addLayout(middle);

    auto* groups = new QHBoxLayout();
    auto makeRadioGroup = [&](const char* name, const QString& caption, std::initializer_list<const char*> items,
                              QButtonGroup*& group) {
        auto* box = new QGroupBox(caption, this);
        box->setObjectName(name);
        auto* v = new QVBoxLayout(box);
        group = new QButtonGroup(box);
        int id = 0;
        for (const char* item : items) {
            auto* b = new QRadioButton(item, box);
            group->addButton(b, id++);
            v->addWidget(b);
        }
        group->button(0)->setChecked(true);
        groups->addWidget(box);
    };
    makeRadioGroup("EnsGrp", " Ensemble ",
                   {"Without interaction", "Microcanonical (NVE)", "Isokinetical (NVK)", "Canonical (NVT)"}, ensGrp_);
    makeRadioGroup("ReshGrp", " Initial lattice ", {"Cubic", "BCC", "FCC"}, reshGrp_);
    layout->addLayout(groups);

    label8_ = new QLabel(this);
    label8_->setObjectName("Label8");
    layout->addWidget(label8_);
    proBar1_ = new QProgressBar(this);
    proBar1_->setObjectName("ProBar1");
    proBar1_->setRange(0, 100000);
    proBar1_->setValue(0);
    layout->addWidget(proBar1_);
    proBar2_ = new QProgressBar(this);
    proBar2_->setObjectName("ProBar2");
    proBar2_->setRange(0, 250);
    proBar2_->setValue(0);
    layout->addWidget(proBar2_);

    chart_ = new TFChart(this);
    SetCaption();
}

TMaxF::~TMaxF() { WaitForBatch(); }

std::filesystem::path TMaxF::Folder() const
{
    return ParticleFilesFolder(std::filesystem::path(S(QDir::currentPath())), std::filesystem::path(ProgramDir()));
}

void TMaxF::SetCaption() { setWindowTitle(Q(ControlCaptionPrefix + dataFile_)); }

ParticleParams TMaxF::ControlParams() const
{
    ParticleParams p;
    for (int t = 0; t < 3; ++t) {
        p.Radius[t] = FileNumber(rad_[t]->text());
        p.Mass[t] = FileNumber(mass_[t]->text());
        p.N[t] = spin_[t]->value();
    }
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c <= r; ++c)
            p.Eps[r][c] = FileNumber(epsGrid_->item(r, c)->text());
    for (int a = 0; a < 3; ++a)
        p.Box[a] = FileNumber(box_[a]->text());
    p.Step = FileNumber(stepEd_->text());
    p.Ensemble = static_cast<TEnsemble>(std::max(0, ensGrp_->checkedId()));
    p.Lattice = static_cast<TLattice>(std::max(0, reshGrp_->checkedId()));
    p.SysE = FileNumber(editE_->text());
    p.SysT = FileNumber(editT_->text());
    p.Periodic = periodicBox_->isChecked();
    return p;
}

void TMaxF::SetControlParams(const ParticleParams& p)
{
    for (int t = 0; t < 3; ++t) {
        rad_[t]->setText(Shown(p.Radius[t]));
        mass_[t]->setText(Shown(p.Mass[t]));
        spin_[t]->setValue(p.N[t]);
    }
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            epsGrid_->item(r, c)->setText(c <= r ? Shown(p.Eps[r][c]) : QString());
    for (int a = 0; a < 3; ++a)
        box_[a]->setText(Shown(p.Box[a]));
    stepEd_->setText(Shown(p.Step));
    ensGrp_->button(int(p.Ensemble))->setChecked(true);
    reshGrp_->button(int(p.Lattice))->setChecked(true);
    editE_->setText(Shown(p.SysE));
    editT_->setText(Shown(p.SysT));
}

bool TMaxF::CheckNumberFields(const ParticleParams& p, std::string& error) const
{
    double v;
    for (int t = 0; t < 3; ++t) {
        const std::string k = std::to_string(t + 1);
        if (!ParseNumber(p.Radius[t], v)) {
            error = "R" + k + ": \"" + p.Radius[t] + "\" не є числом";
            return false;
        }
        if (!ParseNumber(p.Mass[t], v)) {
            error = "M" + k + ": \"" + p.Mass[t] + "\" не є числом";
            return false;
        }
    }
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c <= r; ++c)
            if (!p.Eps[r][c].empty() && !ParseNumber(p.Eps[r][c], v)) {
                error = "E" + std::to_string(c + 1) + std::to_string(r + 1) + ": \"" + p.Eps[r][c] +
                        "\" не є числом";
                return false;
            }
    if (!ParseNumber(p.Step, v)) {
        error = "StepH: \"" + p.Step + "\" не є числом";
        return false;
    }
    for (const std::string* s : {&p.SysE, &p.SysT})
        if (!s->empty() && !ParseNumber(*s, v)) {
            error = std::string(s == &p.SysE ? "SysE" : "SysT") + ": \"" + *s + "\" не є числом";
            return false;
        }
    return true;
}

bool TMaxF::LoadDataFile(const std::string& name)
{
    ParticleParams params = ControlParams();
    NameValueList lines;
    std::string error, note;
    if (!LoadParameterFile(Folder(), name, params, lines, &error, &note)) {
        ShowParticleMessage(this, windowTitle(), Q(error));
        return false;
    }
    if (!CheckNumberFields(params, error)) {
        ShowParticleMessage(this, windowTitle(), Q(name + ": " + error));
        return false;
    }
    dataList_ = std::move(lines);
    dataFile_ = name;
    SetControlParams(params);
    SetCaption();
    // Lines the file holds beyond its parameters are kept, but the user
    // learns that they were not read (a mistyped key would otherwise leave
    // its field at the default unnoticed).
    if (!note.empty())
        ShowParticleMessage(this, windowTitle(), Q(note));
    return true;
}

bool TMaxF::SaveDataFile(const std::string& name)
{
    std::string file = name;
    std::string error;
    NameValueList lines = dataList_;
    if (!SaveParameterFile(Folder(), file, ControlParams(), lines, &error)) {
        ShowParticleMessage(this, windowTitle(), Q(error));
        return false;
    }
    dataList_ = std::move(lines);
    dataFile_ = file;
    SetCaption();
    return true;
}

void TMaxF::FitEpsGridHeight()
{
    // As tall as its header and three rows in the font it shows: a shorter
    // screen shrinks the window's other parts, never the grid into a
    // scrolled one.
    epsGrid_->ensurePolished();
    epsGrid_->setFixedHeight(epsGrid_->horizontalHeader()->sizeHint().height() + epsGrid_->verticalHeader()->length() +
                             2 * epsGrid_->frameWidth());
}

void TMaxF::showEvent(QShowEvent* e)
{
    FitEpsGridHeight();
    QWidget::showEvent(e);
    if (!shownOnce_) {
        shownOnce_ = true;
        FormShow();
    }
}

void TMaxF::FormShow()
{
    std::string name, error;
    if (!ReadDataFileSetting(Folder(), name, &error)) {
        ShowParticleMessage(this, windowTitle(), Q(error));
        return;
    }
    if (name.empty()) {
        ShowParticleMessage(this, windowTitle(), "Файл DezOzevev.ini не називає файлу параметрів (DataFile=)");
        return;
    }
    LoadDataFile(name);
}

void TMaxF::closeEvent(QCloseEvent* e)
{
    if (batchThread_) {
        batchStop_->store(true);
        WaitForBatch();
    }
    if (!dataFile_.empty()) {
        std::string error;
        if (!WriteDataFileSetting(Folder(), dataFile_, &error))
            ShowParticleMessage(this, windowTitle(), Q(error));
    }
    shownOnce_ = false;
    e->accept();
}

namespace {

// A file chosen in a dialog must lie in the folder the program reads
// parameter files from; anything else would be read from another place
// than the one the user picked.
bool InFolder(const QString& file, const std::filesystem::path& folder)
{
    return QFileInfo(QFileInfo(file).absolutePath()).canonicalFilePath() ==
           QFileInfo(Q(folder.string())).canonicalFilePath();
}

} // namespace

void TMaxF::OpenButClick()
{
    const QString folder = Q(Folder().string());
    const QString file = QFileDialog::getOpenFileName(this, QString(), QDir(folder).filePath(Q(dataFile_)),
                                                      "Файли параметрів (*.dat);;Усі файли (*)");
    if (file.isEmpty())
        return;
    if (!InFolder(file, Folder())) {
        ShowParticleMessage(this, windowTitle(), "Файли параметрів читаються з теки " + folder +
                                                     "; виберіть файл у ній.");
        return;
    }
    LoadDataFile(S(QFileInfo(file).fileName()));
}

void TMaxF::SaveButClick()
{
    const QString folder = Q(Folder().string());
    const QString file = QFileDialog::getSaveFileName(this, QString(), QDir(folder).filePath(Q(dataFile_)),
                                                      "Файли параметрів (*.dat)");
    if (file.isEmpty())
        return;
    if (!InFolder(file, Folder())) {
        ShowParticleMessage(this, windowTitle(), "Файли параметрів зберігаються в теці " + folder +
                                                     "; виберіть ім'я в ній.");
        return;
    }
    SaveDataFile(S(QFileInfo(file).fileName()));
}

void TMaxF::StartButClick()
{
    const ParticleParams params = ControlParams();
    if (FormGL) {
        FormGL->setWindowTitle(windowTitle());
        FormGL->Restart(params);
        FormGL->show();
        FormGL->raise();
        FormGL->activateWindow();
        return;
    }
    auto model = std::make_unique<ParticleModel>();
    std::string error;
    if (!ReadModelParams(params, *model, &error)) {
        ShowParticleMessage(this, windowTitle(), Q(error));
        return;
    }
    auto* view = new TFormGL(std::move(model));
    view->setWindowTitle(windowTitle());
    PlaceBeside(*view);
    view->show();
}

void TMaxF::PlaceBeside(QWidget& view) const
{
    // Beside this window, so that the user sees the parameters the run was
    // started with and the run itself.
    if (!isVisible() || !screen())
        return;
    const QWindow* handle = windowHandle();
    const QMargins margins =
        handle && !handle->frameMargins().isNull() ? handle->frameMargins() : ferrolyt::AssumedFrame;
    const QRect frame = BesideWindow(frameGeometry(), view.size().grownBy(margins), screen()->availableGeometry());
    view.setGeometry(frame.marginsRemoved(margins));
}

void TMaxF::IniVButClick()
{
    std::string error;
    const std::string box = SmallestBox(ControlParams(), &error);
    if (box.empty()) {
        ShowParticleMessage(this, windowTitle(), Q(error));
        return;
    }
    for (QLineEdit* e : box_)
        e->setText(Shown(box));
}

void TMaxF::TDFloopButClick()
{
    if (batchThread_) {
        batchStop_->store(true);
        return;
    }
    if (dataFile_.empty()) {
        ShowParticleMessage(this, windowTitle(), "Спершу відкрийте або збережіть файл параметрів: таблицю названо за ним.");
        return;
    }
    auto model = std::make_shared<ParticleModel>();
    std::string error;
    if (!ReadModelParams(ControlParams(), *model, &error)) {
        ShowParticleMessage(this, windowTitle(), Q(error));
        return;
    }
    const QString caption = windowTitle();
    model->SetMessageSink([this, caption](const std::string&, const std::string& text) {
        ShowParticleMessage(this, caption, Q(text));
    });
    const std::filesystem::path table =
        std::filesystem::path(S(QDir::currentPath())) / ChangeExtension(dataFile_, ".tdf");
    auto stop = std::make_shared<std::atomic<bool>>(false);
    batchStop_ = stop;
    BatchPlan plan = plan_;
    QPointer<TMaxF> self(this);
    auto post = [self](auto fn) {
        QMetaObject::invokeMethod(
            qApp, [self, fn] { if (self) fn(*self); }, Qt::QueuedConnection);
    };
    BatchCallbacks callbacks;
    callbacks.Status = [post](const std::string& text) {
        post([text](TMaxF& w) { w.label8_->setText(ScreenText(text)); });
    };
    callbacks.FrameProgress = [post](std::uint32_t frame, std::uint32_t frames) {
        post([frame, frames](TMaxF& w) {
            w.proBar1_->setMaximum(int(frames));
            w.proBar1_->setValue(int(frame));
        });
    };
    callbacks.CompositionProgress = [post](int lines) {
        post([lines](TMaxF& w) { w.proBar2_->setValue(std::min(250, 10 * lines)); });
    };
    callbacks.ProcessMessages = [stop] { return stop->load(); };

    tdfLoopBut_->setText(BatchRunningText);
    batchThread_ = QThread::create([model, table, plan, callbacks, post] {
        const BatchResult result = RunBatch(*model, table, plan, callbacks);
        post([result](TMaxF& w) { w.BatchFinished(result); });
    });
    batchThread_->setObjectName("ParticleBatch");
    batchThread_->start();
}

void TMaxF::BatchFinished(const BatchResult& result)
{
    if (batchThread_) {
        batchThread_->wait();
        delete batchThread_;
        batchThread_ = nullptr;
    }
    tdfLoopBut_->setText(BatchIdleText);
    if (result.Outcome == BatchOutcome::Failed && !result.Message.empty())
        ShowParticleMessage(this, windowTitle(), Q(result.Message));
    emit BatchEnded();
}

void TMaxF::WaitForBatch()
{
    if (!batchThread_)
        return;
    batchThread_->wait();
    delete batchThread_;
    batchThread_ = nullptr;
    tdfLoopBut_->setText(BatchIdleText);
}

} // namespace ferrolyt::particles
