// The MEME minimal motif format: each "MOTIF ID [NAME]" with its
// letter-probability matrix, counts = probability x nsites. Takes the text
// as a stream, returns the matrices in file order; faults are InputErrors of
// matrix_formats::Problems.
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
            counts[b] = probabilityCount(row[b], header.sites);
        }
        matrix.columns.push_back(counts);
    }
    checkColumns(matrix, motifLine, problems);
    return matrix;
}

}  // namespace

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

}  // namespace xoprex
