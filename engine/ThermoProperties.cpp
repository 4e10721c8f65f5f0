// Thermodynamic properties of one system: standard Gibbs energies of the gas
// species and the elements' standard terms, the activity models of metal,
// slag and inclusions, the gas equilibrium at the total pressure, mole
// fractions and phase masses, and the heat balance built on the phase Gibbs
// sums.

#include "Settings.h"
#include "ThSys.h"
#include "Utils.h"

#include <cmath>

namespace ferrolyt {

namespace {

std::size_t Idx(int i) { return static_cast<std::size_t>(i); }

// Iron's molar mass: the metal standard terms are referred to 1 % in iron.
constexpr long double IronMolarMass = 55.847L;
// Dissolution of graphite in iron, J/mol: 22594 - 42 T.
constexpr long double CarbonSolutionH = 22594.0L;
constexpr long double CarbonSolutionS = 42.0L;
// Temperature step of the numerical derivatives of the heat balance, K.
constexpr long double HeatDelta = 0.001L;

// y^n for the small whole atom counts of gas species.
long double IntPower(long double y, int32_t n)
{
    long double r = 1.0L;
    for (int32_t k = 0; k < n; ++k)
        r *= y;
    return r;
}

// Index of the last element of a system's list.
int LastElement() { return SystemElemLast; }

} // namespace

long double TThSys::GibbsPolynomial(const std::array<long double, 8>& coef) const
{
    const long double x = Temperature * 0.0001L;
    const long double lnx = std::log(x);
    const long double x2 = x * x;
    return coef[7] - Temperature * (coef[0] + coef[1] * lnx + coef[2] / x2 + coef[3] / x + coef[4] * x
                                    + coef[5] * x2 + coef[6] * x2 * x);
}

void TThSys::CalcStandardGibbs()
{
    const long double T = Temperature;
    const long double RT = GasConstant * T;
    const int last = LastElement();

    // Gibbs energies first: a species' formation term refers to reference
    // species that may come later in the list.
    for (int s = 1; s <= ActiveGasCount; ++s)
        ActiveGases[s].Gibbs = GibbsPolynomial(ActiveGases[s].Coef);
    for (int s = 1; s <= ActiveGasCount; ++s) {
        TGasSpeciesRecord& sp = ActiveGases[s];
        if (sp.Atoms <= 1)
            continue;
        long double ref = 0;
        for (int k = 0; k < sp.Count && k < 4; ++k) {
            const TGasSpeciesPart& part = sp.Parts[Idx(k)];
            if (TGasSpeciesTable::Contains(part.RefSpecies) && part.RefSpecies >= 1)
                ref += part.Nu * ActiveGases[part.RefSpecies].Gibbs;
        }
        sp.Formation = (sp.Gibbs - ref) / RT;
    }

    // Metal pair table (Wilson), from the cache when this temperature was
    // seen with the same elements and databases.
    const uint8_t slagModel = Settings.SlagModel;
    const bool cacheable = slagModel <= 1;
    const int count = last + 1;
    if (!(cacheable && InteractionTables.Restore(T, slagModel, *Elems, count, MetalInteraction,
                                                 SlagInteraction))) {
        for (int i = 0; i <= last; ++i) {
            const std::size_t di = El(i).Index;
            MetalInteraction[Idx(i)][Idx(i)] = 1.0L;
            for (int j = 0; j < i; ++j) {
                const std::size_t dj = El(j).Index;
                const long double v = std::exp(-InteractionEnergy[di][dj] / RT);
                MetalInteraction[Idx(i)][Idx(j)] = v;
                MetalInteraction[Idx(j)][Idx(i)] = v;
            }
        }
        const long double c = -1000.0L / RT;
        if (slagModel == 0 || slagModel == 1) {
            for (int i = 0; i <= last; ++i) {
                const std::size_t di = El(i).Index;
                SlagInteraction[Idx(i)][Idx(i)] = 1.0L;
                for (int j = 0; j < i; ++j) {
                    const std::size_t dj = El(j).Index;
                    long double v;
                    if (slagModel == 0) {
                        const long double de = El(i).SlagEnergy - El(j).SlagEnergy;
                        v = std::exp(c * de * de);
                    } else {
                        v = std::exp(c * static_cast<long double>(SlagMatrix[di][dj]));
                    }
                    SlagInteraction[Idx(i)][Idx(j)] = v;
                    SlagInteraction[Idx(j)][Idx(i)] = v;
                }
            }
        }
        if (cacheable)
            InteractionTables.Store(T, slagModel, *Elems, count, MetalInteraction, SlagInteraction);
    }
    for (int i = 0; i <= last; ++i)
        El(i).LnGammaInf = 1.0L - MetalInteraction[0][Idx(i)] - std::log(MetalInteraction[Idx(i)][0]);

    const int carbon = Elems->Key(keyC);
    for (int i = 0; i <= last; ++i) {
        TElementRecord& e = El(i);
        if (Settings.SlagModel == 0)
            e.SlagStdTerm = e.SlagB1 + e.SlagA1 / T;
        else
            e.SlagStdTerm = e.SlagB2 + e.SlagA2 / T;

        const bool referred = !e.DirectStandard || i == carbon;
        const long double percentScale = referred ? std::log(100.0L * e.MolarMass / IronMolarMass) : 0.0L;
        if (e.DirectStandard) {
            e.MetalStdTerm = e.MetalS + e.MetalH / T;
        } else {
            const int g = e.GasLinks[1];
            const long double halfFormation =
                (g >= 1 && g <= ActiveGasCount) ? 0.5L * ActiveGases[g].Formation : 0.0L;
            e.MetalStdTerm = (e.MetalH + T * e.MetalS) / RT + halfFormation + percentScale - e.LnGammaInf;
        }
        if (i == carbon)
            e.MetalStdTerm += (CarbonSolutionH - CarbonSolutionS * T) / RT + percentScale - e.LnGammaInf;
        ClampAbs(e.MetalStdTerm, 150.0L);
    }
}

void TThSys::CalcGasActivities()
{
    const int last = LastElement();
    for (int i = 0; i <= last; ++i) {
        TElementRecord& e = El(i);
        long double t = e.MetalStdTerm + e.LnGammaMetal;
        ClampAbs(t, 300.0L);
        ElementGasTerms[Idx(i)] = e.MetalMoleFraction * std::exp(t);
        e.LnActivity = std::log(e.MetalMoleFraction) + t;
    }
    GasPressureSum = 0;
    for (int s = 1; s <= ActiveGasCount; ++s) {
        const TGasSpeciesRecord& sp = ActiveGases[s];
        long double p;
        if (sp.Atoms > 1) {
            long double t = -sp.Formation;
            for (int k = 0; k < sp.Count && k < 4; ++k) {
                const TGasSpeciesPart& part = sp.Parts[Idx(k)];
                if (part.Elem >= 0)
                    t += part.Nu * El(part.Elem).LnActivity;
            }
            ClampAbs(t, 300.0L);
            p = std::exp(t);
        } else {
            const int el = sp.Parts[0].Elem;
            p = el >= 0 ? ElementGasTerms[Idx(el)] : 0.0L;
        }
        SpeciesPressures[s] = p;
        GasPressureSum += p;
    }
}

void TThSys::CalcMoleFractions()
{
    const int last = LastElement();
    for (int i = 0; i <= last; ++i) {
        TElementRecord& e = El(i);
        e.MoleFraction = e.Amount / (TotalMoles + AmountFloor);
        e.MetalMoleFraction = e.MetalAmount / (MetalMoles + AmountFloor);
        e.SlagMoleFraction = e.SlagAmount / (SlagMoles + AmountFloor);
        e.NmiMoleFraction = e.NmiAmount / (NmiMoles + AmountFloor);
        e.GasMoleFraction = e.GasAmount / (GasMoles + AmountFloor);
    }
}

void TThSys::CalcPhaseMasses()
{
    const int last = LastElement();
    MetalMass = SlagMass = GasMass = NmiMass = 0;
    for (int i = 0; i <= last; ++i) {
        TElementRecord& e = El(i);
        e.MetalMass = e.MetalAmount * e.MolarMass;
        e.SlagMass = e.SlagAmount * e.MolarMass;
        e.GasMass = e.GasAmount * e.MolarMass;
        e.NmiMass = e.NmiAmount * e.MolarMass;
        MetalMass += e.MetalMass;
        SlagMass += e.SlagMass;
        GasMass += e.GasMass;
        NmiMass += e.NmiMass;
    }
    // The oxides are scaled so that cation compounds and sulphur make up the
    // whole phase mass.
    long double qS = 0, qN = 0;
    for (int i = 0; i <= last; ++i) {
        const TElementRecord& e = El(i);
        if (e.Valence > 0) {
            qS += e.SlagMass * e.CompoundFactor;
            qN += e.NmiMass * e.CompoundFactor;
        }
    }
    const int sulphur = Elems->Key(keyS);
    const long double sulphurSlag = sulphur >= 0 ? El(sulphur).SlagMass : 0.0L;
    const long double sulphurNmi = sulphur >= 0 ? El(sulphur).NmiMass : 0.0L;
    const long double kS = (SlagMass - sulphurSlag) / qS;
    const long double kN = (NmiMass - sulphurNmi) / qN;
    const int oxygen = Elems->Key(keyO);
    for (int i = 0; i <= last; ++i) {
        TElementRecord& e = El(i);
        e.MetalFraction = e.MetalMass / MetalMass;
        e.SlagFraction = e.SlagMass / SlagMass;
        e.GasFraction = e.GasMass / GasMass;
        e.NmiFraction = e.NmiMass / (NmiMass + DivisorFloor);
        if (e.Valence > 0) {
            e.SlagCompoundFraction = e.SlagFraction * e.CompoundFactor * kS;
            e.NmiCompoundFraction = e.NmiFraction * e.CompoundFactor * kN;
        } else if (i != oxygen) {
            e.SlagCompoundFraction = e.SlagFraction;
            e.NmiCompoundFraction = e.NmiFraction;
        }
    }
}

namespace {

// ln γ in the metal by the chosen model for the mole fractions x (element
// field selected by the caller); written into LnGammaMetal.
void MetalActivity(TThSys& sys, uint8_t model)
{
    const int last = LastElement();
    if (model == 0) {
        std::array<long double, MaxElements> w{};
        for (int i = 0; i <= last; ++i) {
            long double s = 0;
            for (int j = 0; j <= last; ++j)
                s += sys.MetalInteraction[Idx(i)][Idx(j)] * sys.El(j).MetalMoleFraction;
            w[Idx(i)] = 1.0L / (AmountFloor + s);
        }
        for (int i = 0; i <= last; ++i) {
            long double s = 0;
            for (int j = 0; j <= last; ++j)
                s += sys.El(j).MetalMoleFraction * sys.MetalInteraction[Idx(j)][Idx(i)] * w[Idx(j)];
            sys.El(i).LnGammaMetal = std::log(w[Idx(i)]) + 1.0L - s;
        }
    } else if (model == 1) {
        std::array<long double, MaxElements> row{};
        long double q = 0;
        for (int i = 0; i <= last; ++i) {
            const std::size_t di = sys.El(i).Index;
            long double s = 0;
            for (int j = 0; j <= last; ++j)
                s += sys.El(j).MetalMoleFraction * static_cast<long double>(WagnerMatrix[di][sys.El(j).Index]);
            row[Idx(i)] = s;
            q += sys.El(i).MetalMoleFraction * s;
        }
        for (int i = 0; i <= last; ++i)
            sys.El(i).LnGammaMetal = sys.El(i).LnGammaInf + row[Idx(i)] - q / 2.0L;
    }
}

// ln γ of an oxide phase (slag or inclusions) by the slag model; x and the
// result are the fields the accessors name.
template <typename GetX, typename SetLn>
void OxideActivity(TThSys& sys, uint8_t model, GetX x, SetLn setLn)
{
    if (model != 0 && model != 1)
        return;
    const int last = LastElement();
    std::array<long double, MaxElements> v{};
    for (int i = 0; i <= last; ++i) {
        long double s = 0;
        for (int j = 0; j <= last; ++j)
            s += sys.SlagInteraction[Idx(i)][Idx(j)] * x(sys.El(j));
        v[Idx(i)] = 1.0L / (AmountFloor + s);
    }
    for (int i = 0; i <= last; ++i) {
        long double s = 0;
        if (model == 0) {
            for (int j = 0; j <= last; ++j)
                s += x(sys.El(j)) * sys.SlagInteraction[Idx(i)][Idx(j)] * v[Idx(j)];
            setLn(sys.El(i), std::log(v[Idx(i)]) + 1.0L - s);
        } else {
            for (int j = 0; j <= last; ++j)
                s += x(sys.El(j)) * sys.El(j).Valence * (1.0L - sys.SlagInteraction[Idx(i)][Idx(j)] * v[Idx(j)]);
            setLn(sys.El(i), sys.El(i).Valence * std::log(v[Idx(i)]) + s);
        }
    }
}

} // namespace

void TThSys::CalcMetalActivity() { MetalActivity(*this, Settings.MetalModel); }

void TThSys::CalcSlagActivity()
{
    OxideActivity(
        *this, Settings.SlagModel, [](const TElementRecord& e) { return e.SlagMoleFraction; },
        [](TElementRecord& e, long double v) { e.LnGammaSlag = v; });
}

void TThSys::CalcGasEquilibrium()
{
    const int last = LastElement();
    CalcMoleFractions();
    CalcStandardGibbs();
    CalcMetalActivity();
    for (int i = 0; i <= last; ++i)
        El(i).GasAmountTerm = AmountFloor;
    CalcGasActivities();

    // Scale the activities so that the partial pressures add up to the total
    // pressure.
    const long double P = TotalPressure;
    long double y = std::sqrt(P / GasPressureSum);
    for (int it = 0; it < 21; ++it) {
        long double f = -P, df = 0;
        for (int s = 1; s <= ActiveGasCount; ++s) {
            const int32_t atoms = ActiveGases[s].Atoms;
            const long double term = SpeciesPressures[s] * IntPower(y, atoms);
            f += term;
            df += term * atoms / y;
        }
        const long double step = f / df;
        y -= step;
        if (std::fabs(step) < 1e-10L)
            break;
    }
    if (!(y >= DivisorFloor))
        y = DivisorFloor;
    PressureScale = y;

    for (int s = 1; s <= ActiveGasCount; ++s) {
        TGasSpeciesRecord& sp = ActiveGases[s];
        SpeciesPressures[s] *= IntPower(y, sp.Atoms);
        for (int k = 0; k < sp.Count && k < 4; ++k) {
            const TGasSpeciesPart& part = sp.Parts[Idx(k)];
            if (part.Elem >= 0)
                El(part.Elem).GasAmountTerm += part.Nu * SpeciesPressures[s];
        }
    }
    GasElementSum = 0;
    for (int i = 0; i <= last; ++i)
        GasElementSum += El(i).GasAmountTerm;

    CalcSlagActivity();

    for (int i = 0; i <= last; ++i) {
        TElementRecord& e = El(i);
        e.KMS = e.LnGammaMetal + e.SlagStdTerm - e.LnGammaSlag;
        e.GasTerm = std::log(GasElementSum * y * ElementGasTerms[Idx(i)] / e.GasAmountTerm);
        e.KMG = e.LnGammaMetal + e.MetalStdTerm - e.GasTerm;
    }
}

void TThSys::CalcNmiActivity(bool withCapillarity)
{
    const int last = LastElement();
    CalcMoleFractions();
    MetalActivity(*this, Settings.MetalModel);

    NmiSurfaceTerm = 0;
    for (int i = 0; i <= last; ++i)
        NmiSurfaceTerm += El(i).NmiMoleFraction * El(i).NmiSurfaceCoef;
    long double kappa = 0;
    if (withCapillarity && NmiRadius > 0)
        kappa = 2.0L * NmiSurfaceTerm / (GasConstant * Temperature * NmiRadius * 3000.0L);

    OxideActivity(
        *this, Settings.SlagModel, [](const TElementRecord& e) { return e.NmiMoleFraction; },
        [](TElementRecord& e, long double v) { e.LnGammaNmi = v; });

    for (int i = 0; i <= last; ++i) {
        TElementRecord& e = El(i);
        e.KMN = e.LnGammaMetal + e.SlagStdTerm - e.LnGammaNmi - kappa * e.MolarMass;
    }
}

void TThSys::SumPhaseEnthalpies(std::array<long double, 4>& sums)
{
    const long double RT = GasConstant * Temperature;
    const int last = LastElement();
    sums = {};
    for (int i = 0; i <= last; ++i) {
        TElementRecord& e = El(i);
        e.PotMetal = RT * e.LnGammaMetal;
        e.PotSlag = RT * (SlagPotential * e.Valence + e.LnGammaSlag - e.SlagStdTerm);
        e.PotGas = RT * (e.GasTerm - e.MetalStdTerm);
        sums[phMetal] += e.MetalAmount * e.PotMetal;
        sums[phSlag] += e.SlagAmount * e.PotSlag;
        sums[phGas] += e.GasAmount * e.PotGas;
    }
    sums[phTotal] = sums[phMetal] + sums[phSlag] + sums[phGas];
}

void TThSys::HeatBalance(THeatBlock& result, bool useSetting, bool force)
{
    const long double T0 = Temperature;
    const long double d = HeatDelta;
    const int last = LastElement();
    std::array<long double, MaxElements> uMetal{}, uSlag{}, uGas{};
    std::array<long double, 4> gMinus{}, gPlus{};

    Temperature = T0 - d;
    CalcGasEquilibrium();
    SumPhaseEnthalpies(gMinus);
    for (int i = 0; i <= last; ++i) {
        uMetal[Idx(i)] = El(i).PotMetal;
        uSlag[Idx(i)] = El(i).PotSlag;
        uGas[Idx(i)] = El(i).PotGas;
    }

    Temperature = T0 + d;
    CalcGasEquilibrium();
    SumPhaseEnthalpies(gPlus);
    for (int i = 0; i <= last; ++i) {
        uMetal[Idx(i)] -= El(i).PotMetal;
        uSlag[Idx(i)] -= El(i).PotSlag;
        uGas[Idx(i)] -= El(i).PotGas;
    }

    Temperature = T0;
    CalcGasEquilibrium();
    SumPhaseEnthalpies(result.G);

    const long double T = T0;
    for (int p = phMetal; p <= phTotal; ++p)
        result.S[Idx(p)] = (gMinus[Idx(p)] - gPlus[Idx(p)]) / (2.0L * d);
    for (int p = phMetal; p <= phGas; ++p)
        result.H[Idx(p)] = result.G[Idx(p)] + T * result.S[Idx(p)];
    result.H[phTotal] = result.H[phMetal] + result.H[phSlag] + result.H[phGas];

    for (int i = 0; i <= last; ++i) {
        TElementRecord& e = El(i);
        e.HMetal = e.PotMetal + T * uMetal[Idx(i)] / (2.0L * d);
        e.HSlag = e.PotSlag + T * uSlag[Idx(i)] / (2.0L * d) + GasConstant * T * SlagPotential * e.Valence;
        e.HGas = e.PotGas + T * uGas[Idx(i)] / (2.0L * d);
    }

    for (int p = phMetal; p <= phGas; ++p)
        result.Cp[Idx(p)] = -T * (gPlus[Idx(p)] + gMinus[Idx(p)] - 2.0L * result.G[Idx(p)]) / (d * d);
    result.Cp[phTotal] = result.Cp[phMetal] + result.Cp[phSlag] + result.Cp[phGas];

    if ((useSetting && Settings.FinalTempMode != 0) || force) {
        long double dT = (HeatInput - HeatCapA - T * HeatCapB - result.H[phTotal])
                         / (result.Cp[phTotal] + HeatCapB);
        long double t = T;
        if (Settings.BetterConvergence) {
            ClampAbs(dT, T / 3.0L);
            t += 0.01L * dT;
        } else {
            ClampAbs(dT, T / 2.0L);
            t += 0.2L * dT;
        }
        if (CalcBusy)
            ClampRange(t, 1773.15L, 5000.0L);
        else
            ClampRange(t, 293.15L, 5000.0L);
        Temperature = t;
    }
}

} // namespace ferrolyt
