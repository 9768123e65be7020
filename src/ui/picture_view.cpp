#include "ui/picture_view.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>

#include "base/errors.h"
#include "base/output_file.h"

namespace xoprex::ui {

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
bool writeWhole(const QString& path, const QByteArray& bytes) {
    try {
        xoprex::writeWholeFile(
            path.toStdString(),
            std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
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
    return image.save(&buffer, "PNG") && writeWhole(path, buffer.data());
}

bool PictureView::saveSvg(const QString& path) const {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(exportSize());
        svg.setViewBox(QRect(QPoint(0, 0), exportSize()));
        svg.setTitle(windowTitle().isEmpty() ? QStringLiteral("XOprex") : windowTitle());
        QPainter painter(&svg);
        paintPicture(painter, exportSize());
    }
    return writeWhole(path, buffer.data());
}

bool PictureView::save(const QString& path) const {
    return path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive) ? saveSvg(path)
                                                                      : savePng(path);
}

QColor baseColour(char base) {
    switch (base) {
        case 'A':
            return QColor(0x2e, 0x9d, 0x3a);
        case 'C':
            return QColor(0x1f, 0x5f, 0xc8);
        case 'G':
            return QColor(0xf0, 0x8c, 0x00);
        default:
            return QColor(0xd6, 0x27, 0x28);
    }
}

}  // namespace xoprex::ui
