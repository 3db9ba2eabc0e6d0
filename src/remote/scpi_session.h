// SPDX-License-Identifier: GPL-3.0-or-later
// One client's SCPI session: its error queue and status registers, and the
// carrying out of its messages against the instrument.
#pragma once

#include "instrument.h"
#include "scpi_errors.h"
#include "scpi_framer.h"

#include <QString>
#include <QtGlobal>

// The IEEE 488.2 status registers of one client.
struct ScpiStatus {
    ErrorQueue errors;
    quint8 eventStatus = 0;   // *ESR?
    quint8 eventEnable = 0;   // *ESE
    quint8 serviceEnable = 0; // *SRE

    // Queues the error and sets its class's bit in the event status register.
    void Report(int code);
    // *STB?; replyWaiting: an earlier query of the message has its reply ready.
    quint8 StatusByte(bool replyWaiting) const;
};

class ScpiSession {
public:
    explicit ScpiSession(Instrument& instrument) : instrument_(instrument) {}

    // Carries out one message and returns its reply line: the replies of its
    // queries joined by ';', in order; empty when it asked nothing. A message
    // whose syntax fails runs not at all. After a command fails, the commands
    // of the message that would change something are skipped, while its
    // queries still answer, so a client never waits for a reply that does not
    // come.
    QString Run(const ScpiMessage& message);

    ScpiStatus& Status() { return status_; }

private:
    Instrument& instrument_;
    ScpiStatus status_;
};
