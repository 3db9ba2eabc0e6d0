// SPDX-License-Identifier: GPL-3.0-or-later
#include "supply_link.h"

#include <cmath>

void ReplyBuffer::Append(QByteArrayView chunk) {
    raw_.append(chunk.first(qMin(chunk.size(), qMax<qsizetype>(Room(), 0))));
}

bool ReplyBuffer::Complete() const {
    return !raw_.isEmpty() && raw_.back() == '\n';
}

QString ReplyBuffer::Payload() const {
    return QString::fromLatin1(raw_.mid(1));
}

QString ReplyBuffer::Raw() const {
    return QString::fromLatin1(raw_);
}

int MatchModelRow(double maxVoltage, const PanelState& state) {
    for (int row = 0; row < kModelCount; ++row) {
        if (std::fabs(maxVoltage - state.ModelMaxVoltage[row]) < 0.01) {
            return row;
        }
    }
    return -1;
}
