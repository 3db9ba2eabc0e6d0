// SPDX-License-Identifier: GPL-3.0-or-later
#include "remote_control.h"

#include "geometry.h"
#include "remote_texts.h"

#include <QAction>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>
#include <cstdio>

namespace {

// The status-bar panel of remote control, and what the port panel gives up
// for it: "COM4" still fits.
constexpr int kPanelTwips = 720;

void SayOnStandardError(const QString& text) {
    std::fprintf(stderr, "zrm-panel: %s\n", qPrintable(text));
}

} // namespace

RemoteControl::RemoteControl(Form1& panel, const ListenAddress& where)
    : QObject(&panel), panel_(panel), instrument_(panel), server_(instrument_), where_(where),
      panelLabel_(new QLabel(panel.SBar1)), action_(new QAction(RemoteText::MenuEntry, this)),
      portWidth_(panel.StatusPanelLabel(StatusPanel::Port)->maximumWidth()) {
    panelLabel_->setObjectName(QStringLiteral("SBar1_remote"));
    panelLabel_->setFixedWidth(Twips(kPanelTwips));
    panelLabel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel.SBar1->addWidget(panelLabel_);
    action_->setObjectName(QStringLiteral("remoteAction"));
    action_->setCheckable(true);
    connect(action_, &QAction::triggered, this, [this](bool on) {
        if (on) {
            Start();
        } else {
            Stop();
        }
    });
    // Commands that came during one of the panel's waits run once it has ended.
    connect(&panel_, &Form1::IdleAgain, &server_, &ScpiServer::Resume, Qt::QueuedConnection);
    connect(&server_, &ScpiServer::ClientCountChanged, this, &RemoteControl::ShowState);
    ShowState();
}

bool RemoteControl::Start() {
    if (Running()) {
        return true;
    }
    const bool listening = server_.Listen(where_);
    if (listening) {
        SayOnStandardError(QString(RemoteText::Listening).arg(server_.AddressText()));
        if (!where_.address.isLoopback()) {
            SayOnStandardError(QString(RemoteText::Exposed).arg(server_.AddressText()));
        }
    } else {
        const QString address = where_.address.protocol() == QAbstractSocket::IPv6Protocol
                                    ? u'[' + where_.address.toString() + u']'
                                    : where_.address.toString();
        const QString text =
            QString(RemoteText::ListenFailed)
                .arg(address + u':' + QString::number(where_.port), server_.ErrorString());
        // After the event that asked for it, as the panel's other messages.
        QTimer::singleShot(0, &panel_,
                           [this, text] { panel_.ShowMessage(text, RemoteText::Title); });
    }
    ShowState();
    return listening;
}

void RemoteControl::Stop() {
    if (!Running()) {
        return;
    }
    server_.Close();
    SayOnStandardError(RemoteText::Stopped);
    ShowState();
}

void RemoteControl::ShowState() {
    const bool on = Running();
    action_->setChecked(on);
    panelLabel_->setVisible(on);
    panel_.StatusPanelLabel(StatusPanel::Port)
        ->setFixedWidth(on ? portWidth_ - Twips(kPanelTwips) : portWidth_);
    if (!on) {
        return;
    }
    const int clients = server_.ClientCount();
    panelLabel_->setText(QString(RemoteText::Panel).arg(clients));
    // Named by what it means followed by what it shows, as the other panels.
    panelLabel_->setAccessibleName(QString(RemoteText::PanelName) + u' ' + panelLabel_->text());
    QString tip = QString(RemoteText::Listening).arg(server_.AddressText()) + u'\n' +
                  QString(RemoteText::Clients).arg(clients).arg(ScpiServer::kMaxClients);
    if (!where_.address.isLoopback()) {
        tip += QStringLiteral("\n\n") + QString(RemoteText::Exposed).arg(server_.AddressText());
    }
    panelLabel_->setToolTip(tip);
    panelLabel_->setAccessibleDescription(tip);
}
