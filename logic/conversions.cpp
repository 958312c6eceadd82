#include "conversions.h"

#include <cstring>

// Nothing here calls the C library's formatting or parsing: those pull a large
// part of the runtime into the 32-bit executable and follow the user's locale.

namespace morvane {
namespace {

// Two's-complement reinterpretation without relying on implementation-defined
// narrowing (guaranteed only from C++20 on).
std::int32_t asSigned(std::uint32_t bits) noexcept {
    if (bits <= 0x7FFFFFFFu) return static_cast<std::int32_t>(bits);
    return -static_cast<std::int32_t>(~bits) - 1;
}

Text textOf(const char* bytes, std::size_t length) {
    Text text = Text::ofLength(length);
    std::memcpy(text.data(), bytes, length);
    return text;
}

// ---------------------------------------------------------------------------
// Exact decimal digits of a double.

// A non-negative integer in base 10^9, least significant limb first. Large
// enough for m·5^1074 with m < 2^53, the longest case (about 767 digits).
class BigDecimal {
public:
    static constexpr std::uint32_t kBase = 1000000000u;
    static constexpr int kMaxLimbs = 90;

    explicit BigDecimal(std::uint64_t value) noexcept {
        while (value != 0) {
            limbs_[count_++] = static_cast<std::uint32_t>(value % kBase);
            value /= kBase;
        }
    }

    // factor < 2^31 keeps every product below 2^62.
    void multiply(std::uint32_t factor) noexcept {
        std::uint64_t carry = 0;
        for (int i = 0; i < count_; ++i) {
            const std::uint64_t product = std::uint64_t{limbs_[i]} * factor + carry;
            limbs_[i] = static_cast<std::uint32_t>(product % kBase);
            carry = product / kBase;
        }
        while (carry != 0) {
            limbs_[count_++] = static_cast<std::uint32_t>(carry % kBase);
            carry /= kBase;
        }
    }

    // Large powers go in the biggest chunks that fit, to keep the pass count low.
    void multiplyByPowerOfTwo(int exponent) noexcept {
        for (; exponent >= 29; exponent -= 29) multiply(1u << 29);
        if (exponent > 0) multiply(1u << exponent);
    }
    void multiplyByPowerOfFive(int exponent) noexcept {
        static constexpr std::uint32_t kPowersOfFive[] = {
            1u,     5u,      25u,      125u,     625u,      3125u,      15625u,
            78125u, 390625u, 1953125u, 9765625u, 48828125u, 244140625u, 1220703125u};
        for (; exponent >= 13; exponent -= 13) multiply(kPowersOfFive[13]);
        if (exponent > 0) multiply(kPowersOfFive[exponent]);
    }

    // The first `wanted` decimal digits (fewer when the number is shorter),
    // whether any digit after them is non-zero, and how many digits there are
    // in all. The number is non-zero.
    static constexpr int kLeadingCapacity = 32;  // a short top limb and two more
    struct Leading {
        char digits[kLeadingCapacity];
        int count = 0;
        bool nonZeroBeyond = false;
        int totalDigits = 0;
    };

