// The FASTA reader, through the stream and the file functions.
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "seqio/sequence.h"
#include "seqio_test_support.h"

namespace xoprex::seqio_test {
namespace {

using FastaTest = TempFolderTest;

const std::string kNoSequence = "No sequence read. Please check FASTA file!";

TEST_F(FastaTest, OneRecordFillsTheReaderFields) {
    SequenceSet set = fastaFromText(">seq1 first\nACGT\nTTGG\n");
    ASSERT_EQ(set.records.size(), 1u);
    const SequenceRecord& r = set.records[0];
    EXPECT_EQ(r.format, 'F');
    EXPECT_EQ(r.description, "seq1 first");
    EXPECT_EQ(r.sequence, "ACGTTTGG");
    EXPECT_TRUE(r.genes.empty());
    EXPECT_EQ(r.backgroundEntropy, 2.0);
    for (double f : r.backgroundFrequencies) {
        EXPECT_EQ(f, 0.25);
    }
}

TEST_F(FastaTest, TwoRecordsSecondHeaderRightAfterSequence) {
    SequenceSet set = fastaFromText(">one\nAAAA\nCC\n>two\nGGG\n");
    ASSERT_EQ(set.records.size(), 2u);
    EXPECT_EQ(set.records[0].description, "one");
    EXPECT_EQ(set.records[0].sequence, "AAAACC");
    EXPECT_EQ(set.records[1].description, "two");
    EXPECT_EQ(set.records[1].sequence, "GGG");
}

TEST_F(FastaTest, LowerCaseRaisedAndSpaceKept) {
    SequenceSet set = fastaFromText(">s\nacgt\nAC GT\n");
    ASSERT_EQ(set.records.size(), 1u);
    EXPECT_EQ(set.records[0].sequence, "ACGTAC GT");
}

TEST_F(FastaTest, OnlyLettersAToZAreUpperCased) {
    std::string line = "az{}`@-*0189nN";
    line += '\xe9';  // 8-bit characters stay as they are
    line += '\xff';
    SequenceSet set = fastaFromText(">s\n" + line + "\n");
    std::string expected = "AZ{}`@-*0189NN";
    expected += '\xe9';
    expected += '\xff';
    EXPECT_EQ(set.records[0].sequence, expected);
}

TEST_F(FastaTest, LastLineWithoutLineEndIsKept) {
    SequenceSet set = fastaFromText(">s\nACGT\nTT");
    EXPECT_EQ(set.records[0].sequence, "ACGTTT");
}

TEST_F(FastaTest, CrLfAndLfReadAlike) {
    SequenceSet lf = fastaFromText(">a b\nacgt\n\nTTGG\n>c\nGG\n");
    SequenceSet crlf = fastaFromText(">a b\r\nacgt\r\n\r\nTTGG\r\n>c\r\nGG\r\n");
    ASSERT_EQ(crlf.records.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(crlf.records[i].description, lf.records[i].description);
        EXPECT_EQ(crlf.records[i].sequence, lf.records[i].sequence);
    }
    EXPECT_EQ(crlf.records[0].description, "a b");
    EXPECT_EQ(crlf.records[0].sequence, "ACGTTTGG");
}

TEST_F(FastaTest, CarriageReturnNotBeforeALineFeedStaysInTheLine) {
    SequenceSet set = fastaFromText(">s\nAC\rGT\r\nA\r");
    EXPECT_EQ(set.records[0].sequence, "AC\rGTA\r");
}

TEST_F(FastaTest, BlankLinesAddNothing) {
    SequenceSet set = fastaFromText(">s\n\nAC\n\n\nGT\n\n");
    EXPECT_EQ(set.records[0].sequence, "ACGT");
}

TEST_F(FastaTest, TextBeforeTheFirstHeaderIsIgnored) {
    SequenceSet set = fastaFromText("; a comment\n\nACGT before\n  >not a header\n>s\nGG\n");
    ASSERT_EQ(set.records.size(), 1u);
    EXPECT_EQ(set.records[0].description, "s");
    EXPECT_EQ(set.records[0].sequence, "GG");
}

TEST_F(FastaTest, LongHeaderIsCutTo1024Characters) {
    const std::string header(2000, 'h');
    SequenceSet set = fastaFromText(">" + header + "\nACGT\n");
    EXPECT_EQ(set.records[0].description, std::string(1024, 'h'));
    EXPECT_EQ(set.records[0].sequence, "ACGT");
}

TEST_F(FastaTest, HeaderOf1025CharactersIncludingTheMarkKeepsAll1024) {
    const std::string header(1024, 'x');
    SequenceSet set = fastaFromText(">" + header + "\r\nA\r\n");
    EXPECT_EQ(set.records[0].description, header);
}

TEST_F(FastaTest, EmptyHeaderGivesEmptyDescription) {
    SequenceSet set = fastaFromText(">\nA\n");
    EXPECT_EQ(set.records[0].description, "");
    EXPECT_EQ(set.records[0].sequence, "A");
}

TEST_F(FastaTest, HeaderOnlyWithoutLineEndIsNotAFastaFile) {
    expectFatal([] { fastaFromText(">only", "dir/x.fas"); }, {"Incorrect FASTA file: dir/x.fas"});
}

TEST_F(FastaTest, HeaderOnlyWithLineEndHasNoSequence) {
    expectFatal([] { fastaFromText(">only\n"); }, {kNoSequence});
    expectFatal([] { fastaFromText(">only\r\n"); }, {kNoSequence});
}

TEST_F(FastaTest, NoHeaderAtAll) {
    expectFatal([] { fastaFromText("ACGT\nACGT\n", "plain.fna"); },
                {"Incorrect FASTA file: plain.fna"});
    expectFatal([] { fastaFromText("", "empty.fas"); }, {"Incorrect FASTA file: empty.fas"});
}

TEST_F(FastaTest, HeaderFollowedByHeaderHasNoSequence) {
    expectFatal([] { fastaFromText(">a\n>b\nACGT\n"); }, {kNoSequence});
}

TEST_F(FastaTest, HeaderOnTheLastLineWithLineEndHasNoSequence) {
    expectFatal([] { fastaFromText(">a\nACGT\n>b\n"); }, {kNoSequence});
}

TEST_F(FastaTest, HeaderOnTheLastLineWithoutLineEndIsIgnored) {
    SequenceSet set = fastaFromText(">a\nACGT\n>b\nGG\n>c");
    ASSERT_EQ(set.records.size(), 2u);
    EXPECT_EQ(set.records[0].sequence, "ACGT");
    EXPECT_EQ(set.records[1].sequence, "GG");
}

TEST_F(FastaTest, LaterEmptyRecordStopsTheRun) {
    expectFatal([] { fastaFromText(">a\nACGT\n>b\n\n\n>c\nGG\n"); }, {kNoSequence});
}

TEST_F(FastaTest, LinesOfOnlyACarriageReturnAreEmpty) {
    SequenceSet set = fastaFromText(">a\r\n\r\nAC\r\n");
    EXPECT_EQ(set.records[0].sequence, "AC");
}

TEST_F(FastaTest, ReadsAreAppendedToTheSet) {
    SequenceSet set;
    std::istringstream first(">a\nA\n");
    std::istringstream second(">b\nC\n>c\nG\n");
    readFastaStream(first, "1.fas", set);
    readFastaStream(second, "2.fas", set);
    ASSERT_EQ(set.records.size(), 3u);
    EXPECT_EQ(set.records[2].sequence, "G");
}

TEST_F(FastaTest, FileFunctionReadsLikeTheStream) {
    const std::string text = "junk\r\n>r1 x\r\nacg\r\nT\r\n>r2\nNNNN\n";
    const std::string path = writeFile("in.fas", text);
    SequenceSet fromFile;
    readFastaFile(path, fromFile);
    SequenceSet fromStream = fastaFromText(text);
    ASSERT_EQ(fromFile.records.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(fromFile.records[i].description, fromStream.records[i].description);
        EXPECT_EQ(fromFile.records[i].sequence, fromStream.records[i].sequence);
    }
}

TEST_F(FastaTest, MissingFileIsAnIncorrectFileName) {
    const std::string path = (folder() / "absent.fas").string();
    expectFatal(
        [&] {
            SequenceSet set;
            readFastaFile(path, set);
        },
        {"Incorrect file name: " + path});
}

TEST_F(FastaTest, FolderIsAnIncorrectFileName) {
    const std::string path = writeFile("sub.fas/keep", "x");
    const std::string folderPath = (folder() / "sub.fas").string();
    expectFatal(
        [&] {
            SequenceSet set;
            readFastaFile(folderPath, set);
        },
        {"Incorrect file name: " + folderPath});
}

// --- A literal line-by-line reading of the FASTA rules, compared with the reader
// on random texts (CR LF, blank lines, odd characters, missing last line end).

struct Outcome {
    std::vector<std::pair<std::string, std::string>> records;
    std::string fatal;
    bool operator==(const Outcome&) const = default;
};

Outcome referenceFasta(const std::string& text, const std::string& path) {
    struct RefLine {
        std::string text;
        bool terminated;
    };
    std::vector<RefLine> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t feed = text.find('\n', pos);
        if (feed == std::string::npos) {
            lines.push_back({text.substr(pos), false});
            break;
        }
        std::string line = text.substr(pos, feed - pos);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back({line, true});
        pos = feed + 1;
    }
    Outcome out;
    size_t i = 0;
    while (i < lines.size() && (lines[i].text.empty() || lines[i].text[0] != '>')) {
        ++i;
    }
    if (i == lines.size() || !lines[i].terminated) {
        out.fatal = "Incorrect FASTA file: " + path;
        return out;
    }
    while (i < lines.size()) {
        std::string description = lines[i].text.substr(1, 1024);
        std::string sequence;
        ++i;
        bool next = false;
        while (i < lines.size()) {
            if (!lines[i].text.empty() && lines[i].text[0] == '>') {
                next = lines[i].terminated;
                if (!next) {
                    ++i;
                }
                break;
            }
            for (char c : lines[i].text) {
                sequence += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
            }
            ++i;
        }
        if (sequence.empty()) {
            out.records.clear();
            out.fatal = kNoSequence;
            return out;
        }
        out.records.emplace_back(description, sequence);
        if (!next) {
            break;
        }
    }
    return out;
}

Outcome readerFasta(const std::string& text, const std::string& path) {
    Outcome out;
    try {
        SequenceSet set = fastaFromText(text, path);
        for (const auto& r : set.records) {
            out.records.emplace_back(r.description, r.sequence);
        }
    } catch (const InputError& error) {
        out.fatal = error.what();
    }
    return out;
}

std::string randomFastaText(std::mt19937& rng) {
    static const std::string alphabet = "acgtACGTnN -*\r>;xyz";
    std::uniform_int_distribution<int> pick(0, 99);
    std::string text;
    const int lineCount = pick(rng) % 12;
    for (int l = 0; l < lineCount; ++l) {
        const int kind = pick(rng);
        if (kind < 25) {
            text += '>';
            const int n = pick(rng) % 5 == 0 ? 1030 + pick(rng) : pick(rng) % 8;
            for (int k = 0; k < n; ++k) {
                text += static_cast<char>('a' + pick(rng) % 26);
            }
        } else if (kind < 35) {
            // blank line
        } else {
            const int n = pick(rng) % 70;
            for (int k = 0; k < n; ++k) {
                text += alphabet[static_cast<size_t>(pick(rng)) % alphabet.size()];
            }
        }
        const int end = pick(rng);
        if (l + 1 == lineCount && end < 30) {
            break;  // last line without a line end
        }
        text += end < 60 ? "\n" : "\r\n";
    }
    return text;
}

TEST_F(FastaTest, RandomTextsMatchALiteralLineByLineReading) {
    std::mt19937 rng(20240611);
    int records = 0;
    for (int round = 0; round < 3000; ++round) {
        const std::string text = randomFastaText(rng);
        const Outcome expected = referenceFasta(text, "r.fas");
        const Outcome got = readerFasta(text, "r.fas");
        ASSERT_EQ(got, expected) << "text: [" << text << "]";
        records += static_cast<int>(got.records.size());
    }
    EXPECT_GT(records, 500);  // the generator reaches the good paths too
}

TEST_F(FastaTest, LargeFileAcrossManyReadChunks) {
    // Several megabytes, many records, CR LF: file and stream agree with the
    // literal reading.
    std::mt19937 rng(7);
    std::string text;
    std::vector<std::pair<std::string, std::string>> expected;
    for (int r = 0; r < 300; ++r) {
        std::string name = "rec" + std::to_string(r);
        text += ">" + name + "\r\n";
        std::string sequence;
        const int lines = 1 + static_cast<int>(rng() % 200);
        for (int l = 0; l < lines; ++l) {
            std::string line;
            for (int k = 0; k < 60; ++k) {
                line += "acgtACGT"[rng() % 8];
            }
            text += line + (r % 2 == 0 ? "\r\n" : "\n");
            for (char c : line) {
                sequence += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
            }
        }
        expected.emplace_back(name, sequence);
    }
    const std::string path = writeFile("big.fna", text);
    SequenceSet fromFile;
    readFastaFile(path, fromFile);
    SequenceSet fromStream = fastaFromText(text);
    ASSERT_EQ(fromFile.records.size(), expected.size());
    ASSERT_EQ(fromStream.records.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(fromFile.records[i].description, expected[i].first);
        EXPECT_EQ(fromFile.records[i].sequence, expected[i].second);
        EXPECT_EQ(fromStream.records[i].sequence, expected[i].second);
    }
}

TEST_F(FastaTest, GenomeSizedRecordsKeepEveryByte) {
    // A file large enough that the reader hands back its input a step at a
    // time while copying: one record on a single line longer than a step,
    // then one of many short lines, lower case mixed in.
    std::mt19937 rng(23);
    const auto letters = [&rng](size_t n) {
        std::string text(n, 'A');
        for (char& c : text) {
            c = "acgtACGTNn"[rng() % 10];
        }
        return text;
    };
    const std::string single = letters(2'600'000);
    std::string text = ">one line\n" + single + "\n>many lines\n";
    std::string many;
    for (int l = 0; l < 50'000; ++l) {
        const std::string line = letters(1 + rng() % 120);
        text += line + "\n";
        many += line;
    }
    const auto upper = [](std::string s) {
        for (char& c : s) {
            c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
        }
        return s;
    };
    SequenceSet set;
    readFastaFile(writeFile("genome.fna", text), set);
    ASSERT_EQ(set.records.size(), 2u);
    EXPECT_EQ(set.records[0].description, "one line");
    EXPECT_TRUE(set.records[0].sequence == upper(single));
    EXPECT_EQ(set.records[1].description, "many lines");
    EXPECT_TRUE(set.records[1].sequence == upper(many));
}

}  // namespace
}  // namespace xoprex::seqio_test
