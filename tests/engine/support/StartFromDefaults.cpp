// Every test starts from the program's default options and run state,
// whatever the test before it left behind: a test must not pass or fail by
// the order the tests run in (run them with --gtest_shuffle to check).

#include "RunState.h"
#include "Settings.h"

#include <gtest/gtest.h>

namespace ferrolyt::test {
namespace {

class TStartFromDefaults : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override
    {
        SetOptionDefaults();
        ResetRunState();
    }
};

// GoogleTest owns the listeners appended to its list.
const bool Registered = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new TStartFromDefaults);
    return true;
}();

} // namespace
} // namespace ferrolyt::test
