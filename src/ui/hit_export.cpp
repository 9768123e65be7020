#include "ui/hit_export.h"

#include <memory>
#include <unordered_map>

#include "base/errors.h"
#include "motif/scoring.h"

namespace xoprex::ui {
namespace {

SiteClass classNamed(std::string_view text) {
    for (const SiteClass type :
         {SiteClass::Operator, SiteClass::Intragenic, SiteClass::Intergenic}) {
        if (text == siteClassText(type)) {
            return type;
        }
    }
    return SiteClass::Unknown;
}

// The hit of a row, placed so that siteSpan gives the row's coordinates
// back on a record of `length` bases.
SiteHit hitOfRow(const HitRow& row, int64_t length) {
    const std::string_view site = row.text(row.site);
    SiteHit hit(static_cast<int32_t>(site.size()));
    hit.site = site;
    hit.score = row.score;
    hit.strand = row.forward;
    hit.distance = static_cast<int32_t>(row.distance);
    hit.siteClass = classNamed(row.text(row.type));
    HitGene::Fields gene;
    gene.tag = row.text(row.geneTag);
    gene.name = row.text(row.gene);
    gene.product = row.text(row.product);
    hit.gene = HitGene(std::move(gene));
    // Forward: the 0-based start. Reverse: window i = length - position
    // ends at the site's first base (see siteSpan).
    int64_t position = row.start - 1;
    if (!row.forward) {
        position += hit.siteLength;
        if (position > length) {
            position -= length;
        }
    }
    hit.position = position;
    return hit;
}

void writeTsvRows(const HitTable& table, const std::vector<int>& rows, TextSink& out) {
    std::string text;
    for (const std::string& comment : table.comments) {
        text += comment;
        text += '\n';
    }
    text += table.header;
    text += '\n';
    for (const int row : rows) {
        text += table.rows[static_cast<std::size_t>(row)].line;
        text += '\n';
    }
    out.write(text);
}

}  // namespace

void writeHitRows(ResultFormat format, const HitTable& table, const std::vector<int>& rows,
                  const RunPictures* pictures, const std::string& collectionTitle, TextSink& out) {
    if (format == ResultFormat::Tsv || format == ResultFormat::Csv) {
        writeTsvRows(table, rows, out);
        return;
    }
    if (pictures == nullptr) {
        throw InputError(InputProblem::Unreadable, "",
                         "The run's inputs are needed to write BED or GFF3");
    }
    // One record per record of the target that has chosen rows, in the
    // target's order; the rows keep their order within it.
    std::unordered_map<std::string, std::size_t> layoutIndex;
    for (std::size_t i = 0; i < pictures->records.size(); ++i) {
        layoutIndex.emplace(pictures->records[i].name, i);
    }
    std::vector<std::vector<int>> byRecord(pictures->records.size());
    for (const int row : rows) {
        const HitRow& hit = table.rows[static_cast<std::size_t>(row)];
        const auto found = layoutIndex.find(table.records[static_cast<std::size_t>(hit.record)]);
        if (found != layoutIndex.end()) {
            byRecord[found->second].push_back(row);
        }
    }
    std::vector<RecordResults> results;
    for (std::size_t i = 0; i < byRecord.size(); ++i) {
        if (byRecord[i].empty()) {
            continue;
        }
        const RecordLayout& layout = pictures->records[i];
        auto record = std::make_shared<RecordInfo>();
        record->format = layout.format;
        record->name = layout.name;
        record->length = static_cast<std::size_t>(layout.length);
        RecordHits hits;
        for (const int row : byRecord[i]) {
            hits.hits.push_back(hitOfRow(table.rows[static_cast<std::size_t>(row)], layout.length));
        }
        results.push_back({std::move(record), std::move(hits)});
    }
    ResultContext context;
    context.collectionTitle = collectionTitle;
    context.motifId = collectionTitle;
    context.bestScore =
        bestWindowScore(pictures->options.method, pictures->collection, pictures->background);
    writeResults(format, context, pictures->options, results, out);
}

}  // namespace xoprex::ui
