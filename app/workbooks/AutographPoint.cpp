#include "AutographPoint.h"

#include "Constraints.h"
#include "ForwardProblem.h"
#include "Host.h"
#include "Model.h"
#include "Optimiser.h"
#include "ResultDisplay.h"
#include "RunState.h"
#include "Settings.h"
#include "SystemSetup.h"
#include "TaskList.h"
#include "ThSys.h"
#include "Utils.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ferrolyt {

uint8_t AutographX = 0;
uint8_t AutographY = 0;

const std::array<const char*, AutographXKinds> AutographXCodes = {"Press", "IniT", "MinT", "Slag", "Port",
                                                                  "FixM",  "Ox",   "OxRZ", "Q",    "SpecQ"};
const std::array<const char*, AutographYKinds> AutographYCodes = {"FinT", "Press", "GasM", "Mult", "Cont",
                                                                  "Mass", "Mole",  "HEff", "OptiM", "Cp"};
const std::array<const char*, AutographXKinds> AutographXItems = {
    "Тиск, атм",
    "Початкова температура металу, C",
    "Задана мін кінцева температура металу, C",
    "Кратність шлаку, % ",
    "Доля внесених матеріалів, %",
    "Задана фіксована кількість %s, т",
    "Вміст кисню в металі, % ",
    "Загальний вміст кисню в реакційній зоні, %",
    "Заряд шлаку, кF",
    "Питомий заряд шлаку, F/моль"};
const std::array<const char*, AutographYKinds> AutographYItems = {
    "Кінцева температура", "Пружність газу",           "Молекулярний склад газу", "Кратність",
    "Вміст",               "Маса",                     "Число молей",             "Термічний ефект %s",
    "Оптимальна кількість %s", "Питома теплоємність"};

const std::array<const char*, 6> AutographPhaseCodes = {"мет", "шла", "газ", "НВ", "сис", "МШГ"};
const std::array<const char*, 18> AutographUnitCodes = {
    "кг",  "т",   "кмоль", "Ммоль",     "мас.%", "мольн.%", "кг/т", "кПа", "Па",
    "атм", "мм рт.ст.", "C", "K", "К/т", "К/(кг/т)", "у.о.", "грн.", "кДж/(кг*К)"};

