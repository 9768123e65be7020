#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "base/errors.h"
#include "report/reports.h"
#include "report/result_schema.h"
#include "temp_dir.h"

namespace xoprex {
namespace {

const std::string kHeader =
    "Score,Site,Strand,Distance,Type,Abs. position,Gene strand,Start,End,Gene tag,Gene,"
    "Product,Local Mean,Up Mean,Dw Mean\n";

SiteHit forwardHit(const std::string& site, int32_t position, double score) {
    SiteHit hit(static_cast<int32_t>(site.size()));
    hit.site = site;
    hit.position = position;
    hit.strand = true;
    hit.score = score;
    return hit;
}

RecordResults fastaRecord(const std::string& description, double entropy = 2.0) {
    RecordInfo record;
    record.format = 'F';
    record.description = description;
    record.length = 4;
    record.backgroundEntropy = entropy;
    return {std::make_shared<const RecordInfo>(std::move(record)), {}};
}

using Results = std::vector<RecordResults>;

std::string tableText(const Options& options, const Results& set) {
    std::ostringstream out;
    writeResultsTable(options, set, out);
    return out.str();
}

std::string lastLine(const std::string& text) {
    const size_t end = text.size() - 1;  // the final line feed
    const size_t start = text.rfind('\n', end - 1) + 1;
    return text.substr(start, end - start);
}

Options computedOptions(double cutOff) {
    Options options;
    options.method = 5;
    options.cutOff = cutOff;
    options.literalCutOff = false;
    return options;
}

// A FASTA target with two records: the first with two hits, the second with
// none. The first global mean is written with 6 significant digits, the
// second (after rows were written) with 14.
TEST(ResultsTable, TwoRecordsWithAndWithoutHits) {
    Results set;
    set.push_back(fastaRecord("seq1 test"));
    set[0].hits.globalMean = 1.0 / 3.0;
    set[0].hits.hits.push_back(forwardHit("ACGTACGT", 9, 7.25));
    SiteHit reverse = forwardHit("TTTTAAAA", 99, 1.0 / 3.0);
    reverse.strand = false;
    set[0].hits.hits.push_back(reverse);
    set.push_back(fastaRecord("seq2"));
    set[1].hits.globalMean = 2.0 / 3.0;

    const std::string expected =
        "Sequence,seq1 test\n"
        "Global score mean:,0.333333\n" +
        kHeader +
        "7.25,ACGTACGT,1,0,Unknown,10,0,0,0,,,,0,0,0\n"
        "0.33333333333333,TTTTAAAA,0,0,Unknown,100,0,0,0,,,,0,0,0\n"
        "Sequence,seq2\n"
        "Global score mean:,0.66666666666667\n" +
        kHeader +
        "\n"
        "Sequences,2\n"
        "Sites,2\n"
        "A priori H,2.000\n"
        "Method,Rsequence_Ri\n"
        "Cut-off,+4.217; - Computed\n";
    EXPECT_EQ(tableText(computedOptions(4.217), set), expected);
}

TEST(ResultsTable, GlobalMeanKeepsSixDigitsUntilARowIsWritten) {
    Results set;
    set.push_back(fastaRecord("empty", 1.9876));
    set[0].hits.globalMean = 2.0 / 3.0;
    set.push_back(fastaRecord("also empty", 1.5));  // only the first record's entropy is printed
    set[1].hits.globalMean = 2.0 / 3.0;
    set.push_back(fastaRecord("with hit"));
    set[2].hits.globalMean = 1.25;
    set[2].hits.hits.push_back(forwardHit("AC", 0, 0.1));
    set.push_back(fastaRecord("after hit"));
    set[3].hits.globalMean = 2.0 / 3.0;

    const std::string text = tableText(computedOptions(0.0), set);
    const std::string expected = "Sequence,empty\nGlobal score mean:,0.666667\n" + kHeader +
                                 "Sequence,also empty\nGlobal score mean:,0.666667\n" + kHeader +
                                 "Sequence,with hit\nGlobal score mean:,1.25\n" + kHeader +
                                 "0.1,AC,1,0,Unknown,1,0,0,0,,,,0,0,0\n"
                                 "Sequence,after hit\nGlobal score mean:,0.66666666666667\n" +
                                 kHeader +
                                 "\nSequences,4\nSites,1\nA priori H,1.988\nMethod,Rsequence_Ri\n"
                                 "Cut-off,+0.000; - Computed\n";
    EXPECT_EQ(text, expected);
}

TEST(ResultsTable, LiteralCutOffAndFileName) {
    Options options;
    options.method = 2;
    options.threshold = 12.5;
    options.literalCutOff = true;
    options.integrative = false;
    options.cutOff = 12.5;
    EXPECT_EQ(resultsFileName(options, OutputNaming{"out/", "ecoli", "lexA"}),
              "out/ecoli_lexA_BvH HI_12.500.csv");

    Results set;
    set.push_back(fastaRecord("s"));
    const std::string text = tableText(options, set);
    EXPECT_EQ(lastLine(text), "Cut-off,+12.500; - Literal");
    EXPECT_NE(text.find("\nMethod,BvH HI\n"), std::string::npos);
}

TEST(ResultsTable, FileNameUsesSinglePrecisionThreshold) {
    Options options;
    options.method = 1;
    options.threshold = static_cast<double>(0.8f);
    EXPECT_EQ(resultsFileName(options, OutputNaming{"C:\\data\\", "ecoli", "lexA"}),
              "C:\\data\\ecoli_lexA_Ri_0.800.csv");
    // 0.0025 rounds up as a double but down as a float (0.00249999994).
    options.threshold = 0.0025;
    EXPECT_EQ(resultsFileName(options, OutputNaming{"", "a", "b"}), "a_b_Ri_0.002.csv");
    options.method = 12;
    options.threshold = 0.25;
    EXPECT_EQ(resultsFileName(options, OutputNaming{"", "a", "b"}), "a_b_???_0.250.csv");
    // The desktop form's values: a method number and a threshold text read
    // as the run reads them.
    const std::vector<std::tuple<int, double, std::string>> form = {
        {1, 0.8, "/data/ecoli_lexA_Ri_0.800.csv"},
        {1, 12, "/data/ecoli_lexA_Ri_12.000.csv"},
        {10, 0.8, "/data/ecoli_lexA_Oprex_HI_0.800.csv"},
        {2, 12.5, "/data/ecoli_lexA_BvH HI_12.500.csv"}};
    for (const auto& [method, threshold, name] : form) {
        options.method = method;
        options.threshold = threshold;
        EXPECT_EQ(resultsFileName(options, OutputNaming{"/data/", "ecoli", "lexA"}), name);
    }
}

TEST(ResultsTable, CutOffSignAndMethodOutsideTable) {
    Results set;
    set.push_back(fastaRecord("s"));
    Options options = computedOptions(-3.14159);
    EXPECT_EQ(lastLine(tableText(options, set)), "Cut-off,-3.142; - Computed");
    options.cutOff = 0.0005;  // fixed notation, never an exponent
    EXPECT_EQ(lastLine(tableText(options, set)), "Cut-off,+0.001; - Computed");
    options.method = 0;
    EXPECT_NE(tableText(options, set).find("\nMethod,???\n"), std::string::npos);
}

TEST(ResultsTable, DescriptionWithCommasIsWrittenUnquoted) {
    Results set;
    set.push_back(fastaRecord("E. coli, strain K-12, complete"));
    const std::string text = tableText(computedOptions(1.0), set);
    EXPECT_EQ(text.substr(0, text.find('\n')), "Sequence,E. coli, strain K-12, complete");
}

TEST(ResultsTable, AnnotatedReverseStrandRow) {
    SiteHit hit = forwardHit("TTGTGA", 1233, 12.345678901234);
    hit.strand = false;
    hit.distance = -45;
    hit.siteClass = SiteClass::Operator;
    hit.gene = HitGene({"YP_01", "crp", "cAMP receptor protein, 2", 1279, 2000, true});
    hit.localMean = 1.5;
    hit.upMean = -2.25;
    hit.downMean = 0.00001;
    std::string row;
    writeHitRow(row, hit);
    EXPECT_EQ(row,
              "12.345678901234,TTGTGA,0,-45,Operator,1234,1,1279,2000,YP_01,crp,"
              "cAMP receptor protein. 2,1.5,-2.25,1e-005\n");
}

TEST(ResultsTable, IntegersPrintAsThirtyTwoBitValues) {
    SiteHit hit = forwardHit("A", -5, 1e15);
    hit.distance = std::numeric_limits<int32_t>::min();
    hit.gene = HitGene({"", "", "", 4294967295u, 0, false});
    std::string row;
    writeHitRow(row, hit);
    EXPECT_EQ(row, "1e+015,A,1,-2147483648,Unknown,4294967292,0,4294967295,0,,,,0,0,0\n");
}

TEST(ResultsTable, InfiniteAndNanValuesAreSpelledOut) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    Results set;
    set.push_back(fastaRecord("s"));
    set[0].hits.globalMean = nan;
    SiteHit hit = forwardHit("AC", 0, inf);
    hit.localMean = nan;
    hit.upMean = -inf;
    hit.downMean = inf;
    set[0].hits.hits.push_back(hit);
    set[0].hits.hits.push_back(forwardHit("GT", 1, -inf));
    const std::string text = tableText(computedOptions(-inf), set);
    const std::string expected = "Sequence,s\nGlobal score mean:,nan\n" + kHeader +
                                 "inf,AC,1,0,Unknown,1,0,0,0,,,,nan,-inf,inf\n"
                                 "-inf,GT,1,0,Unknown,2,0,0,0,,,,0,0,0\n"
                                 "\nSequences,1\nSites,2\nA priori H,2.000\nMethod,Rsequence_Ri\n"
                                 "Cut-off,-inf; - Computed\n";
    EXPECT_EQ(text, expected);
}

TEST(ResultsTable, FileVersionReplacesAnEarlierFile) {
    testing::TempDir dir;
    const std::string path = dir.file("t.csv");
    dir.write("t.csv", "old content that is longer than the new table ...\n");
    Results set;
    set.push_back(fastaRecord("s"));
    const Options options = computedOptions(1.0);
    writeResultsTable(options, set, path);
    EXPECT_EQ(testing::readFile(path), tableText(options, set));
}

TEST(ResultsTable, FileThatCannotBeCreatedIsReported) {
    Results set;
    set.push_back(fastaRecord("s"));
    set.push_back(fastaRecord("t"));
    const std::string path = "/nonexistent-folder-xoprex/sub/t.csv";
    try {
        writeResultsTable(computedOptions(1.0), set, path);
        ADD_FAILURE() << "no error";
    } catch (const OutputError& error) {
        EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
    }
    EXPECT_FALSE(std::filesystem::exists("/nonexistent-folder-xoprex"));
}

// Rows are appended into one buffer and written in blocks: a large table
// must come out whole and in order.
TEST(ResultsTable, LargeTableIsWrittenWhole) {
    Results set;
    set.push_back(fastaRecord("big"));
    for (int32_t i = 0; i < 100000; ++i) {
        set[0].hits.hits.push_back(forwardHit("ACGTACGTACGTACGTACG", i, i * 0.5));
    }
    const std::string text = tableText(computedOptions(1.0), set);
    std::string row;
    writeHitRow(row, set[0].hits.hits[54321]);
    EXPECT_EQ(row, "27160.5,ACGTACGTACGTACGTACG,1,0,Unknown,54322,0,0,0,,,,0,0,0\n");
    EXPECT_NE(text.find("\n" + row), std::string::npos);
    EXPECT_NE(text.find("\nSites,100000\n"), std::string::npos);
    size_t lines = 0;
    for (char c : text) {
        lines += c == '\n';
    }
    EXPECT_EQ(lines, 3u + 100000u + 6u);
}

// Rows formatted on two threads (records with many hits) give the same text,
// with records of few and of many hits in one table.
TEST(ResultsTable, TwoThreadsWriteTheSameTable) {
    Results set;
    for (const int32_t count : {40000, 3, 0, 20001}) {
        set.push_back(fastaRecord("record " + std::to_string(count)));
        for (int32_t i = 0; i < count; ++i) {
            set.back().hits.hits.push_back(forwardHit("ACGTACGTACG", i, i * 0.25 - 7.0));
        }
    }
    const Options options = computedOptions(1.0);
    std::ostringstream one, two;
    writeResultsTable(options, set, one);
    writeResultsTable(options, set, two, 2);
    ASSERT_EQ(two.str().size(), one.str().size());
    EXPECT_TRUE(two.str() == one.str());
}

}  // namespace
}  // namespace xoprex
