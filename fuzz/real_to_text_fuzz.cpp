// The first eight bytes as a double; every finite one is formatted by realToText and by
// the reference model, and any difference aborts.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "conversions.h"
#include "reference_models.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    double value = 0;
    if (size < sizeof value) return 0;
    std::memcpy(&value, data, sizeof value);
    if (!std::isfinite(value)) return 0;
    const morvane::Text text = morvane::realToText(value);
    const std::string expected = morvane::reference::realToText(value);
    if (expected != text.get()) {
        std::fprintf(stderr, "realToText(%a) gave \"%s\", the reference \"%s\"\n", value, text.get(),
                     expected.c_str());
        std::abort();
    }
    return 0;
}
