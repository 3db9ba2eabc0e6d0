// SPDX-License-Identifier: GPL-3.0-or-later
// Keeps the computer from suspending while the panel has work that must not
// stop: a run, or a CSV log. It asks logind on the system bus for a "sleep"
// block (org.freedesktop.login1.Manager.Inhibit, a file descriptor held for
// as long as the block lasts) and, where there is no logind, the desktop's
// power manager on the session bus (org.freedesktop.PowerManagement.Inhibit,
// a cookie given back at the end). Where neither answers, the trace says so
// and nothing else happens. The calls do not wait: the window goes on while
// the bus answers.
#pragma once

#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <optional>

class QDBusPendingCallWatcher;

class SleepInhibitor : public QObject {
    Q_OBJECT
public:
    explicit SleepInhibitor(QObject* parent = nullptr);
    ~SleepInhibitor() override;

    // Asks for the block (true) or lets go of it (false).
    void Hold(bool on);
    // The block is granted and held.
    bool Holding() const { return fd_.isValid() || cookie_.has_value(); }

signals:
    // A block was granted or let go.
    void HoldingChanged(bool holding);

private:
    void AskLogind();
    void AskPowerManagement();
    void Granted();
    void Release();

    bool wanted_ = false;
    bool asking_ = false; // a call is on its way
    QDBusUnixFileDescriptor fd_;
    std::optional<uint> cookie_;
};
