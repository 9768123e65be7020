// The results table and the gene and sequence logs.
#pragma once

#include <ostream>
#include <string>

#include "options/options.h"
#include "run/records.h"
#include "seqio/sequence.h"

namespace xoprex {

// outputFolder + sequenceTitle + "_" + collectionTitle + "_" + methodLabel +
// "_" + threshold (single precision, "%.3f") + ".csv".
std::string resultsFileName(const Options& options, const std::string& outputFolder,
                            const std::string& sequenceTitle, const std::string& collectionTitle);

// Writes the results table to fileName; a file that cannot be created is
// silently skipped. Leaves the set's cursor on the first record.
void writeResultsTable(const Options& options, SequenceSet& set, const std::string& fileName);
// Same on a stream (tests).
void writeResultsTable(const Options& options, SequenceSet& set, std::ostream& out);

// Writes runBaseName + "_gene_log.csv" (GenBank first record only) and
// runBaseName + "_seq_log.txt". Cursor left on the first record.
void writeSequenceLogs(SequenceSet& set, const std::string& runBaseName);

}  // namespace xoprex
