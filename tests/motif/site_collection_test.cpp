// Collection readers, loading and its input errors; the motif model and the
// background composition.
#include "motif/site_collection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>

#include "base/number_format.h"
#include "base/run_log.h"
#include "motif_test_support.h"

using namespace xoprex;
using motif_test::makeCollection;
using motif_test::readFile;
using motif_test::splitLines;
using motif_test::TempFolder;
using motif_test::writeFile;

namespace {

std::vector<std::string> siteTexts(const std::vector<SiteHit>& sites) {
    std::vector<std::string> texts;
    for (const auto& site : sites) {
        texts.push_back(site.site.str());
        EXPECT_EQ(site.siteLength, static_cast<int32_t>(site.site.size()));
    }
    return texts;
}

std::vector<std::string> readText(const std::string& content, bool fasta) {
    std::istringstream in(content);
    return siteTexts(readCollectionSites(in, fasta));
}

const std::vector<std::string> kToyCollection = {"ACGT", "ACGA", "ACGC", "ACGG"};

}  // namespace

// ---------------------------------------------------------------- readers

TEST(CollectionReader, TextSkipsBlankLinesOnly) {
    EXPECT_EQ(readText("ACGT\n\nACGA\n\n\nACGC\n", false),
              (std::vector<std::string>{"ACGT", "ACGA", "ACGC"}));
}

TEST(CollectionReader, TextTakesHeaderLikeLineAsSite) {
    EXPECT_EQ(readText(">s1\nACGT\n", false), (std::vector<std::string>{">S1", "ACGT"}));
}

TEST(CollectionReader, FastaSkipsHeaders) {
    EXPECT_EQ(readText(">site one\nACGT\n>site two\nacga\n>three\nACGC\n", true),
              (std::vector<std::string>{"ACGT", "ACGA", "ACGC"}));
}

TEST(CollectionReader, FastaNeverJoinsLines) {
    EXPECT_EQ(readText(">wrapped\nACGTAC\nGTAC\n", true),
              (std::vector<std::string>{"ACGTAC", "GTAC"}));
}

TEST(CollectionReader, FastaOnlyHeadersGivesNoSite) {
    EXPECT_TRUE(readText(">a\n>b\n\n", true).empty());
}

TEST(CollectionReader, CarriageReturnBelongsToLineEnd) {
    EXPECT_EQ(readText("ACGT\r\nACGA\r\n\r\nACGC", false),
              (std::vector<std::string>{"ACGT", "ACGA", "ACGC"}));
}

TEST(CollectionReader, LastLineWithoutLineFeedCounts) {
    EXPECT_EQ(readText("ACGT\nACGA", false), (std::vector<std::string>{"ACGT", "ACGA"}));
    EXPECT_EQ(readText("ACGT\nACGA\n", false), (std::vector<std::string>{"ACGT", "ACGA"}));
}

TEST(CollectionReader, UpperCasesLettersOnly) {
    EXPECT_EQ(readText("acgt\nACGT\n", false), (std::vector<std::string>{"ACGT", "ACGT"}));
    EXPECT_EQ(readText("ac gt\t-n1z\xe9\n", false), (std::vector<std::string>{"AC GT\t-N1Z\xe9"}));
}

TEST(CollectionReader, TrailingBlankIsPartOfSite) {
    std::istringstream in("ACGT \nACGA\n");
    const auto sites = readCollectionSites(in, false);
    ASSERT_EQ(sites.size(), 2u);
    EXPECT_EQ(sites[0].siteLength, 5);
    EXPECT_EQ(sites[0].site, "ACGT ");
    EXPECT_EQ(sites[1].siteLength, 4);
}

TEST(CollectionReader, SitesKeepFreshDefaults) {
    std::istringstream in("ACGT\n");
    const auto sites = readCollectionSites(in, false);
    ASSERT_EQ(sites.size(), 1u);
    EXPECT_EQ(sites[0].score, 0.0);
    EXPECT_EQ(sites[0].type(), "Unknown");
    EXPECT_EQ(sites[0].position, 0);
}

// ---------------------------------------------------------------- loading

TEST(LoadCollection, TextFile) {
    TempFolder folder;
    writeFile("lexA.txt", "ACGT\n\nacga\nACGC\nACGG");
    const SiteCollection collection = loadCollection("lexA.txt", SequenceRecord{});
    EXPECT_EQ(siteTexts(collection.sites), kToyCollection);
    EXPECT_EQ(collection.siteLength, 4);
    EXPECT_EQ(collection.siteCount(), 4u);
    EXPECT_EQ(collection.baseName, "lexA");
    EXPECT_EQ(collection.model.positions.size(), 4u);
}

