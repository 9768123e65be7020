#include "ui/motif_views.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace xoprex::ui {
namespace {

const QColor kInk(0x30, 0x30, 0x30);
const QColor kGrid(0xdd, 0xdd, 0xdd);

QFont letterFont() {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(100);
    return font;
}

// The letter filling `box` exactly (the glyph's outline stretched).
void drawLetter(QPainter& painter, char base, const QRectF& box) {
    if (box.height() < 0.5) {
        return;
    }
    static const QFont font = letterFont();
    QPainterPath glyph;
    glyph.addText(0, 0, font, QString(QLatin1Char(base)));
    const QRectF bounds = glyph.boundingRect();
    QTransform place;
    place.translate(box.left(), box.top());
    place.scale(box.width() / bounds.width(), box.height() / bounds.height());
    place.translate(-bounds.left(), -bounds.top());
    painter.fillPath(place.map(glyph), baseColour(base));
}

// Text of a tick value without needless digits.
QString tickText(double value) {
    return QString::number(value, 'g', 4);
}

// Axis ticks at 1, 2 or 5 times a power of ten, about `wanted` of them.
std::vector<double> niceTicks(double low, double high, int wanted) {
    std::vector<double> ticks;
    if (!(high > low)) {
        return ticks;
    }
    const double raw = (high - low) / std::max(1, wanted);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    double step = power;
    for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
        step = factor * power;
        if (step >= raw) {
            break;
        }
    }
    for (double tick = std::ceil(low / step) * step; tick <= high + step * 1e-9; tick += step) {
        ticks.push_back(std::fabs(tick) < step * 1e-9 ? 0.0 : tick);
    }
    return ticks;
}

void drawLogoPanel(QPainter& painter, const QRectF& area, const std::vector<LogoColumn>& columns,
                   const QString& caption) {
    const QFontMetricsF metrics(painter.font());
    const QRectF plot(area.left() + 48, area.top() + metrics.height() + 6, area.width() - 60,
                      area.height() - 2 * metrics.height() - 16);
    painter.setPen(kInk);
    painter.drawText(QRectF(area.left(), area.top(), area.width(), metrics.height()),
                     Qt::AlignHCenter, caption);
    const auto yOf = [&](double bits) { return plot.bottom() - bits / 2.0 * plot.height(); };
    for (const double bits : {0.0, 0.5, 1.0, 1.5, 2.0}) {
        painter.setPen(bits == 0.0 ? kInk : kGrid);
        painter.drawLine(QPointF(plot.left(), yOf(bits)), QPointF(plot.right(), yOf(bits)));
        painter.setPen(kInk);
        painter.drawText(
            QRectF(area.left(), yOf(bits) - metrics.height() / 2, 40, metrics.height()),
            Qt::AlignRight | Qt::AlignVCenter, tickText(bits));
    }
    painter.save();
    painter.translate(area.left() + metrics.height(), plot.center().y());
    painter.rotate(-90);
    painter.drawText(QRectF(-40, -metrics.height(), 80, metrics.height()), Qt::AlignCenter,
                     QStringLiteral("bits"));
    painter.restore();
    painter.drawLine(plot.bottomLeft(), plot.topLeft());
    if (columns.empty()) {
        return;
    }
    const double width = plot.width() / static_cast<double>(columns.size());
    for (std::size_t l = 0; l < columns.size(); ++l) {
        const double left = plot.left() + width * static_cast<double>(l);
        double bottom = plot.bottom();
        for (const LogoLetter& letter : columns[l].letters) {
            const double height = letter.height / 2.0 * plot.height();
            drawLetter(painter, letter.base, QRectF(left + 1, bottom - height, width - 2, height));
            bottom -= height;
        }
        painter.setPen(kInk);
        painter.drawText(QRectF(left, plot.bottom() + 2, width, metrics.height()),
                         Qt::AlignHCenter | Qt::AlignTop, QString::number(l + 1));
    }
}

}  // namespace

// ---- LogoView

LogoView::LogoView(QWidget* parent) : PictureView(parent) {
    setObjectName(QStringLiteral("logoView"));
    setMinimumSize(480, 320);
}

