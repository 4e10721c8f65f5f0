#include "KinF.h"

#include "ChartImage.h"

#include "Host.h"
#include "ResultDisplay.h"
#include "RunState.h"
#include "ScreenAxes.h"
#include "StudyScope.h"
#include "TaskList.h"
#include "ThSys.h"
#include "Utils.h"

#include <QAction>
#include <QActionGroup>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineSeries>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>
#include <QValueAxis>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegendMarker>

#include <algorithm>
#include <array>
#include <cstdio>

using namespace ferrolyt;

namespace {

constexpr int FrameSeries = MaxElements; // index of the white frame line
constexpr int RowTotal = 11, RowTemperature = 12;

QString Fmt3(double v)
{
    // "#.###": up to three decimals, no leading zero.
    QString s = QString::number(v, 'f', 3);
    while (s.contains('.') && (s.endsWith('0') || s.endsWith('.')))
        s.chop(1);
    if (s.startsWith("0.") )
        s.remove(0, 1);
    else if (s.startsWith("-0."))
        s.remove(1, 1);
    if (s == "0" || s == "-0")
        s.clear();
    return QString::fromStdString(WithDisplaySeparator(s.toStdString()));
}

} // namespace

TKinF::TKinF(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName("KinF");
    setWindowTitle(QStringLiteral("Kinetics of moving to equilibrium"));
    resize(760, 520);

    chart_ = new QChart;
    chart_->legend()->setAlignment(Qt::AlignRight);
    axisX_ = new QValueAxis;
    axisY_ = new QValueAxis;
    axisX_->setTitleText(QStringLiteral("Time"));
    chart_->addAxis(axisX_, Qt::AlignBottom);
    chart_->addAxis(axisY_, Qt::AlignLeft);
    UseScreenAxes(*chart_);
    // The fraction axis keeps its tenths.
    axisY_->setTickType(QValueAxis::TicksFixed);
    axisY_->setRange(0, 1);
    axisY_->setTickCount(11);
    axisY_->setLabelFormat(QStringLiteral("%.1f"));
    for (std::size_t k = 0; k < KinSeries.size(); ++k) {
        auto* s = new QLineSeries;
        QPen pen = s->pen();
        pen.setWidth(2);
        s->setPen(pen);
        chart_->addSeries(s);
        s->attachAxis(axisX_);
        s->attachAxis(axisY_);
        KinSeries[k] = s;
    }
    KinChart = new QChartView(chart_);
    KinChart->setObjectName("KinChart");
    KinChart->setRenderHint(QPainter::Antialiasing);
    KinChart->viewport()->installEventFilter(this);

    KinGrid = new QTableWidget(13, 2);
    KinGrid->setObjectName("KinGrid");
    KinGrid->horizontalHeader()->hide();
    KinGrid->verticalHeader()->hide();
    KinGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    KinGrid->setColumnWidth(0, 40);
    KinGrid->setColumnWidth(1, 70);
    KinGrid->setFixedWidth(120);

    auto* phaseBox = new QGroupBox;
    phaseBox->setObjectName("PhaseGrp");
    auto* phaseLayout = new QVBoxLayout(phaseBox);
    phaseGroup_ = new QButtonGroup(this);
    const char* const phaseNames[3] = {"Met", "Slg", "Gas"};
    for (int p = 0; p < 3; ++p) {
        PhaseGrp[static_cast<std::size_t>(p)] = new QRadioButton(QString::fromLatin1(phaseNames[p]));
        phaseGroup_->addButton(PhaseGrp[static_cast<std::size_t>(p)], p);
        phaseLayout->addWidget(PhaseGrp[static_cast<std::size_t>(p)]);
    }
    PhaseGrp[0]->setChecked(true);
    connect(phaseGroup_, &QButtonGroup::idClicked, this, [this](int id) { PhaseGrpClick(id); });

    StopContA = new QAction(QStringLiteral("Stop"), this);
    StopContA->setObjectName("StopContA");
    connect(StopContA, &QAction::triggered, this, [this] { StopButClick(); });
    stopBut_ = new QPushButton(StopContA->text());
    stopBut_->setObjectName("StopBut");
    connect(stopBut_, &QPushButton::clicked, StopContA, &QAction::trigger);
    connect(StopContA, &QAction::changed, this, [this] { stopBut_->setText(StopContA->text()); });

    PopupKinM = new QMenu(this);
    PopupKinM->setObjectName("PopupKinM");
    MetM = PopupKinM->addAction(QStringLiteral("Metal"));
    SlgM = PopupKinM->addAction(QStringLiteral("Slag"));
    GasM = PopupKinM->addAction(QStringLiteral("Gas"));
    auto* phaseMenuGroup = new QActionGroup(this);
    for (int p = 0; p < 3; ++p) {
        QAction* a = p == 0 ? MetM : (p == 1 ? SlgM : GasM);
        a->setCheckable(true);
        a->setData(p); // the item's tag
        phaseMenuGroup->addAction(a);
        connect(a, &QAction::triggered, this, [this, p] { PhaseGrpClick(p); });
    }
    MetM->setChecked(true);
    PopupKinM->addSeparator();
    StopKinM = StopContA;
    PopupKinM->addAction(StopKinM);
    SaveImgM = PopupKinM->addAction(QStringLiteral("Save image to file..."));
    SaveImgM->setObjectName("SaveImgM");
    connect(SaveImgM, &QAction::triggered, this, [this] { SaveImgMClick(); });
    PopupOnContextMenu(KinChart, PopupKinM);

    auto* side = new QVBoxLayout;
    side->addWidget(KinGrid, 1);
    side->addWidget(phaseBox);
    side->addWidget(stopBut_);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(KinChart, 1);
    layout->addLayout(side);

    timer_ = new QTimer(this);
    timer_->setInterval(0);
    connect(timer_, &QTimer::timeout, this, [this] { KinStep(); });
}

