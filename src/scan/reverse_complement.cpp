#include "scan/reverse_complement.h"

#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cstdint>

#include "base/cpu_features.h"

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

// The complements of 64 bytes from the table's first 128 entries (`low` and
// `high`; vpermi2b uses the low 7 bits, so bytes from 128 up, which have
// none, are masked out). False when one of the bytes has no complement.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline bool complement64(
    __m512i low, __m512i high, __m512i bytes, __m512i& complement) {
    complement = _mm512_maskz_permutex2var_epi8(_mm512_movepi8_mask(bytes) ^ ~__mmask64{0}, low,
                                                bytes, high);
    return _mm512_test_epi8_mask(complement, complement) == ~__mmask64{0};
}

// 64 bytes at a time: the complement of each byte from the table's first
// 128 entries (bytes from 128 up have none), the block reversed by a byte
// permute. A block holding a byte without complement goes through the
// scalar loop, so the dropping rule is the same.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void appendReverseComplement512(
    const char* text, size_t n, std::string& out) {
    const __m512i low = _mm512_loadu_si512(kComplement.data());
    const __m512i high = _mm512_loadu_si512(kComplement.data() + 64);
    alignas(64) uint8_t reversed[64];
    for (int i = 0; i < 64; ++i) {
        reversed[i] = static_cast<uint8_t>(63 - i);
    }
    const __m512i reverse = _mm512_load_si512(reversed);
    alignas(64) char buffer[4096];
    size_t kept = 0;
    size_t end = n;
    for (; end >= 64; end -= 64) {
        const __m512i bytes = _mm512_loadu_si512(text + end - 64);
        __m512i complement;
        if (!complement64(low, high, bytes, complement)) {
            out.append(buffer, kept);
            kept = 0;
            appendReverseComplement(text + end - 64, 64, out);
            continue;
        }
        _mm512_storeu_si512(buffer + kept,
                            _mm512_maskz_permutexvar_epi8(~__mmask64{0}, reverse, complement));
        kept += 64;
        if (kept == sizeof buffer) {
            out.append(buffer, kept);
            kept = 0;
        }
    }
    out.append(buffer, kept);
    appendReverseComplement(text, end, out);
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

// The whole 64-byte blocks at the start of text[0..n) whose every byte has
// a complement: their length, and their complements written to `out` when
// it is given (it may be `text` itself).
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) size_t complementedBlocks512(
    const char* text, size_t n, char* out) {
    const __m512i low = _mm512_loadu_si512(kComplement.data());
    const __m512i high = _mm512_loadu_si512(kComplement.data() + 64);
    size_t i = 0;
    for (; i + 64 <= n; i += 64) {
        __m512i complement;
        if (!complement64(low, high, _mm512_loadu_si512(text + i), complement)) {
            break;
        }
        if (out != nullptr) {
            _mm512_storeu_si512(out + i, complement);
        }
    }
    return i;
}

size_t complementAndCompact512(char* text, size_t n) {
    // From the first block holding a byte without complement on, the scalar
    // loop moves bytes forward.
    return complementAndCompact(text, n, complementedBlocks512(text, n, text));
}

bool allComplementable(const char* text, size_t n) {
    return std::all_of(text, text + n,
                       [](char c) { return complementOf(static_cast<unsigned char>(c)) != '\0'; });
}

bool allComplementable512(const char* text, size_t n) {
    const size_t checked = complementedBlocks512(text, n, nullptr);
    return allComplementable(text + checked, n - checked);
}

// Reverses text[0..n) by swapping 64-byte blocks from both ends.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void reverse512(char* text, size_t n) {
    alignas(64) uint8_t reversed[64];
    for (int i = 0; i < 64; ++i) {
        reversed[i] = static_cast<uint8_t>(63 - i);
    }
    const __m512i reverse = _mm512_load_si512(reversed);
    size_t front = 0;
    size_t back = n;
    for (; back - front >= 128; front += 64, back -= 64) {
        const __m512i head = _mm512_loadu_si512(text + front);
        const __m512i tail = _mm512_loadu_si512(text + back - 64);
        _mm512_storeu_si512(text + front,
                            _mm512_maskz_permutexvar_epi8(~__mmask64{0}, reverse, tail));
        _mm512_storeu_si512(text + back - 64,
                            _mm512_maskz_permutexvar_epi8(~__mmask64{0}, reverse, head));
    }
    std::reverse(text + front, text + back);
}

}  // namespace

void reverseComplementInPlace(std::string& text) {
    char* data = text.data();
    if (cpuHasByteShuffle()) {
        text.resize(complementAndCompact512(data, text.size()));
        reverse512(data, text.size());
    } else {
        text.resize(complementAndCompact(data, text.size(), 0));
        std::reverse(data, data + text.size());
    }
}

bool fullyComplementable(const char* text, size_t n) {
    return cpuHasByteShuffle() ? allComplementable512(text, n) : allComplementable(text, n);
}

void appendReverseComplementOf(const char* text, size_t n, std::string& out) {
    if (cpuHasByteShuffle()) {
        appendReverseComplement512(text, n, out);
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
