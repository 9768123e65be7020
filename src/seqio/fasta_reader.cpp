// The FASTA reader. The whole input is read into one buffer and each record
// is read in two quick passes over its lines: the first finds the record's
// end and its sequence length, the second copies the lines, upper-cased,
// into a sequence of exactly that length; the last record, when it is most
// of the input, is compacted at the buffer's front and takes its storage.
#include <cstring>
#include <string>

#include "base/errors.h"
#include "seqio/parsers.h"
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

// The sequence lines from the cursor up to the next record: their total
// length, and whether no record follows.
struct RecordExtent {
    size_t length = 0;
    bool last = true;
};
RecordExtent measureRecord(LineCursor cursor) {
    RecordExtent extent;
    Line line;
    while (cursor.next(line)) {
        if (isHeader(line)) {
            // A header on a last line without a line end starts no record.
            extent.last = !line.terminated;
            break;
        }
        extent.length += line.length();
    }
    return extent;
}

// Copies the record's sequence lines, upper-cased, to `to` (which may lie
// inside the buffer before them); stops at the next header, left in `line`.
// Returns whether that header starts another record.
bool copyLines(LineCursor& cursor, Line& line, char* to) {
    while (cursor.next(line)) {
        if (isHeader(line)) {
            // The next record's header; a last line without a line end only
            // ends this record.
            return line.terminated;
        }
        std::memmove(to, line.begin, line.length());
        seqio_detail::upperInPlace(to, line.length());
        to += line.length();
    }
    return false;
}

// The header's text up to its first blank or tab.
std::string headerName(const Line& header) {
    const char* const start = header.begin + 1;
    const char* p = start;
    while (p < header.end && *p != ' ' && *p != '\t') {
        ++p;
    }
    return std::string(start, p);
}

}  // namespace

namespace seqio_detail {

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
        throw InputError(InputProblem::Format, path, "Incorrect FASTA file: " + path);
    }

    reserveRecords(set, countHeaders(line.begin, buffer.data + buffer.size));

    // `line` holds the header of the record being read.
    bool pending = true;
    while (pending) {
        const size_t headerLength = line.length() - 1;
        std::string description(line.begin + 1,
                                headerLength < kMaxDescription ? headerLength : kMaxDescription);
        std::string name = headerName(line);

        const RecordExtent extent = measureRecord(cursor);
        if (extent.length == 0) {
            throw InputError(InputProblem::Format, path,
                             "No sequence read. Please check FASTA file!");
        }
        std::string sequence;
        if (buffer.adoptable && extent.last && extent.length >= buffer.size / 4) {
            // Most of the input: the letters move to the buffer's front and
            // the buffer's storage becomes the sequence.
            pending = copyLines(cursor, line, buffer.data);
            sequence = seqio_detail::adoptFront(buffer, extent.length);
        } else {
            sequence.reserve(seqio_detail::sequenceCapacity(extent.length));
            prepareForWriting(sequence.data(), extent.length);
            sequence.resize(extent.length);
            pending = copyLines(cursor, line, sequence.data());
        }

        SequenceRecord& record = set.records.emplace_back();
        record.format = 'F';
        record.description = std::move(description);
        record.name = std::move(name);
        record.sequence = std::move(sequence);
    }
}

}  // namespace seqio_detail

void readFastaFile(const std::string& path, SequenceSet& set) {
    TextBuffer buffer;
    if (!seqio_detail::readWholeFile(path, buffer)) {
        throw cannotOpen(path);
    }
    seqio_detail::parseFasta(buffer, path, set);
}

void readFastaStream(std::istream& in, const std::string& path, SequenceSet& set) {
    TextBuffer buffer = seqio_detail::readWholeStream(in, path);
    seqio_detail::parseFasta(buffer, path, set);
}

}  // namespace xoprex
