#include "report/pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "base/number_format.h"

namespace xoprex {
namespace {

constexpr Colour kInk{0x30, 0x30, 0x30};
constexpr Colour kGrid{0xdd, 0xdd, 0xdd};
constexpr Colour kSites{0x1f, 0x5f, 0xc8};
constexpr Colour kCurve{0x10, 0x30, 0x70};
constexpr Colour kHits{0xf0, 0x8c, 0x00};
constexpr Colour kCutOff{0xd6, 0x27, 0x28};
constexpr Colour kForward{0xc0, 0x20, 0x20};
constexpr Colour kReverse{0x20, 0x50, 0xb0};
constexpr Colour kGene{0x9a, 0xb8, 0x7a};
constexpr Colour kGeneEdge{0x6e, 0x83, 0x57};
constexpr Colour kMark{0xff, 0xc0, 0x00};
constexpr double kTextSize = 12.0;
constexpr double kLine = 15.0;  // a line of text

// The points of an elliptic arc about (0.5, 0.5) from `from` to `to`
// degrees (y down), `steps` segments.
void addArc(std::vector<PicturePoint>& points, double rx, double ry, double from, double to,
            int steps) {
    for (int i = 0; i <= steps; ++i) {
        const double angle = (from + (to - from) * i / steps) * std::numbers::pi / 180.0;
        points.push_back({0.5 + rx * std::cos(angle), 0.5 + ry * std::sin(angle)});
    }
}

std::vector<std::vector<PicturePoint>> makeGlyph(char letter) {
    switch (letter) {
        case 'A':
            return {{{0, 1},
                     {0.38, 0},
                     {0.62, 0},
                     {1, 1},
                     {0.72, 1},
                     {0.63, 0.74},
                     {0.37, 0.74},
                     {0.28, 1}},
                    {{0.447, 0.56}, {0.553, 0.56}, {0.5, 0.42}}};
        case 'C': {
            std::vector<PicturePoint> ring;
            addArc(ring, 0.5, 0.5, 40, 320, 28);
            addArc(ring, 0.3, 0.32, 320, 40, 28);
            return {ring};
        }
        case 'G': {
            std::vector<PicturePoint> ring;
            addArc(ring, 0.5, 0.5, 320, 0, 32);
            ring.push_back({0.55, 0.5});
            ring.push_back({0.55, 0.66});
            addArc(ring, 0.3, 0.32, 30, 320, 29);
            return {ring};
        }
        default:
            return {{{0, 0},
                     {1, 0},
                     {1, 0.22},
                     {0.65, 0.22},
                     {0.65, 1},
                     {0.35, 1},
                     {0.35, 0.22},
                     {0, 0.22}}};
    }
}

TextShape text(double x, double y, std::string words, TextAnchor anchor = TextAnchor::Start,
               Colour colour = kInk) {
    TextShape shape;
    shape.at = {x, y};
    shape.text = std::move(words);
    shape.size = kTextSize;
    shape.anchor = anchor;
    shape.colour = colour;
    return shape;
}

LineShape line(double x0, double y0, double x1, double y1, Colour colour, double width = 1.0) {
    return LineShape{{x0, y0}, {x1, y1}, colour, width, false};
}

RectShape filled(double x, double y, double width, double height, Colour fill) {
    RectShape rect{x, y, width, height, fill, std::nullopt, 1.0};
    return rect;
}

// "4,938,920".
std::string thousands(int64_t value) {
    const std::string digits = std::to_string(value < 0 ? -value : value);
    std::string out = value < 0 ? "-" : "";
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            out += ',';
        }
        out += digits[i];
    }
    return out;
}

// The baseline of a text centred on `y`.
double middleBaseline(double y) {
    return y + kTextSize * 0.35;
}

