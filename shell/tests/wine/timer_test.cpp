// The countdown timer on a real window and a real system timer, and the
// notice box that lets it go on.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "test_support.h"

namespace morvane::test {
namespace {

TEST(TimerControl, IsAHiddenChildOfItsOwnClassWithNoTimerAtStart) {
    TestProgram program;
    ASSERT_TRUE(program.built());
    const HWND timer = program.child(130);
    ASSERT_NE(timer, nullptr);
    EXPECT_FALSE(IsWindowVisible(timer));
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(timer, GWL_STYLE)),
              static_cast<DWORD>(WS_CHILD | WS_CLIPSIBLINGS));
    WNDCLASSA windowClass{};
    ASSERT_TRUE(GetClassInfoA(GetModuleHandleA(nullptr), "MorvaneTimer", &windowClass));
    EXPECT_EQ(windowClass.style, static_cast<UINT>(CS_DBLCLKS));
    EXPECT_EQ(windowClass.hbrBackground, GetStockObject(NULL_BRUSH));
    EXPECT_EQ(windowClass.hCursor, LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_FALSE(program.mainWindow().timer().ticking());
    EXPECT_EQ(program.countdown().timer.period(), 0);
}

TEST(TimerControl, TicksEverySecondAndTheSameValueAgainDoesNotRestartTheInterval) {
    TestProgram program;
    ASSERT_TRUE(program.built());
    CountdownTimer& timer = program.countdown().timer;
    timer.setTag("100000");
    const DWORD start = GetTickCount();
    timer.setPeriod(1000);
    EXPECT_TRUE(program.mainWindow().timer().ticking());
    pumpFor(program.loop(), 600);
    ASSERT_EQ(tagText(timer), "100000");
    timer.setPeriod(1000);  // must leave the next tick where it was

    ASSERT_TRUE(pumpUntil(
                    program.loop(), [&] { return tagText(timer) != "100000"; }, 3000)
                    .done);
    const DWORD firstTick = GetTickCount() - start;
    EXPECT_EQ(tagText(timer), "99000");
    EXPECT_EQ(program.statusText(), "倒计时中，剩余：99 秒");
    EXPECT_GE(firstTick, 900u);
    EXPECT_LT(firstTick, 1500u) << "the second setPeriod(1000) restarted the interval";

    ASSERT_TRUE(pumpUntil(
                    program.loop(), [&] { return tagText(timer) == "98000"; }, 3000)
                    .done);

    // A negative period stops it: no tick follows.
    timer.setPeriod(-5);
    EXPECT_EQ(timer.period(), 0);
    EXPECT_FALSE(program.mainWindow().timer().ticking());
    pumpFor(program.loop(), 1500);
    EXPECT_EQ(tagText(timer), "98000");
}

TEST(TimerControl, AThreeSecondCountdownClicksOnTheThirdTickAtTheCursor) {
    TestProgram program;
    ASSERT_TRUE(program.built());
    program.countdown().list.setSelectedIndex(0);  // 3秒
    std::vector<std::string> statuses;
    SendMessageA(program.child(110), BM_CLICK, 0, 0);
    statuses.push_back(program.statusText());
    const PumpResult result = pumpUntil(
        program.loop(),
        [&] {
            if (program.statusText() != statuses.back()) statuses.push_back(program.statusText());
            return !program.desktop.clicks.empty();
        },
        6000);
    ASSERT_TRUE(result.done);
    EXPECT_EQ(statuses, (std::vector<std::string>{"倒计时开始，剩余：3 秒", "倒计时中，剩余：2 秒",
                                                  "倒计时中，剩余：1 秒", "状态：空闲"}));
    POINT cursor{};
    GetCursorPos(&cursor);
    ASSERT_EQ(program.desktop.clicks.size(), 1u);
    EXPECT_EQ(program.desktop.clicks[0].x, cursor.x);
    EXPECT_EQ(program.desktop.clicks[0].y, cursor.y);
    EXPECT_EQ(program.desktop.clicks[0].kind, 0);
    EXPECT_EQ(program.countdown().timer.period(), 0);
    EXPECT_EQ(tagText(program.countdown().timer), "0");
}

TEST(TimerControl, ClosingTheWindowDuringACountdownBringsNoTickAndNoClick) {
    TestProgram program;
    ASSERT_TRUE(program.built());
    program.countdown().list.setSelectedIndex(0);  // 3秒
    SendMessageA(program.child(110), BM_CLICK, 0, 0);
    CountdownTimer& timer = program.countdown().timer;
    ASSERT_TRUE(pumpUntil(
                    program.loop(), [&] { return tagText(timer) == "2000"; }, 3000)
                    .done);

    SendMessageA(program.window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(program.window(), nullptr);
    EXPECT_FALSE(program.mainWindow().timer().ticking());
    const PumpResult rest = pumpFor(program.loop(), 3000);
    EXPECT_TRUE(rest.quit);
    EXPECT_EQ(tagText(timer), "2000");
    EXPECT_TRUE(program.desktop.clicks.empty());
}

// The notice box of this thread, if one is open.
HWND openNotice() {
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM result) -> BOOL {
            char name[16] = {};
            GetClassNameA(window, name, sizeof name);
            if (lstrcmpA(name, "#32770") == 0 && IsWindowVisible(window)) {
                *reinterpret_cast<HWND*>(result) = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// What a timer callback saw while the notice was open. The callback has no
// context of its own.
struct NoticeWatch {
    TestProgram* program = nullptr;
    DWORD start = 0;
    bool seen = false;
    MessageBoxParts parts;
    bool mainWindowEnabled = true;
    std::vector<std::string> statuses;
    std::size_t clicksWhileOpen = 0;
} watch;

void CALLBACK watchNotice(HWND, UINT, UINT_PTR, DWORD) {
    const HWND box = openNotice();
    if (box == nullptr) return;
    if (!watch.seen) {
        watch.seen = true;
        watch.parts = readMessageBox(box);
        watch.mainWindowEnabled = IsWindowEnabled(watch.program->window()) != FALSE;
    }
    const std::string status = watch.program->statusText();
    if (watch.statuses.empty() || watch.statuses.back() != status) watch.statuses.push_back(status);
    watch.clicksWhileOpen = watch.program->desktop.clicks.size();
    const bool countdownOver = watch.program->countdown().timer.period() == 0;
    if (countdownOver || GetTickCount() - watch.start > 10000) PostMessageA(box, WM_COMMAND, IDOK, 0);
}

// Presses 确认 with a watcher that reads the notice it opens and closes it;
// returns when handleConfirm has returned.
void pressConfirmWatchingTheNotice(TestProgram& program) {
    watch = NoticeWatch{};
    watch.program = &program;
    watch.start = GetTickCount();
    const UINT_PTR watcher = SetTimer(nullptr, 0, 50, watchNotice);
    SendMessageA(program.child(110), BM_CLICK, 0, 0);
    KillTimer(nullptr, watcher);
}

TEST(Notice, ConfirmDuringACountdownWarnsWhileTheCountdownGoesOnToItsClick) {
    TestProgram program;
    ASSERT_TRUE(program.built());
    program.countdown().list.setSelectedIndex(0);  // 3秒
    SendMessageA(program.child(110), BM_CLICK, 0, 0);
    ASSERT_EQ(program.countdown().timer.period(), 1000);

    // handleConfirm waits in the notice's own loop until the watcher closes it.
    pressConfirmWatchingTheNotice(program);

    ASSERT_TRUE(watch.seen);
    EXPECT_EQ(watch.parts.title, "提示");
    EXPECT_EQ(watch.parts.text, "倒计时运行中，请先取消！");
    EXPECT_EQ(watch.parts.buttonIds, std::vector<int>{IDOK});
    EXPECT_FALSE(watch.parts.hasIcon);
    EXPECT_EQ(watch.parts.owner, nullptr);
    EXPECT_FALSE(watch.mainWindowEnabled) << "the notice is not task-modal";
    // The ticks ran inside the notice's loop, down to the click.
    EXPECT_EQ(watch.statuses.back(), "状态：空闲");
    EXPECT_NE(std::find(watch.statuses.begin(), watch.statuses.end(), "倒计时中，剩余：1 秒"),
              watch.statuses.end());
    EXPECT_EQ(watch.clicksWhileOpen, 1u);
    EXPECT_TRUE(IsWindowEnabled(program.window()));
}

TEST(Notice, ConfirmWithoutASelectionWarnsAndStartsNothing) {
    TestProgram program;
    ASSERT_TRUE(program.built());
    program.countdown().list.setSelectedIndex(-1);

    pressConfirmWatchingTheNotice(program);

    ASSERT_TRUE(watch.seen);
    EXPECT_EQ(watch.parts.title, "提示");
    EXPECT_EQ(watch.parts.text, "请在下拉框选择延迟时间！");
    EXPECT_EQ(program.countdown().timer.period(), 0);
    EXPECT_EQ(program.statusText(), "状态：空闲");
}

}  // namespace
}  // namespace morvane::test
