// SPDX-License-Identifier: GPL-3.0-or-later
#include "edit_targets.h"
#include "main_window.h"
#include "supply_commands.h"

namespace {

// What tells the two percent keys apart: the target's row, the key, its box
// and the percentage.
struct PercentSide {
    const EditTargetRow& row;
    PanelKey* key;
    EntryBox* box;
    float& percent;
};

PercentSide Side(Form1& form, QStringView target, PanelKey* key, EntryBox* box) {
    const EditTargetRow& row = *FindEditTarget(target);
    return {row, key, box, form.*row.value};
}

PercentSide PlusSide(Form1& form) {
    return Side(form, EditTargets::PlusPercent, form.cmd_plus, form.txt_plus);
}

PercentSide MinusSide(Form1& form) {
    return Side(form, EditTargets::MinusPercent, form.cmd_minus, form.txt_minus);
}

// An offset applied with the output on leaves its target open with its box
// disabled; an edit with the output off has the box enabled.
bool OffsetApplied(const Form1& form, const PercentSide& side) {
    return form.EditTarget == side.row.name && !side.box->isEnabled();
}

// Output off: the key's percentage is edited in its box and sent by ENTER.
void OpenPercentEdit(Form1& form, const PercentSide& own, const PercentSide& other) {
    form.EditOrigin = own.percent;
    other.key->setEnabled(true);
    own.box->setEnabled(true);
    own.box->setFocus();
    other.box->setEnabled(false);
    form.EnableGroupEdit(false);
}

// The output voltage on dis_v and in txt_v, and to the supply; VoltageSet
// stays the plain set-point.
void ShowAndSendVoltage(Form1& form, float volts) {
    form.dis_v->setText(FormatWithPattern(volts, DisplayPattern::VoltageSet));
    form.txt_v->setText(form.dis_v->text());
    form.SendSetCommand(SetValue::VoltageSet, volts);
}

// Output on: the set-point times the percentage goes to the supply at once.
void ApplyPercent(Form1& form, const PercentSide& own, bool capAtLimit) {
    form.EnableGroupPercent(false);
    form.ActivePercentKey = own.key;
    float volts = own.percent / 100.0f * form.VoltageSet;
    if (capAtLimit && volts > form.VoltageLimit) {
        volts = form.VoltageLimit;
    }
    ShowAndSendVoltage(form, volts);
}

void PressPercentKey(Form1& form, const PercentSide& own, const PercentSide& other,
                     bool capAtLimit) {
    if (form.OutputOn == 0) {
        // An offset still applied from before the output went off would leave
        // ENTER, CE and the up and down keys disabled for the edit, and the
        // supply at the raised voltage: end it as NORMAL does.
        if (OffsetApplied(form, own) || OffsetApplied(form, other)) {
            form.cmd_normal_MouseDown();
        }
        // Moving on from the other percentage's edit drops that edit, as CE
        // would; a kept change would differ from what the supply holds.
        if (form.EditTarget == other.row.name && other.box->isEnabled()) {
            other.percent = form.EditOrigin;
            other.box->setText(FormatWithPattern(other.percent, DisplayPattern::Percent));
        }
    }
    SelectEditTarget(form, own.row);
    own.key->setEnabled(false);
    other.key->setEnabled(true);
    if (form.OutputOn == 0) {
        OpenPercentEdit(form, own, other);
    } else {
        ApplyPercent(form, own, capAtLimit);
    }
}

// Brings the box into low..high (text that is no number counts as 0) and
// returns the percentage that it then holds.
float ValidatePercentBox(EntryBox* box, int low, int high) {
    const double value = LeadingNumber(box->text());
    if (value > high) {
        box->setText(QString::number(high));
    } else if (value < low) {
        box->setText(QString::number(low));
    }
    return static_cast<float>(LeadingNumber(box->text()));
}

} // namespace

void Form1::cmd_plus_MouseDown() {
    // A raised voltage stops at the voltage limit; a lowered one needs no bound.
    PressPercentKey(*this, PlusSide(*this), MinusSide(*this), true);
}

void Form1::cmd_minus_MouseDown() {
    PressPercentKey(*this, MinusSide(*this), PlusSide(*this), false);
}

void Form1::cmd_normal_MouseDown() {
    // Before any offset was applied there is nothing to undo.
    if (ActivePercentKey == nullptr) {
        return;
    }
    ActivePercentKey->setEnabled(true);
    EnableGroupPercent(true);
    ShowAndSendVoltage(*this, VoltageSet);
    cmd_vset_MouseDown();
}

void Form1::txt_plus_LostFocus() {
    ValidatePlusPercent();
}

void Form1::txt_minus_LostFocus() {
    ValidateMinusPercent();
}

void Form1::ValidatePlusPercent() {
    PlusPercent = ValidatePercentBox(txt_plus, kPlusPercentLow, kPlusPercentHigh);
}

void Form1::ValidateMinusPercent() {
    MinusPercent = ValidatePercentBox(txt_minus, kMinusPercentLow, kMinusPercentHigh);
}
