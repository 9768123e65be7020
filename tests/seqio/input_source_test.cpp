// The input byte source: gzip data made by the gzip program reads back as
// the plain bytes in any piece size and member layout, and every fault of
// the compressed data is an input error naming the file.
#include "seqio/input_source.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "seqio_test_support.h"

namespace xoprex::seqio_test {
namespace {

using GzipInputTest = TempFolderTest;

// A text of lines of random bases, `size` bytes long.
std::string genomeText(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string text;
    text.reserve(size);
    while (text.size() < size) {
        text += "ACGT"[random() % 4];
        if (text.size() % 61 == 60) {
            text += '\n';
        }
    }
    return text;
}

std::string readInPieces(InputSource& source, size_t piece) {
    std::string text;
    std::vector<char> buffer(piece);
    for (size_t got; (got = source.read(buffer.data(), piece)) > 0;) {
        text.append(buffer.data(), got);
    }
    return text;
}

// The one message line of the input error that reading the file raises.
std::string errorOf(const std::string& path) {
    try {
        InputSource::open(path)->readAll();
    } catch (const InputError& error) {
        EXPECT_EQ(error.kind(), InputProblem::Format);
        EXPECT_EQ(error.path(), path);
        return error.lines().empty() ? "" : error.lines()[0];
    }
    return "no error";
}

TEST_F(GzipInputTest, ReadsThePlainBytesInEveryPieceSize) {
    // Longer than the compressed chunk, so that it is refilled.
    const std::string text = genomeText(700 * 1000, 1);
    const std::string path = writeFile("genome.fna.gz", gzipped(text));
    for (size_t piece : {size_t{1}, size_t{4093}, size_t{1} << 20}) {
        const auto source = InputSource::open(path);
        ASSERT_NE(source, nullptr);
        EXPECT_TRUE(source->compressed());
        EXPECT_EQ(source->sizeHint(), text.size());
        EXPECT_EQ(readInPieces(*source, piece), text) << "pieces of " << piece;
    }
    std::istringstream stream(gzipped(text));
    EXPECT_EQ(InputSource::fromStream(stream.rdbuf(), "s")->readAll(), text);
}

TEST_F(GzipInputTest, PlainBytesPassUnchanged) {
    for (const std::string& text : {std::string(), std::string("\x1f"), std::string("\x1f\x8c"),
                                   std::string(">s\nACGT\n"), genomeText(100000, 2)}) {
        const auto source = InputSource::open(writeFile("plain.fas", text));
        EXPECT_FALSE(source->compressed());
        EXPECT_EQ(source->sizeHint(), text.size());
        EXPECT_EQ(readInPieces(*source, 777), text);
    }
    EXPECT_EQ(InputSource::open((folder() / "absent.fas").string()), nullptr);
    EXPECT_EQ(InputSource::open(folder().string()), nullptr);
}

// Concatenated files and bgzip-like blocks (one of them empty) read as one
// text; zero bytes after the last member are padding.
TEST_F(GzipInputTest, EveryMemberIsRead) {
    const std::string text = genomeText(300 * 1000, 3);
    std::string members;
    std::vector<size_t> cuts = {0, 1, 5000, 5000, 150000, text.size()};
    for (size_t i = 0; i + 1 < cuts.size(); ++i) {
        members += gzipped(text.substr(cuts[i], cuts[i + 1] - cuts[i]));
    }
    EXPECT_EQ(InputSource::open(writeFile("m.gz", members))->readAll(), text);
    EXPECT_EQ(InputSource::open(writeFile("p.gz", members + std::string(1000, '\0')))->readAll(),
              text);
}

TEST_F(GzipInputTest, FaultsAreInputErrorsNamingTheFile) {
    const std::string text = genomeText(20000, 4);
    const std::string good = gzipped(text);
    // Every cut short of the end, in the header, the data or the trailer.
    for (size_t length = 2; length < good.size(); length += (length < 40 ? 1 : 97)) {
        const std::string path = writeFile("cut.gz", good.substr(0, length));
        ASSERT_EQ(errorOf(path), "truncated gzip file: " + path) << length;
    }
    const std::string twoMembers = writeFile("cut2.gz", good + good.substr(0, good.size() - 8));
    EXPECT_EQ(errorOf(twoMembers), "truncated gzip file: " + twoMembers);

    std::string badCrc = good;
    badCrc[badCrc.size() - 8] ^= 0x01;
    const std::string crcPath = writeFile("crc.gz", badCrc);
    EXPECT_EQ(errorOf(crcPath), "gzip data error (CRC): " + crcPath);

    std::string badData = good;
    for (size_t i = 20; i < 60; ++i) {
        badData[i] = static_cast<char>(0xff);
    }
    const std::string dataPath = writeFile("data.gz", badData);
    EXPECT_EQ(errorOf(dataPath).rfind("gzip data error (", 0), 0u) << errorOf(dataPath);

    const std::string trailing = writeFile("trail.gz", good + "\nmore text");
    EXPECT_EQ(errorOf(trailing), "unexpected data after the gzip data: " + trailing);
    const std::string afterPadding = writeFile("pad.gz", good + std::string(10, '\0') + "x");
    EXPECT_EQ(errorOf(afterPadding), "unexpected data after the gzip data: " + afterPadding);
}

// The readers take a gzip file whatever its name, so the desktop program
// and the command line see the same records.
TEST_F(GzipInputTest, ReadersDecompress) {
    const std::string fasta = ">a first\nacgt\nAC\n>b\nGGTT\n";
    const SequenceSet plain = readSequences(writeFile("x.fas", fasta));
    const SequenceSet packed = readSequences(writeFile("y.fas", gzipped(fasta)));
    ASSERT_EQ(packed.records.size(), plain.records.size());
    for (size_t i = 0; i < plain.records.size(); ++i) {
        EXPECT_EQ(packed.records[i].sequence, plain.records[i].sequence);
        EXPECT_EQ(packed.records[i].description, plain.records[i].description);
    }
    EXPECT_EQ(fastaFromText(gzipped(fasta)).records.size(), 2u);
}

}  // namespace
}  // namespace xoprex::seqio_test
