// The study, export and tool windows as the main window opens them, the
// busy and heat-replay rules, and the end of a kinetics run on closing.

#include "AppFixture.h"

#include "AutoF.h"
#include "FGraph.h"
#include "FHeat.h"
#include "FOptions.h"
#include "FSolu.h"
#include "FTask.h"
#include "FormDKM.h"
#include "HeatReplay.h"
#include "KinF.h"
#include "MaxF.h"
#include "ParticleMessages.h"
#include "RzForm.h"
#include "ThSys.h"
#include "Utils.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QPrintDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QWindow>

#include <cmath>
#include <vector>

using namespace ferrolyt;
using ferrolyt::particles::SetParticleMessageHook;

namespace {

const QString StopQuestion = QStringLiteral("Зупинити розрахунок?");

// The kinds of the program's windows in the order the main window makes them.
QStringList WindowKinds(const QObject& w)
{
    QStringList kinds;
    for (QObject* c : w.children()) {
        const QString name = c->metaObject()->className();
        if (name.startsWith("TF") || name.startsWith("TK") || name.startsWith("TA") || name.startsWith("TR") ||
            name.contains("TMaxF"))
            kinds << name.section("::", -1);
    }
    return kinds;
}

} // namespace

class TstWindows : public QObject {
    Q_OBJECT

    TAppFixture f;

    QStringList particleMessages;

    int StopQuestions() const { return int(f.Texts().count(StopQuestion)); }

    // The main window's results after a redisplay without solving: the
    // result edits and the materials' amounts.
    QStringList Redisplayed()
    {
        f.w->ShowForwardProblem(false);
        QStringList shown;
        for (QLineEdit* e : {f.w->EditFinT, f.w->EditMetM, f.w->EditSlgM, f.w->EditOsn, f.w->EdCharge,
                             f.w->EditGasM, f.w->EditMatM, f.w->EditCost})
            shown << e->text();
        for (int r = 1; r <= MaterialCount; ++r)
            shown << QString::fromStdString(f.w->MatGridCells.Cell(2, r));
        return shown;
    }

    // The particle demonstration's files, as the build puts them beside the
    // program.
    bool CopyParticleFiles()
    {
        const QDir from(QString(FERROLYT_DATA) + "/DezOzevev");
        if (!QDir(f.dir->path()).mkpath("DezOzevev"))
            return false;
        for (const QString& name : from.entryList(QDir::Files))
            if (!QFile::copy(from.filePath(name), f.Path("DezOzevev/" + name)))
                return false;
        return true;
    }

private slots:
    void init()
    {
        SetParticleMessageHook([this](const QString&, const QString& text) { particleMessages << text; });
        QVERIFY2(f.Start(), qPrintable(f.Texts().join("; ")));
        QVERIFY(CopyParticleFiles());
    }
    void cleanup()
    {
        HeatRunning = false;
        f.Stop();
        SetParticleMessageHook({});
        particleMessages.clear();
    }

    void theWindowsAreMadeOnceInTheProgramsOrder()
    {
        QCOMPARE(WindowKinds(*f.w), (QStringList{"TFOptions", "TFTask", "TFGraph", "TKinF", "TAboutBox", "TFormDKM",
                                                 "TFHeat", "TFSolu", "TAutoF", "TRzForm", "TMaxF"}));
        QCOMPARE(FormDKM->parent(), f.w.get());
        // The chart window of the particles belongs to their control window.
        QVERIFY(f.w->MaxF->Chart() != nullptr);
        for (QWidget* tool : std::initializer_list<QWidget*>{FormDKM, f.w->KinF, f.w->FHeat, f.w->RzForm, f.w->MaxF})
            QVERIFY2(tool->isWindow() && !tool->isVisible(), qPrintable(tool->objectName()));
    }

