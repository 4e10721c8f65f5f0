#include "Constraints.h"

#include "Model.h"
#include "Settings.h"
#include "SimplexLP.h"
#include "TaskList.h"
#include "ThSys.h"
#include "Utils.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace ferrolyt {

OffsetArray<TConstraintBlockRecord, 1, MaxConstraintBlocks> ConstraintBlocks{};
int32_t ConstraintBlockCount = 0;
uint64_t ConstraintListing = 0;

bool AddConstraintBlock(const std::string& name, uint8_t kind, int32_t index, int32_t rowCount, uint8_t side)
{
    const int32_t number = ConstraintBlockCount + 1;
    const int32_t first = LpRowCount + 1;
    ConstraintBlockCount = number;
    LpRowCount += rowCount;
    if (number > MaxConstraintBlocks)
        return false;
    TConstraintBlockRecord& b = ConstraintBlocks[number];
    b.Kind = kind;
    b.Index = index;
    b.FirstRow = first;
    b.LastRow = first + rowCount - 1;
    b.Name = Utf8Left(name, ConstraintNameLength);
    b.Side = side;
    return true;
}

namespace {

bool IsSet(long double v) { return v != UnsetValue; }

// Limits of the phase masses and the basicity count only when positive.
bool Given(long double v) { return v > 1e-100L; }

TThSys& System(int kind) { return *ThSystems[static_cast<std::size_t>(kind)]; }

void ListPhaseBlocks(long double lower, long double upper, const char* lowerName, const char* upperName,
                     uint8_t kind)
{
    if (Given(lower))
        AddConstraintBlock(lowerName, kind, 1, 2, csLower);
    if (Given(upper))
        AddConstraintBlock(upperName, kind, 1, 2, csUpper);
}

void ListBlocks(const TTaskRecord& task)
{
    const bool haveSystems = ThSystems[0] && ThSystems[1];
    if (haveSystems)
        for (int i = 0; i <= SystemElemLast && i < MaxElements; ++i) {
            if (System(0).El(i).MetalLimitGiven)
                AddConstraintBlock("[" + System(0).El(i).Symbol + "] мін", ckMetalElement, i, 2, csLower);
            if (System(1).El(i).MetalLimitGiven)
                AddConstraintBlock("[" + System(1).El(i).Symbol + "] макс", ckMetalElement, i, 2, csUpper);
        }
    ListPhaseBlocks(task.MinMet, task.MaxMet, "Мін маса металу", "Макс маса металу", ckMetalMass);
    if (Settings.FinalTempMode != 0) {
        if (task.MinTemp > 0)
            AddConstraintBlock("Мін температура", ckTemperature, 1, 2, csLower);
        if (task.MaxTemp > 0)
            AddConstraintBlock("Макс температура", ckTemperature, 1, 2, csUpper);
    }
    if (haveSystems)
        for (int i = 0; i <= SystemElemLast && i < MaxElements; ++i) {
            if (System(0).El(i).SlagLimitGiven)
                AddConstraintBlock("(" + System(0).El(i).Label + ") мін", ckSlagCompound, i, 2, csLower);
            if (System(1).El(i).SlagLimitGiven)
                AddConstraintBlock("(" + System(1).El(i).Label + ") макс", ckSlagCompound, i, 2, csUpper);
        }
    ListPhaseBlocks(task.MinSlg, task.MaxSlg, "Мін маса шлаку", "Макс маса шлаку", ckSlagMass);
    if (haveSystems && System(0).Elems->BasicOxides)
        ListPhaseBlocks(task.MinOsn, task.MaxOsn, "Мін основність", "Макс основність", ckBasicity);
    ListPhaseBlocks(task.MinGas, task.MaxGas, "Мін маса газу", "Макс маса газу", ckGasMass);

    for (int j = 1; j <= MaterialCount && j <= MaxMaterials; ++j) {
        const TMaterialRecord& m = MaterialTable[j];
        if (IsSet(m.Fixed)) {
            if (m.Fixed == 0)
                AddConstraintBlock("Відсутність " + m.Name, ckFixedMass, j, 1, csLower);
            else
                AddConstraintBlock("ЗаФіксована маса " + m.Name, ckFixedMass, j, m.Fixed > 0 ? 2 : 1, csLower);
            continue;
        }
        if (IsSet(m.MinT))
            AddConstraintBlock("Min mass of " + m.Name, ckMaterialMass, j, 1, csLower);
        if (IsSet(m.MaxT))
            AddConstraintBlock((m.MaxT == 0 ? "Відсутність " : "Брак ") + m.Name, ckMaterialMass, j, 1, csUpper);
        if (IsSet(m.MinPercent))
            AddConstraintBlock("Мін відсоток " + m.Name, ckMaterialShare, j, 1, csLower);
        if (IsSet(m.MaxPercent))
            AddConstraintBlock("Макс відсоток " + m.Name, ckMaterialShare, j, 1, csUpper);
    }
}

} // namespace

