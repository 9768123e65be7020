#include "report/result_formats.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>
#include <vector>

#include "base/number_format.h"
#include "base/version.h"
#include "report/block_writer.h"

namespace xoprex {
namespace {

// Significant digits of scores and means, as in the results table's rows.
constexpr int kDigits = 14;

template <typename Integer>
void appendInteger(std::string& out, Integer value) {
    char digits[24];
    out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

// A text in a TSV field: tabs and line ends become blanks.
void appendField(std::string& out, std::string_view text) {
    for (const char c : text) {
        out += c == '\t' || c == '\n' || c == '\r' ? ' ' : c;
    }
}

// Percent-encodes the bytes GFF3 reserves in a column: control characters,
// '%' and `reserved`.
void appendEscaped(std::string& out, std::string_view text, std::string_view reserved) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '%' || reserved.find(c) != std::string_view::npos) {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += c;
        }
    }
}

// GFF3's first column may hold letters, digits and .:^*$@!+_?-| as they are.
void appendSeqId(std::string& out, std::string_view name) {
    static constexpr std::string_view kPlain = ".:^*$@!+_?-|";
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) != 0 || kPlain.find(c) != std::string_view::npos) {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        }
    }
}

// The k-th byte of the forward strand that the reverse strand keeps.
int64_t keptByte(const RecordInfo& record, int64_t k) {
    const std::vector<uint64_t>& gaps = record.uncomplemented;
    // Bytes left out before the k-th kept one: gaps j with gaps[j] - j <= k.
    size_t low = 0;
    size_t high = gaps.size();
    while (low < high) {
        const size_t middle = (low + high) / 2;
        if (static_cast<int64_t>(gaps[middle]) - static_cast<int64_t>(middle) <= k) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return k + static_cast<int64_t>(low);
}

bool acrossOrigin(const RecordInfo& record, const SiteSpan& span) {
    return span.end > static_cast<int64_t>(record.length);
}

struct Row {
    const RecordInfo& record;
    const SiteHit& hit;
    SiteSpan span;
};

// ---- TSV

void appendComment(std::string& text, std::string_view key, std::string_view value) {
    text += "\n# ";
    text += key;
    text += ": ";
    appendField(text, value);
}

void writeTsvHeader(BlockWriter& writer, const ResultContext& context, const Options& options,
                    const std::vector<RecordResults>& results) {
    size_t windows = 0;
    for (const RecordResults& record : results) {
        windows += record.hits.windowsScored;
    }
    std::string& text = writer.text();
    text += "# xoprex ";
    text += version();
    appendComment(text, tsv_comment::kCommand, context.commandLine);
    appendComment(text, tsv_comment::kTarget, context.targetPath);
    appendComment(text, tsv_comment::kCollection, context.collectionPath);
    appendComment(text, tsv_comment::kCollectionTitle, context.collectionTitle);
    appendComment(text, tsv_comment::kMethod, "");
    appendInteger(text, options.method);
    text += " (";
    text += methodLabel(options.method);
    text += ")";
    appendComment(text, tsv_comment::kCutOff, "");
    appendGeneralC(text, options.cutOff, kDigits);
    if (context.pValue) {
        text += " (p-value ";
        appendGeneralC(text, *context.pValue, 6);
        text += ")";
    } else {
        text += options.literalCutOff ? " (literal)" : " (computed)";
    }
    appendComment(text, tsv_comment::kWindows, "");
    appendInteger(text, windows);
    text += '\n';
    text += tsvHeaderLine();
    writer.lineDone();
}

// A p-value or q-value with six significant digits; empty without them.
void appendProbability(std::string& text, const std::vector<double>& values, size_t index) {
    if (!values.empty()) {
        appendGeneralC(text, values[index], 6);
    }
}

// Whether the hit was related to a gene (its record has a gene table).
bool annotated(const SiteHit& hit) {
    return hit.siteClass != SiteClass::Unknown;
}

void writeTsvRow(std::string& text, const Row& row, const ResultContext& context, size_t index) {
    const SiteHit& hit = row.hit;
    const HitGene::Fields& gene = hit.gene.fields();
    appendField(text, context.motifId);
    text += '\t';
    appendField(text, context.motifAltId);
    text += '\t';
    appendField(text, row.record.name);
    text += '\t';
    appendInteger(text, row.span.start);
    text += '\t';
    appendInteger(text, row.span.end);
    text += hit.strand ? "\t+\t" : "\t-\t";
    appendGeneralC(text, hit.score, kDigits);
    text += '\t';
    appendProbability(text, context.significance.pValues, index);
    text += '\t';
    appendProbability(text, context.significance.qValues, index);
    text += '\t';
    appendField(text, hit.site.view());
    text += '\t';
    // Records without genes (FASTA) leave the gene's fields empty.
    if (annotated(hit)) {
        appendInteger(text, hit.distance);
        text += '\t';
        text += hit.type();
        text += gene.sense ? "\t+\t" : "\t-\t";
        appendInteger(text, gene.start);
        text += '\t';
        appendInteger(text, gene.end);
        text += '\t';
        appendField(text, gene.tag);
        text += '\t';
        appendField(text, gene.name);
        text += '\t';
        appendField(text, gene.product);
        text += '\t';
    } else {
        text += "\t\t\t\t\t\t\t\t";
    }
    appendGeneralC(text, hit.localMean, kDigits);
    text += '\t';
    appendGeneralC(text, hit.upMean, kDigits);
    text += '\t';
    appendGeneralC(text, hit.downMean, kDigits);
    text += '\n';
}

// ---- BED

// 0 at the cut-off, 1000 at the best possible score, linear in between.
int bedScore(double score, double cutOff, double best) {
    const double range = best - cutOff;
    if (!(std::fabs(range) > 0.0) || !std::isfinite(range)) {
        return 1000;
    }
    const double scaled = std::round(1000.0 * (score - cutOff) / range);
    return static_cast<int>(std::clamp(std::isnan(scaled) ? 0.0 : scaled, 0.0, 1000.0));
}

void writeBedLine(std::string& text, const Row& row, std::string_view name, int64_t begin,
                  int64_t end, std::string_view suffix, int score) {
    appendField(text, row.record.name);
    text += '\t';
    appendInteger(text, begin);
    text += '\t';
    appendInteger(text, end);
    text += '\t';
    appendField(text, name);
    text += suffix;
    text += '\t';
    appendInteger(text, score);
    text += row.hit.strand ? "\t+\n" : "\t-\n";
}

// The line's name is the motif's ID; a site across the origin becomes
// NAME/1 and NAME/2.
void writeBedRow(std::string& text, const Row& row, std::string_view name, int score) {
    const auto length = static_cast<int64_t>(row.record.length);
    if (!acrossOrigin(row.record, row.span)) {
        writeBedLine(text, row, name, row.span.start - 1, row.span.end, "", score);
        return;
    }
    writeBedLine(text, row, name, row.span.start - 1, length, "/1", score);
    writeBedLine(text, row, name, 0, row.span.end - length, "/2", score);
}

// ---- GFF3

constexpr std::string_view kAttributeReserved = ";=&,\t";

void writeGffHeader(BlockWriter& writer, const std::vector<RecordResults>& results) {
    std::string& text = writer.text();
    text += "##gff-version 3\n";
    for (const RecordResults& result : results) {
        const RecordInfo& record = *result.record;
        text += "##sequence-region ";
        appendSeqId(text, record.name);
        text += " 1 ";
        appendInteger(text, record.length);
        text += '\n';
        writer.lineDone();
    }
    // Records whose sites run over their origin are marked circular.
    for (const RecordResults& result : results) {
        const RecordInfo& record = *result.record;
        const bool circular = std::any_of(
            result.hits.hits.begin(), result.hits.hits.end(),
            [&record](const SiteHit& hit) { return acrossOrigin(record, siteSpan(record, hit)); });
        if (!circular) {
            continue;
        }
        appendSeqId(text, record.name);
        text += "\txoprex\tregion\t1\t";
        appendInteger(text, record.length);
        text += "\t.\t+\t.\tID=";
        appendEscaped(text, record.name, kAttributeReserved);
        text += ";Is_circular=true\n";
        writer.lineDone();
    }
}

// "KEY=" of a feature's attributes, after a ';' unless it is the first.
void appendAttributeKey(std::string& text, std::string_view key, bool first = false) {
    if (!first) {
        text += ';';
    }
    text += key;
    text += '=';
}

void writeGffRow(std::string& text, const Row& row, size_t number, const ResultContext& context,
                 const Significance& significance) {
    const SiteHit& hit = row.hit;
    appendSeqId(text, row.record.name);
    text += "\txoprex\tTF_binding_site\t";
    appendInteger(text, row.span.start);
    text += '\t';
    appendInteger(text, row.span.end);
    text += '\t';
    appendGeneralC(text, hit.score, kDigits);
    text += hit.strand ? "\t+\t.\t" : "\t-\t.\t";
    appendAttributeKey(text, gff3_attribute::kId, true);
    text += "site";
    appendInteger(text, number);
    appendAttributeKey(text, gff3_attribute::kName);
    appendEscaped(text, context.collectionTitle, kAttributeReserved);
    appendAttributeKey(text, gff3_attribute::kMotifId);
    appendEscaped(text, context.motifId, kAttributeReserved);
    if (!context.motifAltId.empty()) {
        appendAttributeKey(text, gff3_attribute::kMotifAltId);
        appendEscaped(text, context.motifAltId, kAttributeReserved);
    }
    appendAttributeKey(text, gff3_attribute::kSite);
    appendEscaped(text, hit.site.view(), kAttributeReserved);
    if (!significance.pValues.empty()) {
        appendAttributeKey(text, gff3_attribute::kPValue);
        appendGeneralC(text, significance.pValues[number - 1], 6);
        appendAttributeKey(text, gff3_attribute::kQValue);
        appendGeneralC(text, significance.qValues[number - 1], 6);
    }
    if (annotated(hit)) {
        const HitGene::Fields& gene = hit.gene.fields();
        appendAttributeKey(text, gff3_attribute::kType);
        text += hit.type();
        appendAttributeKey(text, gff3_attribute::kDistance);
        appendInteger(text, hit.distance);
        if (!gene.name.empty()) {
            appendAttributeKey(text, gff3_attribute::kGene);
            appendEscaped(text, gene.name, kAttributeReserved);
        }
        if (!gene.tag.empty()) {
            appendAttributeKey(text, gff3_attribute::kLocusTag);
            appendEscaped(text, gene.tag, kAttributeReserved);
        }
    }
    text += '\n';
}

}  // namespace

