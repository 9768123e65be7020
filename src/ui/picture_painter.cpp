#include "ui/picture_painter.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace xoprex::ui {
namespace {

QPolygonF polygonOf(const std::vector<PicturePoint>& points) {
    QPolygonF polygon;
    polygon.reserve(static_cast<qsizetype>(points.size()));
    for (const PicturePoint& point : points) {
        polygon << QPointF(point.x, point.y);
    }
    return polygon;
}

struct ShapePainter {
    QPainter& painter;

    void operator()(const RectShape& rect) const {
        painter.setPen(rect.stroke ? QPen(qColour(*rect.stroke), rect.strokeWidth)
                                   : QPen(Qt::NoPen));
        painter.setBrush(rect.fill ? QBrush(qColour(*rect.fill)) : QBrush(Qt::NoBrush));
        painter.drawRect(QRectF(rect.x, rect.y, rect.width, rect.height));
    }
    void operator()(const LineShape& line) const {
        painter.setPen(QPen(qColour(line.colour), line.width,
                            line.dashed ? Qt::DashLine : Qt::SolidLine, Qt::FlatCap));
        painter.drawLine(QPointF(line.from.x, line.from.y), QPointF(line.to.x, line.to.y));
    }
    void operator()(const PolylineShape& line) const {
        painter.setPen(QPen(qColour(line.colour), line.width));
        painter.setBrush(Qt::NoBrush);
        painter.drawPolyline(polygonOf(line.points));
    }
    void operator()(const PolygonShape& polygon) const {
        painter.setPen(polygon.stroke ? QPen(qColour(*polygon.stroke), 1.0) : QPen(Qt::NoPen));
        painter.setBrush(qColour(polygon.fill));
        painter.drawPolygon(polygonOf(polygon.points));
    }
    void operator()(const TextShape& text) const {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(std::max(1, static_cast<int>(std::lround(text.size))));
        font.setBold(text.bold);
        painter.setFont(font);
        painter.setPen(qColour(text.colour));
        const QString words = QString::fromStdString(text.text);
        const double width = QFontMetricsF(font).horizontalAdvance(words);
        const double shift = text.anchor == TextAnchor::Start    ? 0.0
                             : text.anchor == TextAnchor::Middle ? -width / 2
                                                                 : -width;
        painter.save();
        painter.translate(text.at.x, text.at.y);
        painter.rotate(text.rotation);
        painter.drawText(QPointF(shift, 0), words);
        painter.restore();
    }
    void operator()(const GlyphShape& glyph) const {
        QPainterPath path;
        path.setFillRule(Qt::OddEvenFill);
        for (const auto& subpath : glyphOutline(glyph.letter)) {
            for (size_t i = 0; i < subpath.size(); ++i) {
                const QPointF point(glyph.x + subpath[i].x * glyph.width,
                                    glyph.y + subpath[i].y * glyph.height);
                if (i == 0) {
                    path.moveTo(point);
                } else {
                    path.lineTo(point);
                }
            }
            path.closeSubpath();
        }
        painter.fillPath(path, qColour(glyph.fill));
    }
};

}  // namespace

QColor qColour(const Colour& colour) {
    return QColor(colour.r, colour.g, colour.b, colour.a);
}

void drawPicture(QPainter& painter, const Picture& picture) {
    painter.save();
    painter.fillRect(QRectF(0, 0, picture.width, picture.height), Qt::white);
    const ShapePainter shapes{painter};
    for (const Shape& shape : picture.shapes) {
        std::visit(shapes, shape);
    }
    painter.restore();
}

}  // namespace xoprex::ui
