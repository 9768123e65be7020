// The block writer hands the stream exactly the lines it was given, in
// order, whether the text fits one block or spans several, written on the
// calling thread or behind it on a second one. Rows formatted on one thread
// or two (report/row_chunks.h) reach it as the same text.
#include "report/block_writer.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>

#include "base/errors.h"
#include "report/row_chunks.h"

namespace xoprex {
namespace {

std::string numberedLines(size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        text += "line " + std::to_string(i) + ",with some text after it\n";
    }
    return text;
}

void writeThrough(const std::string& text, TextSink& out, bool writeBehind) {
    BlockWriter writer(out, writeBehind);
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start) + 1;
        writer.text().append(text, start, end - start);
        writer.lineDone();
        start = end;
    }
    writer.finish();
}

// A sink that takes `room` bytes, then fails like a full disk.
class FullSink : public TextSink {
  public:
    explicit FullSink(size_t room) : room_(room) {}
    void write(std::string_view text) override {
        if (text.size() > room_) {
            throw OutputError("full", "Cannot write full: No space left on device");
        }
        room_ -= text.size();
    }

  private:
    size_t room_;
};

TEST(BlockWriter, StreamReceivesEveryLineInOrder) {
    for (const size_t lines : {size_t{0}, size_t{3}, size_t{40000}, size_t{300000}}) {
        const std::string text = numberedLines(lines);
        for (const bool writeBehind : {false, true}) {
            std::ostringstream out;
            StreamSink sink(out, "test");
            writeThrough(text, sink, writeBehind);
            ASSERT_EQ(out.str(), text) << lines << " lines, write behind " << writeBehind;
        }
    }
    // The largest case spans several blocks, so the second thread took part.
    EXPECT_GT(numberedLines(300000).size(), 4 * BlockWriter::kBlockSize);
}

TEST(BlockWriter, FinishingTwiceWritesNothingMore) {
    std::ostringstream out;
    StreamSink sink(out, "test");
    BlockWriter writer(sink, true);
    writer.text() += "one\n";
    writer.lineDone();
    writer.finish();
    EXPECT_EQ(out.str(), "one\n");
    writer.finish();
    EXPECT_EQ(out.str(), "one\n");
}

// A sink that fails stops the writer: the error reaches the caller, on the
// calling thread or from the one writing behind it, and nothing hangs.
TEST(BlockWriter, FailingSinkReachesTheCaller) {
    const std::string text = numberedLines(300000);
    for (const size_t room : {size_t{0}, size_t{100}, 3 * BlockWriter::kBlockSize}) {
        for (const bool writeBehind : {false, true}) {
            FullSink sink(room);
            EXPECT_THROW(writeThrough(text, sink, writeBehind), OutputError)
                << room << " bytes, write behind " << writeBehind;
        }
    }
}

void numberedRow(std::string& out, size_t i) {
    out += "row " + std::to_string(i) + ",some text\n";
}

void rowsThrough(TextSink& sink, size_t rows, unsigned threads, const RowFormatter& row) {
    BlockWriter writer(sink, threads > 1);
    writer.text() += "header\n";
    writer.lineDone();
    writeRows(writer, rows, threads, row);
    writer.finish();
}

TEST(RowChunks, TwoThreadsWriteTheSameText) {
    for (const size_t rows : {size_t{0}, size_t{1}, kRowsWorthSplitting - 1, kRowsWorthSplitting,
                              5 * kRowsPerChunk + 17, 40 * kRowsPerChunk}) {
        std::string texts[2];
        for (const unsigned threads : {1u, 2u}) {
            std::ostringstream out;
            StreamSink sink(out, "rows");
            rowsThrough(sink, rows, threads, numberedRow);
            texts[threads - 1] = out.str();
        }
        EXPECT_EQ(texts[0], texts[1]) << rows << " rows";
        std::string expected = "header\n";
        for (size_t i = 0; i < rows; ++i) {
            numberedRow(expected, i);
        }
        EXPECT_EQ(texts[1], expected) << rows << " rows";
    }
}

TEST(RowChunks, AFailureOnEitherThreadReachesTheCaller) {
    const size_t rows = 12 * kRowsPerChunk;
    // Rows of an even chunk are the caller's, of an odd one the helper's.
    for (const size_t failing : {size_t{3}, kRowsPerChunk + 5, 9 * kRowsPerChunk}) {
        const auto row = [failing](std::string& out, size_t i) {
            if (i == failing) {
                throw std::runtime_error("no row " + std::to_string(i));
            }
            numberedRow(out, i);
        };
        std::ostringstream out;
        StreamSink sink(out, "rows");
        EXPECT_THROW(rowsThrough(sink, rows, 2, row), std::runtime_error) << failing;
    }
    for (const size_t room : {size_t{0}, BlockWriter::kBlockSize + 100}) {
        FullSink sink(room);
        EXPECT_THROW(rowsThrough(sink, rows, 2, numberedRow), OutputError) << room;
    }
}

}  // namespace
}  // namespace xoprex
