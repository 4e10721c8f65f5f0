#pragma once
// The reaction-zone constructor without a window. A share of the melted
// heat's metal and slag (ThSystems[0]) is drawn into a zone with a mass of
// oxygen; the zone (ThSystems[3]) is brought to equilibrium, and chosen
// shares of its metal, slag and gas return, as the three pseudo-materials,
// to the rest of the heat, which is then brought to equilibrium as the final
// system (ThSystems[2]).

#include "Model.h"

namespace ferrolyt {

// The material that carries the zone's oxygen.
inline constexpr const char* ReactionZoneOxygenName = "Кислород";

struct TReactionZoneShares {
    long double MetalToZone = 0.2L; // kMet: share of the heat's metal drawn in
    long double SlagToZone = 0.2L;  // kSlg: share of the heat's slag drawn in
    long double Oxygen = 0;         // mO2, t
    long double MetalBack = 1;      // kMetBack: share of the zone's metal returned
    long double SlagBack = 1;       // kSlgBack
    long double GasBack = 1;        // kGasBack
};

struct TReactionZoneResult {
    bool ZoneConverged = false;
    bool FinalConverged = false;
    int OxygenSlot = -1; // material charged with the oxygen, -1 when the project has none
};

// Copies ThSystems[0] into the zone and the final system, charges the
// oxygen (every other material 0) and splits each element's metal and slag
// between them; the heat's gas joins the final system's metal. Returns the
// oxygen material's slot or -1.
int PrepareReactionZone(const TReactionZoneShares& shares);

// Heat terms of the charge and the zone's equilibrium (lower-bound tables,
// every option off).
bool SolveZone();

// The zone's phases become the pseudo-materials, in the returned shares, and
// every real material is taken out of the charge.
void ChargeZonePhases(const TReactionZoneShares& shares);

// The final system's equilibrium with the pseudo-materials in its charge.
bool SolveFinalSystem();

// All four steps in order.
TReactionZoneResult SolveReactionZone(const TReactionZoneShares& shares);

} // namespace ferrolyt
