// Block scoring of consecutive windows, exact to the bit.
//
// A window's score is the sum of one table term per position, added in
// position order from 0 (TermTable::score). WindowKernel computes the same
// sums for many consecutive windows at once: vector lanes hold consecutive
// windows and every lane adds its own terms in the same order, so each lane
// is bit-identical to the scalar sum. The path is chosen at run time from the
// CPU's features (AVX-512, AVX2, scalar); all give the same doubles. On
// AVX2 the exact sums stay scalar (its gathers are slower) and only the
// filter below is vectorised.
//
// Bytes whose terms agree at every position, and whose complements' terms
// agree too, form one letter class; with at most 16 classes (the usual case:
// A, C, G, T, the eleven ambiguity codes, N with X and everything else) the
// text is read as class codes, and a class's terms are those of any of its
// bytes, bit for bit. The AVX-512 path then looks terms up by class with a
// two-register permute instead of a gather.
//
// The reverse strand needs no text of its own: the reverse complement of the
// window at i scores sum over l of term[l][complement of text[i + L - 1 - l]],
// in the same order, which the forward letters give as well (for texts whose
// every byte has a complement).
//
// For the plain cut-off test a conservative filter runs first. It bounds
// each window's distance from the best score from below: per position the
// best term less the window's term, scaled so that the distance a window may
// have and still pass is 250 units, rounded down to 8 bits; a window whose
// bounds sum (with saturating byte adds) to more than 251 cannot pass and is
// skipped, every other window is scored exactly and tested. The filter may
// let through windows that fail, never drops one that passes. Its bounds are
// looked up by class code, one position at a time, 32 or 64 windows an
// instruction (a byte shuffle over the 16 classes), or, for stretches of text
// made of A, C, G and T only, by words of bases: three with the AVX-512 byte
// permutes (one permute over a table of 64 bounds per three positions), two
// otherwise (one byte shuffle over 16 bounds per two positions).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "base/cpu_features.h"
#include "motif/scoring.h"

namespace xoprex::scan_detail {

class WindowKernel {
  public:
    // `table` must outlive the kernel. useClasses = false keeps the byte
    // gather even when the letters form at most 16 classes (for tests).
    explicit WindowKernel(const TermTable& table, InstructionSet path = preferredInstructionSet(),
                          bool useClasses = true);
    // A copy has scratch and filters of its own.
    WindowKernel(const WindowKernel& other);
    WindowKernel& operator=(const WindowKernel&) = delete;

    int siteLength() const { return length_; }
    InstructionSet path() const { return path_; }
    bool usesClasses() const { return classCount_ <= 16; }

    // One window, the table's own sum.
    double operator()(const char* window) const { return table_.score(window); }

    // out[i] = score of the window at text + i, for i < count. Reads
    // text[0 .. count + L - 1).
    void block(const char* text, size_t count, double* out) const;
    // out[i] = score of the reverse strand's window over text + i (the
    // complement read from its end), for i < count; every byte of
    // text[0 .. count + L - 1) must have a complement.
    void blockReverse(const char* text, size_t count, double* out) const;

    // ---- Fixed-point sums (AVX-512, the letters forming at most 16 classes)

    // Each term rounded down to a multiple of fixedStep() (a power of two),
    // the window's sum of those multiples: a window scoring D with sum S
    // has S step - fixedSlack() <= D <= (S + L) step + fixedSlack(), the
    // slack bounding the rounding of D's own double sum (and of those two
    // bounds once computed in doubles). Exact integer sums, the same on
    // every path.
    bool hasFixedSums() const {
        return usesClasses() && length_ > 0 && path_ == InstructionSet::Avx512;
    }
    double fixedStep() const { return fixedStep_; }
    double fixedSlack() const { return fixedSlack_; }
    // out[i] = the sum of the window at text + i (of the reverse strand's
    // window there, read from its end, with `reverse`: every byte must then
    // have a complement), for i < count. Reads text[0 .. count + L - 1).
    void blockFixed(const char* text, size_t count, bool reverse, int32_t* out) const;

    // Calls keep(i, score) in increasing i for every window text + i
    // (i < count) whose score passes the cut-off (strictly above it, or
    // strictly below it when lowerIsBetter). NaN never passes. Reads
    // text[0 .. count + L - 1).
    template <class Keep>
    void passing(const char* text, size_t count, double cutOff, bool lowerIsBetter,
                 Keep&& keep) const {
        eachPiece(text, count, forwardFilter(cutOff, lowerIsBetter), scratch_, false, keep,
                  [](size_t, double) {});
    }

