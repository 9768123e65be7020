// The GenBank reader and its gene table. A CDS feature is read as a whole
// block (up to the next feature key, ORIGIN, or a line that does not start
// with a blank), its location from every integer of the location text (so
// join, order and partial locations keep their real extent), and its
// qualifiers from its own block only, with wrapped values joined.
#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "base/errors.h"
#include "seqio/parsers.h"
#include "seqio/sequence.h"
#include "seqio/text_input.h"

namespace xoprex {
namespace {

using seqio_detail::Line;
using seqio_detail::LineCursor;
using seqio_detail::TextBuffer;

constexpr size_t kMaxColumnText = 1024;
constexpr size_t kColumn13 = 12;  // 0-based index of column 13
constexpr size_t kColumn22 = 21;  // 0-based index of column 22

std::string_view view(const Line& line) {
    return {line.begin, line.length()};
}

// Text from a 0-based column on, at most kMaxColumnText characters; empty
// when the line is shorter.
std::string columnText(const Line& line, size_t column) {
    if (line.length() <= column) {
        return {};
    }
    return std::string(line.begin + column, std::min(line.length() - column, kMaxColumnText));
}

bool isOriginLine(const Line& line) {
    return line.startsWith("ORIGIN", 6);
}

// A CDS line: "CDS" occurs in the line and its first occurrence starts within
// the first 11 characters.
bool isCdsLine(const Line& line) {
    const std::string_view head = view(line).substr(0, 13);
    const size_t at = head.find("CDS");
    return at != std::string_view::npos && at <= 10;
}

// Index of the first character that is not a blank, or the length.
size_t firstNonBlank(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    return i;
}

std::string_view trimBlanks(std::string_view text) {
    size_t b = firstNonBlank(text);
    size_t e = text.size();
    while (e > b && text[e - 1] == ' ') {
        --e;
    }
    return text.substr(b, e - b);
}

// A feature key line: five blanks, then a key that starts before column 22.
bool isFeatureKeyLine(std::string_view text) {
    if (text.size() < 6 || text.substr(0, 5) != "     ") {
        return false;
    }
    const size_t key = firstNonBlank(text);
    return key < text.size() && key < kColumn22;
}

// The lines after a CDS key line belong to its block until the next feature
// key line, the ORIGIN line, or any line that does not start with a blank.
bool endsBlock(const Line& line) {
    if (line.empty() || line.begin[0] != ' ') {
        return true;  // covers ORIGIN, "//", header keywords and empty lines
    }
    return isFeatureKeyLine(view(line));
}

// Every integer of the location: lo the smallest, hi the largest.
void applyLocation(std::string_view location, GeneRecord& gene) {
    bool any = false;
    int64_t lo = 0;
    int64_t hi = 0;
    size_t i = 0;
    while (i < location.size()) {
        if (location[i] < '0' || location[i] > '9') {
            ++i;
            continue;
        }
        int64_t value = 0;
        while (i < location.size() && location[i] >= '0' && location[i] <= '9') {
            value = std::min<int64_t>(value * 10 + (location[i] - '0'), INT32_MAX);
            ++i;
        }
        if (!any) {
            lo = hi = value;
            any = true;
        } else {
            lo = std::min(lo, value);
            hi = std::max(hi, value);
        }
    }
    const bool complement = location.find("complement") != std::string_view::npos;
    gene.sense = !complement;
    gene.begin = static_cast<int32_t>(complement ? hi : lo);
    gene.end = static_cast<int32_t>(complement ? lo : hi);
}

// One qualifier value being read, possibly over several lines.
class QualifierValue {
  public:
    // Starts a value at the text just after '='. Returns true when the value
    // continues on the next line (an open quote).
    bool start(std::string_view text, std::string* target) {
        target_ = target;
        text = text.substr(firstNonBlank(text));
        if (!text.empty() && text[0] == '"') {
            return quoted(text.substr(1));
        }
        if (target_ != nullptr) {
            target_->assign(trimBlanks(text));
        }
        return false;
    }

    // A continuation line of an open quoted value. Returns true while the
    // value goes on.
    bool resume(std::string_view text) { return quoted(trimBlanks(text)); }

