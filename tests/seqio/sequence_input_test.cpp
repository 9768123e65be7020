// The extension rule and the choice of reader by readSequences.
#include <gtest/gtest.h>

#include <string>

#include "base/file_names.h"
#include "seqio/sequence.h"
#include "seqio_test_support.h"

namespace xoprex::seqio_test {
namespace {

using SequenceInputTest = TempFolderTest;

const std::vector<std::string> kBadExtension = {"Incorrect sequence file extension.",
                                                "Type Oprex /? for help."};

const std::string kFasta = ">s\nacgt\n";
const std::string kGenBank =
    "LOCUS       TEST                      12 bp    DNA     linear   BCT 01-JAN-2000\n"
    "DEFINITION  Test record.\n"
    "ORIGIN      \n"
    "        1 acgtacgtac gt\n"
    "//\n";

TEST(FileExtension, ThreeCharactersAfterTheLastFullStop) {
    std::string base;
    EXPECT_EQ(fileExtension("genome.FNA", &base), "FNA");
    EXPECT_EQ(base, "genome");
    EXPECT_EQ(fileExtension("dir/genome.fasta", &base), "fas");
    EXPECT_EQ(base, "dir/genome");
    EXPECT_EQ(fileExtension("a.b.gb", &base), "gb");
    EXPECT_EQ(base, "a.b");
    EXPECT_EQ(fileExtension("genome.", &base), "");
    EXPECT_EQ(base, "genome");
    EXPECT_EQ(fileExtension("x.gbff"), "gbf");
}

TEST(FileExtension, NoFullStopTakesTheFirstThreeCharacters) {
    std::string base;
    EXPECT_EQ(fileExtension("genome", &base), "gen");
    EXPECT_EQ(base, "genome");
    EXPECT_EQ(fileExtension("ab", &base), "ab");
    EXPECT_EQ(base, "ab");
}

TEST(FileExtension, FullStopInAFolderName) {
    std::string base;
    EXPECT_EQ(fileExtension("my.data/genome", &base), "dat");
    EXPECT_EQ(base, "my");
}

TEST(FileExtension, SearchStartsNoFurtherRightThanIndex1024) {
    std::string base;
    const std::string atLimit = std::string(1024, 'a') + ".fas";  // '.' at index 1024
    EXPECT_EQ(fileExtension(atLimit, &base), "fas");
    EXPECT_EQ(base, std::string(1024, 'a'));
    const std::string beyond = "x.gbk" + std::string(1020, 'b') + ".fas";  // last '.' at 1025
    EXPECT_EQ(fileExtension(beyond, &base), "gbk");
    EXPECT_EQ(base, "x");
    const std::string none = std::string(1025, 'c') + ".fas";
    EXPECT_EQ(fileExtension(none, &base), "ccc");
    EXPECT_EQ(base, none);
}

TEST_F(SequenceInputTest, FastaExtensionsAreReadAsFasta) {
    for (const std::string name :
         {"genome.FNA", "genome.fna", "genome.fas", "genome.FAS", "genome.fasta"}) {
        const std::string path = writeFile(name, kFasta);
        SequenceSet set = readSequences(path);
        ASSERT_EQ(set.records.size(), 1u) << name;
        EXPECT_EQ(set.records[0].format, 'F') << name;
        EXPECT_EQ(set.records[0].sequence, "ACGT") << name;
        EXPECT_EQ(set.baseName, (folder() / "genome").string()) << name;
        EXPECT_EQ(set.current, 0u);
    }
}

TEST_F(SequenceInputTest, GenBankExtensionsAreReadAsGenBank) {
    for (const std::string name : {"genome.gbk", "genome.GBK", "genome.gb", "genome.GB"}) {
        const std::string path = writeFile(name, kGenBank);
        SequenceSet set = readSequences(path);
        ASSERT_EQ(set.records.size(), 1u) << name;
        EXPECT_EQ(set.records[0].format, 'G') << name;
        EXPECT_EQ(set.records[0].sequence, "ACGTACGTACGT") << name;
        EXPECT_EQ(set.records[0].description, "Test record.") << name;
        EXPECT_EQ(set.baseName, (folder() / "genome").string()) << name;
        EXPECT_EQ(set.current, 0u);
    }
}

TEST_F(SequenceInputTest, OtherExtensionsAreRefusedWithTwoLines) {
    for (const std::string name :
         {"genome.Fna", "genome.fa", "genome.gbff", "genome.Gbk", "genome.txt", "genome"}) {
        const std::string path = writeFile(name, kFasta);
        expectFatal([&] { readSequences(path); }, kBadExtension);
    }
}

TEST_F(SequenceInputTest, FullStopOnlyInAFolderNameIsRefused) {
    const std::string path = writeFile("my.folder/genome", kFasta);
    expectFatal([&] { readSequences(path); }, kBadExtension);
}

TEST_F(SequenceInputTest, MissingFilesAreIncorrectFileNames) {
    const std::string fasta = (folder() / "absent.fas").string();
    expectFatal([&] { readSequences(fasta); }, {"Incorrect file name: " + fasta});
    const std::string genBank = (folder() / "absent.gbk").string();
    expectFatal([&] { readSequences(genBank); }, {"Incorrect file name: " + genBank});
}

TEST_F(SequenceInputTest, FatalLogReplacesAnEarlierLog) {
    writeFile("OprexLog.txt", "old line\nanother\n");
    const std::string path = writeFile("bad.fas", "no header\n");
    bool thrown = false;
    try {
        readSequences(path);
    } catch (const InputError& error) {
        thrown = true;
        EXPECT_EQ(error.kind(), InputProblem::Format);
        EXPECT_EQ(error.path(), path);
        EXPECT_EQ(readText("OprexLog.txt"), "old line\nanother\n");  // the reader writes nothing
        ::testing::internal::CaptureStdout();
        reportFatal(error);
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Incorrect FASTA file: " + path + "\n");
    }
    EXPECT_TRUE(thrown);
    EXPECT_EQ(readText("OprexLog.txt"), "Incorrect FASTA file: " + path + "\n");
}

}  // namespace
}  // namespace xoprex::seqio_test
