// SPDX-License-Identifier: GPL-3.0-or-later
// The texts of runs that the user sees: the names of a run's fields (the
// same in the CSV file and in the errors) and the reasons a run is refused.
#pragma once

#include <QLatin1String>
#include <QString>

// The fields of a step (the columns of the CSV file) and of the run as a
// whole (the keys before the columns), each with its unit.
namespace RunField {
inline constexpr QLatin1String Voltage{"voltage (V)"};
inline constexpr QLatin1String CurrentLimit{"current limit (A)"};
inline constexpr QLatin1String PowerLimit{"power limit (W)"};
inline constexpr QLatin1String Duration{"duration (s)"};
inline constexpr QLatin1String Ramp{"ramp"};
inline constexpr QLatin1String Steps{"steps"};
inline constexpr QLatin1String Repeat{"repeat"};
inline constexpr QLatin1String End{"end"};
inline constexpr QLatin1String StopAfter{"stop after (s)"};
inline constexpr QLatin1String CurrentBelow{"stop when current below (A)"};
inline constexpr QLatin1String CurrentBelowFor{"stop when current below for (s)"};
inline constexpr QLatin1String VoltageAbove{"stop when voltage above (V)"};
inline constexpr QLatin1String VoltageBelow{"stop when voltage below (V)"};
inline constexpr QLatin1String AmpHours{"stop when charge reaches (Ah)"};
inline constexpr QLatin1String WattHours{"stop when energy reaches (Wh)"};
} // namespace RunField

// The words a field takes.
namespace RunWord {
inline constexpr QLatin1String Yes{"yes"};
inline constexpr QLatin1String No{"no"};
inline constexpr QLatin1String OutputOff{"output off"};
inline constexpr QLatin1String KeepLastStep{"keep last step"};
} // namespace RunWord

namespace RunText {
// "Step 3, voltage (V): ..." and, for the run as a whole, "repeat: ...".
inline constexpr QLatin1String StepError{"Step %1, %2: %3"};
inline constexpr QLatin1String RunError{"%1: %2"};
inline constexpr QLatin1String LineError{"Line %1: %2"};

inline constexpr QLatin1String NoSteps{"a run needs at least one step"};
inline constexpr QLatin1String TooManySteps{"a run has at most %1 steps"};
inline constexpr QLatin1String RepeatRange{"%1 is not a whole number from 1 to %2"};
inline constexpr QLatin1String Negative{"%1 is below 0"};
inline constexpr QLatin1String NotPositive{"%1 is not above 0"};
inline constexpr QLatin1String Decimals{"%1 has more than %2 decimals"};
inline constexpr QLatin1String AboveVoltageLimit{"%1 V is above the voltage limit in force, %2 V"};
inline constexpr QLatin1String BelowLeastCurrent{"%1 A is below the least current limit, %2 A"};
inline constexpr QLatin1String AboveModelCurrent{"%1 A is above the model's maximum, %2 A"};
inline constexpr QLatin1String BelowLeastPower{"%1 W is below the least power limit, %2 W"};
inline constexpr QLatin1String AboveModelPower{"%1 W is above the model's maximum, %2 W"};
inline constexpr QLatin1String AbovePowerAtLimit{
    "%1 W is above what the model's current allows at the voltage limit in force, %2 W"};
inline constexpr QLatin1String AboveModelVoltage{"%1 V is above the model's maximum, %2 V"};
inline constexpr QLatin1String TooLong{"%1 s is longer than %2 s"};
inline constexpr QLatin1String TooLarge{"%1 is above %2"};
inline constexpr QLatin1String BelowNotUnderAbove{
    "%1 V is not below the voltage to stop above, %2 V: every reading would stop the run"};
inline constexpr QLatin1String ForWithoutCurrent{
    "a time to stay below a current needs the current: stop when current below (A)"};

// Reasons the CSV reader gives.
inline constexpr QLatin1String NotANumber{"%1: \"%2\" is not a number (digits with at most one "
                                          "'.', no sign)"};
inline constexpr QLatin1String SecondsDecimals{"%1: \"%2\" has more than 3 decimals"};
inline constexpr QLatin1String NotAWord{"%1: \"%2\" is not one of: %3"};
inline constexpr QLatin1String Missing{"%1: a value is needed"};
inline constexpr QLatin1String UnknownKey{"\"%1\" is not a setting of a run"};
inline constexpr QLatin1String DuplicateKey{"%1 is given twice"};
inline constexpr QLatin1String ExtraCells{"more cells than: %1"};
inline constexpr QLatin1String BadHeader{"the header must be: %1"};
inline constexpr QLatin1String OpenQuote{"a quote that is not closed"};
inline constexpr QLatin1String NoHeader{"the file ends before the header line: %1"};
inline constexpr QLatin1String FileTooLarge{"the file is larger than %1 bytes"};
inline constexpr QLatin1String NotUtf8{"the file is not UTF-8 text"};

// Why a run does not start.
inline constexpr QLatin1String AlreadyActive{"a run is active"};
inline constexpr QLatin1String NoSupply{"no supply is connected: press REM to connect"};
inline constexpr QLatin1String EditOpen{
    "a limit or percent edit is open on the panel: close it with ENTER, CE or NORMAL first"};
} // namespace RunText

