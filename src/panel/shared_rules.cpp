// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_window.h"
#include "panel_rules.h"
#include "supply_commands.h"

float Form1::SetMaximum(SetValue value) const {
    if (!IsModelRow(ModelIndex)) {
        return 0;
    }
    switch (value) {
    case SetValue::VoltageSet:
    case SetValue::VoltageLimit:
        return ModelMaxVoltage[ModelIndex];
    case SetValue::CurrentLimit:
        // A power limit at full voltage gives the model's current and the
        // supply's headroom, which CE may give back.
        return static_cast<float>(ModelMaxCurrent[ModelIndex] + kCurrentHeadroom);
    case SetValue::PowerLimit:
        return ModelMaxPower[ModelIndex];
    }
    return 0;
}

void Form1::SendSetCommand(SetValue value, double amount) {
    SendCommand(SetCommand(value, amount, SetMaximum(value)));
}

void Form1::UpdatePowerFromLimits() {
    // Nothing is sent: the supply derives the same figure itself.
    PowerLimit = PowerFromLimits(VoltageLimit, CurrentLimit);
    ShowPowerLimit();
}

void Form1::ReadBackCurrentLimit() {
    SendCommand(Query::CurrentLimit);
    const QString reply = ReadReply();
    dis_li->setText(FormatWithPattern(LeadingNumber(reply), DisplayPattern::CurrentLimit));
    // Keep the value as displayed, with two decimals.
    CurrentLimit = static_cast<float>(LeadingNumber(dis_li->text()));
}

void Form1::ShowVoltageSet() {
    dis_v->setText(FormatWithPattern(VoltageSet, DisplayPattern::VoltageSet));
}

void Form1::ShowVoltageLimit() {
    dis_lv->setText(FormatWithPattern(VoltageLimit, DisplayPattern::VoltageLimit));
}

void Form1::ShowCurrentLimit() {
    dis_li->setText(FormatWithPattern(CurrentLimit, DisplayPattern::CurrentLimit));
}

void Form1::ShowPowerLimit() {
    dis_lp->setText(FormatWithPattern(PowerLimit, DisplayPattern::PowerLimit));
}

void Form1::EchoVoltageLimit() {
    ShowVoltageLimit();
    txt_u->setText(dis_lv->text());
    PowerLimit = PowerFromLimits(VoltageLimit, CurrentLimit);
    EchoPowerLimit();
}

void Form1::EchoCurrentLimit() {
    ShowCurrentLimit();
    txt_i->setText(dis_li->text());
    PowerLimit = PowerFromLimits(VoltageLimit, CurrentLimit);
    EchoPowerLimit();
}

void Form1::EchoPowerLimit() {
    ShowPowerLimit();
    txt_p->setText(dis_lp->text());
}

void Form1::ShowOutputState() {
    lbl_on->setVisible(OutputOn == 1);
    lbl_off->setVisible(OutputOn != 1);
}

void Form1::ShowOverTemp() {
    lbl_overtemp->setVisible(OverTemp == 1);
}

void Form1::PullSetpointToLimit() {
    if (VoltageSet > VoltageLimit) {
        VoltageSet = VoltageLimit;
        ShowVoltageSet();
    }
}

bool Form1::HeldLong() const {
    return KeyReleaseTime - KeyPressTime >= LongPressTime;
}

void Form1::RunKeyAction(const std::function<void()>& action) {
    if (KeysHeld) {
        HeldKeyActions.append({TimeOfDay(), action});
        return;
    }
    KeyActionTime = TimeOfDay();
    action();
}

// A key's handler inside a remote command's reply wait or pause would put its
// own exchange between the command and its reply.
void Form1::HoldKeysWhile(const std::function<void()>& work) {
    if (KeysHeld) {
        work();
        return;
    }
    KeysHeld = true;
    work();
    KeysHeld = false;
    while (!HeldKeyActions.isEmpty()) {
        const auto [time, action] = HeldKeyActions.takeFirst();
        KeyActionTime = time;
        action();
    }
}
