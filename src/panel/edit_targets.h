// SPDX-License-Identifier: GPL-3.0-or-later
// The edit targets, one row each: what lbl_cmd says while it is the target,
// what the up and down keys do to it, what ENTER and CE do, and for a limit
// the indicator that blinks, the keys its edit disables and the long press of
// its key. ENTER, CE, the step keys, the limit keys and the percent keys read
// the row of EditTarget: a new target is one row.
#pragma once

#include "main_window.h"

struct EditTargetRow;

// What a limit's key opens; all null for the other targets.
struct LimitEdit {
    QLabel* Form1::*indicator;        // blinks while the edit is open
    void (Form1::*enableGroup)(bool); // the keys that the edit disables
    void (*toMaximum)(Form1&);        // a long press: the model's maximum, shown and sent
};

struct EditTargetRow {
    QStringView name;                // one of EditTargets, as EditTarget holds it
    QLatin1String caption;           // lbl_cmd while it is the target
    float PanelState::*value;        // the edited value, which EditOrigin keeps
    bool (*step)(Form1&, Direction); // whether the step was taken, not refused at a bound
    // ENTER and CE, before the idle target returns; null on the idle target,
    // which both leave alone.
    void (*accept)(Form1&, const EditTargetRow&);
    void (*cancel)(Form1&, const EditTargetRow&);
    LimitEdit limit;

    bool IsLimitEdit() const { return limit.indicator != nullptr; }
};

// The row of a target; null for a text that names none.
const EditTargetRow* FindEditTarget(QStringView target);

// Makes the row the target and names it on lbl_cmd.
void SelectEditTarget(Form1& form, const EditTargetRow& row);

// The steps (step_adjust.cpp): false when refused at a bound, and then
// nothing changes. Remote control steps the set-point with StepVoltageSet.
bool StepVoltageSet(Form1& form, Direction direction);
bool StepVoltageLimit(Form1& form, Direction direction);
bool StepCurrentLimit(Form1& form, Direction direction);
bool StepPowerLimit(Form1& form, Direction direction);
bool StepPlusPercent(Form1& form, Direction direction);
bool StepMinusPercent(Form1& form, Direction direction);

// ENTER and CE (edit_keys.cpp).
void AcceptLimit(Form1& form, const EditTargetRow& row);
void CancelVoltageLimit(Form1& form, const EditTargetRow& row);
void CancelCurrentLimit(Form1& form, const EditTargetRow& row);
void CancelPowerLimit(Form1& form, const EditTargetRow& row);
void AcceptPlusPercent(Form1& form, const EditTargetRow& row);
void AcceptMinusPercent(Form1& form, const EditTargetRow& row);
void CancelPlusPercent(Form1& form, const EditTargetRow& row);
void CancelMinusPercent(Form1& form, const EditTargetRow& row);

// The long presses of the limit keys (limit_keys.cpp).
void VoltageLimitToMaximum(Form1& form);
void CurrentLimitToMaximum(Form1& form);
void AllLimitsToMaximum(Form1& form);
