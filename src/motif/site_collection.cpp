#include "motif/site_collection.h"

#include <memory>
#include <sstream>
#include <string>

#include "base/errors.h"
#include "base/file_names.h"
#include "base/text_lines.h"
#include "motif/letter_tables.h"
#include "motif/motif_math.h"
#include "seqio/input_source.h"

namespace xoprex {
namespace {

using motif_detail::kCountWeights;

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
        if (!collection.fromMatrix()) {
            record.counts = countPosition(collection.sites, l);
        } else if (l < collection.matrixCounts.size()) {
            record.counts = collection.matrixCounts[l];  // else no counts: the error below
        }
        const auto& n = record.counts;
        const double total = n[0] + n[1] + n[2] + n[3];
        if (!(total > 0.0)) {
            throw InputError(InputProblem::Format, name,
                             "Incorrect collection file! - No A, C, G or T at site position " +
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

// Standard input holds FASTA when its first character other than white
// space is '>'.
CollectionFormat formatOfContent(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    return first != std::string::npos && text[first] == '>' ? CollectionFormat::Fasta
                                                            : CollectionFormat::Text;
}

}  // namespace

CollectionFormat collectionFormatOf(const std::string& extension) {
    if (extension == "FAS" || extension == "FNA" || extension == "fas" || extension == "fna") {
        return CollectionFormat::Fasta;
    }
    if (extension == "TXT" || extension == "txt") {
        return CollectionFormat::Text;
    }
    return CollectionFormat::Unknown;
}

std::vector<SiteHit> readCollectionSites(std::istream& in, bool fasta) {
    std::vector<SiteHit> sites;
    std::string line;
    while (readTextLine(in, line)) {
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

CollectionFormat collectionFormatOf(const std::string& extension, NameRule rule) {
    if (rule == NameRule::Strict) {
        return collectionFormatOf(extension);
    }
    if (extension == "txt") {
        return CollectionFormat::Text;
    }
    for (const char* fasta : {"fa", "fasta", "fna", "fas", "ffn"}) {
        if (extension == fasta) {
            return CollectionFormat::Fasta;
        }
    }
    return CollectionFormat::Unknown;
}

SiteCollection loadCollection(const std::string& path, const SequenceRecord& background) {
    return loadCollection(path, background, InputRules{});
}

SiteCollection loadCollection(const std::string& path, const SequenceRecord& background,
                              const InputRules& rules) {
    SiteCollection collection;
    const bool standardInput = rules.names == NameRule::Wide && isStandardInput(path);
    const std::string extension = rules.names == NameRule::Wide
                                      ? wideExtension(path, &collection.baseName)
                                      : fileExtension(path, &collection.baseName);
    CollectionFormat format = collectionFormatOf(extension, rules.names);
    if (format == CollectionFormat::Unknown && !standardInput) {
        throw InputError(
            InputProblem::Extension, path,
            std::vector<std::string>{"Incorrect motif file extension.", "Type Oprex /? for help"});
    }

    const std::unique_ptr<InputSource> source = InputSource::open(path, rules.names);
    if (source == nullptr) {
        throw cannotOpen(path);
    }
    const std::string& name = source->name();
    std::string text = source->readAll();
    if (standardInput) {
        format = formatOfContent(text);
    }
    std::istringstream in(std::move(text));
    collection.sites = readCollectionSites(in, format == CollectionFormat::Fasta);

    if (collection.sites.empty()) {
        throw InputError(InputProblem::Format, name,
                         "Incorrect collection file! - No sites in " + name);
    }
    const int32_t length = collection.sites.front().siteLength;
    for (const SiteHit& site : collection.sites) {
        if (site.siteLength != length) {
            throw InputError(InputProblem::Format, name,
                             "Incorrect collection file! - Different site lengths");
        }
    }
    collection.siteLength = length;

    buildModelNamed(collection, background, name);
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

}  // namespace xoprex
