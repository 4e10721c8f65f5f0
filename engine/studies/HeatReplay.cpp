// The replay of an arc-furnace heat log, step by step.

#include "HeatReplay.h"

#include "Settings.h"
#include "SystemSetup.h"
#include "ThSys.h"
#include "Utils.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ferrolyt {

long double SolidScrap = 0;
long double MeltedScrapTotal = 0;
long double StepMelt = 0;
long double HeatCorrection = 0;
std::array<long double, 2> SlagRunOff{};
long double SampleErrorSum = 0;
long double TempErrorSum = 0;
long double TempErrorSquareSum = 0;
long double LastSlagMass = 0;
bool HeatRunning = false;

namespace {

constexpr long double Ln10 = 2.302585092994045684L;
constexpr long double NaN = std::numeric_limits<long double>::quiet_NaN();
// Slag that fits above the metal: t per m3 of free furnace volume, and the
// metal's density, t/m3.
constexpr long double SlagPerFreeVolume = 2.4L;
constexpr long double MetalDensity = 7.0L;

std::size_t ElementRow(int e) { return static_cast<std::size_t>(e + 1); }

TThSys& Lower() { return *ThSystems[0]; }
TThSys& Upper() { return *ThSystems[1]; }

long double MeanMetal() { return (Lower().MetalMass + Upper().MetalMass) / 2; }
long double MeanSlag() { return (Lower().SlagMass + Upper().SlagMass) / 2; }

void SetAmount(int slot, long double amount)
{
    if (slot >= 1 && slot <= MaterialCount)
        MaterialTable[slot].Amount = amount;
}

long double MetalPercent(const TThSys& sys, int e)
{
    return e < 0 ? NaN : 100 * sys.El(e).MetalMass / (sys.MetalMass + DivisorFloor);
}

long double SlagPercent(const TThSys& sys, int e)
{
    return e < 0 ? NaN : 100 * sys.El(e).SlagMass / (sys.SlagMass + DivisorFloor);
}

long double Rounded(long double x) { return std::isfinite(x) ? std::round(x) : NaN; }

} // namespace

void ClearHeatReplaySums()
{
    SolidScrap = MeltedScrapTotal = StepMelt = HeatCorrection = 0;
    SlagRunOff = {};
    SampleErrorSum = TempErrorSum = TempErrorSquareSum = 0;
    LastSlagMass = 0;
}

void ComputeHeatContents(int tRef, int slot)
{
    const long double tRefK = tRef + KelvinOffset;
    TThSys& lower = Lower();
    TThSys& upper = Upper();
    for (int e = 0; e <= SystemElemLast && e < MaxElements; ++e) {
        CompositionMin[ElementRow(e)][0] = static_cast<float>(lower.El(e).MetalMass / (lower.MetalMass + DivisorFloor));
        CompositionMax[ElementRow(e)][0] = static_cast<float>(upper.El(e).MetalMass / (upper.MetalMass + DivisorFloor));
        CompositionMin[ElementRow(e)][-1] = static_cast<float>(lower.El(e).SlagMass / (lower.SlagMass + DivisorFloor));
        CompositionMax[ElementRow(e)][-1] = static_cast<float>(upper.El(e).SlagMass / (upper.SlagMass + DivisorFloor));
    }
    const long double bathC = (lower.Temperature + upper.Temperature) / 2 - KelvinOffset;
    for (int s : {-1, 0}) {
        MaterialTable[s].Temperature = bathC;
        MaterialTable[s].Molten = true;
        MaterialTable[s].Type = s == -1 ? mtSlag : mtMetal;
    }
    const long double ambient = TaskList.CurrentTask().AmbTemp;
    for (int s : {-1, 0, slot}) {
        if (!TMaterialTable::Contains(s))
            continue;
        TMaterialRecord& m = MaterialTable[s];
        if (m.Type == mtEnergy)
            continue;
        const long double tm = !IsUnset(m.Temperature) ? m.Temperature + KelvinOffset
                               : !IsUnset(ambient)     ? ambient + KelvinOffset
                                                       : 293.15L;
        long double heat = 0;
        for (int e = 0; e <= SystemElemLast && e < MaxElements; ++e) {
            const TElementRecord& el = lower.El(e);
            if (!(el.MolarMass > 0))
                continue;
            const long double n =
                (static_cast<long double>(CompositionMin[ElementRow(e)][s]) + CompositionMax[ElementRow(e)][s]) / 2 / el.MolarMass;
            const auto& l = el.LiquidEnthalpy;
            const auto& so = el.SolidEnthalpy;
            const long double from = m.Molten ? l[0] + l[1] * tm : so[0] + so[1] * tm + so[2] * tm * tm;
            const long double to = l[0] + l[1] * tRefK;
            heat += (to - from) * n;
        }
        m.HeatContent = heat;
    }
}

