#include "RzForm.h"

#include "GridModel.h"
#include "NumberInput.h"

#include "Model.h"
#include "ReactionZone.h"
#include "RunState.h"
#include "StudyScope.h"
#include "ThSys.h"
#include "Utils.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QSlider>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

using namespace ferrolyt;

namespace {

QSlider* MakeTrackBar(QWidget* parent, const char* name, int max, int position)
{
    auto* bar = new QSlider(Qt::Vertical, parent);
    bar->setObjectName(name);
    bar->setRange(0, max);
    // Position 0 at the top, as the shares read from the top down.
    bar->setInvertedAppearance(true);
    bar->setInvertedControls(true);
    bar->setValue(position);
    bar->setTickPosition(QSlider::TicksBothSides);
    bar->setTickInterval(max / 10 > 0 ? max / 10 : 1);
    bar->setMinimumHeight(120);
    return bar;
}

// Moves a track bar to a computed position, kept inside its range; a
// position that is not a number leaves the bar where it is.
void SetPosition(QSlider* bar, double position, bool nearest)
{
    if (std::isnan(position))
        return;
    position = std::clamp(position, static_cast<double>(bar->minimum()), static_cast<double>(bar->maximum()));
    bar->setValue(static_cast<int>(nearest ? std::lround(position) : std::trunc(position)));
}

// The oxygen edit's number: a decimal point or comma; false when the text
// is no number.
bool ReadOxygen(const QString& text, double& value)
{
    long double v = 0;
    if (!ReadShownNumber(text.toStdString(), v))
        return false;
    value = static_cast<double>(v);
    return true;
}

QString Mask(const char* mask, long double x) { return QString::fromStdString(FormatFloatMask(mask, x)); }

// Holds a flag for the lifetime of a scope.
class TFlagGuard {
public:
    explicit TFlagGuard(bool& flag) : flag_(flag) { flag_ = true; }
    TFlagGuard(const TFlagGuard&) = delete;
    TFlagGuard& operator=(const TFlagGuard&) = delete;
    ~TFlagGuard() { flag_ = false; }

private:
    bool& flag_;
};

} // namespace

