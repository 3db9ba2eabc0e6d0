#include "main_window.h"

#include <QScopedValueRollback>

namespace {

// The press steps shared by the three keys: the edit opens on the limit's
// present value and names the indicator to blink. The caller then starts the
// blinking and disables the keys that do not belong to the edit.
void OpenLimitEdit(Form1& form, float origin, const QString& target, const QString& caption,
                   QLabel* indicator) {
    form.KeyPressTime = TimeOfDay();
    form.EditOrigin = origin;
    form.EditTarget = target;
    form.lbl_cmd->setText(caption);
    form.FlashControl = indicator;
}

// A hold across midnight gives a negative time and counts as short.
bool HeldLong(const Form1& form) {
    return TimeOfDay() - form.KeyPressTime >= form.LongPressTime;
}

} // namespace

void Form1::cmd_vlimit_MouseDown() {
    OpenLimitEdit(*this, VoltageLimit, QStringLiteral("vlimit"), QStringLiteral("V LIMIT"), lbl_u);
    EnableGroupVLimit(false);
    tmr_flash->start();
}

void Form1::cmd_vlimit_MouseUp() {
    if (!HeldLong(*this) || !IsModelRow(ModelIndex)) {
        return;
    }
    VoltageLimit = ModelMaxVoltage[ModelIndex];
    dis_lv->setText(FormatWithPattern(VoltageLimit, u"00"));
    txt_u->setText(dis_lv->text());
    UpdatePowerFromLimits();
    txt_p->setText(dis_lp->text());
    SendCommand(QStringLiteral("SUM"));
}

void Form1::cmd_ilimit_MouseDown() {
    OpenLimitEdit(*this, CurrentLimit, QStringLiteral("ilimit"), QStringLiteral("I LIMIT"), lbl_i);
    tmr_flash->start();
    EnableGroupILimit(false);
}

void Form1::cmd_ilimit_MouseUp() {
    if (!HeldLong(*this) || !IsModelRow(ModelIndex)) {
        return;
    }
    CurrentLimit = ModelMaxCurrent[ModelIndex];
    dis_li->setText(FormatWithPattern(CurrentLimit, u"0.00"));
    txt_i->setText(dis_li->text());
    UpdatePowerFromLimits();
    txt_p->setText(dis_lp->text());
    SendCommand(QStringLiteral("SIM"));
}

void Form1::cmd_plimit_MouseDown() {
    OpenLimitEdit(*this, PowerLimit, QStringLiteral("plimit"), QStringLiteral("P LIMIT"), lbl_p);
    tmr_flash->start();
    EnableGroupPLimit(false);
    // With the output on the poll keeps the current limit fresh. The up and
    // down keys wait for the answer: their power bounds depend on it.
    if (OutputOn == 0) {
        const QScopedValueRollback<bool> hold(stepKeysHeld_, true);
        ReadBackCurrentLimit();
    }
}

void Form1::cmd_plimit_MouseUp() {
    if (!HeldLong(*this) || !IsModelRow(ModelIndex)) {
        return;
    }
    // All three limits go to the model's maxima, whose product is its power.
    PowerLimit = ModelMaxPower[ModelIndex];
    dis_lp->setText(QString::number(PowerLimit));
    txt_p->setText(dis_lp->text());
    CurrentLimit = ModelMaxCurrent[ModelIndex];
    VoltageLimit = ModelMaxVoltage[ModelIndex];
    dis_lv->setText(FormatWithPattern(VoltageLimit, u"00"));
    dis_li->setText(FormatWithPattern(CurrentLimit, u"0.00"));
    txt_u->setText(dis_lv->text());
    txt_i->setText(dis_li->text());
    SendCommand(QStringLiteral("SPM"));
}
