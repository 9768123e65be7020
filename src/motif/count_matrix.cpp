#include "motif/count_matrix.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <memory>
#include <sstream>
#include <system_error>

#include "base/errors.h"
#include "base/file_names.h"
#include "base/text_lines.h"
#include "seqio/input_source.h"

namespace xoprex {
namespace {

// A MEME count this close to a whole number is that number.
constexpr double kWholeCountTolerance = 1e-3;

constexpr std::string_view kBlank = " \t\r";

std::string_view trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(kBlank);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kBlank) - first + 1);
}

std::vector<std::string_view> words(std::string_view text) {
    std::vector<std::string_view> result;
    size_t at = text.find_first_not_of(kBlank);
    while (at != std::string_view::npos) {
        const size_t end = std::min(text.find_first_of(kBlank, at), text.size());
        result.push_back(text.substr(at, end - at));
        at = text.find_first_not_of(kBlank, end);
    }
    return result;
}

// The text after the first `skip` words, trimmed.
std::string afterWords(std::string_view text, size_t skip) {
    text = trimmed(text);
    for (size_t i = 0; i < skip && !text.empty(); ++i) {
        const size_t end = text.find_first_of(kBlank);
        text = end == std::string_view::npos ? std::string_view{} : trimmed(text.substr(end));
    }
    return std::string(text);
}

