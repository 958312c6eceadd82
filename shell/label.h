// 标签1 and 标签2: a control of the shell's own that paints one line of text.
#pragma once

#include "../logic/controls.h"
#include "child_control.h"
#include "layout.h"

namespace morvane {

class Label final : public ChildControl, public StatusLabel {
public:
    Label(const layout::ChildPlace& place, const char* initialText) noexcept
        : place_(place), initialText_(initialText) {}

    [[nodiscard]] bool create(const WindowCreator& creator, HWND parent) override;
    // Shown at the next WM_PAINT.
    void setCaption(const char* text) override;

    static constexpr char className[] = "MorvaneLabel";

private:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void paint() const;

    const layout::ChildPlace& place_;
    const char* initialText_;
};

}  // namespace morvane
