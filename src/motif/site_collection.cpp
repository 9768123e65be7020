#include "motif/site_collection.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "motif/letter_tables.h"
#include "motif/motif_math.h"
#include "run/number_format.h"
#include "run/run_log.h"

namespace xoprex {
namespace {

using motif_detail::kCountWeights;

// Extension rule of the collection file (the same rule as fileExtension of
// seqio/sequence.h, kept here so that loading a collection does not depend on
// the sequence readers): the last '.' searched backwards from at most index
// 1024, and the up to three characters after it; without a '.', the first
// three characters of the path, and the whole path as base name.
std::string collectionExtension(const std::string& path, std::string& baseName) {
    const size_t dot = path.rfind('.', 1024);
    if (dot == std::string::npos) {
        baseName = path;
        return path.substr(0, 3);
    }
    baseName = path.substr(0, dot);
    return path.substr(dot + 1, 3);
}

void upperCase(std::string& text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
}

// Sets `field` of every position to compute(position), then returns the sum
// of the field over the positions in order.
template <typename Compute>
double fillPositions(std::vector<PositionRecord>& positions, double PositionRecord::*field,
                     Compute compute) {
    for (PositionRecord& record : positions) {
        record.*field = compute(record);
    }
    double total = 0.0;
    for (const PositionRecord& record : positions) {
        total += record.*field;
    }
    return total;
}

// Weighted counts of the four bases at position l over all sites, in
// collection order.
std::array<double, 4> countPosition(const std::vector<SiteHit>& sites, size_t l) {
    std::array<double, 4> counts{};
    for (const SiteHit& site : sites) {
        if (l >= site.site.size()) {
            continue;
        }
        const auto& w = kCountWeights.byByte[static_cast<unsigned char>(site.site[l])];
        for (int b = 0; b < 4; ++b) {
            counts[b] += w[b];  // adding 0.0 leaves a count unchanged
        }
    }
    return counts;
}

// The most frequent base; ties go to the earlier base in the order A, C, G, T.
char consensusOf(const std::array<double, 4>& f) {
    if (f[0] >= f[1] && f[0] >= f[2] && f[0] >= f[3]) {
        return 'A';
    }
    if (f[1] >= f[2] && f[1] >= f[3]) {
        return 'C';
    }
    return f[2] >= f[3] ? 'G' : 'T';
}

// Builds the model; `name` identifies the collection in the fatal message of
// a position without any counted letter.
void buildModelNamed(SiteCollection& collection, const SequenceRecord& background,
                     const std::string& name) {
    const size_t length =
        collection.siteLength > 0 ? static_cast<size_t>(collection.siteLength) : 0;
    MotifModel& model = collection.model;
    model.positions.assign(length, PositionRecord{});

    // Counts, frequencies (over the counted weight) and consensus.
    for (size_t l = 0; l < length; ++l) {
        PositionRecord& record = model.positions[l];
        record.counts = countPosition(collection.sites, l);
        const auto& n = record.counts;
        const double total = n[0] + n[1] + n[2] + n[3];
        if (!(total > 0.0)) {
            reportFatal("Incorrect collection file! - No A, C, G or T at site position " +
                        std::to_string(l + 1) + " in " + name);
        }
        for (int b = 0; b < 4; ++b) {
            record.frequencies[b] = n[b] / total;
        }
        record.consensus = consensusOf(record.frequencies);
    }

    // Rsequence of every position, then its total; the same for RE.
    model.totalRsequence = fillPositions(model.positions, &PositionRecord::rsequence,
                                         [&background](const PositionRecord& record) {
                                             return motif_detail::informationContent(
                                                 record.frequencies, background.backgroundEntropy);
                                         });
    model.totalRelativeEntropy =
        fillPositions(model.positions, &PositionRecord::relativeEntropy,
                      [&background](const PositionRecord& record) {
                          return motif_detail::relativeEntropyOf(record.frequencies,
                                                                 background.backgroundFrequencies);
                      });
}

}  // namespace

std::vector<SiteHit> readCollectionSites(std::istream& in, bool fasta) {
    std::vector<SiteHit> sites;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();  // part of the line end
        }
        if (line.empty()) {
            continue;
        }
        if (fasta && line[0] == '>') {
            continue;  // header
        }
        upperCase(line);
        SiteHit site(static_cast<int32_t>(line.size()));
        site.site = std::move(line);
        sites.push_back(std::move(site));
        line.clear();
    }
    return sites;
}

