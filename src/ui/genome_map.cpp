#include "ui/genome_map.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace xoprex::ui {
namespace {

const QColor kInk(0x30, 0x30, 0x30);
const QColor kForward(0xc0, 0x20, 0x20);
const QColor kReverse(0x20, 0x50, 0xb0);
const QColor kGene(0x9a, 0xb8, 0x7a);
const QColor kMark(0xff, 0xc0, 0x00);

constexpr int kTickGap = 7;      // between the line and a tick
constexpr int kTickLength = 14;  // of a tick
constexpr int kGeneHalf = 5;     // half the height of a gene arrow
constexpr int kPickSlack = 3;    // pixels around a tick that pick it

}  // namespace

GenomeMap::GenomeMap(QWidget* parent)
    : PictureView(parent),
      trackBar_(new QScrollBar(Qt::Vertical)),
      baseBar_(new QScrollBar(Qt::Horizontal)) {
    setObjectName(QStringLiteral("genomeMap"));
    setMinimumSize(480, 3 * kTrackHeight);
    setMouseTracking(false);
    connect(trackBar_, &QScrollBar::valueChanged, this, &GenomeMap::setFirstTrack);
    connect(baseBar_, &QScrollBar::valueChanged, this,
            [this](int value) { setViewStart(value * basesPerPixel_); });
}

void GenomeMap::setData(const std::vector<RecordLayout>& records, const HitTable& table) {
    records_ = records;
    table_ = &table;
    longest_ = 1;
    std::unordered_map<std::string, int> trackOf;
    for (std::size_t i = 0; i < records_.size(); ++i) {
        trackOf.emplace(records_[i].name, static_cast<int>(i));
        longest_ = std::max(longest_, records_[i].length);
    }
    std::vector<int> layoutOfName(table.records.size(), -1);
    for (std::size_t r = 0; r < table.records.size(); ++r) {
        const auto found = trackOf.find(table.records[r]);
        layoutOfName[r] = found == trackOf.end() ? -1 : found->second;
    }
    hitsByRecord_.assign(records_.size(), {});
    recordOfRow_.assign(table.rows.size(), -1);
    for (std::size_t row = 0; row < table.rows.size(); ++row) {
        const int record = layoutOfName[static_cast<std::size_t>(table.rows[row].record)];
        recordOfRow_[row] = record;
        if (record >= 0) {
            hitsByRecord_[static_cast<std::size_t>(record)].push_back(static_cast<int>(row));
        }
    }
    for (std::vector<int>& rows : hitsByRecord_) {
        std::sort(rows.begin(), rows.end(), [&table](int a, int b) {
            return table.rows[static_cast<std::size_t>(a)].start <
                   table.rows[static_cast<std::size_t>(b)].start;
        });
    }
    marked_ = -1;
    setOnlyRecordsWithHits(onlyWithHits_);
    zoomToFit();
}

void GenomeMap::setOnlyRecordsWithHits(bool on) {
    onlyWithHits_ = on;
    shown_.clear();
    trackOfRecord_.assign(records_.size(), -1);
    for (std::size_t record = 0; record < records_.size(); ++record) {
        if (!on || !hitsByRecord_[record].empty()) {
            trackOfRecord_[record] = static_cast<int>(shown_.size());
            shown_.push_back(static_cast<int>(record));
        }
    }
    firstTrack_ = 0;
    setFirstTrack(0);
}

int GenomeMap::trackOfRow(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= recordOfRow_.size()) {
        return -1;
    }
    const int record = recordOfRow_[static_cast<std::size_t>(row)];
    return record < 0 ? -1 : trackOfRecord_[static_cast<std::size_t>(record)];
}

double GenomeMap::trackWidth(const QSize& size) const {
    return std::max(40.0, size.width() - kNameWidth - 16.0);
}

double GenomeMap::xOf(double base) const {
    return kNameWidth + (base - viewStart_) / basesPerPixel_;
}

int GenomeMap::visibleTracks() const {
    return std::max(1, height() / kTrackHeight);
}

