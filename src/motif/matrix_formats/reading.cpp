#include "motif/matrix_formats/reading.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <system_error>

#include "base/errors.h"
#include "base/text_lines.h"

namespace xoprex::matrix_formats {
namespace {

// A count this close to a whole number is that number.
constexpr double kWholeCountTolerance = 1e-3;

}  // namespace

std::string_view trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(kBlank);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kBlank) - first + 1);
}

std::vector<std::string_view> words(std::string_view text) {
    std::vector<std::string_view> result;
    size_t at = text.find_first_not_of(kBlank);
    while (at != std::string_view::npos) {
        const size_t end = std::min(text.find_first_of(kBlank, at), text.size());
        result.push_back(text.substr(at, end - at));
        at = text.find_first_not_of(kBlank, end);
    }
    return result;
}

std::string afterWords(std::string_view text, size_t skip) {
    text = trimmed(text);
    for (size_t i = 0; i < skip && !text.empty(); ++i) {
        const size_t end = text.find_first_of(kBlank);
        text = end == std::string_view::npos ? std::string_view{} : trimmed(text.substr(end));
    }
    return std::string(text);
}

std::string_view firstWord(std::string_view text) {
    const std::vector<std::string_view> items = words(text);
    return items.empty() ? std::string_view{} : items.front();
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool startsNumber(std::string_view text) {
    return !text.empty() && (std::isdigit(static_cast<unsigned char>(text[0])) != 0 ||
                             text[0] == '.' || text[0] == '+' || text[0] == '-');
}

int baseOfLetter(std::string_view word) {
    if (word.size() != 1) {
        return -1;
    }
    switch (word[0]) {
        case 'A':
        case 'a':
            return 0;
        case 'C':
        case 'c':
            return 1;
        case 'G':
        case 'g':
            return 2;
        case 'T':
        case 't':
            return 3;
        default:
            return -1;
    }
}

std::string quoted(std::string_view text) {
    std::string result(1, '"');
    result.append(text);
    result += '"';
    return result;
}

bool isNumber(std::string_view word) {
    if (!word.empty() && word.front() == '+') {
        word.remove_prefix(1);
    }
    double value = 0.0;
    const char* end = word.data() + word.size();
    const auto [stop, error] = std::from_chars(word.data(), end, value);
    return !word.empty() && error == std::errc() && stop == end;
}

bool parseCount(std::string_view word, double& value) {
    if (!word.empty() && word.front() == '+') {
        word.remove_prefix(1);
    }
    const char* end = word.data() + word.size();
    const auto [stop, error] = std::from_chars(word.data(), end, value);
    if (word.empty() || error != std::errc() || stop != end || !std::isfinite(value) ||
        value < 0.0) {
        return false;
    }
    value += 0.0;  // -0 as +0
    return true;
}

bool parseWhole(std::string_view word, long& value) {
    const char* end = word.data() + word.size();
    const auto [stop, error] = std::from_chars(word.data(), end, value);
    return !word.empty() && error == std::errc() && stop == end;
}

double probabilityCount(double probability, double sites) {
    const double count = probability * sites;
    const double whole = std::round(count);
    return std::fabs(count - whole) <= kWholeCountTolerance ? whole : count;
}

namespace {

std::string negativeNote(std::string_view word) {
    double value = 0.0;
    const char* end = word.data() + word.size();
    const auto [stop, error] = std::from_chars(word.data(), end, value);
    const bool negative = error == std::errc() && stop == end && value < 0.0;
    return negative ? ": log-odds and weight matrices are not read; give counts or probabilities"
                    : "";
}

}  // namespace

std::string notACount(std::string_view word) {
    return quoted(word) + " is not a count (a number of at least 0)" + negativeNote(word);
}

std::string notAProbability(std::string_view word) {
    return quoted(word) + " is not a probability (a number from 0 to 1)" + negativeNote(word);
}

void Problems::at(size_t line, const std::string& problem) const {
    whole("line " + std::to_string(line) + ": " + problem);
}

void Problems::whole(const std::string& problem) const {
    throw InputError(InputProblem::Format, name_,
                     "Incorrect matrix file! - " + name_ + ", " + problem);
}

bool Lines::next() {
    if (kept_) {
        kept_ = false;
        return true;
    }
    if (!readTextLine(in_, line_)) {
        return false;
    }
    ++number_;
    return true;
}

bool Lines::nextFilled() {
    while (next()) {
        if (!text().empty()) {
            return true;
        }
    }
    return false;
}

void checkColumns(const CountMatrix& matrix, size_t line, const Problems& problems) {
    if (matrix.columns.empty()) {
        problems.at(line, "matrix " + quoted(matrix.id) + " has no column");
    }
    for (size_t l = 0; l < matrix.columns.size(); ++l) {
        const auto& n = matrix.columns[l];
        const double total = n[0] + n[1] + n[2] + n[3];
        if (!(total > 0.0) || !std::isfinite(total)) {
            problems.at(line, "matrix " + quoted(matrix.id) +
                                  (total > 0.0 ? " counts beyond any number" : " counts nothing") +
                                  " at position " + std::to_string(l + 1));
        }
    }
}

}  // namespace xoprex::matrix_formats