TKinF::~TKinF() = default;

void TKinF::KineMClick(const std::function<void()>& melt)
{
    if (CalcBusy) {
        AskStopCalculation();
        return;
    }
    if (KinRunning) {
        show();
        raise();
        return;
    }
    KinRunning = true;
    startCounter_ = PerfCounter();
    for (int i = 0; i <= SystemElemLast && i < RowTotal; ++i)
        KinGrid->setItem(i, 0, new QTableWidgetItem(QString::fromStdString(ThSystems[0]->El(i).Symbol)));
    KinGrid->setItem(RowTotal, 0, new QTableWidgetItem(QStringLiteral("M")));
    KinGrid->setItem(RowTemperature, 0, new QTableWidgetItem(QStringLiteral("T")));
    if (melt)
        melt();

    // The run moves a copy of the melted heat: the main window goes on
    // showing the melt, and the start's solve leaves its tables alone.
    kin_.reset();
    kinSystem_ = std::make_unique<TThSys>();
    kinSystem_->CopyWhole(*ThSystems[0]);
    TThSys& sys = *kinSystem_;
    kin_ = std::make_unique<TKinetics>(sys);
    kin_->RecordTarget();
    {
        const TStudyScope scope;
        kin_->SetUpStart(TaskList.CurrentTask());
    }

    KinPauseRequested = KinContinue = KinRedrawRequested = false;
    paused_ = false;
    // Element colours by key element; the other elements take colours of
    // their own in turn, none of them a key element's, black or white.
    const std::array<std::pair<TKeyElement, QColor>, 10> colours{{
        {keyFe, QColor(128, 128, 128)},
        {keyO, QColor(0, 0, 221)},
        {keyC, QColor(Qt::black)},
        {keySi, QColor(192, 192, 192)},
        {keyP, QColor(255, 0, 0)},
        {keyMn, QColor(128, 0, 128)},
        {keyS, QColor(255, 187, 0)},
        {keyCa, QColor(0, 255, 255)},
        {keyMg, QColor(255, 0, 255)},
        {keyAl, QColor(0, 0, 128)},
    }};
    const std::array<QColor, 12> others{QColor(0, 160, 0),   QColor(128, 128, 0), QColor(0, 128, 128),
                                       QColor(128, 0, 0),   QColor(0, 96, 255),  QColor(255, 120, 0),
                                       QColor(96, 64, 0),   QColor(255, 0, 128), QColor(0, 200, 160),
                                       QColor(160, 96, 255), QColor(96, 96, 96), QColor(200, 160, 0)};
    std::size_t nextOther = 0;
    for (int k = 0; k < static_cast<int>(KinSeries.size()); ++k) {
        QLineSeries* s = KinSeries[static_cast<std::size_t>(k)];
        s->clear();
        s->setVisible(k <= SystemElemLast || k == FrameSeries);
        const auto key = std::find_if(colours.begin(), colours.end(),
                                      [&](const auto& c) { return sys.Elems->Key(c.first) == k; });
        if (k == FrameSeries)
            s->setColor(Qt::white);
        else if (key != colours.end())
            s->setColor(key->second);
        else
            s->setColor(others[nextOther++ % others.size()]);
    }
    const auto markers = chart_->legend()->markers(KinSeries[FrameSeries]);
    for (auto* m : markers)
        m->setVisible(false);
    kin_->PreparePhases();
    KinSeriesTitles();
    show();
    timer_->start();
}

