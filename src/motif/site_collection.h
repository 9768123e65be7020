// The site collection (the user's known sites, all of one length) and its
// motif model (per-position counts, frequencies, consensus, Rsequence, RE).
// Loading reads the file and builds the model in one operation; invalid input
// raises InputError.
#pragma once

#include <array>
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "base/records.h"
#include "seqio/sequence.h"

namespace xoprex {

// log10(2) rounded to single precision: every base-2 logarithm is
// log10(x) / kLambda.
inline constexpr double kLambda = 0.3010300099849701;
inline constexpr double kEpsilon = 1e-100;

struct PositionRecord {
    std::array<double, 4> frequencies{};  // A, C, G, T
    std::array<double, 4> counts{};
    char consensus = 'A';
    double rsequence = 0.0;
    double windowRsequence = 0.0;  // scratch of the differential methods
    double relativeEntropy = 0.0;
    double windowRelativeEntropy = 0.0;
};

struct MotifModel {
    std::vector<PositionRecord> positions;
    double totalRsequence = 0.0;
    double totalRelativeEntropy = 0.0;
};

// A collection of sites, or of a count matrix (motif/count_matrix.h).
//   - Sites: `sites` holds them; the model counts their letters.
//   - Count matrix: `sites` is empty, `matrixCounts` holds the counts of A,
//     C, G and T at every position and `matrixSiteCount` the number of sites
//     N they stand for; the model takes the counts as they are, so it is
//     exactly the model of sites with those counts. Without sites there are
//     no self-scores: the cut-off from a share of them
//     (scoreCollectionAndFixCutOff) stays 0; a literal or p-value cut-off
//     is the one to use.
// siteCount() is a double: a matrix's counts need not be whole.
struct SiteCollection {
    std::vector<SiteHit> sites;
    MotifModel model;
    int32_t siteLength = 0;
    std::string baseName;  // collection path up to its last '.', or the matrix's ID
    std::vector<std::array<double, 4>> matrixCounts;  // per position: A, C, G, T
    double matrixSiteCount = 0.0;

    bool fromMatrix() const { return sites.empty() && !matrixCounts.empty(); }
    // N, the number of sites behind the model (the scoring methods'
    // pseudo-frequency 1/N): the number of sites, or a matrix's
    // matrixSiteCount.
    double siteCount() const {
        return fromMatrix() ? matrixSiteCount : static_cast<double>(sites.size());
    }
};

// The reader an extension (the input extension rule of base/file_names.h)
// selects: "txt", "TXT" text; "fas", "fna", "FAS", "FNA" FASTA.
enum class CollectionFormat { Text, Fasta, Unknown };
CollectionFormat collectionFormatOf(const std::string& extension);
// The same under a given rule; the wide rule's extensions (wideExtension)
// are "txt" text and "fa", "fasta", "fna", "fas", "ffn" FASTA.
CollectionFormat collectionFormatOf(const std::string& extension, NameRule rule);

// Reads the collection file (text or FASTA by extension), checks lengths and
// builds the model against `background`. A file of gzip data is
// decompressed (seqio/input_source.h).
SiteCollection loadCollection(const std::string& path, const SequenceRecord& background);

// The same under the given rules: under the wide rule "-" reads standard
// input, FASTA when its first non-blank character is '>', else text.
SiteCollection loadCollection(const std::string& path, const SequenceRecord& background,
                              const InputRules& rules);

// Reads sites from a stream; fasta=true skips header lines.
std::vector<SiteHit> readCollectionSites(std::istream& in, bool fasta);

// Builds the model of `collection.sites` (siteLength set), or of its
// matrixCounts when it has no sites, with the background.
void buildModel(SiteCollection& collection, const SequenceRecord& background);

// Replaces the record's background by its strand-symmetric base composition.
void computeBackgroundComposition(SequenceRecord& record);

}  // namespace xoprex
