// Reading record by record gives the records of a whole-input parse, for
// random multi-record files whose records straddle the reader's pieces
// (around a megabyte), with and without a final line end, gzip-compressed
// or not; a bad record stops the reading with the whole parse's error after
// the records before it.
#include "seqio/record_reader.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "seqio_test_support.h"

namespace xoprex::seqio_test {
namespace {

using RecordReaderTest = TempFolderTest;

constexpr size_t kMegabyte = size_t{1} << 20;

// Record lengths around the reader's piece sizes, and small ones between.
size_t randomLength(std::mt19937& random) {
    const size_t near[] = {kMegabyte, 2 * kMegabyte};
    switch (random() % 4) {
        case 0:
            return near[random() % 2] - 200 + random() % 400;
        case 1:
            return 1 + random() % 80;
        default:
            return 1 + random() % 200'000;
    }
}

std::string randomBases(std::mt19937& random, size_t length) {
    static const char kLetters[] = "ACGTacgtN";
    std::string bases(length, 'A');
    for (char& c : bases) {
        c = kLetters[random() % 9];
    }
    return bases;
}

// FASTA text of `records` records (of `length` bases, or random lengths) in lines of a random
// width, LF or CRLF, blank lines here and there; the last line ends or not.
std::string randomFasta(std::mt19937& random, size_t records, bool finalLineEnd,
                        size_t length = 0) {
    const std::string end = random() % 3 == 0 ? "\r\n" : "\n";
    const size_t width = 50 + random() % 40;
    std::string text;
    for (size_t r = 0; r < records; ++r) {
        text += ">rec" + std::to_string(r) + " random record " + std::to_string(random()) + end;
        const std::string bases = randomBases(random, length > 0 ? length : randomLength(random));
        for (size_t at = 0; at < bases.size(); at += width) {
            text += bases.substr(at, width) + end;
        }
        if (random() % 5 == 0) {
            text += end;
        }
    }
    if (!finalLineEnd) {
        text.resize(text.size() - end.size());
    }
    return text;
}

// GenBank text of `records` records (of `length` bases, or random lengths)
// with a few CDS features each.
std::string randomGenBank(std::mt19937& random, size_t records, bool finalLineEnd,
                          size_t length = 0) {
    std::string text;
    for (size_t r = 0; r < records; ++r) {
        const std::string bases = randomBases(random, length > 0 ? length : randomLength(random));
        const std::string id = "REC" + std::to_string(r);
        text += "LOCUS       " + id + "   " + std::to_string(bases.size()) +
                " bp    DNA     linear   BCT 01-JAN-2000\n"
                "DEFINITION  Random record " +
                std::to_string(r) +
                ".\n"
                "VERSION     " +
                id +
                ".1\n"
                "FEATURES             Location/Qualifiers\n";
        for (int gene = 0, genes = static_cast<int>(random() % 4); gene < genes; ++gene) {
            const size_t from = 1 + random() % bases.size();
            const size_t to = from + random() % 900;
            const std::string span = std::to_string(from) + ".." + std::to_string(to);
            text += "     CDS             " + (random() % 2 ? "complement(" + span + ")" : span) +
                    "\n                     /locus_tag=\"" + id + "_" + std::to_string(gene) +
                    "\"\n                     /product=\"protein " + std::to_string(gene) + "\"\n";
        }
        text += "ORIGIN\n";
        for (size_t at = 0; at < bases.size(); at += 60) {
            std::string line = std::to_string(at + 1);
            line.insert(0, 9 - line.size(), ' ');
            for (size_t group = at; group < std::min(at + 60, bases.size()); group += 10) {
                line += ' ' + bases.substr(group, 10);
            }
            text += line + "\n";
        }
        text += "//\n";
    }
    if (!finalLineEnd) {
        text.pop_back();
    }
    return text;
}

void expectSameRecords(const std::vector<SequenceRecord>& read,
                       const std::vector<SequenceRecord>& whole) {
    ASSERT_EQ(read.size(), whole.size());
    for (size_t i = 0; i < read.size(); ++i) {
        SCOPED_TRACE("record " + std::to_string(i));
        EXPECT_EQ(read[i].format, whole[i].format);
        EXPECT_EQ(read[i].description, whole[i].description);
        EXPECT_EQ(read[i].name, whole[i].name);
        EXPECT_TRUE(read[i].sequence == whole[i].sequence);
        ASSERT_EQ(read[i].genes.size(), whole[i].genes.size());
        for (size_t g = 0; g < read[i].genes.size(); ++g) {
            const GeneRecord& a = read[i].genes[g];
            const GeneRecord& b = whole[i].genes[g];
            EXPECT_TRUE(a.begin == b.begin && a.end == b.end && a.sense == b.sense &&
                        a.locus == b.locus && a.gene == b.gene && a.product == b.product);
        }
    }
}

// Every record the reader hands out, and the error that stopped it (if any).
std::vector<SequenceRecord> readEach(const std::string& path, const InputRules& rules,
                                     std::vector<std::string>* error = nullptr) {
    std::vector<SequenceRecord> records;
    try {
        RecordReader reader(path, rules);
        SequenceRecord record;
        while (reader.next(record)) {
            records.push_back(std::move(record));
            if (!reader.more()) {
                EXPECT_FALSE(reader.next(record));
                break;
            }
        }
    } catch (const InputError& e) {
        EXPECT_NE(error, nullptr) << e.what();
        if (error != nullptr) {
            *error = e.lines();
        }
    }
    return records;
}

// The command line's rules: wide names, every GenBank record.
InputRules wideRules() {
    InputRules rules;
    rules.names = NameRule::Wide;
    rules.allGenBankRecords = true;
    return rules;
}

// The records of the whole parse of `text`.
std::vector<SequenceRecord> wholeParse(const std::string& text, bool genBank) {
    SequenceSet whole;
    std::istringstream in(text);
    if (genBank) {
        readGenBankStream(in, whole, true);
    } else {
        readFastaStream(in, "t.fa", whole);
    }
    return std::move(whole.records);
}

TEST_F(RecordReaderTest, RandomFilesReadAsTheWholeParseDoes) {
    std::mt19937 random(20261208);
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const bool genBank = round % 2 == 1;
        const bool lineEnd = round % 3 != 0;
        const size_t records = 2 + random() % 6;
        const std::string text = genBank ? randomGenBank(random, records, lineEnd)
                                         : randomFasta(random, records, lineEnd);
        const std::vector<SequenceRecord> whole = wholeParse(text, genBank);
        InputRules rules = wideRules();
        const std::string name = genBank ? "t.gbk" : "t.fa";
        expectSameRecords(readEach(writeFile(name, text), rules), whole);
        expectSameRecords(readEach(writeFile(name + ".gz", gzipped(text)), rules), whole);
        if (genBank) {
            rules.allGenBankRecords = false;
            const std::vector<SequenceRecord> first = readEach(writeFile(name, text), rules);
            ASSERT_EQ(first.size(), 1u);
            expectSameRecords(first, {whole.front()});
        }
    }
}

// A first record whose text is `length` bytes (padded in its header or
// definition), then two more.
std::string firstRecordOf(size_t length, bool genBank) {
    std::mt19937 random(static_cast<unsigned>(length));
    const auto make = [&](size_t pad) {
        std::mt19937 same = random;
        const size_t bases = 1'500'000;
        const std::string text =
            genBank ? randomGenBank(same, 1, true, bases) : randomFasta(same, 1, true, bases);
        const size_t at = text.find(genBank ? "DEFINITION  " : " ");
        return text.substr(0, at + 12) + std::string(pad, 'x') + text.substr(at + 12);
    };
    const std::string unpadded = make(0);
    const std::string text = make(length - unpadded.size());
    std::mt19937 rest(1);
    const std::string more = genBank ? randomGenBank(rest, 2, true) : randomFasta(rest, 2, true);
    return text + more;
}

TEST_F(RecordReaderTest, TheNextRecordMayStartAnywhereAroundTheFirstPiece) {
    // Files above two megabytes are read first in a piece of two.
    for (const bool genBank : {false, true}) {
        for (size_t length = 2 * kMegabyte - 4; length <= 2 * kMegabyte + 2; ++length) {
            SCOPED_TRACE(std::to_string(length) + (genBank ? " GenBank" : " FASTA"));
            const std::string text = firstRecordOf(length, genBank);
            ASSERT_EQ(text.compare(length, 5, genBank ? "LOCUS" : ">rec0"), 0);
            expectSameRecords(readEach(writeFile(genBank ? "t.gbk" : "t.fa", text), wideRules()),
                              wholeParse(text, genBank));
        }
    }
}

TEST_F(RecordReaderTest, AnEmptyRecordStopsTheReadingAfterTheRecordsBeforeIt) {
    std::mt19937 random(7);
    std::string text = randomFasta(random, 3, true);
    text += ">empty\n\n";
    text += randomFasta(random, 1, true);
    const std::string path = writeFile("t.fa", text);
    std::vector<std::string> wholeError;
    try {
        fastaFromText(text, path);
    } catch (const InputError& e) {
        wholeError = e.lines();
    }
    ASSERT_FALSE(wholeError.empty());
    std::vector<std::string> error;
    EXPECT_EQ(readEach(path, wideRules(), &error).size(), 3u);
    EXPECT_EQ(error, wholeError);
}

}  // namespace
}  // namespace xoprex::seqio_test
