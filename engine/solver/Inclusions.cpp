// Non-metallic inclusions: a fourth phase inside the metal. After a
// displayed solve the inclusions are equilibrated with the metal, first the
// exogenous ones (slag carried into the metal) at their given radius, then
// the endogenous ones formed on cooling, whose size follows from the
// critical radius of nucleation. On request two tables go to the current
// folder: inclusions against the radius and against the temperature.

#include "ExtendedMath.h"
#include "Inclusions.h"

#include "Settings.h"
#include "TaskList.h"
#include "TextFile.h"
#include "ThSys.h"
#include "Utils.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace ferrolyt {

namespace {

constexpr int NmiNewtonLimit = 1001;
constexpr int NmiChainLimit = 10001;
constexpr int NmiPotentialStepLimit = 21;
constexpr int LambdaNewtonLimit = 101;

// The 2 × 2 system of the inclusions' potential and LnMetalNmi.
struct TNmiMatrix {
    long double A11 = 0, A12 = 0, A22 = 0;
    long double ChargeResidual = 0;
};

TNmiMatrix BuildNmiMatrix(TThSys& sys)
{
    sys.DistributeNmi();
    TNmiMatrix m;
    long double sumSquares = 0;
    for (int i = 0; i <= SystemElemLast; ++i) {
        const TElementRecord& e = sys.El(i);
        const long double nmi = e.NmiAmount;
        const long double v = e.Valence * nmi * (1 - nmi / e.MetalNmiAmount);
        m.A11 += e.Valence * v;
        m.A12 += v;
        sumSquares += nmi * nmi / e.MetalNmiAmount;
        m.ChargeResidual -= e.Valence * nmi;
    }
    m.A22 = sys.NmiMoles * sys.NmiMoles / (sys.NmiMoles + sys.MetalMoles) - sumSquares;
    return m;
}

// Cramer's rule on the 2 × 2 system; false when it is singular.
bool SolveNmiStep(const TNmiMatrix& m, long double rCharge, long double rTotal, long double& dPsi, long double& dRatio)
{
    const long double d = m.A11 * m.A22 - m.A12 * m.A12;
    if (!(std::fabs(DivisorFloor + d) > 1e-15L))
        return false;
    dPsi = (rTotal * m.A12 - rCharge * m.A22) / d;
    dRatio = (rCharge * m.A12 - rTotal * m.A11) / d;
    return true;
}

// One Newton step of the inclusions' electroneutrality on their potential.
long double NmiPotentialStep(const TThSys& sys)
{
    long double f = 0, df = 0;
    for (int i = 0; i <= SystemElemLast; ++i) {
        const TElementRecord& e = sys.El(i);
        long double y = sys.NmiPotential * e.Valence + sys.LnMetalNmi - e.KMN;
        ClampAbs(y, 300);
        const long double w = 1 / (ExpL(y) + 1);
        f += w * e.ChargeTermMetalNmi;
        df += (1 - w) * e.Valence * w * e.ChargeTermMetalNmi;
    }
    return f / (DivisorFloor + df);
}

// Newton step on Σ p = 1 and Σ z p = 0 for the potential and Λ of an
// incipient inclusion.
void LambdaNewtonStep(TThSys& sys, long double& dPsi, long double& dLambda)
{
    long double s1 = 0, s2 = 0, s3 = 0, s4 = 0, s5 = 0;
    for (int i = 0; i <= SystemElemLast; ++i) {
        const TElementRecord& e = sys.El(i);
        long double x = e.KMN - e.MolarMass * sys.NmiLambda - sys.NmiPotential * e.Valence;
        ClampAbs(x, 1000);
        const long double p = e.MetalMoleFraction * ExpL(x);
        s1 += e.Valence * p;
        s2 += e.MolarMass * p;
        s3 -= e.Valence * e.Valence * p;
        s4 -= e.MolarMass * e.Valence * p;
        s5 += p;
    }
    const long double d = DivisorFloor + s4 * s1 - s3 * s2;
    dPsi = (s1 * s2 - (1 - s5) * s4) / d;
    dLambda = ((1 - s5) * s3 - s1 * s1) / d;
    ClampAbs(dPsi, 0.5L);
    ClampAbs(dLambda, 0.01L);
}

long double CriticalRadius(const TThSys& sys)
{
    return 2 * sys.NmiSurfaceTerm / (sys.Temperature * GasConstant * sys.NmiLambda * 3000);
}

// Row index range of a table: Trunc(100·from/step) .. Trunc(100·to/step).
// A zero step gives no rows.
bool TableRange(double from, double to, double step, long long& first, long long& last)
{
    if (!(step != 0))
        return false;
    first = static_cast<long long>(std::trunc(100.0 * from / step));
    last = static_cast<long long>(std::trunc(100.0 * to / step));
    return true;
}

std::string ElementHeaderSuffix(const TThSys& sys)
{
    std::string s;
    for (int i = 0; i <= SystemElemLast; ++i) {
        const TElementRecord& e = sys.El(i);
        s += ";" + e.Symbol + ", г/т;" + e.Label + ", %";
    }
    return s;
}

std::string ElementRowSuffix(const TThSys& sys)
{
    std::string s;
    const long double denominator = sys.NmiMass + sys.MetalMass;
    for (int i = 0; i <= SystemElemLast; ++i) {
        const TElementRecord& e = sys.El(i);
        s += ";" + FormatGeneral(e.NmiMass * 1000 * 1000 / denominator) + ";" +
            FormatGeneral(e.CompoundFactor * e.NmiFraction * 100);
    }
    return s;
}

// The table goes to the current folder. False after a warning when it could
// not be written.
bool WriteNmiTable(const std::string& fileName, const std::vector<std::string>& lines)
{
    std::string error;
    if (TryWriteTextFile1251(fileName, lines, &error))
        return true;
    ShowWarning(error.empty() ? "Неможливо записати файл " + fileName : error);
    return false;
}

// ThSystems[2] keeps the lower-bound system while a table is computed; a
// system that is itself that copy (or a system solved without the global
// four) saves into a private copy instead.
class TSavedSystem {
public:
    explicit TSavedSystem(TThSys& sys) : sys_(sys)
    {
        TThSys* slot = ThSystems[2].get();
        if (slot && slot != &sys) {
            copy_ = slot;
        } else {
            own_ = std::make_unique<TThSys>();
            copy_ = own_.get();
        }
        copy_->Assign(sys);
    }
    void Restore() { sys_.Assign(*copy_); }

private:
    TThSys& sys_;
    TThSys* copy_ = nullptr;
    std::unique_ptr<TThSys> own_;
};

struct TRememberedNmiAmounts {
    std::array<long double, MaxElements> Metal{}, Nmi{};
    long double MetalMoles = 0, NmiMoles = 0;
};

void ExportNmiByMultipleTable(TThSys& sys)
{
    TSavedSystem saved(sys);
    std::vector<std::string> lines{"Rad, мкм;r/rc;m, г/т" + ElementHeaderSuffix(sys)};
    sys.Temperature = KelvinOffset + Settings.ExportMultipleTemp;
    sys.CalcStandardGibbs();
    bool write = true;
    if (!sys.SolvePairDamped()) {
        ShowWarning("Критическое Lambda отрицательное");
        write = false;
    } else {
        const long double rc = CriticalRadius(sys);
        const double step = Settings.ExportMultipleStep;
        long long first = 0, last = -1;
        if (TableRange(Settings.ExportMultipleFrom, Settings.ExportMultipleTo, step, first, last)) {
            for (long long i = first; i <= last; ++i) {
                // Each point starts from the previous point's amounts.
                sys.NmiRadius = static_cast<long double>(i) * rc * step / 100;
                if (!sys.SolveTwoPhase())
                    continue;
                sys.CalcPhaseMasses();
                lines.push_back(FormatGeneral(sys.NmiRadius) + ";" + FormatGeneral(sys.NmiRadius / rc) + ";" +
                                FormatGeneral(sys.NmiMass * 1000 * 1000 / (sys.NmiMass + sys.MetalMass)) +
                                ElementRowSuffix(sys));
            }
        }
    }
    const std::string fileName = "Nmi_" + FormatFloatOneDecimal(sys.Temperature - KelvinOffset) + ".csv";
    // A table that cannot be written stays requested for the next displayed solve.
    if (!write || WriteNmiTable(fileName, lines))
        Settings.ExportNmiByMultiple = false;
    saved.Restore();
}

void ExportNmiByTempTable(TThSys& sys, const TRememberedNmiAmounts& remembered)
{
    TSavedSystem saved(sys);
    std::vector<std::string> lines{"t,C;RadCr, мкм;Rad, мкм;m, г/т" + ElementHeaderSuffix(sys)};
    const double step = Settings.ExportTempStep;
    long long first = 0, last = -1;
    if (TableRange(Settings.ExportTempFrom, Settings.ExportTempTo, step, first, last)) {
        for (long long i = first; i <= last; ++i) {
            for (int k = 0; k <= SystemElemLast; ++k) {
                sys.El(k).MetalAmount = remembered.Metal[static_cast<std::size_t>(k)];
                sys.El(k).NmiAmount = remembered.Nmi[static_cast<std::size_t>(k)];
            }
            sys.MetalMoles = remembered.MetalMoles;
            sys.NmiMoles = remembered.NmiMoles;
            sys.Temperature = KelvinOffset + step * static_cast<long double>(i) / 100;
            sys.CalcStandardGibbs();
            if (!sys.SolvePairDamped())
                continue;
            const long double rc = CriticalRadius(sys);
            sys.NmiRadius = rc * Settings.ExportTempMultiple;
            if (!sys.SolveTwoPhase())
                continue;
            sys.CalcPhaseMasses();
            lines.push_back(FormatGeneral(sys.Temperature - KelvinOffset) + ";" + FormatGeneral(rc) + ";" +
                            FormatGeneral(sys.NmiRadius) + ";" +
                            FormatGeneral(sys.NmiMass * 1000 * 1000 / (sys.NmiMass + sys.MetalMass)) +
                            ElementRowSuffix(sys));
        }
    }
    const std::string fileName = "NmiT_" + std::to_string(TaskList.Current) + ".csv";
    if (WriteNmiTable(fileName, lines))
        Settings.ExportNmiByTemp = false;
    saved.Restore();
}

} // namespace