void GenomeMap::setFirstTrack(int track) {
    const int last = std::max(0, trackCount() - visibleTracks());
    firstTrack_ = std::clamp(track, 0, last);
    updateBars();
    update();
}

void GenomeMap::zoomToFit() {
    fitted_ = true;
    basesPerPixel_ = static_cast<double>(longest_) / trackWidth(size());
    viewStart_ = 0.0;
    updateBars();
    update();
}

void GenomeMap::zoom(double factor, double anchorX) {
    const double anchorBase = viewStart_ + (anchorX - kNameWidth) * basesPerPixel_;
    const double fit = static_cast<double>(longest_) / trackWidth(size());
    // From a tenth of a base per pixel out to the whole longest record.
    basesPerPixel_ = std::clamp(basesPerPixel_ / factor, 0.1, fit);
    fitted_ = basesPerPixel_ >= fit;
    viewStart_ = anchorBase - (anchorX - kNameWidth) * basesPerPixel_;
    setViewStart(viewStart_);
}

void GenomeMap::setViewStart(double base) {
    const double span = trackWidth(size()) * basesPerPixel_;
    viewStart_ = std::clamp(base, 0.0, std::max(0.0, static_cast<double>(longest_) - span));
    updateBars();
    update();
}

void GenomeMap::updateBars() {
    const QSignalBlocker blockTracks(trackBar_);
    const QSignalBlocker blockBases(baseBar_);
    trackBar_->setRange(0, std::max(0, trackCount() - visibleTracks()));
    trackBar_->setPageStep(visibleTracks());
    trackBar_->setValue(firstTrack_);
    const double pixels = static_cast<double>(longest_) / basesPerPixel_;
    const double shown = trackWidth(size());
    baseBar_->setRange(0, static_cast<int>(std::max(0.0, std::ceil(pixels - shown))));
    baseBar_->setPageStep(static_cast<int>(shown));
    baseBar_->setValue(static_cast<int>(viewStart_ / basesPerPixel_));
}

void GenomeMap::showHit(int row) {
    const int track = trackOfRow(row);
    if (track < 0) {
        return;
    }
    marked_ = row;
    if (track < firstTrack_ || track >= firstTrack_ + visibleTracks()) {
        setFirstTrack(track - visibleTracks() / 2);
    }
    const HitRow& hit = table_->rows[static_cast<std::size_t>(row)];
    const double span = trackWidth(size()) * basesPerPixel_;
    if (hit.start < viewStart_ || hit.end > viewStart_ + span) {
        setViewStart((hit.start + hit.end) / 2.0 - span / 2);
    }
    update();
}

QPoint GenomeMap::tickPosition(int row) const {
    const int track = trackOfRow(row);
    if (track < 0 || track < firstTrack_ || track >= firstTrack_ + visibleTracks()) {
        return {-1, -1};
    }
    const HitRow& hit = table_->rows[static_cast<std::size_t>(row)];
    const double middle = (track - firstTrack_) * kTrackHeight + kTrackHeight / 2.0;
    const double offset = kTickGap + kTickLength / 2.0;
    return QPoint(static_cast<int>(std::lround(xOf((hit.start - 1 + hit.end) / 2.0))),
                  static_cast<int>(std::lround(hit.forward ? middle - offset : middle + offset)));
}

int GenomeMap::hitAt(const QPoint& point) const {
    if (table_ == nullptr || point.x() < kNameWidth) {
        return -1;
    }
    const int track = firstTrack_ + point.y() / kTrackHeight;
    if (track < 0 || track >= trackCount()) {
        return -1;
    }
    const double middle = (track - firstTrack_) * kTrackHeight + kTrackHeight / 2.0;
    const double below = point.y() - middle;
    const bool forward = below < 0;
    if (std::fabs(below) < kTickGap - kPickSlack ||
        std::fabs(below) > kTickGap + kTickLength + kPickSlack) {
        return -1;
    }
    int best = -1;
    double bestDistance = kPickSlack + 0.5;
    for (const int row :
         hitsByRecord_[static_cast<std::size_t>(shown_[static_cast<std::size_t>(track)])]) {
        const HitRow& hit = table_->rows[static_cast<std::size_t>(row)];
        if (hit.forward != forward) {
            continue;
        }
        const double left = xOf(hit.start - 1) - 1;
        const double right = xOf(hit.end) + 1;
        const double distance = point.x() < left    ? left - point.x()
                                : point.x() > right ? point.x() - right
                                                    : 0.0;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = row;
        }
    }
    return best;
}

