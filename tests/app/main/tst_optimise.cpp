// F10 on the sample project with the real optimiser: the arc-furnace task is
// met outright, and the result on screen is the charge the optimiser chose;
// the scrap-only task is not, and lists its alternatives.

#include "AppFixture.h"

#include "Settings.h"
#include "TaskList.h"
#include "ThSys.h"
#include "support/ShownNumber.h"

#include <QLineEdit>
#include <QTreeWidget>

#include <cmath>

using namespace ferrolyt;

class TstOptimise : public QObject {
    Q_OBJECT

    TAppFixture app;

private slots:
    void init() { QVERIFY(app.Start()); }
    void cleanup() { app.Stop(); }

    void theArcFurnaceTaskIsMetAndItsChargeAndCostAreShown()
    {
        QCOMPARE(TaskList.Current, 0);
        QVERIFY(QString::fromStdString(TaskList.CurrentTask().Name).startsWith("ДСП-100"));

        app.w->StartA->trigger();

        QVERIFY2(!app.Texts().join(";").contains("НЕ ЗНАЙДЕНО РІШЕННЯ!"), qPrintable(app.Texts().join("; ")));
        QVERIFY(!CalcBusy);
        QVERIFY(ResultsShown);
        QVERIFY(app.w->Alternatives.empty());

        // The charge on screen is the optimiser's, and its cost is the sum of
        // price × amount over the real materials.
        long double cost = 0;
        long double charged = 0;
        for (int j = 1; j <= MaterialCount; ++j) {
            QVERIFY(MaterialTable[j].Amount >= 0);
            cost += MaterialTable[j].Price * MaterialTable[j].Amount;
            if (MaterialTable[j].Type >= mtMetal)
                charged += MaterialTable[j].Amount;
        }
        QVERIFY(charged > 90);
        const double shown = ShownNumber(app.w->EditCost->text());
        QVERIFY2(std::abs(shown - double(cost)) <= 0.01 * std::max(1.0, std::abs(double(cost))),
                 qPrintable(QString("%1 shown, %2 computed").arg(shown).arg(double(cost))));

        // Both systems tap the metal the task asks for.
        const TTaskRecord& task = TaskList.CurrentTask();
        for (int k = 0; k < 2; ++k) {
            const TThSys& sys = *ThSystems[static_cast<std::size_t>(k)];
            if (task.MinMet != UnsetValue)
                QVERIFY(sys.MetalMass >= task.MinMet * 0.99L);
            if (task.MaxMet != UnsetValue)
                QVERIFY(sys.MetalMass <= task.MaxMet * 1.01L);
        }
    }

    void theScrapOnlyTaskListsItsAlternativesCheapestFirst()
    {
        // No scrap grade is clean enough for its copper limit: the task as
        // stated has no charge, and the list offers what can be released.
        Settings.FinalTempMode = 0;
        int scrapOnly = -1;
        for (int k = 0; k < TaskList.Count; ++k)
            if (QString::fromStdString(TaskList.Items[static_cast<std::size_t>(k + 1)].Name).startsWith("Лише брухт"))
                scrapOnly = k;
        QVERIFY(scrapOnly >= 0);
        app.w->TaskBoxClick(scrapOnly);

        app.w->StartA->trigger();

        QVERIFY2(!app.Texts().join(";").contains("НЕ ЗНАЙДЕНО РІШЕННЯ!"), qPrintable(app.Texts().join("; ")));
        QVERIFY(!CalcBusy);
        QVERIFY(ResultsShown);
        const auto& list = app.w->Alternatives;
        QVERIFY(!list.empty());
        QCOMPARE(app.w->AltView->topLevelItemCount(), int(list.size()));
        bool copper = false;
        for (std::size_t k = 0; k < list.size(); ++k) {
            copper = copper || list[k].Name == "[Cu] макс";
            QCOMPARE(app.w->AltView->topLevelItem(int(k))->text(0), QString::fromStdString(list[k].Name));
            if (k > 0)
                QVERIFY(list[k - 1].Cost <= list[k].Cost);
        }
        QVERIFY(copper);
        // The cheapest alternative is the one re-solved and marked.
        QCOMPARE(app.w->CurrentAlternative, 0);
    }
};

QTEST_MAIN(TstOptimise)
#include "tst_optimise.moc"
