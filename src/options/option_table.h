// The sixteen options, listed once: what every reader, the writer, the
// desktop form's controls and the command line's flags go through.
//
// Each option has its number (the k-th '$' of the options file carries
// option k), the description the options file shows before its value, its
// kind, its two defaults (the run's built-in value and the form's factory
// text), the range of values a search can use, and the fields that hold it
// in Options and in OptionTexts.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "options/options.h"

namespace xoprex {

enum class OptionKind {
    Switch,   // on or off: "1" / "0" in the file
    Integer,  // a whole number (the method's number included)
    Real,     // a decimal number
};

// How the command line sets an option.
enum class FlagForm {
    None,       // no flag of its own
    Value,      // --flag VALUE
    Method,     // --flag N or a method's short name
    Choice,     // --flag OFFWORD|ONWORD (a switch)
    TurnsOn,    // --flag sets the switch
    TurnsOff,   // --flag clears the switch
    OnOrOff,    // --flag sets it, --no-flag clears it
    Intervals,  // --flag X,Y,I,J sets the switch and options 11 to 14
};

struct OptionEntry {
    int number;
    // The description lines before the value, joined by '\n'.
    const char* description;
    OptionKind kind;
    double builtIn;       // the run's default (1 or 0 for a switch)
    const char* factory;  // the form's factory default, as its text
    // The values a search can use, both ends included.
    double minimum;
    double maximum;
    // The command line's flag (without "--"), its form, the words of a
    // Choice (off, on) and what the flag is for.
    const char* flag;
    FlagForm flagForm;
    const char* offWord;
    const char* onWord;
    const char* flagHelp;
    // The field in Options: exactly one of the three is set.
    bool Options::*switchField;
    int32_t Options::*integerField;
    double Options::*realField;
    // The field in OptionTexts: the switch, or the text of its box.
    bool OptionTexts::*switchText;
    std::string OptionTexts::*text;
};

inline constexpr int kOptionCount = 16;

// Options 1..16 in order.
const std::array<OptionEntry, kOptionCount>& optionTable();
// Entry of option `number` (1..16).
const OptionEntry& optionEntry(int number);

// The run reader's conversion of a value text into option `number`:
// switches are on exactly when the leading integer is 1; integers are the
// leading decimal integer, reals the leading decimal number (0 when there
// is none).
void applyRunValue(Options& options, int number, const std::string& text);

// The form loader's conversion: a switch changes only for exactly "1" or
// "0"; any other option takes the text as it stands.
void applyFormValue(OptionTexts& texts, int number, const std::string& text);

// The value text the options file holds for option `number` of the form.
std::string formValue(const OptionTexts& texts, int number);

// The value of option `number` as a number (a switch as 1 or 0).
double optionValue(const Options& options, int number);
// Sets option `number` from a number already checked against its range.
void setOptionValue(Options& options, int number, double value);

// An option given on the command line: its number and value (a switch as 1
// or 0), checked against the option's range.
struct OptionSetting {
    int number;
    double value;
};
void applySettings(Options& options, const std::vector<OptionSetting>& settings);

// The options the factory defaults give a run (the values that
// `options --write-defaults` writes, read as the run reads them).
Options factoryOptions();

// One line naming every option's value, by its flag ("method 1 (Ri);
// threshold 0.8; ..."), for the run log.
std::string describeOptions(const Options& options);

}  // namespace xoprex