TEST(LoadCollection, FastaByExtension) {
    TempFolder folder;
    const std::string content = ">a\nACGT\n>b\nACGA\n";
    for (const std::string name : {"s.FAS", "s.fas", "s.FNA", "s.fna", "sites.fasta"}) {
        writeFile(name, content);
        const SiteCollection collection = loadCollection(name, SequenceRecord{});
        EXPECT_EQ(siteTexts(collection.sites), (std::vector<std::string>{"ACGT", "ACGA"})) << name;
    }
    EXPECT_EQ(loadCollection("sites.fasta", SequenceRecord{}).baseName, "sites");
}

TEST(LoadCollection, TextByExtension) {
    TempFolder folder;
    for (const std::string name : {"s.TXT", "s.txt", "sites.txt2", "txtsites"}) {
        writeFile(name, ">A\nAC\n");
        const SiteCollection collection = loadCollection(name, SequenceRecord{});
        EXPECT_EQ(siteTexts(collection.sites), (std::vector<std::string>{">A", "AC"})) << name;
    }
    EXPECT_EQ(loadCollection("txtsites", SequenceRecord{}).baseName, "txtsites");
    EXPECT_EQ(loadCollection("sites.txt2", SequenceRecord{}).baseName, "sites");
}

TEST(LoadCollection, BaseNameKeepsFolderAndOnlyLastDot) {
    TempFolder folder;
    std::filesystem::create_directory("my.data");
    writeFile("my.data/lexA.v2.txt", "ACGT\n");
    EXPECT_EQ(loadCollection("my.data/lexA.v2.txt", SequenceRecord{}).baseName, "my.data/lexA.v2");
}

TEST(LoadCollection, WrongExtensionIsFatal) {
    TempFolder folder;
    for (const std::string name : {"sites.Fas", "sites.csv", "sites.Txt", "sites.fa", "sites"}) {
        writeFile(name, "ACGT\n");
        EXPECT_FATAL_LINES(loadCollection(name, SequenceRecord{}),
                           {"Incorrect motif file extension.", "Type Oprex /? for help"});
    }
}

TEST(LoadCollection, ExtensionCheckedBeforeOpening) {
    TempFolder folder;
    EXPECT_FATAL_LINES(loadCollection("missing.csv", SequenceRecord{}),
                       {"Incorrect motif file extension.", "Type Oprex /? for help"});
}

TEST(LoadCollection, MissingFileIsFatal) {
    TempFolder folder;
    EXPECT_FATAL_LINES(loadCollection("missing.txt", SequenceRecord{}),
                       {"Incorrect file name: missing.txt"});
    std::filesystem::create_directory("folder.fas");
    EXPECT_FATAL_LINES(loadCollection("folder.fas", SequenceRecord{}),
                       {"Incorrect file name: folder.fas"});
}

TEST(LoadCollection, DifferentLengthsAreFatal) {
    TempFolder folder;
    writeFile("blank.txt", "ACGT \nACGT\n");
    EXPECT_FATAL_LINES(loadCollection("blank.txt", SequenceRecord{}),
                       {"Incorrect collection file! - Different site lengths"});
    writeFile("wrapped.fas", ">a\nACGT\n>b\nAC\nGT\n");
    EXPECT_FATAL_LINES(loadCollection("wrapped.fas", SequenceRecord{}),
                       {"Incorrect collection file! - Different site lengths"});
    writeFile("header.txt", ">a\nACGT\n");  // ">A" is a site of length 2
    EXPECT_FATAL_LINES(loadCollection("header.txt", SequenceRecord{}),
                       {"Incorrect collection file! - Different site lengths"});
}

TEST(LoadCollection, WrappedFastaOfEqualHalvesIsTwoSites) {
    TempFolder folder;
    writeFile("wrapped.fas", ">a\nACGT\n>b\nACGA\nACGC\n");
    EXPECT_EQ(siteTexts(loadCollection("wrapped.fas", SequenceRecord{}).sites),
              (std::vector<std::string>{"ACGT", "ACGA", "ACGC"}));
}

TEST(LoadCollection, NoSiteIsFatal) {
    TempFolder folder;
    writeFile("empty.txt", "");
    EXPECT_FATAL_LINES(loadCollection("empty.txt", SequenceRecord{}),
                       {"Incorrect collection file! - No sites in empty.txt"});
    writeFile("blank.txt", "\n\r\n\n");
    EXPECT_FATAL_LINES(loadCollection("blank.txt", SequenceRecord{}),
                       {"Incorrect collection file! - No sites in blank.txt"});
    writeFile("headers.fas", ">a\n>b\n");
    EXPECT_FATAL_LINES(loadCollection("headers.fas", SequenceRecord{}),
                       {"Incorrect collection file! - No sites in headers.fas"});
}

