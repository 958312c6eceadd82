#include "combo_box.h"

#include <algorithm>

#include "layout.h"

namespace morvane {
namespace {

constexpr DWORD comboStyle =
    WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL;

constexpr COLORREF textColour = RGB(0, 0, 0);
constexpr COLORREF backgroundColour = RGB(255, 255, 255);

WPARAM indexArgument(int index) noexcept {
    return static_cast<WPARAM>(static_cast<INT_PTR>(index));
}

}  // namespace

bool ComboBox::create(const WindowCreator& creator, HWND parent) {
    const layout::ChildPlace& place = layout::delayList;
    // The designed height is only the edit field's; the rest is the dropped list.
    const int height = std::max(place.height, layout::dropDownMinimumHeight);
    if (!createWindow(creator, {0, "COMBOBOX", "", comboStyle, place.left, place.top, place.width, height,
                                parent, place.identifier, nullptr})) {
        return false;
    }
    send(WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    const LRESULT rowHeight = send(CB_GETITEMHEIGHT, 0);
    send(CB_SETITEMHEIGHT, 0, static_cast<LPARAM>(static_cast<WORD>(rowHeight + 1)));
    send(CB_LIMITTEXT, 0);  // typed text has no length limit
    send(CB_SETCURSEL, indexArgument(-1));
    SetWindowTextA(handle(), "");
    return true;
}

bool ComboBox::owns(HWND window) const {
    if (window == nullptr || handle() == nullptr) return false;
    if (window == handle() || IsChild(handle(), window)) return true;
    // The dropped list is a pop-up of the control, not a child.
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    return GetComboBoxInfo(handle(), &info) && window == info.hwndList;
}

void ComboBox::onCommand(WORD notification) {
    // None of the list's events is bound; they are raised all the same.
    switch (notification) {
        case CBN_SETFOCUS:
            events_.raiseEvent(EventSource::delayList, EventKind::focusGained);
            break;
        case CBN_KILLFOCUS:
            events_.raiseEvent(EventSource::delayList, EventKind::focusLost);
            break;
        case CBN_DROPDOWN:
        case CBN_CLOSEUP:
        case CBN_SELCHANGE:
        case CBN_EDITCHANGE:
        case CBN_DBLCLK:
            events_.raiseEvent(EventSource::delayList, EventKind::listNotification);
            break;
        default:
            break;
    }
}

HBRUSH ComboBox::onControlColor(HDC dc) {
    SetTextColor(dc, textColour);
    SetBkColor(dc, backgroundColour);
    static_assert(backgroundColour == RGB(255, 255, 255), "the stock brush must match");
    return static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
}

int ComboBox::addItem(const char* text, std::int32_t value) {
    const LRESULT index = send(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    if (index < 0) return -1;  // CB_ERR or CB_ERRSPACE
    send(CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(value));
    return static_cast<int>(index);
}

std::int32_t ComboBox::itemValue(int index) const {
    if (index < 0) return -1;
    if (index >= send(CB_GETCOUNT)) return -1;
    return static_cast<std::int32_t>(send(CB_GETITEMDATA, indexArgument(index)));
}

int ComboBox::selectedIndex() const {
    return static_cast<int>(send(CB_GETCURSEL));
}

void ComboBox::setSelectedIndex(int index) {
    const int count = static_cast<int>(send(CB_GETCOUNT));
    const int clamped = std::max(std::min(index, count - 1), -1);
    send(CB_SETCURSEL, indexArgument(clamped));
}

LRESULT ComboBox::send(UINT message, WPARAM wParam, LPARAM lParam) const {
    return SendMessageA(handle(), message, wParam, lParam);
}

}  // namespace morvane
