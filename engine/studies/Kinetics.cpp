#include "Kinetics.h"

#include "RunState.h"
#include "Settings.h"
#include "TaskList.h"

#include <algorithm>
#include <cmath>

namespace ferrolyt {

namespace {

std::size_t Ix(int i) { return static_cast<std::size_t>(i); }

// A state counts as gas-bearing while the metal/gas ratio stays below e^30.
constexpr long double GasPresentLimit = 30.0L;
// Amounts below this do not limit the step.
constexpr long double StepLimitingAmount = 1e-5L;
// What each amount may move in one step, and how fast the step may grow.
constexpr long double TargetMove = 0.005L;
constexpr long double MaxStepGrowth = 2.0L;
// A gas amount below this part of its element's amount does not limit the step.
constexpr long double GasNegligible = 1e-3L;

} // namespace

void TKinetics::SumPhases()
{
    sys_.MetalMoles = sys_.SlagMoles = sys_.GasMoles = AmountFloor;
    sys_.MetalMass = sys_.SlagMass = sys_.GasMass = AmountFloor;
    for (int i = 0; i <= SystemElemLast; ++i) {
        const TElementRecord& e = sys_.El(i);
        sys_.MetalMoles += e.MetalAmount;
        sys_.SlagMoles += e.SlagAmount;
        sys_.GasMoles += e.GasAmount;
        sys_.MetalMass += e.MolarMass * e.MetalAmount;
        sys_.SlagMass += e.MolarMass * e.SlagAmount;
        sys_.GasMass += e.MolarMass * e.GasAmount;
    }
}

void TKinetics::NeutraliseThroughIron(bool average)
{
    // Iron is the slag's free cation: it takes whatever charge the other
    // elements leave, and the metal keeps the rest of the iron.
    const int fe = sys_.Elems->Key(keyFe);
    if (fe < 0 || sys_.El(fe).Valence == 0)
        return;
    long double s = 0;
    for (int i = 0; i <= SystemElemLast; ++i)
        if (i != fe)
            s += sys_.El(i).Valence * sys_.El(i).SlagAmount;
    TElementRecord& e = sys_.El(fe);
    const long double neutral = -s / e.Valence;
    long double slag = average ? (e.SlagAmount + neutral) / 2 : neutral;
    // The iron at hand bounds what the slag can take.
    slag = std::clamp(slag, DivisorFloor, std::max(DivisorFloor, e.Amount - e.GasAmount - DivisorFloor));
    e.SlagAmount = slag;
    e.MetalAmount = std::max(e.Amount - e.SlagAmount - e.GasAmount, DivisorFloor);
}

void TKinetics::RecordTarget()
{
    for (auto& phase : maxima_)
        phase.fill(0);
    maxTemperature_ = 0;
    samples_ = 0;
    time_ = 0;
    WriteRow(target_);
}

bool TKinetics::SetUpStart(const TTaskRecord& task)
{
    if (sys_.SlagCharge != 0) {
        sys_.SlagCharge = 0;
        sys_.SolveEquilibrium(MaterialEffectsOnMetal[0], MaterialEffectsOnSlag[0], CompositionMin,
                              ElementEffectsOnMetal[0], ElementEffectsOnSlag[0], false, false, false, false);
    }
    if (!IsUnset(task.Charge))
        sys_.SlagCharge = task.Charge;
    if (sys_.SlagCharge != 0)
        return false;

    for (int i = 0; i <= SystemElemLast; ++i) {
        TElementRecord& e = sys_.El(i);
        long double metal = e.InputMetalMass, slag = e.InputSlagMass;
        for (int j = 1; j <= MaterialCount; ++j) {
            const TMaterialRecord& mat = MaterialTable[j];
            if (!(mat.Amount > 0))
                continue;
            const long double part = mat.Amount * CompositionMin[Ix(i + 1)][j];
            if (mat.Type == mtSlag)
                slag += part;
            else
                metal += part;
        }
        e.MetalAmount = std::max(metal / e.MolarMass, DivisorFloor);
        e.SlagAmount = std::max(slag / e.MolarMass, DivisorFloor);
        const bool gasFormer = i == sys_.Elems->Key(keyC) || i == sys_.Elems->Key(keyO);
        e.GasAmount = gasFormer ? 0.01L * e.MetalAmount : 1e-6L;
        e.Amount = e.MetalAmount + e.SlagAmount + e.GasAmount;
        e.ChargeTerm = e.Valence * e.Amount;
    }
    NeutraliseThroughIron(false);
    return true;
}

void TKinetics::PreparePhases()
{
    time_ = 0;
    dt_ = KinFirstStep;
    steps_ = 0;
    PauseState = 0;
    SumPhases();
    sys_.LnMetalSlag = std::log(sys_.MetalMoles / sys_.SlagMoles);
    sys_.LnMetalGas = std::log(sys_.MetalMoles / sys_.GasMoles);
    sys_.GasPresent = sys_.LnMetalGas < GasPresentLimit;
    sys_.SlagPotential = sys_.SolveFermiLevel();
}

TKinAmounts TKinetics::KinSlagRates(const TKinAmounts& slag)
{
    TKinAmounts metal{}, lnRatio{}, rates{};
    long double slagSum = AmountFloor, metalSum = AmountFloor;
    for (int i = 0; i <= SystemElemLast; ++i) {
        const TElementRecord& e = sys_.El(i);
        metal[Ix(i)] = std::max(AmountFloor, e.Amount - slag[Ix(i)] - e.GasAmount);
        slagSum += std::max(AmountFloor, slag[Ix(i)]);
        metalSum += metal[Ix(i)];
    }
    long double num = 0, den = 0;
    for (int i = 0; i <= SystemElemLast; ++i) {
        const TElementRecord& e = sys_.El(i);
        const long double r = std::max(AmountFloor, slag[Ix(i)]) / metal[Ix(i)];
        lnRatio[Ix(i)] = std::log(metalSum * r / slagSum);
        const long double w = e.Valence * e.Amount;
        num += w * (e.KMS - lnRatio[Ix(i)]);
        den += e.Valence * w;
    }
    // Without charged elements the slag keeps the potential it has.
    if (den != 0 && std::isfinite(num / den))
        sys_.SlagPotential = num / den;
    const long double rt = KinRateConstant * GasConstant * sys_.Temperature;
    for (int i = 0; i <= SystemElemLast; ++i) {
        const TElementRecord& e = sys_.El(i);
        const long double drive = e.KMS - lnRatio[Ix(i)] - e.Valence * sys_.SlagPotential;
        rates[Ix(i)] = std::isfinite(drive) ? rt * e.MoleFraction * drive : 0;
    }
    return rates;
}

TKinAmounts TKinetics::KinGasRates(const TKinAmounts& gas) const
{
    TKinAmounts metal{}, rates{};
    long double gasSum = AmountFloor, metalSum = AmountFloor;
    for (int i = 0; i <= SystemElemLast; ++i) {
        const TElementRecord& e = sys_.El(i);
        metal[Ix(i)] = std::max(AmountFloor, e.Amount - e.SlagAmount - gas[Ix(i)]);
        gasSum += std::max(AmountFloor, gas[Ix(i)]);
        metalSum += metal[Ix(i)];
    }
    const long double rt = KinRateConstant * GasConstant * sys_.Temperature;
    for (int i = 0; i <= SystemElemLast; ++i) {
        const TElementRecord& e = sys_.El(i);
        const long double r = std::max(AmountFloor, gas[Ix(i)]) / metal[Ix(i)];
        const long double drive = e.KMG - std::log(metalSum * r / gasSum);
        rates[Ix(i)] = std::isfinite(drive) ? rt * e.MoleFraction * drive : 0;
    }
    return rates;
}

void TKinetics::Step()
{
    sys_.CalcGasEquilibrium();
    KinRecordSample();

    TKinAmounts slag{}, gas{};
    for (int i = 0; i <= SystemElemLast; ++i) {
        slag[Ix(i)] = sys_.El(i).SlagAmount;
        gas[Ix(i)] = sys_.El(i).GasAmount;
    }
    const TKinAmounts rs = KinSlagRates(slag);
    const TKinAmounts rg = KinGasRates(gas);

    const bool gasBearing = sys_.LnMetalGas < GasPresentLimit;
    const long double rt = KinRateConstant * GasConstant * sys_.Temperature;
    // The step grows while every amount moves by less than the target part
    // of itself, and shrinks when one moves more.
    long double growth = MaxStepGrowth;
    const auto limit = [&growth](long double amount, long double moved) {
        if (amount > StepLimitingAmount && moved != 0)
            growth = std::min(growth, TargetMove * amount / std::fabs(moved));
    };
    for (int i = 0; i <= SystemElemLast; ++i) {
        TElementRecord& e = sys_.El(i);
        const long double n = e.Amount;
        const long double s0 = e.SlagAmount, g0 = e.GasAmount, m0 = std::max(DivisorFloor, n - s0 - g0);
        // Each pair moves by the linearly implicit step: the driving force
        // falls as the amounts move, so a long step approaches the pair's
        // equilibrium instead of overshooting it.
        const long double k = rt * e.MoleFraction;
        const long double ds = dt_ * rs[Ix(i)] / (1 + dt_ * k * (1 / s0 + 1 / m0));
        const long double dg = dt_ * rg[Ix(i)] / (1 + dt_ * k * (1 / g0 + 1 / m0));
        long double s = std::clamp(s0 + ds, 0.9L * s0, 1.1L * s0);
        long double g = std::clamp(g0 + dg, 0.9L * g0, 1.1L * g0);
        // The metal holds the rest of the element, so that the three phases
        // always add up to its amount; it too moves by a tenth at most, or
        // an element held mostly in the slag jumps in the metal.
        const long double metalMove = (s - s0) + (g - g0);
        if (std::fabs(metalMove) > 0.1L * m0) {
            const long double f = 0.1L * m0 / std::fabs(metalMove);
            s = s0 + f * (s - s0);
            g = g0 + f * (g - g0);
        }
        e.SlagAmount = (s + s0) / 2;
        e.GasAmount = (g + g0) / 2;
        e.MetalAmount = std::max(DivisorFloor, n - e.SlagAmount - e.GasAmount);

        limit(s0, e.SlagAmount - s0);
        limit(m0, e.MetalAmount - m0);
        // A gas amount that is a negligible part of its element does not
        // hold the step back.
        if (gasBearing && g0 > GasNegligible * n)
            limit(g0, e.GasAmount - g0);
    }
    dt_ = std::clamp(dt_ * growth, 1e-10L, 100.0L);
    NeutraliseThroughIron(true);
    SumPhases();
    ++steps_;
    time_ += dt_ * KinTimeScale;
}

void TKinetics::WriteRow(TKinRow& row)
{
    const uint8_t unit = Settings.CompositionUnit;
    const bool massUnit = unit == 0 || unit == 2;
    row[0] = static_cast<float>(time_);
    row[1] = static_cast<float>(sys_.Temperature);
    row[2] = static_cast<float>(massUnit ? sys_.MetalMass : sys_.MetalMoles);
    row[3] = static_cast<float>(massUnit ? sys_.SlagMass : sys_.SlagMoles);
    row[4] = static_cast<float>(massUnit ? sys_.GasMass : sys_.GasMoles);
    const std::array<long double, 3> phaseMass{sys_.MetalMass, sys_.SlagMass, sys_.GasMass};
    const std::array<long double, 3> phaseMoles{sys_.MetalMoles, sys_.SlagMoles, sys_.GasMoles};
    const int fe = sys_.Elems->Key(keyFe);
    long double minusG = 0;
    if (massUnit && fe >= 0) {
        std::array<long double, 4> sums{};
        sys_.SumPhaseEnthalpies(sums);
        minusG = -sums[phMetal];
    }
    for (int i = 0; i <= SystemElemLast && i < MaxElements; ++i) {
        const TElementRecord& e = sys_.El(i);
        const std::array<long double, 3> amount{e.MetalAmount, e.SlagAmount, e.GasAmount};
        for (int p = 0; p < 3; ++p) {
            long double v = 0;
            switch (unit) {
            case 0: v = 100 * e.MolarMass * amount[Ix(p)] / phaseMass[Ix(p)]; break;
            case 1: v = 100 * amount[Ix(p)] / phaseMoles[Ix(p)]; break;
            case 2: v = 1000 * e.MolarMass * amount[Ix(p)]; break;
            default: v = amount[Ix(p)]; break;
            }
            if (p == kinMetal && i == fe && massUnit)
                v = minusG;
            const float value = std::isfinite(v) ? static_cast<float>(v) : 0.0f;
            row[Ix(KinValueColumn(p, i))] = value;
            float& top = maxima_[Ix(p)][Ix(i)];
            top = std::max(top, value);
        }
    }
    maxTemperature_ = std::max(maxTemperature_, row[1]);
}

void TKinetics::KinRecordSample()
{
    if (samples_ == KinHistoryLimit) {
        // Keep row 0 and about 600 rows evenly spread over the time so far.
        int j = 1;
        for (int r = 1; r < KinHistoryLimit; ++r) {
            if (history_[Ix(r)][0] >= j * time_ / KinThinnedRows) {
                history_[Ix(j)] = history_[Ix(r)];
                ++j;
            }
        }
        samples_ = j - 1;
    }
    WriteRow(history_[Ix(samples_)]);
    ++samples_;
}

TKinCurve TKinetics::Curve(int phase, int element) const
{
    TKinCurve curve;
    if (samples_ == 0)
        return curve;
    const int column = KinValueColumn(phase, element);
    const TKinRow& last = history_[Ix(samples_ - 1)];
    curve.Latest = last[Ix(column)];
    curve.Scale = 1.0 / (1e-10 + 1.03 * Maximum(phase, element));
    if (!(curve.Scale < 10000))
        return curve;
    curve.Drawn = true;
    curve.Points.reserve(Ix(samples_ + 2));
    for (int r = 0; r < samples_; ++r)
        curve.Points.push_back({history_[Ix(r)][0], curve.Scale * history_[Ix(r)][Ix(column)]});
    const double tLast = last[0];
    const double level = curve.Scale * target_[Ix(column)];
    curve.Points.push_back({tLast, level});
    curve.Points.push_back({1.017 * tLast, level});
    return curve;
}

bool TKinetics::Settled(int phase, double plotHeight, double pixels) const
{
    if (samples_ == 0)
        return false;
    for (int i = 0; i <= SystemElemLast && i < MaxElements; ++i) {
        const TKinCurve c = Curve(phase, i);
        if (!c.Drawn)
            continue;
        const double yLast = c.Points[Ix(samples_ - 1)][1];
        const double yLevel = c.Points[Ix(samples_)][1];
        if (std::fabs(yLast - yLevel) * plotHeight > pixels)
            return false;
    }
    return true;
}

std::string TKinetics::SeriesTitle(int phase, int element) const
{
    if (phase == kinMetal && element == sys_.Elems->Key(keyFe))
        return "-G";
    return sys_.El(element).Symbol;
}

} // namespace ferrolyt