void LogoView::setModel(const MotifModel& model, const QString& title) {
    forward_ = logoColumns(model, false);
    reverse_ = logoColumns(model, true);
    title_ = title;
    update();
}

void LogoView::paintPicture(QPainter& painter, const QSize& size) const {
    painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    const double half = size.height() / 2.0;
    drawLogoPanel(painter, QRectF(0, 4, size.width(), half - 8), forward_,
                  title_ + QStringLiteral(": forward strand"));
    drawLogoPanel(painter, QRectF(0, half + 4, size.width(), half - 8), reverse_,
                  title_ + QStringLiteral(": reverse complement"));
}

// ---- ScoreView

ScoreView::ScoreView(QWidget* parent) : PictureView(parent) {
    setObjectName(QStringLiteral("scoreView"));
    setMinimumSize(480, 320);
}

void ScoreView::setScores(const std::vector<double>& selfScores,
                          const std::vector<double>& hitScores, double cutOff,
                          const QString& method) {
    constexpr int kBins = 30;
    std::vector<double> cover = {cutOff};
    if (!hitScores.empty()) {
        // The axis spans the hits too.
        const auto [low, high] = std::minmax_element(hitScores.begin(), hitScores.end());
        cover.push_back(*low);
        cover.push_back(*high);
    }
    self_ = scoreHistogram(selfScores, kBins, cover);
    hits_.assign(self_.counts.size(), 0);
    hitsOutside_ = 0;
    for (const double score : hitScores) {
        const double bin = std::floor((score - self_.low) / self_.width);
        if (bin >= 0.0 && bin < static_cast<double>(hits_.size())) {
            ++hits_[static_cast<std::size_t>(bin)];
        } else if (std::fabs(score - self_.low - self_.width * static_cast<double>(kBins)) <
                   self_.width * 1e-9) {
            ++hits_.back();  // the highest score sits on the last edge
        } else {
            ++hitsOutside_;
        }
    }
    siteCount_ = selfScores.size();
    hitCount_ = hitScores.size();
    cutOff_ = cutOff;
    method_ = method;
    update();
}

