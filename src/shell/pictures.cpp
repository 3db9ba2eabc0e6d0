// SPDX-License-Identifier: GPL-3.0-or-later
#include "pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace {

// A supply's front: grey case, green display, red and black terminals.
QPixmap DrawIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 32.0;
    p.setPen(QPen(Qt::black, s));
    p.setBrush(QColor(128, 128, 128));
    p.drawRoundedRect(QRectF(1 * s, 4 * s, 30 * s, 24 * s), 3 * s, 3 * s);
    p.setBrush(QColor(0, 128, 0));
    p.drawRect(QRectF(4 * s, 7 * s, 24 * s, 10 * s));
    p.setPen(QPen(QColor(0, 255, 0), 2 * s));
    p.drawLine(QPointF(9 * s, 9 * s), QPointF(16 * s, 15 * s));
    p.drawLine(QPointF(16 * s, 15 * s), QPointF(23 * s, 9 * s));
    p.setPen(QPen(Qt::black, s));
    p.setBrush(QColor(255, 0, 0));
    p.drawEllipse(QPointF(9 * s, 22.5 * s), 3 * s, 3 * s);
    p.setBrush(Qt::black);
    p.drawEllipse(QPointF(23 * s, 22.5 * s), 3 * s, 3 * s);
    return pixmap;
}

} // namespace

QIcon AppIcon() {
    QIcon icon;
    icon.addPixmap(DrawIcon(32));
    icon.addPixmap(DrawIcon(72));
    return icon;
}

QPixmap ArrowPicture(bool up) {
    const int w = 76;
    const int h = 68;
    QPixmap pixmap(w, h);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPolygonF arrow({{38, 2}, {74, 36}, {54, 36}, {54, 66}, {22, 66}, {22, 36}, {2, 36}});
    if (!up) {
        arrow = QTransform(1, 0, 0, -1, 0, h).map(arrow);
    }
    p.setPen(QPen(QColor(0, 100, 0), 2));
    p.setBrush(QColor(0, 200, 0));
    p.drawPolygon(arrow);
    // The sign sits in the arrow's shaft.
    const QPointF centre(38, up ? 46 : h - 46);
    p.setPen(QPen(Qt::white, 6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre - QPointF(10, 0), centre + QPointF(10, 0));
    if (up) {
        p.drawLine(centre - QPointF(0, 10), centre + QPointF(0, 10));
    }
    return pixmap;
}
