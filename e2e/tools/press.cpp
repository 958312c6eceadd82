// Clicks the left mouse button with SendInput once the cursor stands at a
// screen point, and records the moment just before, to the microsecond: the
// benchmark's start mark for the countdown when it presses Morvane's 确认.
//
//   press LOG X Y
//
// LOG gets one line: "press <unix time> <x> <y>".
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "tool_support.h"

namespace {}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fputs("usage: press LOG X Y\n", stderr);
        return 2;
    }
    int x = std::atoi(argv[2]), y = std::atoi(argv[3]);
    // The pointer is brought to (x, y) from outside (xdotool): under Wine's X11
    // driver the X pointer decides where injected buttons act, and an injected
    // move does not win against it. Wait until the system reports it there.
    for (int tries = 0;; ++tries) {
        POINT p{};
        GetCursorPos(&p);
        if (p.x == x && p.y == y) break;
        if (tries == 500) {
            std::fprintf(stderr, "press: the cursor stays at %ld,%ld, not at %d,%d\n", p.x, p.y, x, y);
            return 1;
        }
        Sleep(10);
    }
    Sleep(50);  // lets the window under the cursor take the move before the press
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_MOUSE;
    in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    double when = tool::unixNow();
    UINT sent = SendInput(2, in, sizeof(INPUT));
    FILE* log = std::fopen(argv[1], "ab");
    if (!log) return 1;
    std::fprintf(log, "press\t%.6f\t%d\t%d\n", when, x, y);
    std::fclose(log);
    return sent == 2 ? 0 : 1;
}
