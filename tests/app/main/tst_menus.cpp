// The main window's smaller commands: printing, manual, About box, options,
// the result task of the last melt, task file removal, materials popup.

#include "AppFixture.h"

#include "AboutBox.h"
#include "FOptions.h"
#include "HelpDocument.h"
#include "MaterialCommands.h"
#include "TaskList.h"
#include "TextFile.h"
#include "ThSys.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QSpinBox>
#include <QComboBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPrintDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QTimer>
#include <QToolButton>

using namespace ferrolyt;

class TstMenus : public QObject {
    Q_OBJECT

    TAppFixture f;

    static QStringList Titles(const QList<QAction*>& actions)
    {
        QStringList titles;
        for (QAction* a : actions)
            if (!a->isSeparator())
                titles << a->text();
        return titles;
    }

private slots:
    void init() { QVERIFY2(f.Start(), qPrintable(f.Texts().join("; "))); }
    void cleanup()
    {
        SetOpenUrlHook({});
        f.Stop();
    }

    void theMenusCarryEveryCommand()
    {
        QCOMPARE(Titles(f.w->menuBar()->actions()), (QStringList{"Файл", "Матеріали", "Завдання", "Оптимізація",
                                                                 "Графіки", "Опції", "Різне", "Довідка"}));
        const std::pair<QAction*, QKeySequence> keys[] = {
            {f.w->MatsA, Qt::Key_F3},   {f.w->ProA, Qt::Key_F4},           {f.w->TaskA, Qt::Key_F5},
            {f.w->ElectroM, Qt::Key_F7}, {f.w->KinA, Qt::CTRL | Qt::Key_K}, {f.w->AutoGraphM, Qt::CTRL | Qt::Key_A},
            {f.w->ExportM, Qt::CTRL | Qt::Key_E}};
        for (const auto& [action, key] : keys)
            QVERIFY2(action->shortcut() == key, qPrintable(action->objectName()));
        QCOMPARE(Titles(f.w->GraphsM->actions()),
                 (QStringList{"Крива електронейтральності", "Кінетика процесу", "Моделювання електродугової плавки",
                              "Ізотерма розчинності кисню", "Рівняння Гіббса-Дюгема", "Автографіки..."}));
        QCOMPARE(Titles(f.w->MiscM->actions()),
                 (QStringList{"Рівноважний метал відносно шлаку", "Рівноважний шлак відносно металу",
                              "Конструктор реакційної зони", "Zivad Urevezozu"}));
        QCOMPARE(f.w->DemonM->toolTip(), QString("Модуль статистичної термодинаміки"));
        QCOMPARE(f.w->MatsA->toolTip(), QString("Властивості матеріалів"));
        QCOMPARE(f.w->KinA->toolTip(), f.w->KinA->text());
        QCOMPARE(f.w->ProA->toolTip(), f.w->ProA->text());
        QCOMPARE(f.w->KinBut->defaultAction(), f.w->KinA);
        QVERIFY(f.w->OpenFileM->actions().contains(f.w->OpenHeaM));
        QVERIFY(f.w->FileM->actions().contains(f.w->ExportM));
        QCOMPARE(f.w->ExportM->text(), QString("Експорт таблиць..."));
        QCOMPARE(f.w->PrintA->text(), QString("Друкувати проєкт"));
        QCOMPARE(f.w->OpenHelpM->text(), QString("Інструкція користувача"));
        QCOMPARE(Titles(f.w->FileM->actions()).mid(0, 6),
                 (QStringList{"Новий проєкт", "Відкрити проєкт", "Відкрити файл...", "Зберегти проєкт",
                              "Зберегти проєкт як...", "Зберегти файл..."}));
    }

    void theTaskFileIsSavedOnItsOwn()
    {
        TaskList.Items[1].Name = "Лише файл завдань";
        QVERIFY(QFile::remove(f.Path("FERROLYT.FWP")));
        f.w->SaveTskM->trigger();
        QVERIFY(f.messages.isEmpty());
        QVERIFY(!QFile::exists(f.Path("FERROLYT.FWP")));
        const auto lines = ReadTextFile1251(f.Path("Ferrolyt.TSK").toStdString());
        QVERIFY(std::find(lines.begin(), lines.end(), "*Лише файл завдань") != lines.end());
    }

