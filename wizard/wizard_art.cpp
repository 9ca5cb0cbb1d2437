#include "wizard/wizard_art.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <array>
#include <cmath>

namespace {

const QColor mysql_blue(0x00, 0x61, 0x8a);
const QColor oracle_red(0xc7, 0x46, 0x34);

// A database drum: an upright cylinder with two bands.
void draw_drum(QPainter& p, const QRectF& box, const QColor& colour) {
    const qreal lid = box.height() / 5;
    QLinearGradient side(box.topLeft(), box.topRight());
    side.setColorAt(0, colour.lighter(130));
    side.setColorAt(1, colour.darker(140));
    QPainterPath body;
    body.moveTo(box.left(), box.top() + lid / 2);
    body.lineTo(box.left(), box.bottom() - lid / 2);
    body.arcTo(QRectF(box.left(), box.bottom() - lid, box.width(), lid), 180, 180);
    body.lineTo(box.right(), box.top() + lid / 2);
    body.closeSubpath();
    p.setPen(QPen(colour.darker(170), 1));
    p.setBrush(side);
    p.drawPath(body);
    p.setBrush(colour.lighter(150));
    p.drawEllipse(QRectF(box.left(), box.top(), box.width(), lid));
    p.setBrush(Qt::NoBrush);
    for (int band = 1; band <= 2; ++band) {
        const qreal y = box.top() + band * (box.height() - lid) / 3;
        p.drawArc(QRectF(box.left(), y, box.width(), lid), 180 * 16, 180 * 16);
    }
}

void draw_arrow(QPainter& p, QPointF from, QPointF to, qreal width, const QColor& colour) {
    const QPointF d = to - from;
    const qreal length = std::hypot(d.x(), d.y());
    const QPointF unit = d / length;
    const QPointF normal(-unit.y(), unit.x());
    const qreal head = width * 2;
    const QPointF neck = to - unit * head;
    QPolygonF arrow;
    arrow << from + normal * width / 2 << neck + normal * width / 2 << neck + normal * width << to
          << neck - normal * width << neck - normal * width / 2 << from - normal * width / 2;
    p.setPen(QPen(colour.darker(150), 1));
    p.setBrush(colour);
    p.drawPolygon(arrow);
}

// The MySQL drum, an arrow and the Oracle drum, fitted into the square.
void draw_move(QPainter& p, const QRectF& square) {
    const qreal s = square.width();
    draw_drum(p, QRectF(square.left() + s * 0.02, square.top() + s * 0.1, s * 0.36, s * 0.5),
              mysql_blue);
    draw_drum(p, QRectF(square.left() + s * 0.62, square.top() + s * 0.4, s * 0.36, s * 0.5),
              oracle_red);
    draw_arrow(p, QPointF(square.left() + s * 0.3, square.top() + s * 0.42),
               QPointF(square.left() + s * 0.7, square.top() + s * 0.62), s * 0.07,
               QColor(0xf2, 0xb1, 0x33));
}

QPixmap transparent(int width, int height) {
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

}  // namespace

namespace wizard_art {

QIcon program_icon() {
    QIcon icon;
    for (const int size : {16, 32, 48, 64}) {
        QPixmap pixmap = transparent(size, size);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        draw_move(p, QRectF(0, 0, size, size));
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QPixmap watermark(int height) {
    height = std::max(height, 1);
    QPixmap pixmap(watermark_width, height);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, height);
    sky.setColorAt(0, QColor(0x1d, 0x3d, 0x6b));
    sky.setColorAt(1, QColor(0x5b, 0x8f, 0xc7));
    p.fillRect(pixmap.rect(), sky);
    p.setPen(QPen(QColor(255, 255, 255, 40), 1));
    for (int y = 12; y < height + 40; y += 18) {
        p.drawLine(0, y, watermark_width, y - 40);
    }
    // The picture keeps its size and its place a little above the middle.
    const qreal side = 140;
    const qreal top = std::max<qreal>(0, height * 0.45 - side / 2);
    draw_move(p, QRectF((watermark_width - side) / 2, top, side, side));
    return pixmap;
}

QPixmap header() {
    // The Wizard97 header picture is 49 by 49 pixels.
    QPixmap pixmap = transparent(49, 49);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    draw_move(p, QRectF(1, 1, 47, 47));
    return pixmap;
}

QPixmap animation_frame(int frame) {
    static std::array<QPixmap, animation_frames> frames;
    frame = ((frame % animation_frames) + animation_frames) % animation_frames;
    if (!frames[frame].isNull()) {
        return frames[frame];
    }
    QPixmap pixmap = transparent(32, 32);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    draw_drum(p, QRectF(9, 6, 14, 20), oracle_red);
    // Eight dots around the drum; the lit one walks clockwise, its two predecessors fade.
    for (int dot = 0; dot < animation_frames; ++dot) {
        const qreal angle = (dot * 45 - 90) * M_PI / 180;
        const QPointF centre(16 + 13 * std::cos(angle), 16 + 13 * std::sin(angle));
        const int age = (frame - dot + animation_frames) % animation_frames;
        const int alpha = age == 0 ? 255 : age == 1 ? 150 : age == 2 ? 80 : 30;
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x00, 0x61, 0x8a, alpha));
        p.drawEllipse(centre, 2.5, 2.5);
    }
    p.end();
    frames[frame] = pixmap;
    return pixmap;
}

}  // namespace wizard_art
