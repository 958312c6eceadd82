// What MainWindow needs from each of its children.
#pragma once

#include <windows.h>

#include "native_window.h"

namespace morvane {

class ChildControl : public NativeWindow {
public:
    // Creates the control hidden, as a child of parent. False when refused.
    [[nodiscard]] virtual bool create(const WindowCreator& creator, HWND parent) = 0;

    // Whether a window that sends WM_COMMAND or WM_CTLCOLOR* belongs to this
    // control: the control itself, or a window of its own (a list's edit field).
    [[nodiscard]] virtual bool owns(HWND window) const { return window != nullptr && window == handle(); }

    // WM_COMMAND from the control, reflected by the parent.
    virtual void onCommand(WORD /*notification*/) {}
    // WM_CTLCOLOR* from the control: the brush for its background, or nullptr
    // for the parent's default processing.
    [[nodiscard]] virtual HBRUSH onControlColor(HDC /*dc*/) { return nullptr; }

    // The parent has been destroyed, and this control with it.
    void parentGone() noexcept { forgetWindow(); }

protected:
    ~ChildControl() = default;
};

}  // namespace morvane
