// Two threads share the rows in chunks of kRowsPerChunk: the calling thread
// formats the even chunks straight into the writer, a helper the odd ones
// into buffers of their own, which it hands over in order; the calling
// thread appends each in its place. At most one formatted chunk waits, so
// the memory stays at three chunk buffers however many rows there are.
#include "report/row_chunks.h"

#include <algorithm>
#include <utility>

#include "base/tasks.h"

namespace xoprex {
namespace {

void writeRange(BlockWriter& writer, size_t begin, size_t end, const RowFormatter& row) {
    for (size_t i = begin; i < end; ++i) {
        row(writer.text(), i);
        writer.lineDone();
    }
}

}  // namespace

void writeRows(BlockWriter& writer, size_t rows, unsigned threads, const RowFormatter& row) {
    if (threads <= 1 || rows < kRowsWorthSplitting) {
        writeRange(writer, 0, rows, row);
        return;
    }
    const size_t chunks = (rows + kRowsPerChunk - 1) / kRowsPerChunk;
    const auto first = [](size_t chunk) { return chunk * kRowsPerChunk; };
    const auto last = [rows](size_t chunk) { return std::min(rows, (chunk + 1) * kRowsPerChunk); };
    OrderedHandOff<std::string> oddChunks(1);
    const bool started = oddChunks.start([&] {
        for (size_t chunk = 1; chunk < chunks; chunk += 2) {
            std::string text = oddChunks.spare();
            text.clear();
            for (size_t i = first(chunk); i < last(chunk); ++i) {
                row(text, i);
            }
            if (!oddChunks.put(std::move(text))) {
                return;
            }
        }
        oddChunks.close();
    });
    if (!started) {
        writeRange(writer, 0, rows, row);
        return;
    }
    for (size_t chunk = 0; chunk < chunks; ++chunk) {
        if (chunk % 2 == 0) {
            writeRange(writer, first(chunk), last(chunk), row);
            continue;
        }
        std::string text;
        if (!oddChunks.take(text)) {
            break;  // the helper failed: finish() passes its error on
        }
        writer.text() += text;
        writer.lineDone();
        oddChunks.giveBack(std::move(text));
    }
    oddChunks.finish();
}

}  // namespace xoprex
