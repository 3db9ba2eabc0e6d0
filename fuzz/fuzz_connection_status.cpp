// SPDX-License-Identifier: GPL-3.0-or-later
// What the connection reads from the supply: the status line that found it,
// the "B" and "D" percent replies and the "U" reply that names the model.
// The input holds the replies one after another, each ending in its LF.
#include "fuzz_check.h"
#include "supply_link.h"

#include <QStringList>
#include <cmath>
#include <cstdint>

namespace {

// A digit the status line can never hold, to see which digits were read.
constexpr std::int16_t kUnread = -7;

// An optional minus and at least two digits.
bool IsWholeNumber(QStringView text) {
    if (text.startsWith(u'-')) {
        text = text.mid(1);
    }
    for (const QChar c : text) {
        if (c < u'0' || c > u'9') {
            return false;
        }
    }
    return text.size() >= 2;
}

// Splits the input after each LF: the replies as ReadReply returns them.
QStringList Replies(const QString& input) {
    QStringList replies;
    qsizetype start = 0;
    while (start < input.size() && replies.size() < 4) {
        const qsizetype end = input.indexOf(u'\n', start);
        const qsizetype next = end < 0 ? input.size() : end + 1;
        replies << input.mid(start, next - start);
        start = next;
    }
    while (replies.size() < 4) {
        replies << QString();
    }
    return replies;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const QStringList replies = Replies(LineText(data, size));
    const QString& status = replies[0];

    PanelState state;
    state.FillTables();
    state.OutputOn = state.OverTemp = state.FineMode = state.Locked = kUnread;
    const StatusLine line = ParseStatusLine(status);
    const bool complete = ReadConnectionStatus(line, state);

    FUZZ_CHECK(line.voltage.text == status.mid(0, 5));
    FUZZ_CHECK(line.current.text == status.mid(6, 5));
    FUZZ_CHECK(line.power.text == status.mid(12, 5));
    FUZZ_CHECK(line.voltageLimit.text == status.mid(18, 2));
    FUZZ_CHECK(line.currentLimit.text == status.mid(21, 4));
    FUZZ_CHECK(line.powerLimit.text == status.mid(26, 3));
    for (const StatusField* field : {&line.voltage, &line.current, &line.power, &line.voltageLimit,
                                     &line.currentLimit, &line.powerLimit}) {
        FUZZ_CHECK(std::isfinite(field->value));
        FUZZ_CHECK(!field->plain || *field->plain == field->value);
    }
    for (const float value :
         {state.VoltageSet, state.VoltageLimit, state.CurrentLimit, state.PowerLimit}) {
        FUZZ_CHECK(std::isfinite(value));
    }

    // The digits are read in line order and the first that is not a digit
    // stops the reading.
    const std::int16_t digits[] = {state.OutputOn, state.OverTemp, state.FineMode, state.Locked};
    const qsizetype positions[] = {31, 32, 33, 36};
    bool stopped = false;
    for (int i = 0; i < 4; ++i) {
        const bool isDigit = positions[i] <= status.size() && status[positions[i] - 1] >= u'0' &&
                             status[positions[i] - 1] <= u'9';
        stopped = stopped || !isDigit;
        if (stopped) {
            FUZZ_CHECK(digits[i] == kUnread);
        } else {
            FUZZ_CHECK(digits[i] == status[positions[i] - 1].unicode() - u'0');
        }
    }
    FUZZ_CHECK(complete == !stopped);
    if (!complete) {
        return 0;
    }

    state.PlusPercent = SingleNumber(replies[1]);
    state.MinusPercent = SingleNumber(replies[2]);
    FUZZ_CHECK(std::isfinite(state.PlusPercent) && std::isfinite(state.MinusPercent));

    const int row = MatchModelRow(LeadingNumber(replies[3]), state);
    FUZZ_CHECK(row >= -1 && row < kModelCount);
    if (row >= 0) {
        FUZZ_CHECK(std::fabs(LeadingNumber(replies[3]) - state.ModelMaxVoltage[row]) < 0.01);
    }
    // The voltage limit that goes back to the supply is a whole number.
    FUZZ_CHECK(IsWholeNumber(FormatWithPattern(state.VoltageLimit, u"00")));
    return 0;
}
