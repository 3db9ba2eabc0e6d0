// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_window.h"
#include "supply_commands.h"
#include "supply_link.h"

void Form1::Timer3_Timer() {
    // A tick during a poll's reply wait would take the waiting poll's reply;
    // one during a connection would break into its exchange.
    if (polling_ || Connecting != kFalse) {
        return;
    }
    PollMonitor();
}

void Form1::PollMonitor() {
    polling_ = true;
    SendCommand(Query::Status);
    MonitorReply = ReadReply();
    PollTexts texts;
    const bool taken = ReadPollStatus(MonitorReply, *this, texts);
    if (taken) {
        // The over-temperature shows as soon as the supply reports it.
        lbl_overtemp->setVisible(OverTemp == 1);
        if (texts.voltage) {
            dis_v->setText(*texts.voltage);
        }
        dis_i->setText(texts.current);
        dis_p->setText(texts.power);
        dis_lp->setText(texts.powerLimit);
        dis_li->setText(texts.currentLimit);
    }
    polling_ = false;
    if (taken) {
        emit PollTaken(MonitorReply);
    } else {
        emit PollMissed();
    }
}
