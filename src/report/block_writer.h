// Buffered writing of a text file made of many short lines: the lines are
// collected in one buffer, handed to the sink a large block at a time.
// When asked to write behind, and once the text outgrows one block, the
// blocks are written on a second thread while the next one is being
// filled, so that formatting and the file system's work overlap; the
// blocks reach the sink in their order, and only that thread touches the
// sink until the writer is finished. A sink that fails (OutputError) stops
// the writer: the error reaches the caller at the next hand-over or at
// finish().
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "base/output_file.h"
#include "base/tasks.h"

namespace xoprex {

class BlockWriter {
  public:
    // Size at which the buffer is handed over: large, since every write call
    // costs far more than the copy (a table of 100,000 hits is about 10 MB).
    static constexpr size_t kBlockSize = size_t{1} << 20;

    explicit BlockWriter(TextSink& out, bool writeBehind = false);
    // Stops the writing thread; lines not finished are dropped (call finish).
    ~BlockWriter();
    BlockWriter(const BlockWriter&) = delete;
    BlockWriter& operator=(const BlockWriter&) = delete;

    // The buffer to append lines to.
    std::string& text() { return text_; }
    // Called after each complete line.
    void lineDone() {
        if (text_.size() >= kBlockSize) {
            handOver();
        }
    }
    // Writes every line so far and flushes the sink.
    void finish();

  private:
    void handOver();

    TextSink& out_;
    std::string text_;
    // The blocks on their way to the writing thread, once it is started.
    std::unique_ptr<OrderedHandOff<std::string>> behind_;
    bool writeBehind_;
};

}  // namespace xoprex
