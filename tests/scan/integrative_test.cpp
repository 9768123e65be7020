#include "scan/integrative.h"

#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "base/errors.h"
#include "scan/detail/strand_scan.h"
#include "scan/reverse_complement.h"
#include "scan_test_support.h"

namespace xoprex {
namespace {

using namespace scan_detail;

using testing::circularWindow;
using testing::makeRecord;

Options intervals(int32_t x, int32_t y, int32_t i, int32_t j, bool integrative = true) {
    Options options;
    options.upFar = x;
    options.upNear = y;
    options.downNear = i;
    options.downFar = j;
    options.integrative = integrative;
    options.removeRedundant = false;
    return options;
}

std::string fatalMessage(const Options& options) {
    try {
        IntegrativeWindow window(options);
    } catch (const InputError& error) {
        return error.what();
    }
    return "";
}

TEST(IntegrativeWindow, SizesFromTheIntervals) {
    const IntegrativeWindow window(intervals(-10, -1, 1, 10));
    EXPECT_EQ(window.size(), 21u);
    EXPECT_EQ(window.halfWidth(), 10u);
    EXPECT_EQ(window.upFirst(), 0u);
    EXPECT_EQ(window.upLast(), 9u);
    EXPECT_EQ(window.downFirst(), 11u);
    EXPECT_EQ(window.downLast(), 20u);
    EXPECT_EQ(window.upCount(), 10u);
    EXPECT_EQ(window.downCount(), 10u);

    const IntegrativeWindow defaults(Options{});
    EXPECT_EQ(defaults.size(), 1001u);
    EXPECT_EQ(defaults.halfWidth(), 500u);

    const IntegrativeWindow shared(intervals(-4, 0, 0, 2));  // I = Y: both count the centre
    EXPECT_EQ(shared.size(), 9u);
    EXPECT_EQ(shared.upLast(), 4u);
    EXPECT_EQ(shared.downFirst(), 4u);
    EXPECT_EQ(shared.downLast(), 6u);
}

TEST(IntegrativeWindow, InvalidIntervalsAreFatalInOrderEvenWithTheModeOff) {
    const std::string overlap =
        "Error: overlapping intervals for integration. Please check Options file!";
    const std::string upstream = "Error in upstream mean interval. Please check Options file!";
    const std::string downstream = "Error in downstream mean interval. Please check Options file!";
    for (const bool on : {true, false}) {
        EXPECT_EQ(fatalMessage(intervals(-3, -3, 1, 10, on)), upstream);
        EXPECT_EQ(fatalMessage(intervals(-30, 2, 1, 10, on)), overlap);
        EXPECT_EQ(fatalMessage(intervals(5, 2, 1, 0, on)), overlap);  // checked first
        EXPECT_EQ(fatalMessage(intervals(-5, -1, 3, 3, on)), downstream);
        EXPECT_EQ(fatalMessage(intervals(-5, -6, 3, 2, on)), upstream);  // before downstream
        EXPECT_EQ(fatalMessage(intervals(INT32_MIN, -1, 1, 10, on)), upstream);
    }
    EXPECT_FALSE(std::filesystem::exists("OprexLog.txt"));
}

TEST(RelaxCutOff, AlwaysAdmitsMoreWindows) {
    Options options;
    options.relaxation = 1.5;
    options.method = 2;
    options.cutOff = 0.6;
    relaxCutOff(options);
    EXPECT_DOUBLE_EQ(options.cutOff, 0.9);
    options.method = 1;
    options.cutOff = 6.0;
    relaxCutOff(options);
    EXPECT_DOUBLE_EQ(options.cutOff, 4.0);
    // Negative cut-offs move away from zero for higher-is-better methods and
    // towards zero for the heterology indices.
    options.method = 10;
    options.cutOff = -30.0;
    relaxCutOff(options);
    EXPECT_DOUBLE_EQ(options.cutOff, -45.0);
    options.method = 1;
    options.cutOff = -6.0;
    relaxCutOff(options);
    EXPECT_DOUBLE_EQ(options.cutOff, -9.0);
    options.method = 3;
    options.cutOff = -0.6;
    relaxCutOff(options);
    EXPECT_DOUBLE_EQ(options.cutOff, -0.4);
    options.cutOff = 0.0;
    relaxCutOff(options);
    EXPECT_EQ(options.cutOff, 0.0);
}

TEST(RescoreHits, RatioOfTheUpMeanToTheChosenReference) {
    RecordHits record;
    record.globalMean = -4.0;
    SiteHit hit(4);
    hit.score = 3.0;
    hit.upMean = -2.0;
    hit.localMean = 4.0;
    hit.downMean = -8.0;
    record.hits = {hit};
    Options options;
    for (const int method : {1, 0, 7}) {  // anything but 2 and 3 acts as 1
        options.rescoreMethod = method;
        record.hits = {hit};
        rescoreHits(record, options);
        EXPECT_DOUBLE_EQ(record.hits[0].score, 6.0) << method;  // 1 / (-2 / -4) = 2
    }
    options.rescoreMethod = 2;
    record.hits = {hit};
    rescoreHits(record, options);
    EXPECT_DOUBLE_EQ(record.hits[0].score, -1.5);  // -2 / 4, one negative: no reciprocal
    options.rescoreMethod = 3;
    record.hits = {hit};
    rescoreHits(record, options);
    EXPECT_DOUBLE_EQ(record.hits[0].score, 12.0);  // 1 / (-2 / -8) = 4
    EXPECT_EQ(record.hits[0].upMean, -2.0);
    record.globalMean = 0.0;
    options.rescoreMethod = 1;
    record.hits = {hit};
    rescoreHits(record, options);
    EXPECT_TRUE(std::isinf(record.hits[0].score));
}

// Scores every window by the sum of fixed random terms per position and
// letter, like the scan's term table.
struct RandomTermScorer {
    int length;
    std::vector<double> terms;
    RandomTermScorer(int l, uint64_t seed) : length(l), terms(static_cast<size_t>(l) * 256) {
        std::mt19937_64 random(seed);
        std::uniform_real_distribution<double> value(-3.0, 2.0);
        for (double& t : terms) {
            t = value(random);
        }
    }
    double operator()(const char* window) const {
        double sum = 0.0;
        for (int l = 0; l < length; ++l) {
            sum += terms[static_cast<size_t>(l) * 256 + static_cast<unsigned char>(window[l])];
        }
        return sum;
    }
};

RecordHits scanIntegrative(const std::string& text, int length, const Options& options,
                           IntegrativeWindow& window, const RandomTermScorer& scorer) {
    RecordHits found;
    scanTextWith(text, length, scorer, options, window, found);
    return found;
}

TEST(IntegrativeScan, HundredBasesGiveCandidatesStartingAt0To98) {
    Options options = intervals(-3, -1, 1, 3);
    options.method = 1;
    options.cutOff = 0.0;
    std::mt19937 random(7);
    std::string text;
    for (int i = 0; i < 100; ++i) {
        text += "ACGT"[random() % 4];
    }
    IntegrativeWindow window(options);
    RecordHits record;
    scanTextWith(
        text, 5, [](const char*) { return 1.0; }, options, window, record);
    ASSERT_EQ(record.hits.size(), 198u);
    const std::string reverse = reverseComplementText(text);
    for (int s = 0; s < 99; ++s) {
        EXPECT_EQ(record.hits[s].position, s);
        EXPECT_EQ(record.hits[s].site, circularWindow(text, s, 5));
        EXPECT_TRUE(record.hits[s].strand);
        EXPECT_FALSE(record.hits[99 + s].strand);
        EXPECT_EQ(record.hits[99 + s].position, 100 - s);
        EXPECT_EQ(record.hits[99 + s].site, circularWindow(reverse, s, 5));
        EXPECT_DOUBLE_EQ(record.hits[s].localMean, 1.0);
    }
}

TEST(IntegrativeScan, StrandsShorterThanTheHalfWidthAreSkipped) {
    Options options = intervals(-10, -1, 1, 10);
    options.cutOff = -1e300;
    IntegrativeWindow window(options);
    const RandomTermScorer scorer(4, 3);
    for (const std::string text : {"ACGTACGTAC", "ACGTACGTACG"}) {  // 10 and 11 = h + 1
        const RecordHits record = scanIntegrative(text, 4, options, window, scorer);
        EXPECT_EQ(record.hits.empty(), text.size() < 11) << text;
        for (const SiteHit& hit : record.hits) {
            EXPECT_EQ(hit.site.size(), 4u);
        }
    }
}

// Lengths around L, h + 1 and L + h (where the wrap is shorter than L + h):
// every candidate is a true circular window of its strand, within range.
TEST(IntegrativeScan, ShortStrandsStayInsideTheText) {
    Options options = intervals(-10, -2, 3, 6);
    options.cutOff = -1e300;
    IntegrativeWindow window(options);
    const RandomTermScorer scorer(5, 9);
    std::mt19937 random(3);
    for (size_t n = 1; n <= 40; ++n) {
        std::string text;
        for (size_t i = 0; i < n; ++i) {
            text += "ACGTN"[random() % 5];
        }
        const RecordHits record = scanIntegrative(text, 5, options, window, scorer);
        const std::string strands[2] = {text, reverseComplementText(text)};
        EXPECT_EQ(record.hits.empty(), n < 11) << n;
        for (const SiteHit& hit : record.hits) {
            const std::string& strand = strands[hit.strand ? 0 : 1];
            const int64_t size = static_cast<int64_t>(strand.size());
            const int64_t start = hit.strand ? hit.position : size - hit.position;
            ASSERT_GE(start, 0) << n;
            ASSERT_LT(start, size - 1) << n;
            EXPECT_EQ(hit.site, circularWindow(strand, static_cast<size_t>(start), 5)) << n;
            EXPECT_EQ(hit.score, scorer(hit.site.data())) << n;
        }
    }
}

double relativeError(double actual, double expected) {
    return std::fabs(actual - expected) / std::max(1e-300, std::fabs(expected));
}

// Recomputes every kept hit's three means from the window scores of its
// strand and checks the running means against them.
TEST(IntegrativeScan, RunningMeansAgreeWithDirectSums) {
    const int length = 12;
    std::mt19937 random(99);
    std::string text;
    for (int i = 0; i < 20000; ++i) {
        text += "ACGTACGTN"[random() % 9];
    }
    const RandomTermScorer scorer(length, 17);
    for (const auto& [x, y, i, j] : std::vector<std::array<int32_t, 4>>{
             {-500, -1, 1, 500}, {-40, -7, -3, 25}, {-6, 0, 0, 90}}) {
        Options options = intervals(x, y, i, j);
        options.cutOff = -4.0;  // keeps a good share of the windows
        IntegrativeWindow window(options);
        const RecordHits record = scanIntegrative(text, length, options, window, scorer);
        ASSERT_GT(record.hits.size(), 1000u);

        const std::string strands[2] = {text, reverseComplementText(text)};
        std::vector<double> scores[2];
        for (int s = 0; s < 2; ++s) {
            for (size_t start = 0; start < strands[s].size(); ++start) {
                scores[s].push_back(scorer(circularWindow(strands[s], start, length).c_str()));
            }
        }
        const int64_t h = window.halfWidth();
        for (const SiteHit& hit : record.hits) {
            const int s = hit.strand ? 0 : 1;
            const int64_t n = static_cast<int64_t>(strands[s].size());
            const int64_t start = hit.strand ? hit.position : n - hit.position;
            auto at = [&](int64_t offset) { return scores[s][((start + offset) % n + n) % n]; };
            double local = 0.0, up = 0.0, down = 0.0;
            for (int64_t k = -h; k <= h; ++k) {
                local += at(k);
            }
            for (int64_t k = x; k <= y; ++k) {
                up += at(k);
            }
            for (int64_t k = i; k <= j; ++k) {
                down += at(k);
            }
            ASSERT_EQ(hit.score, at(0));
            ASSERT_LT(relativeError(hit.localMean, local / window.size()), 1e-9);
            ASSERT_LT(relativeError(hit.upMean, up / window.upCount()), 1e-9);
            ASSERT_LT(relativeError(hit.downMean, down / window.downCount()), 1e-9);
            ASSERT_EQ(hit.site, circularWindow(strands[s], start, length));
        }
        // The global sum covers the reverse pass only: every window but the
        // one at h, each divided by the text length N + L + h.
        const double divisor = static_cast<double>(strands[1].size() + length + h);
        double global = 0.0;
        for (size_t start = 0; start < scores[1].size(); ++start) {
            if (static_cast<int64_t>(start) != h) {
                global += scores[1][start] / divisor;
            }
        }
        EXPECT_LT(relativeError(window.globalSum, global), 1e-9);
    }
}

}  // namespace
}  // namespace xoprex

