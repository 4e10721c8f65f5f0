#pragma once
// The sample project loaded through the real loaders and melted once, as
// the studies find it after the program's first melt.

#include "ForwardProblem.h"
#include "LoaderTestSupport.h"
#include "RecordingHost.h"
#include "RunState.h"
#include "ThSys.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace ferrolyt::test {

class MeltedSampleBase : public LoaderTestBase {
protected:
    void SetUp() override
    {
        LoaderTestBase::SetUp();
        Settings.MetalModel = 0;
        Settings.SlagModel = 0;
        Settings.FinalTempMode = 0;
        Settings.BetterConvergence = false;
        Settings.CalcNmi = false;
        Settings.CompositionUnit = 3;
        ASSERT_TRUE(LoadProject((std::filesystem::path(FERROLYT_DATA) / "FERROLYT.FWP").string()));
        ASSERT_TRUE(MeltForward().BothConverged);
    }

    // Appends a material of one element (type 2 metal-forming, 4 gas) and
    // moves the three pseudo-materials behind it.
    static int AddPureMaterial(const std::string& name, const char* symbol, uint8_t type)
    {
        const int j = ++MaterialCount;
        for (int p = 3; p >= 1; --p)
            MaterialTable[j + p] = MaterialTable[j + p - 1];
        for (auto* table : {&CompositionMin, &CompositionMax})
            for (auto& row : *table) {
                for (int p = 3; p >= 1; --p)
                    row[j + p] = row[j + p - 1];
                row[j] = 0;
            }
        TMaterialRecord& m = MaterialTable[j];
        m = ZeroMaterialRecord();
        m.Name = name;
        m.Type = type;
        m.RecoveryLo = m.RecoveryHi = 1;
        m.Temperature = 25;
        const int i = ThSystems[0]->Elems->IndexOfSymbol(symbol);
        EXPECT_GE(i, 0) << symbol;
        for (auto* table : {&CompositionMin, &CompositionMax}) {
            (*table)[static_cast<std::size_t>(i + 1)][j] = 1.0f;
            (*table)[0][j] = static_cast<float>(1.0L / ThSystems[0]->El(i).MolarMass);
        }
        return j;
    }

    RecordingHost host_;
};

} // namespace ferrolyt::test
