#include "button.h"

namespace morvane {
namespace {

// Neither button is a default push button, so Enter presses neither.
constexpr DWORD buttonStyle =
    WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | BS_PUSHBUTTON | BS_CENTER | BS_VCENTER | BS_MULTILINE;

}  // namespace

bool Button::create(const WindowCreator& creator, HWND parent) {
    if (!createWindow(creator, {0, "BUTTON", caption_, buttonStyle, place_.left, place_.top, place_.width,
                                place_.height, parent, place_.identifier, nullptr})) {
        return false;
    }
    SendMessageA(handle(), WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    return true;
}

void Button::onCommand(WORD notification) {
    switch (notification) {
        case BN_CLICKED:
            events_.raiseEvent(source_, EventKind::clicked);
            break;
        case BN_SETFOCUS:  // unbound
            events_.raiseEvent(source_, EventKind::focusGained);
            break;
        case BN_KILLFOCUS:  // unbound
            events_.raiseEvent(source_, EventKind::focusLost);
            break;
        default:
            break;
    }
}

}  // namespace morvane
