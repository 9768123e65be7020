#include "scan/detail/strand_scan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "base/errors.h"
#include "scan/reverse_complement.h"
#include "scan_test_support.h"

namespace xoprex {
namespace {

using namespace scan_detail;

using testing::circularWindow;
using testing::makeRecord;
using testing::plainOptions;
using testing::TableScorer;

// Scans with every window scoring `score`.
RecordHits scanAll(const std::string& text, int length, const Options& options,
                   double score = 1.0) {
    IntegrativeWindow window(options);
    const auto scorer = [score](const char*) { return score; };
    RecordHits found;
    scanTextWith(text, length, scorer, options, window, found);
    return found;
}

// Scans with `scorer`.
template <class Scorer>
RecordHits scanWith(const std::string& text, int length, const Scorer& scorer,
                    const Options& options, const ScanControl& control = {}) {
    IntegrativeWindow window(options);
    RecordHits found;
    scanTextWith(text, length, scorer, options, window, found, control);
    return found;
}

TEST(ReverseComplement, ComplementsTheLetterTableAndDropsTheRest) {
    EXPECT_EQ(reverseComplementText("ACGTBVDHKMRYSWNX"), "NXWSRYKMDHBVACGT");
    EXPECT_EQ(reverseComplementText("ACGTN"), "XACGT");
    EXPECT_EQ(reverseComplementText("AC-g T1*G"), "CAGT");
    EXPECT_EQ(reverseComplementText(""), "");
    EXPECT_EQ(reverseComplementText("AACG"), "CGTT");
}

TEST(StrandScan, TenBasesGiveTenCircularWindowsPerStrand) {
    const std::string text = "ACGTTGCAAC";
    const RecordHits found = scanAll(text, 4, plainOptions(1, 0.0));
    ASSERT_EQ(found.hits.size(), 20u);
    const std::string reverse = reverseComplementText(text);
    for (int i = 0; i < 10; ++i) {
        const SiteHit& forward = found.hits[i];
        EXPECT_TRUE(forward.strand);
        EXPECT_EQ(forward.position, i);
        EXPECT_EQ(forward.site, circularWindow(text, i, 4));
        const SiteHit& back = found.hits[10 + i];
        EXPECT_FALSE(back.strand);
        EXPECT_EQ(back.position, 10 - i);
        EXPECT_EQ(back.site, circularWindow(reverse, i, 4));
    }
    EXPECT_EQ(found.hits[7].site, "AACA");  // bases 7, 8, 9, 0
}

TEST(StrandScan, ReverseWindowCoversTheBasesBeforeItsPosition) {
    // Reverse window i covers bases N - L - i .. N - 1 - i of the given strand.
    const std::string text = "ACGTTGCAACGGATC";
    const RecordHits found = scanAll(text, 5, plainOptions(1, 0.0));
    for (const SiteHit& hit : found.hits) {
        if (hit.strand) {
            continue;
        }
        const size_t n = text.size();
        const size_t first = (hit.position + n - 5) % n;
        EXPECT_EQ(hit.site, reverseComplementText(circularWindow(text, first, 5)));
    }
}

TEST(StrandScan, PalindromeIsFoundOnTheReverseStrandAtPPlusL) {
    const std::string text = "TTTTTGAATTCTTTTACA";
    const Options options = plainOptions(1, 0.5);
    const TableScorer scorer{6, {{"GAATTC", 1.0}}};
    const RecordHits found = scanWith(text, 6, scorer, options);
    ASSERT_EQ(found.hits.size(), 2u);
    EXPECT_TRUE(found.hits[0].strand);
    EXPECT_EQ(found.hits[0].position, 5);
    EXPECT_FALSE(found.hits[1].strand);
    EXPECT_EQ(found.hits[1].position, 11);
    EXPECT_EQ(found.hits[1].site, "GAATTC");
}

TEST(StrandScan, ScoresEqualToTheCutOffOrNaNNeverPass) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const int method : {1, 2, 3, 5, 10}) {
        const RecordHits found = scanAll("ACGTACGTAC", 4, plainOptions(method, 0.75), 0.75);
        EXPECT_TRUE(found.hits.empty()) << "method " << method;
        const RecordHits other = scanAll("ACGTACGTAC", 4, plainOptions(method, 0.75), nan);
        EXPECT_TRUE(other.hits.empty()) << "method " << method;
    }
    EXPECT_TRUE(passesCutOff(0.5, 0.75, true));
    EXPECT_FALSE(passesCutOff(0.5, 0.75, false));
    EXPECT_TRUE(passesCutOff(1.0, 0.75, false));
    EXPECT_FALSE(passesCutOff(1.0, 0.75, true));
}

TEST(StrandScan, NAndXSwapInReverseSites) {
    const RecordHits found = scanAll("NNNNXXXX", 4, plainOptions(1, 0.0));
    ASSERT_EQ(found.hits.size(), 16u);
    EXPECT_EQ(found.hits[0].site, "NNNN");
    EXPECT_EQ(found.hits[8].site, "NNNN");  // reverse of XXXX
    EXPECT_EQ(found.hits[12].site, "XXXX");
}

