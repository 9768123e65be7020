// The rows of a table appended through a BlockWriter, formatted on one
// thread or, for many rows, on two.
//
// Takes the writer, the number of rows, the threads allowed and a function
// that appends row i (its line end included) to a text; the function must
// be safe to call for different rows on two threads at once.
// Returns once every row has been appended to the writer in order, each
// followed by lineDone(): the text is the same whatever the threads.
// Fails with what the writer (OutputError) or the row function throws, on
// either thread; the rows after the failure are not appended, and the
// second thread has ended when the error reaches the caller.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "report/block_writer.h"

namespace xoprex {

using RowFormatter = std::function<void(std::string& out, size_t row)>;

// Rows per chunk when the rows are formatted on two threads (about 0.8 MB of
// results-table text), and the rows from which that pays.
inline constexpr size_t kRowsPerChunk = 8192;
inline constexpr size_t kRowsWorthSplitting = 2 * kRowsPerChunk;

// Rows [0, rows), on two threads when `threads` is above 1 and there are at
// least kRowsWorthSplitting of them.
void writeRows(BlockWriter& writer, size_t rows, unsigned threads, const RowFormatter& row);

}  // namespace xoprex
