// SPDX-License-Identifier: GPL-3.0-or-later
// Reading and writing the supply's serial line: the port names, the reply
// framing and the status line. Pure functions of text, shared by the window's
// transport and polling and by the fuzzers.
#pragma once

#include "panel_state.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

// One serial port of the machine, as the system lists it.
struct SerialPortDescription {
    QString name;           // "ttyUSB0"
    QString systemLocation; // "/dev/ttyUSB0"
    std::optional<quint16> vendorId;
    std::optional<quint16> productId;
    QString serialNumber;
    QString manufacturer;
    QString byIdName; // its link in /dev/serial/by-id, empty when it has none
};

// The device paths of COM1 to COM4, empty for a COM port that has none.
// overrides[n-1], when not empty, is COM n; otherwise COM n is the n-th of
// the ports: USB and ACM adapters first, ordered by their by-id name, serial
// number and path, so that one adapter keeps its COM number from one start to
// the next, then the built-in ports by path.
QStringList OrderComPorts(QList<SerialPortDescription> ports, const QStringList& overrides);

// What the environment says of COM1 to COM4: the path in ZRM_COMn where that
// is set; on Windows COMn where it is not, as the system names its ports
// itself; empty otherwise.
QStringList ComPortOverrides();

// What became of one COM port in a scan.
enum class PortOutcome { Opened, NotPresent, Denied, Busy, Failed, Silent, Answered };

// "COM1 /dev/ttyUSB0: answered", one line of the scan's report.
QString ScanLine(int n, const QString& path, PortOutcome outcome);

// Control characters, backslash and bytes beyond ASCII written as escapes
// (\r, \n, \t, \\, \xNN), so that a line of the wire trace shows every byte.
QString EscapeControls(QStringView text);

// LeadingNumber in single precision, the panel's type for every value; a
// number beyond its range ("1E99") gives the largest single instead.
float SingleNumber(QStringView text);

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

// The six display fields of a status line ("L" payload), cut unchanged from
// their fixed positions; fields beyond the end of a short line are empty.
struct StatusTexts {
    QString voltage;      // positions 1 to 5
    QString current;      // 7 to 11
    QString power;        // 13 to 17
    QString voltageLimit; // 19 to 20
    QString currentLimit; // 22 to 25
    QString powerLimit;   // 27 to 29
};

StatusTexts CutStatusTexts(QStringView payload);

// The number a field holds when it is a plain decimal number and nothing else:
// digits with at most one '.', blanks only around them. Nothing for a sign, a
// letter, a blank field or a stray character ("-1", "4x", "  ").
std::optional<float> PlainNumber(QStringView field);

// The state digit at a 1-based position: exactly one character '0' to '9',
// nothing otherwise (a line too short included).
std::optional<std::int16_t> StatusDigit(QStringView payload, qsizetype position);

// Reads the status line that found the supply into the state: the set-point
// and the three limits from the display texts, then the output,
// over-temperature, fine-mode and key-lock digits in that order. Stops at the
// first digit field that is not a digit, keeping what was read before it, and
// returns whether all four digits were read.
bool ReadConnectionStatus(QStringView payload, PanelState& state, StatusTexts& texts);

// What a poll shows: dis_v only outside fine mode.
struct PollTexts {
    std::optional<QString> voltage;
    QString current;
    QString power;
    QString currentLimit;
    QString powerLimit;
};

// Takes a poll reply into the state when it is a status line: not empty, not
// led by a capital letter, at least 37 characters with its LF, and a digit at
// the over-temperature position. A taken reply clears the timeout count and
// sets the over-temperature digit, the current and power limits, and the
// set-point unless the fine mode hides the voltage or a percent offset is
// being edited. Returns false, changing nothing, for any other reply.
bool ReadPollStatus(QStringView reply, PanelState& state, PollTexts& texts);

// The row of the model table whose maximum voltage lies within 0.01 V of the
// reported one (the first such row), or -1.
int MatchModelRow(double maxVoltage, const PanelState& state);
