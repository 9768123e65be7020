// The GenBank reader, with its CDS block, whole-location and joined
// qualifier rules.
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "seqio/sequence.h"
#include "seqio_test_support.h"

namespace xoprex::seqio_test {
namespace {

using GenBankTest = TempFolderTest;

const std::string kNoSequence = "No sequence read. Please check GenBank file!";
const std::string kNoLocus = "Invalid format for GenBank file. No LOCUS definition!";

const std::string kLocus =
    "LOCUS       TESTSEQ                  120 bp    DNA     linear   BCT 01-JAN-2000\n";
const std::string kHeader = kLocus +
                            "DEFINITION  A test record, two lines of\n"
                            "            definition.\n"
                            "ACCESSION   TEST0001\n"
                            "FEATURES             Location/Qualifiers\n"
                            "     source          1..120\n"
                            "                     /organism=\"Testus testus\"\n";
// 120 bases in two full ORIGIN lines.
const std::string kOrigin =
    "ORIGIN      \n"
    "        1 acgtacgtac gtacgtacgt acgtacgtac gtacgtacgt acgtacgtac gtacgtacgt\n"
    "       61 ttttggggcc ccaaaattgg ccaattggcc aattggccaa ttggccaatt ggccaattgg\n"
    "//\n";
const std::string kOriginBases =
    "ACGTACGTACGTACGTACGTACGTACGTACGTACGTACGTACGTACGTACGTACGTACGT"
    "TTTTGGGGCCCCAAAATTGGCCAATTGGCCAATTGGCCAATTGGCCAATTGGCCAATTGG";

// A record made of the header, the given feature lines and the ORIGIN block.
std::string record(const std::string& features) {
    return kHeader + features + kOrigin;
}

GeneRecord onlyGene(const std::string& features) {
    SequenceSet set = genBankFromText(record(features));
    EXPECT_EQ(set.records.size(), 1u);
    EXPECT_EQ(set.records[0].genes.size(), 1u);
    return set.records[0].genes.empty() ? GeneRecord{} : set.records[0].genes[0];
}

void expectGene(const GeneRecord& g, int32_t begin, int32_t end, bool sense,
                const std::string& locus, const std::string& gene, const std::string& product) {
    EXPECT_EQ(g.begin, begin);
    EXPECT_EQ(g.end, end);
    EXPECT_EQ(g.sense, sense);
    EXPECT_EQ(g.locus, locus);
    EXPECT_EQ(g.gene, gene);
    EXPECT_EQ(g.product, product);
}

TEST_F(GenBankTest, HeaderAndSequenceFillTheRecord) {
    SequenceSet set = genBankFromText(record(""));
    ASSERT_EQ(set.records.size(), 1u);
    const SequenceRecord& r = set.records[0];
    EXPECT_EQ(r.format, 'G');
    EXPECT_EQ(r.description, "A test record, two lines of");  // commas stay here
    EXPECT_EQ(r.sequence, kOriginBases);
    EXPECT_TRUE(r.genes.empty());
    EXPECT_EQ(r.backgroundEntropy, 2.0);
}

TEST_F(GenBankTest, DirectLocation) {
    GeneRecord g = onlyGene(
        "     CDS             190..255\n"
        "                     /gene=\"abcD\"\n"
        "                     /locus_tag=\"TT_0001\"\n"
        "                     /product=\"a protein\"\n");
    expectGene(g, 190, 255, true, "TT_0001", "abcD", "a protein");
}

TEST_F(GenBankTest, ComplementLocation) {
    GeneRecord g = onlyGene(
        "     CDS             complement(5683..6459)\n"
        "                     /gene=\"xyz\"\n"
        "                     /locus_tag=\"TT_0002\"\n"
        "                     /product=\"other protein\"\n");
    expectGene(g, 6459, 5683, false, "TT_0002", "xyz", "other protein");
}

TEST_F(GenBankTest, LocusTagOnTheFirstQualifierLine) {
    GeneRecord g = onlyGene(
        "     CDS             87..1109\n"
        "                     /locus_tag=\"YP_pPCP01\"\n"
        "                     /product=\"putative transposase\"\n");
    expectGene(g, 87, 1109, true, "YP_pPCP01", "", "putative transposase");
}

// The texts keep their commas; the results table and the gene log, whose
// fields commas separate, write them as full stops.
TEST_F(GenBankTest, GeneTextsKeepTheirCommas) {
    GeneRecord g = onlyGene(
        "     CDS             1..90\n"
        "                     /gene=\"ab,c\"\n"
        "                     /locus_tag=\"T,1\"\n"
        "                     /product=\"2,3-dihydroxybiphenyl 1,2-dioxygenase, small\"\n");
    expectGene(g, 1, 90, true, "T,1", "ab,c", "2,3-dihydroxybiphenyl 1,2-dioxygenase, small");
}

TEST_F(GenBankTest, JoinTakesTheOuterCoordinates) {
    GeneRecord g = onlyGene(
        "     CDS             join(12..80,90..200)\n"
        "                     /product=\"joined\"\n");
    expectGene(g, 12, 200, true, "", "", "joined");
}

TEST_F(GenBankTest, ComplementOfAJoin) {
    GeneRecord g = onlyGene("     CDS             complement(join(5..10,20..30))\n");
    expectGene(g, 30, 5, false, "", "", "");
}

TEST_F(GenBankTest, JoinOfComplements) {
    GeneRecord g = onlyGene("     CDS             join(complement(50..60),complement(10..20))\n");
    expectGene(g, 60, 10, false, "", "", "");
}

TEST_F(GenBankTest, PartialLocations) {
    expectGene(onlyGene("     CDS             <1..206\n"), 1, 206, true, "", "", "");
    expectGene(onlyGene("     CDS             1..>206\n"), 1, 206, true, "", "", "");
    expectGene(onlyGene("     CDS             complement(<3..>99)\n"), 99, 3, false, "", "", "");
    expectGene(onlyGene("     CDS             order(7..9,1..4)\n"), 1, 9, true, "", "", "");
}

TEST_F(GenBankTest, LocationWithoutIntegerGivesZeros) {
    expectGene(onlyGene("     CDS\n                     /gene=\"g\"\n"), 0, 0, true, "", "g", "");
}

TEST_F(GenBankTest, LocationContinuedOnSeveralLines) {
    GeneRecord g = onlyGene(
        "     CDS             join(complement(4918..5163),complement(2691..4571),\n"
        "                     complement(100..200))\n"
        "                     /gene=\"lg\"\n");
    expectGene(g, 5163, 100, false, "", "lg", "");
}

TEST_F(GenBankTest, GeneOnTheThirdLineAfterATwoLineLocation) {
    GeneRecord g = onlyGene(
        "     CDS             join(1..10,\n"
        "                     20..30)\n"
        "                     /note=\"first\"\n"
        "                     /gene=\"late\"\n"
        "                     /product=\"p\"\n");
    expectGene(g, 1, 30, true, "", "late", "p");
}

TEST_F(GenBankTest, ProductWrappedOverTwoLinesIsWhole) {
    GeneRecord g = onlyGene(
        "     CDS             100..400\n"
        "                     /locus_tag=\"T_1\"\n"
        "                     /product=\"bifunctional glutamine synthetase\n"
        "                     adenylyltransferase/deadenyltransferase\"\n"
        "                     /protein_id=\"X.1\"\n");
    expectGene(g, 100, 400, true, "T_1", "",
               "bifunctional glutamine synthetase adenylyltransferase/deadenyltransferase");
}

TEST_F(GenBankTest, ValueOverThreeLinesJoinsWithSingleBlanks) {
    GeneRecord g = onlyGene(
        "     CDS             1..9\n"
        "                     /product=\"one   \n"
        "                        two\n"
        "                     three\"\n");
    EXPECT_EQ(g.product, "one two three");
}

TEST_F(GenBankTest, CdsWithoutProductHasAnEmptyProduct) {
    SequenceSet set =
        genBankFromText(record("     CDS             10..20\n"
                               "                     /locus_tag=\"NO_PRODUCT\"\n"
                               "     misc_feature    10..15\n"
                               "                     /product=\"not mine\"\n"
                               "     CDS             30..40\n"
                               "                     /product=\"second\"\n"));
    const auto& genes = set.records[0].genes;
    ASSERT_EQ(genes.size(), 2u);
    expectGene(genes[0], 10, 20, true, "NO_PRODUCT", "", "");
    expectGene(genes[1], 30, 40, true, "", "", "second");
}

TEST_F(GenBankTest, QualifiersOfOtherFeaturesDoNotLeak) {
    SequenceSet set =
        genBankFromText(record("     gene            10..20\n"
                               "                     /gene=\"fromGene\"\n"
                               "                     /locus_tag=\"TAG_1\"\n"
                               "     CDS             10..20\n"
                               "                     /product=\"p1\"\n"
                               "     tRNA            50..60\n"
                               "                     /gene=\"trnA\"\n"
                               "                     /product=\"tRNA-Ala\"\n"));
    const auto& genes = set.records[0].genes;
    ASSERT_EQ(genes.size(), 1u);
    expectGene(genes[0], 10, 20, true, "", "", "p1");
}

TEST_F(GenBankTest, QualifiersInAnyOrderFirstOccurrenceWins) {
    GeneRecord g = onlyGene(
        "     CDS             5..50\n"
        "                     /product=\"first product\"\n"
        "                     /gene_synonym=\"syn\"\n"
        "                     /locus_tag=\"L1\"\n"
        "                     /gene=\"g1\"\n"
        "                     /product=\"second product\"\n"
        "                     /gene=\"g2\"\n");
    expectGene(g, 5, 50, true, "L1", "g1", "first product");
}

TEST_F(GenBankTest, QuotedTextThatLooksLikeAQualifierIsNotOne) {
    GeneRecord g = onlyGene(
        "     CDS             5..50\n"
        "                     /note=\"see below\n"
        "                     /product=\"fake\" and more\"\n"
        "                     /product=\"real\"\n");
    EXPECT_EQ(g.product, "real");
}

TEST_F(GenBankTest, DoubledQuotesStandForOneQuote) {
    GeneRecord g = onlyGene(
        "     CDS             5..50\n"
        "                     /product=\"the \"\"X\"\" protein\"\n");
    EXPECT_EQ(g.product, "the \"X\" protein");
}

TEST_F(GenBankTest, LongTranslationInsideTheBlockIsPassedOver) {
    std::string features =
        "     CDS             5..50\n"
        "                     /translation=\"MKV";
    for (int i = 0; i < 200; ++i) {
        features +=
            "\n                     ACDEFGHIKLMNPQRSTVWYACDEFGHIKLMNPQRSTVWYACDEFGHIKLMNPQRS";
    }
    features +=
        "\"\n"
        "                     /gene=\"after\"\n";
    expectGene(onlyGene(features), 5, 50, true, "", "after", "");
}

TEST_F(GenBankTest, BlockEndsAtALineWithoutLeadingBlank) {
    // The qualifier after the "//"-less header keyword is not the CDS's.
    SequenceSet set = genBankFromText(kHeader +
                                      "     CDS             5..50\n"
                                      "BASE COUNT     30 a     30 c     30 g     30 t\n"
                                      "                     /product=\"stray\"\n" +
                                      kOrigin);
    ASSERT_EQ(set.records[0].genes.size(), 1u);
    EXPECT_EQ(set.records[0].genes[0].product, "");
}

TEST_F(GenBankTest, CdsAtTheVeryEndOfTheFeatures) {
    SequenceSet set =
        genBankFromText(record("     CDS             complement(60..90)\n"
                               "                     /gene=\"last\"\n"));
    ASSERT_EQ(set.records[0].genes.size(), 1u);
    expectGene(set.records[0].genes[0], 90, 60, false, "", "last", "");
    EXPECT_EQ(set.records[0].sequence, kOriginBases);
}

TEST_F(GenBankTest, GenesStayInFileOrder) {
    SequenceSet set =
        genBankFromText(record("     CDS             500..600\n"
                               "     CDS             complement(10..20)\n"
                               "     CDS             100..200\n"));
    const auto& genes = set.records[0].genes;
    ASSERT_EQ(genes.size(), 3u);
    EXPECT_EQ(genes[0].begin, 500);
    EXPECT_EQ(genes[1].begin, 20);
    EXPECT_EQ(genes[2].begin, 100);
}

TEST_F(GenBankTest, TwoRecordsGiveOne) {
    const std::string second =
        "LOCUS       SECOND                    12 bp    DNA     linear   BCT 01-JAN-2000\n"
        "DEFINITION  Second record.\n"
        "FEATURES             Location/Qualifiers\n"
        "     CDS             1..12\n"
        "                     /product=\"second only\"\n"
        "ORIGIN      \n"
        "        1 gggggggggg gg\n"
        "//\n";
    // The first record: 61 bases, so its "//" ends a group and is cut.
    const std::string first = kHeader +
                              "     CDS             2..50\n"
                              "                     /product=\"first only\"\n"
                              "ORIGIN      \n"
                              "        1 acgtacgtac gtacgtacgt acgtacgtac gtacgtacgt acgtacgtac "
                              "gtacgtacgt\n"
                              "       61 c\n"
                              "//\n";
    SequenceSet set = genBankFromText(first + second);
    ASSERT_EQ(set.records.size(), 1u);
    ASSERT_EQ(set.records[0].genes.size(), 1u);
    EXPECT_EQ(set.records[0].genes[0].product, "first only");
    EXPECT_EQ(set.records[0].sequence.size(), 61u);
    EXPECT_EQ(set.records[0].description, "A test record, two lines of");
}

// A first record of exactly 60 bases ends with a full group of words: the
// "//" line still ends the sequence, and no word of the next record's header
// joins it.
TEST_F(GenBankTest, RecordOfSixtyBasesStopsAtItsTerminator) {
    const std::string sixty =
        "        1 acgtacgtac gtacgtacgt acgtacgtac gtacgtacgt acgtacgtac gtacgtacgt\n";
    const std::string second =
        "LOCUS       SECOND                    12 bp    DNA     linear   BCT 01-JAN-2000\n"
        "DEFINITION  Second record.\n"
        "FEATURES             Location/Qualifiers\n"
        "ORIGIN      \n"
        "        1 gggggggggg gg\n"
        "//\n";
    SequenceSet set = genBankFromText(kHeader + "ORIGIN\n" + sixty + "//\n" + second);
    EXPECT_EQ(set.records[0].sequence,
              std::string("ACGTACGTACGTACGTACGTACGTACGTACGTACGTACGTACGTACGTACGTACGTACGT"));
    EXPECT_THROW(genBankFromText(kHeader + "ORIGIN\n//\n" + second), InputError);
}

TEST_F(GenBankTest, SixtyOneBasesEndWithTheLastLetterUpperCased) {
    const std::string text = kHeader +
                             "ORIGIN      \n"
                             "        1 tgtaacgaac ggtgcaatag tgatccacac ccaacgcctg aaatcagatc "
                             "cagggggtaa\n"
                             "       61 g\n"
                             "//\n";
    SequenceSet set = genBankFromText(text);
    const std::string& s = set.records[0].sequence;
    ASSERT_EQ(s.size(), 61u);
    EXPECT_EQ(s, "TGTAACGAACGGTGCAATAGTGATCCACACCCAACGCCTGAAATCAGATCCAGGGGGTAAG");
}

TEST_F(GenBankTest, FullLastLineDropsTheEndMarkAsAGroupStart) {
    // 120 bases: the "//" is the first word of a new group and is dropped.
    SequenceSet set = genBankFromText(record(""));
    EXPECT_EQ(set.records[0].sequence, kOriginBases);
}

TEST_F(GenBankTest, OriginWordsAreCountedAcrossLines) {
    // Groups of seven words, the first of each dropped, wherever lines break.
    const std::string text = kLocus + "DEFINITION  d\nORIGIN\n1 aa\ncc gg tt\n\tnn  xx\n2 ac 3 gt";
    SequenceSet set = genBankFromText(text);
    EXPECT_EQ(set.records[0].sequence, "AACCGGTTNNXXAC3GT");
}

TEST_F(GenBankTest, NothingFromTheFirstSlashOn) {
    const std::string text = kLocus + "DEFINITION  d\nORIGIN\n1 aaa cc/gg tt\n";
    SequenceSet set = genBankFromText(text);
    EXPECT_EQ(set.records[0].sequence, "AAACC");
}

TEST_F(GenBankTest, OriginLineWithoutLineEndHasNoSequence) {
    expectFatal([] { genBankFromText(kLocus + "DEFINITION  d\nORIGIN"); }, {kNoSequence});
}

TEST_F(GenBankTest, NoOriginIsFatal) {
    expectFatal(
        [] {
            genBankFromText(kHeader +
                            "     CDS             1..10\n"
                            "                     /product=\"p\"\n"
                            "//\n");
        },
        {kNoSequence});
}

TEST_F(GenBankTest, EmptyOriginIsFatal) {
    expectFatal([] { genBankFromText(kHeader + "ORIGIN      \n//\n"); }, {kNoSequence});
    expectFatal([] { genBankFromText(kHeader + "ORIGIN      \n\n\n"); }, {kNoSequence});
    // Position numbers alone are dropped words: still no letters.
    expectFatal([] { genBankFromText(kHeader + "ORIGIN      \n        1\n//\n"); }, {kNoSequence});
}

TEST_F(GenBankTest, FirstLineMustStartWithLocus) {
    expectFatal([] { genBankFromText(">fasta\nACGT\n"); }, {kNoLocus});
    expectFatal([] { genBankFromText(""); }, {kNoLocus});
    expectFatal([] { genBankFromText("LOCU\n"); }, {kNoLocus});
    expectFatal([] { genBankFromText(" LOCUS       X\nORIGIN\n1 a\n"); }, {kNoLocus});
}

TEST_F(GenBankTest, ShortLocusLinesGiveNoSizeHintAndReadingGoesOn) {
    for (const std::string first :
         {"LOCUS", "LOCUS       NAMEWITHOUTBLANK", "LOCUSX",
          "LOCUS       N 5000000000000000000000 bp", "LOCUS       N -5000 bp"}) {
        SequenceSet set = genBankFromText(first +
                                          "\nDEFINITION  short.\n"
                                          "     CDS             3..9\n" +
                                          kOrigin);
        ASSERT_EQ(set.records.size(), 1u) << first;
        EXPECT_EQ(set.records[0].description, "short.") << first;
        EXPECT_EQ(set.records[0].genes.size(), 1u) << first;
        EXPECT_EQ(set.records[0].sequence, kOriginBases) << first;
    }
}

TEST_F(GenBankTest, DescriptionFromColumn13) {
    auto description = [](const std::string& second) {
        return genBankFromText(kLocus + second + "\n" + kOrigin).records[0].description;
    };
    EXPECT_EQ(description("DEFINITION"), "");
    EXPECT_EQ(description("DEFINITION  "), "");
    EXPECT_EQ(description("DEFINITION  x"), "x");
    EXPECT_EQ(description("DEFINITION  " + std::string(2000, 'd')), std::string(1024, 'd'));
    EXPECT_EQ(description("DEFINITION  with CR\r"), "with CR");
}

TEST_F(GenBankTest, CrLfReadsLikeLf) {
    const std::string text = record(
        "     CDS             complement(join(5..10,\n"
        "                     20..30))\n"
        "                     /gene=\"g\"\n"
        "                     /product=\"wrapped\n"
        "                     product\"\n");
    std::string crlf;
    for (char c : text) {
        if (c == '\n') {
            crlf += '\r';
        }
        crlf += c;
    }
    SequenceSet lf = genBankFromText(text);
    SequenceSet dos = genBankFromText(crlf);
    ASSERT_EQ(dos.records[0].genes.size(), 1u);
    expectGene(dos.records[0].genes[0], 30, 5, false, "", "g", "wrapped product");
    EXPECT_EQ(dos.records[0].sequence, lf.records[0].sequence);
    EXPECT_EQ(dos.records[0].description, lf.records[0].description);
}

TEST_F(GenBankTest, CdsKeyOnlyWithinTheFirstElevenColumns) {
    // "CDS" must first occur within the first 11 characters: the qualifier
    // text and header lines mentioning CDS do not start a gene.
    SequenceSet set = genBankFromText(kLocus +
                                      "DEFINITION  CDS in the definition.\n"
                                      "COMMENT     CDS count 3\n"
                                      "     gene            1..5\n"
                                      "                     /note=\"CDS\"\n" +
                                      kOrigin);
    EXPECT_TRUE(set.records[0].genes.empty());
}

TEST_F(GenBankTest, FileFunctionMatchesTheStream) {
    const std::string text = record("     CDS             3..9\n");
    const std::string path = writeFile("in.gbk", text);
    SequenceSet fromFile;
    readGenBankFile(path, fromFile);
    ASSERT_EQ(fromFile.records.size(), 1u);
    EXPECT_EQ(fromFile.records[0].sequence, kOriginBases);
    EXPECT_EQ(fromFile.records[0].genes.size(), 1u);
}

TEST_F(GenBankTest, MissingFileIsAnIncorrectFileName) {
    const std::string path = (folder() / "none.gbk").string();
    expectFatal(
        [&] {
            SequenceSet set;
            readGenBankFile(path, set);
        },
        {"Incorrect file name: " + path});
}

// The plain reading of an ORIGIN block: the text up to a line that begins
// with "//", as words in groups of seven with the first of each group
// dropped, upper-cased, cut at the first '/'. The reader must give exactly
// that sequence, or the missing-sequence error when it is empty.
void expectOriginReadWordByWord(const std::string& block) {
    const size_t terminator = block.rfind("//", 0) == 0 ? 0 : block.find("\n//");
    std::istringstream words(block.substr(0, terminator));
    std::string word;
    std::string expected;
    for (int k = 0; words >> word; ++k) {
        if (k % 7 != 0) {
            for (char& c : word) {
                c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
            }
            expected += word;
        }
    }
    expected = expected.substr(0, expected.find('/'));
    const std::string text = kLocus + "DEFINITION  d\nORIGIN      \n" + block;
    if (expected.empty()) {
        expectFatal([&] { genBankFromText(text); }, {kNoSequence});
    } else {
        ASSERT_EQ(genBankFromText(text).records[0].sequence, expected) << "[" << block << "]";
    }
}

// The ORIGIN block compared with a plain word-by-word reading of the rule.
TEST_F(GenBankTest, RandomOriginBlocksMatchAWordByWordReading) {
    std::mt19937 rng(99);
    const std::string pieces[] = {" ", "  ", "\n",   "\r\n", "\t",         "acgt", "ACGTN",
                                  "1", "61", "gg/t", "//",   "nnnnnnnnnn", "x-*",  "\f"};
    for (int round = 0; round < 2000; ++round) {
        std::string block;
        const int count = static_cast<int>(rng() % 40);
        for (int i = 0; i < count; ++i) {
            block += pieces[rng() % std::size(pieces)];
        }
        expectOriginReadWordByWord(block);
        if (::testing::Test::HasFatalFailure()) {
            return;
        }
    }
}

// Near-standard ORIGIN blocks (numbered lines of six ten-letter blocks, with
// odd characters, short lines, extra or missing blanks, CR LF) compared with
// the plain word-by-word reading.
TEST_F(GenBankTest, RandomStandardLikeOriginBlocksMatchAWordByWordReading) {
    std::mt19937 rng(4242);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    for (int round = 0; round < 3000; ++round) {
        std::string block;
        const int lines = pick(8);
        for (int l = 0; l < lines; ++l) {
            std::string number = std::to_string(l * 60 + 1);
            block += std::string(pick(20) == 0 ? 0 : 9 - number.size(), ' ') + number;
            const int blocks = pick(5) == 0 ? pick(8) : 6;
            for (int b = 0; b < blocks; ++b) {
                block += pick(30) == 0 ? "  " : (pick(30) == 0 ? "\t" : " ");
                const int letters = pick(15) == 0 ? pick(12) : 10;
                for (int k = 0; k < letters; ++k) {
                    const int r = pick(400);
                    block += r == 0 ? '/' : (r == 1 ? ' ' : (r == 2 ? 'X' : "acgtn"[pick(5)]));
                }
            }
            if (pick(10) == 0) {
                block += "   ";
            }
            block += pick(3) == 0 ? "\r\n" : "\n";
        }
        if (pick(2) == 0) {
            block += "//\n";
        }
        expectOriginReadWordByWord(block);
        if (::testing::Test::HasFatalFailure()) {
            return;
        }
    }
}

TEST_F(GenBankTest, ManyBlankAndOddLinesReadInLinearTime) {
    std::string block;
    for (int i = 0; i < 100000; ++i) {
        block += i % 3 == 0 ? "\n" : (i % 3 == 1 ? "        \r\n" : "   x\n");
    }
    block += "        1 acgtacgtac\n//\n";
    std::string expected;
    for (int i = 0; i < 100000; ++i) {
        if (i % 3 == 2 && (i / 3) % 7 != 0) {
            expected += 'X';
        }
    }
    // The words "x" are numbered 0, 1, 2, ...; then "1" and the letters follow.
    const int words = 100000 / 3;
    if (words % 7 != 0) {
        expected += '1';
    }
    if ((words + 1) % 7 != 0) {
        expected += "ACGTACGTAC";
    }
    SequenceSet set = genBankFromText(kLocus + "DEFINITION  d\nORIGIN\n" + block);
    EXPECT_EQ(set.records[0].sequence, expected);
}

// --- The real NCBI record pPCP1 (NC_005816) shipped in examples/.

TEST_F(GenBankTest, RealRecordPpcp1) {
    SequenceSet set = readSequences(std::string(XOPREX_EXAMPLES) + "/pPCP1.gbk");
    ASSERT_EQ(set.records.size(), 1u);
    const SequenceRecord& r = set.records[0];
    EXPECT_EQ(r.format, 'G');
    EXPECT_EQ(r.description, "Yersinia pestis biovar Microtus str. 91001 plasmid pPCP1, complete");
    ASSERT_EQ(r.sequence.size(), 9609u);
    EXPECT_EQ(r.sequence.substr(0, 20), "TGTAACGAACGGTGCAATAG");
    EXPECT_EQ(r.sequence.substr(9600), "CGACCCCTG");
    EXPECT_EQ(r.sequence.find_first_not_of("ACGT"), std::string::npos);
    EXPECT_EQ(set.baseName, std::string(XOPREX_EXAMPLES) + "/pPCP1");

    struct Expected {
        int32_t begin, end;
        bool sense;
        const char* locus;
        const char* gene;
        const char* product;
    };
    const Expected expected[] = {
        {87, 1109, true, "YP_pPCP01", "", "putative transposase"},
        {1106, 1888, true, "YP_pPCP02", "", "transposase/IS protein"},
        {2925, 3119, true, "YP_pPCP03", "rop", "putative replication regulatory protein"},
        {3486, 3857, true, "YP_pPCP04", "", "hypothetical protein"},
        {4343, 4780, true, "YP_pPCP05", "pim", "pesticin immunity protein"},
        {5888, 4815, false, "YP_pPCP06", "pst", "pesticin"},
        {6005, 6421, true, "YP_pPCP07", "", "hypothetical protein"},
        {6664, 7602, true, "YP_pPCP08", "pla", "outer membrane protease"},
        {8088, 7789, false, "YP_pPCP09", "", "putative transcriptional regulator"},
        {8360, 8088, false, "YP_pPCP10", "", "hypothetical protein"},
    };
    ASSERT_EQ(r.genes.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE("CDS " + std::to_string(i + 1));
        const Expected& e = expected[i];
        expectGene(r.genes[i], e.begin, e.end, e.sense, e.locus, e.gene, e.product);
    }
}

}  // namespace
}  // namespace xoprex::seqio_test
