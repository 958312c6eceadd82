// The list, the buttons and the labels on their native windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "test_support.h"

namespace morvane::test {
namespace {

struct Row {
    const char* text;
    std::int32_t milliseconds;
};

const Row delayRows[] = {
    {"3秒", 3000},       {"10秒", 10000},     {"15秒", 15000},     {"30秒", 30000},     {"1分钟", 60000},
    {"5分钟", 300000},   {"10分钟", 600000},  {"20分钟", 1200000}, {"30分钟", 1800000}, {"1小时", 3600000},
    {"2小时", 7200000},  {"3小时", 10800000}, {"4小时", 14400000}, {"5小时", 18000000}, {"6小时", 21600000},
    {"7小时", 25200000}, {"8小时", 28800000},
};

std::string itemText(HWND list, int index) {
    const LRESULT length = SendMessageA(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length < 0) return "(none)";
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    SendMessageA(list, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

TEST(DelayList, HoldsTheSeventeenRowsInTableOrderWithTheirValues) {
    TestProgram program;
    ASSERT_TRUE(program.built());
    const HWND list = program.child(100);
    DelayList& delays = program.countdown().list;
    ASSERT_EQ(SendMessageA(list, CB_GETCOUNT, 0, 0), static_cast<LRESULT>(std::size(delayRows)));
    for (int i = 0; i < static_cast<int>(std::size(delayRows)); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(itemText(list, i), delayRows[i].text);
        EXPECT_EQ(delays.itemValue(i), delayRows[i].milliseconds);
        EXPECT_EQ(static_cast<std::int32_t>(SendMessageA(list, CB_GETITEMDATA, static_cast<WPARAM>(i), 0)),
                  delayRows[i].milliseconds);
    }
}

TEST(DelayList, ItemValueOutsideTheListIsMinusOne) {
    TestProgram program;
    ASSERT_TRUE(program.built());
    DelayList& delays = program.countdown().list;
    for (const int index : {-1, -100, 17, 1000}) EXPECT_EQ(delays.itemValue(index), -1) << index;
    EXPECT_EQ(delays.itemValue(0), 3000);
    EXPECT_EQ(delays.itemValue(16), 28800000);
}

struct Selection {
    int requested;
    int selected;
    const char* editText;
};

TEST(DelayList, SetSelectedIndexClampsToTheList) {
    TestProgram program;
    ASSERT_TRUE(program.built());
    DelayList& delays = program.countdown().list;
    const HWND list = program.child(100);
    const Selection cases[] = {
        {100, 16, "8小时"}, {17, 16, "8小时"}, {0, 0, "3秒"},  {16, 16, "8小时"},
        {4, 4, "1分钟"},    {-1, -1, ""},      {2, 2, "15秒"}, {-5, -1, ""},
    };
    for (const Selection& selection : cases) {
        SCOPED_TRACE(selection.requested);
        delays.setSelectedIndex(selection.requested);
        EXPECT_EQ(delays.selectedIndex(), selection.selected);
        EXPECT_EQ(TestProgram::windowText(list), selection.editText);
    }
}

// A list of its own, empty, on the program's window.
class EmptyList : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(program.built());
        ASSERT_TRUE(list.create(WindowCreator(), program.window()));
    }
    void TearDown() override { DestroyWindow(list.handle()); }

    TestProgram program;
    ComboBox list{program.events()};
};

TEST_F(EmptyList, NoIndexSelectsAnythingAndNoValueIsFound) {
    for (const int index : {-5, -1, 0, 3}) {
        list.setSelectedIndex(index);
        EXPECT_EQ(list.selectedIndex(), -1) << index;
        EXPECT_EQ(list.itemValue(index), -1) << index;
    }
}

TEST_F(EmptyList, AddItemReturnsTheNextIndexAndKeepsTheOrder) {
    EXPECT_EQ(list.addItem("b", 2), 0);
    EXPECT_EQ(list.addItem("a", -7), 1);
    EXPECT_EQ(itemText(list.handle(), 0), "b");
    EXPECT_EQ(list.itemValue(1), -7);
}

// The messages a list receives while it is set up, with their results.
struct SentMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result;
};
std::vector<SentMessage> sentToLists;  // the hook procedure has no context of its own

LRESULT CALLBACK recordSentToList(int code, WPARAM wParam, LPARAM lParam) {
    if (code >= 0) {
        const auto& sent = *reinterpret_cast<CWPRETSTRUCT*>(lParam);
        char className[16] = {};
        GetClassNameA(sent.hwnd, className, sizeof className);
        if (lstrcmpiA(className, "ComboBox") == 0) {
            switch (sent.message) {
                case WM_SETFONT:
                case CB_GETITEMHEIGHT:
                case CB_SETITEMHEIGHT:
                case CB_LIMITTEXT:
                case CB_SETCURSEL:
                case WM_SETTEXT:
                    sentToLists.push_back({sent.message, sent.wParam, sent.lParam, sent.lResult});
                    break;
                default:
                    break;
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(DelayListSetUp, FontRowHeightNoLimitNoSelectionAndEmptyTextInThisOrder) {
    TestProgram program;
    ASSERT_TRUE(program.built());
    sentToLists.clear();
    const HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROCRET, recordSentToList, nullptr, GetCurrentThreadId());
    ComboBox list(program.events());
    ASSERT_TRUE(list.create(WindowCreator(), program.window()));
    UnhookWindowsHookEx(hook);

    ASSERT_EQ(sentToLists.size(), 6u);
    EXPECT_EQ(sentToLists[0].message, static_cast<UINT>(WM_SETFONT));
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(sentToLists[0].wParam), GetStockObject(DEFAULT_GUI_FONT));
    EXPECT_EQ(sentToLists[0].lParam, TRUE);
    EXPECT_EQ(sentToLists[1].message, static_cast<UINT>(CB_GETITEMHEIGHT));
    EXPECT_EQ(sentToLists[1].wParam, 0u);
    EXPECT_EQ(sentToLists[2].message, static_cast<UINT>(CB_SETITEMHEIGHT));
    EXPECT_EQ(sentToLists[2].wParam, 0u);
    EXPECT_EQ(sentToLists[2].lParam, sentToLists[1].result + 1);
    EXPECT_EQ(sentToLists[3].message, static_cast<UINT>(CB_LIMITTEXT));
    EXPECT_EQ(sentToLists[3].wParam, 0u);
    EXPECT_EQ(sentToLists[4].message, static_cast<UINT>(CB_SETCURSEL));
    EXPECT_EQ(static_cast<INT_PTR>(sentToLists[4].wParam), -1);
    EXPECT_EQ(sentToLists[5].message, static_cast<UINT>(WM_SETTEXT));
    EXPECT_STREQ(reinterpret_cast<const char*>(sentToLists[5].lParam), "");

    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetComboBoxInfo(list.handle(), &info));
    EXPECT_GT(SendMessageA(info.hwndItem, EM_GETLIMITTEXT, 0, 0), 0x7FFF);  // no limit left
    DestroyWindow(list.handle());
}

TEST(DelayList, ItsEditFieldAndDroppedListAreBlackOnWhite) {
    TestProgram program;
    ASSERT_TRUE(program.built());
    const HWND list = program.child(100);
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetComboBoxInfo(list, &info));
    HDC dc = CreateCompatibleDC(nullptr);
    for (const auto& [message, sender] : {std::pair<UINT, HWND>{WM_CTLCOLOREDIT, info.hwndItem},
                                          std::pair<UINT, HWND>{WM_CTLCOLORLISTBOX, info.hwndList}}) {
        SCOPED_TRACE(message);
        SetTextColor(dc, RGB(1, 2, 3));
        SetBkColor(dc, RGB(4, 5, 6));
        const LRESULT brush = SendMessageA(program.window(), message, reinterpret_cast<WPARAM>(dc),
                                           reinterpret_cast<LPARAM>(sender));
        EXPECT_EQ(reinterpret_cast<HGDIOBJ>(brush), GetStockObject(WHITE_BRUSH));
        EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 0));
        EXPECT_EQ(GetBkColor(dc), RGB(255, 255, 255));
    }
    // The buttons keep the system's colours.
    const HWND button = program.child(110);
    EXPECT_EQ(SendMessageA(program.window(), WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc),
                           reinterpret_cast<LPARAM>(button)),
              DefWindowProcA(program.window(), WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc),
                             reinterpret_cast<LPARAM>(button)));
    DeleteDC(dc);
}

