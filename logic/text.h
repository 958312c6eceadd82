// Owned texts in code page 936 and the one route for refused memory.
#pragma once

#include <cstddef>
#include <memory>

namespace morvane {

// Called when memory for a text is refused. It must not return: the shell
// reports the failure and ends the process; tests throw.
using FatalHandler = void (*)(void* context, const char* reason);
void setFatalHandler(FatalHandler handler, void* context) noexcept;
[[noreturn]] void fatalFailure(const char* reason);

// Lets tests refuse memory. nullptr restores the default (std::malloc).
using TextAllocator = void* (*)(std::size_t bytes);
void setTextAllocator(TextAllocator allocator) noexcept;

// A zero-terminated byte string owned by exactly one holder, or no text at
// all ("missing"), which is distinct from the empty text.
class Text {
public:
    Text() noexcept = default;  // the missing text

    // A new block of length + 1 bytes, zero-filled.
    [[nodiscard]] static Text ofLength(std::size_t length);
    // A new copy of the bytes up to the terminator; missing when source is.
    [[nodiscard]] static Text copyOf(const char* source);

    [[nodiscard]] bool isMissing() const noexcept { return bytes_ == nullptr; }
    // nullptr when missing.
    [[nodiscard]] const char* get() const noexcept { return bytes_.get(); }
    [[nodiscard]] char* data() noexcept { return bytes_.get(); }
    // Bytes before the terminator; 0 when missing.
    [[nodiscard]] std::size_t length() const noexcept;

private:
    struct Release {
        void operator()(char* bytes) const noexcept;
    };
    std::unique_ptr<char[], Release> bytes_;
};

}  // namespace morvane