PValues pValuesOf(const std::vector<RecordResults>& results,
                  const std::vector<const ScoreDistribution*>& distributions) {
    PValues p;
    if (distributions.size() != results.size()) {
        return p;
    }
    for (size_t r = 0; r < results.size(); ++r) {
        const RecordHits& record = results[r].hits;
        p.windows += static_cast<double>(record.windowsScored);
        for (size_t h = 0; h < record.hits.size(); ++h) {
            p.hits.push_back(distributions[r]->pValue(record.windowScore(h)));
        }
        for (const double score : record.droppedScores) {
            p.dropped.push_back(distributions[r]->pValue(score));
        }
    }
    return p;
}

std::vector<std::vector<double>> qValuesOf(const std::vector<const PValues*>& sets) {
    // Every passing window, ranked by p-value (ties in order: the sets in
    // turn, each's hits before its dropped windows), then the running
    // minimum from the largest rank down.
    std::vector<double> p;
    double windows = 0.0;
    for (const PValues* set : sets) {
        p.insert(p.end(), set->hits.begin(), set->hits.end());
        p.insert(p.end(), set->dropped.begin(), set->dropped.end());
        windows += set->windows;
    }
    std::vector<uint32_t> rank(p.size());
    for (size_t i = 0; i < rank.size(); ++i) {
        rank[i] = static_cast<uint32_t>(i);
    }
    std::stable_sort(rank.begin(), rank.end(), [&p](uint32_t a, uint32_t b) {
        return p[a] < p[b] || (!std::isnan(p[a]) && std::isnan(p[b]));
    });
    std::vector<double> q(p.size(), 1.0);
    double running = 1.0;
    for (size_t k = rank.size(); k-- > 0;) {
        const double value = p[rank[k]] * windows / static_cast<double>(k + 1);
        running = std::min(running, std::isnan(value) ? 1.0 : value);
        q[rank[k]] = running;
    }
    std::vector<std::vector<double>> hits;
    size_t at = 0;
    for (const PValues* set : sets) {
        hits.emplace_back(q.begin() + static_cast<std::ptrdiff_t>(at),
                          q.begin() + static_cast<std::ptrdiff_t>(at + set->hits.size()));
        at += set->hits.size() + set->dropped.size();
    }
    return hits;
}

