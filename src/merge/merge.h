// Joins the records of a multi-record GenBank file into one record: the
// first record's header, every feature shifted to its place in the joined
// sequence, one ORIGIN block. Streamed line by line; only the sequence is held.
#pragma once

#include <string>

namespace xoprex {

// Writes the merged file. An input that cannot be read or holds no LOCUS
// line, or an output that is the input, raises InputError; an output that
// cannot be created or written raises OutputError (a half-written regular
// file is removed). The message names the file.
void mergeGenBankFile(const std::string& inputPath, const std::string& outputPath);

// Default output: the input's folder + "Merged_" + the input's title + ".gbk".
std::string defaultMergeOutput(const std::string& inputPath);

}  // namespace xoprex
