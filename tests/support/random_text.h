// Reproducible random texts for the tests: the letters of `alphabet` (or
// any byte) drawn one after the other from a seeded generator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>

namespace xoprex::testing {

inline std::string randomText(size_t length, std::string_view alphabet, uint64_t seed) {
    std::mt19937_64 random(seed);
    std::string text(length, '\0');
    for (char& c : text) {
        c = alphabet[random() % alphabet.size()];
    }
    return text;
}

// Every byte value, 0 and those above 127 included.
inline std::string randomBytes(size_t length, uint64_t seed) {
    std::mt19937_64 random(seed);
    std::string text(length, '\0');
    for (char& c : text) {
        c = static_cast<char>(random() % 256);
    }
    return text;
}

}  // namespace xoprex::testing
