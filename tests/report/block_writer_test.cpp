// The block writer hands the stream exactly the lines it was given, in
// order, whether the text fits one block or spans several, written on the
// calling thread or behind it on a second one.
#include "report/block_writer.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace xoprex {
namespace {

std::string numberedLines(size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        text += "line " + std::to_string(i) + ",with some text after it\n";
    }
    return text;
}

void writeThrough(const std::string& text, std::ostream& out, bool writeBehind) {
    BlockWriter writer(out, writeBehind);
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start) + 1;
        writer.text().append(text, start, end - start);
        writer.lineDone();
        start = end;
    }
}

TEST(BlockWriter, StreamReceivesEveryLineInOrder) {
    for (const size_t lines : {size_t{0}, size_t{3}, size_t{40000}, size_t{300000}}) {
        const std::string text = numberedLines(lines);
        for (const bool writeBehind : {false, true}) {
            std::ostringstream out;
            writeThrough(text, out, writeBehind);
            ASSERT_EQ(out.str(), text) << lines << " lines, write behind " << writeBehind;
        }
    }
    // The largest case spans several blocks, so the second thread took part.
    EXPECT_GT(numberedLines(300000).size(), 4 * BlockWriter::kBlockSize);
}

TEST(BlockWriter, FinishingTwiceWritesNothingMore) {
    std::ostringstream out;
    BlockWriter writer(out, true);
    writer.text() += "one\n";
    writer.lineDone();
    writer.finish();
    EXPECT_EQ(out.str(), "one\n");
    writer.finish();
    EXPECT_EQ(out.str(), "one\n");
}

}  // namespace
}  // namespace xoprex
