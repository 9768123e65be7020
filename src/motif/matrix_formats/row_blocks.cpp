#include "motif/matrix_formats/row_blocks.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <system_error>

#include "base/text_lines.h"

namespace xoprex::matrix_formats {
namespace {

NumberRow numberRow(std::string_view text, size_t line) {
    std::string plain(text);
    std::replace(plain.begin(), plain.end(), '[', ' ');
    std::replace(plain.begin(), plain.end(), ']', ' ');
    const std::vector<std::string_view> items = words(plain);
    NumberRow row;
    row.line = line;
    size_t first = 0;
    if (!items.empty() && baseOfLetter(items[0]) >= 0) {
        row.base = baseOfLetter(items[0]);
        first = 1;
    }
    for (size_t i = first; i < items.size(); ++i) {
        row.words.emplace_back(items[i]);
    }
    return row;
}

// Any number, negative ones too; NaN for a word that is none.
double anyNumber(const std::string& word) {
    double value = 0.0;
    const char* end = word.data() + word.size();
    const auto [stop, error] = std::from_chars(word.data(), end, value);
    return error == std::errc() && stop == end ? value : std::nan("");
}

// Whether the four totals are equal, to a millionth of the largest.
bool equalTotals(const std::array<double, 4>& totals) {
    const auto [low, high] = std::minmax_element(totals.begin(), totals.end());
    return *high - *low <= 1e-6 * std::fabs(*high);
}

// The guess for a block of four rows of four numbers.
RowLayout squareLayout(const RowBlock& block) {
    std::array<double, 4> rowTotals{};
    std::array<double, 4> columnTotals{};
    for (size_t r = 0; r < 4; ++r) {
        for (size_t c = 0; c < 4; ++c) {
            const double value = anyNumber(block.rows[r].words[c]);
            rowTotals[r] += value;
            columnTotals[c] += value;
        }
    }
    const bool byRow = equalTotals(rowTotals);
    return byRow && !equalTotals(columnTotals) ? RowLayout::FourColumns : RowLayout::FourRows;
}

}  // namespace

std::vector<RowBlock> rowBlocks(std::istream& in) {
    struct Filled {
        size_t number;
        std::string text;
    };
    std::vector<Filled> lines;
    bool angled = false;
    std::string line;
    for (size_t number = 1; readTextLine(in, line); ++number) {
        const std::string_view text = trimmed(line);
        if (!text.empty()) {
            angled = angled || text[0] == '>';
            lines.push_back({number, std::string(text)});
        }
    }
    const char headerMark = angled ? '>' : '#';
    std::vector<RowBlock> blocks;
    for (const Filled& filled : lines) {
        const char first = filled.text[0];
        const bool header =
            first == headerMark &&
            (angled || blocks.empty() || !blocks.back().rows.empty() || !blocks.back().headed);
        if (header) {
            RowBlock block;
            block.line = filled.number;
            block.headed = true;
            block.header = std::string(trimmed(std::string_view(filled.text).substr(1)));
            blocks.push_back(std::move(block));
        } else if (first != '#') {
            if (blocks.empty()) {
                blocks.emplace_back();
                blocks.back().line = filled.number;
            }
            blocks.back().rows.push_back(numberRow(filled.text, filled.number));
        }
    }
    return blocks;
}

std::vector<CountMatrix> readBlocks(
    std::istream& in, const std::string& name,
    const std::function<CountMatrix(const RowBlock&, const Problems&)>& read) {
    const Problems problems(name);
    std::vector<CountMatrix> matrices;
    for (const RowBlock& block : rowBlocks(in)) {
        matrices.push_back(read(block, problems));
    }
    if (matrices.empty()) {
        problems.whole("no matrix");
    }
    return matrices;
}

void nameFromHeader(const RowBlock& block, const std::string& title, CountMatrix& matrix,
                    const Problems& problems) {
    matrix.id = block.headed ? std::string(firstWord(block.header)) : title;
    matrix.name = afterWords(block.header, 1);
    if (matrix.id.empty()) {
        problems.at(block.line, "a header without an ID");
    }
}

std::vector<double> rowCounts(const NumberRow& row, const Problems& problems) {
    std::vector<double> counts;
    for (const std::string& word : row.words) {
        double count = 0.0;
        if (!parseCount(word, count)) {
            problems.at(row.line, notACount(word));
        }
        counts.push_back(count);
    }
    if (counts.empty()) {
        problems.at(row.line, "a row without counts");
    }
    return counts;
}

LayoutGuess rowLayoutOf(const std::vector<RowBlock>& blocks) {
    const RowBlock* square = nullptr;
    for (const RowBlock& block : blocks) {
        if (block.rows.empty()) {
            continue;
        }
        const bool fourRows = std::any_of(
            block.rows.begin(), block.rows.end(),
            [](const NumberRow& row) { return row.base >= 0 || row.words.size() != 4; });
        if (fourRows) {
            return {RowLayout::FourRows, true};
        }
        if (block.rows.size() != 4) {
            return {RowLayout::FourColumns, true};
        }
        square = square != nullptr ? square : &block;
    }
    return {square != nullptr ? squareLayout(*square) : RowLayout::FourRows, false};
}

}  // namespace xoprex::matrix_formats
