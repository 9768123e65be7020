#include "base/number_format.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace xoprex {
namespace {

bool appendNonFinite(std::string& out, double value) {
    if (std::isnan(value)) {
        out += "nan";
        return true;
    }
    if (std::isinf(value)) {
        out += value < 0 ? "-inf" : "inf";
        return true;
    }
    return false;
}

// A value rounded to a number of significant digits: digits[0 .. count)
// without sign, point or trailing zeros of the fraction, and the decimal
// exponent of the rounded value.
struct Rounded {
    char digits[64];
    size_t count = 0;
    int exponent = 0;
};

// Any precision: the library's correctly rounded scientific conversion.
void roundByConversion(double magnitude, int precision, Rounded& rounded) {
    char sci[64];
    const std::to_chars_result converted = std::to_chars(
        sci, sci + sizeof sci - 1, magnitude, std::chars_format::scientific, precision - 1);
    *converted.ptr = '\0';  // to_chars does not terminate; atoi below needs it
    const char* e = std::find(sci, converted.ptr, 'e');
    rounded.exponent = std::atoi(e + 1);
    rounded.count = 0;
    for (const char* p = sci; p < e; ++p) {
        if (*p != '.') {
            rounded.digits[rounded.count++] = *p;
        }
    }
}

using Wide = unsigned __int128;

constexpr int kMaxScaledPrecision = 17;  // 10^17 < 2^64
constexpr int kMaxScale = 22;            // 2^53 * 10^22 < 2^128
constexpr std::array<Wide, kMaxScale + 1> kPowersOfTen = [] {
    std::array<Wide, kMaxScale + 1> powers{};
    powers[0] = 1;
    for (size_t k = 1; k < powers.size(); ++k) {
        powers[k] = powers[k - 1] * 10;
    }
    return powers;
}();

constexpr std::array<char, 200> kDigitPairs = [] {
    std::array<char, 200> pairs{};
    for (size_t k = 0; k < 100; ++k) {
        pairs[2 * k] = static_cast<char>('0' + k / 10);
        pairs[2 * k + 1] = static_cast<char>('0' + k % 10);
    }
    return pairs;
}();

// Writes the `count` (<= 9) low decimal digits of value, two at a time.
void writeLowDigits(uint64_t value, int count, char* out) {
    int k = count;
    for (; k >= 2; k -= 2) {
        std::memcpy(out + k - 2, &kDigitPairs[2 * (value % 100)], 2);
        value /= 100;
    }
    if (k == 1) {
        out[0] = static_cast<char>('0' + value % 10);
    }
}

// The `count` (<= 17) decimal digits of value, leading zeros included. The
// upper and lower eight digits are independent, so their divisions overlap.
void writeDigits(uint64_t value, int count, char* out) {
    if (count <= 8) {
        writeLowDigits(value, count, out);
        return;
    }
    writeLowDigits(value / 100000000, count - 8, out);
    writeLowDigits(value % 100000000, 8, out + count - 8);
}

// Precisions up to 17 for normal magnitudes from about 1e-5 to 10^precision:
// magnitude = m / 2^s exactly, so magnitude * 10^k = m * 10^k / 2^s is
// rounded to a whole number (ties to even) in 128-bit integers, the same
// result as the library's conversion at a fraction of its cost. False when
// the value lies outside that range.
bool roundByScaling(double magnitude, int precision, Rounded& rounded) {
    const uint64_t bits = std::bit_cast<uint64_t>(magnitude);
    const int biased = static_cast<int>(bits >> 52);
    const int shift = 1075 - biased;  // magnitude = m / 2^shift
    if (precision > kMaxScaledPrecision || biased == 0 || shift <= 0 || shift > 120) {
        return false;
    }
    const uint64_t m = (bits & ((uint64_t{1} << 52) - 1)) | (uint64_t{1} << 52);
    // floor(log10(2^(biased - 1023))): the decimal exponent or one below it.
    int exponent = ((biased - 1023) * 78913) >> 18;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int scale = precision - 1 - exponent;
        if (scale < 0 || scale > kMaxScale) {
            return false;
        }
        const Wide scaled = static_cast<Wide>(m) * kPowersOfTen[static_cast<size_t>(scale)];
        const Wide whole = scaled >> shift;
        if (whole >= kPowersOfTen[static_cast<size_t>(precision)]) {
            ++exponent;
            continue;
        }
        if (whole < kPowersOfTen[static_cast<size_t>(precision - 1)]) {
            --exponent;
            continue;
        }
        const Wide rest = scaled - (whole << shift);
        const Wide half = Wide{1} << (shift - 1);
        uint64_t value = static_cast<uint64_t>(whole);
        if (rest > half || (rest == half && (value & 1) != 0)) {
            ++value;
        }
        if (value == kPowersOfTen[static_cast<size_t>(precision)]) {
            value = static_cast<uint64_t>(kPowersOfTen[static_cast<size_t>(precision - 1)]);
            ++exponent;  // rounding carried into the next decade
        }
        writeDigits(value, precision, rounded.digits);
        rounded.count = static_cast<size_t>(precision);
        rounded.exponent = exponent;
        return true;
    }
    return false;
}

