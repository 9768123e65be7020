// The collection's report files: the frequency table, the site list and
// the motif score log.
#include "report/collection_logs.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "../motif/motif_test_support.h"
#include "base/errors.h"
#include "base/number_format.h"
#include "motif/cutoff.h"

using namespace xoprex;
using motif_test::makeCollection;
using motif_test::readFile;
using motif_test::splitLines;
using motif_test::TempFolder;
using motif_test::writeFile;

namespace {

const std::vector<std::string> kToyCollection = {"ACGT", "ACGA", "ACGC", "ACGG"};

Options optionsFor(int method, double threshold) {
    Options options;
    options.method = method;
    options.threshold = threshold;
    return options;
}

}  // namespace

TEST(CollectionLogs, ToyFrequencyTable) {
    TempFolder folder;
    EXPECT_THROW(writeCollectionLogs(makeCollection(kToyCollection), "out/seq_sites"),
                 OutputError);  // no such folder
    EXPECT_FALSE(std::filesystem::exists("out"));
    writeCollectionLogs(makeCollection(kToyCollection), "seq_sites");
    EXPECT_EQ(readFile("seq_sites_freq_table.csv"),
              ",1,2,3,4,\n"
              "A,1,0,0,0.25,\n"
              "C,0,1,0,0.25,\n"
              "G,0,0,1,0.25,\n"
              "T,0,0,0,0.25,\n"
              "Cons.,A,C,G,A,\n"
              "RI,2,2,2,9.51466e-008,\n"
              "RE,2,2,2,0,\n"
              "\n"
              "Motif Rsequence (bits): 6\n"
              "Motif RE (bits): 6\n");
}

TEST(CollectionLogs, LengthThreeTable) {
    TempFolder folder;
    writeCollectionLogs(makeCollection({"ACG", "ACT", "TCT"}), "p");
    const auto lines = splitLines(readFile("p_freq_table.csv"));
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[0], ",1,2,3,");
    EXPECT_EQ(lines[1], "A,0.666667,0,0,");
    EXPECT_EQ(lines[4], "T,0.333333,0,0.666667,");
    EXPECT_EQ(lines[5], "Cons.,A,C,T,");
    EXPECT_EQ(lines[8], "");
    EXPECT_EQ(lines[9].rfind("Motif Rsequence (bits): ", 0), 0u);
    EXPECT_EQ(lines[10].rfind("Motif RE (bits): ", 0), 0u);
}

TEST(CollectionLogs, SiteCollectionLog) {
    TempFolder folder;
    writeFile("lexA.txt", "ACGT\nacga\n");
    const SiteCollection collection = loadCollection("lexA.txt", SequenceRecord{});
    writeCollectionLogs(collection, "seq_lexA");
    EXPECT_EQ(readFile("seq_lexA_site_collection_log.txt"),
              ">lexA collection - Site #0\nACGT\n>lexA collection - Site #1\nACGA\n");
}

TEST(SelfScoring, LogOfTwoSitesHasSevenLines) {
    TempFolder folder;
    // An R makes the two self-scores differ (f(A) = 0.75 at position 1).
    SiteCollection collection = makeCollection({"ACGT", "RCGT"});
    Options options = optionsFor(6, static_cast<double>(0.8f));
    scoreCollectionAndFixCutOff(collection, options, SequenceRecord{});
    writeMotifScoreLog(collection, options, "seq_sites");
    const std::string text = readFile("seq_sites__motif_score_log.csv");
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n');
    const auto lines = splitLines(text);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], "Motif;Score");
    EXPECT_EQ(lines[1], "ACGT," + formatGeneral(collection.sites[0].score));
    EXPECT_EQ(lines[2], "RCGT," + formatGeneral(collection.sites[1].score));
    EXPECT_EQ(lines[3], "");
    EXPECT_EQ(lines[4], "Threshold,0.8");
    EXPECT_EQ(lines[5], "");
    EXPECT_EQ(lines[6], "Cut-off," + formatGeneral(options.cutOff));
    EXPECT_NE(options.cutOff, 0.0);
}

TEST(SelfScoring, ExactLogOfToyCollection) {
    TempFolder folder;
    SiteCollection collection = makeCollection({"ACGT", "ACGA", "ACGC", "ACGG"});
    Options options = optionsFor(1, static_cast<double>(0.8f));
    scoreCollectionAndFixCutOff(collection, options, SequenceRecord{});
    writeMotifScoreLog(collection, options, "p");
    EXPECT_EQ(readFile("p__motif_score_log.csv"),
              "Motif;Score\n"
              "ACGT,3.96578\n"
              "ACGA,3.96578\n"
              "ACGC,3.96578\n"
              "ACGG,3.96578\n"
              "\n"
              "Threshold,0.8\n"
              "\n"
              "Cut-off,0\n");
}

TEST(SelfScoring, UncreatableLogIsReported) {
    TempFolder folder;
    SiteCollection collection = makeCollection({"ACGT", "TCGT"});
    Options options = optionsFor(6, 0.8);
    scoreCollectionAndFixCutOff(collection, options, SequenceRecord{});
    EXPECT_THROW(writeMotifScoreLog(collection, options, "missing/folder"), OutputError);
    EXPECT_FALSE(std::filesystem::exists("missing"));
}
