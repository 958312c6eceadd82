// A large window that records every mouse button message it receives, so that
// the end-to-end tests can see where and when Morvane's click landed.
//
//   clicktarget LOG LEFT TOP WIDTH HEIGHT
//
// LOG gets one line per message, UTF-8, tab-separated:
//   ready <unix time> rect=l,t,r,b
//   click <unix time> <message> <screen x> <screen y>
// where <message> is LBUTTONDOWN, LBUTTONUP, RBUTTONDOWN, … The window never
// takes the activation, so clicking it leaves the tested window in front.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tool_support.h"

namespace {

HANDLE gLog = INVALID_HANDLE_VALUE;
std::vector<POINT> gClicks;  // client positions of the button presses, drawn as crosses

const char* buttonMessageName(UINT msg) {
    switch (msg) {
        case WM_LBUTTONDOWN:
            return "LBUTTONDOWN";
        case WM_LBUTTONUP:
            return "LBUTTONUP";
        case WM_LBUTTONDBLCLK:
            return "LBUTTONDBLCLK";
        case WM_RBUTTONDOWN:
            return "RBUTTONDOWN";
        case WM_RBUTTONUP:
            return "RBUTTONUP";
        case WM_RBUTTONDBLCLK:
            return "RBUTTONDBLCLK";
        case WM_MBUTTONDOWN:
            return "MBUTTONDOWN";
        case WM_MBUTTONUP:
            return "MBUTTONUP";
        case WM_MBUTTONDBLCLK:
            return "MBUTTONDBLCLK";
        default:
            return nullptr;
    }
}

void paint(HWND h) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    RECT r;
    GetClientRect(h, &r);
    HBRUSH back = CreateSolidBrush(RGB(224, 236, 224));
    FillRect(dc, &r, back);
    DeleteObject(back);
    SetBkMode(dc, TRANSPARENT);
    const char* caption = "click target";
    TextOutA(dc, 12, 12, caption, static_cast<int>(strlen(caption)));
    HPEN pen = CreatePen(PS_SOLID, 2, RGB(200, 0, 0));
    HGDIOBJ old = SelectObject(dc, pen);
    for (POINT p : gClicks) {
        MoveToEx(dc, p.x - 8, p.y, nullptr);
        LineTo(dc, p.x + 9, p.y);
        MoveToEx(dc, p.x, p.y - 8, nullptr);
        LineTo(dc, p.x, p.y + 9);
    }
    SelectObject(dc, old);
    DeleteObject(pen);
    EndPaint(h, &ps);
}

LRESULT CALLBACK targetProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
    if (const char* name = buttonMessageName(msg)) {
        double when = tool::unixNow();
        POINT p{static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))};
        POINT client = p;
        ClientToScreen(h, &p);
        char b[128];
        std::snprintf(b, sizeof b, "click\t%.6f\t%s\t%ld\t%ld\n", when, name, p.x, p.y);
        tool::appendLine(gLog, b);
        if (msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_MBUTTONDOWN) {
            gClicks.push_back(client);
            InvalidateRect(h, nullptr, FALSE);
        }
        return 0;
    }
    switch (msg) {
        case WM_MOUSEACTIVATE:
            return MA_NOACTIVATE;
        case WM_PAINT:
            paint(h);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(h, msg, w, l);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fputs("usage: clicktarget LOG LEFT TOP WIDTH HEIGHT\n", stderr);
        return 2;
    }
    gLog = CreateFileA(argv[1], FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (gLog == INVALID_HANDLE_VALUE) return 1;
    int left = std::atoi(argv[2]), top = std::atoi(argv[3]);
    int width = std::atoi(argv[4]), height = std::atoi(argv[5]);

    HINSTANCE inst = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    wc.lpfnWndProc = targetProc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_CROSS));
    wc.lpszClassName = "MorvaneClickTarget";
    RegisterClassA(&wc);
    HWND h = CreateWindowExA(WS_EX_NOACTIVATE, wc.lpszClassName, "click target", WS_POPUP | WS_BORDER, left,
                             top, width, height, nullptr, nullptr, inst, nullptr);
    if (!h) return 1;
    ShowWindow(h, SW_SHOWNOACTIVATE);
    UpdateWindow(h);
    RECT r;
    GetWindowRect(h, &r);
    char b[128];
    std::snprintf(b, sizeof b, "ready\t%.6f\trect=%ld,%ld,%ld,%ld\n", tool::unixNow(), r.left, r.top, r.right,
                  r.bottom);
    tool::appendLine(gLog, b);

    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    CloseHandle(gLog);
    return 0;
}