TEST(LoadCollection, PositionWithoutCountedLetterIsFatal) {
    TempFolder folder;
    writeFile("gaps.txt", "A-GT\nAUGA\nA.GC\n");
    EXPECT_FATAL_LINES(
        loadCollection("gaps.txt", SequenceRecord{}),
        {"Incorrect collection file! - No A, C, G or T at site position 2 in gaps.txt"});
    // One counted letter at the position is enough.
    writeFile("one.txt", "A-GT\nAUGA\nARGC\n");
    EXPECT_EQ(loadCollection("one.txt", SequenceRecord{}).model.positions[1].frequencies[0], 0.5);
}

TEST(LoadCollection, DirectBuildModelNamesTheCollection) {
    TempFolder folder;
    SiteCollection collection;
    collection.sites.push_back(SiteHit(2));
    collection.sites.back().site = "AX";
    collection.siteLength = 2;
    collection.baseName = "data/lexA";
    EXPECT_FATAL_LINES(
        buildModel(collection, SequenceRecord{}),
        {"Incorrect collection file! - No A, C, G or T at site position 2 in data/lexA"});
}

// The last "." is searched from index 1024 at most.
TEST(LoadCollection, DotBeyondIndex1024IsNotSeen) {
    TempFolder folder;
    // "d.txt/" then folders of "a"s, so that the file name's "." lands at a
    // chosen index.
    auto buildPath = [](size_t dotIndex) {
        std::string path = "d.txt";
        std::filesystem::create_directories(path);
        while (path.size() + 1 + 200 + 1 < dotIndex) {
            path += "/" + std::string(200, 'a');
            std::filesystem::create_directories(path);
        }
        path += "/";
        path += std::string(dotIndex - path.size(), 'b');
        path += ".csv";
        return path;
    };
    const std::string seen = buildPath(1024);
    ASSERT_EQ(seen.rfind('.'), 1024u);
    writeFile(seen, "ACGT\n");
    EXPECT_FATAL_LINES(loadCollection(seen, SequenceRecord{}),
                       {"Incorrect motif file extension.", "Type Oprex /? for help"});

    const std::string unseen = buildPath(1025);
    ASSERT_EQ(unseen.rfind('.'), 1025u);
    writeFile(unseen, "ACGT\n");
    const SiteCollection collection = loadCollection(unseen, SequenceRecord{});  // "txt" of "d.txt"
    EXPECT_EQ(collection.baseName, "d");
    EXPECT_EQ(siteTexts(collection.sites), (std::vector<std::string>{"ACGT"}));
}

TEST(LoadCollection, BundledCrpSites) {
    const SiteCollection collection =
        loadCollection(std::string(XOPREX_EXAMPLES) + "/crp_sites.txt", SequenceRecord{});
    EXPECT_EQ(collection.siteCount(), 17u);
    EXPECT_EQ(collection.siteLength, 19);
    EXPECT_EQ(collection.sites.front().site, "CCTGACGGAGTTCACACTT");
    EXPECT_EQ(collection.baseName, std::string(XOPREX_EXAMPLES) + "/crp_sites");
    for (const auto& record : collection.model.positions) {
        EXPECT_DOUBLE_EQ(record.frequencies[0] + record.frequencies[1] + record.frequencies[2] +
                             record.frequencies[3],
                         1.0);
        EXPECT_TRUE(std::isfinite(record.rsequence));
        EXPECT_TRUE(std::isfinite(record.relativeEntropy));
    }
    EXPECT_GT(collection.model.totalRsequence, 0.0);
}

// ---------------------------------------------------------------- model