namespace {

constexpr std::array<std::pair<const char*, const char*>, 13> GenitiveNames = {{{"Fe", "заліза"},
                                                                                {"C", "вуглецю"},
                                                                                {"Mn", "марганцю"},
                                                                                {"Si", "кремнію"},
                                                                                {"S", "сірки"},
                                                                                {"P", "фосфору"},
                                                                                {"Ca", "кальцію"},
                                                                                {"Mg", "магнію"},
                                                                                {"O", "кисню"},
                                                                                {"Al", "алюмінію"},
                                                                                {"Cr", "хрому"},
                                                                                {"N", "азоту"},
                                                                                {"H", "водню"}}};

bool ReadNumber(const std::string& text, double& value)
{
    std::string t = text;
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t'))
        t.pop_back();
    const auto first = t.find_first_not_of(" \t");
    if (first == std::string::npos)
        return false;
    long double v = 0;
    if (!TryParseReal(DecimalDot(t.substr(first)), v) || !std::isfinite(static_cast<double>(v)))
        return false;
    value = static_cast<double>(v);
    return true;
}

// Points after `from`: whole steps, plus one for a last, shorter step. A
// quotient a hair above a whole number is that number, so that rounding
// never adds a second point at the end of the range.
int StepCount(double from, double to, double step)
{
    const double q = (to - from) / step;
    double whole = std::trunc(q);
    const double frac = q - whole;
    if (frac > 1e-9 * std::max(1.0, std::fabs(q)))
        whole += 1;
    return static_cast<int>(std::min(whole, double(std::numeric_limits<int>::max() / 2)));
}

double HeldAt(double x, const TSweepRange& r) { return r.From < r.To ? std::min(x, r.To) : std::max(x, r.To); }

long double Mean(long double a, long double b) { return (a + b) / 2; }

// Σ over the elements other than oxygen of (fraction × oxide factor) in slag
// or in the inclusions.
long double OxideSum(const TThSys& s, bool nmi)
{
    long double sum = 0;
    const int oxygen = s.Elems->Key(keyO);
    for (int i = 0; i < s.Elems->Count; ++i) {
        if (i == oxygen)
            continue;
        const TElementRecord& e = s.El(i);
        sum += (nmi ? e.NmiFraction : e.SlagFraction) * e.CompoundFactor;
    }
    return sum;
}

// The content of one element in one system, in the sweep's phase and unit.
long double ElementContent(const TAutographSweep& sw, const TThSys& s, int i)
{
    const TElementRecord& e = s.El(i);
    const int unit = sw.UnitCode;
    const bool oxide = !Settings.ElementalSlag;
    long double m = 0, n = 0, w = 0, x = 0;
    switch (sw.PhaseCode) {
    case apMetal: m = e.MetalMass, n = e.MetalAmount, w = e.MetalFraction, x = e.MetalMoleFraction; break;
    case apSlag: m = e.SlagMass, n = e.SlagAmount, w = e.SlagFraction, x = e.SlagMoleFraction; break;
    case apGas: m = e.GasMass, n = e.GasAmount, w = e.GasFraction, x = e.GasMoleFraction; break;
    case apNmi: m = e.NmiMass, n = e.NmiAmount, w = e.NmiFraction, x = e.NmiMoleFraction; break;
    default: m = e.TotalMass, n = e.Amount, w = e.SystemFraction, x = e.MoleFraction; break;
    }
    const long double total = e.TotalMass + DivisorFloor;
    const bool oxidePhase = sw.PhaseCode == apSlag || sw.PhaseCode == apNmi;
    const long double f = e.CompoundFactor;
    const long double sum = (oxidePhase ? OxideSum(s, sw.PhaseCode == apNmi) : 0) + DivisorFloor;
    switch (unit) {
    case auKg: return oxidePhase && oxide ? 1000 * m * f / sum : 1000 * m;
    case auT: return oxidePhase && oxide ? m * f / sum : m;
    case auKmol: return 1000 * n;
    case auMmol: return n;
    case auMolePct: return 100 * x;
    case auMassPct:
        if (sw.PhaseCode == apSystem)
            return 100 * w;
        if (sw.PhaseCode == apNmi)
            return oxide ? 100 * w * f / sum : 100 * w;
        if (ElemRelToElement)
            return 100 * m / total;
        if (sw.PhaseCode == apSlag && oxide)
            return 100 * w * f / sum;
        return 100 * w;
    default: return 100 * w;
    }
}

long double PressureInUnit(long double atm, int unit)
{
    switch (unit) {
    case auKPa: return atm * 101.325L;
    case auPa: return atm * 101325;
    case auMmHg: return atm * 760;
    default: return atm;
    }
}

} // namespace

int AutographPhaseCode(const std::string& phaseText, bool enabled)
{
    if (!enabled)
        return apNone;
    const std::string head = Utf8Left(phaseText, 3);
    for (std::size_t i = 0; i < AutographPhaseCodes.size(); ++i)
        if (head == AutographPhaseCodes[i])
            return static_cast<int>(i);
    return apNone;
}

int AutographUnitCode(const std::string& unitText)
{
    for (std::size_t i = 0; i < AutographUnitCodes.size(); ++i)
        if (unitText == AutographUnitCodes[i])
            return static_cast<int>(i);
    return -1;
}

std::string ElementGenitiveName(const std::string& symbol)
{
    for (const auto& [sym, name] : GenitiveNames)
        if (symbol == sym)
            return name;
    return {};
}

std::optional<TSweepRange> ParseSweepRange(const std::string& from, const std::string& to, const std::string& step)
{
    TSweepRange r;
    if (!ReadNumber(from, r.From) || !ReadNumber(to, r.To) || !ReadNumber(step, r.Step))
        return std::nullopt;
    if (r.From == r.To || r.Step == 0 || (r.Step < 0 && r.To > r.From))
        return std::nullopt;
    r.Step = (r.To > r.From ? 1 : -1) * std::fabs(r.Step);
    r.Steps = StepCount(r.From, r.To, r.Step);
    return r;
}

std::vector<double> SweepPoints(const TSweepRange& first, const std::optional<TSweepRange>& second)
{
    std::vector<double> xs;
    for (int i = 0; i <= first.Steps; ++i)
        xs.push_back(HeldAt(first.From + i * first.Step, first));
    if (second)
        for (int i = 1; i <= second->Steps; ++i)
            xs.push_back(HeldAt(second->From + i * second->Step, *second));
    return xs;
}

