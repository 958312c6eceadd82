#include "desktop_actions.h"

#include <windows.h>

#include <array>
#include <cstddef>

namespace morvane {
namespace {

POINT cursorPosition() noexcept {
    POINT point{};
    GetCursorPos(&point);  // a failure leaves the point as it was: (0, 0)
    return point;
}

// The button events of each click kind, sent in this order.
struct ClickEvents {
    std::array<DWORD, 4> flags;
    std::size_t count;
};

constexpr std::array<ClickEvents, 4> clickKinds{{
    {{MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP}, 2},  // 0: left click
    {{MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP},
     4},                                                // 1: left double
    {{MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP}, 2},  // 2: right click
    {{MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP},
     4},  // 3: right double
}};

// Every unknown kind, negative ones included, is a left click.
const ClickEvents& clickEvents(std::int32_t kind) noexcept {
    const bool known = kind >= 0 && static_cast<std::size_t>(kind) < clickKinds.size();
    return clickKinds[known ? static_cast<std::size_t>(kind) : 0];
}

}  // namespace

void DesktopActions::showNotice(const char* text, const char* title) {
    // No owner and task-modal: every window of this thread is disabled while
    // the box is open, and its loop keeps dispatching the timer's ticks.
    MessageBoxA(nullptr, text != nullptr ? text : "", title, MB_OK | MB_TASKMODAL);
}

std::int32_t DesktopActions::cursorX() {
    return cursorPosition().x;
}

std::int32_t DesktopActions::cursorY() {
    return cursorPosition().y;
}

void DesktopActions::clickAt(std::int32_t x, std::int32_t y, std::int32_t kind) {
    SetCursorPos(x, y);
    // Neither MOVE nor ABSOLUTE: each button event acts where the cursor now stands.
    const ClickEvents& events = clickEvents(kind);
    for (std::size_t i = 0; i < events.count; ++i) {
        mouse_event(events.flags[i], static_cast<DWORD>(x), static_cast<DWORD>(y), 0, 0);
    }
}

}  // namespace morvane
