#include "label.h"

#include <array>
#include <memory>
#include <new>

#include "win_handles.h"

namespace morvane {
namespace {

constexpr DWORD labelStyle = WS_CHILD | WS_CLIPSIBLINGS;
constexpr UINT labelClassStyle = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
// One line, flush left, centred vertically; "&" keeps its prefix meaning. A
// wider text is cut at the right edge by the clipping region, not wrapped.
constexpr UINT labelTextFormat = DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP;
static_assert(labelTextFormat == 0x124);

// The window text, read for one paint. Painting needs no memory for the
// status texts; only an unusually long text takes a block of its own, and
// when that is refused the label shows its background alone.
class WindowTextBuffer {
public:
    explicit WindowTextBuffer(HWND window) {
        const int length = GetWindowTextLengthA(window);
        if (length <= 0) return;
        char* target = inPlace_.data();
        if (static_cast<std::size_t>(length) >= inPlace_.size()) {
            onHeap_.reset(new (std::nothrow) char[static_cast<std::size_t>(length) + 1]);
            if (!onHeap_) return;
            target = onHeap_.get();
        }
        length_ = GetWindowTextA(window, target, length + 1);
        text_ = target;
    }

    [[nodiscard]] const char* text() const noexcept { return text_; }
    [[nodiscard]] int length() const noexcept { return length_; }

private:
    std::array<char, 256> inPlace_{};
    std::unique_ptr<char[]> onHeap_;
    const char* text_ = nullptr;
    int length_ = 0;
};

}  // namespace

bool Label::create(const WindowCreator& creator, HWND parent) {
    if (!registerWindowClass(className, labelClassStyle)) return false;
    return createWindow(creator, {0, className, initialText_, labelStyle, place_.left, place_.top,
                                  place_.width, place_.height, parent, place_.identifier, this});
}

void Label::setCaption(const char* text) {
    SetWindowTextA(handle(), text != nullptr ? text : "");
    InvalidateRect(handle(), nullptr, FALSE);
}

LRESULT Label::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        paint();
        return 0;
    }
    return defaultProcessing(message, wParam, lParam);
}

void Label::paint() const {
    const PaintSession session(handle());
    const HDC dc = session.dc();
    RECT clipBox{};
    RECT client{};
    RECT area{};
    GetClipBox(dc, &clipBox);
    GetClientRect(handle(), &client);
    if (!IntersectRect(&area, &clipBox, &client)) return;

    const GdiObject<HRGN> clip(CreateRectRgnIndirect(&area));
    SelectClipRgn(dc, clip.get());
    // The colour is read at every paint so that a changed scheme shows at once.
    const GdiObject<HBRUSH> face(CreateSolidBrush(GetSysColor(COLOR_BTNFACE)));
    FillRgn(dc, clip.get(), face.get());

    const WindowTextBuffer text(handle());
    if (text.length() == 0) return;
    const SelectedObject font(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    DrawTextA(dc, text.text(), text.length(), &client, labelTextFormat);
}

}  // namespace morvane
