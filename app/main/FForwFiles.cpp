// The main window's file commands (open, save, the project's files), its
// menu commands and the materials grid's popup.

#include "FForw.h"

#include "AboutBox.h"
#include "AutoF.h"
#include "AutographPoint.h"
#include "FGraph.h"
#include "FHeat.h"
#include "FOptions.h"
#include "FSolu.h"
#include "FTask.h"
#include "FormDKM.h"
#include "KinF.h"
#include "MaxF.h"
#include "ResultsExport.h"
#include "RzForm.h"
#include "Studies.h"
#include "StudyScope.h"
#include "HelpDocument.h"
#include "LastMeltTask.h"
#include "MaterialCommands.h"
#include "Materials.h"
#include "ModalDialog.h"
#include "NumberInput.h"
#include "OptionControls.h"
#include "ProgramDir.h"
#include "Project.h"
#include "Utils.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QLabel>
#include <QMenuBar>
#include <QTableView>
#include <QTimer>

using namespace ferrolyt;

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// The main window's commands as an autograph point uses them, so that every
// point is also shown in the window.
class TWindowAutographCommands : public TAutographCommands {
public:
    explicit TWindowAutographCommands(TFForw& w) : w_(w) {}

    bool MeltButClick() override
    {
        w_.MeltButClick(-1);
        return ResultsShown;
    }
    void SetIdle(bool idle) override { w_.SetIdle(idle); }
    bool BuildConstraintBlocks() override { return w_.OptimiserCalls.BuildConstraintBlocks(); }
    int32_t Optimise(int32_t released) override { return w_.OptimiserCalls.Optimise(released); }
    void ShowForwardProblem(bool recompute) override { w_.ShowForwardProblem(recompute); }
    void ProcessMessages() override { QCoreApplication::processEvents(); }
    void RefreshCurrentTask() override { w_.MeltButClick(-1); }

private:
    TFForw& w_;
};

} // namespace

// ---------------------------------------------------------------------------
// File commands

QStringList OpenFilters(bool save)
{
    if (save)
        return {QStringLiteral("Файлы проектов (*.FWP)"), QStringLiteral("Файлы констант (*.CON)"),
                QStringLiteral("Файлы материалов (*.MAT)"), QStringLiteral("Файлы заданий (*.TSK)"),
                QStringLiteral("Все файлы Ferrolyt (*.FWP *.CON *.MAT *.TSK)")};
    return {QStringLiteral("Projects (*.FWP)"),      QStringLiteral("Constants (*.CON)"),
            QStringLiteral("Materials (*.MAT)"),     QStringLiteral("Tasks (*.TSK)"),
            QStringLiteral("EAF templates (*.HEA)"), QStringLiteral("Datafiles (*.XLS)"),
            QStringLiteral("All files (*.FWP *.CON *.MAT *.TSK *.HEA *.XLS)")};
}

QString TFForw::AskOpenFileName(int tag)
{
    QFileDialog dialog(this, QStringLiteral("Ferrolyt"), Q(ProgramDir()));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    const QStringList filters = OpenFilters(false);
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.value(tag - 1, filters.front()));
    if (ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().front();
}

void TFForw::OpenMClick(int tag)
{
    if (AskIfBusy())
        return;
    const QString name = AskOpenFileName(tag);
    if (!name.isEmpty())
        OpenFile(name.toStdString());
}