// The first word ("" for a blank text).
std::string_view firstWord(std::string_view text) {
    const std::vector<std::string_view> items = words(text);
    return items.empty() ? std::string_view{} : items.front();
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool startsNumber(std::string_view text) {
    return !text.empty() && (std::isdigit(static_cast<unsigned char>(text[0])) != 0 ||
                             text[0] == '.' || text[0] == '+' || text[0] == '-');
}

// Base index of a base letter in either case; -1 for anything else.
int baseOfLetter(std::string_view word) {
    if (word.size() != 1) {
        return -1;
    }
    switch (word[0]) {
        case 'A':
        case 'a':
            return 0;
        case 'C':
        case 'c':
            return 1;
        case 'G':
        case 'g':
            return 2;
        case 'T':
        case 't':
            return 3;
        default:
            return -1;
    }
}

std::string quoted(std::string_view text) {
    std::string result(1, '"');
    result.append(text);
    result += '"';
    return result;
}

// A finite number of at least 0, the whole word.
bool parseCount(std::string_view word, double& value) {
    if (!word.empty() && word.front() == '+') {
        word.remove_prefix(1);
    }
    const char* end = word.data() + word.size();
    const auto [stop, error] = std::from_chars(word.data(), end, value);
    if (word.empty() || error != std::errc() || stop != end || !std::isfinite(value) ||
        value < 0.0) {
        return false;
    }
    value += 0.0;  // -0 as +0
    return true;
}

bool parseWhole(std::string_view word, long& value) {
    const char* end = word.data() + word.size();
    const auto [stop, error] = std::from_chars(word.data(), end, value);
    return !word.empty() && error == std::errc() && stop == end;
}

// Raises the input's format errors.
class Problems {
  public:
    explicit Problems(const std::string& name) : name_(name) {}

    [[noreturn]] void at(size_t line, const std::string& problem) const {
        whole("line " + std::to_string(line) + ": " + problem);
    }
    [[noreturn]] void whole(const std::string& problem) const {
        throw InputError(InputProblem::Format, name_,
                         "Incorrect matrix file! - " + name_ + ", " + problem);
    }

  private:
    const std::string& name_;
};

// Lines with their numbers; keep() hands the current line out once more.
class Lines {
  public:
    explicit Lines(std::istream& in) : in_(in) {}

    bool next() {
        if (kept_) {
            kept_ = false;
            return true;
        }
        if (!readTextLine(in_, line_)) {
            return false;
        }
        ++number_;
        return true;
    }
    // The next line that is not blank.
    bool nextFilled() {
        while (next()) {
            if (!text().empty()) {
                return true;
            }
        }
        return false;
    }
    void keep() { kept_ = true; }
    std::string_view text() const { return trimmed(line_); }
    size_t number() const { return number_; }

  private:
    std::istream& in_;
    std::string line_;
    size_t number_ = 0;
    bool kept_ = false;
};

// A finished matrix must have a column, and every column must count
// something, and not beyond what a double holds (`line` is the matrix's
// first line).
void checkColumns(const CountMatrix& matrix, size_t line, const Problems& problems) {
    if (matrix.columns.empty()) {
        problems.at(line, "matrix " + quoted(matrix.id) + " has no column");
    }
    for (size_t l = 0; l < matrix.columns.size(); ++l) {
        const auto& n = matrix.columns[l];
        const double total = n[0] + n[1] + n[2] + n[3];
        if (!(total > 0.0) || !std::isfinite(total)) {
            problems.at(line, "matrix " + quoted(matrix.id) +
                                  (total > 0.0 ? " counts beyond any number" : " counts nothing") +
                                  " at position " + std::to_string(l + 1));
        }
    }
}

// ---------------------------------------------------------------- JASPAR

struct JasparRow {
    size_t line = 0;
    int base = -1;  // the row's letter, -1 without one
    std::vector<double> counts;
};

struct JasparMatrix {
    size_t line = 0;  // of the header, or of the first row without one
    std::string id;
    std::string name;
    std::vector<JasparRow> rows;
};

JasparRow jasparRow(std::string_view text, size_t line, const Problems& problems) {
    std::string plain(text);
    std::replace(plain.begin(), plain.end(), '[', ' ');
    std::replace(plain.begin(), plain.end(), ']', ' ');
    const std::vector<std::string_view> items = words(plain);
    JasparRow row;
    row.line = line;
    size_t first = 0;
    if (!items.empty() && baseOfLetter(items[0]) >= 0) {
        row.base = baseOfLetter(items[0]);
        first = 1;
    }
    for (size_t i = first; i < items.size(); ++i) {
        double count = 0.0;
        if (!parseCount(items[i], count)) {
            problems.at(line, quoted(items[i]) + " is not a count (a number of at least 0)");
        }
        row.counts.push_back(count);
    }
    if (row.counts.empty()) {
        problems.at(line, "a row without counts");
    }
    return row;
}

CountMatrix finishJaspar(JasparMatrix& pending, const Problems& problems) {
    const std::string what = "matrix " + quoted(pending.id);
    auto& rows = pending.rows;
    if (rows.size() != 4) {
        problems.at(pending.line, what + " has " + std::to_string(rows.size()) +
                                      " rows; a matrix has four (A, C, G, T)");
    }
    const bool lettered = rows[0].base >= 0;
    for (const JasparRow& row : rows) {
        if ((row.base >= 0) != lettered) {
            problems.at(row.line,
                        "the rows of " + what + " must all begin with their letter or none");
        }
    }
    if (lettered) {
        std::stable_sort(rows.begin(), rows.end(),
                         [](const JasparRow& a, const JasparRow& b) { return a.base < b.base; });
        for (int b = 0; b < 4; ++b) {
            if (rows[static_cast<size_t>(b)].base != b) {
                problems.at(pending.line, what + " has no row " + std::string(1, "ACGT"[b]));
            }
        }
    }
    CountMatrix matrix;
    matrix.id = std::move(pending.id);
    matrix.name = std::move(pending.name);
    const size_t width = rows[0].counts.size();
    for (const JasparRow& row : rows) {
        if (row.counts.size() != width) {
            problems.at(row.line, "a row of " + std::to_string(row.counts.size()) +
                                      " counts in a matrix whose rows have " +
                                      std::to_string(width));
        }
    }
    matrix.columns.resize(width);
    for (size_t l = 0; l < width; ++l) {
        for (size_t b = 0; b < 4; ++b) {
            matrix.columns[l][b] = rows[b].counts[l];
        }
    }
    checkColumns(matrix, pending.line, problems);
    return matrix;
}

// ---------------------------------------------------------------- MEME

void checkAlphabet(std::string_view text, size_t line, const Problems& problems) {
    std::string_view rest = trimmed(text.substr(std::string_view("ALPHABET").size()));
    if (rest.empty() || rest[0] != '=' || trimmed(rest.substr(1)) != "ACGT") {
        problems.at(line, quoted(text) + ": only the DNA alphabet is read (\"ALPHABET= ACGT\")");
    }
}

// The counts of a probability: p x sites, whole when near a whole number.
double memeCount(double probability, double sites) {
    const double count = probability * sites;
    const double whole = std::round(count);
    return std::fabs(count - whole) <= kWholeCountTolerance ? whole : count;
}

struct MemeHeader {
    long width = -1;  // -1 when not given
    double sites = kMemeDefaultSites;
};

MemeHeader memeHeader(std::string_view text, size_t line, const Problems& problems) {
    const size_t colon = text.find(':');
    // "key= value" and "key=value" alike: split after every '='.
    std::string spaced;
    for (const char c : text.substr(colon == std::string_view::npos ? text.size() : colon + 1)) {
        spaced += c;
        if (c == '=') {
            spaced += ' ';
        }
    }
    MemeHeader header;
    const std::vector<std::string_view> items = words(spaced);
    for (size_t i = 0; i + 1 < items.size(); ++i) {
        const std::string_view key = items[i];
        const std::string_view value = items[i + 1];
        if (key == "alength=") {
            if (value != "4") {
                problems.at(line, "alength= " + std::string(value) + "; a DNA matrix has 4");
            }
        } else if (key == "w=") {
            if (!parseWhole(value, header.width) || header.width < 1) {
                problems.at(line, "w= " + std::string(value) + " is not a number of columns");
            }
        } else if (key == "nsites=") {
            if (!parseCount(value, header.sites) || !(header.sites > 0.0)) {
                problems.at(line, "nsites= " + std::string(value) + " is not a number of sites");
            }
        }
    }
    return header;
}

CountMatrix memeMotif(Lines& lines, const Problems& problems) {
    const size_t motifLine = lines.number();
    const std::vector<std::string_view> head = words(lines.text());
    if (head.size() < 2) {
        problems.at(motifLine, "MOTIF without an ID");
    }
    CountMatrix matrix;
    matrix.id = std::string(head[1]);
    matrix.name = afterWords(lines.text(), 2);
    const std::string what = "MOTIF " + matrix.id;

    while (true) {
        if (!lines.next() || firstWord(lines.text()) == "MOTIF") {
            problems.at(motifLine, what + " has no letter-probability matrix");
        }
        if (startsWith(lines.text(), "letter-probability matrix")) {
            break;
        }
    }
    const size_t headerLine = lines.number();
    const MemeHeader header = memeHeader(lines.text(), headerLine, problems);

    std::vector<std::array<double, 4>> rows;
    while (lines.next()) {
        const std::string_view text = lines.text();
        if (text.empty() && rows.empty()) {
            continue;
        }
        if (!startsNumber(text)) {
            lines.keep();
            break;
        }
        const std::vector<std::string_view> items = words(text);
        if (items.size() != 4) {
            problems.at(lines.number(), "a row of " + std::to_string(items.size()) +
                                            " probabilities; rows have four (A, C, G, T)");
        }
        std::array<double, 4> row{};
        for (size_t b = 0; b < 4; ++b) {
            if (!parseCount(items[b], row[b]) || row[b] > 1.0) {
                problems.at(lines.number(),
                            quoted(items[b]) + " is not a probability (a number from 0 to 1)");
            }
        }
        rows.push_back(row);
    }
    if (header.width >= 0 && rows.size() != static_cast<size_t>(header.width)) {
        problems.at(headerLine, what + ": w= " + std::to_string(header.width) + " but " +
                                    std::to_string(rows.size()) + " rows of probabilities follow");
    }
    for (const auto& row : rows) {
        std::array<double, 4> counts{};
        for (size_t b = 0; b < 4; ++b) {
            counts[b] = memeCount(row[b], header.sites);
        }
        matrix.columns.push_back(counts);
    }
    checkColumns(matrix, motifLine, problems);
    return matrix;
}

// ---------------------------------------------------------------- TRANSFAC

struct TransfacRecord {
    size_t matrixLine = 0;  // the P0 line, 0 without one
    bool inMatrix = false;
    std::string id;
    std::string accession;
    std::string name;
    std::array<size_t, 4> columnOf{};  // the P0 column of A, C, G, T
    std::vector<std::array<double, 4>> columns;
};

std::array<size_t, 4> transfacOrder(const std::vector<std::string_view>& items, size_t line,
                                    const Problems& problems) {
    std::array<size_t, 4> columnOf{};
    std::array<bool, 4> seen{};
    bool good = items.size() == 5;
    for (size_t i = 1; good && i < 5; ++i) {
        const int base = baseOfLetter(items[i]);
        good = base >= 0 && !seen[static_cast<size_t>(base)];
        if (good) {
            seen[static_cast<size_t>(base)] = true;
            columnOf[static_cast<size_t>(base)] = i - 1;
        }
    }
    if (!good) {
        problems.at(line, "the P0 line must name the columns A, C, G and T");
    }
    return columnOf;
}

void transfacRow(TransfacRecord& record, const std::vector<std::string_view>& items, size_t line,
                 const Problems& problems) {
    const std::string expected = std::to_string(record.columns.size() + 1);
    long number = 0;
    if (!parseWhole(items[0], number) || std::to_string(number) != expected) {
        problems.at(line, "row " + quoted(items[0]) + " where row " + expected + " was expected");
    }
    const std::string fourCounts = "; rows have four counts (A, C, G, T)";
    if (items.size() < 5) {
        problems.at(line, "row " + expected + " has " + std::to_string(items.size() - 1) +
                              " counts" + fourCounts);
    }
    std::array<double, 5> read{};
    for (size_t i = 0; i < 4; ++i) {
        if (!parseCount(items[1 + i], read[i])) {
            problems.at(line, quoted(items[1 + i]) + " is not a count (a number of at least 0)");
        }
    }
    if (items.size() > 5 && parseCount(items[5], read[4])) {
        problems.at(line, "row " + expected + " has more than four counts" + fourCounts);
    }
    std::array<double, 4> counts{};
    for (size_t b = 0; b < 4; ++b) {
        counts[b] = read[record.columnOf[b]];
    }
    record.columns.push_back(counts);
}

void finishTransfac(TransfacRecord& record, const std::string& title,
                    std::vector<CountMatrix>& matrices, const Problems& problems) {
    if (record.matrixLine == 0) {
        return;  // a record without a matrix (a release header): nothing to read
    }
    CountMatrix matrix;
    matrix.id = !record.id.empty()          ? record.id
                : !record.accession.empty() ? record.accession
                                            : title + "_" + std::to_string(matrices.size() + 1);
    matrix.name = std::move(record.name);
    matrix.columns = std::move(record.columns);
    checkColumns(matrix, record.matrixLine, problems);
    matrices.push_back(std::move(matrix));
}

bool isTransfacTag(std::string_view word) {
    for (const std::string_view tag :
         {"AC", "ID", "NA", "DE", "BF", "P0", "PO", "XX", "VV", "//"}) {
        if (word == tag) {
            return true;
        }
    }
    return false;
}

}  // namespace

