// SPDX-License-Identifier: GPL-3.0-or-later
// The run window: the steps of a run in a table and its settings beside
// them, to edit, load and save as a run file; Start, Pause or Resume and Stop;
// the step in progress, the time left, what the run delivered, the panel's
// counters with their reset, and how the last run ended. What goes wrong
// (a file refused, a run that cannot start) is said in the window itself.
#pragma once

#include "run_counters.h"
#include "run_executor.h"
#include "run_model.h"

#include <QWidget>
#include <variant>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;

// "1:02:03" for an hour, two minutes and three seconds; hours run on past a day.
QString DurationText(qint64 ms);
// "Running step 2 of 5, pass 1 of 1." and the like: where the run stands or
// how it ended.
QString RunStateText(const RunProgress& progress, EndAction end);

class RunWindow : public QWidget {
    Q_OBJECT
public:
    RunWindow(RunExecutor& executor, QWidget* parent);

    // The run that the table and the fields give, or the first fault in them
    // with the step or the field it is in.
    std::variant<Run, QString> RunFromFields() const;
    // The run in the table and the fields.
    void ShowRun(const Run& run);
    // Loads the run file into the table, or says why it was refused and
    // leaves the table as it was. A run outside the connected model's ranges
    // is loaded, with what is out of range said.
    bool LoadFile(const QString& path);
    bool SaveFile(const QString& path);
    // The executor's state and the panel's counters.
    void ShowProgress();
    void ShowTotals(const EnergyTotals& totals);

    QTableWidget* steps;
    QPushButton* addStep;
    QPushButton* removeStep;
    QPushButton* load;
    QPushButton* save;
    QSpinBox* repeat;
    QComboBox* end;
    QLineEdit* stopAfter;
    QLineEdit* currentBelow;
    QLineEdit* currentBelowFor;
    QLineEdit* voltageAbove;
    QLineEdit* voltageBelow;
    QLineEdit* ampHours;
    QLineEdit* wattHours;
    QPushButton* start;
    QPushButton* pause;
    QPushButton* stop;
    QPushButton* resetCounters;
    QLabel* problem;
    QLabel* state;
    QLabel* timeLeft;
    QLabel* delivered;
    QLabel* counters;

private:
    void AddStep();
    void StartRun();
    void PauseOrResume();
    void AskLoad();
    void AskSave();
    void SayProblem(const QString& text);
    void AppendStepRow(const QStringList& cells, bool ramp);
    QList<QLineEdit*> StopFields() const;

    RunExecutor& executor_;
    QWidget* editing_; // the table, its keys and the settings: locked while a run is active
};
