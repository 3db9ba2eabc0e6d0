// SPDX-License-Identifier: GPL-3.0-or-later
#include "edit_targets.h"
#include "panel_texts.h"

namespace {

constexpr LimitEdit kNoLimit{nullptr, nullptr, nullptr};

constexpr EditTargetRow kTargets[] = {
    {EditTargets::VoltageSet, TargetCaption::VoltageSet, &PanelState::VoltageSet, StepVoltageSet,
     nullptr, nullptr, kNoLimit},
    {EditTargets::VoltageLimit,
     TargetCaption::VoltageLimit,
     &PanelState::VoltageLimit,
     StepVoltageLimit,
     AcceptLimit,
     CancelVoltageLimit,
     {&Form1::lbl_u, &Form1::EnableGroupVLimit, VoltageLimitToMaximum}},
    {EditTargets::CurrentLimit,
     TargetCaption::CurrentLimit,
     &PanelState::CurrentLimit,
     StepCurrentLimit,
     AcceptLimit,
     CancelCurrentLimit,
     {&Form1::lbl_i, &Form1::EnableGroupILimit, CurrentLimitToMaximum}},
    {EditTargets::PowerLimit,
     TargetCaption::PowerLimit,
     &PanelState::PowerLimit,
     StepPowerLimit,
     AcceptLimit,
     CancelPowerLimit,
     {&Form1::lbl_p, &Form1::EnableGroupPLimit, AllLimitsToMaximum}},
    {EditTargets::PlusPercent, TargetCaption::PlusPercent, &PanelState::PlusPercent,
     StepPlusPercent, AcceptPlusPercent, CancelPlusPercent, kNoLimit},
    {EditTargets::MinusPercent, TargetCaption::MinusPercent, &PanelState::MinusPercent,
     StepMinusPercent, AcceptMinusPercent, CancelMinusPercent, kNoLimit},
};

} // namespace

const EditTargetRow* FindEditTarget(QStringView target) {
    for (const EditTargetRow& row : kTargets) {
        if (row.name == target) {
            return &row;
        }
    }
    return nullptr;
}

void SelectEditTarget(Form1& form, const EditTargetRow& row) {
    form.EditTarget = row.name.toString();
    form.lbl_cmd->setText(row.caption);
}
