// Joins the records of a multi-record GenBank file into one record: the
// first record's header, every feature shifted to its place in the joined
// sequence, one ORIGIN block. Streamed line by line; only the sequence is held.
#pragma once

#include <string>

namespace xoprex {

struct MergeResult {
    bool ok = false;
    std::string reason;  // why it failed, empty on success
};

MergeResult mergeGenBankFile(const std::string& inputPath, const std::string& outputPath);

// Default output: the input's folder + "Merged_" + the input's title + ".gbk".
std::string defaultMergeOutput(const std::string& inputPath);

}  // namespace xoprex
