// SPDX-License-Identifier: GPL-3.0-or-later
// Exact decimal numbers for the supply's values.
//
// The supply keeps its values as whole numbers of its smallest unit (hundredths of a
// volt, hundredths of an ampere, whole watts), so repeated steps never drift and every
// value prints exactly in the fixed-width fields of its replies.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zrm_sim {

// Parses a plain decimal number ("7.5", "07.50", "-3", ".25") scaled by 10^decimals,
// rounded half away from zero at that precision. The whole text must be the number.
std::optional<long long> ParseFixed(std::string_view text, int decimals);

// Writes value / 10^decimals with at least int_digits integer digits (leading zeros)
// and exactly `decimals` fraction digits: FormatFixed(750, 2, 2) is "07.50".
std::string FormatFixed(long long value, int int_digits, int decimals);

// Rounds a non-negative real to a whole number of 10^-decimals units, half away from zero.
long long RoundScaled(double value, int decimals);

} // namespace zrm_sim
