#include "seqio/text_input.h"

#include <immintrin.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <utility>

#include "base/cpu_features.h"

namespace xoprex::seqio_detail {
namespace {

constexpr size_t kMinChunk = size_t{1} << 16;
// Reads the rest of `source` into `out`, starting with room for its size
// hint (plus one, so that a correct hint ends with one empty read).
void readAll(InputSource& source, TextBuffer& out) {
    out = TextBuffer{};
    std::string& text = out.storage;
    const size_t sizeHint = source.sizeHint();
    const size_t room = sizeHint + 1 > kMinChunk ? sizeHint + 1 : kMinChunk;
    text.reserve(room);
    prepareForWriting(text.data(), room);
    text.resize(room);
    size_t size = 0;
    for (;;) {
        if (size == text.size()) {
            text.resize(text.size() * 2);
        }
        const size_t got = source.read(text.data() + size, text.size() - size);
        if (got == 0) {
            break;
        }
        size += got;
    }
    text.resize(size);
    out.data = text.data();
    out.size = size;
}

// Line by line: each line found with memchr, moved and upper-cased.
Compacted compactLines(char* from, char* limit, char* to) {
    LineCursor cursor(from, limit);
    Line line;
    Compacted done{limit, 0};
    while (cursor.next(line)) {
        if (!line.empty() && line.begin[0] == '>') {
            done.stop = line.begin;
            return done;
        }
        std::memmove(to + done.length, line.begin, line.length());
        upperInPlace(to + done.length, line.length());
        done.length += line.length();
    }
    return done;
}

// 64 bytes at a time: masks of the line feeds, of the carriage returns
// before one and of a '>' at a line's start; the bytes kept are upper-cased
// and packed together (a byte compress) before they are stored. The store
// never passes the bytes read: all 64 bytes go where `out` (at or before the
// block) is, but only the kept ones in the last block, which may end the
// input or hold the next header.
__attribute__((target("avx512f,avx512bw,avx512vbmi2"))) Compacted compactLines512(char* from,
                                                                                  char* limit,
                                                                                  char* to) {
    const __m512i feed = _mm512_set1_epi8('\n');
    const __m512i carriage = _mm512_set1_epi8('\r');
    const __m512i mark = _mm512_set1_epi8('>');
    const __m512i a = _mm512_set1_epi8('a');
    const __m512i letters = _mm512_set1_epi8(26);
    const __m512i caseBit = _mm512_set1_epi8(32);
    char* out = to;
    uint64_t lineStart = 1;  // `from` starts a line
    for (char* at = from; at < limit; at += 64) {
        const auto left = static_cast<size_t>(limit - at);
        const uint64_t valid = left >= 64 ? ~uint64_t{0} : (uint64_t{1} << left) - 1;
        const __m512i bytes = _mm512_maskz_loadu_epi8(valid, at);
        const uint64_t feeds = _mm512_cmpeq_epi8_mask(bytes, feed) & valid;
        const uint64_t headers =
            _mm512_cmpeq_epi8_mask(bytes, mark) & valid & (feeds << 1 | lineStart);
        // The carriage returns that a line feed follows, the next block's
        // first byte included.
        uint64_t feedNext = feeds >> 1;
        if (left > 64 && at[64] == '\n') {
            feedNext |= uint64_t{1} << 63;
        }
        const uint64_t ends = feeds | (_mm512_cmpeq_epi8_mask(bytes, carriage) & feedNext);
        const uint64_t before = headers != 0 ? (headers & (~headers + 1)) - 1 : valid;
        const uint64_t keep = before & ~ends;
        const __mmask64 lower = _mm512_cmplt_epu8_mask(_mm512_sub_epi8(bytes, a), letters);
        const __m512i upper = _mm512_mask_sub_epi8(bytes, lower, bytes, caseBit);
        const auto kept = static_cast<size_t>(__builtin_popcountll(keep));
        const __m512i packed = _mm512_maskz_compress_epi8(keep, upper);
        if (headers == 0 && left >= 64) {
            // Within the block read: the bytes past the kept ones are spent.
            _mm512_storeu_si512(out, packed);
        } else {
            _mm512_mask_storeu_epi8(out, kept == 64 ? ~uint64_t{0} : (uint64_t{1} << kept) - 1,
                                    packed);
        }
        out += kept;
        if (headers != 0) {
            return {at + __builtin_ctzll(headers), static_cast<size_t>(out - to)};
        }
        lineStart = feeds >> 63;
    }
    return {limit, static_cast<size_t>(out - to)};
}

}  // namespace

Compacted compactFastaLines(char* from, char* limit, char* to, InstructionSet path) {
    if (path == InstructionSet::Avx512 && cpuHasByteCompress()) {
        return compactLines512(from, limit, to);
    }
    return compactLines(from, limit, to);
}

std::string adoptFront(TextBuffer& buffer, size_t n) {
    std::string text = std::move(buffer.storage);
    buffer = TextBuffer{};
    text.resize(n);
    const size_t kept = std::min(sequenceCapacity(n), text.capacity());
    releasePages(text.data() + kept, text.capacity() - kept);
    return text;
}

void assignText(std::string& target, const char* source, size_t n) {
    std::string text;
    text.reserve(sequenceCapacity(n));
    prepareForWriting(text.data(), n);
    text.assign(source, n);
    target = std::move(text);
}

TextBuffer readWholeStream(std::istream& in, const std::string& name) {
    TextBuffer out;
    readAll(*InputSource::fromStream(in.rdbuf(), name), out);
    return out;
}

bool readWholeFile(const std::string& path, TextBuffer& out, NameRule rule) {
    const std::unique_ptr<InputSource> source = InputSource::open(path, rule);
    if (source == nullptr) {
        return false;
    }
    readAll(*source, out);
    return true;
}

}  // namespace xoprex::seqio_detail
