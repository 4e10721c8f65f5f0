#include "Studies.h"

#include "Host.h"
#include "RunState.h"
#include "Settings.h"
#include "SystemSetup.h"
#include "ThSys.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace ferrolyt {

namespace {

std::size_t Ix(int i) { return static_cast<std::size_t>(i); }

constexpr long double PresenceLimit = 1e-10L;
constexpr long double MarkHalfWidth = 4.5L; // potential range around a mark, times 1/|z|

// Restores the final-temperature mode when a study ends, however it ends.
class TFinalTempModeGuard {
public:
    TFinalTempModeGuard() : kept_(Settings.FinalTempMode) { Settings.FinalTempMode = 0; }
    ~TFinalTempModeGuard() { Settings.FinalTempMode = kept_; }
    TFinalTempModeGuard(const TFinalTempModeGuard&) = delete;
    TFinalTempModeGuard& operator=(const TFinalTempModeGuard&) = delete;

private:
    uint8_t kept_;
};

// The potential at which half of element i is in the slag.
long double MarkPotential(const TThSys& sys, int i)
{
    const TElementRecord& e = sys.El(i);
    const long double gas = std::exp(std::clamp(e.KMG - sys.LnMetalGas, -300.0L, 300.0L));
    return (e.KMS - sys.LnMetalSlag - std::log(gas + 1)) / e.Valence;
}

long double SpecificCharge(const TThSys& sys, long double mu)
{
    return sys.SlagChargeAt(mu) / (sys.SlagMoles + DivisorFloor);
}

bool SolveLower(TThSys& sys)
{
    return sys.SolveEquilibrium(MaterialEffectsOnMetal[0], MaterialEffectsOnSlag[0], CompositionMin,
                                ElementEffectsOnMetal[0], ElementEffectsOnSlag[0], false, false, false, false);
}

struct TPotentials {
    std::array<std::array<long double, 3>, MaxElements> Mu{};
    std::array<std::array<long double, 3>, MaxElements> N{};
};

long double SafeLog(long double x) { return std::log(std::max(x, AmountFloor)); }

TPotentials NotePotentials(const TThSys& sys)
{
    TPotentials p;
    const long double rt = GasConstant * sys.Temperature;
    for (int i = 0; i <= SystemElemLast; ++i) {
        const TElementRecord& e = sys.El(i);
        auto& mu = p.Mu[Ix(i)];
        mu[0] = rt * (e.LnGammaMetal + SafeLog(e.MetalMoleFraction));
        mu[1] = rt * (e.Valence * sys.SlagPotential + e.LnGammaSlag + SafeLog(e.SlagMoleFraction) - e.SlagStdTerm);
        mu[2] = rt * (e.GasTerm + SafeLog(e.GasMoleFraction) - e.MetalStdTerm);
        p.N[Ix(i)] = {e.MetalAmount, e.SlagAmount, e.GasAmount};
    }
    return p;
}

} // namespace

