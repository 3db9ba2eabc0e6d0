// SPDX-License-Identifier: GPL-3.0-or-later
#include "run_window.h"

#include "run_csv.h"
#include "run_texts.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

constexpr int kRampColumn = 4;
// What a new first step holds.
const QStringList kNewStep{QStringLiteral("0.00"), QString(), QString(), QStringLiteral("10")};

QString OutcomeText(RunOutcome outcome) {
    switch (outcome) {
    case RunOutcome::Completed:
        return RunWindowText::Completed;
    case RunOutcome::ElapsedTime:
        return RunWindowText::ElapsedTime;
    case RunOutcome::CurrentBelow:
        return RunWindowText::CurrentBelow;
    case RunOutcome::VoltageAbove:
        return RunWindowText::VoltageAbove;
    case RunOutcome::VoltageBelow:
        return RunWindowText::VoltageBelow;
    case RunOutcome::AmpHours:
        return RunWindowText::AmpHours;
    case RunOutcome::WattHours:
        return RunWindowText::WattHours;
    case RunOutcome::Stopped:
        return RunWindowText::Stopped;
    case RunOutcome::OutputKey:
        return RunWindowText::OutputKey;
    case RunOutcome::LinkLost:
        return RunWindowText::LinkLost;
    }
    return {};
}

QString CounterText(double value) {
    return QString::number(value, 'f', RunDecimals::Counter);
}

QLineEdit* MakeField(QWidget* parent, const char* name, QLatin1String field) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setAccessibleName(field);
    return edit;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    return button;
}

QLabel* MakeLabel(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setWordWrap(true);
    return label;
}

QString DocumentsFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

} // namespace

