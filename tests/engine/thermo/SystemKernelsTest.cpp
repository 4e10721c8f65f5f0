#include "RecordingHost.h"
#include "RunState.h"
#include "Settings.h"
#include "SmallSystems.h"
#include "TaskList.h"
#include "ThSys.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace ferrolyt;
using namespace ferrolyt::test;

namespace {

double D(long double v) { return static_cast<double>(v); }

// The slag system with its distribution terms computed and the given
// potentials set.
TThSys& Distributed(long double psi, long double lnMetalSlag, long double lnMetalGas)
{
    TThSys& sys = BuildFeOSiMnCa();
    sys.CalcGasEquilibrium();
    sys.SlagPotential = psi;
    sys.LnMetalSlag = lnMetalSlag;
    sys.LnMetalGas = lnMetalGas;
    sys.DistributePhases();
    return sys;
}

// Σ z n^S: the slag's charge at the present potentials.
long double SlagCharge(TThSys& sys)
{
    sys.DistributePhases();
    long double q = 0;
    for (int i = 0; i <= SystemElemLast; ++i)
        q += sys.El(i).Valence * sys.El(i).SlagAmount;
    return q;
}

// A · Δ for the symmetric matrix the system holds.
std::array<long double, 3> MatrixTimesSteps(const TThSys& sys)
{
    const auto& a = sys.NewtonMatrix;
    const auto& d = sys.Steps;
    return {a[0] * d[0] + a[1] * d[1] + a[2] * d[2], a[1] * d[0] + a[3] * d[1] + a[4] * d[2],
            a[2] * d[0] + a[4] * d[1] + a[5] * d[2]};
}

} // namespace

// ---------------------------------------------------------------------------

TEST(DistributePhases, ConservesEveryElementAndFollowsTheDistributionTerms)
{
    using TPotentials = std::array<long double, 3>; // ψ, λ_S, λ_G
    for (const TPotentials& p : {TPotentials{-2.0L, 0.3L, 4.0L}, TPotentials{0.5L, 0.3L, 4.0L},
                                 TPotentials{3.0L, 0.3L, 4.0L}, TPotentials{1.2L, -0.4L, 6.0L}}) {
        TThSys& sys = Distributed(p[0], p[1], p[2]);
        long double m = 0, s = 0, g = 0;
        for (int i = 0; i <= SystemElemLast; ++i) {
            const TElementRecord& e = sys.El(i);
            EXPECT_NEAR(D((e.MetalAmount + e.SlagAmount + e.GasAmount) / e.Amount), 1.0, 1e-15) << e.Symbol;
            EXPECT_NEAR(D(std::log(e.SlagAmount / e.MetalAmount)), D(e.KMS - p[1] - e.Valence * p[0]), 1e-12);
            EXPECT_NEAR(D(std::log(e.GasAmount / e.MetalAmount)), D(e.KMG - p[2]), 1e-12);
            m += e.MetalAmount;
            s += e.SlagAmount;
            g += e.GasAmount;
        }
        EXPECT_EQ(sys.MetalMoles, m);
        EXPECT_EQ(sys.SlagMoles, s);
        EXPECT_EQ(sys.GasMoles, g);
    }
}

TEST(DistributePhases, EmptyElementAndExtremeTermsStayFinite)
{
    TThSys& sys = Distributed(0, 0, 0);
    TElementRecord& ca = sys.El(4);
    ca.Amount = 0;
    ca.KMS = -5;
    ca.KMG = -5;
    TElementRecord& si = sys.El(2);
    si.KMS = 1e6L; // far beyond the exponent limit
    sys.DistributePhases();
    EXPECT_EQ(ca.MetalAmount, AmountFloor);
    EXPECT_EQ(ca.SlagAmount, AmountFloor);
    EXPECT_EQ(ca.GasAmount, AmountFloor);
    EXPECT_GT(si.MetalAmount, 0.0L);
    EXPECT_NEAR(D(si.SlagAmount / si.Amount), 1.0, 1e-15);
    for (int i = 0; i <= SystemElemLast; ++i)
        EXPECT_TRUE(std::isfinite(sys.El(i).MetalAmount) && std::isfinite(sys.El(i).SlagAmount));
}

// ---------------------------------------------------------------------------

