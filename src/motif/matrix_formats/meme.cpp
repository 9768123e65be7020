// MEME's text files: the minimal motif format and MEME's report (meme.txt,
// its "MEME version" line under a banner of '*' lines). Each "MOTIF ID
// [ALT_ID]" line (in the report followed by "width = ..." after a tab) is
// read with the first letter-probability matrix after it, counts =
// probability x nsites (else the reading's default sites); everything else
// (log-odds matrices, sites, block diagrams, regular expressions) is passed
// over. Takes the text as a stream, returns the matrices in file order;
// faults are InputErrors of matrix_formats::Problems.
#include <algorithm>
#include <array>
#include <cctype>
#include <string>
#include <vector>

#include "motif/count_matrix.h"
#include "motif/matrix_formats/reading.h"

namespace xoprex {
namespace {

using namespace matrix_formats;

void checkAlphabet(std::string_view text, size_t line, const Problems& problems) {
    std::string_view rest = trimmed(text.substr(std::string_view("ALPHABET").size()));
    if (rest.empty() || rest[0] != '=' || trimmed(rest.substr(1)) != "ACGT") {
        problems.at(line, quoted(text) + ": only the DNA alphabet is read (\"ALPHABET= ACGT\")");
    }
}

struct MemeHeader {
    long width = -1;  // -1 when not given
    double sites = 0.0;
};

// The banner above the report's "MEME version" line: lines of '*' and the
// program's title.
bool isBanner(std::string_view text) {
    return startsWith(text, "MEME - ") || text.find_first_not_of('*') == std::string_view::npos;
}

// The motif's alt ID: the words after its ID, up to the report's "width =".
std::string altId(std::string_view text) {
    std::string name = afterWords(text, 2);
    for (size_t at = name.find("width"); at != std::string::npos; at = name.find("width", at + 1)) {
        const bool wordStart = at == 0 || kBlank.find(name[at - 1]) != std::string_view::npos;
        const std::string_view after = trimmed(std::string_view(name).substr(at + 5));
        if (wordStart && !after.empty() && after[0] == '=') {
            name.resize(at);
            break;
        }
    }
    return std::string(trimmed(name));
}

MemeHeader memeHeader(std::string_view text, size_t line, const MatrixReading& reading,
                      const Problems& problems) {
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
    header.sites = reading.defaultSites;
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

CountMatrix memeMotif(Lines& lines, const MatrixReading& reading, const Problems& problems) {
    const size_t motifLine = lines.number();
    const std::vector<std::string_view> head = words(lines.text());
    if (head.size() < 2) {
        problems.at(motifLine, "MOTIF without an ID");
    }
    CountMatrix matrix;
    matrix.id = std::string(head[1]);
    matrix.name = altId(lines.text());
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
    const MemeHeader header = memeHeader(lines.text(), headerLine, reading, problems);

    std::vector<std::array<double, 4>> rows;
    while (lines.next()) {
        const std::string_view text = lines.text();
        if (text.empty() && rows.empty()) {
            continue;
        }
        if (!isNumber(firstWord(text))) {
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
                problems.at(lines.number(), notAProbability(items[b]));
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
            counts[b] = probabilityCount(row[b], header.sites);
        }
        matrix.columns.push_back(counts);
    }
    checkColumns(matrix, motifLine, problems);
    return matrix;
}

}  // namespace

std::vector<CountMatrix> readMemeMatrices(std::istream& in, const std::string& name,
                                          const MatrixReading& reading) {
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
        if (!version && isBanner(text)) {
            continue;
        }
        if (!version) {
            problems.at(lines.number(), "the file does not begin with \"MEME version\"");
        }
        if (startsWith(text, "ALPHABET")) {
            checkAlphabet(text, lines.number(), problems);
        } else if (firstWord(text) == "MOTIF") {
            matrices.push_back(memeMotif(lines, reading, problems));
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

}  // namespace xoprex
