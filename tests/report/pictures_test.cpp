// The pictures as descriptions: a map of very many hits stays light (one
// tick per pixel column and strand) with a ruler of round labels, a name
// too long for its column is shortened with the whole of it as a tooltip,
// and the SVG writer escapes what it is given.
#include "report/pictures.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "report/svg_writer.h"

namespace xoprex {
namespace {

TEST(Pictures, GenomeMapThinsTicksRulesRoundlyAndNamesWholeOnHover) {
    MapRecord record;
    record.name = std::string(60, 'n') + "<&>";
    record.length = 5'000'000;
    for (int64_t i = 0; i < 200'000; ++i) {
        record.hits.push_back({1 + i * 25, 20 + i * 25, i % 3 != 0});
    }
    const std::vector<const MapRecord*> tracks = {&record};
    MapView view;
    view.width = 1000;
    view.height = MapGeometry::kTrackHeight + MapGeometry::kFooter;
    view.basesPerPixel = fittedBasesPerPixel(tracks, view.width);
    const Picture picture = genomeMapPicture(tracks, view);

    size_t ticks = 0;
    std::vector<std::string> labels;
    std::string tooltip;
    for (const Shape& shape : picture.shapes) {
        if (const auto* line = std::get_if<LineShape>(&shape)) {
            ticks += line->from.x == line->to.x && line->width == 1.5 ? 1 : 0;
        } else if (const auto* text = std::get_if<TextShape>(&shape)) {
            if (text->at.y > MapGeometry::kRulerY && text->at.y < MapGeometry::kTrackHeight) {
                labels.push_back(text->text);
            }
            tooltip += text->tooltip;
        }
    }
    EXPECT_LE(ticks, 2 * static_cast<size_t>(mapTrackWidth(view.width)) + 2);
    EXPECT_GT(ticks, static_cast<size_t>(mapTrackWidth(view.width)));
    ASSERT_GE(labels.size(), 4u);
    const std::regex round("0|[1-9]0*|[1-9](\\.5)? Mb|[1-9]0* kb|[1-9]00 kb|[1-9]\\.?[05]? Mb");
    for (const std::string& label : labels) {
        EXPECT_TRUE(std::regex_match(label, round)) << label;
    }
    EXPECT_EQ(tooltip, record.name);

    std::string svg;
    appendSvg(svg, picture);
    EXPECT_NE(svg.find("<title>" + std::string(60, 'n') + "&lt;&amp;&gt;</title>"),
              std::string::npos);
    EXPECT_EQ(svg.find("<&>"), std::string::npos);
}

}  // namespace
}  // namespace xoprex