void TAutographSweep::ResetTables()
{
    const std::size_t rows = static_cast<std::size_t>(RowsTotal) + 2;
    XTable.assign(rows, 0.0);
    YTable.assign(rows, std::vector<double>(static_cast<std::size_t>(std::max(Curves, 0)) + 1, 0.0));
    XTable[0] = 2147483647.0;
    XTable[1] = -2147483647.0;
    for (int c = 1; c <= Curves; ++c) {
        YTable[0][static_cast<std::size_t>(c)] = 2147483647.0;
        YTable[1][static_cast<std::size_t>(c)] = -2147483647.0;
    }
    Row = 0;
}

bool TAutographSweep::HasRange(int curve) const
{
    if (curve == 0)
        return XTable.size() > 1 && XTable[0] <= XTable[1];
    const auto c = static_cast<std::size_t>(curve);
    return YTable.size() > 1 && c < YTable[0].size() && YTable[0][c] <= YTable[1][c];
}

// ---------------------------------------------------------------------------
// Commands on the engine alone

bool TAutographCommands::MeltButClick()
{
    MeltForward();
    return true;
}
void TAutographCommands::PrepareSystems() { ferrolyt::PrepareSystems(); }
void TAutographCommands::SetIdle(bool idle)
{
    CalcBusy = !idle;
    StopRequested = idle;
}
bool TAutographCommands::BuildConstraintBlocks() { return ferrolyt::BuildConstraintBlocks(); }
int32_t TAutographCommands::Optimise(int32_t released) { return ferrolyt::Optimise(released); }
void TAutographCommands::ShowForwardProblem(bool recompute)
{
    if (recompute)
        SolveForwardProblem();
}
void TAutographCommands::ProcessMessages() { CurrentHost().ProcessMessages(); }
void TAutographCommands::SetProgress(int) {}
bool TAutographCommands::SweepStopRequested() { return false; }
void TAutographCommands::RefreshCurrentTask()
{
    if (TaskList.Current >= 0 && TaskList.Current < TaskList.Count)
        MeltButClick();
}
void TAutographCommands::OpenWorkbook(const std::string&) {}

// ---------------------------------------------------------------------------
// The point

bool ApplyAutographX(TAutographSweep& sweep, TTaskRecord& task, double x, TAutographCommands& commands)
{
    const long double X = x;
    switch (sweep.XKind) {
    case 0: task.ExtP = X; break;
    case 1: task.IniTemp = X; break;
    case 2: task.MinTemp = X; break;
    case 3: task.IniMinSlg = X, task.IniMaxSlg = X; break;
    case 4:
    case 7: ChargePortion = x; break;
    case 5: {
        const int m = sweep.FixedMaterial;
        for (int k = task.NMat; k >= 1; --k)
            if (task.Materials[k].TableIndex == m) {
                task.Materials[k].Fixed = X;
                return true;
            }
        // The task's material list is full: the material cannot be charged.
        if (task.NMat >= MaxTaskMaterials || m < 1 || m > MaterialCount)
            return false;
        TMaterialRecord entry;
        entry.Name = MaterialTable[m].Name;
        entry.TableIndex = static_cast<uint16_t>(m);
        entry.Fixed = X;
        task.Materials[++task.NMat] = entry;
        break;
    }
    case 6: task.MetalSample[2] = X; break;
    case 8: task.Charge = X; break;
    case 9: {
        task.Charge = 0;
        commands.MeltButClick();
        task.Charge = 1000 * X * Mean(ThSystems[0]->SlagMoles, ThSystems[1]->SlagMoles);
        break;
    }
    default: break;
    }
    return true;
}

