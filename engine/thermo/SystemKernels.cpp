// The small kernels the equilibrium solver is built on: the slag potential
// estimate, the distribution of the elements between the phases for given
// potentials, the Newton matrix and step of the three potentials, and the
// initial amounts.

#include "ExtendedMath.h"
#include "ThSys.h"
#include "Utils.h"

#include <algorithm>
#include <cmath>

namespace ferrolyt {

namespace {

// Below this a determinant counts as singular for choosing the system to solve.
constexpr long double SingularDeterminant = 1e-12L;
// The step is reported as usable when the determinant exceeds this.
constexpr long double UsableDeterminant = 1e-20L;
// A ratio above this means the phase is absent.
constexpr long double AbsentPhaseLn = 30.0L;

long double LiquidEnthalpy(const TElementRecord& e, long double T)
{
    return e.LiquidEnthalpy[0] + T * e.LiquidEnthalpy[1];
}

} // namespace

long double TThSys::EstimatePotential() const
{
    long double a = 0, b = 0;
    for (int i = 0; i <= SystemElemLast; ++i) {
        const TElementRecord& e = El(i);
        const long double w = e.ChargeTerm;
        a += w * (LogL((e.MetalAmount / MetalMoles) / (e.SlagAmount / SlagMoles)) + e.KMS);
        b += w * e.Valence;
    }
    return a / b;
}

void TThSys::DistributePhases()
{
    // The totals are summed in locals: stores into the element records
    // would otherwise make the compiler store and reload them each time.
    long double metalMoles = 0, slagMoles = 0, gasMoles = 0;
    const long double lnMetalSlag = LnMetalSlag, lnMetalGas = LnMetalGas, potential = SlagPotential;
    for (int i = 0; i <= SystemElemLast; ++i) {
        TElementRecord& e = El(i);
        long double a = e.KMS - lnMetalSlag - e.Valence * potential;
        ClampAbs(a, 1000.0L);
        const long double eS = ExpL(a);
        long double b = e.KMG - lnMetalGas;
        ClampAbs(b, 1000.0L);
        const long double eG = ExpL(b);
        const long double metal = std::max(AmountFloor, e.Amount / (eS + 1.0L + eG));
        const long double slag = std::max(AmountFloor, metal * eS);
        const long double gas = std::max(AmountFloor, metal * eG);
        e.MetalAmount = metal;
        e.SlagAmount = slag;
        e.GasAmount = gas;
        metalMoles += metal;
        slagMoles += slag;
        gasMoles += gas;
    }
    MetalMoles = metalMoles;
    SlagMoles = slagMoles;
    GasMoles = gasMoles;
}

void TThSys::BuildNewtonMatrix()
{
    DistributePhases();
    long double a11 = 0, a12 = 0, a13 = 0, s2 = 0, gs = 0, g2 = 0, zs = 0;
    for (int i = 0; i <= SystemElemLast; ++i) {
        const TElementRecord& e = El(i);
        const long double n = e.Amount, s = e.SlagAmount, g = e.GasAmount, z = e.Valence;
        a11 += z * z * s * (1.0L - s / n);
        a12 += z * s * (1.0L - s / n);
        a13 -= z * g * s / n;
        s2 += s * s / n;
        gs += g * s / n;
        g2 += g * g / n;
        zs += z * s;
    }
    const long double N = TotalMoles;
    NewtonMatrix[0] = a11;
    NewtonMatrix[1] = a12;
    NewtonMatrix[2] = a13;
    NewtonMatrix[3] = SlagMoles * SlagMoles / N - s2;
    NewtonMatrix[4] = GasMoles * SlagMoles / N - gs;
    NewtonMatrix[5] = GasMoles * GasMoles / N - g2;
    ChargeResidual = -0.001L * SlagCharge - zs;
}

bool TThSys::SolveNewtonStep(long double r1, long double r2, long double r3)
{
    const long double a11 = NewtonMatrix[0], a12 = NewtonMatrix[1], a13 = NewtonMatrix[2];
    const long double a22 = NewtonMatrix[3], a23 = NewtonMatrix[4], a33 = NewtonMatrix[5];
    SlagPresent = LnMetalSlag <= AbsentPhaseLn;
    GasPresent = LnMetalGas <= AbsentPhaseLn;
    long double D = 0;

    if (SlagPresent && GasPresent) {
        D = DivisorFloor + a11 * a22 * a33 + 2.0L * a12 * a13 * a23 - a11 * a23 * a23 - a22 * a13 * a13
            - a33 * a12 * a12;
        if (std::fabs(D) < SingularDeterminant && GasPressureSum < TotalPressure - 1e-10L)
            GasPresent = false;
    }
    if (SlagPresent && GasPresent) {
        // Cramer's rule on A Δ = b with b = -R.
        const long double b1 = -r1, b2 = -r2, b3 = -r3;
        const long double d1 = b1 * (a22 * a33 - a23 * a23) - a12 * (b2 * a33 - a23 * b3) + a13 * (b2 * a23 - a22 * b3);
        const long double d2 = a11 * (b2 * a33 - a23 * b3) - b1 * (a12 * a33 - a23 * a13) + a13 * (a12 * b3 - b2 * a13);
        const long double d3 = a11 * (a22 * b3 - b2 * a23) - a12 * (a12 * b3 - b2 * a13) + b1 * (a12 * a23 - a22 * a13);
        Steps[0] = d1 / D;
        Steps[1] = d2 / D;
        Steps[2] = d3 / D;
    } else if (SlagPresent) {
        ClampRange(LnMetalGas, 0.0L, AbsentPhaseLn);
        Steps[2] = 0;
        D = DivisorFloor + a11 * a22 - a12 * a12;
        if (std::fabs(D) >= SingularDeterminant) {
            Steps[0] = (r2 * a12 - r1 * a22) / D;
            Steps[1] = (r1 * a12 - r2 * a11) / D;
        } else {
            D = DivisorFloor + a11;
            Steps[0] = -r1 / D;
            Steps[1] = 0;
        }
    } else if (GasPresent) {
        D = DivisorFloor + a33;
        Steps[0] = Steps[1] = 0;
        Steps[2] = -r3 / D;
    } else {
        D = 0;
        Steps[0] = Steps[1] = Steps[2] = 0;
    }
    return std::fabs(D) > UsableDeterminant;
}

void TThSys::InitAmounts()
{
    MetalMoles = 0;
    SlagMoles = 0;
    GasMoles = DivisorFloor * (SystemElemLast + 1);
    long double tabulated = 0;
    for (int i = 0; i <= SystemElemLast; ++i) {
        TElementRecord& e = El(i);
        e.MetalAmount = std::max(DivisorFloor, e.InputMetalMass / e.MolarMass);
        e.SlagAmount = std::max(DivisorFloor, e.InputSlagMass / e.MolarMass);
        e.GasAmount = DivisorFloor;
        e.Amount = e.MetalAmount + e.SlagAmount;
        MetalMoles += e.MetalAmount;
        SlagMoles += e.SlagAmount;
        tabulated += e.Amount * LiquidEnthalpy(e, Temperature);
    }
    THeatBlock block;
    HeatBalance(block, false, false);
    BaseHeatInputs = {tabulated, block.H[phTotal]};
    HeatInputs = BaseHeatInputs;
}

} // namespace ferrolyt