void TFForw::OpenFile(const std::string& fileName)
{
    if (AskIfSystemsInUse())
        return;
    const std::string ext = UpperCase1251(Utf8Left(std::filesystem::path(fileName).extension().string(), 5));
    // The model comes back by itself from a refused file; the window's
    // charge and results are put back here.
    const TShownHeat shown = ShownHeat();
    if (ext == ".FWP") {
        if (!LoadProject(fileName))
            ShowHeatAgain(shown);
    } else if (ext == ".CON") {
        if (OpenConstantsFile(fileName))
            MeltButClick(-1);
        else
            ShowHeatAgain(shown);
    } else if (ext == ".MAT") {
        if (OpenMaterialsFile(fileName))
            MeltButClick(-1);
        else
            ShowHeatAgain(shown);
    } else if (ext == ".TSK") {
        if (!OpenTaskFile(fileName)) {
            ShowHeatAgain(shown);
            return;
        }
        const std::string name = TaskList.FileName;
        TaskMatFiles.resize(TaskListBox.size());
        for (std::size_t i = 0; i < TaskListBox.size(); ++i) {
            if (UpperCase1251(TaskListBox[i].Text) != UpperCase1251(name))
                continue;
            if (SelectTaskFile(static_cast<int>(i))) {
                ShowTaskListBox();
                MeltButClick(-1);
            } else {
                ShowHeatAgain(shown);
            }
            return;
        }
        if (CurrentHost().AskYesNo("Добавить файл заданий " + name + " в проект?") || TaskListBoxIndex < 0 ||
            TaskListBoxIndex >= static_cast<int>(TaskListBox.size())) {
            // With no entry to replace the file is added in any case, so
            // that the project keeps a record of it.
            TaskListBox.push_back({name, 0});
            TaskMatFiles.push_back(ProjectValue("MatFile"));
            TaskListBoxIndex = static_cast<int>(TaskListBox.size()) - 1;
        } else {
            TaskListBox[static_cast<std::size_t>(TaskListBoxIndex)].Text = name;
        }
        ShowTaskListBox();
        MeltButClick(-1);
    }
}

void TFForw::TaskListBoxClick(int index)
{
    if (AskIfSystemsInUse())
        return;
    const TShownHeat shown = ShownHeat();
    if (!SelectTaskFile(index))
        ShowHeatAgain(shown);
    else if (MeltRecA->isEnabled())
        MeltButClick(1);
}

void TFForw::TaskBoxClick(int index)
{
    if (AskIfSystemsInUse()) {
        TaskBox->setCurrentIndex(TaskList.Current); // the choice did not happen
        return;
    }
    if (index < 0 || index >= TaskList.Count)
        return;
    TaskList.Current = index;
    if (TaskListBoxIndex >= 0 && TaskListBoxIndex < static_cast<int>(TaskListBox.size()))
        TaskListBox[static_cast<std::size_t>(TaskListBoxIndex)].TaskIndex = index;
    ElGrid->setFocus();
    MeltRecA->setEnabled(TaskList.HasMaterialBounds(index));
    StartA->setEnabled(TaskList.HasMassBounds(index));
    if (MeltRecA->isEnabled())
        MeltButClick(-1);
}

void TFForw::ClearButClick()
{
    if (AskIfSystemsInUse())
        return;
    // The windows that show the previous heat close with it; a kinetics run
    // ends with its window, before the systems are emptied.
    for (QWidget* w : std::initializer_list<QWidget*>{KinF, FormDKM, RzForm})
        w->close();
    SystemElemLast = 0;
    MaterialCount = 0;
    if (ThSystems[0] && ThSystems[0]->Elems)
        ThSystems[0]->Elems->Clear();
    MaterialTable.Fill(ZeroMaterialRecord());
    // The template lists the table's materials: none now. Names it kept
    // would come up in a new task as materials the project does not have.
    TTaskRecord& templ = TaskList.Items[0];
    templ.NMat = 0;
    templ.Materials.Fill(TMaterialRecord{});
    MeltA->setEnabled(false);
    MeltRecA->setEnabled(false);
    ClearResults(false, false, 1);
    MatGridCells.SetRowCount(2);
    ElGridCells.SetRowCount(2);
    GridsChanged();
    // A melt's clearing keeps the materials file, the solver and Cp/Kp, which
    // the next melt rewrites; a new project has none of them.
    for (int p : {4, 6, 7, 8})
        SBarPanels[p]->clear();
    EditIniT->clear();
    EditFinT->clear();
    EditP->setText(QStringLiteral("1"));
    NameUntitledProject();
    setWindowTitle(QStringLiteral("Ferrolyt"));
    TaskList.Clear();
    TaskListBox.clear();
    TaskListBoxIndex = -1;
    ShowTaskListBox();
    StartA->setEnabled(false);
}

