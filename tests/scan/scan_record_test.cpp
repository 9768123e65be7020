// The scan through the record's term table against the per-window scoring
// operation and the model built from real site collections.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <new>
#include <random>

#include "motif/scoring.h"
#include "motif/site_collection.h"
#include "available_memory.h"
#include "random_text.h"
#include "scan/integrative.h"
#include "scan/reverse_complement.h"
#include "scan/scan.h"
#include "scan_test_support.h"

namespace xoprex {
namespace {

using namespace scan_detail;

using testing::availableMemory;
using testing::circularWindow;
using testing::makeRecord;
using testing::plainOptions;
using testing::scanned;

SiteCollection collectionOf(const std::vector<std::string>& sites,
                            const SequenceRecord& background) {
    SiteCollection collection;
    collection.siteLength = static_cast<int32_t>(sites.front().size());
    for (const std::string& text : sites) {
        SiteHit site(collection.siteLength);
        site.site = text;
        collection.sites.push_back(site);
    }
    buildModel(collection, background);
    return collection;
}

SiteCollection crpSites(const SequenceRecord& background) {
    return collectionOf(
        {"CCTGACGGAGTTCACACTT", "TGTAACAGAGATCACACAA", "TTTGAACCAGATCGCATTA", "TTTGCACGGCGTCACACTT",
         "TGTGAGTTAGCTCACTCAT", "TTTGTGAGTGGTCGCACAT", "TGTGAGCATGGTCATATTT", "TGTGATTCGATTCACATTT",
         "TTTGATCGTTTTCACAAAA", "TGTGAAATACCGCACAGAT", "TGCAAAGGACGTCACATTA", "TTTATTCCATGTCACACTT",
         "TGTGATGTGGTTAACCCAA", "TGTGACACAGTGCAAATTC", "TGTTAAATTGATCACGTTT", "CGTGATGTTGCTTGCAAAA",
         "CGTGATCAACCCCTCAATT"},
        background);
}

using testing::randomText;

TEST(ScanRecord, FourSiteExampleScoresTheConsensusWindow) {
    SequenceRecord record = makeRecord("ACGTTTTT");
    SiteCollection collection = collectionOf({"ACGT", "ACGA", "ACGC", "ACGG"}, record);
    Options options = plainOptions(1, 3.9);
    IntegrativeWindow window(options);
    RecordHits found = scanned(record, collection, options, window);
    // ACGT is its own reverse complement: found again on the reverse strand
    // at p + L.
    ASSERT_EQ(found.hits.size(), 2u);
    EXPECT_EQ(found.hits[0].site, "ACGT");
    EXPECT_EQ(found.hits[0].position, 0);
    EXPECT_NEAR(found.hits[0].score, 3.96578, 5e-6);
    EXPECT_FALSE(found.hits[1].strand);
    EXPECT_EQ(found.hits[1].position, 4);
    EXPECT_EQ(found.hits[1].score, found.hits[0].score);
    // With option 8 the two instances are listed once, as the forward hit.
    record = makeRecord("TTACGTTTTA");
    options.removeRedundant = true;
    found = scanned(record, collection, options, window);
    ASSERT_EQ(found.hits.size(), 1u);
    EXPECT_EQ(found.hits[0].position, 2);
    EXPECT_TRUE(found.hits[0].strand);
    // Method 2: the consensus window scores 0, which is not below a cut-off of 0.
    record = makeRecord("TTACGTTTTA");
    options = plainOptions(2, 0.0);
    found = scanned(record, collection, options, window);
    EXPECT_TRUE(found.hits.empty());
}

// Every kept score is the per-window operation's score, bit for bit, for all
// methods, on both strands, with ambiguity codes and odd characters.
TEST(ScanRecord, KeptScoresMatchThePerWindowOperation) {
    const std::string text = randomText(3000, "ACGTACGTACGTNRYKMSWBDHVUX-*", 5);
    for (int method = 1; method <= 11; ++method) {
        SequenceRecord record = makeRecord(text);
        SiteCollection collection = crpSites(record);
        Options options = plainOptions(method, lowerIsBetter(method) ? 1e300 : -1e300);
        IntegrativeWindow window(options);
        const RecordHits found = scanned(record, collection, options, window);
        const size_t reverseLength = reverseComplementText(text).size();
        ASSERT_EQ(found.hits.size(), text.size() + reverseLength) << method;
        for (const SiteHit& hit : found.hits) {
            SiteHit probe(collection.siteLength);
            probe.site = hit.site;
            scoreWindow(method, probe, makeRecord(text), collection);
            ASSERT_EQ(probe.score, hit.score) << "method " << method << " " << hit.site;
        }
    }
}

TEST(ScanRecord, PlantedSitesAreFoundWithTheirNeighbourhoods) {
    std::string text = randomText(20000, "ACGT", 11);
    const std::string site = "TGTGAGTTAGCTCACTCAT";
    const std::string reverseSite = reverseComplementText(site);
    text.replace(5000, site.size(), site);
    text.replace(12000, site.size(), reverseSite);
    for (const bool integrative : {false, true}) {
        SequenceRecord record = makeRecord(text);
        SiteCollection collection = crpSites(record);
        Options options = plainOptions(5, 8.0);
        options.integrative = integrative;
        IntegrativeWindow window(options);
        const RecordHits found = scanned(record, collection, options, window);
        bool forward = false, reverse = false;
        for (const SiteHit& hit : found.hits) {
            forward |= hit.strand && hit.position == 5000 && hit.site == site;
            reverse |= !hit.strand && hit.position == 12019 && hit.site == site;
            EXPECT_EQ(hit.localMean != 0.0, integrative);
        }
        EXPECT_TRUE(forward) << integrative;
        EXPECT_TRUE(reverse) << integrative;
        if (integrative) {
            EXPECT_NE(window.globalSum, 0.0);
        }
    }
}

// One scan of a record for several collections gives each collection the
// hits, counts and global mean of its own scan: collections of other lengths
// and methods, an integrative one and a literal cut-off keeping every window
// among them, on texts with and without letters lacking a complement,
// circular and linear, on one and two threads.
TEST(ScanRecord, OneScanForSeveralCollectionsGivesEachItsOwnHits) {
    const SequenceRecord background;
    const SiteCollection crp = crpSites(background);
    std::vector<std::string> shorter;
    for (const SiteHit& site : crp.sites) {
        shorter.emplace_back(site.site.view().substr(2, 15));
    }
    const SiteCollection crp15 = collectionOf(shorter, background);
    const std::vector<const SiteCollection*> collections = {&crp, &crp15, &crp, &crp15, &crp};
    std::vector<Options> options = {plainOptions(5, 9.0), plainOptions(5, 7.0),
                                    plainOptions(2, 25.0), plainOptions(9, -1e300),
                                    plainOptions(5, 6.0)};
    options[0].removeRedundant = true;
    options[4].integrative = true;
    for (const std::string& alphabet :
         {std::string("ACGTACGTNRYKMSWBDHVX"), std::string("ACGT-")}) {
        // Two chunks of windows for the longer one.
        for (const size_t length : {size_t{3000}, size_t{140000}}) {
            SequenceRecord record = makeRecord(randomText(length, alphabet, length));
            for (const Topology topology : {Topology::Circular, Topology::Linear}) {
                record.topology = topology;
                for (const unsigned threads : {1u, 2u}) {
                    ScanControl control;
                    control.threads = threads;
                    std::vector<RecordHits> each(collections.size()), alone(collections.size());
                    std::vector<IntegrativeWindow> windows, ownWindows;
                    std::vector<CollectionScan> scans;
                    for (size_t k = 0; k < collections.size(); ++k) {
                        windows.emplace_back(options[k]);
                        ownWindows.emplace_back(options[k]);
                    }
                    for (size_t k = 0; k < collections.size(); ++k) {
                        scans.push_back({collections[k], &options[k], &windows[k], &each[k]});
                        findHits(record, *collections[k], options[k], ownWindows[k], alone[k],
                                 control);
                    }
                    findHitsOfEach(record, scans, control);
                    for (size_t k = 0; k < collections.size(); ++k) {
                        SCOPED_TRACE(::testing::Message() << alphabet << " " << length << " "
                                                          << threads << " collection " << k);
                        ASSERT_EQ(each[k].hits.size(), alone[k].hits.size());
                        for (size_t i = 0; i < each[k].hits.size(); ++i) {
                            const SiteHit& a = each[k].hits[i];
                            const SiteHit& b = alone[k].hits[i];
                            ASSERT_EQ(a.strand, b.strand);
                            ASSERT_EQ(a.position, b.position);
                            ASSERT_EQ(a.site, b.site);
                            ASSERT_EQ(std::memcmp(&a.score, &b.score, sizeof a.score), 0);
                            ASSERT_EQ(a.localMean, b.localMean);
                        }
                        EXPECT_EQ(each[k].droppedScores, alone[k].droppedScores);
                        EXPECT_EQ(each[k].windowsScored, alone[k].windowsScored);
                        EXPECT_EQ(each[k].globalMean, alone[k].globalMean);
                        EXPECT_EQ(windows[k].globalSum, ownWindows[k].globalSum);
                    }
                    EXPECT_EQ(each[3].hits.size() + each[3].droppedScores.size(),
                              each[3].windowsScored);
                }
            }
        }
    }
}

// A record past 2^31 bases: poly-A with a CRP site planted beyond 2^31 on
// each strand, scanned on two threads; both are found at their positions.
TEST(ScanRecord, PositionsBeyondTwoToThe31AreExact) {
#ifndef __OPTIMIZE__
    GTEST_SKIP() << "scanning 4.3 billion windows takes minutes in an unoptimised build";
#endif
    constexpr size_t kLength = 2'147'500'000;
    if (availableMemory() < (size_t{8} << 30)) {
        GTEST_SKIP() << "needs about 8 GB of available memory (/proc/meminfo)";
    }
    SequenceRecord record;
    try {
        record.sequence.reserve(kLength);
    } catch (const std::bad_alloc&) {
        GTEST_SKIP() << "cannot allocate " << kLength << " bytes";
    }
    // Plain pages: 2 MB pages are quicker to fill when the system has them
    // ready, and far slower when it must first gather them.
    record.sequence.resize(kLength, 'A');
    const std::string site = "TGTGAGTTAGCTCACTCAT";
    const size_t forwardAt = 2'147'484'649;
    const size_t reverseAt = 2'147'490'000;  // found on the reverse strand at + L
    record.sequence.replace(forwardAt, site.size(), site);
    record.sequence.replace(reverseAt, site.size(), reverseComplementText(site));
    const SiteCollection collection = crpSites(makeRecord("A"));
    const double siteScore = TermTable(5, collection, record).score(site.data());
    Options options = plainOptions(5, siteScore - 1e-9);
    IntegrativeWindow window(options);
    ScanControl control;
    control.threads = 2;
    const RecordHits found = scanned(record, collection, options, window, control);
    ASSERT_EQ(found.hits.size(), 2u);
    EXPECT_TRUE(found.hits[0].strand);
    EXPECT_EQ(found.hits[0].position, static_cast<int64_t>(forwardAt));
    EXPECT_FALSE(found.hits[1].strand);
    EXPECT_EQ(found.hits[1].position, static_cast<int64_t>(reverseAt + site.size()));
    for (const SiteHit& hit : found.hits) {
        EXPECT_EQ(hit.site, site);
        EXPECT_EQ(hit.score, siteScore);
    }
    EXPECT_EQ(found.windowsScored, 2 * kLength);
}

}  // namespace
}  // namespace xoprex

