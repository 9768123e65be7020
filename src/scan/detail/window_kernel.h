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
// in the same order, which the class codes of the forward text give as well
// (for texts whose every byte has a complement).
//
// For the plain cut-off test a conservative filter runs first. Per position
// and class it holds an 8-bit lower bound of the window's distance from the
// best score (the position's best term less the class's term, scaled so that
// the distance a window may have and still pass is 250 units, rounded down);
// the bounds of 32 or 64 windows are summed per instruction with saturating
// byte adds (a byte shuffle looks them up by class), for each strand. A
// window whose sum exceeds 251 cannot pass and is skipped; every other window
// is scored exactly and tested. The filter may let through windows that
// fail, never drops one that passes.
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

    // Calls keep(i, score) in increasing i for every window text + i
    // (i < count) whose score passes the cut-off (strictly above it, or
    // strictly below it when lowerIsBetter). NaN never passes. Reads
    // text[0 .. count + L - 1).
    template <class Keep>
    void passing(const char* text, size_t count, double cutOff, bool lowerIsBetter,
                 Keep&& keep) const {
        passingList(text, count, cutOff, lowerIsBetter);
        for (const auto& [i, score] : scratch_.forward) {
            keep(static_cast<size_t>(i), score);
        }
    }

    // Windows that survive the filter (all of them when it cannot help), in
    // increasing order. Exposed for tests.
    void candidates(const char* text, size_t count, double cutOff, bool lowerIsBetter,
                    std::vector<uint32_t>& out) const;

    // Whether passingBoth can score the reverse strand from the forward text.
    bool scoresBothStrands() const { return usesClasses() && length_ > 0; }

    // The filter of one cut-off for both strands (made by bothStrandFilter).
    struct StrandFilter {
        enum class Use : uint8_t { Exact, Filter, Nothing };
        Use use = Use::Exact;
        std::vector<uint8_t> rows;  // L rows of 64 bytes (16 bounds, 4 times)
    };
    struct CutFilter {
        double cutOff = 0.0;
        bool lowerIsBetter = false;
        StrandFilter strands[2];  // forward, reverse
    };
    // The filter for a cut-off, for texts whose every byte has a complement
    // (kept until the next call with another cut-off).
    const CutFilter& bothStrandFilter(double cutOff, bool lowerIsBetter) const;

    // What one thread's passingBoth needs besides the kernel.
    struct Scratch {
        std::vector<uint8_t> codes;
        std::vector<uint64_t> masks[2];
        std::vector<double> scores[2];
        std::vector<std::pair<uint32_t, double>> forward, reverse;
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
        for (size_t at = 0; at < count; at += kPiece) {
            const size_t n = count - at < kPiece ? count - at : kPiece;
            classifyText(text + at, n + static_cast<size_t>(length_) - 1, scratch);
            passingCodes(n, filter, scratch, true);
            for (const auto& [i, score] : scratch.forward) {
                keepForward(at + i, score);
            }
            for (const auto& [i, score] : scratch.reverse) {
                keepReverse(at + i, score);
            }
        }
    }

    // passingBoth in two steps, so that kernels that classify bytes alike
    // (classifiesAlike) share the class codes of a text: the codes of
    // text[0 .. count) into scratch.codes, then the windows 0 .. count - 1
    // of scratch.codes that pass into scratch.forward and (with `both`)
    // scratch.reverse, for at most kPiece windows (codes of count + L - 1
    // characters).
    static constexpr size_t kPiece = 8192;
    bool classifiesAlike(const WindowKernel& other) const {
        return classOf_ == other.classOf_ && path_ == other.path_;
    }
    void classifyText(const char* text, size_t count, Scratch& scratch) const {
        classify(text, count, scratch.codes);
    }
    void passingCodes(size_t count, const CutFilter& filter, Scratch& scratch, bool both) const;

  private:
    // Windows whose bound sum exceeds this cannot pass.
    static constexpr uint8_t kFilterLimit = 251;

    StrandFilter strandFilter(double cutOff, bool lowerIsBetter, bool reverse,
                              bool complementedOnly) const;
    void passingList(const char* text, size_t count, double cutOff, bool lowerIsBetter) const;
    const CutFilter& forwardFilter(double cutOff, bool lowerIsBetter) const;
    // The filter `kept` holds, made again unless it is that of the cut-off.
    const CutFilter& keptFilter(CutFilter& kept, bool& made, double cutOff, bool lowerIsBetter,
                                bool both) const;
    void classify(const char* text, size_t count, std::vector<uint8_t>& codes) const;
    void blockClasses512(const uint8_t* codes, size_t count, const double* terms, bool reverse,
                         double* out) const;
    void blockGather512(const char* text, size_t count, double* out) const;
    // Bit k of masks[b] is set when window 64 b + k (< count) survives the
    // filter of `rows`.
    void survivors512(const uint8_t* codes, size_t count, const uint8_t* rows,
                      uint64_t* masks) const;
    void survivors256(const uint8_t* codes, size_t count, const uint8_t* rows,
                      uint64_t* masks) const;
    void survivors(const uint8_t* codes, size_t count, const StrandFilter& filter,
                   std::vector<uint64_t>& masks) const;
    // The same for both strands at once.
    void bothSurvivors512(const uint8_t* codes, size_t count, const uint8_t* forwardRows,
                          const uint8_t* reverseRows, uint64_t* forwardMasks,
                          uint64_t* reverseMasks) const;
    void bothSurvivors256(const uint8_t* codes, size_t count, const uint8_t* forwardRows,
                          const uint8_t* reverseRows, uint64_t* forwardMasks,
                          uint64_t* reverseMasks) const;
    double forwardScore(const uint8_t* codes) const {
        double sum = 0.0;
        const double* row = forwardTerms_.data();
        for (int l = 0; l < length_; ++l, row += 16) {
            sum += row[codes[l]];
        }
        return sum;
    }
    double reverseScore(const uint8_t* codes) const {
        double sum = 0.0;
        const double* row = reverseTerms_.data();
        for (int l = length_ - 1; l >= 0; --l, row += 16) {
            sum += row[codes[l]];
        }
        return sum;
    }

    const TermTable& table_;
    int length_ = 0;
    InstructionSet path_;
    std::array<uint8_t, 256> classOf_{};
    size_t classCount_ = 0;
    // Per class: whether one of its bytes has a complement (only those
    // classes take part in the reverse strand's bounds).
    std::array<bool, 16> complemented_{};
    std::vector<double> forwardTerms_;  // L rows of 16 terms, by class
    std::vector<double> reverseTerms_;  // L rows: position l's terms of the complements
    mutable Scratch scratch_;
    mutable CutFilter forward_, both_;
    mutable bool haveForward_ = false, haveBoth_ = false;
};

}  // namespace xoprex::scan_detail
