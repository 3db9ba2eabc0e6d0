// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_window.h"
#include "serial_lock.h"
#include "supply_link.h"
#include "wire_trace.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <limits>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace {

// A reply that has not ended in LF after this long is given up.
constexpr qint64 kReplyTimeoutNs = 1'000'000'000;

// Timeouts in a row, outside a connection, that make a lost link.
constexpr int kTimeoutsOfLostLink = 5;

// Runs events as they come, sleeping in the event loop until one arrives or
// the alarm goes off after remainingNs. The panel stays responsive during a
// wait without burning a CPU core on spinning. The alarm is always armed, so
// the sleep cannot outlast the deadline.
void WaitForEvents(QTimer& alarm, double remainingNs) {
    constexpr double kLongestAlarmMs = 60'000;
    const double ms = std::clamp(std::ceil(remainingNs / 1e6), 0.0, kLongestAlarmMs);
    alarm.start(static_cast<int>(ms));
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void PrepareAlarm(QTimer& alarm) {
    alarm.setSingleShot(true);
    // A coarse timer may wake early; the deadline checks would then loop again.
    alarm.setTimerType(Qt::PreciseTimer);
}

// Whether the port's device says that the line has hung up or is gone.
bool HungUp(const QSerialPort& port) {
#ifdef Q_OS_UNIX
    pollfd device{static_cast<int>(port.handle()), POLLIN | POLLOUT, 0};
    return poll(&device, 1, 0) < 0 || (device.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
    Q_UNUSED(port);
    return true;
#endif
}

// A removed device reports a resource error; a hung-up line (the cable or a
// USB adapter pulled) reads as end of file, a read error. Either way nothing
// more will come, and Qt would keep waking the event loop for the dead line.
// Qt reports a full output buffer as a resource error too (a write that would
// block): that line is still there and takes the rest as it has room.
bool LineGone(const QSerialPort& port, QSerialPort::SerialPortError error) {
    return error == QSerialPort::ReadError || (error == QSerialPort::ResourceError && HungUp(port));
}

bool PortUsable(const QSerialPort& port) {
    return port.isOpen() && !LineGone(port, port.error());
}

// What the system still holds for the line beyond which remote control waits:
// a poll's "L" then waits no longer behind it than one set command takes.
constexpr int kLineSlack = 16;
constexpr double kMsPerChar = 10.0 * 1000 / 2400; // start, 8 data and stop bits

// The characters written to the line's device that have not gone out yet.
int QueuedOnLine(const QSerialPort& port) {
    int queued = 0;
#ifdef Q_OS_UNIX
    if (ioctl(static_cast<int>(port.handle()), TIOCOUTQ, &queued) != 0) {
        queued = 0;
    }
#else
    Q_UNUSED(port);
#endif
    return queued;
}

// Whether this user may read and write the device, with the effective
// identity, as the open itself is judged.
bool MayReadWrite(const QString& path) {
#ifdef Q_OS_UNIX
    return faccessat(AT_FDCWD, QFile::encodeName(path).constData(), R_OK | W_OK, AT_EACCESS) == 0;
#else
    Q_UNUSED(path);
    return true;
#endif
}

// Qt reports a port whose lock file another program holds, one whose lock
// file was left by a program that is gone but may not be removed by this
// user, one held in the exclusive mode of the tty, and one that this user
// may not open all alike, as a permission error. The lock file tells the
// stale lock, and the device's own permissions the denied port, from a
// program that holds the port.
PortOpening OpenFailure(QSerialPort::SerialPortError error, const QString& path) {
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return {PortOutcome::NotPresent};
    case QSerialPort::PermissionError:
        // Qt takes the lock before it looks for the device, so a lock file
        // left for a device that is gone would hide that it is gone.
        if (!QFileInfo::exists(path)) {
            return {PortOutcome::NotPresent};
        }
        if (const std::optional<PortOpening> stale = FindStaleLock(path)) {
            return *stale;
        }
        return {MayReadWrite(path) ? PortOutcome::Busy : PortOutcome::Denied};
    default:
        return {PortOutcome::Failed};
    }
}

// "open COM1 /dev/ttyUSB0: busy: another program holds it (Qt's reason)"
QString OpenNote(int n, const QString& path, const PortOpening& opening, const QString& why = {}) {
    const QString line = QLatin1String("open ") + ScanLine(n, path, opening);
    return why.isEmpty() ? line : line + QLatin1String(" (") + why + u')';
}

// Counts a wait of the panel's for as long as it runs; the last one to end
// tells whoever waits for the line to be free.
class WaitScope {
public:
    explicit WaitScope(Form1& form) : form_(form) { ++form_.Waits; }
    WaitScope(const WaitScope&) = delete;
    WaitScope& operator=(const WaitScope&) = delete;
    ~WaitScope() {
        if (--form_.Waits == 0) {
            emit form_.IdleAgain();
        }
    }

private:
    Form1& form_;
};

} // namespace

bool Form1::Idle() const {
    return Waits == 0 && Connecting == kFalse && !Reconnecting && !Timer2->isActive() &&
           LineDrained();
}

bool Form1::LineDrained() const {
    return !MSComm1->isOpen() ||
           (MSComm1->bytesToWrite() == 0 && QueuedOnLine(*MSComm1) <= kLineSlack);
}

