// SPDX-License-Identifier: GPL-3.0-or-later
// The run file: a CSV file that a spreadsheet reads and writes. Qt Core only.
//
//   # ZRM run
//   repeat,1
//   end,output off
//   stop after (s),36000
//   stop when current below (A),0.1
//   stop when current below for (s),60
//   stop when voltage above (V),
//   stop when voltage below (V),
//   stop when charge reaches (Ah),
//   stop when energy reaches (Wh),
//   voltage (V),current limit (A),power limit (W),duration (s),ramp
//   14.40,2.00,,36000,no
//
// Settings of the run come first, one "key,value" line each; then the header
// line, exactly the five column names above; then one line per step. An empty
// cell is a value not given: a stop condition that is off, a limit that the
// step leaves as it is, a jump. "end" is "output off" (when not given) or
// "keep last step"; "repeat" is 1 when not given; "ramp" is "yes" or "no".
// Numbers are plain decimals with '.' and no sign or exponent; times are in
// seconds with at most 3 decimals. Words and keys may be in any case; cells
// may be quoted, blanks around a cell, empty cells at the end of a line,
// empty lines and lines that start with '#' are ignored; CRLF and a UTF-8
// byte-order mark are read too. The reader refuses the first line it cannot
// read, with its number and why; the values are checked against the model
// afterwards (ValidateRun).
#pragma once

#include "run_model.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <utility>

struct RunFileError {
    int line = 0; // 1-based; 0 for the file as a whole
    QString reason;

    QString Text() const;
};

struct RunFile {
    Run run;
    std::optional<RunFileError> error;
};

// A file larger than this is not read.
inline constexpr qint64 kMaxRunFileBytes = 1024 * 1024;

RunFile ReadRunCsv(QStringView text);
// Every setting (empty when not given), the header and the steps, with LF.
QString RunCsv(const Run& run);

// The pieces of the file: the step columns' names, each setting's key and
// value in the order they are written, a step's cells, and one line of cells,
// quoted where a cell needs it.
QStringList RunStepHeader();
QList<std::pair<QLatin1String, QString>> RunSettingCells(const Run& run);
QStringList RunStepCells(const RunStep& step);
QString CsvLineOf(const QStringList& cells);

RunFile LoadRunFile(const QString& path);
// Writes the file whole or not at all; false, with error saying why, when it
// cannot.
bool SaveRunFile(const QString& path, const Run& run, QString& error);

// A plain decimal ("12", "0.5", ".5"): digits with at most one '.'.
std::optional<double> DecimalFromText(QStringView text);
// Seconds with at most 3 decimals, in milliseconds.
std::optional<qint64> MillisecondsFromText(QStringView text);
