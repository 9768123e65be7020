// The record reader. Input arrives a piece at a time into one buffer; a
// record's extent is found by the start of the next one (a FASTA header
// line, a GenBank LOCUS line; the first GenBank record alone ends with the
// "//" line after its ORIGIN), then the record is handed to the readers of
// seqio/parsers.h as if it were a whole input of its own.
#include "seqio/record_reader.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

#include "base/errors.h"
#include "base/file_names.h"
#include "base/memory_hints.h"
#include "seqio/input_source.h"
#include "seqio/parsers.h"

namespace xoprex {
namespace {

// The buffer's first size and the most a size hint makes it start with:
// large enough that a genome of a few megabases arrives in one piece, small
// enough that a file of many records is never held whole.
constexpr size_t kFirstPiece = size_t{1} << 20;
constexpr size_t kMostFirstBuffer = size_t{2} << 20;
// A record at least this long, and most of the buffer, takes the buffer's
// storage as its sequence.
constexpr size_t kAdoptFrom = size_t{1} << 20;

using seqio_detail::TextBuffer;

}  // namespace

struct RecordReader::State {
    std::unique_ptr<InputSource> source;
    std::string name;  // the input as messages name it
    std::string baseName;
    SequenceFormat format = SequenceFormat::Unknown;
    bool allRecords = false;
    size_t maxRecord = InputRules::kDefaultMaxRecordBytes;
    size_t records = 0;  // records handed out

    std::string buffer;
    size_t begin = 0;  // the unread input is buffer[begin, end)
    size_t end = 0;
    bool atEnd = false;     // the source has no more bytes
    bool started = false;   // the first record has been handed out
    bool finished = false;  // no record follows
    size_t remaining = 0;   // the source's size hint, less what was read
    size_t hint = 0;        // the source's size hint
    size_t consumed = 0;    // input bytes before `begin`

    // Reads more of the input behind what is held, making room first:
    // moving the unread bytes to the front, or growing the buffer (by
    // doubling; to the rest of the input at once when its size is known
    // and the rest is no more than twice what is held). False at the end.
    bool fill() {
        if (atEnd) {
            return false;
        }
        if (end == buffer.size() && begin > 0) {
            std::memmove(buffer.data(), buffer.data() + begin, end - begin);
            end -= begin;
            begin = 0;
        }
        if (end == buffer.size()) {
            if (end - begin > maxRecord) {
                refuseLongRecord();
            }
            size_t grown = std::max(buffer.size() * 2, kFirstPiece);
            if (remaining > 0 && remaining <= 2 * end) {
                grown = std::max(grown, end + remaining + 1);
            }
            // Past the ceiling by a little at most, to tell a record that
            // ends there from one that goes on.
            grown = std::min(grown, std::max(maxRecord + 2, end + 1));
            std::string larger;
            larger.reserve(grown);
            prepareForWriting(larger.data(), grown);
            larger.resize(grown);
            std::memcpy(larger.data(), buffer.data(), end);
            buffer.swap(larger);
        }
        const size_t got = source->read(buffer.data() + end, buffer.size() - end);
        end += got;
        remaining = remaining > got ? remaining - got : 0;
        atEnd = got == 0;
        return got > 0;
    }

    std::string_view held() const { return {buffer.data() + begin, end - begin}; }

    // The record being read, held from `begin`, is longer than the ceiling.
    [[noreturn]] void refuseLongRecord() const {
        const std::string_view text = held();
        std::string_view title = text.substr(0, std::min(text.find('\n'), size_t{200}));
        if (format == SequenceFormat::Fasta && title.starts_with('>')) {
            title = title.substr(1, title.find_first_of(" \t\r") - 1);
        } else if (title.starts_with("LOCUS")) {
            title = title.substr(5);
            title.remove_prefix(std::min(title.find_first_not_of(' '), title.size()));
            title = title.substr(0, title.find_first_of(" \t\r"));
        } else {
            title = {};
        }
        std::string record = "Record " + std::to_string(records + 1);
        if (!title.empty()) {
            record += " (" + std::string(title) + ")";
        }
        throw InputError(InputProblem::Format, name,
                         record + " of " + name + " is longer than " +
                             std::to_string(maxRecord) +
                             " bytes, the most one record may take (--max-record-length)");
    }

