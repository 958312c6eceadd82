// Conversions between numbers and texts. Every returned Text is a new block
// of exactly its length + 1 bytes; refused memory goes to fatalFailure.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "text.h"

namespace morvane {

// Decimal, as "%d" writes it: "-2147483648" … "0" … "2147483647".
[[nodiscard]] Text intToText(std::int32_t value);

// "%.13g" with a three-digit exponent and "." whatever the locale: the value
// is first written with 17 correctly rounded digits, which are then cut to 13
// with ties away from zero. value is finite.
[[nodiscard]] Text realToText(double value);

// Full-width and other double-byte forms mapped to ASCII, then an optional
// sign and decimal digits read modulo 2^32. Never fails; text is present.
[[nodiscard]] std::int32_t textToInt(const char* text) noexcept;

// Truncation toward zero to 64 bits, low 32 bits kept. NaN and values outside
// the 64-bit range give 0x8000000000000000 as x86 does, hence 0.
[[nodiscard]] std::int32_t realToInt(double value) noexcept;

// One new text of the parts in order; a missing part (nullptr) counts as empty.
[[nodiscard]] Text joinTexts(std::initializer_list<const char*> parts);

}  // namespace morvane
