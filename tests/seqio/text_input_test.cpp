// The bulk input helpers of the readers: line splitting, upper-casing and
// whole-stream reads through the small and the large (mapped) buffers.
#include "seqio/text_input.h"

#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace xoprex::seqio_detail {
namespace {

std::vector<std::pair<std::string, bool>> lines(std::string text) {
    std::vector<std::pair<std::string, bool>> out;
    LineCursor cursor(text.data(), text.data() + text.size());
    Line line;
    while (cursor.next(line)) {
        out.emplace_back(std::string(line.begin, line.length()), line.terminated);
    }
    return out;
}

TEST(LineCursor, LineEndsAndTheLastLine) {
    using L = std::vector<std::pair<std::string, bool>>;
    EXPECT_EQ(lines(""), L{});
    EXPECT_EQ(lines("\n"), (L{{"", true}}));
    EXPECT_EQ(lines("a\nb"), (L{{"a", true}, {"b", false}}));
    EXPECT_EQ(lines("a\r\nb\r\n"), (L{{"a", true}, {"b", true}}));
    EXPECT_EQ(lines("a\r\r\n\rb\r"), (L{{"a\r", true}, {"\rb\r", false}}));
    EXPECT_EQ(lines("\r\n\n"), (L{{"", true}, {"", true}}));
}

TEST(UpperCase, InPlaceMatchesTheTableForEveryByte) {
    std::string all;
    for (int round = 0; round < 3; ++round) {  // long enough for vector code
        for (int c = 0; c < 256; ++c) {
            all += static_cast<char>(c);
        }
    }
    std::string upper = all;
    upperInPlace(upper.data(), upper.size());
    for (size_t i = 0; i < all.size(); ++i) {
        const auto c = static_cast<unsigned char>(all[i]);
        ASSERT_EQ(static_cast<unsigned char>(upper[i]), kUpperTable[c]) << "byte " << int(c);
        const unsigned char expected = (c >= 'a' && c <= 'z') ? c - 32 : c;
        ASSERT_EQ(kUpperTable[c], expected);
    }
}

// The letters of a record's lines, moved in place 64 bytes at a time, are
// those of the line-by-line reading, and both stop at the same header: line
// ends LF and CR LF, carriage returns elsewhere, '>' inside lines and at
// their starts, blank lines, lower case and any byte, around block edges.
TEST(CompactFastaLines, BlocksAndLinesAgree) {
    std::mt19937_64 random(64);
    const std::string pieces[] = {
        "ACGT", "acgt", "\n", "\r\n", "\r", ">", "\n>x\n", "N-*", std::string(1, '\0'), "\xff\x80"};
    for (int trial = 0; trial < 3000; ++trial) {
        std::string text;
        const size_t parts = random() % 60;
        for (size_t k = 0; k < parts; ++k) {
            text += random() % 3 == 0 ? pieces[random() % std::size(pieces)]
                                      : std::string(1 + random() % 70, "ACGTN"[random() % 5]);
        }
        std::string lines = text, blocks = text;
        const size_t from = text.empty() ? 0 : random() % (text.size() + 1);
        const size_t to = from == 0 ? 0 : random() % (from + 1);
        const Compacted byLine = compactFastaLines(lines.data() + from, lines.data() + text.size(),
                                                   lines.data() + to, InstructionSet::Scalar);
        const Compacted byBlock = compactFastaLines(
            blocks.data() + from, blocks.data() + text.size(), blocks.data() + to);
        ASSERT_EQ(byBlock.stop - blocks.data(), byLine.stop - lines.data()) << trial;
        ASSERT_EQ(byBlock.length, byLine.length) << trial;
        ASSERT_EQ(blocks.substr(to, byBlock.length), lines.substr(to, byLine.length)) << trial;
    }
}

TEST(WholeStream, SmallAndLargeInputsAreReadWhole) {
    for (size_t size :
         {size_t{0}, size_t{1}, size_t{65535}, size_t{65536}, size_t{65537}, size_t{9} << 20}) {
        std::string text(size, 'x');
        for (size_t i = 0; i < size; i += 997) {
            text[i] = static_cast<char>('a' + i % 26);
        }
        std::istringstream in(text);
        TextBuffer buffer = readWholeStream(in);
        ASSERT_EQ(buffer.size, size);
        EXPECT_EQ(std::string(buffer.data, buffer.size), text);
    }
}

TEST(WholeStream, FrontOfALargeBufferBecomesAText) {
    // The adopted text keeps its bytes, and room behind them for a wrap,
    // after the rest of the storage is handed back.
    std::string text(size_t{9} << 20, 'x');
    for (size_t i = 0; i < text.size(); i += 991) {
        text[i] = static_cast<char>('a' + i % 26);
    }
    std::istringstream in(text);
    TextBuffer buffer = readWholeStream(in);
    const size_t kept = size_t{6} << 20;
    std::string adopted = adoptFront(buffer, kept);
    EXPECT_EQ(buffer.data, nullptr);
    ASSERT_EQ(adopted.size(), kept);
    EXPECT_TRUE(adopted == text.substr(0, kept));
    adopted.append(adopted, 0, 3000);
    EXPECT_EQ(adopted.substr(kept), text.substr(0, 3000));
}

}  // namespace
}  // namespace xoprex::seqio_detail