    void everyWindowCommandOpensItsWindow()
    {
        QVERIFY(ResultsShown);
        f.w->MatsA->trigger();
        QVERIFY(FormDKM->isVisible());
        QVERIFY(!FormDKM->DKMGridCells.Cell(1, 1).empty());

        QStringList opened;
        f.dialog = [&](QDialog& d) {
            opened << d.metaObject()->className();
            return int(QDialog::Rejected);
        };
        for (QAction* a : {f.w->ElectroM, f.w->IsothM, f.w->AutoGraphM, f.w->AboutM})
            a->trigger();
        QCOMPARE(opened, (QStringList{"TFGraph", "TFSolu", "TAutoF", "TAboutBox"}));

        f.w->ProA->trigger();
        QVERIFY(f.w->FHeat->isVisible());
        f.w->ConstrRzM->trigger();
        QVERIFY(f.w->RzForm->isVisible());
        QVERIFY(!f.w->RzForm->RzGridCells.Cell(1, 1).empty());
        f.w->DemonM->trigger();
        QVERIFY(f.w->MaxF->isVisible());
        QVERIFY2(particleMessages.isEmpty(), qPrintable(particleMessages.join("; ")));
        QVERIFY(!f.w->MaxF->DataFile().empty()); // its parameter file loaded
        QVERIFY(f.messages.isEmpty());
    }

    void theStudiesRunOnTheMeltedHeat()
    {
        f.w->GibbsDuhemM->trigger();
        QCOMPARE(f.messages.size(), 1);
        QCOMPARE(f.messages[0].icon, QMessageBox::Information);
        QCOMPARE(f.messages[0].text.count(QStringLiteral("Σ n·Δμ")), 3); // metal, slag and gas
        QVERIFY(!f.messages[0].text.contains(QStringLiteral("Збіжність")));
        QVERIFY(std::isfinite(double(ThSystems[0]->Temperature)));

        // The sample task gives no initial slag: the metal in equilibrium
        // with it is refused, and a command that computed nothing leaves
        // the status as it was.
        const QString before = f.w->SBarPanels[2]->text();
        QVERIFY(before.startsWith(" Mu: "));
        int refused = 0;
        for (QAction* a : {f.w->EquiMetCurM, f.w->EquiMetTskM, f.w->EquiSlgCurM, f.w->EquiSlgTskM}) {
            f.messages.clear();
            f.w->SBarPanels[2]->setText(before);
            a->trigger();
            if (!f.messages.isEmpty() && f.messages[0].text.contains(QStringLiteral("не існує"))) {
                ++refused;
                QCOMPARE(f.w->SBarPanels[2]->text(), before);
            } else {
                QVERIFY2(f.w->SBarPanels[2]->text().startsWith(" Mu/RT: "), qPrintable(a->objectName()));
            }
        }
        QVERIFY(refused >= 1 && refused < 4);
    }

    void theGibbsDuhemReportWritesTheDesktopsDecimalSeparator()
    {
        const char kept = DisplayDecimalSeparator;
        DisplayDecimalSeparator = ','; // as on a Ukrainian desktop
        f.w->GibbsDuhemM->trigger();
        DisplayDecimalSeparator = kept;
        QCOMPARE(f.messages.size(), 1);
        const QString text = f.messages[0].text;
        QVERIFY2(text.contains(QStringLiteral("0,00001 т")), qPrintable(text));
        QVERIFY2(!text.contains(QRegularExpression("\\d\\.\\d")), qPrintable(text));
    }