TElectroneutralityCurve ElectroneutralityCurve(TCurveSystem mode)
{
    TElectroneutralityCurve curve;
    const TThSys& lower = *ThSystems[0];
    const TThSys& upper = *ThSystems[1];
    const auto charge = [&](long double mu) -> double {
        switch (mode) {
        case TCurveSystem::Lower: return static_cast<double>(SpecificCharge(lower, mu));
        case TCurveSystem::Upper: return static_cast<double>(SpecificCharge(upper, mu));
        default: return static_cast<double>((SpecificCharge(lower, mu) + SpecificCharge(upper, mu)) / 2);
        }
    };

    std::array<long double, MaxElements> psi{};
    std::array<bool, MaxElements> present{};
    long double lo = 1e38L, hi = -1e38L;
    for (int i = 0; i <= SystemElemLast; ++i) {
        const long double z = lower.El(i).Valence;
        if (z == 0)
            continue;
        const bool inLower = lower.El(i).Amount > PresenceLimit;
        const bool inUpper = upper.El(i).Amount > PresenceLimit;
        switch (mode) {
        case TCurveSystem::Lower:
            psi[Ix(i)] = MarkPotential(lower, i);
            present[Ix(i)] = inLower;
            break;
        case TCurveSystem::Upper:
            psi[Ix(i)] = MarkPotential(upper, i);
            present[Ix(i)] = inUpper;
            break;
        default:
            psi[Ix(i)] = (MarkPotential(lower, i) + MarkPotential(upper, i)) / 2;
            present[Ix(i)] = inLower || inUpper;
            break;
        }
        if (present[Ix(i)] && std::isfinite(psi[Ix(i)])) {
            const long double d = MarkHalfWidth / std::fabs(z);
            hi = std::max(hi, psi[Ix(i)] + d);
            lo = std::min(lo, psi[Ix(i)] - d);
        }
    }
    const bool haveRange = lo <= hi;
    if (haveRange) {
        curve.Low = static_cast<double>(lo);
        curve.High = static_cast<double>(hi);
    }

    for (int i = 0; i <= SystemElemLast; ++i) {
        if (lower.El(i).Valence == 0 || !std::isfinite(psi[Ix(i)]))
            continue;
        TChargeMark mark{i, lower.El(i).Symbol, charge(psi[Ix(i)]), static_cast<double>(psi[Ix(i)])};
        if (present[Ix(i)])
            curve.Present.push_back(mark);
        else if (haveRange && psi[Ix(i)] >= lo && psi[Ix(i)] <= hi)
            curve.AbsentInRange.push_back(mark);
    }

    if (haveRange) {
        const long double step = (hi - lo) / (ElectroneutralityPoints - 1);
        curve.Points.reserve(ElectroneutralityPoints);
        for (int k = 0; k < ElectroneutralityPoints; ++k) {
            const long double mu = lo + k * step;
            curve.Points.push_back({charge(mu), static_cast<double>(mu)});
        }
    }
    return curve;
}

TIsotherms SolubilityIsotherms(const TIsothermOptions& options)
{
    TIsotherms result;
    for (std::size_t s = 0; s < result.Curves.size(); ++s)
        result.Curves[s].TemperatureC = IsothermTemperatures[s];

    TFinalTempModeGuard modeGuard;
    PrepareSystems();
    TThSys& sys = *ThSystems[0];
    const int oxidiser = MaterialIndexByName(options.Oxidiser);
    const int deoxidiser = MaterialIndexByName(options.Deoxidiser);
    const int element = sys.Elems->IndexOfSymbol(options.Element);
    const int oxygen = sys.Elems->Key(keyO);
    const char* what = "матеріалу";
    if (oxidiser < 0)
        result.Missing = options.Oxidiser;
    else if (deoxidiser < 0)
        result.Missing = options.Deoxidiser;
    else if (element < 0 || oxygen < 0) {
        result.Missing = element < 0 ? options.Element : "O";
        what = "елемента";
    }
    if (!result.Missing.empty()) {
        result.Message = std::string("Ізотерми розчинності кисню: у проєкті немає ") + what + " \"" +
                         result.Missing + "\"";
        return result;
    }
    result.Possible = true;

    for (int j = 1; j <= MaterialCount; ++j)
        MaterialTable[j].Amount = 0;
    MaterialTable[oxidiser].Amount = options.OxidiserMass;

    const int stride = std::max(1, options.PointStride);
    for (std::size_t s = 0; s < result.Curves.size(); ++s) {
        TIsotherm& curve = result.Curves[s];
        sys.Temperature = KelvinOffset + static_cast<long double>(curve.TemperatureC);
        for (int i = options.FirstPoint; i <= options.LastPoint; i += stride) {
            MaterialTable[deoxidiser].Amount = i / 51.0L;
            if (!SolveLower(sys))
                break;
            const long double x = 100 * sys.El(element).MetalFraction;
            const long double y = 100 * sys.El(oxygen).MetalFraction;
            curve.Points.push_back({static_cast<double>(std::log10(x)), static_cast<double>(std::log10(y))});
        }
    }
    if (std::all_of(result.Curves.begin(), result.Curves.end(),
                    [](const TIsotherm& c) { return c.Points.empty(); }))
        result.Message = "Ізотерми розчинності кисню: рівновагу не знайдено за жодної температури. Ізотерми "
                         "будуються для вихідного металу завдання.";
    return result;
}