TEST(NewtonMatrix, FirstRowAndResidualFollowTheSlagCharge)
{
    TThSys& sys = Distributed(0.8L, 0.2L, 3.0L);
    sys.TotalMoles = sys.MetalMoles + sys.SlagMoles + sys.GasMoles;
    sys.SlagCharge = 20; // the residual carries a thousandth of the given charge
    sys.BuildNewtonMatrix();
    const auto a = sys.NewtonMatrix;
    const long double h = 1e-6L;
    auto slope = [&](long double& var) {
        const long double keep = var;
        var = keep + h;
        const long double up = SlagCharge(sys);
        var = keep - h;
        const long double down = SlagCharge(sys);
        var = keep;
        return (up - down) / (2 * h);
    };
    EXPECT_NEAR(D(a[0]), D(-slope(sys.SlagPotential)), 1e-9);
    EXPECT_NEAR(D(a[1]), D(-slope(sys.LnMetalSlag)), 1e-9);
    EXPECT_NEAR(D(a[2]), D(-slope(sys.LnMetalGas)), 1e-9);
    EXPECT_NEAR(D(sys.ChargeResidual), D(-0.02L - SlagCharge(sys)), 1e-15);
}

// ---------------------------------------------------------------------------

TEST(NewtonStep, SolvesTheFullSystemOrTheSlagPairWithTheGasParked)
{
    TThSys& sys = Distributed(0.8L, 0.2L, 3.0L);
    sys.TotalMoles = sys.MetalMoles + sys.SlagMoles + sys.GasMoles;
    sys.BuildNewtonMatrix();
    ASSERT_TRUE(sys.SolveNewtonStep(0.01L, -0.003L, 0.0007L));
    EXPECT_TRUE(sys.SlagPresent);
    EXPECT_TRUE(sys.GasPresent);
    auto ad = MatrixTimesSteps(sys);
    EXPECT_NEAR(D(ad[0]), -0.01, 1e-12);
    EXPECT_NEAR(D(ad[1]), 0.003, 1e-12);
    EXPECT_NEAR(D(ad[2]), -0.0007, 1e-12);

    sys.LnMetalGas = 45; // beyond 30: the gas is parked and two equations remain
    ASSERT_TRUE(sys.SolveNewtonStep(0.01L, -0.003L, 5.0L));
    EXPECT_FALSE(sys.GasPresent);
    EXPECT_EQ(sys.LnMetalGas, 30.0L);
    EXPECT_EQ(sys.Steps[2], 0.0L);
    ad = MatrixTimesSteps(sys);
    EXPECT_NEAR(D(ad[0]), -0.01, 1e-12);
    EXPECT_NEAR(D(ad[1]), 0.003, 1e-12);
}

