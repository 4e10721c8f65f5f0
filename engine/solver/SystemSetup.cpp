// Turning the current task into the starting state of the two systems, and
// the system routines the set-up and the heat replay use for it.

#include "ExtendedMath.h"
#include "SystemSetup.h"


#include "Host.h"
#include "Settings.h"
#include "TaskList.h"
#include "ThSys.h"
#include "Utils.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace ferrolyt {

namespace {

constexpr int CarbonOxygenIterations = 21;
constexpr int FixedMetalSolves = 50;
constexpr long double DefaultPressure = 1.0L;       // atm
constexpr long double DefaultInitialTemp = 1600.0L; // °C
// [C]·[O] of the starting oxygen estimate, mass % squared.
constexpr long double CarbonOxygenProduct = 0.0033L;

std::size_t Ix(int i) { return static_cast<std::size_t>(i); }

// A number with at most `decimals` decimals, trailing zeros dropped (the
// masks "0.##" and "0.####").
std::string FormatDecimals(long double value, int decimals)
{
    // Half away from zero, as the mask formatting rounds.
    const long double scale = std::pow(10.0L, decimals);
    const long double scaled = std::round(value * scale);
    char text[64];
    std::snprintf(text, sizeof text, "%.*Lf", decimals, scaled / scale);
    std::string s(text);
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0')
            s.pop_back();
        if (s.back() == '.')
            s.pop_back();
    }
    return s == "-0" ? std::string(1, '0') : s;
}

// An edit's number while the user is typing in it.
bool FocusedEditValue(Host::InputEdit edit, long double& value)
{
    Host& host = CurrentHost();
    if (!host.EditHasFocus(edit))
        return false;
    std::string text = DecimalDot(host.EditText(edit));
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return false;
    const auto last = text.find_last_not_of(" \t");
    text = text.substr(first, last - first + 1);
    return TryParseReal(text, value);
}

// The composition and effect tables of a system's kind.
struct TKindTables {
    TCompositionTable& Composition;
    TCompositionTable& MatEffMetal;
    TCompositionTable& MatEffSlag;
    TElementEffectTable& ElemEffMetal;
    TElementEffectTable& ElemEffSlag;
};

TKindTables TablesOfKind(int kind)
{
    const std::size_t k = kind == 1 ? 1 : 0;
    return {k == 1 ? CompositionMax : CompositionMin, MaterialEffectsOnMetal[k], MaterialEffectsOnSlag[k],
            ElementEffectsOnMetal[k], ElementEffectsOnSlag[k]};
}

// The slag of a task without slag samples, built from the metal's oxygen:
// each element enters the slag in proportion to its metal share and its
// metal-slag distribution at a slag potential fixed by the oxygen.
void BuildSlagFromMetalOxygen(TThSys& sys, long double slagMass)
{
    const int o = sys.Elems->Key(keyO);
    if (o < 0 || !(slagMass > 0))
        return;
    std::array<long double, MaxElements> n{};
    long double metalTotal = 0;
    for (int i = 0; i <= SystemElemLast; ++i) {
        n[Ix(i)] = std::max(DivisorFloor, sys.El(i).InputMetalMass / sys.El(i).MolarMass);
        metalTotal += n[Ix(i)];
    }
    const long double psi = (LogL((n[Ix(o)] / metalTotal) / 0.54L) - 0.61L) / sys.El(o).Valence;
    std::array<long double, MaxElements> y{};
    long double sumY = 0;
    for (int i = 0; i <= SystemElemLast; ++i) {
        const TElementRecord& e = sys.El(i);
        y[Ix(i)] = (n[Ix(i)] / metalTotal) * ExpL(e.SlagStdTerm + e.LnGammaInf - e.Valence * psi);
        sumY += y[Ix(i)];
    }
    const int ca = sys.Elems->Key(keyCa);
    const int mg = sys.Elems->Key(keyMg);
    if (ca >= 0)
        y[Ix(ca)] = 0.88L * std::max(0.05L, 1 - sumY);
    if (mg >= 0)
        y[Ix(mg)] = 0.12L * std::max(0.01L, 1 - sumY);
    long double total = 0;
    for (int i = 0; i <= SystemElemLast; ++i) {
        y[Ix(i)] *= sys.El(i).MolarMass;
        total += y[Ix(i)];
    }
    for (int i = 0; i <= SystemElemLast; ++i) {
        TElementRecord& e = sys.El(i);
        e.SlagMassFraction = y[Ix(i)] / total;
        e.InputSlagMass = slagMass * e.SlagMassFraction;
    }
    sys.SlagMass = slagMass;
    sys.SlagPotential = psi;
}

} // namespace