// ---------------------------------------------------------------------------

THeatReplay::~THeatReplay() { Finish(); }

long double THeatReplay::ChargeMass(int kind) const
{
    const TCompositionTable& comp = kind == 0 ? CompositionMin : CompositionMax;
    long double total = 0;
    for (int j = 1; j <= MaterialCount; ++j) {
        const TMaterialRecord& m = MaterialTable[j];
        if (!(m.Amount > PresenceThreshold) || m.Type < mtMetal)
            continue;
        long double fraction = 0;
        for (int e = 0; e <= SystemElemLast && e < MaxElements; ++e)
            fraction += comp[ElementRow(e)][j];
        total += m.Amount * fraction;
    }
    return total;
}

void THeatReplay::SolveBoth(bool quick)
{
    for (int k = 0; k < 2; ++k) {
        ChargedMass[static_cast<std::size_t>(k)] += quick ? ChargeMass(k) : 0;
        ThSystems[static_cast<std::size_t>(k)]->SolveEquilibrium(
            MaterialEffectsOnMetal[static_cast<std::size_t>(k)], MaterialEffectsOnSlag[static_cast<std::size_t>(k)],
            k == 0 ? CompositionMin : CompositionMax, ElementEffectsOnMetal[static_cast<std::size_t>(k)],
            ElementEffectsOnSlag[static_cast<std::size_t>(k)], false, quick, false, false);
        // A quick solve carries only the metal and the slag into the next
        // step: the gas has left the furnace.
        if (quick)
            GasOut[static_cast<std::size_t>(k)] += ThSystems[static_cast<std::size_t>(k)]->GasMass;
    }
}

bool THeatReplay::SetUp(int mode)
{
    Finish();
    CreateSystems();
    const std::vector<std::string> missing = MissingHeatMaterials();
    if (!missing.empty()) {
        std::string names;
        for (const auto& n : missing)
            names += (names.empty() ? "" : ", ") + n;
        ShowWarning("Плавку не можна розрахувати: у файлі матеріалів немає матеріалів " + names);
        return false;
    }
    mode_ = mode == ConsumptionAccumulated ? ConsumptionAccumulated : ConsumptionPortion;
    row_ = 0;
    ChargedMass = {};
    GasOut = {};
    pendingTemp_ = pendingSample_ = false;
    scrapHeatOwed_ = 0;

    // 1. The task record lends its energy terms to the heat balance.
    savedTaskSlot_ = TaskList.Current + 1;
    savedTask_ = TaskList.Items[static_cast<std::size_t>(savedTaskSlot_)];
    active_ = true;

    // 2. The iron constant of the first algorithm.
    const int fe = Lower().Elems->Key(keyFe);
    if (fe >= 0) {
        for (int k = 0; k < 2; ++k) {
            savedFeB1_[static_cast<std::size_t>(k)] = ThSystems[static_cast<std::size_t>(k)]->El(fe).SlagB1;
            savedFeB2_[static_cast<std::size_t>(k)] = ThSystems[static_cast<std::size_t>(k)]->El(fe).SlagB2;
        }
        if (Settings.HeatAlg == 0)
            for (int k = 0; k < 2; ++k)
                ThSystems[static_cast<std::size_t>(k)]->El(fe).SlagB2 = Ln10 * Settings.LgConstFe;
    }

    // 3. The {CO} cell's species.
    coSpecies_ = 0;
    for (int s = 1; s <= ActiveGasCount && s <= MaxGasSpecies; ++s)
        if (UpperCase1251(ActiveGases[s].Name) == "CO") {
            coSpecies_ = s;
            break;
        }

    // 4.-7. The hot heel with its additions. Nothing of the task's own
    // charge and energy may enter the starting bath: the log's rows charge
    // the heat.
    const int magnesite = MaterialIndexByName(MagnesiteName);
    MaterialTable[magnesite].Temperature = Settings.MagnesiteTemp;
    PrepareSystems();
    for (int j = 1; j <= MaterialCount; ++j)
        MaterialTable[j].Amount = 0;
    TTaskRecord& task = TaskList.Items[static_cast<std::size_t>(savedTaskSlot_)];
    task.Energy = 0;
    task.Losses = 0;
    for (TThSys* sys : {&Lower(), &Upper()})
        sys->Temperature = Settings.HotHeelTemp + KelvinOffset;
    SetAmount(magnesite, 0.001L * Settings.MagnesiteMass);
    SetAmount(MaterialIndexByName(HotHeelMetalName), Settings.HotHeelMetal);
    SetAmount(MaterialIndexByName(HotHeelSlagName), Settings.HotHeelSlag);

    // 8.-9.
    ClearHeatReplaySums();
    SolveBoth(mode_ == ConsumptionPortion);
    if (mode_ == ConsumptionAccumulated)
        for (int k = 0; k < 2; ++k)
            ChargedMass[static_cast<std::size_t>(k)] = ChargeMass(k);
    return true;
}

