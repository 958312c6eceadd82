// The notice box, the cursor and the synthesised click.
#pragma once

#include "../logic/controls.h"

namespace morvane {

class DesktopActions final : public Desktop {
public:
    // Returns when the user has closed the box; ticks go on meanwhile.
    void showNotice(const char* text, const char* title) override;
    // Two separate queries: a point read as cursorX() then cursorY() takes
    // its coordinates from two moments.
    [[nodiscard]] std::int32_t cursorX() override;
    [[nodiscard]] std::int32_t cursorY() override;
    void clickAt(std::int32_t x, std::int32_t y, std::int32_t kind) override;
};

}  // namespace morvane