void TFForw::SaveButClick(int tag)
{
    if (AskIfBusy())
        return;
    SaveProject(tag);
}

void TFForw::SaveTskMClick()
{
    if (AskIfBusy())
        return;
    TaskList.SaveToFile(); // a failure is reported by the writer
}

void TFForw::Timer1Timer() { SaveButClick(0); }

void TFForw::SetAutoSaveTimer()
{
    Timer1->setInterval(int(Settings.AutoSaveMinutes) * 60000);
    if (Settings.AutoSave)
        Timer1->start();
    else
        Timer1->stop();
}

// ---------------------------------------------------------------------------
// Menu commands

void TFForw::TaskMClick()
{
    if (AskIfSystemsInUse())
        return;
    if (ThSystems[0] && ThSystems[1])
        FillLastMeltTask(TaskList.Items[LastMeltTaskSlot], TaskList.Items[0], *ThSystems[0], *ThSystems[1]);
    FTask->FormShow();
    if (ExecModal(*FTask) != QDialog::Accepted || MaterialCount < 1)
        return;
    MeltRecA->setEnabled(TaskList.HasMaterialBounds(TaskList.Current));
    StartA->setEnabled(TaskList.HasMassBounds(TaskList.Current));
    if (MeltRecA->isEnabled())
        MeltButClick(-1);
}

void TFForw::OptionsMClick()
{
    if (AskIfSystemsInUse())
        return;
    const TSettingsRecord before = Settings;
    FOptions->FormShow();
    if (ExecModal(*FOptions) == QDialog::Accepted)
        FHeat->RunButTag = Settings.ConsumptionMode;
    switch (OptionsChangeEffect(before, Settings, ResultsShown)) {
    case TOptionsEffect::Melt:
        MeltButClick(0);
        break;
    case TOptionsEffect::ReloadMaterials:
        if (TaskListBoxIndex >= 0 && TaskListBoxIndex < static_cast<int>(TaskMatFiles.size()))
            LoadMaterials(TaskMatFiles[static_cast<std::size_t>(TaskListBoxIndex)], true);
        else
            LoadMaterials(ProjectValue("MatFile"), true);
        MeltButClick(0);
        break;
    case TOptionsEffect::Redisplay:
        ShowForwardProblem(false);
        break;
    case TOptionsEffect::Nothing:
        break;
    }
    SetAutoSaveTimer();
}

void TFForw::PrintButClick()
{
    if (AskIfBusy())
        return;
    QPrinter printer(QPrinter::HighResolution);
    const QPageLayout::Orientation orientation = printer.pageLayout().orientation();
    printer.setPageOrientation(QPageLayout::Landscape);
    QPrintDialog dialog(&printer, this);
    if (ExecModal(dialog) == QDialog::Accepted)
        PrintWindow(printer);
    printer.setPageOrientation(orientation);
}

void TFForw::PrintWindow(QPrinter& printer)
{
    const QPixmap image = grab();
    QPainter painter;
    if (!painter.begin(&printer)) {
        ShowWarning("Неможливо надрукувати вікно");
        return;
    }
    const QRect page = painter.viewport();
    QSize size = image.size();
    size.scale(page.size(), Qt::KeepAspectRatio);
    painter.setViewport(page.x(), page.y(), size.width(), size.height());
    painter.setWindow(image.rect());
    painter.drawPixmap(0, 0, image);
    painter.end();
}

void TFForw::OpenHelpMClick() { OpenHelpDocument(); }

void TFForw::AboutMClick() { ExecModal(*AboutBox); }