long double THeatReplay::MeltedThisStep() const
{
    const TTaskRecord& task = TaskList.Items[static_cast<std::size_t>(savedTaskSlot_)];
    const long double scrapHeat = MaterialTable[ScrapMeanMaterial].HeatContent;
    // Without a positive heat of melting no scrap can be said to melt.
    if (!(scrapHeat > 0) || !std::isfinite(scrapHeat))
        return 0;
    const long double melt = (task.Energy - task.Losses - MeanMetal() * MaterialTable[0].HeatContent -
                              MeanSlag() * MaterialTable[-1].HeatContent) /
                             scrapHeat;
    return std::isfinite(melt) ? melt : 0;
}

void THeatReplay::StepPortion(const THeatLogRecord& r)
{
    TTaskRecord& task = TaskList.Items[static_cast<std::size_t>(savedTaskSlot_)];
    // 1. This row's portion of every material that is not scrap.
    for (int j = 1; j <= MaterialCount; ++j)
        MaterialTable[j].Amount = 0;
    long double portion = 0;
    for (int k = 1; k <= HeatColumnCount; ++k) {
        if (ColumnIsScrap[k] || ColumnMaterial[k] < 1)
            continue;
        const long double t = 0.001L * r.Values[k];
        // Two columns of one material both count.
        MaterialTable[ColumnMaterial[k]].Amount += t;
        portion += t;
    }
    // 2.-4.
    SolidScrap += 0.001L * r.Values[ScrapMeanColumn];
    ComputeHeatContents(Settings.ScrapMeltTemp, ScrapMeanMaterial);
    task.Energy = Settings.GasHeatToSystem * r.Gas + Settings.ElectricHeatCoef * r.ElectricEnergy;
    task.Losses = r.LossEnergy;
    // The net energy first melts, as it would have, the scrap a measurement
    // let into the bath.
    const long double paid = std::clamp(task.Energy - task.Losses, 0.0L, scrapHeatOwed_);
    task.Energy -= paid;
    scrapHeatOwed_ -= paid;
    // 5.
    StepMelt = std::min(MeltedThisStep(), SolidScrap);
    StepMelt = Settings.AllowCrystallisation ? std::max(StepMelt, -MeltedScrapTotal) : std::max(StepMelt, 0.0L);
    // 6.
    MeltedScrapTotal += StepMelt;
    SolidScrap -= StepMelt;
    MaterialTable[ScrapMeanMaterial].Amount = StepMelt;
    if (StepMelt < 0) {
        // The solver takes no negative charge: the metal that solidifies
        // leaves the bath here, with the bath's composition.
        const TMaterialRecord& scrap = MaterialTable[ScrapMeanMaterial];
        for (int k = 0; k < 2; ++k) {
            TThSys& sys = *ThSystems[static_cast<std::size_t>(k)];
            long double metal = 0;
            for (int e = 0; e <= SystemElemLast; ++e)
                metal += sys.El(e).InputMetalMass;
            const long double removed = -StepMelt * (k == 0 ? scrap.RecoveryLo : scrap.RecoveryHi);
            const long double factor = metal > 0 ? std::max(0.0L, metal - removed) / metal : 1.0L;
            ChargedMass[static_cast<std::size_t>(k)] -= metal * (1 - factor);
            for (int e = 0; e <= SystemElemLast; ++e)
                sys.El(e).InputMetalMass *= factor;
        }
    }
    // 7.
    if (portion + StepMelt > 0 || task.Energy - task.Losses != 0)
        SolveBoth(true);
    // 8.-10.
    if (r.MeasurementNumber > 0)
        CalibrateTemperature(r);
    if (r.SampleNumber > 0) {
        CompareSample(r);
        const THeatSample& sample = HeatSamples[r.SampleNumber];
        long double given = 0;
        for (double p : sample.Percent)
            given += p;
        // A sample that leaves no room for iron cannot be imposed on the metal.
        if (given < 100) {
            Lower().EquilibrateFixedMetal(sample.Percent);
            Upper().EquilibrateFixedMetal(sample.Percent);
        }
    }
    RunOffSlag();
}

