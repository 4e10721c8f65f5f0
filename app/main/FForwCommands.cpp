// The main window's commands: the melt, the optimisation and the runs they
// start, each ending the busy state it began.

#include "FForw.h"

#include "FHeat.h"
#include "GridEdits.h"
#include "Optimiser.h"
#include "LaterWarning.h"
#include "NumberInput.h"
#include "ResultDisplay.h"
#include "SimplexLP.h"
#include "StudyScope.h"
#include "SystemSetup.h"
#include "ThSys.h"
#include "Utils.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QToolButton>
#include <QTreeWidget>

#include <optional>

using namespace ferrolyt;

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Ends a run in every case, so that an exception cannot leave it active.
class TIdleGuard {
public:
    explicit TIdleGuard(TFForw& w) : w_(w) {}
    TIdleGuard(const TIdleGuard&) = delete;
    TIdleGuard& operator=(const TIdleGuard&) = delete;
    ~TIdleGuard() { w_.SetIdle(true); }

private:
    TFForw& w_;
};

} // namespace

// ---------------------------------------------------------------------------
// Commands

bool TFForw::AskIfBusy()
{
    if (!CalcBusy)
        return false;
    AskStopCalculation();
    return true;
}

bool TFForw::AskIfReplaying()
{
    if (!HeatRunning)
        return false;
    if (AskStopCalculation() == IdYes && FHeat)
        FHeat->StopButClick();
    return true;
}

bool TFForw::AskIfSystemsInUse() { return AskIfBusy() || AskIfReplaying(); }

void TFForw::RunCommand(const std::function<void()>& command, bool readsEdits)
{
    CommitGridEdits(*this);
    // The set-up reads these edits while they still have the focus.
    if (readsEdits)
        for (QLineEdit* e : {EditIniT, EditP})
            CheckNumberEdit(*e);
    try {
        command();
    } catch (const std::exception& e) {
        ShowWarning(e.what());
    }
}

void TFForw::SetIdle(bool idle)
{
    StartBut->setDefaultAction(idle ? StartA : StopA);
    CalcBusy = !idle;
    StopRequested = idle;
    if (idle)
        runCursor_.reset();
    else
        runCursor_.emplace();
    QCoreApplication::processEvents();
}

void TFForw::StopButClick() { StopRequested = true; }

bool TFForw::RefuseInvertedTask(bool tell)
{
    const std::string inverted = TaskList.InvertedBound(TaskList.Current);
    if (inverted.empty())
        return false;
    if (tell)
        WarnWhenIdle("Завдання \"" + TaskList.CurrentTask().Name + "\" не розраховується: " +
                     WithDisplaySeparatorInText(inverted) + ". Виправте межу в завданні на плавку.");
    return true;
}

void TFForw::MeltButClick(int tag)
{
    if (AskIfSystemsInUse())
        return;
    // A task read with a bound upside down is not melted until it is
    // mended. The command says so and leaves the screen as it was; a melt
    // that follows a load or a choice of task (whose warning came with the
    // file) clears what belonged to the data before.
    if (RefuseInvertedTask(tag >= 0)) {
        if (tag < 0)
            ClearResults(true, false, 2);
        return;
    }
    const bool recommended = tag != 0;
    PrepareSystems();
    ClearResults(true, tag >= 0, 2);

    long double total = 0;
    for (int j = 1; j <= MaterialCount; ++j) {
        if (recommended)
            total += MaterialTable[j].Amount;
        else
            MaterialTable[j].Amount = 0;
    }
    if (!recommended) {
        for (int row = 1; row < MatGridCells.RowCount(); ++row) {
            // The row's name decides the material: the grid's order need not
            // be the table's.
            const int slot = MaterialIndexByName(Q(MatGridCells.Cell(1, row)).trimmed().toStdString());
            if (slot < 1)
                continue;
            long double amount = 0;
            const std::string text = DecimalDot(Q(MatGridCells.Cell(2, row)).trimmed().toStdString());
            if (!TryParseReal(text, amount) || !(amount > 0))
                continue;
            MaterialTable[slot].Amount = amount;
            total += amount;
        }
    }
    const TTaskRecord& task = TaskList.CurrentTask();
    if (total == 0 && !(task.IniMinMet > 0) && !(task.IniMaxMet > 0) && !(task.IniMinSlg > 0) &&
        !(task.IniMaxSlg > 0)) {
        GridsChanged();
        return;
    }
    CalcStartCounter = PerfCounter();
    SlpPass = 0;
    ShowForwardProblem(true);
}