  private:
    // Appends the quoted text up to the closing quote (a doubled quote
    // stands for one quote character) or the end of the line.
    bool quoted(std::string_view text) {
        std::string piece;
        bool open = true;
        size_t i = 0;
        while (i < text.size()) {
            if (text[i] == '"') {
                if (i + 1 < text.size() && text[i + 1] == '"') {
                    if (target_ != nullptr) {
                        piece += '"';
                    }
                    i += 2;
                    continue;
                }
                open = false;
                break;
            }
            const size_t quote = text.find('"', i);
            const size_t stop = quote == std::string_view::npos ? text.size() : quote;
            if (target_ != nullptr) {
                piece.append(text.substr(i, stop - i));
            }
            i = stop;
        }
        if (target_ != nullptr) {
            std::string_view add = piece;
            if (open) {
                // The line ends inside the value: its trailing blanks are
                // not part of the one blank that joins the lines.
                while (!add.empty() && add.back() == ' ') {
                    add.remove_suffix(1);
                }
            }
            if (!add.empty()) {
                if (!target_->empty()) {
                    *target_ += ' ';  // continuation lines join with one blank
                }
                target_->append(add);
            }
        }
        return open;
    }

    std::string* target_ = nullptr;
};

// Reads the block of the CDS key line in `line`. On return `line` holds the
// line that ended the block, and the result tells whether there is one.
bool readCdsBlock(LineCursor& cursor, Line& line, GeneRecord& gene) {
    std::string location(trimBlanks(view(line).substr(std::min(line.length(), kColumn22))));
    bool inLocation = true;
    bool foundGene = false;
    bool foundLocus = false;
    bool foundProduct = false;
    bool openQuote = false;
    QualifierValue value;
    bool more = false;
    while (cursor.next(line)) {
        if (endsBlock(line)) {
            more = true;
            break;
        }
        const std::string_view text = view(line);
        if (openQuote) {
            openQuote = value.resume(text);
            continue;
        }
        const std::string_view body = text.substr(firstNonBlank(text));
        if (body.empty()) {
            continue;
        }
        if (body[0] != '/') {
            if (inLocation) {
                location.append(trimBlanks(body));
            }
            continue;  // otherwise the rest of an unquoted value
        }
        inLocation = false;
        std::string* target = nullptr;
        size_t keyLength = 0;
        if (!foundGene && body.substr(0, 6) == "/gene=") {
            target = &gene.gene;
            foundGene = true;
            keyLength = 6;
        } else if (!foundLocus && body.substr(0, 11) == "/locus_tag=") {
            target = &gene.locus;
            foundLocus = true;
            keyLength = 11;
        } else if (!foundProduct && body.substr(0, 9) == "/product=") {
            target = &gene.product;
            foundProduct = true;
            keyLength = 9;
        } else {
            const size_t equals = body.find('=');
            keyLength = equals == std::string_view::npos ? body.size() : equals + 1;
        }
        value = QualifierValue();
        openQuote = value.start(body.substr(keyLength), target);
    }
    applyLocation(location, gene);
    return more;
}

// Reads the length from the LOCUS tail: the text after its first blank up
// to the first "bp", converted like a formatted integer read.
long locusLength(const std::string& tail) {
    const size_t blank = tail.find(' ');
    if (blank == std::string::npos) {
        return 0;
    }
    std::string rest = tail.substr(blank + 1);
    const size_t bp = rest.find("bp");
    if (bp != std::string::npos) {
        rest.resize(bp);
    }
    return std::strtol(rest.c_str(), nullptr, 10);
}

// The molecule's shape a LOCUS line's tail (after "LOCUS") names:
// "circular" or "linear" among its words after the first (the name).
Topology locusTopology(std::string_view line) {
    size_t at = 0;
    for (bool name = true; at < line.size(); name = false) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) {
            ++at;
        }
        const size_t end = std::min(line.find_first_of(" \t", at), line.size());
        const std::string_view word = name ? std::string_view() : line.substr(at, end - at);
        if (word == "circular") {
            return Topology::Circular;
        }
        if (word == "linear") {
            return Topology::Linear;
        }
        at = end;
    }
    return Topology::Unstated;
}

// White space as a formatted word read sees it.
constexpr std::array<unsigned char, 256> makeSpaceTable() {
    std::array<unsigned char, 256> table{};
    for (unsigned char c : {' ', '\t', '\n', '\v', '\f', '\r'}) {
        table[c] = 1;
    }
    return table;
}
constexpr std::array<unsigned char, 256> kWordSpace = makeSpaceTable();

// Kept in a standard ORIGIN line: neither white space nor '/'.
constexpr std::array<unsigned char, 256> makePlainTable() {
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 256; ++c) {
        table[static_cast<size_t>(c)] = kWordSpace[static_cast<size_t>(c)] == 0 && c != '/';
    }
    return table;
}
constexpr std::array<unsigned char, 256> kPlain = makePlainTable();