void TKinF::KinStep()
{
    if (!kin_ || !KinRunning)
        return;
    if (!isVisible()) {
        EndRun();
        return;
    }
    kin_->Step();
    // A phase chosen while the run goes is drawn with the next tenth step.
    if (kin_->StepCount() % 10 == 0)
        KinRedraw();
    if (KinPauseRequested || kin_->PauseState == 1)
        Pause();
}

void TKinF::Pause()
{
    timer_->stop();
    paused_ = true;
    StopContA->setText(QStringLiteral("Continue"));
    KinContinue = false;
    KinPauseRequested = false;
    kin_->PauseState = 2;
    KinRedraw();
}

void TKinF::Resume()
{
    paused_ = false;
    StopContA->setText(QStringLiteral("Stop"));
    if (KinRunning)
        timer_->start();
}

void TKinF::StopButClick()
{
    if (StopContA->text() == QStringLiteral("Stop")) {
        KinPauseRequested = true;
    } else {
        KinContinue = true;
        if (paused_)
            Resume();
    }
}

void TKinF::PhaseGrpClick(int phase)
{
    KinPhase = std::clamp(phase, 0, 2);
    PhaseGrp[static_cast<std::size_t>(KinPhase)]->setChecked(true);
    (KinPhase == 0 ? MetM : (KinPhase == 1 ? SlgM : GasM))->setChecked(true);
    KinRedrawRequested = true;
    // While paused the new phase is drawn at once; a running loop draws it
    // with its next tenth step.
    if (paused_ && kin_)
        KinRedraw();
}

void TKinF::KinSeriesTitles()
{
    for (int k = 0; k <= SystemElemLast && k < MaxElements; ++k)
        KinSeries[static_cast<std::size_t>(k)]->setName(QString::fromStdString(kin_->SeriesTitle(KinPhase, k)));
    KinRedrawRequested = false;
}

void TKinF::KinRedraw()
{
    if (!kin_ || kin_->SampleCount() == 0)
        return;
    KinSeriesTitles();
    for (int i = 0; i <= SystemElemLast && i < MaxElements; ++i) {
        QLineSeries* s = KinSeries[static_cast<std::size_t>(i)];
        const TKinCurve curve = kin_->Curve(KinPhase, i);
        if (i < RowTotal)
            KinGrid->setItem(i, 1, new QTableWidgetItem(Fmt3(curve.Latest)));
        QList<QPointF> points;
        points.reserve(static_cast<qsizetype>(curve.Points.size()));
        for (const auto& p : curve.Points)
            points.append(QPointF(p[0], p[1]));
        s->replace(points);
    }
    const TKinRow& last = kin_->Row(kin_->SampleCount() - 1);
    KinGrid->setItem(RowTotal, 1, new QTableWidgetItem(Fmt3(last[static_cast<std::size_t>(2 + KinPhase)])));
    KinGrid->setItem(RowTemperature, 1, new QTableWidgetItem(QString::number(static_cast<double>(last[1]), 'f', 0)));

    const double plotHeight = chart_->plotArea().height();
    if (kin_->PauseState == 0 && kin_->Settled(KinPhase, plotHeight))
        kin_->PauseState = 1;

    const double tLast = last[0];
    KinSeries[FrameSeries]->replace(
        QList<QPointF>{{0, 0}, {tLast, 0}, {tLast, 1}, {1.017 * tLast, 1}});
    SetScreenRange(*axisX_, 0, tLast > 0 ? 1.017 * tLast : 1);
    axisY_->setRange(0, 1);
}

void TKinF::EndRun()
{
    timer_->stop();
    paused_ = false;
    StopContA->setText(QStringLiteral("Stop"));
    if (!KinRunning)
        return;
    KinRunning = false;
    const double seconds =
        static_cast<double>(PerfCounter() - startCounter_) / static_cast<double>(PerfFrequency > 0 ? PerfFrequency : 1);
    char text[64];
    std::snprintf(text, sizeof text, " Время счета: %d,%03d c", static_cast<int>(seconds),
                  static_cast<int>((seconds - static_cast<int>(seconds)) * 1000));
    CurrentHost().SetStatusText(1, text);
}

void TKinF::closeEvent(QCloseEvent* event)
{
    KinContinue = true;
    QWidget::closeEvent(event);
    EndRun();
}

void TKinF::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    EndRun();
}

bool TKinF::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == KinChart->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        StopContA->trigger();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TKinF::SaveImgMClick()
{
    const QString name = AskImageFileName(this, QStringLiteral("Enter the filename"), QStringLiteral("Kinetics.bmp"));
    if (name.isEmpty())
        return;
    SaveImage(name);
}

bool TKinF::SaveImage(const QString& fileName)
{
    return SaveWidgetBmp(*KinChart, WithBmpExtension(fileName));
}
