// SPDX-License-Identifier: GPL-3.0-or-later
#include "scpi_parser.h"

#include "scpi_errors.h"

#include <limits>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsMnemonicCharacter(char c) {
    return IsLetter(c) || IsDigit(c) || c == '_';
}

// Printable ASCII, and the tab that some clients put between header and value.
bool IsAllowed(char c) {
    return (c >= 0x20 && c <= 0x7e) || c == '\t';
}

QByteArrayView Trimmed(QByteArrayView text) {
    while (!text.isEmpty() && IsBlank(text.front())) {
        text = text.sliced(1);
    }
    while (!text.isEmpty() && IsBlank(text.back())) {
        text.chop(1);
    }
    return text;
}

QString Upper(QByteArrayView text) {
    return QString::fromLatin1(text).toUpper();
}

// Splits text at each separator that does not stand inside quotes. False for
// a quote left open.
bool SplitOutsideQuotes(QByteArrayView text, char separator, QList<QByteArrayView>& parts) {
    char quote = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quote != 0) {
            if (c == quote) {
                quote = 0; // a doubled quote closes and opens again
            }
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == separator) {
            parts.append(text.sliced(start, i - start));
            start = i + 1;
        }
    }
    parts.append(text.sliced(start));
    return quote == 0;
}

// The length of the mnemonic that starts text: a letter, then letters,
// digits and underscores. 0 when text does not start with one.
qsizetype MnemonicLength(QByteArrayView text) {
    if (text.isEmpty() || !IsLetter(text.front())) {
        return 0;
    }
    qsizetype n = 1;
    while (n < text.size() && IsMnemonicCharacter(text[n])) {
        ++n;
    }
    return n;
}

qsizetype DigitsFrom(QByteArrayView text, qsizetype i) {
    qsizetype n = 0;
    while (i + n < text.size() && IsDigit(text[i + n])) {
        ++n;
    }
    return n;
}

// A decimal number: sign, digits with at most one point, an exponent, then
// blanks and a unit of letters.
std::variant<ScpiParameter, int> ParseNumber(QByteArrayView text) {
    qsizetype i = 0;
    if (text[i] == '+' || text[i] == '-') {
        ++i;
    }
    qsizetype digits = DigitsFrom(text, i);
    i += digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        const qsizetype fraction = DigitsFrom(text, i);
        digits += fraction;
        i += fraction;
    }
    if (digits == 0) {
        return ScpiError::SyntaxError;
    }
    // An E that no exponent follows starts the unit instead.
    if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
        qsizetype j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            ++j;
        }
        const qsizetype exponent = DigitsFrom(text, j);
        if (exponent > 0) {
            i = j + exponent;
        }
    }
    ScpiParameter parameter;
    parameter.kind = ScpiParameter::Kind::Number;
    bool ok = false;
    parameter.number = text.first(i).toByteArray().toDouble(&ok);
    if (!ok) {
        // Only an exponent beyond the range of a double gets here.
        parameter.number = std::numeric_limits<double>::infinity();
    }
    QByteArrayView unit = Trimmed(text.sliced(i));
    for (const char c : unit) {
        if (!IsLetter(c)) {
            return ScpiError::SyntaxError;
        }
    }
    parameter.word = Upper(unit);
    return parameter;
}

// A quoted text, its quote doubled inside.
std::variant<ScpiParameter, int> ParseString(QByteArrayView text) {
    const char quote = text.front();
    QByteArray value;
    qsizetype i = 1;
    while (i < text.size()) {
        if (text[i] == quote) {
            if (i + 1 < text.size() && text[i + 1] == quote) {
                value.append(quote);
                i += 2;
                continue;
            }
            break;
        }
        value.append(text[i]);
        ++i;
    }
    if (i != text.size() - 1) {
        return ScpiError::SyntaxError;
    }
    return ScpiParameter{ScpiParameter::Kind::String, 0, QString::fromLatin1(value)};
}

std::variant<ScpiParameter, int> ParseParameter(QByteArrayView text) {
    const char first = text.front();
    if (first == '"' || first == '\'') {
        return ParseString(text);
    }
    if (IsLetter(first)) {
        if (MnemonicLength(text) != text.size()) {
            return ScpiError::SyntaxError;
        }
        return ScpiParameter{ScpiParameter::Kind::Word, 0, Upper(text)};
    }
    if (first == '#' || first == '(') {
        return ScpiParameter{};
    }
    if (IsDigit(first) || first == '+' || first == '-' || first == '.') {
        return ParseNumber(text);
    }
    return ScpiError::SyntaxError;
}

