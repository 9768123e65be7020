// The genome map: one track per record of the target, hits as ticks above
// (forward strand) and below (reverse strand) the line, genes of GenBank
// targets as arrows on it, a ruler under it (the picture is described by
// report/pictures.h). The wheel scrolls the tracks (with Ctrl it zooms),
// dragging pans, the scroll bars and buttons of the Genome map tab do the
// same; a click on a tick reports its hit; hovering a record's name shows
// the whole of it, hovering a tick its hit.
#pragma once

#include <QScrollBar>
#include <vector>

#include "ui/hit_table.h"
#include "ui/picture_data.h"
#include "ui/picture_view.h"

namespace xoprex::ui {

class GenomeMap : public PictureView {
    Q_OBJECT
  public:
    static constexpr int kTrackHeight = static_cast<int>(MapGeometry::kTrackHeight);
    static constexpr int kNameWidth = static_cast<int>(MapGeometry::kNameWidth);

    explicit GenomeMap(QWidget* parent = nullptr);

    // The records and the hits (rows of `table`, matched to the records by
    // name). `table` must outlive the map's use of it.
    void setData(const std::vector<RecordLayout>& records, const HitTable& table);

    // Tracks shown: every record, or only those with hits.
    int trackCount() const { return static_cast<int>(shown_.size()); }
    void setOnlyRecordsWithHits(bool on);
    // The first track shown.
    void setFirstTrack(int track);
    int firstTrack() const { return firstTrack_; }
    int visibleTracks() const;
    // Bases per pixel and the base at the left edge of the tracks.
    double basesPerPixel() const { return basesPerPixel_; }
    double viewStart() const { return viewStart_; }
    void zoom(double factor, double anchorX);
    void zoomToFit();
    void setViewStart(double base);
    // Brings the hit of table row `row` into view and marks it.
    void showHit(int row);
    int markedHit() const { return marked_; }

    // The table row of the tick at `point`, or -1.
    int hitAt(const QPoint& point) const;
    // Where the tick of table row `row` is drawn (for tests), or (-1, -1).
    QPoint tickPosition(int row) const;

    Picture picture(const QSize& size) const override;
    // The track at `y` pixels from the top, or -1.
    int trackAt(int y) const;
    // What hovering `point` shows: the whole name of a track's record, or a
    // tick's hit; empty elsewhere.
    QString toolTipAt(const QPoint& point) const;

    QScrollBar* trackBar() const { return trackBar_; }
    QScrollBar* baseBar() const { return baseBar_; }

  signals:
    void hitClicked(int row);

  protected:
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    double trackWidth(const QSize& size) const;
    double xOf(double base) const;
    void updateBars();

    // The track of a hit's record, or -1 (not in the target, or not shown).
    int trackOfRow(int row) const;

    std::vector<MapRecord> mapRecords_;  // the records with their hits, as drawn
    const HitTable* table_ = nullptr;
    std::vector<std::vector<int>> hitsByRecord_;  // table rows, by start
    std::vector<int> recordOfRow_;                // -1: record not in the target
    std::vector<int> shown_;                      // record of each track
    std::vector<int> trackOfRecord_;              // -1: not shown
    int64_t longest_ = 1;
    int firstTrack_ = 0;
    double basesPerPixel_ = 1.0;
    double viewStart_ = 0.0;
    int marked_ = -1;
    QPoint pressedAt_;
    double pressedStart_ = 0.0;
    bool dragged_ = false;
    bool fitted_ = true;
    bool onlyWithHits_ = false;  // the longest record fills the width
    QScrollBar* trackBar_;
    QScrollBar* baseBar_;
};

}  // namespace xoprex::ui
