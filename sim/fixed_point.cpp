// SPDX-License-Identifier: GPL-3.0-or-later
#include "fixed_point.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <limits>

namespace zrm_sim {

namespace {

long long PowerOfTen(int exponent) {
    long long result = 1;
    for (int i = 0; i < exponent; ++i) {
        result *= 10;
    }
    return result;
}

bool IsDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

} // namespace

std::optional<long long> ParseFixed(std::string_view text, int decimals) {
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const std::size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view{} : text.substr(point + 1);
    if (whole.empty() && fraction.empty()) {
        return std::nullopt;
    }
    // Large enough for any value the supply can hold, small enough never to overflow.
    constexpr std::size_t kMaxDigits = 12;
    if (whole.size() > kMaxDigits) {
        return std::nullopt;
    }
    long long scaled = 0;
    for (char c : whole) {
        if (!IsDigit(c)) {
            return std::nullopt;
        }
        scaled = scaled * 10 + (c - '0');
    }
    scaled *= PowerOfTen(decimals);
    for (std::size_t i = 0; i < fraction.size(); ++i) {
        const char c = fraction[i];
        if (!IsDigit(c)) {
            return std::nullopt;
        }
        const auto position = static_cast<int>(i);
        if (position < decimals) {
            scaled += (c - '0') * PowerOfTen(decimals - 1 - position);
        } else if (position == decimals && c >= '5') {
            scaled += 1;
        }
    }
    return negative ? -scaled : scaled;
}

std::string FormatFixed(long long value, int int_digits, int decimals) {
    const long long unit = PowerOfTen(decimals);
    char text[48];
    if (decimals == 0) {
        std::snprintf(text, sizeof text, "%0*lld", int_digits, value);
    } else {
        std::snprintf(text, sizeof text, "%0*lld.%0*lld", int_digits, value / unit, decimals,
                      value % unit);
    }
    return text;
}

long long RoundScaled(double value, int decimals) {
    const double scaled = value * static_cast<double>(PowerOfTen(decimals));
    if (!(scaled < static_cast<double>(std::numeric_limits<long long>::max()))) {
        return std::numeric_limits<long long>::max();
    }
    return std::llround(scaled);
}

} // namespace zrm_sim
