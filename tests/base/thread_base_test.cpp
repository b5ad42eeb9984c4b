#include <gtest/gtest.h>

#include <atomic>

#include "base/thread_base.h"

namespace {

class CountingThread : public CThreadBase {
public:
    ~CountingThread() override { SetStopAndWait(); }
    std::atomic<int> units{0};

protected:
    unsigned ThreadHandler() override
    {
        while (CanContinue())
            ++units;
        return 7;
    }
};

TEST(ThreadBase, StopsAndReportsExitCode)
{
    CountingThread t;
    ASSERT_TRUE(t.CreateThread());
    ASSERT_TRUE(t.WaitForThreadRunning());
    ASSERT_TRUE(t.SetStopAndWait());
    EXPECT_FALSE(t.IsThreadAlive());
    EXPECT_EQ(t.GetExitCode(), 7u);
}

}  // namespace
