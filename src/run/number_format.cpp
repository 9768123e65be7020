#include "run/number_format.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace xoprex {
namespace {

// Removes trailing zeros after a decimal point, and the point itself when
// nothing follows it, from the text in buf[0, length).
size_t stripTrailingZeros(char* buf, size_t length) {
    if (std::memchr(buf, '.', length) == nullptr) {
        return length;
    }
    while (length > 0 && buf[length - 1] == '0') {
        --length;
    }
    if (length > 0 && buf[length - 1] == '.') {
        --length;
    }
    return length;
}

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
    if (precision < 1) {
        precision = 1;
    }
    // %e rounds correctly to `precision` significant digits; its exponent is
    // the decimal exponent of the rounded value, which picks the notation.
    char sci[64];
    std::snprintf(sci, sizeof sci, "%.*e", precision - 1, value);
    const char* e = std::strchr(sci, 'e');
    const int exponent = std::atoi(e + 1);

    char buf[400];
    size_t length;
    if (exponent < -4 || exponent >= precision) {
        length = stripTrailingZeros(sci, static_cast<size_t>(e - sci));
        std::memcpy(buf, sci, length);
        length += static_cast<size_t>(std::snprintf(buf + length, sizeof buf - length, "e%c%03d",
                                                    exponent < 0 ? '-' : '+', std::abs(exponent)));
    } else {
        const int decimals = precision - 1 - exponent;
        length = static_cast<size_t>(std::snprintf(buf, sizeof buf, "%.*f", decimals, value));
        length = stripTrailingZeros(buf, length);
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
