// The streaming yardstick: the least a search must do on a FASTA target of
// many records, with the search's own window kernel. It reads the target in
// pieces of 1 MB, gathers each record's letters (upper-cased) as they come,
// and when a record ends scans its two strands, each circular, with the
// kernel's 8-bit filter and exact scores, keeping the windows that pass
// (record, position, strand, score); then the record's letters are dropped.
// No logs, no results file, one thread. It prints the count of windows that
// pass (the same as bench_baseline's) and the time taken.
//
//   bench_streaming TARGET.fna SITES.txt [--method M] [--threshold T | --cutoff C]
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "scan/detail/window_kernel.h"
#include "scan/reverse_complement.h"
#include "yardstick.h"

namespace {

using namespace xoprex::scan_detail;

using namespace xoprex;
using Clock = std::chrono::steady_clock;

struct Hit {
    uint32_t record;
    uint32_t position;
    bool forward;
    double score;
};

class Scanner {
  public:
    explicit Scanner(const bench::Yardstick& yardstick)
        : yardstick_(yardstick),
          kernel_(yardstick.terms),
          length_(static_cast<size_t>(yardstick.terms.siteLength())) {
        for (int c = 0; c < 256; ++c) {
            upper_[c] = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        }
    }

    // Letters of the current record's sequence line.
    void letters(const char* begin, const char* end) {
        const size_t at = forward_.size();
        forward_.append(begin, end);
        for (size_t i = at; i < forward_.size(); ++i) {
            forward_[i] = upper_[static_cast<unsigned char>(forward_[i])];
        }
    }

    // The current record is complete.
    void endRecord() {
        if (!forward_.empty()) {
            reverseComplementInto(forward_.data(), forward_.size(), reverse_);
            windows_ += scanStrand(forward_, true) + scanStrand(reverse_, false);
            ++records_;
        }
        forward_.clear();
    }

    const std::vector<Hit>& hits() const { return hits_; }
    size_t records() const { return records_; }
    size_t windows() const { return windows_; }

  private:
    // Scans a strand as a circle: its first L-1 letters again after its end.
    size_t scanStrand(std::string& strand, bool forward) {
        const size_t n = strand.size();
        if (n == 0) {
            return 0;
        }
        while (strand.size() < n + length_ - 1) {
            strand.append(strand, 0, std::min(n, n + length_ - 1 - strand.size()));
        }
        const auto record = static_cast<uint32_t>(records_);
        kernel_.passing(strand.data(), n, yardstick_.cutOff, yardstick_.lowerBetter,
                        [&](size_t i, double score) {
                            hits_.push_back({record, static_cast<uint32_t>(i), forward, score});
                        });
        strand.resize(n);
        return n;
    }

    const bench::Yardstick& yardstick_;
    WindowKernel kernel_;
    size_t length_;
    char upper_[256];
    std::string forward_;
    std::string reverse_;
    std::vector<Hit> hits_;
    size_t records_ = 0;
    size_t windows_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    const Clock::time_point begin = Clock::now();
    const bench::Yardstick yardstick = bench::yardstickFrom(argc, argv, "bench_streaming");
    std::FILE* file = std::fopen(yardstick.targetPath.c_str(), "rb");
    if (file == nullptr) {
        yardstick.fail("cannot open " + yardstick.targetPath);
    }
    Scanner scanner(yardstick);
    std::vector<char> piece(size_t{1} << 20);
    bool header = false;    // inside a header line
    bool lineStart = true;  // at the start of a line
    size_t got;
    while ((got = std::fread(piece.data(), 1, piece.size(), file)) > 0) {
        const char* p = piece.data();
        const char* const end = p + got;
        while (p < end) {
            if (lineStart && *p == '>') {
                scanner.endRecord();
                header = true;
            }
            const char* feed = static_cast<const char*>(std::memchr(p, '\n', end - p));
            const char* lineEnd = feed == nullptr ? end : feed;
            if (!header) {
                const char* last = lineEnd;
                if (last > p && last[-1] == '\r') {
                    --last;
                }
                scanner.letters(p, last);
            }
            lineStart = feed != nullptr;
            if (feed != nullptr) {
                header = false;
                p = feed + 1;
            } else {
                p = end;
            }
        }
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        yardstick.fail("cannot read " + yardstick.targetPath);
    }
    scanner.endRecord();
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
    std::printf("records %zu, windows %zu, cut-off %.17g\n", scanner.records(), scanner.windows(),
                yardstick.cutOff);
    std::printf("passing %zu\n", scanner.hits().size());
    std::printf("time: total %.1f ms\n", ms);
    return 0;
}
