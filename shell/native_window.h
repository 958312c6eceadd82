// The one window-procedure trampoline of the shell, and the single place
// where windows are created.
#pragma once

#include <windows.h>

namespace morvane {

// Everything CreateWindowExA is given.
struct WindowRequest {
    DWORD extendedStyle;
    const char* className;
    const char* title;
    DWORD style;
    int left;
    int top;
    int width;
    int height;
    HWND parent;
    int identifier;  // the child-window identifier; ignored for a top-level window
    void* object;    // the creation parameter: the NativeWindow for the shell's own classes
};

// Creates windows. The program uses the plain one; a test can refuse some
// windows to exercise the fatal path.
class WindowCreator {
public:
    WindowCreator() = default;
    WindowCreator(const WindowCreator&) = delete;
    WindowCreator& operator=(const WindowCreator&) = delete;
    virtual ~WindowCreator() = default;

    // nullptr when the window cannot be created.
    [[nodiscard]] virtual HWND create(const WindowRequest& request) const;
};

// The module whose resources and classes the shell uses: the executable.
[[nodiscard]] HINSTANCE programInstance() noexcept;

// Registers a class of the shell's own unless it is registered already; all
// of them use NativeWindow::windowProcedure. False when it cannot be done.
[[nodiscard]] bool registerWindowClass(const char* name, UINT classStyle) noexcept;

// An object around one native window. For the shell's own window classes the
// object receives the window's messages through handleMessage: the pointer
// travels in CreateWindowExA's last argument, is taken from CREATESTRUCT at
// WM_NCCREATE and kept in GWLP_USERDATA. For the platform's controls the
// object only holds the handle and sends messages.
class NativeWindow {
public:
    NativeWindow() = default;
    NativeWindow(const NativeWindow&) = delete;
    NativeWindow& operator=(const NativeWindow&) = delete;

    // nullptr before creation and once the window is gone.
    [[nodiscard]] HWND handle() const noexcept { return window_; }

    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    ~NativeWindow();

    // Creates the window; for the shell's own classes, request.object must be
    // this object. False when the window cannot be created.
    [[nodiscard]] bool createWindow(const WindowCreator& creator, const WindowRequest& request);
    // The handle of a platform control is no longer valid once its parent has
    // been destroyed.
    void forgetWindow() noexcept { window_ = nullptr; }

    virtual LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    [[nodiscard]] LRESULT defaultProcessing(UINT message, WPARAM wParam, LPARAM lParam) const;
    // After WM_NCDESTROY: the window no longer exists.
    virtual void windowGone() {}

private:
    HWND window_ = nullptr;
};

}  // namespace morvane