double CountMatrix::siteCount() const {
    double largest = 0.0;
    for (const auto& n : columns) {
        largest = std::max(largest, n[0] + n[1] + n[2] + n[3]);
    }
    return largest;
}

MatrixFormat matrixFormatOfExtension(const std::string& extension) {
    std::string lower = extension;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower == "jaspar" || lower == "pfm") {
        return MatrixFormat::Jaspar;
    }
    if (lower == "meme") {
        return MatrixFormat::Meme;
    }
    if (lower == "transfac" || lower == "dat") {
        return MatrixFormat::Transfac;
    }
    return MatrixFormat::Unknown;
}

MatrixFormat matrixFormatOfContent(std::string_view text) {
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = std::min(text.find('\n', at), text.size());
        const std::string_view line = trimmed(text.substr(at, end - at));
        at = end + 1;
        const std::string_view first = firstWord(line);
        if (line.empty()) {
            continue;
        }
        if (startsWith(line, "MEME version")) {
            return MatrixFormat::Meme;
        }
        if (line[0] == '>' || startsNumber(line) || baseOfLetter(first) >= 0 ||
            startsWith(line, "[")) {
            return MatrixFormat::Jaspar;
        }
        return isTransfacTag(first) ? MatrixFormat::Transfac : MatrixFormat::Unknown;
    }
    return MatrixFormat::Unknown;
}

