#include "native_window.h"

namespace morvane {

HWND WindowCreator::create(const WindowRequest& request) const {
    // A child's identifier travels in the menu argument.
    HMENU menu = request.parent != nullptr ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(request.identifier))
                                           : nullptr;
    return CreateWindowExA(request.extendedStyle, request.className, request.title, request.style,
                           request.left, request.top, request.width, request.height, request.parent, menu,
                           programInstance(), request.object);
}

HINSTANCE programInstance() noexcept {
    return GetModuleHandleA(nullptr);
}

bool registerWindowClass(const char* name, UINT classStyle) noexcept {
    WNDCLASSA existing{};
    if (GetClassInfoA(programInstance(), name, &existing)) return true;
    WNDCLASSA windowClass{};
    windowClass.style = classStyle;
    windowClass.lpfnWndProc = NativeWindow::windowProcedure;
    windowClass.hInstance = programInstance();
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    // Erasing paints nothing: each window paints its background in WM_PAINT.
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    windowClass.lpszClassName = name;
    return RegisterClassA(&windowClass) != 0;
}

NativeWindow::~NativeWindow() {
    // A window that outlives its object must not reach it any more.
    if (window_ != nullptr && GetWindowLongPtrA(window_, GWLP_USERDATA) == reinterpret_cast<LONG_PTR>(this)) {
        SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    }
}

bool NativeWindow::createWindow(const WindowCreator& creator, const WindowRequest& request) {
    HWND created = creator.create(request);
    if (created == nullptr) return false;
    window_ = created;
    return true;
}

LRESULT NativeWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return defaultProcessing(message, wParam, lParam);
}

LRESULT NativeWindow::defaultProcessing(UINT message, WPARAM wParam, LPARAM lParam) const {
    return DefWindowProcA(window_, message, wParam, lParam);
}

LRESULT CALLBACK NativeWindow::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    NativeWindow* self = nullptr;
    if (message == WM_NCCREATE) {
        self = static_cast<NativeWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        if (self != nullptr) {
            self->window_ = window;
            SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
    } else {
        self = reinterpret_cast<NativeWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    }
    // Messages before WM_NCCREATE (WM_GETMINMAXINFO) and after the object let go.
    if (self == nullptr) return DefWindowProcA(window, message, wParam, lParam);

    const LRESULT result = self->handleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        self->window_ = nullptr;
        self->windowGone();
    }
    return result;
}

}  // namespace morvane
