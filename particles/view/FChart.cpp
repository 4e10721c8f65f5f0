#include "FChart.h"

#include "FormGL.h"
#include "ParticleFormat.h"
#include "ParticleStats.h"
#include "ScreenAxes.h"

#include <QButtonGroup>
#include <QChart>
#include <QChartView>
#include <QContextMenuEvent>
#include <QMenu>
#include <QGridLayout>
#include <QGroupBox>
#include <QLegendMarker>
#include <QLineSeries>
#include <QRadioButton>
#include <QScatterSeries>
#include <QTabBar>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace ferrolyt::particles {

QPointer<TFChart> FChart;

namespace {

constexpr int ChartIntervalMs = 2000;
// Items of the type-pair group: first digit type a, second digit type b.
constexpr const char* TypePairs[9] = {"11", "21", "31", "12", "22", "32", "13", "23", "33"};

} // namespace

TFChart::TFChart(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName("FChart");
    resize(720, 520);
    auto* layout = new QVBoxLayout(this);
    tabs_ = new QTabBar(this);
    tabs_->setObjectName("TabCtrl");
    tabs_->addTab("Maxwell energy distribution");
    tabs_->addTab("Radial function");
    layout->addWidget(tabs_);

    chart_ = new QChart();
    chart_->setObjectName("Chart1");
    series1_ = new QScatterSeries();
    series1_->setObjectName("Series1");
    series1_->setMarkerShape(QScatterSeries::MarkerShapeCircle);
    series1_->setMarkerSize(5);
    series1_->setColor(Qt::red);
    series1_->setBorderColor(Qt::red);
    series2_ = new QLineSeries();
    series2_->setObjectName("Series2");
    QPen pen(Qt::black);
    pen.setWidth(2);
    series2_->setPen(pen);
    chart_->addSeries(series1_);
    chart_->addSeries(series2_);
    axisX_ = new QValueAxis();
    axisY_ = new QValueAxis();
    chart_->addAxis(axisX_, Qt::AlignBottom);
    chart_->addAxis(axisY_, Qt::AlignLeft);
    UseScreenAxes(*chart_);
    for (QAbstractSeries* s : {static_cast<QAbstractSeries*>(series1_), static_cast<QAbstractSeries*>(series2_)}) {
        s->attachAxis(axisX_);
        s->attachAxis(axisY_);
    }
    for (QLegendMarker* m : chart_->legend()->markers(series2_))
        m->setVisible(false);
    chart_->legend()->setVisible(false);
    view_ = new QChartView(chart_, this);
    view_->setRenderHint(QPainter::Antialiasing);
    layout->addWidget(view_, 1);

    typGrp_ = new QGroupBox(this);
    typGrp_->setObjectName("TypGrp");
    auto* grid = new QGridLayout(typGrp_);
    typButtons_ = new QButtonGroup(this);
    for (int k = 0; k < 9; ++k) {
        auto* b = new QRadioButton(TypePairs[k], typGrp_);
        typButtons_->addButton(b, k);
        grid->addWidget(b, k / 3, k % 3);
    }
    typButtons_->button(0)->setChecked(true);
    typGrp_->setVisible(false);
    layout->addWidget(typGrp_);

    connect(typButtons_, &QButtonGroup::idClicked, this, [this](int) { ShowGraphs(); });
    connect(tabs_, &QTabBar::currentChanged, this, [this](int) { TabCtrlChange(); });
    timer1_.setInterval(ChartIntervalMs);
    connect(&timer1_, &QTimer::timeout, this, [this] { ShowGraphs(); });
    if (!FChart)
        FChart = this;
}

TFChart::~TFChart()
{
    if (FChart == this)
        FChart = nullptr;
}

void TFChart::SelectTypePair(int index)
{
    if (index < 0 || index > 8)
        return;
    typButtons_->button(index)->setChecked(true);
    ShowGraphs();
}

void TFChart::ShowGraphs() { ShowGraphsOf(FormGL ? &FormGL->Model() : nullptr); }

void TFChart::ShowGraphsOf(const ParticleModel* model)
{
    series1_->clear();
    series2_->clear();
    std::vector<ChartPoint> points, line;
    if (tabs_->currentIndex() == 0) {
        setWindowTitle(EnergyChartCaption);
        axisY_->setTitleText(EnergyChartLeftAxis);
        axisX_->setTitleText(EnergyChartBottomAxis);
        if (model) {
            TEnergyChart c = EnergyChart(*model);
            points = std::move(c.Points);
            line = std::move(c.Maxwell);
        }
    } else {
        setWindowTitle(PairChartCaption);
        axisY_->setTitleText(PairChartLeftAxis);
        axisX_->setTitleText(PairChartBottomAxis);
        const int item = std::max(0, typButtons_->checkedId());
        const int a = TypePairs[item][0] - '0', b = TypePairs[item][1] - '0';
        if (model)
            points = PairCorrelationChart(*model, a, b);
    }
    QList<QPointF> p1, p2;
    double minX = 0, maxX = 1, minY = 0, maxY = 1;
    bool first = true;
    auto extend = [&](const ChartPoint& p) {
        if (first) {
            minX = maxX = p.x;
            minY = maxY = p.y;
            first = false;
        }
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    };
    for (const ChartPoint& p : points) {
        p1.append(QPointF(p.x, p.y));
        extend(p);
    }
    for (const ChartPoint& p : line) {
        p2.append(QPointF(p.x, p.y));
        extend(p);
    }
    series1_->replace(p1);
    series2_->replace(p2);
    // A chart with nothing to draw (a type without particles, no frames
    // counted yet) says that it has no value rather than showing an empty
    // frame.
    chart_->setTitle(p1.isEmpty() && p2.isEmpty() ? QString::fromUtf8(NoValueText) : QString());
    if (maxX <= minX)
        maxX = minX + 1;
    if (maxY <= minY)
        maxY = minY + 1;
    SetScreenRange(*axisX_, std::min(0.0, minX), maxX);
    SetScreenRange(*axisY_, std::min(0.0, minY), maxY * 1.05);
}

void TFChart::TabCtrlChange()
{
    ShowGraphs();
    typGrp_->setVisible(tabs_->currentIndex() == 1);
}

void TFChart::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    ShowGraphs();
    timer1_.start();
}

void TFChart::contextMenuEvent(QContextMenuEvent* e)
{
    if (FormGL)
        FormGL->PopupMenu()->popup(e->globalPos());
}

void TFChart::hideEvent(QHideEvent* e)
{
    timer1_.stop();
    QWidget::hideEvent(e);
}

} // namespace ferrolyt::particles
