// SPDX-License-Identifier: GPL-3.0-or-later
// What every fuzz target shares: a check that stops the run with a finding.
#pragma once

#include <QString>
#include <cstdio>
#include <cstdlib>

// A broken property is a finding like a crash: libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

// The bytes of the serial line as the port hands them to the panel.
inline QString LineText(const unsigned char* data, size_t size) {
    return QString::fromLatin1(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}
