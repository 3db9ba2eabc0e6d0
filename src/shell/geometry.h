// SPDX-License-Identifier: GPL-3.0-or-later
// The window's design is measured in twips; these turn them into pixels.
#pragma once

#include <QRect>

// 15 twips are one pixel at 96 dpi; Qt scales device-independent pixels itself.
constexpr int Twips(int twips) {
    return (twips + 7) / 15;
}
constexpr QRect TwipsRect(int left, int top, int width, int height) {
    return QRect(Twips(left), Twips(top), Twips(width), Twips(height));
}
