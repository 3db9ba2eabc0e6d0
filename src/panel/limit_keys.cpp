// SPDX-License-Identifier: GPL-3.0-or-later
#include "edit_targets.h"
#include "main_window.h"
#include "supply_commands.h"

namespace {

// A press opens the limit's edit on its present value: its indicator blinks
// and the keys that do not belong to the edit are disabled.
void PressLimitKey(Form1& form, QStringView target) {
    const EditTargetRow& row = *FindEditTarget(target);
    form.KeyPressTime = form.KeyActionTime;
    form.EditOrigin = form.*row.value;
    SelectEditTarget(form, row);
    form.FlashControl = form.*row.limit.indicator;
    (form.*row.limit.enableGroup)(false);
    form.tmr_flash->start();
}

// A release after a long press takes the limit to the model's maximum.
void ReleaseLimitKey(Form1& form, QStringView target) {
    if (!form.HeldLong() || !IsModelRow(form.ModelIndex)) {
        return;
    }
    FindEditTarget(target)->limit.toMaximum(form);
}

} // namespace

void VoltageLimitToMaximum(Form1& form) {
    form.VoltageLimit = form.ModelMaxVoltage[form.ModelIndex];
    form.EchoVoltageLimit();
    form.SendCommand(MaximumCommand(Limit::Voltage));
}

void CurrentLimitToMaximum(Form1& form) {
    form.CurrentLimit = form.ModelMaxCurrent[form.ModelIndex];
    form.EchoCurrentLimit();
    form.SendCommand(MaximumCommand(Limit::Current));
}

// All three limits go to the model's maxima, whose product is its power
// (every model's maximum power has three digits, as dis_lp shows them).
void AllLimitsToMaximum(Form1& form) {
    form.PowerLimit = form.ModelMaxPower[form.ModelIndex];
    form.EchoPowerLimit();
    form.CurrentLimit = form.ModelMaxCurrent[form.ModelIndex];
    form.VoltageLimit = form.ModelMaxVoltage[form.ModelIndex];
    form.ShowVoltageLimit();
    form.ShowCurrentLimit();
    form.txt_u->setText(form.dis_lv->text());
    form.txt_i->setText(form.dis_li->text());
    form.SendCommand(MaximumCommand(Limit::Power));
}

void Form1::cmd_vlimit_MouseDown() {
    PressLimitKey(*this, EditTargets::VoltageLimit);
}

void Form1::cmd_vlimit_MouseUp() {
    ReleaseLimitKey(*this, EditTargets::VoltageLimit);
}

void Form1::cmd_ilimit_MouseDown() {
    PressLimitKey(*this, EditTargets::CurrentLimit);
}

void Form1::cmd_ilimit_MouseUp() {
    ReleaseLimitKey(*this, EditTargets::CurrentLimit);
}

void Form1::cmd_plimit_MouseDown() {
    PressLimitKey(*this, EditTargets::PowerLimit);
    // With the output on the poll keeps the current limit fresh. The up and
    // down keys wait for the answer: their power bounds depend on it.
    if (OutputOn == 0) {
        HoldStepKeysWhile([this] { ReadBackCurrentLimit(); });
    }
}

void Form1::cmd_plimit_MouseUp() {
    ReleaseLimitKey(*this, EditTargets::PowerLimit);
}
