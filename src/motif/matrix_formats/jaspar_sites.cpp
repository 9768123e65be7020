// JASPAR .sites files: FASTA records, each holding one site in upper case
// within lower-case flanks (">MA0001.1 NAME 1" over "acgtTGTGAGTTcat").
// Takes the text as a stream and returns one site list: the sites, their
// counts as columns, the ID and name the headers share (else the file
// title and ""). A record without an upper-case run, with two, or with a
// site of another length than the first raises an InputError of
// matrix_formats::Problems naming the record and its line.
#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "motif/count_matrix.h"
#include "motif/letter_tables.h"
#include "motif/matrix_formats/reading.h"

namespace xoprex {
namespace {

using namespace matrix_formats;

struct SiteRecord {
    size_t line = 0;
    std::string header;  // after the '>', trimmed
    std::string sequence;
};

bool isUpper(char c) {
    return c >= 'A' && c <= 'Z';
}

// The record's one upper-case run.
std::string siteOf(const SiteRecord& record, const Problems& problems) {
    const std::string what = "record " + quoted(record.header);
    const std::string& text = record.sequence;
    const auto first = std::find_if(text.begin(), text.end(), isUpper);
    if (first == text.end()) {
        problems.at(record.line, what + " has no site in upper case");
    }
    const auto end = std::find_if_not(first, text.end(), isUpper);
    if (std::find_if(end, text.end(), isUpper) != text.end()) {
        problems.at(record.line, what + " has two runs of upper case; its site is one");
    }
    return std::string(first, end);
}

// The word `index` of the header if every record's header has it alike,
// else "".
std::string sharedWord(const std::vector<SiteRecord>& records, size_t index) {
    std::string shared;
    for (const SiteRecord& record : records) {
        const std::vector<std::string_view> items = words(record.header);
        const std::string_view word = index < items.size() ? items[index] : std::string_view{};
        if (&record == &records.front()) {
            shared = std::string(word);
        } else if (word != shared) {
            return "";
        }
    }
    return shared;
}

}  // namespace

std::vector<CountMatrix> readJasparSites(std::istream& in, const std::string& name,
                                         const std::string& title) {
    const Problems problems(name);
    Lines lines(in);
    std::vector<SiteRecord> records;
    while (lines.nextFilled()) {
        const std::string_view text = lines.text();
        if (text[0] == '>') {
            records.push_back({lines.number(), std::string(trimmed(text.substr(1))), ""});
        } else if (records.empty()) {
            problems.at(lines.number(), "a sequence before the first \">\" header");
        } else {
            for (const char c : text) {
                if (std::isspace(static_cast<unsigned char>(c)) == 0) {
                    records.back().sequence += c;
                }
            }
        }
    }
    if (records.empty()) {
        problems.whole("no site (no \">\" record)");
    }
    CountMatrix matrix;
    for (const SiteRecord& record : records) {
        matrix.sites.push_back(siteOf(record, problems));
        const size_t length = matrix.sites.back().size();
        if (length != matrix.sites.front().size()) {
            problems.at(record.line, "the site of record " + quoted(record.header) + " has " +
                                         std::to_string(length) + " letters; the first has " +
                                         std::to_string(matrix.sites.front().size()));
        }
    }
    matrix.id = sharedWord(records, 0);
    if (matrix.id.empty()) {
        matrix.id = title;
    }
    matrix.name = sharedWord(records, 1);
    matrix.columns.assign(matrix.sites.front().size(), {});
    for (const std::string& site : matrix.sites) {
        for (size_t l = 0; l < site.size(); ++l) {
            const auto& w = motif_detail::kCountWeights.byByte[static_cast<unsigned char>(site[l])];
            for (size_t b = 0; b < 4; ++b) {
                matrix.columns[l][b] += w[b];
            }
        }
    }
    checkColumns(matrix, records.front().line, problems);
    return {matrix};
}

}  // namespace xoprex
