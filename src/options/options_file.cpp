#include "options/options_file.h"

#include <fstream>
#include <iterator>

#include "base/errors.h"
#include "base/output_file.h"
#include "options/option_table.h"

namespace xoprex {
namespace {

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

}  // namespace

int readOptionValues(Options& options, std::istream& in) {
    return scanValues(in, [&](int k, const std::string& text) {
        if (k <= kOptionCount) {
            applyRunValue(options, k, text);
        }
        return true;
    });
}

OptionsReading readOptionValuesFile(Options& options, const std::string& path) {
    OptionsReading reading;
    std::ifstream in(path, std::ios::binary);
    if (in) {
        reading.opened = true;
        reading.values = readOptionValues(options, in);
    }
    return reading;
}

std::vector<std::string> optionsReadingLines(const OptionsReading& reading) {
    std::vector<std::string> lines = {"Setting options to default...", "Reading options..."};
    if (!reading.opened) {
        lines.emplace_back("Options file could not be opened");
    }
    if (reading.complete()) {
        lines.emplace_back("Options read!");
        return lines;
    }
    lines.emplace_back("Setting options to default...");
    lines.emplace_back(
        "WARNING: options not read or read incorrectly. Running on default options.");
    return lines;
}

OptionTexts factoryDefaults() {
    return OptionTexts();
}

std::string optionsFileText(const OptionTexts& texts) {
    std::string s = " OPTIONS:\n";
    for (const OptionEntry& entry : optionTable()) {
        if (entry.number > 1) {
            s += "\n\n";
        }
        s += entry.description;
        if (entry.number == 2) {
            // The method's description lists the methods.
            for (int m = 0; m < kMethodCount; ++m) {
                s += '\n';
                s += scoringMethods()[m].optionsFileLine;
            }
        }
        s += "\n\n$";
        s += formValue(texts, entry.number);
    }
    return s;
}

void writeOptionsFile(const std::string& path, const OptionTexts& texts) {
    writeWholeFile(path, optionsFileText(texts));
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

void loadOptionTextsFile(const std::string& path, OptionTexts& texts) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw InputError(InputProblem::Unreadable, path, "Cannot open Options file " + path);
    }
    loadOptionTexts(in, texts);
}

}  // namespace xoprex