    void printingWritesTheWindowToThePrinter()
    {
        const QString pdf = f.Path("window.pdf");
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        f.w->PrintWindow(printer);
        QVERIFY(QFileInfo(pdf).size() > 1000);

        // The command asks through the print dialog, landscape; Cancel prints nothing.
        QPageLayout::Orientation asked = QPageLayout::Portrait;
        f.dialog = [&](QDialog& d) {
            asked = dynamic_cast<QPrintDialog&>(d).printer()->pageLayout().orientation();
            return int(QDialog::Rejected);
        };
        f.w->PrintA->trigger();
        QCOMPARE(f.dialogs, 1);
        QCOMPARE(asked, QPageLayout::Landscape);
        QVERIFY(f.messages.isEmpty());
    }

    void theManualOpensOrSaysItIsMissing()
    {
        QList<QUrl> opened;
        SetOpenUrlHook([&](const QUrl& u) { opened << u; return true; });
        f.w->OpenHelpM->trigger();
        QCOMPARE(f.Texts(), QStringList{"Неможливо відкрити файл Ferrolyt.pdf"});
        QVERIFY(opened.isEmpty());
        // The manual the build writes beside the program: a PDF of many
        // pages with the windows' pictures in it.
        QFile built(FERROLYT_MANUAL_PDF);
        QVERIFY2(built.open(QIODevice::ReadOnly), FERROLYT_MANUAL_PDF);
        const QString pdf = QString::fromLatin1(built.readAll());
        QVERIFY(pdf.startsWith("%PDF-"));
        QVERIFY(pdf.count(QRegularExpression("/Type\\s*/Page[^s]")) >= 12);
        QVERIFY(pdf.count(QRegularExpression("/Subtype\\s*/Image")) >= 10);
        QVERIFY(built.copy(f.Path("Ferrolyt.pdf")));
        f.messages.clear();
        f.w->OpenHelpMClick();
        QVERIFY(f.messages.isEmpty());
        QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(f.Path("Ferrolyt.pdf"))});
    }

    void theAboutBoxNamesTheProgram()
    {
        QString caption, version;
        f.dialog = [&](QDialog& d) {
            auto& box = dynamic_cast<TAboutBox&>(d);
            caption = box.windowTitle();
            version = box.Version->text();
            return int(QDialog::Accepted);
        };
        f.w->AboutM->trigger();
        QCOMPARE(caption, QString("Про програму FERROLYT"));
        QCOMPARE(version, QString("Версiя 2.00"));
    }

    void optionsRedisplayMeltOrReload()
    {
        // A display unit only: redrawn, not solved (a solve would recompute this mass).
        ThSystems[0]->El(0).MetalMass = 12.345L;
        f.dialog = [](QDialog& d) {
            auto& o = dynamic_cast<TFOptions&>(d);
            o.Group("MolePercentGrp")->button(2)->setChecked(true);
            o.AutoSaveSpin->setValue(4);
            o.Check("AutoSaveChk")->setChecked(true);
            return int(QDialog::Accepted);
        };
        f.w->OptionsM->trigger();
        QCOMPARE(Settings.CompositionUnit, uint8_t(2));
        QCOMPARE(QString::fromStdString(f.w->ElGridCells.Cell(2, 1)), QString("12345"));
        QVERIFY(f.w->Timer1->isActive());
        QCOMPARE(f.w->Timer1->interval(), 240000);

        // A model option: melted again.
        f.dialog = [](QDialog& d) {
            dynamic_cast<TFOptions&>(d).Check("BetterConvChk")->setChecked(true);
            return int(QDialog::Accepted);
        };
        f.w->OptionsMClick();
        QVERIFY(Settings.BetterConvergence);
        QVERIFY(ThSystems[0]->El(0).MetalMass != 12.345L);
        QVERIFY(ResultsShown);

        // Widening the ferroalloys reloads the materials and melts.
        MaterialTable[1].Price = -1;
        f.dialog = [](QDialog& d) {
            dynamic_cast<TFOptions&>(d).Check("WidenChk")->setChecked(true);
            return int(QDialog::Accepted);
        };
        f.w->OptionsMClick();
        QVERIFY(MaterialTable[1].Price >= 0);
        QVERIFY(ResultsShown);
        QVERIFY2(f.messages.isEmpty(), qPrintable(f.Texts().join("; ")));
    }

    void theTaskEditorGetsTheLastMeltAsItem61()
    {
        f.dialog = [](QDialog&) { return int(QDialog::Rejected); };
        f.w->TaskMClick();
        const TTaskRecord& r = TaskList.Items[LastMeltTaskSlot];
        const TThSys& s0 = *ThSystems[0];
        const TThSys& s1 = *ThSystems[1];
        // Each pair in order: the sample heat's upper system has more slag.
        QCOMPARE(double(r.IniMinMet), double(std::min(s0.MetalMass, s1.MetalMass)));
        QCOMPARE(double(r.IniMaxMet), double(std::max(s0.MetalMass, s1.MetalMass)));
        QVERIFY(s1.SlagMass > s0.SlagMass);
        QCOMPARE(double(r.IniMinSlg), double(s0.SlagMass));
        QCOMPARE(double(r.IniMaxSlg), double(s1.SlagMass));
        const double t = double((s0.Temperature + s1.Temperature) / 2 - KelvinOffset);
        QVERIFY(std::fabs(double(r.IniTemp) - t) <= 0.05 + 1e-9);
        QCOMPARE(r.NEl, s0.Elems->Count);
        const int fe = s0.Elems->Key(keyFe);
        const int si = s0.Elems->Key(keySi);
        QVERIFY(IsUnset(r.MetalSample[fe + 1]));
        QCOMPARE(QString::fromStdString(r.Symbols[si + 1]), QString::fromStdString(s0.El(si).Symbol));
        QCOMPARE(double(r.MetalSample[si + 1]),
                 double(50 * (s0.El(si).MetalFraction + s1.El(si).MetalFraction)));
        QCOMPARE(double(r.SlagSample[si + 1]),
                 double(50 * (s0.El(si).SlagCompoundFraction + s1.El(si).SlagCompoundFraction)));
    }

    void removingTheLastTaskFileLeavesNoTasks()
    {
        f.w->MainTaskMClick();
        QVERIFY(f.w->RemTaskM->isEnabled());
        QCOMPARE(f.w->RemTaskM->text(), QString("Вилучити Ferrolyt.TSK з проєкту"));
        f.w->RemTaskM->trigger();
        QVERIFY(TaskListBox.empty());
        QCOMPARE(TaskList.Count, 0);
        QCOMPARE(f.w->TaskBox->count(), 0);
        QVERIFY(!f.w->StartA->isEnabled());
        QVERIFY(!f.w->MeltRecA->isEnabled());
        QVERIFY(!ResultsShown);
        f.w->MainTaskMClick();
        QVERIFY(!f.w->RemTaskM->isEnabled());
    }

    void thePopupForbidsAllowsFixesAndBoundsAMaterial()
    {
        const int row = 1;
        const std::string name = MaterialTable[row].Name;
        TTaskRecord& task = TaskList.CurrentTask();
        const int pos = TaskMaterialPosition(task, name);
        QVERIFY(pos <= task.NMat);
        task.Materials[pos].Fixed = UnsetValue;
        MaterialTable[row].Fixed = UnsetValue;
        const long double rec = task.Materials[pos].Recommended;

        f.w->MatsPopPopup(row);
        QCOMPARE(f.w->EnableMatM->text(), QString::fromStdString("Заборонити " + name));
        QVERIFY(f.w->EnableMatM->isVisible());
        f.w->EnableMatM->trigger();
        QVERIFY(MaterialTable[row].Disabled);
        QCOMPARE(double(task.Materials[pos].Fixed), 0.0);
        QVERIFY(f.w->MatGridCells.Cell(2, row).empty());
        f.w->MatsPopPopup(row);
        QCOMPARE(f.w->EnableMatM->text(), QString::fromStdString("Дозволити " + name));
        f.w->EnableMatM->trigger();
        QVERIFY(!MaterialTable[row].Disabled);
        QVERIFY(IsUnset(task.Materials[pos].Fixed));
        QCOMPARE(QString::fromStdString(f.w->MatGridCells.Cell(2, row)),
                 QString::fromStdString(FormatGeneral(std::max(rec, task.Materials[pos].MinT), 3, 0)));

        // Fixing takes the mass cell; unfixing keeps it as the recommended mass.
        f.w->MatGridCells.SetCell(2, row, "42");
        f.w->MatsPopPopup(row);
        QCOMPARE(f.w->FixMatM->text(), QString::fromStdString("Зафiксувати " + name));
        f.w->FixMatM->trigger();
        QCOMPARE(double(MaterialTable[row].Fixed), 42.0);
        f.w->MatsPopPopup(row);
        QCOMPARE(f.w->FixMatM->text(), QString::fromStdString("Розфiксувати " + name));
        f.w->FixMatM->trigger();
        QVERIFY(IsUnset(task.Materials[pos].Fixed));
        QCOMPARE(double(task.Materials[pos].Recommended), 42.0);

        // A bound: "0" changes nothing, an empty answer removes it.
        QString caption;
        QString answer = "7,5";
        f.dialog = [&](QDialog& d) {
            auto& q = dynamic_cast<QInputDialog&>(d);
            caption = q.windowTitle();
            q.setTextValue(answer);
            return int(QDialog::Accepted);
        };
        f.w->MatsPopPopup(row);
        f.w->SetMatMaxM->trigger();
        QCOMPARE(caption, QString::fromStdString("Задати макс масу " + name + ", т"));
        QCOMPARE(double(task.Materials[pos].MaxT), 7.5);
        QCOMPARE(double(MaterialTable[row].MaxT), 7.5);
        answer = "0";
        f.w->SetMatMaxM->trigger();
        QCOMPARE(double(task.Materials[pos].MaxT), 7.5);
        answer = "";
        f.w->SetMatMaxM->trigger();
        QVERIFY(IsUnset(task.Materials[pos].MaxT));

        // Header rows hide the per-material items.
        f.w->MatsPopPopup(0);
        QVERIFY(!f.w->EnableMatM->isVisible());
        QVERIFY(f.w->ClrMatsM->isVisible());
    }

    void currentMassesBecomeTheRecommendedCharge()
    {
        for (int r = 1; r < f.w->MatGridCells.RowCount(); ++r)
            f.w->MatGridCells.SetCell(2, r, "");
        f.w->MatGridCells.SetCell(2, 2, "33");
        for (int j = 1; j <= MaterialCount; ++j)
            MaterialTable[j].Fixed = UnsetValue;
        f.w->CurRecMatsM->trigger();
        QVERIFY(f.w->MeltRecA->isEnabled());
        const TTaskRecord& task = TaskList.CurrentTask();
        for (int k = 1; k <= task.NMat; ++k) {
            const long double expected = task.Materials[k].TableIndex == 2 ? 33 : UnsetValue;
            QCOMPARE(double(task.Materials[k].Recommended), double(expected));
        }
        f.w->ClearAllMatsM->trigger();
        QVERIFY(f.w->MatGridCells.Cell(2, 2).empty());
        f.w->CurRecMatsM->trigger();
        QVERIFY(!f.w->MeltRecA->isEnabled());

        const QString tonnes = QString::fromStdString(f.w->MatGridCells.Cell(2, 0));
        QCOMPARE(tonnes, QString("т")); // Cyrillic, as the window starts
        f.w->KmolM->trigger();
        QVERIFY(MatsInKmoles);
        QCOMPARE(QString::fromStdString(f.w->MatGridCells.Cell(2, 0)), QString("kmol"));
        f.w->MainMatsMClick();
        QVERIFY(f.w->KmolM->isChecked());
        f.w->TonsM->trigger();
        QVERIFY(!MatsInKmoles);
        QCOMPARE(QString::fromStdString(f.w->MatGridCells.Cell(2, 0)), tonnes);
    }
};

QTEST_MAIN(TstMenus)
#include "tst_menus.moc"