SiteCollection loadCollection(const std::string& path, const SequenceRecord& background) {
    SiteCollection collection;
    const std::string extension = collectionExtension(path, collection.baseName);

    bool fasta = false;
    if (extension == "FAS" || extension == "FNA" || extension == "fas" || extension == "fna") {
        fasta = true;
    } else if (extension == "TXT" || extension == "txt") {
        fasta = false;
    } else {
        reportFatalLines({"Incorrect motif file extension.", "Type Oprex /? for help"});
    }

    std::error_code error;
    std::ifstream in;
    if (!std::filesystem::is_directory(path, error)) {
        in.open(path);
    }
    if (!in.is_open()) {
        reportFatal("Incorrect file name: ", path);
    }
    collection.sites = readCollectionSites(in, fasta);
    in.close();

    if (collection.sites.empty()) {
        reportFatal("Incorrect collection file! - No sites in " + path);
    }
    const int32_t length = collection.sites.front().siteLength;
    for (const SiteHit& site : collection.sites) {
        if (site.siteLength != length) {
            reportFatal("Incorrect collection file! - Different site lengths");
        }
    }
    collection.siteLength = length;

    buildModelNamed(collection, background, path);
    return collection;
}

void buildModel(SiteCollection& collection, const SequenceRecord& background) {
    buildModelNamed(collection, background, collection.baseName);
}

void computeBackgroundComposition(SequenceRecord& record) {
    const std::string& text = record.sequence;
    if (text.empty()) {
        return;  // nothing to derive from: keep the background as it is
    }
    std::array<double, 4> counts{};
    for (const char c : text) {
        const auto& w = kCountWeights.byByte[static_cast<unsigned char>(c)];
        for (int b = 0; b < 4; ++b) {
            counts[b] += w[b];
        }
    }
    const double twiceLength = 2.0 * static_cast<double>(text.size());
    const double at = (counts[0] + counts[3]) / twiceLength;
    const double cg = (counts[1] + counts[2]) / twiceLength;
    record.backgroundFrequencies = {at, cg, cg, at};

    // p * log2 p is taken as 0 at p = 0 (its limit), so a sequence without
    // one base pair gets a finite entropy instead of NaN.
    auto plogp = [](double p) { return p > 0.0 ? p * motif_detail::log2Bits(p) : 0.0; };
    const auto& p = record.backgroundFrequencies;
    // 0.0 - sum rather than -sum: the same value, but +0 (not -0) when no base
    // is counted at all.
    record.backgroundEntropy = 0.0 - (plogp(p[0]) + plogp(p[1]) + plogp(p[2]) + plogp(p[3]));
}

void writeCollectionLogs(const SiteCollection& collection, const std::string& reportPrefix) {
    const auto& positions = collection.model.positions;
    {
        std::ofstream out(reportPrefix + "_freq_table.csv", std::ios::out | std::ios::trunc);
        if (out.is_open()) {
            std::string text = ",";
            for (size_t l = 0; l < positions.size(); ++l) {
                text += std::to_string(l + 1);
                text += ',';
            }
            text += '\n';
            static const char* const kBaseRows[4] = {"A,", "C,", "G,", "T,"};
            for (int b = 0; b < 4; ++b) {
                text += kBaseRows[b];
                for (const PositionRecord& record : positions) {
                    appendGeneral(text, record.frequencies[b]);
                    text += ',';
                }
                text += '\n';
            }
            text += "Cons.,";
            for (const PositionRecord& record : positions) {
                text += record.consensus;
                text += ',';
            }
            text += '\n';
            text += "RI,";
            for (const PositionRecord& record : positions) {
                appendGeneral(text, record.rsequence);
                text += ',';
            }
            text += '\n';
            text += "RE,";
            for (const PositionRecord& record : positions) {
                appendGeneral(text, record.relativeEntropy);
                text += ',';
            }
            text += '\n';
            text += '\n';
            text += "Motif Rsequence (bits): ";
            appendGeneral(text, collection.model.totalRsequence);
            text += '\n';
            text += "Motif RE (bits): ";
            appendGeneral(text, collection.model.totalRelativeEntropy);
            text += '\n';
            out << text;
        }
    }
    {
        std::ofstream out(reportPrefix + "_site_collection_log.txt",
                          std::ios::out | std::ios::trunc);
        if (out.is_open()) {
            std::string text;
            for (size_t i = 0; i < collection.sites.size(); ++i) {
                text += '>';
                text += collection.baseName;
                text += " collection - Site #";
                text += std::to_string(i);
                text += '\n';
                text += collection.sites[i].site;
                text += '\n';
            }
            out << text;
        }
    }
}

}  // namespace xoprex
