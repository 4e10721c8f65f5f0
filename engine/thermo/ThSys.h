#pragma once
// One thermodynamic system: an element list with its amounts per phase, the
// solver's unknowns (slag potential, ln of the metal/slag, metal/NMI and
// metal/gas ratios, temperature) and everything derived from them. The
// methods are spread over several files by subject: properties, kernels,
// solver, inclusions, set-up and the one-phase equilibria.

#include "InteractionCache.h"
#include "Model.h"

#include <array>
#include <atomic>
#include <memory>

namespace ferrolyt {

// Heat-balance result: four groups (enthalpy, entropy, Gibbs sum, heat
// capacity) of four values (metal, slag, gas, total).
struct THeatBlock {
    std::array<long double, 4> H{};
    std::array<long double, 4> S{};
    std::array<long double, 4> G{};
    std::array<long double, 4> Cp{};
};

enum TPhaseIndex : int { phMetal = 0, phSlag = 1, phGas = 2, phTotal = 3 };

// A system's own element list. Copying a system copies the list's content
// into the list object the system already has, so pointers to it stay valid.
class TOwnedElems {
public:
    TOwnedElems() : list_(std::make_unique<TElems>()) {}
    TOwnedElems(const TOwnedElems& other) : list_(std::make_unique<TElems>(*other.list_)) {}
    TOwnedElems& operator=(const TOwnedElems& other)
    {
        *list_ = *other.list_;
        return *this;
    }
    TElems* operator->() const { return list_.get(); }
    TElems& operator*() const { return *list_; }
    TElems* get() const { return list_.get(); }
    explicit operator bool() const { return true; }

private:
    std::unique_ptr<TElems> list_;
};

// The enthalpy of a unit of a charge material, split as the heat terms keep
// it: Sensible is the heat content (the tabulated part), Standard the rest.
struct TMaterialHeat {
    long double Sensible = 0;
    long double Standard = 0;
    long double Cp = 0; // dH/dT
    long double Total() const { return Sensible + Standard; }
};

// Enthalpy, J/mol, of a gas species of the gas file at T: its H0 at
// 298.15 K plus the heat content that its Gibbs polynomial implies.
long double GasSpeciesEnthalpy(const std::array<long double, 8>& coef, long double T);

class TThSys {
public:
    TThSys() = default;
    TThSys(const TThSys&) = delete;

    // Phase totals of element amounts and their sum.
    long double MetalMoles = 0, SlagMoles = 0, NmiMoles = 0, GasMoles = 0, TotalMoles = 0;
    long double MetalMass = 0, SlagMass = 0, NmiMass = 0, GasMass = 0; // t
    long double TotalMass = 0;
    // Solver variables.
    long double LnMetalSlag = 0, LnMetalNmi = 0, LnMetalGas = 0;
    long double SlagPotential = 0; // Mu/RT of the slag (Fermi level)
    long double NmiPotential = 0;
    long double GasPressureSum = 0; // atm
    long double GasVolume = 0;      // m3 at 293.15 K and 1 atm
    long double Basicity = UnsetValue;
    long double GasElementSum = 0;
    long double PressureScale = 0; // y of the gas equilibrium
    std::array<long double, 2> BaseHeatInputs{}; // tabulated and model heat of the given initial phases
    std::array<long double, 2> HeatInputs{};     // the same plus the charge
    long double HeatInput = 0;                   // E_in of the heat balance
    long double HeatCapA = 0, HeatCapB = 0;      // Σ a n and Σ b n of the liquid coefficients
    long double Temperature = 1873.15L;          // K
    long double InitialTemperature = 1873.15L;   // K
    long double SlagCharge = 0;                  // F/mol
    long double NmiLambda = 0;
    long double NmiSurfaceTerm = 0;
    long double NmiRadius = 0, NmiCriticalRadius = 0; // µm
    // Symmetric 3 × 3 matrix of the potentials: a11 a12 a13 a22 a23 a33.
    std::array<long double, 6> NewtonMatrix{};
    // Steps of SlagPotential, LnMetalSlag, LnMetalGas and Temperature.
    std::array<long double, 4> Steps{};
    // Coupling of the three potentials with the temperature (/RT^2), the
    // temperature-temperature term and the three raw sums.
    std::array<long double, 7> TempCoupling{};
    long double ChargeResidual = 0; // r_ψ of the electroneutrality equation
    std::array<long double, 16> HeatSums{}; // Σ b n per phase at [0..3]; the rest free for the solver
    THeatBlock Heat;

    TOwnedElems Elems;
    // Pair tables of the metal (Wilson) and slag models by system element,
    // rebuilt by CalcStandardGibbs for the current temperature.
    TInteractionTable MetalInteraction{};
    TInteractionTable SlagInteraction{};
    // Tables already built at recent temperatures, so that a Newton run at a
    // fixed temperature does not repeat the exponentials.
    TInteractionCache InteractionTables;
    std::array<long double, MaxElements> ElementGasTerms{}; // a_i
    OffsetArray<long double, 1, MaxGasSpecies> SpeciesPressures{};
    // ΔG/RT of formation of each active gas species from its reference
    // species at the system's temperature. Each system keeps its own, so
    // that the two bound systems can be solved at the same time.
    OffsetArray<long double, 1, MaxGasSpecies> SpeciesFormation{};

    bool MetalPresent = true, SlagPresent = true, NmiSolved = false, GasPresent = true;
    int32_t Kind = 0; // 0 lower ends of the analyses, 1 upper ends

