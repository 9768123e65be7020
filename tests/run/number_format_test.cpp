#include "run/number_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <regex>

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