void TFForw::StartButClick()
{
    if (AskIfSystemsInUse() || RefuseInvertedTask(true))
        return;
    // A stopped run gives back the charge and the heat it started from.
    const TShownHeat before = ShownHeat();
    std::optional<TStudyScope> startedFrom(std::in_place);
    PrepareSystems();
    if (!OptimiserCalls.BuildConstraintBlocks()) {
        startedFrom->Dismiss();
        return;
    }
    SetIdle(false);
    ClearResults(false, false, 2);
    CalcStartCounter = PerfCounter();

    int32_t r = lpNotMet;
    bool stopped = false;
    {
        TIdleGuard idle(*this);
        r = OptimiserCalls.Optimise(-1);
        stopped = StopRequested;
        if (!stopped && r > 0) {
            ProgBar1->setRange(0, std::max(1, int(ConstraintBlockCount)));
            ProgBar1->setValue(0);
            ProgBar1->setVisible(true);
            int metAt = 0;
            for (int k = 1; k <= ConstraintBlockCount && k <= MaxConstraintBlocks; ++k) {
                ProgBar1->setValue(k);
                const TConstraintBlockRecord block = ConstraintBlocks[k];
                if (block.Kind == ckFixedMass && block.Index >= 1 && block.Index <= MaterialCount &&
                    MaterialTable[block.Index].Fixed > 0)
                    continue;
                AltView->headerItem()->setText(0, Q("Зняти обмеження: " + block.Name));
                r = OptimiserCalls.Optimise(k);
                if (StopRequested) {
                    stopped = true;
                    break;
                }
                // A met run's charge has been melted and meets every limit
                // but the released one: that charge is what is listed.
                if (r == lpMet && ThSystems[0]->MetalMass > 0) {
                    const TAlternativeTexts texts =
                        AlternativeTexts(block, *ThSystems[0], *ThSystems[1], TaskList.CurrentTask());
                    Alternatives.push_back(
                        {block.Name, k, texts.Given, texts.Expected, ChargeCost(), KeptCharge(), SlpPass});
                    ShowAlternatives();
                    if (texts.LimitMet) {
                        metAt = k;
                        break;
                    }
                }
            }
            ProgBar1->setVisible(false);
            AltView->headerItem()->setText(0, QStringLiteral("Зняти обмеження:"));
            if (stopped) {
                // What was found so far stays listed to choose from, but no
                // charge of an unfinished scan is offered as the answer.
                SortAlternatives(Alternatives);
                CurrentAlternative = -1;
                ShowAlternatives();
            } else if (metAt > 0) {
                // The last run's charge meets the task whole.
                const TAlternative found = Alternatives.back();
                Alternatives.clear();
                CurrentAlternative = -1;
                ShowAlternatives();
                TakeAlternativeCharge(found);
                r = lpMet;
            } else if (!Alternatives.empty()) {
                SortAlternatives(Alternatives);
                CurrentAlternative = 0;
                ShowAlternatives();
                TakeAlternativeCharge(Alternatives.front());
                r = lpMetReleased;
            } else {
                r = lpNotMet;
            }
        }
        if (!stopped && r == lpNotMet) {
            ShowWarning("НЕ ЗНАЙДЕНО РІШЕННЯ!");
            ClearResults(false, false, 2);
            // Nothing of the run is shown: neither the solver's last way
            // nor the heat capacity and Kp of the heat cleared above.
            for (int p : {6, 7, 8})
                SBarPanels[p]->clear();
        }
    }
    if (stopped) {
        startedFrom.reset(); // the model as F10 found it
        ShowRunStopped(before);
        return;
    }
    startedFrom->Dismiss();
    if (r < lpNotMet)
        ShowForwardProblem(true);
}

void TFForw::AltViewClick(int row)
{
    if (AskIfSystemsInUse())
        return;
    if (row < 0 || row >= static_cast<int>(Alternatives.size()))
        return;
    // The listed charge itself, melted as the melt command does: a new run
    // could end elsewhere, and its charge would not be the one listed.
    CurrentAlternative = row;
    ShowAlternatives();
    TakeAlternativeCharge(Alternatives[static_cast<std::size_t>(row)]);
    CalcStartCounter = PerfCounter();
    ShowForwardProblem(true);
}

void TFForw::TakeAlternativeCharge(const TAlternative& alternative)
{
    RestoreCharge(alternative.Charge);
    SlpPass = alternative.Passes;
}

void TFForw::ShowRunStopped(const TShownHeat& before)
{
    // The alternatives found so far stay to choose from (the list held
    // before belonged to an earlier run), but none of them is the answer.
    const std::vector<TAlternative> found = Alternatives;
    ShowHeatAgain(before);
    Alternatives = found;
    CurrentAlternative = -1;
    ShowAlternatives();
    SBarPanels[0]->setText(QStringLiteral(" Розрахунок зупинено"));
}

void TFForw::SetAltViewHeight(int items)
{
    if (items <= 0) {
        AltView->setFixedHeight(0);
        AltView->setVisible(false);
        return;
    }
    AltView->setVisible(true);
    AltView->setFixedHeight(std::clamp(23 * items + 29, 74, 236));
}

void TFForw::ShowAlternatives()
{
    AltView->clear();
    const QIcon current = style()->standardIcon(QStyle::SP_ArrowRight);
    for (std::size_t i = 0; i < Alternatives.size(); ++i) {
        const TAlternative& a = Alternatives[i];
        auto* item = new QTreeWidgetItem(AltView, {Q(a.Name), Q(a.Given), Q(a.Expected), Q(CostText(a.Cost))});
        item->setData(0, Qt::UserRole, a.Block);
        for (int c = 1; c <= 3; ++c)
            item->setTextAlignment(c, Qt::AlignCenter);
        if (static_cast<int>(i) == CurrentAlternative) {
            item->setIcon(0, current);
            AltView->setCurrentItem(item);
        }
    }
    const bool listed = !Alternatives.empty();
    AltView->setStyleSheet(listed && CurrentAlternative >= 0
                               ? QStringLiteral("QTreeWidget { background-color: rgb(250, 248, 248); }")
                               : QString());
    SetAltViewHeight(static_cast<int>(Alternatives.size()));
}
