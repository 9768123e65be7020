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

constexpr LetterWeights makeCountWeights() {
    LetterWeights table{};
    for (int c = 0; c < 256; ++c) {
        const unsigned char mask = maskOf(static_cast<unsigned char>(c));
        switch (bitCount(mask)) {
            case 1:
                table.byByte[c] = spread(mask, 1.0);
                break;
            case 2:
                table.byByte[c] = spread(mask, 0.5);
                break;
            case 3:
                table.byByte[c] = spread(mask, kThreeBaseCountWeight);
                break;
            case 4:
                table.byByte[c] = spread(mask, 0.25);
                break;
            default:
                break;  // nothing is counted
        }
    }
    return table;
}

constexpr LetterWeights makeSiteWeights() {
    LetterWeights table{};
    for (int c = 0; c < 256; ++c) {
        const unsigned char mask = maskOf(static_cast<unsigned char>(c));
        switch (bitCount(mask)) {
            case 1:
                table.byByte[c] = spread(mask, 1.0);
                break;
            case 2:
                table.byByte[c] = spread(mask, 0.5);
                break;
            case 3:
                table.byByte[c] = spread(mask, kThreeBaseSiteWeight);
                break;
            default:
                table.byByte[c] = spread(0xF, 0.25);
                break;  // N, U, anything else
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

inline constexpr LetterWeights kCountWeights = table_detail::makeCountWeights();
inline constexpr LetterWeights kSiteWeights = table_detail::makeSiteWeights();
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
