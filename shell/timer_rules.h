// The period and tag rules of the countdown timer, over an abstract system
// timer so that they can be exercised without a window system.
#pragma once

#include <cstdint>

#include "../logic/controls.h"

namespace morvane {

// One system timer on one window: SetTimer and KillTimer.
class SystemTimer {
public:
    virtual void set(std::int32_t milliseconds) = 0;
    virtual void kill() = 0;

protected:
    ~SystemTimer() = default;
};

class TimerRules final : public CountdownTimer {
public:
    explicit TimerRules(SystemTimer& system) noexcept : system_(system) {}

    [[nodiscard]] std::int32_t period() const override { return periodMs_; }
    void setPeriod(std::int32_t milliseconds) override;
    [[nodiscard]] Text tag() const override;
    void setTag(const char* text) override;

    // The control window's WM_CREATE and WM_DESTROY.
    void windowCreated();
    void windowDestroyed();
    [[nodiscard]] bool ticking() const noexcept { return ticking_; }

private:
    SystemTimer& system_;
    std::int32_t periodMs_ = 0;
    bool ticking_ = false;
    Text tagText_;  // missing stands for the empty tag
};

}  // namespace morvane