Significance significanceOf(const std::vector<RecordResults>& results,
                            const std::vector<const ScoreDistribution*>& distributions) {
    Significance significance;
    if (distributions.size() != results.size()) {
        return significance;
    }
    PValues p = pValuesOf(results, distributions);
    significance.qValues = std::move(qValuesOf({&p}).front());
    significance.pValues = std::move(p.hits);
    return significance;
}

SiteSpan siteSpan(const RecordInfo& record, const SiteHit& hit) {
    const auto n = static_cast<int64_t>(record.length);
    const int64_t length = hit.siteLength;
    if (n == 0) {
        return {};
    }
    if (hit.strand) {
        // Window i of the forward strand: bytes i .. i + L - 1.
        const int64_t start = hit.position;
        return {start + 1, start + length};
    }
    // Window i of the reverse strand (position M - i, M its length) reads
    // kept bytes M - 1 - i down to M - L - i of the forward strand.
    const int64_t kept = n - static_cast<int64_t>(record.uncomplemented.size());
    const int64_t i = kept - hit.position;
    const auto wrapped = [kept](int64_t k) { return ((k % kept) + kept) % kept; };
    const int64_t first = keptByte(record, wrapped(kept - length - i));
    const int64_t last = keptByte(record, wrapped(kept - 1 - i));
    return {first + 1, last + 1 + (last < first ? n : 0)};
}

