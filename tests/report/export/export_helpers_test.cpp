// The PDF operand texts against their former composition: the runtime's fixed form
// (FloatToStrF, itself compared with the C++ library's digits in the runtime's tests), clamped,
// converted to 8-bit text and trimmed.
#include "report/export/export_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <random>

#include "report/foundation/utilities.h"

namespace vgl {
namespace {

AnsiString FormerFixedAnsi(long double value, int decimals) {
    value = std::clamp(value, -2147483647.0L, 2147483647.0L);
    return StringToAnsi(FloatToStrF(value, ffFixed, 18, decimals));
}

AnsiString FormerTrimmed(long double value, int decimals) {
    AnsiString s = FormerFixedAnsi(value, decimals);
    if (s.find('.') != AnsiString::npos) {
        while (s.back() == '0')
            s.pop_back();
        if (s.back() == '.')
            s.pop_back();
    }
    return s == "-0" ? "0" : s;
}

TEST(ExportNumberTexts, EqualTheFixedFormForEveryValue) {
    std::mt19937_64 rng(3);
    int failures = 0;
    for (int i = 0; i < 1'000'000 && failures < 10; ++i) {
        // Coordinates in points with long double arithmetic, exact doubles, halves, huge values.
        const std::uint64_t bits = rng();
        long double v;
        switch (bits % 4) {
        case 0:
            v = static_cast<long double>(rng() % 2000000) * 0.75L * 72 / 25.4L / 1000;
            break;
        case 1:
            v = static_cast<long double>(static_cast<double>(rng() % 100000000) / 10000);
            break;
        case 2:
            v = static_cast<long double>(rng() % 2000000) / 2000 + 0.0005L; // near halves
            break;
        default:
            v = std::ldexp(static_cast<long double>(rng()), static_cast<int>(rng() % 140) - 100);
            break;
        }
        if (bits & 4)
            v = -v;
        const int decimals = static_cast<int>(rng() % 19);
        const AnsiString fixed = FloatToFixedAnsi(v, decimals), trimmed = FloatToTrimmedText(v, decimals);
        const String text = FloatToFixedText(std::fmod(v, 1e17L), decimals, u',');
        String former = FloatToStrF(std::fmod(v, 1e17L), ffFixed, 18, decimals);
        std::replace(former.begin(), former.end(), u'.', u',');
        if (fixed != FormerFixedAnsi(v, decimals) || trimmed != FormerTrimmed(v, decimals) || text != former) {
            ADD_FAILURE() << std::setprecision(25) << v << " decimals " << decimals << ": " << fixed << " " << trimmed
                          << " " << StringToUtf8(text);
            ++failures;
        }
    }
}

// Values a few units of the last place from a half of the last decimal, where rounding to 18
// digits first and then at the decimal decides the text.
TEST(ExportNumberTexts, NearHalvesOfTheLastDecimal) {
    std::mt19937_64 rng(5);
    int failures = 0;
    for (int i = 0; i < 200'000 && failures < 10; ++i) {
        const int decimals = static_cast<int>(rng() % 7);
        const long double scale = std::pow(10.0L, decimals);
        long double v = (static_cast<long double>(rng() % 2000000000) + 0.5L) / scale;
        if (rng() % 2)
            v = (static_cast<long double>(rng() % 1000) + 0.5L) / scale;
        for (int step = static_cast<int>(rng() % 4); step > 0; --step)
            v = std::nextafter(v, (i & 1) ? 0.0L : 1e10L);
        if (i & 2)
            v = -v;
        if (FloatToFixedAnsi(v, decimals) != FormerFixedAnsi(v, decimals)) {
            ADD_FAILURE() << std::setprecision(25) << v << " decimals " << decimals << ": "
                          << FloatToFixedAnsi(v, decimals) << " " << FormerFixedAnsi(v, decimals);
            ++failures;
        }
    }
}

} // namespace
} // namespace vgl
