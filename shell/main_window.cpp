#include "main_window.h"

#include "shell_texts.h"

namespace morvane {
namespace {

constexpr DWORD mainWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
static_assert(mainWindowStyle == 0x02CA0000);
constexpr UINT mainClassStyle = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;

// Keyboard messages as counted before WM_UNICHAR joined the range.
constexpr UINT firstKeyboardMessage = WM_KEYDOWN;
constexpr UINT lastKeyboardMessage = 0x0108;

constexpr char iconGroupName[] = "DEFAULT_ICON";
constexpr int iconImageSize = 128;
constexpr DWORD iconFormatVersion = 0x00030000;
// The executable's icon, taken when no icon can be made from the image.
constexpr int fallbackBigIconSize = 32;
constexpr int fallbackSmallIconSize = 16;

bool keyDown(int virtualKey) noexcept {
    return GetKeyState(virtualKey) < 0;
}

LPCSTR resourceNumber(int number) noexcept {
    return reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(number)));
}

// The single image of the icon group, in the layout of an icon resource:
// bitmap header, 32-bit pixels, mask.
struct IconImage {
    PBYTE bytes = nullptr;
    DWORD size = 0;
};

IconImage findIconImage() noexcept {
    const HMODULE module = programInstance();
    const HRSRC group = FindResourceA(module, iconGroupName, RT_GROUP_ICON);
    if (group == nullptr) return {};
    const auto directory = static_cast<PBYTE>(LockResource(LoadResource(module, group)));
    if (directory == nullptr) return {};
    const int id =
        LookupIconIdFromDirectoryEx(directory, TRUE, iconImageSize, iconImageSize, LR_DEFAULTCOLOR);
    if (id == 0) return {};
    const HRSRC image = FindResourceA(module, resourceNumber(id), RT_ICON);
    if (image == nullptr) return {};
    return {static_cast<PBYTE>(LockResource(LoadResource(module, image))), SizeofResource(module, image)};
}

OwnedIcon iconFromImage(const IconImage& image) noexcept {
    if (image.bytes == nullptr) return OwnedIcon();
    return OwnedIcon(CreateIconFromResourceEx(image.bytes, image.size, TRUE, iconFormatVersion, iconImageSize,
                                              iconImageSize, LR_DEFAULTCOLOR));
}

HICON sharedProgramIcon(int size) noexcept {
    return static_cast<HICON>(
        LoadImageA(programInstance(), iconGroupName, IMAGE_ICON, size, size, LR_SHARED));
}

}  // namespace

MainWindow::MainWindow(EventDelivery& events) noexcept
    : events_(events),
      delayList_(events),
      confirmButton_(events, EventSource::confirmButton, layout::confirmButton, texts::confirmCaption),
      cancelButton_(events, EventSource::cancelButton, layout::cancelButton, texts::cancelCaption),
      timer_(events),
      statusLabel_(layout::statusLabel, texts::statusPlaceholder),
      creditLabel_(layout::creditLabel, texts::creditLine),
      children_{&delayList_, &confirmButton_, &cancelButton_, &timer_, &statusLabel_, &creditLabel_} {}

MainWindow::~MainWindow() {
    // Destroyed here at the latest, while the children's objects still exist.
    if (handle() != nullptr) DestroyWindow(handle());
}

bool MainWindow::build(const WindowCreator& creator) {
    events_.blockEvents();
    if (!registerWindowClass(className, mainClassStyle)) return false;

    // Centred on the primary screen; the work area is not considered.
    const int left = (GetSystemMetrics(SM_CXSCREEN) - layout::windowWidth) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - layout::windowHeight) / 2;
    if (!createWindow(creator, {0, className, texts::windowTitle, mainWindowStyle, left, top,
                                layout::windowWidth, layout::windowHeight, nullptr, 0, this})) {
        return false;
    }
    RECT outer{};
    GetWindowRect(handle(), &outer);
    if (outer.right - outer.left != layout::windowWidth || outer.bottom - outer.top != layout::windowHeight) {
        MoveWindow(handle(), outer.left, outer.top, layout::windowWidth, layout::windowHeight, TRUE);
    }
    setIcons();
    SendMessageA(handle(), WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);

    for (ChildControl* child : children_) {
        if (!child->create(creator, handle())) return false;
    }
    for (ChildControl* child : children_) {
        ShowWindow(child->handle(), child == &timer_ ? SW_HIDE : SW_SHOWNA);
    }

    events_.unblockEvents();
    // The list is filled and the status set before the first picture.
    events_.raiseEvent(EventSource::mainWindow, EventKind::created);
    if (handle() != nullptr && IsWindow(handle())) ShowWindow(handle(), SW_SHOW);
    return true;
}

