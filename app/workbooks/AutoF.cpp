#include "AutoF.h"

#include "AutographPoint.h"
#include "NumberInput.h"
#include "Model.h"
#include "RunState.h"
#include "ThSys.h"
#include "Utils.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

using namespace ferrolyt;

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

void SetItems(QComboBox* box, const QStringList& items, int selected)
{
    box->clear();
    box->addItems(items);
    box->setCurrentIndex(selected);
}

// The dialog's side of a run: its progress bar, its stop button and the
// message loop; the computing commands are the main window's.
class TDialogCommands : public TAutographCommands {
public:
    TDialogCommands(TAutographCommands& inner, QProgressBar& bar, const bool& stop)
        : inner_(inner), bar_(bar), stop_(stop)
    {
    }
    bool MeltButClick() override { return inner_.MeltButClick(); }
    void PrepareSystems() override { inner_.PrepareSystems(); }
    void SetIdle(bool idle) override { inner_.SetIdle(idle); }
    bool BuildConstraintBlocks() override { return inner_.BuildConstraintBlocks(); }
    int32_t Optimise(int32_t released) override { return inner_.Optimise(released); }
    void ShowForwardProblem(bool recompute) override { inner_.ShowForwardProblem(recompute); }
    void ProcessMessages() override { inner_.ProcessMessages(); }
    void SetProgress(int percent) override
    {
        bar_.setValue(std::clamp(percent, 0, 100));
        inner_.SetProgress(percent);
    }
    bool SweepStopRequested() override { return stop_ || inner_.SweepStopRequested(); }
    void RefreshCurrentTask() override { inner_.RefreshCurrentTask(); }
    void OpenWorkbook(const std::string& fileName) override
    {
        inner_.OpenWorkbook(fileName);
        QDesktopServices::openUrl(QUrl::fromLocalFile(Q(fileName)));
    }

private:
    TAutographCommands& inner_;
    QProgressBar& bar_;
    const bool& stop_;
};

} // namespace