namespace xoprex {
namespace {

using namespace scan_detail;

// Through the record's term table and the block kernel: every kept hit's
// means recomputed from the window scores of its strand.
TEST(ScanRecord, IntegrativeMeansAgreeWithDirectSums) {
    const std::string text = randomText(20000, "ACGT", 23);
    SequenceRecord record = makeRecord(text);
    const SiteCollection collection = crpSites(record);
    const TermTable table(5, collection, record);
    Options options = plainOptions(5, 4.0);
    options.integrative = true;
    options.upFar = -300;
    options.upNear = -20;
    options.downNear = 5;
    options.downFar = 250;
    IntegrativeWindow window(options);
    const RecordHits found = scanned(record, collection, options, window);
    ASSERT_GT(found.hits.size(), 100u);
    const std::string strands[2] = {text, reverseComplementText(text)};
    std::vector<double> scores[2];
    for (int s = 0; s < 2; ++s) {
        for (size_t start = 0; start < strands[s].size(); ++start) {
            scores[s].push_back(table.score(circularWindow(strands[s], start, 19).c_str()));
        }
    }
    const int64_t n = 20000;
    for (const SiteHit& hit : found.hits) {
        const int s = hit.strand ? 0 : 1;
        const int64_t start = hit.strand ? hit.position : n - hit.position;
        auto at = [&](int64_t offset) { return scores[s][((start + offset) % n + n) % n]; };
        double local = 0.0, up = 0.0, down = 0.0;
        for (int64_t k = -300; k <= 300; ++k) {
            local += at(k);
        }
        for (int64_t k = -300; k <= -20; ++k) {
            up += at(k);
        }
        for (int64_t k = 5; k <= 250; ++k) {
            down += at(k);
        }
        ASSERT_EQ(hit.score, at(0));
        ASSERT_NEAR(hit.localMean, local / 601, 1e-9 * std::fabs(local / 601));
        ASSERT_NEAR(hit.upMean, up / 281, 1e-9 * std::fabs(up / 281));
        ASSERT_NEAR(hit.downMean, down / 246, 1e-9 * std::fabs(down / 246));
    }
}

}  // namespace
}  // namespace xoprex
