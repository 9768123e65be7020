#include "merge/genbank_text.h"

#include <charconv>

namespace xoprex {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool isNameChar(char c) {
    return isLetter(c) || isDigit(c) || c == '_';
}

// Longest digit run read as a coordinate; longer runs are copied unchanged.
constexpr size_t kMaxCoordinateDigits = 18;

void appendNumber(std::string& out, uint64_t value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

}  // namespace

bool startsWithWord(std::string_view line, std::string_view word) {
    if (line.substr(0, word.size()) != word) {
        return false;
    }
    return line.size() == word.size() || line[word.size()] == ' ' || line[word.size()] == '\t';
}

void appendShiftedLocation(std::string& out, std::string_view location, int64_t offset) {
    bool remote = false;
    size_t i = 0;
    while (i < location.size()) {
        const char c = location[i];
        if (!isDigit(c)) {
            if (c == ':') {
                remote = true;
            } else if (c == ',' || c == ')') {
                remote = false;
            }
            out += c;
            ++i;
            continue;
        }
        size_t end = i;
        while (end < location.size() && isDigit(location[end])) {
            ++end;
        }
        const std::string_view digits = location.substr(i, end - i);
        const bool afterName = i > 0 && isNameChar(location[i - 1]);
        const bool beforeName =
            end < location.size() &&
            (isLetter(location[end]) || location[end] == '_' || location[end] == ':');
        if (offset == 0 || remote || afterName || beforeName ||
            digits.size() > kMaxCoordinateDigits) {
            out += digits;
        } else {
            uint64_t value = 0;
            std::from_chars(digits.data(), digits.data() + digits.size(), value);
            appendNumber(out, value + static_cast<uint64_t>(offset));
        }
        i = end;
    }
}

std::string withLocusLength(std::string_view locusLine, uint64_t length) {
    std::string line(locusLine);
    size_t unit = line.find(" bp", 5);
    while (unit != std::string::npos && unit + 3 < line.size() && line[unit + 3] != ' ') {
        unit = line.find(" bp", unit + 1);
    }
    if (unit == std::string::npos) {
        return line;
    }
    size_t start = unit;
    while (start > 0 && isDigit(line[start - 1])) {
        --start;
    }
    if (start == unit || start == 0 || line[start - 1] != ' ') {
        return line;
    }
    size_t fieldStart = start;  // first blank of the run before the number
    while (fieldStart > 0 && line[fieldStart - 1] == ' ') {
        --fieldStart;
    }
    std::string number;
    appendNumber(number, length);
    const size_t room = unit - fieldStart;
    const size_t blanks = number.size() < room ? room - number.size() : 1;
    return line.substr(0, fieldStart) + std::string(blanks, ' ') + number + line.substr(unit);
}

}  // namespace xoprex
