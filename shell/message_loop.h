// The program's message loop: GetMessageA, the window's own keys, then
// TranslateMessage and DispatchMessageA.
#pragma once

#include <windows.h>

namespace morvane {

class KeyInterceptor {
public:
    // True when the message has been consumed: it is then neither translated
    // nor dispatched.
    [[nodiscard]] virtual bool interceptKey(const MSG& message) = 0;

protected:
    ~KeyInterceptor() = default;
};

class MessageLoop {
public:
    explicit MessageLoop(KeyInterceptor& interceptor) noexcept : interceptor_(interceptor) {}

    // Waits for the thread's next message and handles it; false when it is WM_QUIT.
    [[nodiscard]] bool dispatchNextMessage();
    // The code carried by the WM_QUIT that ended the loop.
    [[nodiscard]] int quitCode() const noexcept { return quitCode_; }

private:
    KeyInterceptor& interceptor_;
    int quitCode_ = 0;
};

}  // namespace morvane