void writeResults(ResultFormat format, const ResultContext& context, const Options& options,
                  const std::vector<RecordResults>& results, TextSink& out) {
    BlockWriter writer(out);
    if (format == ResultFormat::Tsv) {
        writeTsvHeader(writer, context, options, results);
    } else if (format == ResultFormat::Gff3) {
        writeGffHeader(writer, results);
    }
    const bool lower = lowerIsBetter(options.method);
    const double cutOff = lower ? -options.cutOff : options.cutOff;
    const double best = lower ? -context.bestScore : context.bestScore;
    const Significance& significance = context.significance;
    size_t number = 0;
    for (const RecordResults& result : results) {
        const RecordInfo& record = *result.record;
        for (const SiteHit& hit : result.hits.hits) {
            const Row row{record, hit, siteSpan(record, hit)};
            std::string& text = writer.text();
            switch (format) {
                case ResultFormat::Tsv:
                    writeTsvRow(text, row, context, number++);
                    break;
                case ResultFormat::Bed:
                    writeBedRow(text, row, context.motifId,
                                bedScore(lower ? -hit.score : hit.score, cutOff, best));
                    break;
                case ResultFormat::Gff3:
                    writeGffRow(text, row, ++number, context, significance);
                    break;
                case ResultFormat::Csv:
                    break;
            }
            writer.lineDone();
        }
    }
    writer.finish();
}

}  // namespace xoprex
