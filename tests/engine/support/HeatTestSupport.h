#pragma once
// The sample project loaded for the heat-log tests, with the arc-furnace
// settings the options dialog offers to a new user, and the sample log's
// lines at hand.

#include "HeatLog.h"
#include "HeatReplay.h"
#include "LoaderTestSupport.h"
#include "RecordingHost.h"
#include "RunState.h"
#include "SampleProjectSupport.h"
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
        UseSampleSolutionSettings();
        Settings.HeatAlg = 0;
        Settings.ConsumptionMode = 0;
        UseSampleFurnaceSettings();
        Settings.AllowCrystallisation = false;
        ASSERT_TRUE(LoadProject(SampleProjectFile().string()));
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
