// SPDX-License-Identifier: GPL-3.0-or-later
// Reading and writing the supply's serial line: the port names, the reply
// framing and the status line (status_line.h). Pure functions of text, shared
// by the window's transport and polling and by the fuzzers.
#pragma once

#include "panel_state.h"
#include "status_line.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <functional>
#include <optional>
#include <utility>

// One serial port of the machine, as the system lists it.
struct SerialPortDescription {
    QString name;           // "ttyUSB0"
    QString systemLocation; // "/dev/ttyUSB0"
    std::optional<quint16> vendorId;
    std::optional<quint16> productId;
    QString serialNumber;
    QString manufacturer;
    QString byIdName;   // its link in /dev/serial/by-id, empty when it has none
    QString byPathName; // its link in /dev/serial/by-path (the USB socket), empty when none
};

// The panel looks for the supply on COM1 to COM4.
inline constexpr int kComPortCount = 4;

// "COM1" for 1: a COM port as the panel names it.
QString ComPortName(int n);

// The device paths of COM1 to COM4, empty for a COM port that has none.
// overrides[n-1], when not empty, is COM n. The ports that no override names
// fill the other COM numbers in order: USB and ACM adapters first, those
// with a serial number by their by-id name, serial number and path, then
// those without by their by-path name (the USB socket, as identical adapters
// share one by-id name) and path, so that one adapter keeps its COM number
// from one start to the next; then the built-in ports by path. A device
// named twice is tried once, at its first COM number: deviceOf gives the
// device a path stands for (a link's target), the path itself by default.
QStringList OrderComPorts(QList<SerialPortDescription> ports, const QStringList& overrides,
                          const std::function<QString(const QString&)>& deviceOf = {});

// What the environment says of COM1 to COM4: the path in ZRM_COMn where that
// is set; on Windows COMn where it is not, as the system names its ports
// itself; empty otherwise.
QStringList ComPortOverrides();

// What became of one COM port in a scan.
enum class PortOutcome { Opened, NotPresent, Denied, Busy, StaleLock, Failed, Silent, Answered };

// What opening a COM port came to; for StaleLock, the lock file that refused
// it and the process, now gone, that took it.
struct PortOpening {
    // From a plain outcome too: only a stale lock has more to say.
    PortOpening(PortOutcome what = PortOutcome::Failed, QString file = {}, qint64 pid = 0)
        : outcome(what), lockFile(std::move(file)), lockPid(pid) {}
    bool operator==(const PortOpening&) const = default;

    PortOutcome outcome;
    QString lockFile;
    qint64 lockPid;
};

// "COM1 /dev/ttyUSB0: answered", one line of the scan's report.
QString ScanLine(int n, const QString& path, const PortOpening& opening);

// Control characters, backslash and bytes beyond ASCII written as escapes
// (\r, \n, \t, \\, \xNN), so that a line of the wire trace shows every byte.
QString EscapeControls(QStringView text);

// One reply line as it comes in: a lead character, the payload and LF. Only
// the last character decides completeness, so two lines that arrive together
// read as one. The buffer stops growing at its capacity, so a supply that
// floods without LF cannot exhaust memory.
class ReplyBuffer {
public:
    // Far above the 240 characters a second that 2400 baud can carry.
    static constexpr qsizetype kCapacity = 64 * 1024;

    // Keeps as much of chunk as there is room for.
    void Append(QByteArrayView chunk);
    // Characters that still fit.
    qsizetype Room() const { return kCapacity - raw_.size(); }
    bool Full() const { return Room() <= 0; }
    // Not empty and ending in LF.
    bool Complete() const;
    // A complete line without its lead character, the LF kept; a lone LF
    // gives the empty text.
    QString Payload() const;
    // Everything received, as it came.
    QString Raw() const;

private:
    QByteArray raw_;
};

// The row of the model table whose maximum voltage lies within 0.01 V of the
// reported one (the first such row), or -1.
int MatchModelRow(double maxVoltage, const PanelState& state);