void addLogoPanel(Picture& picture, double left, double top, double width, double height,
                  const std::vector<LogoColumn>& columns, const std::string& caption) {
    const double plotLeft = left + 48;
    const double plotTop = top + kLine + 6;
    const double plotWidth = width - 60;
    const double plotHeight = height - 2 * kLine - 16;
    const double plotBottom = plotTop + plotHeight;
    auto& shapes = picture.shapes;
    shapes.push_back(text(left + width / 2, top + kTextSize, caption, TextAnchor::Middle));
    const auto yOf = [&](double bits) { return plotBottom - bits / 2.0 * plotHeight; };
    for (const double bits : {0.0, 0.5, 1.0, 1.5, 2.0}) {
        shapes.push_back(
            line(plotLeft, yOf(bits), plotLeft + plotWidth, yOf(bits), bits == 0.0 ? kInk : kGrid));
        shapes.push_back(
            text(left + 40, middleBaseline(yOf(bits)), tickText(bits), TextAnchor::End));
    }
    TextShape bits = text(left + kLine, plotTop + plotHeight / 2, "bits", TextAnchor::Middle);
    bits.rotation = -90;
    shapes.push_back(bits);
    shapes.push_back(line(plotLeft, plotBottom, plotLeft, plotTop, kInk));
    if (columns.empty()) {
        return;
    }
    const double step = plotWidth / static_cast<double>(columns.size());
    for (size_t l = 0; l < columns.size(); ++l) {
        const double x = plotLeft + step * static_cast<double>(l);
        double bottom = plotBottom;
        for (const LogoLetter& letter : columns[l].letters) {
            const double tall = letter.height / 2.0 * plotHeight;
            if (tall >= 0.5) {
                shapes.push_back(GlyphShape{letter.base, x + 1, bottom - tall, step - 2, tall,
                                            baseColour(letter.base)});
            }
            bottom -= tall;
        }
        shapes.push_back(text(x + step / 2, plotBottom + 2 + kTextSize, std::to_string(l + 1),
                              TextAnchor::Middle));
    }
}

}  // namespace

// ---- shapes and text

const std::vector<std::vector<PicturePoint>>& glyphOutline(char letter) {
    static const std::vector<std::vector<PicturePoint>> glyphs[4] = {
        makeGlyph('A'), makeGlyph('C'), makeGlyph('G'), makeGlyph('T')};
    switch (letter) {
        case 'A':
            return glyphs[0];
        case 'C':
            return glyphs[1];
        case 'G':
            return glyphs[2];
        default:
            return glyphs[3];
    }
}

Colour baseColour(char base) {
    switch (base) {
        case 'A':
            return {0x2e, 0x9d, 0x3a};
        case 'C':
            return {0x1f, 0x5f, 0xc8};
        case 'G':
            return {0xf0, 0x8c, 0x00};
        default:
            return {0xd6, 0x27, 0x28};
    }
}

double textWidth(const std::string& text, double size) {
    double em = 0.0;
    for (const char c : text) {
        em += c == ' ' || c == 'i' || c == 'l' || c == '.' || c == ',' ? 0.3
              : (c >= 'A' && c <= 'Z') || c == 'm' || c == 'w'         ? 0.7
                                                                       : 0.56;
    }
    return em * size;
}

std::string elideMiddle(const std::string& text, double size, double width) {
    if (textWidth(text, size) <= width) {
        return text;
    }
    const double room = width - textWidth("...", size);
    size_t keep = text.size();
    while (keep > 0 &&
           textWidth(text.substr(0, (keep + 1) / 2) + text.substr(text.size() - keep / 2), size) >
               room) {
        --keep;
    }
    return text.substr(0, (keep + 1) / 2) + "..." + text.substr(text.size() - keep / 2);
}

std::vector<double> niceTicks(double low, double high, int wanted) {
    std::vector<double> ticks;
    if (!(high > low) || !std::isfinite(low) || !std::isfinite(high)) {
        return ticks;
    }
    const double raw = (high - low) / std::max(1, wanted);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    double step = power;
    for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
        step = factor * power;
        if (step >= raw) {
            break;
        }
    }
    for (double tick = std::ceil(low / step) * step; tick <= high + step * 1e-9; tick += step) {
        ticks.push_back(std::fabs(tick) < step * 1e-9 ? 0.0 : tick);
    }
    return ticks;
}