bool BuildConstraintBlocks()
{
    ++ConstraintListing;
    LpRowCount = 0;
    ConstraintBlockCount = 0;
    if (MaterialCount > LpMaxColumns) {
        ShowWarning("Оптимізація вміщує не більше " + std::to_string(LpMaxColumns) +
                    " матеріалів, а в таблиці матеріалів їх " + std::to_string(MaterialCount) +
                    ". Оптимізацію не виконано.");
        return false;
    }
    ListBlocks(TaskList.CurrentTask());
    std::string refusal;
    if (ConstraintBlockCount > MaxConstraintBlocks)
        refusal = "Завдання має " + std::to_string(ConstraintBlockCount) +
                  " обмежень, а оптимізація вміщує не більше " + std::to_string(MaxConstraintBlocks) + ".";
    else if (LpRowCount > LpMaxRows)
        refusal = "Обмеження завдання дають " + std::to_string(LpRowCount) +
                  " рядків, а оптимізація вміщує не більше " + std::to_string(LpMaxRows) + ".";
    if (!refusal.empty()) {
        LpRowCount = 0;
        ConstraintBlockCount = 0;
        ShowWarning(refusal + " Оптимізацію не виконано.");
        return false;
    }
    return LpRowCount > 0;
}

// ---------------------------------------------------------------------------
// Linear rows

