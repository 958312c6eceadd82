#include "message_loop.h"

namespace morvane {

bool MessageLoop::dispatchNextMessage() {
    MSG message{};
    const BOOL result = GetMessageA(&message, nullptr, 0, 0);
    if (result == 0) {
        quitCode_ = static_cast<int>(message.wParam);
        return false;
    }
    // -1 reports an invalid window filter, which a null filter cannot be.
    if (result == -1) return true;
    if (interceptor_.interceptKey(message)) return true;
    TranslateMessage(&message);
    DispatchMessageA(&message);
    return true;
}

}  // namespace morvane
