// SPDX-License-Identifier: GPL-3.0-or-later
#include "scpi_framer.h"

namespace {

// The most a message may hold before its LF: the limit and the CR of a CR LF.
constexpr qsizetype kMaxBeforeLf = InputFramer::kMaxMessage + 1;

} // namespace

void InputFramer::Append(QByteArrayView bytes, QList<ScpiMessage>& out) {
    while (!bytes.isEmpty()) {
        const qsizetype lf = bytes.indexOf('\n');
        const QByteArrayView part = lf < 0 ? bytes : bytes.first(lf);
        if (!discarding_) {
            if (partial_.size() + part.size() > kMaxBeforeLf) {
                discarding_ = true;
                partial_.clear();
            } else {
                partial_.append(part);
            }
        }
        if (lf < 0) {
            return;
        }
        End(out);
        bytes = bytes.sliced(lf + 1);
    }
}

void InputFramer::End(QList<ScpiMessage>& out) {
    if (partial_.endsWith('\r')) {
        partial_.chop(1);
    }
    if (discarding_ || partial_.size() > kMaxMessage) {
        out.append({{}, true});
    } else if (!partial_.isEmpty()) {
        out.append({partial_, false});
    }
    partial_.clear();
    discarding_ = false;
}
