// Arbitrary bytes, cut at the first zero as a text would be, read by textToInt
// and by the reference model; any difference aborts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "conversions.h"
#include "reference_models.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A heap block of exactly the bytes up to the first zero and the
    // terminator, so that reading past the end is caught.
    const char* bytes = reinterpret_cast<const char*>(data);
    const std::size_t length = strnlen(bytes, size);
    const std::unique_ptr<char[]> text(new char[length + 1]);
    std::memcpy(text.get(), bytes, length);
    text[length] = '\0';
    const std::int32_t got = morvane::textToInt(text.get());
    const std::int32_t expected = morvane::reference::textToInt(text.get());
    if (got != expected) {
        std::fprintf(stderr, "textToInt gave %d, the reference %d\n", static_cast<int>(got),
                     static_cast<int>(expected));
        std::abort();
    }
    return 0;
}
