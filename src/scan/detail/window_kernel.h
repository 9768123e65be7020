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
// Bytes whose terms agree at every position form one letter class; with at
// most 16 classes (the usual case: A, C, G, T, U, the eleven ambiguity codes
// and everything else) the AVX-512 path looks terms up by class with a
// two-register permute instead of a gather.
//
// For the plain cut-off test a conservative filter runs first: per position
// an 8-bit upper bound of the term (scaled and rounded up), summed in 16-bit
// lanes for 32 or 64 windows per step; a window whose bound sum stays below the threshold
// cannot pass and is skipped, every other window is scored exactly and
// tested. The filter may let through windows that fail, never drops one that
// passes.
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
        for (const auto& [i, score] : passed_) {
            keep(static_cast<size_t>(i), score);
        }
    }

    // Windows that survive the filter (all of them when it cannot help), in
    // increasing order. Exposed for tests.
    void candidates(const char* text, size_t count, double cutOff, bool lowerIsBetter,
                    std::vector<uint32_t>& out) const;

  private:
    struct Bound {
        bool usable = false;
        uint32_t threshold = 0;  // reject when the bound sum is below it
    };
    Bound boundFor(double cutOff, bool lowerIsBetter) const;
    void passingList(const char* text, size_t count, double cutOff, bool lowerIsBetter) const;
    void prepareFilter();
    void classify(const char* text, size_t count) const;
    void blockClasses512(const char* text, size_t count, double* out) const;
    void blockGather512(const char* text, size_t count, double* out) const;
    void candidates512(size_t count, const std::vector<uint8_t>& bounds, uint32_t threshold,
                       std::vector<uint32_t>& out) const;
    void candidates256(size_t count, const std::vector<uint8_t>& bounds, uint32_t threshold,
                       std::vector<uint32_t>& out) const;

    const TermTable& table_;
    int length_ = 0;
    InstructionSet path_;
    std::array<uint8_t, 256> classOf_{};
    size_t classCount_ = 0;
    std::vector<double> classTerms_;  // L rows of 16 terms
    // Index 0: scores as they are (higher passes); 1: negated scores (the
    // lower-is-better test "score < cut-off" is "-score > -cut-off").
    struct Filter {
        bool usable = false;
        std::vector<uint8_t> bounds;  // L rows of 16 bytes (by class)
        double scale = 0.0;           // bound units per score unit
        double floorSum = 0.0;        // sum over positions of the smallest term
        double error = 0.0;           // bound on rounding in the sums
    };
    Filter filters_[2];
    mutable std::vector<uint8_t> classes_;      // class codes of the current block
    mutable std::vector<uint32_t> candidates_;  // scratch of passing()
    mutable std::vector<double> scores_;        // scratch of passing()
    mutable std::vector<std::pair<uint32_t, double>> passed_;
};

}  // namespace xoprex::scan_detail
