// JASPAR count matrices: ">ID NAME" headers over four rows A, C, G, T, or
// the bare four rows of a .pfm. Takes the text as a stream, returns the
// matrices in file order; faults are InputErrors of matrix_formats::Problems.
#include <algorithm>
#include <array>
#include <cctype>
#include <string>
#include <vector>

#include "motif/count_matrix.h"
#include "motif/matrix_formats/reading.h"

namespace xoprex {
namespace {

using namespace matrix_formats;

struct JasparRow {
    size_t line = 0;
    int base = -1;  // the row's letter, -1 without one
    std::vector<double> counts;
};

struct JasparMatrix {
    size_t line = 0;  // of the header, or of the first row without one
    std::string id;
    std::string name;
    std::vector<JasparRow> rows;
};

JasparRow jasparRow(std::string_view text, size_t line, const Problems& problems) {
    std::string plain(text);
    std::replace(plain.begin(), plain.end(), '[', ' ');
    std::replace(plain.begin(), plain.end(), ']', ' ');
    const std::vector<std::string_view> items = words(plain);
    JasparRow row;
    row.line = line;
    size_t first = 0;
    if (!items.empty() && baseOfLetter(items[0]) >= 0) {
        row.base = baseOfLetter(items[0]);
        first = 1;
    }
    for (size_t i = first; i < items.size(); ++i) {
        double count = 0.0;
        if (!parseCount(items[i], count)) {
            problems.at(line, quoted(items[i]) + " is not a count (a number of at least 0)");
        }
        row.counts.push_back(count);
    }
    if (row.counts.empty()) {
        problems.at(line, "a row without counts");
    }
    return row;
}

CountMatrix finishJaspar(JasparMatrix& pending, const Problems& problems) {
    const std::string what = "matrix " + quoted(pending.id);
    auto& rows = pending.rows;
    if (rows.size() != 4) {
        problems.at(pending.line, what + " has " + std::to_string(rows.size()) +
                                      " rows; a matrix has four (A, C, G, T)");
    }
    const bool lettered = rows[0].base >= 0;
    for (const JasparRow& row : rows) {
        if ((row.base >= 0) != lettered) {
            problems.at(row.line,
                        "the rows of " + what + " must all begin with their letter or none");
        }
    }
    if (lettered) {
        std::stable_sort(rows.begin(), rows.end(),
                         [](const JasparRow& a, const JasparRow& b) { return a.base < b.base; });
        for (int b = 0; b < 4; ++b) {
            if (rows[static_cast<size_t>(b)].base != b) {
                problems.at(pending.line, what + " has no row " + std::string(1, "ACGT"[b]));
            }
        }
    }
    CountMatrix matrix;
    matrix.id = std::move(pending.id);
    matrix.name = std::move(pending.name);
    const size_t width = rows[0].counts.size();
    for (const JasparRow& row : rows) {
        if (row.counts.size() != width) {
            problems.at(row.line, "a row of " + std::to_string(row.counts.size()) +
                                      " counts in a matrix whose rows have " +
                                      std::to_string(width));
        }
    }
    matrix.columns.resize(width);
    for (size_t l = 0; l < width; ++l) {
        for (size_t b = 0; b < 4; ++b) {
            matrix.columns[l][b] = rows[b].counts[l];
        }
    }
    checkColumns(matrix, pending.line, problems);
    return matrix;
}

}  // namespace

std::vector<CountMatrix> readJasparMatrices(std::istream& in, const std::string& name,
                                            const std::string& title) {
    const Problems problems(name);
    Lines lines(in);
    std::vector<CountMatrix> matrices;
    JasparMatrix pending;
    bool open = false;
    while (lines.nextFilled()) {
        const std::string_view text = lines.text();
        if (text[0] == '>') {
            if (open) {
                matrices.push_back(finishJaspar(pending, problems));
            }
            pending = JasparMatrix{};
            pending.line = lines.number();
            pending.id = std::string(firstWord(text.substr(1)));
            pending.name = afterWords(text.substr(1), 1);
            if (pending.id.empty()) {
                problems.at(lines.number(), "a header without an ID");
            }
            open = true;
            continue;
        }
        if (!open) {
            pending = JasparMatrix{};  // four rows without a header: the file's one matrix
            pending.line = lines.number();
            pending.id = title;
            open = true;
        } else if (pending.rows.size() == 4) {
            problems.at(lines.number(), "a fifth row in matrix " + quoted(pending.id) +
                                            " (a matrix has four: A, C, G, T)");
        }
        pending.rows.push_back(jasparRow(text, lines.number(), problems));
    }
    if (open) {
        matrices.push_back(finishJaspar(pending, problems));
    }
    if (matrices.empty()) {
        problems.whole("no matrix");
    }
    return matrices;
}

}  // namespace xoprex
