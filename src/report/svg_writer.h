// A picture (report/pictures.h) as standalone SVG: one <svg> element with
// its size and view box, a white ground and one element per shape, in order
// (a glyph becomes a <path> of its outline, filled even-odd; a text with a
// tooltip carries it as a <title>). Texts are escaped; nothing refers to
// another file or to the network. Writing to a string cannot fail.
#pragma once

#include <string>

#include "report/pictures.h"

namespace xoprex {

// Appends the SVG of `picture` to `out`; with `standalone` it begins with
// the XML declaration and names the SVG namespace (a file of its own);
// without it the element is ready to sit inside an HTML page, which needs
// no namespace.
void appendSvg(std::string& out, const Picture& picture, bool standalone = true);

// Appends `text` with &, <, >, " and ' escaped (SVG and HTML alike).
void appendEscaped(std::string& out, std::string_view text);

}  // namespace xoprex