TRzForm::TRzForm(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName("RzForm");
    setWindowTitle(QStringLiteral("Конструктор РЗ"));
    resize(1100, 640);

    auto makeGrid = [this](const char* name, TStringGrid& cells, int k) {
        models_[static_cast<std::size_t>(k)] = new TGridModel(cells, this);
        TGridModel* model = models_[static_cast<std::size_t>(k)];
        model->SetRowLabel([&cells](int row) { return QString::fromStdString(cells.Cell(0, row)); });
        model->SetDecorator([](int, int, int role) -> QVariant {
            if (role == Qt::TextAlignmentRole)
                return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
            return {};
        });
        auto* v = new QTableView(this);
        v->setObjectName(name);
        v->setModel(model);
        v->verticalHeader()->setDefaultSectionSize(20);
        v->horizontalHeader()->setDefaultSectionSize(58);
        // Temperatures and masses are read whole, never elided.
        v->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
        v->setEditTriggers(QAbstractItemView::NoEditTriggers);
        v->setSelectionMode(QAbstractItemView::SingleSelection);
        v->setWordWrap(false);
        return v;
    };
    IniSysGrid = makeGrid("IniSysGrid", IniSysGridCells, 0);
    RzGrid = makeGrid("RzGrid", RzGridCells, 1);
    FinSysGrid = makeGrid("FinSysGrid", FinSysGridCells, 2);

    TrMetToRZ = MakeTrackBar(this, "TrMetToRZ", 100, 80);
    TrSlgToRZ = MakeTrackBar(this, "TrSlgToRZ", 100, 80);
    // 4 % oxygen: with the heat balance on, the sample heat's zone finds its
    // equilibrium up to about 7 %; at 10 % it overheats and does not.
    TrackOxi = MakeTrackBar(this, "TrackOxi", 20, 16);
    TrMetFromRZ = MakeTrackBar(this, "TrMetFromRZ", 100, 0);
    TrSlgFromRZ = MakeTrackBar(this, "TrSlgFromRZ", 100, 0);
    TrGasFromRZ = MakeTrackBar(this, "TrGasFromRZ", 100, 0);
    const std::array<QSlider*, 6> bars{TrMetToRZ, TrSlgToRZ, TrackOxi, TrMetFromRZ, TrSlgFromRZ, TrGasFromRZ};
    const std::array<const char*, 6> barTitles{"Мет", "Шлк", "O2", "Мет", "Шлк", "Газ"};
    for (std::size_t b = 0; b < bars.size(); ++b) {
        ShareLabels[b] = new QLabel(this);
        ShareLabels[b]->setObjectName(QStringLiteral("%1Label").arg(bars[b]->objectName()));
        ShareLabels[b]->setMinimumWidth(36);
        WriteShareLabel(static_cast<int>(b), bars[b]);
    }

    OxiEd = new QLineEdit(this);
    OxiEd->setObjectName("OxiEd");
    OxiEd->setPlaceholderText(QStringLiteral("m O2"));
    OxiEd->setToolTip(QStringLiteral("m O2"));
    OxiEd->setMaximumWidth(80);
    KeepNumbersIn(*OxiEd, QStringLiteral("m O2"));
    OxiEd->installEventFilter(this);
    auto* oxiLabel = new QLabel(QStringLiteral("m O2"), this);
    FixOxiChk = new QCheckBox(QStringLiteral("Фикс. m O2"), this);
    FixOxiChk->setObjectName("FixOxiChk");
    GasAwayChk = new QCheckBox(QStringLiteral("Уход газа из РЗ"), this);
    GasAwayChk->setObjectName("GasAwayChk");
    PhCompGrp = new QGroupBox(this);
    PhCompGrp->setObjectName("PhCompGrp");
    phCompGroup_ = new QButtonGroup(this);
    auto* phLayout = new QHBoxLayout(PhCompGrp);
    const std::array<const char*, 2> items{"%", "т"};
    for (int k = 0; k < 2; ++k) {
        PhCompItems[static_cast<std::size_t>(k)] = new QRadioButton(QString::fromUtf8(items[static_cast<std::size_t>(k)]), PhCompGrp);
        phCompGroup_->addButton(PhCompItems[static_cast<std::size_t>(k)], k);
        phLayout->addWidget(PhCompItems[static_cast<std::size_t>(k)]);
    }
    PhCompItems[0]->setChecked(true);
    CalcBut = new QPushButton(QStringLiteral("Расчет"), this);
    CalcBut->setObjectName("CalcBut");
    LabelRZ = new QLabel(QStringLiteral("Реакционная зона"), this);
    LabelRZ->setObjectName("LabelRZ");
    LabelFin = new QLabel(QStringLiteral("Конечная система"), this);
    LabelFin->setObjectName("LabelFin");
    auto* labelIni = new QLabel(QStringLiteral("Исходная система"), this);

    // Track bars with their percentage labels: three into the zone, three
    // out of it.
    auto barColumn = [&](std::size_t b) {
        auto* col = new QVBoxLayout;
        auto* title = new QLabel(QString::fromUtf8(barTitles[b]), this);
        title->setAlignment(Qt::AlignHCenter);
        col->addWidget(title);
        col->addWidget(bars[b], 1, Qt::AlignHCenter);
        col->addWidget(ShareLabels[b], 0, Qt::AlignHCenter);
        return col;
    };
    auto* barsIn = new QHBoxLayout;
    for (std::size_t b = 0; b < 3; ++b)
        barsIn->addLayout(barColumn(b));
    auto* barsOut = new QHBoxLayout;
    for (std::size_t b = 3; b < 6; ++b)
        barsOut->addLayout(barColumn(b));

    auto* controls = new QHBoxLayout;
    controls->addWidget(oxiLabel);
    controls->addWidget(OxiEd);
    controls->addWidget(FixOxiChk);
    controls->addWidget(GasAwayChk);
    controls->addWidget(PhCompGrp);
    controls->addStretch(1);
    controls->addWidget(CalcBut);

    auto* grids = new QVBoxLayout;
    grids->addWidget(labelIni);
    grids->addWidget(IniSysGrid);
    grids->addWidget(LabelRZ);
    grids->addWidget(RzGrid);
    grids->addWidget(LabelFin);
    grids->addWidget(FinSysGrid);

    auto* body = new QHBoxLayout;
    body->addLayout(barsIn);
    body->addLayout(grids, 1);
    body->addLayout(barsOut);
    auto* top = new QVBoxLayout(this);
    top->addLayout(controls);
    top->addLayout(body, 1);

    connect(CalcBut, &QPushButton::clicked, this, [this] { FormShow(CalcBut); });
    connect(FixOxiChk, &QCheckBox::toggled, this, [this] { FormShow(FixOxiChk); });
    connect(phCompGroup_, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked)
            FormShow(PhCompGrp);
    });
    connect(TrMetToRZ, &QSlider::valueChanged, this, [this] { TrMetToRZChange(TrMetToRZ); });
    connect(TrackOxi, &QSlider::valueChanged, this, [this] { TrMetToRZChange(TrackOxi); });
    connect(OxiEd, &QLineEdit::textChanged, this, [this] { TrMetToRZChange(OxiEd); });
    connect(TrSlgToRZ, &QSlider::valueChanged, this, [this] { TrSlgToRZChange(); });
    connect(TrMetFromRZ, &QSlider::valueChanged, this, [this] { TrMetFromRZChange(); });
    connect(TrSlgFromRZ, &QSlider::valueChanged, this, [this] { TrSlgFromRZChange(); });
    connect(TrGasFromRZ, &QSlider::valueChanged, this, [this] { TrGasFromRZChange(); });
    connect(GasAwayChk, &QCheckBox::toggled, this, [this] { GasAwayChkClick(); });

    FormCreate();
}

