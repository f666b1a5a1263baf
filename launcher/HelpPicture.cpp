#include "launcher/HelpPicture.h"

#include <QFont>
#include <QPainter>
#include <QPolygonF>

namespace startup {

namespace {

QFont sans(int pixelSize, bool bold = false) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

}  // namespace

QImage HelpPicture() {
    QImage image(444, 405, QImage::Format_RGB888);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QColor blue(0x00, 0x00, 0xff);

    // Heading and the three steps.
    p.setPen(Qt::black);
    p.setFont(sans(19, true));
    p.drawText(QRect(18, 14, 410, 30), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("How to get DEXIO FW Version:"));
    p.setFont(sans(15));
    const char* steps[] = {"1. Give a power cycle to DEXIO",
                           "2. Check DEXIO LCD display after startup",
                           "3. DEXIO FW Version is on the first line"};
    int y = 58;
    for (const char* step : steps) {
        p.drawText(QRect(30, y, 400, 24), Qt::AlignLeft | Qt::AlignVCenter,
                   QString::fromLatin1(step));
        y += 28;
    }

    // The unit's display right after start-up: a framed screen of two lines.
    const QRect screen(40, 190, 250, 118);
    p.setPen(QPen(Qt::black, 3));
    p.setBrush(Qt::NoBrush);
    p.drawRect(screen);
    p.setPen(QPen(Qt::black, 1));
    p.drawRect(screen.adjusted(6, 6, -6, -6));

    QFont lcd(QStringLiteral("DejaVu Sans Mono"));
    lcd.setPixelSize(24);
    p.setFont(lcd);
    p.setPen(Qt::black);
    const QRect line1(62, 206, 120, 34);
    p.drawText(line1, Qt::AlignCenter, QStringLiteral("1.1.000"));
    p.drawText(QRect(62, 256, 120, 34), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("English"));
    p.drawText(QRect(196, 256, 76, 34), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("0001"));

    // The version marked in blue and pointed at by its label.
    p.setPen(QPen(blue, 2));
    p.drawRect(line1);
    QFont label = sans(15, true);
    label.setItalic(true);
    p.setFont(label);
    p.drawText(QRect(268, 138, 160, 24), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("DEXIO FW Version"));
    const QPointF from(310, 164);
    const QPointF tip(line1.right() + 3, line1.center().y());
    p.drawLine(from, tip);
    QPolygonF head;
    head << tip << QPointF(tip.x() + 13, tip.y() - 3) << QPointF(tip.x() + 9, tip.y() + 7);
    p.setBrush(blue);
    p.drawPolygon(head);

    // The caption under the sketch.
    QFont caption = sans(15);
    caption.setUnderline(true);
    p.setFont(caption);
    p.setPen(Qt::black);
    p.drawText(QRect(screen.left(), 322, screen.width(), 26), Qt::AlignCenter,
               QStringLiteral("DEXIO startup display"));
    p.end();
    return image;
}

}  // namespace startup
