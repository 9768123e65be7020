#include "scan/window_scores.h"

#include <array>
#include <string>

#include "scan/detail/window_kernel.h"
#include "scan/reverse_complement.h"

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
    // The window's reverse complement, scored as a forward window.
    const auto length = static_cast<size_t>(kernel_->siteLength());
    std::array<char, 64> small{};
    std::string large;
    char* window = small.data();
    if (length > small.size()) {
        large.resize(length);
        window = large.data();
    }
    for (size_t l = 0; l < length; ++l) {
        window[l] = complementOf(static_cast<unsigned char>(text[length - 1 - l]));
    }
    return (*kernel_)(window);
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