TAutoF::TAutoF(QWidget* parent) : QDialog(parent), engineCommands_(std::make_unique<TAutographCommands>())
{
    setObjectName("AutoF");
    setModal(true);

    auto label = [this](const char* name) {
        auto* l = new QLabel(this);
        l->setObjectName(name);
        return l;
    };
    auto combo = [this](const char* name) {
        auto* c = new QComboBox(this);
        c->setObjectName(name);
        return c;
    };
    auto edit = [this](const char* name) {
        auto* e = new QLineEdit(this);
        e->setObjectName(name);
        return e;
    };
    auto check = [this](const char* name) {
        auto* c = new QCheckBox(this);
        c->setObjectName(name);
        return c;
    };

    AxisXlab = label("AxisXlab");
    ComboX = combo("ComboX");
    Label9 = label("Label9");
    ComboXfact = combo("ComboXfact");
    RangXlab = label("RangXlab");
    EdRangeX1 = edit("EdRangeX1");
    EdRangeX2 = edit("EdRangeX2");
    StepLab = label("StepLab");
    EdStepX = edit("EdStepX");
    RangXXlab = label("RangXXlab");
    EdRangeXX1 = edit("EdRangeXX1");
    EdRangeXX2 = edit("EdRangeXX2");
    StepLab2 = label("StepLab2");
    EdStepXX = edit("EdStepXX");
    AxisYlab = label("AxisYlab");
    ComboY = combo("ComboY");
    Label7 = label("Label7");
    ComboElems = combo("ComboElems");
    LabelB = label("LabelB");
    ComboPhase = combo("ComboPhase");
    Label8 = label("Label8");
    ComboUnits = combo("ComboUnits");
    Label10 = label("Label10");
    GasBox = new QListWidget(this);
    GasBox->setObjectName("GasBox");
    OptiChk = check("OptiChk");
    SeriesChk = check("SeriesChk");
    SeriesChk->setChecked(true);
    SymbChk = check("SymbChk");
    ColorChk = check("ColorChk");
    ColorChk->setChecked(true);
    ChkNoNeg = check("ChkNoNeg");
    SkipBadChk = check("SkipBadChk");
    AllTasksGrp = new QGroupBox(this);
    AllTasksGrp->setObjectName("AllTasksGrp");
    AllTasksItem = new QRadioButton(AllTasksGrp);
    CurrentTaskItem = new QRadioButton(AllTasksGrp);
    CurrentTaskItem->setChecked(true);
    auto* grpLayout = new QVBoxLayout(AllTasksGrp);
    grpLayout->addWidget(AllTasksItem);
    grpLayout->addWidget(CurrentTaskItem);
    PBar = new QProgressBar(this);
    PBar->setObjectName("PBar");
    PBar->setRange(0, 100);
    PBar->setValue(0);
    DoTaskBut = new QPushButton(this);
    DoTaskBut->setObjectName("DoTaskBut");
    DoTaskBut->setAutoDefault(false);
    ClearBut = new QPushButton(this);
    ClearBut->setObjectName("ClearBut");
    ClearBut->setAutoDefault(false);

    // A range's ends and step hold temperatures of four digits and more.
    for (QLineEdit* e : {EdRangeX1, EdRangeX2, EdStepX, EdRangeXX1, EdRangeXX2, EdStepXX})
        e->setMinimumWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("10000.0")) + 10);
    const std::pair<QLineEdit*, const char*> numberFields[] = {
        {EdRangeX1, "Діап. X (від)"},         {EdRangeX2, "Діап. X (до)"},         {EdStepX, "Крок"},
        {EdRangeXX1, "Серія кривих: діап. (від)"}, {EdRangeXX2, "Серія кривих: діап. (до)"}, {EdStepXX, "Серія кривих: крок"}};
    for (const auto& [e, field] : numberFields)
        KeepNumbersIn(*e, QString::fromUtf8(field));

    auto* grid = new QGridLayout(this);
    int r = 0;
    grid->addWidget(AxisXlab, r, 0);
    grid->addWidget(ComboX, r++, 1, 1, 5);
    grid->addWidget(Label9, r, 0);
    grid->addWidget(ComboXfact, r++, 1, 1, 5);
    grid->addWidget(RangXlab, r, 0);
    grid->addWidget(EdRangeX1, r, 1);
    grid->addWidget(EdRangeX2, r, 2);
    grid->addWidget(StepLab, r, 3);
    grid->addWidget(EdStepX, r++, 4);
    grid->addWidget(RangXXlab, r, 0);
    grid->addWidget(EdRangeXX1, r, 1);
    grid->addWidget(EdRangeXX2, r, 2);
    grid->addWidget(StepLab2, r, 3);
    grid->addWidget(EdStepXX, r++, 4);
    grid->addWidget(AxisYlab, r, 0);
    grid->addWidget(ComboY, r++, 1, 1, 5);
    grid->addWidget(Label7, r, 0);
    grid->addWidget(ComboElems, r, 1);
    grid->addWidget(LabelB, r, 2);
    grid->addWidget(ComboPhase, r, 3);
    grid->addWidget(Label8, r, 4);
    grid->addWidget(ComboUnits, r++, 5);
    grid->addWidget(Label10, r, 0);
    grid->addWidget(GasBox, r, 1, 3, 2);
    grid->addWidget(OptiChk, r, 3);
    grid->addWidget(SeriesChk, r, 4);
    grid->addWidget(AllTasksGrp, r++, 5, 3, 1);
    grid->addWidget(SymbChk, r, 3);
    grid->addWidget(ColorChk, r++, 4);
    grid->addWidget(ChkNoNeg, r, 3);
    grid->addWidget(SkipBadChk, r++, 4);
    grid->addWidget(PBar, r++, 0, 1, 6);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ClearBut);
    buttons->addWidget(DoTaskBut);
    grid->addLayout(buttons, r++, 0, 1, 6);
    // A fixed size, but the one the texts need.
    grid->setSizeConstraint(QLayout::SetFixedSize);

    connect(ComboX, &QComboBox::activated, this, [this] { ComboXClick(); });
    connect(ComboY, &QComboBox::activated, this, [this] { ComboYClick(); });
    connect(ComboPhase, &QComboBox::activated, this, [this] { ComboPhaseClick(); });
    connect(AllTasksItem, &QRadioButton::clicked, this, [this] { AllTasksGrpClick(); });
    connect(CurrentTaskItem, &QRadioButton::clicked, this, [this] { AllTasksGrpClick(); });
    connect(SeriesChk, &QCheckBox::clicked, this, [this] { SeriesChkClick(); });
    connect(ClearBut, &QPushButton::clicked, this, [this] { ClearButClick(); });
    connect(DoTaskBut, &QPushButton::clicked, this, [this] { DoTaskButClick(); });

    FormCreate();
}

