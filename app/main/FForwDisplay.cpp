// The main window's grids and result edits after a melt, and what the
// engine and the task editor ask of the window.

#include "FForw.h"

#include "ForwardProblem.h"
#include "FormDKM.h"
#include "GridModel.h"
#include "ModalDialog.h"
#include "Settings.h"
#include "ThSys.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTreeWidget>

using namespace ferrolyt;

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

const QString ChargeHint = QStringLiteral("Питомий заряд шлаку, F/моль");

} // namespace

// ---------------------------------------------------------------------------
// Result display

void TFForw::GridsChanged()
{
    ElGridModel->Refresh();
    MatGridModel->Refresh();
    GasGridModel->Refresh();
}

void TFForw::ShowSystemInGrid(TThSys& sys, bool showNmi, bool showMaterialAmounts)
{
    ferrolyt::ShowSystemInGrid(sys, showNmi, showMaterialAmounts, ElGridCells, MatGridCells, ThSystems[0].get());
    GridsChanged();
}

void TFForw::ShowForwardProblem(bool recompute)
{
    CreateSystems();
    TThSys& s0 = *ThSystems[0];
    TThSys& s1 = *ThSystems[1];
    static int64_t stopCounter = 0;
    if (recompute) {
        const TBusyCursor busy;
        const TForwardResult result = SolveForwardProblem(); // warns itself when not converged
        stopCounter = result.StopCounter;
    }
    FillGasGrid(GasGridCells, s0, s1);
    for (TThSys* s : {&s0, &s1})
        ShowSystemInGrid(*s, Settings.CalcNmi && s->NmiSolved, false);
    FillElementExtraColumns(ElGridCells, s0, s1);

    TResultTexts texts = ResultEditTexts(s0, s1);
    FillChargeTexts(MatGridCells, texts);
    for (const auto& [edit, field] : RangeEdits())
        FitResultEdit(*edit, field);
    EditCost->setText(Q(texts.ChargeCost));
    EditMatM->setText(Q(texts.ChargeMass));

    const auto panels = ResultStatusTexts(s0, s1, stopCounter);
    for (int p : {0, 1, 2, 3, 5, 7, 8})
        SBarPanels[p]->setText(Q(panels[static_cast<std::size_t>(p)]));
    ResultsShown = true;
    GridsChanged();
}

namespace {

// The edits the heat fills, and those the user types into.
QList<QLineEdit*> HeatEdits(const TFForw& w)
{
    return {w.EditIniT, w.EditP,   w.EditFinT, w.EditMetM, w.EditSlgM, w.EditOsn,
            w.EdCharge, w.EditGasM, w.EditNmiM, w.EditMatM, w.EditCost};
}

} // namespace

TFForw::TShownHeat TFForw::ShownHeat() const
{
    TShownHeat shown;
    shown.El = ElGridCells;
    shown.Mat = MatGridCells;
    shown.Gas = GasGridCells;
    if (FormDKM)
        shown.Effects = FormDKM->DKMGridCells;
    for (const QLineEdit* e : HeatEdits(*this)) {
        shown.Edits.append(e->text());
        shown.EditHints.append(e->toolTip());
    }
    for (const QLabel* panel : SBarPanels)
        shown.Panels.append(panel->text());
    shown.Shown = ResultsShown;
    shown.GasLines = GasLineCount;
    shown.Alternatives = Alternatives;
    shown.CurrentAlternative = CurrentAlternative;
    return shown;
}

void TFForw::ShowHeatAgain(const TShownHeat& shown)
{
    ElGridCells = shown.El;
    MatGridCells = shown.Mat;
    GasGridCells = shown.Gas;
    if (FormDKM) {
        FormDKM->DKMGridCells = shown.Effects;
        FormDKM->DKMGridModel->Refresh();
    }
    const QList<QLineEdit*> edits = HeatEdits(*this);
    for (qsizetype i = 0; i < edits.size() && i < shown.Edits.size(); ++i) {
        edits[i]->setText(shown.Edits[i]);
        edits[i]->setCursorPosition(0);
        edits[i]->setToolTip(shown.EditHints.value(i));
    }
    for (qsizetype p = 0; p < SBarPanels.size() && p < shown.Panels.size(); ++p)
        SBarPanels[p]->setText(shown.Panels[p]);
    ResultsShown = shown.Shown;
    GasLineCount = shown.GasLines;
    Alternatives = shown.Alternatives;
    CurrentAlternative = shown.CurrentAlternative;
    ShowAlternatives();
    GridsChanged();
}

