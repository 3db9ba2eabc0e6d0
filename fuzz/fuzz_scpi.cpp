// SPDX-License-Identifier: GPL-3.0-or-later
// A remote client's input, fed to the SCPI layer in the chunks a socket may
// cut it into, against a stand-in for the panel whose every operation is
// written with the real command builders. The first input byte sets the
// panel's state (link lost, edit open, output on, fine steps, the voltage
// limit); the second cuts the rest into chunks.
#include "command_set.h"
#include "fake_instrument.h"
#include "fuzz_check.h"
#include "scpi_framer.h"
#include "scpi_parser.h"
#include "scpi_session.h"

#include <algorithm>
#include <cstdint>
#include <variant>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    FakeInstrument fake;
    fake.lost = (data[0] & 1) != 0;
    fake.editOpen = (data[0] & 2) != 0;
    fake.output = (data[0] & 4) != 0;
    fake.fine = (data[0] & 8) != 0;
    fake.At(Setting::VoltageLimit) = static_cast<float>(1 + (data[0] >> 4) * 2);
    fake.At(Setting::VoltageSet) =
        std::min(fake.At(Setting::VoltageSet), fake.At(Setting::VoltageLimit));
    const size_t chunk = 1 + data[1] % 64;
    data += 2;
    size -= 2;

    ScpiSession session(fake);
    InputFramer framer;
    for (size_t at = 0; at < size; at += chunk) {
        QList<ScpiMessage> messages;
        framer.Append(QByteArrayView(data + at, std::min(chunk, size - at)), messages);
        for (const ScpiMessage& message : messages) {
            FUZZ_CHECK(message.tooLong || message.text.size() <= InputFramer::kMaxMessage);
            const qsizetype sentBefore = fake.wire.size();
            const QString reply = session.Run(message);
            for (const QChar c : reply) {
                FUZZ_CHECK(c.unicode() >= 0x20 && c.unicode() <= 0x7e);
            }
            // Nothing of a message that is too long or malformed is carried out.
            if (message.tooLong || std::holds_alternative<int>(ParseMessage(message.text))) {
                FUZZ_CHECK(fake.wire.size() == sentBefore && reply.isEmpty());
            }
            // Every line the panel would send is one of the supply's commands;
            // none on a lost link, and no set during an open edit.
            for (qsizetype i = sentBefore; i < fake.wire.size(); ++i) {
                FUZZ_CHECK(kCommandSet.match(fake.wire[i]).hasMatch());
                FUZZ_CHECK(!fake.lost);
                FUZZ_CHECK(!fake.editOpen || fake.wire[i] == u"L");
            }
            FUZZ_CHECK(session.Status().errors.Count() <= ErrorQueue::kCapacity);
            FUZZ_CHECK(fake.At(Setting::VoltageSet) <= fake.At(Setting::VoltageLimit));
        }
    }
    return 0;
}
