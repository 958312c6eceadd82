// Helpers of the shell's tests under Wine: a program on the test thread,
// message pumping, input, screen pixels and other processes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "desktop_actions.h"
#include "message_loop.h"
#include "native_window.h"
#include "program.h"

namespace morvane::test {

// Real notices and cursor; clicks are recorded and, when asked, performed.
class RecordingDesktop final : public Desktop {
public:
    struct Click {
        std::int32_t x, y, kind;
    };

    void showNotice(const char* text, const char* title) override { real_.showNotice(text, title); }
    std::int32_t cursorX() override { return real_.cursorX(); }
    std::int32_t cursorY() override { return real_.cursorY(); }
    void clickAt(std::int32_t x, std::int32_t y, std::int32_t kind) override;

    std::vector<Click> clicks;
    bool clickForReal = false;

private:
    DesktopActions real_;
};

struct PumpResult {
    bool done = false;  // the condition came true in time
    bool quit = false;  // WM_QUIT was taken
    int quitCode = -1;
};

// Runs messages through loop until done() holds, WM_QUIT arrives or the time
// is up. A thread timer keeps GetMessageA from waiting longer than that.
PumpResult pumpUntil(MessageLoop& loop, const std::function<bool()>& done, DWORD timeoutMs);
PumpResult pumpFor(MessageLoop& loop, DWORD milliseconds);
// The same for tests without a main window: PeekMessage, TranslateMessage, DispatchMessage.
bool pumpPlainUntil(const std::function<bool()>& done, DWORD timeoutMs);

// The program built on the test thread, as start-up builds it.
class TestProgram {
public:
    explicit TestProgram(const WindowCreator& creator = WindowCreator());
    ~TestProgram();
    TestProgram(const TestProgram&) = delete;
    TestProgram& operator=(const TestProgram&) = delete;

    [[nodiscard]] bool built() const noexcept { return built_; }
    [[nodiscard]] HWND window() { return program_->mainWindow().handle(); }
    [[nodiscard]] HWND child(int identifier) { return GetDlgItem(window(), identifier); }
    [[nodiscard]] MainWindow& mainWindow() { return program_->mainWindow(); }
    [[nodiscard]] const CountdownWindow& countdown() { return program_->countdownWindow(); }
    [[nodiscard]] EventDelivery& events() { return program_->events(); }
    [[nodiscard]] MessageLoop& loop() { return loop_; }
    [[nodiscard]] std::string statusText() { return windowText(child(140)); }
    // Brings the window to the front so that typed keys reach it.
    void activate();

    RecordingDesktop desktop;

    static std::string windowText(HWND window);

private:
    std::unique_ptr<Program> program_;
    MessageLoop loop_;
    bool built_ = false;
};

// The tag as text; "(missing)" for no text.
std::string tagText(const CountdownTimer& timer);

// Typed keys, as a user would type them: modifiers held while key goes down and up.
void typeKey(WORD key, std::initializer_list<WORD> modifiers = {});

// Key and character messages taken from this thread's queue while it lives.
class KeyMessageLog {
public:
    KeyMessageLog();
    ~KeyMessageLog();
    KeyMessageLog(const KeyMessageLog&) = delete;
    KeyMessageLog& operator=(const KeyMessageLog&) = delete;

    [[nodiscard]] int count(UINT message, WPARAM wParam) const;
    void clear();

private:
    HHOOK hook_;
};

// Screen pixels, read back from the virtual desktop.
class ScreenPixels {
public:
    explicit ScreenPixels(const RECT& screenArea);
    [[nodiscard]] int width() const noexcept { return width_; }
    [[nodiscard]] int height() const noexcept { return height_; }
    [[nodiscard]] COLORREF at(int x, int y) const {
        return pixels_[static_cast<std::size_t>(y * width_ + x)];
    }

private:
    int width_;
    int height_;
    std::vector<COLORREF> pixels_;
};

RECT screenRectOf(HWND window);
RECT clientRectOnScreen(HWND window);

// Another process and its windows.
class ChildProcess {
public:
    explicit ChildProcess(const std::string& commandLine);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    [[nodiscard]] bool started() const noexcept { return info_.hProcess != nullptr; }
    [[nodiscard]] DWORD id() const noexcept { return info_.dwProcessId; }
    // The process's top-level windows of a class, visible or not.
    [[nodiscard]] std::vector<HWND> windows(const char* className) const;
    [[nodiscard]] HWND waitForWindow(const char* className, DWORD timeoutMs) const;
    // The exit code, or STILL_ACTIVE when it has not ended in time.
    [[nodiscard]] DWORD waitForExit(DWORD timeoutMs) const;

private:
    PROCESS_INFORMATION info_{};
};

// Waits until the virtual desktop, drawn by another Wine process, follows
// cursor moves at once. Just after it starts it echoes old moves late, which
// would put the cursor back where it was.
void settleDesktop();

// The directory of the running test exe, with a trailing backslash.
std::string exeDirectory();
// The text of a window of any process, converted to code page 936.
std::string textOfAnyWindow(HWND window);

// The parts of a message box: text, buttons, icon.
struct MessageBoxParts {
    std::string title;
    std::string text;
    std::vector<int> buttonIds;  // visible buttons
    bool hasIcon = false;
    HWND owner = nullptr;
};
MessageBoxParts readMessageBox(HWND box);

}  // namespace morvane::test
