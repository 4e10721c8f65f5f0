// Thermodynamic properties of one system: standard Gibbs energies of the gas
// species and the elements' standard terms, the activity models of metal,
// slag and inclusions, the gas equilibrium at the total pressure, mole
// fractions and phase masses, and the heat balance built on the phase Gibbs
// sums.

#include "ExtendedMath.h"
#include "Settings.h"
#include "ThSys.h"
#include "Utils.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

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

// The powers of x = T/10000 the Gibbs polynomial takes, which every species
// of one temperature shares.
struct TGibbsPowers {
    long double T, X, X2, X3, LnX, InvX, InvX2;
};

TGibbsPowers GibbsPowersAt(long double T)
{
    TGibbsPowers p{};
    p.T = T;
    p.X = T * 0.0001L;
    p.X2 = p.X * p.X;
    p.X3 = p.X2 * p.X;
    p.LnX = LogL(p.X);
    p.InvX = 1.0L / p.X;
    p.InvX2 = p.InvX * p.InvX;
    return p;
}

long double GibbsAt(const std::array<long double, 8>& coef, const TGibbsPowers& p)
{
    return coef[7] - p.T * (coef[0] + coef[1] * p.LnX + coef[2] * p.InvX2 + coef[3] * p.InvX + coef[4] * p.X +
                            coef[5] * p.X2 + coef[6] * p.X3);
}

} // namespace

long double GasSpeciesEnthalpy(const std::array<long double, 8>& coef, long double T)
{
    // H = G - T dG/dT with G = H0 - T Phi(x), x = T/1e4, is H0 + 1e4 x^2 Phi'(x);
    // taken from 298.15 K so that the fit's small offset there does not count.
    const auto rise = [&coef](long double x) {
        return 1e4L *
               (coef[1] * x - 2 * coef[2] / x - coef[3] + x * x * (coef[4] + x * (2 * coef[5] + 3 * coef[6] * x)));
    };
    return coef[7] + rise(T * 1e-4L) - rise(298.15L * 1e-4L);
}

long double TThSys::GibbsPolynomial(const std::array<long double, 8>& coef) const
{
    return GibbsAt(coef, GibbsPowersAt(Temperature));
}

