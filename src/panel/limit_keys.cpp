// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_window.h"
#include "panel_texts.h"
#include "supply_commands.h"

namespace {

// The press steps shared by the three keys: the edit opens on the limit's
// present value and names the indicator to blink. The caller then starts the
// blinking and disables the keys that do not belong to the edit.
void OpenLimitEdit(Form1& form, float origin, QStringView target, const QString& caption,
                   QLabel* indicator) {
    form.KeyPressTime = TimeOfDay();
    form.EditOrigin = origin;
    form.EditTarget = target.toString();
    form.lbl_cmd->setText(caption);
    form.FlashControl = indicator;
}

} // namespace

void Form1::cmd_vlimit_MouseDown() {
    OpenLimitEdit(*this, VoltageLimit, EditTargets::VoltageLimit, TargetCaption::VoltageLimit,
                  lbl_u);
    EnableGroupVLimit(false);
    tmr_flash->start();
}

void Form1::cmd_vlimit_MouseUp() {
    if (!HeldLong() || !IsModelRow(ModelIndex)) {
        return;
    }
    VoltageLimit = ModelMaxVoltage[ModelIndex];
    EchoVoltageLimit();
    SendCommand(MaximumCommand(Limit::Voltage));
}

void Form1::cmd_ilimit_MouseDown() {
    OpenLimitEdit(*this, CurrentLimit, EditTargets::CurrentLimit, TargetCaption::CurrentLimit,
                  lbl_i);
    tmr_flash->start();
    EnableGroupILimit(false);
}

void Form1::cmd_ilimit_MouseUp() {
    if (!HeldLong() || !IsModelRow(ModelIndex)) {
        return;
    }
    CurrentLimit = ModelMaxCurrent[ModelIndex];
    EchoCurrentLimit();
    SendCommand(MaximumCommand(Limit::Current));
}

void Form1::cmd_plimit_MouseDown() {
    OpenLimitEdit(*this, PowerLimit, EditTargets::PowerLimit, TargetCaption::PowerLimit, lbl_p);
    tmr_flash->start();
    EnableGroupPLimit(false);
    // With the output on the poll keeps the current limit fresh. The up and
    // down keys wait for the answer: their power bounds depend on it.
    if (OutputOn == 0) {
        HoldStepKeysWhile([this] { ReadBackCurrentLimit(); });
    }
}

void Form1::cmd_plimit_MouseUp() {
    if (!HeldLong() || !IsModelRow(ModelIndex)) {
        return;
    }
    // All three limits go to the model's maxima, whose product is its power
    // (every model's maximum power has three digits, as dis_lp shows them).
    PowerLimit = ModelMaxPower[ModelIndex];
    ShowPowerLimit();
    txt_p->setText(dis_lp->text());
    CurrentLimit = ModelMaxCurrent[ModelIndex];
    VoltageLimit = ModelMaxVoltage[ModelIndex];
    ShowVoltageLimit();
    ShowCurrentLimit();
    txt_u->setText(dis_lv->text());
    txt_i->setText(dis_li->text());
    SendCommand(MaximumCommand(Limit::Power));
}
