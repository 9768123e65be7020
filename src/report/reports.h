// The results table and the gene and sequence logs.
//
// Every writer appends its lines into one reusable buffer and hands it to the
// file in large blocks, so a table of many thousands of rows is written without
// allocating per field. Numbers go through base/number_format.h.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "base/output_file.h"
#include "base/records.h"
#include "options/options.h"
#include "report/result_schema.h"
#include "seqio/sequence.h"

namespace xoprex {

class BlockWriter;

// Writes the results table of the records' results to fileName, whole or not
// at all (OutputFile, synced); raises OutputError when it cannot be written.
// With `threads` above 1, the rows of a record with many hits are formatted
// on two threads (the text is the same).
void writeResultsTable(const Options& options, const std::vector<RecordResults>& results,
                       const std::string& fileName, unsigned threads = 1);
// Same on a sink or a stream.
void writeResultsTable(const Options& options, const std::vector<RecordResults>& results,
                       TextSink& out, unsigned threads = 1);
void writeResultsTable(const Options& options, const std::vector<RecordResults>& results,
                       std::ostream& out, unsigned threads = 1);

// The results table written as the records pass: add() each record once
// its hits are sorted and annotated, then finish() writes the summary (the
// record count, the sites, the first record's background entropy, the method
// and the cut-off) and, for a file, gives it its name. Dropped without
// finish(), no file is left behind. Raises OutputError when it cannot write.
class ResultsTableWriter {
  public:
    // The file is synced and takes its name at finish() (OutputFile).
    ResultsTableWriter(const std::string& fileName, unsigned threads = 1);
    ResultsTableWriter(TextSink& out, unsigned threads = 1);
    ~ResultsTableWriter();
    ResultsTableWriter(const ResultsTableWriter&) = delete;
    ResultsTableWriter& operator=(const ResultsTableWriter&) = delete;

    void add(const RecordInfo& record, const RecordHits& hits);
    void finish(const Options& options);

  private:
    std::unique_ptr<OutputFile> file_;
    std::unique_ptr<BlockWriter> writer_;
    unsigned threads_;
    int digits_;  // the general notation's digits, until the first row
    size_t records_ = 0;
    size_t sites_ = 0;
    double firstEntropy_ = 2.0;
};

// Appends one results row (fifteen fields and the line end) to `out`: reals in
// general notation with 14 significant digits, Abs. position (position + 1),
// Start and End as unsigned 32-bit integers, Distance signed, booleans 1/0.
void writeHitRow(std::string& out, const SiteHit& hit);

// The gene and sequence logs written as the records pass: add() each record,
// then commit(); dropped without commit(), neither file is left behind.
class SequenceLogs {
  public:
    // The gene log for GenBank targets only.
    SequenceLogs(const std::string& runBaseName, bool genBank);
    ~SequenceLogs();
    void add(const SequenceRecord& record);
    void commit();

  private:
    struct Files;
    std::unique_ptr<Files> files_;
};

// Writes runBaseName + "_gene_log.csv" (GenBank targets) and
// runBaseName + "_seq_log.txt", each whole or not at all; raises OutputError
// when one cannot be written. Cursor left on the first record.
void writeSequenceLogs(SequenceSet& set, const std::string& runBaseName);

}  // namespace xoprex
