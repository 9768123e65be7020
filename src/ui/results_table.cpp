#include "ui/results_table.h"

#include "base/text_lines.h"

namespace xoprex::ui {

std::vector<std::string> splitFields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t comma = line.find(','); comma != std::string::npos;
         comma = line.find(',', start)) {
        fields.push_back(line.substr(start, comma - start));
        start = comma + 1;
    }
    fields.push_back(line.substr(start));
    return fields;
}

ResultsGrid parseResultsTable(std::istream& in) {
    ResultsGrid grid;
    std::string line;
    for (int skipped = 0; skipped < 2; ++skipped) {
        if (!readTextLine(in, line)) {
            return grid;
        }
    }
    if (!readTextLine(in, line)) {
        return grid;
    }
    grid.columns = splitFields(line);
    while (readTextLine(in, line)) {
        if (line.find(',') != std::string::npos) {
            grid.rows.push_back(splitFields(line));
        }
    }
    return grid;
}

std::string joinRows(const std::vector<std::vector<std::string>>& rows) {
    std::string text;
    for (const auto& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (i > 0) {
                text += ',';
            }
            text += row[i];
        }
        text += '\n';
    }
    return text;
}

}  // namespace xoprex::ui
