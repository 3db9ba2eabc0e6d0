// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_window.h"
#include "supply_commands.h"
#include "supply_link.h"

void Form1::Timer3_Timer() {
    // A tick during a poll's reply wait would take the waiting poll's reply;
    // one during a connection would break into its exchange.
    if (Polling || Connecting != kFalse) {
        return;
    }
    (void)PollMonitor();
}

std::optional<StatusLine> Form1::PollMonitor() {
    Polling = true;
    SendCommand(Query::Status);
    MonitorReply = ReadReply();
    const std::optional<StatusLine> status = ReadPollStatus(MonitorReply, *this);
    if (status) {
        // The supply answers again: a new loss gets its box.
        LostLinkReported = false;
        // The over-temperature shows as soon as the supply reports it.
        ShowOverTemp();
        if (PollShowsVoltage(*this)) {
            dis_v->setText(status->voltage.text);
        }
        dis_i->setText(status->current.text);
        dis_p->setText(status->power.text);
        dis_lp->setText(status->powerLimit.text);
        dis_li->setText(status->currentLimit.text);
    }
    Polling = false;
    if (status) {
        emit PollTaken(*status);
    } else {
        emit PollMissed();
    }
    return status;
}
