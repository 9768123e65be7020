// The shape of a search's outputs, known here once: the names of the files a
// search writes (built, and read back), the results' formats, the columns of
// the TSV and of the results table, the TSV's comment keys, the GFF3
// attribute keys and the labels of the results table's summary. The writers,
// the desktop program and the command line take them from here; the
// workflow reads the TSV's "# collection_title:" line instead of parsing
// file names. Nothing here fails: parsers return what they found.
#pragma once

#include <array>
#include <cstddef>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "options/options.h"

namespace xoprex {

// ---- the results' formats

enum class ResultFormat { Csv, Tsv, Bed, Gff3 };

// The file extension of a format ("csv", "tsv", "bed", "gff3") and back
// (false for an unknown name).
const char* formatExtension(ResultFormat format);
bool formatNamed(const std::string& name, ResultFormat& format);

// ---- file names

// The outputs of a search are named after the output folder (ending with
// the path separator, or empty), the target's title and the collection's
// title.
struct OutputNaming {
    std::string outputFolder;
    std::string sequenceTitle;
    std::string collectionTitle;

    // outputFolder + sequenceTitle: the run log and the sequence and gene
    // logs, which every collection of a run shares.
    std::string runBaseName() const { return outputFolder + sequenceTitle; }
    // runBaseName + "_" + collectionTitle: the collection's logs.
    std::string reportPrefix() const { return runBaseName() + "_" + collectionTitle; }
};

// reportPrefix + "_" + methodLabel + "_" + the threshold (single precision,
// "%.3f") + ".csv".
std::string resultsFileName(const Options& options, const OutputNaming& naming);
// The same for a search cut at a p-value: "_p" + the p-value in its shortest
// form instead of the threshold ("..._Ri_p1e-04.csv", "..._Ri_p0.002.csv").
std::string resultsFileName(const Options& options, double pValue, const OutputNaming& naming);
// The results in `format`: the results table's name with the format's
// extension instead of "csv".
std::string resultsPath(const std::string& resultsTableName, ResultFormat format);

std::string runLogName(const std::string& runBaseName);              // + ".log"
std::string sequenceLogName(const std::string& runBaseName);         // + "_seq_log.txt"
std::string geneLogName(const std::string& runBaseName);             // + "_gene_log.csv"
std::string frequencyTableName(const std::string& reportPrefix);     // + "_freq_table.csv"
std::string siteCollectionLogName(const std::string& reportPrefix);  // + "_site_collection_log.txt"
std::string motifScoreLogName(const std::string& reportPrefix);      // + "__motif_score_log.csv"
std::string regulonTableName(const std::string& reportPrefix);       // + "_regulon.tsv"

// The collection's own files of a search (its results in each format, and
// with option 1 on its logs), and the files every collection of a run shares
// (the run log, and with option 1 on the sequence and gene logs).
std::vector<std::string> collectionOutputNames(const std::string& resultsTableName,
                                               const std::vector<ResultFormat>& formats,
                                               const std::string& reportPrefix, bool logResults);
std::vector<std::string> sharedOutputNames(const std::string& runBaseName, bool logResults);

// ---- the TSV

enum class TsvColumn {
    MotifId,
    MotifAltId,
    Record,
    Start,
    End,
    Strand,
    Score,
    PValue,
    QValue,
    Site,
    Distance,
    Type,
    GeneStrand,
    GeneStart,
    GeneEnd,
    GeneTag,
    Gene,
    Product,
    LocalMean,
    UpMean,
    DownMean,
};
inline constexpr size_t kTsvColumnCount = 21;

// The header row's names, in column order ("motif_id", "motif_alt_id",
// "record", "start", ...).
const std::array<std::string_view, kTsvColumnCount>& tsvColumnNames();
std::string_view tsvColumnName(TsvColumn column);
// The header row: the names separated by tabs, with its line end.
std::string tsvHeaderLine();

// Where each column is in a header row (its index among the row's fields,
// the first of equal names), or kAbsentColumn; columns added later or left
// out do no harm.
inline constexpr int kAbsentColumn = -1;
std::array<int, kTsvColumnCount> tsvColumnPlaces(std::string_view header);

// The '#' comment lines before the header row: "# KEY: value".
namespace tsv_comment {
inline constexpr std::string_view kCommand = "command";
inline constexpr std::string_view kTarget = "target";
inline constexpr std::string_view kCollection = "collection";
inline constexpr std::string_view kCollectionTitle = "collection_title";
inline constexpr std::string_view kMethod = "method";
inline constexpr std::string_view kCutOff = "cut-off";
inline constexpr std::string_view kWindows = "windows scored";
}  // namespace tsv_comment

// The value of the comment line of `key` among `comments` ("" when absent).
std::string tsvCommentValue(const std::vector<std::string>& comments, std::string_view key);

// ---- the regulon table (report/regulon_table.h)

enum class RegulonColumn {
    MotifId,
    MotifAltId,
    Operon,
    Record,
    Strand,
    FirstGeneStart,
    LocusTags,
    Genes,
    Products,
    Windows,
    BestStart,
    BestEnd,
    BestStrand,
    BestScore,
    BestPValue,
    BestSite,
    Sites,
    Log10BayesFactor,
    Posterior,
};
inline constexpr size_t kRegulonColumnCount = 19;

// "motif_id", "motif_alt_id", "operon", "record", "strand",
// "first_gene_start", "locus_tags", "genes", "products", "windows",
// "best_start", "best_end", "best_strand", "best_score", "best_p_value",
// "best_site", "sites", "log10_bf", "posterior".
const std::array<std::string_view, kRegulonColumnCount>& regulonColumnNames();
std::string_view regulonColumnName(RegulonColumn column);
// The lists of an operon's genes in one field: its genes' texts joined by
// this (a '|' within a text is written '/').
inline constexpr char kRegulonListSeparator = '|';

// The regulon table's comment keys besides those of the TSV.
namespace regulon_comment {
inline constexpr std::string_view kAnnotation = "annotation";
inline constexpr std::string_view kSiteScores = "site scores";
inline constexpr std::string_view kSiteDensity = "site density";
inline constexpr std::string_view kPrior = "prior";
inline constexpr std::string_view kOperons = "operons";
inline constexpr std::string_view kPromoter = "promoter region";
inline constexpr std::string_view kBins = "bins";
}  // namespace regulon_comment

// ---- GFF3

namespace gff3_attribute {
inline constexpr std::string_view kId = "ID";
inline constexpr std::string_view kName = "Name";
inline constexpr std::string_view kMotifId = "motif_id";
inline constexpr std::string_view kMotifAltId = "motif_alt_id";
inline constexpr std::string_view kSite = "site";
inline constexpr std::string_view kPValue = "p_value";
inline constexpr std::string_view kQValue = "q_value";
inline constexpr std::string_view kType = "type";
inline constexpr std::string_view kDistance = "distance";
inline constexpr std::string_view kGene = "gene";
inline constexpr std::string_view kLocusTag = "locus_tag";
}  // namespace gff3_attribute

// ---- the results table

// The column titles of a record's block, as one line with its line end.
inline constexpr std::string_view kResultsTableHeader =
    "Score,Site,Strand,Distance,Type,Abs. position,Gene strand,Start,End,Gene tag,Gene,"
    "Product,Local Mean,Up Mean,Dw Mean\n";

// The figures under the last record's block, each a line of its label and
// its value: "Sequences,N", "Sites,N", "A priori H,x", "Method,x",
// "Cut-off,x; - Computed".
struct ResultsSummary {
    std::string sequences, sites, entropy, method, cutOff;
};
namespace summary_label {
inline constexpr std::string_view kSequences = "Sequences,";
inline constexpr std::string_view kSites = "Sites,";
inline constexpr std::string_view kEntropy = "A priori H,";
inline constexpr std::string_view kMethod = "Method,";
inline constexpr std::string_view kCutOff = "Cut-off,";
}  // namespace summary_label

// Reads the summary figures of a results table as written (empty when
// absent).
ResultsSummary parseResultsSummary(std::istream& in);

}  // namespace xoprex