bool TFForw::OpenOptionsPage(int page)
{
    const int previous = FOptions->Pages->currentIndex();
    FOptions->Pages->setCurrentIndex(page);
    FOptions->FormShow();
    const bool ok = ExecModal(*FOptions) == QDialog::Accepted;
    FOptions->Pages->setCurrentIndex(previous);
    return ok;
}

void TFForw::ExportMClick() { ExportResultsCommand(*this); }

void TFForw::ProAExecute()
{
    if (AskIfBusy())
        return;
    FHeat->show();
    FHeat->raise();
    FHeat->activateWindow();
}

void TFForw::EffMatMClick() { FormDKM->ShowEffects(); }

void TFForw::ElectroMClick() { ExecModal(*FGraph); }

void TFForw::IsothMClick()
{
    if (AskIfSystemsInUse())
        return;
    ExecModal(*FSolu);
}

void TFForw::KineMClick()
{
    if (AskIfReplaying())
        return;
    // The kinetics window asks the stop question itself while busy.
    KinF->KineMClick([this] { MeltButClick(0); });
}

void TFForw::AutoGraphMClick()
{
    if (AskIfReplaying())
        return;
    TWindowAutographCommands commands(*this);
    AutoF->SetCommands(&commands);
    struct TDetach {
        TAutoF* f;
        ~TDetach() { f->SetCommands(nullptr); }
    } detach{AutoF};
    ExecModal(*AutoF);
}

void TFForw::GibbsDuhemMClick()
{
    if (AskIfSystemsInUse())
        return;
    TGibbsDuhemResult result;
    {
        const TStudyScope scope;
        result = GibbsDuhemCheck();
    }
    CurrentHost().ShowInformation(GibbsDuhemReport(result, DisplayDecimalSeparator));
}

void TFForw::EquiMetClick(int tag)
{
    if (AskIfSystemsInUse())
        return;
    const TStudyScope scope;
    EquilibrateBothSystems(true, tag == 1);
}

void TFForw::EquiSlgClick(int tag)
{
    if (AskIfSystemsInUse())
        return;
    const TStudyScope scope;
    EquilibrateBothSystems(false, tag == 1);
}

void TFForw::ConstrRzMClick()
{
    if (AskIfSystemsInUse())
        return;
    RzForm->show();
    RzForm->raise();
    RzForm->activateWindow();
}

void TFForw::DemonMClick()
{
    MaxF->show();
    MaxF->raise();
    MaxF->activateWindow();
}

void TFForw::TopButClick(bool down)
{
    setWindowFlag(Qt::WindowStaysOnTopHint, down);
    show(); // changing the flag hides the window
}

void TFForw::MainTaskMClick()
{
    RemTaskM->setEnabled(!TaskListBox.empty());
    if (!TaskListBox.empty())
        RemTaskM->setText(Q("Вилучити " + TaskFileBox->currentText().toStdString() + " з проєкту"));
}

void TFForw::RemTaskMClick()
{
    if (AskIfSystemsInUse())
        return;
    const int i = TaskListBoxIndex;
    if (i < 0 || i >= static_cast<int>(TaskListBox.size()))
        return;
    TaskListBox.erase(TaskListBox.begin() + i);
    if (i < static_cast<int>(TaskMatFiles.size()))
        TaskMatFiles.erase(TaskMatFiles.begin() + i);
    if (TaskListBox.empty()) {
        TaskListBoxIndex = -1;
        ShowTaskListBox();
        ClearResults(false, false, 2);
        TaskList.Clear();
        TaskBox->clear();
        StartA->setEnabled(false);
        MeltRecA->setEnabled(false);
        return;
    }
    TaskListBoxIndex = std::min(i, static_cast<int>(TaskListBox.size()) - 1);
    ShowTaskListBox();
    TaskListBoxClick(TaskListBoxIndex);
}

// ---------------------------------------------------------------------------
// Materials popup

