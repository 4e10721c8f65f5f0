#pragma once
// The small studies of the last melt's systems: the slag's
// electroneutrality curve, the oxygen solubility isotherms, the Gibbs-Duhem
// check and the one-phase equilibria of both systems. Each returns plain
// data; the windows only draw it.

#include "Model.h"

#include <array>
#include <string>
#include <vector>

namespace ferrolyt {

// ---------------------------------------------------------------------------
// Electroneutrality curve: the slag's specific charge against its potential.

enum class TCurveSystem { Lower, Upper, Average };

struct TChargeMark {
    int Element = 0;
    std::string Symbol;
    double Charge = 0;    // F/mol of slag at the element's potential
    double Potential = 0; // Mu/RT at which half of the element is in the slag
};

struct TElectroneutralityCurve {
    double Low = 0, High = 0;                  // range of the potential drawn
    std::vector<TChargeMark> Present;          // elements in the system
    std::vector<TChargeMark> AbsentInRange;    // elements absent but inside the range
    std::vector<std::array<double, 2>> Points; // (charge, potential), 1001 points
};

inline constexpr int ElectroneutralityPoints = 1001;

// Computes the curve and the marks from ThSystems[0], [1] or their mean.
// Without any charged element present the range is empty and so is the
// curve.
TElectroneutralityCurve ElectroneutralityCurve(TCurveSystem mode);

// ---------------------------------------------------------------------------
// Oxygen solubility isotherms: the metal's oxygen against a deoxidiser at
// 1550, 1600 and 1650 °C.

struct TIsothermOptions {
    std::string Oxidiser = "O";    // material charged with a fixed mass
    std::string Deoxidiser = "Al"; // material whose mass runs along the curve
    std::string Element = "Al";    // element on the horizontal axis
    long double OxidiserMass = 2.0L;
    int FirstPoint = 5, LastPoint = 1000, PointStride = 1; // deoxidiser mass = point / 51 t
};

struct TIsotherm {
    double TemperatureC = 0;
    std::vector<std::array<double, 2>> Points; // (lg[%deoxidiser], lg[%O])
};

struct TIsotherms {
    // False when the materials table or the system lacks what the study
    // charges; Missing names it.
    bool Possible = false;
    std::string Missing;
    std::string Message; // for the user, when not possible or every curve is empty
    std::array<TIsotherm, 3> Curves;
};

inline constexpr std::array<double, 3> IsothermTemperatures{1550.0, 1600.0, 1650.0};

// Prepares the systems, charges only the oxidiser and solves ThSystems[0]
// along each isotherm. The final-temperature mode is kept and restored; the
// materials table keeps the charge of the last point.
TIsotherms SolubilityIsotherms(const TIsothermOptions& options = {});

// ---------------------------------------------------------------------------
// Gibbs-Duhem check: the lower-bound system solved twice, the second time
// with a little more of the seventh material.

inline constexpr long double GibbsDuhemIncrement = 1e-5L; // t
inline constexpr int GibbsDuhemMaterial = 7;

struct TGibbsDuhemResult {
    bool Done = false; // false without a seventh material
    bool FirstConverged = false, SecondConverged = false;
    // Per element and phase (metal, slag, gas): change of the chemical
    // potential, J/mol, and of the amount.
    std::array<std::array<long double, 3>, MaxElements> PotentialChange{};
    std::array<std::array<long double, 3>, MaxElements> AmountChange{};
    // Per phase: Σ n Δμ, which Gibbs-Duhem wants near zero.
    std::array<long double, 3> PhaseSums{};
};

TGibbsDuhemResult GibbsDuhemCheck();

// What the command shows of a check: per phase Σ n Δμ, which Gibbs-Duhem
// wants near zero, or why there is nothing to show.
// Numbers are written with `decimalSeparator` (the screen's own).
std::string GibbsDuhemReport(const TGibbsDuhemResult& result, char decimalSeparator = '.');

// ---------------------------------------------------------------------------
// One phase in equilibrium with the other, in both systems.

struct TOnePhaseResult {
    bool LowerConverged = false, UpperConverged = false;
    bool Refused = false; // nothing computed in either system; the status is left alone
    std::string StatusText; // " Mu/RT: " with the two potentials
};

// Metal in equilibrium with the slag (metalWithSlag) or slag with the metal,
// from the task's initial phases or from the present ones, in ThSystems[0]
// then [1]; the status text goes to the host's panel 2 unless both systems
// refused.
TOnePhaseResult EquilibrateBothSystems(bool metalWithSlag, bool fromInitial);

// A number with at most two decimals, as the status panel shows potentials.
std::string FormatTwoDecimals(long double x);

} // namespace ferrolyt