std::variant<ScpiUnit, int> ParseUnit(QByteArrayView text) {
    ScpiUnit unit;
    qsizetype i = 0;
    if (text.front() == '*') {
        unit.common = true;
        ++i;
    } else if (text.front() == ':') {
        unit.absolute = true;
        ++i;
    }
    for (;;) {
        const qsizetype n = MnemonicLength(text.sliced(i));
        if (n == 0) {
            return ScpiError::SyntaxError;
        }
        unit.mnemonics.append(Upper(text.sliced(i, n)));
        i += n;
        if (unit.common || i == text.size() || text[i] != ':') {
            break;
        }
        ++i;
    }
    if (i < text.size() && text[i] == '?') {
        unit.query = true;
        ++i;
    }
    if (i == text.size()) {
        return unit;
    }
    if (!IsBlank(text[i])) {
        return ScpiError::SyntaxError;
    }
    const QByteArrayView parameters = Trimmed(text.sliced(i));
    if (parameters.isEmpty()) {
        return unit;
    }
    QList<QByteArrayView> parts;
    SplitOutsideQuotes(parameters, ',', parts);
    for (const QByteArrayView part : parts) {
        const QByteArrayView trimmed = Trimmed(part);
        if (trimmed.isEmpty()) {
            return ScpiError::SyntaxError;
        }
        auto parameter = ParseParameter(trimmed);
        if (const int* error = std::get_if<int>(&parameter)) {
            return *error;
        }
        unit.parameters.append(std::get<ScpiParameter>(parameter));
    }
    return unit;
}

} // namespace

std::variant<QList<ScpiUnit>, int> ParseMessage(QByteArrayView message) {
    for (const char c : message) {
        if (!IsAllowed(c)) {
            return ScpiError::InvalidCharacter;
        }
    }
    QList<QByteArrayView> parts;
    if (!SplitOutsideQuotes(message, ';', parts)) {
        return ScpiError::SyntaxError;
    }
    QList<ScpiUnit> units;
    for (const QByteArrayView part : parts) {
        const QByteArrayView trimmed = Trimmed(part);
        // Nothing between two semicolons, or after the last one.
        if (trimmed.isEmpty()) {
            continue;
        }
        auto unit = ParseUnit(trimmed);
        if (const int* error = std::get_if<int>(&unit)) {
            return *error;
        }
        units.append(std::get<ScpiUnit>(std::move(unit)));
    }
    return units;
}

bool MatchesKeyword(QStringView given, QStringView keyword) {
    qsizetype shortLength = 0;
    while (shortLength < keyword.size() && !keyword[shortLength].isLower()) {
        ++shortLength;
    }
    return given.compare(keyword.first(shortLength)) == 0 ||
           given.compare(keyword, Qt::CaseInsensitive) == 0;
}

HeaderPattern::HeaderPattern(QStringView pattern) {
    bool optional = false;
    QString keyword;
    const auto endKeyword = [&] {
        if (!keyword.isEmpty()) {
            nodes_.push_back({keyword, optional});
            keyword.clear();
        }
    };
    for (const QChar c : pattern) {
        if (c == u'[') {
            endKeyword();
            optional = true;
        } else if (c == u']') {
            endKeyword();
            optional = false;
        } else if (c == u':') {
            endKeyword();
        } else {
            keyword.append(c);
        }
    }
    endKeyword();
}

bool HeaderPattern::Matches(const QStringList& mnemonics) const {
    return MatchFrom(mnemonics, 0, 0);
}

bool HeaderPattern::MatchFrom(const QStringList& mnemonics, qsizetype given, size_t node) const {
    if (node == nodes_.size()) {
        return given == mnemonics.size();
    }
    if (given < mnemonics.size() && MatchesKeyword(mnemonics[given], nodes_[node].keyword) &&
        MatchFrom(mnemonics, given + 1, node + 1)) {
        return true;
    }
    return nodes_[node].optional && MatchFrom(mnemonics, given, node + 1);
}