TEST(MotifModel, ToyCollection) {
    const SiteCollection collection = makeCollection(kToyCollection);
    const auto& positions = collection.model.positions;
    ASSERT_EQ(positions.size(), 4u);
    for (int l = 0; l < 3; ++l) {
        for (int b = 0; b < 4; ++b) {
            EXPECT_EQ(positions[l].frequencies[b], b == l ? 1.0 : 0.0);
            EXPECT_EQ(positions[l].counts[b], b == l ? 4.0 : 0.0);
        }
        EXPECT_EQ(positions[l].consensus, "ACG"[l]);
        EXPECT_EQ(formatGeneral(positions[l].rsequence), "2");
        EXPECT_NEAR(positions[l].relativeEntropy, 2 * 0.9999999524267069, 1e-15);
        EXPECT_EQ(formatGeneral(positions[l].relativeEntropy), "2");
    }
    for (int b = 0; b < 4; ++b) {
        EXPECT_EQ(positions[3].frequencies[b], 0.25);
        EXPECT_EQ(positions[3].counts[b], 1.0);
    }
    EXPECT_EQ(positions[3].consensus, 'A');
    EXPECT_EQ(formatGeneral(positions[3].rsequence), "9.51466e-008");
    EXPECT_NEAR(positions[3].rsequence, 2 - 2 * 0.9999999524267069, 1e-20);
    EXPECT_EQ(positions[3].relativeEntropy, 0.0);
    EXPECT_EQ(formatGeneral(collection.model.totalRsequence), "6");
    EXPECT_EQ(formatGeneral(collection.model.totalRelativeEntropy), "6");
    EXPECT_NEAR(collection.model.totalRsequence, 6 + 9.51466e-8, 1e-12);
    EXPECT_NEAR(collection.model.totalRelativeEntropy, 6 * 0.9999999524267069, 1e-12);
}

TEST(MotifModel, TwoBaseCodeAddsHalfToEachBase) {
    const SiteCollection collection = makeCollection({"R", "A"});
    const auto& record = collection.model.positions[0];
    EXPECT_EQ(record.counts, (std::array<double, 4>{1.5, 0.0, 0.5, 0.0}));
    EXPECT_EQ(record.frequencies, (std::array<double, 4>{0.75, 0.0, 0.25, 0.0}));
    const struct {
        const char* letter;
        std::array<double, 4> counts;
    } cases[] = {{"Y", {0, 0.5, 0, 0.5}}, {"K", {0, 0, 0.5, 0.5}}, {"M", {0.5, 0.5, 0, 0}},
                 {"S", {0, 0.5, 0.5, 0}}, {"W", {0.5, 0, 0, 0.5}}, {"N", {0.25, 0.25, 0.25, 0.25}}};
    for (const auto& c : cases) {
        EXPECT_EQ(makeCollection({c.letter}).model.positions[0].counts, c.counts) << c.letter;
    }
}

TEST(MotifModel, ThreeBaseCodeWeighsSinglePrecision033) {
    const double w = 0.33000001311302185;
    EXPECT_EQ(w, static_cast<double>(0.33f));
    const SiteCollection collection = makeCollection({"B", "A"});
    const auto& record = collection.model.positions[0];
    EXPECT_EQ(record.counts, (std::array<double, 4>{1.0, w, w, w}));
    const double total = 1.0 + w + w + w;
    EXPECT_EQ(record.frequencies[0], 1.0 / total);
    EXPECT_EQ(record.frequencies[1], w / total);
    const struct {
        const char* letter;
        std::array<double, 4> counts;
    } cases[] = {{"D", {w, 0, w, w}}, {"H", {w, w, 0, w}}, {"V", {w, w, w, 0}}};
    for (const auto& c : cases) {
        EXPECT_EQ(makeCollection({c.letter}).model.positions[0].counts, c.counts) << c.letter;
    }
    // A site of B alone: the frequencies are over 0.99, so each is 1/3.
    EXPECT_DOUBLE_EQ(makeCollection({"B"}).model.positions[0].frequencies[1], 1.0 / 3.0);
}

TEST(MotifModel, UncountedLettersAddNothing) {
    for (const char* letter : {"U", "X", "-", " ", "1", "a"}) {
        const SiteCollection collection = makeCollection({std::string(letter) + "C", "AC", "GC"});
        EXPECT_EQ(collection.model.positions[0].counts, (std::array<double, 4>{1, 0, 1, 0}))
            << letter;
        EXPECT_EQ(collection.model.positions[0].frequencies,
                  (std::array<double, 4>{0.5, 0, 0.5, 0}));
    }
}

TEST(MotifModel, ConsensusTiesGoToEarlierBase) {
    EXPECT_EQ(makeCollection({"C", "G"}).model.positions[0].consensus, 'C');
    EXPECT_EQ(makeCollection({"G", "T"}).model.positions[0].consensus, 'G');
    EXPECT_EQ(makeCollection({"T", "A"}).model.positions[0].consensus, 'A');
    EXPECT_EQ(makeCollection({"T", "T", "G"}).model.positions[0].consensus, 'T');
    EXPECT_EQ(makeCollection({"C", "T", "T"}).model.positions[0].consensus, 'T');
    EXPECT_EQ(makeCollection({"C", "C", "A"}).model.positions[0].consensus, 'C');
}

