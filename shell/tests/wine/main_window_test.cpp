// MainWindow as start-up builds it: class, frame, place, children, icons,
// painting, keys and focus.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace morvane::test {
namespace {

// Every CreateWindowExA call of the building, as it was asked for.
class RecordingCreator final : public WindowCreator {
public:
    struct Request {
        DWORD extendedStyle;
        std::string className;
        std::string title;
        bool hasTitle;
        DWORD style;
        RECT place;  // left, top, width, height
        bool hasParent;
        int identifier;
    };

    HWND create(const WindowRequest& request) const override {
        requests.push_back({request.extendedStyle,
                            request.className,
                            request.title ? request.title : "",
                            request.title != nullptr,
                            request.style,
                            {request.left, request.top, request.width, request.height},
                            request.parent != nullptr,
                            request.identifier});
        return WindowCreator::create(request);
    }

    mutable std::vector<Request> requests;
};

constexpr DWORD childBase = WS_CHILD | WS_CLIPSIBLINGS;
constexpr DWORD listStyle = childBase | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL;
constexpr DWORD buttonStyle = childBase | WS_TABSTOP | BS_PUSHBUTTON | BS_CENTER | BS_VCENTER | BS_MULTILINE;

struct ExpectedChild {
    int identifier;
    const char* className;
    const char* title;  // nullptr: no title
    DWORD style;
    RECT place;  // as created: left, top, width, height
    bool shown;
};

// In creation order.
const ExpectedChild expectedChildren[] = {
    {100, "COMBOBOX", "", listStyle, {16, 38, 132, 160}, true},
    {110, "BUTTON", "确认", buttonStyle, {168, 32, 80, 32}, true},
    {120, "BUTTON", "取消", buttonStyle, {168, 80, 80, 32}, true},
    {130, "MorvaneTimer", nullptr, childBase, {16, 16, 26, 26}, false},
    {140, "MorvaneLabel", "标签", childBase, {16, 80, 152, 32}, true},
    {150, "MorvaneLabel", "作者：Morvane 开发组 版权所有", childBase, {32, 144, 216, 24}, true},
};

TEST(MainWindowBuilding, CreatesTheWindowThenSixHiddenChildrenInOrder) {
    RecordingCreator creator;
    TestProgram program(creator);
    ASSERT_TRUE(program.built());
    const auto& requests = creator.requests;
    ASSERT_EQ(requests.size(), 7u);

    const auto& main = requests[0];
    EXPECT_EQ(main.className, "MorvaneMainWindow");
    EXPECT_EQ(main.title, "Morvane");
    EXPECT_EQ(main.style, 0x02CA0000u);
    EXPECT_EQ(main.extendedStyle, 0u);
    EXPECT_FALSE(main.hasParent);
    ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
    ASSERT_EQ(GetSystemMetrics(SM_CYSCREEN), 1080);
    EXPECT_EQ(main.place.left, 826);
    EXPECT_EQ(main.place.top, 441);
    EXPECT_EQ(main.place.right, 267);
    EXPECT_EQ(main.place.bottom, 198);

    for (std::size_t i = 0; i < std::size(expectedChildren); ++i) {
        const ExpectedChild& expected = expectedChildren[i];
        const auto& actual = requests[i + 1];
        SCOPED_TRACE(expected.identifier);
        EXPECT_EQ(actual.identifier, expected.identifier);
        EXPECT_EQ(lstrcmpiA(actual.className.c_str(), expected.className), 0) << actual.className;
        EXPECT_EQ(actual.hasTitle, expected.title != nullptr);
        if (expected.title != nullptr) {
            EXPECT_EQ(actual.title, expected.title);
        }
        EXPECT_EQ(actual.style, expected.style);  // hidden, enabled
        EXPECT_EQ(actual.extendedStyle, 0u);
        EXPECT_TRUE(actual.hasParent);
        EXPECT_EQ(actual.place.left, expected.place.left);
        EXPECT_EQ(actual.place.top, expected.place.top);
        EXPECT_EQ(actual.place.right, expected.place.right);
        EXPECT_EQ(actual.place.bottom, expected.place.bottom);
    }
}

TEST(MainWindowBuilding, TheLiveWindowHasItsFrameClassPlaceAndChildren) {
    TestProgram program;
    ASSERT_TRUE(program.built());
    const HWND window = program.window();

    const RECT outer = screenRectOf(window);
    EXPECT_EQ(outer.left, 826);
    EXPECT_EQ(outer.top, 441);
    EXPECT_EQ(outer.right, 1093);
    EXPECT_EQ(outer.bottom, 639);
    EXPECT_EQ(TestProgram::windowText(window), "Morvane");
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(GetParent(window), nullptr);
    EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr);
    // The system adds WS_CLIPSIBLINGS to every top-level window.
    const DWORD style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
    EXPECT_EQ(style & ~static_cast<DWORD>(WS_VISIBLE | WS_CLIPSIBLINGS), 0x02CA0000u);
    EXPECT_EQ(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);