std::vector<std::pair<QLineEdit*, std::string TResultTexts::*>> TFForw::RangeEdits() const
{
    return {{EditMetM, &TResultTexts::MetalMass}, {EditSlgM, &TResultTexts::SlagMass},
            {EditGasM, &TResultTexts::GasMass},   {EditNmiM, &TResultTexts::NmiMass},
            {EditOsn, &TResultTexts::Basicity},   {EdCharge, &TResultTexts::SlagCharge},
            {EditFinT, &TResultTexts::FinalTemp}};
}

void TFForw::FitResultEdit(QLineEdit& edit, std::string TResultTexts::*field)
{
    const TThSys* s0 = ThSystems[0].get();
    const TThSys* s1 = ThSystems[1].get();
    if (!s0 || !s1)
        return;
    // A range wider than its edit loses digits rather than an end: the
    // edit would scroll its start away ("7933..0,08439" for 0,07933..).
    const int room = edit.contentsRect().width() - 8;
    const std::string whole = ResultEditTexts(*s0, *s1).*field;
    std::string shown = whole;
    for (int fewer = 1; fewer <= 4 && edit.fontMetrics().horizontalAdvance(Q(shown)) > room; ++fewer)
        shown = ResultEditTexts(*s0, *s1, fewer).*field;
    edit.setText(Q(shown));
    edit.setCursorPosition(0); // what does not fit is cut at the end
    QString hint = &edit == EdCharge ? ChargeHint : QString();
    if (shown != whole)
        hint += (hint.isEmpty() ? QString() : QStringLiteral("\n")) + Q(whole);
    edit.setToolTip(hint);
}

void TFForw::ClearResults(bool keepMaterialAmounts, bool keepAlternatives, int firstColumn)
{
    if (!keepMaterialAmounts)
        MatGridCells.ClearColumns(firstColumn);
    GasLineCount = 0;
    if (FormDKM)
        FormDKM->ClearGrid();
    ElGridCells.ClearColumns(firstColumn);
    GasGridCells.ClearColumns(1);
    for (QLineEdit* e : {EditFinT, EditMetM, EditSlgM, EditGasM, EditOsn, EdCharge, EditNmiM, EditMatM, EditCost}) {
        e->clear();
        e->setToolTip(e == EdCharge ? ChargeHint : QString());
    }
    const auto panels = ClearedStatusTexts();
    for (int p = 0; p < StatusPanelCount; ++p)
        if (panels[static_cast<std::size_t>(p)])
            SBarPanels[p]->setText(Q(*panels[static_cast<std::size_t>(p)]));
    ResultsShown = false;
    if (!keepAlternatives) {
        Alternatives.clear();
        CurrentAlternative = -1;
        AltView->clear();
        AltView->setStyleSheet(QString());
        SetAltViewHeight(0);
    }
    GridsChanged();
}

void TFForw::MolePercMClick(QAction* item)
{
    const auto before = EncodeSettings(Settings);
    const bool relSystem = ElemRelToSystem, relElement = ElemRelToElement;
    const int tag = item->data().toInt();
    const bool ticked = item->isChecked();
    switch (tag) {
    case 0: case 1: case 2: case 3:
        Settings.CompositionUnit = static_cast<uint8_t>(tag);
        break;
    case 4:
        Settings.AverageValues = ticked;
        break;
    case 5:
        ElemRelToSystem = ticked;
        if (ticked) {
            ElemRelToElement = false;
            MsgPercM->setChecked(false);
        }
        break;
    case 6:
        ElemRelToElement = ticked;
        if (ticked) {
            ElemRelToSystem = false;
            SysPercM->setChecked(false);
        }
        break;
    case 7:
        Settings.LogValues = ticked;
        break;
    case 8:
        Settings.MorePrecision = ticked;
        break;
    default:
        break;
    }
    const auto after = EncodeSettings(Settings);
    const bool changed = !std::equal(before.begin() + 356, before.begin() + 393, after.begin() + 356) ||
                         relSystem != ElemRelToSystem || relElement != ElemRelToElement;
    if (changed && ResultsShown)
        ShowForwardProblem(false);
}

void TFForw::AtmMClick(QAction* item)
{
    const auto before = EncodeSettings(Settings);
    const int tag = item->data().toInt();
    const bool ticked = item->isChecked();
    Settings.GasLogMode = 0; // every item shows plain values unless it chooses a logarithm
    switch (tag) {
    case 0: case 1: case 2: case 3:
        Settings.GasPressureUnit = static_cast<uint8_t>(tag);
        break;
    case 4:
        Settings.AverageValues = ticked;
        break;
    case 5:
        GasLnM->setChecked(false);
        if (ticked)
            Settings.GasLogMode = 1;
        break;
    case 6:
        GasLgM->setChecked(false);
        if (ticked)
            Settings.GasLogMode = 2;
        break;
    default:
        break;
    }
    const auto after = EncodeSettings(Settings);
    if (!std::equal(before.begin() + 356, before.begin() + 393, after.begin() + 356) && ResultsShown)
        ShowForwardProblem(false);
}

