#include "fatal_failure.h"

#include <windows.h>

#include "../logic/text.h"
#include "shell_texts.h"

namespace morvane {
namespace {

void failForText(void* context, const char* /*reason*/) {
    static_cast<FatalExit*>(context)->fail(FatalCause::noMemory);
}

}  // namespace

FatalExit::FatalExit(EventDelivery& events) noexcept : events_(events) {
    setFatalHandler(failForText, this);
}

FatalExit::~FatalExit() {
    setFatalHandler(nullptr, nullptr);
}

void FatalExit::fail(FatalCause cause) {
    events_.blockEvents();  // never lowered again
    // The error box's own loop paints and dispatches; should anything in it
    // fail once more, end without a second box.
    if (failing_) ExitProcess(fatalExitCode);
    failing_ = true;
    const char* text = cause == FatalCause::noMemory ? texts::fatalNoMemory : texts::fatalNoWindow;
    MessageBoxA(nullptr, text, texts::fatalTitle, MB_OK | MB_ICONERROR | MB_TASKMODAL);
    ExitProcess(fatalExitCode);
}

}  // namespace morvane
