#include "FHeat.h"

#include "HeatBatch.h"
#include "HeatLog.h"
#include "ModalDialog.h"
#include "OptionControls.h"
#include "ResultDisplay.h"
#include "RunState.h"
#include "ScreenAxes.h"
#include "SeriesLegend.h"
#include "Settings.h"
#include "StudyScope.h"
#include "Utils.h"

#include <QAbstractAxis>
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScatterSeries>
#include <QStatusBar>
#include <QStyle>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <filesystem>
#include <cmath>
#include <limits>

using namespace ferrolyt;

namespace {

const QString WindowCaption = QStringLiteral("Моделювання процесу електродугової плавки");
const QStringList GridHeader = {"[C]", "[Mn]", "[Si]", "[S]", "[P]", "[Al]", "(Fe)", "(Mn)",
                                "(Si)", "(S)", "(P)", "(Al)", "(Mg)", "(Ca)", "{CO}"};
const std::array<const char*, 15> GridMasks = {"0.000", "0.00", "0.000", "0.000", "0.000", "0.000", "0.0", "0.00",
                                               "0.0",   "0.000", "0.000", "0.00", "0.00", "0.0", "0.0"};

// Calculated and measured composition series: title, factor, element.
struct TCompositionSeries {
    const char* Calculated;
    const char* Measured;
    double Factor;
};
const std::array<TCompositionSeries, 5> CompositionSeries = {{{"[C] розр., %", "[C] факт., %", 1},
                                                              {"[Mn] розр., %", "[Mn] факт., %", 1},
                                                              {"[Si] р.,% x10", "[Si] факт., %", 10},
                                                              {"[S] розр., %", "[S] факт., %", 1},
                                                              {"[P] р.,% x10", "[P] факт., %", 10}}};
const std::array<int, 5> CompositionGridColumn = {hgC, hgMn, hgSi, hgS, hgP};

QString Q(const std::string& s) { return QString::fromStdString(s); }
QString Mask(const char* mask, long double x) { return Q(FormatFloatMask(mask, x)); }
QString Int(long double x) { return std::isfinite(x) ? QString::number(static_cast<long long>(std::llround(x))) : QString(); }

} // namespace

TFHeat::TFHeat(QWidget* parent) : QMainWindow(parent)
{
    CreateWidgets();
}

TFHeat::~TFHeat()
{
    // A replay still on the stack ends after its current step.
    HeatRunning = false;
    heatResume_ = true;
}

