#include "options/options.h"

#include <cstdlib>

#include "base/run_log.h"

namespace xoprex {
namespace {

constexpr ScoringMethod kMethods[kMethodCount] = {
    {1, "1. Information content of a individual DNA sequence (Ri)", "Ri index", "Ri", false},
    {2, "2. Berg & von Hippel Heterology Index (HI)", "Heterology index (HI)", "BvH HI", true},
    {3, "3. Rsequence averaged Berg & von Hippel Heterology Index Rsequence.BvH",
     "Rseq weighted HI", "Rsequence_BvH", true},
    {4, "4. Rsequence weighted Differential Rsequence (Rsequence)",
     "Rseq weighted differential Rseq", "Rsequence_Differential_Rsequence", false},
    {5, "5. Rsequence averaged individual sequence information content (Rsequence.Ri)",
     "Rseq weighted Ri", "Rsequence_Ri", false},
    {6, "6. PredictRegulon Index", "PredictRegulon", "PredictRegulon", false},
    {7, "7. RE averaged individual sequence information content (RE.Ri)", "RE weighted Ri", "RE_Ri",
     false},
    {8, "8. RE weighted differential RE (RE)", "RE weighted differential RE", "Differential_RE",
     false},
    {9, "9. Iseq (log(f/p))", "Iseq", "Iseq", false},
    {10, "10. Modified Berg-von Hippel index / Oprex Index", "Oprex Heterology index", "Oprex_HI",
     false},
    {11, "11. Non-weighted differential Rsequence ", "Non-weighted differential Rseq",
     "Differential_Rsequence", false},
};

}  // namespace

void applyBuiltInDefaults(Options& options) {
    const double cutOff = options.cutOff;
    options = Options();
    options.cutOff = cutOff;
}

void setDefaults(Options& options, RunLog& log) {
    log.writeLine("Setting options to default...");
    applyBuiltInDefaults(options);
}

const ScoringMethod* scoringMethods() {
    return kMethods;
}

std::string methodLabel(int method) {
    if (method < 1 || method > kMethodCount) {
        return "???";
    }
    return kMethods[method - 1].reportLabel;
}

bool lowerIsBetter(int method) {
    return method == 2 || method == 3;
}

std::string formLabelToNumber(const std::string& label, const std::string& current) {
    for (const auto& entry : kMethods) {
        if (label == entry.formLabel) {
            return std::to_string(entry.number);
        }
    }
    return current;
}

std::string numberToFormLabel(const std::string& numberText) {
    const long number = std::strtol(numberText.c_str(), nullptr, 10);
    if (number < 1 || number > kMethodCount) {
        return "???";
    }
    return kMethods[number - 1].formLabel;
}

}  // namespace xoprex