QString DurationText(qint64 ms) {
    const qint64 seconds = std::max<qint64>(0, ms + 999) / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString RunStateText(const RunProgress& progress, EndAction end) {
    const auto at = [&](QLatin1String text) {
        return QString(text)
            .arg(progress.position.step + 1)
            .arg(progress.steps)
            .arg(progress.position.pass + 1)
            .arg(progress.passes);
    };
    switch (progress.state) {
    case RunState::Idle:
        return RunWindowText::NoRun;
    case RunState::Running:
        return at(RunWindowText::Running);
    case RunState::Paused:
        return at(RunWindowText::Paused);
    case RunState::Ending:
        return at(RunWindowText::Ending);
    case RunState::Ended:
        break;
    }
    const RunOutcome outcome = progress.outcome.value_or(RunOutcome::Completed);
    QString how = OutcomeText(outcome);
    if (EndActionFollows(outcome)) {
        how += end == EndAction::OutputOff ? QString(RunWindowText::OutputSwitchedOff)
                                           : QString(RunWindowText::LastStepKept);
    }
    return at(RunWindowText::EndedAt).arg(how);
}

RunWindow::RunWindow(RunExecutor& executor, QWidget* parent)
    : QWidget(parent, Qt::Window), executor_(executor), editing_(new QWidget(this)) {
    setObjectName(QStringLiteral("runWindow"));
    setWindowTitle(RunWindowText::Title);

    steps = new QTableWidget(0, static_cast<int>(RunStepHeader().size()), editing_);
    steps->setObjectName(QStringLiteral("steps"));
    steps->setAccessibleName(RunField::Steps);
    steps->setHorizontalHeaderLabels(RunStepHeader());
    steps->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    steps->horizontalHeader()->setStretchLastSection(true);
    addStep = MakeButton(editing_, "addStep", RunWindowText::AddStep);
    removeStep = MakeButton(editing_, "removeStep", RunWindowText::RemoveStep);
    load = MakeButton(editing_, "load", RunWindowText::Load);
    save = MakeButton(this, "save", RunWindowText::Save);

    repeat = new QSpinBox(editing_);
    repeat->setObjectName(QStringLiteral("repeat"));
    repeat->setAccessibleName(RunField::Repeat);
    repeat->setRange(1, kMaxRunRepeat);
    end = new QComboBox(editing_);
    end->setObjectName(QStringLiteral("end"));
    end->setAccessibleName(RunField::End);
    end->addItems({RunWord::OutputOff, RunWord::KeepLastStep});
    stopAfter = MakeField(editing_, "stopAfter", RunField::StopAfter);
    currentBelow = MakeField(editing_, "currentBelow", RunField::CurrentBelow);
    currentBelowFor = MakeField(editing_, "currentBelowFor", RunField::CurrentBelowFor);
    voltageAbove = MakeField(editing_, "voltageAbove", RunField::VoltageAbove);
    voltageBelow = MakeField(editing_, "voltageBelow", RunField::VoltageBelow);
    ampHours = MakeField(editing_, "ampHours", RunField::AmpHours);
    wattHours = MakeField(editing_, "wattHours", RunField::WattHours);

    start = MakeButton(this, "start", RunWindowText::Start);
    pause = MakeButton(this, "pause", RunWindowText::Pause);
    stop = MakeButton(this, "stop", RunWindowText::Stop);
    resetCounters = MakeButton(this, "resetCounters", RunWindowText::ResetCounters);
    problem = MakeLabel(this, "problem");
    problem->setStyleSheet(QStringLiteral("color: #b00000"));
    problem->hide();
    state = MakeLabel(this, "state");
    timeLeft = MakeLabel(this, "timeLeft");
    delivered = MakeLabel(this, "delivered");
    counters = MakeLabel(this, "counters");

    auto* tableKeys = new QHBoxLayout;
    tableKeys->addWidget(addStep);
    tableKeys->addWidget(removeStep);
    tableKeys->addStretch(1);
    tableKeys->addWidget(load);
    auto* settings = new QFormLayout;
    settings->addRow(QString(RunField::Repeat), repeat);
    settings->addRow(QString(RunField::End), end);
    const QList<std::pair<QLatin1String, QLineEdit*>> stops{
        {RunField::StopAfter, stopAfter},
        {RunField::CurrentBelow, currentBelow},
        {RunField::CurrentBelowFor, currentBelowFor},
        {RunField::VoltageAbove, voltageAbove},
        {RunField::VoltageBelow, voltageBelow},
        {RunField::AmpHours, ampHours},
        {RunField::WattHours, wattHours},
    };
    for (const auto& [field, edit] : stops) {
        settings->addRow(QString(field), edit);
    }
    auto* editingLayout = new QHBoxLayout(editing_);
    editingLayout->setContentsMargins(0, 0, 0, 0);
    auto* tableColumn = new QVBoxLayout;
    tableColumn->addWidget(steps, 1);
    tableColumn->addLayout(tableKeys);
    editingLayout->addLayout(tableColumn, 3);
    editingLayout->addLayout(settings, 2);

    auto* runKeys = new QHBoxLayout;
    runKeys->addWidget(start);
    runKeys->addWidget(pause);
    runKeys->addWidget(stop);
    runKeys->addStretch(1);
    runKeys->addWidget(save);
    auto* counterRow = new QHBoxLayout;
    counterRow->addWidget(counters, 1);
    counterRow->addWidget(resetCounters);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(editing_, 1);
    layout->addWidget(problem);
    layout->addLayout(runKeys);
    layout->addWidget(state);
    layout->addWidget(timeLeft);
    layout->addWidget(delivered);
    layout->addLayout(counterRow);

    connect(addStep, &QPushButton::clicked, this, &RunWindow::AddStep);
    connect(removeStep, &QPushButton::clicked, this, [this] {
        const int row = steps->currentRow() >= 0 ? steps->currentRow() : steps->rowCount() - 1;
        if (row >= 0) {
            steps->removeRow(row);
        }
    });
    connect(load, &QPushButton::clicked, this, &RunWindow::AskLoad);
    connect(save, &QPushButton::clicked, this, &RunWindow::AskSave);
    connect(start, &QPushButton::clicked, this, &RunWindow::StartRun);
    connect(pause, &QPushButton::clicked, this, &RunWindow::PauseOrResume);
    connect(stop, &QPushButton::clicked, &executor_, &RunExecutor::Stop);

    AddStep();
    resize(760, 480);
    ShowProgress();
    ShowTotals({});
}

QList<QLineEdit*> RunWindow::StopFields() const {
    return {stopAfter,    currentBelow, currentBelowFor, voltageAbove,
            voltageBelow, ampHours,     wattHours};
}

std::variant<Run, QString> RunWindow::RunFromFields() const {
    // The fields written out as a run file and read back, so the table and
    // a file obey one reader; each line remembers where it came from.
    QStringList lines;
    QStringList origins;
    const auto add = [&](const QStringList& cells, const QString& origin) {
        lines.append(CsvLineOf(cells));
        origins.append(origin);
    };
    add({RunField::Repeat, QString::number(repeat->value())}, {});
    add({RunField::End, end->currentText()}, {});
    const QList<QLineEdit*> fields = StopFields();
    const QList<std::pair<QLatin1String, QString>> keys = RunSettingCells(Run{});
    for (qsizetype i = 0; i < fields.size(); ++i) {
        add({keys[i + 2].first, fields[i]->text().trimmed()}, {});
    }
    add(RunStepHeader(), {});
    for (int row = 0; row < steps->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < kRampColumn; ++column) {
            const QTableWidgetItem* item = steps->item(row, column);
            cells.append(item != nullptr ? item->text().trimmed() : QString());
        }
        const QTableWidgetItem* ramp = steps->item(row, kRampColumn);
        cells.append(ramp != nullptr && ramp->checkState() == Qt::Checked ? QString(RunWord::Yes)
                                                                          : QString(RunWord::No));
        add(cells, QString(RunWindowText::StepOrigin).arg(row + 1));
    }
    RunFile file = ReadRunCsv(lines.join(u'\n'));
    if (!file.error) {
        return file.run;
    }
    const int line = file.error->line;
    if (line > 0 && !origins[line - 1].isEmpty()) {
        return QString(RunText::RunError).arg(origins[line - 1], file.error->reason);
    }
    return file.error->reason;
}

