// The end of the program when it cannot go on: a main window that cannot be
// built, or memory for a text that is refused.
#pragma once

#include "event_delivery.h"

namespace morvane {

enum class FatalCause { noWindow, noMemory };

inline constexpr int fatalExitCode = 1;

// Routes refused text memory (fatalFailure) here for as long as it lives.
class FatalExit {
public:
    explicit FatalExit(EventDelivery& events) noexcept;
    ~FatalExit();
    FatalExit(const FatalExit&) = delete;
    FatalExit& operator=(const FatalExit&) = delete;

    // Blocks events for good at once, so that no tick or click reaches a
    // handler any more, shows one modal error box and ends the process.
    [[noreturn]] void fail(FatalCause cause);

private:
    EventDelivery& events_;
    bool failing_ = false;
};

}  // namespace morvane
