// SPDX-License-Identifier: GPL-3.0-or-later
// LeadingNumber on any text: replies from the line (Latin-1) and what a user
// types or pastes into an entry box (any Unicode).
#include "fuzz_check.h"
#include "panel_state.h"

#include <cmath>
#include <cstdint>

namespace {

bool Same(double a, double b) {
    return a == b || (std::isnan(a) && std::isnan(b));
}

void Check(const QString& text) {
    const double value = LeadingNumber(text);
    FUZZ_CHECK(std::isfinite(value));

    // Blanks are skipped wherever they stand.
    for (const QChar blank : {QChar(u' '), QChar(u'\t'), QChar(u'\n')}) {
        QString spaced = text;
        spaced.insert(text.size() / 2, blank);
        FUZZ_CHECK(Same(LeadingNumber(spaced), value));
    }
    // A character that cannot continue a number ends it.
    FUZZ_CHECK(Same(LeadingNumber(text + u'x'), value));
    // A text that starts with something else than a number yields 0.
    FUZZ_CHECK(LeadingNumber(u'x' + text) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    Check(LineText(data, size));
    Check(QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    return 0;
}
