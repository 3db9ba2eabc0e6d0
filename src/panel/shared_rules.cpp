#include "main_window.h"

void Form1::UpdatePowerFromLimits() {
    // The supply derives the same whole-watt figure itself; nothing is sent.
    PowerLimit = static_cast<float>(IntegerPart(VoltageLimit * CurrentLimit));
    dis_lp->setText(FormatWithPattern(PowerLimit, u"000"));
}

void Form1::ReadBackCurrentLimit() {
    SendCommand(QStringLiteral("I"));
    const QString reply = ReadReply();
    dis_li->setText(FormatWithPattern(LeadingNumber(reply), u"0.00"));
    // Keep the value as displayed, with two decimals.
    CurrentLimit = static_cast<float>(LeadingNumber(dis_li->text()));
}