    // The offset (from begin) of the first occurrence of `pattern` at or
    // after `from`, reading on until it is found or the input ends; npos
    // at the end.
    size_t find(std::string_view pattern, size_t from) {
        for (;;) {
            const size_t at = held().find(pattern, from);
            if (at != std::string_view::npos) {
                return at;
            }
            // A match may straddle what is held and what comes next.
            from =
                std::max(from, held().size() >= pattern.size() ? held().size() - pattern.size() + 1
                                                               : size_t{0});
            if (!fill()) {
                return std::string_view::npos;
            }
        }
    }

    // Offset of the end of the line holding offset `at` (past its line
    // feed), reading on as needed; the end of the input without one.
    size_t lineEnd(size_t at) {
        const size_t feed = find("\n", at);
        return feed == std::string_view::npos ? held().size() : feed + 1;
    }

    // The extent of the next FASTA record: up to the next header line that
    // has its line end (a last header without one starts no record).
    size_t fastaExtent() {
        size_t header = 0;
        if (!started) {
            // Lines before the first header are the reader's to skip; they
            // are let go as they are passed, not held.
            while (!held().empty() && held()[0] != '>') {
                const size_t at = held().find("\n>");
                if (at != std::string_view::npos) {
                    begin += at + 1;
                    consumed += at + 1;
                    break;
                }
                const size_t passed = held().size() - 1;  // the last byte may be the line feed
                begin += passed;
                consumed += passed;
                if (!fill()) {
                    break;
                }
            }
        }
        const size_t next = find("\n>", header + 1);
        if (next == std::string_view::npos) {
            return held().size();
        }
        const size_t feed = find("\n", next + 1);
        if (feed == std::string_view::npos) {
            return held().size();  // "last header without a line end"
        }
        finished = false;
        return next + 1;
    }

    // The extent of the next GenBank record: every record up to the next
    // LOCUS line; the first record alone up to the "//" line after the
    // first ORIGIN line.
    size_t genBankExtent() {
        if (!started) {
            // An input that does not open with a LOCUS line is refused by
            // the reader from its first bytes: no more of it is held.
            while (held().size() < 5 && fill()) {
            }
            if (!held().starts_with("LOCUS")) {
                return std::min(held().size(), size_t{5});
            }
        }
        if (allRecords) {
            const size_t next = find("\nLOCUS", 0);
            if (next == std::string_view::npos) {
                return held().size();
            }
            finished = false;
            return next + 1;
        }
        const size_t origin = find("\nORIGIN", 0);
        if (origin == std::string_view::npos) {
            return held().size();
        }
        const size_t close = find("\n//", origin + 1);
        return close == std::string_view::npos ? held().size() : lineEnd(close + 1);
    }

