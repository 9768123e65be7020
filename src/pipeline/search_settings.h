// The settings of a search: its options, taken from their source (an
// options file, or the factory defaults) with the command line's settings
// over them, the run log's lines about them, and the one check of whether a
// combination of settings goes together. Raises InputError for an options
// file that must be whole and is not; the check itself returns its finding.
#pragma once

#include <optional>
#include <string>

#include "base/run_log.h"
#include "options/options_file.h"
#include "pipeline/run_search.h"

namespace xoprex {

// The options of the run, and in `reading` what the options file gave.
Options searchOptions(const SearchInputs& inputs, OptionsReading& reading);

// The run log's lines of the options: those of their source, and the
// options in effect when they are not simply the file's.
void logOptionsReading(const SearchInputs& inputs, const OptionsReading& reading,
                       const Options& options, RunLog& log);

// What is wrong with a combination of a search's settings, found before the
// target or any collection is read: no collection, standard input named
// twice, a report whose folder does not exist. `usage` tells a mistake in
// how the search was asked for (the command line's status 1) from one in
// its inputs.
struct SettingsProblem {
    std::string message;
    std::string path;  // the input concerned, if any
    bool usage = false;
};
std::optional<SettingsProblem> checkSettings(const SearchInputs& inputs);

}  // namespace xoprex