std::string FormatGeneral(long double value)
{
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value > 0 ? "INF" : "-INF";
    if (value == 0)
        return "0";
    // 15 significant digits, trailing zeros dropped.
    char digits[64];
    std::snprintf(digits, sizeof digits, "%.14Le", value);
    std::string text(digits);
    const std::size_t ePos = text.find('e');
    const int exponent = std::stoi(text.substr(ePos + 1));
    std::string mantissa = text.substr(0, ePos);
    const bool negative = mantissa[0] == '-';
    if (negative)
        mantissa.erase(0, 1);
    mantissa.erase(1, 1); // the decimal point
    while (mantissa.size() > 1 && mantissa.back() == '0')
        mantissa.pop_back();

    std::string out;
    if (exponent >= 15 || value == 0 || std::fabs(value) < 1e-5L) {
        out = mantissa.substr(0, 1);
        if (mantissa.size() > 1)
            out += "." + mantissa.substr(1);
        out += "E" + std::to_string(exponent);
    } else if (exponent < 0) {
        out = "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + mantissa;
    } else {
        const std::size_t intDigits = static_cast<std::size_t>(exponent) + 1;
        if (mantissa.size() <= intDigits) {
            out = mantissa + std::string(intDigits - mantissa.size(), '0');
        } else {
            out = mantissa.substr(0, intDigits) + "." + mantissa.substr(intDigits);
        }
    }
    return negative ? "-" + out : out;
}

