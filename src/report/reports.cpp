#include "report/reports.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "base/number_format.h"
#include "report/block_writer.h"
#include "report/row_chunks.h"

namespace xoprex {
namespace {

// Significant digits of the results table: the opening format, and the one in
// force from the first hit row on.
constexpr int kOpeningDigits = 6;
constexpr int kRowDigits = 14;

constexpr std::string_view kGeneLogHeader = "Begin,End,Sense,Locus,Product,Gene\n";
constexpr std::string_view kGeneLogClosing = ";;;;,\n";
constexpr size_t kSequenceLogWidth = 70;

template <typename Integer>
void appendInteger(std::string& out, Integer value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

// Coordinates are printed as unsigned 32-bit values: a negative one shows as
// its unsigned counterpart.
void appendUnsigned(std::string& out, int64_t value) {
    appendInteger(out, static_cast<uint32_t>(value));
}

void appendFlag(std::string& out, bool value) {
    out += value ? '1' : '0';
}

// Pieces of a results row written straight into its room (writeHitRow).
constexpr size_t kIntegerRoom = 11;  // a 32-bit integer with its sign
// Room of a row beyond its five texts: four reals, four integers, two flags
// and fifteen separators.
constexpr size_t kRowFixedRoom = 4 * kGeneralMaxLength + 4 * kIntegerRoom + 2 + 15;

char flagDigit(bool value) {
    return value ? '1' : '0';
}

char* writeText(char* at, std::string_view text) {
    std::copy(text.begin(), text.end(), at);
    return at + text.size();
}

// A gene's text in a comma-separated line: its commas become full stops.
char* writeGeneText(char* at, std::string_view text) {
    return std::replace_copy(text.begin(), text.end(), at, ',', '.');
}

void appendGeneText(std::string& out, std::string_view text) {
    const size_t at = out.size();
    out += text;
    std::replace(out.begin() + static_cast<std::ptrdiff_t>(at), out.end(), ',', '.');
}

char* writeUnsigned(char* at, int64_t value) {
    return std::to_chars(at, at + kIntegerRoom, static_cast<uint32_t>(value)).ptr;
}

// A position (1-based): its unsigned 32-bit value, as coordinates are
// written, within the first 4 Gb; the whole number beyond.
char* writePosition(char* at, int64_t value) {
    if (value >= 0 && value > int64_t{UINT32_MAX}) {
        return std::to_chars(at, at + 2 * kIntegerRoom, value).ptr;
    }
    return writeUnsigned(at, value);
}

void writeRecordBlock(BlockWriter& writer, const RecordInfo& record, const RecordHits& found,
                      int& digits, unsigned threads) {
    std::string& text = writer.text();
    text += "Sequence,";
    text += record.description;
    text += '\n';
    text += "Global score mean:,";
    appendGeneral(text, found.globalMean, digits);
    text += '\n';
    text += kResultsTableHeader;
    writer.lineDone();
    const std::vector<SiteHit>& hits = found.hits;
    if (hits.empty()) {
        return;
    }
    // The first row switches the table to its row format, which then stays.
    digits = kRowDigits;
    writeRows(writer, hits.size(), threads,
              [&hits](std::string& out, size_t i) { writeHitRow(out, hits[i]); });
}

void writeSummary(BlockWriter& writer, const Options& options, size_t records, size_t siteCount,
                  double entropy) {
    std::string& text = writer.text();
    text += '\n';
    text += summary_label::kSequences;
    appendInteger(text, records);
    text += '\n';
    text += summary_label::kSites;
    appendInteger(text, siteCount);
    text += '\n';
    text += summary_label::kEntropy;
    text += formatFixed(entropy, 3);
    text += '\n';
    text += summary_label::kMethod;
    text += methodLabel(options.method);
    text += '\n';
    text += summary_label::kCutOff;
    text += formatFixed(options.cutOff, 3, true);
    text += "; - ";
    text += options.literalCutOff ? "Literal" : "Computed";
    text += '\n';
    writer.lineDone();
}

void appendGeneLog(BlockWriter& writer, const SequenceRecord& record) {
    std::string& text = writer.text();
    text += kGeneLogHeader;
    for (const GeneRecord& gene : record.genes) {
        appendUnsigned(text, gene.begin);
        text += ',';
        appendUnsigned(text, gene.end);
        text += ',';
        appendFlag(text, gene.sense);
        text += ',';
        appendGeneText(text, gene.locus);
        text += ',';
        appendGeneText(text, gene.product);
        text += ',';
        appendGeneText(text, gene.gene);
        text += '\n';
        writer.lineDone();
    }
    text += kGeneLogClosing;
    writer.lineDone();
}

void appendSequenceLog(BlockWriter& writer, const SequenceRecord& record) {
    std::string& text = writer.text();
    text += '>';
    text += record.description;
    text += '\n';
    const std::string_view sequence = record.sequence;
    for (size_t start = 0; start < sequence.size(); start += kSequenceLogWidth) {
        text += sequence.substr(start, kSequenceLogWidth);
        text += '\n';
        writer.lineDone();
    }
    text += '\n';
    writer.lineDone();
}

}  // namespace

void writeHitRow(std::string& out, const SiteHit& hit) {
    // The row is written in place behind the text already there: room for
    // its longest form first, then cut to what was written.
    const HitGene::Fields& gene = hit.gene.fields();
    const std::string_view type = hit.type();
    const size_t texts =
        hit.site.size() + type.size() + gene.tag.size() + gene.name.size() + gene.product.size();
    const size_t at = out.size();
    out.resize(at + texts + kRowFixedRoom);
    char* const begin = out.data() + at;
    char* p = begin;
    p = writeGeneral(p, hit.score, kRowDigits);
    *p++ = ',';
    p = writeText(p, hit.site);
    *p++ = ',';
    *p++ = flagDigit(hit.strand);
    *p++ = ',';
    p = std::to_chars(p, p + kIntegerRoom, hit.distance).ptr;
    *p++ = ',';
    p = writeText(p, type);
    *p++ = ',';
    p = writePosition(p, hit.position + 1);
    *p++ = ',';
    *p++ = flagDigit(gene.sense);
    *p++ = ',';
    p = writeUnsigned(p, gene.start);
    *p++ = ',';
    p = writeUnsigned(p, gene.end);
    *p++ = ',';
    p = writeGeneText(p, gene.tag);
    *p++ = ',';
    p = writeGeneText(p, gene.name);
    *p++ = ',';
    p = writeGeneText(p, gene.product);
    *p++ = ',';
    p = writeGeneral(p, hit.localMean, kRowDigits);
    *p++ = ',';
    p = writeGeneral(p, hit.upMean, kRowDigits);
    *p++ = ',';
    p = writeGeneral(p, hit.downMean, kRowDigits);
    *p++ = '\n';
    out.resize(at + static_cast<size_t>(p - begin));
}

ResultsTableWriter::ResultsTableWriter(const std::string& fileName, unsigned threads)
    : file_(std::make_unique<OutputFile>(fileName, OutputFile::Durability::Synced)),
      writer_(std::make_unique<BlockWriter>(*file_, threads > 1)),
      threads_(threads),
      digits_(kOpeningDigits) {}

ResultsTableWriter::ResultsTableWriter(TextSink& out, unsigned threads)
    : writer_(std::make_unique<BlockWriter>(out, threads > 1)),
      threads_(threads),
      digits_(kOpeningDigits) {}

ResultsTableWriter::~ResultsTableWriter() = default;

void ResultsTableWriter::add(const RecordInfo& record, const RecordHits& hits) {
    if (records_ == 0) {
        firstEntropy_ = record.backgroundEntropy;
    }
    writeRecordBlock(*writer_, record, hits, digits_, threads_);
    ++records_;
    sites_ += hits.hits.size();
}

void ResultsTableWriter::finish(const Options& options) {
    writeSummary(*writer_, options, records_, sites_, firstEntropy_);
    writer_->finish();
    if (file_ != nullptr) {
        file_->commit();
    }
}

void writeResultsTable(const Options& options, const std::vector<RecordResults>& results,
                       TextSink& out, unsigned threads) {
    ResultsTableWriter table(out, threads);
    for (const RecordResults& result : results) {
        table.add(*result.record, result.hits);
    }
    table.finish(options);
}

void writeResultsTable(const Options& options, const std::vector<RecordResults>& results,
                       std::ostream& out, unsigned threads) {
    StreamSink sink(out, "the results table");
    writeResultsTable(options, results, sink, threads);
}

void writeResultsTable(const Options& options, const std::vector<RecordResults>& results,
                       const std::string& fileName, unsigned threads) {
    ResultsTableWriter table(fileName, threads);
    for (const RecordResults& result : results) {
        table.add(*result.record, result.hits);
    }
    table.finish(options);
}

struct SequenceLogs::Files {
    Files(const std::string& runBaseName, bool genBank)
        : sequenceFile(sequenceLogName(runBaseName)), sequence(sequenceFile) {
        if (genBank) {
            geneFile = std::make_unique<OutputFile>(geneLogName(runBaseName));
            gene = std::make_unique<BlockWriter>(*geneFile);
        }
    }
    OutputFile sequenceFile;
    BlockWriter sequence;
    std::unique_ptr<OutputFile> geneFile;
    std::unique_ptr<BlockWriter> gene;
};

SequenceLogs::SequenceLogs(const std::string& runBaseName, bool genBank)
    : files_(std::make_unique<Files>(runBaseName, genBank)) {}

SequenceLogs::~SequenceLogs() = default;

void SequenceLogs::add(const SequenceRecord& record) {
    if (files_->gene != nullptr) {
        appendGeneLog(*files_->gene, record);
    }
    appendSequenceLog(files_->sequence, record);
}

void SequenceLogs::commit() {
    if (files_->gene != nullptr) {
        files_->gene->finish();
        files_->geneFile->commit();
    }
    files_->sequence.finish();
    files_->sequenceFile.commit();
}

void writeSequenceLogs(SequenceSet& set, const std::string& runBaseName) {
    SequenceLogs logs(runBaseName, !set.records.empty() && set.records.front().format == 'G');
    for (const SequenceRecord& record : set.records) {
        logs.add(record);
    }
    logs.commit();
    set.current = 0;
}

}  // namespace xoprex
