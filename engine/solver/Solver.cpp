// The equilibrium of one system: how each element divides between metal,
// slag and gas (and the temperature when the heat balance is on), searched
// on the slag potential and the two ln phase ratios by Newton iterations
// with a damped fixed-point fallback. After the solve the computed phases
// become the three pseudo-materials and the sensitivities of the phases to
// every material and element go into the effect tables.

#include "ExtendedMath.h"
#include "Host.h"
#include "Settings.h"
#include "TaskList.h"
#include "ThSys.h"
#include "Utils.h"

#include <array>
#include <cmath>

namespace ferrolyt {

namespace {

constexpr int SolverPassLimit = 101;
constexpr int NewtonIterationLimit = 101;
constexpr int ChainIterationLimit = 101;
constexpr int PotentialStepLimit = 21;
constexpr long double SmallDeterminant = 1e-12L;
constexpr long double SingularDeterminant = 1e-20L;
constexpr long double MinTemperature = 293.15L;
constexpr long double MaxTemperature = 5000.0L;

using TMatrix4 = std::array<std::array<long double, 4>, 4>;

// Determinant of the square sub-matrix of m on the rows and columns idx.
template <std::size_t N>
long double SubDeterminant(const TMatrix4& m, const std::array<int, N>& idx)
{
    auto at = [&](std::size_t r, std::size_t c) {
        return m[static_cast<std::size_t>(idx[r])][static_cast<std::size_t>(idx[c])];
    };
    if constexpr (N == 1) {
        return at(0, 0);
    } else if constexpr (N == 2) {
        return at(0, 0) * at(1, 1) - at(0, 1) * at(1, 0);
    } else if constexpr (N == 3) {
        return at(0, 0) * (at(1, 1) * at(2, 2) - at(1, 2) * at(2, 1))
            - at(0, 1) * (at(1, 0) * at(2, 2) - at(1, 2) * at(2, 0))
            + at(0, 2) * (at(1, 0) * at(2, 1) - at(1, 1) * at(2, 0));
    } else {
        static_assert(N == 4);
        long double det = 0;
        long double sign = 1;
        for (std::size_t c = 0; c < 4; ++c) {
            std::array<int, 3> rows{idx[1], idx[2], idx[3]};
            std::array<int, 3> cols{};
            std::size_t k = 0;
            for (std::size_t cc = 0; cc < 4; ++cc)
                if (cc != c)
                    cols[k++] = idx[cc];
            // 3 × 3 minor on distinct row and column sets.
            auto mm = [&](std::size_t r, std::size_t cl) {
                return m[static_cast<std::size_t>(rows[r])][static_cast<std::size_t>(cols[cl])];
            };
            const long double minor = mm(0, 0) * (mm(1, 1) * mm(2, 2) - mm(1, 2) * mm(2, 1))
                - mm(0, 1) * (mm(1, 0) * mm(2, 2) - mm(1, 2) * mm(2, 0))
                + mm(0, 2) * (mm(1, 0) * mm(2, 1) - mm(1, 1) * mm(2, 0));
            det += sign * at(0, c) * minor;
            sign = -sign;
        }
        return det;
    }
}

// Solves m Δ = -r on the rows and columns idx by Cramer's rule with the
// determinant floored as 1e-100 + det; writes the steps of those variables
// into steps and returns the floored determinant.
template <std::size_t N>
long double CramerSolve(const TMatrix4& m, const std::array<long double, 4>& r, const std::array<int, N>& idx,
                        std::array<long double, 4>& steps)
{
    const long double d = DivisorFloor + SubDeterminant(m, idx);
    for (std::size_t k = 0; k < N; ++k) {
        TMatrix4 mk = m;
        for (std::size_t row = 0; row < N; ++row)
            mk[static_cast<std::size_t>(idx[row])][static_cast<std::size_t>(idx[k])] =
                -r[static_cast<std::size_t>(idx[row])];
        steps[static_cast<std::size_t>(idx[k])] = SubDeterminant(mk, idx) / d;
    }
    return d;
}

const TTaskRecord& CurrentTaskRecord()
{
    return TaskList.Items[static_cast<std::size_t>(TaskList.Current + 1)];
}

long double ClampedExp(long double x, long double limit)
{
    ClampAbs(x, limit);
    return ExpL(x);
}

// The properties an iteration of the potentials needs. While the heat
// balance does not move the temperature, its evaluations at T ± δ only feed
// the heat block, and the solve ends with a heat balance of its own before
// anything reads that block: the properties at T are enough then.
void RefreshProperties(TThSys& sys)
{
    if (Settings.FinalTempMode != 0) {
        sys.HeatBalance(sys.Heat, true, false);
        return;
    }
    sys.CalcGasEquilibrium();
    std::array<long double, 4> sums{};
    sys.SumPhaseEnthalpies(sums);
}

// The solve spreads each element's whole amount over metal, slag and gas,
// the inclusions of the input among it. They are held apart again, each
// phase giving up its share, so that they are reported and counted once;
// the phases then hold the rest of the element whatever they held before.
void HoldInputInclusionsApart(TThSys& sys)
{
    sys.MetalMoles = sys.SlagMoles = sys.GasMoles = sys.NmiMoles = 0;
    for (int i = 0; i <= SystemElemLast; ++i) {
        TElementRecord& e = sys.El(i);
        const long double bulk = e.MetalAmount + e.SlagAmount + e.GasAmount;
        if (e.NmiAmount > AmountFloor && e.Amount > e.NmiAmount && bulk > 0) {
            const long double f = (e.Amount - e.NmiAmount) / bulk;
            e.MetalAmount = std::max(AmountFloor, e.MetalAmount * f);
            e.SlagAmount = std::max(AmountFloor, e.SlagAmount * f);
            e.GasAmount = std::max(AmountFloor, e.GasAmount * f);
        }
        sys.MetalMoles += e.MetalAmount;
        sys.SlagMoles += e.SlagAmount;
        sys.GasMoles += e.GasAmount;
        sys.NmiMoles += e.NmiAmount;
    }
}

} // namespace

void TThSys::HeatDerivatives()
{
    BuildNewtonMatrix();
    const long double rt2 = GasConstant * Temperature * Temperature;
    long double sumCharge = 0, sumSlag = 0, sumGas = 0;
    for (int i = 0; i <= SystemElemLast; ++i) {
        TElementRecord& e = El(i);
        const long double n = e.Amount;
        e.HMean = (e.HGas * e.GasAmount + e.HSlag * e.SlagAmount + e.HMetal * e.MetalAmount) / n;
        sumCharge += e.Valence * e.SlagAmount * (e.HMean - e.HSlag);
        sumSlag += e.SlagAmount * (e.HMean - e.HSlag);
        sumGas += e.GasAmount * (e.HMean - e.HGas);
        e.HTerm = e.HMean + e.LiquidEnthalpy[0] + e.LiquidEnthalpy[1] * Temperature;
    }
    // The potential rows see the temperature through ln K = -H/RT; the heat
    // row sees the potentials through the enthalpy the moved amounts carry.
    TempCoupling[0] = sumCharge / rt2;
    TempCoupling[1] = sumSlag / rt2;
    TempCoupling[2] = sumGas / rt2;
    TempCoupling[3] = Heat.Cp[phTotal] + HeatCapB;
    TempCoupling[4] = sumCharge;
    TempCoupling[5] = sumSlag;
    TempCoupling[6] = sumGas;
}

bool TThSys::SolveNewtonStepWithT(long double r1, long double r2, long double r3, long double r4)
{
    const auto& a = NewtonMatrix;
    const TMatrix4 m{{
        {a[0], a[1], a[2], TempCoupling[0]},
        {a[1], a[3], a[4], TempCoupling[1]},
        {a[2], a[4], a[5], TempCoupling[2]},
        {TempCoupling[4], TempCoupling[5], TempCoupling[6], TempCoupling[3]},
    }};
    const std::array<long double, 4> r{r1, r2, r3, r4};
    Steps = {0, 0, 0, 0};

    GasPresent = LnMetalGas <= 30;
    SlagPresent = LnMetalSlag <= 30;
    long double d = 0;
    bool temperatureOnly = false;
    if (SlagPresent && GasPresent) {
        d = DivisorFloor + SubDeterminant(m, std::array<int, 4>{0, 1, 2, 3});
        if (std::fabs(d) < SmallDeterminant && GasPressureSum < TotalPressure - PresenceThreshold)
            GasPresent = false;
    }
    if (SlagPresent && GasPresent) {
        d = CramerSolve(m, r, std::array<int, 4>{0, 1, 2, 3}, Steps);
    } else if (SlagPresent) {
        ClampRange(LnMetalGas, 0, 30);
        d = DivisorFloor + SubDeterminant(m, std::array<int, 3>{0, 1, 3});
        if (std::fabs(d) >= SmallDeterminant) {
            d = CramerSolve(m, r, std::array<int, 3>{0, 1, 3}, Steps);
        } else {
            d = DivisorFloor + SubDeterminant(m, std::array<int, 2>{0, 3});
            if (std::fabs(d) >= SmallDeterminant)
                d = CramerSolve(m, r, std::array<int, 2>{0, 3}, Steps);
            else
                temperatureOnly = true;
        }
    } else if (GasPresent) {
        d = DivisorFloor + SubDeterminant(m, std::array<int, 2>{2, 3});
        if (std::fabs(d) >= SmallDeterminant) {
            d = CramerSolve(m, r, std::array<int, 2>{2, 3}, Steps);
        } else {
            GasPresent = false;
            temperatureOnly = true;
        }
    } else {
        temperatureOnly = true;
    }
    if (temperatureOnly) {
        Steps = {0, 0, 0, 0};
        d = DivisorFloor + TempCoupling[3];
        Steps[3] = -r4 / d;
    }
    return std::fabs(d) > SingularDeterminant;
}

bool TThSys::SolveNewtonPotentials()
{
    int iter = 0;
    bool converged = false;
    while (iter < NewtonIterationLimit && !converged) {
        ++iter;
        RefreshProperties(*this);
        BuildNewtonMatrix();
        const long double n = TotalMoles;
        const long double rSlag = n / (ExpL(LnMetalSlag) * (ExpL(-LnMetalGas) + 1) + 1) - SlagMoles;
        const long double rGas = n / (ExpL(LnMetalGas) * (ExpL(-LnMetalSlag) + 1) + 1) - GasMoles;
        if (!SolveNewtonStep(ChargeResidual, rSlag, rGas))
            return false;
        for (int k = 0; k < 3; ++k)
            ClampAbs(Steps[static_cast<std::size_t>(k)], 1);
        SlagPotential += Steps[0];
        LnMetalSlag += Steps[1];
        LnMetalGas += Steps[2];
        converged = Steps[0] * Steps[0] + Steps[1] * Steps[1] + Steps[2] * Steps[2] < 1e-20L;
    }
    return converged && iter < NewtonIterationLimit;
}

bool TThSys::SolveNewtonWithTemperature()
{
    int iter = 0;
    bool converged = false;
    while (iter < NewtonIterationLimit && !converged) {
        ++iter;
        HeatBalance(Heat, true, false);
        HeatDerivatives();
        const long double n = TotalMoles;
        const long double rSlag = n / (ExpL(LnMetalSlag) * (ExpL(-LnMetalGas) + 1) + 1) - SlagMoles;
        const long double rGas = n / (ExpL(LnMetalGas) * (ExpL(-LnMetalSlag) + 1) + 1) - GasMoles;
        const long double rHeat = Heat.H[phTotal] + HeatCapA + Temperature * HeatCapB - HeatInput;
        if (!SolveNewtonStepWithT(ChargeResidual, rSlag, rGas, rHeat))
            return false;
        for (int k = 0; k < 3; ++k)
            ClampAbs(Steps[static_cast<std::size_t>(k)], 1);
        ClampAbs(Steps[3], 0.01L * Temperature);
        SlagPotential += Steps[0];
        LnMetalSlag += Steps[1];
        LnMetalGas += Steps[2];
        const long double relT = Steps[3] / Temperature;
        Temperature += 0.5L * Steps[3];
        ClampRange(Temperature, MinTemperature, MaxTemperature);
        converged = Steps[0] * Steps[0] + Steps[1] * Steps[1] + Steps[2] * Steps[2] + relT * relT < 1e-20L;
    }
    return converged && iter < NewtonIterationLimit;
}

void TThSys::SolveOnePotential()
{
    const bool better = Settings.BetterConvergence;
    const long double newShare = better ? 0.2L : 1.0L / 3.0L;
    const long double oldShare = better ? 0.8L : 2.0L / 3.0L;
    for (int iter = 0; iter < ChainIterationLimit; ++iter) {
        RefreshProperties(*this);
        DistributePhases();
        const long double a = LogL(MetalMoles / SlagMoles);
        const long double g = LogL(MetalMoles / GasMoles);
        const long double slagRatioStep = a - LnMetalSlag;
        const long double gasRatioStep = g - LnMetalGas;
        LnMetalSlag = a * newShare + oldShare * LnMetalSlag;
        LnMetalGas = g * newShare + oldShare * LnMetalGas;
        for (int i = 0; i <= SystemElemLast; ++i) {
            TElementRecord& e = El(i);
            e.GasFactor = 1 + ClampedExp(e.KMG - LnMetalGas, 300);
        }

        const long double psi0 = SlagPotential;
        long double psi = psi0;
        for (int k = 0; k < PotentialStepLimit; ++k) {
            long double f = 0.001L * SlagCharge;
            long double df = 0;
            for (int i = 0; i <= SystemElemLast; ++i) {
                const TElementRecord& e = El(i);
                const long double w = 1 / (e.GasFactor * ClampedExp(psi * e.Valence + LnMetalSlag - e.KMS, 300) + 1);
                f += w * e.Valence * e.Amount;
                df += (1 - w) * e.Valence * w * e.Valence * e.Amount;
            }
            long double step = f / (DivisorFloor + df);
            ClampAbs(step, 1);
            psi += step;
            if (std::fabs(step) < 1e-6L)
                break;
        }
        SlagPotential = psi * newShare + oldShare * psi0;
        const long double psiChange = SlagPotential - psi0;
        if (psiChange * psiChange + slagRatioStep * slagRatioStep + gasRatioStep * gasRatioStep < 1e-20L)
            break;
    }
}

bool TThSys::SolveEquilibrium(TCompositionTable& matEffMetal, TCompositionTable& matEffSlag,
                              TCompositionTable& composition, TElementEffectTable& elemEffMetal,
                              TElementEffectTable& elemEffSlag, bool display, bool quick, bool fromGivenPhases,
                              bool withPseudoMaterials, TSolveNotes* beside)
{
    // Set for the solve only: a later solve of this system may run alone.
    struct TBeside {
        TSolveNotes*& Kept;
        TBeside(TSolveNotes*& kept, TSolveNotes* notes) : Kept(kept) { Kept = notes; }
        TBeside(const TBeside&) = delete;
        TBeside& operator=(const TBeside&) = delete;
        ~TBeside() { Kept = nullptr; }
    } const besideForTheSolve(beside_, beside);
    if (beside) {
        const TSolveNotes given = *beside;
        *beside = {};
        beside->Stop = given.Stop;
        beside->OnCallersThread = given.OnCallersThread;
    }
    const TTaskRecord& task = CurrentTaskRecord();
    const std::size_t kind = Kind == 1 ? 1 : 0;
    const int lastSlot = MaterialCount + (withPseudoMaterials ? 3 : 0);

    // 1. Heat inputs and the slag's charge.
    if (quick || withPseudoMaterials)
        InitAmounts();
    HeatInputs = BaseHeatInputs;
    SlagCharge = IsUnset(task.Charge) ? 0 : task.Charge;
    for (int j = 1; j <= lastSlot; ++j) {
        const TMaterialRecord& mat = MaterialTable[j];
        if (!(mat.Amount > PresenceThreshold))
            continue;
        HeatInputs[0] += mat.HeatA[kind] * mat.Amount;
        HeatInputs[1] += mat.HeatB[kind] * mat.Amount;
        if (mat.Type == mtChargeCarrier)
            SlagCharge += mat.Amount * mat.ChargeSign[kind];
    }
    HeatInput = HeatInputs[0] + HeatInputs[1];

    // 2. Reset.
    MetalMoles = SlagMoles = NmiMoles = GasMoles = TotalMoles = 0;
    TotalMass = 0;
    HeatCapA = HeatCapB = 0;
    HeatSums.fill(0);

    // 3. Element amounts of the charge.
    for (int i = 0; i <= SystemElemLast; ++i) {
        TElementRecord& e = El(i);
        const long double molar = e.MolarMass;
        if (!fromGivenPhases) {
            long double metalSum = 0, slagSum = 0, gasSum = 0;
            for (int j = 1; j <= lastSlot; ++j) {
                const TMaterialRecord& mat = MaterialTable[j];
                const long double m = mat.Amount;
                if (!(m > PresenceThreshold) || mat.Type < mtMetal)
                    continue;
                const long double c = composition[static_cast<std::size_t>(i + 1)][j];
                long double part;
                if (MatsInKmoles)
                    part = AmountFloor + 0.001L * m * (c / molar) / composition[0][j];
                else
                    part = AmountFloor + m * c / molar;
                if (mat.Type == mtSlag)
                    slagSum += part;
                else if (mat.Type == mtGas)
                    gasSum += part;
                else
                    metalSum += part;
            }
            e.MetalAmount = std::max(metalSum + e.InputMetalMass / molar, AmountFloor);
            e.SlagAmount = std::max(slagSum + e.InputSlagMass / molar, AmountFloor);
            e.GasAmount = std::max(gasSum, AmountFloor);
            e.NmiAmount = std::max(e.InputNmiMass / molar, AmountFloor);
        } else {
            e.MetalAmount = std::max(e.GivenMetalMass / molar, AmountFloor);
            e.SlagAmount = std::max(e.GivenSlagMass / molar, AmountFloor);
            e.NmiAmount = AmountFloor;
            e.GasAmount = AmountFloor;
        }
        e.Amount = e.MetalAmount + e.SlagAmount + e.GasAmount + e.NmiAmount;
        e.ChargeTerm = e.Valence * e.Amount;
        e.TotalMass = molar * e.Amount;
        TotalMass += e.TotalMass;
        MetalMoles += e.MetalAmount;
        SlagMoles += e.SlagAmount;
        GasMoles += e.GasAmount;
        NmiMoles += e.NmiAmount;
        const long double a = e.LiquidEnthalpy[0];
        const long double b = e.LiquidEnthalpy[1];
        HeatSums[phMetal] += b * e.MetalAmount;
        HeatSums[phSlag] += b * e.SlagAmount;
        HeatSums[phGas] += b * e.GasAmount;
        HeatSums[phTotal] += b * e.Amount;
        HeatCapA += a * e.Amount;
        HeatCapB += b * e.Amount;
    }

    // 4. Energy of the task, system totals and fractions.
    if (!IsUnset(task.Energy))
        HeatInput += task.Energy;
    if (!IsUnset(task.Losses))
        HeatInput -= task.Losses;
    TotalMoles = NmiMoles + GasMoles + SlagMoles + MetalMoles;
    for (int i = 0; i <= SystemElemLast; ++i) {
        TElementRecord& e = El(i);
        e.MoleFraction = e.Amount / (DivisorFloor + TotalMoles);
        e.SystemFraction = e.TotalMass / (DivisorFloor + TotalMass);
    }

    // 5. Starting values. Later optimiser passes start from the previous
    // pass's solution, which is close to the answer.
    if (SlpPass == 0 || !std::isfinite(LnMetalGas) || !std::isfinite(SlagPotential)) {
        LnMetalGas = 10.1L;
        SlagPotential = 5.0L;
    }
    if (SlpPass == 0) {
        if (SlagMoles <= PresenceThreshold) {
            for (int i = 0; i <= SystemElemLast; ++i) {
                TElementRecord& e = El(i);
                e.KMS = e.LnGammaInf + e.SlagStdTerm;
            }
            CalcGasEquilibrium();
            long double anions = 0;
            for (int i = 0; i <= SystemElemLast; ++i)
                if (El(i).Valence < 0)
                    anions += El(i).Amount;
            if (anions <= 0)
                LnMetalSlag = 31.0L;
            else
                LnMetalSlag = LogL(std::max(0.5L * TotalMoles / anions - 1, DivisorFloor));
            if (LnMetalSlag >= 31)
                EquilibrateSlagWithMetal(true, false);
            ClampRange(LnMetalSlag, -5, 5);
        } else {
            LnMetalSlag = LogL(MetalMoles / SlagMoles);
            CalcGasEquilibrium();
            SlagPotential = EstimatePotential();
            if (LnMetalSlag < -5)
                EquilibrateMetalWithSlag(true, false);
        }
    }

    // 6. Tolerance.
    long double eps;
    if (quick) {
        eps = 1e-4L;
        if (Settings.ConsumptionMode == 0)
            LnMetalGas = 20.1L;
    } else {
        eps = CalcBusy ? 1e-6L : 1e-9L;
    }
    GasPressureSum = TotalPressure;
    // The run state counts the passes of a solve that runs alone as it goes.
    int32_t passes = 0;
    if (!beside)
        SolverPass = passes;

    // 7. Outer loop.
    const uint8_t tempMode = Settings.FinalTempMode;
    bool lastNewtonOk = false;
    for (;;) {
        const long double xOld = GasPressureSum;
        if (tempMode == 0 && Settings.BetterConvergence) {
            SolveOnePotential();
            lastNewtonOk = false;
        } else {
            const long double savedSlag = LnMetalSlag, savedGas = LnMetalGas, savedPsi = SlagPotential,
                              savedT = Temperature;
            std::array<long double, MaxElements> savedKMS{}, savedKMG{};
            for (int i = 0; i <= SystemElemLast; ++i) {
                savedKMS[static_cast<std::size_t>(i)] = El(i).KMS;
                savedKMG[static_cast<std::size_t>(i)] = El(i).KMG;
            }
            lastNewtonOk = tempMode == 1 ? SolveNewtonWithTemperature() : SolveNewtonPotentials();
            if (!lastNewtonOk) {
                LnMetalSlag = savedSlag;
                LnMetalGas = savedGas;
                SlagPotential = savedPsi;
                Temperature = savedT;
                for (int i = 0; i <= SystemElemLast; ++i) {
                    El(i).KMS = savedKMS[static_cast<std::size_t>(i)];
                    El(i).KMG = savedKMG[static_cast<std::size_t>(i)];
                }
                DistributePhases();
                SolveOnePotential();
            }
        }
        ++passes;
        if (!beside)
            SolverPass = passes;
        if (CalcBusy && SlpPass > 0) {
            // Of solves side by side, the one on the caller's thread lets
            // the window messages run and passes the stop on to the other.
            if (!beside || beside->OnCallersThread)
                CurrentHost().ProcessMessages();
            if (beside && beside->Stop) {
                if (beside->OnCallersThread && StopRequested)
                    beside->Stop->store(true);
                if (beside->Stop->load())
                    break;
            } else if (StopRequested) {
                break;
            }
        }
        const long double x = GasPressureSum;
        if (passes > SolverPassLimit - 1)
            break;
        if (std::fabs(xOld - x) / xOld < eps && x <= eps + TotalPressure)
            break;
    }
    // A charge that holds a NaN can look settled (the clamps turn NaN into
    // finite exponents) while its amounts stay NaN: that is no solution.
    bool finite = std::isfinite(Temperature) && std::isfinite(LnMetalSlag) && std::isfinite(LnMetalGas) &&
        std::isfinite(SlagPotential);
    for (int i = 0; i <= SystemElemLast && finite; ++i) {
        const TElementRecord& e = El(i);
        finite = std::isfinite(e.MetalAmount) && std::isfinite(e.SlagAmount) && std::isfinite(e.GasAmount) &&
            std::isfinite(e.NmiAmount);
    }
    const bool result = passes <= SolverPassLimit - 1 && finite;

    HoldInputInclusionsApart(*this);

    // 10. After the loop.
    MetalPresent = LnMetalSlag >= -10;
    if (!MetalPresent)
        EquilibrateMetalWithSlag(false, false);
    SlagPresent = LnMetalSlag <= 10;
    if (!SlagPresent)
        EquilibrateSlagWithMetal(false, false);
    if (beside)
        beside->Newton = lastNewtonOk;
    else
        CurrentHost().SetStatusText(6, lastNewtonOk ? " Newton" : " Chain");
    HeatBalance(Heat, true, false);
    HeatDerivatives();
    CalcPhaseMasses();

    if (!quick) {
        // 11. Pseudo-materials: the computed phases, charged like materials.
        if (MaterialCount + 3 <= MaterialSlotLast) {
            const std::array<long double, 3> phaseMass{MetalMass, SlagMass, GasMass};
            for (int p = 0; p < 3; ++p) {
                const int j = MaterialCount + 1 + p;
                long double sensible = 0;
                for (int i = 0; i <= SystemElemLast; ++i) {
                    const TElementRecord& e = El(i);
                    const long double fraction = p == 0 ? e.MetalFraction : (p == 1 ? e.SlagFraction : e.GasFraction);
                    const long double amount = p == 0 ? e.MetalAmount : (p == 1 ? e.SlagAmount : e.GasAmount);
                    composition[static_cast<std::size_t>(i + 1)][j] = static_cast<float>(fraction);
                    sensible += (e.LiquidEnthalpy[0] + Temperature * e.LiquidEnthalpy[1]) * amount;
                }
                TMaterialRecord& mat = MaterialTable[j];
                const long double mass = phaseMass[static_cast<std::size_t>(p)];
                // An empty phase (every amount at its floor) has no heat per tonne.
                mat.HeatA[kind] = mass > 0 ? sensible / mass : 0;
                mat.HeatB[kind] = mass > 0 ? Heat.H[static_cast<std::size_t>(p)] / mass : 0;
                mat.HeatTotal[kind] = mat.HeatA[kind] + mat.HeatB[kind];
            }
        }

        if (result) {
            // The effect steps may park LnMetalGas and redo the phase flags;
            // the solved state is what the caller reads afterwards.
            const long double keepGas = LnMetalGas;
            const bool keepSlagPresent = SlagPresent, keepGasPresent = GasPresent;
            const long double n = TotalMoles;
            const long double kappa = 1 / (GasConstant * Temperature * Temperature);

            // 12. Material effects.
            const int lastEffectSlot = std::min(MaterialCount + 3, static_cast<int>(MaterialSlotLast));
            for (int j = 1; j <= lastEffectSlot; ++j) {
                TMaterialRecord& mat = MaterialTable[j];
                long double q = mat.Type == mtChargeCarrier ? -0.001L * mat.ChargeSign[kind] : 0;
                long double s = 0, g = 0;
                long double h = -mat.HeatTotal[kind];
                for (int i = 0; i <= SystemElemLast; ++i) {
                    const TElementRecord& e = El(i);
                    const long double u = composition[static_cast<std::size_t>(i + 1)][j] / e.MolarMass;
                    q += e.SlagAmount * u * (-e.Valence) / e.Amount;
                    s += u * (SlagMoles / n - e.SlagAmount / e.Amount);
                    g += u * (GasMoles / n - e.GasAmount / e.Amount);
                    h += u * e.HTerm;
                }
                LnMetalGas = keepGas;
                if (!SolveNewtonStepWithT(q, s, g, h))
                    continue;
                const long double dPsi = Steps[0], dSlag = Steps[1], dGas = Steps[2], dT = Steps[3];
                mat.TempEffect[kind] = dT;
                for (int i = 0; i <= SystemElemLast; ++i) {
                    const TElementRecord& e = El(i);
                    const long double u = composition[static_cast<std::size_t>(i + 1)][j] / e.MolarMass;
                    const long double beta = dGas * e.GasAmount + u;
                    const long double shift = dSlag + dPsi * e.Valence;
                    const long double metal =
                        (dT * (e.HMetal - e.HMean) * e.Amount * kappa + beta + e.SlagAmount * shift) * e.MetalMass /
                        e.Amount;
                    const long double slag = (dT * (e.HSlag - e.HMean) * e.Amount * kappa + beta +
                                              (e.SlagAmount - e.Amount) * shift) *
                        e.SlagMass / e.Amount;
                    matEffMetal[static_cast<std::size_t>(i + 1)][j] = static_cast<float>(metal);
                    matEffSlag[static_cast<std::size_t>(i + 1)][j] = static_cast<float>(slag);
                }
            }

            // 13. Element effects at constant temperature.
            for (int k = 0; k <= SystemElemLast; ++k) {
                const TElementRecord& ek = El(k);
                const long double q = ek.SlagAmount * (-ek.Valence) / ek.Amount;
                const long double s = SlagMoles / n - ek.SlagAmount / ek.Amount;
                const long double g = GasMoles / n - ek.GasAmount / ek.Amount;
                LnMetalGas = keepGas;
                long double dPsi = 0, dSlag = 0, dGas = 0;
                if (SolveNewtonStep(q, s, g)) {
                    dPsi = Steps[0];
                    dSlag = Steps[1];
                    dGas = Steps[2];
                }
                for (int i = 0; i <= SystemElemLast; ++i) {
                    const TElementRecord& e = El(i);
                    const long double v =
                        (dGas * e.GasAmount + dSlag * e.SlagAmount + (i == k ? 1 : 0) + dPsi * e.SlagAmount * e.Valence) /
                        e.Amount;
                    const long double r = e.MolarMass / ek.MolarMass;
                    elemEffMetal[static_cast<std::size_t>(i)][static_cast<std::size_t>(k)] = v * e.MetalAmount * r;
                    elemEffSlag[static_cast<std::size_t>(i)][static_cast<std::size_t>(k)] =
                        (v - dPsi * e.Valence - dSlag) * e.SlagAmount * r;
                }
            }
            LnMetalGas = keepGas;
            SlagPresent = keepSlagPresent;
            GasPresent = keepGasPresent;
            // The effect steps spread the phases from the solved potentials again.
            HoldInputInclusionsApart(*this);
            CalcPhaseMasses();
        }
    } else {
        // A simulation step carries its phases into the next step.
        for (int i = 0; i <= SystemElemLast; ++i) {
            TElementRecord& e = El(i);
            e.InputMetalMass = e.MetalMass;
            e.InputSlagMass = e.SlagMass;
        }
    }

    // Basicity of the slag by compound fractions.
    const int si = Elems->Key(keySi);
    if (SlagPresent && Elems->BasicOxides && si >= 0 && El(si).MoleFraction > PresenceThreshold) {
        const int ca = Elems->Key(keyCa);
        const int mg = Elems->Key(keyMg);
        long double basic = 0;
        if (ca >= 0)
            basic += El(ca).SlagCompoundFraction;
        if (mg >= 0)
            basic += El(mg).SlagCompoundFraction;
        Basicity = basic / (PresenceThreshold + El(si).SlagCompoundFraction);
    } else {
        Basicity = UnsetValue;
    }
    // Γ is a sum of floored gas amounts; the guard only matters for a system
    // without elements.
    GasVolume = GasElementSum > 0
        ? GasMoles * 1e6L * GasConstant * 293.15L * GasPressureSum / (GasElementSum * 101325.0L)
        : 0;

    if (beside) {
        beside->Converged = result;
        beside->Passes = passes;
    } else {
        ShowSolved(display, quick);
    }
    return result;
}

void TThSys::ShowSolved(bool display, bool quick)
{
    if (!quick)
        MarkPseudoMaterials();
    if (display && !quick) {
        if (Settings.CalcNmi && !CalcBusy)
            CalcInclusions();
        CurrentHost().ShowInGrid(*this);
    }
}

void TThSys::MarkPseudoMaterials()
{
    // The pseudo-materials are shared by both systems: the one solved last
    // gives them its temperature.
    if (MaterialCount + 3 > MaterialSlotLast)
        return;
    for (int p = 0; p < 3; ++p)
        MaterialTable[MaterialCount + 1 + p].Temperature = Temperature - KelvinOffset;
}

void TThSys::PassOnSolve(const TSolveNotes& notes, bool display, bool quick)
{
    SolverPass = notes.Passes;
    CurrentHost().SetStatusText(6, notes.Newton ? " Newton" : " Chain");
    ShowSolved(display, quick);
    // A step of the solve asked for the grid where the solve itself shows none.
    if (notes.GridAsked && !(display && !quick))
        CurrentHost().ShowInGrid(*this);
}

} // namespace ferrolyt
