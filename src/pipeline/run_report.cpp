#include "pipeline/run_report.h"

#include <algorithm>
#include <cmath>

#include "base/errors.h"
#include "base/number_format.h"
#include "base/version.h"
#include "options/option_table.h"
#include "pipeline/search_settings.h"
#include "report/pictures.h"

namespace xoprex {
namespace {

const char* topologyText(TopologyRule rule) {
    switch (rule) {
        case TopologyRule::Linear:
            return "linear";
        case TopologyRule::Auto:
            return "auto (as each GenBank record says; FASTA records linear)";
        default:
            return "circular";
    }
}

std::vector<std::pair<std::string, std::string>> settingsOf(const SearchInputs& inputs,
                                                            const Options& options) {
    std::vector<std::pair<std::string, std::string>> settings = {
        {"Target", inputs.sequencePath},
        {"Options", describeOptions(options)},
        {"Topology", topologyText(inputs.topology)},
        {"Ambiguous letters", inputs.skipAmbiguous ? "windows holding them skipped" : "scored"},
        {"GenBank records", inputs.rules.allGenBankRecords ? "every record" : "the first"},
    };
    if (inputs.pValue) {
        settings.emplace_back("p-value cut-off", formatGeneralC(*inputs.pValue, 6));
    }
    if (!inputs.backgroundPath.empty()) {
        settings.emplace_back("Background file", inputs.backgroundPath);
    }
    if (inputs.pooledQValues) {
        settings.emplace_back("q-values", "over every collection together");
    }
    settings.emplace_back("Output folder",
                          inputs.outputFolder.empty() ? std::string(".") : inputs.outputFolder);
    return settings;
}

ReportCollection collectionOf(const SearchInputs& inputs, const CollectionSearch& search) {
    ReportCollection c;
    c.title = search.names.title;
    c.motifId = search.matrix ? search.matrix->id : search.names.title;
    c.motifAltId = search.matrix ? search.matrix->name : std::string();
    c.method = methodLabel(search.options.method);
    c.model = search.collection.model;
    for (const SiteHit& site : search.collection.sites) {
        c.selfScores.push_back(site.score);
    }
    const ScoreHistogram fit = scoreHistogram(c.selfScores, 1);
    c.fitMean = fit.mean;
    c.fitDeviation = fit.deviation;
    c.cutOff = search.summary.cutOff;
    c.cutOffPValue = search.summary.pValue;
    c.windows = search.summary.windows;
    c.expected = c.cutOffPValue * c.windows;
    c.passed = search.summary.passed;
    c.found = search.summary.found;
    c.records = search.recordsSearched;
    for (const ResultFormat format : inputs.formats) {
        c.outputs.push_back(resultsPath(search.names.resultsName, format));
    }

    const std::vector<double>& p = search.significance.pValues;
    const std::vector<double>& q = search.significance.qValues;
    size_t k = 0;  // the hit's place among every record's hits
    c.recordsWithHits = search.reportRecords;
    for (ReportRecord& record : c.recordsWithHits) {
        for (ReportHit& hit : record.hits) {
            hit.pValue = k < p.size() ? p[k] : kNoValue;
            hit.qValue = k < q.size() ? q[k] : kNoValue;
            ++k;
        }
    }

    // The top hits: by p-value, ties (and runs without p-values) by score.
    std::vector<const ReportHit*> all;
    for (const ReportRecord& record : c.recordsWithHits) {
        for (const ReportHit& hit : record.hits) {
            all.push_back(&hit);
        }
    }
    const bool lower = lowerIsBetter(search.options.method);
    const auto better = [lower](const ReportHit* a, const ReportHit* b) {
        if (!std::isnan(a->pValue) && !std::isnan(b->pValue) && a->pValue != b->pValue) {
            return a->pValue < b->pValue;
        }
        return lower ? a->score < b->score : a->score > b->score;
    };
    const size_t top = std::min(all.size(), kReportTopHits);
    std::partial_sort(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(top), all.end(),
                      better);
    for (size_t i = 0; i < top; ++i) {
        c.topHits.push_back(*all[i]);
    }
    return c;
}

std::string joined(const std::vector<std::string>& texts) {
    std::string out;
    for (const std::string& text : texts) {
        out += (out.empty() ? "" : ", ") + text;
    }
    return out;
}

// The operons of every collection, the highest posteriors first (those out
// of the model's reach last), at most kReportTopOperons.
ReportTable operonsOf(const std::vector<const RegulonTable*>& tables) {
    ReportTable table;
    if (tables.empty()) {
        return table;
    }
    table.columns = {"posterior", "collection", "record",  "operon",  "strand",
                     "first gene", "locus tags", "genes",  "products", "best window",
                     "start",     "window strand", "p-value", "hits"};
    std::vector<std::pair<const RegulonTable*, const RegulonRow*>> rows;
    for (const RegulonTable* part : tables) {
        for (const RegulonRow& row : part->rows) {
            rows.emplace_back(part, &row);
        }
    }
    const auto higher = [](const auto& a, const auto& b) {
        const double x = a.second->posterior;
        const double y = b.second->posterior;
        return !std::isnan(x) && (std::isnan(y) || x > y);
    };
    const size_t top = std::min(rows.size(), kReportTopOperons);
    std::stable_sort(rows.begin(), rows.end(), higher);
    for (size_t i = 0; i < top; ++i) {
        const RegulonTable& part = *rows[i].first;
        const RegulonRow& row = *rows[i].second;
        const std::string& name =
            part.context.motifId.empty() ? part.context.collectionTitle : part.context.motifId;
        table.rows.push_back(
            {std::isnan(row.posterior) ? "-" : formatGeneralC(row.posterior, 3), name, row.record,
             std::to_string(row.operon), row.forward ? "+" : "-",
             std::to_string(row.firstGeneStart), joined(row.locusTags), joined(row.geneNames),
             joined(row.products), row.hasBest ? row.bestSite : "",
             row.hasBest ? std::to_string(row.bestStart) : "",
             row.hasBest ? (row.bestForward ? "+" : "-") : "",
             std::isnan(row.bestPValue) ? "-" : formatGeneralC(row.bestPValue, 2),
             std::to_string(row.sites)});
    }
    return table;
}

}  // namespace

void keepForReport(CollectionSearch& search, const RecordInfo& info, const SequenceRecord& record,
                   const RecordHits& found) {
    ++search.recordsSearched;
    if (found.hits.empty()) {
        return;
    }
    ReportRecord kept;
    kept.name = info.name;
    kept.length = static_cast<int64_t>(info.length);
    kept.genes = record.genes;
    kept.hits.reserve(found.hits.size());
    for (const SiteHit& hit : found.hits) {
        const SiteSpan span = siteSpan(info, hit);
        kept.hits.push_back({info.name, span.start, span.end, hit.strand, hit.score, kNoValue,
                             kNoValue, hit.site.str()});
    }
    search.reportRecords.push_back(std::move(kept));
}

RunReport runReportOf(const SearchInputs& inputs, const Searches& searches,
                      const std::vector<const RegulonTable*>& regulon) {
    RunReport report;
    report.version = version();
    report.commandLine = inputs.commandLine;
    report.targetPath = inputs.sequencePath;
    // The options as the run was given them (a p-value cut-off then
    // replaced the threshold of each collection); those of the first
    // collection if the options file went away meanwhile.
    Options options = searches.empty() ? Options() : searches.front()->options;
    try {
        OptionsReading reading;
        options = searchOptions(inputs, reading);
    } catch (const InputError&) {
    }
    report.settings = settingsOf(inputs, options);
    for (const auto& search : searches) {
        report.collections.push_back(collectionOf(inputs, *search));
    }
    report.operons = operonsOf(regulon);
    return report;
}

void writeRunReport(const SearchInputs& inputs, const Searches& searches,
                    const std::vector<const RegulonTable*>& regulon) {
    if (inputs.reportPath.empty()) {
        return;
    }
    OutputFile file(inputs.reportPath);
    writeHtmlReport(runReportOf(inputs, searches, regulon), file);
    file.commit();
}

}  // namespace xoprex