std::string tickText(double value) {
    return formatGeneralC(value, 4);
}

std::string baseTickText(double bases) {
    if (std::fabs(bases) >= 1e6) {
        return formatGeneralC(bases / 1e6, 4) + " Mb";
    }
    if (std::fabs(bases) >= 1e4) {
        return formatGeneralC(bases / 1e3, 4) + " kb";
    }
    return formatGeneralC(bases, 6);
}

// ---- sequence logo

double positionInformation(const std::array<double, 4>& frequencies, double sites) {
    double entropy = 0.0;
    for (const double f : frequencies) {
        if (f > 0.0) {
            entropy -= f * std::log2(f);
        }
    }
    const double shortfall = sites > 0.0 ? 3.0 / (2.0 * std::numbers::ln2 * sites) : 0.0;
    return std::max(0.0, 2.0 - entropy - shortfall);
}

std::vector<LogoColumn> logoColumns(const MotifModel& model, bool reverse) {
    static constexpr char kBases[4] = {'A', 'C', 'G', 'T'};
    const std::size_t length = model.positions.size();
    std::vector<LogoColumn> columns(length);
    for (std::size_t l = 0; l < length; ++l) {
        const PositionRecord& position = model.positions[reverse ? length - 1 - l : l];
        std::array<double, 4> frequencies = position.frequencies;
        if (reverse) {
            std::reverse(frequencies.begin(), frequencies.end());  // A<->T, C<->G
        }
        const auto& n = position.counts;
        LogoColumn& column = columns[l];
        column.information = positionInformation(frequencies, n[0] + n[1] + n[2] + n[3]);
        for (int b = 0; b < 4; ++b) {
            column.letters[static_cast<std::size_t>(b)] = {kBases[b],
                                                           frequencies[b] * column.information};
        }
        std::stable_sort(
            column.letters.begin(), column.letters.end(),
            [](const LogoLetter& a, const LogoLetter& b) { return a.height < b.height; });
    }
    return columns;
}

Picture logoPicture(const std::vector<LogoColumn>& forward, const std::vector<LogoColumn>& reverse,
                    const std::string& title, double width, double height) {
    Picture picture{width, height, title + " logo", {}};
    const double half = height / 2.0;
    addLogoPanel(picture, 0, 4, width, half - 8, forward, title + ": forward strand");
    addLogoPanel(picture, 0, half + 4, width, half - 8, reverse, title + ": reverse complement");
    return picture;
}

// ---- self-scores

ScoreHistogram scoreHistogram(const std::vector<double>& scores, int bins,
                              const std::vector<double>& alsoCover) {
    ScoreHistogram histogram;
    histogram.counts.assign(static_cast<std::size_t>(std::max(1, bins)), 0);
    if (scores.empty()) {
        return histogram;
    }
    double sum = 0.0;
    for (const double score : scores) {
        sum += score;
    }
    histogram.mean = sum / static_cast<double>(scores.size());
    double squares = 0.0;
    for (const double score : scores) {
        squares += (score - histogram.mean) * (score - histogram.mean);
    }
    histogram.deviation = std::sqrt(squares / static_cast<double>(scores.size()));

    double low = *std::min_element(scores.begin(), scores.end());
    double high = *std::max_element(scores.begin(), scores.end());
    for (const double value : alsoCover) {
        if (std::isfinite(value)) {
            low = std::min(low, value);
            high = std::max(high, value);
        }
    }
    if (!(high > low)) {
        low -= 0.5;
        high += 0.5;
    }
    const auto count = static_cast<double>(histogram.counts.size());
    histogram.low = low;
    histogram.width = (high - low) / count;
    for (const double score : scores) {
        const auto bin = static_cast<std::size_t>(
            std::clamp(std::floor((score - low) / histogram.width), 0.0, count - 1.0));
        ++histogram.counts[bin];
    }
    return histogram;
}

