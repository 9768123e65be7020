// The options text file: sixteen numbered descriptions, each value after a
// '$'. The run reads it with readOptionsFile; the desktop form loads it into
// its controls (loadOptionTexts) and writes it (writeOptionsFile) with the
// values kept as text.
#pragma once

#include <istream>
#include <string>

#include "options/options.h"

namespace xoprex {

class RunLog;

// Run reader: writes "Reading options..." (and "Options file could not be
// opened"); true when sixteen or more values were found.
bool readOptionsFile(Options& options, const std::string& path, RunLog& log);
// The conversion part of the run reader, on a stream; returns the number of
// values found.
int readOptionValues(Options& options, std::istream& in);

// The form's view of the options: switches as booleans, everything else as
// the text of its box.
struct OptionTexts {
    bool logResults = true;
    std::string methodNumber = "1";
    bool computeBackground = false;
    std::string threshold = "0.8";
    std::string promoterDistance = "350";
    std::string inGeneDistance = "100";
    bool sortByScore = true;
    bool removeRedundant = true;
    bool literalCutOff = false;
    bool integrative = false;
    std::string upLeft = "-200";
    std::string upRight = "50";
    std::string downLeft = "250";
    std::string downRight = "850";
    std::string relaxation = "1.5";
    std::string rescoringMethod = "2";
};

// The form's factory defaults (differ from the built-in run defaults).
OptionTexts factoryDefaults();

// Whole file text in the program's layout, no line end after the last value.
std::string optionsFileText(const OptionTexts& texts);
// Creates or truncates the file; false when it cannot be written.
bool writeOptionsFile(const std::string& path, const OptionTexts& texts);

// Form loader rules: switches change only for exactly "1"/"0"; an empty
// value ends loading; values after the sixteenth are ignored. Returns the
// number of values applied.
int loadOptionTexts(std::istream& in, OptionTexts& texts);
// false when the file cannot be opened (texts unchanged).
bool loadOptionTextsFile(const std::string& path, OptionTexts& texts);

}  // namespace xoprex
