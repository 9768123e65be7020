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
    makeFixedTerms();
    for (int l = 0; l < length_; ++l) {
        for (const char base : {'A', 'C', 'G', 'T'}) {
            const auto letter = static_cast<unsigned char>(base);
            forwardBases_.push_back(table.row(l)[letter]);
            reverseBases_.push_back(table.row(l)[static_cast<unsigned char>(complementOf(letter))]);
        }
    }
    if (length_ > 0 && length_ <= kMaxFilteredLength && path_ != InstructionSet::Scalar) {
        wordLength_ = path_ == InstructionSet::Avx512 && cpuHasByteShuffle() ? 3 : 2;
    }
    baseOf_['C'] = 1;
    baseOf_['G'] = 2;
    baseOf_['T'] = 3;
}

WindowKernel::WindowKernel(const WindowKernel& other)
    : table_(other.table_),
      length_(other.length_),
      path_(other.path_),
      wordLength_(other.wordLength_),
      classOf_(other.classOf_),
      classCount_(other.classCount_),
      complemented_(other.complemented_),
      forwardTerms_(other.forwardTerms_),
      reverseTerms_(other.reverseTerms_),
      forwardBases_(other.forwardBases_),
      reverseBases_(other.reverseBases_),
      baseOf_(other.baseOf_) {}

namespace {

// How a strand's bounds are scaled for a cut-off. With t[m][c] the signed
// term (negated for lowerIsBetter, since "score < cut-off" is "-score >
// -cut-off", and negation is exact) of letter c read at window offset m and
// best[m] its largest over the letters that may occur there, a window's
// score is sum(best) - sum(d) with d[m] = best[m] - t[m][c] >= 0. A passing
// window has score > cut-off - e (e bounds the rounding of the sums, 1e-12
// of the summed magnitudes), so sum(d) < gap = sum(best) - cut-off + e. With
// scale = 250 / gap, a bound floor(scale * d) (or floor(scale * (d + d' +
// d'')) for three offsets together) is at most scale * d, so the bounds of a
// passing window sum to at most 250 (the rounding of scale and d moves them
// by a few ulps only), and a sum above 251 (255 once saturated) rejects.
struct Scaling {
    WindowKernel::StrandFilter::Use use = WindowKernel::StrandFilter::Use::Exact;
    double scale = 0.0;
    std::vector<double> best;
};

// `terms[m]`: the signed terms of the letters that may occur at offset m.
Scaling scalingOf(const std::vector<std::vector<double>>& terms, double cut) {
    using Use = WindowKernel::StrandFilter::Use;
    Scaling scaling;
    if (!std::isfinite(cut)) {
        return scaling;  // NaN passes nothing, infinities everything: the exact test
    }
    double bestSum = 0.0;
    double magnitude = 0.0;
    for (const std::vector<double>& letters : terms) {
        double best = -INFINITY;
        double largest = 0.0;
        for (const double t : letters) {
            if (!std::isfinite(t)) {
                return scaling;
            }
            best = std::max(best, t);
            largest = std::max(largest, std::fabs(t));
        }
        scaling.best.push_back(best);
        bestSum += best;
        magnitude += largest;
    }
    const double error = 1e-12 * (magnitude + std::fabs(cut) + 1.0);
    const double gap = (bestSum - cut) + 3.0 * error;
    if (!std::isfinite(gap)) {
        return scaling;
    }
    if (!(gap > 0.0)) {
        scaling.use = Use::Nothing;  // no window can pass
        return scaling;
    }
    scaling.use = Use::Filter;
    scaling.scale = kScaledGap / gap;
    return scaling;
}

uint8_t boundOf(double units) {
    return static_cast<uint8_t>(units >= 0.0 ? std::min(std::floor(units), 255.0) : 0.0);
}

}  // namespace

