#include "ui/genome_map.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace xoprex::ui {
namespace {

using G = MapGeometry;
constexpr int kTickGap = static_cast<int>(G::kTickGap);
constexpr int kTickLength = static_cast<int>(G::kTickLength);
constexpr int kPickSlack = 3;  // pixels around a tick that pick it

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
    table_ = &table;
    longest_ = 1;
    std::unordered_map<std::string, int> trackOf;
    for (std::size_t i = 0; i < records.size(); ++i) {
        trackOf.emplace(records[i].name, static_cast<int>(i));
        longest_ = std::max(longest_, records[i].length);
    }
    std::vector<int> layoutOfName(table.records.size(), -1);
    for (std::size_t r = 0; r < table.records.size(); ++r) {
        const auto found = trackOf.find(table.records[r]);
        layoutOfName[r] = found == trackOf.end() ? -1 : found->second;
    }
    hitsByRecord_.assign(records.size(), {});
    recordOfRow_.assign(table.rows.size(), -1);
    for (std::size_t row = 0; row < table.rows.size(); ++row) {
        const int record = layoutOfName[static_cast<std::size_t>(table.rows[row].record)];
        recordOfRow_[row] = record;
        if (record >= 0) {
            hitsByRecord_[static_cast<std::size_t>(record)].push_back(static_cast<int>(row));
        }
    }
    mapRecords_.assign(records.size(), {});
    for (std::size_t record = 0; record < records.size(); ++record) {
        std::vector<int>& rows = hitsByRecord_[record];
        std::sort(rows.begin(), rows.end(), [&table](int a, int b) {
            return table.rows[static_cast<std::size_t>(a)].start <
                   table.rows[static_cast<std::size_t>(b)].start;
        });
        MapRecord& drawn = mapRecords_[record];
        drawn.name = records[record].name;
        drawn.length = records[record].length;
        drawn.genes = records[record].genes;
        drawn.hits.reserve(rows.size());
        for (const int row : rows) {
            const HitRow& hit = table.rows[static_cast<std::size_t>(row)];
            drawn.hits.push_back({hit.start, hit.end, hit.forward});
        }
    }
    marked_ = -1;
    setOnlyRecordsWithHits(onlyWithHits_);
    zoomToFit();
}

void GenomeMap::setOnlyRecordsWithHits(bool on) {
    onlyWithHits_ = on;
    shown_.clear();
    trackOfRecord_.assign(mapRecords_.size(), -1);
    for (std::size_t record = 0; record < mapRecords_.size(); ++record) {
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
    return mapTrackWidth(size.width());
}

double GenomeMap::xOf(double base) const {
    return kNameWidth + (base - viewStart_) / basesPerPixel_;
}

int GenomeMap::visibleTracks() const {
    return std::max(1, (height() - static_cast<int>(G::kFooter)) / kTrackHeight);
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
    const double middle = (track - firstTrack_) * kTrackHeight + G::kLineY;
    const double offset = kTickGap + kTickLength / 2.0;
    return QPoint(static_cast<int>(std::lround(xOf((hit.start - 1 + hit.end) / 2.0))),
                  static_cast<int>(std::lround(hit.forward ? middle - offset : middle + offset)));
}

int GenomeMap::hitAt(const QPoint& point) const {
    if (table_ == nullptr || point.x() < kNameWidth) {
        return -1;
    }
    const int track = trackAt(point.y());
    if (track < 0) {
        return -1;
    }
    const double middle = (track - firstTrack_) * kTrackHeight + G::kLineY;
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

int GenomeMap::trackAt(int y) const {
    if (y < 0) {
        return -1;
    }
    const int track = firstTrack_ + y / kTrackHeight;
    return track < std::min(trackCount(), firstTrack_ + visibleTracks()) ? track : -1;
}

Picture GenomeMap::picture(const QSize& size) const {
    std::vector<const MapRecord*> tracks;
    tracks.reserve(shown_.size());
    for (const int record : shown_) {
        tracks.push_back(&mapRecords_[static_cast<std::size_t>(record)]);
    }
    MapView view;
    view.width = size.width();
    view.height = size.height();
    view.firstTrack = static_cast<std::size_t>(firstTrack_);
    view.basesPerPixel = basesPerPixel_;
    view.viewStart = viewStart_;
    view.markedTrack = trackOfRow(marked_);
    if (view.markedTrack >= 0) {
        const HitRow& hit = table_->rows[static_cast<std::size_t>(marked_)];
        view.marked = {hit.start, hit.end, hit.forward};
    }
    return genomeMapPicture(tracks, view);
}

QString GenomeMap::toolTipAt(const QPoint& point) const {
    const int track = trackAt(point.y());
    if (track < 0) {
        return {};
    }
    const MapRecord& record =
        mapRecords_[static_cast<std::size_t>(shown_[static_cast<std::size_t>(track)])];
    if (point.x() < kNameWidth) {
        return QStringLiteral("%1\n%L2 bp, %L3 hits")
            .arg(QString::fromStdString(record.name))
            .arg(record.length)
            .arg(record.hits.size());
    }
    const int row = hitAt(point);
    if (row < 0) {
        return {};
    }
    const HitRow& hit = table_->rows[static_cast<std::size_t>(row)];
    return QStringLiteral("%1  %L2-%L3 (%4)  score %5")
        .arg(QString::fromStdString(record.name))
        .arg(hit.start)
        .arg(hit.end)
        .arg(hit.forward ? QLatin1Char('+') : QLatin1Char('-'))
        .arg(hit.score, 0, 'f', 3);
}

bool GenomeMap::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = toolTipAt(help->pos());
        if (tip.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), tip, this);
        }
        return true;
    }
    return PictureView::event(event);
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