std::vector<CountMatrix> readJasparMatrices(std::istream& in, const std::string& name,
                                            const std::string& title) {
    const Problems problems(name);
    Lines lines(in);
    std::vector<CountMatrix> matrices;
    JasparMatrix pending;
    bool open = false;
    while (lines.nextFilled()) {
        const std::string_view text = lines.text();
        if (text[0] == '>') {
            if (open) {
                matrices.push_back(finishJaspar(pending, problems));
            }
            pending = JasparMatrix{};
            pending.line = lines.number();
            pending.id = std::string(firstWord(text.substr(1)));
            pending.name = afterWords(text.substr(1), 1);
            if (pending.id.empty()) {
                problems.at(lines.number(), "a header without an ID");
            }
            open = true;
            continue;
        }
        if (!open) {
            pending = JasparMatrix{};  // four rows without a header: the file's one matrix
            pending.line = lines.number();
            pending.id = title;
            open = true;
        } else if (pending.rows.size() == 4) {
            problems.at(lines.number(), "a fifth row in matrix " + quoted(pending.id) +
                                            " (a matrix has four: A, C, G, T)");
        }
        pending.rows.push_back(jasparRow(text, lines.number(), problems));
    }
    if (open) {
        matrices.push_back(finishJaspar(pending, problems));
    }
    if (matrices.empty()) {
        problems.whole("no matrix");
    }
    return matrices;
}

