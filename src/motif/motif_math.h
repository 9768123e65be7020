// Information quantities shared by the model and the scoring methods.
// Keeping them in one place makes the model's R and E and the scoring's R'
// and E' the same function, so a window that leaves a position's frequencies
// unchanged gives R' - R = 0 exactly.
// Internal to src/motif.
#pragma once

#include <array>
#include <cmath>

#include "motif/site_collection.h"

namespace xoprex::motif_detail {

// Base-2 logarithm in the program's bits: log10(x) / lambda.
inline double log2Bits(double x) {
    return std::log10(x) / kLambda;
}

// Zero-probability guard for a background probability used as a divisor
// (RE, E' and Iseq). A composition background can hold p(b) = 0 when the
// sequence lacks a base pair; the formula would then divide by 0 and give
// infinity. The divisor is taken as epsilon (1e-100) instead, the same
// epsilon the model adds to every frequency. Any positive p is used as it is,
// so results with a normal background are unchanged bit for bit. With a zero
// p the terms stay finite: (f + eps) * log2((f + eps) / eps) is 0 for f = 0
// and at most about 332 bits for f = 1.
inline double guardedProbability(double p) {
    return p > 0.0 ? p : kEpsilon;
}

// H + sum over b of (f(b) + eps) * log2(f(b) + eps).
inline double informationContent(const std::array<double, 4>& f, double entropy) {
    double sum = 0.0;
    for (int b = 0; b < 4; ++b) {
        const double fe = f[b] + kEpsilon;
        sum += fe * log2Bits(fe);
    }
    return entropy + sum;
}

// sum over b of (f(b) + eps) * log2((f(b) + eps) / p(b)).
inline double relativeEntropyOf(const std::array<double, 4>& f, const std::array<double, 4>& p) {
    double sum = 0.0;
    for (int b = 0; b < 4; ++b) {
        const double fe = f[b] + kEpsilon;
        sum += fe * log2Bits(fe / guardedProbability(p[b]));
    }
    return sum;
}

}  // namespace xoprex::motif_detail