// The standard ORIGIN line from `p` on, when the next word starts a group:
// blanks, one word (the dropped position number), then six words of ten
// plain characters, each after one blank, and white space after the last.
// Returns the position after the sixth word, or nullptr. It looks no further
// than the line it starts in (plus the white space after a full line), so
// that a failed look costs no more than the general step that follows it.
char* standardLineEnd(char* p, char* limit) {
    while (p < limit && *p == ' ') {
        ++p;
    }
    char* const number = p;
    while (p < limit && kWordSpace[static_cast<unsigned char>(*p)] == 0) {
        ++p;
    }
    if (p == number || limit - p < 67) {
        return nullptr;
    }
    unsigned plain = 1;
    for (int block = 0; block < 6; ++block, p += 11) {
        plain &= static_cast<unsigned>(p[0] == ' ');
        for (int k = 1; k <= 10; ++k) {
            plain &= kPlain[static_cast<unsigned char>(p[k])];
        }
    }
    if (plain == 0 || kWordSpace[static_cast<unsigned char>(*p)] == 0) {
        return nullptr;
    }
    return p;
}

// Sequence step: the words after the ORIGIN line in groups of seven, the
// first of each group dropped, the others upper-cased and joined, everything
// from the first '/' on cut off. The letters are compacted in place inside
// [from, limit) (the write position never passes the read position); returns
// the end of the compacted text.
//
// Standard lines of seven words (a number and six blocks of ten letters)
// take a fast path that copies the sixty letters directly. Any other text
// goes through the general step, byte by byte up to the end of its line: it
// writes every byte and moves the write position on only for a kept byte.
char* readOriginWords(char* from, char* limit) {
    const auto& upper = seqio_detail::kUpperTable;
    char* write = from;
    char* p = from;
    unsigned group = 6;  // index within its group of the word being read
    unsigned previousSpace = 1;
    while (p < limit) {
        if (group == 6 && previousSpace != 0) {
            char* const end = standardLineEnd(p, limit);
            if (end != nullptr) {
                for (const char* block = end - 66; block < end; block += 11) {
                    for (int k = 0; k < 10; ++k) {
                        write[k] =
                            static_cast<char>(upper[static_cast<unsigned char>(block[1 + k])]);
                    }
                    write += 10;
                }
                p = end;
                previousSpace = 0;  // the last byte read ended the seventh word
                continue;
            }
        }
        auto* feed = static_cast<char*>(std::memchr(p, '\n', static_cast<size_t>(limit - p)));
        char* const stop = feed == nullptr ? limit : feed + 1;
        for (; p < stop; ++p) {
            const auto c = static_cast<unsigned char>(*p);
            const unsigned space = kWordSpace[c];
            const unsigned wordStart = previousSpace & (space ^ 1u);
            const unsigned next = group == 6 ? 0 : group + 1;
            group = wordStart != 0 ? next : group;
            const unsigned keep = (space ^ 1u) & static_cast<unsigned>(group != 0);
            if (c == '/' && keep != 0) {
                return write;  // nothing from the first kept '/' on
            }
            *write = static_cast<char>(upper[c]);
            write += keep;
            previousSpace = space;
        }
    }
    return write;
}

// The end of the record's ORIGIN text: the start of the first line that
// begins with "//", or the end of the text. Reading stops there even when the
// last sequence line held a full group of words; otherwise the "//" would be
// taken as the dropped first word of a new group and the next record's header
// words would join the sequence.
char* recordEnd(char* from, char* limit) {
    if (limit - from >= 2 && from[0] == '/' && from[1] == '/') {
        return from;
    }
    static constexpr char kTerminator[] = "\n//";
    char* const found = static_cast<char*>(
        memmem(from, static_cast<size_t>(limit - from), kTerminator, sizeof kTerminator - 1));
    return found == nullptr ? limit : found + 1;
}

// The first word of `text` (words are separated by blanks and tabs).
std::string firstWord(std::string_view text) {
    size_t b = 0;
    while (b < text.size() && (text[b] == ' ' || text[b] == '\t')) {
        ++b;
    }
    size_t e = b;
    while (e < text.size() && text[e] != ' ' && text[e] != '\t') {
        ++e;
    }
    return std::string(text.substr(b, e - b));
}

// A header line of the keyword: the keyword, then a blank or the line end.
bool isKeywordLine(const Line& line, std::string_view keyword) {
    return line.startsWith(keyword.data(), keyword.size()) &&
           (line.length() == keyword.size() || line.begin[keyword.size()] == ' ');
}

bool isLocusLine(const Line& line) {
    return line.startsWith("LOCUS", 5);
}

// With every record read, a record also ends at a "//" line or at the next
// LOCUS line, even without an ORIGIN before it.
bool endsRecord(const Line& line) {
    return line.startsWith("//", 2) || isLocusLine(line);
}