// General notation of a rounded value: scientific below 1e-4 and from
// 10^precision up, plain otherwise. Returns the end of the text.
char* writeRounded(char* buf, const Rounded& rounded, bool negative, int precision,
                   int exponentDigits = 3) {
    const char* digits = rounded.digits;
    size_t count = rounded.count;
    const int exponent = rounded.exponent;
    while (count > 1 && digits[count - 1] == '0') {
        --count;  // trailing zeros of the fraction
    }
    size_t length = 0;
    if (negative) {
        buf[length++] = '-';
    }
    if (exponent < -4 || exponent >= precision) {
        buf[length++] = digits[0];
        if (count > 1) {
            buf[length++] = '.';
            std::memcpy(buf + length, digits + 1, count - 1);
            length += count - 1;
        }
        buf[length++] = 'e';
        buf[length++] = exponent < 0 ? '-' : '+';
        const int magnitude = std::abs(exponent);
        if (magnitude >= 1000) {
            buf[length++] = static_cast<char>('0' + magnitude / 1000);
        }
        if (magnitude >= 100 || exponentDigits >= 3) {
            buf[length++] = static_cast<char>('0' + magnitude / 100 % 10);
        }
        buf[length++] = static_cast<char>('0' + magnitude / 10 % 10);
        buf[length++] = static_cast<char>('0' + magnitude % 10);
    } else if (exponent < 0) {
        buf[length++] = '0';
        buf[length++] = '.';
        for (int k = -1; k > exponent; --k) {
            buf[length++] = '0';
        }
        std::memcpy(buf + length, digits, count);
        length += count;
    } else {
        const size_t whole = static_cast<size_t>(exponent) + 1;
        for (size_t k = 0; k < whole; ++k) {
            buf[length++] = k < count ? digits[k] : '0';
        }
        if (count > whole) {
            buf[length++] = '.';
            std::memcpy(buf + length, digits + whole, count - whole);
            length += count - whole;
        }
    }
    return buf + length;
}

}  // namespace

namespace {

char* writeGeneralWith(char* at, double value, int precision, int exponentDigits) {
    if (std::isnan(value)) {
        return std::copy_n("nan", 3, at);
    }
    if (std::isinf(value)) {
        return value < 0 ? std::copy_n("-inf", 4, at) : std::copy_n("inf", 3, at);
    }
    if (value == 0.0) {
        // The common case of unused means.
        return std::signbit(value) ? std::copy_n("-0", 2, at) : std::copy_n("0", 1, at);
    }
    precision = std::clamp(precision, 1, kMaxScaledPrecision);
    // Rounded correctly to `precision` significant digits; the exponent of
    // the rounded value picks the notation, and both notations round at the
    // same digit.
    Rounded rounded;
    const double magnitude = std::fabs(value);
    if (!roundByScaling(magnitude, precision, rounded)) {
        roundByConversion(magnitude, precision, rounded);
    }
    return writeRounded(at, rounded, std::signbit(value), precision, exponentDigits);
}

}  // namespace

char* writeGeneral(char* at, double value, int precision) {
    return writeGeneralWith(at, value, precision, 3);
}

void appendGeneralC(std::string& out, double value, int precision) {
    char buf[kGeneralMaxLength];
    out.append(buf, writeGeneralWith(buf, value, std::min(precision, kMaxScaledPrecision), 2));
}

std::string formatGeneralC(double value, int precision) {
    std::string out;
    appendGeneralC(out, value, precision);
    return out;
}

void appendGeneral(std::string& out, double value, int precision) {
    if (precision > kMaxScaledPrecision && std::isfinite(value) && value != 0.0) {
        Rounded rounded;
        roundByConversion(std::fabs(value), precision, rounded);
        char buf[400];
        out.append(buf, writeRounded(buf, rounded, std::signbit(value), precision));
        return;
    }
    char buf[kGeneralMaxLength];
    out.append(buf, writeGeneral(buf, value, precision));
}

std::string formatGeneral(double value, int precision) {
    std::string out;
    appendGeneral(out, value, precision);
    return out;
}

std::string formatFixed(double value, int decimals, bool explicitSign) {
    std::string out;
    if (appendNonFinite(out, value)) {
        if (explicitSign && out[0] != '-') {
            out.insert(out.begin(), '+');
        }
        return out;
    }
    char buf[400];
    std::snprintf(buf, sizeof buf, explicitSign ? "%+.*f" : "%.*f", decimals, value);
    return buf;
}

}  // namespace xoprex
