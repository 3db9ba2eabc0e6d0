#include "main_window.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

bool IsLimitTarget(const QString& target) {
    return target.mid(1) == QLatin1String("limit");
}

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
void SendPercentSteps(Form1& form, int steps, const QString& up, const QString& down) {
    form.frm_keypad->setEnabled(false);
    form.cmd_add->setEnabled(false);
    form.cmd_sub->setEnabled(false);
    const QString& command = steps > 0 ? up : down;
    form.SetStatusText(1, QStringLiteral("Send several commands to ZRM! Please wait a minute."));
    for (int i = 0; i < std::abs(steps); ++i) {
        form.SendCommand(command);
        form.WaitSeconds(0.15);
    }
    form.frm_keypad->setEnabled(true);
    form.cmd_add->setEnabled(true);
    form.cmd_sub->setEnabled(true);
    form.SetStatusText(1, QStringLiteral("Ready"));
}

// ENTER on a percent edit. A value typed into the box but not yet confirmed is
// taken first, so the supply gets the percentage the user sees: the box's loss
// of focus to this key usually stored it already, but ENTER must not depend
// on where the focus was.
void AcceptPercent(Form1& form, float& percent, EntryBox* ownBox, void (Form1::*validate)(),
                   EntryBox* otherBox, const QString& up, const QString& down) {
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
        SendPercentSteps(form, steps, up, down);
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
    ownBox->setText(FormatWithPattern(percent, u"000"));
    form.EnableGroupEdit(true);
}

} // namespace

void Form1::cmd_enter_MouseDown() {
    if (EditTarget == QLatin1String("vset")) {
        return;
    }
    if (IsLimitTarget(EditTarget)) {
        EndLimitEdit(*this);
    }
    // Every step of a limit edit has already reached the supply.
    if (EditTarget == QLatin1String("vlimit")) {
        EditOrigin = VoltageLimit;
    } else if (EditTarget == QLatin1String("ilimit")) {
        EditOrigin = CurrentLimit;
    } else if (EditTarget == QLatin1String("plimit")) {
        EditOrigin = PowerLimit;
    } else if (EditTarget == QLatin1String("plus")) {
        AcceptPercent(*this, PlusPercent, txt_plus, &Form1::ValidatePlusPercent, txt_minus,
                      QStringLiteral("SB+"), QStringLiteral("SB-"));
    } else if (EditTarget == QLatin1String("minus")) {
        AcceptPercent(*this, MinusPercent, txt_minus, &Form1::ValidateMinusPercent, txt_plus,
                      QStringLiteral("SD+"), QStringLiteral("SD-"));
    }
    // Back to the idle target, as V SET does.
    cmd_vset_MouseDown();
}

void Form1::cmd_ce_MouseDown() {
    if (EditTarget == QLatin1String("vset")) {
        return;
    }
    if (IsLimitTarget(EditTarget)) {
        EndLimitEdit(*this);
    }
    // The supply already has the edited limit: the old value is sent back.
    if (EditTarget == QLatin1String("vlimit")) {
        VoltageLimit = EditOrigin;
        dis_lv->setText(FormatWithPattern(VoltageLimit, u"00"));
        txt_u->setText(dis_lv->text());
        UpdatePowerFromLimits();
        txt_p->setText(dis_lp->text());
        SendCommand(QStringLiteral("SU ") + dis_lv->text());
    } else if (EditTarget == QLatin1String("ilimit")) {
        CurrentLimit = EditOrigin;
        dis_li->setText(FormatWithPattern(CurrentLimit, u"0.00"));
        txt_i->setText(dis_li->text());
        UpdatePowerFromLimits();
        txt_p->setText(dis_lp->text());
        SendCommand(QStringLiteral("SI ") + dis_li->text());
    } else if (EditTarget == QLatin1String("plimit")) {
        PowerLimit = EditOrigin;
        dis_lp->setText(FormatWithPattern(PowerLimit, u"000"));
        txt_p->setText(dis_lp->text());
        // The current the power limit allows at the voltage limit, in whole
        // hundredths plus the supply's 0.03 A of headroom. Without a voltage
        // limit there is no such current: the old one stays.
        if (VoltageLimit != 0) {
            CurrentLimit = static_cast<float>(
                IntegerPart(static_cast<double>(PowerLimit) * 100 / VoltageLimit) / 100 + 0.03);
            dis_li->setText(FormatWithPattern(CurrentLimit, u"0.00"));
            txt_i->setText(dis_li->text());
        }
        SendCommand(QStringLiteral("SP ") + dis_lp->text());
    } else if (EditTarget == QLatin1String("plus")) {
        CancelPercent(*this, PlusPercent, txt_plus);
    } else if (EditTarget == QLatin1String("minus")) {
        CancelPercent(*this, MinusPercent, txt_minus);
    }
    // Back to the idle target, as V SET does.
    cmd_vset_MouseDown();
}

void Form1::cmd_vset_MouseDown() {
    EditTarget = QStringLiteral("vset");
    lbl_cmd->setText(QStringLiteral("V SET"));
}