// The end of the record's ORIGIN text when every record is read: as
// recordEnd, or the start of a LOCUS line if one comes first (a record
// whose "//" line is missing).
char* anyRecordEnd(char* from, char* limit) {
    char* const end = recordEnd(from, limit);
    if (limit - from >= 5 && std::memcmp(from, "LOCUS", 5) == 0) {
        return from;
    }
    static constexpr char kLocus[] = "\nLOCUS";
    char* const found = static_cast<char*>(
        memmem(from, static_cast<size_t>(end - from), kLocus, sizeof kLocus - 1));
    return found == nullptr ? end : found + 1;
}

// The first LOCUS line from `from` on, or nullptr.
char* nextLocus(char* from, char* limit) {
    LineCursor cursor(from, limit);
    Line line;
    while (cursor.next(line)) {
        if (isLocusLine(line)) {
            return line.begin;
        }
    }
    return nullptr;
}

// Reads the record whose LOCUS line is in `line` and appends it. Returns
// the start of the next record's LOCUS line when `allRecords` asks for it
// and there is one, else nullptr.
char* parseRecord(LineCursor& cursor, Line& line, TextBuffer& buffer, const std::string& path,
                  SequenceSet& set, bool allRecords) {
    SequenceRecord record;
    record.format = 'G';
    record.name = firstWord(view(line).substr(5));
    record.topology = locusTopology(view(line).substr(5));
    const long length = locusLength(columnText(line, kColumn13));
    if (length >= 1000) {
        // A hint only: never more entries than the file could describe.
        const size_t hint = std::min(static_cast<size_t>(length / 1000), buffer.size / 32 + 1);
        record.genes.reserve(hint);
    }

    bool have = cursor.next(line);
    if (have) {
        record.description = columnText(line, kColumn13);
    }

    bool origin = false;
    bool version = false;
    char* next = nullptr;
    while (have) {
        if (isOriginLine(line)) {
            origin = true;
            break;
        }
        if (allRecords && endsRecord(line)) {
            next = nextLocus(line.begin, cursor.limit());
            break;
        }
        if (!version && isKeywordLine(line, "VERSION")) {
            std::string accession = firstWord(view(line).substr(7));
            if (!accession.empty()) {
                record.name = std::move(accession);
                version = true;
            }
        }
        if (isCdsLine(line)) {
            GeneRecord gene;
            have = readCdsBlock(cursor, line, gene);
            record.genes.push_back(std::move(gene));
            continue;
        }
        have = cursor.next(line);
    }

    if (origin) {
        char* const start = cursor.position();
        char* const textEnd =
            allRecords ? anyRecordEnd(start, cursor.limit()) : recordEnd(start, cursor.limit());
        if (allRecords) {
            next = nextLocus(textEnd, cursor.limit());
        }
        char* const end = readOriginWords(start, textEnd);
        const auto length = static_cast<size_t>(end - start);
        if (buffer.adoptable && next == nullptr && length >= buffer.size / 4) {
            // The last record and most of the input: the letters move to
            // the buffer's front and the buffer's storage becomes the
            // sequence.
            std::memmove(buffer.data, start, length);
            record.sequence = seqio_detail::adoptFront(buffer, length);
        } else {
            seqio_detail::assignText(record.sequence, start, length);
        }
    }
    record.genes.shrink_to_fit();
    if (record.sequence.empty()) {
        throw InputError(InputProblem::Format, path,
                         "No sequence read. Please check GenBank file!");
    }
    set.records.push_back(std::move(record));
    return next;
}

}  // namespace

namespace seqio_detail {

void parseGenBank(TextBuffer& buffer, const std::string& path, SequenceSet& set, bool allRecords) {
    LineCursor cursor(buffer.data, buffer.data + buffer.size);
    Line line;
    if (!cursor.next(line) || !isLocusLine(line)) {
        throw InputError(InputProblem::Format, path,
                         "Invalid format for GenBank file. No LOCUS definition!");
    }
    for (;;) {
        char* const next = parseRecord(cursor, line, buffer, path, set, allRecords);
        if (next == nullptr) {
            break;
        }
        cursor = LineCursor(next, cursor.limit());
        cursor.next(line);
    }
}

}  // namespace seqio_detail

void readGenBankFile(const std::string& path, SequenceSet& set, bool allRecords) {
    TextBuffer buffer;
    if (!seqio_detail::readWholeFile(path, buffer)) {
        throw cannotOpen(path);
    }
    seqio_detail::parseGenBank(buffer, path, set, allRecords);
}

void readGenBankStream(std::istream& in, SequenceSet& set, bool allRecords) {
    TextBuffer buffer = seqio_detail::readWholeStream(in);
    seqio_detail::parseGenBank(buffer, "", set, allRecords);
}

}  // namespace xoprex
