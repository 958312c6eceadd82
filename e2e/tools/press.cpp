// Clicks the left mouse button at a screen point with SendInput and records
// the moment just before, to the microsecond: the benchmark's start mark for
// the countdown when it presses Morvane's 确认.
//
//   press LOG X Y
//
// LOG gets one line: "press <unix time> <x> <y>".
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

double unixNow() {
    FILETIME ft;
    GetSystemTimePreciseAsFileTime(&ft);
    ULARGE_INTEGER v;
    v.LowPart = ft.dwLowDateTime;
    v.HighPart = ft.dwHighDateTime;
    return static_cast<double>(v.QuadPart - 116444736000000000ULL) / 1e7;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fputs("usage: press LOG X Y\n", stderr);
        return 2;
    }
    int x = std::atoi(argv[2]), y = std::atoi(argv[3]);
    SetCursorPos(x, y);
    Sleep(100);  // lets the program under the cursor see it arrive before the press
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_MOUSE;
    in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    double when = unixNow();
    UINT sent = SendInput(2, in, sizeof(INPUT));
    FILE* log = std::fopen(argv[1], "ab");
    if (!log) return 1;
    std::fprintf(log, "press\t%.6f\t%d\t%d\n", when, x, y);
    std::fclose(log);
    return sent == 2 ? 0 : 1;
}
