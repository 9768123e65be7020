// Bulk text input shared by the sequence readers (internal to seqio/).
// A whole file or stream is read into one writable buffer; lines are split
// with memchr, without allocating per line. Sequence letters are compacted
// in place inside the buffer (the write position never passes the read
// position); a record that is most of the input then takes the buffer's
// storage as its sequence, others are copied out once.
#pragma once

#include <array>
#include <cstddef>
#include <cstring>
#include <istream>
#include <string>

#include "base/cpu_features.h"
#include "base/file_names.h"
#include "base/memory_hints.h"
#include "seqio/input_source.h"

namespace xoprex::seqio_detail {

// Owns the bytes of one whole input; `data` (= storage.data()) is writable.
// The storage is a string so that a reader can hand it over as a sequence
// (adoptFront) instead of copying a genome-sized text out of it.
struct TextBuffer {
    std::string storage;
    char* data = nullptr;
    size_t size = 0;
    // False for a view into another reader's buffer (data outside storage):
    // nothing may adopt it.
    bool adoptable = true;
};

// Turns the buffer's first n bytes into a string of its own, reusing the
// buffer's storage (which the buffer gives up). The whole pages of storage
// behind those bytes and a sequence's room (sequenceCapacity) are handed
// back to the system. Cheap for a buffer that is mostly those bytes; a
// small part of a large buffer is better copied.
std::string adoptFront(TextBuffer& buffer, size_t n);

// Capacity for a sequence of `length` characters read from a file. A scan
// appends the sequence's first characters to it (its wrap): long sequences
// get room for that, so a genome-sized text does not move; short ones get
// none (thousands of small records would otherwise each carry a spare page).
inline size_t sequenceCapacity(size_t length) {
    constexpr size_t kLong = size_t{1} << 20;
    constexpr size_t kRoom = 4096;
    return length >= kLong ? length + kRoom : length;
}

// Sets `target` to the n bytes at `source` (capacity: sequenceCapacity). A
// large text gets its room readied (prepareForWriting) before it is filled.
void assignText(std::string& target, const char* source, size_t n);

// Reads every byte left in the stream, decompressed when it is gzip data
// (input_source.h; `name` names the stream in messages). A stream that
// cannot deliver (bad buffer) gives an empty buffer.
TextBuffer readWholeStream(std::istream& in, const std::string& name = "");

// Reads a whole file in binary mode (CR LF is handled by the line splitter),
// decompressed when it is gzip data; under the wide rule "-" reads standard
// input. Returns false when the path cannot be opened for reading (missing
// file, folder, no permission); a read error or faulty gzip data raises
// InputError.
bool readWholeFile(const std::string& path, TextBuffer& out, NameRule rule = NameRule::Strict);

// One line of the buffer. [begin, end) is its text without the line end: a
// line ends at a line feed, and a carriage return directly before that line
// feed belongs to the line end. `terminated` is false only for a last line
// that no line feed follows.
struct Line {
    char* begin = nullptr;
    char* end = nullptr;
    bool terminated = false;

    size_t length() const { return static_cast<size_t>(end - begin); }
    bool empty() const { return begin == end; }
    bool startsWith(const char* text, size_t n) const {
        return length() >= n && std::memcmp(begin, text, n) == 0;
    }
};

// Walks the lines of [pos, limit). The last line counts also without a line
// feed after it; a buffer ending with a line feed has no empty line after it.
class LineCursor {
  public:
    LineCursor(char* pos, char* limit) : pos_(pos), limit_(limit) {}

    bool next(Line& line) {
        if (pos_ >= limit_) {
            return false;
        }
        line.begin = pos_;
        char* feed =
            static_cast<char*>(std::memchr(pos_, '\n', static_cast<size_t>(limit_ - pos_)));
        if (feed == nullptr) {
            line.end = limit_;
            line.terminated = false;
            pos_ = limit_;
        } else {
            line.end = (feed > pos_ && feed[-1] == '\r') ? feed - 1 : feed;
            line.terminated = true;
            pos_ = feed + 1;
        }
        return true;
    }

    // Start of the next unread line (the limit when everything is read).
    char* position() const { return pos_; }
    char* limit() const { return limit_; }

  private:
    char* pos_;
    char* limit_;
};

// Upper-casing table: a-z to A-Z, every other byte unchanged.
constexpr std::array<unsigned char, 256> makeUpperTable() {
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 256; ++c) {
        table[static_cast<size_t>(c)] =
            static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    return table;
}
inline constexpr std::array<unsigned char, 256> kUpperTable = makeUpperTable();

// Upper-cases n bytes in place: a-z to A-Z, every other byte unchanged (the
// same mapping as kUpperTable, in a form the compiler turns into vector code).
inline void upperInPlace(char* text, size_t n) {
    auto* p = reinterpret_cast<unsigned char*>(text);
    for (size_t i = 0; i < n; ++i) {
        const unsigned char c = p[i];
        p[i] = static_cast<unsigned char>(c - (static_cast<unsigned char>(c - 'a') < 26 ? 32 : 0));
    }
}

// The sequence lines of a FASTA record from `from` (a line's start) up to
// the next line that starts with '>' or `limit`: their letters, upper-cased
// (upperInPlace), moved to `to` (at or before `from`), without the line ends
// (a line feed, and a carriage return right before one). Returns where it
// stopped (that line's '>', or `limit`) and the letters moved. On AVX-512
// with the byte compress (VBMI2), 64 bytes at a time; `path` may ask for the
// line-by-line reading instead (for tests).
struct Compacted {
    char* stop = nullptr;
    size_t length = 0;
};
Compacted compactFastaLines(char* from, char* limit, char* to,
                            InstructionSet path = preferredInstructionSet());

}  // namespace xoprex::seqio_detail
