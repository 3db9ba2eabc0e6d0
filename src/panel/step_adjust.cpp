// SPDX-License-Identifier: GPL-3.0-or-later
#include "edit_targets.h"
#include "main_window.h"
#include "panel_rules.h"
#include "supply_commands.h"

#include <QScopedValueRollback>

namespace {

bool IsStepRow(int fineMode) {
    return fineMode == 0 || fineMode == 1;
}

// A candidate on the wrong side of its bound refuses the step; equal passes.
bool WithinBounds(float candidate, float low, float high, Direction direction) {
    return direction > 0 ? !(candidate > high) : !(candidate < low);
}

// The bounds of a power step: the model's power, and the model's current at the
// voltage limit (as a product and as a quotient) going up; 1 W and the product of
// the two other limits going down.
bool PowerStepAllowed(const Form1& form, float candidate, Direction direction) {
    const float maxCurrent = form.ModelMaxCurrent[form.ModelIndex];
    if (direction < 0) {
        return !(candidate < kLeastPowerLimit) &&
               !(candidate > form.VoltageLimit * form.CurrentLimit);
    }
    // Without a voltage limit the quotient has no meaning and no power is allowed.
    return !(candidate > form.ModelMaxPower[form.ModelIndex]) &&
           !(candidate > maxCurrent * form.VoltageLimit) && form.VoltageLimit > 0.0f &&
           !(candidate / form.VoltageLimit > maxCurrent);
}

// Kept on the panel only: ENTER sends the change as a whole.
bool StepPercent(float& percent, EntryBox* box, float low, float high, Direction direction) {
    const float candidate = percent + static_cast<float>(direction);
    if (!WithinBounds(candidate, low, high, direction)) {
        return false;
    }
    percent = candidate;
    box->setText(QString::number(percent));
    return true;
}

// One press of the up or down key on the present target; none on a text
// that names no target.
void Step(Form1& form, Direction direction) {
    if (const EditTargetRow* row = FindEditTarget(form.EditTarget)) {
        (void)row->step(form, direction);
    }
}

// The image keys never take the focus themselves; a step of the idle target
// moves it to V SET.
void MoveFocusForStep(Form1& form) {
    if (form.EditTarget == EditTargets::VoltageSet) {
        form.cmd_vset->setFocus();
    }
}

} // namespace

bool StepVoltageSet(Form1& form, Direction direction) {
    if (!IsStepRow(form.FineMode)) {
        return false;
    }
    const float candidate =
        form.VoltageSet + static_cast<float>(direction) * form.VoltageStep[form.FineMode];
    if (!WithinBounds(candidate, 0.0f, form.VoltageLimit, direction)) {
        return false;
    }
    form.VoltageSet = candidate;
    form.ShowVoltageSet();
    form.SendCommand(StepCommand(StepValue::VoltageSet, direction));
    return true;
}

bool StepVoltageLimit(Form1& form, Direction direction) {
    if (!IsModelRow(form.ModelIndex)) {
        return false;
    }
    const float candidate = form.VoltageLimit + static_cast<float>(direction);
    if (!WithinBounds(candidate, kLeastVoltageLimit, form.ModelMaxVoltage[form.ModelIndex],
                      direction)) {
        return false;
    }
    form.VoltageLimit = candidate;
    form.ShowVoltageLimit();
    if (direction < 0) {
        form.PullSetpointToLimit();
    }
    form.UpdatePowerFromLimits();
    form.SendCommand(StepCommand(StepValue::VoltageLimit, direction));
    return true;
}

bool StepCurrentLimit(Form1& form, Direction direction) {
    if (!IsModelRow(form.ModelIndex) || !IsStepRow(form.FineMode)) {
        return false;
    }
    const float candidate =
        form.CurrentLimit + static_cast<float>(direction) * form.CurrentStep[form.FineMode];
    if (!WithinBounds(candidate, kLeastCurrentLimit, form.ModelMaxCurrent[form.ModelIndex],
                      direction)) {
        return false;
    }
    form.CurrentLimit = candidate;
    form.ShowCurrentLimit();
    form.UpdatePowerFromLimits();
    form.SendCommand(StepCommand(StepValue::CurrentLimit, direction));
    return true;
}

bool StepPowerLimit(Form1& form, Direction direction) {
    if (!IsModelRow(form.ModelIndex)) {
        return false;
    }
    const float candidate = form.PowerLimit + static_cast<float>(direction);
    if (!PowerStepAllowed(form, candidate, direction)) {
        return false;
    }
    form.PowerLimit = candidate;
    // Only a raised power limit goes into txt_p as well.
    if (direction > 0) {
        form.EchoPowerLimit();
    } else {
        form.ShowPowerLimit();
    }
    form.SendCommand(StepCommand(StepValue::PowerLimit, direction));
    // With the output off no poll brings the current limit that the supply
    // derives from the new power limit: give it time, then ask.
    if (form.OutputOn == 0) {
        form.WaitSeconds(kCommandPauseSeconds);
        form.ReadBackCurrentLimit();
    }
    return true;
}

bool StepPlusPercent(Form1& form, Direction direction) {
    return StepPercent(form.PlusPercent, form.txt_plus, kPlusPercentLow, kPlusPercentHigh,
                       direction);
}

bool StepMinusPercent(Form1& form, Direction direction) {
    return StepPercent(form.MinusPercent, form.txt_minus, kMinusPercentLow, kMinusPercentHigh,
                       direction);
}

void Form1::cmd_add_MouseDown() {
    PressStepKey(cmd_add, +1);
}

void Form1::cmd_add_MouseUp() {
    cmd_add->SetBorderStyle(0);
}

void Form1::cmd_sub_MouseDown() {
    PressStepKey(cmd_sub, -1);
}

void Form1::cmd_sub_MouseUp() {
    cmd_sub->SetBorderStyle(0);
}

void Form1::PressStepKey(ImageKey* key, Direction direction) {
    key->SetBorderStyle(1);
    if (StepKeysHeld) {
        HeldSteps.append(direction);
        return;
    }
    MoveFocusForStep(*this);
    if (direction > 0) {
        StepUp();
    } else {
        StepDown();
    }
}

void Form1::StepUp() {
    HoldStepKeysWhile([this] { Step(*this, +1); });
}

void Form1::StepDown() {
    HoldStepKeysWhile([this] { Step(*this, -1); });
}

// A power step with the output off waits for the supply's current limit while
// events run. A step inside it would test its bounds against the old current
// limit and follow the first command without a pause, so presses that come
// meanwhile wait their turn. A key disabled by then (a lost link, the lock)
// drops its press.
void Form1::HoldStepKeysWhile(const std::function<void()>& work) {
    // Inside a hold (P LIMIT pressed during a power step) the outer one
    // carries out the presses, after its own wait.
    if (StepKeysHeld) {
        work();
        return;
    }
    const QScopedValueRollback<bool> hold(StepKeysHeld, true);
    work();
    while (!HeldSteps.isEmpty()) {
        const Direction direction = HeldSteps.takeFirst();
        if ((direction > 0 ? cmd_add : cmd_sub)->isEnabled()) {
            MoveFocusForStep(*this);
            Step(*this, direction);
        }
    }
}