std::vector<CountMatrix> readMemeMatrices(std::istream& in, const std::string& name) {
    const Problems problems(name);
    Lines lines(in);
    std::vector<CountMatrix> matrices;
    bool version = false;
    while (lines.nextFilled()) {
        const std::string_view text = lines.text();
        if (startsWith(text, "MEME version")) {
            version = true;
            continue;
        }
        if (!version) {
            problems.at(lines.number(), "the file does not begin with \"MEME version\"");
        }
        if (startsWith(text, "ALPHABET")) {
            checkAlphabet(text, lines.number(), problems);
        } else if (firstWord(text) == "MOTIF") {
            matrices.push_back(memeMotif(lines, problems));
        } else if (startsWith(text, "letter-probability matrix")) {
            problems.at(lines.number(), "a letter-probability matrix without its MOTIF line");
        }
        // Anything else (strands, background frequencies, URL, log-odds
        // matrices) is passed over.
    }
    if (matrices.empty()) {
        problems.whole("no matrix (no MOTIF)");
    }
    return matrices;
}

std::vector<CountMatrix> readTransfacMatrices(std::istream& in, const std::string& name,
                                              const std::string& title) {
    const Problems problems(name);
    Lines lines(in);
    std::vector<CountMatrix> matrices;
    TransfacRecord record;
    while (lines.nextFilled()) {
        const std::string_view text = lines.text();
        const std::vector<std::string_view> items = words(text);
        const std::string_view tag = items.front();
        if (tag == "//") {
            finishTransfac(record, title, matrices, problems);
            record = TransfacRecord{};
            continue;
        }
        const bool row = std::isdigit(static_cast<unsigned char>(text[0])) != 0;
        if (row && !record.inMatrix) {
            problems.at(lines.number(), "a numbered row without a P0 line above it");
        }
        if (row) {
            transfacRow(record, items, lines.number(), problems);
            continue;
        }
        record.inMatrix = false;
        if (tag == "ID") {
            record.id = afterWords(text, 1);
        } else if (tag == "AC") {
            record.accession = afterWords(text, 1);
        } else if (tag == "NA") {
            record.name = afterWords(text, 1);
        } else if (tag == "P0" || tag == "PO") {
            if (record.matrixLine != 0) {
                problems.at(lines.number(),
                            "a second matrix before the \"//\" that ends the first");
            }
            record.columnOf = transfacOrder(items, lines.number(), problems);
            record.matrixLine = lines.number();
            record.inMatrix = true;
        }
    }
    finishTransfac(record, title, matrices, problems);
    if (matrices.empty()) {
        problems.whole("no matrix (no P0 line)");
    }
    return matrices;
}

std::vector<CountMatrix> readMatrices(std::string_view text, MatrixFormat format,
                                      const std::string& name, const std::string& title) {
    if (format == MatrixFormat::Unknown) {
        format = matrixFormatOfContent(text);
    }
    std::istringstream in{std::string(text)};
    switch (format) {
        case MatrixFormat::Jaspar:
            return readJasparMatrices(in, name, title);
        case MatrixFormat::Meme:
            return readMemeMatrices(in, name);
        case MatrixFormat::Transfac:
            return readTransfacMatrices(in, name, title);
        case MatrixFormat::Unknown:
            break;
    }
    const Problems problems(name);
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) {
        problems.whole("no matrix");
    }
    problems.whole("not a count matrix file (JASPAR, MEME or TRANSFAC)");
}

std::vector<CountMatrix> readMatrixFile(const std::string& path) {
    const std::unique_ptr<InputSource> source = InputSource::open(path, NameRule::Wide);
    if (source == nullptr) {
        throw InputError(InputProblem::Unreadable, path, "Incorrect file name: " + path);
    }
    const std::string text = source->readAll();
    return readMatrices(text, matrixFormatOfExtension(wideExtension(path)), source->name(),
                        inputTitle(path, NameRule::Wide));
}

SiteCollection collectionFromMatrix(const CountMatrix& matrix, const SequenceRecord& background) {
    SiteCollection collection;
    collection.baseName = matrix.id;
    collection.siteLength = static_cast<int32_t>(matrix.columns.size());
    collection.matrixCounts = matrix.columns;
    collection.matrixSiteCount = matrix.siteCount();
    buildModel(collection, background);
    return collection;
}

std::vector<SiteCollection> loadMatrixCollections(const std::string& path,
                                                  const SequenceRecord& background) {
    std::vector<SiteCollection> collections;
    for (const CountMatrix& matrix : readMatrixFile(path)) {
        collections.push_back(collectionFromMatrix(matrix, background));
    }
    return collections;
}

}  // namespace xoprex
