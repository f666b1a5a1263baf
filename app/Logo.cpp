#include "app/Logo.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace tabsend {

namespace {

const QColor kNavy(0x1C, 0x3D, 0x6E);
const QColor kBlue(0x2E, 0x63, 0xA8);
const QColor kScreen(0xEA, 0xF3, 0xFC);
const QColor kOrange(0xF2, 0x97, 0x27);
const QColor kTeal(0x1F, 0xAE, 0x9B);
const QColor kSky(0x4A, 0x8F, 0xE0);
const QColor kKeys(0xCF, 0xE0, 0xF5);
const QColor kSubtitle(0x5A, 0x6B, 0x80);

// The display unit in the square `r`: a rounded body, a light screen with three text lines
// in the slot colours, and three keys under the screen.
void drawMark(QPainter& p, const QRectF& r) {
    const qreal s = r.width();
    const QRectF body = r.adjusted(s * 0.04, s * 0.04, -s * 0.04, -s * 0.04);
    QLinearGradient shade(body.topLeft(), body.bottomLeft());
    shade.setColorAt(0.0, kBlue);
    shade.setColorAt(1.0, kNavy);
    p.setPen(Qt::NoPen);
    p.setBrush(shade);
    p.drawRoundedRect(body, s * 0.14, s * 0.14);

    const QRectF screen(body.left() + s * 0.1, body.top() + s * 0.1, body.width() - s * 0.2,
                        body.height() * 0.6);
    p.setBrush(kScreen);
    p.drawRoundedRect(screen, s * 0.05, s * 0.05);

    const qreal lineHeight = screen.height() * 0.17;
    const qreal gap = (screen.height() - 3 * lineHeight) / 4;
    const qreal lengths[3] = {0.78, 0.52, 0.66};
    const QColor colours[3] = {kOrange, kTeal, kSky};
    for (int i = 0; i < 3; ++i) {
        const QRectF line(screen.left() + screen.width() * 0.1,
                          screen.top() + gap + i * (lineHeight + gap),
                          screen.width() * 0.8 * lengths[i], lineHeight);
        p.setBrush(colours[i]);
        p.drawRoundedRect(line, lineHeight / 2, lineHeight / 2);
    }

    const qreal keyTop = screen.bottom() + (body.bottom() - screen.bottom()) * 0.3;
    const qreal key = (body.bottom() - screen.bottom()) * 0.4;
    p.setBrush(kKeys);
    for (int i = 0; i < 3; ++i) {
        const qreal cx = body.center().x() + (i - 1) * key * 2.2;
        p.drawEllipse(QRectF(cx - key / 2, keyTop, key, key));
    }
}

QPainterPath textPath(const QString& text, bool bold) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(100);
    font.setBold(bold);
    QPainterPath path;
    path.addText(0, 0, font, text);
    return path;
}

// Where `path` goes when scaled to fit `box` (kept in proportion), left-aligned and
// centred vertically.
QRectF fitted(const QPainterPath& path, const QRectF& box) {
    const QRectF bounds = path.boundingRect();
    if (bounds.isEmpty() || box.isEmpty()) return {};
    const qreal scale = std::min(box.width() / bounds.width(), box.height() / bounds.height());
    const qreal top = box.top() + (box.height() - bounds.height() * scale) / 2;
    return {box.left(), top, bounds.width() * scale, bounds.height() * scale};
}

// Fills `path` scaled into `target` (a rectangle from fitted()), moved right by `dx`.
void fillInto(QPainter& p, const QPainterPath& path, const QRectF& target, qreal dx,
              const QColor& colour) {
    const QRectF bounds = path.boundingRect();
    if (target.isEmpty()) return;
    p.save();
    p.translate(target.left() + dx, target.top());
    p.scale(target.width() / bounds.width(), target.height() / bounds.height());
    p.translate(-bounds.topLeft());
    p.fillPath(path, colour);
    p.restore();
}

}  // namespace

QPixmap DrawLogo(QSize size) {
    const int w = std::max(size.width(), 1);
    const int h = std::max(size.height(), 1);
    QPixmap pixmap(w, h);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    if (w * 2 < h * 3) {
        const qreal side = std::min(w, h) * 0.92;
        drawMark(p, QRectF((w - side) / 2, (h - side) / 2, side, side));
        return pixmap;
    }

    // The unit, then the word mark with its rule and subtitle; the whole centred
    // across the box.
    const qreal side = h * 0.92;
    const qreal left = h * 0.04 + side + h * 0.12;
    const qreal right = w - h * 0.04;
    const QPainterPath word = textPath(QStringLiteral("DEX"), true);
    const QPainterPath subtitle = textPath(QStringLiteral("Language Tool"), false);
    const QRectF wordRect = fitted(word, QRectF(left, h * 0.08, right - left, h * 0.5));
    const QRectF subtitleRect = fitted(subtitle, QRectF(left, h * 0.74, right - left, h * 0.18));
    const qreal used = std::max(wordRect.right(), subtitleRect.right()) + h * 0.04;
    const qreal dx = std::max((w - used) / 2, 0.0);

    drawMark(p, QRectF(h * 0.04 + dx, (h - side) / 2, side, side));
    if (wordRect.isEmpty()) return pixmap;
    fillInto(p, word, wordRect, dx, kNavy);
    p.setPen(Qt::NoPen);
    p.setBrush(kOrange);
    p.drawRect(QRectF(wordRect.left() + dx, h * 0.64, wordRect.width(), h * 0.05));
    fillInto(p, subtitle, subtitleRect, dx, kSubtitle);
    return pixmap;
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int side : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        drawMark(p, QRectF(0, 0, side, side));
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace tabsend
