#include "motif/scoring.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "motif/letter_tables.h"
#include "motif/motif_math.h"
#include "options/options.h"

namespace xoprex {
namespace {

using motif_detail::baseIndex;
using motif_detail::guardedProbability;
using motif_detail::log2Bits;
using motif_detail::windowFrequency;

bool isDifferential(int method) {
    return method == 4 || method == 8 || method == 11;
}

// R'_l (methods 4 and 11) or E'_l (method 8): the position's Rsequence or RE
// recomputed with the window letter added as one more site.
double differential(int method, const PositionRecord& record, double siteCount,
                    unsigned char letter, const SequenceRecord& background) {
    const auto& d = motif_detail::kSiteWeights.byByte[letter];
    std::array<double, 4> q;
    for (int b = 0; b < 4; ++b) {
        q[b] = (record.counts[b] + d[b]) / (siteCount + 1.0);
    }
    if (method == 8) {
        return motif_detail::relativeEntropyOf(q, background.backgroundFrequencies);
    }
    return motif_detail::informationContent(q, background.backgroundEntropy);
}

// g_l(x) = (F_l(x) + 1/N) / (1 + 4/N).
double pseudoFrequency(double frequency, double siteCount) {
    return (frequency + 1.0 / siteCount) / (1.0 + 4.0 / siteCount);
}

// The one term function of every method. `diff` is R'_l (methods 4, 11) or
// E'_l (method 8) for this letter, and is ignored by the other methods. Both
// the per-window operation and the term table go through here, which is what
// makes their doubles identical.
double term(int method, const PositionRecord& record, double siteCount, unsigned char letter,
            const SequenceRecord& background, double diff) {
    const double entropy = background.backgroundEntropy;
    switch (method) {
        case 1:
            return entropy + log2Bits(pseudoFrequency(windowFrequency(record.frequencies, letter),
                                                      siteCount));
        case 2:
        case 3: {
            const double consensus =
                windowFrequency(record.frequencies, static_cast<unsigned char>(record.consensus));
            const double heterology =
                std::log((consensus + 1.0 / siteCount) /
                         (windowFrequency(record.frequencies, letter) + 1.0 / siteCount));
            return method == 2 ? heterology : record.rsequence * heterology;
        }
        case 4:
            return record.rsequence * (diff - record.rsequence);
        case 5:
            return record.rsequence *
                   (entropy + log2Bits(pseudoFrequency(windowFrequency(record.frequencies, letter),
                                                       siteCount)));
        case 6:
            return record.relativeEntropy * windowFrequency(record.frequencies, letter);
        case 7:
            return record.relativeEntropy *
                   (entropy + log2Bits(pseudoFrequency(windowFrequency(record.frequencies, letter),
                                                       siteCount)));
        case 8:
            return record.relativeEntropy * (diff - record.relativeEntropy);
        case 9: {
            const int base = baseIndex(letter);
            const double p = base >= 0
                                 ? guardedProbability(
                                       background.backgroundFrequencies[static_cast<size_t>(base)])
                                 : 0.25;
            return log2Bits(
                pseudoFrequency(windowFrequency(record.frequencies, letter), siteCount) / p);
        }
        case 10: {
            const double gConsensus = pseudoFrequency(
                windowFrequency(record.frequencies, static_cast<unsigned char>(record.consensus)),
                siteCount);
            const double g =
                pseudoFrequency(windowFrequency(record.frequencies, letter), siteCount);
            return (gConsensus / g) * log2Bits(g);
        }
        case 11:
            return diff - record.rsequence;
        default:
            return 0.0;
    }
}

// The term depends on the letter only through its frequency rule, its
// weights as an added site and its background base. Letters that agree on
// all three (most of the 256 byte values: every unknown character, and N)
// have the same term, so a table row computes each class once and copies it.
const std::array<unsigned char, 256>& letterClassRepresentatives() {
    static const std::array<unsigned char, 256> table = [] {
        std::array<unsigned char, 256> first{};
        for (int letter = 0; letter < 256; ++letter) {
            const auto c = static_cast<unsigned char>(letter);
            first[static_cast<size_t>(letter)] = c;
            for (int earlier = 0; earlier < letter; ++earlier) {
                const auto e = static_cast<unsigned char>(earlier);
                if (motif_detail::kFrequencyMasks.byByte[e] ==
                        motif_detail::kFrequencyMasks.byByte[c] &&
                    motif_detail::kSiteWeights.byByte[e] == motif_detail::kSiteWeights.byByte[c] &&
                    baseIndex(e) == baseIndex(c)) {
                    first[static_cast<size_t>(letter)] = e;
                    break;
                }
            }
        }
        return first;
    }();
    return table;
}

}  // namespace

double positionTerm(int method, int position, unsigned char letter,
                    const SiteCollection& collection, const SequenceRecord& background) {
    const auto& positions = collection.model.positions;
    if (method < 1 || method > 11 || position < 0 ||
        static_cast<size_t>(position) >= positions.size()) {
        return 0.0;
    }
    const PositionRecord& record = positions[static_cast<size_t>(position)];
    const double siteCount = static_cast<double>(collection.siteCount());
    const double diff =
        isDifferential(method) ? differential(method, record, siteCount, letter, background) : 0.0;
    return term(method, record, siteCount, letter, background, diff);
}

void scoreWindow(int method, SiteHit& window, const SequenceRecord& background,
                 SiteCollection& collection) {
    auto& positions = collection.model.positions;
    const size_t length = positions.size();
    const double siteCount = static_cast<double>(collection.siteCount());
    const std::string_view text = window.site;
    auto letterAt = [text](size_t l) {
        return l < text.size() ? static_cast<unsigned char>(text[l])
                               : static_cast<unsigned char>(0);
    };

    // Methods 4, 8 and 11: every position's R' or E' first, into the scratch
    // fields, then the sum.
    if (method == 4 || method == 11) {
        for (size_t l = 0; l < length; ++l) {
            positions[l].windowRsequence =
                differential(method, positions[l], siteCount, letterAt(l), background);
        }
    } else if (method == 8) {
        for (size_t l = 0; l < length; ++l) {
            positions[l].windowRelativeEntropy =
                differential(method, positions[l], siteCount, letterAt(l), background);
        }
    }

    double sum = 0.0;
    if (method >= 1 && method <= 11) {
        for (size_t l = 0; l < length; ++l) {
            const PositionRecord& record = positions[l];
            const double diff = method == 8 ? record.windowRelativeEntropy : record.windowRsequence;
            sum += term(method, record, siteCount, letterAt(l), background, diff);
        }
    }
    window.score = sum;
}

std::array<double, 4> nullBackground(const std::array<double, 4>& frequencies) {
    const double sum = frequencies[0] + frequencies[1] + frequencies[2] + frequencies[3];
    if (!(sum > 0.0) || !std::isfinite(sum)) {
        return {0.25, 0.25, 0.25, 0.25};
    }
    if (sum == 1.0) {
        return frequencies;
    }
    return {frequencies[0] / sum, frequencies[1] / sum, frequencies[2] / sum, frequencies[3] / sum};
}

NullModel windowNullModel(int method, const SiteCollection& collection,
                          const SequenceRecord& background) {
    const TermTable table(method, collection, background);
    NullModel model;
    model.terms.resize(static_cast<size_t>(table.siteLength()));
    for (int l = 0; l < table.siteLength(); ++l) {
        for (int b = 0; b < 4; ++b) {
            model.terms[static_cast<size_t>(l)][static_cast<size_t>(b)] =
                table.row(l)[static_cast<unsigned char>("ACGT"[b])];
        }
    }
    model.background = nullBackground(background.backgroundFrequencies);
    model.lowerIsBetter = lowerIsBetter(method);
    return model;
}

double bestWindowScore(int method, const SiteCollection& collection,
                       const SequenceRecord& background) {
    const TermTable table(method, collection, background);
    const bool lower = lowerIsBetter(method);
    double sum = 0.0;
    for (int l = 0; l < table.siteLength(); ++l) {
        const double* row = table.row(l);
        double best = row[static_cast<unsigned char>('A')];
        for (const char letter : {'C', 'G', 'T'}) {
            const double term = row[static_cast<unsigned char>(letter)];
            best = lower ? std::min(best, term) : std::max(best, term);
        }
        sum += best;
    }
    return sum;
}

TermTable::TermTable(int method, const SiteCollection& collection, const SequenceRecord& background)
    : siteLength_(static_cast<int>(collection.model.positions.size())),
      terms_(static_cast<size_t>(siteLength_) * 256) {
    const std::array<unsigned char, 256>& representative = letterClassRepresentatives();
    for (int l = 0; l < siteLength_; ++l) {
        double* row = terms_.data() + static_cast<size_t>(l) * 256;
        for (int letter = 0; letter < 256; ++letter) {
            const unsigned char first = representative[static_cast<size_t>(letter)];
            row[letter] = first < letter
                              ? row[first]
                              : positionTerm(method, l, static_cast<unsigned char>(letter),
                                             collection, background);
        }
    }
}

}  // namespace xoprex