TEST(NewtonStep, AParkedPhaseOrASingularPairLeavesItsStepsAtZero)
{
    // A ratio above 30 parks its phase; the matrices are [a11 a12 a13 a22 a23 a33].
    struct TCase {
        const char* Name;
        long double LnMetalSlag, LnMetalGas;
        std::array<long double, 6> Matrix;
        std::array<long double, 3> Residual, Steps;
        bool Solved;
    };
    const TCase cases[] = {
        {"slag only, a11 a22 - a12^2 = 0", 0, 40, {2, 1, 0, 0.5L, 0, 0}, {0.4L, 1, 1}, {-0.2L, 0, 0}, true},
        {"gas only", 31, 2, {1, 0.2L, 0.1L, 1, 0.3L, 4}, {1, 1, 2}, {0, 0, -0.5L}, true},
        {"no phase", 31, 31, {1, 0, 0, 1, 0, 1}, {1, 1, 1}, {0, 0, 0}, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TThSys sys;
        sys.LnMetalSlag = c.LnMetalSlag;
        sys.LnMetalGas = c.LnMetalGas;
        sys.Steps = {1, 1, 1, 1};
        sys.NewtonMatrix = c.Matrix;
        EXPECT_EQ(sys.SolveNewtonStep(c.Residual[0], c.Residual[1], c.Residual[2]), c.Solved);
        for (std::size_t k = 0; k < 3; ++k) {
            if (c.Steps[k] == 0)
                EXPECT_EQ(sys.Steps[k], 0.0L) << k;
            else
                EXPECT_NEAR(D(sys.Steps[k]), D(c.Steps[k]), 1e-15) << k;
        }
        EXPECT_EQ(sys.SlagPresent, c.LnMetalSlag <= 30);
    }
}

TEST(NewtonStep, SingularMatrixDropsTheGasOnlyBelowTheTotalPressure)
{
    TThSys sys;
    sys.LnMetalSlag = 0;
    sys.LnMetalGas = 5;
    sys.NewtonMatrix = {1, 1, 1, 1, 1, 1}; // rank one
    sys.GasPressureSum = 0.5L;
    EXPECT_TRUE(sys.SolveNewtonStep(0.2L, 0.1L, 9));
    EXPECT_FALSE(sys.GasPresent);
    EXPECT_EQ(sys.Steps[2], 0.0L);
    EXPECT_NEAR(D(sys.Steps[0]), -0.2, 1e-15); // 2 × 2 singular as well: potential alone

    sys.GasPressureSum = 1.0L; // a gas at the total pressure is kept
    EXPECT_FALSE(sys.SolveNewtonStep(0.2L, 0.1L, 9));
    EXPECT_TRUE(sys.GasPresent);
}

// ---------------------------------------------------------------------------

TEST(PotentialEstimate, RecoversThePotentialOfADistribution)
{
    TThSys& sys = Distributed(1.7L, 0.3L, 8.0L);
    long double w = 0, wz = 0;
    for (int i = 0; i <= SystemElemLast; ++i) {
        sys.El(i).ChargeTerm = sys.El(i).Valence * sys.El(i).Amount;
        w += sys.El(i).ChargeTerm;
        wz += sys.El(i).ChargeTerm * sys.El(i).Valence;
    }
    // ln(x^M/x^S) + K^MS = z ψ + λ_S - ln(N_M/N_S) for every element.
    const long double shift = 0.3L - std::log(sys.MetalMoles / sys.SlagMoles);
    EXPECT_NEAR(D(sys.EstimatePotential()), D(1.7L + shift * w / wz), 1e-12);
}

// ---------------------------------------------------------------------------

TEST(InitAmounts, AmountsAndHeatFromTheInputMasses)
{
    TThSys& sys = BuildFeCO();
    sys.El(0).InputMetalMass = 55.847L;
    sys.El(1).InputMetalMass = 1.2011L;
    sys.El(2).InputSlagMass = 0.159994L;
    sys.InitAmounts();
    EXPECT_NEAR(D(sys.El(0).MetalAmount), 1.0, 1e-15);
    EXPECT_NEAR(D(sys.El(1).MetalAmount), 0.1, 1e-15);
    EXPECT_NEAR(D(sys.El(2).SlagAmount), 0.01, 1e-15);
    EXPECT_EQ(sys.El(2).MetalAmount, DivisorFloor);
    EXPECT_EQ(sys.El(0).GasAmount, DivisorFloor);
    EXPECT_NEAR(D(sys.MetalMoles), 1.1, 1e-15);
    const long double T = sys.Temperature;
    long double tabulated = 0;
    for (int i = 0; i <= SystemElemLast; ++i)
        tabulated += sys.El(i).Amount * (sys.El(i).LiquidEnthalpy[0] + T * sys.El(i).LiquidEnthalpy[1]);
    EXPECT_NEAR(D(sys.BaseHeatInputs[0]), D(tabulated), 1e-9);
    EXPECT_EQ(sys.HeatInputs, sys.BaseHeatInputs);
    THeatBlock block;
    sys.HeatBalance(block, false, false);
    EXPECT_NEAR(D(sys.BaseHeatInputs[1]), D(block.H[phTotal]), 1e-9);
    EXPECT_EQ(sys.Temperature, T);
}

// ---------------------------------------------------------------------------

namespace {
// Three materials: a metal at a given temperature, the same metal without a
// temperature, and an energy material; composition of the metal 95 % Fe, 5 % C.
void ThreeMaterials()
{
    MaterialCount = 3;
    for (int j = 1; j <= 3; ++j) {
        MaterialTable[j] = TMaterialRecord{};
        MaterialTable[j].Type = mtMetal;
    }
    MaterialTable[1].Temperature = 370.0L; // 643.15 K
    MaterialTable[3].Type = mtEnergy;
    MaterialTable[3].HeatA = {3600, 3600};
    for (int j = 1; j <= 2; ++j) {
        CompositionMin[1][j] = 0.95f;
        CompositionMin[2][j] = 0.05f;
        CompositionMin[0][j] = 0.95f / 55.847f + 0.05f / 12.011f;
    }
}
} // namespace

TEST(MaterialHeats, ColdMetalIsItsElementsWithTheirHeatContentWhateverTheModel)
{
    TThSys& sys = BuildFeCO();
    ThreeMaterials();
    TaskList.CurrentTask().AmbTemp = UnsetValue;
    const long double T = sys.Temperature;
    const long double nFe = 0.95L / 55.847L, nC = 0.05L / 12.011L;
    // Heat content from 298.15 K with the solid heat capacities.
    auto content = [](const TElementRecord& e, long double t) {
        return e.SolidEnthalpy[1] * (t - 298.15L) + e.SolidEnthalpy[2] * (t * t - 298.15L * 298.15L);
    };
    auto expected = [&](long double t) { return nFe * content(sys.El(0), t) + nC * content(sys.El(1), t); };
    for (const uint8_t model : {uint8_t{0}, uint8_t{1}}) {
        Settings.MetalModel = model;
        sys.CalcMaterialHeats(CompositionMin, false);
        EXPECT_EQ(sys.Temperature, T);
        const TMaterialRecord &warm = MaterialTable[1], &cold = MaterialTable[2];
        // No oxygen to bind: the elements stand at their standard states.
        EXPECT_EQ(cold.HeatB[0], 0.0L);
        EXPECT_EQ(warm.HeatB[0], 0.0L);
        EXPECT_NEAR(D(cold.HeatA[0]), D(expected(293.15L)), 1e-4);
        EXPECT_NEAR(D(warm.HeatA[0]), D(expected(643.15L)), 1e-4);
        EXPECT_EQ(cold.HeatTotal[0], cold.HeatA[0] + cold.HeatB[0]);
    }
    Settings.MetalModel = 0;
    // The energy material keeps its heat terms; the other kind's slot too.
    EXPECT_EQ(MaterialTable[3].HeatA[0], 3600.0L);
    EXPECT_EQ(MaterialTable[3].HeatB[0], 0.0L);
    EXPECT_EQ(MaterialTable[2].HeatA[1], 0.0L);
}

TEST(MaterialHeats, AmbientTemperatureOfTheTaskAndKilomoles)
{
    TThSys& sys = BuildFeCO();
    ThreeMaterials();
    TaskList.CurrentTask().AmbTemp = 370.0L;
    sys.CalcMaterialHeats(CompositionMin, false);
    EXPECT_NEAR(D(MaterialTable[2].HeatA[0]), D(MaterialTable[1].HeatA[0]), 1e-9);
    const long double perTonne = MaterialTable[1].HeatA[0];
    // One kilomole of the material is 1 / Σ(w/M) kg.
    MatsInKmoles = true;
    sys.CalcMaterialHeats(CompositionMin, false);
    const long double kg = 1.0L / static_cast<long double>(CompositionMin[0][1]);
    EXPECT_NEAR(D(MaterialTable[1].HeatA[0] / (perTonne * kg * 0.001L)), 1.0, 1e-5);
    TaskList.CurrentTask().AmbTemp = UnsetValue;
}

TEST(MaterialHeats, MoltenMaterialHeatFromRoomTemperature)
{
    TThSys& sys = BuildFeCO();
    ThreeMaterials();
    Settings.MoltenMaterialTemp = 1600;
    sys.Kind = 1;
    sys.CalcMoltenMaterialHeats(CompositionMin);
    const TMaterialRecord& m = MaterialTable[1];
    EXPECT_EQ(m.HeatToMolten[0], 0.0L);
    // Raising the molten temperature by 1 K adds about the molten heat capacity.
    const long double h1600 = m.HeatToMolten[1], cp = m.MoltenHeatCapacity[1];
    Settings.MoltenMaterialTemp = 1601;
    sys.CalcMoltenMaterialHeats(CompositionMin);
    EXPECT_NEAR(D((m.HeatToMolten[1] - h1600) / cp), 1.0, 1e-3);
    EXPECT_GT(h1600, 0.0L);
    EXPECT_EQ(MaterialTable[3].HeatToMolten[1], 0.0L);
    EXPECT_EQ(sys.Temperature, 1873.15L);
}
