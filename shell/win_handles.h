// Small owners for the GDI objects, icons and device-context states the shell
// makes, so that every Create has its Destroy on every path.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace morvane {

struct GdiObjectDeleter {
    void operator()(void* object) const noexcept { DeleteObject(static_cast<HGDIOBJ>(object)); }
};

// A brush, region or other GDI object made by this program.
template <typename Handle>
using GdiObject = std::unique_ptr<std::remove_pointer_t<Handle>, GdiObjectDeleter>;

struct IconDeleter {
    void operator()(HICON icon) const noexcept { DestroyIcon(icon); }
};

// An icon made by this program (not a shared one from LoadImage).
using OwnedIcon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;

// BeginPaint … EndPaint.
class PaintSession {
public:
    explicit PaintSession(HWND window) noexcept : window_(window) { BeginPaint(window_, &paint_); }
    ~PaintSession() { EndPaint(window_, &paint_); }
    PaintSession(const PaintSession&) = delete;
    PaintSession& operator=(const PaintSession&) = delete;

    [[nodiscard]] HDC dc() const noexcept { return paint_.hdc; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
};

// Selects an object into a device context and puts the previous one back.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~SelectedObject() { SelectObject(dc_, previous_); }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace morvane