    // Hands the record held in [begin, begin + length) to its reader.
    void parse(size_t length, SequenceSet& set) {
        TextBuffer text;
        const bool large = length >= kAdoptFrom && 2 * length >= buffer.size();
        if (large) {
            // The bytes after the record move to a buffer of their own and
            // the record keeps this one (its sequence may take it over).
            std::string rest(buffer.data() + begin + length, end - begin - length);
            if (begin > 0) {
                std::memmove(buffer.data(), buffer.data() + begin, length);
            }
            buffer.resize(length);
            text.storage = std::move(buffer);
            text.data = text.storage.data();
            text.size = length;
            const size_t restSize = rest.size();
            rest.resize(std::max(restSize, kFirstPiece));
            buffer = std::move(rest);
            begin = 0;
            end = restSize;
        } else {
            text.data = buffer.data() + begin;
            text.size = length;
            text.adoptable = false;
            begin += length;
        }
        consumed += length;
        if (format == SequenceFormat::Fasta) {
            seqio_detail::parseFasta(text, name, set);
        } else {
            seqio_detail::parseGenBank(text, name, set, allRecords);
        }
    }
};

RecordReader::RecordReader(const std::string& path, const InputRules& rules)
    : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.allRecords = rules.allGenBankRecords;
    s.maxRecord = rules.maxRecordBytes;
    const bool wide = rules.names == NameRule::Wide;
    const bool standardInput = wide && isStandardInput(path);
    if (!standardInput) {
        const std::string extension =
            wide ? wideExtension(path, &s.baseName) : fileExtension(path, &s.baseName);
        s.format = sequenceFormatOf(extension, rules.names);
        if (s.format == SequenceFormat::Unknown) {
            throw InputError(InputProblem::Extension, path,
                             std::vector<std::string>{"Incorrect sequence file extension.",
                                                      "Type Oprex /? for help."});
        }
    } else {
        wideExtension(path, &s.baseName);
    }
    s.source = InputSource::open(path, rules.names);
    if (s.source == nullptr) {
        throw cannotOpen(path);
    }
    s.name = standardInput ? std::string(kStandardInputName) : path;
    s.remaining = s.source->sizeHint();
    s.hint = s.remaining;
    const size_t first = std::clamp(s.remaining + 1, kFirstPiece, kMostFirstBuffer);
    s.buffer.reserve(first);
    prepareForWriting(s.buffer.data(), first);
    s.buffer.resize(first);
    s.fill();
    if (standardInput) {
        // Enough of the input to tell its format, however a pipe delivers it.
        while ((s.held().size() < 5 ||
                s.held().find_first_not_of(" \t\r\n") == std::string_view::npos) &&
               s.fill()) {
        }
        // Told by the content: GenBank when the first line starts with
        // "LOCUS", FASTA when the first character other than white space
        // is '>'.
        const std::string_view start = s.held();
        const size_t text = start.find_first_not_of(" \t\r\n");
        if (start.substr(0, 5) == "LOCUS") {
            s.format = SequenceFormat::GenBank;
        } else if (text != std::string_view::npos && start[text] == '>') {
            s.format = SequenceFormat::Fasta;
        } else {
            throw InputError(InputProblem::Format, kStandardInputName,
                             "Incorrect sequence input: standard input is neither FASTA (first "
                             "character '>') nor GenBank (first line LOCUS)");
        }
    }
}

RecordReader::~RecordReader() = default;

bool RecordReader::next(SequenceRecord& record) {
    State& s = *state_;
    if (s.finished) {
        return false;
    }
    s.finished = true;  // unless the extent finds a record after this one
    const size_t length = s.format == SequenceFormat::Fasta ? s.fastaExtent() : s.genBankExtent();
    if (length > s.maxRecord) {
        s.refuseLongRecord();
    }
    SequenceSet one;
    s.parse(length, one);
    s.started = true;
    ++s.records;
    if (one.records.empty()) {
        return false;
    }
    record = std::move(one.records.front());
    return true;
}

bool RecordReader::more() const {
    return !state_->finished;
}

size_t RecordReader::recordsLeft() {
    State& s = *state_;
    if (s.format != SequenceFormat::GenBank || s.allRecords || !s.started) {
        return 0;
    }
    // Counts the LOCUS lines of what is held, keeps only what a line could
    // still straddle, and reads on.
    constexpr std::string_view kLocus = "\nLOCUS";
    // The rest starts on the line after the first record's "//".
    while (s.held().size() < kLocus.size() && s.fill()) {
    }
    size_t count = s.held().substr(0, kLocus.size() - 1) == kLocus.substr(1) ? 1 : 0;
    size_t from = 0;
    for (;;) {
        const std::string_view held = s.held();
        for (size_t at = held.find(kLocus, from); at != std::string_view::npos;
             at = held.find(kLocus, at + 1)) {
            ++count;
        }
        const size_t keep = std::min(held.size(), kLocus.size() - 1);
        s.begin = s.end - keep;
        from = 0;
        if (!s.fill()) {
            return count;
        }
    }
}

const std::string& RecordReader::baseName() const {
    return state_->baseName;
}

size_t RecordReader::position() const {
    return state_->consumed;
}

size_t RecordReader::sizeHint() const {
    return state_->hint;
}

}  // namespace xoprex