void THeatReplay::StepAccumulated(const THeatLogRecord& r, const THeatLogRecord& t)
{
    TTaskRecord& task = TaskList.Items[static_cast<std::size_t>(savedTaskSlot_)];
    // 1. Everything charged so far of the materials that are not scrap.
    for (int k = 1; k <= HeatColumnCount; ++k)
        if (!ColumnIsScrap[k] && ColumnMaterial[k] >= 1)
            MaterialTable[ColumnMaterial[k]].Amount = 0;
    for (int k = 1; k <= HeatColumnCount; ++k)
        if (!ColumnIsScrap[k] && ColumnMaterial[k] >= 1)
            MaterialTable[ColumnMaterial[k]].Amount += 0.001L * t.Values[k];
    // 2.-3.
    SolidScrap += 0.001L * r.Values[ScrapMeanColumn];
    ComputeHeatContents(Settings.ScrapMeltTemp, ScrapMeanMaterial);
    task.Energy = Settings.GasHeatToSystem * r.Gas + Settings.ElectricHeatCoef * r.ElectricEnergy;
    task.Losses = r.LossEnergy;
    // 4.-5. Solidification is always allowed here.
    StepMelt = std::max(std::min(MeltedThisStep(), SolidScrap), -MeltedScrapTotal);
    MeltedScrapTotal += StepMelt;
    SolidScrap -= StepMelt;
    MaterialTable[ScrapMeanMaterial].Amount = MeltedScrapTotal;
    // 6.-7.
    task.Energy = Settings.GasHeatToSystem * t.Gas + Settings.ElectricHeatCoef * t.ElectricEnergy + HeatCorrection;
    task.Losses = t.LossEnergy;
    SolveBoth(false);
    for (int k = 0; k < 2; ++k)
        ChargedMass[static_cast<std::size_t>(k)] = ChargeMass(k);
    // 8.
    if (r.MeasurementNumber > 0)
        CalibrateTemperature(r);
    if (r.SampleNumber > 0)
        CompareSample(r);
    RunOffSlag();
}

