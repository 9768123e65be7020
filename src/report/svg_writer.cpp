#include "report/svg_writer.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace xoprex {
namespace {

// Coordinates to a hundredth of a pixel, without needless digits (a map
// holds thousands of them).
void number(std::string& out, double value) {
    if (!std::isfinite(value) || std::fabs(value) > 1e15) {
        value = 0.0;
    }
    long long hundredths = std::llround(value * 100.0);
    if (hundredths < 0) {
        out += '-';
        hundredths = -hundredths;
    }
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, hundredths / 100).ptr;
    out.append(digits, end);
    const int fraction = static_cast<int>(hundredths % 100);
    if (fraction != 0) {
        out += '.';
        out += static_cast<char>('0' + fraction / 10);
        if (fraction % 10 != 0) {
            out += static_cast<char>('0' + fraction % 10);
        }
    }
}

void attribute(std::string& out, const char* name, double value) {
    out += ' ';
    out += name;
    out += "=\"";
    number(out, value);
    out += '"';
}

void colour(std::string& out, const char* name, const Colour& c) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, " %s=\"#%02x%02x%02x\"", name, c.r, c.g, c.b);
    out += buffer;
    if (c.a != 255) {
        out += ' ';
        out += name;
        out += "-opacity=\"";
        number(out, c.a / 255.0);
        out += '"';
    }
}

void points(std::string& out, const std::vector<PicturePoint>& list) {
    out += " points=\"";
    for (size_t i = 0; i < list.size(); ++i) {
        if (i > 0) {
            out += ' ';
        }
        number(out, list[i].x);
        out += ',';
        number(out, list[i].y);
    }
    out += '"';
}

void stroke(std::string& out, const Colour& c, double width) {
    colour(out, "stroke", c);
    attribute(out, "stroke-width", width);
}

struct ShapeWriter {
    std::string& out;

    void operator()(const RectShape& rect) const {
        out += "<rect";
        attribute(out, "x", rect.x);
        attribute(out, "y", rect.y);
        attribute(out, "width", rect.width);
        attribute(out, "height", rect.height);
        if (rect.fill) {
            colour(out, "fill", *rect.fill);
        } else {
            out += " fill=\"none\"";
        }
        if (rect.stroke) {
            stroke(out, *rect.stroke, rect.strokeWidth);
        }
        out += "/>\n";
    }
    void operator()(const LineShape& line) const {
        out += "<line";
        attribute(out, "x1", line.from.x);
        attribute(out, "y1", line.from.y);
        attribute(out, "x2", line.to.x);
        attribute(out, "y2", line.to.y);
        stroke(out, line.colour, line.width);
        if (line.dashed) {
            out += " stroke-dasharray=\"6,4\"";
        }
        out += "/>\n";
    }
    void operator()(const PolylineShape& line) const {
        out += "<polyline";
        points(out, line.points);
        out += " fill=\"none\"";
        stroke(out, line.colour, line.width);
        out += "/>\n";
    }
    void operator()(const PolygonShape& polygon) const {
        out += "<polygon";
        points(out, polygon.points);
        colour(out, "fill", polygon.fill);
        if (polygon.stroke) {
            stroke(out, *polygon.stroke, 1.0);
        }
        out += "/>\n";
    }
    void operator()(const TextShape& text) const {
        out += "<text";
        attribute(out, "x", text.at.x);
        attribute(out, "y", text.at.y);
        attribute(out, "font-size", text.size);
        if (text.anchor != TextAnchor::Start) {
            out += text.anchor == TextAnchor::Middle ? " text-anchor=\"middle\""
                                                     : " text-anchor=\"end\"";
        }
        if (text.bold) {
            out += " font-weight=\"bold\"";
        }
        colour(out, "fill", text.colour);
        if (text.rotation != 0.0) {
            out += " transform=\"rotate(";
            number(out, text.rotation);
            out += ' ';
            number(out, text.at.x);
            out += ' ';
            number(out, text.at.y);
            out += ")\"";
        }
        out += '>';
        if (!text.tooltip.empty()) {
            out += "<title>";
            appendEscaped(out, text.tooltip);
            out += "</title>";
        }
        appendEscaped(out, text.text);
        out += "</text>\n";
    }
    void operator()(const GlyphShape& glyph) const {
        out += "<path d=\"";
        for (const auto& subpath : glyphOutline(glyph.letter)) {
            for (size_t i = 0; i < subpath.size(); ++i) {
                out += i == 0 ? 'M' : 'L';
                number(out, glyph.x + subpath[i].x * glyph.width);
                out += ',';
                number(out, glyph.y + subpath[i].y * glyph.height);
            }
            out += 'Z';
        }
        out += "\" fill-rule=\"evenodd\"";
        colour(out, "fill", glyph.fill);
        out += "/>\n";
    }
};

}  // namespace

void appendEscaped(std::string& out, std::string_view text) {
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                // Control characters have no place in XML text.
                out += static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' ? ' ' : c;
        }
    }
}

void appendSvg(std::string& out, const Picture& picture, bool standalone) {
    if (standalone) {
        out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    }
    out += standalone ? "<svg xmlns=\"http://www.w3.org/2000/svg\"" : "<svg";
    attribute(out, "width", picture.width);
    attribute(out, "height", picture.height);
    out += " viewBox=\"0 0 ";
    number(out, picture.width);
    out += ' ';
    number(out, picture.height);
    out += "\" font-family=\"DejaVu Sans, Verdana, Arial, sans-serif\" role=\"img\">\n";
    if (!picture.title.empty()) {
        out += "<title>";
        appendEscaped(out, picture.title);
        out += "</title>\n";
    }
    out += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
    const ShapeWriter writer{out};
    for (const Shape& shape : picture.shapes) {
        std::visit(writer, shape);
    }
    out += "</svg>\n";
}

}  // namespace xoprex