void RunWindow::ShowRun(const Run& run) {
    repeat->setValue(run.repeat);
    const QList<std::pair<QLatin1String, QString>> cells = RunSettingCells(run);
    end->setCurrentText(cells[1].second);
    const QList<QLineEdit*> fields = StopFields();
    for (qsizetype i = 0; i < fields.size(); ++i) {
        fields[i]->setText(cells[i + 2].second);
    }
    steps->setRowCount(0);
    for (const RunStep& step : run.steps) {
        AppendStepRow(RunStepCells(step).mid(0, kRampColumn), step.ramp);
    }
}

bool RunWindow::LoadFile(const QString& path) {
    const RunFile file = LoadRunFile(path);
    if (file.error) {
        SayProblem(QString(RunWindowText::LoadFailed).arg(path, file.error->Text()));
        return false;
    }
    ShowRun(file.run);
    const std::optional<QString> fault = executor_.Check(file.run);
    SayProblem(fault.value_or(QString()));
    return true;
}

bool RunWindow::SaveFile(const QString& path) {
    const std::variant<Run, QString> run = RunFromFields();
    if (const auto* fault = std::get_if<QString>(&run)) {
        SayProblem(QString(RunWindowText::NotSaved).arg(*fault));
        return false;
    }
    QString error;
    if (!SaveRunFile(path, std::get<Run>(run), error)) {
        SayProblem(QString(RunWindowText::SaveFailed).arg(path, error));
        return false;
    }
    SayProblem({});
    return true;
}

void RunWindow::ShowProgress() {
    const RunProgress progress = executor_.Progress();
    const bool active = executor_.Active();
    editing_->setEnabled(!active);
    start->setEnabled(!active);
    pause->setEnabled(progress.state == RunState::Running || progress.state == RunState::Paused);
    pause->setText(progress.state == RunState::Paused ? RunWindowText::Resume
                                                      : RunWindowText::Pause);
    stop->setEnabled(progress.state == RunState::Running || progress.state == RunState::Paused);
    state->setText(RunStateText(progress, executor_.CurrentRun().end));
    timeLeft->setVisible(active);
    timeLeft->setText(QString(RunWindowText::TimeLeft).arg(DurationText(progress.leftMs)));
    delivered->setVisible(progress.state != RunState::Idle);
    delivered->setText(QString(RunWindowText::Delivered)
                           .arg(CounterText(progress.delivered.ampHours),
                                CounterText(progress.delivered.wattHours)));
}

void RunWindow::ShowTotals(const EnergyTotals& totals) {
    counters->setText(QString(RunWindowText::Counters)
                          .arg(CounterText(totals.ampHours), CounterText(totals.wattHours)));
}

void RunWindow::AddStep() {
    const int last = steps->rowCount() - 1;
    if (last < 0) {
        AppendStepRow(kNewStep, false);
        return;
    }
    QStringList cells;
    for (int column = 0; column < kRampColumn; ++column) {
        const QTableWidgetItem* item = steps->item(last, column);
        cells.append(item != nullptr ? item->text() : QString());
    }
    AppendStepRow(cells, false);
}

void RunWindow::AppendStepRow(const QStringList& cells, bool ramp) {
    const int row = steps->rowCount();
    steps->insertRow(row);
    for (int column = 0; column < kRampColumn; ++column) {
        steps->setItem(row, column, new QTableWidgetItem(cells.value(column)));
    }
    auto* check = new QTableWidgetItem;
    check->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    check->setCheckState(ramp ? Qt::Checked : Qt::Unchecked);
    steps->setItem(row, kRampColumn, check);
}

void RunWindow::StartRun() {
    const std::variant<Run, QString> run = RunFromFields();
    if (const auto* fault = std::get_if<QString>(&run)) {
        SayProblem(QString(RunWindowText::NotStarted).arg(*fault));
        return;
    }
    const std::optional<QString> refusal = executor_.Start(std::get<Run>(run));
    SayProblem(refusal ? QString(RunWindowText::NotStarted).arg(*refusal) : QString());
    ShowProgress();
}

void RunWindow::PauseOrResume() {
    if (executor_.State() == RunState::Paused) {
        executor_.Resume();
    } else {
        executor_.Pause();
    }
}

void RunWindow::AskLoad() {
    const QString path = QFileDialog::getOpenFileName(this, RunWindowText::LoadTitle,
                                                      DocumentsFolder(), RunWindowText::FileFilter);
    if (!path.isEmpty()) {
        LoadFile(path);
    }
}

void RunWindow::AskSave() {
    const QString path = QFileDialog::getSaveFileName(
        this, RunWindowText::SaveTitle, QDir(DocumentsFolder()).filePath(QStringLiteral("run.csv")),
        RunWindowText::FileFilter);
    if (!path.isEmpty()) {
        SaveFile(path);
    }
}

void RunWindow::SayProblem(const QString& text) {
    problem->setText(text);
    problem->setVisible(!text.isEmpty());
}
