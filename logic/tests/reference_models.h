// Plain, separately written models of two conversions, for the differential
// test and the fuzzers. They favour obviousness over speed and may allocate.
#pragma once

#include <cstdint>
#include <string>

namespace morvane::reference {

// "%.13g" with a three-digit exponent, built from the C library's 17
// correctly rounded digits ("%.16e") and rounded on that string.
std::string realToText(double value);

// The mapped bytes gathered into a string first, then read with a 64-bit
// accumulator kept to its low 32 bits.
std::int32_t textToInt(const char* text);

}  // namespace morvane::reference
