#include "test_support.h"

#include <algorithm>

namespace morvane::test {

void RecordingDesktop::clickAt(std::int32_t x, std::int32_t y, std::int32_t kind) {
    clicks.push_back({x, y, kind});
    if (clickForReal) real_.clickAt(x, y, kind);
}

PumpResult pumpUntil(MessageLoop& loop, const std::function<bool()>& done, DWORD timeoutMs) {
    PumpResult result;
    const UINT_PTR wake = SetTimer(nullptr, 0, 10, nullptr);
    const DWORD start = GetTickCount();
    while (!(result.done = done())) {
        if (GetTickCount() - start >= timeoutMs) break;
        if (!loop.dispatchNextMessage()) {
            result.quit = true;
            result.quitCode = loop.quitCode();
        }
    }
    KillTimer(nullptr, wake);
    return result;
}

PumpResult pumpFor(MessageLoop& loop, DWORD milliseconds) {
    PumpResult result = pumpUntil(
        loop, [] { return false; }, milliseconds);
    result.done = true;
    return result;
}

bool pumpPlainUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= timeoutMs) return false;
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

TestProgram::TestProgram(const WindowCreator& creator)
    : program_(std::make_unique<Program>(desktop)), loop_(program_->mainWindow()) {
    built_ = program_->mainWindow().build(creator);
    if (built_) activate();
}

TestProgram::~TestProgram() {
    program_.reset();
    // The window posts WM_QUIT as it goes; the next test must not find it.
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
}

void TestProgram::activate() {
    SetForegroundWindow(window());
    SetActiveWindow(window());
    pumpFor(loop_, 100);
}

std::string TestProgram::windowText(HWND window) {
    const int length = GetWindowTextLengthA(window);
    std::string text(static_cast<std::size_t>(std::max(length, 0)) + 1, '\0');
    const int copied = GetWindowTextA(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(copied, 0)));
    return text;
}

std::string tagText(const CountdownTimer& timer) {
    const Text tag = timer.tag();
    return tag.isMissing() ? std::string("(missing)") : std::string(tag.get());
}

void typeKey(WORD key, std::initializer_list<WORD> modifiers) {
    std::vector<INPUT> inputs;
    auto add = [&inputs](WORD virtualKey, DWORD flags) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = virtualKey;
        input.ki.dwFlags = flags;
        inputs.push_back(input);
    };
    for (WORD modifier : modifiers) add(modifier, 0);
    add(key, 0);
    add(key, KEYEVENTF_KEYUP);
    for (auto it = std::rbegin(modifiers); it != std::rend(modifiers); ++it) add(*it, KEYEVENTF_KEYUP);
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

namespace {

struct LoggedKey {
    UINT message;
    WPARAM wParam;
};
std::vector<LoggedKey> loggedKeys;  // the hook procedure has no context of its own

LRESULT CALLBACK logKeyMessage(int code, WPARAM removal, LPARAM lParam) {
    if (code >= 0 && removal == PM_REMOVE) {
        const MSG& message = *reinterpret_cast<MSG*>(lParam);
        if (message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST) {
            loggedKeys.push_back({message.message, message.wParam});
        }
    }
    return CallNextHookEx(nullptr, code, removal, lParam);
}

}  // namespace

KeyMessageLog::KeyMessageLog()
    : hook_(SetWindowsHookExA(WH_GETMESSAGE, logKeyMessage, nullptr, GetCurrentThreadId())) {
    loggedKeys.clear();
}

KeyMessageLog::~KeyMessageLog() {
    UnhookWindowsHookEx(hook_);
}

int KeyMessageLog::count(UINT message, WPARAM wParam) const {
    return static_cast<int>(std::count_if(loggedKeys.begin(), loggedKeys.end(), [&](const LoggedKey& key) {
        return key.message == message && key.wParam == wParam;
    }));
}

void KeyMessageLog::clear() {
    loggedKeys.clear();
}

