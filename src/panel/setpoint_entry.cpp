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
    EnterVoltageSet(SingleNumber(txt_v->text()));
    txt_v->clear();
}

void Form1::cmd_u_MouseDown() {
    if (!BeginEntry(*this, txt_u, &Form1::ValidateVoltageLimitEntry)) {
        return;
    }
    // The display takes the box's text as typed.
    EnterVoltageLimit(SingleNumber(txt_u->text()), txt_u->text());
    txt_u->clear();
}

void Form1::cmd_i_MouseDown() {
    if (!BeginEntry(*this, txt_i, &Form1::ValidateCurrentLimitEntry)) {
        return;
    }
    EnterCurrentLimit(SingleNumber(txt_i->text()));
    txt_i->clear();
}

void Form1::cmd_p_MouseDown() {
    if (!BeginEntry(*this, txt_p, &Form1::ValidatePowerLimitEntry)) {
        return;
    }
    EnterPowerLimit(SingleNumber(txt_p->text()));
    txt_p->clear();
}

void Form1::EnterVoltageSet(float volts) {
    VoltageSet = volts;
    ShowVoltageSet();
    SendSetCommand(SetValue::VoltageSet, VoltageSet);
}

void Form1::EnterVoltageLimit(float volts, const QString& shown) {
    dis_lv->setText(shown);
    VoltageLimit = volts;
    UpdatePowerFromLimits();
    SendSetCommand(SetValue::VoltageLimit, VoltageLimit);
    PullSetpointToLimit();
}

void Form1::EnterCurrentLimit(float amperes) {
    CurrentLimit = amperes;
    ShowCurrentLimit();
    UpdatePowerFromLimits();
    SendSetCommand(SetValue::CurrentLimit, CurrentLimit);
}

void Form1::EnterPowerLimit(float watts) {
    PowerLimit = watts;
    ShowPowerLimit();
    SendSetCommand(SetValue::PowerLimit, PowerLimit);
    // The supply derives a new current limit from the power limit; with the
    // output on the polling brings it, with it off it is asked for.
    if (OutputOn == 0) {
        WaitSeconds(kCommandPauseSeconds);
        ReadBackCurrentLimit();
    }
}

EntryRange Form1::EntryRangeOf(SetValue value) const {
    switch (value) {
    case SetValue::VoltageSet:
        return {0, VoltageLimit};
    case SetValue::VoltageLimit:
        return {kLeastVoltageLimit, ModelMaxVoltage[ModelIndex]};
    case SetValue::CurrentLimit:
        return {kLeastCurrentLimit, ModelMaxCurrent[ModelIndex]};
    case SetValue::PowerLimit:
        // The most power the model can deliver at the present voltage limit.
        return {kLeastPowerLimit, ModelMaxCurrent[ModelIndex] * VoltageLimit};
    }
    return {};
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
    const EntryRange range = EntryRangeOf(SetValue::VoltageSet);
    KeepInRange(txt_v, range.upper, FormatWithPattern(range.upper, EntryPattern::VoltageSet),
                range.lower);
}

void Form1::ValidateVoltageLimitEntry() {
    const EntryRange range = EntryRangeOf(SetValue::VoltageLimit);
    KeepInRange(txt_u, range.upper, FormatWithPattern(range.upper, EntryPattern::VoltageLimit),
                range.lower);
}

void Form1::ValidateCurrentLimitEntry() {
    const EntryRange range = EntryRangeOf(SetValue::CurrentLimit);
    KeepInRange(txt_i, range.upper, FormatWithPattern(range.upper, EntryPattern::CurrentLimit),
                range.lower);
}

void Form1::ValidatePowerLimitEntry() {
    // The box gets the whole watts of the bound.
    const EntryRange range = EntryRangeOf(SetValue::PowerLimit);
    KeepInRange(txt_p, range.upper,
                FormatWithPattern(IntegerPart(range.upper), EntryPattern::PowerLimit), range.lower);
}