namespace {

// to = from, bit for bit, without loading the value into the x87 unit.
void CopyExtended(long double& to, const long double& from) { std::memcpy(&to, &from, sizeof to); }

// Largest exponent change for which a table is derived from the source
// instead of computed: the series below is then exact to the last place.
constexpr long double MaxDerivedExponent = 1e-3L;

// v · exp(e) for |e| <= MaxDerivedExponent.
long double ShiftedExponential(long double v, long double e)
{
    const long double q =
        e + e * e * (0.5L + e * (1.0L / 6 + e * (1.0L / 24 + e * (1.0L / 120 + e * (1.0L / 720)))));
    return v + v * q;
}

// The pair tables of the metal (Wilson) and slag models at temperature T,
// and ln metal[i][0]. Pairs that share an exponent (equal pair energies,
// equal slag energies) share one exponential: the same argument gives the
// same value, so the tables are those of an exponential per pair. Near the
// temperature of the last tables computed with exponentials the group
// values are derived from those instead; the result is then false.
bool BuildInteractionTables(TThSys& sys, long double T, uint8_t slagModel, TElementColumn& lnMetalFirst)
{
    const int last = LastElement();
    const long double RT = GasConstant * T;
    const long double c = -1000.0L / RT;
    const bool withSlag = slagModel == 0 || slagModel == 1;
    const TInteractionCache::TPairGroups* groups = sys.InteractionTables.Groups(slagModel, *sys.Elems, last + 1);
    TInteractionCache::TGroupSource& source = sys.InteractionTables.Source();
    // 1/T - 1/T0 for the source's T0, and whether it is close enough.
    const long double shift = source.Valid ? (source.Temperature - T) / (T * source.Temperature) : 0.0L;
    const bool derive =
        groups && source.Valid && groups->LargestScale * std::fabs(shift) <= MaxDerivedExponent;
    if (groups) {
        constexpr std::size_t MaxPairs = MaxElements * (MaxElements - 1) / 2;
        std::array<long double, MaxPairs> metal, slag;
        // Each group value is exp(b/T + c), computed or derived from the source.
        const auto values = [&](const std::vector<long double>& scale, const std::vector<long double>* constant,
                                const std::vector<long double>& kept, std::array<long double, MaxPairs>& out) {
            for (std::size_t g = 0; g < scale.size(); ++g)
                out[g] = derive     ? ShiftedExponential(kept[g], scale[g] * shift)
                         : constant ? ExpL(scale[g] / T + (*constant)[g])
                                    : ExpL(scale[g] / T);
        };
        values(groups->MetalScale, &groups->MetalConstant, source.Metal, metal);
        values(groups->SlagScale, nullptr, source.Slag, slag);
        if (!derive) {
            source.Metal.assign(metal.begin(), metal.begin() + static_cast<std::ptrdiff_t>(groups->MetalScale.size()));
            source.Slag.assign(slag.begin(), slag.begin() + static_cast<std::ptrdiff_t>(groups->SlagScale.size()));
        }
        // The entries are copied as bytes: moving an extended value through
        // the x87 unit costs far more than an ordinary copy of its bytes.
        const long double one = 1.0L;
        std::size_t k = 0;
        for (int i = 0; i <= last; ++i) {
            CopyExtended(sys.MetalInteraction[Idx(i)][Idx(i)], one);
            if (withSlag)
                CopyExtended(sys.SlagInteraction[Idx(i)][Idx(i)], one);
            for (int j = 0; j < i; ++j, ++k) {
                const long double& v = metal[static_cast<std::size_t>(groups->MetalGroup[k])];
                CopyExtended(sys.MetalInteraction[Idx(i)][Idx(j)], v);
                CopyExtended(sys.MetalInteraction[Idx(j)][Idx(i)], v);
                if (withSlag) {
                    const long double& w = slag[static_cast<std::size_t>(groups->SlagGroup[k])];
                    CopyExtended(sys.SlagInteraction[Idx(i)][Idx(j)], w);
                    CopyExtended(sys.SlagInteraction[Idx(j)][Idx(i)], w);
                }
            }
        }
    } else {
        for (int i = 0; i <= last; ++i) {
            const std::size_t di = sys.El(i).Index;
            sys.MetalInteraction[Idx(i)][Idx(i)] = 1.0L;
            for (int j = 0; j < i; ++j) {
                const std::size_t dj = sys.El(j).Index;
                const long double s = MetalPairEntropyShare(sys.El(i), sys.El(j));
                const long double v =
                    s == 0 ? ExpL(-InteractionEnergy[di][dj] / RT)
                           : ExpL(-InteractionEnergy[di][dj] * ((1 - s) / T + s / InteractionTemperature) /
                                  GasConstant);
                sys.MetalInteraction[Idx(i)][Idx(j)] = v;
                sys.MetalInteraction[Idx(j)][Idx(i)] = v;
            }
        }
        if (withSlag) {
            for (int i = 0; i <= last; ++i) {
                const std::size_t di = sys.El(i).Index;
                sys.SlagInteraction[Idx(i)][Idx(i)] = 1.0L;
                for (int j = 0; j < i; ++j) {
                    const std::size_t dj = sys.El(j).Index;
                    long double v;
                    if (slagModel == 0) {
                        const long double de = sys.El(i).SlagEnergy - sys.El(j).SlagEnergy;
                        v = ExpL(c * de * de);
                    } else {
                        v = ExpL(c * static_cast<long double>(SlagMatrix[di][dj]));
                    }
                    sys.SlagInteraction[Idx(i)][Idx(j)] = v;
                    sys.SlagInteraction[Idx(j)][Idx(i)] = v;
                }
            }
        }
    }
    if (derive && source.Temperature != T) {
        // ln of a derived value: the source's logarithm plus the exponent
        // change b (1/T - 1/T0), for the pair of element i with element 0.
        lnMetalFirst[0] = 0.0L;
        for (int i = 1; i <= last; ++i) {
            const std::size_t k = Idx(i) * Idx(i - 1) / 2; // pair (i, 0)
            const auto g = static_cast<std::size_t>(groups->MetalGroup[k]);
            lnMetalFirst[Idx(i)] = source.LnMetalFirst[Idx(i)] + groups->MetalScale[g] * shift;
        }
        return false;
    }
    for (int i = 0; i <= last; ++i)
        lnMetalFirst[Idx(i)] = LogL(sys.MetalInteraction[Idx(i)][0]);
    if (groups) {
        source.Valid = true;
        source.Temperature = T;
        source.LnMetalFirst = lnMetalFirst;
    }
    return true;
}

} // namespace

