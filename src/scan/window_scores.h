// Exact scores of consecutive windows, many at once: the scan's block
// kernel (vector lanes on AVX-512, scalar elsewhere), the same doubles as
// TermTable::score window by window. One serves one thread. Nothing here
// fails but memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "motif/scoring.h"

namespace xoprex {

namespace scan_detail {
class WindowKernel;
}

class WindowScores {
  public:
    // `table` must outlive this.
    explicit WindowScores(const TermTable& table);
    ~WindowScores();
    WindowScores(const WindowScores&) = delete;
    WindowScores& operator=(const WindowScores&) = delete;

    // out[i] = the score of the window at text + i, for i < count; reads
    // text[0 .. count + L - 1).
    void score(const char* text, size_t count, double* out) const;
    // out[i] = the score of the reverse strand's window over text + i (its
    // complement read from the end), for i < count; reads the same bytes,
    // every one of which must have a complement (scan/reverse_complement.h).
    void scoreReverse(const char* text, size_t count, double* out) const;
    // The score of the one window at text (`reverse`: of the reverse
    // strand's window there).
    double scoreOne(const char* text, bool reverse) const;

    // Fixed-point sums, for kernels whose letters form few classes
    // (hasFixedSums): each term rounded down to a multiple of fixedStep(),
    // a power of two; a window scoring D with sum S has
    //   S step - fixedSlack() <= D <= (S + L) step + fixedSlack().
    // out[i] = the sum of the window at text + i (with `reverse`, of the
    // reverse strand's window there, as scoreReverse reads it).
    bool hasFixedSums() const;
    double fixedStep() const;
    double fixedSlack() const;
    void fixedSums(const char* text, size_t count, bool reverse, int32_t* out) const;

  private:
    std::unique_ptr<scan_detail::WindowKernel> kernel_;
};

}  // namespace xoprex
