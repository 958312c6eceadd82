// The program as a process: its exit codes, the fatal path, the start state.
#include <gtest/gtest.h>

#include <float.h>

#include <string>

#include "test_support.h"

namespace morvane::test {
namespace {

std::string quoted(const std::string& path) {
    return "\"" + path + "\"";
}

TEST(Process, TwoCopiesRunSideBySideAndEachEndsWithZeroWhenClosed) {
    ChildProcess first(quoted(exeDirectory() + "Morvane.exe"));
    ChildProcess second(quoted(exeDirectory() + "Morvane.exe"));
    ASSERT_TRUE(first.started());
    ASSERT_TRUE(second.started());
    for (ChildProcess* copy : {&first, &second}) {
        const HWND window = copy->waitForWindow("MorvaneMainWindow", 20000);
        ASSERT_NE(window, nullptr);
        const DWORD start = GetTickCount();
        while (!IsWindowVisible(window) && GetTickCount() - start < 10000) Sleep(20);
        // Shown only once the list is filled and the status set.
        ASSERT_TRUE(IsWindowVisible(window));
        const RECT outer = screenRectOf(window);
        EXPECT_EQ(outer.left, 826);
        EXPECT_EQ(outer.top, 441);
        EXPECT_EQ(outer.right, 1093);
        EXPECT_EQ(outer.bottom, 639);
        EXPECT_EQ(textOfAnyWindow(window), "Morvane");
        EXPECT_EQ(textOfAnyWindow(GetDlgItem(window, 100)), "10秒");
        EXPECT_EQ(SendMessageA(GetDlgItem(window, 100), CB_GETCOUNT, 0, 0), 17);
        EXPECT_EQ(textOfAnyWindow(GetDlgItem(window, 140)), "状态：空闲");
    }
    for (ChildProcess* copy : {&first, &second}) {
        PostMessageA(copy->waitForWindow("MorvaneMainWindow", 1000), WM_CLOSE, 0, 0);
        EXPECT_EQ(copy->waitForExit(20000), 0u);
    }
}

struct FatalCase {
    const char* name;
    const char* mode;  // the test exe's command-line switch
    const char* text;
};

void PrintTo(const FatalCase& fatal, std::ostream* out) {
    *out << fatal.name;
}

class FatalPath : public ::testing::TestWithParam<FatalCase> {};

TEST_P(FatalPath, ShowsOneErrorBoxRunsNoHandlerAfterItAndEndsWithCodeOne) {
    const FatalCase& fatal = GetParam();
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    ChildProcess child(quoted(self) + " " + fatal.mode);
    ASSERT_TRUE(child.started());
    const HWND box = child.waitForWindow("#32770", 20000);
    ASSERT_NE(box, nullptr);
    const MessageBoxParts parts = readMessageBox(box);
    EXPECT_EQ(parts.title, "Morvane");
    EXPECT_EQ(parts.text, fatal.text);
    EXPECT_TRUE(parts.hasIcon);
    EXPECT_EQ(parts.buttonIds, std::vector<int>{IDOK});

    const HWND window = child.waitForWindow("MorvaneMainWindow", 0);
    const std::string status = window != nullptr ? textOfAnyWindow(GetDlgItem(window, 140)) : "";
    // A countdown may be running behind the box: its ticks must reach no handler.
    Sleep(2500);
    EXPECT_EQ(child.waitForExit(0), static_cast<DWORD>(STILL_ACTIVE)) << "ended without waiting for the box";
    EXPECT_EQ(child.windows("#32770").size(), 1u);
    if (window != nullptr) {
        EXPECT_EQ(textOfAnyWindow(GetDlgItem(window, 140)), status);
    }

    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(child.waitForExit(20000), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, FatalPath,
    ::testing::Values(FatalCase{"NoMainWindow", "--refuse-window=0", "无法创建程序窗口，Morvane 将退出。"},
                      FatalCase{"NoList", "--refuse-window=100", "无法创建程序窗口，Morvane 将退出。"},
                      FatalCase{"NoTimer", "--refuse-window=130", "无法创建程序窗口，Morvane 将退出。"},
                      FatalCase{"NoCreditLabel", "--refuse-window=150", "无法创建程序窗口，Morvane 将退出。"},
                      FatalCase{"NoMemoryForATextDuringACountdown", "--refuse-text-memory",
                                "内存不足，Morvane 无法继续运行，将退出。"}),
    [](const ::testing::TestParamInfo<FatalCase>& test) { return std::string(test.param.name); });

TEST(Process, StartUpPutsTheFloatingPointUnitInItsInitialState) {
    _control87(_RC_UP, _MCW_RC);
    _control87(0, _EM_INEXACT);  // unmasked
    resetFloatingPoint();
    const unsigned int control = _control87(0, 0);
    EXPECT_EQ(control & _MCW_RC, static_cast<unsigned int>(_RC_NEAR));
    EXPECT_EQ(control & _MCW_EM, static_cast<unsigned int>(_MCW_EM));
}

}  // namespace
}  // namespace morvane::test
