// realToText against the reference model over a million doubles of every
// magnitude, with extra weight on the places where digit rounding goes wrong.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "conversions.h"
#include "reference_models.h"

namespace morvane {
namespace {

constexpr std::size_t kRandomPatterns = 1000000;

double fromBits(std::uint64_t bits) {
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

double parsed(const std::string& text) {
    return std::strtod(text.c_str(), nullptr);
}

// Both neighbours too, so that each point is met from above and below.
void addWithNeighbours(std::vector<double>& values, double value) {
    for (const double near : {value, std::nextafter(value, 0.0), std::nextafter(value, HUGE_VAL)})
        if (std::isfinite(near)) values.push_back(near);
}

std::vector<double> focusedValues(std::mt19937_64& random) {
    std::vector<double> values;
    // Every whole number of seconds the program shows, and the way it gets them.
    for (int seconds = 1; seconds <= 28800; ++seconds) {
        values.push_back(seconds);
        values.push_back(seconds * 1000 / 1000.0);
    }
    // Powers of ten, where the exponent and the notation change.
    for (int power = -323; power <= 308; ++power)
        addWithNeighbours(values, parsed("1e" + std::to_string(power)));
    // Near 13-digit ties: the double nearest to d.dddddddddddd5 × 10^x lands
    // just below, on or just above the tie, and its 17-digit form decides.
    std::uniform_int_distribution<std::uint64_t> thirteenDigits(1000000000000ull, 9999999999999ull);
    std::uniform_int_distribution<int> anyExponent(-337, 294);
    for (int i = 0; i < 30000; ++i) {
        const std::string tie =
            std::to_string(thirteenDigits(random)) + "5e" + std::to_string(anyExponent(random));
        addWithNeighbours(values, parsed(tie));
    }
    // Exact halves of 13-digit integers, and all-nines that carry into a new digit.
    for (int i = 0; i < 20000; ++i) values.push_back(static_cast<double>(thirteenDigits(random)) + 0.5);
    for (int nines = 1; nines <= 17; ++nines)
        for (int exponent = -310; exponent <= 300; exponent += 7)
            addWithNeighbours(values, parsed("0." + std::string(static_cast<std::size_t>(nines), '9') + "5e" +
                                             std::to_string(exponent)));
    // Subnormals: random ones and the smallest few.
    std::uniform_int_distribution<std::uint64_t> fraction(1, (std::uint64_t{1} << 52) - 1);
    for (int i = 0; i < 20000; ++i) values.push_back(fromBits(fraction(random)));
    for (std::uint64_t i = 1; i <= 1000; ++i) values.push_back(fromBits(i));
    values.push_back(DBL_MAX);
    values.push_back(DBL_MIN);
    values.push_back(std::nextafter(DBL_MIN, 0.0));
    return values;
}

TEST(RealToTextDifferential, AgreesWithTheReferenceModel) {
    std::mt19937_64 random(20240611);
    std::vector<double> values = focusedValues(random);
    const std::size_t focused = values.size();
    while (values.size() < focused + kRandomPatterns) {
        const double value = fromBits(random());
        if (std::isfinite(value)) values.push_back(value);
    }

    std::size_t compared = 0;
    std::size_t mismatches = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        // The focused sets are positive; half of them are also tried negative.
        const double value = i < focused && (i & 1) != 0 ? -values[i] : values[i];
        const Text text = realToText(value);
        const std::string expected = reference::realToText(value);
        ++compared;
        if (expected != text.get() && ++mismatches <= 20) {
            ADD_FAILURE() << "value " << std::hexfloat << value << ": got \"" << text.get()
                          << "\", expected \"" << expected << '"';
        }
    }
    EXPECT_EQ(mismatches, 0u);
    EXPECT_GE(compared, kRandomPatterns);
    std::printf("realToText compared with the reference on %zu values (%zu focused, %zu random patterns)\n",
                compared, focused, compared - focused);
}

// The reference model itself, checked where it cannot differ from the C
// library's own "%.13g": whenever digits 14 to 17 of the 17-digit form are not
// exactly 5000 the two roundings agree, and only the exponent's width differs.
TEST(RealToTextDifferential, ReferenceAgreesWithTheLibraryAwayFromTies) {
    std::mt19937_64 random(7);
    std::size_t checked = 0;
    for (int i = 0; i < 100000; ++i) {
        const double value = fromBits(random());
        if (!std::isfinite(value) || value == 0.0) continue;
        char seventeen[40];
        std::snprintf(seventeen, sizeof seventeen, "%.16e", std::fabs(value));
        if (std::strncmp(seventeen + 14, "5000", 4) == 0) continue;  // digit n >= 2 sits at index n
        char library[40];
        std::snprintf(library, sizeof library, "%.13g", value);
        std::string widened(library);
        const std::size_t e = widened.find('e');
        if (e != std::string::npos && widened.size() - e == 4) widened.insert(e + 2, "0");  // e+13 → e+013
        ASSERT_EQ(reference::realToText(value), widened) << std::hexfloat << value;
        ++checked;
    }
    EXPECT_GT(checked, 90000u);
}

}  // namespace
}  // namespace morvane
