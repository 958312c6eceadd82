#include "timer_control.h"

#include "layout.h"

namespace morvane {
namespace {

constexpr DWORD timerWindowStyle = WS_CHILD | WS_CLIPSIBLINGS;

}  // namespace

bool TimerControl::create(const WindowCreator& creator, HWND parent) {
    if (!registerWindowClass(className, CS_DBLCLKS)) return false;
    const layout::ChildPlace& place = layout::timer;
    return createWindow(creator, {0, className, nullptr, timerWindowStyle, place.left, place.top, place.width,
                                  place.height, parent, place.identifier, this});
}

LRESULT TimerControl::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: {
            const LRESULT result = defaultProcessing(message, wParam, lParam);
            rules_.windowCreated();
            return result;
        }
        case WM_TIMER: {
            // Identifier 1000 is the only timer ever set on this window.
            const LRESULT result = defaultProcessing(message, wParam, lParam);
            events_.raiseEvent(EventSource::timer, EventKind::tick);
            return result;
        }
        case WM_DESTROY: {
            // So that closing the window during a countdown brings no tick.
            const LRESULT result = defaultProcessing(message, wParam, lParam);
            rules_.windowDestroyed();
            return result;
        }
        default:
            return defaultProcessing(message, wParam, lParam);
    }
}

void TimerControl::set(std::int32_t milliseconds) {
    // No timer procedure: the ticks come as WM_TIMER to this window.
    SetTimer(handle(), layout::timerIdentifier, static_cast<UINT>(milliseconds), nullptr);
}

void TimerControl::kill() {
    KillTimer(handle(), layout::timerIdentifier);
}

}  // namespace morvane
