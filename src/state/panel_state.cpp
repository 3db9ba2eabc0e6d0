// SPDX-License-Identifier: GPL-3.0-or-later
#include "panel_state.h"

#include <QTime>
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

void PanelState::FillTables() {
    LongPressTime = 1.5;
    EditTarget = EditTargets::VoltageSet.toString();

    ModelMaxVoltage[0] = 60;
    ModelMaxCurrent[0] = 3.5f;
    ModelMaxPower[0] = 210;
    ModelName[0] = QStringLiteral("ZRM-711");
    ModelMaxVoltage[1] = 40;
    ModelMaxCurrent[1] = 5;
    ModelMaxPower[1] = 200;
    ModelName[1] = QStringLiteral("ZRM-522");
    ModelMaxVoltage[2] = 20;
    ModelMaxCurrent[2] = 9.99f;
    ModelMaxPower[2] = 199;
    ModelName[2] = QStringLiteral("ZRM-3033");

    VoltageStep[0] = 1.0f;
    VoltageStep[1] = 0.01f;
    CurrentStep[0] = 0.1f;
    CurrentStep[1] = 0.01f;
}

bool IsNumberBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n';
}

namespace {

bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Collects the characters of a number, skipping the blanks between them.
class NumberScanner {
public:
    explicit NumberScanner(QStringView text) : text_(text) {}

    QChar Peek() {
        while (pos_ < text_.size() && IsNumberBlank(text_[pos_])) {
            ++pos_;
        }
        return pos_ < text_.size() ? text_[pos_] : QChar();
    }
    void Take(std::string& out) { out += static_cast<char>(text_[pos_++].unicode()); }
    void Skip() { ++pos_; }

    // Appends a run of digits and returns how many there were.
    int TakeDigits(std::string& out) {
        int count = 0;
        while (IsDigit(Peek())) {
            Take(out);
            ++count;
        }
        return count;
    }

private:
    QStringView text_;
    qsizetype pos_ = 0;
};

} // namespace

double LeadingNumber(QStringView text) {
    NumberScanner scan(text);
    std::string number;
    if (scan.Peek() == u'+' || scan.Peek() == u'-') {
        scan.Take(number);
    }
    int digits = scan.TakeDigits(number);
    if (scan.Peek() == u'.') {
        scan.Take(number);
        digits += scan.TakeDigits(number);
    }
    if (digits == 0) {
        return 0;
    }
    if (scan.Peek() == u'E' || scan.Peek() == u'D') {
        scan.Skip();
        std::string exponent = "e";
        if (scan.Peek() == u'+' || scan.Peek() == u'-') {
            scan.Take(exponent);
        }
        if (scan.TakeDigits(exponent) > 0) {
            number += exponent;
        }
    }
    double value = std::strtod(number.c_str(), nullptr);
    if (std::isinf(value)) {
        // A number too large for a double: keep it finite so no later
        // arithmetic or conversion on it is undefined.
        value = std::copysign(DBL_MAX, value);
    }
    return value;
}

float SingleNumber(QStringView text) {
    return static_cast<float>(std::clamp(LeadingNumber(text), -double(FLT_MAX), double(FLT_MAX)));
}

QString FormatWithPattern(double value, QStringView pattern) {
    const qsizetype point = pattern.indexOf(u'.');
    const int intZeros =
        static_cast<int>(point < 0 ? pattern.count(u'0') : pattern.left(point).count(u'0'));
    const int fracZeros = static_cast<int>(point < 0 ? 0 : pattern.mid(point + 1).count(u'0'));
    if (!std::isfinite(value)) {
        value = 0;
    }

    // Round the decimal digits of the value (15 significant, as they are
    // shown everywhere else), not its binary fraction: 2.675 gives 2.68.
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.14e", std::fabs(value));
    std::string digits(1, buf[0]);
    digits.append(buf + 2, 14);
    int intDigits = std::atoi(std::strchr(buf, 'e') + 1) + 1;
    if (intDigits < 1) {
        digits.insert(0, static_cast<size_t>(1 - intDigits), '0');
        intDigits = 1;
    }
    const size_t kept = static_cast<size_t>(intDigits + fracZeros);
    if (digits.size() < kept + 1) {
        digits.append(kept + 1 - digits.size(), '0');
    }
    const bool roundUp = digits[kept] >= '5';
    digits.resize(kept);
    if (roundUp) {
        size_t i = kept;
        while (i > 0 && digits[i - 1] == '9') {
            digits[--i] = '0';
        }
        if (i == 0) {
            digits.insert(0, 1, '1');
            ++intDigits;
        } else {
            ++digits[i - 1];
        }
    }

    std::string whole = digits.substr(0, static_cast<size_t>(intDigits));
    whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
    if (static_cast<int>(whole.size()) < intZeros) {
        whole.insert(0, static_cast<size_t>(intZeros) - whole.size(), '0');
    }
    std::string text = whole;
    if (point >= 0) {
        text += '.';
        text += digits.substr(static_cast<size_t>(intDigits));
    }
    if (value < 0 && digits.find_first_not_of('0') != std::string::npos) {
        text.insert(0, 1, '-');
    }
    return QString::fromLatin1(text);
}

double IntegerPart(double value) {
    return std::floor(value);
}

float TimeOfDay() {
    return static_cast<float>(QTime::currentTime().msecsSinceStartOfDay()) / 1000.0f;
}