TRzForm::~TRzForm()
{
    // The views and their models read the three cell grids, which are
    // members and die before the base class deletes (and first hides and
    // repaints) its children.
    for (QTableView* view : {IniSysGrid, RzGrid, FinSysGrid})
        delete view;
    for (TGridModel* model : models_)
        delete model;
}

void TRzForm::FormCreate()
{
    for (TStringGrid* g : {&IniSysGridCells, &RzGridCells, &FinSysGridCells})
        SetGridFrame(*g);
    RefreshGrids();
}

void TRzForm::SetGridFrame(TStringGrid& grid)
{
    SetGridHeader(grid, ",Mасса");
    const std::vector<std::string> rows = SplitHeaderList(",Мет,Шлк,Газ,Всего,\"t°C\"");
    for (std::size_t r = 0; r < rows.size(); ++r)
        grid.SetCell(0, static_cast<int>(r), rows[r]);
}

void TRzForm::RefreshGrids()
{
    for (TGridModel* m : models_)
        m->Refresh();
}

void TRzForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Restoring a minimised window is no new showing.
    if (!event->spontaneous())
        FormShow(this);
}

bool TRzForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == OxiEd && event->type() == QEvent::FocusIn)
        OxiEdEnter();
    return QWidget::eventFilter(watched, event);
}

double TRzForm::Share(const QSlider* bar) { return (bar->maximum() - bar->value()) / 100.0; }

void TRzForm::WriteShareLabel(int index, const QSlider* bar)
{
    ShareLabels[static_cast<std::size_t>(index)]->setText(QString::number(bar->maximum() - bar->value()) + "%");
}

void TRzForm::TrMetToRZChange(QObject* Sender)
{
    // The handler's own moves of the other controls would call it again,
    // and the two track bars could then chase each other's rounding.
    if (coupling_)
        return;
    const TFlagGuard guard(coupling_);
    const double mM = ThSystems[0] ? static_cast<double>(ThSystems[0]->MetalMass) : 0.0;

    kMet = 1 - TrMetToRZ->value() / 100.0;
    mMetRZ = mM * kMet;
    if (Sender == OxiEd) {
        ReadOxygen(OxiEd->text(), mO2);
        kO = mO2 / (static_cast<double>(DivisorFloor) + mMetRZ + mO2);
    } else {
        kO = Share(TrackOxi);
    }
    if (!FixOxiChk->isChecked()) {
        mO2 = mMetRZ * kO / (static_cast<double>(DivisorFloor) + 1 - kO);
        OxiEd->setText(Mask("0.00", mO2));
    } else if (Sender == TrMetToRZ) {
        SetPosition(TrackOxi, TrackOxi->maximum() - 100 * mO2 / (static_cast<double>(DivisorFloor) + mMetRZ + mO2),
                    true);
        kO = Share(TrackOxi);
    } else if (Sender == TrackOxi || Sender == OxiEd) {
        const double q = mO2 / (static_cast<double>(DivisorFloor) + mM + mO2);
        if (Sender == OxiEd) {
            const QSignalBlocker quiet(TrackOxi);
            SetPosition(TrackOxi, TrackOxi->maximum() - 100 * kO, false);
        } else {
            if (kO < q) {
                SetPosition(TrackOxi, TrackOxi->maximum() - 100 * q, false);
                kO = Share(TrackOxi);
            }
            SetPosition(TrMetToRZ,
                        TrMetToRZ->maximum()
                            - 100 * mO2 * (1 / (static_cast<double>(DivisorFloor) + kO) - 1)
                                / (static_cast<double>(DivisorFloor) + mM),
                        true);
            kMet = 1 - TrMetToRZ->value() / 100.0;
            mMetRZ = mM * kMet;
        }
    }
    WriteShareLabel(0, TrMetToRZ);
    WriteShareLabel(2, TrackOxi);
}

void TRzForm::TrSlgToRZChange()
{
    kSlg = Share(TrSlgToRZ);
    mSlgRZ = (ThSystems[0] ? static_cast<double>(ThSystems[0]->SlagMass) : 0.0) * kSlg;
    WriteShareLabel(1, TrSlgToRZ);
}

