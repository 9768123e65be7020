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

double WindowScores::scoreOne(const char* text, bool reverse) const {
    if (!reverse) {
        return (*kernel_)(text);
    }
    double score = 0.0;
    kernel_->blockReverse(text, 1, &score);
    return score;
}

bool WindowScores::hasFixedSums() const {
    return kernel_->hasFixedSums();
}

double WindowScores::fixedStep() const {
    return kernel_->fixedStep();
}

double WindowScores::fixedSlack() const {
    return kernel_->fixedSlack();
}

void WindowScores::fixedSums(const char* text, size_t count, bool reverse, int32_t* out) const {
    kernel_->blockFixed(text, count, reverse, out);
}

}  // namespace xoprex
