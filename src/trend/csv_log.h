// SPDX-License-Identifier: GPL-3.0-or-later
// The CSV log: its header and rows, and the file they go to. Each row reaches
// the file in one unbuffered write, so a program that is killed or a cable
// that is pulled leaves only whole rows behind. Qt Core only.
#pragma once

#include "status_line.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QString>

// The names of the columns with their units, and the line ending.
QString CsvHeader();

// A display text as a plain number with the digits after its point that the
// supply sent ("015.2" gives "15.2").
QString CsvNumber(QStringView text);

// One row: the local time with milliseconds and its offset from UTC, the
// seconds since the log began, the measured values and the limits from the
// status line, the model and the port; the line ending included.
QString CsvRow(const QDateTime& time, double seconds, const StatusLine& status,
               const QString& model, const QString& port);

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
