#include "conversions.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

// Non-ASCII bytes are written as hex escapes so that the expected bytes do not
// depend on the compiler's execution character set.

namespace morvane {
namespace {

std::string bytesOf(const Text& text) {
    EXPECT_FALSE(text.isMissing());
    return text.isMissing() ? std::string() : std::string(text.get(), text.length());
}

// ---------------------------------------------------------------------------

struct IntCase {
    std::int32_t value;
    const char* text;
};

TEST(IntToText, WritesDecimalLikePercentD) {
    const IntCase cases[] = {
        {0, "0"},
        {7, "7"},
        {10, "10"},
        {60000, "60000"},
        {28800000, "28800000"},
        {-1, "-1"},
        {-1000, "-1000"},
        {std::numeric_limits<std::int32_t>::max(), "2147483647"},
        {std::numeric_limits<std::int32_t>::min(), "-2147483648"},
    };
    for (const IntCase& c : cases) EXPECT_EQ(bytesOf(intToText(c.value)), c.text) << c.value;
}

// ---------------------------------------------------------------------------

struct RealCase {
    double value;
    const char* text;
};

TEST(RealToText, FormatsWithThirteenSignificantDigits) {
    const RealCase cases[] = {
        {3.0, "3"},
        {28800.0, "28800"},
        {59.5, "59.5"},
        {0.001, "0.001"},
        {1.0 / 3.0, "0.3333333333333"},
        {2.0 / 3.0, "0.6666666666667"},
        {1234567890123.0, "1234567890123"},
        {1234567890122.5, "1234567890123"},  // the tie goes up, not to even
        {12345678901234.0, "1.234567890123e+013"},
        {9999999999999.5, "1e+013"},
        {10000000000000.0, "1e+013"},
        {0.0001, "0.0001"},
        {0.00001, "1e-005"},
        {-2.5, "-2.5"},
        {0.0, "0"},
        // What the handlers show: milliseconds / 1000.
        {60000 / 1000.0, "60"},
        {1000 / 1000.0, "1"},
        {28800000 / 1000.0, "28800"},
        // Around the switch between positional and exponential notation.
        {123456789012.5, "123456789012.5"},
        {0.00012345678901234, "0.0001234567890123"},
        {9.999999999999e-5, "9.999999999999e-005"},
        {9.9999999999995e-5, "0.0001"},  // rounding up moves it into positional notation
        {99999.99999999999, "100000"},
        {1e15, "1e+015"},
        {-1e-5, "-1e-005"},
        {0.1, "0.1"},
        {4.35, "4.35"},
        {1e100, "1e+100"},
        {1e-100, "1e-100"},
        // The extremes, including subnormals.
        {DBL_MAX, "1.797693134862e+308"},
        {-DBL_MAX, "-1.797693134862e+308"},
        {DBL_MIN, "2.225073858507e-308"},
        {1e-310, "1e-310"},
        {3 * std::numeric_limits<double>::denorm_min(), "1.482196937524e-323"},
        {std::numeric_limits<double>::denorm_min(), "4.940656458412e-324"},
    };
    for (const RealCase& c : cases) EXPECT_EQ(bytesOf(realToText(c.value)), c.text) << c.value;
}

// The value lies just below the tie 154.32650919275 but its 17-digit form is
// 1.5432650919275000e+02, and the decision is taken on that form: up. Rounding
// the exact value instead would give "154.3265091927".
TEST(RealToText, DecidesTheThirteenthDigitOnTheSeventeenDigitForm) {
    EXPECT_EQ(bytesOf(realToText(154.32650919275)), "154.3265091928");
    EXPECT_EQ(bytesOf(realToText(-154.32650919275)), "-154.3265091928");
}

// "%.13g" would write "-0"; the program never passes it and shows no sign on zero.
TEST(RealToText, NegativeZeroIsPlainZero) {
    EXPECT_EQ(bytesOf(realToText(-0.0)), "0");
}

// ---------------------------------------------------------------------------

struct TextCase {
    const char* text;
    std::int32_t value;
};

TEST(TextToInt, ReadsSignAndDigitsAfterMappingFullWidthForms) {
    // Split literals keep a hex escape from swallowing the digit after it.
    // clang-format off
    const TextCase cases[] = {
        {"60000", 60000},
        {"  -42x", -42},
        {"+7", 7},
        {"--7", 0},
        {"- 7", 0},
        {"+-7", 0},
        {"", 0},
        {"abc", 0},
        {"0x10", 0},
        {"1e3", 1},
        {"3.9", 3},
        {"007", 7},
        {"\t\n\v\f\r 5", 5},
        {"\x1F" "5", 0},  // below the white-space range
        // Modulo 2^32, read as signed.
        {"2147483647", 2147483647},
        {"2147483648", std::numeric_limits<std::int32_t>::min()},
        {"-2147483648", std::numeric_limits<std::int32_t>::min()},
        {"-2147483649", 2147483647},
        {"4294967295", -1},
        {"4294967296", 0},
        {"12345678901", -539222987},
        {"-12345678901", 539222987},
        // Full-width forms: "３０００", ideographic space + "５", "－５", "＋７".
        {"\xA3\xB3\xA3\xB0\xA3\xB0\xA3\xB0", 3000},
        {"\xA1\xA1\xA3\xB5", 5},
        {"\xA3\xAD\xA3\xB5", -5},
        {"\xA3\xAB\xA3\xB7", 7},
        {"1\xA3\xB2" "3", 123},  // full-width and ASCII digits mix
        {"\xA1\xA1\xA1\xA1 \xA3\xAD" "8", -8},
        // Mapped to non-digits: "～", "☆", "★", "！", "￣".
        {"\xA1\xAB" "1", 0},
        {"\xA1\xEE" "1", 0},
        {"\xA1\xEF" "1", 0},
        {"\xA3\xA1" "1", 0},
        {"\xA3\xFE" "1", 0},
        // Other double-byte characters stay and end the number.
        {"12\xB5\xB9" "3", 12},
        {"\xA3\xA0" "1", 0},
        {"\xA1\xA3\xB5", 0},  // the pair is A1 A3; A3 B5 is never seen
        // A lone lead byte at the end is dropped.
        {"7\xA3", 7},
        {"\xA3\xB7\xB5", 7},
        {"\xB5", 0},
        // A lead byte takes the next byte with it, even an ASCII digit.
        {"\xB5" "5", 0},
        {"\xA3" "5", 0},
    };
    // clang-format on
    for (const TextCase& c : cases) EXPECT_EQ(textToInt(c.text), c.value) << '"' << c.text << '"';
}

// ---------------------------------------------------------------------------

struct TruncationCase {
    double value;
    std::int32_t result;
};

TEST(RealToInt, TruncatesTowardZeroAndKeepsTheLow32Bits) {
    const double infinity = std::numeric_limits<double>::infinity();
    const TruncationCase cases[] = {
        {2.9, 2},
        {-2.9, -2},
        {-0.5, 0},
        {0.99999, 0},
        {59000.0, 59000},
        {60000 - 1000.0, 59000},
        {1000 - 1000.0, 0},
        {-0.0, 0},
        {2147483648.0, std::numeric_limits<std::int32_t>::min()},
        {4294967301.0, 5},
        {-4294967297.0, -1},
        {1e18, -1486618624},
        // The ends of the 64-bit range: 2^63 − 1024 is the last double below
        // 2^63, and −2^63 itself still converts.
        {9223372036854774784.0, -1024},
        {-9223372036854774784.0, 1024},
        {-9223372036854775808.0, 0},
        // Out of range and NaN: 0x8000000000000000 as x86 gives it, low half 0.
        {9223372036854775808.0, 0},
        {1e300, 0},
        {-1e300, 0},
        {infinity, 0},
        {-infinity, 0},
        {std::numeric_limits<double>::quiet_NaN(), 0},
    };
    for (const TruncationCase& c : cases) EXPECT_EQ(realToInt(c.value), c.result) << c.value;
}

// An out-of-range value whose low bits, taken naively, would not be zero.
TEST(RealToInt, OutOfRangeGivesZeroNotWrappedBits) {
    EXPECT_EQ(realToInt(9223372036854775808.0 + 4096.0 * 1024.0), 0);
    EXPECT_EQ(realToInt(-9223372036854775808.0 - 4096.0 * 1024.0), 0);
}

// ---------------------------------------------------------------------------

// "倒计时中，剩余：" and " 秒" in code page 936.
constexpr char kRunningPrefix[] = "\xB5\xB9\xBC\xC6\xCA\xB1\xD6\xD0\xA3\xAC\xCA\xA3\xD3\xE0\xA3\xBA";
constexpr char kSecondsSuffix[] = " \xC3\xEB";

TEST(JoinTexts, PutsThePartsOneAfterTheOther) {
    const Text line = joinTexts({kRunningPrefix, "59", kSecondsSuffix});
    EXPECT_EQ(line.length(), 21u);
    EXPECT_EQ(bytesOf(line), std::string(kRunningPrefix) + "59" + kSecondsSuffix);
}

TEST(JoinTexts, MissingPartsCountAsEmpty) {
    EXPECT_EQ(bytesOf(joinTexts({kRunningPrefix, nullptr, kSecondsSuffix})),
              std::string(kRunningPrefix) + kSecondsSuffix);
    EXPECT_EQ(bytesOf(joinTexts({nullptr, "a", nullptr})), "a");
    EXPECT_EQ(bytesOf(joinTexts({"abc"})), "abc");
}

TEST(JoinTexts, EmptyPartsGiveANewEmptyText) {
    const Text empty = joinTexts({"", "", ""});
    ASSERT_FALSE(empty.isMissing());
    EXPECT_EQ(empty.get()[0], '\0');
    const Text none = joinTexts({nullptr, nullptr, nullptr});
    ASSERT_FALSE(none.isMissing());
    EXPECT_EQ(none.get()[0], '\0');
}

TEST(JoinTexts, LeavesItsPartsAloneAndSharesNoneOfThem) {
    char first[] = "ab";
    const Text joined = joinTexts({first, "cd"});
    EXPECT_NE(joined.get(), first);
    first[0] = 'x';
    EXPECT_EQ(bytesOf(joined), "abcd");
    EXPECT_STREQ(first, "xb");
}

// ---------------------------------------------------------------------------

// The decrement the tick handler performs on the stored time left.
TEST(Conversions, DecrementOfTheStoredTimeLeft) {
    const struct {
        const char* before;
        const char* after;
    } cases[] = {{"3000", "2000"}, {"1000", "0"}, {"60000", "59000"}, {"28800000", "28799000"}};
    for (const auto& c : cases) {
        const Text after = intToText(realToInt(textToInt(c.before) - 1000.0));
        EXPECT_EQ(bytesOf(after), c.after) << c.before;
    }
}

// ---------------------------------------------------------------------------
// Memory for the results.

struct Allocations {
    int count = 0;
    std::size_t lastSize = 0;
};
Allocations allocations;

void* recordingAllocator(std::size_t bytes) {
    ++allocations.count;
    allocations.lastSize = bytes;
    return std::malloc(bytes);
}

void* refusingAllocator(std::size_t bytes) {
    ++allocations.count;
    allocations.lastSize = bytes;
    return nullptr;
}

struct FatalRaised {
    std::string reason;
};

void throwingFatalHandler(void* context, const char* reason) {
    ++*static_cast<int*>(context);
    throw FatalRaised{reason != nullptr ? reason : ""};
}

// Installs the hooks for one test and puts the defaults back afterwards.
class AllocationHooks : public ::testing::Test {
protected:
    void TearDown() override {
        setTextAllocator(nullptr);
        setFatalHandler(nullptr, nullptr);
    }
    void install(TextAllocator allocator) {
        allocations = {};
        setTextAllocator(allocator);
        setFatalHandler(throwingFatalHandler, &fatalCalls);
    }
    int fatalCalls = 0;
};

// Every result is one new block of exactly its length plus the terminator.
TEST_F(AllocationHooks, EachResultIsOneBlockOfItsLengthPlusOne) {
    install(recordingAllocator);
    const auto check = [](const Text& text, const char* expected) {
        EXPECT_EQ(allocations.count, 1) << expected;
        EXPECT_EQ(allocations.lastSize, std::strlen(expected) + 1) << expected;
        EXPECT_EQ(bytesOf(text), expected);
        allocations = {};
    };
    check(intToText(-2147483647 - 1), "-2147483648");
    check(intToText(0), "0");
    check(realToText(12345678901234.0), "1.234567890123e+013");
    check(realToText(-0.00012345678901234), "-0.0001234567890123");
    check(joinTexts({"ab", nullptr, "cde"}), "abcde");
    check(joinTexts({""}), "");
    EXPECT_EQ(fatalCalls, 0);
}

TEST_F(AllocationHooks, RefusedMemoryTakesTheFatalRoute) {
    install(refusingAllocator);
    const struct {
        const char* name;
        Text (*convert)();
        std::size_t requested;
    } conversions[] = {
        {"intToText", [] { return intToText(-1000); }, 6},
        {"realToText", [] { return realToText(59.5); }, 5},
        {"joinTexts",
         [] {
             return joinTexts({kRunningPrefix, "59", kSecondsSuffix});
         },
         22},
    };
    int expectedCalls = 0;
    for (const auto& c : conversions) {
        allocations = {};
        bool returned = false;
        try {
            const Text text = c.convert();
            returned = true;
        } catch (const FatalRaised& raised) {
            EXPECT_FALSE(raised.reason.empty()) << c.name;
        }
        EXPECT_FALSE(returned) << c.name;
        EXPECT_EQ(fatalCalls, ++expectedCalls) << c.name;
        EXPECT_EQ(allocations.count, 1) << c.name;
        EXPECT_EQ(allocations.lastSize, c.requested) << c.name;
    }
}

// The reading and truncating conversions never ask for memory.
TEST_F(AllocationHooks, ReadingAndTruncatingAllocateNothing) {
    install(refusingAllocator);
    EXPECT_EQ(textToInt("\xA3\xB3\xA3\xB0\xA3\xB0\xA3\xB0"), 3000);
    EXPECT_EQ(realToInt(-2.9), -2);
    EXPECT_EQ(allocations.count, 0);
    EXPECT_EQ(fatalCalls, 0);
}

}  // namespace
}  // namespace morvane
