// The reverse complement against the letter rule applied byte by byte, on
// texts of every length around the 64-byte blocks, with and without bytes
// that have no complement (which are dropped wherever they fall).
#include "scan/reverse_complement.h"

#include <gtest/gtest.h>

#include "base/cpu_features.h"
#include "scan/detail/simd.h"

#include <random>
#include <string>

namespace xoprex {
namespace {

std::string byRule(const std::string& text) {
    std::string out;
    for (size_t i = text.size(); i-- > 0;) {
        const char c = complementOf(static_cast<unsigned char>(text[i]));
        if (c != '\0') {
            out += c;
        }
    }
    return out;
}

TEST(ReverseComplement, LettersOfTheTable) {
    EXPECT_EQ(reverseComplementText("ACGTBVDHKMRYSWNX"), "NXWSRYKMDHBVACGT");
    EXPECT_EQ(reverseComplementText("ACgt-1N"), "XGT");
    EXPECT_EQ(complementOf('u'), '\0');
}

TEST(ReverseComplement, BlocksAgreeWithTheByteRule) {
    std::mt19937_64 random(11);
    const std::string letters = "ACGTACGTACGTNBVDHKMRYSWX";
    for (size_t length = 0; length < 400; ++length) {
        for (int variant = 0; variant < 3; ++variant) {
            std::string text(length, 'A');
            for (char& c : text) {
                c = letters[random() % letters.size()];
            }
            // Variant 1: a few bytes of any value; variant 2: many.
            const size_t odd = variant == 0 ? 0 : variant == 1 ? 2 : length / 3;
            for (size_t k = 0; k < odd && length > 0; ++k) {
                text[random() % length] = static_cast<char>(random() % 256);
            }
            ASSERT_EQ(reverseComplementText(text), byRule(text)) << length << " " << variant;
            std::string inPlace = text;
            reverseComplementInPlace(inPlace);
            ASSERT_EQ(inPlace, byRule(text)) << length << " " << variant;
            ASSERT_EQ(fullyComplementable(text.data(), text.size()),
                      byRule(text).size() == text.size())
                << length << " " << variant;
        }
    }
    // A long text crossing several 4096-byte output buffers.
    std::string text(100000, 'A');
    for (char& c : text) {
        c = letters[random() % letters.size()];
    }
    text[70000] = 'a';
    EXPECT_EQ(reverseComplementText(text), byRule(text));
    // In place: the same text, and the storage (with its room) is kept.
    text.reserve(text.size() + 1000);
    const char* storage = text.data();
    const std::string expected = byRule(text);
    reverseComplementInPlace(text);
    EXPECT_EQ(text, expected);
    EXPECT_EQ(text.data(), storage);
}

// The AVX2 check of a block's letters: every byte value, at every place of
// a block of bases.
TEST(ReverseComplement, Avx2BlockCheckAgreesWithTheTable) {
    if (!cpuSupports(InstructionSet::Avx2)) {
        GTEST_SKIP() << "no AVX2";
    }
    for (int byte = 0; byte < 256; ++byte) {
        const bool complemented = complementOf(static_cast<unsigned char>(byte)) != '\0';
        for (size_t at = 0; at < 32; at += 7) {
            std::string text(70, 'T');
            text[32 + at] = static_cast<char>(byte);
            ASSERT_EQ(scan_detail::simd::complementableBlocks256(text.data(), text.size()),
                      complemented ? 64u : 32u)
                << byte << " at " << at;
        }
    }
}

}  // namespace
}  // namespace xoprex