void THeatReplay::CalibrateTemperature(const THeatLogRecord& r)
{
    const int m = r.MeasurementNumber;
    const int measured = HeatMeasurements[m].Temperature;
    const long double tm = measured + KelvinOffset;
    const long double dT = (Lower().Temperature + Upper().Temperature) / 2 - tm;
    TempErrorSum += dT;
    TempErrorSquareSum += dT * dT;
    pendingTemp_ = true;
    tempError_ = static_cast<int>(std::lround(dT));
    tempErrorAve_ = static_cast<int>(std::lround(std::sqrt(TempErrorSquareSum / m)));
    if (mode_ == ConsumptionAccumulated) {
        ComputeHeatContents(measured, 0);
        HeatCorrection += MeanSlag() * MaterialTable[-1].HeatContent + MeanMetal() * MaterialTable[0].HeatContent;
    }
    Lower().Temperature = tm;
    Upper().Temperature = tm;
    if (mode_ == ConsumptionPortion && SolidScrap > 0) {
        // A measurement means the bath is liquid: what scrap is left joins it,
        // at the measured temperature, and owes the heat that takes it there.
        ComputeHeatContents(measured, ScrapMeanMaterial);
        scrapHeatOwed_ += SolidScrap * MaterialTable[ScrapMeanMaterial].HeatContent;
        const TMaterialRecord& scrap = MaterialTable[ScrapMeanMaterial];
        for (int k = 0; k < 2; ++k) {
            TThSys& sys = *ThSystems[static_cast<std::size_t>(k)];
            const long double added = (k == 0 ? scrap.RecoveryLo : scrap.RecoveryHi) * SolidScrap;
            const long double oldMass = sys.MetalMass;
            const long double newMass = oldMass + added;
            if (oldMass > 0) {
                for (int e = 0; e <= SystemElemLast; ++e) {
                    sys.El(e).InputMetalMass *= newMass / oldMass;
                    sys.El(e).MetalMass *= newMass / oldMass;
                }
                sys.MetalMass = newMass;
                ChargedMass[static_cast<std::size_t>(k)] += added;
            }
        }
        SolidScrap = 0;
    }
}

void THeatReplay::CompareSample(const THeatLogRecord& r)
{
    const int n = r.SampleNumber;
    const THeatSample& sample = HeatSamples[n];
    long double weighted = 0, mass = 0;
    for (int e = 0; e <= SystemElemLast && e < MaxElements; ++e) {
        const double s = sample.Percent[static_cast<std::size_t>(e)];
        if (!(s > 0))
            continue;
        for (TThSys* sys : {&Lower(), &Upper()}) {
            const long double me = sys->El(e).MetalMass;
            const long double xe = me / (sys->MetalMass + DivisorFloor);
            weighted += me * std::fabs(100 * xe - s);
            mass += me;
        }
    }
    const long double err = mass > 0 ? weighted / mass : 0;
    SampleErrorSum += err;
    pendingSample_ = true;
    sampleError_ = err;
    sampleErrorAve_ = SampleErrorSum / n;
}

void THeatReplay::RunOffSlag()
{
    const long double volume = Settings.FurnaceVolume;
    for (int k = 0; k < 2; ++k) {
        TThSys& sys = *ThSystems[static_cast<std::size_t>(k)];
        const long double slag = sys.SlagMass;
        const long double capacity =
            std::min(slag, std::max(0.0L, SlagPerFreeVolume * (volume - sys.MetalMass / MetalDensity)));
        if (mode_ == ConsumptionPortion) {
            if (!(capacity < slag))
                continue;
            SlagRunOff[static_cast<std::size_t>(k)] += slag - capacity;
            const long double keep = capacity / slag;
            for (int e = 0; e <= SystemElemLast; ++e) {
                sys.El(e).InputSlagMass *= keep;
                sys.El(e).SlagMass *= keep; // the slag shown keeps its analysis
            }
        } else {
            SlagRunOff[static_cast<std::size_t>(k)] = slag - capacity;
            const long double keep = slag > 0 ? capacity / slag : 1.0L;
            for (int e = 0; e <= SystemElemLast; ++e)
                sys.El(e).SlagMass *= keep; // shown only; the next solve starts from the charge
        }
        sys.SlagMass = std::max(capacity, AmountFloor);
    }
}

bool THeatReplay::RunStep()
{
    if (!active_ || row_ >= HeatLogCount)
        return false;
    if (row_ == 0)
        Settings.ConsumptionMode = static_cast<uint8_t>(mode_);
    ++row_;
    pendingTemp_ = pendingSample_ = false;
    if (mode_ == ConsumptionPortion)
        StepPortion(HeatLog[row_]);
    else
        StepAccumulated(HeatLog[row_], HeatLogTotals[row_]);
    return true;
}

