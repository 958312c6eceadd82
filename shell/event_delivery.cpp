#include "event_delivery.h"

#include "../logic/handlers.h"

namespace morvane {
namespace {

struct Binding {
    EventSource source;
    EventKind kind;
    void (*handler)(const CountdownWindow&);
};

// Fixed when the program is built; nothing else is bound.
constexpr Binding bindings[] = {
    {EventSource::mainWindow, EventKind::created, handleCreated},
    {EventSource::confirmButton, EventKind::clicked, handleConfirm},
    {EventSource::cancelButton, EventKind::clicked, handleCancel},
    {EventSource::timer, EventKind::tick, handleTick},
};

}  // namespace

void EventDelivery::raiseEvent(EventSource source, EventKind kind) const {
    if (eventBlockCount_ > 0) return;
    for (const Binding& binding : bindings) {
        if (binding.source == source && binding.kind == kind) {
            binding.handler(window_);
            return;
        }
    }
}

}  // namespace morvane
