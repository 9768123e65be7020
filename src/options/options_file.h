// The options text file: sixteen numbered descriptions, each value after a
// '$'. The run reads it with readOptionValuesFile; the desktop form loads it into
// its controls (loadOptionTexts) and writes it (writeOptionsFile) with the
// values kept as text. The conversions of each option are those of
// options/option_table.h.
#pragma once

#include <istream>
#include <string>
#include <vector>

#include "options/options.h"

namespace xoprex {

// What the run reader found in a file.
struct OptionsReading {
    bool opened = false;
    int values = 0;  // '$' values found
    bool complete() const { return opened && values >= 16; }
};
// The run reader: the values of the file over `options`. A file that cannot
// be opened or holds fewer than sixteen values is not an error for the run,
// which goes on with the built-in defaults (applyBuiltInDefaults).
OptionsReading readOptionValuesFile(Options& options, const std::string& path);
// The run log's lines of such a reading: the defaults set, the file read,
// and the defaults again with a warning when the file was missing or
// incomplete.
std::vector<std::string> optionsReadingLines(const OptionsReading& reading);
// The conversion part of the run reader, on a stream; returns the number of
// values found.
int readOptionValues(Options& options, std::istream& in);

// The form's factory defaults (differ from the built-in run defaults).
OptionTexts factoryDefaults();

// Whole file text in the program's layout, no line end after the last value.
std::string optionsFileText(const OptionTexts& texts);
// Writes the file whole or not at all (base/output_file.h); raises
// OutputError when it cannot be written.
void writeOptionsFile(const std::string& path, const OptionTexts& texts);

// Form loader rules: switches change only for exactly "1"/"0"; an empty
// value ends loading; values after the sixteenth are ignored. Returns the
// number of values applied.
int loadOptionTexts(std::istream& in, OptionTexts& texts);
// Raises InputError when the file cannot be opened (texts unchanged).
void loadOptionTextsFile(const std::string& path, OptionTexts& texts);

}  // namespace xoprex
