// SPDX-License-Identifier: GPL-3.0-or-later
// Every command line the supply understands, and nothing else: the pattern
// that each line a test sees on the wire must match.
#pragma once

#include <QRegularExpression>

inline const QRegularExpression kCommandSet(QStringLiteral(
    R"(^(L|B|D|U|I|SV \d\d\.\d\d|SU \d\d|SI \d\.\d\d|SP \d\d\d|S[VUIPBD][+-]|S[UIP]M|K[ONF])$)"));