void TFForw::ElemPopPopup()
{
    WidenM->setText(GasGrid->width() > 0 && GasGrid->isVisible() ? QStringLiteral("Звузити")
                                                                : QStringLiteral("Розширити"));
    QAction* units[] = {MassPercM, MolePercM, KilosM, KmoleM};
    units[std::min<int>(Settings.CompositionUnit, 3)]->setChecked(true);
    AveM->setChecked(Settings.AverageValues);
    LogM->setChecked(Settings.LogValues);
    AccM->setChecked(Settings.MorePrecision);
    SysPercM->setChecked(ElemRelToSystem);
    MsgPercM->setChecked(ElemRelToElement);
    SysPercM->setEnabled(Settings.CompositionUnit <= 1);
    MsgPercM->setEnabled(Settings.CompositionUnit == 0);
}

void TFForw::GasPopPopup()
{
    QAction* units[] = {AtmM, KPasM, PascM, MmrtstM};
    units[std::min<int>(Settings.GasPressureUnit, 3)]->setChecked(true);
    AveGasM->setChecked(Settings.AverageValues);
    GasLgM->setChecked(Settings.GasLogMode == 1);
    GasLnM->setChecked(Settings.GasLogMode == 2);
}

void TFForw::WidenMClick()
{
    // The gas grid gives its room to the element grid, and takes it back.
    GasGrid->setVisible(!GasGrid->isVisible());
}

// ---------------------------------------------------------------------------
// What the engine asks of the window

QLineEdit* TFForw::InputEditWidget(Host::InputEdit edit) const
{
    return edit == Host::InputEdit::Pressure ? EditP : EditIniT;
}

bool TFForw::EditHasFocus(Host::InputEdit edit) const
{
    return edit == Host::InputEdit::Pressure ? editPFocused_ : editIniTFocused_;
}

std::string TFForw::EditText(Host::InputEdit edit) const { return InputEditWidget(edit)->text().toStdString(); }

void TFForw::SetEditText(Host::InputEdit edit, const std::string& text)
{
    InputEditWidget(edit)->setText(Q(WithDisplaySeparator(text)));
}

void TFForw::SetMaterialName(int row, const std::string& name)
{
    if (row < 1)
        return;
    MatGridCells.SetRowCount(std::max(MaterialCount, row) + 1);
    MatGridCells.SetCell(1, row, name);
    GridsChanged();
}

void TFForw::SetElementSymbol(int row, const std::string& text)
{
    if (row < 1)
        return;
    ElGridCells.SetRowCount(std::max(SystemElemLast + 4, row + 1));
    ElGridCells.SetCell(1, row, text);
    GridsChanged();
}

void TFForw::SetActionEnabled(const std::string& action, bool enabled)
{
    for (QAction* a : {MeltA, MeltRecA, StartA})
        if (a->objectName().toStdString() == action)
            a->setEnabled(enabled);
}

void TFForw::ClearTaskBox() { TaskBox->clear(); }

void TFForw::AddTaskBoxItem(const std::string& name) { TaskBox->addItem(Q(name)); }

void TFForw::SelectTaskBoxItem(int index) { TaskBox->setCurrentIndex(index); }

void TFForw::ShowTaskFiles(const std::vector<std::string>& names, int selected)
{
    TaskFileBox->clear();
    for (const std::string& n : names)
        TaskFileBox->addItem(Q(n));
    TaskFileBox->setCurrentIndex(selected);
}

std::string TFForw::AskProjectSaveName(const std::string& fileName, const std::string& folder)
{
    const QString start = fileName.empty() ? Q(folder) : Q(fileName);
    QFileDialog dialog(this, QStringLiteral("Зберегти проєкт як..."), start, QStringLiteral("Проєкт (*.FWP)"));
    dialog.setObjectName("SaveProjectDialog");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("FWP"));
    if (ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().front().toStdString();
}

// ---------------------------------------------------------------------------
// What the task editor asks of the window

int TFForw::ShownTask() const { return TaskBox->currentIndex(); }

void TFForw::ListTasks(const QStringList& names, int current)
{
    TaskBox->clear();
    for (const QString& name : names)
        TaskBox->addItem(name);
    TaskBox->setCurrentIndex(current);
}

void TFForw::ClearTaskResults() { ClearResults(false, false, 2); }

void TFForw::ShowInitialTemperature(const QString& text) { EditIniT->setText(text); }

void TFForw::EnableBoundCommands(bool massBounds, bool materialBounds)
{
    StartA->setEnabled(massBounds);
    MeltRecA->setEnabled(materialBounds);
}