// ---------------------------------------------------------------------------

void TThSys::SolveCarbonOxygen(long double& otherMetalMass, long double metalMass)
{
    const int c = Elems->Key(keyC), o = Elems->Key(keyO), fe = Elems->Key(keyFe);
    if (c < 0 || o < 0 || fe < 0)
        return;
    const long double carbon = El(c).InputMetalMass;
    if (!(carbon >= PresenceThreshold) || El(o).InputMetalMass > PresenceThreshold || !(metalMass > 0))
        return;

    // The oxygen of a [C][O] product of 0.0033, at most 1 % of the metal.
    const long double onePercent = 0.01L * metalMass;
    long double m = std::min(onePercent, (CarbonOxygenProduct / carbon) * onePercent * onePercent);

    long double others = 0;
    for (int i = 0; i <= SystemElemLast; ++i) {
        TElementRecord& e = El(i);
        e.SlagAmount = e.GasAmount = e.NmiAmount = AmountFloor;
        if (i == fe || i == o)
            continue;
        e.MetalAmount = std::max(DivisorFloor, e.InputMetalMass / e.MolarMass);
        e.Amount = e.MetalAmount;
        others += e.MetalAmount;
    }
    SlagMoles = GasMoles = NmiMoles = AmountFloor;

    // The gas pressure sum over a metal holding `oxygen` t of oxygen.
    auto GasSumForOxygen = [&](long double oxygen) {
        TElementRecord& eo = El(o);
        TElementRecord& efe = El(fe);
        eo.MetalAmount = eo.Amount = std::max(PresenceThreshold, oxygen / eo.MolarMass);
        efe.MetalAmount = efe.Amount =
            std::max(PresenceThreshold, (metalMass - otherMetalMass - oxygen) / efe.MolarMass);
        MetalMoles = others + efe.MetalAmount + eo.MetalAmount;
        TotalMoles = MetalMoles;
        CalcGasEquilibrium();
        return GasPressureSum;
    };

    for (int iter = 0; iter < CarbonOxygenIterations; ++iter) {
        const long double h = 0.0001L * m;
        const long double f = TotalPressure - GasSumForOxygen(m);
        const long double slope = GasSumForOxygen(m + h) - GasSumForOxygen(m - h);
        long double delta = 2 * h * f / (DivisorFloor + slope);
        ClampAbs(delta, 0.3L * m);
        m += delta;
        if (std::fabs(delta) < 1e-12L)
            break;
    }
    // Leave the gas of the oxygen found, not of the last difference point.
    GasSumForOxygen(m);
    El(o).InputMetalMass = m;
    otherMetalMass += m;
}

void TThSys::SetSlagMass(long double slagMass)
{
    if (!(slagMass > 0))
        return;
    SlagMass = slagMass;
    const int o = Elems->Key(keyO);
    long double charge = 0, total = 0;
    for (int i = 0; i <= SystemElemLast; ++i) {
        if (i == o)
            continue;
        const TElementRecord& e = El(i);
        charge += e.Valence * e.InputSlagMass / e.MolarMass;
        total += e.InputSlagMass;
    }
    if (o >= 0) {
        TElementRecord& eo = El(o);
        eo.InputSlagMass = -eo.MolarMass * charge / eo.Valence;
        total += eo.InputSlagMass;
    }
    for (int i = 0; i <= SystemElemLast; ++i) {
        TElementRecord& e = El(i);
        e.SlagMassFraction = e.InputSlagMass / total;
        e.InputSlagMass = (slagMass / total) * e.InputSlagMass;
    }
}