std::string FormatFloatOneDecimal(long double value)
{
    // Half away from zero, as the mask formatting rounds.
    const long double tenths = std::round(value * 10);
    const long long whole = static_cast<long long>(tenths);
    const long long integral = whole / 10;
    const long long fraction = std::llabs(whole % 10);
    std::string text = (whole < 0 && integral == 0 ? "-" : "") + std::to_string(integral);
    if (fraction != 0)
        text += "." + std::to_string(fraction);
    return text;
}

void TThSys::DistributeNmi()
{
    MetalMoles = 0;
    NmiMoles = 0;
    for (int i = 0; i <= SystemElemLast; ++i) {
        TElementRecord& e = El(i);
        long double x = e.KMN - LnMetalNmi - NmiPotential * e.Valence;
        ClampAbs(x, 1000);
        const long double ex = ExpL(x);
        e.MetalAmount = std::max(e.MetalNmiAmount / (ex + 1), AmountFloor);
        e.NmiAmount = std::max(ex * e.MetalAmount, AmountFloor);
        MetalMoles += e.MetalAmount;
        NmiMoles += e.NmiAmount;
    }
}

bool TThSys::SolveTwoPhase()
{
    // Newton on the inclusions' electroneutrality and their total.
    bool newtonOk = true;
    bool converged = false;
    int iter = 0;
    while (iter < NmiNewtonLimit && !converged) {
        ++iter;
        CalcNmiActivity(true);
        const TNmiMatrix m = BuildNmiMatrix(*this);
        const long double rTotal = (MetalMoles + NmiMoles) / (ExpL(LnMetalNmi) + 1) - NmiMoles;
        long double dPsi = 0, dRatio = 0;
        if (!SolveNmiStep(m, m.ChargeResidual, rTotal, dPsi, dRatio)) {
            newtonOk = false;
            break;
        }
        ClampAbs(dPsi, 1);
        ClampAbs(dRatio, 1);
        NmiPotential += dPsi;
        LnMetalNmi += dRatio;
        converged = dPsi * dPsi + dRatio * dRatio < 1e-20L;
    }
    if (newtonOk && converged && iter < NmiNewtonLimit)
        return true;

    // Damped fixed point when Newton fails.
    iter = 0;
    bool settled = false;
    while (iter < NmiChainLimit && !settled) {
        ++iter;
        CalcNmiActivity(true);
        DistributeNmi();
        long double ratio = LogL(MetalMoles / NmiMoles);
        ClampAbs(ratio, 55);
        const long double ratioStep = ratio - LnMetalNmi;
        LnMetalNmi = ratio;
        const long double psi0 = NmiPotential;
        for (int k = 0; k < NmiPotentialStepLimit; ++k) {
            long double step = NmiPotentialStep(*this);
            ClampAbs(step, 1);
            NmiPotential += step;
            if (std::fabs(step) < 1e-6L)
                break;
        }
        const long double potentialStep = NmiPotential - psi0;
        settled = potentialStep * potentialStep + ratioStep * ratioStep < 1e-10L;
    }
    if (!(settled && iter < NmiChainLimit))
        return false;
    DistributeNmi();
    return true;
}

