#include "main_window.h"

#include <QScopedValueRollback>

namespace {

// +1 for the up key, -1 for the down key.
using Direction = int;

bool IsStepRow(int fineMode) {
    return fineMode == 0 || fineMode == 1;
}

QString StepCommand(const char* mnemonic, Direction direction) {
    return QLatin1String(mnemonic) + (direction > 0 ? u'+' : u'-');
}

// A candidate on the wrong side of its bound refuses the step; equal passes.
bool WithinBounds(float candidate, float low, float high, Direction direction) {
    return direction > 0 ? !(candidate > high) : !(candidate < low);
}

void StepVoltageSet(Form1& form, Direction direction) {
    if (!IsStepRow(form.FineMode)) {
        return;
    }
    const float candidate =
        form.VoltageSet + static_cast<float>(direction) * form.VoltageStep[form.FineMode];
    if (!WithinBounds(candidate, 0.0f, form.VoltageLimit, direction)) {
        return;
    }
    form.VoltageSet = candidate;
    form.dis_v->setText(FormatWithPattern(form.VoltageSet, u"00.00"));
    form.SendCommand(StepCommand("SV", direction));
}

void StepVoltageLimit(Form1& form, Direction direction) {
    if (!IsModelRow(form.ModelIndex)) {
        return;
    }
    const float candidate = form.VoltageLimit + static_cast<float>(direction);
    if (!WithinBounds(candidate, 1.0f, form.ModelMaxVoltage[form.ModelIndex], direction)) {
        return;
    }
    form.VoltageLimit = candidate;
    form.dis_lv->setText(FormatWithPattern(form.VoltageLimit, u"00"));
    // The supply pulls its set-point down with the limit by itself.
    if (direction < 0 && form.VoltageSet > form.VoltageLimit) {
        form.VoltageSet = form.VoltageLimit;
        form.dis_v->setText(FormatWithPattern(form.VoltageSet, u"00.00"));
    }
    form.UpdatePowerFromLimits();
    form.SendCommand(StepCommand("SU", direction));
}

void StepCurrentLimit(Form1& form, Direction direction) {
    if (!IsModelRow(form.ModelIndex) || !IsStepRow(form.FineMode)) {
        return;
    }
    const float candidate =
        form.CurrentLimit + static_cast<float>(direction) * form.CurrentStep[form.FineMode];
    if (!WithinBounds(candidate, 0.02f, form.ModelMaxCurrent[form.ModelIndex], direction)) {
        return;
    }
    form.CurrentLimit = candidate;
    form.dis_li->setText(FormatWithPattern(form.CurrentLimit, u"0.00"));
    form.UpdatePowerFromLimits();
    form.SendCommand(StepCommand("SI", direction));
}

// The bounds of a power step: the model's power, and the model's current at the
// voltage limit (as a product and as a quotient) going up; 1 W and the product of
// the two other limits going down.
bool PowerStepAllowed(const Form1& form, float candidate, Direction direction) {
    const float maxCurrent = form.ModelMaxCurrent[form.ModelIndex];
    if (direction < 0) {
        return !(candidate < 1.0f) && !(candidate > form.VoltageLimit * form.CurrentLimit);
    }
    // Without a voltage limit the quotient has no meaning and no power is allowed.
    return !(candidate > form.ModelMaxPower[form.ModelIndex]) &&
           !(candidate > maxCurrent * form.VoltageLimit) && form.VoltageLimit > 0.0f &&
           !(candidate / form.VoltageLimit > maxCurrent);
}

void StepPowerLimit(Form1& form, Direction direction) {
    if (!IsModelRow(form.ModelIndex)) {
        return;
    }
    const float candidate = form.PowerLimit + static_cast<float>(direction);
    if (!PowerStepAllowed(form, candidate, direction)) {
        return;
    }
    form.PowerLimit = candidate;
    form.dis_lp->setText(FormatWithPattern(form.PowerLimit, u"000"));
    if (direction > 0) {
        form.txt_p->setText(form.dis_lp->text());
    }
    form.SendCommand(StepCommand("SP", direction));
    // With the output off no poll brings the current limit that the supply
    // derives from the new power limit: give it time, then ask.
    if (form.OutputOn == 0) {
        form.WaitSeconds(0.15);
        form.ReadBackCurrentLimit();
    }
}

// Kept on the panel only: ENTER sends the change as a whole.
void StepPercent(float& percent, EntryBox* box, float low, float high, Direction direction) {
    const float candidate = percent + static_cast<float>(direction);
    if (!WithinBounds(candidate, low, high, direction)) {
        return;
    }
    percent = candidate;
    box->setText(QString::number(percent));
}

void Step(Form1& form, Direction direction) {
    const QString& target = form.EditTarget;
    if (target == u"vset") {
        StepVoltageSet(form, direction);
    } else if (target == u"vlimit") {
        StepVoltageLimit(form, direction);
    } else if (target == u"ilimit") {
        StepCurrentLimit(form, direction);
    } else if (target == u"plimit") {
        StepPowerLimit(form, direction);
    } else if (target == u"plus") {
        StepPercent(form.PlusPercent, form.txt_plus, 100, 150, direction);
    } else if (target == u"minus") {
        StepPercent(form.MinusPercent, form.txt_minus, 50, 100, direction);
    }
}

// The framed look while the key is down. The image keys never take the focus
// themselves; in the idle target it moves to V SET.
void ShowStepKeyPressed(Form1& form, ImageKey* key) {
    key->SetBorderStyle(1);
    if (form.EditTarget == u"vset") {
        form.cmd_vset->setFocus();
    }
}

} // namespace

void Form1::cmd_add_MouseDown() {
    if (!stepKeysHeld_) {
        ShowStepKeyPressed(*this, cmd_add);
        StepUp();
    }
}

void Form1::cmd_add_MouseUp() {
    cmd_add->SetBorderStyle(0);
}

void Form1::cmd_sub_MouseDown() {
    if (!stepKeysHeld_) {
        ShowStepKeyPressed(*this, cmd_sub);
        StepDown();
    }
}

void Form1::cmd_sub_MouseUp() {
    cmd_sub->SetBorderStyle(0);
}

// A power step with the output off waits for the supply's current limit while
// events run. A second step inside it would test its bounds against the old
// current limit and follow the first command without a pause, so the up and
// down keys ignore presses until the step is over.
void Form1::StepUp() {
    const QScopedValueRollback<bool> hold(stepKeysHeld_, true);
    Step(*this, +1);
}

void Form1::StepDown() {
    const QScopedValueRollback<bool> hold(stepKeysHeld_, true);
    Step(*this, -1);
}
