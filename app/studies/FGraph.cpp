#include "FGraph.h"

#include "ChartImage.h"

#include "ScreenAxes.h"
#include "Studies.h"

#include <QAction>
#include <QActionGroup>
#include <QGraphicsSimpleTextItem>
#include <QLineSeries>
#include <QMenu>
#include <QScatterSeries>
#include <QShowEvent>
#include <QValueAxis>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>

#include <algorithm>

using namespace ferrolyt;

TFGraph::TFGraph(QWidget* parent) : QDialog(parent)
{
    setObjectName("FGraph");
    resize(700, 520);
    chart_ = new QChart;
    Series1 = new QLineSeries;
    Series2 = new QScatterSeries;
    Series3 = new QScatterSeries;
    Series4 = new QLineSeries;
    Series5 = new QLineSeries;
    Series3->setMarkerSize(8);
    Series2->setMarkerSize(10);
    for (QAbstractSeries* s : std::initializer_list<QAbstractSeries*>{Series1, Series2, Series3, Series4, Series5})
        chart_->addSeries(s);
    chart_->createDefaultAxes();
    UseScreenAxes(*chart_);
    chart_->legend()->hide();
    connect(chart_, &QChart::plotAreaChanged, this, [this] { PlaceMarkLabels(); });
    Chart1 = AddChartView(*this, chart_);

    Popup = new QMenu(this);
    auto* group = new QActionGroup(this);
    MSys1 = Popup->addAction(QStringLiteral("System1"));
    MSys2 = Popup->addAction(QStringLiteral("System2"));
    MAve = Popup->addAction(QStringLiteral("Average"));
    for (QAction* a : {MSys1, MSys2, MAve}) {
        a->setCheckable(true);
        group->addAction(a);
        connect(a, &QAction::triggered, this, [this] { FormShow(); });
    }
    MSys1->setChecked(true);
    PopupOnContextMenu(Chart1, Popup);
}

void TFGraph::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TFGraph::FormShow()
{
    for (QXYSeries* s : std::initializer_list<QXYSeries*>{Series1, Series2, Series3, Series4, Series5})
        s->clear();
    setWindowTitle(QStringLiteral("Крива електронейтральності"));
    const TCurveSystem mode =
        MSys1->isChecked() ? TCurveSystem::Lower : (MSys2->isChecked() ? TCurveSystem::Upper : TCurveSystem::Average);
    const TElectroneutralityCurve curve = ElectroneutralityCurve(mode);

    double qLo = 0, qHi = 0;
    bool first = true;
    const auto widen = [&](double q) {
        if (!std::isfinite(q))
            return;
        qLo = first ? q : std::min(qLo, q);
        qHi = first ? q : std::max(qHi, q);
        first = false;
    };
    for (auto& [item, at] : markLabels_)
        delete item;
    markLabels_.clear();
    const auto addMark = [&](QScatterSeries* series, const TChargeMark& m) {
        series->append(m.Charge, m.Potential);
        widen(m.Charge);
        markLabels_.emplace_back(new QGraphicsSimpleTextItem(QString::fromStdString(m.Symbol), chart_),
                                 QPointF(m.Charge, m.Potential));
    };
    for (const TChargeMark& m : curve.Present)
        addMark(Series2, m);
    for (const TChargeMark& m : curve.AbsentInRange)
        addMark(Series3, m);
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(curve.Points.size()));
    for (const auto& p : curve.Points) {
        points.append(QPointF(p[0], p[1]));
        widen(p[0]);
    }
    Series1->replace(points);

    auto* axisX = qobject_cast<QValueAxis*>(chart_->axes(Qt::Horizontal).value(0));
    auto* axisY = qobject_cast<QValueAxis*>(chart_->axes(Qt::Vertical).value(0));
    if (axisX) {
        axisX->setTitleText(QStringLiteral("Питомий заряд шлаку, F/моль"));
        const double pad = 0.05 * (qHi - qLo) + 1e-12;
        SetScreenRange(*axisX, qLo - pad, qHi + pad);
    }
    if (axisY) {
        axisY->setTitleText(QStringLiteral("Рiвень Фермi, Mu/RT"));
        if (curve.High > curve.Low)
            SetScreenRange(*axisY, curve.Low, curve.High);
    }
    PlaceMarkLabels();
}

void TFGraph::PlaceMarkLabels()
{
    for (auto& [item, at] : markLabels_)
        item->setPos(chart_->mapToPosition(at, Series2) + QPointF(6, -18));
}

bool TFGraph::SaveImage(const QString& fileName)
{
    return SaveWidgetBmp(*Chart1, WithBmpExtension(fileName));
}
