#pragma once

#include <array>
#include <cstdint>

namespace morvane {

struct DelayChoice {
    const char* text;  // code page 936
    std::int32_t milliseconds;
};

inline constexpr std::size_t delayChoiceCount = 17;
extern const std::array<DelayChoice, delayChoiceCount> delayTable;

// "10秒", not the first row.
inline constexpr int preselectedDelay = 1;

}  // namespace morvane