namespace {

// Coefficients of one phase's element masses, linear in the charge: the mass
// of element i is sum over j >= 1 of C[i][j]·x_j − C[i][0], and the phase
// mass the same with Sum. Static because every pass rebuilds them.
struct TPhaseCoefficients {
    std::array<std::array<long double, LpMaxColumns + 1>, MaxElements> C{};
    std::array<long double, LpMaxColumns + 1> Sum{};
};

enum TRowPhase : int { rpMetal = 0, rpSlag = 1, rpGas = 2 };

std::array<std::array<TPhaseCoefficients, 3>, 2> Coefficients{}; // [kind][phase]

void BuildCoefficients(int kind, int phase)
{
    const TThSys& sys = System(kind);
    const TCompositionTable& dM = MaterialEffectsOnMetal[static_cast<std::size_t>(kind)];
    const TCompositionTable& dS = MaterialEffectsOnSlag[static_cast<std::size_t>(kind)];
    const TCompositionTable& comp = kind == 0 ? CompositionMin : CompositionMax;
    TPhaseCoefficients& pc = Coefficients[static_cast<std::size_t>(kind)][static_cast<std::size_t>(phase)];
    pc.Sum.fill(0);
    for (int i = 0; i <= SystemElemLast && i < MaxElements; ++i) {
        auto& c = pc.C[static_cast<std::size_t>(i)];
        c.fill(0);
        const auto row = static_cast<std::size_t>(i + 1);
        long double moved = 0;
        for (int j = 1; j <= MaterialCount; ++j) {
            long double e = 0;
            switch (phase) {
            case rpMetal: e = dM[row][j]; break;
            case rpSlag: e = dS[row][j]; break;
            default: e = static_cast<long double>(comp[row][j]) - dM[row][j] - dS[row][j]; break;
            }
            c[static_cast<std::size_t>(j)] = e;
            // The metal's linearisation leaves the charge carriers' present
            // amounts out of its base point.
            if (phase != rpMetal || MaterialTable[j].Type != mtChargeCarrier)
                moved += MaterialTable[j].Amount * e;
        }
        const TElementRecord& el = sys.El(i);
        const long double present = phase == rpMetal ? el.MetalMass : phase == rpSlag ? el.SlagMass : el.GasMass;
        c[0] = moved - present;
        for (int j = 0; j <= MaterialCount; ++j)
            pc.Sum[static_cast<std::size_t>(j)] += c[static_cast<std::size_t>(j)];
    }
}

using TRow = std::array<long double, LpMaxColumns + 1>;

TRow& Row(int r) { return LpTableau[static_cast<std::size_t>(r)]; }

// Content of element i in a phase between limits as a fraction of the phase.
void ContentRow(int r, const TPhaseCoefficients& pc, int i, long double limit, uint8_t side)
{
    TRow& t = Row(r);
    const auto& c = pc.C[static_cast<std::size_t>(i)];
    for (int j = 0; j <= MaterialCount; ++j) {
        const auto sj = static_cast<std::size_t>(j);
        t[sj] = side == csLower ? limit * pc.Sum[sj] - c[sj] : c[sj] - limit * pc.Sum[sj];
    }
}

// A phase mass between limits.
void MassRow(int r, const TPhaseCoefficients& pc, long double limit, uint8_t side)
{
    TRow& t = Row(r);
    for (int j = 1; j <= MaterialCount; ++j) {
        const auto sj = static_cast<std::size_t>(j);
        t[sj] = side == csLower ? -pc.Sum[sj] : pc.Sum[sj];
    }
    t[0] = side == csLower ? -pc.Sum[0] - limit : limit + pc.Sum[0];
}

void TemperatureRow(int r, int kind, long double limit, uint8_t side)
{
    TRow& t = Row(r);
    long double moved = 0;
    for (int j = 1; j <= MaterialCount; ++j) {
        const long double d = MaterialTable[j].TempEffect[static_cast<std::size_t>(kind)];
        if (MaterialTable[j].Type != mtChargeCarrier)
            moved += d * MaterialTable[j].Amount;
        t[static_cast<std::size_t>(j)] = side == csLower ? -d : d;
    }
    const long double margin = (System(kind).Temperature - KelvinOffset - limit) - moved;
    t[0] = side == csLower ? margin : -margin;
}

void BasicityRow(int r, int kind, long double limit, uint8_t side)
{
    const TThSys& sys = System(kind);
    const TPhaseCoefficients& pc = Coefficients[static_cast<std::size_t>(kind)][rpSlag];
    const int si = sys.Elems->Key(keySi);
    if (si < 0)
        return; // no silica: the row stays empty and is always met
    const int ca = sys.Elems->Key(keyCa);
    const int mg = sys.Elems->Key(keyMg);
    const long double sign = side == csLower ? 1 : -1;
    TRow& t = Row(r);
    for (int j = 0; j <= MaterialCount; ++j) {
        const auto sj = static_cast<std::size_t>(j);
        long double v = limit * sys.El(si).CompoundFactor * pc.C[static_cast<std::size_t>(si)][sj];
        if (ca >= 0)
            v -= sys.El(ca).CompoundFactor * pc.C[static_cast<std::size_t>(ca)][sj];
        if (mg >= 0)
            v -= sys.El(mg).CompoundFactor * pc.C[static_cast<std::size_t>(mg)][sj];
        t[sj] = sign * v;
    }
}

// The element's share of its compound's share in the slag, as the last solve
// left them; a slag without the compound falls back on the oxide factor.
long double CompoundToElement(const TElementRecord& el)
{
    if (el.SlagCompoundFraction > 0)
        return el.SlagFraction / el.SlagCompoundFraction;
    return el.CompoundFactor > 0 ? 1 / el.CompoundFactor : 1;
}

void MaterialRows(const TConstraintBlockRecord& b)
{
    const int j = b.Index;
    if (j < 1 || j > MaterialCount)
        return;
    const auto sj = static_cast<std::size_t>(j);
    const TMaterialRecord& m = MaterialTable[j];
    TRow& t = Row(b.FirstRow);
    switch (b.Kind) {
    case ckMaterialMass:
        if (b.Side == csLower && IsSet(m.MinT)) {
            t[sj] = -1;
            t[0] = -m.MinT;
        } else if (b.Side == csUpper && IsSet(m.MaxT)) {
            t[sj] = 1;
            t[0] = m.MaxT;
        }
        break;
    case ckMaterialShare: {
        const bool lower = b.Side == csLower;
        const long double v = lower ? m.MinPercent : m.MaxPercent;
        if (!IsSet(v))
            break;
        const long double p = v / 100;
        for (int c = 1; c <= MaterialCount; ++c)
            t[static_cast<std::size_t>(c)] = lower ? p : -p;
        t[sj] = lower ? p - 1 : 1 - p;
        t[0] = 0;
        break;
    }
    case ckFixedMass:
        // A fixed mark lifted for the run (a released absence) leaves the
        // block's rows empty, and so always met, keeping every later block
        // on its own rows.
        if (!IsSet(m.Fixed))
            break;
        t[sj] = 1;
        t[0] = m.Fixed;
        if (m.Fixed > 0 && b.LastRow > b.FirstRow) {
            TRow& t2 = Row(b.FirstRow + 1);
            t2[sj] = -1;
            t2[0] = -m.Fixed;
        }
        break;
    default: break;
    }
}

} // namespace

