// 组合框1: the platform's drop-down list, carrying each delay as item value.
#pragma once

#include "../logic/controls.h"
#include "child_control.h"
#include "event_delivery.h"

namespace morvane {

class ComboBox final : public ChildControl, public DelayList {
public:
    explicit ComboBox(const EventDelivery& events) noexcept : events_(events) {}

    [[nodiscard]] bool create(const WindowCreator& creator, HWND parent) override;
    [[nodiscard]] bool owns(HWND window) const override;
    void onCommand(WORD notification) override;
    [[nodiscard]] HBRUSH onControlColor(HDC dc) override;

    int addItem(const char* text, std::int32_t value) override;
    [[nodiscard]] std::int32_t itemValue(int index) const override;
    [[nodiscard]] int selectedIndex() const override;
    void setSelectedIndex(int index) override;

private:
    LRESULT send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

    const EventDelivery& events_;
};

}  // namespace morvane