double normalDensity(double x, double mean, double deviation) {
    if (!(deviation > 0.0)) {
        return 0.0;
    }
    const double z = (x - mean) / deviation;
    return std::exp(-0.5 * z * z) / (deviation * std::sqrt(2.0 * std::numbers::pi));
}

ScorePlot scorePlot(const std::vector<double>& selfScores, const std::vector<double>& hitScores,
                    double cutOff, const std::string& method) {
    constexpr int kBins = 30;
    ScorePlot plot;
    std::vector<double> cover = {cutOff};
    if (!hitScores.empty()) {
        // The axis spans the hits too.
        const auto [low, high] = std::minmax_element(hitScores.begin(), hitScores.end());
        cover.push_back(*low);
        cover.push_back(*high);
    }
    plot.self = scoreHistogram(selfScores, kBins, cover);
    plot.hits.assign(plot.self.counts.size(), 0);
    for (const double score : hitScores) {
        const double bin = std::floor((score - plot.self.low) / plot.self.width);
        if (bin >= 0.0 && bin < static_cast<double>(plot.hits.size())) {
            ++plot.hits[static_cast<std::size_t>(bin)];
        } else if (std::fabs(score - plot.self.low - plot.self.width * kBins) <
                   plot.self.width * 1e-9) {
            ++plot.hits.back();  // the highest score sits on the last edge
        } else {
            ++plot.hitsOutside;
        }
    }
    plot.siteCount = selfScores.size();
    plot.hitCount = hitScores.size();
    plot.cutOff = cutOff;
    plot.method = method;
    return plot;
}