double RecordedAutographX(const TAutographSweep& sweep, const TTaskRecord& task, double asked)
{
    const TThSys& s0 = *ThSystems[0];
    const TThSys& s1 = *ThSystems[1];
    switch (sweep.XKind) {
    case 3:
        return static_cast<double>(50 * (s0.SlagMass / (s0.MetalMass + DivisorFloor) +
                                         s1.SlagMass / (s1.MetalMass + DivisorFloor)));
    case 6: {
        // Without known initial metal masses the oxygen share is not defined;
        // the axis keeps the asked value then.
        const int o0 = s0.Elems->Key(keyO), o1 = s1.Elems->Key(keyO);
        if (o0 < 0 || o1 < 0 || !(task.IniMaxMet > 0) || !(task.IniMinMet > 0))
            return asked;
        return static_cast<double>(50 * (s0.El(o0).InputMetalMass / task.IniMaxMet +
                                         s1.El(o1).InputMetalMass / task.IniMinMet));
    }
    case 7: {
        const int o0 = s0.Elems->Key(keyO), o1 = s1.Elems->Key(keyO);
        if (o0 < 0 || o1 < 0)
            return asked;
        return static_cast<double>(50 * (s0.El(o0).SystemFraction + s1.El(o1).SystemFraction));
    }
    case 9:
        return static_cast<double>(0.001L * Mean(s0.SlagCharge / (s0.SlagMoles + 1e-10L),
                                                  s1.SlagCharge / (s1.SlagMoles + 1e-10L)));
    default: return asked;
    }
}

void ReadAutographY(TAutographSweep& sw)
{
    const TThSys& s0 = *ThSystems[0];
    const TThSys& s1 = *ThSystems[1];
    auto put = [&sw](int c, long double v) {
        if (c >= 1 && c <= sw.Curves)
            sw.Y(c) = static_cast<double>(v);
    };
    const int unit = sw.UnitCode;
    switch (sw.YKind) {
    case 0: {
        const long double t = Mean(s0.Temperature, s1.Temperature);
        put(1, unit == auCelsius ? t - KelvinOffset : t);
        break;
    }
    case 1: put(1, PressureInUnit(Mean(s0.GasPressureSum, s1.GasPressureSum), unit)); break;
    case 2: {
        int c = 0;
        for (int k : sw.GasSpecies) {
            ++c;
            if (k >= 1 && k <= ActiveGasCount)
                put(c, PressureInUnit(Mean(s0.SpeciesPressures[k], s1.SpeciesPressures[k]), unit));
        }
        break;
    }
    case 3: {
        const bool mass = unit == auMassPct;
        auto ratio = [&](const TThSys& s) -> long double {
            const long double metal = (mass ? s.MetalMass : s.MetalMoles) + DivisorFloor;
            switch (sw.PhaseCode) {
            case apSlag: return (mass ? s.SlagMass : s.SlagMoles) / metal;
            case apGas: return (mass ? s.GasMass : s.GasMoles) / metal;
            case apNmi: return (mass ? s.NmiMass : s.NmiMoles) / metal;
            default: return 0;
            }
        };
        put(1, 50 * (ratio(s0) + ratio(s1)));
        break;
    }
    case 4: {
        const int last = std::min({SystemElemLast, s0.Elems->Count - 1, s1.Elems->Count - 1});
        if (sw.ElementIndex >= 0) {
            if (sw.ElementIndex <= last)
                put(1, Mean(ElementContent(sw, s0, sw.ElementIndex), ElementContent(sw, s1, sw.ElementIndex)));
        } else {
            for (int e = 0; e <= last; ++e)
                put(e + 1, Mean(ElementContent(sw, s0, e), ElementContent(sw, s1, e)));
        }
        break;
    }
    case 5: {
        if (sw.PhaseCode == apPresence) {
            const int code = 4 * (s0.MetalMass + s1.MetalMass > 0.001L) + 2 * (s0.SlagMass + s1.SlagMass > 0.001L) +
                             (s0.GasMass + s1.GasMass > 0.001L);
            put(1, BothConverged ? code : -code);
            break;
        }
        auto mass = [&](const TThSys& s) -> long double {
            switch (sw.PhaseCode) {
            case apMetal: return s.MetalMass;
            case apSlag: return s.SlagMass;
            case apGas: return s.GasMass;
            case apNmi: return s.NmiMass;
            default: return s.TotalMass;
            }
        };
        const long double m = Mean(mass(s0), mass(s1));
        put(1, unit == auKg ? 1000 * m : m);
        break;
    }
    case 6: {
        auto moles = [&](const TThSys& s) -> long double {
            switch (sw.PhaseCode) {
            case apMetal: return s.MetalMoles;
            case apSlag: return s.SlagMoles;
            case apGas: return s.GasMoles;
            case apNmi: return s.NmiMoles;
            default: return s.TotalMoles;
            }
        };
        const long double n = Mean(moles(s0), moles(s1));
        put(1, unit == auKmol ? 1000 * n : n);
        break;
    }
    case 7: {
        const long double f = unit == auKPerKgT ? (s0.MetalMass + s1.MetalMass) / 1000 : 0.5L;
        for (int j = 1; j <= MaterialCount; ++j)
            put(j, (MaterialTable[j].TempEffect[0] + MaterialTable[j].TempEffect[1]) * f);
        break;
    }
    case 8: {
        const long double metal = s0.MetalMass + s1.MetalMass + DivisorFloor;
        long double cost = 0;
        for (int j = 1; j <= MaterialCount; ++j) {
            const long double a = MaterialTable[j].Amount;
            if (!(a > 0))
                continue;
            put(j, unit == auKg ? 1000 * a : unit == auKgPerT ? 2000 * a / metal : a);
            cost += a * MaterialTable[j].Price;
        }
        put(MaterialCount + 1, unit == auKgPerT ? 2 * cost / metal : cost);
        break;
    }
    case 9: {
        auto cp = [&](const TThSys& s) -> long double {
            int ph = phTotal;
            long double mass = s.TotalMass;
            switch (sw.PhaseCode) {
            case apMetal: ph = phMetal, mass = s.MetalMass; break;
            case apSlag: ph = phSlag, mass = s.SlagMass; break;
            case apGas: ph = phGas, mass = s.GasMass; break;
            default: break;
            }
            const auto p = static_cast<std::size_t>(ph);
            return (s.Heat.Cp[p] + s.HeatSums[p]) / (mass + DivisorFloor);
        };
        put(1, Mean(cp(s0), cp(s1)));
        break;
    }
    default: break;
    }
}

