// The FASTA reader. The whole input is read into one buffer and each record
// is read in one pass over its lines, which compacts them, upper-cased, in
// place (from where its header was); the sequence is then copied out at its
// exact length, or, for the last record when it is most of the input, moved
// to the buffer's front to take its storage.
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

    // Room for the records up front in a large input (a small one may hold
    // a single record of a larger input: the count would cost a pass).
    constexpr size_t kCountFrom = size_t{1} << 20;
    if (buffer.size >= kCountFrom) {
        reserveRecords(set, countHeaders(line.begin, buffer.data + buffer.size));
    }

    // `line` holds the header of the record being read.
    bool pending = true;
    while (pending) {
        const size_t headerLength = line.length() - 1;
        std::string description(line.begin + 1,
                                headerLength < kMaxDescription ? headerLength : kMaxDescription);
        std::string name = headerName(line);

        // The header is read: its bytes take the letters.
        char* const letters = line.begin;
        const seqio_detail::Compacted compacted =
            seqio_detail::compactFastaLines(cursor.position(), cursor.limit(), letters);
        if (compacted.length == 0) {
            throw InputError(InputProblem::Format, path,
                             "No sequence read. Please check FASTA file!");
        }
        // The next record's header; a last line without a line end only
        // ends this record.
        cursor = LineCursor(compacted.stop, cursor.limit());
        pending = cursor.next(line) && line.terminated;
        std::string sequence;
        if (buffer.adoptable && !pending && compacted.length >= buffer.size / 4) {
            // Most of the input: the letters move to the buffer's front and
            // the buffer's storage becomes the sequence.
            if (letters != buffer.data) {
                std::memmove(buffer.data, letters, compacted.length);
            }
            sequence = seqio_detail::adoptFront(buffer, compacted.length);
        } else {
            seqio_detail::assignText(sequence, letters, compacted.length);
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