void BuildLinearRows()
{
    LpTableau[0][0] = 0;
    for (int j = 1; j <= MaterialCount && j <= LpMaxColumns; ++j)
        LpTableau[0][static_cast<std::size_t>(j)] = MaterialTable[j].Price;
    LpRowCount = 0;
    if (MaterialCount > LpMaxColumns || ConstraintBlockCount > MaxConstraintBlocks || !ThSystems[0] ||
        !ThSystems[1])
        return;
    for (int kind = 0; kind < 2; ++kind)
        for (int phase = rpMetal; phase <= rpGas; ++phase)
            BuildCoefficients(kind, phase);

    const TTaskRecord& task = TaskList.CurrentTask();
    for (int k = 1; k <= ConstraintBlockCount; ++k) {
        const TConstraintBlockRecord& b = ConstraintBlocks[k];
        if (b.FirstRow < 1 || b.LastRow > LpMaxRows || b.LastRow < b.FirstRow)
            continue;
        for (int r = b.FirstRow; r <= b.LastRow; ++r)
            std::fill_n(Row(r).begin(), MaterialCount + 1, 0.0L);
        LpRowCount = std::max(LpRowCount, b.LastRow);
        const bool lower = b.Side == csLower;
        const bool twoRows = b.LastRow == b.FirstRow + 1;
        switch (b.Kind) {
        case ckMetalElement:
        case ckSlagCompound: {
            if (!twoRows || b.Index < 0 || b.Index > SystemElemLast)
                break;
            const int phase = b.Kind == ckMetalElement ? rpMetal : rpSlag;
            const TElementRecord& holder = System(lower ? 0 : 1).El(b.Index);
            long double limit = phase == rpMetal ? holder.MetalLimit : holder.SlagLimit;
            if (phase == rpSlag)
                limit *= CompoundToElement(holder);
            for (int kind = 0; kind < 2; ++kind)
                ContentRow(b.FirstRow + kind, Coefficients[static_cast<std::size_t>(kind)][static_cast<std::size_t>(phase)],
                           b.Index, limit, b.Side);
            break;
        }
        case ckMetalMass:
        case ckSlagMass:
        case ckGasMass: {
            if (!twoRows)
                break;
            const int phase = b.Kind == ckMetalMass ? rpMetal : b.Kind == ckSlagMass ? rpSlag : rpGas;
            const long double limit = b.Kind == ckMetalMass ? (lower ? task.MinMet : task.MaxMet)
                                      : b.Kind == ckSlagMass ? (lower ? task.MinSlg : task.MaxSlg)
                                                             : (lower ? task.MinGas : task.MaxGas);
            for (int kind = 0; kind < 2; ++kind)
                MassRow(b.FirstRow + kind, Coefficients[static_cast<std::size_t>(kind)][static_cast<std::size_t>(phase)],
                        limit, b.Side);
            break;
        }
        case ckTemperature:
            if (twoRows)
                for (int kind = 0; kind < 2; ++kind)
                    TemperatureRow(b.FirstRow + kind, kind, lower ? task.MinTemp : task.MaxTemp, b.Side);
            break;
        case ckBasicity:
            if (twoRows)
                for (int kind = 0; kind < 2; ++kind)
                    BasicityRow(b.FirstRow + kind, kind, lower ? task.MinOsn : task.MaxOsn, b.Side);
            break;
        default: MaterialRows(b); break;
        }
    }
}

// ---------------------------------------------------------------------------
// Starting points