TEST(Buttons, EachClickRunsItsHandlerOnce) {
    TestProgram program;
    ASSERT_TRUE(program.built());
    program.countdown().list.setSelectedIndex(4);  // 1分钟

    SendMessageA(program.child(110), BM_CLICK, 0, 0);
    EXPECT_EQ(program.statusText(), "倒计时开始，剩余：60 秒");
    EXPECT_EQ(program.countdown().timer.period(), 1000);
    EXPECT_EQ(tagText(program.countdown().timer), "60000");

    SendMessageA(program.child(120), BM_CLICK, 0, 0);
    EXPECT_EQ(program.statusText(), "状态：已取消，空闲");
    EXPECT_EQ(program.countdown().timer.period(), 0);
    EXPECT_EQ(tagText(program.countdown().timer), "60000");
}

TEST(Buttons, ACommandFromAnotherWindowRunsNothing) {
    TestProgram program;
    ASSERT_TRUE(program.built());
    SendMessageA(program.window(), WM_COMMAND, MAKEWPARAM(110, BN_CLICKED),
                 reinterpret_cast<LPARAM>(program.child(140)));
    EXPECT_EQ(program.statusText(), "状态：空闲");
    EXPECT_EQ(program.countdown().timer.period(), 0);
}

// Label pixels: the button face, and black text on one line. Wine smooths
// the glyphs, so the text is every pixel that is not the face; smoothing only
// blends black into the face.
struct LabelPicture {
    int ink = 0;
    int facePixels = 0;
    int notABlend = 0;  // brighter than the face in some channel
    int darkest = 255;  // the largest channel of the darkest text pixel
    int firstInkRow = -1;
    int lastInkRow = -1;
    int inkInRightEdge = 0;  // in the last 3 columns
    int inkInLeftHalf = 0;
};