void TThSys::SplitSlagForNmi(long double percent)
{
    NmiSolved = false;
    const long double p = std::max(1e-6L, percent);
    NmiMass = SlagMass * p / 100;
    SlagMass -= NmiMass;
    for (int i = 0; i <= SystemElemLast; ++i) {
        TElementRecord& e = El(i);
        e.InputNmiMass = e.InputSlagMass * p / 100;
        e.InputSlagMass -= e.InputNmiMass;
        e.NmiFraction = e.SlagMassFraction;
        e.NmiMass = e.InputNmiMass;
    }
}

void TThSys::EquilibrateFixedMetal(const std::array<double, MaxElements>& percent)
{
    TTaskRecord& task = TaskList.CurrentTask();
    task.IniTemp = UnsetValue;
    task.Energy = 0;
    task.Losses = 0;
    for (int j = 0; j <= MaterialCount; ++j)
        MaterialTable[j].Amount = 0;

    const long double keptSlag = SlagMass;
    const uint8_t keptMode = Settings.FinalTempMode;
    Settings.FinalTempMode = 0;

    const int fe = Elems->Key(keyFe);
    std::array<long double, MaxElements> target{};
    long double others = 0;
    for (int i = 0; i <= SystemElemLast; ++i) {
        if (i == fe)
            continue;
        const double p = percent[Ix(i)];
        target[Ix(i)] = p > 0 ? MetalMass * 0.01L * p : El(i).MetalMass;
        others += target[Ix(i)];
    }
    if (fe >= 0)
        target[Ix(fe)] = MetalMass - others;

    TKindTables t = TablesOfKind(Kind);
    for (int pass = 0; pass < FixedMetalSolves; ++pass) {
        for (int i = 0; i <= SystemElemLast; ++i)
            El(i).InputMetalMass = target[Ix(i)];
        SolveEquilibrium(t.MatEffMetal, t.MatEffSlag, t.Composition, t.ElemEffMetal, t.ElemEffSlag, false, true,
                         false, false);
    }
    SetSlagMass(keptSlag);
    Settings.FinalTempMode = keptMode;
}

// ---------------------------------------------------------------------------

