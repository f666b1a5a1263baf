#include "tools/artwork/Artwork.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace artwork {

namespace {

QPainterPath roundedRect(double x, double y, double w, double h, double r) {
    QPainterPath p;
    p.addRoundedRect(QRectF(x, y, w, h), r, r);
    return p;
}

}  // namespace

QImage HandPointer() {
    QImage image(48, 48, QImage::Format_ARGB32);
    image.fill(Qt::transparent);

    // Drawn around the fingertip at (24, 24): the index finger points straight up, three
    // folded fingers sit on the palm to its right, the thumb lies against its left side.
    QPainterPath hand = roundedRect(21.5, 24.0, 5.0, 14.0, 2.5);   // index finger
    hand = hand.united(roundedRect(26.0, 31.0, 4.5, 8.0, 2.2));    // middle finger
    hand = hand.united(roundedRect(30.0, 32.0, 4.5, 7.0, 2.2));    // ring finger
    hand = hand.united(roundedRect(34.0, 33.5, 4.0, 6.0, 2.0));    // little finger
    hand = hand.united(roundedRect(21.5, 35.0, 17.0, 11.0, 3.0));  // palm
    QPainterPath thumb;
    thumb.moveTo(22.0, 42.0);
    thumb.lineTo(16.5, 36.5);
    thumb.cubicTo(15.5, 35.0, 17.5, 33.0, 19.0, 34.0);
    thumb.lineTo(22.5, 37.0);
    thumb.closeSubpath();
    hand = hand.united(thumb).simplified();

    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(Qt::white);
    p.setPen(QPen(Qt::black, 1.2));
    p.drawPath(hand);
    // The creases between the folded fingers.
    p.setPen(QPen(Qt::black, 0.9));
    p.drawLine(QPointF(26.5, 35.0), QPointF(26.5, 38.5));
    p.drawLine(QPointF(30.3, 35.5), QPointF(30.3, 38.5));
    p.drawLine(QPointF(34.2, 36.0), QPointF(34.2, 38.5));
    p.end();
    return image;
}

QImage ProgramIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.scale(size / 64.0, size / 64.0);  // drawn on a 64 x 64 grid

    // The unit: a dark bezel with a green display.
    p.setPen(QPen(QColor(0x20, 0x20, 0x20), 1.5));
    p.setBrush(QColor(0x4a, 0x50, 0x58));
    p.drawRoundedRect(QRectF(3, 8, 58, 44), 6, 6);
    p.setPen(QPen(QColor(0x1c, 0x2a, 0x10), 1.0));
    p.setBrush(QColor(0xb8, 0xd8, 0x78));
    p.drawRect(QRectF(9, 14, 46, 26));

    // Two lines of text on the display.
    QFont font("DejaVu Sans");
    font.setBold(true);
    font.setPixelSize(13);
    p.setFont(font);
    p.setPen(QColor(0x10, 0x20, 0x08));
    p.drawText(QRectF(11, 14, 42, 14), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Aä"));
    p.fillRect(QRectF(12, 31, 26, 3), QColor(0x10, 0x20, 0x08));

    // Keys under the display.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xd0, 0xd0, 0xd0));
    for (int i = 0; i < 4; ++i) p.drawRoundedRect(QRectF(10 + i * 9, 44, 6, 4), 1, 1);

    // The download arrow going into the unit.
    QPolygonF arrow;
    arrow << QPointF(47, 26) << QPointF(55, 26) << QPointF(55, 40) << QPointF(61, 40)
          << QPointF(51, 52) << QPointF(41, 40) << QPointF(47, 40);
    p.setPen(QPen(Qt::white, 1.5));
    p.setBrush(QColor(0x1e, 0x5a, 0xc8));
    p.drawPolygon(arrow);
    p.end();
    return image;
}

}  // namespace artwork
