// Morvane.exe: clicks the mouse once after a chosen delay.
#include <windows.h>

#include "program.h"

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int /*show*/) {
    // The command line and the show state handed to the process are not used.
    return morvane::runProgram();
}