TAutoF::~TAutoF() = default;

void TAutoF::FormCreate()
{
    setWindowTitle("Автографи");
    QStringList xs, ys;
    for (const char* s : AutographXItems)
        xs << s;
    for (const char* s : AutographYItems)
        ys << s;
    SetItems(ComboX, xs, -1);
    SetItems(ComboY, ys, -1);
    DoTaskBut->setText("Побудувати графіки");
    AxisXlab->setText("Вісь X");
    AxisYlab->setText("Вісь Y");
    RangXlab->setText("Діап. X");
    StepLab->setText("Крок");
    ClearBut->setText("Очистити");
    ChkNoNeg->setText("Пропуск негативних значень");
    SeriesChk->setText("Серія кривих");
    OptiChk->setText("Оптимізація");
    SymbChk->setText("Маркери кривих");
    ColorChk->setText("Колір");
    AllTasksGrp->setTitle(" Завдання ");
    AllTasksItem->setText("Усі");
    CurrentTaskItem->setText("Поточне");
    SkipBadChk->setText("Пропускати нестабільні точки");
    SkipBadChk->setToolTip("Пропускати точки, в яких пряма задача не сходиться");
    LabelB->setText("у");
    RangXXlab->setText(RangXlab->text());
    StepLab2->setText(StepLab->text());
    Label7->setText("Елемент");
    Label8->setText("Од. вим.");
    Label10->setText("Гази");
    ComboXfact->setEnabled(false);
    ComboElems->setEnabled(false);
    ComboPhase->setEnabled(false);
    ComboUnits->setEnabled(false);
    LabelB->setEnabled(false);
    GasBox->setVisible(false);
    Label10->setVisible(false);
}

void TAutoF::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TAutoF::FormShow() { ComboPhaseClick(); }

void TAutoF::ComboXClick()
{
    AutographX = static_cast<uint8_t>(std::max(ComboX->currentIndex(), 0));
    ComboXfact->clear();
    ComboXfact->setEnabled(false);
    Label9->clear();
    switch (ComboX->currentIndex()) {
    case 5: {
        Label9->setText("Матеріал");
        QStringList names;
        for (int j = 1; j <= MaterialCount; ++j)
            names << Q(MaterialTable[j].Name);
        SetItems(ComboXfact, names, names.isEmpty() ? -1 : 0);
        ComboXfact->setEnabled(true);
        break;
    }
    case 6:
        Label9->setText("Зміна Х");
        SetItems(ComboXfact, {"Вміст вуглецю в пробі, %"}, 0);
        break;
    case 7:
        Label9->setText("Зміна Х");
        SetItems(ComboXfact, {"Доля внесених матеріалів, %"}, 0);
        break;
    default: break;
    }
    if (ComboX->currentIndex() == 4 || ComboX->currentIndex() == 7) {
        EdRangeX1->setText("0");
        EdRangeX2->setText("100");
        EdStepX->setText("1");
    }
}

