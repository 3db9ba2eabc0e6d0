// SPDX-License-Identifier: GPL-3.0-or-later
#include "edit_targets.h"
#include "main_window.h"
#include "panel_rules.h"
#include "panel_texts.h"
#include "supply_commands.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// The limit edit's blinking and disabled keys end with the edit.
void EndLimitEdit(Form1& form) {
    form.tmr_flash->stop();
    form.EnableGroupEntry(true);
    if (form.FlashControl != nullptr) {
        form.FlashControl->show();
    }
}

// The supply moves a percent offset one point per command, so the change since
// the edit began goes out as that many steps, 0.15 s apart. The keypad and the
// step keys stay off meanwhile, or they could run inside the pauses.
void SendPercentSteps(Form1& form, int steps, StepValue percent) {
    form.frm_keypad->setEnabled(false);
    form.cmd_add->setEnabled(false);
    form.cmd_sub->setEnabled(false);
    const QString command = StepCommand(percent, steps > 0 ? +1 : -1);
    form.SetStatusText(StatusPanel::Status, StatusPanel1::Sending);
    for (int i = 0; i < std::abs(steps); ++i) {
        form.SendCommand(command);
        form.WaitSeconds(kCommandPauseSeconds);
    }
    form.frm_keypad->setEnabled(true);
    form.cmd_add->setEnabled(true);
    form.cmd_sub->setEnabled(true);
    form.SetStatusText(StatusPanel::Status, StatusPanel1::Ready);
}

// ENTER on a percent edit. A value typed into the box but not yet confirmed is
// taken first, so the supply gets the percentage the user sees: the box's loss
// of focus to this key usually stored it already, but ENTER must not depend
// on where the focus was.
void AcceptPercent(Form1& form, float& percent, EntryBox* ownBox, void (Form1::*validate)(),
                   EntryBox* otherBox, StepValue stepped) {
    if (ownBox->isEnabled()) {
        (form.*validate)();
    }
    // Whole points, a half rounded to the even count. The supply keeps an
    // offset within a range 50 points wide, so more points than that change
    // nothing there; they come only from an origin that the supply never
    // reported (an unanswered query reads as 0), and could run for minutes.
    constexpr double kWidestRange = 50;
    const auto steps =
        static_cast<int>(std::clamp(std::nearbyint(static_cast<double>(percent) - form.EditOrigin),
                                    -kWidestRange, kWidestRange));
    ownBox->setEnabled(false);
    if (steps != 0) {
        SendPercentSteps(form, steps, stepped);
    }
    form.cmd_plus->setEnabled(true);
    form.cmd_minus->setEnabled(true);
    otherBox->setEnabled(false);
    form.EnableGroupEdit(true);
    form.EditOrigin = percent;
}

// CE on a percent edit: nothing was sent yet, so only the panel goes back.
void CancelPercent(Form1& form, float& percent, EntryBox* ownBox) {
    percent = form.EditOrigin;
    form.cmd_plus->setEnabled(true);
    form.cmd_minus->setEnabled(true);
    form.txt_plus->setEnabled(false);
    form.txt_minus->setEnabled(false);
    ownBox->setText(FormatWithPattern(percent, DisplayPattern::Percent));
    form.EnableGroupEdit(true);
}

// ENTER (accept) or CE (cancel) on the present target, then back to the idle
// target, as V SET does. Neither does anything on the idle target.
void CloseEdit(Form1& form, void (*EditTargetRow::*close)(Form1&, const EditTargetRow&)) {
    const EditTargetRow* row = FindEditTarget(form.EditTarget);
    if (row == nullptr || row->*close == nullptr) {
        return;
    }
    if (row->IsLimitEdit()) {
        EndLimitEdit(form);
    }
    (row->*close)(form, *row);
    form.cmd_vset_MouseDown();
}

} // namespace

// Every step of a limit edit has already reached the supply.
void AcceptLimit(Form1& form, const EditTargetRow& row) {
    form.EditOrigin = form.*row.value;
}

// The supply already has the edited limit: the old value is sent back.
void CancelVoltageLimit(Form1& form, const EditTargetRow&) {
    form.VoltageLimit = form.EditOrigin;
    form.EchoVoltageLimit();
    form.SendSetCommand(SetValue::VoltageLimit, form.VoltageLimit);
}

void CancelCurrentLimit(Form1& form, const EditTargetRow&) {
    form.CurrentLimit = form.EditOrigin;
    form.EchoCurrentLimit();
    form.SendSetCommand(SetValue::CurrentLimit, form.CurrentLimit);
}

void CancelPowerLimit(Form1& form, const EditTargetRow&) {
    form.PowerLimit = form.EditOrigin;
    form.EchoPowerLimit();
    // The supply gives the current limit that follows; without a voltage
    // limit the old one stays.
    if (const std::optional<float> current =
            CurrentFromPowerLimit(form.PowerLimit, form.VoltageLimit)) {
        form.CurrentLimit = *current;
        form.ShowCurrentLimit();
        form.txt_i->setText(form.dis_li->text());
    }
    form.SendSetCommand(SetValue::PowerLimit, form.PowerLimit);
}

void AcceptPlusPercent(Form1& form, const EditTargetRow&) {
    AcceptPercent(form, form.PlusPercent, form.txt_plus, &Form1::ValidatePlusPercent,
                  form.txt_minus, StepValue::PlusPercent);
}

void AcceptMinusPercent(Form1& form, const EditTargetRow&) {
    AcceptPercent(form, form.MinusPercent, form.txt_minus, &Form1::ValidateMinusPercent,
                  form.txt_plus, StepValue::MinusPercent);
}

void CancelPlusPercent(Form1& form, const EditTargetRow&) {
    CancelPercent(form, form.PlusPercent, form.txt_plus);
}

void CancelMinusPercent(Form1& form, const EditTargetRow&) {
    CancelPercent(form, form.MinusPercent, form.txt_minus);
}

void Form1::cmd_enter_MouseDown() {
    CloseEdit(*this, &EditTargetRow::accept);
}

void Form1::cmd_ce_MouseDown() {
    CloseEdit(*this, &EditTargetRow::cancel);
}

void Form1::cmd_vset_MouseDown() {
    SelectEditTarget(*this, *FindEditTarget(EditTargets::VoltageSet));
}

void Form1::AbandonEdit() {
    tmr_flash->stop();
    if (FlashControl != nullptr) {
        FlashControl->show();
    }
    txt_plus->setEnabled(false);
    txt_minus->setEnabled(false);
    cmd_vset_MouseDown();
}
