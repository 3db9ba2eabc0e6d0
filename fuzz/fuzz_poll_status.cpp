// SPDX-License-Identifier: GPL-3.0-or-later
// A poll reply taken into the panel. The first input byte sets the panel's
// fine mode and edit target; the rest is the reply as ReadReply returns it.
#include "fuzz_check.h"
#include "supply_link.h"

#include <cmath>
#include <cstdint>

namespace {

const char16_t* const kTargets[] = {u"vset", u"vlimit", u"ilimit", u"plimit", u"plus", u"minus"};

struct Watched {
    std::int16_t timeoutCount, overTemp;
    float voltageSet, currentLimit, powerLimit;
    bool operator==(const Watched&) const = default;
};

Watched Watch(const PanelState& state) {
    return {state.TimeoutCount, state.OverTemp, state.VoltageSet, state.CurrentLimit,
            state.PowerLimit};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    PanelState state;
    state.FillTables();
    state.FineMode = data[0] & 1;
    state.EditTarget = QString::fromUtf16(kTargets[(data[0] >> 1) % std::size(kTargets)]);
    state.TimeoutCount = 9;
    state.OverTemp = -7;
    state.VoltageSet = 12.5f;
    state.CurrentLimit = 2.5f;
    state.PowerLimit = 100;
    const Watched before = Watch(state);

    const QString reply = LineText(data + 1, size - 1);
    const std::optional<StatusLine> status = ReadPollStatus(reply, state);
    const bool taken = status.has_value();
    const bool statusLine = reply.size() >= 37 && !(reply[0] >= u'A' && reply[0] <= u'Z') &&
                            reply[31] >= u'0' && reply[31] <= u'9';
    FUZZ_CHECK(taken == statusLine);
    if (!taken) {
        FUZZ_CHECK(Watch(state) == before);
        return 0;
    }

    FUZZ_CHECK(state.TimeoutCount == 0);
    FUZZ_CHECK(state.OverTemp == reply[31].unicode() - u'0');
    FUZZ_CHECK(PollShowsVoltage(state) == (state.FineMode == 0));
    FUZZ_CHECK(status->voltage.text == reply.mid(0, 5));
    const bool keepsVoltage =
        state.FineMode != 0 || state.EditTarget == u"plus" || state.EditTarget == u"minus";
    if (keepsVoltage) {
        FUZZ_CHECK(state.VoltageSet == before.voltageSet);
    } else {
        FUZZ_CHECK(state.VoltageSet == SingleNumber(status->voltage.text));
    }
    FUZZ_CHECK(status->current.text == reply.mid(6, 5) && status->power.text == reply.mid(12, 5));
    FUZZ_CHECK(status->currentLimit.text == reply.mid(21, 4) &&
               status->powerLimit.text == reply.mid(26, 3));
    FUZZ_CHECK(std::isfinite(state.CurrentLimit) && std::isfinite(state.PowerLimit));
    return 0;
}