Picture scorePicture(const ScorePlot& data, double width, double height) {
    Picture picture{width, height, "Scores", {}};
    auto& shapes = picture.shapes;
    const ScoreHistogram& self = data.self;
    const double plotLeft = 60;
    const double plotTop = kLine * 3 + 8;
    const double plotWidth = width - 124;
    const double plotHeight = height - kLine * 5 - 16;
    const double plotRight = plotLeft + plotWidth;
    const double plotBottom = plotTop + plotHeight;
    const std::size_t bins = self.counts.size();
    const double high = self.low + self.width * static_cast<double>(bins);
    const auto xOf = [&](double score) {
        return plotLeft + (score - self.low) / (high - self.low) * plotWidth;
    };
    // Left axis: sites per bin, room for the fitted curve's peak too.
    const double curvePeak = static_cast<double>(data.siteCount) * self.width *
                             normalDensity(self.mean, self.mean, self.deviation);
    const int siteMax = std::max({1, *std::max_element(self.counts.begin(), self.counts.end()),
                                  static_cast<int>(std::ceil(curvePeak))});
    const int hitMax = std::max(1, *std::max_element(data.hits.begin(), data.hits.end()));
    const auto ySites = [&](double count) { return plotBottom - count / siteMax * plotHeight; };
    const auto yHits = [&](double count) { return plotBottom - count / hitMax * plotHeight; };

    shapes.push_back(text(width / 2, 2 + kTextSize,
                          "Scores (" + data.method + "): " + std::to_string(data.siteCount) +
                              " collection sites, " + std::to_string(data.hitCount) + " hits",
                          TextAnchor::Middle));
    for (const double tick : niceTicks(0, siteMax, 5)) {
        shapes.push_back(line(plotLeft, ySites(tick), plotRight, ySites(tick), kGrid));
        shapes.push_back(
            text(plotLeft - 6, middleBaseline(ySites(tick)), tickText(tick), TextAnchor::End));
    }
    if (data.hitCount > 0) {
        for (const double tick : niceTicks(0, hitMax, 5)) {
            shapes.push_back(text(plotRight + 6, middleBaseline(yHits(tick)), tickText(tick)));
        }
    }
    for (const double tick : niceTicks(self.low, high, 8)) {
        shapes.push_back(line(xOf(tick), plotBottom, xOf(tick), plotBottom + 4, kInk));
        shapes.push_back(
            text(xOf(tick), plotBottom + 5 + kTextSize, tickText(tick), TextAnchor::Middle));
    }
    shapes.push_back(text(plotLeft + plotWidth / 2, plotBottom + kLine + 6 + kTextSize, "score",
                          TextAnchor::Middle));

    // Bars: the hits behind, the collection's sites in front.
    const double barWidth = plotWidth / static_cast<double>(bins);
    for (std::size_t b = 0; b < bins; ++b) {
        const double left = plotLeft + barWidth * static_cast<double>(b);
        if (data.hits[b] > 0) {
            Colour behind = kHits;
            behind.a = 110;
            shapes.push_back(filled(left + 1, yHits(data.hits[b]), barWidth - 2,
                                    plotBottom - yHits(data.hits[b]), behind));
        }
        if (self.counts[b] > 0) {
            Colour front = kSites;
            front.a = 190;
            shapes.push_back(filled(left + 3, ySites(self.counts[b]), barWidth - 6,
                                    plotBottom - ySites(self.counts[b]), front));
        }
    }
    // The fitted normal curve, in sites per bin.
    if (self.deviation > 0.0) {
        PolylineShape curve;
        curve.colour = kCurve;
        curve.width = 2;
        for (int i = 0; i <= 200; ++i) {
            const double score = self.low + (high - self.low) * i / 200.0;
            const double expected = static_cast<double>(data.siteCount) * self.width *
                                    normalDensity(score, self.mean, self.deviation);
            curve.points.push_back({xOf(score), ySites(expected)});
        }
        shapes.push_back(std::move(curve));
    }
    // The cut-off.
    LineShape cut = line(xOf(data.cutOff), plotTop, xOf(data.cutOff), plotBottom, kCutOff, 2);
    cut.dashed = true;
    shapes.push_back(cut);
    shapes.push_back(text(xOf(data.cutOff) + 4, plotTop + kTextSize,
                          "cut-off " + formatFixed(data.cutOff, 3), TextAnchor::Start, kCutOff));
    shapes.push_back(RectShape{plotLeft, plotTop, plotWidth, plotHeight, std::nullopt, kInk, 1.0});
    // Legend.
    const std::string legend[] = {
        "collection sites (left axis)",
        "normal fit: mean " + formatFixed(self.mean, 3) + ", sd " + formatFixed(self.deviation, 3),
        data.hitsOutside > 0
            ? "hits (right axis; " + std::to_string(data.hitsOutside) + " off the axis)"
            : std::string("hits (right axis)")};
    const Colour colours[] = {kSites, kCurve, kHits};
    double x = plotLeft;
    for (int i = 0; i < 3; ++i) {
        shapes.push_back(filled(x, kLine + 8, 14, kLine - 4, colours[i]));
        shapes.push_back(text(x + 18, kLine + 6 + kTextSize, legend[i]));
        x += 18 + textWidth(legend[i], kTextSize) + 20;
    }
    return picture;
}

// ---- genome map

double mapTrackWidth(double width) {
    return std::max(40.0, width - MapGeometry::kNameWidth - MapGeometry::kRightMargin);
}

double fittedBasesPerPixel(const std::vector<const MapRecord*>& tracks, double width) {
    int64_t longest = 1;
    for (const MapRecord* record : tracks) {
        longest = std::max(longest, record->length);
    }
    return static_cast<double>(longest) / mapTrackWidth(width);
}