LabelPicture pictureOf(TestProgram& program, HWND label, COLORREF face) {
    RedrawWindow(label, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    pumpFor(program.loop(), 150);
    const ScreenPixels pixels(clientRectOnScreen(label));
    LabelPicture picture;
    for (int y = 0; y < pixels.height(); ++y) {
        for (int x = 0; x < pixels.width(); ++x) {
            const COLORREF colour = pixels.at(x, y);
            if (colour == face) {
                ++picture.facePixels;
                continue;
            }
            ++picture.ink;
            const int channels[] = {GetRValue(colour), GetGValue(colour), GetBValue(colour)};
            const int faceChannels[] = {GetRValue(face), GetGValue(face), GetBValue(face)};
            for (int i = 0; i < 3; ++i) {
                if (channels[i] > faceChannels[i] + 8) ++picture.notABlend;
            }
            picture.darkest = std::min(picture.darkest, std::max({channels[0], channels[1], channels[2]}));
            if (picture.firstInkRow < 0) picture.firstInkRow = y;
            picture.lastInkRow = y;
            if (x >= pixels.width() - 3) ++picture.inkInRightEdge;
            if (x < pixels.width() / 2) ++picture.inkInLeftHalf;
        }
    }
    return picture;
}

TEST(Label, PaintsBlackTextOnTheButtonFaceFlushLeftOnOneLine) {
    TestProgram program;
    ASSERT_TRUE(program.built());
    const HWND label = program.child(140);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);

    const LabelPicture idle = pictureOf(program, label, face);
    EXPECT_GT(idle.ink, 40);
    EXPECT_LT(idle.darkest, 64) << "the text is not black";
    EXPECT_EQ(idle.notABlend, 0);
    EXPECT_GT(idle.inkInLeftHalf, 0);
    EXPECT_EQ(idle.inkInRightEdge, 0);
    // Centred vertically in 32 pixels.
    EXPECT_GE(idle.firstInkRow, 6);
    EXPECT_LE(idle.lastInkRow, 25);

    // A text wider than the label stays on its one line and is cut at the
    // right edge, in the middle of a glyph.
    std::string squares;
    for (int i = 0; i < 40; ++i) squares += "■";
    program.countdown().status.setCaption(squares.c_str());
    const LabelPicture wide = pictureOf(program, label, face);
    EXPECT_GT(wide.inkInRightEdge, 0);
    EXPECT_GE(wide.firstInkRow, 6);
    EXPECT_LE(wide.lastInkRow, 25);
    EXPECT_EQ(wide.notABlend, 0);

    // An empty text leaves only the face.
    program.countdown().status.setCaption(nullptr);
    EXPECT_EQ(TestProgram::windowText(label), "");
    EXPECT_EQ(pictureOf(program, label, face).ink, 0);
}

TEST(Label, SetCaptionShowsTheTextAtTheNextPaintInTheCurrentFaceColour) {
    TestProgram program;
    ASSERT_TRUE(program.built());
    const HWND label = program.child(140);
    const int element = COLOR_BTNFACE;
    const COLORREF original = GetSysColor(element);
    const COLORREF changed = RGB(200, 120, 40);
    SetSysColors(1, &element, &changed);
    program.countdown().status.setCaption("A&B");  // "&" underlines the next character
    EXPECT_EQ(TestProgram::windowText(label), "A&B");
    const LabelPicture picture = pictureOf(program, label, changed);
    SetSysColors(1, &element, &original);
    EXPECT_GT(picture.ink, 10);
    EXPECT_GT(picture.facePixels, 152 * 32 * 8 / 10);
    EXPECT_LT(picture.darkest, 64);
    EXPECT_EQ(picture.notABlend, 0);
}

TEST(Label, TheCreditLineFitsItsLabel) {
    TestProgram program;
    ASSERT_TRUE(program.built());
    const std::string credit = TestProgram::windowText(program.child(150));
    EXPECT_GE(credit.size(), 20u);
    EXPECT_LE(credit.size(), 40u);
    HDC dc = GetDC(program.window());
    HGDIOBJ previous = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SIZE extent{};
    GetTextExtentPoint32A(dc, credit.c_str(), static_cast<int>(credit.size()), &extent);
    SelectObject(dc, previous);
    ReleaseDC(program.window(), dc);
    EXPECT_LE(extent.cx, 216);
    EXPECT_LE(extent.cy, 24);
}

}  // namespace
}  // namespace morvane::test