void ScoreView::paintPicture(QPainter& painter, const QSize& size) const {
    painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    const QFontMetricsF metrics(painter.font());
    const double line = metrics.height();
    const QRectF plot(60, line * 3 + 8, size.width() - 124, size.height() - line * 5 - 16);
    const std::size_t bins = self_.counts.size();
    const double high = self_.low + self_.width * static_cast<double>(bins);
    const auto xOf = [&](double score) {
        return plot.left() + (score - self_.low) / (high - self_.low) * plot.width();
    };

    // Left axis: sites per bin, room for the fitted curve's peak too.
    const double curvePeak = static_cast<double>(siteCount_) * self_.width *
                             normalDensity(self_.mean, self_.mean, self_.deviation);
    const int siteMax = std::max({1, *std::max_element(self_.counts.begin(), self_.counts.end()),
                                  static_cast<int>(std::ceil(curvePeak))});
    const int hitMax = std::max(1, *std::max_element(hits_.begin(), hits_.end()));
    const auto ySites = [&](double count) {
        return plot.bottom() - count / siteMax * plot.height();
    };
    const auto yHits = [&](double count) { return plot.bottom() - count / hitMax * plot.height(); };

    painter.setPen(kInk);
    painter.drawText(QRectF(0, 2, size.width(), line), Qt::AlignHCenter,
                     QStringLiteral("Scores (%1): %2 collection sites, %3 hits")
                         .arg(method_)
                         .arg(siteCount_)
                         .arg(hitCount_));
    for (const double tick : niceTicks(0, siteMax, 5)) {
        painter.setPen(kGrid);
        painter.drawLine(QPointF(plot.left(), ySites(tick)), QPointF(plot.right(), ySites(tick)));
        painter.setPen(kInk);
        painter.drawText(QRectF(0, ySites(tick) - line / 2, plot.left() - 6, line),
                         Qt::AlignRight | Qt::AlignVCenter, tickText(tick));
    }
    if (hitCount_ > 0) {
        for (const double tick : niceTicks(0, hitMax, 5)) {
            painter.drawText(QRectF(plot.right() + 6, yHits(tick) - line / 2, 58, line),
                             Qt::AlignLeft | Qt::AlignVCenter, tickText(tick));
        }
    }
    for (const double tick : niceTicks(self_.low, high, 8)) {
        painter.drawLine(QPointF(xOf(tick), plot.bottom()), QPointF(xOf(tick), plot.bottom() + 4));
        painter.drawText(QRectF(xOf(tick) - 40, plot.bottom() + 5, 80, line), Qt::AlignHCenter,
                         tickText(tick));
    }
    painter.drawText(QRectF(plot.left(), plot.bottom() + line + 6, plot.width(), line),
                     Qt::AlignHCenter, QStringLiteral("score"));

    // Bars: the hits behind, the collection's sites in front.
    const double barWidth = plot.width() / static_cast<double>(bins);
    for (std::size_t b = 0; b < bins; ++b) {
        const double left = plot.left() + barWidth * static_cast<double>(b);
        if (hits_[b] > 0) {
            painter.fillRect(
                QRectF(left + 1, yHits(hits_[b]), barWidth - 2, plot.bottom() - yHits(hits_[b])),
                QColor(0xf0, 0x8c, 0x00, 110));
        }
        if (self_.counts[b] > 0) {
            painter.fillRect(QRectF(left + 3, ySites(self_.counts[b]), barWidth - 6,
                                    plot.bottom() - ySites(self_.counts[b])),
                             QColor(0x1f, 0x5f, 0xc8, 190));
        }
    }

    // The fitted normal curve, in sites per bin.
    if (self_.deviation > 0.0) {
        QPainterPath curve;
        for (int i = 0; i <= 200; ++i) {
            const double score = self_.low + (high - self_.low) * i / 200.0;
            const double expected = static_cast<double>(siteCount_) * self_.width *
                                    normalDensity(score, self_.mean, self_.deviation);
            const QPointF point(xOf(score), ySites(expected));
            if (i == 0) {
                curve.moveTo(point);
            } else {
                curve.lineTo(point);
            }
        }
        painter.setPen(QPen(QColor(0x10, 0x30, 0x70), 2));
        painter.drawPath(curve);
    }

    // The cut-off.
    painter.setPen(QPen(QColor(0xd6, 0x27, 0x28), 2, Qt::DashLine));
    painter.drawLine(QPointF(xOf(cutOff_), plot.top()), QPointF(xOf(cutOff_), plot.bottom()));
    painter.setPen(QColor(0xd6, 0x27, 0x28));
    painter.drawText(QRectF(xOf(cutOff_) + 4, plot.top(), 160, line), Qt::AlignLeft,
                     QStringLiteral("cut-off %1").arg(cutOff_, 0, 'f', 3));

    painter.setPen(kInk);
    painter.drawRect(plot);
    // Legend.
    const QString legend[] = {
        QStringLiteral("collection sites (left axis)"),
        QStringLiteral("normal fit: mean %1, sd %2")
            .arg(self_.mean, 0, 'f', 3)
            .arg(self_.deviation, 0, 'f', 3),
        hitsOutside_ > 0 ? QStringLiteral("hits (right axis; %1 off the axis)").arg(hitsOutside_)
                         : QStringLiteral("hits (right axis)")};
    const QColor colours[] = {QColor(0x1f, 0x5f, 0xc8), QColor(0x10, 0x30, 0x70),
                              QColor(0xf0, 0x8c, 0x00)};
    double x = plot.left();
    for (int i = 0; i < 3; ++i) {
        painter.fillRect(QRectF(x, line + 8, 14, line - 4), colours[i]);
        painter.drawText(QRectF(x + 18, line + 6, 400, line), Qt::AlignLeft, legend[i]);
        x += 18 + metrics.horizontalAdvance(legend[i]) + 20;
    }
}

}  // namespace xoprex::ui