namespace {

using G = MapGeometry;

// Genes as arrows when there is room, else as blocks per strand: genes
// closer than a few pixels run together into one block.
void addGenes(Picture& picture, const MapRecord& record, const MapView& view, double middle,
              double right) {
    constexpr double kHalf = 5;
    const double endBase = view.viewStart + (right - G::kNameWidth) * view.basesPerPixel;
    const auto xOf = [&](double base) {
        return G::kNameWidth + (base - view.viewStart) / view.basesPerPixel;
    };
    const auto clampX = [&](double x) { return std::clamp(x, G::kNameWidth, right); };
    struct Block {
        double x0 = 0, x1 = -1;
    };
    Block blocks[2];  // sense, antisense
    const auto flush = [&](Block& block, bool sense) {
        if (block.x1 >= block.x0) {
            const double top = sense ? middle - kHalf : middle;
            picture.shapes.push_back(RectShape{block.x0, top, std::max(1.0, block.x1 - block.x0),
                                               kHalf, kGene, std::nullopt, 1.0});
        }
        block = Block{};
    };
    for (const GeneRecord& gene : record.genes) {
        const double low = std::min(gene.begin, gene.end) - 1.0;
        const double high = std::max(gene.begin, gene.end);
        if (high < view.viewStart || low > endBase) {
            continue;
        }
        const double x0 = clampX(xOf(low));
        const double x1 = clampX(xOf(high));
        if (x1 - x0 < 6) {
            Block& block = blocks[gene.sense ? 0 : 1];
            if (block.x1 >= block.x0 && x0 > block.x1 + 2) {
                flush(block, gene.sense);
            }
            if (block.x1 < block.x0) {
                block.x0 = x0;
            }
            block.x1 = std::max(block.x1, x1);
            continue;
        }
        const double head = std::min(8.0, (x1 - x0) / 2);
        PolygonShape arrow;
        arrow.fill = kGene;
        arrow.stroke = kGeneEdge;
        if (gene.sense) {
            arrow.points = {{x0, middle - kHalf},
                            {x1 - head, middle - kHalf},
                            {x1, middle},
                            {x1 - head, middle + kHalf},
                            {x0, middle + kHalf}};
        } else {
            arrow.points = {{x1, middle - kHalf},
                            {x0 + head, middle - kHalf},
                            {x0, middle},
                            {x0 + head, middle + kHalf},
                            {x1, middle + kHalf}};
        }
        picture.shapes.push_back(std::move(arrow));
        const std::string name = gene.gene.empty() ? gene.locus : gene.gene;
        if (x1 - x0 > textWidth(name, kTextSize - 2) + 6) {
            TextShape label =
                text((x0 + x1) / 2, middle + kHalf + kTextSize - 1, name, TextAnchor::Middle);
            label.size = kTextSize - 2;
            picture.shapes.push_back(std::move(label));
        }
    }
    flush(blocks[0], true);
    flush(blocks[1], false);
}

void addRuler(Picture& picture, const MapView& view, double top, double lineStart, double lineEnd,
              double right) {
    const double y = top + G::kRulerY;
    const auto xOf = [&](double base) {
        return G::kNameWidth + (base - view.viewStart) / view.basesPerPixel;
    };
    picture.shapes.push_back(line(lineStart, y, lineEnd, y, kGrid));
    const double endBase = view.viewStart + (right - G::kNameWidth) * view.basesPerPixel;
    const int wanted = std::max(2, static_cast<int>((right - G::kNameWidth) / 90));
    for (const double tick : niceTicks(view.viewStart, endBase, wanted)) {
        const double x = xOf(tick);
        if (x < lineStart - 0.5 || x > lineEnd + 0.5) {
            continue;
        }
        picture.shapes.push_back(line(x, y, x, y + 4, kInk));
        TextShape label = text(x, y + 5 + kTextSize - 2, baseTickText(tick), TextAnchor::Middle);
        label.size = kTextSize - 2;
        picture.shapes.push_back(std::move(label));
    }
}

}  // namespace

