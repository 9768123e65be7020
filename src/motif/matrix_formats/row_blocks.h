// Matrices written as rows of numbers under header lines, internal to
// src/motif: JASPAR's four rows (A, C, G, T), the four-column layout (one
// row per position), ClusterBuster and HOMER. rowBlocks splits such a text
// into blocks of rows under their headers, keeping the numbers as written
// (the readers check them); rowLayoutOf tells which layout the blocks show.
// Neither raises anything.
#pragma once

#include <functional>
#include <istream>
#include <string>
#include <vector>

#include "motif/matrix_formats/reading.h"

namespace xoprex::matrix_formats {

struct NumberRow {
    size_t line = 0;
    int base = -1;                   // the row's letter, -1 without one
    std::vector<std::string> words;  // the numbers as written
};

struct RowBlock {
    size_t line = 0;  // of the header, or of the first row without one
    bool headed = false;
    std::string header;  // the header line after its '>' or '#', trimmed
    std::vector<NumberRow> rows;
};

// The blocks in file order. When any line begins with '>', '>' lines head
// the blocks and '#' lines are comments (ClusterBuster's "# key value");
// otherwise '#' lines head them, and a '#' line between a header and its
// first row is a comment. Every other line that is not blank is a row: an
// optional base letter, then numbers ('[' and ']' read as blanks). Rows
// before the first header make a block without one.
std::vector<RowBlock> rowBlocks(std::istream& in);

// The matrix of every block of the text in order, each made by `read`
// from its block; "no matrix" when there is no block.
std::vector<CountMatrix> readBlocks(
    std::istream& in, const std::string& name,
    const std::function<CountMatrix(const RowBlock&, const Problems&)>& read);

// Sets the matrix's ID and name from the block's header "ID NAME", or the
// ID to `title` for a block without one; a header without an ID raises the
// problem.
void nameFromHeader(const RowBlock& block, const std::string& title, CountMatrix& matrix,
                    const Problems& problems);

// A row's numbers as counts (finite, at least 0); a word that is not one
// raises the problem on the row's line, a negative number naming log-odds
// and weight matrices, which are not read.
std::vector<double> rowCounts(const NumberRow& row, const Problems& problems);

enum class RowLayout {
    FourRows,     // four rows A, C, G, T, a number per position (JASPAR)
    FourColumns,  // a row of four numbers (A, C, G, T) per position
};

struct LayoutGuess {
    RowLayout layout = RowLayout::FourRows;
    bool sure = false;  // false for a guess on square blocks of four rows of four
};

// The layout of the first block that shows one: four rows when a block has
// lettered rows or a row of other than four numbers, four columns when it
// has other than four rows of four numbers. When every block is four rows
// of four numbers the guess is the layout whose rows (four columns) or
// columns (four rows) alone have equal totals, as counted sites give, and
// four rows when that does not tell.
LayoutGuess rowLayoutOf(const std::vector<RowBlock>& blocks);

}  // namespace xoprex::matrix_formats
