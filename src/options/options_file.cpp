#include "options/options_file.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "base/run_log.h"

namespace xoprex {
namespace {

constexpr int kOptionCount = 16;

// Reads the value texts: each '$' starts a value running to the end of its
// line (a carriage return before the line feed belongs to the line end).
// Calls `take(k, text)` for k = 1, 2, ...; stops early when it returns false.
template <typename Take>
int scanValues(std::istream& in, Take take) {
    const std::string content((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
    int count = 0;
    size_t at = content.find('$');
    while (at != std::string::npos) {
        size_t end = content.find('\n', at + 1);
        const size_t lineEnd = end == std::string::npos ? content.size() : end;
        size_t valueEnd = lineEnd;
        if (valueEnd > at + 1 && content[valueEnd - 1] == '\r' && end != std::string::npos) {
            --valueEnd;
        }
        ++count;
        if (!take(count, content.substr(at + 1, valueEnd - at - 1))) {
            return count;
        }
        at = content.find('$', lineEnd);
    }
    return count;
}

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

void applyRunValue(Options& options, int k, const std::string& text) {
    switch (k) {
        case 1:
            options.logResults = leadingInteger(text) == 1;
            break;
        case 2:
            options.method = leadingInteger(text);
            break;
        case 3:
            options.backgroundFromGenome = leadingInteger(text) == 1;
            break;
        case 4:
            options.threshold = leadingReal(text);
            break;
        case 5:
            options.promoterDistance = leadingInteger(text);
            break;
        case 6:
            options.inGeneDistance = leadingInteger(text);
            break;
        case 7:
            options.sortByScore = leadingInteger(text) == 1;
            break;
        case 8:
            options.removeRedundant = leadingInteger(text) == 1;
            break;
        case 9:
            options.literalCutOff = leadingInteger(text) == 1;
            break;
        case 10:
            options.integrative = leadingInteger(text) == 1;
            break;
        case 11:
            options.upFar = leadingInteger(text);
            break;
        case 12:
            options.upNear = leadingInteger(text);
            break;
        case 13:
            options.downNear = leadingInteger(text);
            break;
        case 14:
            options.downFar = leadingInteger(text);
            break;
        case 15:
            options.relaxation = leadingReal(text);
            break;
        case 16:
            options.rescoreMethod = leadingInteger(text);
            break;
        default:
            break;
    }
}

// A switch changes only for exactly "1" or "0".
void applySwitch(bool& value, const std::string& text) {
    if (text == "1") {
        value = true;
    } else if (text == "0") {
        value = false;
    }
}

void applyFormValue(OptionTexts& texts, int k, const std::string& text) {
    switch (k) {
        case 1:
            applySwitch(texts.logResults, text);
            break;
        case 2:
            texts.methodNumber = text;
            break;
        case 3:
            applySwitch(texts.computeBackground, text);
            break;
        case 4:
            texts.threshold = text;
            break;
        case 5:
            texts.promoterDistance = text;
            break;
        case 6:
            texts.inGeneDistance = text;
            break;
        case 7:
            applySwitch(texts.sortByScore, text);
            break;
        case 8:
            applySwitch(texts.removeRedundant, text);
            break;
        case 9:
            applySwitch(texts.literalCutOff, text);
            break;
        case 10:
            applySwitch(texts.integrative, text);
            break;
        case 11:
            texts.upLeft = text;
            break;
        case 12:
            texts.upRight = text;
            break;
        case 13:
            texts.downLeft = text;
            break;
        case 14:
            texts.downRight = text;
            break;
        case 15:
            texts.relaxation = text;
            break;
        case 16:
            texts.rescoringMethod = text;
            break;
        default:
            break;
    }
}

const char* flag(bool on) {
    return on ? "1" : "0";
}

}  // namespace

int readOptionValues(Options& options, std::istream& in) {
    return scanValues(in, [&](int k, const std::string& text) {
        applyRunValue(options, k, text);
        return true;
    });
}

bool readOptionsFile(Options& options, const std::string& path, RunLog& log) {
    log.writeLine("Reading options...");
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        log.writeLine("Options file could not be opened");
        return false;
    }
    return readOptionValues(options, in) >= kOptionCount;
}

OptionTexts factoryDefaults() {
    return OptionTexts();
}

std::string optionsFileText(const OptionTexts& t) {
    std::string s;
    auto block = [&s](const char* description, const std::string& value) {
        s += "\n\n";
        s += description;
        s += "\n\n$";
        s += value;
    };
    s += " OPTIONS:\n- 1 - Log results (1 - yes, 0 - no)\n\n$";
    s += flag(t.logResults);
    s += "\n\n- 2 - Method (1-8, see manual for details)\n";
    for (int m = 0; m < kMethodCount; ++m) {
        s += scoringMethods()[m].optionsFileLine;
        s += "\n";
    }
    s += "\n$" + t.methodNumber;
    block("- 3 - Background entropy  (0 - assumed to be 2, 1 - computed from genomic frequencies)",
          flag(t.computeBackground));
    block(
        "- 4 - Threshold (0..1 for normalized threshold (see option 8), any positive real number "
        "for non-normalized threshold)",
        t.threshold);
    block(
        "- 5 - Distance to promoter (upstream distance from gene ATG to consider found site an "
        "operator)",
        t.promoterDistance);
    block(
        "- 6 - Distance in-gene (intragenic distance from gene ATG to consider found site an "
        "operator)",
        t.inGeneDistance);
    block("- 7 - Sorting method for identified motifs (0 - by genomic position, 1 - by score)",
          flag(t.sortByScore));
    block(
        "- 8 - Remove redundant matches (0 - no, 1 - yes); whether to remove one of the "
        "instances of a match found in both strands",
        flag(t.removeRedundant));
    block(
        "- 9 - Literal cutoff (0 - no, 1 - yes); whether to use the threshold value as a "
        "relative (%) or literal cutoff value",
        flag(t.literalCutOff));
    block(
        "- 10 - Integrative factor (0 - no, 1 - yes); whether to use an integrative factor to "
        "weight scores",
        flag(t.integrative));
    block("- 11 - Further distance of current site to compute upstream mean (+/- X) -> [X,Y]",
          t.upLeft);
    block("- 12 - Closer distance of current site to compute upstream mean (+/- Y) -> [X,Y]",
          t.upRight);
    block("- 13 - Closer distance of current site to compute downstream mean (+/- I) -> [I,J]",
          t.downLeft);
    block("- 14 - Further distance of current site to compute downstream mean (+/- J) -> [I,J]",
          t.downRight);
    block("- 15 - Relaxation constant for cut-off in integrative mode (positive real value)",
          t.relaxation);
    block("- 16 - Method to re-score sites with integrative factor (1-3)", t.rescoringMethod);
    return s;
}

bool writeOptionsFile(const std::string& path, const OptionTexts& texts) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        return false;
    }
    out << optionsFileText(texts);
    out.close();
    return !out.fail();
}

int loadOptionTexts(std::istream& in, OptionTexts& texts) {
    int applied = 0;
    scanValues(in, [&](int k, const std::string& text) {
        if (text.empty()) {
            return false;
        }
        if (k <= kOptionCount) {
            applyFormValue(texts, k, text);
            applied = k;
        }
        return true;
    });
    return applied;
}

bool loadOptionTextsFile(const std::string& path, OptionTexts& texts) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    loadOptionTexts(in, texts);
    return true;
}

}  // namespace xoprex
