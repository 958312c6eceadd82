// The shell's tests under Wine. With a child switch, the exe runs the
// program itself with one thing refused, for the fatal-path tests:
//   --refuse-window=ID      the window with that identifier (0: the main window)
//   --refuse-text-memory    all text memory, once a countdown runs
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "program.h"
#include "test_support.h"

namespace {

class RefusingCreator final : public morvane::WindowCreator {
public:
    explicit RefusingCreator(int identifier) noexcept : refused_(identifier) {}

    HWND create(const morvane::WindowRequest& request) const override {
        const int identifier = request.parent == nullptr ? 0 : request.identifier;
        if (identifier == refused_) return nullptr;
        return WindowCreator::create(request);
    }

private:
    int refused_;
};

morvane::Program* runningProgram = nullptr;

void* refuseWhileCounting(std::size_t bytes) {
    if (runningProgram->countdownWindow().timer.period() != 0) return nullptr;
    return std::malloc(bytes);
}

// Presses 确认 with "10秒" selected: the countdown starts, and the start
// status is the first text refused.
void startCountdownWithoutTextMemory(morvane::Program& program) {
    runningProgram = &program;
    morvane::setTextAllocator(refuseWhileCounting);
    PostMessageA(program.mainWindow().confirmButton().handle(), BM_CLICK, 0, 0);
}

}  // namespace

int main(int argc, char** argv) {
    constexpr char refuseWindow[] = "--refuse-window=";
    if (argc == 2 && std::strncmp(argv[1], refuseWindow, sizeof refuseWindow - 1) == 0) {
        const RefusingCreator creator(std::atoi(argv[1] + sizeof refuseWindow - 1));
        return morvane::runProgram({&creator, nullptr});
    }
    if (argc == 2 && std::strcmp(argv[1], "--refuse-text-memory") == 0) {
        return morvane::runProgram({nullptr, startCountdownWithoutTextMemory});
    }
    ::testing::InitGoogleTest(&argc, argv);
    morvane::test::settleDesktop();
    return RUN_ALL_TESTS();
}
