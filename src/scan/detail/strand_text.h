// A record's strands as the scan reads them. Windows run over the end of a
// strand into its start: a strand is read as if its first b characters (b =
// L, plus h in integrative mode, at most N) were appended to it, and the
// windows that cross the end are read from a short stitched copy of the
// strand's end and start, so the long text is never copied for the wrap.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>

namespace xoprex::scan_detail {

// One strand as the scan reads it: text[0..n) followed (virtually) by its
// first `wrap` characters. Windows starting before stitchStart lie inside
// text; the others are read from `stitch`, which holds the virtual text from
// stitchStart on.
class StrandText {
  public:
    void assign(const char* text, size_t n, size_t wrap, size_t length);
    const char* window(size_t start) const {
        return start < stitchStart_ ? text_ + start : stitchText_ + (start - stitchStart_);
    }
    // Splits [first, stop) at stitchStart: calls run(pointer, first, count)
    // for each part, pointer being the first window's text.
    template <class Run>
    void forRanges(size_t first, size_t stop, Run&& run) const {
        if (first < stitchStart_) {
            const size_t inside = std::min(stop, stitchStart_);
            run(text_ + first, first, inside - first);
            first = inside;
        }
        if (first < stop) {
            run(stitchText_ + (first - stitchStart_), first, stop - first);
        }
    }
    // Copies the window starting at `start` (< n) into `site`.
    void copyWindow(size_t start, size_t length, std::string& site) const;

    StrandText() = default;
    StrandText(const StrandText&) = delete;
    StrandText& operator=(const StrandText&) = delete;

  private:
    const char* text_ = nullptr;
    size_t n_ = 0;
    size_t stitchStart_ = 0;
    // The stitched end: in short_ when it fits (a plain scan's), else in
    // stitch_.
    const char* stitchText_ = nullptr;
    std::array<char, 64> short_{};
    std::string stitch_;
};

// Of the windows of `length` characters starting at 0 .. windows - 1 of
// text[0..n) (running over its end into its start), those holding only A,
// C, G and T.
size_t cleanWindowCount(const char* text, size_t n, size_t length, size_t windows);

// The text of the reverse pass: the reverse complement of text[0..n), with
// room for the wrap.
std::string reverseStrand(const char* text, size_t n, size_t wrap);

// The reverse strand of text[0..n), read a stretch at a time instead of
// being copied whole: position j < n holds the complement of text[n - 1 - j]
// and the strand goes on with its own first characters (the wrap). Only for
// texts whose every byte has a complement (fullyComplementable), so that no
// byte is dropped and the strand has n characters. Offers StrandText's
// reading interface; the texts it hands out live in its own buffer until the
// next call, so each thread needs its own reader.
class ReverseStrandReader {
  public:
    ReverseStrandReader(const char* text, size_t n, size_t length)
        : text_(text), n_(n), length_(length) {}
    const char* window(size_t start) const { return windows(start, 1); }
    template <class Run>
    void forRanges(size_t first, size_t stop, Run&& run) const {
        run(windows(first, stop - first), first, stop - first);
    }

  private:
    // The characters of the windows starting at first .. first + count - 1.
    const char* windows(size_t first, size_t count) const;

    const char* text_;
    size_t n_;
    size_t length_;
    mutable std::string buffer_;
};
}  // namespace xoprex::scan_detail