    WNDCLASSA windowClass{};
    ASSERT_TRUE(GetClassInfoA(GetModuleHandleA(nullptr), "MorvaneMainWindow", &windowClass));
    EXPECT_EQ(windowClass.style, static_cast<UINT>(CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(windowClass.hbrBackground, GetStockObject(NULL_BRUSH));
    EXPECT_EQ(windowClass.hCursor, LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(windowClass.hIcon, nullptr);
    EXPECT_EQ(windowClass.cbWndExtra, 0);
    EXPECT_EQ(windowClass.cbClsExtra, 0);

    // The children in creation order, at their places, shown but the timer.
    std::vector<int> order;
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        order.push_back(GetDlgCtrlID(child));
    }
    EXPECT_EQ(order, (std::vector<int>{100, 110, 120, 130, 140, 150}));
    for (const ExpectedChild& expected : expectedChildren) {
        SCOPED_TRACE(expected.identifier);
        const HWND child = program.child(expected.identifier);
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(IsWindowVisible(child) != FALSE, expected.shown);
        EXPECT_TRUE(IsWindowEnabled(child));
        RECT place = screenRectOf(child);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&place), 2);
        EXPECT_EQ(place.left, expected.place.left);
        EXPECT_EQ(place.top, expected.place.top);
        EXPECT_EQ(place.right - place.left, expected.place.right);
        // The list's own height is its edit field's; the rest is the dropped list.
        if (expected.identifier != 100) {
            EXPECT_EQ(place.bottom - place.top, expected.place.bottom);
        }
        if (expected.identifier == 110 || expected.identifier == 120 || expected.identifier == 100) {
            EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageA(child, WM_GETFONT, 0, 0)),
                      GetStockObject(DEFAULT_GUI_FONT));
        }
    }
}

