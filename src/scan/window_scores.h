// Exact scores of consecutive windows, many at once: the scan's block
// kernel (vector lanes on AVX-512, scalar elsewhere), the same doubles as
// TermTable::score window by window. One serves one thread. Nothing here
// fails but memory.
#pragma once

#include <cstddef>
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

  private:
    std::unique_ptr<scan_detail::WindowKernel> kernel_;
};

}  // namespace xoprex
