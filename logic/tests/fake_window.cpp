#include "fake_window.h"

#include "handlers.h"

namespace morvane::testing {

int FakeList::addItem(const char* text, std::int32_t value) {
    items.emplace_back(text, value);
    return static_cast<int>(items.size()) - 1;
}

std::int32_t FakeList::itemValue(int index) const {
    if (index < 0 || index >= static_cast<int>(items.size())) return -1;
    return items[static_cast<std::size_t>(index)].second;
}

void FakeList::setSelectedIndex(int index) {
    const int last = static_cast<int>(items.size()) - 1;
    int value = index <= last ? index : last;
    if (value < -1) value = -1;
    selected = value;
}

void FakeSystemTimer::set(std::int32_t milliseconds) {
    calls.push_back("set " + std::to_string(milliseconds));
    running = milliseconds;
}

void FakeSystemTimer::kill() {
    calls.emplace_back("kill");
    running = 0;
}

void FakeDesktop::showNotice(const char* text, const char* title) {
    calls.emplace_back("notice");
    notices.push_back({text == nullptr ? "" : text, title == nullptr ? "" : title});
    if (whileNoticeOpen) whileNoticeOpen();
}

std::int32_t FakeDesktop::cursorX() {
    calls.emplace_back("cursorX");
    return x;
}

std::int32_t FakeDesktop::cursorY() {
    calls.emplace_back("cursorY");
    return y;
}

void FakeDesktop::clickAt(std::int32_t atX, std::int32_t atY, std::int32_t kind) {
    calls.emplace_back("click");
    clicks.push_back({atX, atY, kind});
    x = atX;
    y = atY;
}

bool FakeWindow::tick() {
    if (systemTimer.running == 0) return false;
    handleTick(controls);
    return true;
}

std::string FakeWindow::tag() const {
    const Text text = timer.tag();
    return text.isMissing() ? std::string("<missing>") : std::string(text.get());
}

}  // namespace morvane::testing
