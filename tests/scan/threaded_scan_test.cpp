// The threaded scan against the one-thread scan: the same hits in the same
// order, the same counts and neighbourhood, the record untouched (so a
// second scan of it, another collection's, finds the same hits), for long
// records (several chunks per strand), records whose reverse strand is
// shorter, and records too short for a window or a neighbourhood.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <stdexcept>
#include <string>

#include "base/tasks.h"
#include "motif/site_collection.h"
#include "random_text.h"
#include "scan/integrative.h"
#include "scan/scan.h"
#include "scan/sort.h"
#include "scan_test_support.h"

namespace xoprex {
namespace {

using namespace scan_detail;

// Keeps a few percent of random windows under method 2.
constexpr double kHeterologyCutOff = 10.0;

using testing::makeRecord;
using testing::plainOptions;

SiteCollection crpCollection(const SequenceRecord& background) {
    SiteCollection collection;
    collection.siteLength = 19;
    for (const char* text : {"CCTGACGGAGTTCACACTT", "TGTAACAGAGATCACACAA", "TTTGAACCAGATCGCATTA",
                             "TTTGCACGGCGTCACACTT", "TGTGAGTTAGCTCACTCAT", "TTTGTGAGTGGTCGCACAT",
                             "TGTGAGCATGGTCATATTT", "TGTGATTCGATTCACATTT", "TTTGATCGTTTTCACAAAA"}) {
        SiteHit site(collection.siteLength);
        site.site = text;
        collection.sites.push_back(site);
    }
    buildModel(collection, background);
    return collection;
}

std::string randomText(size_t length, uint64_t seed) {
    return testing::randomText(length, "ACGTTGCA", seed);
}

void expectSameHit(const SiteHit& a, const SiteHit& b, size_t index) {
    EXPECT_EQ(a.site, b.site) << index;
    EXPECT_EQ(a.position, b.position) << index;
    EXPECT_EQ(a.strand, b.strand) << index;
    // Bit-identical doubles (NaN aside, which these scores never are).
    EXPECT_EQ(a.score, b.score) << index;
    EXPECT_EQ(a.localMean, b.localMean) << index;
    EXPECT_EQ(a.upMean, b.upMean) << index;
    EXPECT_EQ(a.downMean, b.downMean) << index;
}

void expectSameHits(const RecordHits& a, const RecordHits& b) {
    ASSERT_EQ(a.hits.size(), b.hits.size());
    for (size_t i = 0; i < a.hits.size(); ++i) {
        expectSameHit(a.hits[i], b.hits[i], i);
    }
    EXPECT_EQ(a.windowsScored, b.windowsScored);
}

// Scans `text` with one and with `threads` threads and compares everything.
void expectSameScan(const std::string& text, Options options, unsigned threads) {
    const SequenceRecord record = makeRecord(text);
    const SiteCollection collection = crpCollection(record);
    options.upFar = -50;
    options.upNear = -1;
    options.downNear = 1;
    options.downFar = 50;
    IntegrativeWindow windowOne(options), windowMany(options);
    RecordHits one, many;
    ScanControl control;
    scanRecord(record, collection, options, windowOne, one, control);
    control.threads = threads;
    scanRecord(record, collection, options, windowMany, many, control);
    if (text.size() > 100000) {
        EXPECT_GT(one.hits.size(), 100u);
    }
    expectSameHits(one, many);
    EXPECT_EQ(windowOne.globalSum, windowMany.globalSum);
    EXPECT_EQ(record.sequence, text);

    // The record only read: a second scan of it finds the same hits.
    RecordHits again;
    IntegrativeWindow window(options);
    scanRecord(record, collection, options, window, again, control);
    expectSameHits(again, one);
    EXPECT_EQ(window.globalSum, windowOne.globalSum);
}

TEST(ThreadedScan, SameHitsAndStateAsOneThread) {
    // 300,000 windows per strand: three chunks, the last one partial.
    const std::string longText = randomText(300000, 1);
    std::string lowerCase = randomText(140000, 2);
    for (size_t i = 5; i < lowerCase.size(); i += 1013) {
        lowerCase[i] = 'n';  // dropped from the reverse strand
    }
    for (const int method : {1, 2, 5}) {
        for (const bool redundant : {false, true}) {
            for (const bool integrative : {false, true}) {
                Options options = plainOptions(method, method == 2 ? kHeterologyCutOff : 4.0);
                options.removeRedundant = redundant;
                options.integrative = integrative;
                SCOPED_TRACE(::testing::Message() << "method " << method << " redundant "
                                                  << redundant << " integrative " << integrative);
                expectSameScan(longText, options, 2);
                expectSameScan(lowerCase, options, 3);
                expectSameScan("ACGTACGTACGTACGTACGTACGT", options, 2);  // shorter than h + 1
                expectSameScan("ACGTACG", options, 2);                   // shorter than L
                expectSameScan("", options, 2);
            }
        }
    }
}

TEST(ThreadedScan, SortedHitsAreTheSameWhateverTheThreads) {
    // A repeated unit gives many equal scores, so the tie rule (list order)
    // is exercised along with both sort keys.
    std::string repeats;
    const std::string unit = randomText(78, 3) + "TGTGAGCTAGATCACATTT";
    while (repeats.size() < 150000) {
        repeats += unit;
    }
    for (size_t i = 0; i < repeats.size(); i += 4999) {
        repeats[i] = 'G';
    }
    for (const std::string& text : {randomText(200000, 4), repeats}) {
        for (const int method : {2, 5}) {
            for (const bool byScore : {true, false}) {
                for (const bool redundant : {false, true}) {
                    Options options = plainOptions(method, method == 2 ? kHeterologyCutOff : 4.0);
                    options.sortByScore = byScore;
                    options.removeRedundant = redundant;
                    const SequenceRecord record = makeRecord(text);
                    const SiteCollection collection = crpCollection(record);
                    IntegrativeWindow window(options);
                    RecordHits sortedAfter;
                    scanRecord(record, collection, options, window, sortedAfter);
                    sortHits(options, sortedAfter);
                    for (const unsigned threads : {1u, 2u}) {
                        SCOPED_TRACE(::testing::Message()
                                     << "method " << method << " by score " << byScore
                                     << " redundant " << redundant << " threads " << threads);
                        // Sorted as they are kept (a plain scan's hits).
                        RecordHits handed;
                        ScanControl control;
                        control.threads = threads;
                        findHits(record, collection, options, window, handed, control);
                        EXPECT_GT(handed.hits.size(), 50u);
                        expectSameHits(handed, sortedAfter);
                    }
                }
            }
        }
    }
}

TEST(ThreadedScan, TaskRunnerRunsEveryTaskOnceAndPassesOnTheFirstError) {
    std::vector<int> runs(1000, 0);
    runTasks(runs.size(), 2, [&runs](size_t index, unsigned worker) {
        EXPECT_LT(worker, 2u);
        ++runs[index];
    });
    EXPECT_EQ(std::count(runs.begin(), runs.end(), 1), 1000);
    runTasks(0, 2, [](size_t, unsigned) { ADD_FAILURE(); });
    // One thread: the tasks after the failing one never start.
    std::atomic<size_t> started{0};
    const auto failAtThree = [&started](size_t index, unsigned) {
        ++started;
        if (index == 3) {
            throw std::runtime_error("task failed");
        }
    };
    EXPECT_THROW(runTasks(1000, 1, failAtThree), std::runtime_error);
    EXPECT_EQ(started.load(), 4u);
    // Two threads: the error still reaches the caller.
    EXPECT_THROW(runTasks(1000, 2, failAtThree), std::runtime_error);
    EXPECT_GE(resolveThreadCount(0), 1u);
    EXPECT_EQ(resolveThreadCount(3), 3u);
}

}  // namespace
}  // namespace xoprex

