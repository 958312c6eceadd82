// The countdown as the handlers run it, against in-memory controls. Expected
// texts are written as code page 936 bytes so that the test does not trust
// the compiler's conversion of the sources.
#include <gtest/gtest.h>

#include <string>

#include "fake_window.h"
#include "handlers.h"

namespace morvane::testing {
namespace {

const std::string idle = "\xD7\xB4\xCC\xAC\xA3\xBA\xBF\xD5\xCF\xD0";
const std::string cancelled = "\xD7\xB4\xCC\xAC\xA3\xBA\xD2\xD1\xC8\xA1\xCF\xFB\xA3\xAC\xBF\xD5\xCF\xD0";
const std::string startPrefix = "\xB5\xB9\xBC\xC6\xCA\xB1\xBF\xAA\xCA\xBC\xA3\xAC\xCA\xA3\xD3\xE0\xA3\xBA";
const std::string runningPrefix = "\xB5\xB9\xBC\xC6\xCA\xB1\xD6\xD0\xA3\xAC\xCA\xA3\xD3\xE0\xA3\xBA";
const std::string secondsSuffix = " \xC3\xEB";
const std::string title = "\xCC\xE1\xCA\xBE";
const std::string nothingSelected =
    "\xC7\xEB\xD4\xDA\xCF\xC2\xC0\xAD\xBF\xF2\xD1\xA1\xD4\xF1\xD1\xD3\xB3\xD9\xCA\xB1\xBC\xE4\xA3\xA1";
const std::string alreadyRunning =
    "\xB5\xB9\xBC\xC6\xCA\xB1\xD4\xCB\xD0\xD0\xD6\xD0\xA3\xAC\xC7\xEB\xCF\xC8\xC8\xA1\xCF\xFB\xA3\xA1";

const std::string sec = "\xC3\xEB";
const std::string minutes = "\xB7\xD6\xD6\xD3";
const std::string hours = "\xD0\xA1\xCA\xB1";

std::string starting(const std::string& seconds) { return startPrefix + seconds + secondsSuffix; }
std::string running(const std::string& seconds) { return runningPrefix + seconds + secondsSuffix; }

class Handlers : public ::testing::Test {
protected:
    void SetUp() override { handleCreated(w.controls); }

    void select(const char* displayed) {
        for (std::size_t i = 0; i < w.list.items.size(); ++i)
            if (w.list.items[i].first == displayed) w.list.selected = static_cast<int>(i);
    }

