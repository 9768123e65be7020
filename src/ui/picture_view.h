// A picture of the results window: each view describes its picture
// (report/pictures.h) for a size, and that one description is painted on the
// screen (ui/picture_painter.h), into a PNG, and written as SVG by the same
// writer as the report's, so that the saved pictures are what the window
// shows.
#pragma once

#include <QString>
#include <QWidget>

#include "report/pictures.h"

class QPainter;

namespace xoprex::ui {

class PictureView : public QWidget {
    Q_OBJECT
  public:
    using QWidget::QWidget;

    // The picture on `size` pixels.
    virtual Picture picture(const QSize& size) const = 0;
    // Paints it.
    void paintPicture(QPainter& painter, const QSize& size) const;

    // Saves the picture at the view's size (at least 640x400); false when
    // the file cannot be written.
    bool savePng(const QString& path) const;
    bool saveSvg(const QString& path) const;
    // By the path's extension: ".svg" SVG, anything else PNG.
    bool save(const QString& path) const;

  protected:
    void paintEvent(QPaintEvent* event) override;

    QSize exportSize() const;
};

}  // namespace xoprex::ui