namespace xoprex {
namespace {

using namespace scan_detail;

TEST(ScanCache, RecordsWithOtherBackgroundsGetTheirOwnTable) {
    // One cache over records with alternating backgrounds gives the hits of
    // a fresh table for each record.
    const std::string text = randomText(20000, 7);
    SequenceRecord skewed = makeRecord(text);
    skewed.backgroundFrequencies = {0.4, 0.1, 0.1, 0.4};
    skewed.backgroundEntropy = 1.7;
    const SiteCollection collection = crpCollection(makeRecord(text));
    const Options options = plainOptions(7, 2.0);  // a background-dependent method
    IntegrativeWindow window(options);
    ScanCache cache;
    double sums[2] = {0.0, 0.0};
    for (int round = 0; round < 4; ++round) {
        const SequenceRecord record = round % 2 == 0 ? makeRecord(text) : skewed;
        RecordHits withCache, fresh;
        scanRecord(record, collection, options, window, withCache, {}, &cache);
        scanRecord(record, collection, options, window, fresh);
        expectSameHits(withCache, fresh);
        sums[round % 2] = 0.0;
        for (const SiteHit& hit : fresh.hits) {
            sums[round % 2] += hit.score;
        }
    }
    EXPECT_NE(sums[0], sums[1]);  // the backgrounds do change the scores
}

}  // namespace
}  // namespace xoprex
