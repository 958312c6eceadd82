// The main window's frame and its children: identifiers, places and sizes in
// pixels of the main window's client area, passed unchanged to CreateWindowExA.
#pragma once

#include <windows.h>

namespace morvane::layout {

inline constexpr int windowWidth = 267;  // outer size, frame and title bar included
inline constexpr int windowHeight = 198;

struct ChildPlace {
    int identifier;
    int left;
    int top;
    int width;
    int height;
};

// In creation order. The identifiers go up by 10 from 100.
inline constexpr ChildPlace delayList{100, 16, 38, 132, 20};
inline constexpr ChildPlace confirmButton{110, 168, 32, 80, 32};
inline constexpr ChildPlace cancelButton{120, 168, 80, 80, 32};
inline constexpr ChildPlace timer{130, 16, 16, 26, 26};
inline constexpr ChildPlace statusLabel{140, 16, 80, 152, 32};
inline constexpr ChildPlace creditLabel{150, 32, 144, 216, 24};

// A drop-down list is created at least this tall: the room of its dropped list.
inline constexpr int dropDownMinimumHeight = 160;

// The one system timer of the timer control's window.
inline constexpr UINT_PTR timerIdentifier = 1000;

}  // namespace morvane::layout
