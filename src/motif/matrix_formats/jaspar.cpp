// JASPAR count matrices, the four-row layout: a ">ID NAME" header (or "#ID
// NAME" in a file without '>' lines) over four rows A, C, G, T, lettered
// ("A [ 1 2 ]", any order) or not; or the bare four rows of a .pfm, titled
// by the file title. Takes the text as a stream, returns the matrices in
// file order; faults are InputErrors of matrix_formats::Problems.
#include <algorithm>
#include <string>
#include <vector>

#include "motif/count_matrix.h"
#include "motif/matrix_formats/row_blocks.h"

namespace xoprex {
namespace {

using namespace matrix_formats;

CountMatrix fourRowMatrix(const RowBlock& block, const std::string& title,
                          const Problems& problems) {
    CountMatrix matrix;
    nameFromHeader(block, title, matrix, problems);
    const std::string what = "matrix " + quoted(matrix.id);
    const auto& rows = block.rows;
    if (rows.size() > 4) {
        problems.at(rows[4].line, "a fifth row in " + what + " (a matrix has four: A, C, G, T)");
    }
    if (rows.size() != 4) {
        problems.at(block.line, what + " has " + std::to_string(rows.size()) +
                                    " rows; a matrix has four (A, C, G, T)");
    }
    std::vector<std::vector<double>> counts;
    for (const NumberRow& row : rows) {
        counts.push_back(rowCounts(row, problems));
    }
    const bool lettered = rows[0].base >= 0;
    for (const NumberRow& row : rows) {
        if ((row.base >= 0) != lettered) {
            problems.at(row.line,
                        "the rows of " + what + " must all begin with their letter or none");
        }
    }
    std::array<size_t, 4> rowOf{0, 1, 2, 3};  // the row of A, C, G and T
    if (lettered) {
        std::array<bool, 4> found{};
        for (size_t r = 0; r < 4; ++r) {
            const auto base = static_cast<size_t>(rows[r].base);
            if (!found[base]) {
                found[base] = true;
                rowOf[base] = r;
            }
        }
        for (size_t b = 0; b < 4; ++b) {
            if (!found[b]) {
                problems.at(block.line, what + " has no row " + std::string(1, "ACGT"[b]));
            }
        }
    }
    const size_t width = counts[rowOf[0]].size();
    for (size_t r = 0; r < 4; ++r) {
        if (counts[r].size() != width) {
            problems.at(rows[r].line, "a row of " + std::to_string(counts[r].size()) +
                                          " counts in a matrix whose rows have " +
                                          std::to_string(width));
        }
    }
    matrix.columns.resize(width);
    for (size_t l = 0; l < width; ++l) {
        for (size_t b = 0; b < 4; ++b) {
            matrix.columns[l][b] = counts[rowOf[b]][l];
        }
    }
    checkColumns(matrix, block.line, problems);
    return matrix;
}

}  // namespace

std::vector<CountMatrix> readJasparMatrices(std::istream& in, const std::string& name,
                                            const std::string& title) {
    return readBlocks(in, name, [&title](const RowBlock& block, const Problems& problems) {
        return fourRowMatrix(block, title, problems);
    });
}

}  // namespace xoprex
