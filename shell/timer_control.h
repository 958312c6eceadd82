// 时钟1: a hidden child window that owns the countdown's system timer and
// raises the tick event on each WM_TIMER.
#pragma once

#include "child_control.h"
#include "event_delivery.h"
#include "timer_rules.h"

namespace morvane {

class TimerControl final : public ChildControl, private SystemTimer {
public:
    explicit TimerControl(const EventDelivery& events) noexcept : events_(events), rules_(*this) {}

    [[nodiscard]] bool create(const WindowCreator& creator, HWND parent) override;

    // What the handlers use: period and tag.
    [[nodiscard]] CountdownTimer& countdown() noexcept { return rules_; }
    [[nodiscard]] bool ticking() const noexcept { return rules_.ticking(); }

    static constexpr char className[] = "MorvaneTimer";

private:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void set(std::int32_t milliseconds) override;
    void kill() override;

    const EventDelivery& events_;
    TimerRules rules_;
};

}  // namespace morvane
