// The only path from window messages to the handlers. Needs no window system.
#pragma once

#include <cstdint>

#include "../logic/controls.h"

namespace morvane {

enum class EventSource { mainWindow, delayList, confirmButton, cancelButton, timer, statusLabel, creditLabel };

enum class EventKind { created, clicked, tick, focusGained, focusLost, listNotification };

class EventDelivery {
public:
    explicit EventDelivery(const CountdownWindow& window) noexcept : window_(window) {}

    // Runs the bound handler synchronously, unless delivery is blocked; events
    // without a binding, and blocked ones, vanish.
    void raiseEvent(EventSource source, EventKind kind) const;
    void blockEvents() noexcept { ++eventBlockCount_; }
    // Never below 0.
    void unblockEvents() noexcept {
        if (eventBlockCount_ > 0) --eventBlockCount_;
    }
    [[nodiscard]] std::int32_t eventBlockCount() const noexcept { return eventBlockCount_; }

private:
    const CountdownWindow& window_;
    std::int32_t eventBlockCount_ = 0;
};

}  // namespace morvane
