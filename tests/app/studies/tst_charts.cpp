// The numbers of the charts on screen: ticks at round steps (1, 2 or 5 times
// a power of ten) that are whole multiples of their step, written with the
// desktop's decimal separator; and the heat window's legends, which keep
// every series whole.

#include "AppFixture.h"
#include "DesktopLocale.h"

#include "AxisTicks.h"
#include "FHeat.h"
#include "FSolu.h"
#include "SeriesLegend.h"

#include <QComboBox>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QRandomGenerator>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>

#include <cmath>

using namespace ferrolyt;

namespace {

// The mantissa of a round step: 1, 2 or 5; 0 for any other step.
int RoundMantissa(double step)
{
    const double unit = std::pow(10.0, std::floor(std::log10(step) + 1e-9));
    const double m = step / unit;
    for (const int round : {1, 2, 5, 10})
        if (std::abs(m - round) < 1e-6)
            return round == 10 ? 1 : round;
    return 0;
}

// The texts of a chart's axis labels as drawn: the text items of its scene
// that hold a number and nothing else.
QStringList AxisLabels(QChartView& view)
{
    QStringList labels;
    for (QGraphicsItem* item : view.scene()->items())
        if (auto* text = dynamic_cast<QGraphicsTextItem*>(item); text && text->isVisible()) {
            const QString t = text->toPlainText();
            if (!t.isEmpty() && t.contains(QRegularExpression("^-?[0-9]+([.,][0-9]+)?$")))
                labels << t;
        }
    return labels;
}

// Tick values read with the locale's separator, sorted and without repeats
// (the two axes of a chart mix in one list).
QList<double> Values(const QStringList& labels, QChar separator)
{
    QList<double> values;
    for (QString l : labels)
        values << l.replace(separator, '.').toDouble();
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
    return values;
}

} // namespace

class TstCharts : public QObject {
    Q_OBJECT

    TAppFixture f;

private slots:
    void cleanup()
    {
        if (f.w)
            f.Stop();
    }

    void ticksAreRoundMultiplesOfARoundStep_data()
    {
        QTest::addColumn<double>("lo");
        QTest::addColumn<double>("hi");
        QTest::addColumn<int>("most");
        QTest::addColumn<double>("first");
        QTest::addColumn<double>("step");
        QTest::addColumn<int>("decimals");
        // The ranges the charts drew with ticks such as 1417.5 and 1063.1,
        // or -0.60, -1.49, -2.38.
        QTest::newRow("temperatures") << 1063.1 << 1417.5 << 8 << 1100.0 << 50.0 << 0;
        QTest::newRow("negative logarithms") << -2.38 << -0.60 << 5 << -2.0 << 0.5 << 1;
        QTest::newRow("fractions") << 0.0 << 1.81717 << 4 << 0.0 << 0.5 << 1;
        QTest::newRow("thousands") << 0.0 << 12600.0 << 3 << 0.0 << 5000.0 << 0;
        QTest::newRow("small") << 0.0123 << 0.0789 << 8 << 0.02 << 0.01 << 2;
        QTest::newRow("across zero") << -3.4 << 21.3 << 9 << 0.0 << 5.0 << 0;
        QTest::newRow("empty range") << 5.0 << 5.0 << 8 << 5.0 << 0.2 << 1;
        QTest::newRow("reversed range") << 7.0 << 3.0 << 8 << 7.0 << 0.2 << 1;
    }
    void ticksAreRoundMultiplesOfARoundStep()
    {
        QFETCH(double, lo);
        QFETCH(double, hi);
        QFETCH(int, most);
        const TAxisTicks t = RoundTicks(lo, hi, most);
        QTEST(t.First, "first");
        QTEST(t.Step, "step");
        QTEST(t.Decimals, "decimals");
    }

    void everyRangeGetsFewEnoughRoundTicksInside()
    {
        QRandomGenerator random(20261207);
        for (int k = 0; k < 5000; ++k) {
            const double lo = (random.generateDouble() - 0.5) * std::pow(10.0, random.bounded(-4, 7));
            // Ranges a chart can tell apart from a point.
            const double hi = lo + std::max(random.generateDouble() * std::pow(10.0, random.bounded(-4, 7)),
                                            std::abs(lo) * 1e-6 + 1e-9);
            const int most = random.bounded(2, 12);
            const TAxisTicks t = RoundTicks(lo, hi, most);
            const QString at = QString("[%1, %2] most %3").arg(lo, 0, 'g', 17).arg(hi, 0, 'g', 17).arg(most);
            QVERIFY2(RoundMantissa(t.Step) != 0, qPrintable(at + QString(" step %1").arg(t.Step)));
            QVERIFY2(t.First >= lo - 1e-9 * t.Step && t.First - t.Step < lo, qPrintable(at));
            const double multiple = t.First / t.Step;
            QVERIFY2(std::abs(multiple - std::round(multiple)) < 1e-6, qPrintable(at));
            const int count = static_cast<int>(std::floor((hi - t.First) / t.Step + 1e-9)) + 1;
            QVERIFY2(count <= most, qPrintable(at + QString(" %1 ticks").arg(count)));
            // The decimals show the step exactly.
            QVERIFY2(std::abs(QString::number(t.Step, 'f', t.Decimals).toDouble() - t.Step) < 1e-9 * t.Step, qPrintable(at));
        }
    }