void GenomeMap::paintPicture(QPainter& painter, const QSize& size) const {
    painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    if (records_.empty()) {
        return;
    }
    const QFontMetricsF metrics(painter.font());
    const double right = kNameWidth + trackWidth(size);
    const double endBase = viewStart_ + trackWidth(size) * basesPerPixel_;
    const int shown = std::max(1, size.height() / kTrackHeight);
    painter.setClipRect(QRectF(0, 0, right + 2, size.height()));
    for (int t = firstTrack_; t < std::min(trackCount(), firstTrack_ + shown); ++t) {
        const int shownRecord = shown_[static_cast<std::size_t>(t)];
        const RecordLayout& record = records_[static_cast<std::size_t>(shownRecord)];
        const double middle = (t - firstTrack_) * kTrackHeight + kTrackHeight / 2.0;
        painter.setPen(kInk);
        painter.drawText(QRectF(4, middle - metrics.height(), kNameWidth - 12, metrics.height()),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         metrics.elidedText(QString::fromStdString(record.name), Qt::ElideMiddle,
                                            kNameWidth - 12));
        painter.drawText(QRectF(4, middle, kNameWidth - 12, metrics.height()),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("%L1 bp").arg(record.length));
        const double lineEnd = std::min(xOf(static_cast<double>(record.length)), right);
        const double lineStart = std::max(xOf(0.0), static_cast<double>(kNameWidth));
        if (lineEnd <= lineStart) {
            continue;
        }
        painter.setPen(QPen(kInk, 1.5));
        painter.drawLine(QPointF(lineStart, middle), QPointF(lineEnd, middle));

        // Genes: arrows along the line, pointing in their direction.
        for (const GeneRecord& gene : record.genes) {
            const double low = std::min(gene.begin, gene.end) - 1.0;
            const double high = std::max(gene.begin, gene.end);
            if (high < viewStart_ || low > endBase) {
                continue;
            }
            const double x0 = xOf(low);
            const double x1 = xOf(high);
            const double head = std::min(8.0, (x1 - x0) / 2);
            QPainterPath arrow;
            if (gene.sense) {
                arrow.moveTo(x0, middle - kGeneHalf);
                arrow.lineTo(x1 - head, middle - kGeneHalf);
                arrow.lineTo(x1, middle);
                arrow.lineTo(x1 - head, middle + kGeneHalf);
                arrow.lineTo(x0, middle + kGeneHalf);
            } else {
                arrow.moveTo(x1, middle - kGeneHalf);
                arrow.lineTo(x0 + head, middle - kGeneHalf);
                arrow.lineTo(x0, middle);
                arrow.lineTo(x0 + head, middle + kGeneHalf);
                arrow.lineTo(x1, middle + kGeneHalf);
            }
            arrow.closeSubpath();
            painter.fillPath(arrow, kGene);
            painter.setPen(QPen(kGene.darker(140), 1));
            painter.drawPath(arrow);
            const QString name = QString::fromStdString(gene.gene.empty() ? gene.locus : gene.gene);
            if (x1 - x0 > metrics.horizontalAdvance(name) + 6) {
                painter.setPen(kInk);
                painter.drawText(QRectF(x0, middle + kGeneHalf + 1, x1 - x0, metrics.height()),
                                 Qt::AlignHCenter | Qt::AlignTop, name);
            }
        }

        // Hits: one tick per pixel column and strand, however many share it.
        if (table_ == nullptr) {
            continue;
        }
        std::vector<QLineF> ticks[2];
        double lastX[2] = {-1e9, -1e9};
        for (const int row : hitsByRecord_[static_cast<std::size_t>(shownRecord)]) {
            const HitRow& hit = table_->rows[static_cast<std::size_t>(row)];
            if (hit.end < viewStart_ || hit.start - 1 > endBase) {
                continue;
            }
            const double x = std::floor(xOf((hit.start - 1 + hit.end) / 2.0)) + 0.5;
            const int strand = hit.forward ? 0 : 1;
            if (x == lastX[strand]) {
                continue;
            }
            lastX[strand] = x;
            const double sign = hit.forward ? -1.0 : 1.0;
            ticks[strand].emplace_back(x, middle + sign * kTickGap, x,
                                       middle + sign * (kTickGap + kTickLength));
        }
        painter.setPen(QPen(kForward, 1.5));
        painter.drawLines(ticks[0].data(), static_cast<int>(ticks[0].size()));
        painter.setPen(QPen(kReverse, 1.5));
        painter.drawLines(ticks[1].data(), static_cast<int>(ticks[1].size()));
        if (marked_ >= 0 && trackOfRow(marked_) == t) {
            const HitRow& hit = table_->rows[static_cast<std::size_t>(marked_)];
            const double x0 = xOf(hit.start - 1) - 2;
            const double x1 = std::max(xOf(hit.end) + 2, x0 + 5);
            const double sign = hit.forward ? -1.0 : 1.0;
            const double y0 = middle + sign * (kTickGap - 2);
            const double y1 = middle + sign * (kTickGap + kTickLength + 2);
            painter.setPen(QPen(kMark, 2));
            painter.drawRect(QRectF(QPointF(x0, std::min(y0, y1)), QPointF(x1, std::max(y0, y1))));
        }
    }
    painter.setClipping(false);
    painter.setPen(kInk);
    painter.drawText(QRectF(kNameWidth, size.height() - metrics.height() - 2, trackWidth(size),
                            metrics.height()),
                     Qt::AlignRight | Qt::AlignVCenter,
                     QStringLiteral("%L1 - %L2 bp   + strand above, - strand below")
                         .arg(static_cast<qint64>(viewStart_) + 1)
                         .arg(static_cast<qint64>(std::min<double>(endBase, longest_))));
}

