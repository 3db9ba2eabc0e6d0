// SPDX-License-Identifier: GPL-3.0-or-later
#include "sleep_inhibitor.h"

#include "run_trace.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {

const QString kLogin1 = QStringLiteral("org.freedesktop.login1");
const QString kPowerManagement = QStringLiteral("org.freedesktop.PowerManagement");
const QString kWho = QStringLiteral("zrm-panel");
const QString kWhy = QStringLiteral("A run or a CSV log of the power supply is under way");

bool Offered(const QDBusConnection& bus, const QString& service) {
    return bus.isConnected() && bus.interface() != nullptr &&
           bus.interface()->isServiceRegistered(service).value();
}

} // namespace

SleepInhibitor::SleepInhibitor(QObject* parent) : QObject(parent) {}

SleepInhibitor::~SleepInhibitor() {
    wanted_ = false;
    Release();
}

void SleepInhibitor::Hold(bool on) {
    if (on == wanted_) {
        return;
    }
    wanted_ = on;
    // An answer still on its way is kept or let go when it comes.
    if (asking_) {
        return;
    }
    if (on) {
        AskLogind();
    } else {
        Release();
    }
}

void SleepInhibitor::AskLogind() {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!Offered(bus, kLogin1)) {
        AskPowerManagement();
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        kLogin1, QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep") << kWho << kWhy << QStringLiteral("block");
    asking_ = true;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        asking_ = false;
        const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *w;
        if (reply.isError() || !reply.value().isValid()) {
            qCDebug(lcRun).noquote()
                << "sleep: logind refused the block:" << reply.error().message();
            AskPowerManagement();
            return;
        }
        fd_ = reply.value();
        qCDebug(lcRun) << "sleep: blocked by logind";
        Granted();
    });
}

void SleepInhibitor::AskPowerManagement() {
    if (!wanted_) {
        return;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!Offered(bus, kPowerManagement)) {
        qCDebug(lcRun) << "sleep: no logind and no power manager on the buses: the computer may "
                          "still suspend";
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        kPowerManagement, QStringLiteral("/org/freedesktop/PowerManagement/Inhibit"),
        QStringLiteral("org.freedesktop.PowerManagement.Inhibit"), QStringLiteral("Inhibit"));
    call << kWho << kWhy;
    asking_ = true;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        asking_ = false;
        const QDBusPendingReply<uint> reply = *w;
        if (reply.isError()) {
            qCDebug(lcRun).noquote()
                << "sleep: the power manager refused the block:" << reply.error().message();
            return;
        }
        cookie_ = reply.value();
        qCDebug(lcRun) << "sleep: blocked by the power manager, cookie" << *cookie_;
        Granted();
    });
}

void SleepInhibitor::Granted() {
    if (!wanted_) {
        Release();
        return;
    }
    emit HoldingChanged(true);
}

void SleepInhibitor::Release() {
    if (!Holding()) {
        return;
    }
    if (fd_.isValid()) {
        // Closing the descriptor ends logind's block.
        fd_ = QDBusUnixFileDescriptor();
    }
    if (cookie_) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            kPowerManagement, QStringLiteral("/org/freedesktop/PowerManagement/Inhibit"),
            QStringLiteral("org.freedesktop.PowerManagement.Inhibit"), QStringLiteral("UnInhibit"));
        call << *cookie_;
        QDBusConnection::sessionBus().call(call, QDBus::NoBlock);
        cookie_.reset();
    }
    qCDebug(lcRun) << "sleep: block let go";
    emit HoldingChanged(false);
}
