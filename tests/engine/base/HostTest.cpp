#include "RecordingHost.h"

#include <gtest/gtest.h>

using namespace ferrolyt;

TEST(Host, RecordingHostReceivesEngineCallsAndRestoresPreviousHost)
{
    Host& before = CurrentHost();
    {
        test::RecordingHost host;
        EXPECT_EQ(&CurrentHost(), &host);
        EXPECT_EQ(CurrentHost().ShowWarning("Неможливо завантажити файл X.CON"), 1);
        host.answers.push_back(true);
        EXPECT_TRUE(CurrentHost().AskYesNo("Зупинити розрахунок?"));
        EXPECT_FALSE(CurrentHost().AskYesNo("Зупинити розрахунок?")); // script exhausted: No
        EXPECT_TRUE(host.warned("X.CON"));
        EXPECT_EQ(host.questions.size(), 2u);
    }
    EXPECT_EQ(&CurrentHost(), &before);
}

TEST(Host, SilentDefaultAnswersNo)
{
    SetHost(nullptr);
    EXPECT_FALSE(CurrentHost().AskYesNo("?"));
}