    // Windows that survive the filter by class codes (all of them when it
    // cannot help), in increasing order. Exposed for tests.
    void candidates(const char* text, size_t count, double cutOff, bool lowerIsBetter,
                    std::vector<uint32_t>& out) const;

    // ---- Both strands from the forward text

    // Whether passingBoth can score the reverse strand from the forward text.
    bool scoresBothStrands() const { return usesClasses() && length_ > 0; }

    // The filter of one cut-off for one strand.
    struct StrandFilter {
        enum class Use : uint8_t { Exact, Filter, Nothing };
        Use use = Use::Exact;
        std::vector<uint8_t> rows;   // by class: L rows of 64 bytes (16 bounds, 4 times)
        std::vector<uint8_t> words;  // by word of k bases: ceil(L / k) rows of 64
    };
    struct CutFilter {
        double cutOff = 0.0;
        bool lowerIsBetter = false;
        StrandFilter strands[2];  // forward, reverse
    };
    // The filter for a cut-off, for texts whose every byte has a complement
    // (kept until the next call with another cut-off).
    const CutFilter& bothStrandFilter(double cutOff, bool lowerIsBetter) const;

    // A piece of text as one thread reads it (readText), and what the
    // filter and the scores of its windows need.
    struct Scratch {
        const char* text = nullptr;
        size_t characters = 0;
        bool bases = false;  // A, C, G and T only: `words` are made
        // The word of the letters (0..3) at i, i + 1, ...: 16 x + 4 y + z,
        // or 4 x + y for words of two.
        std::vector<uint8_t> words;
        const WindowKernel* classified = nullptr;  // whose class codes `codes` holds
        std::vector<uint8_t> codes;
        std::vector<uint64_t> masks[2];
        std::vector<double> scores[2];
        std::vector<std::pair<uint32_t, double>> forward, reverse;
        // What a driver of several scans holds per scan (scanPlainBothEach).
        std::vector<std::vector<std::pair<size_t, double>>> held;
    };
    // The scratch of the kernel's own thread.
    Scratch& ownScratch() const { return scratch_; }

    // Both strands of the windows at text + 0 .. count - 1 of a text whose
    // every byte has a complement (scoresBothStrands): keepForward(i, score)
    // for each window that passes the filter's cut-off, keepReverse(i,
    // score) for each whose reverse complement passes, each in increasing
    // i. Reads text[0 .. count + L - 1).
    template <class KeepForward, class KeepReverse>
    void passingBoth(const char* text, size_t count, const CutFilter& filter, Scratch& scratch,
                     KeepForward&& keepForward, KeepReverse&& keepReverse) const {
        eachPiece(text, count, filter, scratch, true, keepForward, keepReverse);
    }

    // passingBoth in two steps, so that several kernels share the reading
    // of a piece of text: readText takes text[0 .. characters), then
    // passingPiece the windows 0 .. count - 1 (at most kPiece) of it that
    // pass (count + L - 1 at most `characters`), into
    // scratch.forward and, with `both`, scratch.reverse (which assumes that
    // every byte has a complement). Kernels that classify bytes alike share
    // the class codes.
    static constexpr size_t kPiece = 8192;
    void readText(const char* text, size_t characters, Scratch& scratch) const;
    void passingPiece(size_t count, const CutFilter& filter, Scratch& scratch, bool both) const;

  private:
    // Windows whose bound sum exceeds this cannot pass.
    static constexpr uint8_t kFilterLimit = 251;

    // The windows of text + 0 .. count - 1 that pass, a piece at a time.
    template <class KeepForward, class KeepReverse>
    void eachPiece(const char* text, size_t count, const CutFilter& filter, Scratch& scratch,
                   bool both, KeepForward&& keepForward, KeepReverse&& keepReverse) const {
        for (size_t at = 0; at < count; at += kPiece) {
            const size_t n = count - at < kPiece ? count - at : kPiece;
            readText(text + at, n + static_cast<size_t>(length_) - 1, scratch);
            passingPiece(n, filter, scratch, both);
            for (const auto& [i, score] : scratch.forward) {
                keepForward(at + i, score);
            }
            for (const auto& [i, score] : scratch.reverse) {
                keepReverse(at + i, score);
            }
        }
    }

