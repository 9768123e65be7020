// The FASTA reader. The whole input is read into one buffer and
// each record is read in two quick passes over its lines: the first finds
// the record's end and its sequence length, the second appends the lines,
// upper-cased, to a sequence that already has exactly that room.
#include <algorithm>
#include <cstring>
#include <string>

#include "run/run_log.h"
#include "seqio/sequence.h"
#include "seqio/text_input.h"

namespace xoprex {
namespace {

using seqio_detail::Line;
using seqio_detail::LineCursor;
using seqio_detail::TextBuffer;

constexpr size_t kMaxDescription = 1024;

bool isHeader(const Line& line) {
    return !line.empty() && line.begin[0] == '>';
}

// Lines starting with '>' from `from` on: room for the records up front.
size_t countHeaders(const char* from, const char* limit) {
    size_t count = 0;
    const char* p = from;
    while (p < limit) {
        const char* mark =
            static_cast<const char*>(std::memchr(p, '>', static_cast<size_t>(limit - p)));
        if (mark == nullptr) {
            break;
        }
        if (mark == from || mark[-1] == '\n') {
            ++count;
        }
        p = mark + 1;
    }
    return count;
}

void reserveRecords(SequenceSet& set, size_t more) {
    auto& records = set.records;
    if (records.capacity() - records.size() >= more) {
        return;
    }
    records.reserve(records.size() + more);
    prepareForWriting(records.data() + records.size(), more * sizeof(SequenceRecord));
}

// Total length of the sequence lines from the cursor up to the next header
// line or the end of the input.
size_t sequenceLength(LineCursor cursor) {
    size_t total = 0;
    Line line;
    while (cursor.next(line) && !isHeader(line)) {
        total += line.length();
    }
    return total;
}

// Appends a sequence line, upper-cased, a step at a time: each step's room
// in `sequence` (reserved for `length` characters) is faulted in just before
// it is written, and the input read so far is handed back, so the input and
// the sequence are never both held in full. `readied`: characters of room
// faulted in so far.
void appendLine(TextBuffer& buffer, const Line& line, size_t length, std::string& sequence,
                size_t& readied) {
    constexpr size_t kStep = size_t{1} << 20;
    const char* from = line.begin;
    size_t left = line.length();
    while (left > 0) {
        const size_t at = sequence.size();
        if (at >= readied) {
            readied = std::max(std::min(at + kStep, length), at + 1);
            seqio_detail::releaseConsumed(buffer, from);
            populate(sequence.data() + at, readied - at);
        }
        const size_t part = std::min(left, readied - at);
        sequence.append(from, part);
        seqio_detail::upperInPlace(sequence.data() + at, part);
        from += part;
        left -= part;
    }
}

void parseFasta(TextBuffer& buffer, const std::string& path, SequenceSet& set) {
    LineCursor cursor(buffer.data, buffer.data + buffer.size);
    Line line;

    // Skip to the first header. A header on the last line with no line end
    // after it counts as not found.
    bool found = false;
    while (cursor.next(line)) {
        if (isHeader(line)) {
            found = line.terminated;
            break;
        }
    }
    if (!found) {
        reportFatal("Incorrect FASTA file: ", path);
    }

    reserveRecords(set, countHeaders(line.begin, buffer.data + buffer.size));

    // `line` holds the header of the record being read.
    bool pending = true;
    while (pending) {
        pending = false;
        const size_t headerLength = line.length() - 1;
        std::string description(line.begin + 1,
                                headerLength < kMaxDescription ? headerLength : kMaxDescription);

        const size_t length = sequenceLength(cursor);
        if (length == 0) {
            reportFatal("No sequence read. Please check FASTA file!");
        }
        std::string sequence;
        sequence.reserve(seqio_detail::sequenceCapacity(length));
        size_t readied = 0;
        while (cursor.next(line)) {
            if (isHeader(line)) {
                // The next record's header; a last line without a line end
                // only ends this record.
                pending = line.terminated;
                break;
            }
            appendLine(buffer, line, length, sequence, readied);
        }

        SequenceRecord& record = set.records.emplace_back();
        record.format = 'F';
        record.description = std::move(description);
        record.sequence = std::move(sequence);
        record.scanCount = 0;
    }
}

}  // namespace

void readFastaFile(const std::string& path, SequenceSet& set) {
    TextBuffer buffer;
    if (!seqio_detail::readWholeFile(path, buffer)) {
        reportFatal("Incorrect file name: ", path);
    }
    parseFasta(buffer, path, set);
}

void readFastaStream(std::istream& in, const std::string& path, SequenceSet& set) {
    TextBuffer buffer = seqio_detail::readWholeStream(in);
    parseFasta(buffer, path, set);
}

}  // namespace xoprex
