#include "reference_models.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace morvane::reference {

std::string realToText(double value) {
    if (value == 0.0) return "0";

    // "d.dddddddddddddddde±XX": the library rounds the exact value, ties to even.
    char printed[40];
    std::snprintf(printed, sizeof printed, "%.16e", value < 0 ? -value : value);
    const std::string_view text(printed);
    const std::size_t e = text.find('e');
    std::string digits17 = std::string(text.substr(0, 1)) + std::string(text.substr(2, e - 2));
    int exponent = std::atoi(printed + e + 1);

    // 13 digits as one integer: the first 13, plus one when the 14th is 5 or more.
    std::uint64_t mantissa = std::stoull(digits17.substr(0, 13));
    if (digits17[13] >= '5') ++mantissa;
    if (mantissa == 10000000000000ull) {
        mantissa = 1000000000000ull;
        ++exponent;
    }
    const std::string digits = std::to_string(mantissa);  // always 13 characters

    auto withoutTrailingZeros = [](std::string fraction) {
        while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
        return fraction;
    };
    std::string result;
    if (exponent >= -4 && exponent < 13) {
        std::string whole = "0";
        std::string fraction;
        if (exponent >= 0) {
            whole = digits.substr(0, static_cast<std::size_t>(exponent) + 1);
            fraction = digits.substr(static_cast<std::size_t>(exponent) + 1);
        } else {
            fraction = std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
        }
        fraction = withoutTrailingZeros(fraction);
        result = fraction.empty() ? whole : whole + "." + fraction;
    } else {
        const std::string fraction = withoutTrailingZeros(digits.substr(1));
        std::string power = std::to_string(exponent < 0 ? -exponent : exponent);
        power.insert(0, 3 - power.size(), '0');
        result = digits.substr(0, 1) + (fraction.empty() ? "" : "." + fraction) + "e" +
                 (exponent < 0 ? "-" : "+") + power;
    }
    return value < 0 ? "-" + result : result;
}

std::int32_t textToInt(const char* text) {
    const std::string_view bytes(text);
    std::string mapped;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            mapped += bytes[i];
            continue;
        }
        if (i + 1 == bytes.size()) break;  // lone lead byte at the end
        const auto trail = static_cast<unsigned char>(bytes[i + 1]);
        const unsigned pair = lead * 256u + trail;
        if (pair == 0xA1A1) {
            mapped += ' ';
        } else if (pair == 0xA1AB) {
            mapped += '~';
        } else if (pair == 0xA1EE || pair == 0xA1EF) {
            mapped += '*';
        } else if (pair >= 0xA3A1 && pair <= 0xA3FE) {
            mapped += static_cast<char>(pair - 0xA380);
        } else {
            mapped += bytes.substr(i, 2);
        }
        ++i;
    }

    std::size_t at = 0;
    while (at < mapped.size() && std::string_view(" \t\n\v\f\r").find(mapped[at]) != std::string_view::npos)
        ++at;
    bool negative = false;
    if (at < mapped.size() && (mapped[at] == '+' || mapped[at] == '-')) negative = mapped[at++] == '-';
    std::uint64_t value = 0;
    for (; at < mapped.size() && mapped[at] >= '0' && mapped[at] <= '9'; ++at)
        value = (value * 10 + static_cast<std::uint64_t>(mapped[at] - '0')) & 0xFFFFFFFFull;
    if (negative) value = (0x100000000ull - value) & 0xFFFFFFFFull;
    const std::int64_t wide = value >= 0x80000000ull ? static_cast<std::int64_t>(value) - 0x100000000ll
                                                     : static_cast<std::int64_t>(value);
    return static_cast<std::int32_t>(wide);
}

}  // namespace morvane::reference