    Leading leading(int wanted) const noexcept {
        Leading result;
        int top = count_ - 1;
        char topDigits[9];
        int topCount = 0;
        for (std::uint32_t limb = limbs_[top]; limb != 0; limb /= 10)
            topDigits[topCount++] = static_cast<char>('0' + limb % 10);
        result.totalDigits = topCount + 9 * top;
        while (topCount > 0) result.digits[result.count++] = topDigits[--topCount];
        int next = top - 1;
        for (; next >= 0 && result.count < wanted; --next) {
            std::uint32_t limb = limbs_[next];
            for (int i = 8; i >= 0; --i) {
                result.digits[result.count + i] = static_cast<char>('0' + limb % 10);
                limb /= 10;
            }
            result.count += 9;
        }
        for (; next >= 0; --next)
            if (limbs_[next] != 0) result.nonZeroBeyond = true;
        for (int i = wanted; i < result.count; ++i)
            if (result.digits[i] != '0') result.nonZeroBeyond = true;
        if (result.count > wanted) result.count = wanted;
        return result;
    }

private:
    std::uint32_t limbs_[kMaxLimbs] = {};
    int count_ = 0;
};

// Adds one to the last of `count` digits; true when the carry ran past the
// first digit, which then leaves "1000…".
bool incrementDigits(char* digits, int count) noexcept {
    for (int i = count - 1; i >= 0; --i) {
        if (digits[i] != '9') {
            ++digits[i];
            return false;
        }
        digits[i] = '0';
    }
    digits[0] = '1';
    return true;
}

constexpr int kExactDigits = 17;
constexpr int kShownDigits = 13;

// |value| as kShownDigits digits and the decimal exponent of the first one.
// value is finite and non-zero.
struct ShownDigits {
    char digits[kExactDigits];
    int exponent;
};

ShownDigits shownDigits(double value) noexcept {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    const int biased = static_cast<int>((bits >> 52) & 0x7FF);
    std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
    int binaryExponent = -1074;  // subnormals
    if (biased != 0) {
        mantissa |= std::uint64_t{1} << 52;
        binaryExponent = biased - 1075;
    }
    // Fewer factors of five to multiply in below.
    while (binaryExponent < 0 && (mantissa & 1) == 0) {
        mantissa >>= 1;
        ++binaryExponent;
    }

    // |value| = exact × 10^decimalShift, exactly.
    BigDecimal exact(mantissa);
    int decimalShift = 0;
    if (binaryExponent >= 0) {
        exact.multiplyByPowerOfTwo(binaryExponent);
    } else {
        exact.multiplyByPowerOfFive(-binaryExponent);  // m / 2^k = m·5^k / 10^k
        decimalShift = binaryExponent;
    }

    // 17 digits rounded to nearest on the exact value, ties to even.
    const BigDecimal::Leading lead = exact.leading(kExactDigits + 1);
    ShownDigits shown{};
    int exponent = lead.totalDigits - 1 + decimalShift;
    std::memset(shown.digits, '0', sizeof shown.digits);
    std::memcpy(shown.digits, lead.digits,
                static_cast<std::size_t>(lead.count < kExactDigits ? lead.count : kExactDigits));
    if (lead.count > kExactDigits) {
        const char next = lead.digits[kExactDigits];
        const bool lastOdd = ((shown.digits[kExactDigits - 1] - '0') & 1) != 0;
        if (next > '5' || (next == '5' && (lead.nonZeroBeyond || lastOdd))) {
            if (incrementDigits(shown.digits, kExactDigits)) ++exponent;
        }
    }

    // Then 13, deciding on the 17-digit form with ties away from zero.
    if (shown.digits[kShownDigits] >= '5') {
        if (incrementDigits(shown.digits, kShownDigits)) ++exponent;
    }
    shown.exponent = exponent;
    return shown;
}

}  // namespace

Text intToText(std::int32_t value) {
    // The magnitude in unsigned arithmetic, so INT32_MIN needs no special case.
    const std::uint32_t bits = static_cast<std::uint32_t>(value);
    std::uint32_t magnitude = value < 0 ? 0u - bits : bits;
    char buffer[11];
    std::size_t start = sizeof buffer;
    do {
        buffer[--start] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) buffer[--start] = '-';
    return textOf(buffer + start, sizeof buffer - start);
}

Text realToText(double value) {
    // Zero, negative zero included, is plain "0": the program never shows a sign there.
    if (value == 0.0) return textOf("0", 1);

    const ShownDigits shown = shownDigits(value);
    const char* digits = shown.digits;
    const int exponent = shown.exponent;

    // Longest: "-0.000" and 13 digits, or "-d.dddddddddddde+308".
    char buffer[32];
    std::size_t length = 0;
    if (value < 0) buffer[length++] = '-';

    int significant = kShownDigits;
    while (significant > 1 && digits[significant - 1] == '0') --significant;

    if (exponent >= -4 && exponent <= kShownDigits - 1) {
        if (exponent < 0) {
            buffer[length++] = '0';
            buffer[length++] = '.';
            for (int i = 0; i < -exponent - 1; ++i) buffer[length++] = '0';
            for (int i = 0; i < significant; ++i) buffer[length++] = digits[i];
        } else {
            for (int i = 0; i <= exponent; ++i) buffer[length++] = digits[i];
            if (significant > exponent + 1) {
                buffer[length++] = '.';
                for (int i = exponent + 1; i < significant; ++i) buffer[length++] = digits[i];
            }
        }
    } else {
        buffer[length++] = digits[0];
        if (significant > 1) {
            buffer[length++] = '.';
            for (int i = 1; i < significant; ++i) buffer[length++] = digits[i];
        }
        buffer[length++] = 'e';
        buffer[length++] = exponent < 0 ? '-' : '+';
        const int magnitude = exponent < 0 ? -exponent : exponent;  // at most 324
        buffer[length++] = static_cast<char>('0' + magnitude / 100);
        buffer[length++] = static_cast<char>('0' + magnitude / 10 % 10);
        buffer[length++] = static_cast<char>('0' + magnitude % 10);
    }
    return textOf(buffer, length);
}

namespace {

// The bytes of a text after the double-byte forms have been mapped to ASCII,
// produced one at a time so that reading needs no copy.
class MappedBytes {
public:
    explicit MappedBytes(const char* text) noexcept : next_(reinterpret_cast<const unsigned char*>(text)) {}