    void theIsothermsAxesShowRoundTicksWithTheDesktopsSeparator_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::newRow("C") << "C";
        QTest::newRow("uk_UA") << "uk_UA.UTF-8";
    }
    void theIsothermsAxesShowRoundTicksWithTheDesktopsSeparator()
    {
        QFETCH(QString, locale);
        TDesktopLocale desktop(qPrintable(locale));
        if (!desktop.Active())
            QSKIP("the machine lacks this locale");
        QVERIFY2(f.Start(), qPrintable(f.Texts().join("; ")));
        const QChar separator = QLocale().decimalPoint().at(0);
        QCOMPARE(separator, locale == "C" ? QChar('.') : QChar(','));

        // The ladle task's bath is deoxidised along the isotherms.
        const int ladle = f.w->TaskBox->findText("Ківш", Qt::MatchStartsWith);
        QVERIFY(ladle >= 0);
        f.w->TaskBox->setCurrentIndex(ladle);
        f.w->TaskBoxClick(ladle);
        QStringList labels;
        f.dialog = [&](QDialog& d) {
            auto& isotherms = dynamic_cast<TFSolu&>(d);
            isotherms.PointStride = 5;
            d.show();
            if (QTest::qWaitForWindowExposed(&d)) {
                QTest::qWait(50);
                labels = AxisLabels(*isotherms.Chart1);
            }
            return int(QDialog::Rejected);
        };
        f.w->IsothM->trigger();
        QVERIFY2(labels.size() >= 6, qPrintable(labels.join(" ")));
        const QChar other = separator == ',' ? QChar('.') : QChar(',');
        for (const QString& l : labels)
            QVERIFY2(!l.contains(other), qPrintable(l));
        // Both axes have fractional ticks here: -4.0 .. -1.0 and -6 .. 1.
        QVERIFY2(labels.join(' ').contains(separator), qPrintable(labels.join(" ")));
        for (const double v : Values(labels, separator)) {
            // Every tick is a multiple of a half.
            QVERIFY2(std::abs(v * 2 - std::round(v * 2)) < 1e-9, qPrintable(QString::number(v)));
        }
    }

    void theHeatWindowsLegendsKeepEverySeriesWhole()
    {
        QVERIFY2(f.Start(), qPrintable(f.Texts().join("; ")));
        f.w->ProA->trigger();
        TFHeat& heat = *f.w->FHeat;
        // As low as a laptop's screen leaves it.
        heat.resize(900, 700);
        QVERIFY(QTest::qWaitForWindowExposed(&heat));
        heat.RunButClick(0);
        QCOMPARE(heat.LastRun(), THeatRunResult::Completed);
        QTest::qWait(50);

        const auto legends = heat.findChildren<TSeriesLegend*>();
        QCOMPARE(legends.size(), 3);
        for (QChartView* view : {heat.Chart1, heat.Chart2, heat.Chart3}) {
            QVERIFY(!view->chart()->legend()->isVisible());
            QStringList shown;
            for (QAbstractSeries* s : view->chart()->series())
                if (s->isVisible())
                    shown << s->name();
            const auto legend = std::find_if(legends.begin(), legends.end(), [&](TSeriesLegend* l) {
                return l->parentWidget() == view->parentWidget();
            });
            QVERIFY(legend != legends.end());
            QStringList named;
            const QFontMetrics fm((*legend)->font());
            for (const TSeriesLegend::TEntry& e : (*legend)->Entries()) {
                named << e.Name;
                QVERIFY2((*legend)->rect().contains(e.Rect), qPrintable(e.Name));
                QVERIFY2(e.Rect.width() > fm.horizontalAdvance(e.Name), qPrintable(e.Name));
            }
            QCOMPARE(named, shown);
        }
        // The composition chart's ten series take two columns at this height.
        QVERIFY(std::any_of(legends.begin(), legends.end(), [&](TSeriesLegend* l) {
            const auto entries = l->Entries();
            return entries.size() == 10 && entries.last().Rect.left() > entries.first().Rect.left();
        }));
    }
};

QTEST_MAIN(TstCharts)
#include "tst_charts.moc"
