// The windows as the user's manual shows them, on the sample project. With
// FERROLYT_MANUAL_PICTURE_DIR set (scripts/screenshots) the pictures are
// kept there for the manual; otherwise they go to a temporary folder. Each
// picture must show its window with the data the manual describes.

#include "AppFixture.h"

#include "FHeat.h"
#include "FOptions.h"
#include "FSolu.h"
#include "FormDKM.h"
#include "KinF.h"
#include "RzForm.h"
#include "TaskList.h"

#include <QComboBox>
#include <QTabWidget>

using namespace ferrolyt;

class GlManual : public QObject {
    Q_OBJECT

    TAppFixture f;
    QTemporaryDir scratch;
    QStringList saved;

    QString Folder() const { return qEnvironmentVariable("FERROLYT_MANUAL_PICTURE_DIR", scratch.path()); }

    // Shows the window if it is not shown, and keeps its picture.
    bool Keep(QWidget& w, const QString& name)
    {
        if (!w.isVisible()) {
            w.show();
            if (!QTest::qWaitForWindowExposed(&w))
                return false;
        }
        QTest::qWait(100);
        const QImage shot = w.grab().toImage();
        if (shot.isNull() || !QDir().mkpath(Folder()) || !shot.save(Folder() + "/" + name + ".png"))
            return false;
        saved << name;
        return true;
    }

    // Opens a modal window through its command and keeps its picture.
    void KeepModal(QAction* command, const QString& name, const std::function<void(QDialog&)>& prepare = {})
    {
        bool kept = false;
        f.dialog = [&](QDialog& d) {
            if (prepare)
                prepare(d);
            kept = Keep(d, name);
            d.hide();
            return int(QDialog::Rejected);
        };
        command->trigger();
        QVERIFY2(kept, qPrintable(name));
    }

private slots:
    void init() { QVERIFY2(f.Start(), qPrintable(f.Texts().join("; "))); }
    void cleanup()
    {
        HeatRunning = false;
        f.Stop();
    }

    void theWindowsOfTheManual()
    {
        f.w->resize(1180, 760);
        QVERIFY(Keep(*f.w, "main"));

        KeepModal(f.w->TaskA, "task-editor");
        KeepModal(f.w->OptionsM, "options");
        KeepModal(f.w->OptionsM, "options-furnace",
                  [this](QDialog&) { f.w->FOptions->Pages->setCurrentIndex(2); });
        f.w->FOptions->Pages->setCurrentIndex(0);

        f.w->MatsA->trigger();
        QVERIFY(Keep(*FormDKM, "effects"));
        FormDKM->hide();
        KeepModal(f.w->ElectroM, "electroneutrality");

        f.w->KinA->trigger();
        // A few thousand steps, however long they take: the curves near their levels.
        QTRY_VERIFY_WITH_TIMEOUT(f.w->KinF->Kinetics()->StepCount() >= 2000, StateWaitMs);
        QVERIFY(Keep(*f.w->KinF, "kinetics"));
        f.w->KinF->close();

        f.w->ConstrRzM->trigger();
        QVERIFY(f.w->RzForm->ZoneConverged && f.w->RzForm->FinalConverged);
        QVERIFY(Keep(*f.w->RzForm, "reaction-zone"));
        f.w->RzForm->close();

        f.w->ProA->trigger();
        TFHeat& heat = *f.w->FHeat;
        heat.resize(1100, 760);
        heat.RunButClick(0);
        QCOMPARE(heat.LastRun(), THeatRunResult::Completed);
        QVERIFY(Keep(heat, "heat"));
        heat.close();

        // The isotherms deoxidise the ladle task's bath.
        const int ladle = f.w->TaskBox->findText("Ківш", Qt::MatchStartsWith);
        QVERIFY(ladle >= 0);
        f.w->TaskBox->setCurrentIndex(ladle);
        f.w->TaskBoxClick(ladle);
        KeepModal(f.w->IsothM, "isotherms", [](QDialog& d) {
            auto& isotherms = dynamic_cast<TFSolu&>(d);
            isotherms.PointStride = 5;
            isotherms.resize(700, 480);
        });
        QVERIFY2(f.messages.isEmpty(), qPrintable(f.Texts().join("; ")));
        QCOMPARE(saved.size(), 10);
    }
};

QTEST_MAIN(GlManual)
#include "gl_manual.moc"