// The run window and the status bar.
namespace RunWindowText {
inline constexpr QLatin1String Title{"ZRM Run"};
inline constexpr QLatin1String MenuEntry{"Show run"};
inline constexpr QLatin1String AddStep{"Add step"};
inline constexpr QLatin1String RemoveStep{"Remove step"};
inline const QString Load = QStringLiteral("Load\u2026");
inline const QString Save = QStringLiteral("Save\u2026");
inline constexpr QLatin1String Start{"Start"};
inline constexpr QLatin1String Pause{"Pause"};
inline constexpr QLatin1String Resume{"Resume"};
inline constexpr QLatin1String Stop{"Stop"};
inline constexpr QLatin1String ResetCounters{"Reset counters"};
inline constexpr QLatin1String FileFilter{"Run files (*.csv);;All files (*)"};
inline constexpr QLatin1String LoadTitle{"Load a run"};
inline constexpr QLatin1String SaveTitle{"Save the run"};
inline constexpr QLatin1String RefusedTitle{"ZRM Run"};
inline constexpr QLatin1String LoadFailed{"The run file %1 was not loaded.\n%2"};
inline constexpr QLatin1String SaveFailed{"The run file %1 was not saved: %2"};
inline constexpr QLatin1String NotStarted{"The run was not started: %1"};
inline constexpr QLatin1String NotSaved{"The run was not saved: %1"};

inline constexpr QLatin1String StepOrigin{"Step %1"};
inline constexpr QLatin1String NoRun{"No run yet."};
inline constexpr QLatin1String Running{"Running step %1 of %2, pass %3 of %4."};
inline constexpr QLatin1String Paused{"Paused at step %1 of %2, pass %3 of %4."};
inline constexpr QLatin1String Ending{"Ending at step %1 of %2, pass %3 of %4."};
inline constexpr QLatin1String EndedAt{"Ended at step %1 of %2, pass %3 of %4: %5."};
inline constexpr QLatin1String TimeLeft{"Time left: %1"};
inline constexpr QLatin1String Delivered{"This run: %1 Ah, %2 Wh"};
inline constexpr QLatin1String Counters{"Counters: %1 Ah, %2 Wh"};

// How a run ended.
inline constexpr QLatin1String Completed{"completed"};
inline constexpr QLatin1String ElapsedTime{"its time was up"};
inline constexpr QLatin1String CurrentBelow{"the current stayed below its threshold"};
inline constexpr QLatin1String VoltageAbove{"the voltage rose above its limit"};
inline constexpr QLatin1String VoltageBelow{"the voltage fell below its limit"};
inline constexpr QLatin1String AmpHours{"the charge was delivered"};
inline constexpr QLatin1String WattHours{"the energy was delivered"};
inline constexpr QLatin1String Stopped{"stopped"};
inline constexpr QLatin1String OutputKey{"stopped by OUTPUT, the output switched off"};
inline constexpr QLatin1String LinkLost{
    "the link to the supply was lost; the supply keeps its last setting"};
inline constexpr QLatin1String OutputSwitchedOff{"; the output was switched off"};
inline constexpr QLatin1String LastStepKept{"; the supply keeps the last step"};

// The status bar's run panel, and its tooltip (the window's state line).
inline constexpr QLatin1String PanelRunning{"Run %1/%2"};
inline constexpr QLatin1String PanelPaused{"Paused %1/%2"};
inline constexpr QLatin1String PanelLinkLost{"Run lost %1/%2"};
inline constexpr QLatin1String PanelName{"Run"};
} // namespace RunWindowText
