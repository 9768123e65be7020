#include "ui/picture_view.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>

#include "base/errors.h"
#include "base/output_file.h"
#include "report/svg_writer.h"
#include "ui/picture_painter.h"

namespace xoprex::ui {

void PictureView::paintPicture(QPainter& painter, const QSize& size) const {
    drawPicture(painter, picture(size));
}

void PictureView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    paintPicture(painter, size());
}

QSize PictureView::exportSize() const {
    return size().expandedTo(QSize(640, 400));
}

namespace {

// Pictures are drawn into memory first and written whole or not at all.
bool writeWhole(const QString& path, std::string_view bytes) {
    try {
        xoprex::writeWholeFile(path.toStdString(), bytes);
    } catch (const xoprex::OutputError&) {
        return false;
    }
    return true;
}

}  // namespace

bool PictureView::savePng(const QString& path) const {
    QImage image(exportSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        paintPicture(painter, image.size());
    }
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    return image.save(&buffer, "PNG") &&
           writeWhole(path, std::string_view(buffer.data().constData(),
                                             static_cast<std::size_t>(buffer.data().size())));
}

bool PictureView::saveSvg(const QString& path) const {
    Picture drawn = picture(exportSize());
    if (!windowTitle().isEmpty()) {
        drawn.title = windowTitle().toStdString();
    }
    std::string svg;
    appendSvg(svg, drawn);
    return writeWhole(path, svg);
}

bool PictureView::save(const QString& path) const {
    return path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive) ? saveSvg(path)
                                                                      : savePng(path);
}

}  // namespace xoprex::ui
