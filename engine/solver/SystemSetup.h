#pragma once
// The set-up of the two systems before a melt, an optimisation, a sweep
// point or a replay step: pressure and initial temperature, element limits,
// the metal and slag given by their samples, the oxygen in equilibrium with
// carbon, an electroneutral slag, the exogenous inclusions and the heat terms
// of the materials. The pressure and initial-temperature edits of the main
// window reach it through the host (Host::EditHasFocus and friends).

namespace ferrolyt {

// Prepares ThSystems[0] (lower ends of the analyses, larger initial masses)
// and ThSystems[1] (upper ends, smaller initial masses) from the current
// task, sets TotalPressure and the materials' bounds, and writes the values
// used back into the pressure and temperature edits.
void PrepareSystems();

// Every material's amount and LP amount := 0, then the current task's
// materials get their starting amounts.
void InitialChargeFromTask();

} // namespace ferrolyt
