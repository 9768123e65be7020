// The results' pictures as plain descriptions: a Picture is a size and a
// list of shapes (rectangles, lines, polylines, polygons, texts and the
// logo's letters, each a glyph stretched to fill its box), built from plain
// data by the functions below. A renderer only draws the shapes in order:
// the SVG writer (report/svg_writer.h) and the desktop program's painter.
// Coordinates are in pixels, y down. Nothing here fails: empty data give a
// picture with its axes and captions.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "base/records.h"
#include "motif/site_collection.h"

namespace xoprex {

// ---- shapes

struct Colour {
    uint8_t r = 0, g = 0, b = 0, a = 255;
    bool operator==(const Colour&) const = default;
};

struct PicturePoint {
    double x = 0.0, y = 0.0;
    bool operator==(const PicturePoint&) const = default;
};

struct RectShape {
    double x = 0.0, y = 0.0, width = 0.0, height = 0.0;
    std::optional<Colour> fill;
    std::optional<Colour> stroke;
    double strokeWidth = 1.0;
};

struct LineShape {
    PicturePoint from, to;
    Colour colour;
    double width = 1.0;
    bool dashed = false;
};

struct PolylineShape {
    std::vector<PicturePoint> points;
    Colour colour;
    double width = 1.0;
};

struct PolygonShape {
    std::vector<PicturePoint> points;
    Colour fill;
    std::optional<Colour> stroke;
};

enum class TextAnchor { Start, Middle, End };

// A line of text whose baseline starts at, is centred on or ends at `at`,
// turned by `rotation` degrees (clockwise) about `at`. `tooltip`, when not
// empty, is shown on hover (the whole of a shortened name).
struct TextShape {
    PicturePoint at;
    std::string text;
    double size = 12.0;  // pixels
    TextAnchor anchor = TextAnchor::Start;
    Colour colour;
    double rotation = 0.0;
    bool bold = false;
    std::string tooltip;
};

// A letter of A, C, G, T stretched to fill its box exactly (glyphOutline).
struct GlyphShape {
    char letter = 'A';
    double x = 0.0, y = 0.0, width = 0.0, height = 0.0;
    Colour fill;
};

using Shape =
    std::variant<RectShape, LineShape, PolylineShape, PolygonShape, TextShape, GlyphShape>;

struct Picture {
    double width = 0.0;
    double height = 0.0;
    std::string title;
    std::vector<Shape> shapes;  // drawn in order over a white ground
};

// The outline of a logo letter (A, C, G or T; any other gives T's) in a unit
// box, y down: closed subpaths filled by the even-odd rule.
const std::vector<std::vector<PicturePoint>>& glyphOutline(char letter);

// Base colours of logos and tracks: A green, C blue, G orange, T red.
Colour baseColour(char base);

// About how wide a text of `size` pixels is (the pictures' layout needs no
// font: renderers draw the text in a plain sans-serif face).
double textWidth(const std::string& text, double size);
// The text shortened in its middle with "..." to fit `width`.
std::string elideMiddle(const std::string& text, double size, double width);

// Axis ticks at 1, 2 or 5 times a power of ten, about `wanted` of them,
// within [low, high].
std::vector<double> niceTicks(double low, double high, int wanted);
// A tick value without needless digits ("0.5", "12", "1e+06").
std::string tickText(double value);
// A position on a genome ruler: "0", "500", "20 kb", "1.5 Mb".
std::string baseTickText(double bases);

// ---- sequence logo

struct LogoLetter {
    char base = 'A';
    double height = 0.0;  // bits
};

// One position of the logo: its information content in bits and the four
// letters, each as tall as its frequency times that content, lowest first
// (the most frequent letter is drawn on top).
struct LogoColumn {
    double information = 0.0;
    std::array<LogoLetter, 4> letters{};
};

// The information content of a position of `sites` sites: 2 - H bits (H the
// Shannon entropy of the frequencies), less the expected entropy shortfall
// of so small a sample, 3 / (2 ln 2 n), and never below 0.
double positionInformation(const std::array<double, 4>& frequencies, double sites);

// The logo of the model, read on the forward strand or, with `reverse`, on
// the reverse strand (positions from the last, bases complemented).
std::vector<LogoColumn> logoColumns(const MotifModel& model, bool reverse);

// The logo of both strands, one above the other, captioned with `title`.
Picture logoPicture(const std::vector<LogoColumn>& forward, const std::vector<LogoColumn>& reverse,
                    const std::string& title, double width, double height);

// ---- self-scores

struct ScoreHistogram {
    double low = 0.0;    // left edge of the first bin
    double width = 1.0;  // of every bin
    std::vector<int> counts;
    double mean = 0.0;
    double deviation = 0.0;  // population standard deviation
};

// `bins` equal bins spanning the scores (and `alsoCover`, when given, so
// the cut-off line lands on the axis), with the scores' mean and population
// standard deviation.
ScoreHistogram scoreHistogram(const std::vector<double>& scores, int bins,
                              const std::vector<double>& alsoCover = {});

// The normal density of mean and deviation at x (0 for a zero deviation).
double normalDensity(double x, double mean, double deviation);

// What the score histogram shows: the collection's self-scores in 30 bins
// with their normal fit, the hits' scores in the same bins (right axis) and
// the cut-off.
struct ScorePlot {
    ScoreHistogram self;
    std::vector<int> hits;  // hit scores in the same bins
    int hitsOutside = 0;    // beyond the bins (scores far from the collection's)
    size_t siteCount = 0;
    size_t hitCount = 0;
    double cutOff = 0.0;
    std::string method;
};
ScorePlot scorePlot(const std::vector<double>& selfScores, const std::vector<double>& hitScores,
                    double cutOff, const std::string& method);
Picture scorePicture(const ScorePlot& plot, double width, double height);

// ---- genome map

// A hit on the map: 1-based inclusive forward-strand coordinates (end beyond
// the record's length for a site across its origin).
struct MapHit {
    int64_t start = 0;
    int64_t end = 0;
    bool forward = true;
};

// A record as a track: its genes as arrows on the line, its hits (by start)
// as ticks above (+) and below (-) it.
struct MapRecord {
    std::string name;
    int64_t length = 0;
    std::vector<GeneRecord> genes;
    std::vector<MapHit> hits;
};

// Where things lie in a track of the map (pixels): the name column on the
// left, the record's line, the ticks above and below it, and the ruler.
struct MapGeometry {
    static constexpr double kTrackHeight = 84;
    static constexpr double kNameWidth = 150;
    static constexpr double kLineY = 30;   // the record's line, from the track's top
    static constexpr double kTickGap = 7;  // between the line and a tick
    static constexpr double kTickLength = 14;
    static constexpr double kRulerY = 60;  // the ruler's baseline, from the track's top
    static constexpr double kFooter = 20;  // the caption under the tracks
    static constexpr double kRightMargin = 16;
};

// What part of the map is drawn: the picture's size, the first track, the
// scale and the base at the left edge of the tracks, and a hit marked on a
// track (markedTrack -1: none).
struct MapView {
    double width = 800;
    double height = 400;
    size_t firstTrack = 0;
    double basesPerPixel = 1.0;
    double viewStart = 0.0;
    int markedTrack = -1;
    MapHit marked;
};

// The width of a map's tracks in a picture `width` wide.
double mapTrackWidth(double width);
// The scale at which the longest of the records fills the tracks.
double fittedBasesPerPixel(const std::vector<const MapRecord*>& tracks, double width);

// The tracks from view.firstTrack down as far as the height allows. Hits
// are thinned to one tick per pixel column and strand, genes denser than an
// arrow can show to blocks per strand.
Picture genomeMapPicture(const std::vector<const MapRecord*>& tracks, const MapView& view,
                         const std::string& caption = {});

}  // namespace xoprex