    // The next byte, 0 at the end.
    unsigned char take() noexcept {
        if (pending_ != 0) {
            const unsigned char byte = pending_;
            pending_ = 0;
            return byte;
        }
        const unsigned char lead = *next_;
        if (lead < 0x80) {
            if (lead != 0) ++next_;
            return lead;
        }
        const unsigned char trail = next_[1];
        if (trail == 0) return 0;  // a lone lead byte at the end is dropped
        next_ += 2;
        const unsigned char single = mapped(lead, trail);
        if (single != 0) return single;
        pending_ = trail;  // unmapped pairs pass through as they are
        return lead;
    }

private:
    // The ASCII byte a double-byte character stands for, or 0.
    static unsigned char mapped(unsigned char lead, unsigned char trail) noexcept {
        if (lead == 0xA1) {
            switch (trail) {
                case 0xA1:
                    return ' ';  // ideographic space
                case 0xAB:
                    return '~';
                case 0xEE:  // white star
                case 0xEF:
                    return '*';  // black star
                default:
                    return 0;
            }
        }
        // The full-width forms of 0x21 … 0x7E.
        if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) return static_cast<unsigned char>(trail - 0x80);
        return 0;
    }

    const unsigned char* next_;
    unsigned char pending_ = 0;
};

bool isWhiteSpace(unsigned char byte) noexcept {
    return byte == ' ' || (byte >= 0x09 && byte <= 0x0D);
}

}  // namespace

std::int32_t textToInt(const char* text) noexcept {
    MappedBytes bytes(text);
    unsigned char byte = bytes.take();
    while (isWhiteSpace(byte)) byte = bytes.take();
    const bool negative = byte == '-';
    if (byte == '-' || byte == '+') byte = bytes.take();
    // Unsigned, so that long digit strings wrap modulo 2^32 as intended.
    std::uint32_t value = 0;
    while (byte >= '0' && byte <= '9') {
        value = value * 10u + static_cast<std::uint32_t>(byte - '0');
        byte = bytes.take();
    }
    if (negative) value = 0u - value;
    return asSigned(value);
}

std::int32_t realToInt(double value) noexcept {
    // NaN and anything outside [-2^63, 2^63) would be undefined to convert;
    // x86 answers those with 0x8000000000000000, whose low half is 0.
    constexpr double kTwoTo63 = 9223372036854775808.0;
    if (!(value >= -kTwoTo63 && value < kTwoTo63)) return 0;
    const auto truncated = static_cast<std::int64_t>(value);  // toward zero whatever the FPU's mode
    return asSigned(static_cast<std::uint32_t>(static_cast<std::uint64_t>(truncated)));
}

Text joinTexts(std::initializer_list<const char*> parts) {
    std::size_t total = 0;
    for (const char* part : parts)
        if (part != nullptr) total += std::strlen(part);
    Text joined = Text::ofLength(total);
    char* out = joined.data();
    for (const char* part : parts) {
        if (part == nullptr) continue;
        const std::size_t length = std::strlen(part);
        std::memcpy(out, part, length);
        out += length;
    }
    return joined;
}

}  // namespace morvane
