// Number formatting shared by every text writer. General notation rounds to
// a number of significant digits, drops trailing zeros, and switches to an
// exponent below 1e-4 or from 10^precision up; exponents are always signed
// with at least three digits (9.51466e-008, 1e+006). Infinite and NaN values
// are spelled inf, -inf and nan.
#pragma once

#include <cstddef>
#include <string>

namespace xoprex {

// General notation with `precision` significant digits (precision >= 1).
std::string formatGeneral(double value, int precision = 6);

// Fixed notation with `decimals` digits after the point; with explicitSign a
// '+' precedes zero and positive values.
std::string formatFixed(double value, int decimals = 3, bool explicitSign = false);

// Appends without allocating a temporary (for hot writers).
void appendGeneral(std::string& out, double value, int precision = 6);
// The same with the exponent C's printf writes, signed with at least two
// digits (7.42148e-09, 1e+06), for the formats other programs read;
// precision up to 17.
void appendGeneralC(std::string& out, double value, int precision = 6);
std::string formatGeneralC(double value, int precision = 6);

// The longest text writeGeneral writes.
inline constexpr size_t kGeneralMaxLength = 32;
// Writes general notation at `at` and returns the end of the text; at most
// kGeneralMaxLength characters. Precision from 1 to 17 (others are clamped to
// that range).
char* writeGeneral(char* at, double value, int precision);

}  // namespace xoprex