// The bounds of one strand by class code: row m holds the bounds of the
// classes read at window offset m (for the reverse strand, the complements'
// terms at position L - 1 - m); classes that cannot occur get 0.
WindowKernel::StrandFilter WindowKernel::strandFilter(double cutOff, bool lowerIsBetter,
                                                      bool reverse, bool complementedOnly) const {
    StrandFilter filter;
    if (path_ == InstructionSet::Scalar || !usesClasses() || length_ <= 0 ||
        length_ > kMaxFilteredLength) {
        return filter;
    }
    const double sign = lowerIsBetter ? -1.0 : 1.0;
    const std::vector<double>& terms = reverse ? reverseTerms_ : forwardTerms_;
    const auto occurs = [&](size_t k) {
        return k < classCount_ && (reverse || complementedOnly ? complemented_[k] : true);
    };
    const size_t length = static_cast<size_t>(length_);
    const auto positionAt = [&](size_t m) { return reverse ? length - 1 - m : m; };
    std::vector<std::vector<double>> signedTerms(length);
    for (size_t m = 0; m < length; ++m) {
        for (size_t k = 0; k < 16; ++k) {
            if (occurs(k)) {
                signedTerms[m].push_back(sign * terms[positionAt(m) * 16 + k]);
            }
        }
    }
    const Scaling scaling = scalingOf(signedTerms, sign * cutOff);
    filter.use = scaling.use;
    if (filter.use != StrandFilter::Use::Filter) {
        return filter;
    }
    filter.rows.assign(length * 64, 0);
    for (size_t m = 0; m < length; ++m) {
        uint8_t* row = filter.rows.data() + m * 64;
        for (size_t k = 0; k < 16; ++k) {
            if (!occurs(k)) {
                continue;
            }
            const double d = scaling.best[m] - sign * terms[positionAt(m) * 16 + k];
            for (size_t copy = 0; copy < 4; ++copy) {
                row[copy * 16 + k] = boundOf(scaling.scale * d);
            }
        }
    }
    if (wordLength_ > 0) {
        filter.words = wordBounds(cutOff, lowerIsBetter, reverse);
    }
    return filter;
}

// The bounds of one strand by word of k bases, for text of A, C, G and T
// only: row g holds the bound of each word read at window offsets k g .. k g
// + k - 1 (those below L), scaled for those four letters alone (words of two
// have 16, repeated in each 16-byte lane). Empty when the filter cannot help.
std::vector<uint8_t> WindowKernel::wordBounds(double cutOff, bool lowerIsBetter,
                                              bool reverse) const {
    const double sign = lowerIsBetter ? -1.0 : 1.0;
    const size_t length = static_cast<size_t>(length_);
    const std::vector<double>& terms = reverse ? reverseBases_ : forwardBases_;
    std::vector<std::vector<double>> signedTerms(length);
    for (size_t m = 0; m < length; ++m) {
        const size_t position = reverse ? length - 1 - m : m;
        for (size_t x = 0; x < 4; ++x) {
            signedTerms[m].push_back(sign * terms[position * 4 + x]);
        }
    }
    const Scaling scaling = scalingOf(signedTerms, sign * cutOff);
    if (scaling.use != StrandFilter::Use::Filter) {
        return {};
    }
    const size_t k = wordLength_;
    const size_t words = size_t{1} << (2 * k);
    const size_t groups = (length + k - 1) / k;
    std::vector<uint8_t> rows(groups * 64);
    for (size_t g = 0; g < groups; ++g) {
        for (size_t word = 0; word < 64; ++word) {
            double d = 0.0;
            for (size_t j = 0; j < k && k * g + j < length; ++j) {
                const size_t m = k * g + j;
                const size_t x = (word % words >> (2 * (k - 1 - j))) & 3;
                d += scaling.best[m] - signedTerms[m][x];
            }
            rows[g * 64 + word] = boundOf(scaling.scale * d);
        }
    }
    return rows;
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
    const size_t room = (count + 63) / 64 * 64 + 128;
    if (codes.size() < room) {
        codes.resize(room);
    }
    if (path_ == InstructionSet::Avx512 && cpuHasByteShuffle()) {
        simd::classifyBytes512(classOf_, text, count, codes.data());
    } else {
        for (size_t i = 0; i < count; ++i) {
            codes[i] = classOf_[static_cast<unsigned char>(text[i])];
        }
    }
    std::fill(codes.begin() + static_cast<std::ptrdiff_t>(count),
              codes.begin() + static_cast<std::ptrdiff_t>(room), 0);
}

