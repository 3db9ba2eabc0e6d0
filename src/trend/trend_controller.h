// SPDX-License-Identifier: GPL-3.0-or-later
// Joins the trend and the CSV log to the panel without touching its keys or
// its wire: it listens to the monitor poll's status lines, opens the trend
// window on Ctrl+T and the log on Ctrl+L, and offers both in a context menu
// on the Monitor frame.
#pragma once

#include "csv_log.h"
#include "trend_samples.h"
#include "trend_window.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QPointer>

class Form1;
class QAction;
class QMenu;

class TrendController : public QObject {
    Q_OBJECT
public:
    // The environment variable that names the log file instead of the file dialog.
    static constexpr const char* kLogFileVariable = "ZRM_LOG_FILE";

    explicit TrendController(Form1& panel);
    ~TrendController() override;

    void ShowTrend();
    // Stops a running log, or starts one in the file that the dialog (or
    // ZRM_LOG_FILE) names.
    void ToggleLog();
    void StartLog(const QString& path);
    void StopLog();
    // The panel's counters, for the trend window and the log's rows.
    void ShowCounters(const EnergyTotals& totals);

    bool Logging() const { return log_.IsOpen(); }
    TrendRing& Ring() { return ring_; }
    const TrendClock& Clock() const { return clock_; }
    // Null until the trend was first shown.
    TrendWindow* Window() const { return window_; }
    QMenu* Menu() const { return menu_; }

signals:
    // A log started (true) or ended.
    void LoggingChanged(bool on);
    // The trend window's reset of the counters.
    void ResetCountersAsked();

private:
    void TakePoll(const StatusLine& status);
    bool eventFilter(QObject* watched, QEvent* event) override;
    void AddShortcuts(QWidget* window);
    void ShowLogState();
    // Closes the file and stops watching its folder.
    void CloseLog();
    QString ChooseLogFile();
    // Ends the log and tells the user, after the poll that found the fault.
    void FailLog(const QString& text);
    // Ends the log with its message when its file has gone.
    void CheckLogFile();

    Form1& panel_;
    TrendClock clock_;
    TrendRing ring_;
    CsvLog log_;
    // The log file's folder, so that a file deleted while no readings come
    // (the output off) is noticed at once.
    QFileSystemWatcher* logFolder_;
    QPointer<TrendWindow> window_;
    QMenu* menu_;
    QAction* logAction_;
    EnergyTotals counters_;
    // The next sample starts a new segment: a poll failed or stopped since the last one.
    bool breakLine_ = true;
};
