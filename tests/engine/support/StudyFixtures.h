#pragma once
// The sample project loaded through the real loaders and melted once, as
// the studies find it after the program's first melt.

#include "ForwardProblem.h"
#include "LoaderTestSupport.h"
#include "RecordingHost.h"
#include "RunState.h"
#include "SampleProjectSupport.h"
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
        UseSampleSolutionSettings();
        Settings.CompositionUnit = 3;
        ASSERT_TRUE(LoadProject(SampleProjectFile().string()));
        ASSERT_TRUE(MeltForward().BothConverged);
    }

    RecordingHost host_;
};

} // namespace ferrolyt::test
