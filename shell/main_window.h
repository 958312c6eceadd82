// MainWindow: the program's only window, its six children, its keys and focus.
#pragma once

#include <array>

#include "button.h"
#include "combo_box.h"
#include "event_delivery.h"
#include "label.h"
#include "message_loop.h"
#include "native_window.h"
#include "timer_control.h"
#include "win_handles.h"

namespace morvane {

class MainWindow final : public NativeWindow, public KeyInterceptor {
public:
    explicit MainWindow(EventDelivery& events) noexcept;
    ~MainWindow();

    // Creates the window and its children hidden while events are blocked,
    // runs the created event, then shows the window. False when the class,
    // the window or a child cannot be made; events then stay blocked.
    [[nodiscard]] bool build(const WindowCreator& creator);

    // Tab, Shift+Tab and Esc for this window and everything inside it.
    [[nodiscard]] bool interceptKey(const MSG& message) override;

    [[nodiscard]] ComboBox& delayList() noexcept { return delayList_; }
    [[nodiscard]] Button& confirmButton() noexcept { return confirmButton_; }
    [[nodiscard]] Button& cancelButton() noexcept { return cancelButton_; }
    [[nodiscard]] TimerControl& timer() noexcept { return timer_; }
    [[nodiscard]] Label& statusLabel() noexcept { return statusLabel_; }
    [[nodiscard]] Label& creditLabel() noexcept { return creditLabel_; }

    static constexpr char className[] = "MorvaneMainWindow";

private:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void windowGone() override;

    void paint() const;
    void setIcons();
    void onActivate(WPARAM wParam);
    void onSetFocus();
    // The child holding window, or nullptr.
    [[nodiscard]] ChildControl* childOwning(HWND window) const;
    [[nodiscard]] bool inFocusOrder(const ChildControl& child) const;
    void moveFocus(HWND from, bool forward) const;
    void focusFirst() const;

    EventDelivery& events_;
    ComboBox delayList_;    // 组合框1
    Button confirmButton_;  // 按钮1
    Button cancelButton_;   // 按钮2
    TimerControl timer_;    // 时钟1
    Label statusLabel_;     // 标签1
    Label creditLabel_;     // 标签2
    // Creation order, which is also the focus order among equal tab numbers.
    const std::array<ChildControl*, 6> children_;

    OwnedIcon bigIcon_;
    OwnedIcon smallIcon_;
    // The child that held the focus when the window was last deactivated.
    HWND rememberedFocus_ = nullptr;
};

}  // namespace morvane
