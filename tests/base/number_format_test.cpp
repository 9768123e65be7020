#include "base/number_format.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <regex>
#include <string>
#include <vector>

using xoprex::formatFixed;
using xoprex::formatGeneral;

TEST(NumberFormat, GeneralNotationWithSixDigits) {
    EXPECT_EQ(formatGeneral(12), "12");
    EXPECT_EQ(formatGeneral(2.5), "2.5");
    EXPECT_EQ(formatGeneral(0.8), "0.8");
    EXPECT_EQ(formatGeneral(37.0), "37");
    EXPECT_EQ(formatGeneral(0.0), "0");
    EXPECT_EQ(formatGeneral(-0.0, 14), "-0");  // as the C library's %g writes it
    EXPECT_EQ(formatGeneral(-3.0), "-3");
    EXPECT_EQ(formatGeneral(1234567), "1.23457e+006");
    EXPECT_EQ(formatGeneral(1e6), "1e+006");
    EXPECT_EQ(formatGeneral(999999), "999999");
    EXPECT_EQ(formatGeneral(9.51466e-8), "9.51466e-008");
    EXPECT_EQ(formatGeneral(2.0 - 2.0 * 0.9999999524267069), "9.51466e-008");
    EXPECT_EQ(formatGeneral(0.00001234), "1.234e-005");
    EXPECT_EQ(formatGeneral(0.0001), "0.0001");
    EXPECT_EQ(formatGeneral(0.00009999), "9.999e-005");
    EXPECT_EQ(formatGeneral(1e-300), "1e-300");
    EXPECT_EQ(formatGeneral(static_cast<double>(0.8f)), "0.8");
}

TEST(NumberFormat, RoundingCrossesIntoTheNextDecade) {
    // Rounding to six digits decides the notation, not the raw exponent.
    EXPECT_EQ(formatGeneral(9.999995), "10");
    EXPECT_EQ(formatGeneral(999999.5), "1e+006");
    EXPECT_EQ(formatGeneral(0.000099999996), "0.0001");
    EXPECT_EQ(formatGeneral(7.4282700001e-9), "7.42827e-009");
}

TEST(NumberFormat, FourteenDigitsForHitRows) {
    EXPECT_EQ(formatGeneral(3.965784284662087, 14), "3.9657842846621");
    EXPECT_EQ(formatGeneral(7.25, 14), "7.25");
    EXPECT_EQ(formatGeneral(12345678901234.0, 14), "12345678901234");
    EXPECT_EQ(formatGeneral(123456789012345.0, 14), "1.2345678901234e+014");
    EXPECT_EQ(formatGeneral(-47, 14), "-47");
}

TEST(NumberFormat, ThreeDigitsAndFixed) {
    EXPECT_EQ(formatGeneral(2.0, 3), "2");
    EXPECT_EQ(formatGeneral(1234.0, 3), "1.23e+003");
    EXPECT_EQ(formatFixed(2.0), "2.000");
    EXPECT_EQ(formatFixed(0.8f), "0.800");
    EXPECT_EQ(formatFixed(4.2174, 3, true), "+4.217");
    EXPECT_EQ(formatFixed(0.0, 3, true), "+0.000");
    EXPECT_EQ(formatFixed(-1.5, 3, true), "-1.500");
    EXPECT_EQ(formatFixed(12.5, 3, true), "+12.500");
}

TEST(NumberFormat, NonFiniteValuesAreSpelledOut) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(formatGeneral(inf, 14), "inf");
    EXPECT_EQ(formatGeneral(-inf), "-inf");
    EXPECT_EQ(formatGeneral(std::nan("")), "nan");
    EXPECT_EQ(formatFixed(inf, 3, true), "+inf");
    EXPECT_EQ(formatFixed(-inf, 3, true), "-inf");
}

TEST(NumberFormat, AppendGeneralAddsToTheBuffer) {
    std::string out = "Score,";
    xoprex::appendGeneral(out, 0.5, 14);
    EXPECT_EQ(out, "Score,0.5");
}

