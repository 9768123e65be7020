// The application icon, drawn at run time so that no image file is needed.
#pragma once

#include <QIcon>
#include <QImage>

namespace xoprex::ui {

QIcon appIcon();

// The icon drawn at `size` pixels square, as the desktop entry's image.
QImage appIconImage(int size);

}  // namespace xoprex::ui
