// Watches the desktop of the monkey test from inside Wine.
//
//   inputwatch watch LOG STOPFILE [CENSUS_MS]
//       installs a low-level mouse hook and logs every mouse button event with
//       its injection flag, and, every CENSUS_MS (default 50), the visible
//       top-level windows of all other processes whenever that list changes.
//       Runs until STOPFILE exists.
//   inputwatch click X Y
//       synthesises one left click at the screen point (X, Y) the way a
//       program does it (SetCursorPos, then mouse_event down and up), so that
//       the monkey can check that such clicks are told apart from real ones.
//
// LOG is UTF-8, one fact per line, tab-separated:
//   ready <unix time>
//   button <unix time> <event> <x> <y> injected=<0|1> flags=0x..
//   windows <unix time>                         start of a census
//   top hwnd= pid= tid= class= title= rect=l,t,r,b enabled=
//   gui tid= flags=0x.. menuowner= active= focus= capture=   (one per thread above)
//   end
// A thread in menu mode (GUI_INMENUMODE in flags) takes every key for its menu.
// <event> is LBUTTONDOWN, LBUTTONUP, RBUTTONDOWN, RBUTTONUP, MBUTTONDOWN,
// MBUTTONUP, XBUTTONDOWN or XBUTTONUP.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "../../e2e/tools/tool_support.h"

namespace {

HANDLE gLog = INVALID_HANDLE_VALUE;
std::wstring gStopFile;
std::string gLastCensus;

const char* buttonEventName(WPARAM message) {
    switch (message) {
        case WM_LBUTTONDOWN:
            return "LBUTTONDOWN";
        case WM_LBUTTONUP:
            return "LBUTTONUP";
        case WM_RBUTTONDOWN:
            return "RBUTTONDOWN";
        case WM_RBUTTONUP:
            return "RBUTTONUP";
        case WM_MBUTTONDOWN:
            return "MBUTTONDOWN";
        case WM_MBUTTONUP:
            return "MBUTTONUP";
        case WM_XBUTTONDOWN:
            return "XBUTTONDOWN";
        case WM_XBUTTONUP:
            return "XBUTTONUP";
        default:
            return nullptr;
    }
}

LRESULT CALLBACK mouseHook(int code, WPARAM message, LPARAM lParam) {
    if (code == HC_ACTION) {
        if (const char* name = buttonEventName(message)) {
            const auto* info = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
            char b[160];
            std::snprintf(b, sizeof b, "button\t%.6f\t%s\t%ld\t%ld\tinjected=%d\tflags=0x%lx\n",
                          tool::unixNow(), name, info->pt.x, info->pt.y,
                          (info->flags & LLMHF_INJECTED) != 0 ? 1 : 0,
                          static_cast<unsigned long>(info->flags));
            tool::appendLine(gLog, b);
        }
    }
    return CallNextHookEx(nullptr, code, message, lParam);
}

struct CensusBody {
    std::string text;
    std::set<DWORD> threads;
};

std::string hex(HWND h) {
    char b[32];
    std::snprintf(b, sizeof b, "0x%llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(h)));
    return b;
}

BOOL CALLBACK describeTop(HWND h, LPARAM lp) {
    if (!IsWindowVisible(h)) return TRUE;
    DWORD pid = 0;
    DWORD tid = GetWindowThreadProcessId(h, &pid);
    if (pid == GetCurrentProcessId()) return TRUE;
    wchar_t cls[256] = {};
    GetClassNameW(h, cls, 256);
    wchar_t title[1024] = {};
    InternalGetWindowText(h, title, 1024);  // sends no message: a busy window cannot stall the census
    RECT r{};
    GetWindowRect(h, &r);
    char b[256];
    std::snprintf(b, sizeof b, "top\thwnd=0x%llx\tpid=%lu\ttid=%lu\tclass=",
                  static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(h)),
                  static_cast<unsigned long>(pid), static_cast<unsigned long>(tid));
    char tail[128];
    std::snprintf(tail, sizeof tail, "\trect=%ld,%ld,%ld,%ld\tenabled=%d\n", r.left, r.top, r.right, r.bottom,
                  IsWindowEnabled(h) ? 1 : 0);
    auto* body = reinterpret_cast<CensusBody*>(lp);
    body->text += b + tool::field(cls) + "\ttitle=" + tool::field(title) + tail;
    body->threads.insert(tid);
    return TRUE;
}

void census() {
    double when = tool::unixNow();
    CensusBody found;
    EnumWindows(describeTop, reinterpret_cast<LPARAM>(&found));
    std::string body = found.text;
    for (DWORD tid : found.threads) {
        GUITHREADINFO gti{};
        gti.cbSize = sizeof gti;
        if (!GetGUIThreadInfo(tid, &gti)) continue;
        char b[64];
        std::snprintf(b, sizeof b, "gui\ttid=%lu\tflags=0x%lx", static_cast<unsigned long>(tid),
                      static_cast<unsigned long>(gti.flags));
        body += b + std::string("\tmenuowner=") + hex(gti.hwndMenuOwner) + "\tactive=" + hex(gti.hwndActive) +
                "\tfocus=" + hex(gti.hwndFocus) + "\tcapture=" + hex(gti.hwndCapture) + "\n";
    }
    if (body == gLastCensus) return;
    gLastCensus = body;
    char b[64];
    std::snprintf(b, sizeof b, "windows\t%.6f\n", when);
    tool::appendLine(gLog, b + body + "end\n");
}

void CALLBACK onTimer(HWND, UINT, UINT_PTR, DWORD) {
    census();
    if (GetFileAttributesW(gStopFile.c_str()) != INVALID_FILE_ATTRIBUTES) PostQuitMessage(0);
}

int watch(const char* logPath, const char* stopPath, UINT censusMs) {
    gLog = CreateFileW(tool::wide(logPath).c_str(), FILE_APPEND_DATA,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (gLog == INVALID_HANDLE_VALUE) return 1;
    gStopFile = tool::wide(stopPath);
    // A low-level hook is called in this thread's message loop, which must keep running.
    HHOOK hook = SetWindowsHookExW(WH_MOUSE_LL, mouseHook, GetModuleHandleW(nullptr), 0);
    if (hook == nullptr) return 1;
    census();
    char b[64];
    std::snprintf(b, sizeof b, "ready\t%.6f\n", tool::unixNow());
    tool::appendLine(gLog, b);
    SetTimer(nullptr, 0, censusMs, onTimer);
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) DispatchMessageW(&m);
    UnhookWindowsHookEx(hook);
    CloseHandle(gLog);
    return 0;
}

int click(int x, int y) {
    SetCursorPos(x, y);
    mouse_event(MOUSEEVENTF_LEFTDOWN, static_cast<DWORD>(x), static_cast<DWORD>(y), 0, 0);
    mouse_event(MOUSEEVENTF_LEFTUP, static_cast<DWORD>(x), static_cast<DWORD>(y), 0, 0);
    // The events are delivered on the system's schedule; stay a moment so that
    // they are not lost with the process.
    Sleep(300);
    return 0;
}

int usage() {
    std::fputs(
        "usage: inputwatch watch LOG STOPFILE [CENSUS_MS]\n"
        "       inputwatch click X Y\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    std::string mode = argv[1];
    if (mode == "watch" && argc >= 4) {
        UINT censusMs = argc > 4 ? static_cast<UINT>(std::atoi(argv[4])) : 50;
        return watch(argv[2], argv[3], censusMs > 0 ? censusMs : 50);
    }
    if (mode == "click" && argc >= 4) return click(std::atoi(argv[2]), std::atoi(argv[3]));
    return usage();
}
