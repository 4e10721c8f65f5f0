#include "FSolu.h"

#include "BusyCursor.h"
#include "ChartImage.h"

#include "ScreenAxes.h"
#include "Studies.h"
#include "StudyScope.h"
#include "Utils.h"

#include <QAction>
#include <QLineSeries>
#include <QMenu>
#include <QShowEvent>
#include <QValueAxis>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>

#include <algorithm>
#include <cmath>

using namespace ferrolyt;

TFSolu::TFSolu(QWidget* parent) : QDialog(parent)
{
    setObjectName("FSolu");
    setWindowTitle(QStringLiteral("Изотермы растворимости"));
    resize(700, 520);
    chart_ = new QChart;
    axisX_ = new QValueAxis;
    axisY_ = new QValueAxis;
    axisY_->setTitleText(QStringLiteral("Растворимость О, lg[%О]"));
    chart_->addAxis(axisX_, Qt::AlignBottom);
    chart_->addAxis(axisY_, Qt::AlignLeft);
    const char* const titles[3] = {"1550°C", "1600°C", "1650°C"};
    for (std::size_t s = 0; s < Series.size(); ++s) {
        Series[s] = new QLineSeries;
        Series[s]->setName(QString::fromUtf8(titles[s]));
        chart_->addSeries(Series[s]);
        Series[s]->attachAxis(axisX_);
        Series[s]->attachAxis(axisY_);
    }
    UseScreenAxes(*chart_);
    Chart1 = AddChartView(*this, chart_);

    Popup = new QMenu(this);
    N1 = Popup->addAction(QStringLiteral("Сохранить в файл"));
    N1->setObjectName("N1");
    connect(N1, &QAction::triggered, this, [this] { N1Click(); });
    PopupOnContextMenu(Chart1, Popup);
}

void TFSolu::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TFSolu::FormShow()
{
    for (QLineSeries* s : Series)
        s->clear();
    TIsothermOptions options;
    options.FirstPoint = FirstPoint;
    options.LastPoint = LastPoint;
    options.PointStride = PointStride;
    axisX_->setTitleText(QStringLiteral("Содержание %1, lg[%2]")
                             .arg(QString::fromStdString(options.Element), QString::fromStdString(options.Element)));
    TIsotherms result;
    {
        const TBusyCursor busy; // the isotherms take a second or two
        const TStudyScope scope;
        result = SolubilityIsotherms(options);
    }
    if (!result.Message.empty())
        ShowWarning(result.Message);

    double xLo = 0, xHi = 1, yLo = 0, yHi = 1;
    bool first = true;
    for (std::size_t s = 0; s < Series.size(); ++s) {
        QList<QPointF> points;
        for (const auto& p : result.Curves[s].Points) {
            if (!std::isfinite(p[0]) || !std::isfinite(p[1]))
                continue;
            points.append(QPointF(p[0], p[1]));
            xLo = first ? p[0] : std::min(xLo, p[0]);
            xHi = first ? p[0] : std::max(xHi, p[0]);
            yLo = first ? p[1] : std::min(yLo, p[1]);
            yHi = first ? p[1] : std::max(yHi, p[1]);
            first = false;
        }
        Series[s]->replace(points);
    }
    if (!first) {
        SetScreenRange(*axisX_, xLo, std::max(xHi, xLo + 1e-6));
        SetScreenRange(*axisY_, yLo, std::max(yHi, yLo + 1e-6));
    }
}

void TFSolu::N1Click()
{
    const QString name = AskImageFileName(this, QStringLiteral("Введите имя файла"), QString());
    if (name.isEmpty())
        return;
    SaveImage(name);
}

bool TFSolu::SaveImage(const QString& fileName)
{
    return SaveWidgetBmp(*Chart1, WithBmpExtension(fileName));
}
