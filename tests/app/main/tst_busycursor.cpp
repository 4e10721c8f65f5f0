// The sign of work: the busy cursor is up while a long command works (the
// isotherms, a melt, a heat replay) and gone once it ends, while a replay is
// paused, and while a window or a message box waits for the user.

#include "AppFixture.h"

#include "FHeat.h"
#include "QtHost.h"
#include "SimplexLP.h"

#include <QComboBox>
#include <QCursor>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QTimer>

#include <functional>
#include <utility>

using namespace ferrolyt;

namespace {

// The cursor shape in force, -1 when the windows show their own.
int CursorNow()
{
    const QCursor* c = QGuiApplication::overrideCursor();
    return c ? int(c->shape()) : -1;
}

// The main window's host that also notes the cursor whenever a solve
// reports to the status bar, which every solve does when it ends.
struct TCursorWatch : QtHost {
    QList<int> shapes;
    std::function<void()> atFirst; // runs at the first report
    explicit TCursorWatch(TFForw& w) { AttachWindow(&w, w.SBarPanels); }
    void SetStatusText(int panel, const std::string& text) override
    {
        shapes << CursorNow();
        if (atFirst)
            std::exchange(atFirst, nullptr)();
        QtHost::SetStatusText(panel, text);
    }
    bool AllBusy() const { return !shapes.isEmpty() && shapes.count(Qt::BusyCursor) == shapes.size(); }
};

} // namespace

class TstBusyCursor : public QObject {
    Q_OBJECT

    TAppFixture f;

private slots:
    void init()
    {
        QVERIFY2(f.Start(), qPrintable(f.Texts().join("; ")));
        QCOMPARE(CursorNow(), -1);
    }
    void cleanup()
    {
        f.Stop();
        while (QGuiApplication::overrideCursor())
            QGuiApplication::restoreOverrideCursor();
    }

    void theIsothermsShowTheBusyCursorWhileTheyAreWorkedOut()
    {
        const int ladle = f.w->TaskBox->findText("Ківш", Qt::MatchStartsWith);
        QVERIFY(ladle >= 0);
        f.w->TaskBox->setCurrentIndex(ladle);
        f.w->TaskBoxClick(ladle);
        int whenShown = 0;
        QList<int> shapes;
        {
            TCursorWatch watch(*f.w);
            f.dialog = [&](QDialog& d) {
                d.show(); // works the isotherms out
                whenShown = CursorNow();
                return int(QDialog::Rejected);
            };
            f.w->IsothM->trigger();
            shapes = watch.shapes;
        }
        QCOMPARE(f.dialogs, 1);
        QVERIFY(!shapes.isEmpty() && shapes.count(Qt::BusyCursor) == shapes.size());
        QCOMPARE(whenShown, -1); // the curves drawn, the window is the user's
        QCOMPARE(CursorNow(), -1);
    }

    void aMeltShowsTheBusyCursorUntilItEnds()
    {
        TCursorWatch watch(*f.w);
        f.w->MeltA->trigger();
        QVERIFY(watch.AllBusy());
        QCOMPARE(CursorNow(), -1);
    }

    void aBoxWaitingForTheUserShowsTheArrowDuringARun()
    {
        f.w->OptimiserCalls.BuildConstraintBlocks = [] {
            ConstraintBlockCount = 0;
            return true;
        };
        f.w->OptimiserCalls.Optimise = [](int32_t) -> int32_t { return lpNotMet; };
        QList<int> shapes;
        QtHost::SetMessageHook([&](const QtHost::Message& m) {
            f.messages.append(m);
            shapes << CursorNow();
            return QMessageBox::Ok;
        });
        f.w->StartA->trigger();
        QCOMPARE(f.Texts(), QStringList{"НЕ ЗНАЙДЕНО РІШЕННЯ!"});
        QCOMPARE(shapes, QList<int>{int(Qt::ArrowCursor)});
        QCOMPARE(CursorNow(), -1);
    }

    void aHeatReplayShowsTheBusyCursorExceptWhilePaused()
    {
        f.w->ProA->trigger();
        TFHeat& heat = *f.w->FHeat;
        QVERIFY(QTest::qWaitForWindowExposed(&heat));
        TCursorWatch watch(*f.w);
        int whilePaused = 0;
        bool pausedOnce = false;
        // In the first step the user pauses; the pause is resumed from the
        // event loop the paused replay waits in, once the replay has reached
        // its pause and dropped the busy cursor. The step the pause comes in
        // ends first, which takes long under AddressSanitizer on a busy
        // machine: the look goes on until the arrow is back, and gives up
        // (the cursor still busy) only after a long wait.
        QTimer look;
        QDeadlineTimer giveUp;
        connect(&look, &QTimer::timeout, &heat, [&] {
            if ((CursorNow() != -1 || !heat.Paused()) && !giveUp.hasExpired())
                return;
            look.stop();
            whilePaused = CursorNow();
            heat.RunButClick(0); // go on
        });
        watch.atFirst = [&] {
            pausedOnce = true;
            heat.RunButClick(0); // pause
            giveUp.setRemainingTime(StateWaitMs);
            look.start(10);
        };
        heat.RunButClick(0);
        QCOMPARE(heat.LastRun(), THeatRunResult::Completed);
        QVERIFY(pausedOnce);
        QCOMPARE(whilePaused, -1);
        QVERIFY(watch.AllBusy());
        QCOMPARE(CursorNow(), -1);
    }
};

QTEST_MAIN(TstBusyCursor)
#include "tst_busycursor.moc"
