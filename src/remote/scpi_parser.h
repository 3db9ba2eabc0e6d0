// SPDX-License-Identifier: GPL-3.0-or-later
// The syntax of SCPI program messages: commands chained with ';', headers of
// mnemonics joined by ':' with optional nodes, and their parameters. Knows
// nothing of the commands themselves (scpi_commands.h).
#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <variant>
#include <vector>

// One parameter as the client wrote it.
struct ScpiParameter {
    enum class Kind {
        Number, // decimal, with an optional exponent and unit: 5, 1.5E1, 500 MV
        Word,   // character data: MAX, ON, FINE
        String, // quoted text
        Other,  // non-decimal numbers, blocks, expressions: not taken by any command
    };
    Kind kind = Kind::Other;
    double number = 0; // Number: the value as written, before its unit
    QString word;      // Word: the text; Number: its unit; both upper case
};

// One command of a message, before its header is looked up.
struct ScpiUnit {
    bool common = false;   // "*IDN?": its own mnemonic, outside the tree
    bool absolute = false; // a leading ':' starts from the root
    QStringList mnemonics; // upper case, as written: {"SOUR", "VOLT"}
    bool query = false;
    QList<ScpiParameter> parameters;
};

// The units of a message, in order, or the error number of the first fault
// in its syntax (a character that is not printable ASCII, a broken header
// or parameter).
std::variant<QList<ScpiUnit>, int> ParseMessage(QByteArrayView message);

// Whether a mnemonic as written is the short or the long form of a keyword
// written in SCPI's way, the short form in capitals: "VOLT" and "VOLTAGE" are
// "VOLTage". given is upper case.
bool MatchesKeyword(QStringView given, QStringView keyword);

// A header as the command table writes it: "[SOURce:]VOLTage[:LEVel]",
// "*IDN". Optional nodes stand in brackets.
class HeaderPattern {
public:
    explicit HeaderPattern(QStringView pattern);
    // Whether the mnemonics, upper case, spell the header: every node that is
    // not optional present, in order.
    bool Matches(const QStringList& mnemonics) const;

private:
    struct Node {
        QString keyword;
        bool optional = false;
    };
    bool MatchFrom(const QStringList& mnemonics, qsizetype given, size_t node) const;

    std::vector<Node> nodes_;
};
