// The sixteen search options with their built-in defaults, the derived
// cut-off, and the table of the eleven scoring methods with every label by
// which the program names them.
#pragma once

#include <cstdint>
#include <string>

namespace xoprex {

class RunLog;

struct Options {
    bool logResults = true;                        // 1
    int32_t method = 5;                            // 2
    bool backgroundFromGenome = false;             // 3
    double threshold = static_cast<double>(0.8f);  // 4
    int32_t promoterDistance = 350;                // 5
    int32_t inGeneDistance = 100;                  // 6
    bool sortByScore = false;                      // 7
    bool removeRedundant = true;                   // 8
    bool literalCutOff = false;                    // 9
    double cutOff = 0.0;                           // derived (cut-off stage, relaxation)
    bool integrative = false;                      // 10
    int32_t upFar = -500;                          // 11 (X)
    int32_t upNear = -1;                           // 12 (Y)
    int32_t downNear = 1;                          // 13 (I)
    int32_t downFar = 500;                         // 14 (J)
    double relaxation = 1.5;                       // 15 (R)
    int32_t rescoreMethod = 1;                     // 16
};

// Writes "Setting options to default..." and sets options 1..16 to the
// built-in defaults; cutOff is left alone.
void setDefaults(Options& options, RunLog& log);
// The same without a log line.
void applyBuiltInDefaults(Options& options);

struct ScoringMethod {
    int number;
    const char* optionsFileLine;
    const char* formLabel;
    const char* reportLabel;
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