    void theReactionZoneWindowStaysInFrontAfterItsRefusal()
    {
        // The real box, answered by the user.
        QtHost::SetMessageHook({});
        f.w->ConstrRzM->trigger();
        TRzForm& rz = *f.w->RzForm;
        QVERIFY(QTest::qWaitForWindowExposed(&rz));
        rz.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(&rz));
        // The window manager keeps a box over the window it is transient
        // for, and brings that window up with it.
        QPointer<QWidget> owner;
        QWindow* transientFor = nullptr;
        QString said;
        QTimer answer;
        connect(&answer, &QTimer::timeout, this, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                owner = box->parentWidget() ? box->parentWidget()->window() : nullptr;
                transientFor = box->windowHandle() ? box->windowHandle()->transientParent() : nullptr;
                said = box->text();
                box->button(QMessageBox::Ok)->click();
            }
        });
        answer.start(10);
        QTest::mouseClick(rz.OxiEd, Qt::LeftButton);
        const QString kept = rz.OxiEd->text();
        rz.OxiEd->selectAll();
        QTest::keyClicks(rz.OxiEd, "abc");
        QTest::keyClick(rz.OxiEd, Qt::Key_Return);
        QTRY_VERIFY(!said.isEmpty());
        QVERIFY2(said.contains("m O2"), qPrintable(said));
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(owner.data(), static_cast<QWidget*>(&rz));
        QCOMPARE(transientFor, rz.windowHandle());
        QCOMPARE(rz.OxiEd->text(), kept);
    }

    void aNewProjectLeavesNothingOfThePreviousOneOnScreen()
    {
        f.w->MatsA->trigger();
        f.w->ConstrRzM->trigger();
        f.w->ClearButClick();
        QVERIFY(!FormDKM->isVisible());
        QVERIFY(!f.w->RzForm->isVisible());

        // The studies have no heat to work on.
        const QList<QAction*> studies{f.w->MatsA,       f.w->ElectroM,    f.w->IsothM,      f.w->KinA,
                                      f.w->GibbsDuhemM, f.w->EquiMetCurM, f.w->EquiMetTskM, f.w->EquiSlgCurM,
                                      f.w->EquiSlgTskM, f.w->ConstrRzM};
        f.dialog = [](QDialog&) { return int(QDialog::Rejected); };
        for (QAction* a : studies)
            a->trigger();
        QCOMPARE(f.dialogs, 0);
        QVERIFY2(f.messages.isEmpty(), qPrintable(f.Texts().join("; ")));
        QCOMPARE(f.w->SBarPanels[2]->text(), QString(" Mu:"));
        for (int c = 2; c < ElGridColumns; ++c)
            QVERIFY2(f.w->ElGridCells.Cell(c, 1).empty(), qPrintable(QString::number(c)));
        QVERIFY(!FormDKM->isVisible());
        QVERIFY(!f.w->RzForm->isVisible());

        f.w->OpenFile(f.Path("FERROLYT.FWP").toStdString());
        for (QAction* a : studies)
            QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
    }

    void theExportWritesTheWorkbookItIsGiven()
    {
        const QString file = f.Path("heat.xlsx");
        QString title, suffix;
        const auto choose = [&](const QString& name) {
            f.dialog = [&, name](QDialog& d) {
                auto& files = dynamic_cast<QFileDialog&>(d);
                title = files.windowTitle();
                suffix = files.defaultSuffix();
                files.selectFile(name);
                return int(QDialog::Accepted);
            };
        };
        choose(f.Path("heat"));
        f.w->ExportM->trigger();
        QCOMPARE(title, QString("Eкспорт таблиць у файл"));
        QCOMPARE(suffix, QString("xlsx")); // the dialog confirms the name that is written
        QVERIFY2(QFileInfo(file).size() > 1000, qPrintable(f.Texts().join("; ")));
        QVERIFY2(f.messages.isEmpty(), qPrintable(f.Texts().join("; ")));

        // A name typed as .xls is written as .xlsx: replacing that file is asked first.
        QFile(file).resize(10);
        choose(f.Path("heat.xls"));
        f.answer = QMessageBox::No;
        f.w->ExportM->trigger();
        QCOMPARE(f.Texts(), QStringList{"Файл heat.xlsx вже існує.\nЗамінити?"});
        QCOMPARE(QFileInfo(file).size(), 10);
        choose(f.Path("heat.xls"));
        f.answer = QMessageBox::Yes;
        f.w->ExportM->trigger();
        QVERIFY(QFileInfo(file).size() > 1000);
        QVERIFY(!QFile::exists(f.Path("heat.xls")));
        f.messages.clear();

        // Cancel writes nothing and says nothing.
        f.dialog = [](QDialog&) { return int(QDialog::Rejected); };
        f.w->ExportM->trigger();
        QVERIFY2(f.messages.isEmpty(), qPrintable(f.Texts().join("; ")));
    }

    void theHeatWindowUsesTheMainWindowsDialogs()
    {
        QString filter;
        f.dialog = [&](QDialog& d) {
            filter = dynamic_cast<QFileDialog&>(d).selectedNameFilter();
            return int(QDialog::Rejected);
        };
        QVERIFY(f.w->FHeat->AskHeatFileName().isEmpty());
        QCOMPARE(filter, QString("EAF templates (*.HEA)"));
        filter.clear();
        f.w->OpenHeaM->trigger();
        QCOMPARE(filter, QString("EAF templates (*.HEA)"));

        // The options open on the page asked for, which is given back after.
        f.w->FOptions->Pages->setCurrentIndex(0);
        int page = -1;
        f.dialog = [&](QDialog& d) {
            auto& o = dynamic_cast<TFOptions&>(d);
            page = o.Pages->currentIndex();
            o.Group("RashodVarGrp")->button(1)->setChecked(true);
            return int(QDialog::Accepted);
        };
        QVERIFY(f.w->FHeat->OpenOptions(2));
        QCOMPARE(page, 2);
        QCOMPARE(f.w->FOptions->Pages->currentIndex(), 0);
        QCOMPARE(Settings.ConsumptionMode, uint8_t(1));

        // The main window's options hand the consumption mode to the heat window.
        f.w->FHeat->RunButTag = 0;
        f.w->OptionsM->trigger();
        QCOMPARE(f.w->FHeat->RunButTag, 1);
        f.dialog = [](QDialog&) { return int(QDialog::Rejected); };
        f.w->FHeat->RunButTag = 0;
        f.w->OptionsM->trigger();
        QCOMPARE(f.w->FHeat->RunButTag, 0); // Cancel changes nothing

        // The options of the heat window leave it in front, although the
        // dialog's owner, the main window, comes up when the dialog closes.
        f.w->ProA->trigger();
        for (const int answer : {int(QDialog::Accepted), int(QDialog::Rejected)}) {
            bool mainCameUp = false;
            f.dialog = [&](QDialog&) {
                f.w->activateWindow();
                mainCameUp = QTest::qWaitFor([&] { return QApplication::activeWindow() == f.w.get(); }, StateWaitMs);
                return answer;
            };
            f.w->FHeat->activateWindow();
            QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), static_cast<QWidget*>(f.w->FHeat), StateWaitMs);
            f.w->FHeat->OptionsM->trigger();
            QVERIFY(mainCameUp);
            QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), static_cast<QWidget*>(f.w->FHeat), StateWaitMs);
        }
    }

    void whileBusyOnlyTheCommandsThatDisturbTheRunAskToStop()
    {
        // The studies solve the systems the optimisation is working on, so
        // they ask like the commands that change the task or the files.
        f.w->ConstrRzM->trigger();
        QVERIFY(f.w->RzForm->isVisible());
        const auto amounts = [] {
            std::vector<long double> v;
            for (int j = 1; j <= MaterialCount + 3; ++j)
                v.push_back(MaterialTable[j].Amount);
            return v;
        };
        const std::vector<long double> charged = amounts();
        CalcBusy = true;
        f.answer = QMessageBox::No;
        const QList<QAction*> asking{f.w->TaskA,       f.w->ProA,        f.w->OptionsM,    f.w->PrintA,
                                     f.w->MeltA,       f.w->NewA,        f.w->OpenA,       f.w->SaveA,
                                     f.w->KinA,        f.w->OpenHeaM,    f.w->IsothM,      f.w->ConstrRzM,
                                     f.w->GibbsDuhemM, f.w->EquiMetCurM, f.w->EquiMetTskM, f.w->EquiSlgCurM,
                                     f.w->EquiSlgTskM};
        for (QAction* a : asking) {
            const int before = StopQuestions();
            a->trigger();
            QVERIFY2(StopQuestions() == before + 1, qPrintable(a->objectName()));
        }
        // So do the autosave tick, a file handed to the window, a choice in
        // the task lists and the open reaction-zone window's own calculation.
        QVERIFY(QFile::remove(f.Path("FERROLYT.FWP")));
        f.w->Timer1Timer();
        f.w->OpenFile(f.Path("Ferrolyt.MAT").toStdString());
        f.w->TaskBoxClick(1);
        f.w->TaskListBoxClick(0);
        f.w->RzForm->CalcBut->click();
        QCOMPARE(StopQuestions(), int(asking.size()) + 5);
        QVERIFY(amounts() == charged);
        QVERIFY(!QFile::exists(f.Path("FERROLYT.FWP")));
        QCOMPARE(TaskList.Current, 0);
        QCOMPARE(f.w->TaskBox->currentIndex(), 0);
        QCOMPARE(f.dialogs, 0);
        QVERIFY(!f.w->FHeat->isVisible());
        QVERIFY(!f.w->KinF->isVisible());
        QVERIFY(!f.w->KinF->KinRunning);
        QVERIFY(!StopRequested);
        f.w->RzForm->close();

        // Windows that do not touch the run open without asking.
        f.dialog = [](QDialog&) { return int(QDialog::Rejected); };
        const QList<QAction*> opening{f.w->MatsA, f.w->ElectroM, f.w->AutoGraphM, f.w->DemonM, f.w->AboutM};
        for (QAction* a : opening)
            a->trigger();
        QCOMPARE(StopQuestions(), int(asking.size()) + 5);
        QCOMPARE(f.dialogs, 3);
        QVERIFY(FormDKM->isVisible());
        QVERIFY(f.w->MaxF->isVisible());
        f.answer = QMessageBox::Yes;
        f.w->Timer1Timer();
        QVERIFY(StopRequested);
        QVERIFY(!QFile::exists(f.Path("FERROLYT.FWP")));
    }

    void theStudiesLeaveTheMeltAsTheMainWindowShowsIt()
    {
        const QStringList melt = Redisplayed();
        QVERIFY(!melt.filter(QRegularExpression("[1-9]")).isEmpty());
        f.dialog = [](QDialog& d) {
            if (auto* isotherms = qobject_cast<TFSolu*>(&d)) {
                isotherms->LastPoint = 60;
                isotherms->PointStride = 20;
                isotherms->FormShow();
            }
            return int(QDialog::Rejected);
        };
        for (QAction* a : {f.w->IsothM, f.w->GibbsDuhemM, f.w->EquiMetCurM, f.w->EquiMetTskM, f.w->EquiSlgCurM,
                           f.w->EquiSlgTskM, f.w->ConstrRzM}) {
            a->trigger();
            QCOMPARE(Redisplayed(), melt);
        }
        f.w->RzForm->CalcBut->click();
        QCOMPARE(Redisplayed(), melt);

        // The kinetics melts the current charge first and then moves a copy.
        f.w->KinA->trigger();
        QVERIFY(f.w->KinF->KinRunning);
        const QStringList kineticsMelt = Redisplayed();
        QTRY_VERIFY_WITH_TIMEOUT(f.w->KinF->Kinetics()->StepCount() > 0, StateWaitMs);
        QCOMPARE(Redisplayed(), kineticsMelt);
        f.w->KinF->close();
        QTest::qWait(10);
        QCOMPARE(Redisplayed(), kineticsMelt);

        // Choosing a heat log shows its initial state in the heat window only.
        f.w->ProA->trigger();
        TFHeat& heat = *f.w->FHeat;
        heat.HeatBox->setCurrentIndex(heat.HeatBox->findText("DSP23517"));
        heat.HeatBoxClick();
        QVERIFY(!heat.MetalEd->text().isEmpty());
        QCOMPARE(Redisplayed(), kineticsMelt);
    }

    void aHeatReplayKeepsTheSystemsToItself()
    {
        HeatRunning = true;
        f.answer = QMessageBox::No;
        ThSystems[0]->Temperature = 1234.5L; // what a replay step left
        for (QAction* a : {f.w->MeltA, f.w->GibbsDuhemM, f.w->EquiMetCurM, f.w->IsothM, f.w->KinA}) {
            const int before = StopQuestions();
            a->trigger();
            QVERIFY2(StopQuestions() == before + 1, qPrintable(a->objectName()));
        }
        QCOMPARE(ThSystems[0]->Temperature, 1234.5L);
        QVERIFY(HeatRunning);
        QCOMPARE(f.dialogs, 0);

        // Windows that only read the systems still open.
        f.w->MatsA->trigger();
        QVERIFY(FormDKM->isVisible());
        f.w->ProA->trigger();
        QVERIFY(f.w->FHeat->isVisible());

        // Closing waits for the replay; Yes stops it after its step.
        QVERIFY(!f.w->close());
        QVERIFY(f.w->isVisible());
        QVERIFY(ThSystems[0] != nullptr);
        f.answer = QMessageBox::Yes;
        f.w->MeltA->trigger();
        QVERIFY(!HeatRunning);
        QCOMPARE(ThSystems[0]->Temperature, 1234.5L);
        f.w->MeltA->trigger(); // now it melts
        QVERIFY(ThSystems[0]->Temperature != 1234.5L);
    }

    void closingTheMainWindowEndsTheKineticsUnlessBusy()
    {
        f.w->KinA->trigger();
        QVERIFY(f.w->KinF->isVisible());
        QVERIFY(f.w->KinF->KinRunning);
        CalcBusy = true;
        QVERIFY(!f.w->close());
        QCOMPARE(StopQuestions(), 1);
        QVERIFY(f.w->KinF->KinRunning);
        CalcBusy = false;

        QTest::qWait(30); // a few steps on the timer
        QVERIFY(f.w->close());
        QVERIFY(!f.w->KinF->KinRunning);
        QVERIFY(!f.w->KinF->isVisible());
        QTest::qWait(30); // no step comes after the systems are gone
        QVERIFY(!f.w->KinF->KinRunning);
    }
};

QTEST_MAIN(TstWindows)
#include "tst_windows.moc"
