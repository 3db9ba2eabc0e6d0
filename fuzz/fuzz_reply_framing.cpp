// SPDX-License-Identifier: GPL-3.0-or-later
// The framing of ReadReply: the bytes of the line arrive in chunks of any
// size, and after each chunk the reply is complete when the text so far ends
// in LF; a buffer that fills up without one ends the wait as a timeout does.
#include "fuzz_check.h"
#include "supply_link.h"

#include <QByteArray>
#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    ReplyBuffer buffer;
    QByteArray sent;
    while (input.remaining_bytes() > 0 && !buffer.Complete() && !buffer.Full()) {
        QByteArray chunk;
        if (input.ConsumeIntegralInRange<int>(0, 15) == 0) {
            // A flood without LF, such as a wrong device on the port sends,
            // to reach the buffer's capacity.
            const auto length = input.ConsumeIntegralInRange<qsizetype>(0, ReplyBuffer::kCapacity);
            chunk = QByteArray(length, input.ConsumeBool() ? '\r' : 'S');
        } else {
            const std::string bytes =
                input.ConsumeBytesAsString(input.ConsumeIntegralInRange(0, 80));
            chunk = QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
        }
        sent += chunk;
        buffer.Append(chunk);

        const QByteArray kept = sent.left(ReplyBuffer::kCapacity);
        FUZZ_CHECK(buffer.Room() == ReplyBuffer::kCapacity - kept.size());
        FUZZ_CHECK(buffer.Full() == (kept.size() == ReplyBuffer::kCapacity));
        FUZZ_CHECK(buffer.Complete() == kept.endsWith('\n'));
    }
    FUZZ_CHECK(buffer.Raw() == QString::fromLatin1(sent.left(ReplyBuffer::kCapacity)));
    if (buffer.Complete()) {
        // The lead character goes, the LF stays; a lone LF gives nothing.
        const QString raw = buffer.Raw();
        const QString payload = buffer.Payload();
        FUZZ_CHECK(payload == raw.mid(1));
        FUZZ_CHECK(raw.size() == 1 ? payload.isEmpty() : payload.endsWith(u'\n'));
    }
    return 0;
}