bool TThSys::SolvePairDamped()
{
    CalcNmiActivity(false);
    NmiPotential = SlagPotential;
    long double numerator = 0, denominator = 0;
    for (int i = 0; i <= SystemElemLast; ++i) {
        const TElementRecord& e = El(i);
        numerator += e.NmiMoleFraction * (e.KMN - LogL(e.NmiMoleFraction / e.MetalMoleFraction));
        denominator += e.MolarMass * e.NmiMoleFraction;
    }
    NmiLambda = numerator / denominator;
    if (Settings.NmiRcMethod == 1)
        return NmiLambda > 0;

    int iter = 0;
    bool converged = false;
    while (iter < LambdaNewtonLimit && !converged) {
        ++iter;
        long double dPsi = 0, dLambda = 0;
        LambdaNewtonStep(*this, dPsi, dLambda);
        NmiPotential += dPsi;
        NmiLambda += dLambda;
        converged = dPsi * dPsi + dLambda * dLambda < 1e-20L;
    }
    return converged && iter < LambdaNewtonLimit && NmiLambda > 0;
}

void TThSys::CalcInclusions()
{
    // The solve left the inclusions of the input apart from the phases.
    for (int i = 0; i <= SystemElemLast; ++i) {
        TElementRecord& e = El(i);
        e.MetalNmiAmount = e.MetalAmount + e.NmiAmount;
        e.ChargeTermMetalNmi = e.Valence * e.MetalNmiAmount;
    }
    NmiPotential = SlagPotential;
    const long double startTemperature = Temperature;

    // Exogenous inclusions.
    if (NmiMass > PresenceThreshold) {
        NmiRadius = Settings.ExoNmiRadius;
        LnMetalNmi = LogL(MetalMoles / NmiMoles);
        NmiSolved = SolveTwoPhase();
    }

    TRememberedNmiAmounts remembered;
    if (Settings.ExportNmiByTemp) {
        for (int i = 0; i <= SystemElemLast; ++i) {
            remembered.Metal[static_cast<std::size_t>(i)] = El(i).MetalAmount;
            remembered.Nmi[static_cast<std::size_t>(i)] = El(i).NmiAmount;
        }
        remembered.MetalMoles = MetalMoles;
        remembered.NmiMoles = NmiMoles;
    }

    // Endogenous inclusions, formed on cooling.
    Temperature = KelvinOffset + Settings.NmiTemp;
    CalcStandardGibbs();
    NmiRadius = Settings.EndoNmiRadius;
    if (!Settings.AutoNmiRadius && NmiRadius != 0) {
        NmiCriticalRadius = 0;
    } else if (SolvePairDamped()) {
        NmiCriticalRadius = CriticalRadius(*this);
        NmiRadius = NmiCriticalRadius * Settings.EndoNmiMultiple;
    } else {
        NmiCriticalRadius = 0;
    }
    NmiSolved = SolveTwoPhase();
    if (NmiSolved)
        CalcPhaseMasses();

    if (Settings.ExportNmiByMultiple)
        ExportNmiByMultipleTable(*this);
    if (Settings.ExportNmiByTemp)
        ExportNmiByTempTable(*this, remembered);

    Temperature = startTemperature;
    CalcStandardGibbs();
}

} // namespace ferrolyt
