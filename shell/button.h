// 按钮1 and 按钮2: the platform's push buttons, raising their clicked event.
#pragma once

#include "child_control.h"
#include "event_delivery.h"
#include "layout.h"

namespace morvane {

class Button final : public ChildControl {
public:
    Button(const EventDelivery& events, EventSource source, const layout::ChildPlace& place,
           const char* caption) noexcept
        : events_(events), source_(source), place_(place), caption_(caption) {}

    [[nodiscard]] bool create(const WindowCreator& creator, HWND parent) override;
    void onCommand(WORD notification) override;

private:
    const EventDelivery& events_;
    EventSource source_;
    const layout::ChildPlace& place_;
    const char* caption_;
};

}  // namespace morvane