void TAutoF::ComboYClick()
{
    ComboElems->setCurrentIndex(-1);
    ComboElems->setEnabled(false);
    ComboPhase->setCurrentIndex(-1);
    ComboPhase->setEnabled(false);
    LabelB->setEnabled(false);
    const int y = ComboY->currentIndex();
    AutographY = static_cast<uint8_t>(std::max(y, 0));
    const QStringList pressureUnits = {"кПа", "атм", "Па", "мм рт.ст."};
    auto phases = [this](const QStringList& items, int selected) {
        SetItems(ComboPhase, items, selected);
        ComboPhase->setEnabled(true);
    };
    QStringList units;
    switch (y) {
    case 0: units = {"C", "К"}; break;
    case 1: units = pressureUnits; break;
    case 2: {
        units = pressureUnits;
        GasBox->clear();
        for (int k = 1; k <= ActiveGasCount; ++k) {
            auto* item = new QListWidgetItem(Q(ActiveGases[k].Name), GasBox);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Unchecked);
        }
        break;
    }
    case 3:
        phases({"шлаку", "газу", "НВ"}, 0);
        units = {"мас.%", "мольн.%"};
        break;
    case 4: {
        phases({"металі", "шлаку", "газі", "НВ", "системі"}, 0);
        units = {"мас.%", "кг", "т", "мольн.%", "кмоль", "Ммоль"};
        QStringList elems = {"Усі"};
        const TElems& list = *ThSystems[0]->Elems;
        for (int i = 0; i < list.Count; ++i)
            elems << Q(list.Items[static_cast<std::size_t>(i)].Symbol);
        SetItems(ComboElems, elems, std::min(2, list.Count));
        ComboElems->setEnabled(true);
        LabelB->setEnabled(true);
        break;
    }
    case 5:
        phases({"металу", "шлаку", "газу", "НВ", "системи", "МШГ"}, 0);
        units = {"кг", "т"};
        break;
    case 6:
        phases({"металу", "шлаку", "газу", "НВ", "системи"}, 0);
        units = {"кмоль", "Ммоль"};
        LabelB->setEnabled(true);
        break;
    case 7: units = {"К/т", "К/(кг/т)"}; break;
    case 8:
        units = {"кг/т", "т", "кг"};
        OptiChk->setChecked(true);
        break;
    case 9:
        phases({"металу", "шлаку", "газу", "системи"}, 3);
        units = {"кДж/(кг*К)"};
        break;
    default: break;
    }
    SetItems(ComboUnits, units, units.isEmpty() ? -1 : 0);
    ComboUnits->setEnabled(ComboUnits->count() >= 2);
    AllTasksGrpClick();
    GasBox->setVisible(y == 2);
    Label10->setVisible(y == 2);
}

void TAutoF::ComboPhaseClick()
{
    if (ComboPhase->currentIndex() == 5) {
        ComboUnits->setEnabled(false);
        ComboUnits->setCurrentIndex(-1);
        return;
    }
    ComboUnits->setEnabled(ComboUnits->count() > 1);
    if (ComboUnits->currentIndex() < 0 && ComboUnits->count() > 0)
        ComboUnits->setCurrentIndex(0);
}

void TAutoF::AllTasksGrpClick()
{
    if (CurrentTaskItem->isChecked())
        SeriesChk->setEnabled(ComboY->currentIndex() == 2 || ComboY->currentIndex() == 4);
    else
        SeriesChk->setEnabled(true);
    ColorChk->setEnabled(SeriesChk->isEnabled() && SeriesChk->isChecked());
}

void TAutoF::SeriesChkClick() { ColorChk->setEnabled(SeriesChk->isChecked()); }

