#include "scan/detail/strand_text.h"

#include <algorithm>

#include "base/memory_hints.h"
#include "scan/reverse_complement.h"
#include "seqio/sequence.h"

namespace xoprex::scan_detail {

void StrandText::assign(const char* text, size_t n, size_t wrap, size_t length) {
    text_ = text;
    n_ = n;
    stitchStart_ = n + 1 > length ? n + 1 - length : 0;
    // The strand's end, then its first `wrap` characters (wrap <= n).
    const size_t tail = n - stitchStart_;
    const size_t size = tail + wrap;
    char* to = short_.data();
    stitch_.clear();
    if (size > short_.size()) {
        stitch_.resize(size);
        to = stitch_.data();
    }
    std::copy(text + stitchStart_, text + n, to);
    std::copy(text, text + wrap, to + tail);
    stitchText_ = to;
}

void StrandText::copyWindow(size_t start, size_t length, std::string& site) const {
    if (start + length <= n_) {
        site.assign(text_ + start, length);
        return;
    }
    site.assign(text_ + start, n_ - start);
    site.append(text_, length - (n_ - start));
}

size_t cleanWindowCount(const char* text, size_t n, size_t length, size_t windows) {
    if (n == 0 || length == 0 || length > n) {
        return 0;
    }
    // The letters other than bases inside the window starting at s, kept as
    // the window slides.
    const auto at = [&](size_t k) { return text[k < n ? k : k - n]; };
    size_t inside = 0;
    for (size_t k = 0; k < length; ++k) {
        inside += isBase(at(k)) ? 0 : 1;
    }
    size_t clean = 0;
    for (size_t s = 0; s < windows; ++s) {
        clean += inside == 0 ? 1 : 0;
        if (s + 1 < windows) {
            inside -= isBase(at(s)) ? 0 : 1;
            inside += isBase(at(s + length)) ? 0 : 1;
        }
    }
    return clean;
}

std::string reverseStrand(const char* text, size_t n, size_t wrap) {
    std::string reverse;
    reverse.reserve(n + wrap);
    askForHugePages(reverse.data(), reverse.capacity());
    reverseComplementInto(text, n, reverse);
    return reverse;
}

const char* ReverseStrandReader::windows(size_t first, size_t count) const {
    const size_t stop = first + count + length_ - 1;
    buffer_.clear();
    // Strand positions a .. b - 1 (below n) are text[n - b .. n - a) reversed
    // and complemented; positions from n on repeat the strand's start.
    const auto append = [&](size_t a, size_t b) {
        appendReverseComplementOf(text_ + (n_ - b), b - a, buffer_);
    };
    if (first < n_) {
        append(first, std::min(stop, n_));
    }
    if (stop > n_) {
        append(std::max(first, n_) - n_, stop - n_);
    }
    return buffer_.data();
}

}  // namespace xoprex::scan_detail
