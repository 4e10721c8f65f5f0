#pragma once
// The sample project loaded for the heat-log tests, with the arc-furnace
// settings the options dialog offers to a new user, and the sample log's
// lines at hand.

#include "HeatLog.h"
#include "HeatReplay.h"
#include "LoaderTestSupport.h"
#include "RecordingHost.h"
#include "RunState.h"
#include "ThSys.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace ferrolyt::test {

inline std::filesystem::path SampleHeatLog() { return std::filesystem::path(FERROLYT_DATA) / "DSP23517.HEA"; }

class HeatTestBase : public LoaderTestBase {
protected:
    void SetUp() override
    {
        LoaderTestBase::SetUp();
        Settings.MetalModel = 0;
        Settings.SlagModel = 0;
        Settings.FinalTempMode = 0;
        Settings.BetterConvergence = false;
        Settings.CalcNmi = false;
        Settings.HeatAlg = 0;
        Settings.ConsumptionMode = 0;
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
        Settings.AllowCrystallisation = false;
        ASSERT_TRUE(LoadProject((std::filesystem::path(FERROLYT_DATA) / "FERROLYT.FWP").string()));
        ASSERT_TRUE(host_.warnings.empty()) << host_.warnings.front();
        ClearHeatLog();
        HeatRunning = false;
    }
    void TearDown() override
    {
        ClearHeatLog();
        HeatRunning = false;
        LoaderTestBase::TearDown();
    }

    static std::vector<std::string> SampleLines() { return ReadTextFile1251(SampleHeatLog()); }

    // A log of the sample's columns from rows written in the test.
    static std::vector<std::string> Log(const std::vector<std::string>& rows)
    {
        std::vector<std::string> lines{"Час Е Втр Газ O2 Т | Вапно Лом_важкий Лом_змішаний Лом_шредований Кокс"};
        lines.insert(lines.end(), rows.begin(), rows.end());
        return lines;
    }

    RecordingHost host_;
};

} // namespace ferrolyt::test