void TThSys::CalcStandardGibbs()
{
    const long double T = Temperature;
    const long double RT = GasConstant * T;
    const int last = LastElement();

    // Gibbs energies first: a species' formation term refers to reference
    // species that may come later in the list.
    const TGibbsPowers powers = GibbsPowersAt(T);
    OffsetArray<long double, 1, MaxGasSpecies> gibbs;
    for (int s = 1; s <= ActiveGasCount; ++s)
        gibbs[s] = GibbsAt(ActiveGases[s].Coef, powers);
    for (int s = 1; s <= ActiveGasCount; ++s) {
        const TGasSpeciesRecord& sp = ActiveGases[s];
        if (sp.Atoms <= 1)
            continue;
        long double ref = 0;
        for (int k = 0; k < sp.Count && k < 4; ++k) {
            const TGasSpeciesPart& part = sp.Parts[Idx(k)];
            if (TGasSpeciesTable::Contains(part.RefSpecies) && part.RefSpecies >= 1 && part.RefSpecies <= ActiveGasCount)
                ref += part.Nu * gibbs[part.RefSpecies];
        }
        SpeciesFormation[s] = (gibbs[s] - ref) / RT;
    }

    // Pair tables, from the cache when this temperature was seen with the
    // same elements and databases.
    const uint8_t slagModel = Settings.SlagModel;
    const bool cacheable = slagModel <= 1;
    const int count = last + 1;
    TElementColumn lnMetalFirst{};
    if (!(cacheable && InteractionTables.Restore(T, slagModel, *Elems, count, MetalInteraction, SlagInteraction,
                                                 lnMetalFirst))) {
        // Derived tables are not kept: they are cheap to derive again.
        const bool computed = BuildInteractionTables(*this, T, slagModel, lnMetalFirst);
        if (cacheable && computed)
            InteractionTables.Store(T, slagModel, *Elems, count, MetalInteraction, SlagInteraction, lnMetalFirst);
    }
    for (int i = 0; i <= last; ++i)
        El(i).LnGammaInf = 1.0L - MetalInteraction[0][Idx(i)] - lnMetalFirst[Idx(i)];

    const int carbon = Elems->Key(keyC);
    for (int i = 0; i <= last; ++i) {
        TElementRecord& e = El(i);
        if (Settings.SlagModel == 0)
            e.SlagStdTerm = e.SlagB1 + e.SlagA1 / T;
        else
            e.SlagStdTerm = e.SlagB2 + e.SlagA2 / T;

        const bool referred = !e.DirectStandard || i == carbon;
        const long double percentScale =
            referred ? InteractionTables.KeptLog(i, 100.0L * e.MolarMass / IronMolarMass) : 0.0L;
        if (e.DirectStandard) {
            e.MetalStdTerm = e.MetalS + e.MetalH / T;
        } else {
            const int g = e.GasLinks[1];
            const long double halfFormation =
                (g >= 1 && g <= ActiveGasCount) ? 0.5L * SpeciesFormation[g] : 0.0L;
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
        ElementGasTerms[Idx(i)] = e.MetalMoleFraction * ExpL(t);
        e.LnActivity = InteractionTables.KeptFractionLog(i, e.MetalMoleFraction) + t;
    }
    long double pressureSum = 0;
    for (int s = 1; s <= ActiveGasCount; ++s) {
        const TGasSpeciesRecord& sp = ActiveGases[s];
        long double p;
        if (sp.Atoms > 1) {
            long double t = -SpeciesFormation[s];
            for (int k = 0; k < sp.Count && k < 4; ++k) {
                const TGasSpeciesPart& part = sp.Parts[Idx(k)];
                if (part.Elem >= 0)
                    t += part.Nu * El(part.Elem).LnActivity;
            }
            ClampAbs(t, 300.0L);
            p = ExpL(t);
        } else {
            const int el = sp.Parts[0].Elem;
            p = el >= 0 ? ElementGasTerms[Idx(el)] : 0.0L;
        }
        SpeciesPressures[s] = p;
        pressureSum += p;
    }
    GasPressureSum = pressureSum;
}

void TThSys::CalcMoleFractions()
{
    const int last = LastElement();
    const long double total = TotalMoles + AmountFloor, metal = MetalMoles + AmountFloor,
                      slag = SlagMoles + AmountFloor, nmi = NmiMoles + AmountFloor, gas = GasMoles + AmountFloor;
    for (int i = 0; i <= last; ++i) {
        TElementRecord& e = El(i);
        e.MoleFraction = e.Amount / total;
        e.MetalMoleFraction = e.MetalAmount / metal;
        e.SlagMoleFraction = e.SlagAmount / slag;
        e.NmiMoleFraction = e.NmiAmount / nmi;
        e.GasMoleFraction = e.GasAmount / gas;
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

// sums[i] = Σ_j term(i, j) over j = 0..last, each sum in the order of j.
// Four rows at a time: each sum is a chain of additions, and the x87 unit's
// long latency leaves it idle unless several independent chains run.
template <typename Term>
void RowChains(int last, std::array<long double, MaxElements>& sums, Term term)
{
    int i = 0;
    for (; i + 3 <= last; i += 4) {
        long double s0 = 0, s1 = 0, s2 = 0, s3 = 0;
        for (int j = 0; j <= last; ++j) {
            s0 += term(i, j);
            s1 += term(i + 1, j);
            s2 += term(i + 2, j);
            s3 += term(i + 3, j);
        }
        sums[Idx(i)] = s0;
        sums[Idx(i + 1)] = s1;
        sums[Idx(i + 2)] = s2;
        sums[Idx(i + 3)] = s3;
    }
    for (; i <= last; ++i) {
        long double s = 0;
        for (int j = 0; j <= last; ++j)
            s += term(i, j);
        sums[Idx(i)] = s;
    }
}

// sums[i] = Σ_j m[i][j]·x[j].
void RowSums(const TInteractionTable& m, const std::array<long double, MaxElements>& x, int last,
             std::array<long double, MaxElements>& sums)
{
    RowChains(last, sums, [&](int i, int j) { return m[Idx(i)][Idx(j)] * x[Idx(j)]; });
}

// sums[i] = Σ_j x[j]·m[i][j]·w[j].
void WeightedRowSums(const TInteractionTable& m, const std::array<long double, MaxElements>& x,
                     const std::array<long double, MaxElements>& w, int last,
                     std::array<long double, MaxElements>& sums)
{
    RowChains(last, sums, [&](int i, int j) { return x[Idx(j)] * m[Idx(i)][Idx(j)] * w[Idx(j)]; });
}

// ln γ in the metal by the chosen model for the mole fractions x (element
// field selected by the caller); written into LnGammaMetal.
void MetalActivity(TThSys& sys, uint8_t model)
{
    const int last = LastElement();
    // The fractions are gathered first: the element records are large, and
    // the sums below read each fraction many times.
    std::array<long double, MaxElements> x{};
    for (int j = 0; j <= last; ++j)
        x[Idx(j)] = sys.El(j).MetalMoleFraction;
    if (model == 0) {
        const TInteractionTable& m = sys.MetalInteraction;
        std::array<long double, MaxElements> w{}, sums{};
        RowSums(m, x, last, sums);
        for (int i = 0; i <= last; ++i)
            w[Idx(i)] = 1.0L / (AmountFloor + sums[Idx(i)]);
        // The table is symmetric: row i holds column i.
        WeightedRowSums(m, x, w, last, sums);
        for (int i = 0; i <= last; ++i)
            sys.El(i).LnGammaMetal = LogL(w[Idx(i)]) + 1.0L - sums[Idx(i)];
    } else if (model == 1) {
        std::array<long double, MaxElements> row{};
        long double q = 0;
        for (int i = 0; i <= last; ++i) {
            const std::size_t di = sys.El(i).Index;
            long double s = 0;
            for (int j = 0; j <= last; ++j)
                s += x[Idx(j)] * static_cast<long double>(WagnerMatrix[di][sys.El(j).Index]);
            row[Idx(i)] = s;
            q += x[Idx(i)] * s;
        }
        for (int i = 0; i <= last; ++i)
            sys.El(i).LnGammaMetal = sys.El(i).LnGammaInf + row[Idx(i)] - q / 2.0L;
    }
}

// ln γ of an oxide phase (slag or inclusions) by the slag model; x and the
// result are the fields the accessors name.
template <typename GetX, typename SetLn>
void OxideActivity(TThSys& sys, uint8_t model, GetX getX, SetLn setLn)
{
    if (model != 0 && model != 1)
        return;
    const int last = LastElement();
    const TInteractionTable& m = sys.SlagInteraction;
    std::array<long double, MaxElements> x{}, z{};
    for (int j = 0; j <= last; ++j) {
        x[Idx(j)] = getX(sys.El(j));
        z[Idx(j)] = sys.El(j).Valence;
    }
    std::array<long double, MaxElements> v{}, sums{};
    RowSums(m, x, last, sums);
    for (int i = 0; i <= last; ++i)
        v[Idx(i)] = 1.0L / (AmountFloor + sums[Idx(i)]);
    if (model == 0) {
        WeightedRowSums(m, x, v, last, sums);
        for (int i = 0; i <= last; ++i)
            setLn(sys.El(i), LogL(v[Idx(i)]) + 1.0L - sums[Idx(i)]);
        return;
    }
    for (int i = 0; i <= last; ++i) {
        long double s = 0;
        for (int j = 0; j <= last; ++j)
            s += x[Idx(j)] * z[Idx(j)] * (1.0L - m[Idx(i)][Idx(j)] * v[Idx(j)]);
        setLn(sys.El(i), z[Idx(i)] * LogL(v[Idx(i)]) + s);
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
    CalcMoleFractions();
    GasEquilibriumAtFractions();
}

void TThSys::GasEquilibriumAtFractions()
{
    const int last = LastElement();
    CalcStandardGibbs();
    CalcMetalActivity();
    CalcGasActivities();

    // Scale the activities so that the partial pressures add up to the total
    // pressure.
    const long double P = TotalPressure;
    long double y = std::sqrt(P / GasPressureSum);
    // f(y) = sum_s p_s y^n_s - P depends on the species only through the sum
    // of the p_s of each atom count n: those sums are formed once, and each
    // iteration goes over the few counts present instead of every species.
    // Counts beyond KeptPowers (or below 0) stay single terms.
    constexpr int32_t KeptPowers = 16;
    // Each sum is formed in a register over the species of its count, in
    // the species' order: an extended value added to in memory waits for
    // its own store every time.
    std::array<long double, KeptPowers + 1> byAtoms{};
    std::array<bool, KeptPowers + 1> present{};
    // Only the first `odd` entries are ever read: left uninitialised.
    std::array<long double, MaxGasSpecies + 1> oddPressure;
    std::array<int32_t, MaxGasSpecies + 1> oddAtoms;
    std::array<int32_t, MaxGasSpecies> bySpeciesCount;
    std::array<int32_t, KeptPowers + 2> countStart{};
    std::size_t odd = 0;
    int32_t maxAtoms = 0;
    for (int s = 1; s <= ActiveGasCount; ++s) {
        const int32_t atoms = ActiveGases[s].Atoms;
        if (atoms >= 0 && atoms <= KeptPowers) {
            ++countStart[Idx(atoms) + 1];
            present[Idx(atoms)] = true;
            maxAtoms = std::max(maxAtoms, atoms);
        } else {
            oddPressure[odd] = SpeciesPressures[s];
            oddAtoms[odd] = atoms;
            ++odd;
        }
    }
    for (std::size_t n = 1; n < countStart.size(); ++n)
        countStart[n] += countStart[n - 1];
    {
        std::array<int32_t, KeptPowers + 2> fill = countStart;
        for (int s = 1; s <= ActiveGasCount; ++s) {
            const int32_t atoms = ActiveGases[s].Atoms;
            if (atoms >= 0 && atoms <= KeptPowers)
                bySpeciesCount[Idx(fill[Idx(atoms)]++)] = s;
        }
    }
    for (int32_t n = 0; n <= maxAtoms; ++n) {
        long double sum = 0;
        for (int32_t k = countStart[Idx(n)]; k < countStart[Idx(n) + 1]; ++k)
            sum += SpeciesPressures[bySpeciesCount[Idx(k)]];
        byAtoms[Idx(n)] = sum;
    }
    for (int it = 0; it < 21; ++it) {
        // f and y f'(y) = sum_n n A_n y^n.
        long double f = -P, ydf = 0, power = 1.0L;
        for (int32_t n = 0; n <= maxAtoms; ++n) {
            if (present[Idx(n)]) {
                const long double term = byAtoms[Idx(n)] * power;
                f += term;
                ydf += term * static_cast<long double>(n);
            }
            power *= y;
        }
        for (std::size_t k = 0; k < odd; ++k) {
            const long double term = oddPressure[k] * IntPower(y, oddAtoms[k]);
            f += term;
            ydf += term * static_cast<long double>(oddAtoms[k]);
        }
        const long double step = y * f / ydf;
        y -= step;
        if (std::fabs(step) < 1e-10L)
            break;
    }
    if (!(y >= DivisorFloor))
        y = DivisorFloor;
    PressureScale = y;

    // The sums are kept in a compact array while the species add to them:
    // the element records are large, and an extended value stored and
    // loaded again at once stalls the x87 unit.
    // Each element's sum is then formed in a register over the parts that
    // name it, in the species' order.
    struct TPartRef {
        int32_t Species, Nu;
    };
    std::array<TPartRef, 4 * MaxGasSpecies> parts;
    std::array<int32_t, MaxElements + 1> partStart{};
    // y^n by the same products IntPower forms, once for every species.
    std::array<long double, KeptPowers + 1> powers;
    powers[0] = 1.0L;
    for (int32_t n = 1; n <= maxAtoms; ++n)
        powers[Idx(n)] = powers[Idx(n - 1)] * y;
    for (int s = 1; s <= ActiveGasCount; ++s) {
        const TGasSpeciesRecord& sp = ActiveGases[s];
        SpeciesPressures[s] *= sp.Atoms >= 0 && sp.Atoms <= KeptPowers ? powers[Idx(sp.Atoms)] : IntPower(y, sp.Atoms);
        for (int k = 0; k < sp.Count && k < 4; ++k) {
            const TGasSpeciesPart& part = sp.Parts[Idx(k)];
            if (part.Elem >= 0 && part.Elem <= last)
                ++partStart[Idx(part.Elem) + 1];
        }
    }
    for (int i = 1; i <= last + 1; ++i)
        partStart[Idx(i)] += partStart[Idx(i - 1)];
    {
        std::array<int32_t, MaxElements + 1> fill = partStart;
        for (int s = 1; s <= ActiveGasCount; ++s) {
            const TGasSpeciesRecord& sp = ActiveGases[s];
            for (int k = 0; k < sp.Count && k < 4; ++k) {
                const TGasSpeciesPart& part = sp.Parts[Idx(k)];
                if (part.Elem >= 0 && part.Elem <= last)
                    parts[Idx(fill[Idx(part.Elem)]++)] = {s, part.Nu};
                else if (part.Elem > last)
                    El(part.Elem).GasAmountTerm += part.Nu * SpeciesPressures[s];
            }
        }
    }
    long double elementSum = 0;
    for (int i = 0; i <= last; ++i) {
        long double term = AmountFloor;
        for (int32_t k = partStart[Idx(i)]; k < partStart[Idx(i) + 1]; ++k)
            term += parts[Idx(k)].Nu * SpeciesPressures[parts[Idx(k)].Species];
        El(i).GasAmountTerm = term;
        elementSum += term;
    }
    GasElementSum = elementSum;

    CalcSlagActivity();

    for (int i = 0; i <= last; ++i) {
        TElementRecord& e = El(i);
        e.KMS = e.LnGammaMetal + e.SlagStdTerm - e.LnGammaSlag;
        e.GasTerm = LogL(GasElementSum * y * ElementGasTerms[Idx(i)] / e.GasAmountTerm);
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
    const long double potential = SlagPotential;
    const int last = LastElement();
    // Summed in locals: the stores into the element records would otherwise
    // make the compiler store and reload the sums each time.
    long double metal = 0, slag = 0, gas = 0;
    for (int i = 0; i <= last; ++i) {
        TElementRecord& e = El(i);
        const long double potMetal = RT * e.LnGammaMetal;
        const long double potSlag = RT * (potential * e.Valence + e.LnGammaSlag - e.SlagStdTerm);
        const long double potGas = RT * (e.GasTerm - e.MetalStdTerm);
        e.PotMetal = potMetal;
        e.PotSlag = potSlag;
        e.PotGas = potGas;
        metal += e.MetalAmount * potMetal;
        slag += e.SlagAmount * potSlag;
        gas += e.GasAmount * potGas;
    }
    sums[phMetal] = metal;
    sums[phSlag] = slag;
    sums[phGas] = gas;
    sums[phTotal] = metal + slag + gas;
}

void TThSys::HeatBalance(THeatBlock& result, bool useSetting, bool force)
{
    const long double T0 = Temperature;
    const long double d = HeatDelta;
    const int last = LastElement();
    std::array<long double, MaxElements> uMetal{}, uSlag{}, uGas{}, lnGammaMinus{};
    std::array<long double, 4> gMinus{}, gPlus{};
    // An element whose ln gamma in the metal is the same at all three
    // temperatures (metal pair terms held at their 1600 °C values) has no
    // mixing enthalpy there; the difference formula would leave it only the
    // rounding of R T ln gamma, shown as a number of its own.
    std::array<bool, MaxElements> athermal{};

    // The amounts stay as they are through the three evaluations: so do
    // their mole fractions.
    CalcMoleFractions();
    Temperature = T0 - d;
    GasEquilibriumAtFractions();
    SumPhaseEnthalpies(gMinus);
    for (int i = 0; i <= last; ++i) {
        uMetal[Idx(i)] = El(i).PotMetal;
        uSlag[Idx(i)] = El(i).PotSlag;
        uGas[Idx(i)] = El(i).PotGas;
        lnGammaMinus[Idx(i)] = El(i).LnGammaMetal;
    }

    Temperature = T0 + d;
    GasEquilibriumAtFractions();
    SumPhaseEnthalpies(gPlus);
    for (int i = 0; i <= last; ++i) {
        uMetal[Idx(i)] -= El(i).PotMetal;
        uSlag[Idx(i)] -= El(i).PotSlag;
        uGas[Idx(i)] -= El(i).PotGas;
        athermal[Idx(i)] = El(i).LnGammaMetal == lnGammaMinus[Idx(i)];
    }

    Temperature = T0;
    GasEquilibriumAtFractions();
    SumPhaseEnthalpies(result.G);
    bool metalAthermal = true;
    for (int i = 0; i <= last; ++i) {
        athermal[Idx(i)] = athermal[Idx(i)] && El(i).LnGammaMetal == lnGammaMinus[Idx(i)];
        metalAthermal = metalAthermal && athermal[Idx(i)];
    }

    const long double T = T0;
    for (int p = phMetal; p <= phTotal; ++p)
        result.S[Idx(p)] = (gMinus[Idx(p)] - gPlus[Idx(p)]) / (2.0L * d);
    for (int p = phMetal; p <= phGas; ++p)
        result.H[Idx(p)] = result.G[Idx(p)] + T * result.S[Idx(p)];
    if (metalAthermal)
        result.H[phMetal] = 0;
    result.H[phTotal] = result.H[phMetal] + result.H[phSlag] + result.H[phGas];

    for (int i = 0; i <= last; ++i) {
        TElementRecord& e = El(i);
        e.HMetal = athermal[Idx(i)] ? 0.0L : e.PotMetal + T * uMetal[Idx(i)] / (2.0L * d);
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