TEST(MotifModel, UsesBackgroundEntropyAndProbabilities) {
    SequenceRecord background;
    background.backgroundFrequencies = {0.3, 0.2, 0.2, 0.3};
    background.backgroundEntropy = 1.5;
    const SiteCollection collection = makeCollection({"A", "A"}, background);
    const auto& record = collection.model.positions[0];
    EXPECT_NEAR(record.rsequence, 1.5, 1e-12);
    const double lambda = 0.3010300099849701;
    EXPECT_NEAR(record.relativeEntropy, std::log10(1.0 / 0.3) / lambda, 1e-12);
}

// ---------------------------------------------------------------- background

TEST(BackgroundComposition, SixtyPercentAT) {
    SequenceRecord record;
    record.sequence = "AAATTTCCGG";
    computeBackgroundComposition(record);
    EXPECT_DOUBLE_EQ(record.backgroundFrequencies[0], 0.3);
    EXPECT_DOUBLE_EQ(record.backgroundFrequencies[1], 0.2);
    EXPECT_DOUBLE_EQ(record.backgroundFrequencies[2], 0.2);
    EXPECT_DOUBLE_EQ(record.backgroundFrequencies[3], 0.3);
    EXPECT_NEAR(record.backgroundEntropy, 1.971, 0.0005);
    const double lambda = 0.3010300099849701;
    EXPECT_NEAR(record.backgroundEntropy,
                -(0.6 * std::log10(0.3) / lambda + 0.4 * std::log10(0.2) / lambda), 1e-12);
}

TEST(BackgroundComposition, StrandSymmetricAndOverAllCharacters) {
    SequenceRecord record;
    record.sequence = "AAAAGNXX";  // N counts 0.25 each; X counts nothing but adds to len
    computeBackgroundComposition(record);
    EXPECT_EQ(record.backgroundFrequencies[0], 4.5 / 16);
    EXPECT_EQ(record.backgroundFrequencies[3], 4.5 / 16);
    EXPECT_EQ(record.backgroundFrequencies[1], 1.5 / 16);
    EXPECT_EQ(record.backgroundFrequencies[2], 1.5 / 16);
}

TEST(BackgroundComposition, ZeroProbabilityGivesFiniteValues) {
    SequenceRecord record;
    record.sequence = "CCGGCG";
    computeBackgroundComposition(record);
    EXPECT_EQ(record.backgroundFrequencies, (std::array<double, 4>{0.0, 0.5, 0.5, 0.0}));
    EXPECT_NEAR(record.backgroundEntropy, 0.9999999524267069, 1e-15);

    // The model against it stays finite: the zero divisor is taken as 1e-100.
    const SiteCollection collection = makeCollection({"AC", "CC"}, record);
    for (const auto& position : collection.model.positions) {
        EXPECT_TRUE(std::isfinite(position.rsequence));
        EXPECT_TRUE(std::isfinite(position.relativeEntropy));
    }
    const double lambda = 0.3010300099849701;
    // Position 0: f = (0.5, 0.5, 0, 0); the A term divides by 1e-100.
    const double expected =
        0.5 * std::log10(0.5 / 1e-100) / lambda + 0.5 * std::log10(0.5 / 0.5) / lambda +
        1e-100 * std::log10(1e-100 / 0.5) / lambda + 1e-100 * std::log10(1e-100 / 1e-100) / lambda;
    EXPECT_DOUBLE_EQ(collection.model.positions[0].relativeEntropy, expected);
    EXPECT_TRUE(std::isfinite(collection.model.totalRelativeEntropy));
}

TEST(BackgroundComposition, NothingCountedGivesZeroEntropy) {
    SequenceRecord record;
    record.sequence = "XXXX";
    computeBackgroundComposition(record);
    EXPECT_EQ(record.backgroundFrequencies, (std::array<double, 4>{0, 0, 0, 0}));
    EXPECT_EQ(formatGeneral(record.backgroundEntropy), "0");
    EXPECT_FALSE(std::signbit(record.backgroundEntropy));
}

TEST(BackgroundComposition, EmptySequenceKeepsBackground) {
    SequenceRecord record;
    computeBackgroundComposition(record);
    EXPECT_EQ(record.backgroundFrequencies, (std::array<double, 4>{0.25, 0.25, 0.25, 0.25}));
    EXPECT_EQ(record.backgroundEntropy, 2.0);
}