THeatStepInfo THeatReplay::StepInfo(int row)
{
    THeatStepInfo info;
    info.Row = row;
    const bool hasRow = row >= 1 && row <= HeatLogCount;
    const THeatLogRecord t = hasRow ? HeatLogTotals[row] : THeatLogRecord{};
    info.Time = hasRow ? HeatLog[row].Time : 0;
    const TThSys& lower = Lower();
    const TThSys& upper = Upper();
    info.MetalMass = MeanMetal();
    info.SlagMass = MeanSlag();
    info.SlagRunOffMean = (SlagRunOff[0] + SlagRunOff[1]) / 2;
    LastSlagMass = info.SlagMass;
    info.GasMass = (lower.GasMass + upper.GasMass) / 2;
    info.TemperatureC = (lower.Temperature + upper.Temperature) / 2 - KelvinOffset;
    info.SolidScrap = SolidScrap;
    info.BalanceE = Rounded(Settings.ElectricHeatCoef * t.ElectricEnergy + Settings.GasHeatToSystem * t.Gas -
                            t.LossEnergy + HeatCorrection);
    const long double kwh = t.ElectricEnergy / 3.6L;
    info.SumE = Rounded(kwh);
    const long double molten = info.MetalMass - Settings.HotHeelMetal;
    // Per tonne of metal made: undefined while nothing but the heel is molten.
    info.SumEPerTonne = std::fabs(molten) > 1e-6L ? Rounded(kwh / molten) : NaN;

    const TElems& el = *lower.Elems;
    const int metal[6] = {el.Key(keyC), el.Key(keyMn), el.Key(keySi), el.Key(keyS), el.Key(keyP), el.Key(keyAl)};
    const int slag[8] = {el.Key(keyFe), el.Key(keyMn), el.Key(keySi), el.Key(keyS),
                         el.Key(keyP),  el.Key(keyAl), el.Key(keyMg), el.Key(keyCa)};
    for (int c = 0; c < 6; ++c)
        info.Grid[static_cast<std::size_t>(c)] = (MetalPercent(lower, metal[c]) + MetalPercent(upper, metal[c])) / 2;
    for (int c = 0; c < 8; ++c)
        info.Grid[static_cast<std::size_t>(6 + c)] = (SlagPercent(lower, slag[c]) + SlagPercent(upper, slag[c])) / 2;
    info.Grid[hgCO] = NaN;
    if (coSpecies_ > 0 && (lower.GasPresent || upper.GasPresent))
        info.Grid[hgCO] = 100 * (lower.SpeciesPressures[coSpecies_] + upper.SpeciesPressures[coSpecies_]) / 2;

    info.HasTempError = pendingTemp_;
    info.TempError = tempError_;
    info.TempErrorAve = tempErrorAve_;
    info.HasSampleError = pendingSample_;
    info.SampleError = sampleError_;
    info.SampleErrorAve = sampleErrorAve_;
    return info;
}

void THeatReplay::Finish()
{
    if (!active_)
        return;
    active_ = false;
    TaskList.Items[static_cast<std::size_t>(savedTaskSlot_)] = savedTask_;
    // The replay's iron constant is a calibration of the replay only; a
    // melt after it must see the constants of the data files again.
    if (ThSystems[0] && ThSystems[1]) {
        const int fe = Lower().Elems->Key(keyFe);
        if (fe >= 0)
            for (int k = 0; k < 2; ++k) {
                ThSystems[static_cast<std::size_t>(k)]->El(fe).SlagB1 = savedFeB1_[static_cast<std::size_t>(k)];
                ThSystems[static_cast<std::size_t>(k)]->El(fe).SlagB2 = savedFeB2_[static_cast<std::size_t>(k)];
            }
    }
}

THeatRunResult RunHeat(int mode, const std::function<void(const THeatStepInfo&)>& showStep)
{
    THeatReplay replay;
    if (!replay.SetUp(mode))
        return THeatRunResult::Refused;
    if (showStep)
        showStep(replay.StepInfo(1));
    if (!HeatRunning)
        return THeatRunResult::Stopped;
    while (replay.RunStep()) {
        if (showStep)
            showStep(replay.StepInfo(replay.Row()));
        if (!HeatRunning)
            return THeatRunResult::Stopped;
    }
    return THeatRunResult::Completed;
}

} // namespace ferrolyt
