// The whole program: start-up, the message loop and the end.
#pragma once

#include "../logic/controls.h"
#include "event_delivery.h"
#include "main_window.h"
#include "native_window.h"

namespace morvane {

// The window, its controls and event delivery, wired together.
class Program {
public:
    explicit Program(Desktop& desktop) noexcept;

    [[nodiscard]] EventDelivery& events() noexcept { return events_; }
    [[nodiscard]] MainWindow& mainWindow() noexcept { return window_; }
    [[nodiscard]] const CountdownWindow& countdownWindow() const noexcept { return countdown_; }

private:
    // The controls raise events, and event delivery hands the controls to the
    // handlers: delivery keeps a reference to the bundle declared after it,
    // which it reads only once the window is built. Delivery goes last, after
    // the window has been destroyed.
    EventDelivery events_;
    MainWindow window_;
    CountdownWindow countdown_;
};

// Rounding to nearest, every floating-point exception masked.
void resetFloatingPoint() noexcept;

// What a test may change about a run; the program itself uses the defaults.
struct RunOptions {
    const WindowCreator* creator = nullptr;       // nullptr: the plain CreateWindowExA
    void (*started)(Program& program) = nullptr;  // after the window is built and shown
};

// Runs the program to its end and returns the exit code: the WM_QUIT code
// after a normal end. A fatal failure ends the process from inside.
[[nodiscard]] int runProgram(const RunOptions& options = {});

}  // namespace morvane