void Form1::WatchLineDrain() {
    if (LineDrained()) {
        emit IdleAgain();
    } else if (MSComm1->bytesToWrite() == 0) {
        // The system holds the rest; it goes out at the line's pace.
        const int excess = QueuedOnLine(*MSComm1) - kLineSlack;
        tmr_drain->start(static_cast<int>(std::ceil(excess * kMsPerChar)));
    }
}

void Form1::SendCommand(const QString& command) {
    // An empty command is one that its builder refused.
    if (command.isEmpty() || !PortUsable(*MSComm1)) {
        return;
    }
    qCDebug(lcLink).noquote() << TraceMs() << "send" << EscapeControls(command);
    MSComm1->write(command.toLatin1() + '\r');
    // Out now rather than at the next pass of the event loop, so the pauses
    // between commands are measured from the send.
    MSComm1->flush();
}

QString Form1::ReadReply() {
    const WaitScope waiting(*this);
    ReplyPending = kTrue;
    ReplyBuffer buffer;
    QElapsedTimer clock;
    clock.start();
    QTimer alarm;
    PrepareAlarm(alarm);
    for (;;) {
        if (!PortUsable(*MSComm1)) {
            // Closed or removed: a silent supply from now on, not a crash.
            ClosePort();
            break;
        }
        buffer.Append(MSComm1->read(buffer.Room()));
        if (buffer.Complete()) {
            qCDebug(lcLink).noquote() << TraceMs() << "reply" << EscapeControls(buffer.Raw());
            QCoreApplication::processEvents();
            ReplyPending = kFalse;
            return buffer.Payload();
        }
        if (buffer.Full()) {
            break;
        }
        WaitForEvents(alarm, static_cast<double>(kReplyTimeoutNs - clock.nsecsElapsed()) + 1e6);
        if (clock.nsecsElapsed() > kReplyTimeoutNs) {
            break;
        }
    }
    if (TimeoutCount < std::numeric_limits<decltype(TimeoutCount)>::max()) {
        ++TimeoutCount;
    }
    qCDebug(lcLink).noquote() << TraceMs()
                              << QStringLiteral("timeout %1, received \"%2\"")
                                     .arg(TimeoutCount)
                                     .arg(EscapeControls(buffer.Raw()));
    if (Connecting == kFalse && TimeoutCount >= kTimeoutsOfLostLink) {
        ReportLostLink();
    }
    return buffer.Raw();
}

void Form1::WaitSeconds(double seconds) {
    const WaitScope waiting(*this);
    QElapsedTimer clock;
    clock.start();
    QTimer alarm;
    PrepareAlarm(alarm);
    const double totalNs = seconds * 1e9;
    while (static_cast<double>(clock.nsecsElapsed()) < totalNs) {
        WaitForEvents(alarm, totalNs - static_cast<double>(clock.nsecsElapsed()));
    }
}

PortOpening Form1::OpenPort() {
    if (MSComm1->isOpen()) {
        return {PortOutcome::Opened};
    }
    if (ComPortDevices.isEmpty()) {
        MapComPorts();
    }
    const QString path = ComPortDevice(CommPort);
    if (path.isEmpty()) {
        const PortOpening missing{PortOutcome::NotPresent};
        qCDebug(lcLink).noquote() << TraceMs() << OpenNote(CommPort, path, missing);
        return missing;
    }
    MSComm1->setPortName(path);
    MSComm1->setBaudRate(QSerialPort::Baud2400);
    MSComm1->setDataBits(QSerialPort::Data8);
    MSComm1->setParity(QSerialPort::NoParity);
    MSComm1->setStopBits(QSerialPort::OneStop);
    MSComm1->setFlowControl(QSerialPort::NoFlowControl);
    // Bounds what piles up while nobody reads, e.g. from a supply that floods
    // the line while the output is off.
    MSComm1->setReadBufferSize(1024);
    MSComm1->clearError();
    if (!MSComm1->open(QIODevice::ReadWrite)) {
        const PortOpening outcome = OpenFailure(MSComm1->error(), path);
        qCDebug(lcLink).noquote() << TraceMs()
                                  << OpenNote(CommPort, path, outcome, MSComm1->errorString());
        MSComm1->clearError();
        return outcome;
    }
    // DTR and RTS asserted: the usual state of a terminal on the line, and
    // what adapters and supplies that watch them expect. A pseudo-terminal
    // has no modem lines; its refusal is of no consequence.
    MSComm1->setDataTerminalReady(true);
    MSComm1->setRequestToSend(true);
    MSComm1->clearError();
    // A line that goes away is closed, also while nobody waits on it: from
    // then on the supply is silent. Queued, to close outside the port's own
    // notification, and only if the error is still the current one.
    connect(
        MSComm1, &QSerialPort::errorOccurred, this,
        [this](QSerialPort::SerialPortError error) {
            if (MSComm1->error() != error) {
                return;
            }
            if (LineGone(*MSComm1, error)) {
                qCDebug(lcLink).noquote()
                    << TraceMs() << "line gone:" << MSComm1->errorString() << "- port closed";
                ClosePort();
            } else if (error == QSerialPort::ResourceError) {
                MSComm1->clearError();
            }
        },
        Qt::QueuedConnection);
    const PortOpening opened{PortOutcome::Opened};
    qCDebug(lcLink).noquote() << TraceMs() << OpenNote(CommPort, path, opened);
    return opened;
}

void Form1::ClosePort() {
    disconnect(MSComm1, &QSerialPort::errorOccurred, this, nullptr);
    if (MSComm1->isOpen()) {
        MSComm1->close();
    }
    MSComm1->clearError();
}
