#include "ui/hit_table.h"

#include <array>
#include <charconv>
#include <cstdlib>
#include <unordered_map>

#include "base/text_lines.h"

namespace xoprex::ui {
namespace {

enum Column {
    Record,
    Start,
    End,
    Strand,
    Score,
    PValue,
    QValue,
    Site,
    Distance,
    Type,
    GeneTag,
    Gene,
    Product,
    kColumnCount
};

constexpr std::array<const char*, kColumnCount> kColumnNames = {
    "record", "start",    "end",  "strand",   "score", "p_value", "q_value",
    "site",   "distance", "type", "gene_tag", "gene",  "product"};

constexpr int kAbsent = -1;

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
    std::array<int, kColumnCount> at;
    at.fill(kAbsent);
    const std::vector<TextSpan> titles = splitTabs(table.header);
    for (std::size_t i = 0; i < titles.size(); ++i) {
        const std::string_view title =
            std::string_view(table.header).substr(titles[i].offset, titles[i].size);
        for (int column = 0; column < kColumnCount; ++column) {
            if (title == kColumnNames[column] && at[column] == kAbsent) {
                at[column] = static_cast<int>(i);
            }
        }
    }
    for (const Column needed : {Record, Start, End, Strand, Score}) {
        if (at[needed] == kAbsent) {
            return table;
        }
    }
    table.hasPValues = at[PValue] != kAbsent;
    table.hasQValues = at[QValue] != kAbsent;

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
            const int index = at[column];
            return index == kAbsent || static_cast<std::size_t>(index) >= fields.size()
                       ? TextSpan{}
                       : fields[static_cast<std::size_t>(index)];
        };
        const auto text = [&](Column column) { return row.text(span(column)); };
        const std::string name(text(Record));
        const auto [found, added] =
            recordIndex.try_emplace(name, static_cast<int32_t>(table.records.size()));
        if (added) {
            table.records.push_back(name);
        }
        row.record = found->second;
        row.start = integerOf(text(Start));
        row.end = integerOf(text(End));
        row.forward = text(Strand) != "-";
        row.score = realOf(text(Score), 0.0);
        row.pValue = realOf(text(PValue), nan);
        row.qValue = realOf(text(QValue), nan);
        row.distance = integerOf(text(Distance));
        row.site = span(Site);
        row.type = span(Type);
        row.geneTag = span(GeneTag);
        row.gene = span(Gene);
        row.product = span(Product);
        table.rows.push_back(std::move(row));
        line.clear();
    }
    return table;
}

std::string hitTablePathFor(const std::string& resultsPath) {
    const std::size_t dot = resultsPath.find_last_of('.');
    const std::size_t slash = resultsPath.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return resultsPath + ".tsv";
    }
    return resultsPath.substr(0, dot + 1) + "tsv";
}

ResultsSummary parseResultsSummary(std::istream& in) {
    ResultsSummary summary;
    const std::pair<const char*, std::string ResultsSummary::*> labels[] = {
        {"Sequences,", &ResultsSummary::sequences},
        {"Sites,", &ResultsSummary::sites},
        {"A priori H,", &ResultsSummary::entropy},
        {"Method,", &ResultsSummary::method},
        {"Cut-off,", &ResultsSummary::cutOff}};
    std::string line;
    while (readTextLine(in, line)) {
        for (const auto& [label, field] : labels) {
            const std::string_view prefix(label);
            if (line.size() >= prefix.size() && line.compare(0, prefix.size(), prefix) == 0) {
                summary.*field = line.substr(prefix.size());
            }
        }
    }
    return summary;
}

}  // namespace xoprex::ui
