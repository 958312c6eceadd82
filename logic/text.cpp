#include "text.h"

#include <cstdlib>
#include <cstring>

namespace morvane {
namespace {

struct FatalRoute {
    FatalHandler handler = nullptr;
    void* context = nullptr;
};

// The process-wide hooks. They are set once at start (or by a test) and only
// read afterwards, always on the one GUI thread.
FatalRoute fatalRoute;
TextAllocator textAllocator = nullptr;

}  // namespace

void setFatalHandler(FatalHandler handler, void* context) noexcept {
    fatalRoute = {handler, context};
}

void fatalFailure(const char* reason) {
    if (fatalRoute.handler != nullptr) fatalRoute.handler(fatalRoute.context, reason);
    std::abort();  // a handler that returns would leave the caller without its memory
}

void setTextAllocator(TextAllocator allocator) noexcept { textAllocator = allocator; }

void Text::Release::operator()(char* bytes) const noexcept { std::free(bytes); }

Text Text::ofLength(std::size_t length) {
    const std::size_t size = length + 1;
    void* block = textAllocator != nullptr ? textAllocator(size) : std::malloc(size);
    if (block == nullptr) fatalFailure("out of memory for a text");
    std::memset(block, 0, size);
    Text text;
    text.bytes_.reset(static_cast<char*>(block));
    return text;
}

Text Text::copyOf(const char* source) {
    if (source == nullptr) return Text();
    const std::size_t length = std::strlen(source);
    Text copy = ofLength(length);
    std::memcpy(copy.data(), source, length);
    return copy;
}

std::size_t Text::length() const noexcept {
    return bytes_ == nullptr ? 0 : std::strlen(bytes_.get());
}

}  // namespace morvane
