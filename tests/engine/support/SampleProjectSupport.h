#pragma once
// The shipped sample project as the tests find it, shared by the engine
// tests and the window tests (so nothing here depends on a test framework):
// its project file, the settings its values were derived under, and a
// material of one element appended to its table.

#include "Model.h"
#include "Settings.h"
#include "ThSys.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace ferrolyt::test {

inline std::filesystem::path SampleProjectFile() { return std::filesystem::path(FERROLYT_DATA) / "FERROLYT.FWP"; }

// The solution models of the sample data's derivation (metal model 0, slag
// model 0), no final-temperature search, plain convergence, no inclusions.
inline void UseSampleSolutionSettings()
{
    Settings.MetalModel = 0;
    Settings.SlagModel = 0;
    Settings.FinalTempMode = 0;
    Settings.BetterConvergence = false;
    Settings.CalcNmi = false;
}

// The arc furnace of the sample heat log, as the options dialog offers it
// to a new user: hot heel, magnesite, scrap melting, electrodes, the heat
// terms and the furnace's volume.
inline void UseSampleFurnaceSettings()
{
    Settings.HotHeelTemp = 1620;
    Settings.HotHeelMetal = 10;
    Settings.HotHeelSlag = 5;
    Settings.MagnesiteTemp = 20;
    Settings.MagnesiteMass = 300;
    Settings.ScrapMeltTemp = 1505;
    Settings.ElectrodeRate = 0.00375;
    Settings.GasHeatToSystem = 10.0;
    Settings.ElectricHeatCoef = 0.99;
    Settings.LgConstFe = -0.8;
    Settings.FurnaceVolume = 23.0;
}

} // namespace ferrolyt::test
