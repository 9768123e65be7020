// The sixteen search options: the run's record (Options, with the derived
// cut-off), the form's record (OptionTexts, the values as the desktop form
// holds them), and the table of the eleven scoring methods with every label
// by which the program names them. The options themselves (number,
// description, kind, defaults, range, the fields holding them) are listed
// once, in options/option_table.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace xoprex {

// Built-in defaults (option_table.h) on construction; cutOff 0.
struct Options {
    Options();

    bool logResults;            // 1
    int32_t method;             // 2
    bool backgroundFromGenome;  // 3
    double threshold;           // 4
    int32_t promoterDistance;   // 5
    int32_t inGeneDistance;     // 6
    bool sortByScore;           // 7
    bool removeRedundant;       // 8
    bool literalCutOff;         // 9
    double cutOff = 0.0;        // derived (cut-off stage, relaxation)
    bool integrative;           // 10
    int32_t upFar;              // 11 (X)
    int32_t upNear;             // 12 (Y)
    int32_t downNear;           // 13 (I)
    int32_t downFar;            // 14 (J)
    double relaxation;          // 15 (R)
    int32_t rescoreMethod;      // 16
};

// The form's view of the options: switches as booleans, everything else as
// the text of its box. Factory defaults (option_table.h) on construction.
struct OptionTexts {
    OptionTexts();

    bool logResults;
    std::string methodNumber;
    bool computeBackground;
    std::string threshold;
    std::string promoterDistance;
    std::string inGeneDistance;
    bool sortByScore;
    bool removeRedundant;
    bool literalCutOff;
    bool integrative;
    std::string upLeft;
    std::string upRight;
    std::string downLeft;
    std::string downRight;
    std::string relaxation;
    std::string rescoringMethod;
};

// Values a search runs with although they are most likely mistakes, one
// sentence each: a method outside 1 to 11 (every window scores 0) and a
// relative threshold outside (0, 1) (the cut-off becomes 0).
std::vector<std::string> questionableOptions(const Options& options);

// Sets options 1..16 to the built-in defaults; cutOff is left alone.
void applyBuiltInDefaults(Options& options);

struct ScoringMethod {
    int number;
    const char* optionsFileLine;
    const char* formLabel;
    const char* reportLabel;
    const char* shortName;  // the command line's name of the method
    bool lowerIsBetter;
};

inline constexpr int kMethodCount = 11;
// Entries for methods 1..11 in order.
const ScoringMethod* scoringMethods();

// Report label of the method; "???" outside 1..11.
std::string methodLabel(int method);
// True for methods 2 and 3 (heterology indices), false for every other number.
bool lowerIsBetter(int method);

// Form label -> method number text ("1".."11"); an unknown label returns
// `current` unchanged.
std::string formLabelToNumber(const std::string& label, const std::string& current);
// Method number text -> form label; "???" outside 1..11.
std::string numberToFormLabel(const std::string& numberText);

}  // namespace xoprex
