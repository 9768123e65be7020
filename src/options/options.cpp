#include "options/options.h"

#include <cctype>
#include <charconv>
#include <cstdlib>
#include <limits>

#include "base/number_format.h"
#include "options/option_table.h"

namespace xoprex {
namespace {

constexpr ScoringMethod kMethods[kMethodCount] = {
    {1, "1. Information content of a individual DNA sequence (Ri)", "Ri index", "Ri", "ri", false},
    {2, "2. Berg & von Hippel Heterology Index (HI)", "Heterology index (HI)", "BvH HI", "hi",
     true},
    {3, "3. Rsequence averaged Berg & von Hippel Heterology Index Rsequence.BvH",
     "Rseq weighted HI", "Rsequence_BvH", "rseq-hi", true},
    {4, "4. Rsequence weighted Differential Rsequence (Rsequence)",
     "Rseq weighted differential Rseq", "Rsequence_Differential_Rsequence", "rseq-diff-rseq",
     false},
    {5, "5. Rsequence averaged individual sequence information content (Rsequence.Ri)",
     "Rseq weighted Ri", "Rsequence_Ri", "rseq-ri", false},
    {6, "6. PredictRegulon Index", "PredictRegulon", "PredictRegulon", "predictregulon", false},
    {7, "7. RE averaged individual sequence information content (RE.Ri)", "RE weighted Ri", "RE_Ri",
     "re-ri", false},
    {8, "8. RE weighted differential RE (RE)", "RE weighted differential RE", "Differential_RE",
     "diff-re", false},
    {9, "9. Iseq (log(f/p))", "Iseq", "Iseq", "iseq", false},
    {10, "10. Modified Berg-von Hippel index / Oprex Index", "Oprex Heterology index", "Oprex_HI",
     "oprex-hi", false},
    {11, "11. Non-weighted differential Rsequence ", "Non-weighted differential Rseq",
     "Differential_Rsequence", "diff-rseq", false},
};

constexpr double kIntMin = std::numeric_limits<int32_t>::min();
constexpr double kIntMax = std::numeric_limits<int32_t>::max();
constexpr double kAny = std::numeric_limits<double>::infinity();

using Kind = OptionKind;

// How the command line names an option.
struct Flag {
    const char* name = nullptr;
    FlagForm form = FlagForm::None;
    const char* help = "";
    const char* offWord = nullptr;
    const char* onWord = nullptr;
};

constexpr OptionEntry switchOption(int number, const char* description, bool builtIn,
                                   const char* factory, Flag flag, bool Options::*field,
                                   bool OptionTexts::*text) {
    return {number,    description, Kind::Switch, builtIn ? 1.0 : 0.0, factory,   0.0,   1.0,
            flag.name, flag.form,   flag.offWord, flag.onWord,         flag.help, field, nullptr,
            nullptr,   text,        nullptr};
}

constexpr OptionEntry integerOption(int number, const char* description, int32_t builtIn,
                                    const char* factory, double minimum, double maximum, Flag flag,
                                    int32_t Options::*field, std::string OptionTexts::*text) {
    return {number,    description,  Kind::Integer, static_cast<double>(builtIn),
            factory,   minimum,      maximum,       flag.name,
            flag.form, flag.offWord, flag.onWord,   flag.help,
            nullptr,   field,        nullptr,       nullptr,
            text};
}

constexpr OptionEntry realOption(int number, const char* description, double builtIn,
                                 const char* factory, double minimum, double maximum, Flag flag,
                                 double Options::*field, std::string OptionTexts::*text) {
    return {number,  description, Kind::Real, builtIn,      factory,     minimum,
            maximum, flag.name,   flag.form,  flag.offWord, flag.onWord, flag.help,
            nullptr, nullptr,     field,      nullptr,      text};
}

const std::array<OptionEntry, kOptionCount> kOptions = {
    switchOption(1, "- 1 - Log results (1 - yes, 0 - no)", true, "1",
                 {"log", FlagForm::OnOrOff, "write the sequence, gene and collection logs"},
                 &Options::logResults, &OptionTexts::logResults),
    integerOption(2, "- 2 - Method (1-8, see manual for details)", 5, "1", 1, kMethodCount,
                  {"method", FlagForm::Method, "scoring method, 1-11 or its name"},
                  &Options::method, &OptionTexts::methodNumber),
    switchOption(3,
                 "- 3 - Background entropy  (0 - assumed to be 2, 1 - computed from genomic "
                 "frequencies)",
                 false, "0",
                 {"background", FlagForm::Choice,
                  "background: uniform (2 bits) or the genome's composition (one-record targets)",
                  "uniform", "genome"},
                 &Options::backgroundFromGenome, &OptionTexts::computeBackground),
    // The built-in threshold is the single-precision 0.8, widened.
    realOption(4,
               "- 4 - Threshold (0..1 for normalized threshold (see option 8), any positive real "
               "number for non-normalized threshold)",
               static_cast<double>(0.8f), "0.8", -kAny, kAny,
               {"threshold", FlagForm::Value,
                "share of the collection's score distribution (0-1), or the cut-off score with "
                "--literal"},
               &Options::threshold, &OptionTexts::threshold),
    integerOption(5,
                  "- 5 - Distance to promoter (upstream distance from gene ATG to consider found "
                  "site an operator)",
                  350, "350", kIntMin, kIntMax,
                  {"promoter-distance", FlagForm::Value,
                   "upstream distance from a gene's start within which a site is an operator"},
                  &Options::promoterDistance, &OptionTexts::promoterDistance),
    integerOption(6,
                  "- 6 - Distance in-gene (intragenic distance from gene ATG to consider found "
                  "site an operator)",
                  100, "100", kIntMin, kIntMax,
                  {"in-gene-distance", FlagForm::Value,
                   "distance inside a gene from its start within which a site is an operator"},
                  &Options::inGeneDistance, &OptionTexts::inGeneDistance),
    switchOption(7,
                 "- 7 - Sorting method for identified motifs (0 - by genomic position, 1 - by "
                 "score)",
                 false, "1", {"sort", FlagForm::Choice, "order of the hits", "position", "score"},
                 &Options::sortByScore, &OptionTexts::sortByScore),
    switchOption(8,
                 "- 8 - Remove redundant matches (0 - no, 1 - yes); whether to remove one of the "
                 "instances of a match found in both strands",
                 true, "1",
                 {"keep-redundant", FlagForm::TurnsOff,
                  "keep both instances of a site found on the two strands"},
                 &Options::removeRedundant, &OptionTexts::removeRedundant),
    switchOption(9,
                 "- 9 - Literal cutoff (0 - no, 1 - yes); whether to use the threshold value as a "
                 "relative (%) or literal cutoff value",
                 false, "0",
                 {"literal", FlagForm::TurnsOn, "take --threshold as the cut-off score itself"},
                 &Options::literalCutOff, &OptionTexts::literalCutOff),
    switchOption(10,
                 "- 10 - Integrative factor (0 - no, 1 - yes); whether to use an integrative "
                 "factor to weight scores",
                 false, "0",
                 {"integrative", FlagForm::Intervals,
                  "integrative mode with the upstream interval [X,Y] and the downstream interval "
                  "[I,J], in windows from the site"},
                 &Options::integrative, &OptionTexts::integrative),
    integerOption(11,
                  "- 11 - Further distance of current site to compute upstream mean (+/- X) -> "
                  "[X,Y]",
                  -500, "-200", kIntMin, kIntMax, {}, &Options::upFar, &OptionTexts::upLeft),
    integerOption(12,
                  "- 12 - Closer distance of current site to compute upstream mean (+/- Y) -> "
                  "[X,Y]",
                  -1, "50", kIntMin, kIntMax, {}, &Options::upNear, &OptionTexts::upRight),
    integerOption(13,
                  "- 13 - Closer distance of current site to compute downstream mean (+/- I) -> "
                  "[I,J]",
                  1, "250", kIntMin, kIntMax, {}, &Options::downNear, &OptionTexts::downLeft),
    integerOption(14,
                  "- 14 - Further distance of current site to compute downstream mean (+/- J) -> "
                  "[I,J]",
                  500, "850", kIntMin, kIntMax, {}, &Options::downFar, &OptionTexts::downRight),
    realOption(15,
               "- 15 - Relaxation constant for cut-off in integrative mode (positive real value)",
               1.5, "1.5", std::numeric_limits<double>::denorm_min(), kAny,
               {"relaxation", FlagForm::Value, "relaxation of the cut-off in integrative mode"},
               &Options::relaxation, &OptionTexts::relaxation),
    integerOption(16, "- 16 - Method to re-score sites with integrative factor (1-3)", 1, "2", 1, 3,
                  {"rescore", FlagForm::Value,
                   "re-scoring in integrative mode: 1 global mean, 2 local mean, 3 downstream "
                   "mean"},
                  &Options::rescoreMethod, &OptionTexts::rescoringMethod),
};

// Leading decimal integer: optional blanks and sign, then digits; 0 without.
int32_t leadingInteger(const std::string& text) {
    const char* p = text.c_str();
    while (std::isspace(static_cast<unsigned char>(*p))) {
        ++p;
    }
    const char* start = p;
    if (*p == '+' || *p == '-') {
        ++p;
    }
    if (!std::isdigit(static_cast<unsigned char>(*p))) {
        return 0;
    }
    return static_cast<int32_t>(std::strtol(start, nullptr, 10));
}

// Leading decimal floating-point number; 0 when nothing is readable.
// Hexadecimal forms, "inf" and "nan" are not decimal numbers.
double leadingReal(const std::string& text) {
    const char* p = text.c_str();
    while (std::isspace(static_cast<unsigned char>(*p))) {
        ++p;
    }
    std::string number;
    if (*p == '+' || *p == '-') {
        number += *p++;
    }
    bool digits = false;
    while (std::isdigit(static_cast<unsigned char>(*p))) {
        number += *p++;
        digits = true;
    }
    if (*p == '.') {
        number += *p++;
        while (std::isdigit(static_cast<unsigned char>(*p))) {
            number += *p++;
            digits = true;
        }
    }
    if (!digits) {
        return 0.0;
    }
    if (*p == 'e' || *p == 'E') {
        const char* q = p + 1;
        if (*q == '+' || *q == '-') {
            ++q;
        }
        if (std::isdigit(static_cast<unsigned char>(*q))) {
            number.append(p, static_cast<size_t>(q - p));
            while (std::isdigit(static_cast<unsigned char>(*q))) {
                number += *q++;
            }
        }
    }
    return std::strtod(number.c_str(), nullptr);
}

}  // namespace

const std::array<OptionEntry, kOptionCount>& optionTable() {
    return kOptions;
}

const OptionEntry& optionEntry(int number) {
    return kOptions.at(static_cast<size_t>(number - 1));
}

void applyRunValue(Options& options, int number, const std::string& text) {
    const OptionEntry& entry = optionEntry(number);
    switch (entry.kind) {
        case OptionKind::Switch:
            options.*entry.switchField = leadingInteger(text) == 1;
            break;
        case OptionKind::Integer:
            options.*entry.integerField = leadingInteger(text);
            break;
        case OptionKind::Real:
            options.*entry.realField = leadingReal(text);
            break;
    }
}

void applyFormValue(OptionTexts& texts, int number, const std::string& text) {
    const OptionEntry& entry = optionEntry(number);
    if (entry.kind != OptionKind::Switch) {
        texts.*entry.text = text;
    } else if (text == "1") {
        texts.*entry.switchText = true;
    } else if (text == "0") {
        texts.*entry.switchText = false;
    }
}

std::string formValue(const OptionTexts& texts, int number) {
    const OptionEntry& entry = optionEntry(number);
    if (entry.kind == OptionKind::Switch) {
        return texts.*entry.switchText ? "1" : "0";
    }
    return texts.*entry.text;
}

double optionValue(const Options& options, int number) {
    const OptionEntry& entry = optionEntry(number);
    switch (entry.kind) {
        case OptionKind::Switch:
            return options.*entry.switchField ? 1.0 : 0.0;
        case OptionKind::Integer:
            return static_cast<double>(options.*entry.integerField);
        case OptionKind::Real:
            return options.*entry.realField;
    }
    return 0.0;
}

void setOptionValue(Options& options, int number, double value) {
    const OptionEntry& entry = optionEntry(number);
    switch (entry.kind) {
        case OptionKind::Switch:
            options.*entry.switchField = value != 0.0;
            break;
        case OptionKind::Integer:
            options.*entry.integerField = static_cast<int32_t>(value);
            break;
        case OptionKind::Real:
            options.*entry.realField = value;
            break;
    }
}

void applySettings(Options& options, const std::vector<OptionSetting>& settings) {
    for (const OptionSetting& setting : settings) {
        setOptionValue(options, setting.number, setting.value);
    }
}

Options factoryOptions() {
    Options options;
    for (const OptionEntry& entry : kOptions) {
        applyRunValue(options, entry.number, entry.factory);
    }
    return options;
}

std::string describeOptions(const Options& options) {
    std::string text;
    for (const OptionEntry& entry : kOptions) {
        if (entry.flagForm == FlagForm::None) {
            continue;
        }
        if (!text.empty()) {
            text += "; ";
        }
        text += entry.flag;
        text += ' ';
        const double value = optionValue(options, entry.number);
        switch (entry.flagForm) {
            case FlagForm::Choice:
                text += value != 0.0 ? entry.onWord : entry.offWord;
                break;
            case FlagForm::TurnsOn:
            case FlagForm::OnOrOff:
                text += value != 0.0 ? "yes" : "no";
                break;
            case FlagForm::TurnsOff:
                text += value != 0.0 ? "no" : "yes";
                break;
            case FlagForm::Intervals:
                text += value != 0.0 ? "yes" : "no";
                text += " (" + std::to_string(options.upFar) + "," +
                        std::to_string(options.upNear) + "," + std::to_string(options.downNear) +
                        "," + std::to_string(options.downFar) + ")";
                break;
            case FlagForm::Method:
                text += std::to_string(options.method) + " (" + methodLabel(options.method) + ")";
                break;
            case FlagForm::Value:
            case FlagForm::None: {
                char digits[32];  // the shortest text that reads back as the value
                text.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
                break;
            }
        }
    }
    return text;
}

Options::Options() {
    applyBuiltInDefaults(*this);
}

OptionTexts::OptionTexts() {
    for (const OptionEntry& entry : kOptions) {
        if (entry.kind == OptionKind::Switch) {
            this->*entry.switchText = std::string(entry.factory) == "1";
        } else {
            this->*entry.text = entry.factory;
        }
    }
}

void applyBuiltInDefaults(Options& options) {
    for (const OptionEntry& entry : kOptions) {
        setOptionValue(options, entry.number, entry.builtIn);
    }
}

std::vector<std::string> questionableOptions(const Options& options) {
    std::vector<std::string> warnings;
    if (options.method < 1 || options.method > kMethodCount) {
        warnings.push_back("method " + std::to_string(options.method) +
                           " is not one of 1 to 11: every window scores 0");
    }
    if (!options.literalCutOff && !(options.threshold > 0.0 && options.threshold < 1.0)) {
        warnings.push_back("relative threshold " + formatGeneral(options.threshold) +
                           " is outside (0, 1): the cut-off becomes 0");
    }
    return warnings;
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
    return method >= 1 && method <= kMethodCount && kMethods[method - 1].lowerIsBetter;
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
