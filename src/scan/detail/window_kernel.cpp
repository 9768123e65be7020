#include "scan/detail/window_kernel.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "scan/detail/simd.h"
#include "scan/reverse_complement.h"

namespace xoprex::scan_detail {
namespace {

// The distance a window may have from the best score and still pass is
// scaled to this many units; a window whose bound sum exceeds kFilterLimit
// cannot pass (that of a passing window stays within kScaledGap: see
// strandFilter).
constexpr double kScaledGap = 250.0;
// Longest motif the filter takes: its rounding allowance (1e-12 of the
// summed magnitudes) covers the rounding of sums of up to ~9000 terms.
constexpr int kMaxFilteredLength = 4096;

bool sameTerms(const TermTable& table, int length, int a, int b) {
    for (int l = 0; l < length; ++l) {
        if (std::memcmp(&table.row(l)[a], &table.row(l)[b], sizeof(double)) != 0) {
            return false;
        }
    }
    return true;
}

}  // namespace

WindowKernel::WindowKernel(const TermTable& table, InstructionSet path, bool useClasses)
    : table_(table), length_(table.siteLength()), path_(path) {
    if (!cpuSupports(path_)) {
        path_ = InstructionSet::Scalar;
    }
    // Letter classes: bytes whose terms are bit-identical at every position
    // and whose complements' terms are too (a byte without complement counts
    // as its own complement: such bytes never meet the reverse strand's
    // bounds or terms).
    std::vector<int> termClass(256);
    std::vector<int> termRepresentative;
    for (int byte = 0; byte < 256; ++byte) {
        size_t k = 0;
        while (k < termRepresentative.size() &&
               !sameTerms(table, length_, byte, termRepresentative[k])) {
            ++k;
        }
        if (k == termRepresentative.size()) {
            termRepresentative.push_back(byte);
        }
        termClass[static_cast<size_t>(byte)] = static_cast<int>(k);
    }
    std::vector<std::pair<int, int>> keys;
    std::vector<int> forwardMember, reverseMember;  // a byte of each class, and one with complement
    for (int byte = 0; byte < 256; ++byte) {
        const auto complement = static_cast<unsigned char>(complementOf(byte));
        const std::pair<int, int> key{termClass[static_cast<size_t>(byte)],
                                      termClass[complement != 0 ? complement : byte]};
        const size_t k =
            static_cast<size_t>(std::find(keys.begin(), keys.end(), key) - keys.begin());
        if (k == keys.size()) {
            keys.push_back(key);
            forwardMember.push_back(byte);
            reverseMember.push_back(-1);
        }
        if (complement != 0 && reverseMember[k] < 0) {
            reverseMember[k] = complement;
        }
        classOf_[static_cast<size_t>(byte)] = static_cast<uint8_t>(std::min<size_t>(k, 255));
    }
    classCount_ = useClasses ? keys.size() : 17;
    if (!usesClasses()) {
        return;
    }
    forwardTerms_.assign(static_cast<size_t>(length_) * 16, 0.0);
    reverseTerms_.assign(static_cast<size_t>(length_) * 16, 0.0);
    for (size_t k = 0; k < classCount_; ++k) {
        complemented_[k] = reverseMember[k] >= 0;
        for (int l = 0; l < length_; ++l) {
            const size_t at = static_cast<size_t>(l) * 16 + k;
            forwardTerms_[at] = table.row(l)[forwardMember[k]];
            if (complemented_[k]) {
                reverseTerms_[at] = table.row(l)[reverseMember[k]];
            }
        }
    }
}

WindowKernel::WindowKernel(const WindowKernel& other)
    : table_(other.table_),
      length_(other.length_),
      path_(other.path_),
      classOf_(other.classOf_),
      classCount_(other.classCount_),
      complemented_(other.complemented_),
      forwardTerms_(other.forwardTerms_),
      reverseTerms_(other.reverseTerms_) {}

// The bounds of one strand for a cut-off (directions: scores as they are,
// higher passing; negated for lowerIsBetter, since "score < cut-off" is
// "-score > -cut-off", and negation is exact). With t[l][c] the signed term
// of class c at position l and best[l] its largest over the classes that may
// occur, a window's score is sum(best) - sum(d) with d[l] = best[l] - t[l][c]
// >= 0. A passing window has score > cut-off - e (e bounds the rounding of
// the sums), so sum(d) < gap = sum(best) - cut-off + e. With scale = 250 /
// gap, the bound floor(scale * d), at most scale * d, sums to at most 250
// over a passing window (the rounding of scale and d moves it by a few ulps
// only); a sum above 251 (255 once saturated) rejects.
WindowKernel::StrandFilter WindowKernel::strandFilter(double cutOff, bool lowerIsBetter,
                                                      bool reverse, bool complementedOnly) const {
    StrandFilter filter;
    if (path_ == InstructionSet::Scalar || !usesClasses() || length_ <= 0 ||
        length_ > kMaxFilteredLength) {
        return filter;
    }
    const double sign = lowerIsBetter ? -1.0 : 1.0;
    const double cut = sign * cutOff;
    if (!std::isfinite(cut)) {
        return filter;  // NaN passes nothing, infinities everything: the exact test
    }
    const std::vector<double>& terms = reverse ? reverseTerms_ : forwardTerms_;
    const auto occurs = [&](size_t k) {
        return k < classCount_ && (reverse || complementedOnly ? complemented_[k] : true);
    };
    const size_t length = static_cast<size_t>(length_);
    std::vector<double> best(length, -INFINITY);
    double bestSum = 0.0;
    double magnitude = 0.0;
    for (size_t l = 0; l < length; ++l) {
        double largest = 0.0;
        for (size_t k = 0; k < 16; ++k) {
            if (!occurs(k)) {
                continue;
            }
            const double t = sign * terms[l * 16 + k];
            if (!std::isfinite(t)) {
                return filter;
            }
            best[l] = std::max(best[l], t);
            largest = std::max(largest, std::fabs(t));
        }
        bestSum += best[l];
        magnitude += largest;
    }
    const double error = 1e-12 * (magnitude + std::fabs(cut) + 1.0);
    const double gap = (bestSum - cut) + 3.0 * error;
    if (!std::isfinite(gap)) {
        return filter;
    }
    if (!(gap > 0.0)) {
        filter.use = StrandFilter::Use::Nothing;  // no window can pass
        return filter;
    }
    const double scale = kScaledGap / gap;
    filter.rows.assign(length * 64, 0);
    for (size_t l = 0; l < length; ++l) {
        // The reverse strand's bounds go by the window offset that reads
        // them: offset m reads the complement at position L - 1 - m.
        uint8_t* row = filter.rows.data() + (reverse ? length - 1 - l : l) * 64;
        for (size_t k = 0; k < 16; ++k) {
            if (!occurs(k)) {
                continue;
            }
            const double units = std::floor(scale * (best[l] - sign * terms[l * 16 + k]));
            const uint8_t bound = static_cast<uint8_t>(units >= 0.0 ? std::min(units, 255.0) : 0.0);
            for (size_t copy = 0; copy < 4; ++copy) {
                row[copy * 16 + k] = bound;
            }
        }
    }
    filter.use = StrandFilter::Use::Filter;
    return filter;
}

const WindowKernel::CutFilter& WindowKernel::keptFilter(CutFilter& kept, bool& made, double cutOff,
                                                        bool lowerIsBetter, bool both) const {
    if (!made || std::memcmp(&kept.cutOff, &cutOff, sizeof cutOff) != 0 ||
        kept.lowerIsBetter != lowerIsBetter) {
        kept.cutOff = cutOff;
        kept.lowerIsBetter = lowerIsBetter;
        // Within a text whose every byte has a complement only the classes
        // of such bytes occur.
        kept.strands[0] = strandFilter(cutOff, lowerIsBetter, false, both);
        kept.strands[1] = both ? strandFilter(cutOff, lowerIsBetter, true, true) : StrandFilter{};
        made = true;
    }
    return kept;
}

const WindowKernel::CutFilter& WindowKernel::bothStrandFilter(double cutOff,
                                                              bool lowerIsBetter) const {
    return keptFilter(both_, haveBoth_, cutOff, lowerIsBetter, true);
}

// The forward filter for any bytes.
const WindowKernel::CutFilter& WindowKernel::forwardFilter(double cutOff,
                                                           bool lowerIsBetter) const {
    return keptFilter(forward_, haveForward_, cutOff, lowerIsBetter, false);
}

void WindowKernel::classify(const char* text, size_t count, std::vector<uint8_t>& codes) const {
    // The vector loops take whole pairs of blocks of 64 windows: the codes
    // of the last ones run on over padding of class 0, whose windows they
    // drop.
    codes.resize((count + 63) / 64 * 64 + 128);
    if (path_ == InstructionSet::Avx512 && cpuHasByteShuffle()) {
        simd::classifyBytes512(classOf_, text, count, codes.data());
    } else {
        for (size_t i = 0; i < count; ++i) {
            codes[i] = classOf_[static_cast<unsigned char>(text[i])];
        }
    }
    std::fill(codes.begin() + static_cast<std::ptrdiff_t>(count), codes.end(), 0);
}

void WindowKernel::block(const char* text, size_t count, double* out) const {
    if (count == 0) {
        return;
    }
    if (path_ == InstructionSet::Avx512) {
        if (usesClasses()) {
            std::vector<uint8_t>& codes = scratch_.codes;
            for (size_t at = 0; at < count; at += kPiece) {
                const size_t n = std::min(kPiece, count - at);
                classify(text + at, n + static_cast<size_t>(length_) - 1, codes);
                blockClasses512(codes.data(), n, forwardTerms_.data(), false, out + at);
            }
        } else {
            blockGather512(text, count, out);
        }
        return;
    }
    // AVX2: gathers lose to the scalar sum there.
    for (size_t i = 0; i < count; ++i) {
        out[i] = table_.score(text + i);
    }
}

void WindowKernel::survivors(const uint8_t* codes, size_t count, const StrandFilter& filter,
                             std::vector<uint64_t>& masks) const {
    masks.resize((count + 63) / 64);
    if (path_ == InstructionSet::Avx512) {
        survivors512(codes, count, filter.rows.data(), masks.data());
    } else {
        survivors256(codes, count, filter.rows.data(), masks.data());
    }
    if (count % 64 != 0) {
        masks.back() &= (uint64_t{1} << (count % 64)) - 1;  // the last block's windows only
    }
}

void WindowKernel::candidates(const char* text, size_t count, double cutOff, bool lowerIsBetter,
                              std::vector<uint32_t>& out) const {
    out.clear();
    const StrandFilter& filter = forwardFilter(cutOff, lowerIsBetter).strands[0];
    for (size_t at = 0; at < count; at += kPiece) {
        const size_t n = std::min(kPiece, count - at);
        if (filter.use != StrandFilter::Use::Filter) {
            for (size_t i = 0; i < n; ++i) {
                if (filter.use == StrandFilter::Use::Exact) {
                    out.push_back(static_cast<uint32_t>(at + i));
                }
            }
            continue;
        }
        classify(text + at, n + static_cast<size_t>(length_) - 1, scratch_.codes);
        survivors(scratch_.codes.data(), n, filter, scratch_.masks[0]);
        for (size_t b = 0; b < scratch_.masks[0].size(); ++b) {
            for (uint64_t m = scratch_.masks[0][b]; m != 0; m &= m - 1) {
                out.push_back(
                    static_cast<uint32_t>(at + 64 * b + static_cast<size_t>(__builtin_ctzll(m))));
            }
        }
    }
}

void WindowKernel::passingList(const char* text, size_t count, double cutOff,
                               bool lowerIsBetter) const {
    auto& passed = scratch_.forward;
    passed.clear();
    const CutFilter& filter = forwardFilter(cutOff, lowerIsBetter);
    if (filter.strands[0].use == StrandFilter::Use::Exact || !usesClasses()) {
        auto& scores = scratch_.scores[0];
        scores.resize(count);
        block(text, count, scores.data());
        for (size_t i = 0; i < count; ++i) {
            if (lowerIsBetter ? scores[i] < cutOff : scores[i] > cutOff) {
                passed.emplace_back(static_cast<uint32_t>(i), scores[i]);
            }
        }
        return;
    }
    std::vector<std::pair<uint32_t, double>> all;
    for (size_t at = 0; at < count; at += kPiece) {
        const size_t n = std::min(kPiece, count - at);
        classifyText(text + at, n + static_cast<size_t>(length_) - 1, scratch_);
        passingCodes(n, filter, scratch_, false);
        for (const auto& [i, score] : passed) {
            all.emplace_back(static_cast<uint32_t>(at + i), score);
        }
    }
    passed.swap(all);
}

// The windows of one piece that pass: filtered (survivors scored exactly from
// their class codes), or all scored (vector sums on AVX-512), or none.
void WindowKernel::passingCodes(size_t count, const CutFilter& filter, Scratch& scratch,
                                bool both) const {
    scratch.forward.clear();
    scratch.reverse.clear();
    const uint8_t* codes = scratch.codes.data();
    const double cutOff = filter.cutOff;
    const bool lower = filter.lowerIsBetter;
    const auto passes = [cutOff, lower](double score) {
        return lower ? score < cutOff : score > cutOff;
    };
    const bool together = both && filter.strands[0].use == StrandFilter::Use::Filter &&
                          filter.strands[1].use == StrandFilter::Use::Filter;
    if (together) {
        // One pass over the codes gives both strands' survivors.
        const size_t blocks = (count + 63) / 64;
        scratch.masks[0].resize(blocks);
        scratch.masks[1].resize(blocks);
        const uint8_t* forwardRows = filter.strands[0].rows.data();
        const uint8_t* reverseRows = filter.strands[1].rows.data();
        if (path_ == InstructionSet::Avx512) {
            bothSurvivors512(codes, count, forwardRows, reverseRows, scratch.masks[0].data(),
                             scratch.masks[1].data());
        } else {
            bothSurvivors256(codes, count, forwardRows, reverseRows, scratch.masks[0].data(),
                             scratch.masks[1].data());
        }
        if (count % 64 != 0) {
            const uint64_t own = (uint64_t{1} << (count % 64)) - 1;  // the last block's windows
            scratch.masks[0].back() &= own;
            scratch.masks[1].back() &= own;
        }
    }
    for (int strand = 0; strand < (both ? 2 : 1); ++strand) {
        const StrandFilter& strandFilter = filter.strands[strand];
        auto& passed = strand == 0 ? scratch.forward : scratch.reverse;
        const auto scoreAt = [&](size_t i) {
            return strand == 0 ? forwardScore(codes + i) : reverseScore(codes + i);
        };
        switch (strandFilter.use) {
            case StrandFilter::Use::Nothing:
                break;
            case StrandFilter::Use::Filter: {
                std::vector<uint64_t>& masks = scratch.masks[strand];
                if (!together) {
                    survivors(codes, count, strandFilter, masks);
                }
                for (size_t b = 0; b < masks.size(); ++b) {
                    for (uint64_t m = masks[b]; m != 0; m &= m - 1) {
                        const size_t i = 64 * b + static_cast<size_t>(__builtin_ctzll(m));
                        const double score = scoreAt(i);
                        if (passes(score)) {
                            passed.emplace_back(static_cast<uint32_t>(i), score);
                        }
                    }
                }
                break;
            }
            case StrandFilter::Use::Exact:
                if (path_ == InstructionSet::Avx512) {
                    std::vector<double>& scores = scratch.scores[strand];
                    scores.resize(count);
                    blockClasses512(codes, count,
                                    strand == 0 ? forwardTerms_.data() : reverseTerms_.data(),
                                    strand == 1, scores.data());
                    for (size_t i = 0; i < count; ++i) {
                        if (passes(scores[i])) {
                            passed.emplace_back(static_cast<uint32_t>(i), scores[i]);
                        }
                    }
                } else {
                    for (size_t i = 0; i < count; ++i) {
                        const double score = scoreAt(i);
                        if (passes(score)) {
                            passed.emplace_back(static_cast<uint32_t>(i), score);
                        }
                    }
                }
                break;
        }
    }
}

}  // namespace xoprex::scan_detail