void WindowKernel::block(const char* text, size_t count, double* out) const {
    if (count == 0) {
        return;
    }
    if (path_ == InstructionSet::Avx512) {
        if (usesClasses()) {
            std::vector<uint8_t>& codes = scratch_.codes;
            scratch_.classified = nullptr;
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

void WindowKernel::makeFixedTerms() {
    if (!hasFixedSums()) {
        return;
    }
    // T: the largest |score| a window can reach. Steps of 2^e with T / 2^e
    // below 2^30 keep every sum of L rounded terms within 32 bits.
    double largest = 0.0;
    for (int l = 0; l < length_; ++l) {
        double row = 0.0;
        for (size_t k = 0; k < classCount_; ++k) {
            row = std::max(row, std::fabs(forwardTerms_[static_cast<size_t>(l) * 16 + k]));
        }
        largest += row;
    }
    const int exponent = largest > 0.0 ? std::ilogb(largest) + 1 - 30 : -30;
    fixedStep_ = std::ldexp(1.0, exponent);
    // |D - R| <= gamma(L) T for the double sum D of the real sum R of the
    // terms, and the bounds' own rounding is below 2^-53 of T; twice that.
    fixedSlack_ = static_cast<double>(4 * length_ + 8) * std::ldexp(largest + fixedStep_, -53);
    const auto rounded = [exponent](double term) {
        return static_cast<int32_t>(std::floor(std::ldexp(term, -exponent)));
    };
    fixedForward_.assign(forwardTerms_.size(), 0);
    fixedReverse_.assign(reverseTerms_.size(), 0);
    for (size_t at = 0; at < forwardTerms_.size(); ++at) {
        fixedForward_[at] = rounded(forwardTerms_[at]);
        fixedReverse_[at] = rounded(reverseTerms_[at]);
    }
}

void WindowKernel::blockFixed(const char* text, size_t count, bool reverse, int32_t* out) const {
    const auto length = static_cast<size_t>(length_);
    const std::vector<int32_t>& terms = reverse ? fixedReverse_ : fixedForward_;
    std::vector<uint8_t>& codes = scratch_.codes;
    scratch_.classified = nullptr;
    for (size_t at = 0; at < count; at += kPiece) {
        const size_t n = std::min(kPiece, count - at);
        classify(text + at, n + length - 1, codes);
        blockFixed512(codes.data(), n, terms.data(), reverse, out + at);
    }
}

void WindowKernel::blockReverse(const char* text, size_t count, double* out) const {
    if (count == 0) {
        return;
    }
    const auto length = static_cast<size_t>(length_);
    if (!usesClasses()) {
        // The window's reverse complement, scored as a forward window.
        std::string window(length, '\0');
        for (size_t i = 0; i < count; ++i) {
            for (size_t l = 0; l < length; ++l) {
                window[l] = complementOf(static_cast<unsigned char>(text[i + length - 1 - l]));
            }
            out[i] = table_.score(window.data());
        }
        return;
    }
    std::vector<uint8_t>& codes = scratch_.codes;
    scratch_.classified = nullptr;
    for (size_t at = 0; at < count; at += kPiece) {
        const size_t n = std::min(kPiece, count - at);
        classify(text + at, n + length - 1, codes);
        if (path_ == InstructionSet::Avx512) {
            blockClasses512(codes.data(), n, reverseTerms_.data(), true, out + at);
        } else {
            for (size_t i = 0; i < n; ++i) {
                out[at + i] = reverseScore(codes.data() + i);
            }
        }
    }
}

void WindowKernel::candidates(const char* text, size_t count, double cutOff, bool lowerIsBetter,
                              std::vector<uint32_t>& out) const {
    out.clear();
    const StrandFilter& filter = forwardFilter(cutOff, lowerIsBetter).strands[0];
    std::vector<uint64_t>& masks = scratch_.masks[0];
    scratch_.classified = nullptr;
    for (size_t at = 0; at < count; at += kPiece) {
        const size_t n = std::min(kPiece, count - at);
        if (filter.use != StrandFilter::Use::Filter) {
            for (size_t i = 0; i < n && filter.use == StrandFilter::Use::Exact; ++i) {
                out.push_back(static_cast<uint32_t>(at + i));
            }
            continue;
        }
        classify(text + at, n + static_cast<size_t>(length_) - 1, scratch_.codes);
        masks.resize((n + 63) / 64);
        if (path_ == InstructionSet::Avx512) {
            survivors512(scratch_.codes.data(), n, filter.rows.data(), masks.data());
        } else {
            survivors256(scratch_.codes.data(), n, filter.rows.data(), masks.data());
        }
        if (n % 64 != 0) {
            masks.back() &= (uint64_t{1} << (n % 64)) - 1;
        }
        for (size_t b = 0; b < masks.size(); ++b) {
            for (uint64_t m = masks[b]; m != 0; m &= m - 1) {
                out.push_back(
                    static_cast<uint32_t>(at + 64 * b + static_cast<size_t>(__builtin_ctzll(m))));
            }
        }
    }
}

void WindowKernel::readText(const char* text, size_t characters, Scratch& scratch) const {
    scratch.text = text;
    scratch.characters = characters;
    scratch.classified = nullptr;
    scratch.bases = false;
    if (wordLength_ == 0) {
        return;
    }
    // Room for whole 64-window blocks and the rows' reach beyond.
    const size_t room = (characters + 63) / 64 * 64 + 128 + static_cast<size_t>(length_);
    if (scratch.words.size() < room) {
        scratch.words.resize(room);
    }
    scratch.bases = wordLength_ == 3 ? simd::baseWords512(text, characters, scratch.words.data())
                                     : simd::baseWords256(text, characters, scratch.words.data());
}

template <class Score>
void WindowKernel::keepSurvivors(const std::vector<uint64_t>& masks, double cutOff, bool lower,
                                 Score score, std::vector<std::pair<uint32_t, double>>& passed) {
    for (size_t b = 0; b < masks.size(); ++b) {
        for (uint64_t m = masks[b]; m != 0; m &= m - 1) {
            const size_t i = 64 * b + static_cast<size_t>(__builtin_ctzll(m));
            const double s = score(i);
            if (lower ? s < cutOff : s > cutOff) {
                passed.emplace_back(static_cast<uint32_t>(i), s);
            }
        }
    }
}

void WindowKernel::passingPiece(size_t count, const CutFilter& filter, Scratch& scratch,
                                bool both) const {
    scratch.forward.clear();
    scratch.reverse.clear();
    const StrandFilter& forward = filter.strands[0];
    const StrandFilter& reverse = filter.strands[1];
    if (scratch.bases && forward.use == StrandFilter::Use::Filter && !forward.words.empty() &&
        (!both || (reverse.use == StrandFilter::Use::Filter && !reverse.words.empty()))) {
        passingWords(count, filter, scratch, both);
    } else {
        passingClasses(count, filter, scratch, both);
    }
}

// By words of bases: both strands' survivors in one pass over the words (the
// forward rows serve as the reverse ones when only the forward strand is
// asked for), scored exactly from the bases' terms.
void WindowKernel::passingWords(size_t count, const CutFilter& filter, Scratch& scratch,
                                bool both) const {
    const size_t blocks = (count + 63) / 64;
    scratch.masks[0].resize(blocks);
    scratch.masks[1].resize(blocks);
    const uint8_t* forwardRows = filter.strands[0].words.data();
    const uint8_t* reverseRows = both ? filter.strands[1].words.data() : forwardRows;
    if (wordLength_ == 3) {
        wordSurvivors512(scratch.words.data(), count, forwardRows, reverseRows,
                         scratch.masks[0].data(), scratch.masks[1].data());
    } else {
        wordSurvivors256(scratch.words.data(), count, forwardRows, reverseRows,
                         scratch.masks[0].data(), scratch.masks[1].data());
    }
    if (count % 64 != 0) {
        const uint64_t own = (uint64_t{1} << (count % 64)) - 1;  // the last block's windows
        scratch.masks[0].back() &= own;
        scratch.masks[1].back() &= own;
    }
    const char* text = scratch.text;
    keepSurvivors(
        scratch.masks[0], filter.cutOff, filter.lowerIsBetter,
        [&](size_t i) { return table_.score(text + i); }, scratch.forward);
    if (both) {
        keepSurvivors(
            scratch.masks[1], filter.cutOff, filter.lowerIsBetter,
            [&](size_t i) {
                double sum = 0.0;
                for (int l = 0; l < length_; ++l) {
                    const auto byte = static_cast<unsigned char>(text[i + length_ - 1 - l]);
                    sum += reverseBases_[static_cast<size_t>(l) * 4 + baseOf_[byte]];
                }
                return sum;
            },
            scratch.reverse);
    }
}

// By class codes: filtered (both strands in one pass when both filter),
// or every window scored (vector sums on AVX-512), or none.
void WindowKernel::passingClasses(size_t count, const CutFilter& filter, Scratch& scratch,
                                  bool both) const {
    if (scratch.classified == nullptr || !scratch.classified->classifiesAlike(*this)) {
        classify(scratch.text, scratch.characters, scratch.codes);
        scratch.classified = this;
    }
    const uint8_t* codes = scratch.codes.data();
    const double cutOff = filter.cutOff;
    const bool lower = filter.lowerIsBetter;
    const size_t blocks = (count + 63) / 64;
    const bool together = both && filter.strands[0].use == StrandFilter::Use::Filter &&
                          filter.strands[1].use == StrandFilter::Use::Filter;
    if (together) {
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
                    masks.resize(blocks);
                    if (path_ == InstructionSet::Avx512) {
                        survivors512(codes, count, strandFilter.rows.data(), masks.data());
                    } else {
                        survivors256(codes, count, strandFilter.rows.data(), masks.data());
                    }
                }
                if (count % 64 != 0) {
                    masks.back() &= (uint64_t{1} << (count % 64)) - 1;  // the last block's
                }
                keepSurvivors(masks, cutOff, lower, scoreAt, passed);
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
                        if (lower ? scores[i] < cutOff : scores[i] > cutOff) {
                            passed.emplace_back(static_cast<uint32_t>(i), scores[i]);
                        }
                    }
                } else {
                    for (size_t i = 0; i < count; ++i) {
                        const double score = scoreAt(i);
                        if (lower ? score < cutOff : score > cutOff) {
                            passed.emplace_back(static_cast<uint32_t>(i), score);
                        }
                    }
                }
                break;
        }
    }
}

}  // namespace xoprex::scan_detail