void MainWindow::setIcons() {
    const IconImage image = findIconImage();
    bigIcon_ = iconFromImage(image);
    smallIcon_ = iconFromImage(image);
    HICON big = bigIcon_.get();
    HICON small = smallIcon_.get();
    if (big == nullptr && small == nullptr) {
        big = sharedProgramIcon(fallbackBigIconSize);
        small = sharedProgramIcon(fallbackSmallIconSize);
    }
    SendMessageA(handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    SendMessageA(handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
}

LRESULT MainWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            paint();
            return 0;
        case WM_ACTIVATE: {
            const LRESULT result = defaultProcessing(message, wParam, lParam);
            onActivate(wParam);
            return result;
        }
        case WM_SETFOCUS: {
            const LRESULT result = defaultProcessing(message, wParam, lParam);
            onSetFocus();
            return result;
        }
        case WM_QUERYENDSESSION:
            static_cast<void>(defaultProcessing(message, wParam, lParam));
            return TRUE;  // a logoff or shutdown is never refused
        case WM_COMMAND:
            if (ChildControl* child = childOwning(reinterpret_cast<HWND>(lParam))) {
                child->onCommand(HIWORD(wParam));
                return 0;
            }
            break;
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
            if (ChildControl* child = childOwning(reinterpret_cast<HWND>(lParam))) {
                if (HBRUSH brush = child->onControlColor(reinterpret_cast<HDC>(wParam))) {
                    return reinterpret_cast<LRESULT>(brush);
                }
            }
            break;
        default:
            break;
    }
    return defaultProcessing(message, wParam, lParam);
}

void MainWindow::windowGone() {
    for (ChildControl* child : children_) child->parentGone();
    rememberedFocus_ = nullptr;
    bigIcon_.reset();
    smallIcon_.reset();
    PostQuitMessage(0);
}

void MainWindow::paint() const {
    const PaintSession session(handle());
    RECT area{};
    if (GetClipBox(session.dc(), &area) == NULLREGION || IsRectEmpty(&area)) return;
    const GdiObject<HRGN> region(CreateRectRgnIndirect(&area));
    // Read at every paint, so that a changed colour scheme shows at once.
    const GdiObject<HBRUSH> face(CreateSolidBrush(GetSysColor(COLOR_BTNFACE)));
    FillRgn(session.dc(), region.get(), face.get());
}

void MainWindow::onActivate(WPARAM wParam) {
    UpdateWindow(handle());
    if (LOWORD(wParam) != WA_INACTIVE) return;
    const HWND focus = GetFocus();
    if (focus != nullptr && IsChild(handle(), focus)) rememberedFocus_ = focus;
}

void MainWindow::onSetFocus() {
    const HWND remembered = rememberedFocus_;
    rememberedFocus_ = nullptr;
    if (remembered != nullptr && IsWindow(remembered) && IsChild(handle(), remembered)) {
        SetFocus(remembered);
    } else {
        focusFirst();
    }
}

ChildControl* MainWindow::childOwning(HWND window) const {
    for (ChildControl* child : children_) {
        if (child->owns(window)) return child;
    }
    return nullptr;
}

bool MainWindow::inFocusOrder(const ChildControl& child) const {
    const HWND window = child.handle();
    return window != nullptr && IsWindowVisible(window) && IsWindowEnabled(window) &&
           (GetWindowLongA(window, GWL_STYLE) & WS_TABSTOP) != 0;
}

void MainWindow::focusFirst() const {
    for (ChildControl* child : children_) {
        if (inFocusOrder(*child)) {
            SetFocus(child->handle());
            return;
        }
    }
}

void MainWindow::moveFocus(HWND from, bool forward) const {
    std::array<HWND, 6> order{};
    std::size_t count = 0;
    std::size_t current = order.size();  // none: the window itself or a child outside the order
    for (ChildControl* child : children_) {
        if (!inFocusOrder(*child)) continue;
        if (child->handle() == from || IsChild(child->handle(), from)) current = count;
        order[count++] = child->handle();
    }
    if (count == 0) return;
    std::size_t next = 0;
    if (current == order.size()) {
        next = forward ? 0 : count - 1;
    } else {
        next = forward ? (current + 1) % count : (current + count - 1) % count;
    }
    SetFocus(order[next]);
}

bool MainWindow::interceptKey(const MSG& message) {
    if (handle() == nullptr || message.hwnd == nullptr) return false;
    if (message.hwnd != handle() && !IsChild(handle(), message.hwnd)) return false;
    if (message.message >= firstKeyboardMessage && message.message <= lastKeyboardMessage &&
        !IsWindowEnabled(message.hwnd)) {
        return false;
    }
    if (message.message != WM_KEYDOWN && message.message != WM_SYSKEYDOWN) return false;

    const auto key = static_cast<BYTE>(message.wParam & 0xFF);
    const bool control = keyDown(VK_CONTROL);
    const bool shift = keyDown(VK_SHIFT);
    const bool alt = keyDown(VK_MENU);
    if (key == VK_TAB && !control && !alt) {
        moveFocus(message.hwnd, !shift);
        return true;
    }
    if (key == VK_ESCAPE && !control && !shift && !alt) {
        // Sent, not posted: the window is gone when this returns.
        SendMessageA(handle(), WM_CLOSE, 0, 0);
        return true;
    }
    return false;  // Enter and F1 included
}

}  // namespace morvane
