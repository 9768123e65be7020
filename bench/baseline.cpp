// The yardstick for whole-search timings: the simplest honest program doing
// the same scoring work as a search. It reads every record of a FASTA target,
// builds one 256-entry table of doubles per motif position from a site
// collection, and on one thread sums the table entries of every window of
// both strands, in position order, with each strand treated as circular (the
// windows over the end take their last letters from the start). It counts the
// windows that pass the cut-off and prints the count and the time taken.
//
//   bench_baseline TARGET.fna SITES.txt [--method M] [--threshold T | --cutoff C]
//
// The cut-off follows the search's rule: by default the threshold (0.8) is a
// share of a normal distribution fitted to the collection's self-scores; with
// --cutoff the value is taken literally. Scores are strictly above the cut-off
// to pass (strictly below for the methods where lower is better).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "scan/reverse_complement.h"
#include "yardstick.h"

namespace {

using namespace xoprex;

[[noreturn]] void failWith(const std::string& message) {
    std::cerr << "bench_baseline: " << message << "\n";
    std::exit(2);
}

using Clock = std::chrono::steady_clock;

// The whole file in one read.
std::string readFile(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        failWith(path + " is not a readable file");
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        failWith("cannot open " + path);
    }
    std::string text;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        const long size = std::ftell(file);
        if (size > 0) {
            text.reserve(static_cast<size_t>(size));
        }
        std::rewind(file);
    }
    char chunk[1 << 16];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        text.append(chunk, n);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        failWith("cannot read " + path);
    }
    return text;
}

// FASTA records: a '>' line starts a record, every other line is upper-cased
// and appended to the current one (lines before the first header start an
// unnamed record). Line ends are LF or CR LF.
// Each record gets room for `spare` more letters.
std::vector<std::string> readFastaRecords(const std::string& path, size_t spare) {
    const std::string text = readFile(path);
    std::vector<std::string> records;
    const char* pos = text.data();
    const char* limit = pos + text.size();
    while (pos < limit) {
        const char* feed = static_cast<const char*>(std::memchr(pos, '\n', limit - pos));
        const char* end = feed == nullptr ? limit : feed;
        const char* next = feed == nullptr ? limit : feed + 1;
        if (end > pos && end[-1] == '\r') {
            --end;
        }
        if (end > pos && *pos == '>') {
            // Room for the record up to the next header (or the file's end).
            const char* header = static_cast<const char*>(std::memchr(next, '>', limit - next));
            records.emplace_back();
            records.back().reserve(
                static_cast<size_t>((header == nullptr ? limit : header) - next) + spare);
        } else if (end > pos) {
            if (records.empty()) {
                records.emplace_back();
            }
            std::string& sequence = records.back();
            const size_t start = sequence.size();
            sequence.append(pos, end);
            for (size_t i = start; i < sequence.size(); ++i) {
                const char c = sequence[i];
                if (c >= 'a' && c <= 'z') {
                    sequence[i] = static_cast<char>(c - 'a' + 'A');
                }
            }
        }
        pos = next;
    }
    std::erase_if(records, [](const std::string& s) { return s.empty(); });
    if (records.empty()) {
        failWith("no sequence in " + path);
    }
    return records;
}

// Appends to `strand` (n letters) its own first L-1 letters, repeated for
// strands shorter than L, so that every one of its n windows, the circular
// ones included, is contiguous.
void appendWrap(std::string& strand, size_t siteLength) {
    const size_t n = strand.size();
    while (strand.size() < n + siteLength - 1) {
        strand.append(strand, 0, std::min(n, n + siteLength - 1 - strand.size()));
    }
}

// Windows starting in the first n letters of `text` (a strand with its wrap)
// that pass the cut-off.
size_t countStrand(const std::string& text, size_t n, const std::vector<double>& table,
                   size_t siteLength, double cutOff, bool lowerBetter) {
    size_t count = 0;
    const auto* letters = reinterpret_cast<const unsigned char*>(text.data());
    for (size_t start = 0; start < n; ++start) {
        const unsigned char* window = letters + start;
        double sum = 0.0;
        for (size_t l = 0; l < siteLength; ++l) {
            sum += table[l * 256 + window[l]];
        }
        count += lowerBetter ? (sum < cutOff) : (sum > cutOff);
    }
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    const Clock::time_point begin = Clock::now();
    const bench::Yardstick yardstick = bench::yardstickFrom(argc, argv, "bench_baseline");
    const std::string& targetPath = yardstick.targetPath;
    const TermTable& terms = yardstick.terms;
    const double cutOff = yardstick.cutOff;
    const bool lowerBetter = yardstick.lowerBetter;
    const size_t siteLength = static_cast<size_t>(terms.siteLength());
    std::vector<double> table(siteLength * 256);
    for (size_t l = 0; l < siteLength; ++l) {
        std::memcpy(table.data() + l * 256, terms.row(static_cast<int>(l)), 256 * sizeof(double));
    }

    // Complement by table; letters without a complement are left out of the
    // reverse strand.
    char complement[256];
    for (int c = 0; c < 256; ++c) {
        complement[c] = complementOf(static_cast<unsigned char>(c));
    }

    const Clock::time_point readStart = Clock::now();
    std::vector<std::string> records = readFastaRecords(targetPath, siteLength);
    const Clock::time_point scanStart = Clock::now();
    size_t passing = 0;
    size_t windows = 0;
    std::string reverse;
    for (std::string& forward : records) {
        const size_t n = forward.size();
        reverse.clear();
        reverse.reserve(n + siteLength);
        for (size_t i = n; i-- > 0;) {
            const char c = complement[static_cast<unsigned char>(forward[i])];
            if (c != '\0') {
                reverse.push_back(c);
            }
        }
        const size_t reverseSize = reverse.size();
        appendWrap(forward, siteLength);
        passing += countStrand(forward, n, table, siteLength, cutOff, lowerBetter);
        if (reverseSize > 0) {
            appendWrap(reverse, siteLength);
            passing += countStrand(reverse, reverseSize, table, siteLength, cutOff, lowerBetter);
        }
        windows += n + reverseSize;
    }
    const Clock::time_point end = Clock::now();

    const auto ms = [](Clock::time_point a, Clock::time_point b) {
        return std::chrono::duration<double, std::milli>(b - a).count();
    };
    std::printf("records %zu, windows %zu, cut-off %.17g\n", records.size(), windows, cutOff);
    std::printf("passing %zu\n", passing);
    std::printf("time: read %.1f ms, scan %.1f ms, total %.1f ms\n", ms(readStart, scanStart),
                ms(scanStart, end), ms(begin, end));
    return 0;
}
