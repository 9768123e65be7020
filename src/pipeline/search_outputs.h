// The files of a search, named before anything is written, and the checks
// that every name can be created and that no output replaces an input or
// another collection's output. The names themselves follow
// report/result_schema.h.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "options/options.h"
#include "report/result_schema.h"

namespace xoprex {

// A matrix ID as a title for file names: letters other than ASCII letters,
// digits and ". _ + -" become '_' ("F$ONE" -> "F_ONE"); an empty ID "matrix".
std::string matrixTitle(const std::string& id);

// The name of a collection's results table: after its threshold, or after
// the p-value that cut it.
std::string resultsTableName(const Options& options, const std::optional<double>& pValue,
                             const OutputNaming& naming);

// One collection of a search as its outputs are named.
struct NamedCollection {
    std::string path;   // the file it was read from
    std::string title;  // names its files
    std::string resultsName;
    std::string reportPrefix;
};

// Stops the search before anything is written: InputError (Overwrite) when
// two collections have the same title (their files would replace each
// other) or when an output would replace one of `inputs` (same normalised
// path, or same file); OutputError when a name is longer than a file system
// takes.
// `runLog`: whether the run log has a file; `runFiles` the files of the run
// as a whole (the one table of every collection's rows, the report), empty
// names for those not asked for.
void checkSearchOutputs(const std::vector<NamedCollection>& collections,
                        const std::string& runBaseName, const std::vector<ResultFormat>& formats,
                        bool logResults, bool runLog, const std::vector<std::string>& runFiles,
                        const std::vector<std::string>& inputs);

}  // namespace xoprex
