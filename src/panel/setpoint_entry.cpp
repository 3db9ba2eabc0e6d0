// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_window.h"
#include "panel_rules.h"
#include "supply_commands.h"
#include "supply_link.h"

namespace {

// The range rule of the four boxes (EntryBound): a text in range is left as typed.
void KeepInRange(EntryBox* box, float upper, const QString& upperText, float lower) {
    if (const std::optional<QString> bound = EntryBound(box->text(), upper, upperText, lower)) {
        box->setText(*bound);
    }
}

// What the four keys do first: back to the idle target, then the box's text
// brought into range. False when the box is empty and the press ends there.
bool BeginEntry(Form1& form, EntryBox* box, void (Form1::*validate)()) {
    form.EditTarget = EditTargets::VoltageSet.toString();
    if (box->text().isEmpty()) {
        return false;
    }
    (form.*validate)();
    return true;
}

// Qt takes the focus from the box before it delivers the press on the box's
// key; the key must still read what was typed, so the box is emptied only
// after the press has been handled.
void EmptyAfterPress(EntryBox* box) {
    QMetaObject::invokeMethod(box, &QLineEdit::clear, Qt::QueuedConnection);
}

} // namespace

void Form1::cmd_v_MouseDown() {
    if (!BeginEntry(*this, txt_v, &Form1::ValidateVoltageSetEntry)) {
        return;
    }
    VoltageSet = SingleNumber(txt_v->text());
    ShowVoltageSet();
    SendSetCommand(SetValue::VoltageSet, VoltageSet);
    txt_v->clear();
}

void Form1::cmd_u_MouseDown() {
    if (!BeginEntry(*this, txt_u, &Form1::ValidateVoltageLimitEntry)) {
        return;
    }
    dis_lv->setText(txt_u->text());
    VoltageLimit = SingleNumber(dis_lv->text());
    UpdatePowerFromLimits();
    SendSetCommand(SetValue::VoltageLimit, VoltageLimit);
    PullSetpointToLimit();
    txt_u->clear();
}

void Form1::cmd_i_MouseDown() {
    if (!BeginEntry(*this, txt_i, &Form1::ValidateCurrentLimitEntry)) {
        return;
    }
    CurrentLimit = SingleNumber(txt_i->text());
    ShowCurrentLimit();
    UpdatePowerFromLimits();
    SendSetCommand(SetValue::CurrentLimit, CurrentLimit);
    txt_i->clear();
}

void Form1::cmd_p_MouseDown() {
    if (!BeginEntry(*this, txt_p, &Form1::ValidatePowerLimitEntry)) {
        return;
    }
    PowerLimit = SingleNumber(txt_p->text());
    ShowPowerLimit();
    SendSetCommand(SetValue::PowerLimit, PowerLimit);
    // The supply derives a new current limit from the power limit; with the
    // output on the polling brings it, with it off it is asked for.
    if (OutputOn == 0) {
        WaitSeconds(kCommandPauseSeconds);
        ReadBackCurrentLimit();
    }
    txt_p->clear();
}

void Form1::txt_v_LostFocus() {
    EmptyAfterPress(txt_v);
}

void Form1::txt_u_LostFocus() {
    EmptyAfterPress(txt_u);
}

void Form1::txt_i_LostFocus() {
    EmptyAfterPress(txt_i);
}

void Form1::txt_p_LostFocus() {
    EmptyAfterPress(txt_p);
}

void Form1::ValidateVoltageSetEntry() {
    KeepInRange(txt_v, VoltageLimit, FormatWithPattern(VoltageLimit, EntryPattern::VoltageSet), 0);
}

void Form1::ValidateVoltageLimitEntry() {
    const float maximum = ModelMaxVoltage[ModelIndex];
    KeepInRange(txt_u, maximum, FormatWithPattern(maximum, EntryPattern::VoltageLimit),
                kLeastVoltageLimit);
}

void Form1::ValidateCurrentLimitEntry() {
    const float maximum = ModelMaxCurrent[ModelIndex];
    KeepInRange(txt_i, maximum, FormatWithPattern(maximum, EntryPattern::CurrentLimit),
                kLeastCurrentLimit);
}

void Form1::ValidatePowerLimitEntry() {
    // The most power the model can deliver at the present voltage limit.
    const float maximum = ModelMaxCurrent[ModelIndex] * VoltageLimit;
    KeepInRange(txt_p, maximum, FormatWithPattern(IntegerPart(maximum), EntryPattern::PowerLimit),
                kLeastPowerLimit);
}
