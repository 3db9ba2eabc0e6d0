// SPDX-License-Identifier: GPL-3.0-or-later
#include "supply_commands.h"

#include "panel_state.h"

#include <cmath>
#include <iterator>

namespace {

// Rows in the order of the enums.
struct SetRow {
    QStringView mnemonic;
    QStringView pattern;
};
constexpr SetRow kSetRows[] = {
    {u"SV", DisplayPattern::VoltageSet},
    {u"SU", DisplayPattern::VoltageLimit},
    {u"SI", DisplayPattern::CurrentLimit},
    {u"SP", DisplayPattern::PowerLimit},
};
constexpr QStringView kStepMnemonics[] = {u"SV", u"SU", u"SI", u"SP", u"SB", u"SD"};
constexpr QStringView kMaximumCommands[] = {u"SUM", u"SIM", u"SPM"};

static_assert(std::size(kSetRows) == static_cast<size_t>(SetValue::PowerLimit) + 1);
static_assert(std::size(kStepMnemonics) == static_cast<size_t>(StepValue::MinusPercent) + 1);
static_assert(std::size(kMaximumCommands) == static_cast<size_t>(Limit::Power) + 1);

} // namespace

QString SetCommand(SetValue value, double amount, float maximum) {
    const SetRow& row = kSetRows[static_cast<size_t>(value)];
    if (!std::isfinite(amount) || amount < 0 || static_cast<float>(amount) > maximum) {
        return {};
    }
    const QString text = FormatWithPattern(amount, row.pattern);
    if (text.size() > row.pattern.size()) {
        return {};
    }
    return row.mnemonic.toString() + u' ' + text;
}

QString StepCommand(StepValue value, Direction direction) {
    return kStepMnemonics[static_cast<size_t>(value)].toString() + (direction > 0 ? u'+' : u'-');
}

QString MaximumCommand(Limit limit) {
    return kMaximumCommands[static_cast<size_t>(limit)].toString();
}