namespace xoprex {
namespace {

using namespace scan_detail;

// The integrative scan as literally described, with means summed directly:
// candidates are the centres of the scanned windows h + 1 .. T - L - 1 of a
// strand read with its wrap (T = N + min(L + h, N)).
// The running means of the forward pass, bit for bit, against the slide
// written out with a plain queue, for neighbourhoods wider than one slide
// block (the history moves to its front between blocks).
TEST(IntegrativeScan, WideNeighbourhoodsKeepTheExactSlideOrder) {
    const int length = 12;
    std::mt19937 random(5);
    std::string text;
    for (int i = 0; i < 30000; ++i) {
        text += "ACGT"[random() % 4];
    }
    const RandomTermScorer scorer(length, 23);
    for (const auto& [x, y, i, j] :
         std::vector<std::array<int32_t, 4>>{{-2048, -1, 1, 2048}, {-5000, -100, 200, 3000}}) {
        Options options = intervals(x, y, i, j);
        options.cutOff = -4.0;
        IntegrativeWindow window(options);
        const RecordHits record = scanIntegrative(text, length, options, window, scorer);

        const int64_t n = static_cast<int64_t>(text.size());
        const int64_t h = window.halfWidth();
        const double w = window.size(), upCount = window.upCount();
        const double downCount = window.downCount();
        auto score = [&](int64_t start) {
            return scorer(circularWindow(text, static_cast<size_t>((start % n + n) % n),
                                         static_cast<size_t>(length))
                              .c_str());
        };
        std::deque<double> queue;
        double local = 0.0, up = 0.0, down = 0.0;
        for (int64_t k = 0; k <= 2 * h; ++k) {
            queue.push_back(score(k - h));
            local += queue.back();
            up += window.upFirst() <= k && k <= window.upLast() ? queue.back() : 0.0;
            down += window.downFirst() <= k && k <= window.downLast() ? queue.back() : 0.0;
        }
        local = local / w;
        up = up / upCount;
        down = down / downCount;
        size_t hit = 0;
        const int64_t end = n + std::min<int64_t>(length + h, n) - length;
        for (int64_t c = h + 1; c < end; ++c) {
            if (queue[h] > options.cutOff) {
                ASSERT_LT(hit, record.hits.size());
                const SiteHit& got = record.hits[hit++];
                ASSERT_TRUE(got.strand);
                ASSERT_EQ(got.position, c - h - 1);
                ASSERT_EQ(got.score, queue[h]);
                ASSERT_EQ(got.localMean, local);
                ASSERT_EQ(got.upMean, up);
                ASSERT_EQ(got.downMean, down);
            }
            local -= queue[0] / w;
            up -= queue[window.upFirst()] / upCount;
            down -= queue[window.downFirst()] / downCount;
            queue.push_back(score(c));
            queue.pop_front();
            local += queue[2 * h] / w;
            up += queue[window.upLast()] / upCount;
            down += queue[window.downLast()] / downCount;
        }
        ASSERT_GT(hit, 1000u);
        ASSERT_TRUE(hit == record.hits.size() || !record.hits[hit].strand);
    }
}

std::vector<SiteHit> literalIntegrative(const std::string& text, int length,
                                        const testing::TableScorer& scorer, const Options& options,
                                        const IntegrativeWindow& window) {
    std::vector<SiteHit> hits;
    const bool lower = lowerIsBetter(options.method);
    const int64_t h = window.halfWidth();
    const std::string strands[2] = {text, reverseComplementText(text)};
    for (int pass = 0; pass < 2; ++pass) {
        const std::string& strand = strands[pass];
        const int64_t n = static_cast<int64_t>(strand.size());
        if (n < length || n < h + 1) {
            continue;
        }
        const int64_t textLength = n + std::min<int64_t>(length + h, n);
        auto score = [&](int64_t start) {
            return scorer(circularWindow(strand, static_cast<size_t>((start % n + n) % n),
                                         static_cast<size_t>(length))
                              .c_str());
        };
        for (int64_t c = h + 1; c < textLength - length; ++c) {
            const int64_t s = c - h - 1;
            double local = 0.0, up = 0.0, down = 0.0;
            for (int64_t k = -h; k <= h; ++k) {
                local += score(s + k);
            }
            for (int64_t k = options.upFar; k <= options.upNear; ++k) {
                up += score(s + k);
            }
            for (int64_t k = options.downNear; k <= options.downFar; ++k) {
                down += score(s + k);
            }
            SiteHit hit(length);
            hit.site = circularWindow(strand, static_cast<size_t>(s), static_cast<size_t>(length));
            hit.strand = pass == 0;
            hit.position = static_cast<int32_t>(pass == 0 ? s : n - s);
            hit.score = score(s);
            hit.localMean = local / window.size();
            hit.upMean = up / window.upCount();
            hit.downMean = down / window.downCount();
            testing::keepLiterally(hits, hit, options, lower);
        }
    }
    return hits;
}

TEST(IntegrativeScan, AgreesWithTheLiteralScanOnRandomSequences) {
    std::mt19937_64 random(1234);
    const std::string alphabet = "ACGTACGTN-";
    size_t kept = 0;
    for (int trial = 0; trial < 200; ++trial) {
        const int length = 1 + static_cast<int>(random() % 5);
        std::string text(1 + random() % 45, 'A');
        for (char& c : text) {
            c = alphabet[random() % alphabet.size()];
        }
        testing::TableScorer scorer{length, {}, 0.0};
        for (int k = 0; k < 40; ++k) {
            std::string window;
            for (int l = 0; l < length; ++l) {
                window += "ACGTN"[random() % 5];
            }
            scorer.scores[window] = static_cast<double>(random() % 5);
        }
        const bool wide = trial % 2 == 0;
        Options options = wide ? intervals(-6, -1, 1, 3) : intervals(-2, 1, 1, 4);
        options.method = trial % 3 == 0 ? 2 : 1;
        options.cutOff = 2.0;
        options.removeRedundant = trial % 4 < 2;
        IntegrativeWindow window(options);
        RecordHits record;
        scanTextWith(text, length, scorer, options, window, record);
        const std::vector<SiteHit> want = literalIntegrative(text, length, scorer, options, window);
        SCOPED_TRACE(::testing::Message() << "trial " << trial << " text " << text);
        ASSERT_EQ(record.hits.size(), want.size());
        for (size_t i = 0; i < want.size(); ++i) {
            const SiteHit& got = record.hits[i];
            EXPECT_EQ(got.site, want[i].site);
            EXPECT_EQ(got.position, want[i].position);
            EXPECT_EQ(got.strand, want[i].strand);
            EXPECT_EQ(got.score, want[i].score);
            EXPECT_NEAR(got.localMean, want[i].localMean, 1e-12);
            EXPECT_NEAR(got.upMean, want[i].upMean, 1e-12);
            EXPECT_NEAR(got.downMean, want[i].downMean, 1e-12);
        }
        kept += want.size();
    }
    EXPECT_GT(kept, 500u);
}

}  // namespace
}  // namespace xoprex
