// SPDX-License-Identifier: GPL-3.0-or-later
// One client's input cut into messages: LF or CR LF ends each. A message
// longer than the limit is not kept; only the fact that it was too long is.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

struct ScpiMessage {
    QByteArray text;      // without its terminator
    bool tooLong = false; // longer than InputFramer::kMaxMessage: nothing of it may run
};

class InputFramer {
public:
    static constexpr qsizetype kMaxMessage = 4096;

    // Appends the complete messages in bytes to out, in order; empty lines
    // are no messages. What follows the last LF waits for more bytes.
    void Append(QByteArrayView bytes, QList<ScpiMessage>& out);
    // A message has begun and not yet ended.
    bool InMessage() const { return discarding_ || !partial_.isEmpty(); }

private:
    void End(QList<ScpiMessage>& out);

    QByteArray partial_;
    bool discarding_ = false; // the message under way is already too long
};
