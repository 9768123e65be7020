// Paints a picture description (report/pictures.h) with QPainter, shape by
// shape in order: what the results window shows on the screen and saves as
// PNG is what the report's SVG shows. Texts take a plain sans-serif face of
// the shape's pixel size; glyphs are their outlines filled even-odd.
// Painting cannot fail.
#pragma once

#include <QColor>

#include "report/pictures.h"

class QPainter;

namespace xoprex::ui {

QColor qColour(const Colour& colour);

void drawPicture(QPainter& painter, const Picture& picture);

}  // namespace xoprex::ui
