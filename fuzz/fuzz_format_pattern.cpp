// SPDX-License-Identifier: GPL-3.0-or-later
// FormatWithPattern with every pattern the panel sends and shows values in,
// for values read from text and for any bit pattern of a double.
#include "fuzz_check.h"
#include "panel_state.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

struct Pattern {
    const char16_t* text;
    int wholeDigits;
    int fractionDigits;
};

constexpr Pattern kPatterns[] = {
    {u"0", 1, 0}, {u"00", 2, 0}, {u"000", 3, 0}, {u"0.00", 1, 2}, {u"00.00", 2, 2},
};

void Check(double value) {
    for (const Pattern& pattern : kPatterns) {
        const QString text = FormatWithPattern(value, pattern.text);
        FUZZ_CHECK(!text.isEmpty());

        // [-]digits[.digits]: at least the pattern's digits before the point,
        // exactly its digits after it.
        const bool negative = text.front() == u'-';
        const QStringView body = QStringView(text).mid(negative ? 1 : 0);
        const qsizetype point = body.indexOf(u'.');
        const qsizetype whole = point < 0 ? body.size() : point;
        FUZZ_CHECK((point < 0) == (pattern.fractionDigits == 0));
        FUZZ_CHECK(whole >= pattern.wholeDigits);
        FUZZ_CHECK(point < 0 || body.size() - point - 1 == pattern.fractionDigits);
        for (qsizetype i = 0; i < body.size(); ++i) {
            FUZZ_CHECK(i == point || (body[i] >= u'0' && body[i] <= u'9'));
        }
        if (!std::isfinite(value)) {
            continue;
        }
        FUZZ_CHECK(!negative || value < 0);

        // The text reads back as the value rounded to the pattern's last
        // digit: within half a unit of it, allowing for the 15 significant
        // digits the rounding starts from.
        const double unit = std::pow(10.0, -pattern.fractionDigits);
        const double readBack = LeadingNumber(text);
        FUZZ_CHECK(std::fabs(readBack - value) <= unit / 2 + std::fabs(value) * 1e-14);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    Check(LeadingNumber(LineText(data, size)));
    if (size >= sizeof(double)) {
        double bits;
        std::memcpy(&bits, data, sizeof bits);
        Check(bits);
    }
    return 0;
}
