// What the matrix readers share, internal to src/motif: words of a line,
// numbers, the line reader with its line numbers, the error raiser and the
// checks every finished matrix passes. Nothing here reads a format.
#pragma once

#include <array>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "motif/count_matrix.h"

namespace xoprex::matrix_formats {

inline constexpr std::string_view kBlank = " \t\r";

std::string_view trimmed(std::string_view text);
std::vector<std::string_view> words(std::string_view text);
// The text after the first `skip` words, trimmed.
std::string afterWords(std::string_view text, size_t skip);
// The first word ("" for a blank text).
std::string_view firstWord(std::string_view text);
bool startsWith(std::string_view text, std::string_view prefix);
// Whether the text begins like a number (a digit, '.', '+' or '-').
bool startsNumber(std::string_view text);
// Base index of a base letter in either case; -1 for anything else.
int baseOfLetter(std::string_view word);
std::string quoted(std::string_view text);

// Whether the whole word is a number (of any sign).
bool isNumber(std::string_view word);
// A finite number of at least 0, the whole word.
bool parseCount(std::string_view word, double& value);
bool parseWhole(std::string_view word, long& value);

// The count a probability stands for with `sites` sites: p x sites, the
// nearest whole number when it lies within 1e-3 of one.
double probabilityCount(double probability, double sites);

// The messages of a word that is not a count (a number of at least 0) or
// not a probability (from 0 to 1); a negative number is named as a sign of
// a log-odds or weight matrix, which is not read.
std::string notACount(std::string_view word);
std::string notAProbability(std::string_view word);

// Raises the input's format errors: InputError of kind Format,
// "Incorrect matrix file! - NAME, line N: PROBLEM".
class Problems {
  public:
    explicit Problems(const std::string& name) : name_(name) {}

    [[noreturn]] void at(size_t line, const std::string& problem) const;
    [[noreturn]] void whole(const std::string& problem) const;

  private:
    const std::string& name_;
};

// Lines with their numbers; keep() hands the current line out once more.
class Lines {
  public:
    explicit Lines(std::istream& in) : in_(in) {}

    bool next();
    // The next line that is not blank.
    bool nextFilled();
    void keep() { kept_ = true; }
    std::string_view text() const { return trimmed(line_); }
    size_t number() const { return number_; }

  private:
    std::istream& in_;
    std::string line_;
    size_t number_ = 0;
    bool kept_ = false;
};

// A finished matrix must have a column, and every column must count
// something, and not beyond what a double holds (`line` is the matrix's
// first line).
void checkColumns(const CountMatrix& matrix, size_t line, const Problems& problems);

}  // namespace xoprex::matrix_formats