ScreenPixels::ScreenPixels(const RECT& area)
    : width_(area.right - area.left),
      height_(area.bottom - area.top),
      pixels_(static_cast<std::size_t>(width_ * height_)) {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width_, height_, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    const auto* bgra = static_cast<const BYTE*>(bits);
    for (std::size_t i = 0; i < pixels_.size(); ++i) {
        pixels_[i] = RGB(bgra[i * 4 + 2], bgra[i * 4 + 1], bgra[i * 4]);
    }
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

RECT screenRectOf(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

RECT clientRectOnScreen(HWND window) {
    RECT rect{};
    GetClientRect(window, &rect);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

ChildProcess::ChildProcess(const std::string& commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info_)) {
        info_ = {};
    }
}

ChildProcess::~ChildProcess() {
    if (info_.hProcess == nullptr) return;
    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(info_.hProcess, 99);
        WaitForSingleObject(info_.hProcess, 5000);
    }
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
}

std::vector<HWND> ChildProcess::windows(const char* className) const {
    struct Search {
        DWORD process;
        const char* className;
        std::vector<HWND> found;
    } search{info_.dwProcessId, className, {}};
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(context);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            char name[64] = {};
            GetClassNameA(window, name, sizeof name);
            if (owner == s.process && lstrcmpiA(name, s.className) == 0) s.found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND ChildProcess::waitForWindow(const char* className, DWORD timeoutMs) const {
    const DWORD start = GetTickCount();
    do {
        const std::vector<HWND> found = windows(className);
        if (!found.empty()) return found.front();
        Sleep(50);
    } while (GetTickCount() - start < timeoutMs);
    return nullptr;
}

DWORD ChildProcess::waitForExit(DWORD timeoutMs) const {
    WaitForSingleObject(info_.hProcess, timeoutMs);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
}

void settleDesktop() {
    const HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr,
                                        nullptr, GetModuleHandleA(nullptr), nullptr);
    const POINT moves[] = {{700, 500}, {40, 60}, {1200, 700}, {960, 540}};
    for (const POINT& move : moves) {
        SetCursorPos(move.x, move.y);
        pumpPlainUntil([] { return false; }, 250);
    }
    DestroyWindow(window);
}

std::string exeDirectory() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string directory(path);
    return directory.substr(0, directory.find_last_of('\\') + 1);
}

std::string textOfAnyWindow(HWND window) {
    // The wide form crosses processes intact; the narrow one loses text after
    // the first double-byte character under Wine.
    wchar_t wide[512] = {};
    SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(wide), SMTO_ABORTIFHUNG, 5000,
                        nullptr);
    char narrow[1024] = {};
    WideCharToMultiByte(936, 0, wide, -1, narrow, sizeof narrow, nullptr, nullptr);
    return narrow;
}

MessageBoxParts readMessageBox(HWND box) {
    MessageBoxParts parts;
    parts.title = textOfAnyWindow(box);
    parts.owner = GetWindow(box, GW_OWNER);
    for (HWND item = GetWindow(box, GW_CHILD); item != nullptr; item = GetWindow(item, GW_HWNDNEXT)) {
        if (!IsWindowVisible(item)) continue;
        char className[32] = {};
        GetClassNameA(item, className, sizeof className);
        const LONG style = GetWindowLongA(item, GWL_STYLE);
        if (lstrcmpiA(className, "Button") == 0) {
            parts.buttonIds.push_back(GetDlgCtrlID(item));
        } else if (lstrcmpiA(className, "Static") == 0) {
            if ((style & SS_TYPEMASK) == SS_ICON) {
                // The box may keep an empty icon control when it shows none.
                parts.hasIcon = SendMessageA(item, STM_GETICON, 0, 0) != 0;
            } else {
                const std::string text = textOfAnyWindow(item);
                if (!text.empty()) parts.text = text;
            }
        }
    }
    return parts;
}

}  // namespace morvane::test