void InitialEstimateFromTargets()
{
    if (!ThSystems[0] || !ThSystems[1])
        return;
    const TTaskRecord& task = TaskList.CurrentTask();
    const long double maxMetal = IsSet(task.MaxMet) ? task.MaxMet : 1e100L;
    const long double maxSlag = IsSet(task.MaxSlg) ? task.MaxSlg : 1e100L;
    for (int kind = 0; kind < 2; ++kind) {
        const long double metal0 = kind == 0 ? task.IniMaxMet : task.IniMinMet;
        const long double slag0 = kind == 0 ? task.IniMaxSlg : task.IniMinSlg;
        for (int i = 0; i <= SystemElemLast && i < MaxElements; ++i) {
            TElementRecord& el = System(kind).El(i);
            const TElementRecord& lowerLimits = System(0).El(i);
            const TElementRecord& upperLimits = System(1).El(i);
            const long double factor = el.CompoundFactor > 0 ? el.CompoundFactor : 1;

            long double m = std::max(metal0, 1e-10L);
            el.MetalFraction = el.InputMetalMass / m;
            long double f = el.MetalFraction;
            ClampRange(m, task.MinMet, maxMetal);
            ClampRange(f, 1.5L * lowerLimits.MetalLimit, upperLimits.MetalLimit);
            el.GivenMetalMass = f * m;

            long double s = std::max(slag0, 1e-10L);
            el.SlagFraction = el.InputSlagMass / s;
            long double g = el.SlagFraction * factor;
            ClampRange(s, task.MinSlg, maxSlag);
            ClampRange(g, lowerLimits.SlagLimit, upperLimits.SlagLimit);
            el.GivenSlagMass = std::max(0.0L, el.InputMetalMass - el.GivenMetalMass) + g * s / factor;
        }
    }
}

} // namespace ferrolyt

// ---------------------------------------------------------------------------
// The melted charge against the task

