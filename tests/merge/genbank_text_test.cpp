#include "merge/genbank_text.h"

#include <gtest/gtest.h>

#include <string>

namespace xoprex {
namespace {

std::string shifted(const std::string& location, int64_t offset) {
    std::string out = "[";
    appendShiftedLocation(out, location, offset);
    return out;
}

TEST(ShiftedLocation, EveryCoordinateMovesAndTheStructureStays) {
    EXPECT_EQ(shifted("10..100", 1000), "[1010..1100");
    EXPECT_EQ(shifted("complement(20..50)", 1000), "[complement(1020..1050)");
    EXPECT_EQ(shifted("<1..>300", 1000), "[<1001..>1300");
    EXPECT_EQ(shifted("join(1..100,200..300)", 1000), "[join(1001..1100,1200..1300)");
    EXPECT_EQ(shifted("57", 1000), "[1057");
    EXPECT_EQ(shifted("5933^5934", 9609), "[15542^15543");
    EXPECT_EQ(shifted("complement(join(5..10,20..>30))", 7), "[complement(join(12..17,27..>37))");
    EXPECT_EQ(shifted("order(1436..1459,1619..1621)", 1), "[order(1437..1460,1620..1622)");
    EXPECT_EQ(shifted("complement(8091..>8357)", 9609), "[complement(17700..>17966)");
}

TEST(ShiftedLocation, NamesAndRemoteReferencesAreNotCoordinates) {
    EXPECT_EQ(shifted("join(J00194.1:100..202,1..50)", 10), "[join(J00194.1:100..202,11..60)");
    EXPECT_EQ(shifted("complement(AB_12:5..9)", 10), "[complement(AB_12:5..9)");
    EXPECT_EQ(shifted("join(1..2,X5:3..4,5..6)", 10), "[join(11..12,X5:3..4,15..16)");
}

TEST(ShiftedLocation, OffsetZeroAndOverlongNumbersCopyTheText) {
    EXPECT_EQ(shifted("007..0100", 0), "[007..0100");
    EXPECT_EQ(shifted("1234567890123456789..2", 1), "[1234567890123456789..3");
    EXPECT_EQ(shifted("", 5), "[");
}

TEST(LocusLength, LastDigitStaysInItsColumn) {
    const std::string line =
        "LOCUS       NC_005816               9609 bp    DNA     circular BCT 21-JUL-2008";
    EXPECT_EQ(withLocusLength(line, 19218),
              "LOCUS       NC_005816              19218 bp    DNA     circular BCT 21-JUL-2008");
    EXPECT_EQ(withLocusLength(line, 7),
              "LOCUS       NC_005816                  7 bp    DNA     circular BCT 21-JUL-2008");
    EXPECT_EQ(withLocusLength(line, 9609), line);
}

TEST(LocusLength, ALongerNumberKeepsOneBlankAfterTheName) {
    EXPECT_EQ(withLocusLength("LOCUS       ABCDEFGHIJKLMNOPQRSTUVW 9609 bp DNA", 12345678),
              "LOCUS       ABCDEFGHIJKLMNOPQRSTUVW 12345678 bp DNA");
}

TEST(LocusLength, LineWithoutALengthIsUnchanged) {
    EXPECT_EQ(withLocusLength("LOCUS", 10), "LOCUS");
    EXPECT_EQ(withLocusLength("LOCUS       NAME", 10), "LOCUS       NAME");
    EXPECT_EQ(withLocusLength("LOCUS       NAME  x bp", 10), "LOCUS       NAME  x bp");
    EXPECT_EQ(withLocusLength("LOCUS       NAME  12 bpx", 10), "LOCUS       NAME  12 bpx");
    EXPECT_EQ(withLocusLength("LOCUS       NAME  12 bp", 100), "LOCUS       NAME 100 bp");
}

TEST(SectionWord, WholeWordAtTheStartOnly) {
    EXPECT_TRUE(startsWithWord("ORIGIN", "ORIGIN"));
    EXPECT_TRUE(startsWithWord("ORIGIN      ", "ORIGIN"));
    EXPECT_FALSE(startsWithWord(" ORIGIN", "ORIGIN"));
    EXPECT_FALSE(startsWithWord("ORIGINAL", "ORIGIN"));
    EXPECT_FALSE(startsWithWord("ORIG", "ORIGIN"));
}

}  // namespace
}  // namespace xoprex
