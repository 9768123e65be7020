// What the command line reads beside the desktop program's rules: the wide
// name rule, standard input, record names and every record of a GenBank
// file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/file_names.h"
#include "input_files.h"
#include "seqio/sequence.h"
#include "seqio_test_support.h"

namespace xoprex::seqio_test {
namespace {

using WideInputTest = TempFolderTest;
using testing::gzipFile;
using testing::StandardInputFrom;

const InputRules kWide{NameRule::Wide, false};
const InputRules kWideAll{NameRule::Wide, true};

const std::string kFasta = ">s1 first record\nacgt\n>s2\tsecond\nGGCC\n";
const std::string kGenBank =
    "LOCUS       TEST                      12 bp    DNA     linear   BCT 01-JAN-2000\n"
    "DEFINITION  Test record.\n"
    "VERSION     TEST.2\n"
    "ORIGIN      \n"
    "        1 acgtacgtac gt\n"
    "//\n";

TEST(WideRule, ExtensionsAndTitles) {
    struct Case {
        const char* path;
        const char* extension;
        const char* base;
        const char* title;
    };
    for (const Case& c : std::vector<Case>{
             {"genome.fna.gz", "fna", "genome", "genome"},
             {"dir/G.FASTA.GZ", "fasta", "dir/G", "G"},
             {"a.b.gbff", "gbff", "a.b", "a.b"},
             {"my.data/genome", "", "my.data/genome", "genome"},
             {"genome.gz", "", "genome", "genome"},
             {"-", "", "stdin", "stdin"},
         }) {
        std::string base;
        EXPECT_EQ(wideExtension(c.path, &base), c.extension) << c.path;
        EXPECT_EQ(base, c.base) << c.path;
        EXPECT_EQ(inputTitle(c.path, NameRule::Wide), c.title) << c.path;
    }
    EXPECT_EQ(inputTitle("genome.fna.gz", NameRule::Strict), "genome.fna");
    for (const char* fasta : {"fa", "fasta", "fna", "fas", "ffn"}) {
        EXPECT_EQ(sequenceFormatOf(fasta, NameRule::Wide), SequenceFormat::Fasta);
    }
    for (const char* genBank : {"gbk", "gb", "gbff", "genbank"}) {
        EXPECT_EQ(sequenceFormatOf(genBank, NameRule::Wide), SequenceFormat::GenBank);
    }
    for (const char* other : {"", "txt", "gbf", "FA", "fastq"}) {
        EXPECT_EQ(sequenceFormatOf(other, NameRule::Wide), SequenceFormat::Unknown);
    }
}

// Under the wide rule every field name, compressed or not, reads the same
// records as the strict rule's name for the same text.
TEST_F(WideInputTest, FieldNamesReadLikeTheStrictNames) {
    const SequenceSet fasta = readSequences(writeFile("ref.fas", kFasta));
    const SequenceSet genBank = readSequences(writeFile("ref.gbk", kGenBank));
    for (const std::string name : {"g.fa", "g.FASTA", "g.fna", "g.Fas", "g.ffn"}) {
        for (const std::string& path :
             {writeFile(name, kFasta), gzipFile(writeFile(name, kFasta))}) {
            const SequenceSet set = readSequences(path, kWide);
            ASSERT_EQ(set.records.size(), 2u) << path;
            EXPECT_EQ(set.records[1].sequence, fasta.records[1].sequence) << path;
            EXPECT_EQ(set.baseName, (folder() / "g").string()) << path;
        }
    }
    for (const std::string name : {"g.gbk", "g.GB", "g.gbff", "g.genbank"}) {
        const std::string path = gzipFile(writeFile(name, kGenBank));
        const SequenceSet set = readSequences(path, kWide);
        ASSERT_EQ(set.records.size(), 1u) << path;
        EXPECT_EQ(set.records[0].sequence, genBank.records[0].sequence) << path;
    }
    const std::string unknown = writeFile("g.fastq", kFasta);
    expectFatal([&] { readSequences(unknown, kWide); },
                {"Incorrect sequence file extension.", "Type Oprex /? for help."});
}

TEST_F(WideInputTest, StandardInputIsReadByItsContent) {
    for (const std::string& text : {"\n\n" + kFasta, kGenBank}) {
        for (const std::string& path :
             {writeFile("in.txt", text), gzipFile(writeFile("in.txt", text))}) {
            StandardInputFrom input(path);
            const SequenceSet set = readSequences("-", kWide);
            EXPECT_EQ(set.records[0].format, text == kGenBank ? 'G' : 'F');
            EXPECT_EQ(set.baseName, "stdin");
        }
    }
    StandardInputFrom input(writeFile("neither.txt", "ACGT\n>s\nACGT\n"));
    expectFatal([] { readSequences("-", kWide); },
                {"Incorrect sequence input: standard input is neither FASTA (first character "
                 "'>') nor GenBank (first line LOCUS)"});
    // The strict rule has no standard input.
    expectFatal([] { readSequences("-"); },
                {"Incorrect sequence file extension.", "Type Oprex /? for help."});
}

TEST(RecordNames, FastaHeaderUpToTheFirstBlankOrTab) {
    const SequenceSet set =
        fastaFromText(">id1 some text\nA\n>id2\tx y\nA\n>id3\nA\n> lead\nA\n>\nA\n");
    std::vector<std::string> names;
    for (const SequenceRecord& record : set.records) {
        names.push_back(record.name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"id1", "id2", "id3", "", ""}));
}

TEST(RecordNames, GenBankVersionElseLocus) {
    EXPECT_EQ(genBankFromText(kGenBank).records[0].name, "TEST.2");
    std::string noVersion = kGenBank;
    noVersion.replace(noVersion.find("VERSION"), 19, "VERSION\n");
    EXPECT_EQ(genBankFromText(noVersion).records[0].name, "TEST");
    noVersion.erase(noVersion.find("VERSION"), 8);
    EXPECT_EQ(genBankFromText(noVersion).records[0].name, "TEST");
    SequenceSet real = readSequences(std::string(XOPREX_EXAMPLES) + "/pPCP1.gbk");
    EXPECT_EQ(real.records[0].name, "NC_005816.1");
}

// A GenBank record with one CDS at [begin, end], named `locus`, 12 bases.
std::string smallRecord(const std::string& locus, int begin, int end, const std::string& bases) {
    return "LOCUS       " + locus +
           "                      12 bp    DNA     linear   BCT 01-JAN-2000\n"
           "DEFINITION  Record " +
           locus +
           ".\n"
           "FEATURES             Location/Qualifiers\n"
           "     CDS             " +
           std::to_string(begin) + ".." + std::to_string(end) +
           "\n"
           "                     /locus_tag=\"" +
           locus +
           "_1\"\n"
           "ORIGIN\n"
           "        1 " +
           bases + "\n//\n";
}

TEST(AllGenBankRecords, EachRecordKeepsItsOwnFields) {
    std::string text = smallRecord("R1", 1, 5, "acgtacgtac gt");
    text += '\n';  // a blank line between records
    text += smallRecord("R2", 2, 9, "ggggcccc aaaa");
    text += smallRecord("R3", 3, 12, "tttt");
    SequenceSet all;
    std::istringstream in(text);
    readGenBankStream(in, all, true);
    ASSERT_EQ(all.records.size(), 3u);
    const std::vector<std::string> sequences = {"ACGTACGTACGT", "GGGGCCCCAAAA", "TTTT"};
    for (size_t i = 0; i < 3; ++i) {
        const SequenceRecord& r = all.records[i];
        const std::string locus = std::vector<std::string>{"R1", "R2", "R3"}[i];
        EXPECT_EQ(r.name, locus);
        EXPECT_EQ(r.description, "Record " + locus + ".");
        EXPECT_EQ(r.sequence, sequences[i]);
        ASSERT_EQ(r.genes.size(), 1u);
        EXPECT_EQ(r.genes[0].locus, locus + "_1");
        EXPECT_EQ(r.genes[0].begin, static_cast<int32_t>(i + 1));  // not shifted
    }
    // By default only the first, as before.
    const SequenceSet first = genBankFromText(text);
    ASSERT_EQ(first.records.size(), 1u);
    EXPECT_EQ(first.records[0].sequence, sequences[0]);
}

TEST(AllGenBankRecords, RecordEndsWithoutTerminatorOrSequence) {
    // A record whose "//" line is missing ends at the next LOCUS line.
    std::string unterminated = smallRecord("R1", 1, 5, "acgt");
    unterminated.resize(unterminated.size() - 3);
    SequenceSet set;
    std::istringstream in(unterminated + smallRecord("R2", 2, 9, "gg"));
    readGenBankStream(in, set, true);
    ASSERT_EQ(set.records.size(), 2u);
    EXPECT_EQ(set.records[0].sequence, "ACGT");
    EXPECT_EQ(set.records[1].sequence, "GG");
    // A record without ORIGIN has no sequence of its own.
    std::string noOrigin = smallRecord("R1", 1, 5, "acgt");
    noOrigin.erase(noOrigin.find("ORIGIN"), noOrigin.find("//") - noOrigin.find("ORIGIN"));
    expectFatal(
        [&] {
            SequenceSet s;
            std::istringstream two(noOrigin + smallRecord("R2", 2, 9, "gg"));
            readGenBankStream(two, s, true);
        },
        {"No sequence read. Please check GenBank file!"});
}

TEST_F(WideInputTest, EveryRecordOfARealFileTwice) {
    const std::string one = readText(std::string(XOPREX_EXAMPLES) + "/pPCP1.gbk");
    const SequenceSet single = readSequences(writeFile("one.gbk", one));
    const std::string twice = writeFile("two.gbk", one + one);
    const SequenceSet both = readSequences(twice, kWideAll);
    ASSERT_EQ(both.records.size(), 2u);
    for (const SequenceRecord& r : both.records) {
        const SequenceRecord& s = single.records[0];
        EXPECT_EQ(r.sequence, s.sequence);
        EXPECT_EQ(r.description, s.description);
        EXPECT_EQ(r.name, s.name);
        ASSERT_EQ(r.genes.size(), s.genes.size());
        for (size_t g = 0; g < s.genes.size(); ++g) {
            EXPECT_EQ(r.genes[g].begin, s.genes[g].begin);
            EXPECT_EQ(r.genes[g].end, s.genes[g].end);
            EXPECT_EQ(r.genes[g].locus, s.genes[g].locus);
        }
    }
    EXPECT_EQ(readSequences(twice, kWide).records.size(), 1u);
}

}  // namespace
}  // namespace xoprex::seqio_test
