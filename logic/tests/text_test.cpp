#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "text.h"

namespace morvane {
namespace {

TEST(Text, MissingAndEmptyStayDistinct) {
    const Text missing;
    EXPECT_TRUE(missing.isMissing());
    EXPECT_EQ(missing.get(), nullptr);
    EXPECT_EQ(missing.length(), 0u);
    EXPECT_TRUE(Text::copyOf(nullptr).isMissing());

    const Text empty = Text::copyOf("");
    EXPECT_FALSE(empty.isMissing());
    ASSERT_NE(empty.get(), nullptr);
    EXPECT_STREQ(empty.get(), "");
}

TEST(Text, CopiesAreIndependentBlocks) {
    char source[] = "60000";
    const Text a = Text::copyOf(source);
    const Text b = Text::copyOf(source);
    source[0] = '7';
    EXPECT_NE(a.get(), b.get());
    EXPECT_STREQ(a.get(), "60000");
    EXPECT_EQ(a.length(), 5u);
}

TEST(Text, OfLengthIsZeroTerminated) {
    Text t = Text::ofLength(3);
    EXPECT_EQ(t.length(), 0u);
    std::memcpy(t.data(), "abc", 3);
    EXPECT_STREQ(t.get(), "abc");
}

struct Refused : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Memory refused for a text takes the one fatal route, which never returns.
TEST(Text, RefusedMemoryTakesTheFatalRoute) {
    int calls = 0;
    setTextAllocator([](std::size_t) -> void* { return nullptr; });
    setFatalHandler(
        [](void* context, const char* reason) {
            ++*static_cast<int*>(context);
            throw Refused(reason);
        },
        &calls);
    EXPECT_THROW((void)Text::copyOf("abc"), Refused);
    EXPECT_THROW((void)Text::ofLength(0), Refused);
    EXPECT_TRUE(Text::copyOf(nullptr).isMissing()) << "a missing text needs no memory";
    setTextAllocator(nullptr);
    setFatalHandler(nullptr, nullptr);
    EXPECT_EQ(calls, 2);
    EXPECT_STREQ(Text::copyOf("ok").get(), "ok");
}

TEST(TextDeathTest, FatalFailureWithoutAHandlerEndsTheProcess) {
    EXPECT_DEATH(fatalFailure("test"), "");
}

}  // namespace
}  // namespace morvane