void TAutoF::ClearButClick()
{
    for (QComboBox* c : {ComboX, ComboY, ComboElems, ComboPhase, ComboUnits})
        c->setCurrentIndex(-1);
    LabelB->setEnabled(false);
    for (QLineEdit* e : {EdRangeX1, EdRangeX2, EdStepX, EdRangeXX1, EdRangeXX2, EdStepXX})
        e->clear();
    OptiChk->setChecked(false);
}

TAutographChoices TAutoF::Choices() const
{
    TAutographChoices c;
    c.XKind = ComboX->currentIndex();
    c.YKind = ComboY->currentIndex();
    c.XText = S(ComboX->currentText());
    c.XFactText = S(ComboXfact->currentText());
    c.XFactIndex = ComboXfact->currentIndex();
    c.YText = S(ComboY->currentText());
    c.ElementText = S(ComboElems->currentText());
    c.ElementEnabled = ComboElems->isEnabled();
    c.PhaseText = S(ComboPhase->currentText());
    c.PhaseEnabled = ComboPhase->isEnabled();
    c.UnitText = S(ComboUnits->currentText());
    c.UnitEnabled = ComboUnits->isEnabled();
    c.RangeX1 = S(EdRangeX1->text());
    c.RangeX2 = S(EdRangeX2->text());
    c.StepX = S(EdStepX->text());
    c.RangeXX1 = S(EdRangeXX1->text());
    c.RangeXX2 = S(EdRangeXX2->text());
    c.StepXX = S(EdStepXX->text());
    c.AllTasks = AllTasksItem->isChecked();
    c.SkipBad = SkipBadChk->isChecked();
    c.Optimise = OptiChk->isChecked();
    c.SeriesEnabled = SeriesChk->isEnabled();
    c.SeriesChecked = SeriesChk->isChecked();
    c.Markers = SymbChk->isChecked();
    c.ColourEnabled = ColorChk->isEnabled();
    c.ColourChecked = ColorChk->isChecked();
    c.NoNeg = ChkNoNeg->isChecked();
    if (c.YKind == 2)
        for (int row = 0; row < GasBox->count(); ++row)
            if (GasBox->item(row)->checkState() == Qt::Checked)
                c.CheckedGases.push_back(row + 1);
    return c;
}

void TAutoF::SetRunning(bool running)
{
    running_ = running;
    if (running) {
        // Only the stop button answers while the sweep runs.
        enabledBeforeRun_.clear();
        for (QWidget* w : findChildren<QWidget*>())
            if (w != DoTaskBut && w != PBar && w->parentWidget() == this) {
                enabledBeforeRun_.emplace_back(w, w->isEnabled());
                w->setEnabled(false);
            }
    } else {
        for (const auto& [w, enabled] : enabledBeforeRun_)
            w->setEnabled(enabled);
        enabledBeforeRun_.clear();
    }
    DoTaskBut->setText(running ? "Зупинити" : "Побудувати графіки");
}

void TAutoF::DoTaskButClick()
{
    if (running_) {
        // The sweep ends after its current point; a running optimisation
        // ends after its current pass.
        stopRequested_ = true;
        if (CalcBusy)
            StopRequested = true;
        return;
    }
    if (ComboX->currentIndex() < 0 || ComboY->currentIndex() < 0 || EdRangeX1->text().trimmed().isEmpty() ||
        EdRangeX2->text().trimmed().isEmpty()) {
        ShowWarning(MissingChoicesText);
        return;
    }
    const TAutographChoices choices = Choices();
    TDialogCommands commands(commands_ ? *commands_ : *engineCommands_, *PBar, stopRequested_);
    stopRequested_ = false;
    SetRunning(true);
    try {
        lastRun_ = RunAutographs(choices, commands);
    } catch (const std::exception& e) {
        SetRunning(false);
        PBar->setValue(0);
        ShowWarning(e.what());
        return;
    }
    SetRunning(false);
    PBar->setValue(0);
}

void TAutoF::reject()
{
    if (running_) {
        DoTaskButClick(); // a close while running only stops the sweep
        return;
    }
    QDialog::reject();
}
