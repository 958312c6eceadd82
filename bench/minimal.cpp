// The baseline of the benchmark: the least a Win32 program with a window can
// be. One window of Morvane's size, style and place, painted with the button
// face colour, and a message loop; nothing else. Its title is "Morvane" so that
// the window reader of the tests finds it the same way as the real program.
#include <windows.h>

namespace {

LRESULT CALLBACK windowProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(h, msg, w, l);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = "MinimalWindow";
    if (!RegisterClassA(&wc)) return 1;
    const int width = 267, height = 198;
    HWND window = CreateWindowExA(0, wc.lpszClassName, "Morvane", WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                  (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                                  (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, nullptr, nullptr,
                                  instance, nullptr);
    if (!window) return 1;
    ShowWindow(window, SW_SHOW);
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    return static_cast<int>(m.wParam);
}