    // Copies the state listed for a save-and-restore; keeps this system's own
    // element list object.
    void Assign(const TThSys& source);
    // Copies everything, caches included: for a caller that borrows the
    // system and must give it back exactly as it was.
    void CopyWhole(const TThSys& source);

    // Element i of the system's list.
    TElementRecord& El(int i) { return Elems->Items[static_cast<std::size_t>(i)]; }
    const TElementRecord& El(int i) const { return Elems->Items[static_cast<std::size_t>(i)]; }

    // --- thermodynamic properties
    long double GibbsPolynomial(const std::array<long double, 8>& coef) const;
    void CalcStandardGibbs();
    void CalcGasActivities();
    void CalcMoleFractions();
    void CalcPhaseMasses();
    void CalcMetalActivity();
    void CalcSlagActivity();
    void CalcGasEquilibrium();
    void CalcNmiActivity(bool withCapillarity);
    void SumPhaseEnthalpies(std::array<long double, 4>& sums);
    void HeatBalance(THeatBlock& result, bool useSetting, bool force);

    // --- kernels
    long double EstimatePotential() const;
    void DistributePhases();
    void BuildNewtonMatrix();
    bool SolveNewtonStep(long double r1, long double r2, long double r3);
    void InitAmounts();
    void CalcMaterialHeats(TCompositionTable& composition, bool withPseudo);
    // Material j's enthalpy at T on the scale of the products (the elements
    // at 298.15 K have none); leaves the unit material in the system.
    TMaterialHeat MaterialHeat(const TCompositionTable& composition, int j, long double T, bool molten);
    void CalcMoltenMaterialHeats(TCompositionTable& composition);

    // --- equilibrium solver
    // What a solve run beside another one leaves for its caller: such a
    // solve reaches neither the windows nor the run state, which the caller
    // passes it on to afterwards (PassOnSolve), on its own thread.
    struct TSolveNotes {
        bool Converged = false;
        int32_t Passes = 0;     // outer passes
        bool Newton = false;    // the last pass converged by Newton's method
        bool GridAsked = false; // a step of the solve asked to show the system
        // Given by the caller, kept by the solve: the stop the solves side
        // by side share, and whether this one runs on the caller's thread,
        // where it processes the window messages and raises the stop when
        // asked to (the other reads the run state's stop only through it).
        std::atomic<bool>* Stop = nullptr;
        bool OnCallersThread = false;
    };
    // With beside given, the solve writes only this system, the pieces of
    // the tables that belong to its kind and the notes.
    bool SolveEquilibrium(TCompositionTable& matEffMetal, TCompositionTable& matEffSlag,
                          TCompositionTable& composition, TElementEffectTable& elemEffMetal,
                          TElementEffectTable& elemEffSlag, bool display, bool quick,
                          bool fromGivenPhases, bool withPseudoMaterials, TSolveNotes* beside = nullptr);
    // What the solve noted, passed on as it would have done itself.
    void PassOnSolve(const TSolveNotes& notes, bool display, bool quick);
    // Pieces of the solve, also used by the studies and the effects window.
    void HeatDerivatives();
    bool SolveNewtonStepWithT(long double r1, long double r2, long double r3, long double r4);
    void SolveOnePotential();
    bool SolveNewtonPotentials();
    bool SolveNewtonWithTemperature();

    // --- non-metallic inclusions (after a displayed solve)
    void CalcInclusions();
    bool SolveTwoPhase();
    bool SolvePairDamped();
    void DistributeNmi();

    // --- set-up of a system from the task
    void SolveCarbonOxygen(long double& otherMetalMass, long double metalMass);
    void SetSlagMass(long double slagMass);
    void SplitSlagForNmi(long double percent);
    // percent[i] <= 0 keeps the present metal mass of element i.
    void EquilibrateFixedMetal(const std::array<double, MaxElements>& percent);

    // --- one phase with the other
    // True when converged. *refused (when given) tells that nothing was
    // computed: the given phase does not exist, or no metal is in
    // equilibrium with it.
    bool EquilibrateMetalWithSlag(bool fromInitial, bool showResult, bool* refused = nullptr);
    bool EquilibrateSlagWithMetal(bool fromInitial, bool showResult, bool* refused = nullptr);

    // --- the slag's electroneutrality at a given potential
    // Specific charge of the slag (F/mol of the system's amount unit) when its
    // potential is mu (Mu/RT), the phase ratios and distribution terms held.
    long double SlagChargeAt(long double mu) const;
    // The potential at which SlagChargeAt vanishes, searched from SlagPotential.
    long double SolveFermiLevel() const;

private:
    // Only CopyWhole copies a system whole; everything else uses Assign.
    TThSys& operator=(const TThSys&) = default;

    // The notes of a solve running beside another one, while it runs.
    TSolveNotes* beside_ = nullptr;
    // CalcGasEquilibrium for the mole fractions the system holds.
    void GasEquilibriumAtFractions();
    // Shows the system in the element grid, or notes that a step asked to.
    void ShowInGrid();
    // The pseudo-materials' temperature: the system's.
    void MarkPseudoMaterials();
    // What a solve shows when it is done: the pseudo-materials' temperature
    // and, on a displayed solve, the inclusions and the grid.
    void ShowSolved(bool display, bool quick);
};

// [0] lower-bound system, [1] upper-bound system, [2] save-and-restore copy
// (also the reaction zone's final system), [3] the reaction zone.
extern std::array<std::unique_ptr<TThSys>, 4> ThSystems;

// Creates the four systems (kinds 0, 1, 0, 0) when they do not exist yet.
void CreateSystems();

} // namespace ferrolyt
