// In-memory controls that keep the rules of the native ones, for running the
// handlers without a window system.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "controls.h"
#include "../../shell/timer_rules.h"

namespace morvane::testing {

class FakeList final : public DelayList {
public:
    int addItem(const char* text, std::int32_t value) override;
    [[nodiscard]] std::int32_t itemValue(int index) const override;
    [[nodiscard]] int selectedIndex() const override { return selected; }
    void setSelectedIndex(int index) override;

    std::vector<std::pair<std::string, std::int32_t>> items;
    int selected = -1;
};

class FakeLabel final : public StatusLabel {
public:
    void setCaption(const char* text) override { captions.emplace_back(text == nullptr ? "" : text); }
    [[nodiscard]] std::string shown() const { return captions.empty() ? std::string() : captions.back(); }

    std::vector<std::string> captions;
};

// Stands for SetTimer/KillTimer: records the calls, fires only while set.
class FakeSystemTimer final : public SystemTimer {
public:
    void set(std::int32_t milliseconds) override;
    void kill() override;

    std::vector<std::string> calls;  // "set 1000", "kill"
    std::int32_t running = 0;        // the interval of the set timer, 0 when none
};

class FakeDesktop final : public Desktop {
public:
    struct Notice {
        std::string text, title;
    };
    struct Click {
        std::int32_t x, y, kind;
    };

    void showNotice(const char* text, const char* title) override;
    [[nodiscard]] std::int32_t cursorX() override;
    [[nodiscard]] std::int32_t cursorY() override;
    void clickAt(std::int32_t x, std::int32_t y, std::int32_t kind) override;

    std::int32_t x = 0, y = 0;
    std::vector<Notice> notices;
    std::vector<Click> clicks;
    std::vector<std::string> calls;  // the order of desktop calls
    // Runs while a notice is "open": the modal loop of a real notice box.
    std::function<void()> whileNoticeOpen;
};

// The whole window: list, status label, timer and desktop.
struct FakeWindow {
    FakeList list;
    FakeLabel status;
    FakeSystemTimer systemTimer;
    TimerRules timer{systemTimer};
    FakeDesktop desktop;
    CountdownWindow controls{list, status, timer, desktop};

    // One WM_TIMER, delivered only while the system timer runs.
    bool tick();
    [[nodiscard]] std::string tag() const;  // "<missing>" when the tag yields no text
};

}  // namespace morvane::testing
