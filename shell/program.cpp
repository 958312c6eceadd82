#include "program.h"

#include <float.h>

#include "desktop_actions.h"
#include "fatal_failure.h"
#include "message_loop.h"

namespace morvane {

// "*&" binds the reference without reading the member, which GCC would
// otherwise report as a use before its construction.
Program::Program(Desktop& desktop) noexcept
    : events_(*&countdown_),
      window_(events_),
      countdown_{window_.delayList(), window_.statusLabel(), window_.timer().countdown(), desktop} {}

void resetFloatingPoint() noexcept {
    _fpreset();
    _control87(_RC_NEAR | _MCW_EM, _MCW_RC | _MCW_EM);
}

int runProgram(const RunOptions& options) {
    resetFloatingPoint();
    DesktopActions desktop;
    Program program(desktop);
    FatalExit fatalExit(program.events());
    const WindowCreator plainCreator;
    const WindowCreator& creator = options.creator != nullptr ? *options.creator : plainCreator;

    if (!program.mainWindow().build(creator)) fatalExit.fail(FatalCause::noWindow);
    if (options.started != nullptr) options.started(program);

    MessageLoop loop(program.mainWindow());
    while (loop.dispatchNextMessage()) {
    }
    // From here on no handler runs, whatever messages still arrive.
    program.events().blockEvents();
    return loop.quitCode();
}

}  // namespace morvane