Picture genomeMapPicture(const std::vector<const MapRecord*>& tracks, const MapView& view,
                         const std::string& caption) {
    Picture picture{view.width, view.height, "Genome map", {}};
    auto& shapes = picture.shapes;
    const double right = G::kNameWidth + mapTrackWidth(view.width);
    const double endBase = view.viewStart + mapTrackWidth(view.width) * view.basesPerPixel;
    const auto xOf = [&](double base) {
        return G::kNameWidth + (base - view.viewStart) / view.basesPerPixel;
    };
    const size_t shown = static_cast<size_t>(
        std::max(1.0, std::floor((view.height - G::kFooter) / G::kTrackHeight)));
    int64_t longest = 0;
    for (const MapRecord* record : tracks) {
        longest = std::max(longest, record->length);
    }
    for (size_t t = view.firstTrack; t < std::min(tracks.size(), view.firstTrack + shown); ++t) {
        const MapRecord& record = *tracks[t];
        const double top = static_cast<double>(t - view.firstTrack) * G::kTrackHeight;
        const double middle = top + G::kLineY;
        TextShape name =
            text(4, middle - 4, elideMiddle(record.name, kTextSize, G::kNameWidth - 12));
        if (name.text != record.name) {
            name.tooltip = record.name;
        }
        shapes.push_back(std::move(name));
        shapes.push_back(text(4, middle + kTextSize + 2, thousands(record.length) + " bp"));
        const double lineEnd = std::min(xOf(static_cast<double>(record.length)), right);
        const double lineStart = std::max(xOf(0.0), G::kNameWidth);
        if (lineEnd <= lineStart) {
            continue;
        }
        shapes.push_back(line(lineStart, middle, lineEnd, middle, kInk, 1.5));
        addGenes(picture, record, view, middle, right);
        addRuler(picture, view, top, lineStart, lineEnd, right);

        // Hits: one tick per pixel column and strand, however many share it.
        double lastX[2] = {-1e9, -1e9};
        std::vector<LineShape> ticks[2];
        for (const MapHit& hit : record.hits) {
            if (static_cast<double>(hit.end) < view.viewStart ||
                static_cast<double>(hit.start - 1) > endBase) {
                continue;
            }
            const double x =
                std::floor(xOf(static_cast<double>(hit.start - 1 + hit.end) / 2.0)) + 0.5;
            const int strand = hit.forward ? 0 : 1;
            if (x == lastX[strand] || x < G::kNameWidth || x > right) {
                continue;
            }
            lastX[strand] = x;
            const double sign = hit.forward ? -1.0 : 1.0;
            ticks[strand].push_back(line(x, middle + sign * G::kTickGap, x,
                                         middle + sign * (G::kTickGap + G::kTickLength),
                                         hit.forward ? kForward : kReverse, 1.5));
        }
        for (auto& strand : ticks) {
            shapes.insert(shapes.end(), strand.begin(), strand.end());
        }
        if (view.markedTrack == static_cast<int>(t)) {
            const MapHit& hit = view.marked;
            const double x0 = xOf(static_cast<double>(hit.start - 1)) - 2;
            const double x1 = std::max(xOf(static_cast<double>(hit.end)) + 2, x0 + 5);
            const double sign = hit.forward ? -1.0 : 1.0;
            const double y0 = middle + sign * (G::kTickGap - 2);
            const double y1 = middle + sign * (G::kTickGap + G::kTickLength + 2);
            shapes.push_back(RectShape{x0, std::min(y0, y1), x1 - x0, std::fabs(y1 - y0),
                                       std::nullopt, kMark, 2.0});
        }
    }
    std::string footer = caption;
    if (footer.empty() && longest > 0) {
        footer = thousands(static_cast<int64_t>(view.viewStart) + 1) + " - " +
                 thousands(static_cast<int64_t>(std::min<double>(
                     endBase, static_cast<double>(std::max(longest, int64_t{1}))))) +
                 " bp   + strand above, - strand below";
    }
    if (!footer.empty()) {
        shapes.push_back(text(right, view.height - 6, footer, TextAnchor::End));
    }
    return picture;
}

}  // namespace xoprex
