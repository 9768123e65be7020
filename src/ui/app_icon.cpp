#include "ui/app_icon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>

namespace xoprex::ui {

namespace {

// A rounded tile with two strands twisting into an X, joined by base pairs.
QPixmap drawIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    QLinearGradient fill(0, 0, 0, s);
    fill.setColorAt(0, QColor(0x2f, 0x6f, 0xb3));
    fill.setColorAt(1, QColor(0x1b, 0x3f, 0x73));
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(0.5, 0.5, s - 1, s - 1), s * 0.18, s * 0.18);

    QPainterPath first;
    QPainterPath second;
    const int steps = 48;
    for (int i = 0; i <= steps; ++i) {
        const qreal t = static_cast<qreal>(i) / steps;
        const qreal y = s * (0.15 + 0.7 * t);
        const qreal x1 = s * (0.5 + 0.28 * std::cos(t * 3.14159265 * 1.5));
        const qreal x2 = s * (0.5 - 0.28 * std::cos(t * 3.14159265 * 1.5));
        i == 0 ? first.moveTo(x1, y) : first.lineTo(x1, y);
        i == 0 ? second.moveTo(x2, y) : second.lineTo(x2, y);
        if (i % 8 == 4) {
            painter.setPen(QPen(QColor(0xff, 0xd5, 0x4f), s / 28));
            painter.drawLine(QPointF(x1, y), QPointF(x2, y));
        }
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, s / 12, Qt::SolidLine, Qt::RoundCap));
    painter.drawPath(first);
    painter.setPen(QPen(QColor(0xa8, 0xe0, 0xff), s / 12, Qt::SolidLine, Qt::RoundCap));
    painter.drawPath(second);
    return pixmap;
}

}  // namespace

QIcon appIcon() {
    static const QIcon icon = [] {
        QIcon built;
        for (int size : {16, 32, 48, 64, 128}) {
            built.addPixmap(drawIcon(size));
        }
        return built;
    }();
    return icon;
}

QImage appIconImage(int size) {
    return drawIcon(size).toImage();
}

}  // namespace xoprex::ui