void TRzForm::TrMetFromRZChange()
{
    kMetBack = Share(TrMetFromRZ);
    WriteShareLabel(3, TrMetFromRZ);
}

void TRzForm::TrSlgFromRZChange()
{
    kSlgBack = Share(TrSlgFromRZ);
    WriteShareLabel(4, TrSlgFromRZ);
}

void TRzForm::TrGasFromRZChange()
{
    kGasBack = Share(TrGasFromRZ);
    WriteShareLabel(5, TrGasFromRZ);
}

void TRzForm::GasAwayChkClick()
{
    TrGasFromRZ->setValue(GasAwayChk->isChecked() ? TrGasFromRZ->maximum() : 0);
    TrGasFromRZChange();
}

void TRzForm::OxiEdEnter() { FixOxiChk->setChecked(true); }

void TRzForm::SetLabelFailed(QLabel* label, bool failed)
{
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, failed ? QColor(Qt::red) : palette().color(QPalette::WindowText));
    label->setPalette(p);
}

void TRzForm::ShowSystemInGrid(const TThSys& system, TStringGrid& grid)
{
    // Every element gets its column, however many the project has.
    const int columns = std::max(RzGridColumns, SystemElemLast + 3);
    if (grid.ColCount() != columns) {
        grid = TStringGrid(columns, RzGridRows);
        SetGridFrame(grid);
    }
    grid.ClearColumns(1);
    for (int i = 0; i <= SystemElemLast; ++i) {
        const TElementRecord& e = system.El(i);
        const int col = i + 2;
        grid.SetCell(col, 0, e.Symbol);
        const std::array<long double, 4> values = ShowPercent
            ? std::array<long double, 4>{100 * e.MetalFraction, 100 * e.SlagFraction, 100 * e.GasFraction,
                                         100 * e.SystemFraction}
            : std::array<long double, 4>{e.MetalMass, e.SlagMass, e.GasMass, e.TotalMass};
        for (int r = 0; r < 4; ++r)
            grid.SetCell(col, r + 1, FormatFloatMask("0.000", values[static_cast<std::size_t>(r)]));
    }
    grid.SetCell(1, 1, FormatFloatMask("0.000", system.MetalMass));
    grid.SetCell(1, 2, FormatFloatMask("0.000", system.SlagMass));
    grid.SetCell(1, 3, FormatFloatMask("0.000", system.GasMass));
    grid.SetCell(1, 4, FormatFloatMask("0.000", system.MetalMass + system.SlagMass + system.GasMass));
    grid.SetCell(1, 5, FormatFloatMask("0.000", system.Temperature - KelvinOffset));
}

void TRzForm::FormShow(QObject* Sender)
{
    // The zone's solves would change the charge of a running optimisation.
    if (CalcBusy) {
        AskStopCalculation();
        return;
    }
    CreateSystems();
    if (Sender == this) {
        TrMetToRZChange(this);
        TrSlgToRZChange();
        TrMetFromRZChange();
        TrSlgFromRZChange();
        TrGasFromRZChange();
    }
    ShowPercent = PhCompItems[0]->isChecked();
    SetLabelFailed(LabelRZ, false);
    SetLabelFailed(LabelFin, false);
    // Without a project there is nothing to draw in or to solve.
    if (ThSystems[0]->Elems->Count == 0) {
        ZoneConverged = FinalConverged = false;
        return;
    }

    // A text that is no number keeps the last oxygen mass, written back so
    // that the edit shows what is computed.
    if (!ReadOxygen(OxiEd->text(), mO2)) {
        const TFlagGuard guard(coupling_);
        OxiEd->setText(Mask("0.00", mO2));
    }
    TReactionZoneShares shares;
    shares.MetalToZone = kMet;
    shares.SlagToZone = kSlg;
    shares.Oxygen = mO2;
    shares.MetalBack = kMetBack;
    shares.SlagBack = kSlgBack;
    shares.GasBack = kGasBack;

    // The zone charges its own materials and solves with the lower bound's
    // tables; the melted heat stays as the main window shows it.
    const TStudyScope scope;
    PrepareReactionZone(shares);
    ShowSystemInGrid(*ThSystems[2], IniSysGridCells);
    ZoneConverged = SolveZone();
    SetLabelFailed(LabelRZ, !ZoneConverged);
    ShowSystemInGrid(*ThSystems[3], RzGridCells);
    ChargeZonePhases(shares);
    FinalConverged = SolveFinalSystem();
    SetLabelFailed(LabelFin, !FinalConverged);
    ShowSystemInGrid(*ThSystems[2], FinSysGridCells);
    RefreshGrids();
}
