// The program's whole behaviour: four handlers, run one at a time on the GUI
// thread. They keep no state; the countdown lives in the controls.
#pragma once

#include "controls.h"

namespace morvane {

inline constexpr std::int32_t tickMilliseconds = 1000;

void handleCreated(const CountdownWindow& window);
void handleConfirm(const CountdownWindow& window);
void handleCancel(const CountdownWindow& window);
void handleTick(const CountdownWindow& window);

}  // namespace morvane
