// Every window on a laptop's 1366×768 screen: each one opens with its whole
// frame inside the screen's free area, the options dialog's buttons and
// every page's last option can be reached, and a window the user left half
// outside the screen comes back inside when it is opened again.

#include "AppFixture.h"

#include "AutoF.h"
#include "FChart.h"
#include "FHeat.h"
#include "FOptions.h"
#include "FormDKM.h"
#include "KinF.h"
#include "MaxF.h"
#include "ParticleMessages.h"
#include "RzForm.h"
#include "ScreenFit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTabWidget>

using namespace ferrolyt;

namespace {

QRect FreeArea(const QWidget& w) { return w.screen()->availableGeometry(); }

// "name: frame" for a window whose frame leaves the screen's free area.
QString Outside(const QWidget& w)
{
    if (FreeArea(w).contains(w.frameGeometry()))
        return {};
    const QRect r = w.frameGeometry();
    return QString("%1: %2,%3 %4×%5").arg(w.objectName()).arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

} // namespace

class TstScreenFit : public QObject {
    Q_OBJECT

    TAppFixture f;
    QStringList outside;

    void Check(const QWidget& w)
    {
        QVERIFY2(w.isVisible(), qPrintable(w.objectName()));
        if (const QString o = Outside(w); !o.isEmpty())
            outside << o;
    }

    // Answers every modal dialog by showing it, looking at its frame and
    // closing it.
    void CheckDialogs()
    {
        f.dialog = [this](QDialog& d) {
            d.show();
            if (QTest::qWaitForWindowExposed(&d))
                Check(d);
            return int(QDialog::Rejected);
        };
    }

private slots:
    void initTestCase()
    {
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(screen.size(), QSize(1366, 768));
    }
    void init()
    {
        ferrolyt::particles::SetParticleMessageHook([](const QString&, const QString&) {});
        QVERIFY2(f.Start(), qPrintable(f.Texts().join("; ")));
        outside.clear();
    }
    void cleanup()
    {
        f.Stop();
        ferrolyt::particles::SetParticleMessageHook({});
    }

    void aFrameIsMovedAndShrunkIntoTheArea()
    {
        const QRect area(0, 0, 1366, 728);
        QCOMPARE(FitInside(QRect(100, 50, 800, 600), area), QRect(100, 50, 800, 600));
        QCOMPARE(FitInside(QRect(1000, 500, 800, 600), area), QRect(566, 128, 800, 600));
        QCOMPARE(FitInside(QRect(-50, -20, 800, 600), area), QRect(0, 0, 800, 600));
        QCOMPARE(FitInside(QRect(300, 200, 913, 790), area), QRect(300, 0, 913, 728));
        QCOMPARE(FitInside(QRect(0, 0, 2000, 1000), QRect(1366, 0, 1920, 1050)), QRect(1366, 0, 1920, 1000));
    }

    void everyWindowOpensInsideTheScreen()
    {
        Check(*f.w);
        CheckDialogs();
        for (QAction* a : {f.w->OptionsM, f.w->TaskA, f.w->ElectroM, f.w->IsothM, f.w->AutoGraphM, f.w->AboutM})
            a->trigger();
        QCOMPARE(f.dialogs, 6);

        f.w->MatsA->trigger();
        Check(*FormDKM);
        f.w->ProA->trigger();
        Check(*f.w->FHeat);
        f.w->ConstrRzM->trigger();
        Check(*f.w->RzForm);
        f.w->KinA->trigger();
        Check(*f.w->KinF);
        f.w->KinF->close();
        f.w->DemonM->trigger();
        Check(*f.w->MaxF);
        f.w->MaxF->Chart()->show();
        Check(*f.w->MaxF->Chart());
        QVERIFY2(outside.isEmpty(), qPrintable(outside.join("; ")));
    }

    void aToolWindowOpensOverTheMainWindow()
    {
        f.w->MatsA->trigger();
        QCOMPARE(FormDKM->frameGeometry().center(), f.w->frameGeometry().center());
    }

    void aWindowLeftHalfOutsideComesBackInside()
    {
        f.w->ConstrRzM->trigger();
        QWidget& rz = *f.w->RzForm;
        const QRect area = FreeArea(rz);
        rz.move(area.right() - 200, area.bottom() - 100);
        rz.hide();
        f.w->ConstrRzM->trigger();
        Check(rz);
        QVERIFY2(outside.isEmpty(), qPrintable(outside.join("; ")));
        // What fits stays where the user put it.
        rz.hide();
        rz.move(area.topLeft() + QPoint(20, 10));
        f.w->ConstrRzM->trigger();
        QCOMPARE(rz.pos(), area.topLeft() + QPoint(20, 10));
    }

    void theOptionsDialogsButtonsAndLastOptionsCanBeReached()
    {
        TFOptions& d = *f.w->FOptions;
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        Check(d);
        QVERIFY2(outside.isEmpty(), qPrintable(outside.join("; ")));
        const QRect area = FreeArea(d);
        for (QPushButton* b : {d.OkBut, d.CancelBut, d.HelpBut}) {
            const QRect onScreen(b->mapToGlobal(QPoint(0, 0)), b->size());
            QVERIFY2(b->isVisible() && area.contains(onScreen) && !b->visibleRegion().isEmpty(),
                     qPrintable(b->objectName()));
        }
        // The tallest page scrolls: its last option comes into view.
        for (int p = 0; p < d.Pages->count(); ++p) {
            d.Pages->setCurrentIndex(p);
            auto* scroll = qobject_cast<QScrollArea*>(d.Pages->widget(p));
            QVERIFY(scroll);
            const auto buttons = scroll->widget()->findChildren<QAbstractButton*>();
            QVERIFY(!buttons.isEmpty());
            QAbstractButton* last = buttons.last();
            for (QAbstractButton* b : buttons)
                if (b->mapTo(scroll->widget(), QPoint(0, 0)).y() > last->mapTo(scroll->widget(), QPoint(0, 0)).y())
                    last = b;
            scroll->ensureWidgetVisible(last);
            QVERIFY2(!last->visibleRegion().isEmpty(), qPrintable(d.Pages->tabText(p) + ": " + last->text()));
        }
        d.hide();
    }
};

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" FERROLYT_FIXTURES "/screens/laptop.json");
    QApplication app(argc, argv);
    TstScreenFit test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_screenfit.moc"