void TFHeat::CreateWidgets()
{
    setWindowTitle(WindowCaption);
    setObjectName("FHeat");

    FileM = menuBar()->addMenu("Файл");
    OpenM = FileM->addAction("Відкрити");
    OptionsM = menuBar()->addAction("Опції");
    connect(OptionsM, &QAction::triggered, this, [this] { OptionsMClick(); });

    auto* bar = addToolBar("HeatBar");
    bar->setMovable(false);
    auto button = [&](const char* name, QStyle::StandardPixmap icon, const QString& hint) {
        auto* b = new QToolButton(this);
        b->setObjectName(name);
        b->setIcon(style()->standardIcon(icon));
        b->setToolTip(hint);
        bar->addWidget(b);
        return b;
    };
    OpenBut = button("OpenBut", QStyle::SP_DialogOpenButton, "Відкрити");
    RunBut = button("RunBut", QStyle::SP_MediaPlay, "Начать плавку");
    RunAllBut = button("RunAllBut", QStyle::SP_MediaSeekForward, "Всі плавки");
    StopBut = button("StopBut", QStyle::SP_MediaStop, "Стоп");
    StopBut->setEnabled(false);
    CalcModePop = new QMenu(this);
    N1 = CalcModePop->addAction("Порционные расходы");
    N2 = CalcModePop->addAction("Накопленные расходы");
    RunBut->setMenu(CalcModePop);
    RunBut->setPopupMode(QToolButton::MenuButtonPopup);
    connect(CalcModePop, &QMenu::aboutToShow, this, [this] { CalcModePopPopup(); });
    connect(N1, &QAction::triggered, this, [this] { RunButClick(0); });
    connect(N2, &QAction::triggered, this, [this] { RunButClick(1); });
    connect(RunBut, &QToolButton::clicked, this, [this] { RunButClick(RunButTag); });
    connect(StopBut, &QToolButton::clicked, this, [this] { StopButClick(); });
    connect(RunAllBut, &QToolButton::clicked, this, [this] { RunAllButClick(); });
    connect(OpenBut, &QToolButton::clicked, this, [this] { OpenButClick(); });
    HeatBox = new QComboBox(this);
    HeatBox->setObjectName("HeatBox");
    HeatBox->setMinimumContentsLength(10);
    bar->addWidget(HeatBox);
    connect(HeatBox, &QComboBox::activated, this, [this](int) { HeatBoxClick(); });

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    setCentralWidget(central);

    // Panel1: the state after the last step.
    auto* panel = new QWidget(central);
    auto* panelLayout = new QHBoxLayout(panel);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    auto edit = [&](QLayout* into, const QString& label, const char* name) {
        auto* l = new QLabel(label);
        auto* e = new QLineEdit;
        e->setObjectName(name);
        e->setReadOnly(true);
        e->setMaximumWidth(90);
        into->addWidget(l);
        into->addWidget(e);
        return e;
    };
    MetalEd = edit(panelLayout, "Метал, т ", "MetalEd");
    SlagEd = edit(panelLayout, "Шлак, т ", "SlagEd");
    GasEd = edit(panelLayout, "Газ, т ", "GasEd");
    TempEd = edit(panelLayout, "Темп.,°C ", "TempEd");
    SolidLomEd = edit(panelLayout, "Тв.бр.,т ", "SolidLomEd");
    BalanceEEd = edit(panelLayout, "E, МДж ", "BalanceEEd");
    panelLayout->addStretch();
    layout->addWidget(panel);

    SGrid = new QTableWidget(1, 15, central);
    SGrid->setObjectName("SGrid");
    SGrid->setHorizontalHeaderLabels(GridHeader);
    SGrid->verticalHeader()->hide();
    SGrid->setSelectionMode(QAbstractItemView::NoSelection);
    SGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    SGrid->setFocusPolicy(Qt::NoFocus);
    SGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    SGrid->setMaximumHeight(SGrid->horizontalHeader()->sizeHint().height() + SGrid->verticalHeader()->defaultSectionSize() + 6);
    for (int c = 0; c < 15; ++c) {
        auto* item = new QTableWidgetItem;
        item->setTextAlignment(Qt::AlignHCenter | Qt::AlignTop);
        // Metal, slag and gas columns are told apart by their colour.
        item->setBackground(c == 14 ? QColor(0xEE, 0xEE, 0xFF) : c >= 6 ? QColor(0xFF, 0xFF, 0xCC) : QColor(0xF8, 0xF8, 0xF8));
        SGrid->setItem(0, c, item);
    }
    layout->addWidget(SGrid);

    auto chartBox = [&](QChartView*& view, const char* name, std::initializer_list<std::pair<const char*, QLineEdit**>> edits,
                        std::initializer_list<const char*> labels) {
        auto* box = new QWidget(central);
        auto* boxLayout = new QHBoxLayout(box);
        boxLayout->setContentsMargins(0, 0, 0, 0);
        view = new QChartView(new QChart, box);
        view->setObjectName(name);
        view->setMinimumHeight(160);
        boxLayout->addWidget(view, 1);
        auto* side = new QVBoxLayout;
        auto label = labels.begin();
        for (const auto& [editName, target] : edits) {
            *target = edit(side, *label++, editName);
        }
        side->addStretch();
        boxLayout->addLayout(side);
        layout->addWidget(box, 1);
    };
    chartBox(Chart3, "Chart3", {{"ErrorChEd", &ErrorChEd}, {"ErrorChAveEd", &ErrorChAveEd}}, {"Похиб. % ", "Сер.пох.% "});
    chartBox(Chart1, "Chart1", {{"ErrorTEd", &ErrorTEd}, {"ErrorTAveEd", &ErrorTAveEd}}, {"Похиб. T ", "Сер.пох.T "});
    chartBox(Chart2, "Chart2", {{"SumEEd", &SumEEd}, {"SumE_MEd", &SumE_MEd}}, {"кВтг ", "кВтг/т "});

    for (const auto& s : CompositionSeries)
        AddSeries(Chart3->chart(), s.Calculated, false);
    for (const auto& s : CompositionSeries)
        AddSeries(Chart3->chart(), s.Measured, true);
    AddSeries(Chart3->chart(), "Qп, МДж х10", false, false);
    for (const char* t : {"Темп-1000,°С", "Метал, т х10", "Тв.бр., т х10", "Шлак, т х100"})
        AddSeries(Chart1->chart(), t, false);
    AddSeries(Chart1->chart(), "Темп.факт.,°С", true);
    AddSeries(Chart1->chart(), "Калібровка", false, false);
    for (const char* t : {"Qе, МДж", "Qв, МДж х10", "Газ, м3 х100", "O2, м3 х100", "Вапно, кг", "Брухт, т х10"})
        AddSeries(Chart2->chart(), t, false);
    for (QChartView* v : {Chart1, Chart2, Chart3}) {
        auto* x = new QValueAxis;
        auto* y = new QValueAxis;
        v->chart()->addAxis(x, Qt::AlignBottom);
        v->chart()->addAxis(y, Qt::AlignLeft);
        for (QAbstractSeries* s : v->chart()->series()) {
            s->attachAxis(x);
            s->attachAxis(y);
        }
        UseScreenAxes(*v->chart());
        // The charts are low: the legend takes a second column rather than
        // dropping a series.
        auto* box = static_cast<QHBoxLayout*>(v->parentWidget()->layout());
        box->insertWidget(1, new TSeriesLegend(*v->chart(), v->parentWidget()));
    }

    for (auto& p : SBarPanels) {
        p = new QLabel(this);
        statusBar()->addWidget(p, 1);
    }
    resize(900, 760);
}