// The C library's %g follows the same notation rules but writes exponents
// with two digits; widened to three it must agree on every value.
TEST(NumberFormat, AgreesWithPrintfGeneralNotation) {
    std::mt19937_64 rng(2026);
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    std::uniform_int_distribution<int> exponent(-12, 12);
    const std::regex twoDigitExponent("e([+-])([0-9][0-9])$");
    for (int i = 0; i < 50000; ++i) {
        double value = mantissa(rng) * std::pow(10.0, exponent(rng));
        if (i % 3 == 0) {
            value = std::round(value * 1e6) / 1e6;  // many values on rounding edges
        }
        for (int precision : {3, 6, 14}) {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%.*g", precision, value);
            const std::string expected = std::regex_replace(buf, twoDigitExponent, "e$010$2");
            ASSERT_EQ(formatGeneral(value, precision), expected) << buf;
        }
    }
}

namespace {

// %g with its exponent widened to three digits: the reference for every
// precision.
std::string printfGeneral(double value, int precision) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*g", precision, value);
    std::string text = buf;
    const size_t e = text.find('e');
    if (e != std::string::npos && text.size() - e == 4) {
        text.insert(e + 2, "0");
    }
    return text;
}

}  // namespace

// Values whose rounding is hardest to get right: exact halfway cases (which
// go to the even digit), neighbours of powers of ten, carries into the next
// decade, and the magnitudes where the fast integer rounding hands over to
// the library conversion.
TEST(NumberFormat, AgreesWithPrintfOnEdgesAtEveryPrecision) {
    std::vector<double> values;
    for (int e = -24; e <= 24; ++e) {
        const double power = std::pow(10.0, e);
        values.push_back(power);
        values.push_back(std::nextafter(power, 0.0));
        values.push_back(std::nextafter(power, 1e300));
    }
    // Dyadic values with a final decimal 5: exact ties at some precision.
    for (int bits = 1; bits <= 60; ++bits) {
        values.push_back(std::ldexp(1.0, -bits));
        values.push_back(std::ldexp(3.0, -bits));
        values.push_back(1.0 + std::ldexp(1.0, -bits));
        values.push_back(std::ldexp(5.0, -bits) + 12.5);
    }
    for (double tie : {0.5, 1.5, 2.5, 0.125, 0.375, 1.0625, 9.5, 99.5, 999.5, 0.0009765625, 2.05,
                       8.5e-5, 1.00000000000005, 123456789012345.5, 9.99999999999995}) {
        values.push_back(tie);
    }
    for (double huge : {1e15, 9.999e16, 1.2345678901234567e17, 4.5e22, 1.7976931348623157e308}) {
        values.push_back(huge);
    }
    values.push_back(std::numeric_limits<double>::denorm_min());
    values.push_back(std::numeric_limits<double>::min());
    values.push_back(2.2250738585072014e-309);
    std::mt19937_64 rng(7);
    for (int i = 0; i < 5000; ++i) {
        // Random bit patterns over the whole range of finite doubles.
        double value = std::bit_cast<double>(rng() & 0x7FEFFFFFFFFFFFFFull);
        values.push_back(value);
        values.push_back(std::ldexp(value, -std::ilogb(value) + static_cast<int>(rng() % 40) - 20));
    }
    for (const double magnitude : values) {
        for (const double value : {magnitude, -magnitude}) {
            for (int precision = 1; precision <= 17; ++precision) {
                ASSERT_EQ(formatGeneral(value, precision), printfGeneral(value, precision))
                    << std::hexfloat << value << " at precision " << precision;
            }
        }
    }
}

TEST(NumberFormat, WriteGeneralStaysWithinItsRoom) {
    for (double value : {-1.2345678901234567e-300, -1.2345678901234567e-5, -1.2345678901234567e16,
                         -0.00012345678901234567}) {
        char buf[xoprex::kGeneralMaxLength + 1];
        char* end = xoprex::writeGeneral(buf, value, 17);
        EXPECT_LE(static_cast<size_t>(end - buf), xoprex::kGeneralMaxLength);
        EXPECT_EQ(std::string(buf, static_cast<size_t>(end - buf)), printfGeneral(value, 17));
    }
}
