// Reads a results table back for display: the first two lines are skipped,
// the third gives the column titles, every further line with a comma gives
// one row. Fields are split at every ',' and kept as written (no unquoting,
// no trimming). Lines without any comma (the empty line before the summary)
// carry no fields and are left out.
#pragma once

#include <istream>
#include <string>
#include <vector>

namespace xoprex::ui {

struct ResultsGrid {
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;
};

// Splits at every ','; the piece after the last comma counts too.
std::vector<std::string> splitFields(const std::string& line);

ResultsGrid parseResultsTable(std::istream& in);

// Rows joined back with commas, one line each ("\n"), for the clipboard.
std::string joinRows(const std::vector<std::vector<std::string>>& rows);

}  // namespace xoprex::ui