QXYSeries* TFHeat::AddSeries(QChart* chart, const QString& title, bool points, bool visible)
{
    QXYSeries* s = points ? static_cast<QXYSeries*>(new QScatterSeries) : static_cast<QXYSeries*>(new QLineSeries);
    s->setName(title);
    if (auto* scatter = qobject_cast<QScatterSeries*>(s))
        scatter->setMarkerSize(7);
    chart->addSeries(s);
    s->setVisible(visible);
    series_[title] = s;
    return s;
}

QXYSeries* TFHeat::Series(const QString& title) const
{
    const auto it = series_.find(title);
    return it == series_.end() ? nullptr : it->second;
}

void TFHeat::Rescale()
{
    // The axes span every series, the invisible scaling ones included.
    for (QChartView* v : {Chart1, Chart2, Chart3}) {
        double x0 = 0, x1 = 1, y0 = 0, y1 = 1;
        bool any = false;
        for (QAbstractSeries* a : v->chart()->series()) {
            const auto* s = static_cast<QXYSeries*>(a);
            for (const QPointF& p : s->points()) {
                if (!std::isfinite(p.x()) || !std::isfinite(p.y()))
                    continue;
                if (!any) {
                    x0 = x1 = p.x();
                    y0 = y1 = p.y();
                    any = true;
                }
                x0 = std::min(x0, p.x());
                x1 = std::max(x1, p.x());
                y0 = std::min(y0, p.y());
                y1 = std::max(y1, p.y());
            }
        }
        if (x1 <= x0)
            x1 = x0 + 1;
        if (y1 <= y0)
            y1 = y0 + 1;
        const auto axes = v->chart()->axes();
        for (QAbstractAxis* a : axes) {
            auto& axis = static_cast<QValueAxis&>(*a);
            if (axis.orientation() == Qt::Horizontal)
                SetScreenRange(axis, x0, x1);
            else
                SetScreenRange(axis, y0, y1 + 0.05 * (y1 - y0));
        }
    }
}

void TFHeat::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    FormShow();
}

void TFHeat::closeEvent(QCloseEvent* event)
{
    StopButClick();
    QMainWindow::closeEvent(event);
}