void PrepareSystems()
{
    CreateSystems();
    Host& host = CurrentHost();
    TThSys& lower = *ThSystems[0];
    TThSys& upper = *ThSystems[1];
    const bool hasTask = TaskList.Current >= 0 && TaskList.Current < TaskList.Count;
    TTaskRecord& task = TaskList.CurrentTask();

    // 1. Pressure: what the user is typing, else the task's.
    long double pressure = 0;
    if (FocusedEditValue(Host::InputEdit::Pressure, pressure)) {
        TotalPressure = pressure;
    } else {
        TotalPressure = IsUnset(task.ExtP) ? DefaultPressure : task.ExtP;
        host.SetEditText(Host::InputEdit::Pressure, FormatDecimals(TotalPressure, 4));
    }

    // 2. Initial temperature, °C.
    long double t0 = 0;
    if (!FocusedEditValue(Host::InputEdit::InitialTemperature, t0)) {
        if (!IsUnset(task.IniTemp)) {
            t0 = task.IniTemp;
            host.SetEditText(Host::InputEdit::InitialTemperature, FormatDecimals(task.IniTemp, 2));
        } else {
            t0 = DefaultInitialTemp;
            host.SetEditText(Host::InputEdit::InitialTemperature, "");
        }
    }
    for (TThSys* sys : {&lower, &upper}) {
        sys->Temperature = t0 + KelvinOffset;
        sys->InitialTemperature = sys->Temperature;
        // Nothing of an earlier solve may reach this one, not even its last
        // bits: the slag potential enters the heats of the materials below
        // (through terms that cancel only to rounding), and tables would be
        // derived from the last ones computed. A kept table is forgotten too:
        // handed back at one temperature, it would have the next nearby one
        // computed afresh where the first melt derived it.
        sys->SlagPotential = 0;
        sys->InteractionTables.Clear();
    }

    // 3. Element limits and initial phases start empty. The inclusion input
    // is cleared too, so that switching the inclusions off leaves none behind.
    for (TThSys* sys : {&lower, &upper}) {
        const long double openLimit = sys == &lower ? 0.0L : 1.0L;
        for (int i = 0; i <= SystemElemLast; ++i) {
            TElementRecord& e = sys->El(i);
            e.MetalLimitGiven = e.SlagLimitGiven = false;
            e.MetalLimit = e.SlagLimit = openLimit;
            e.InputMetalMass = e.InputSlagMass = DivisorFloor;
            e.InputNmiMass = 0;
        }
        sys->NmiMass = 0;
    }

    // 4. The starting charge; the bounds come from the task below.
    InitialChargeFromTask();
    for (int j = 1; j <= MaterialCount; ++j) {
        TMaterialRecord& m = MaterialTable[j];
        m.Recommended = m.Fixed = m.MinT = m.MaxT = m.MinPercent = m.MaxPercent = UnsetValue;
        m.Disabled = false;
    }
    if (!hasTask) {
        // Nothing is charged, but the heat of the (empty) initial phases must
        // not be left over from an earlier task.
        for (TThSys* sys : {&lower, &upper}) {
            sys->CalcStandardGibbs();
            sys->InitAmounts();
        }
        return;
    }

    // 5. The task's materials.
    for (int k = 1; k <= std::min<int>(task.NMat, MaxTaskMaterials); ++k) {
        TMaterialRecord& tm = task.Materials[k];
        const int slot = tm.TableIndex;
        if (slot < 1 || slot > MaterialCount)
            continue;
        TMaterialRecord& m = MaterialTable[slot];
        m.Recommended = tm.Recommended;
        m.Fixed = tm.Fixed;
        m.MinT = tm.MinT;
        m.MaxT = tm.MaxT;
        m.MinPercent = tm.MinPercent;
        m.MaxPercent = tm.MaxPercent;
        tm.Disabled = tm.Fixed == 0 || tm.MaxT == 0;
        m.Disabled = tm.Disabled;
    }

    // 6.-7. Limits and the initial phases from the samples. The lower system
    // takes the larger initial masses with the lower sample values, the upper
    // system the smaller masses with the upper values.
    const int elementCount = std::min<int>(task.NEl, MaxTaskElements);
    long double slagSamples = 0;
    for (int k = 1; k <= elementCount; ++k)
        if (!IsUnset(task.SlagSample[k]))
            slagSamples += task.SlagSample[k];
    const long double u = Settings.AccurateMetalSample ? 0 : 1;
    long double lowerMetal = 0, upperMetal = 0;
    const int fe = lower.Elems->Key(keyFe);
    const int o = lower.Elems->Key(keyO);
    for (int k = 1; k <= elementCount; ++k) {
        const int i = lower.Elems->IndexOfSymbol(task.Symbols[k]);
        if (i < 0 || i > SystemElemLast)
            continue;
        struct TSide {
            TThSys& Sys;
            long double MetalBound, SlagBound, IniMet, IniSlg, Sign;
            long double& MetalSum;
        };
        const TSide sides[2] = {
            {lower, task.MetalMin[k], task.SlagMin[k], task.IniMaxMet, task.IniMaxSlg, -1, lowerMetal},
            {upper, task.MetalMax[k], task.SlagMax[k], task.IniMinMet, task.IniMinSlg, +1, upperMetal},
        };
        for (const TSide& side : sides) {
            TElementRecord& e = side.Sys.El(i);
            e.MetalLimitGiven = !IsUnset(side.MetalBound);
            if (e.MetalLimitGiven)
                e.MetalLimit = 0.01L * side.MetalBound;
            if (i != fe && !IsUnset(task.MetalSample[k]) && side.IniMet > 0) {
                const long double sample = task.MetalSample[k] + side.Sign * u * e.Tolerance;
                e.InputMetalMass = side.IniMet * 0.01L * std::max(1e-10L, sample);
                side.MetalSum += e.InputMetalMass;
            }
            if (i != o) {
                e.SlagLimitGiven = !IsUnset(side.SlagBound);
                if (e.SlagLimitGiven)
                    e.SlagLimit = 0.01L * side.SlagBound;
                if (!IsUnset(task.SlagSample[k]) && side.IniSlg > 0)
                    e.InputSlagMass = side.IniSlg * 0.01L * std::max(1e-10L, task.SlagSample[k] / e.CompoundFactor);
            }
        }
    }

    // 8. Standard terms at the initial temperature.
    lower.CalcStandardGibbs();
    upper.CalcStandardGibbs();

    // 9. Oxygen in equilibrium with the carbon.
    if (Settings.AutoOxygen) {
        lower.SolveCarbonOxygen(lowerMetal, task.IniMaxMet);
        upper.SolveCarbonOxygen(upperMetal, task.IniMinMet);
    }

    // 10. Iron is the balance of the metal.
    if (fe >= 0) {
        if (task.IniMaxMet > 0)
            lower.El(fe).InputMetalMass = task.IniMaxMet - lowerMetal;
        if (task.IniMinMet > 0)
            upper.El(fe).InputMetalMass = task.IniMinMet - upperMetal;
    }

    // 11. An electroneutral slag.
    if (task.IniMaxSlg > 0 && slagSamples == 0 && o >= 0 && upper.El(o).InputMetalMass > DivisorFloor) {
        BuildSlagFromMetalOxygen(upper, task.IniMinSlg);
        BuildSlagFromMetalOxygen(lower, task.IniMaxSlg);
    } else if (slagSamples > 0) {
        lower.SetSlagMass(task.IniMaxSlg);
        upper.SetSlagMass(task.IniMinSlg);
    }

    // 12. Part of the slag starts as inclusions in the metal.
    if (Settings.CalcNmi) {
        lower.SplitSlagForNmi(Settings.InitialExoNmiShare);
        upper.SplitSlagForNmi(Settings.InitialExoNmiShare);
    }

    // 13. Heat of the given initial phases and of the materials.
    lower.InitAmounts();
    upper.InitAmounts();
    lower.CalcMaterialHeats(CompositionMin, false);
    upper.CalcMaterialHeats(CompositionMax, false);
}

void InitialChargeFromTask()
{
    for (int j = 1; j <= MaterialCount && j <= MaxMaterials; ++j) {
        MaterialTable[j].LpAmount = 0;
        MaterialTable[j].Amount = 0;
    }
    if (TaskList.Current < 0 || TaskList.Current >= TaskList.Count)
        return;
    const TTaskRecord& task = TaskList.CurrentTask();
    const long double portion = static_cast<long double>(ChargePortion) / 100;
    for (int k = 1; k <= task.NMat && k <= MaxTaskMaterials; ++k) {
        const TMaterialRecord& tm = task.Materials[k];
        const int slot = tm.TableIndex;
        if (slot < 1 || slot > MaterialCount)
            continue;
        long double amount = 0;
        if (!IsUnset(tm.Fixed)) {
            amount = tm.Fixed * portion;
        } else {
            const long double recommended = !IsUnset(tm.Recommended) ? tm.Recommended : 0;
            amount = std::max(0.0L, recommended * portion);
            if (!IsUnset(tm.MinT))
                amount = std::max(amount, tm.MinT);
        }
        MaterialTable[slot].Amount = amount;
    }
}

} // namespace ferrolyt
