#include "report/result_schema.h"

#include <charconv>
#include <utility>

#include "base/number_format.h"
#include "base/text_lines.h"

namespace xoprex {

const char* formatExtension(ResultFormat format) {
    switch (format) {
        case ResultFormat::Tsv:
            return "tsv";
        case ResultFormat::Bed:
            return "bed";
        case ResultFormat::Gff3:
            return "gff3";
        case ResultFormat::Csv:
            break;
    }
    return "csv";
}

bool formatNamed(const std::string& name, ResultFormat& format) {
    for (const ResultFormat candidate :
         {ResultFormat::Csv, ResultFormat::Tsv, ResultFormat::Bed, ResultFormat::Gff3}) {
        if (name == formatExtension(candidate)) {
            format = candidate;
            return true;
        }
    }
    return false;
}

std::string resultsFileName(const Options& options, const OutputNaming& naming) {
    // The threshold is a single-precision value in the options file's reader.
    const double threshold = static_cast<double>(static_cast<float>(options.threshold));
    return naming.reportPrefix() + "_" + methodLabel(options.method) + "_" +
           formatFixed(threshold, 3) + ".csv";
}

std::string resultsFileName(const Options& options, double pValue, const OutputNaming& naming) {
    char digits[32];
    const std::string text(digits, std::to_chars(digits, digits + sizeof digits, pValue).ptr);
    return naming.reportPrefix() + "_" + methodLabel(options.method) + "_p" + text + ".csv";
}

std::string resultsPath(const std::string& resultsTableName, ResultFormat format) {
    const std::string_view csv = ".csv";
    const bool table =
        resultsTableName.size() >= csv.size() &&
        resultsTableName.compare(resultsTableName.size() - csv.size(), csv.size(), csv) == 0;
    const std::string stem =
        table ? resultsTableName.substr(0, resultsTableName.size() - csv.size()) : resultsTableName;
    return stem + "." + formatExtension(format);
}

std::string runLogName(const std::string& runBaseName) {
    return runBaseName + ".log";
}
std::string sequenceLogName(const std::string& runBaseName) {
    return runBaseName + "_seq_log.txt";
}
std::string geneLogName(const std::string& runBaseName) {
    return runBaseName + "_gene_log.csv";
}
std::string frequencyTableName(const std::string& reportPrefix) {
    return reportPrefix + "_freq_table.csv";
}
std::string siteCollectionLogName(const std::string& reportPrefix) {
    return reportPrefix + "_site_collection_log.txt";
}
std::string motifScoreLogName(const std::string& reportPrefix) {
    return reportPrefix + "__motif_score_log.csv";
}

std::string regulonTableName(const std::string& reportPrefix) {
    return reportPrefix + "_regulon.tsv";
}

std::vector<std::string> collectionOutputNames(const std::string& resultsTableName,
                                               const std::vector<ResultFormat>& formats,
                                               const std::string& reportPrefix, bool logResults) {
    std::vector<std::string> names;
    for (const ResultFormat format : formats) {
        names.push_back(resultsPath(resultsTableName, format));
    }
    if (logResults) {
        names.push_back(frequencyTableName(reportPrefix));
        names.push_back(siteCollectionLogName(reportPrefix));
        names.push_back(motifScoreLogName(reportPrefix));
    }
    return names;
}

std::vector<std::string> sharedOutputNames(const std::string& runBaseName, bool logResults) {
    std::vector<std::string> names = {runLogName(runBaseName)};
    if (logResults) {
        names.push_back(sequenceLogName(runBaseName));
        names.push_back(geneLogName(runBaseName));
    }
    return names;
}

const std::array<std::string_view, kTsvColumnCount>& tsvColumnNames() {
    static constexpr std::array<std::string_view, kTsvColumnCount> kNames = {
        "motif_id", "motif_alt_id", "record", "start",    "end",        "strand",      "score",
        "p_value",  "q_value",      "site",   "distance", "type",       "gene_strand", "gene_start",
        "gene_end", "gene_tag",     "gene",   "product",  "local_mean", "up_mean",     "dw_mean"};
    static_assert(kNames.back() == "dw_mean", "a name for every column");
    return kNames;
}

std::string_view tsvColumnName(TsvColumn column) {
    return tsvColumnNames()[static_cast<size_t>(column)];
}

std::string tsvHeaderLine() {
    std::string line;
    for (const std::string_view name : tsvColumnNames()) {
        if (!line.empty()) {
            line += '\t';
        }
        line += name;
    }
    line += '\n';
    return line;
}

const std::array<std::string_view, kRegulonColumnCount>& regulonColumnNames() {
    static constexpr std::array<std::string_view, kRegulonColumnCount> kNames = {
        "motif_id",         "motif_alt_id", "operon",      "record",     "strand",
        "first_gene_start", "locus_tags",   "genes",       "products",   "windows",
        "best_start",       "best_end",     "best_strand", "best_score", "best_p_value",
        "best_site",        "sites",        "log10_bf",    "posterior"};
    static_assert(kNames.back() == "posterior", "a name for every column");
    return kNames;
}

std::string_view regulonColumnName(RegulonColumn column) {
    return regulonColumnNames()[static_cast<size_t>(column)];
}

std::array<int, kTsvColumnCount> tsvColumnPlaces(std::string_view header) {
    std::array<int, kTsvColumnCount> places;
    places.fill(kAbsentColumn);
    int index = 0;
    for (size_t begin = 0;; ++index) {
        const size_t tab = header.find('\t', begin);
        const std::string_view title = header.substr(
            begin, tab == std::string_view::npos ? std::string_view::npos : tab - begin);
        for (size_t column = 0; column < kTsvColumnCount; ++column) {
            if (title == tsvColumnNames()[column] && places[column] == kAbsentColumn) {
                places[column] = index;
            }
        }
        if (tab == std::string_view::npos) {
            return places;
        }
        begin = tab + 1;
    }
}

std::string tsvCommentValue(const std::vector<std::string>& comments, std::string_view key) {
    for (const std::string& line : comments) {
        const std::string_view text(line);
        if (text.size() >= key.size() + 4 && text.substr(0, 2) == "# " &&
            text.substr(2, key.size()) == key && text.substr(2 + key.size(), 2) == ": ") {
            return std::string(text.substr(key.size() + 4));
        }
    }
    return {};
}

ResultsSummary parseResultsSummary(std::istream& in) {
    ResultsSummary summary;
    const std::pair<std::string_view, std::string ResultsSummary::*> labels[] = {
        {summary_label::kSequences, &ResultsSummary::sequences},
        {summary_label::kSites, &ResultsSummary::sites},
        {summary_label::kEntropy, &ResultsSummary::entropy},
        {summary_label::kMethod, &ResultsSummary::method},
        {summary_label::kCutOff, &ResultsSummary::cutOff}};
    std::string line;
    while (readTextLine(in, line)) {
        for (const auto& [label, field] : labels) {
            if (line.size() >= label.size() && line.compare(0, label.size(), label) == 0) {
                summary.*field = line.substr(label.size());
            }
        }
    }
    return summary;
}

}  // namespace xoprex
