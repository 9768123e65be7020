#include "scan/window_scores.h"

#include "scan/detail/window_kernel.h"

namespace xoprex {

WindowScores::WindowScores(const TermTable& table)
    : kernel_(std::make_unique<scan_detail::WindowKernel>(table)) {}

WindowScores::~WindowScores() = default;

void WindowScores::score(const char* text, size_t count, double* out) const {
    kernel_->block(text, count, out);
}

void WindowScores::scoreReverse(const char* text, size_t count, double* out) const {
    kernel_->blockReverse(text, count, out);
}

}  // namespace xoprex