namespace ferrolyt {

namespace {

using TMargins = std::array<long double, 2>; // per system

// Both systems' values within [lower − margin, upper + margin] of the
// block's side.
bool Within(uint8_t side, long double limit, const TMargins& margin, long double v0, long double v1)
{
    if (side == csLower)
        return v0 >= limit - margin[0] && v1 >= limit - margin[1];
    return v0 <= limit + margin[0] && v1 <= limit + margin[1];
}

TMargins Plus(const TMargins& extra, long double margin) { return {extra[0] + margin, extra[1] + margin}; }

long double RelativeMargin(long double limit) { return MeltCheckRelative * std::fabs(limit); }

bool PhaseLimitMet(uint8_t side, long double lower, long double upper, const TMargins& extra, long double v0,
                   long double v1)
{
    const long double limit = side == csLower ? lower : upper;
    if (!Given(limit))
        return true;
    return Within(side, limit, Plus(extra, RelativeMargin(limit)), v0, v1);
}

long double TotalCharge()
{
    long double total = 0;
    for (int j = 1; j <= MaterialCount; ++j)
        total += MaterialTable[j].Amount;
    return total;
}

bool MaterialLimitMet(const TConstraintBlockRecord& block)
{
    if (block.Index < 1 || block.Index > MaterialCount)
        return true;
    const TMaterialRecord& m = MaterialTable[block.Index];
    const long double x = m.Amount;
    switch (block.Kind) {
    case ckMaterialMass:
        return block.Side == csLower ? x >= m.MinT - MeltCheckTonnes : x <= m.MaxT + MeltCheckTonnes;
    case ckFixedMass:
        return x <= m.Fixed + MeltCheckTonnes && (m.Fixed <= 0 || x >= m.Fixed - MeltCheckTonnes);
    default: {
        // Shares of the whole charge, in per cent.
        const long double total = TotalCharge();
        const long double share = total > 0 ? 100 * x / total : 0;
        const long double limit = block.Side == csLower ? m.MinPercent : m.MaxPercent;
        const long double margin = RelativeMargin(limit) + (total > 0 ? 100 * MeltCheckTonnes / total : 0);
        return Within(block.Side, limit, {margin, margin}, share, share);
    }
    }
}

// What rounding the amounts to 0.001 t can move a row of the block on each
// system, in the units of the limit: half a kilogram of every charged
// material that is not fixed, through the row's coefficients, which are the
// quantity's derivatives scaled by `scale` of that system. Zero when the
// rows are not those of the listed blocks.
TMargins RoundingMargins(const TConstraintBlockRecord& block, const TThSys& lower, const TThSys& upper)
{
    TMargins margins{0, 0};
    if (block.Kind > ckTemperature || block.LastRow > LpRowCount || block.LastRow - block.FirstRow != 1)
        return margins;
    for (int k = 0; k < 2; ++k) {
        const TThSys& sys = k == 0 ? lower : upper;
        long double scale = 1; // tonnes and kelvin
        if (block.Kind == ckMetalElement) {
            scale = sys.MetalMass;
        } else if (block.Kind == ckSlagCompound) {
            const TElementRecord& e = sys.El(block.Index);
            scale = e.SlagCompoundFraction > 0 ? sys.SlagMass * e.SlagFraction / e.SlagCompoundFraction : 0;
        } else if (block.Kind == ckBasicity) {
            const int si = sys.Elems->Key(keySi);
            scale = si < 0 ? 0 : sys.SlagMass * sys.El(si).SlagCompoundFraction;
        }
        if (!(scale > 0))
            continue;
        const auto& row = LpTableau[static_cast<std::size_t>(block.FirstRow + k)];
        long double sum = 0;
        for (int j = 1; j <= std::min(MaterialCount, LpMaxColumns); ++j)
            if (!IsSet(MaterialTable[j].Fixed) && MaterialTable[j].Amount > 0)
                sum += std::fabs(row[static_cast<std::size_t>(j)]);
        margins[static_cast<std::size_t>(k)] = 0.5L * MeltCheckTonnes * sum / scale;
    }
    return margins;
}

} // namespace

bool BlockLimitMet(const TConstraintBlockRecord& block, const TThSys& lower, const TThSys& upper,
                   const TTaskRecord& task)
{
    const TMargins rounding = RoundingMargins(block, lower, upper);
    switch (block.Kind) {
    case ckMetalElement:
    case ckSlagCompound: {
        const int i = block.Index;
        if (i < 0 || i > SystemElemLast)
            return true;
        const bool metal = block.Kind == ckMetalElement;
        // The lower limit is held by the lower-bound system, the upper one by
        // the upper-bound system; both systems must meet it.
        const TElementRecord& holder = block.Side == csLower ? lower.El(i) : upper.El(i);
        const long double limit = metal ? holder.MetalLimit : holder.SlagLimit;
        const long double f0 = metal ? lower.El(i).MetalFraction : lower.El(i).SlagCompoundFraction;
        const long double f1 = metal ? upper.El(i).MetalFraction : upper.El(i).SlagCompoundFraction;
        return Within(block.Side, limit, Plus(rounding, std::max(MeltCheckFraction, RelativeMargin(limit))), f0, f1);
    }
    case ckMetalMass:
        return PhaseLimitMet(block.Side, task.MinMet, task.MaxMet, rounding, lower.MetalMass, upper.MetalMass);
    case ckSlagMass:
        return PhaseLimitMet(block.Side, task.MinSlg, task.MaxSlg, rounding, lower.SlagMass, upper.SlagMass);
    case ckGasMass:
        return PhaseLimitMet(block.Side, task.MinGas, task.MaxGas, rounding, lower.GasMass, upper.GasMass);
    case ckBasicity:
        // Without silica in the slag the basicity is not defined: the rows
        // then bind nothing either.
        if (!IsSet(lower.Basicity) || !IsSet(upper.Basicity))
            return true;
        return PhaseLimitMet(block.Side, task.MinOsn, task.MaxOsn, rounding, lower.Basicity, upper.Basicity);
    case ckTemperature: {
        const long double limit = block.Side == csLower ? task.MinTemp : task.MaxTemp;
        if (!(limit > 0))
            return true;
        return Within(block.Side, limit, Plus(rounding, MeltCheckKelvin), lower.Temperature - KelvinOffset,
                      upper.Temperature - KelvinOffset);
    }
    case ckMaterialMass:
    case ckFixedMass:
    case ckMaterialShare:
        return MaterialLimitMet(block);
    default:
        return true;
    }
}

std::vector<int32_t> BrokenBlocks(int32_t released)
{
    std::vector<int32_t> broken;
    if (!ThSystems[0] || !ThSystems[1])
        return broken;
    const TTaskRecord& task = TaskList.CurrentTask();
    for (int32_t k = 1; k <= ConstraintBlockCount && k <= MaxConstraintBlocks; ++k)
        if (k != released && !BlockLimitMet(ConstraintBlocks[k], *ThSystems[0], *ThSystems[1], task))
            broken.push_back(k);
    return broken;
}

} // namespace ferrolyt