TEST(MainWindowBuilding, BothIconsAreMadeFromThe128PixelImage) {
    TestProgram program;
    ASSERT_TRUE(program.built());
    for (const WPARAM which : {WPARAM{ICON_BIG}, WPARAM{ICON_SMALL}}) {
        SCOPED_TRACE(which);
        const auto icon = reinterpret_cast<HICON>(SendMessageA(program.window(), WM_GETICON, which, 0));
        ASSERT_NE(icon, nullptr);
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP colour{};
        GetObjectA(info.hbmColor, sizeof colour, &colour);
        EXPECT_EQ(colour.bmWidth, 128);
        EXPECT_EQ(colour.bmHeight, 128);
        EXPECT_EQ(colour.bmBitsPixel, 32);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
    EXPECT_NE(SendMessageA(program.window(), WM_GETICON, ICON_BIG, 0),
              SendMessageA(program.window(), WM_GETICON, ICON_SMALL, 0));
}

TEST(MainWindowBuilding, TheFirstPictureShowsTheFilledListTheIdleStatusAndFocusInTheList) {
    TestProgram program;
    ASSERT_TRUE(program.built());
    const HWND list = program.child(100);
    EXPECT_EQ(SendMessageA(list, CB_GETCOUNT, 0, 0), 17);
    EXPECT_EQ(SendMessageA(list, CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(TestProgram::windowText(list), "10秒");
    EXPECT_EQ(program.statusText(), "状态：空闲");
    EXPECT_EQ(program.countdown().timer.period(), 0);
    EXPECT_EQ(tagText(program.countdown().timer), "(missing)");
    const HWND focus = GetFocus();
    EXPECT_TRUE(focus == list || IsChild(list, focus));
    EXPECT_EQ(program.events().eventBlockCount(), 0);
}

TEST(MainWindowPainting, TheBackgroundIsTheButtonFaceColourOfThisPaint) {
    TestProgram program;
    ASSERT_TRUE(program.built());
    const HWND window = program.window();
    const RECT client = clientRectOnScreen(window);
    const POINT spots[] = {{4, 4}, {100, 20}, {5, 130}, {100, 125}, {8, 160}};  // between the children

    const int element = COLOR_BTNFACE;
    const COLORREF original = GetSysColor(element);
    const COLORREF changed = RGB(40, 160, 90);
    for (const COLORREF face : {original, changed}) {
        SCOPED_TRACE(face);
        SetSysColors(1, &element, &face);
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        pumpFor(program.loop(), 150);
        const ScreenPixels pixels(client);
        for (const POINT& spot : spots) EXPECT_EQ(pixels.at(spot.x, spot.y), face) << spot.x << "," << spot.y;
    }
    SetSysColors(1, &element, &original);
}

// Which child holds the focus: 100 for the list (its edit field), 0 for none of them.
int focusedChild(TestProgram& program) {
    const HWND focus = GetFocus();
    for (const int id : {100, 110, 120}) {
        const HWND child = program.child(id);
        if (focus == child || IsChild(child, focus)) return id;
    }
    return 0;
}

struct KeyCase {
    const char* name;
    int from;  // the focused child
    WORD key;
    std::vector<WORD> modifiers;
    int focusAfter;  // 0: the window is closed
    int characters;  // character messages of the key that must follow; -1: not checked
};

void PrintTo(const KeyCase& key, std::ostream* out) {
    *out << key.name;
}

class MainWindowKeys : public ::testing::TestWithParam<KeyCase> {};

TEST_P(MainWindowKeys, TabShiftTabAndEscAreTakenBeforeDispatch) {
    const KeyCase& key = GetParam();
    TestProgram program;
    ASSERT_TRUE(program.built());
    SetFocus(program.child(key.from));
    ASSERT_EQ(focusedChild(program), key.from);
    const std::string statusBefore = program.statusText();

    KeyMessageLog log;
    if (key.modifiers.empty()) {
        typeKey(key.key);
    } else if (key.modifiers.size() == 1) {
        typeKey(key.key, {key.modifiers[0]});
    } else {
        typeKey(key.key, {key.modifiers[0], key.modifiers[1]});
    }
    const PumpResult result = pumpUntil(
        program.loop(),
        [&] { return log.count(WM_KEYDOWN, key.key) + log.count(WM_SYSKEYDOWN, key.key) > 0; }, 2000);
    ASSERT_TRUE(result.done) << "the key did not arrive";
    const PumpResult rest = pumpFor(program.loop(), 300);  // the key's up and any character

    if (key.focusAfter == 0) {
        EXPECT_EQ(program.window(), nullptr) << "not closed";
        EXPECT_TRUE(result.quit || rest.quit);
        EXPECT_EQ(result.quit ? result.quitCode : rest.quitCode, 0);
    } else {
        ASSERT_NE(program.window(), nullptr);
        EXPECT_EQ(focusedChild(program), key.focusAfter);
        EXPECT_FALSE(result.quit || rest.quit);
        // Neither Enter nor these keys press a button.
        EXPECT_EQ(program.statusText(), statusBefore);
    }
    const WPARAM character = key.key == VK_RETURN ? '\r' : key.key == VK_ESCAPE ? 0x1B : '\t';
    if (key.characters >= 0) {
        EXPECT_EQ(log.count(WM_CHAR, character), key.characters);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Keys, MainWindowKeys,
    ::testing::Values(KeyCase{"TabFromList", 100, VK_TAB, {}, 110, 0},
                      KeyCase{"TabFromConfirm", 110, VK_TAB, {}, 120, 0},
                      KeyCase{"TabFromCancelWrapsToList", 120, VK_TAB, {}, 100, 0},
                      KeyCase{"ShiftTabFromListWrapsToCancel", 100, VK_TAB, {VK_SHIFT}, 120, 0},
                      KeyCase{"ShiftTabFromCancel", 120, VK_TAB, {VK_SHIFT}, 110, 0},
                      KeyCase{"ShiftTabFromConfirm", 110, VK_TAB, {VK_SHIFT}, 100, 0},
                      KeyCase{"CtrlTabIsNotTaken", 110, VK_TAB, {VK_CONTROL}, 110, -1},
                      KeyCase{"EnterOnAButtonPressesNothing", 120, VK_RETURN, {}, 120, 1},
                      KeyCase{"EnterInTheListMovesNothing", 100, VK_RETURN, {}, 100, 1},
                      KeyCase{"EscFromTheList", 100, VK_ESCAPE, {}, 0, 0},
                      KeyCase{"EscFromConfirm", 110, VK_ESCAPE, {}, 0, 0},
                      KeyCase{"EscFromCancel", 120, VK_ESCAPE, {}, 0, 0},
                      KeyCase{"ShiftEscIsNotTaken", 110, VK_ESCAPE, {VK_SHIFT}, 110, 1},
                      KeyCase{"AltF4IsLeftToTheSystemWhichCloses", 100, VK_F4, {VK_MENU}, 0, -1}),
    [](const ::testing::TestParamInfo<KeyCase>& test) { return std::string(test.param.name); });

TEST(MainWindowKeysExtra, EscClosesTheWindowWithTheListDroppedDown) {
    TestProgram program;
    ASSERT_TRUE(program.built());
    const HWND list = program.child(100);
    SetFocus(list);
    SendMessageA(list, CB_SHOWDROPDOWN, TRUE, 0);
    ASSERT_TRUE(SendMessageA(list, CB_GETDROPPEDSTATE, 0, 0));
    KeyMessageLog log;
    typeKey(VK_ESCAPE);
    const PumpResult result = pumpUntil(
        program.loop(), [&] { return program.window() == nullptr; }, 2000);
    EXPECT_TRUE(result.done);
    const PumpResult rest = pumpFor(program.loop(), 200);
    EXPECT_TRUE(result.quit || rest.quit);
    EXPECT_EQ(log.count(WM_CHAR, 0x1B), 0);
}

TEST(MainWindowKeysExtra, SpaceOnAFocusedButtonPressesItOnce) {
    TestProgram program;
    ASSERT_TRUE(program.built());
    SetFocus(program.child(120));
    typeKey(VK_SPACE);
    EXPECT_TRUE(pumpUntil(
                    program.loop(), [&] { return program.statusText() == "状态：已取消，空闲"; }, 2000)
                    .done);
}

TEST(MainWindowFocus, SwitchingAwayAndBackReturnsTheFocusToTheChildThatHadIt) {
    TestProgram program;
    ASSERT_TRUE(program.built());
    SetFocus(program.child(120));
    pumpFor(program.loop(), 50);

    const HWND other = CreateWindowExA(0, "STATIC", "other", WS_POPUP | WS_VISIBLE, 100, 100, 200, 100,
                                       nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(other, nullptr);
    SetForegroundWindow(other);
    SetActiveWindow(other);
    pumpFor(program.loop(), 100);
    ASSERT_EQ(GetActiveWindow(), other);
    EXPECT_EQ(focusedChild(program), 0);

    program.activate();
    EXPECT_EQ(GetActiveWindow(), program.window());
    EXPECT_EQ(focusedChild(program), 120);
    DestroyWindow(other);
}

TEST(MainWindowMessages, EndOfSessionIsNeverRefused) {
    TestProgram program;
    ASSERT_TRUE(program.built());
    EXPECT_EQ(SendMessageA(program.window(), WM_QUERYENDSESSION, 0, 0), TRUE);
    EXPECT_NE(program.window(), nullptr);
}

TEST(MainWindowMessages, ClosingDestroysTheWindowAndPostsQuitWithZero) {
    TestProgram program;
    ASSERT_TRUE(program.built());
    const HWND list = program.child(100);
    SendMessageA(program.window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(program.window(), nullptr);
    EXPECT_FALSE(IsWindow(list));
    const PumpResult result = pumpFor(program.loop(), 100);
    EXPECT_TRUE(result.quit);
    EXPECT_EQ(result.quitCode, 0);
}

}  // namespace
}  // namespace morvane::test
