// The three letter tables of the motif model and the scoring methods, as
// 256-entry lookups indexed by the byte value of an upper-case letter:
//   - countWeights: the weights a letter adds when the collection or a
//     sequence is counted (three-base codes 0.33 as a float, unknown letters
//     nothing);
//   - windowFrequency: F_l(x), a window letter's frequency looked up in a
//     position's frequencies (U as T, N and unknown letters 0.25);
//   - siteWeights: d(b), a window letter added as one more site (three-base
//     codes 0.333 as a float, every letter outside the table 0.25 each).
// Internal to src/motif.
#pragma once

#include <array>

namespace xoprex::motif_detail {

// 0.33 and 0.333 rounded to single precision, widened to double.
inline constexpr double kThreeBaseCountWeight = 0.33000001311302185;
inline constexpr double kThreeBaseSiteWeight = 0.3330000042915344;

// Base index A=0, C=1, G=2, T=3.
using Weights = std::array<double, 4>;

struct LetterWeights {
    std::array<Weights, 256> byByte{};
};

// How a window letter's frequency is formed from the four frequencies:
// the mean of the bases named by `mask` (bit b set for base b), or the
// constant 0.25 when mask is 0.
struct LetterMask {
    std::array<unsigned char, 256> byByte{};
};

namespace table_detail {

constexpr unsigned char maskOf(unsigned char letter) {
    switch (letter) {
        case 'A':
            return 0x1;
        case 'C':
            return 0x2;
        case 'G':
            return 0x4;
        case 'T':
            return 0x8;
        case 'M':
            return 0x1 | 0x2;
        case 'R':
            return 0x1 | 0x4;
        case 'W':
            return 0x1 | 0x8;
        case 'S':
            return 0x2 | 0x4;
        case 'Y':
            return 0x2 | 0x8;
        case 'K':
            return 0x4 | 0x8;
        case 'B':
            return 0x2 | 0x4 | 0x8;
        case 'D':
            return 0x1 | 0x4 | 0x8;
        case 'H':
            return 0x1 | 0x2 | 0x8;
        case 'V':
            return 0x1 | 0x2 | 0x4;
        case 'N':
            return 0xF;
        default:
            return 0;
    }
}

constexpr int bitCount(unsigned char mask) {
    return (mask & 1) + ((mask >> 1) & 1) + ((mask >> 2) & 1) + ((mask >> 3) & 1);
}

constexpr Weights spread(unsigned char mask, double weight) {
    Weights w{};
    for (int b = 0; b < 4; ++b) {
        w[b] = (mask >> b) & 1 ? weight : 0.0;
    }
    return w;
}

// Single bases weigh 1, two-base codes 0.5 per base, three-base codes
// `threeBase` per base. The letter N spreads 0.25 over the four bases; every
// other letter does too when `spreadUnknown`, and counts nothing otherwise.
constexpr LetterWeights makeWeights(double threeBase, bool spreadUnknown) {
    LetterWeights table{};
    for (int c = 0; c < 256; ++c) {
        const unsigned char mask = maskOf(static_cast<unsigned char>(c));
        const int bases = bitCount(mask);
        if (bases == 1 || bases == 2 || bases == 3) {
            table.byByte[c] = spread(mask, bases == 1 ? 1.0 : bases == 2 ? 0.5 : threeBase);
        } else if (bases == 4 || spreadUnknown) {
            table.byByte[c] = spread(0xF, 0.25);
        }
    }
    return table;
}

constexpr LetterMask makeFrequencyMasks() {
    LetterMask table{};
    for (int c = 0; c < 256; ++c) {
        unsigned char mask = maskOf(static_cast<unsigned char>(c));
        if (c == 'U') {
            mask = 0x8;  // U reads the frequency of T
        }
        if (mask == 0xF) {
            mask = 0;  // N takes the constant 0.25 like unknown letters
        }
        table.byByte[c] = mask;
    }
    return table;
}

}  // namespace table_detail

inline constexpr LetterWeights kCountWeights =
    table_detail::makeWeights(kThreeBaseCountWeight, false);
inline constexpr LetterWeights kSiteWeights = table_detail::makeWeights(kThreeBaseSiteWeight, true);
inline constexpr LetterMask kFrequencyMasks = table_detail::makeFrequencyMasks();

// F_l(x), a window letter's frequency, for the frequencies f (A, C, G, T) of one position.
inline double windowFrequency(const std::array<double, 4>& f, unsigned char letter) {
    switch (kFrequencyMasks.byByte[letter]) {
        case 0x1:
            return f[0];
        case 0x2:
            return f[1];
        case 0x4:
            return f[2];
        case 0x8:
            return f[3];
        case 0x1 | 0x2:
            return (f[0] + f[1]) * 0.5;
        case 0x1 | 0x4:
            return (f[0] + f[2]) * 0.5;
        case 0x1 | 0x8:
            return (f[0] + f[3]) * 0.5;
        case 0x2 | 0x4:
            return (f[1] + f[2]) * 0.5;
        case 0x2 | 0x8:
            return (f[1] + f[3]) * 0.5;
        case 0x4 | 0x8:
            return (f[2] + f[3]) * 0.5;
        case 0x2 | 0x4 | 0x8:
            return (f[1] + f[2] + f[3]) / 3;
        case 0x1 | 0x4 | 0x8:
            return (f[0] + f[2] + f[3]) / 3;
        case 0x1 | 0x2 | 0x8:
            return (f[0] + f[1] + f[3]) / 3;
        case 0x1 | 0x2 | 0x4:
            return (f[0] + f[1] + f[2]) / 3;
        default:
            return 0.25;
    }
}

// Base index of A, C, G, T; -1 for every other byte.
inline int baseIndex(unsigned char letter) {
    switch (letter) {
        case 'A':
            return 0;
        case 'C':
            return 1;
        case 'G':
            return 2;
        case 'T':
            return 3;
        default:
            return -1;
    }
}

}  // namespace xoprex::motif_detail