    FakeWindow w;
};

TEST_F(Handlers, CreatedFillsTheListInTableOrderAndSelectsTenSeconds) {
    const std::vector<std::pair<std::string, std::int32_t>> expected = {
        {"3" + sec, 3000},         {"10" + sec, 10000},      {"15" + sec, 15000},
        {"30" + sec, 30000},       {"1" + minutes, 60000},   {"5" + minutes, 300000},
        {"10" + minutes, 600000},  {"20" + minutes, 1200000}, {"30" + minutes, 1800000},
        {"1" + hours, 3600000},    {"2" + hours, 7200000},   {"3" + hours, 10800000},
        {"4" + hours, 14400000},   {"5" + hours, 18000000},  {"6" + hours, 21600000},
        {"7" + hours, 25200000},   {"8" + hours, 28800000},
    };
    EXPECT_EQ(w.list.items, expected);
    EXPECT_EQ(w.list.selectedIndex(), 1);
    EXPECT_EQ(w.status.captions, std::vector<std::string>{idle});
    EXPECT_EQ(w.timer.period(), 0);
    EXPECT_EQ(w.tag(), "<missing>");
    EXPECT_TRUE(w.systemTimer.calls.empty()) << "setPeriod(0) on a stopped timer makes no system call";
}

TEST_F(Handlers, ThreeSecondCountdownClicksAtTheCursorOfTheLastTick) {
    select("3\xC3\xEB");
    handleConfirm(w.controls);
    EXPECT_EQ(w.status.shown(), starting("3"));
    EXPECT_EQ(w.tag(), "3000");
    EXPECT_EQ(w.timer.period(), 1000);
    EXPECT_EQ(w.systemTimer.calls, std::vector<std::string>{"set 1000"});

    w.desktop.x = 10;
    w.desktop.y = 20;
    ASSERT_TRUE(w.tick());
    EXPECT_EQ(w.status.shown(), running("2"));
    EXPECT_EQ(w.tag(), "2000");
    ASSERT_TRUE(w.tick());
    EXPECT_EQ(w.status.shown(), running("1"));
    EXPECT_EQ(w.tag(), "1000");
    EXPECT_TRUE(w.desktop.clicks.empty());

    w.desktop.x = 700;  // the mouse moved before the last tick
    w.desktop.y = -40;
    ASSERT_TRUE(w.tick());
    ASSERT_EQ(w.desktop.clicks.size(), 1u);
    EXPECT_EQ(w.desktop.clicks[0].x, 700);
    EXPECT_EQ(w.desktop.clicks[0].y, -40);
    EXPECT_EQ(w.desktop.clicks[0].kind, 0);
    EXPECT_EQ(w.desktop.calls, (std::vector<std::string>{"cursorX", "cursorY", "click"}));
    EXPECT_EQ(w.status.shown(), idle);
    EXPECT_EQ(w.tag(), "0");
    EXPECT_EQ(w.timer.period(), 0);
    EXPECT_EQ(w.systemTimer.calls, (std::vector<std::string>{"set 1000", "kill"}));
    EXPECT_FALSE(w.tick()) << "no tick after the countdown stopped";
    EXPECT_EQ(w.status.captions.size(), 5u) << "idle, start, 2, 1, idle";
}

TEST_F(Handlers, TenSecondsCountNineRunningStatusesThenClick) {
    handleConfirm(w.controls);  // "10秒" is preselected
    EXPECT_EQ(w.status.shown(), starting("10"));
    EXPECT_EQ(w.tag(), "10000");
    for (int left = 9; left >= 1; --left) {
        ASSERT_TRUE(w.tick());
        EXPECT_EQ(w.status.shown(), running(std::to_string(left)));
    }
    EXPECT_TRUE(w.desktop.clicks.empty());
    ASSERT_TRUE(w.tick());
    EXPECT_EQ(w.desktop.clicks.size(), 1u);
    EXPECT_EQ(w.tag(), "0");
}

TEST_F(Handlers, EightHoursStartWith28800Seconds) {
    select("8\xD0\xA1\xCA\xB1");
    handleConfirm(w.controls);
    EXPECT_EQ(w.status.shown(), starting("28800"));
    EXPECT_EQ(w.tag(), "28800000");
    ASSERT_TRUE(w.tick());
    EXPECT_EQ(w.status.shown(), running("28799"));
    EXPECT_EQ(w.tag(), "28799000");
}

TEST_F(Handlers, ConfirmWhileRunningShowsANoticeAndLeavesTheCountdown) {
    select("1\xB7\xD6\xD6\xD3");
    handleConfirm(w.controls);
    ASSERT_TRUE(w.tick());
    select("3\xC3\xEB");  // a changed choice counts only at the next start
    const auto captions = w.status.captions;
    handleConfirm(w.controls);
    ASSERT_EQ(w.desktop.notices.size(), 1u);
    EXPECT_EQ(w.desktop.notices[0].text, alreadyRunning);
    EXPECT_EQ(w.desktop.notices[0].title, title);
    EXPECT_EQ(w.status.captions, captions);
    EXPECT_EQ(w.tag(), "59000");
    EXPECT_EQ(w.systemTimer.calls, std::vector<std::string>{"set 1000"}) << "the interval is not restarted";
}

TEST_F(Handlers, MissingSelectionIsReportedFirstEvenWhileRunning) {
    w.list.selected = -1;
    handleConfirm(w.controls);
    ASSERT_EQ(w.desktop.notices.size(), 1u);
    EXPECT_EQ(w.desktop.notices[0].text, nothingSelected);
    EXPECT_EQ(w.desktop.notices[0].title, title);
    EXPECT_EQ(w.timer.period(), 0);
    EXPECT_EQ(w.tag(), "<missing>");

    w.list.selected = 1;
    handleConfirm(w.controls);
    w.list.selected = -1;
    handleConfirm(w.controls);
    ASSERT_EQ(w.desktop.notices.size(), 2u);
    EXPECT_EQ(w.desktop.notices[1].text, nothingSelected);
    EXPECT_EQ(w.timer.period(), 1000);
    EXPECT_EQ(w.tag(), "10000");
}

TEST_F(Handlers, CancelWhileIdleShowsTheCancelledStatus) {
    handleCancel(w.controls);
    EXPECT_EQ(w.status.shown(), cancelled);
    EXPECT_EQ(w.timer.period(), 0);
    EXPECT_TRUE(w.systemTimer.calls.empty());
}

TEST_F(Handlers, CancelStopsTheCountdownKeepsTheTagAndAFreshStartBeginsAgain) {
    handleConfirm(w.controls);
    ASSERT_TRUE(w.tick());
    ASSERT_TRUE(w.tick());
    handleCancel(w.controls);
    EXPECT_EQ(w.status.shown(), cancelled);
    EXPECT_EQ(w.timer.period(), 0);
    EXPECT_EQ(w.tag(), "8000");
    EXPECT_FALSE(w.tick());

    handleConfirm(w.controls);
    EXPECT_EQ(w.status.shown(), starting("10"));
    EXPECT_EQ(w.tag(), "10000");
    EXPECT_EQ(w.systemTimer.calls, (std::vector<std::string>{"set 1000", "kill", "set 1000"}));
    EXPECT_TRUE(w.desktop.clicks.empty());
}

TEST_F(Handlers, AFinishedCountdownLeavesZeroWhichTheNextStartOverwrites) {
    select("3\xC3\xEB");
    handleConfirm(w.controls);
    while (w.tick()) {
    }
    EXPECT_EQ(w.tag(), "0");
    handleConfirm(w.controls);
    EXPECT_EQ(w.tag(), "3000");
    EXPECT_EQ(w.timer.period(), 1000);
}

// A notice's modal loop keeps dispatching ticks: they run nested inside
// handleConfirm, up to and including the last one.
TEST_F(Handlers, TicksGoOnWhileANoticeIsOpenAndTheLastOneClicks) {
    select("3\xC3\xEB");
    handleConfirm(w.controls);
    w.desktop.x = 5;
    w.desktop.y = 6;
    std::vector<std::string> shownWhileOpen;
    w.desktop.whileNoticeOpen = [&] {
        while (w.tick()) shownWhileOpen.push_back(w.status.shown());
    };
    handleConfirm(w.controls);  // running: the "already running" notice
    EXPECT_EQ(shownWhileOpen, (std::vector<std::string>{running("2"), running("1"), idle}));
    ASSERT_EQ(w.desktop.clicks.size(), 1u);
    EXPECT_EQ(w.desktop.clicks[0].x, 5);
    EXPECT_EQ(w.desktop.calls,
              (std::vector<std::string>{"notice", "cursorX", "cursorY", "click"}));
    EXPECT_EQ(w.timer.period(), 0);
    EXPECT_EQ(w.status.shown(), idle) << "nothing follows the notice";
}

TEST_F(Handlers, TicksGoOnBehindTheMissingSelectionNotice) {
    handleConfirm(w.controls);
    w.list.selected = -1;
    int ticks = 0;
    w.desktop.whileNoticeOpen = [&] {
        for (; ticks < 3; ++ticks) ASSERT_TRUE(w.tick());
    };
    handleConfirm(w.controls);
    EXPECT_EQ(w.status.shown(), running("7"));
    EXPECT_EQ(w.tag(), "7000");
}

// Whatever the tag holds, a tick stores its value less 1000 before anything else.
TEST_F(Handlers, TickReadsTheTagAsText) {
    const struct {
        const char* stored;
        const char* after;
        bool clicks;
    } cases[] = {
        {"2000", "1000", false},
        {"1000", "0", true},
        {"500", "-500", true},
        {"\xA3\xB3\xA3\xB0\xA3\xB0\xA3\xB0", "2000", false},  // full-width "3000"
        {"abc", "-1000", true},
        {nullptr, "-1000", true},  // an empty tag reads as 0
    };
    for (const auto& c : cases) {
        FakeWindow fresh;
        handleCreated(fresh.controls);
        handleConfirm(fresh.controls);
        fresh.timer.setTag(c.stored);
        ASSERT_TRUE(fresh.tick());
        EXPECT_EQ(fresh.tag(), c.after) << (c.stored == nullptr ? "(empty)" : c.stored);
        EXPECT_EQ(fresh.desktop.clicks.size(), c.clicks ? 1u : 0u) << c.after;
        EXPECT_EQ(fresh.timer.period(), c.clicks ? 0 : 1000) << c.after;
    }
}

}  // namespace
}  // namespace morvane::testing
