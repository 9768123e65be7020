#include "merge/merge.h"

#include <gtest/gtest.h>

#include <string>

#include "merge_test_support.h"

namespace xoprex {
namespace {

using testing::letters;
using testing::lines;
using testing::mergeFailure;
using testing::MergeFolder;
using testing::originBlock;
using testing::originLetters;
using testing::record;

using MergeGenBank = MergeFolder;

size_t countLinesStartingWith(const std::string& text, const std::string& start) {
    size_t count = 0;
    for (const std::string& line : lines(text)) {
        count += line.rfind(start, 0) == 0;
    }
    return count;
}

// Records of 1000 and 500 bases: the second record's features move by 1000,
// the source feature and the LOCUS line give the joined length, and the
// sequence lines start at 1, 61, ..., 1441.
TEST_F(MergeGenBank, TwoRecordsShiftTheSecondRecordsFeatures) {
    const std::string first = letters(1000, 1);
    const std::string second = letters(500, 2);
    const std::string input =
        write("two.gbk", record("REC1", first,
                                "     gene            10..100\n"
                                "                     /gene=\"a\"\n"
                                "     CDS             complement(20..50)\n"
                                "                     /gene=\"b\"\n") +
                             record("REC2", second,
                                    "     CDS             10..100\n"
                                    "                     /locus_tag=\"T2_1\"\n"
                                    "     CDS             complement(20..50)\n"
                                    "                     /product=\"second, complement\"\n"));
    ASSERT_EQ(mergeFailure(input, path("merged.gbk")), "");

    const std::string text = read(path("merged.gbk"));
    const std::string expectedHead =
        "LOCUS       REC1                    1500 bp    DNA     linear   BCT 01-JAN-2000\n"
        "DEFINITION  Record REC1.\n"
        "ACCESSION   REC1\n"
        "FEATURES             Location/Qualifiers\n"
        "     source          1..1500\n"
        "                     /organism=\"REC1 organism\"\n"
        "     gene            10..100\n"
        "                     /gene=\"a\"\n"
        "     CDS             complement(20..50)\n"
        "                     /gene=\"b\"\n"
        "     CDS             1010..1100\n"
        "                     /locus_tag=\"T2_1\"\n"
        "     CDS             complement(1020..1050)\n"
        "                     /product=\"second, complement\"\n"
        "ORIGIN      \n";
    ASSERT_EQ(text.substr(0, expectedHead.size()), expectedHead);

    const auto all = lines(text);
    ASSERT_EQ(all.size(), 15u + 25u + 1u);
    EXPECT_EQ(all[15], "               1 " + first.substr(0, 10) + " " + first.substr(10, 10) +
                           " " + first.substr(20, 10) + " " + first.substr(30, 10) + " " +
                           first.substr(40, 10) + " " + first.substr(50, 10));
    for (size_t i = 0; i < 25; ++i) {
        const std::string position = std::to_string(i * 60 + 1);
        EXPECT_EQ(all[15 + i].substr(0, 17),
                  std::string(16 - position.size(), ' ') + position + " ");
        EXPECT_EQ(all[15 + i].size(), 16u + 66u);
    }
    EXPECT_EQ(all[39].substr(0, 17), "            1441 ");
    EXPECT_EQ(all.back(), "//");
    EXPECT_EQ(originLetters(text), first + second);
}

// One record with an odd layout, CR LF line ends and a bare ORIGIN line comes
// out re-laid out; 125 letters give lines at 1, 61 and 121, the last holding
// one group of five.
TEST_F(MergeGenBank, OneRecordIsReLaidOut) {
    std::string sequence;
    for (int i = 0; i < 125; ++i) {
        sequence += "acgt"[(i / 10) % 4];
    }
    std::string input =
        "LOCUS       ONE                     9999 bp    DNA     linear   BCT 01-JAN-2000\n"
        "DEFINITION  One record.\n"
        "FEATURES             Location/Qualifiers\n"
        "  source   1..125\n"
        "                     /organism=\"one\"\n"
        "   CDS 3..50\n"
        "                     /gene=\"x\"\n" +
        originBlock(sequence);
    input.replace(input.find("ORIGIN      "), 12, "ORIGIN");
    std::string crlf;
    for (char c : input) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    ASSERT_EQ(mergeFailure(write("one.gbk", crlf), path("out.gbk")), "");
    EXPECT_EQ(read(path("out.gbk")),
              "LOCUS       ONE                      125 bp    DNA     linear   BCT 01-JAN-2000\n"
              "DEFINITION  One record.\n"
              "FEATURES             Location/Qualifiers\n"
              "     source          1..125\n"
              "                     /organism=\"one\"\n"
              "     CDS             3..50\n"
              "                     /gene=\"x\"\n"
              "ORIGIN      \n"
              "               1 aaaaaaaaaa cccccccccc gggggggggg tttttttttt aaaaaaaaaa cccccccccc\n"
              "              61 gggggggggg tttttttttt aaaaaaaaaa cccccccccc gggggggggg tttttttttt\n"
              "             121 aaaaa\n"
              "//\n");
}

TEST_F(MergeGenBank, LaterHeadersAndSourceFeaturesAreLeftOut) {
    const std::string input =
        write("three.gbk", record("REC1", letters(120, 1), "     CDS             1..30\n") +
                               record("REC2", letters(60, 2), "     CDS             1..30\n") +
                               record("REC3", letters(7, 3), "     CDS             2..3\n"));
    ASSERT_EQ(mergeFailure(input, path("out.gbk")), "");
    const std::string text = read(path("out.gbk"));
    EXPECT_EQ(text.find("REC2"), std::string::npos);
    EXPECT_EQ(text.find("REC3"), std::string::npos);
    EXPECT_EQ(countLinesStartingWith(text, "LOCUS"), 1u);
    EXPECT_EQ(countLinesStartingWith(text, "DEFINITION"), 1u);
    EXPECT_EQ(countLinesStartingWith(text, "FEATURES"), 1u);
    EXPECT_EQ(countLinesStartingWith(text, "ORIGIN"), 1u);
    EXPECT_EQ(countLinesStartingWith(text, "     source          1..187"), 1u);
    EXPECT_EQ(countLinesStartingWith(text, "     source"), 1u);
    EXPECT_EQ(countLinesStartingWith(text, "//"), 1u);
    EXPECT_NE(text.find("     CDS             1..30\n"
                        "     CDS             121..150\n"
                        "     CDS             182..183\n"),
              std::string::npos);
    EXPECT_EQ(originLetters(text), letters(120, 1) + letters(60, 2) + letters(7, 3));
}

// Locations keep their partial markers and join/order/complement structure,
// with every coordinate shifted; continuation lines of a location are shifted
// too; qualifier lines are never locations.
TEST_F(MergeGenBank, LocationsKeepTheirStructure) {
    const std::string input =
        write("loc.gbk", record("REC1", letters(100, 1),
                                "     misc_feature    <1..>30\n"
                                "     CDS             join(1..10,20..30)\n") +
                             record("REC2", letters(400, 2),
                                    "     CDS             <1..>300\n"
                                    "                     /note=\"spans 1..5 of the repeat\"\n"
                                    "     CDS             join(1..100,200..300)\n"
                                    "     variation       57\n"
                                    "     variation       33^34\n"
                                    "     CDS             complement(join(5..10,\n"
                                    "                     20..30))\n"
                                    "                     /gene=\"two.line\"\n"
                                    "     misc_feature    order(1..2,4..5)\n"
                                    "     misc_feature    join(J00194.1:100..202,1..50)\n"
                                    "                     /note=\"LOCUS and FEATURES in a\n"
                                    "                     ORIGIN of replication\"\n"));
    ASSERT_EQ(mergeFailure(input, path("out.gbk")), "");
    const std::string text = read(path("out.gbk"));
    const std::string expected =
        "FEATURES             Location/Qualifiers\n"
        "     source          1..500\n"
        "                     /organism=\"REC1 organism\"\n"
        "     misc_feature    <1..>30\n"
        "     CDS             join(1..10,20..30)\n"
        "     CDS             <101..>400\n"
        "                     /note=\"spans 1..5 of the repeat\"\n"
        "     CDS             join(101..200,300..400)\n"
        "     variation       157\n"
        "     variation       133^134\n"
        "     CDS             complement(join(105..110,\n"
        "                     120..130))\n"
        "                     /gene=\"two.line\"\n"
        "     misc_feature    order(101..102,104..105)\n"
        "     misc_feature    join(J00194.1:100..202,101..150)\n"
        "                     /note=\"LOCUS and FEATURES in a\n"
        "                     ORIGIN of replication\"\n"
        "ORIGIN      \n";
    EXPECT_NE(text.find(expected), std::string::npos) << text;
}

// A qualifier whose text mentions a section word stays a qualifier.
TEST_F(MergeGenBank, SectionsAreRecognisedOnlyAtTheStartOfALine) {
    const std::string input = write(
        "words.gbk", record("REC1", letters(30, 1),
                            "     CDS             1..30\n"
                            "                     /note=\"ORIGIN LOCUS FEATURES // x\"\n") +
                         record("REC2", letters(30, 2),
                                "     CDS             1..30\n"
                                "                     /note=\"second ORIGIN of replication\"\n"));
    ASSERT_EQ(mergeFailure(input, path("out.gbk")), "");
    const std::string text = read(path("out.gbk"));
    EXPECT_NE(text.find("     CDS             31..60\n"
                        "                     /note=\"second ORIGIN of replication\"\n"
                        "ORIGIN      \n"),
              std::string::npos);
    EXPECT_EQ(originLetters(text), letters(30, 1) + letters(30, 2));
}

// Without "//" the last record's letters still count and are written.
TEST_F(MergeGenBank, LastRecordWithoutEndLineContributesItsSequence) {
    const std::string input =
        write("open.gbk", record("REC1", letters(70, 1), "") +
                              record("REC2", letters(50, 2), "     CDS             1..5\n", false));
    ASSERT_EQ(mergeFailure(input, path("out.gbk")), "");
    const std::string text = read(path("out.gbk"));
    EXPECT_NE(text.find("LOCUS       REC1                     120 bp"), std::string::npos);
    EXPECT_NE(text.find("     source          1..120\n"), std::string::npos);
    EXPECT_NE(text.find("     CDS             71..75\n"), std::string::npos);
    EXPECT_EQ(originLetters(text), letters(70, 1) + letters(50, 2));
}

// A LOCUS line while a record is still open ends that record: its letters
// move the offset of the next one and its header lines are not copied.
TEST_F(MergeGenBank, MissingEndLineBetweenRecords) {
    const std::string input =
        write("gap.gbk", record("REC1", letters(70, 1), "", false) +
                             record("REC2", letters(50, 2), "     CDS             1..5\n"));
    ASSERT_EQ(mergeFailure(input, path("out.gbk")), "");
    const std::string text = read(path("out.gbk"));
    EXPECT_EQ(text.find("REC2"), std::string::npos);
    EXPECT_NE(text.find("     CDS             71..75\n"), std::string::npos);
    EXPECT_EQ(originLetters(text), letters(70, 1) + letters(50, 2));
}

// Record sections other than the feature table (BASE COUNT, CONTIG) belong
// to one record and are left out so that the joined table stays whole.
TEST_F(MergeGenBank, OtherRecordSectionsAreLeftOut) {
    std::string first = record("REC1", letters(20, 1), "     CDS             1..5\n");
    first.insert(first.find("ORIGIN"), "BASE COUNT        5 a      5 c      5 g      5 t\n");
    std::string second = record("REC2", letters(20, 2), "     CDS             1..5\n");
    second.insert(second.find("ORIGIN"),
                  "CONTIG      join(AB000001.1:1..10,\n"
                  "            gap(10))\n");
    ASSERT_EQ(mergeFailure(write("sections.gbk", first + second), path("out.gbk")), "");
    const std::string text = read(path("out.gbk"));
    EXPECT_EQ(text.find("BASE COUNT"), std::string::npos);
    EXPECT_EQ(text.find("CONTIG"), std::string::npos);
    EXPECT_EQ(text.find("gap(10)"), std::string::npos);
    EXPECT_NE(text.find("     CDS             1..5\n     CDS             21..25\nORIGIN"),
              std::string::npos);
}

TEST_F(MergeGenBank, UnreadableInputLeavesNoOutput) {
    const std::string reason = mergeFailure(path("missing.gbk"), path("out.gbk"));
    EXPECT_FALSE(reason.empty());
    EXPECT_NE(reason.find(path("missing.gbk")), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(path("out.gbk")));
}

TEST_F(MergeGenBank, OutputThatCannotBeCreatedIsReported) {
    const std::string input = write("in.gbk", record("REC1", letters(20, 1), ""));
    const std::string output = path("no-such-folder/out.gbk");
    const std::string reason = mergeFailure(input, output);
    EXPECT_FALSE(reason.empty());
    EXPECT_NE(reason.find(output), std::string::npos);
}

// A failed write is reported; only a regular file is removed afterwards.
TEST_F(MergeGenBank, FailedWriteIsReported) {
    if (!std::filesystem::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full";
    }
    const std::string input = write("in.gbk", record("REC1", letters(20, 1), ""));
    const std::string reason = mergeFailure(input, "/dev/full");
    EXPECT_FALSE(reason.empty());
    EXPECT_NE(reason.find("/dev/full"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists("/dev/full"));
}

TEST_F(MergeGenBank, OutputOverTheInputIsRefused) {
    const std::string text =
        record("REC1", letters(20, 1), "") + record("REC2", letters(20, 2), "");
    const std::string input = write("in.gbk", text);
    const std::string reason = mergeFailure(input, input);
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(read(input), text);
}

TEST_F(MergeGenBank, FileWithoutLocusIsRefused) {
    const std::string input = write("fasta.gbk", ">not genbank\nACGT\n");
    const std::string reason = mergeFailure(input, path("out.gbk"));
    EXPECT_FALSE(reason.empty());
    EXPECT_NE(reason.find(input), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(path("out.gbk")));
}

TEST(DefaultMergeOutput, InputFolderAndTitle) {
    EXPECT_EQ(defaultMergeOutput("/data/genomes/ecoli.gbk"), "/data/genomes/Merged_ecoli.gbk");
    EXPECT_EQ(defaultMergeOutput("ecoli.gb"), "Merged_ecoli.gbk");
    EXPECT_EQ(defaultMergeOutput("C:\\data\\a.b.GBK"), "C:\\data\\Merged_a.b.gbk");
    EXPECT_EQ(defaultMergeOutput("dir.v2/noext"), "dir.v2/Merged_noext.gbk");
}

}  // namespace
}  // namespace xoprex
