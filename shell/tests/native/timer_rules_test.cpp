#include "timer_rules.h"

#include <gtest/gtest.h>

#include <cstring>

#include "fake_window.h"

namespace morvane::testing {
namespace {

struct Timer : ::testing::Test {
    FakeSystemTimer system;
    TimerRules timer{system};
    using Calls = std::vector<std::string>;
};

TEST_F(Timer, StartsStoppedWithNoTag) {
    EXPECT_EQ(timer.period(), 0);
    EXPECT_FALSE(timer.ticking());
    EXPECT_TRUE(timer.tag().isMissing());
    timer.windowCreated();
    EXPECT_TRUE(system.calls.empty()) << "no timer runs at start";
}

TEST_F(Timer, PeriodChangesMakeTheSystemCallsOfTheirTransition) {
    const struct {
        std::int32_t set;
        std::int32_t period;
        Calls calls;  // made by this step alone
    } steps[] = {
        {0, 0, {}},                          // stopped stays stopped: no call
        {1000, 1000, {"set 1000"}},          // stopped -> running
        {1000, 1000, {}},                    // same value: the interval is not restarted
        {500, 500, {"kill", "set 500"}},     // another period starts again from the call
        {-5, 0, {"kill"}},                   // negative counts as 0
        {-5, 0, {}},
        {2000, 2000, {"set 2000"}},
        {0, 0, {"kill"}},
    };
    for (const auto& step : steps) {
        system.calls.clear();
        timer.setPeriod(step.set);
        EXPECT_EQ(timer.period(), step.period) << "setPeriod(" << step.set << ")";
        EXPECT_EQ(system.calls, step.calls) << "setPeriod(" << step.set << ")";
        EXPECT_EQ(timer.ticking(), step.period > 0);
    }
}

TEST_F(Timer, DestroyingTheWindowKillsARunningTimerOnce) {
    timer.setPeriod(1000);
    timer.windowDestroyed();
    timer.windowDestroyed();
    EXPECT_EQ(system.calls, (Calls{"set 1000", "kill"}));
    EXPECT_EQ(system.running, 0);
    EXPECT_FALSE(timer.ticking());
}

TEST_F(Timer, TagReadsAreFreshCopies) {
    timer.setTag("60000");
    Text first = timer.tag();
    const Text second = timer.tag();
    ASSERT_FALSE(first.isMissing());
    EXPECT_NE(first.get(), second.get());
    first = Text();  // releasing one copy leaves the other and the tag
    EXPECT_STREQ(second.get(), "60000");
    EXPECT_STREQ(timer.tag().get(), "60000");

    char caller[] = "123";
    timer.setTag(caller);
    caller[0] = '9';
    EXPECT_STREQ(timer.tag().get(), "123") << "the timer keeps its own copy";
}

TEST_F(Timer, EmptyOrNoTextEmptiesTheTag) {
    for (const char* cleared : {"", static_cast<const char*>(nullptr)}) {
        timer.setTag("5");
        timer.setTag(cleared);
        EXPECT_TRUE(timer.tag().isMissing());
    }
}

}  // namespace
}  // namespace morvane::testing