void TFForw::CreateMaterialsPopup()
{
    MatsPop = new QMenu(this);
    MatsPop->setObjectName("MatsPop");
    auto item = [this](const char* name, int tag) {
        QAction* a = MatsPop->addAction(QString());
        a->setObjectName(name);
        a->setData(tag);
        return a;
    };
    EnableMatM = item("EnableMatM", 0);
    FixMatM = item("FixMatM", 0);
    SetMatRecM = item("SetMatRecM", 0);
    SetMatMinM = item("SetMatMinM", 1);
    SetMatMaxM = item("SetMatMaxM", 2);
    SetMatMinPctM = item("SetMatMinPctM", 3);
    SetMatMaxPctM = item("SetMatMaxPctM", 4);
    MatsPop->addSeparator();
    EnableAllMatsM = item("EnableAllMatsM", 0);
    ClrMatsM = item("ClrMatsM", 0);
    RecAllMatsM = item("RecAllMatsM", 0);
    MatsPop->addSeparator();
    MatTonsM = item("MatTonsM", 0);
    MatKmolesM = item("MatKmolesM", 1);
    MatTonsM->setCheckable(true);
    MatKmolesM->setCheckable(true);
    auto command = [this](QAction* a, const std::function<void()>& f) {
        connect(a, &QAction::triggered, this, [this, f] { RunCommand(f); });
    };
    command(EnableMatM, [this] { EnableMatMClick(); });
    command(FixMatM, [this] { FixMatClick(); });
    for (QAction* a : {SetMatRecM, SetMatMinM, SetMatMaxM, SetMatMinPctM, SetMatMaxPctM})
        command(a, [this, a] { SetMatRecMClick(a->data().toInt()); });
    command(EnableAllMatsM, [this] { EnableAllMatsMClick(); });
    command(ClrMatsM, [this] { ClrMatsMClick(); });
    command(RecAllMatsM, [this] { RecAllMatsMClick(); });
    command(MatTonsM, [this] { MatKmolesMClick(0); });
    command(MatKmolesM, [this] { MatKmolesMClick(1); });
    MatGrid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(MatGrid, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) {
        // The model's row 0 is the header row of the grid's cells.
        const int row = MatGrid->rowAt(p.y()) + 1; // -1 (no row) gives the header row
        MatsPopPopup(row);
        MatsPop->popup(MatGrid->viewport()->mapToGlobal(p));
    });
    MatGrid->installEventFilter(this);
    for (QLineEdit* e : {EditP, EditIniT})
        connect(e, &QLineEdit::returnPressed, this, [this] { RunCommand([this] { MeltButClick(0); }); });
}

namespace {

// The current task, or a scratch record when there is none, so that the
// popup's commands still work on the materials table.
TTaskRecord& PopupTask()
{
    static TTaskRecord scratch;
    if (TaskList.Current >= 0 && TaskList.Current < TaskList.Count)
        return TaskList.CurrentTask();
    scratch = TTaskRecord{};
    return scratch;
}

} // namespace

void TFForw::MatsPopPopup(int row)
{
    PopupMaterialRow = row;
    const bool material = row >= 1 && row <= MaterialCount;
    for (QAction* a : {EnableMatM, FixMatM, SetMatRecM, SetMatMinM, SetMatMaxM, SetMatMinPctM, SetMatMaxPctM})
        a->setVisible(material);
    if (material) {
        const TMaterialRecord& slot = MaterialTable[row];
        PopupTaskMaterial = TaskMaterialPosition(PopupTask(), slot.Name);
        const TMaterialPopupTexts texts = MaterialPopupTexts(slot, MatGridCells.Cell(2, row));
        EnableMatM->setText(Q(texts.Enable));
        FixMatM->setText(Q(texts.Fix));
        FixMatM->setEnabled(texts.FixEnabled);
    }
    MatTonsM->setChecked(!MatsInKmoles);
    MatKmolesM->setChecked(MatsInKmoles);
}

