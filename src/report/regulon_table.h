// The regulon table: one row per operon (RegulonRow, base/records.h) with
// the posterior probability that the factor regulates it, after '#' comment
// lines naming the run, the collection and the model, and one header row
// (columns: report/result_schema.h). Rows are sorted by posterior, highest
// first (by the Bayes factor behind it, so that posteriors that print as 1
// keep their order; operons without one last), then by record and operon
// number. Several collections' tables make one long table: every
// collection's comment lines, one header, each collection's rows in turn,
// told apart by motif_id. Texts keep their commas; tabs and line ends become
// blanks. The writer raises what the sink raises (OutputError); the reader
// never fails: fields that are not numbers read as NaN (0 for counts and
// coordinates), and a table without the operon and posterior columns gives
// no rows.
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <utility>
#include <vector>

#include "base/output_file.h"
#include "base/records.h"

namespace xoprex {

// What the comment lines say of one collection's table.
struct RegulonContext {
    std::string commandLine;
    std::string targetPath;
    std::string annotationPath;  // empty: the genes of the GenBank records
    std::string collectionPath;
    std::string collectionTitle;
    std::string motifId;
    std::string motifAltId;
    int method = 1;
    double cutOff = 0.0;
    // The model's settings, each a "# KEY: value" line, in order.
    std::vector<std::pair<std::string, std::string>> model;
};

struct RegulonTable {
    RegulonContext context;
    std::vector<RegulonRow> rows;
    // The rows' lines made ahead by appendRegulonRow, one a row in their
    // order (empty: made as the table is written).
    std::vector<std::string> lines;
};

// The table's order of the rows, as indices into them.
std::vector<uint32_t> regulonRowOrder(const std::vector<RegulonRow>& rows);
// Sorts the table's rows (and their lines, when made) into its order.
void sortRegulonRows(RegulonTable& table);

// Appends the row's line (its end included) as the table shows it.
void appendRegulonRow(std::string& out, const RegulonRow& row, const RegulonContext& context);

void writeRegulonTables(const std::vector<const RegulonTable*>& tables, TextSink& out);

// A table as read back: its comment lines and its rows with their motif IDs.
struct ReadRegulonRow {
    std::string motifId;
    RegulonRow row;
};
struct ReadRegulonTable {
    std::vector<std::string> comments;
    std::vector<ReadRegulonRow> rows;
};
ReadRegulonTable parseRegulonTable(std::istream& in);

}  // namespace xoprex