void GenomeMap::mousePressEvent(QMouseEvent* event) {
    pressedAt_ = event->position().toPoint();
    pressedStart_ = viewStart_;
    dragged_ = false;
}

void GenomeMap::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) {
        return;
    }
    const int dx = event->position().toPoint().x() - pressedAt_.x();
    if (std::abs(dx) > 3) {
        dragged_ = true;
    }
    if (dragged_) {
        setViewStart(pressedStart_ - dx * basesPerPixel_);
    }
}

void GenomeMap::mouseReleaseEvent(QMouseEvent* event) {
    if (dragged_ || event->button() != Qt::LeftButton) {
        return;
    }
    const int row = hitAt(event->position().toPoint());
    if (row >= 0) {
        marked_ = row;
        update();
        emit hitClicked(row);
    }
}

void GenomeMap::wheelEvent(QWheelEvent* event) {
    const int steps = event->angleDelta().y() / 120;
    if (steps == 0) {
        return;
    }
    if (event->modifiers() & Qt::ControlModifier) {
        zoom(std::pow(1.5, steps), event->position().x());
    } else {
        setFirstTrack(firstTrack_ - steps);
    }
    event->accept();
}

void GenomeMap::resizeEvent(QResizeEvent* event) {
    PictureView::resizeEvent(event);
    const double fit = static_cast<double>(longest_) / trackWidth(size());
    if (fitted_ || basesPerPixel_ > fit) {
        basesPerPixel_ = fit;
    }
    setFirstTrack(firstTrack_);
    setViewStart(viewStart_);
}

}  // namespace xoprex::ui