void TFForw::EnableMatMClick()
{
    const int j = PopupMaterialRow;
    if (j < 1 || j > MaterialCount)
        return;
    TMaterialRecord* m = TaskMaterialAt(PopupTask(), PopupTaskMaterial, j);
    TMaterialRecord spare;
    const auto cell = EnableMaterial(m ? *m : spare, MaterialTable[j]);
    if (cell)
        MatGridCells.SetCell(2, j, *cell);
    GridsChanged();
}

void TFForw::EnableAllMatsMClick()
{
    std::vector<std::string> cells(static_cast<std::size_t>(MatGridCells.RowCount()));
    for (int r = 0; r < MatGridCells.RowCount(); ++r)
        cells[static_cast<std::size_t>(r)] = MatGridCells.Cell(2, r);
    EnableAllMaterials(PopupTask(), MaterialTable, cells);
    for (int r = 1; r < MatGridCells.RowCount(); ++r)
        MatGridCells.SetCell(2, r, cells[static_cast<std::size_t>(r)]);
    GridsChanged();
}

void TFForw::FixMatClick()
{
    const int j = PopupMaterialRow;
    if (j < 1 || j > MaterialCount)
        return;
    TMaterialRecord* m = TaskMaterialAt(PopupTask(), PopupTaskMaterial, j);
    TMaterialRecord spare;
    FixMaterial(m ? *m : spare, MaterialTable[j], MatGridCells.Cell(2, j));
    GridsChanged();
}

void TFForw::SetMatRecMClick(int tag)
{
    const int j = PopupMaterialRow;
    if (j < 1 || j > MaterialCount)
        return;
    static QAction* const* items[] = {&SetMatRecM, &SetMatMinM, &SetMatMaxM, &SetMatMinPctM, &SetMatMaxPctM};
    const QAction* item = *items[std::clamp(tag, 0, 4)];
    TMaterialRecord& slot = MaterialTable[j];
    QInputDialog box(this);
    box.setWindowTitle(Q(MaterialBoundCaption(item->text().toStdString(), slot.Name)));
    box.setLabelText(QStringLiteral("Введіть число"));
    box.setTextValue(Q(MaterialBoundProposal(slot, tag)));
    if (ExecModal(box) != QDialog::Accepted)
        return;
    TMaterialRecord* m = TaskMaterialAt(PopupTask(), PopupTaskMaterial, j);
    TMaterialRecord spare;
    const std::string answer = box.textValue().toStdString();
    if (!ApplyMaterialBound(answer, m ? *m : spare, slot, tag)) {
        const std::string field = box.windowTitle().toStdString();
        ShowWarning(NumberRefusal(field, answer)
                        .value_or("Поле \"" + field + "\": потрібне число, більше за нуль. Залишено попереднє значення."));
    }
    GridsChanged();
}

void TFForw::RecAllMatsMClick()
{
    std::vector<std::string> cells(static_cast<std::size_t>(MatGridCells.RowCount()));
    for (int r = 0; r < MatGridCells.RowCount(); ++r)
        cells[static_cast<std::size_t>(r)] = MatGridCells.Cell(2, r);
    MeltRecA->setEnabled(CurrentMassesAsRecommended(PopupTask(), MaterialTable, cells));
}

void TFForw::ClrMatsMClick()
{
    MatGridCells.ClearColumns(2);
    GridsChanged();
}

void TFForw::MatKmolesMClick(int tag)
{
    MatsInKmoles = tag == 1;
    // Tonnes as the header names them at start (MatGridHeader).
    MatGridCells.SetCell(2, 0, MatsInKmoles ? "kmol" : "т");
    GridsChanged();
    if (ResultsShown)
        MeltButClick(0);
}

void TFForw::MainMatsMClick()
{
    TonsM->setChecked(!MatsInKmoles);
    KmolM->setChecked(MatsInKmoles);
}
