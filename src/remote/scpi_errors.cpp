// SPDX-License-Identifier: GPL-3.0-or-later
#include "scpi_errors.h"

QString ScpiErrorText(int code) {
    switch (code) {
    case ScpiError::NoError:
        return QStringLiteral("No error");
    case ScpiError::InvalidCharacter:
        return QStringLiteral("Invalid character");
    case ScpiError::SyntaxError:
        return QStringLiteral("Syntax error");
    case ScpiError::DataTypeError:
        return QStringLiteral("Data type error");
    case ScpiError::ParameterNotAllowed:
        return QStringLiteral("Parameter not allowed");
    case ScpiError::MissingParameter:
        return QStringLiteral("Missing parameter");
    case ScpiError::UndefinedHeader:
        return QStringLiteral("Undefined header");
    case ScpiError::InvalidSuffix:
        return QStringLiteral("Invalid suffix");
    case ScpiError::SettingsConflict:
        return QStringLiteral("Settings conflict");
    case ScpiError::DataOutOfRange:
        return QStringLiteral("Data out of range");
    case ScpiError::TooMuchData:
        return QStringLiteral("Too much data");
    case ScpiError::ListsNotSameLength:
        return QStringLiteral("Lists not same length");
    case ScpiError::DataStale:
        return QStringLiteral("Data corrupt or stale");
    case ScpiError::HardwareError:
        return QStringLiteral("Hardware error");
    case ScpiError::QueueOverflow:
        return QStringLiteral("Queue overflow");
    }
    return QStringLiteral("Error");
}

void ErrorQueue::Push(int code) {
    if (codes_.size() < kCapacity) {
        codes_.append(code);
    } else {
        codes_.last() = ScpiError::QueueOverflow;
    }
}

QString ErrorQueue::Take() {
    const int code = codes_.isEmpty() ? ScpiError::NoError : codes_.takeFirst();
    return QStringLiteral("%1,\"%2\"").arg(code).arg(ScpiErrorText(code));
}