TEST(StrandScan, DroppedCharactersShortenTheReverseStrand) {
    const std::string text = "ACGT-ACGTT";
    const RecordHits found = scanAll(text, 3, plainOptions(1, 0.0));
    ASSERT_EQ(found.hits.size(), 19u);  // 10 forward, 9 reverse
    const std::string reverse = reverseComplementText(text);
    ASSERT_EQ(reverse.size(), 9u);
    for (int i = 0; i < 9; ++i) {
        const SiteHit& hit = found.hits[10 + i];
        EXPECT_EQ(hit.position, 9 - i);
        EXPECT_EQ(hit.site, circularWindow(reverse, i, 3));
    }
}

TEST(StrandScan, DroppedCharactersInTheWrapLoseNoReverseBase) {
    // The wrap "A-C" complements to two characters only: exactly those are
    // removed before the reverse pass, so the reverse strand is whole.
    const std::string text = "A-CGTTGCA";
    const RecordHits found = scanAll(text, 3, plainOptions(1, 0.0));
    const std::string reverse = reverseComplementText(text);
    ASSERT_EQ(reverse.size(), 8u);
    ASSERT_EQ(found.hits.size(), 17u);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(found.hits[9 + i].site, circularWindow(reverse, i, 3));
        EXPECT_EQ(found.hits[9 + i].position, 8 - i);
    }
}

TEST(StrandScan, SequencesShorterThanTheSiteYieldNoWindows) {
    for (const std::string text : {"A", "ACG", "ACGTAC"}) {
        const RecordHits found = scanAll(text, 7, plainOptions(1, 0.0));
        EXPECT_TRUE(found.hits.empty()) << text;
    }
    // Exactly L bases: every rotation of the circle, on both strands.
    const RecordHits found = scanAll("ACGTACG", 7, plainOptions(1, 0.0));
    ASSERT_EQ(found.hits.size(), 14u);
    EXPECT_EQ(found.hits[6].site, "GACGTAC");
    EXPECT_EQ(found.hits[7].site, "CGTACGT");
    EXPECT_EQ(found.hits[7].position, 7);
}

TEST(StrandScan, Option8PairsTheTwoInstancesOfASite) {
    // GAATTA on the given strand reads TAATTC on the reverse strand.
    const std::string text = "CCCCCGAATTACCCCCCCCCAAAAAAC";
    const TableScorer scorer{6, {{"GAATTA", 7.2}, {"TAATTC", 7.2}, {"AAAAAA", 9.0}}};
    Options options = plainOptions(1, 5.0);
    options.removeRedundant = true;
    {
        const RecordHits found = scanWith(text, 6, scorer, options);
        ASSERT_EQ(found.hits.size(), 2u);  // GAATTA once, then AAAAAA
        EXPECT_TRUE(found.hits[0].strand);
        EXPECT_EQ(found.hits[0].position, 5);
        EXPECT_EQ(found.hits[0].score, 7.2);
    }
    TableScorer better = scorer;
    better.scores["TAATTC"] = 7.5;
    {
        const RecordHits found = scanWith(text, 6, better, options);
        ASSERT_EQ(found.hits.size(), 2u);
        EXPECT_FALSE(found.hits[0].strand);
        EXPECT_EQ(found.hits[0].position, 11);
        EXPECT_EQ(found.hits[0].site, "TAATTC");
        EXPECT_EQ(found.hits[0].score, 7.5);
        EXPECT_EQ(found.hits[1].site, "AAAAAA");
    }
    options.removeRedundant = false;
    {
        const RecordHits found = scanWith(text, 6, scorer, options);
        ASSERT_EQ(found.hits.size(), 3u);
        EXPECT_EQ(found.hits[0].position, 5);
        EXPECT_FALSE(found.hits[2].strand);
        EXPECT_EQ(found.hits[2].position, 11);
    }
}

TEST(StrandScan, ReportsProgressAndHonoursCancellation) {
    std::string text(300000, 'A');
    const Options options = plainOptions(1, 2.0);
    std::vector<double> shares;
    ScanControl control;
    control.onProgress = [&shares](double share) { shares.push_back(share); };
    const auto one = [](const char*) { return 1.0; };
    scanWith(text, 5, one, options, control);
    ASSERT_GE(shares.size(), 5u);
    EXPECT_LT(shares.size(), 100u);
    for (size_t i = 1; i < shares.size(); ++i) {
        EXPECT_GE(shares[i], shares[i - 1]);
    }
    EXPECT_DOUBLE_EQ(shares.back(), 1.0);

    std::atomic<bool> cancel{false};
    ScanControl stopping;
    stopping.cancel = &cancel;
    stopping.onProgress = [&cancel](double share) {
        if (share > 0.2) {
            cancel = true;
        }
    };
    EXPECT_THROW(scanWith(text, 5, one, options, stopping), SearchCancelled);
}

}  // namespace
}  // namespace xoprex