void TFHeat::FormShow()
{
    if (replaying_ || HeatRunning)
        return;
    HeatBox->clear();
    QStringList names;
    for (const QString& f : QDir::current().entryList(QDir::Files, QDir::Name))
        if (f.endsWith(".HEA", Qt::CaseInsensitive) && f.size() > 4)
            names << f.left(f.size() - 4);
    HeatBox->addItems(names);
    RunButTag = Settings.ConsumptionMode;
    // The box shows its first log as the chosen one; it is loaded, so that
    // the run button has a log to replay.
    if (HeatFileName.empty() && HeatBox->count() > 0)
        LoadHeatFile((HeatBox->currentText() + ".HEA").toStdString());
    ResetCharts();
}

bool TFHeat::FurnaceConstantsSet(bool tell) const
{
    const std::string zero = ZeroFurnaceConstant(Settings);
    if (!zero.empty() && tell)
        ShowWarning("Моделювання плавки неможливе: опція \"" + zero +
                    "\" дорівнює 0. Задайте її в меню \"Опції\".");
    return zero.empty();
}

void TFHeat::SetRunButState(int image, const QString& hint)
{
    RunButImage = image;
    RunBut->setIcon(style()->standardIcon(image == 11 ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    RunBut->setToolTip(hint);
}

void TFHeat::SetCommandsEnabled(bool enabled)
{
    // Loading another log or changing the settings under a running replay
    // would change the data it is walking through.
    OpenBut->setEnabled(enabled);
    OpenM->setEnabled(enabled);
    OptionsM->setEnabled(enabled);
    HeatBox->setEnabled(enabled);
    RunAllBut->setEnabled(enabled && !inBatch_);
    N1->setEnabled(enabled);
    N2->setEnabled(enabled);
}

void TFHeat::ClearCalculatedSeries()
{
    for (const char* t : {"Темп-1000,°С", "Метал, т х10", "Тв.бр., т х10", "Шлак, т х100"})
        series_[t]->clear();
    for (const auto& s : CompositionSeries)
        series_[s.Calculated]->clear();
}

void TFHeat::ResetCharts()
{
    if (replaying_)
        return;
    for (auto& [title, s] : series_)
        s->clear();
    setWindowTitle(WindowCaption + " " + Q(HeatFileName));
    if (!HeatFileName.empty()) {
        const double lastTime = HeatLogCount > 0 ? HeatLog[HeatLogCount].Time : 0;
        series_["Калібровка"]->append(0, 0);
        series_["Калібровка"]->append(lastTime, 1350);
        series_["Qп, МДж х10"]->append(0, 0);
        series_["Qп, МДж х10"]->append(lastTime, 0.2);
        for (int r = 1; r <= HeatLogCount; ++r) {
            const THeatLogRecord& row = HeatLog[r];
            series_["Qе, МДж"]->append(row.Time, row.ElectricEnergy);
            series_["Qв, МДж х10"]->append(row.Time, 10.0 * row.LossEnergy);
            series_["Газ, м3 х100"]->append(row.Time, 100.0 * row.Gas);
            series_["O2, м3 х100"]->append(row.Time, 100.0 * row.Oxygen);
            if (ScrapMeanColumn > 1)
                series_["Вапно, кг"]->append(row.Time, row.Values[1]);
            series_["Брухт, т х10"]->append(row.Time, 0.01 * row.Values[ScrapMeanColumn]);
        }
        for (int m = 1; m <= HeatMeasurementCount; ++m)
            series_["Темп.факт.,°С"]->append(HeatMeasurements[m].Time, HeatMeasurements[m].Temperature - 1000.0);
        const std::array<int, 5> elements = {HeatKeyElements.C, HeatKeyElements.Mn, HeatKeyElements.Si,
                                             HeatKeyElements.S, HeatKeyElements.P};
        for (int n = 1; n <= HeatSampleCount; ++n)
            for (std::size_t k = 0; k < elements.size(); ++k)
                if (elements[k] >= 0)
                    series_[CompositionSeries[k].Measured]->append(
                        HeatSamples[n].Time,
                        CompositionSeries[k].Factor * HeatSamples[n].Percent[static_cast<std::size_t>(elements[k])]);
        for (QLineEdit* e : {ErrorChEd, ErrorChAveEd, ErrorTEd, ErrorTAveEd, SumEEd, SumE_MEd})
            e->clear();
        SBarPanels[0]->setText(Q(std::string(HeatAlgGroupCaption) + ": " + ChoiceItem(HeatAlgItems, Settings.HeatAlg)));
        SBarPanels[1]->setText(
            Q(std::string(ConsumptionGroupCaption) + ": " + ChoiceItem(ConsumptionItems, Settings.ConsumptionMode)));
        SBarPanels[2]->setText(
            Q(std::string(FinalTempGroupCaption) + ": " + ChoiceItem(FinalTempItems, Settings.FinalTempMode)));
        HeatBox->setCurrentIndex(HeatBox->findText(Q(HeatFileName), Qt::MatchFixedString));
        StopButClick();
        // The preview: the set-up solved and shown, then the stop test ends
        // it. Only a replay itself leaves its state to the main window.
        const TStudyScope scope;
        try {
            if (FurnaceConstantsSet(false))
                RunHeat(RunButTag, [this](const THeatStepInfo& info) { ShowStep(info); });
        } catch (...) {
        }
    }
    Rescale();
}

void TFHeat::OpenButClick()
{
    if (replaying_)
        return;
    QString name;
    if (AskHeatFileName) {
        name = AskHeatFileName();
    } else {
        QFileDialog dialog(this, "Відкрити", QDir::currentPath(), "Шаблони плавок (*.HEA *.hea)");
        dialog.setObjectName("OpenHeatDialog");
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setFileMode(QFileDialog::ExistingFile);
        if (ExecModal(dialog) == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            name = dialog.selectedFiles().front();
    }
    if (name.isEmpty())
        return;
    LoadHeatFile(name.toStdString());
    ResetCharts();
}

void TFHeat::HeatBoxClick()
{
    if (replaying_ || HeatBox->currentText().isEmpty())
        return;
    LoadHeatFile((HeatBox->currentText() + ".HEA").toStdString());
    Chart1->update();
    ResetCharts();
}

void TFHeat::ShowStep(const THeatStepInfo& s)
{
    const double x = s.Time;
    MetalEd->setText(Mask("0.0", s.MetalMass));
    series_["Метал, т х10"]->append(x, static_cast<double>(10 * s.MetalMass));
    SlagEd->setText(Mask("0.0", s.SlagMass) + "+" + Mask("0.#", s.SlagRunOffMean));
    series_["Шлак, т х100"]->append(x, static_cast<double>(100 * s.SlagMass));
    GasEd->setText(Mask("0.###", s.GasMass));
    const long double t = std::round(s.TemperatureC);
    TempEd->setText(Int(t));
    series_["Темп-1000,°С"]->append(x, static_cast<double>(t - 1000));
    SolidLomEd->setText(Mask("0.#", s.SolidScrap));
    series_["Тв.бр., т х10"]->append(x, static_cast<double>(10 * s.SolidScrap));
    BalanceEEd->setText(Int(s.BalanceE));
    SumEEd->setText(Int(s.SumE));
    SumE_MEd->setText(Int(s.SumEPerTonne));
    for (int c = 0; c < 15; ++c)
        SGrid->item(0, c)->setText(Mask(GridMasks[static_cast<std::size_t>(c)], s.Grid[static_cast<std::size_t>(c)]));
    for (std::size_t k = 0; k < CompositionSeries.size(); ++k) {
        const long double v = s.Grid[static_cast<std::size_t>(CompositionGridColumn[k])];
        if (std::isfinite(v))
            series_[CompositionSeries[k].Calculated]->append(x, static_cast<double>(CompositionSeries[k].Factor * v));
    }
    if (s.HasTempError) {
        ErrorTEd->setText(Q(FormatGeneral(s.TempError, 6, 0)));
        ErrorTAveEd->setText(Q(FormatGeneral(s.TempErrorAve, 6, 0)));
    }
    if (s.HasSampleError) {
        ErrorChEd->setText(Mask("0.000", s.SampleError));
        ErrorChAveEd->setText(Mask("0.000", s.SampleErrorAve));
    }
    if (replaying_) {
        Rescale();
        // Pending input runs here: the pause, stop and close commands.
        QCoreApplication::processEvents();
        WaitWhilePaused();
    }
}

void TFHeat::WaitWhilePaused()
{
    if (paused_ && !heatResume_ && HeatRunning)
        replayCursor_.reset();
    while (paused_ && !heatResume_ && HeatRunning)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    if (replaying_ && !replayCursor_)
        replayCursor_.emplace();
    if (paused_) {
        paused_ = false;
        heatResume_ = false;
        if (HeatRunning)
            SetRunButState(11, "Приостановить");
    }
}

void TFHeat::RunButClick(int tag)
{
    if (!replaying_) {
        if (HeatFileName.empty() || !FurnaceConstantsSet(true))
            return;
        SetRunButState(11, "Приостановить");
        heatResume_ = false;
        paused_ = false;
        HeatRunning = true;
        StopBut->setEnabled(true);
        ClearCalculatedSeries();
        replaying_ = true;
        SetCommandsEnabled(false);
        THeatRunResult result = THeatRunResult::Refused;
        replayCursor_.emplace();
        try {
            result = RunHeat(tag, [this](const THeatStepInfo& info) { ShowStep(info); });
        } catch (const std::exception& e) {
            replayCursor_.reset();
            ShowWarning(e.what());
        }
        replayCursor_.reset();
        replaying_ = false;
        lastRun_ = result;
        SetCommandsEnabled(true);
        StopButClick();
        if (result != THeatRunResult::Refused && ShowForwardProblem)
            ShowForwardProblem();
        Rescale();
        return;
    }
    if (!paused_) {
        SetRunButState(10, "Продолжить");
        heatResume_ = false;
        paused_ = true;
    } else {
        heatResume_ = true;
    }
}

void TFHeat::StopButClick()
{
    heatResume_ = true;
    HeatRunning = false;
    StopBut->setEnabled(false);
    SetRunButState(10, "Начать плавку");
}

void TFHeat::CalcModePopPopup()
{
    for (QAction* a : {N1, N2}) {
        QFont f = a->font();
        f.setBold((a == N1 ? 0 : 1) == Settings.ConsumptionMode);
        a->setFont(f);
    }
}

void TFHeat::OptionsMClick()
{
    if (replaying_ || !OpenOptions)
        return;
    const bool accepted = OpenOptions(2);
    // The dialog belongs to the main window, which comes up with it; the
    // user came from here.
    raise();
    activateWindow();
    if (accepted) {
        RunButTag = Settings.ConsumptionMode;
        ResetCharts();
    }
}

void TFHeat::RunAllButClick()
{
    if (replaying_ || inBatch_ || !FurnaceConstantsSet(true))
        return;
    const int64_t start = PerfCounter();
    const std::filesystem::path folder = std::filesystem::current_path();
    int number = 0;
    std::string error;
    if (!NextHeatReportNumber(folder, number, &error)) {
        ShowWarning(error);
        return;
    }
    inBatch_ = true;
    RunAllBut->setEnabled(false);
    std::vector<THeatBatchEntry> entries;
    bool stopped = false;
    QStringList logs;
    for (int i = 0; i < HeatBox->count(); ++i)
        logs << HeatBox->itemText(i);
    for (const QString& log : logs) {
        const bool loaded = LoadHeatFile((log + ".HEA").toStdString());
        ResetCharts();
        if (!loaded) {
            THeatBatchEntry e = CurrentHeatBatchEntry(false);
            e.Name = Utf8Left(log.toStdString(), HeatFileNameLength);
            entries.push_back(e);
            continue;
        }
        RunButClick(RunButTag);
        if (lastRun_ == THeatRunResult::Stopped) {
            // A stop ends the whole batch, without a report.
            stopped = true;
            break;
        }
        THeatBatchEntry e = CurrentHeatBatchEntry(lastRun_ == THeatRunResult::Completed);
        e.Name = HeatFileName;
        entries.push_back(e);
    }
    inBatch_ = false;
    RunAllBut->setEnabled(true);
    HeatRunning = false;
    if (stopped)
        return;
    const long double seconds =
        static_cast<long double>(PerfCounter() - start) / static_cast<long double>(std::max<int64_t>(1, PerfFrequency));
    if (!WriteHeatBatchReport(folder, number, HeatBatchReportLines(entries, seconds), &error)) {
        ShowWarning(error);
        return;
    }
    lastReport_ = QString::number(number) + ".RES";
}
