#include "report/result_formats.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "base/errors.h"
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

// Marks in a spooled row where a value is filled in when the rows are
// written out (no text field holds them: control characters become blanks).
constexpr char kPValueMark = '\x01';     // a TSV row's p-value
constexpr char kQValueMark = '\x02';     // a TSV row's q-value
constexpr char kFeatureMark = '\x03';    // a GFF3 feature's number
constexpr char kGffValuesMark = '\x04';  // a GFF3 feature's p_value and q_value attributes

// A text in a TSV field: tabs, line ends and other control characters
// become blanks.
void appendField(std::string& out, std::string_view text) {
    for (const char c : text) {
        out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
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

// The comment lines of one collection's results: the run's (version,
// command, target) with the first, then the collection's own.
void appendTsvComments(std::string& text, const ResultContext& context, const Options& options,
                       double windows, bool first) {
    if (first) {
        text += "# xoprex ";
        text += version();
        appendComment(text, tsv_comment::kCommand, context.commandLine);
        appendComment(text, tsv_comment::kTarget, context.targetPath);
    }
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
    appendInteger(text, static_cast<uint64_t>(windows));
}

// Whether the hit was related to a gene (its record has a gene table).
bool annotated(const SiteHit& hit) {
    return hit.siteClass != SiteClass::Unknown;
}

// A row with the marks of its p-value and q-value.
void writeTsvRow(std::string& text, const Row& row, const ResultContext& context) {
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
    text += kPValueMark;
    text += '\t';
    text += kQValueMark;
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

// A record's "##sequence-region" line.
void appendSequenceRegion(std::string& text, const RecordInfo& record) {
    text += "##sequence-region ";
    appendSeqId(text, record.name);
    text += " 1 ";
    appendInteger(text, record.length);
    text += '\n';
}

// The region feature marking a record circular (one of its sites runs over
// its origin).
void appendCircularRegion(std::string& text, std::string_view name, uint64_t length) {
    appendSeqId(text, name);
    text += "\txoprex\tregion\t1\t";
    appendInteger(text, length);
    text += "\t.\t+\t.\tID=";
    appendEscaped(text, name, kAttributeReserved);
    text += ";Is_circular=true\n";
}

// "KEY=" of a feature's attributes, after a ';' unless it is the first.
void appendAttributeKey(std::string& text, std::string_view key, bool first = false) {
    if (!first) {
        text += ';';
    }
    text += key;
    text += '=';
}

// A feature with the marks of its number and its p-value and q-value.
void writeGffRow(std::string& text, const Row& row, const ResultContext& context) {
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
    text += kFeatureMark;
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
    text += kGffValuesMark;
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

// Appends `value` with six significant digits.
void appendProbability(std::string& text, double value) {
    appendGeneralC(text, value, 6);
}

}  // namespace

// ---- spools

// Text appended in order, held in memory up to a limit and in a temporary
// file beyond it (removed when the spool goes, whatever happens).
class ResultRows::Spool {
  public:
    explicit Spool(size_t memoryLimit) : limit_(memoryLimit) {}
    ~Spool() {
        if (file_ != nullptr) {
            std::fclose(file_);
        }
    }
    Spool(const Spool&) = delete;
    Spool& operator=(const Spool&) = delete;

    std::string& text() { return memory_; }
    bool empty() const { return memory_.empty() && fileBytes_ == 0; }
    // Moves the text held to the file once it passes the limit.
    void lineDone() {
        if (memory_.size() >= limit_) {
            spill();
        }
    }
    // Calls take(chunk) for the whole text in order.
    template <class Take>
    void read(Take&& take) {
        if (file_ != nullptr && fileBytes_ > 0) {
            std::rewind(file_);
            std::string chunk(size_t{1} << 20, '\0');
            size_t left = fileBytes_;
            while (left > 0) {
                const size_t got = std::fread(chunk.data(), 1, std::min(left, chunk.size()), file_);
                if (got == 0) {
                    throw OutputError("", std::string("Cannot read back a temporary file: ") +
                                              std::strerror(errno));
                }
                take(std::string_view(chunk.data(), got));
                left -= got;
            }
            std::fseek(file_, 0, SEEK_END);
        }
        take(std::string_view(memory_));
    }

  private:
    void spill() {
        if (file_ == nullptr) {
            file_ = std::tmpfile();
            if (file_ == nullptr) {
                throw OutputError(
                    "", std::string("Cannot create a temporary file: ") + std::strerror(errno));
            }
        }
        if (std::fwrite(memory_.data(), 1, memory_.size(), file_) != memory_.size()) {
            throw OutputError(
                "", std::string("Cannot write a temporary file: ") + std::strerror(errno));
        }
        fileBytes_ += memory_.size();
        memory_.clear();
    }

    size_t limit_;
    std::string memory_;
    std::FILE* file_ = nullptr;
    size_t fileBytes_ = 0;
};

ResultRows::ResultRows(const std::vector<ResultFormat>& formats, ResultContext context,
                       const Options& options, size_t maxStoredTests, size_t spoolMemory)
    : context_(std::move(context)), options_(options), maxStoredTests_(maxStoredTests) {
    for (const ResultFormat format : formats) {
        if (format != ResultFormat::Csv && !spools_.contains(format)) {
            spools_.emplace(format, std::make_unique<Spool>(spoolMemory));
        }
    }
    if (spools_.contains(ResultFormat::Gff3)) {
        regions_ = std::make_unique<Spool>(spoolMemory);
    }
}

ResultRows::~ResultRows() = default;

void ResultRows::add(const RecordInfo& record, const RecordHits& found,
                     const std::function<double(double)>& pValueNow) {
    windows_ += static_cast<double>(found.windowsScored);
    if (regions_ != nullptr) {
        appendSequenceRegion(regions_->text(), record);
        regions_->lineDone();
    }
    const bool store = !overflowed_ && hitScores_.size() + droppedScores_.size() +
                                               found.hits.size() + found.droppedScores.size() <=
                                           maxStoredTests_;
    if (!store && !overflowed_) {
        overflowed_ = true;
        std::vector<double>().swap(droppedScores_);
    }
    const bool lower = lowerIsBetter(options_.method);
    const double cutOff = lower ? -options_.cutOff : options_.cutOff;
    const double best = lower ? -context_.bestScore : context_.bestScore;
    bool crossing = false;
    for (size_t h = 0; h < found.hits.size(); ++h) {
        const SiteHit& hit = found.hits[h];
        const Row row{record, hit, siteSpan(record, hit)};
        crossing = crossing || acrossOrigin(record, row.span);
        // Stored, a hit's p-value is filled in at the end; beyond the limit
        // it is written now, and its q-value left empty.
        const double score = found.windowScore(h);
        std::string pText;
        if (store) {
            hitScores_.push_back(score);
        } else if (pValueNow) {
            const double p = pValueNow(score);
            if (!std::isnan(p)) {
                appendProbability(pText, p);
            }
        }
        for (auto& [format, spool] : spools_) {
            std::string& text = spool->text();
            const size_t at = text.size();
            switch (format) {
                case ResultFormat::Tsv:
                    writeTsvRow(text, row, context_);
                    break;
                case ResultFormat::Bed:
                    writeBedRow(text, row, context_.motifId,
                                bedScore(lower ? -hit.score : hit.score, cutOff, best));
                    break;
                case ResultFormat::Gff3:
                    writeGffRow(text, row, context_);
                    break;
                case ResultFormat::Csv:
                    break;
            }
            if (!store) {
                fillNow(text, at, pText);
            }
            spool->lineDone();
        }
    }
    if (store) {
        droppedScores_.insert(droppedScores_.end(), found.droppedScores.begin(),
                              found.droppedScores.end());
    }
    if (crossing) {
        circular_.emplace_back(record.number, record.name, record.length);
    }
}

// A row made beyond the limit: its p-value written in place, no q-value.
void ResultRows::fillNow(std::string& text, size_t from, const std::string& pText) {
    std::string done;
    for (size_t k = from; k < text.size(); ++k) {
        const char c = text[k];
        if (c == kPValueMark) {
            done += pText;
        } else if (c == kGffValuesMark) {
            if (!pText.empty()) {
                appendAttributeKey(done, gff3_attribute::kPValue);
                done += pText;
            }
        } else if (c != kQValueMark) {
            done += c;
        }
    }
    text.replace(from, std::string::npos, done);
}

PValues ResultRows::pValues(const std::function<double(double)>& pValue) const {
    PValues p;
    p.windows = windows_;
    if (!pValue) {
        return p;
    }
    p.hits.reserve(hitScores_.size());
    for (const double score : hitScores_) {
        p.hits.push_back(pValue(score));
    }
    p.dropped.reserve(droppedScores_.size());
    for (const double score : droppedScores_) {
        p.dropped.push_back(pValue(score));
    }
    return p;
}

void ResultRows::release() {
    std::vector<double>().swap(hitScores_);
    std::vector<double>().swap(droppedScores_);
}

void writeTable(ResultFormat format, const std::vector<ResultRows*>& sets,
                const std::vector<Significance>& significance, TextSink& out) {
    BlockWriter writer(out);
    std::string& text = writer.text();
    if (format == ResultFormat::Tsv) {
        for (size_t k = 0; k < sets.size(); ++k) {
            appendTsvComments(text, sets[k]->context_, sets[k]->options_, sets[k]->windows_,
                              k == 0);
        }
        if (!sets.empty()) {
            text += '\n';
        }
        text += tsvHeaderLine();
        writer.lineDone();
    } else if (format == ResultFormat::Gff3) {
        text += "##gff-version 3\n";
        if (!sets.empty() && sets.front()->regions_ != nullptr) {
            // The records are those of every set: their regions once.
            sets.front()->regions_->read([&](std::string_view chunk) {
                writer.text() += chunk;
                writer.lineDone();
            });
        }
        // Records whose sites run over their origin, in any set, are marked
        // circular, once each, in record order.
        std::vector<ResultRows::CircularRecord> circular;
        for (const ResultRows* set : sets) {
            circular.insert(circular.end(), set->circular_.begin(), set->circular_.end());
        }
        std::stable_sort(circular.begin(), circular.end(),
                         [](const auto& a, const auto& b) { return a.number < b.number; });
        for (size_t k = 0; k < circular.size(); ++k) {
            if (k == 0 || circular[k].number != circular[k - 1].number) {
                appendCircularRegion(writer.text(), circular[k].name, circular[k].length);
                writer.lineDone();
            }
        }
    }
    size_t feature = 0;
    for (size_t k = 0; k < sets.size(); ++k) {
        const auto found = sets[k]->spools_.find(format);
        if (found == sets[k]->spools_.end()) {
            continue;
        }
        const std::vector<double> none;
        const std::vector<double>& p = k < significance.size() ? significance[k].pValues : none;
        const std::vector<double>& q = k < significance.size() ? significance[k].qValues : none;
        size_t nextP = 0, nextQ = 0;
        found->second->read([&](std::string_view chunk) {
            size_t from = 0;
            for (size_t at = 0; at < chunk.size(); ++at) {
                const char c = chunk[at];
                if (static_cast<unsigned char>(c) > kGffValuesMark || c == '\0') {
                    continue;
                }
                std::string& into = writer.text();
                into.append(chunk.substr(from, at - from));
                from = at + 1;
                if (c == kPValueMark) {
                    if (nextP < p.size()) {
                        appendProbability(into, p[nextP]);
                    }
                    ++nextP;
                } else if (c == kQValueMark) {
                    if (nextQ < q.size()) {
                        appendProbability(into, q[nextQ]);
                    }
                    ++nextQ;
                } else if (c == kFeatureMark) {
                    appendInteger(into, ++feature);
                } else if (c == kGffValuesMark) {
                    if (nextP < p.size()) {
                        appendAttributeKey(into, gff3_attribute::kPValue);
                        appendProbability(into, p[nextP]);
                    }
                    if (nextQ < q.size()) {
                        appendAttributeKey(into, gff3_attribute::kQValue);
                        appendProbability(into, q[nextQ]);
                    }
                    ++nextP;
                    ++nextQ;
                }
                writer.lineDone();
            }
            writer.text().append(chunk.substr(from));
            writer.lineDone();
        });
    }
    writer.finish();
}

void writeResults(ResultFormat format, const ResultContext& context, const Options& options,
                  const std::vector<RecordResults>& results, TextSink& out) {
    ResultRows rows({format}, context, options, SIZE_MAX);
    for (const RecordResults& result : results) {
        rows.add(*result.record, result.hits, {});
    }
    writeTable(format, {&rows}, {context.significance}, out);
}

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

}  // namespace xoprex
