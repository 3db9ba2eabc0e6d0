// The program's own pictures, drawn at run time: the application icon and
// the arrows of the up and down keys. Also the design's twip measures.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QRect>

// 15 twips are one pixel at 96 dpi; Qt scales device-independent pixels itself.
constexpr int Twips(int twips) {
    return (twips + 7) / 15;
}
constexpr QRect TwipsRect(int left, int top, int width, int height) {
    return QRect(Twips(left), Twips(top), Twips(width), Twips(height));
}

QIcon AppIcon();
// A green arrow pointing up with a plus sign, or down with a minus sign.
QPixmap ArrowPicture(bool up);