namespace xoprex {
namespace {

using namespace scan_detail;

// The scan as literally described: every circular window of each strand,
// the cut-off test, and the redundancy rule walking the list.
std::vector<SiteHit> literalScan(const std::string& text, int length, const TableScorer& scorer,
                                 const Options& options, std::vector<SiteHit> hits = {}) {
    const bool lower = lowerIsBetter(options.method);
    const std::string strands[2] = {text, reverseComplementText(text)};
    for (int pass = 0; pass < 2; ++pass) {
        const std::string& strand = strands[pass];
        const size_t n = strand.size();
        if (n < static_cast<size_t>(length)) {
            continue;
        }
        for (size_t i = 0; i < n; ++i) {
            SiteHit hit(length);
            hit.site = circularWindow(strand, i, static_cast<size_t>(length));
            hit.strand = pass == 0;
            hit.position = static_cast<int32_t>(pass == 0 ? i : n - i);
            hit.score = scorer(hit.site.data());
            testing::keepLiterally(hits, hit, options, lower);
        }
    }
    return hits;
}

void expectSameHits(const std::vector<SiteHit>& got, const std::vector<SiteHit>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].site, want[i].site) << i;
        EXPECT_EQ(got[i].position, want[i].position) << i;
        EXPECT_EQ(got[i].strand, want[i].strand) << i;
        EXPECT_EQ(got[i].score, want[i].score) << i;
        EXPECT_EQ(got[i].siteLength, want[i].siteLength) << i;
        EXPECT_EQ(got[i].type(), "Unknown") << i;
        EXPECT_EQ(got[i].localMean, 0.0) << i;
    }
}

TEST(StrandScan, AgreesWithTheLiteralScanOnRandomSequences) {
    std::mt19937_64 random(8080);
    const std::string alphabet = "ACGTACGTACGTNX-a";
    size_t kept = 0;
    for (int trial = 0; trial < 300; ++trial) {
        const int length = 1 + static_cast<int>(random() % 6);
        std::string text(1 + random() % 40, 'A');
        for (char& c : text) {
            c = alphabet[random() % alphabet.size()];
        }
        // Few distinct scores, so that ties with the cut-off and between
        // partners are common.
        TableScorer scorer{length, {}, 0.0};
        const std::string letters = "ACGTNX-a";
        for (int k = 0; k < 60; ++k) {
            std::string window;
            for (int l = 0; l < length; ++l) {
                window += letters[random() % 4 + (random() % 8 == 0 ? 4 : 0)];
            }
            scorer.scores[window] = static_cast<double>(random() % 5);
        }
        for (int pass = 0; pass < 6; ++pass) {
            SCOPED_TRACE(::testing::Message() << "trial " << trial << " pass " << pass);
            Options options = plainOptions(pass % 2 == 0 ? 1 : 2, 2.0);
            options.removeRedundant = pass >= 2;
            RecordHits found;
            // Passes 4 and 5: the list already holds hits of both strands,
            // which can be partners of the new ones.
            std::vector<SiteHit> before;
            for (int k = 0; pass >= 4 && k < 4; ++k) {
                SiteHit earlier(length);
                earlier.site = std::string(static_cast<size_t>(length), 'A');
                earlier.strand = k % 2 == 0;
                earlier.position = static_cast<int32_t>(random() % (text.size() + 8));
                earlier.score = static_cast<double>(random() % 5);
                before.push_back(earlier);
            }
            found.hits = before;
            IntegrativeWindow window(options);
            scanTextWith(text, length, scorer, options, window, found);
            const std::vector<SiteHit> want = literalScan(text, length, scorer, options, before);
            expectSameHits(found.hits, want);
            kept += want.size();
        }
    }
    EXPECT_GT(kept, 1000u);
}

// The reverse strand read a stretch at a time equals the copied strand with
// its wrap, for stretches inside the strand, across its end and wholly in
// the wrap, around the 64-byte blocks of the complement.
TEST(StrandScan, ReverseReaderMatchesTheCopiedStrand) {
    std::mt19937_64 random(5);
    for (const size_t n :
         {size_t{1}, size_t{19}, size_t{63}, size_t{64}, size_t{65}, size_t{300}}) {
        std::string text(n, 'A');
        for (char& c : text) {
            c = "ACGTNBVDHKMRYSWX"[random() % 16];
        }
        const size_t length = std::min<size_t>(n, 7);
        const size_t wrap = std::min(n, length + 40);
        std::string copy = reverseComplementText(text);
        copy += copy.substr(0, std::min(wrap, copy.size()));
        const scan_detail::ReverseStrandReader reader(text.data(), n, length);
        for (size_t first = 0; first + length <= n + wrap; ++first) {
            for (const size_t count : {size_t{1}, size_t{5}, size_t{70}}) {
                if (first + count + length - 1 > n + wrap) {
                    continue;
                }
                std::string got;
                reader.forRanges(first, first + count,
                                 [&](const char* at, size_t from, size_t run) {
                                     EXPECT_EQ(from, first);
                                     got.assign(at, run + length - 1);
                                 });
                ASSERT_EQ(got, copy.substr(first, count + length - 1)) << n << " " << first;
            }
            ASSERT_EQ(std::string(reader.window(first), length), copy.substr(first, length));
        }
    }
}

}  // namespace
}  // namespace xoprex
