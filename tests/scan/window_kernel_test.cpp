#include "scan/detail/window_kernel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "motif/site_collection.h"
#include "random_text.h"
#include "scan/reverse_complement.h"
#include "scan_test_support.h"

namespace xoprex {
namespace {

using namespace scan_detail;

SiteCollection crpCollection(const SequenceRecord& background) {
    SiteCollection collection;
    collection.siteLength = 19;
    for (const char* text : {"CCTGACGGAGTTCACACTT", "TGTAACAGAGATCACACAA", "TTTGAACCAGATCGCATTA",
                             "TTTGCACGGCGTCACACTT", "TGTGAGTTAGCTCACTCAT", "TTTGTGAGTGGTCGCACAT",
                             "TGTGAGCATGGTCATATTT", "TGTGATTCGATTCACATTT", "TTTGATCGTTTTCACAAAA",
                             "TGTGAAATACCGCACAGAT", "TGCAAAGGACGTCACATTA", "TTTATTCCATGTCACACTT",
                             "TGTGATGTGGTTAACCCAA", "TGTGACACAGTGCAAATTC", "TGTTAAATTGATCACGTTT",
                             "CGTGATGTTGCTTGCAAAA", "CGTGATCAACCCCTCAATT", "TGTGANNNNNNTCACAYRS"}) {
        SiteHit site(19);
        site.site = text;
        collection.sites.push_back(site);
    }
    buildModel(collection, background);
    return collection;
}

std::string randomText(size_t length, uint64_t seed, bool anyByte) {
    return anyByte ? testing::randomBytes(length, seed)
                   : testing::randomText(length, "ACGTACGTACGTACGTNUMRWSYKBDHVX-", seed);
}

std::vector<InstructionSet> supportedPaths() {
    std::vector<InstructionSet> paths;
    for (const InstructionSet path :
         {InstructionSet::Scalar, InstructionSet::Avx2, InstructionSet::Avx512}) {
        if (cpuSupports(path)) {
            paths.push_back(path);
        }
    }
    return paths;
}

bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Every lane sums in position order: each path's block scores are the
// table's own sums, bit for bit, for every method and any bytes.
TEST(WindowKernel, BlockScoresAreBitIdenticalOnEveryPath) {
    SequenceRecord background;
    background.backgroundFrequencies = {0.3, 0.2, 0.2, 0.3};
    background.backgroundEntropy = 1.97;
    const SiteCollection collection = crpCollection(background);
    for (int method = 0; method <= 12; ++method) {
        const TermTable table(method, collection, background);
        for (const bool anyByte : {false, true}) {
            const std::string text = randomText(5000, 31 + method, anyByte);
            const size_t count = text.size() - 18;
            for (const InstructionSet path : supportedPaths()) {
                for (const bool classes : {true, false}) {
                    const WindowKernel kernel(table, path, classes);
                    EXPECT_TRUE(kernel.usesClasses() == classes || !classes);
                    for (const size_t offset : {size_t{0}, size_t{3}, size_t{4000}}) {
                        std::vector<double> out(count - offset);
                        kernel.block(text.data() + offset, out.size(), out.data());
                        for (size_t i = 0; i < out.size(); ++i) {
                            ASSERT_TRUE(sameBits(out[i], table.score(text.data() + offset + i)))
                                << "method " << method << " path " << static_cast<int>(path)
                                << " window " << offset + i;
                        }
                    }
                    // The reverse strand read from the forward text: the
                    // sums of the windows' reverse complements.
                    if (anyByte) {
                        continue;
                    }
                    const std::string both =
                        testing::randomText(3000, "ACGTACGTACGTNMRWSYKBDHVX", 7 + method);
                    std::vector<double> out(both.size() - 18);
                    kernel.blockReverse(both.data(), out.size(), out.data());
                    std::vector<int32_t> sums[2];
                    for (const bool reverse : {false, true}) {
                        sums[reverse].resize(kernel.hasFixedSums() ? out.size() : 0);
                        if (kernel.hasFixedSums()) {
                            kernel.blockFixed(both.data(), out.size(), reverse,
                                              sums[reverse].data());
                        }
                    }
                    for (size_t i = 0; i < out.size(); ++i) {
                        const std::string window = reverseComplementText(both.substr(i, 19));
                        ASSERT_TRUE(sameBits(out[i], table.score(window.data())))
                            << "method " << method << " path " << static_cast<int>(path)
                            << " reverse window " << i;
                        // The fixed-point sums bracket both strands' scores.
                        for (const bool reverse : {false, true}) {
                            if (!kernel.hasFixedSums()) {
                                continue;
                            }
                            const double score = reverse ? out[i] : table.score(both.data() + i);
                            const double step = kernel.fixedStep();
                            const double sum = sums[reverse][i];
                            ASSERT_LE(sum * step - kernel.fixedSlack(), score) << method;
                            ASSERT_GE((sum + 19) * step + kernel.fixedSlack(), score) << method;
                        }
                    }
                }
            }
        }
    }
}

// The filter may let through windows that fail, never drop one that passes:
// cut-offs placed exactly on window scores and one ulp either side.
TEST(WindowKernel, FilterNeverDropsAPassingWindow) {
    std::mt19937_64 random(4242);
    SequenceRecord background;
    const SiteCollection collection = crpCollection(background);
    for (int method = 1; method <= 11; ++method) {
        const TermTable table(method, collection, background);
        // Ambiguity codes and other bytes for even methods, bases only for odd ones.
        const std::string text = method % 2 == 0 ? randomText(6000, 77 + method, false)
                                                 : testing::randomText(6000, "ACGT", 77 + method);
        const size_t count = text.size() - 18;
        std::vector<double> exact(count);
        for (size_t i = 0; i < count; ++i) {
            exact[i] = table.score(text.data() + i);
        }
        std::vector<double> sorted = exact;
        std::sort(sorted.begin(), sorted.end());
        for (const InstructionSet path : supportedPaths()) {
            const WindowKernel kernel(table, path);
            int filtered = 0;
            for (int trial = 0; trial < 12; ++trial) {
                // Mostly near the top and bottom, where real cut-offs lie.
                const size_t rank = trial < 4   ? count - 1 - random() % 50
                                    : trial < 8 ? random() % 50
                                                : random() % count;
                for (const bool lower : {false, true}) {
                    for (const double cutOff :
                         {sorted[rank], std::nextafter(sorted[rank], -INFINITY),
                          std::nextafter(sorted[rank], INFINITY)}) {
                        std::vector<std::pair<size_t, double>> got;
                        kernel.passing(text.data(), count, cutOff, lower,
                                       [&](size_t i, double s) { got.emplace_back(i, s); });
                        std::vector<std::pair<size_t, double>> want;
                        for (size_t i = 0; i < count; ++i) {
                            if (lower ? exact[i] < cutOff : exact[i] > cutOff) {
                                want.emplace_back(i, exact[i]);
                            }
                        }
                        ASSERT_EQ(got, want) << "method " << method << " cut-off " << cutOff;
                        std::vector<uint32_t> survivors;
                        kernel.candidates(text.data(), count, cutOff, lower, survivors);
                        filtered += survivors.size() < count;
                    }
                }
            }
            if (path != InstructionSet::Scalar) {
                EXPECT_GT(filtered, 6) << "method " << method;
            }
        }
    }
}

TEST(WindowKernel, FilterRejectsMostWindowsAtARealisticCutOff) {
    if (!cpuSupports(InstructionSet::Avx2)) {
        GTEST_SKIP() << "no vector filter on this machine";
    }
    SequenceRecord background;
    const SiteCollection collection = crpCollection(background);
    const TermTable table(5, collection, background);
    const std::string text = randomText(100000, 5, false);
    std::vector<uint32_t> survivors[2];
    for (const InstructionSet path : {InstructionSet::Avx2, InstructionSet::Avx512}) {
        if (!cpuSupports(path)) {
            continue;
        }
        const WindowKernel kernel(table, path);
        std::vector<uint32_t>& found = survivors[path == InstructionSet::Avx2 ? 0 : 1];
        kernel.candidates(text.data(), text.size() - 18, 10.0, false, found);
        EXPECT_LT(found.size(), text.size() / 20);
    }
    if (cpuSupports(InstructionSet::Avx512)) {
        EXPECT_EQ(survivors[0], survivors[1]);  // same bounds, same survivors
    }
    const WindowKernel kernel(table);
    // NaN and infinite cut-offs are handled by the exact path.
    std::vector<std::pair<size_t, double>> got;
    kernel.passing(text.data(), 1000, NAN, false,
                   [&](size_t i, double s) { got.emplace_back(i, s); });
    EXPECT_TRUE(got.empty());
    kernel.passing(text.data(), 1000, -INFINITY, false,
                   [&](size_t i, double s) { got.emplace_back(i, s); });
    EXPECT_EQ(got.size(), 1000u);
}

// Both strands scored in one pass over the forward text (the kernel) give
// the hits of the scan that reads the reverse strand window by window (a
// plain scorer): every path, both directions, cut-offs at a window's exact
// score and keeping every window, circular and linear, one and two threads,
// the partner rule, short texts and chunks of a long one.
TEST(WindowKernel, BothStrandsInOnePassGiveTheHitsOfTheReverseStrand) {
    SequenceRecord background;
    const SiteCollection collection = crpCollection(background);
    int compared = 0;
    for (const size_t length : {size_t{19}, size_t{20}, size_t{3000}, size_t{300000}}) {
        // Bases only (an N in one piece of the long text), and ambiguity codes.
        for (const bool bases : {true, false}) {
            std::string text =
                testing::randomText(length, bases ? "ACGT" : "ACGTACGTNXBVDHKMRYSW", length);
            if (bases && length > 200000) {
                text[100000] = 'N';
            }
            for (const int method :
                 length > 5000 ? std::vector<int>{5} : std::vector<int>{2, 5, 9}) {
                const TermTable table(method, collection, background);
                const bool lower = lowerIsBetter(method);
                std::vector<double> scores;
                for (size_t i = 0; i < length; ++i) {
                    scores.push_back(table.score(testing::circularWindow(text, i, 19).c_str()));
                }
                std::sort(scores.begin(), scores.end());
                const double keepAll = lower ? INFINITY : -INFINITY;
                const double nearBest = scores[lower ? length / 50 : length - 1 - length / 50];
                const auto plain = [&table](const char* window) { return table.score(window); };
                for (const double cutOff : {nearBest, keepAll}) {
                    Options options = testing::plainOptions(method, cutOff);
                    for (const InstructionSet path : supportedPaths()) {
                        const WindowKernel kernel(table, path);
                        for (const bool linear : {false, true}) {
                            for (const unsigned threads : {1u, 2u}) {
                                options.removeRedundant = threads == 2;
                                ScanControl control;
                                control.threads = threads;
                                IntegrativeWindow window(options);
                                RecordHits got, want;
                                scanTextWith(text, 19, kernel, options, window, got, control,
                                             nullptr, linear);
                                scanTextWith(text, 19, plain, options, window, want, control,
                                             nullptr, linear);
                                ASSERT_EQ(got.hits.size(), want.hits.size())
                                    << length << " " << method << " " << cutOff;
                                for (size_t i = 0; i < got.hits.size(); ++i) {
                                    ASSERT_EQ(got.hits[i].strand, want.hits[i].strand);
                                    ASSERT_EQ(got.hits[i].position, want.hits[i].position);
                                    ASSERT_EQ(got.hits[i].site, want.hits[i].site);
                                    ASSERT_TRUE(sameBits(got.hits[i].score, want.hits[i].score));
                                }
                                ASSERT_EQ(got.droppedScores, want.droppedScores);
                                ASSERT_EQ(got.windowsScored, want.windowsScored);
                                compared += got.hits.empty() ? 0 : 1;
                            }
                        }
                    }
                }
            }
        }
    }
    EXPECT_GT(compared, 80);
}

}  // namespace
}  // namespace xoprex
