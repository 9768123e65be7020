// A picture of the results window: one paint routine draws it on the
// screen, into a PNG and into an SVG file, so that the saved pictures are
// what the window shows.
#pragma once

#include <QString>
#include <QWidget>

class QPainter;

namespace xoprex::ui {

class PictureView : public QWidget {
    Q_OBJECT
  public:
    using QWidget::QWidget;

    // Draws the picture on `size` pixels.
    virtual void paintPicture(QPainter& painter, const QSize& size) const = 0;

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

// Base colours of logos and tracks: A green, C blue, G orange, T red.
QColor baseColour(char base);

}  // namespace xoprex::ui
