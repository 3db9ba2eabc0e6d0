// SPDX-License-Identifier: GPL-3.0-or-later
#include "trend_controller.h"
#include "main_window.h"
#include "trend_texts.h"

#include <QContextMenuEvent>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QStandardPaths>
#include <QTimer>

namespace {

// Readings further apart than two missed polls are not joined.
constexpr qint64 kGapMs = 3000;

} // namespace

TrendController::TrendController(Form1& panel)
    : QObject(&panel), panel_(panel), logFolder_(new QFileSystemWatcher(this)),
      menu_(new QMenu(&panel)) {
    menu_->setObjectName(QStringLiteral("trendMenu"));
    menu_->addAction(TrendText::ShowTrend, this, &TrendController::ShowTrend);
    logAction_ = menu_->addAction(TrendText::StartLog, this, &TrendController::ToggleLog);

    connect(logFolder_, &QFileSystemWatcher::directoryChanged, this,
            &TrendController::CheckLogFile);
    connect(&panel_, &Form1::PollTaken, this, &TrendController::TakePoll);
    connect(&panel_, &Form1::PollMissed, this, [this] { breakLine_ = true; });
    // Both keys stop the monitor poll (OUTPUT when it switches off, REM
    // while it reconnects): the line breaks there.
    for (PanelKey* key : {panel_.cmd_output, panel_.cmd_rem}) {
        connect(key, &PanelKey::MouseDown, this, [this] { breakLine_ = true; });
    }
    AddShortcuts(&panel_);
    panel_.frm_monitor->installEventFilter(this);
    for (QWidget* child : panel_.frm_monitor->findChildren<QWidget*>()) {
        child->installEventFilter(this);
    }
}

TrendController::~TrendController() {
    delete window_;
}

void TrendController::AddShortcuts(QWidget* window) {
    auto* trend = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_T), window);
    connect(trend, &QShortcut::activated, this, &TrendController::ShowTrend);
    auto* log = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_L), window);
    connect(log, &QShortcut::activated, this, &TrendController::ToggleLog);
}

bool TrendController::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ContextMenu) {
        return QObject::eventFilter(watched, event);
    }
    menu_->popup(static_cast<QContextMenuEvent*>(event)->globalPos());
    return true;
}

void TrendController::ShowTrend() {
    if (!window_) {
        window_ = new TrendWindow(ring_, clock_, &panel_);
        // Closing the panel still ends the program while the trend is open.
        window_->setAttribute(Qt::WA_QuitOnClose, false);
        AddShortcuts(window_);
        connect(window_->resetCounters, &QPushButton::clicked, this,
                &TrendController::ResetCountersAsked);
        window_->ShowCounters(counters_);
        ShowLogState();
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void TrendController::ToggleLog() {
    if (log_.IsOpen()) {
        StopLog();
        return;
    }
    const QString path = ChooseLogFile();
    if (!path.isEmpty()) {
        StartLog(path);
    }
}

QString TrendController::ChooseLogFile() {
    const QString preset = qEnvironmentVariable(kLogFileVariable);
    if (!preset.isEmpty()) {
        return preset;
    }
    const QString name =
        QString(TrendText::SuggestedName)
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-HHmmss")));
    const QDir documents(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    return QFileDialog::getSaveFileName(&panel_, TrendText::DialogTitle, documents.filePath(name),
                                        TrendText::DialogFilter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

void TrendController::StartLog(const QString& path) {
    const QString file = QFileInfo(path).absoluteFilePath();
    if (!log_.Open(file)) {
        CloseLog();
        FailLog(QString(TrendText::OpenFailed).arg(file, log_.Error()));
        return;
    }
    logFolder_->addPath(QFileInfo(file).absolutePath());
    ShowLogState();
}

void TrendController::StopLog() {
    CloseLog();
    ShowLogState();
}

void TrendController::CheckLogFile() {
    if (log_.IsOpen() && !log_.StillThere()) {
        CloseLog();
        FailLog(QString(TrendText::FileGone).arg(log_.Path()));
    }
}

void TrendController::CloseLog() {
    log_.Close();
    if (!logFolder_->directories().isEmpty()) {
        logFolder_->removePaths(logFolder_->directories());
    }
}

void TrendController::ShowCounters(const EnergyTotals& totals) {
    counters_ = totals;
    if (window_) {
        window_->ShowCounters(totals);
    }
}

void TrendController::ShowLogState() {
    logAction_->setText(log_.IsOpen() ? QString(TrendText::StopLog) : TrendText::StartLog);
    emit LoggingChanged(log_.IsOpen());
    if (window_) {
        window_->ShowLogging(log_.IsOpen() ? log_.Path() : QString());
    }
}

void TrendController::FailLog(const QString& text) {
    ShowLogState();
    QTimer::singleShot(0, &panel_, [this, text] {
        panel_.ShowMessage(text, TrendText::LogErrorTitle, {}, QMessageBox::Warning);
    });
}

void TrendController::TakePoll(const StatusLine& status) {
    auto sample = SampleFromStatus(status, clock_.NowMs());
    if (!sample) {
        breakLine_ = true;
        return;
    }
    sample->startsSegment = breakLine_ || ring_.Empty() || sample->ms - ring_.Back().ms > kGapMs;
    breakLine_ = false;
    ring_.Append(*sample);
    CheckLogFile();
    if (log_.IsOpen()) {
        const QString row = CsvRow(QDateTime::currentDateTime(), log_.Seconds(), status,
                                   panel_.StatusText(StatusPanel::Model),
                                   panel_.StatusText(StatusPanel::Port), counters_);
        if (!log_.Append(row)) {
            CloseLog();
            FailLog(QString(TrendText::WriteFailed).arg(log_.Path(), log_.Error()));
        }
    }
    if (window_) {
        window_->SampleAdded();
    }
}