void ComputeAutographPoint(TAutographSweep& sw, TAutographCommands& commands)
{
    TTaskRecord& task = TaskList.CurrentTask();
    const double asked = sw.X;
    bool failed = !ApplyAutographX(sw, task, asked, commands);

    if (!failed) {
        const long double savedPressure = task.ExtP;
        if (sw.YKind == 1)
            task.ExtP = 100000;
        try {
            if (sw.Optimise) {
                commands.PrepareSystems();
                commands.SetIdle(false);
                try {
                    failed = !commands.BuildConstraintBlocks() || commands.Optimise(-1) > 0;
                } catch (...) {
                    commands.SetIdle(true);
                    throw;
                }
                commands.SetIdle(true);
                if (!failed)
                    commands.ShowForwardProblem(true);
            } else {
                // A melt that computed nothing would leave the previous
                // point's systems to be read as this point's.
                failed = !commands.MeltButClick();
            }
        } catch (...) {
            if (sw.YKind == 1)
                task.ExtP = savedPressure;
            throw;
        }
        if (sw.YKind == 1)
            task.ExtP = savedPressure;
    }

    if (!failed)
        sw.X = RecordedAutographX(sw, task, asked);
    sw.XTable[static_cast<std::size_t>(sw.Row + 1)] = sw.X;

    commands.ProcessMessages();
    const double done = double(sw.TasksDone) * sw.RowsTotal + sw.Row;
    commands.SetProgress(static_cast<int>(std::lround(100.0 * done / (double(std::max(sw.TaskCount, 1)) * sw.RowsTotal))));

    if (failed || (sw.SkipBad && !BothConverged)) {
        for (int c = 1; c <= sw.Curves; ++c)
            sw.Y(c) = UnsetY;
        return;
    }
    if (std::isfinite(sw.X)) {
        sw.XTable[0] = std::min(sw.XTable[0], sw.X);
        sw.XTable[1] = std::max(sw.XTable[1], sw.X);
    }
    ReadAutographY(sw);
    for (int c = 1; c <= sw.Curves; ++c) {
        double& y = sw.Y(c);
        if (!std::isfinite(y)) {
            // A value the solution does not define is left empty.
            y = UnsetY;
            continue;
        }
        auto& lo = sw.YTable[0][static_cast<std::size_t>(c)];
        auto& hi = sw.YTable[1][static_cast<std::size_t>(c)];
        lo = std::min(lo, y);
        hi = std::max(hi, y);
    }
}

} // namespace ferrolyt