TGibbsDuhemResult GibbsDuhemCheck()
{
    TGibbsDuhemResult result;
    // Without a seventh material there is nothing to add the increment to.
    if (MaterialCount < GibbsDuhemMaterial)
        return result;
    TFinalTempModeGuard modeGuard;
    TThSys& sys = *ThSystems[0];

    PrepareSystems();
    result.FirstConverged = SolveLower(sys);
    const TPotentials before = NotePotentials(sys);

    PrepareSystems();
    MaterialTable[GibbsDuhemMaterial].Amount += GibbsDuhemIncrement;
    result.SecondConverged = SolveLower(sys);
    const TPotentials after = NotePotentials(sys);

    for (int i = 0; i <= SystemElemLast; ++i) {
        for (int p = 0; p < 3; ++p) {
            const long double dMu = after.Mu[Ix(i)][Ix(p)] - before.Mu[Ix(i)][Ix(p)];
            result.PotentialChange[Ix(i)][Ix(p)] = dMu;
            result.AmountChange[Ix(i)][Ix(p)] = after.N[Ix(i)][Ix(p)] - before.N[Ix(i)][Ix(p)];
            result.PhaseSums[Ix(p)] += before.N[Ix(i)][Ix(p)] * dMu;
        }
    }
    result.Done = true;
    return result;
}

std::string GibbsDuhemReport(const TGibbsDuhemResult& result, char decimalSeparator)
{
    std::string text = "Рівняння Гіббса-Дюгема";
    if (!result.Done)
        return text + ": потрібно щонайменше " + std::to_string(GibbsDuhemMaterial) + " матеріалів.";
    // Only the numbers take the screen's separator: a material's name is
    // shown as it stands.
    auto number = [decimalSeparator](const char* format, long double x) {
        char buf[64];
        std::snprintf(buf, sizeof buf, format, x);
        std::string s = buf;
        std::replace(s.begin(), s.end(), '.', decimalSeparator);
        return s;
    };
    text += " після додавання " + number("%.5Lf", GibbsDuhemIncrement) + " т матеріалу \"" +
            MaterialTable[GibbsDuhemMaterial].Name + "\":";
    static constexpr std::array<const char*, 3> phases{"у металі", "у шлаку", "у газі"};
    for (std::size_t p = 0; p < phases.size(); ++p)
        text += std::string("\nΣ n·Δμ ") + phases[p] + ": " + number("%.3Lg", result.PhaseSums[p]);
    if (!result.FirstConverged || !result.SecondConverged)
        text += "\nЗбіжність не досягнута!";
    return text;
}

std::string FormatTwoDecimals(long double x)
{
    if (!std::isfinite(x))
        return std::isnan(x) ? "NAN" : (x > 0 ? "INF" : "-INF");
    const long double rounded = std::round(x * 100) / 100;
    if (rounded == 0)
        return "0";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2Lf", rounded);
    std::string s = buf;
    while (!s.empty() && s.back() == '0')
        s.pop_back();
    if (!s.empty() && s.back() == '.')
        s.pop_back();
    return s;
}

TOnePhaseResult EquilibrateBothSystems(bool metalWithSlag, bool fromInitial)
{
    TOnePhaseResult result;
    TThSys& lower = *ThSystems[0];
    TThSys& upper = *ThSystems[1];
    bool lowerRefused = false;
    bool upperRefused = false;
    if (metalWithSlag) {
        result.LowerConverged = lower.EquilibrateMetalWithSlag(fromInitial, true, &lowerRefused);
        result.UpperConverged = upper.EquilibrateMetalWithSlag(fromInitial, true, &upperRefused);
    } else {
        result.LowerConverged = lower.EquilibrateSlagWithMetal(fromInitial, true, &lowerRefused);
        result.UpperConverged = upper.EquilibrateSlagWithMetal(fromInitial, true, &upperRefused);
    }
    // A command that computed nothing leaves the status bar as it was.
    result.Refused = lowerRefused && upperRefused;
    if (result.Refused)
        return result;
    result.StatusText =
        " Mu/RT: " + FormatTwoDecimals(lower.SlagPotential) + ".." + FormatTwoDecimals(upper.SlagPotential);
    CurrentHost().SetStatusText(2, result.StatusText);
    return result;
}

} // namespace ferrolyt
