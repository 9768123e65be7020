// The four-column layout, a row of four numbers (A, C, G, T) per position:
// counts under ">ID NAME" or "#ID NAME" headers (ClusterBuster among them,
// with its "# key value" comments), or a bare block titled by the file
// title; and HOMER motifs, ">CONSENSUS<TAB>NAME<TAB>threshold..." over rows
// of four probabilities (counts = probability x the reading's default
// sites). Take the text as a stream, return the matrices in file order;
// faults are InputErrors of matrix_formats::Problems.
#include <algorithm>
#include <string>
#include <vector>

#include "motif/count_matrix.h"
#include "motif/matrix_formats/row_blocks.h"

namespace xoprex {
namespace {

using namespace matrix_formats;

// The block's columns; `probabilities` when every number must be one (from
// 0 to 1).
void readColumns(const RowBlock& block, CountMatrix& matrix, bool probabilities,
                 const Problems& problems) {
    for (const NumberRow& row : block.rows) {
        if (row.base >= 0) {
            problems.at(row.line,
                        "a row that begins with a letter; rows are four numbers (A, C, "
                        "G, T), one row per position");
        }
        if (row.words.size() != 4) {
            problems.at(row.line, "a row of " + std::to_string(row.words.size()) +
                                      " numbers; rows have four (A, C, G, T)");
        }
        std::array<double, 4> column{};
        for (size_t b = 0; b < 4; ++b) {
            const std::string& word = row.words[b];
            if (!parseCount(word, column[b]) || (probabilities && column[b] > 1.0)) {
                problems.at(row.line, probabilities ? notAProbability(word) : notACount(word));
            }
        }
        matrix.columns.push_back(column);
    }
}

// A HOMER header's fields: tab-separated, or blank-separated in a file that
// lost its tabs.
std::vector<std::string_view> homerFields(std::string_view header) {
    if (header.find('\t') == std::string_view::npos) {
        return words(header);
    }
    std::vector<std::string_view> fields;
    for (size_t at = 0; at <= header.size();) {
        const size_t end = std::min(header.find('\t', at), header.size());
        fields.push_back(trimmed(header.substr(at, end - at)));
        at = end + 1;
    }
    return fields;
}

}  // namespace

std::vector<CountMatrix> readFourColumnMatrices(std::istream& in, const std::string& name,
                                                const std::string& title) {
    return readBlocks(in, name, [&title](const RowBlock& block, const Problems& problems) {
        CountMatrix matrix;
        nameFromHeader(block, title, matrix, problems);
        readColumns(block, matrix, false, problems);
        checkColumns(matrix, block.line, problems);
        return matrix;
    });
}

std::vector<CountMatrix> readHomerMatrices(std::istream& in, const std::string& name,
                                           const MatrixReading& reading) {
    return readBlocks(in, name, [&reading](const RowBlock& block, const Problems& problems) {
        if (!block.headed) {
            problems.at(block.line, "rows before the first \">CONSENSUS<TAB>NAME\" header");
        }
        const std::vector<std::string_view> fields = homerFields(block.header);
        CountMatrix matrix;
        matrix.id = fields.empty() ? "" : std::string(fields[0]);
        matrix.name = fields.size() < 2 ? "" : std::string(fields[1]);
        if (matrix.id.empty()) {
            problems.at(block.line, "a header without a consensus");
        }
        readColumns(block, matrix, true, problems);
        for (auto& column : matrix.columns) {
            for (double& count : column) {
                count = probabilityCount(count, reading.defaultSites);
            }
        }
        checkColumns(matrix, block.line, problems);
        return matrix;
    });
}

}  // namespace xoprex
