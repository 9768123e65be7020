// TRANSFAC matrix records: ID (or AC) titles the matrix, NA names it, "P0"
// or "PO" heads its numbered rows of counts (whole or decimal); other tags
// (XX, DE, BF, BA, BS, CC, ...) are passed over. A record ends at "//", or
// at an AC or ID line after its matrix (files that leave the "//" out).
// Takes the text as a stream, returns the matrices in file order; faults
// are InputErrors of matrix_formats::Problems.
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

struct TransfacRecord {
    size_t matrixLine = 0;  // the P0 line, 0 without one
    bool inMatrix = false;
    std::string id;
    std::string accession;
    std::string name;
    std::array<size_t, 4> columnOf{};  // the P0 column of A, C, G, T
    std::vector<std::array<double, 4>> columns;
};

std::array<size_t, 4> transfacOrder(const std::vector<std::string_view>& items, size_t line,
                                    const Problems& problems) {
    std::array<size_t, 4> columnOf{};
    std::array<bool, 4> seen{};
    bool good = items.size() == 5;
    for (size_t i = 1; good && i < 5; ++i) {
        const int base = baseOfLetter(items[i]);
        good = base >= 0 && !seen[static_cast<size_t>(base)];
        if (good) {
            seen[static_cast<size_t>(base)] = true;
            columnOf[static_cast<size_t>(base)] = i - 1;
        }
    }
    if (!good) {
        problems.at(line, "the P0 line must name the columns A, C, G and T");
    }
    return columnOf;
}

void transfacRow(TransfacRecord& record, const std::vector<std::string_view>& items, size_t line,
                 const Problems& problems) {
    const std::string expected = std::to_string(record.columns.size() + 1);
    long number = 0;
    if (!parseWhole(items[0], number) || std::to_string(number) != expected) {
        problems.at(line, "row " + quoted(items[0]) + " where row " + expected + " was expected");
    }
    const std::string fourCounts = "; rows have four counts (A, C, G, T)";
    if (items.size() < 5) {
        problems.at(line, "row " + expected + " has " + std::to_string(items.size() - 1) +
                              " counts" + fourCounts);
    }
    std::array<double, 5> read{};
    for (size_t i = 0; i < 4; ++i) {
        if (!parseCount(items[1 + i], read[i])) {
            problems.at(line, notACount(items[1 + i]));
        }
    }
    if (items.size() > 5 && parseCount(items[5], read[4])) {
        problems.at(line, "row " + expected + " has more than four counts" + fourCounts);
    }
    std::array<double, 4> counts{};
    for (size_t b = 0; b < 4; ++b) {
        counts[b] = read[record.columnOf[b]];
    }
    record.columns.push_back(counts);
}

void finishTransfac(TransfacRecord& record, const std::string& title,
                    std::vector<CountMatrix>& matrices, const Problems& problems) {
    if (record.matrixLine == 0) {
        return;  // a record without a matrix (a release header): nothing to read
    }
    CountMatrix matrix;
    matrix.id = !record.id.empty()          ? record.id
                : !record.accession.empty() ? record.accession
                                            : title + "_" + std::to_string(matrices.size() + 1);
    matrix.name = std::move(record.name);
    matrix.columns = std::move(record.columns);
    checkColumns(matrix, record.matrixLine, problems);
    matrices.push_back(std::move(matrix));
}

}  // namespace

std::vector<CountMatrix> readTransfacMatrices(std::istream& in, const std::string& name,
                                              const std::string& title) {
    const Problems problems(name);
    Lines lines(in);
    std::vector<CountMatrix> matrices;
    TransfacRecord record;
    while (lines.nextFilled()) {
        const std::string_view text = lines.text();
        const std::vector<std::string_view> items = words(text);
        const std::string_view tag = items.front();
        if (tag == "//") {
            finishTransfac(record, title, matrices, problems);
            record = TransfacRecord{};
            continue;
        }
        const bool row = std::isdigit(static_cast<unsigned char>(text[0])) != 0;
        if (row && !record.inMatrix) {
            problems.at(lines.number(), "a numbered row without a P0 line above it");
        }
        if (row) {
            transfacRow(record, items, lines.number(), problems);
            continue;
        }
        record.inMatrix = false;
        if ((tag == "ID" || tag == "AC") && !record.columns.empty()) {
            finishTransfac(record, title, matrices, problems);
            record = TransfacRecord{};
        }
        if (tag == "ID") {
            record.id = afterWords(text, 1);
        } else if (tag == "AC") {
            record.accession = afterWords(text, 1);
        } else if (tag == "NA") {
            record.name = afterWords(text, 1);
        } else if (tag == "P0" || tag == "PO") {
            if (record.matrixLine != 0) {
                problems.at(lines.number(),
                            "a second matrix before the \"//\" that ends the first");
            }
            record.columnOf = transfacOrder(items, lines.number(), problems);
            record.matrixLine = lines.number();
            record.inMatrix = true;
        }
    }
    finishTransfac(record, title, matrices, problems);
    if (matrices.empty()) {
        problems.whole("no matrix (no P0 line)");
    }
    return matrices;
}

}  // namespace xoprex
