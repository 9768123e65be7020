#include "run/number_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
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

}  // namespace

void appendGeneral(std::string& out, double value, int precision) {
    if (appendNonFinite(out, value)) {
        return;
    }
    if (value == 0.0) {
        out += std::signbit(value) ? "-0" : "0";  // the common case of unused means
        return;
    }
    if (precision < 1) {
        precision = 1;
    }
    // Scientific form rounded correctly to `precision` significant digits;
    // its exponent is the decimal exponent of the rounded value, which picks
    // the notation. Both notations round at the same digit, so the plain form
    // is built by moving the decimal point within those digits.
    char sci[64];
    const std::to_chars_result converted = std::to_chars(
        sci, sci + sizeof sci - 1, value, std::chars_format::scientific, precision - 1);
    *converted.ptr = '\0';  // to_chars does not terminate; atoi below needs it
    const char* e = std::find(sci, converted.ptr, 'e');
    const int exponent = std::atoi(e + 1);
    const bool negative = sci[0] == '-';
    // The significant digits without sign and point.
    char digits[64];
    size_t count = 0;
    for (const char* p = sci + (negative ? 1 : 0); p < e; ++p) {
        if (*p != '.') {
            digits[count++] = *p;
        }
    }
    while (count > 1 && digits[count - 1] == '0') {
        --count;  // trailing zeros of the fraction
    }

    char buf[400];
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
        buf[length++] = static_cast<char>('0' + magnitude / 100 % 10);
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
    out.append(buf, length);
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
