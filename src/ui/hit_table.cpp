#include "ui/hit_table.h"

#include <array>
#include <charconv>
#include <cstdlib>
#include <unordered_map>

#include "base/text_lines.h"

namespace xoprex::ui {
namespace {

std::vector<TextSpan> splitTabs(const std::string& line) {
    std::vector<TextSpan> fields;
    std::size_t begin = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', begin);
        const std::size_t end = tab == std::string::npos ? line.size() : tab;
        fields.push_back({static_cast<uint32_t>(begin), static_cast<uint32_t>(end - begin)});
        if (tab == std::string::npos) {
            return fields;
        }
        begin = tab + 1;
    }
}

int64_t integerOf(std::string_view text) {
    int64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

double realOf(std::string_view text, double otherwise) {
    double value = otherwise;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc() ? value : otherwise;
}

}  // namespace

HitTable parseHitTable(std::istream& in) {
    HitTable table;
    std::string line;
    while (readTextLine(in, line)) {
        if (!line.empty() && line.front() == '#') {
            table.comments.push_back(line);
            continue;
        }
        table.header = line;
        break;
    }
    using Column = TsvColumn;
    const std::array<int, kTsvColumnCount> at = tsvColumnPlaces(table.header);
    const auto place = [&at](Column column) { return at[static_cast<std::size_t>(column)]; };
    for (const Column needed :
         {Column::Record, Column::Start, Column::End, Column::Strand, Column::Score}) {
        if (place(needed) == kAbsentColumn) {
            return table;
        }
    }
    table.hasPValues = place(Column::PValue) != kAbsentColumn;
    table.hasQValues = place(Column::QValue) != kAbsentColumn;

    std::unordered_map<std::string, int32_t> recordIndex;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    while (readTextLine(in, line)) {
        if (line.empty()) {
            continue;
        }
        HitRow row;
        row.line = std::move(line);
        const std::vector<TextSpan> fields = splitTabs(row.line);
        const auto span = [&](Column column) {
            const int index = place(column);
            return index == kAbsentColumn || static_cast<std::size_t>(index) >= fields.size()
                       ? TextSpan{}
                       : fields[static_cast<std::size_t>(index)];
        };
        const auto text = [&](Column column) { return row.text(span(column)); };
        const std::string name(text(Column::Record));
        const auto [found, added] =
            recordIndex.try_emplace(name, static_cast<int32_t>(table.records.size()));
        if (added) {
            table.records.push_back(name);
        }
        row.record = found->second;
        row.start = integerOf(text(Column::Start));
        row.end = integerOf(text(Column::End));
        row.forward = text(Column::Strand) != "-";
        row.score = realOf(text(Column::Score), 0.0);
        row.pValue = realOf(text(Column::PValue), nan);
        row.qValue = realOf(text(Column::QValue), nan);
        row.distance = integerOf(text(Column::Distance));
        row.site = span(Column::Site);
        row.type = span(Column::Type);
        row.geneTag = span(Column::GeneTag);
        row.gene = span(Column::Gene);
        row.product = span(Column::Product);
        table.rows.push_back(std::move(row));
        line.clear();
    }
    return table;
}

}  // namespace xoprex::ui