    bool classifiesAlike(const WindowKernel& other) const {
        return classOf_ == other.classOf_ && path_ == other.path_;
    }
    StrandFilter strandFilter(double cutOff, bool lowerIsBetter, bool reverse,
                              bool complementedOnly) const;
    std::vector<uint8_t> wordBounds(double cutOff, bool lowerIsBetter, bool reverse) const;
    const CutFilter& forwardFilter(double cutOff, bool lowerIsBetter) const;
    // The filter `kept` holds, made again unless it is that of the cut-off.
    const CutFilter& keptFilter(CutFilter& kept, bool& made, double cutOff, bool lowerIsBetter,
                                bool both) const;
    void classify(const char* text, size_t count, std::vector<uint8_t>& codes) const;
    void makeFixedTerms();
    void blockClasses512(const uint8_t* codes, size_t count, const double* terms, bool reverse,
                         double* out) const;
    void blockGather512(const char* text, size_t count, double* out) const;
    void blockFixed512(const uint8_t* codes, size_t count, const int32_t* terms, bool reverse,
                       int32_t* out) const;
    // Bit k of masks[b] is set when window 64 b + k (< count) survives the
    // filter of `rows` (by class), or of `forwardRows` and `reverseRows`
    // for both strands at once, or of the word bounds (wordSurvivors512).
    void survivors512(const uint8_t* codes, size_t count, const uint8_t* rows,
                      uint64_t* masks) const;
    void survivors256(const uint8_t* codes, size_t count, const uint8_t* rows,
                      uint64_t* masks) const;
    void bothSurvivors512(const uint8_t* codes, size_t count, const uint8_t* forwardRows,
                          const uint8_t* reverseRows, uint64_t* forwardMasks,
                          uint64_t* reverseMasks) const;
    void bothSurvivors256(const uint8_t* codes, size_t count, const uint8_t* forwardRows,
                          const uint8_t* reverseRows, uint64_t* forwardMasks,
                          uint64_t* reverseMasks) const;
    void wordSurvivors512(const uint8_t* words, size_t count, const uint8_t* forwardRows,
                          const uint8_t* reverseRows, uint64_t* forwardMasks,
                          uint64_t* reverseMasks) const;
    void wordSurvivors256(const uint8_t* words, size_t count, const uint8_t* forwardRows,
                          const uint8_t* reverseRows, uint64_t* forwardMasks,
                          uint64_t* reverseMasks) const;
    // The piece's windows by class codes (classified on first need) or by
    // words of bases.
    void passingClasses(size_t count, const CutFilter& filter, Scratch& scratch, bool both) const;
    void passingWords(size_t count, const CutFilter& filter, Scratch& scratch, bool both) const;
    template <class Score>
    static void keepSurvivors(const std::vector<uint64_t>& masks, double cutOff, bool lower,
                              Score score, std::vector<std::pair<uint32_t, double>>& passed);
    double forwardScore(const uint8_t* codes) const {
        return sumTerms<16, false>(forwardTerms_.data(), codes);
    }
    double reverseScore(const uint8_t* codes) const {
        return sumTerms<16, true>(reverseTerms_.data(), codes);
    }
    // The terms of positions 0, 1, ..., L - 1 from rows of `width` terms,
    // looked up by the codes at 0, 1, ... or, `backwards`, at L - 1, L - 2,
    // ..., summed in position order from +0.0.
    template <size_t width, bool backwards>
    double sumTerms(const double* rows, const uint8_t* codes) const {
        double sum = 0.0;
        for (int l = 0; l < length_; ++l) {
            sum += rows[static_cast<size_t>(l) * width + codes[backwards ? length_ - 1 - l : l]];
        }
        return sum;
    }

    const TermTable& table_;
    int length_ = 0;
    InstructionSet path_;
    size_t wordLength_ = 0;  // bases in the filter's words: 3, 2, or 0 without it
    std::array<uint8_t, 256> classOf_{};
    size_t classCount_ = 0;
    // Per class: whether one of its bytes has a complement (only those
    // classes take part in the reverse strand's bounds).
    std::array<bool, 16> complemented_{};
    std::vector<double> forwardTerms_;   // L rows of 16 terms, by class
    std::vector<double> reverseTerms_;   // L rows: position l's terms of the complements
    std::vector<double> forwardBases_;   // L rows of 4 terms: A, C, G, T
    std::vector<double> reverseBases_;   // L rows: position l's terms of T, G, C, A
    std::vector<int32_t> fixedForward_;  // L rows of 16: the terms in steps, rounded down
    std::vector<int32_t> fixedReverse_;
    double fixedStep_ = 1.0;
    double fixedSlack_ = 0.0;
    std::array<uint8_t, 256> baseOf_{};  // 0..3 for A, C, G, T
    mutable Scratch scratch_;
    mutable CutFilter forward_, both_;
    mutable bool haveForward_ = false, haveBoth_ = false;
};

}  // namespace xoprex::scan_detail
