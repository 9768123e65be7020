#include "scan/reverse_complement.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "base/cpu_features.h"
#include "scan/detail/simd.h"

namespace xoprex {
namespace {

constexpr std::array<char, 256> makeTable() {
    std::array<char, 256> table{};
    const char pairs[][2] = {{'A', 'T'}, {'C', 'G'}, {'B', 'V'}, {'D', 'H'}, {'K', 'M'},
                             {'R', 'Y'}, {'S', 'S'}, {'W', 'W'}, {'N', 'X'}};
    for (const auto& pair : pairs) {
        table[static_cast<unsigned char>(pair[0])] = pair[1];
        table[static_cast<unsigned char>(pair[1])] = pair[0];
    }
    return table;
}

constexpr std::array<char, 256> kComplement = makeTable();

}  // namespace

char complementOf(unsigned char c) {
    return kComplement[c];
}

namespace {

// Complements text[0..n) from its end into `out`, dropping bytes without
// complement, through a small buffer so the output is written once (no zero
// fill first).
void appendReverseComplement(const char* text, size_t n, std::string& out) {
    char buffer[4096];
    size_t kept = 0;
    for (size_t i = n; i-- > 0;) {
        const char c = kComplement[static_cast<unsigned char>(text[i])];
        buffer[kept] = c;
        kept += c != '\0';
        if (kept == sizeof buffer) {
            out.append(buffer, kept);
            kept = 0;
        }
    }
    out.append(buffer, kept);
}

// Complements text[0..n) in place, moving the bytes that have a complement
// to the front (the write position never passes the read position); returns
// how many were kept.
size_t complementAndCompact(char* text, size_t n, size_t from) {
    size_t kept = from;
    for (size_t i = from; i < n; ++i) {
        const char c = kComplement[static_cast<unsigned char>(text[i])];
        text[kept] = c;
        kept += c != '\0';
    }
    return kept;
}

size_t complementAndCompact512(char* text, size_t n) {
    // From the first block holding a byte without complement on, the scalar
    // loop moves bytes forward.
    return complementAndCompact(
        text, n, scan_detail::simd::complementedBlocks512(kComplement, text, n, text));
}

bool allComplementable(const char* text, size_t n) {
    return std::all_of(text, text + n,
                       [](char c) { return complementOf(static_cast<unsigned char>(c)) != '\0'; });
}

bool allComplementable512(const char* text, size_t n) {
    const size_t checked = scan_detail::simd::complementedBlocks512(kComplement, text, n, nullptr);
    return allComplementable(text + checked, n - checked);
}

}  // namespace

void reverseComplementInPlace(std::string& text) {
    char* data = text.data();
    if (cpuHasByteShuffle()) {
        text.resize(complementAndCompact512(data, text.size()));
        scan_detail::simd::reverse512(data, text.size());
    } else {
        text.resize(complementAndCompact(data, text.size(), 0));
        std::reverse(data, data + text.size());
    }
}

bool fullyComplementable(const char* text, size_t n) {
    if (cpuHasByteShuffle()) {
        return allComplementable512(text, n);
    }
    const size_t checked =
        cpuSupports(InstructionSet::Avx2) ? scan_detail::simd::complementableBlocks256(text, n) : 0;
    return allComplementable(text + checked, n - checked);
}

void appendReverseComplementOf(const char* text, size_t n, std::string& out) {
    if (cpuHasByteShuffle()) {
        scan_detail::simd::appendReverseComplement512(kComplement, text, n, out,
                                                      appendReverseComplement);
    } else {
        appendReverseComplement(text, n, out);
    }
}

void reverseComplementInto(const char* text, size_t n, std::string& out) {
    out.clear();
    appendReverseComplementOf(text, n, out);
}

std::string reverseComplementText(const std::string& text) {
    std::string result;
    reverseComplementInto(text.data(), text.size(), result);
    return result;
}

}  // namespace xoprex
