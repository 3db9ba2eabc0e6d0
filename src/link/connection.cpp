// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_window.h"
#include "panel_texts.h"
#include "progress_window.h"
#include "supply_commands.h"
#include "supply_link.h"
#include "wire_trace.h"

#include <QCoreApplication>
#include <algorithm>
#include <iterator>

namespace {

// One line of the scan's report, which also goes to the wire trace.
QString NoteScan(int n, const QString& path, const PortOpening& opening) {
    QString line = ScanLine(n, path, opening);
    qCDebug(lcLink).noquote() << TraceMs() << "scan" << line;
    return line;
}

} // namespace

void Form1::ConnectSupply() {
    // A start-up or remote-key connection that comes while one is under way
    // (its waits run events) would fight it over the port.
    if (Connecting != kFalse) {
        return;
    }
    Connecting = kTrue;
    SetStatusText(StatusPanel::Status, StatusPanel1::Finding);

    ProgressWindow = new Form2(this);
    ProgressWindow->Form2_Load();
    if (!Headless) {
        ProgressWindow->show();
    }
    ProgressWindow->ShowCaption(ProgressText::Scanning);
    ProgressWindow->PBar1->setMaximum(kComPortCount);
    ProgressWindow->PBar1->setValue(0);

    MapComPorts();
    ReplyPending = kTrue;
    QStringList report;
    int port = 1;
    for (; port <= kComPortCount; ++port) {
        QCoreApplication::processEvents();
        // The user may have closed the progress window meanwhile.
        if (ProgressWindow) {
            ProgressWindow->PBar1->setValue(port);
        }
        ClosePort();
        CommPort = port;
        const PortOpening opened = OpenPort();
        if (opened.outcome != PortOutcome::Opened) {
            report << NoteScan(port, ComPortDevice(port), opened);
            continue;
        }
        SendCommand(Query::Status);
        MonitorReply = ReadReply();
        const bool answered = ReplyPending == kFalse;
        report << NoteScan(port, ComPortDevice(port),
                           {answered ? PortOutcome::Answered : PortOutcome::Silent});
        if (answered) {
            break;
        }
    }
    if (ProgressWindow) {
        ProgressWindow->close();
    }

    if (ReplyPending != kFalse) {
        ReportCommunicationError(report.join(u'\n'));
    } else {
        SetStatusText(StatusPanel::Port, ComPortName(port));
        SetStatusToolTip(StatusPanel::Port, ComPortDevice(port));
        CollectSupplyData();
        SetStatusText(StatusPanel::Status, StatusPanel1::Ready);
        EnableGroupConnect(true);
        if (OutputOn == 1) {
            Timer3->start();
        }
        LinkLost = false;
        emit ConnectionMade(ParseStatusLine(MonitorReply));
    }
    Connecting = kFalse;
    emit IdleAgain();
}

void Form1::CollectSupplyData() {
    const StatusLine status = ParseStatusLine(MonitorReply);
    const bool complete = ReadConnectionStatus(status, *this);
    dis_v->setText(status.voltage.text);
    dis_i->setText(status.current.text);
    dis_p->setText(status.power.text);
    dis_lv->setText(status.voltageLimit.text);
    dis_li->setText(status.currentLimit.text);
    dis_lp->setText(status.powerLimit.text);
    // A digit field that is not a digit ends the collection there; the
    // connection still counts as made.
    if (!complete) {
        return;
    }

    SendCommand(Query::PlusPercent);
    txt_plus->setText(ReadReply());
    PlusPercent = SingleNumber(txt_plus->text());
    SendCommand(Query::MinusPercent);
    txt_minus->setText(ReadReply());
    MinusPercent = SingleNumber(txt_minus->text());

    ShowOverTemp();
    lbl_fine->setVisible(FineMode == 1);
    SetPanelEnabled(Locked != 1);
    ShowOutputState();

    // "SUM" sets the voltage limit to the model's maximum, which "U" then
    // reports: that maximum tells the models apart.
    const auto askMaximum = [this] {
        SendCommand(MaximumCommand(Limit::Voltage));
        WaitSeconds(kCommandPauseSeconds);
        SendCommand(Query::VoltageLimit);
        WaitSeconds(kCommandPauseSeconds);
        return ReadReply();
    };
    QString reply = askMaximum();
    if (reply.isEmpty()) {
        reply = ReadReply();
    }
    if (reply.isEmpty()) {
        reply = askMaximum();
    }
    if (reply.isEmpty()) {
        ShowMessage(MessageText::CommunicationError, MessageText::CommunicationErrorTitle);
        EndProgram();
        return;
    }
    const int row = MatchModelRow(LeadingNumber(reply), *this);
    if (row >= 0) {
        QCoreApplication::processEvents();
        SetStatusText(StatusPanel::Model, ModelName[row]);
        ModelIndex = static_cast<std::int16_t>(row);
    }
    RestoreVoltageLimit(row);
}

void Form1::RestoreVoltageLimit(int row) {
    // An unknown model is held to the largest maximum of the three.
    const float most =
        row >= 0 ? ModelMaxVoltage[row]
                 : *std::max_element(std::begin(ModelMaxVoltage), std::end(ModelMaxVoltage));
    // The user's limit goes back to the supply, for an unknown model too, when
    // the status line held one the supply can take. A garbled field ("-1",
    // "4x", blank) is not sent: it could lower the limit, and the set-point
    // with it, or be no command at all. The supply then keeps the maximum that
    // "SUM" gave it, and the panel shows that.
    const std::optional<float> limit = PlainNumber(dis_lv->text());
    if (limit && *limit >= 1 && *limit <= most) {
        SendCommand(SetCommand(SetValue::VoltageLimit, VoltageLimit, most));
    } else {
        VoltageLimit = most;
        ShowVoltageLimit();
    }
}
