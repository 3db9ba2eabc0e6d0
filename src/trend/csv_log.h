// SPDX-License-Identifier: GPL-3.0-or-later
// The CSV log: its header and rows, and the file they go to. Each row reaches
// the file in one unbuffered write, so a program that is killed or a cable
// that is pulled leaves only whole rows behind. Qt Core only.
#pragma once

#include "run_counters.h"
#include "status_line.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QString>

// The names of the columns with their units, and the line ending.
QString CsvHeader();

// A field of the status line as a plain number with the digits after its
// point that the supply sent ("015.2" gives "15.2"); empty for a field that
// is not a plain number ("1x.00", "-1", blanks), which the log leaves empty
// rather than write a number the supply never sent.
QString CsvNumber(const StatusField& field);

// One row: the local time with milliseconds and its offset from UTC, the
// seconds since the log began, the measured values and the limits from the
// status line, the model and the port, then the panel's counters after this
// reading; the line ending included. A field that is not a number is an
// empty cell: the row keeps its columns.
QString CsvRow(const QDateTime& time, double seconds, const StatusLine& status,
               const QString& model, const QString& port, const EnergyTotals& counters);

class CsvLog {
public:
    // Opens the file for appending and writes the header into an empty one.
    // False, with Error() saying why, when it cannot.
    bool Open(const QString& path);
    // Writes one row whole. False, with Error(), when it cannot; a row cut
    // short by a full disk is taken back out of the file.
    bool Append(const QString& row);
    void Close();

    bool IsOpen() const { return file_.isOpen(); }
    // Whether the file at Path() is still the one being written: false once
    // it was deleted, its folder removed or another file put in its place.
    bool StillThere() const;
    QString Path() const { return file_.fileName(); }
    QString Error() const { return error_; }
    // Seconds since the log was opened, on a clock that never goes back.
    double Seconds() const { return static_cast<double>(started_.nsecsElapsed()) / 1e9; }

private:
    bool Write(const QString& text);

    QFile file_;
    QString error_;
    QElapsedTimer started_;
};
