// Count matrices: a matrix gives the model its sites give, bit for bit, in
// each of the three formats; MEME's whole-count rounding; the readers'
// errors; several matrices of one file in order.
#include "motif/count_matrix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <sstream>

#include "motif/scoring.h"
#include "motif_test_support.h"

using namespace xoprex;
using motif_test::bitsOf;
using motif_test::makeCollection;
using motif_test::TempFolder;
using motif_test::writeFile;

namespace {

// A whole-count matrix and sites that have exactly those counts: column l
// lists each base as often as it is counted, and '-' (which counts nothing)
// for the sites left over, shuffled. Position 0 counts every site, so the
// largest column total is the number of sites.
struct MatrixWithSites {
    std::vector<std::array<int, 4>> columns;
    std::vector<std::string> sites;
};

MatrixWithSites randomMatrix(std::mt19937& random) {
    const int length = std::uniform_int_distribution<int>(1, 10)(random);
    const int siteCount = std::uniform_int_distribution<int>(1, 25)(random);
    MatrixWithSites result;
    result.sites.assign(static_cast<size_t>(siteCount), std::string(length, ' '));
    for (int l = 0; l < length; ++l) {
        const int gaps = l == 0 ? 0 : std::uniform_int_distribution<int>(0, siteCount - 1)(random);
        std::array<int, 4> counts{};
        // Sometimes one base takes every count, to reach zero counts.
        const bool single = std::uniform_int_distribution<int>(0, 3)(random) == 0;
        const int only = std::uniform_int_distribution<int>(0, 3)(random);
        for (int i = 0; i < siteCount - gaps; ++i) {
            ++counts[static_cast<size_t>(single ? only : static_cast<int>(random() % 4))];
        }
        std::string letters;
        for (size_t b = 0; b < 4; ++b) {
            letters += std::string(static_cast<size_t>(counts[b]), "ACGT"[b]);
        }
        letters += std::string(static_cast<size_t>(gaps), '-');
        std::shuffle(letters.begin(), letters.end(), random);
        for (size_t i = 0; i < letters.size(); ++i) {
            result.sites[i][static_cast<size_t>(l)] = letters[i];
        }
        result.columns.push_back(counts);
    }
    return result;
}

std::string jasparText(const MatrixWithSites& m, bool lettered) {
    std::string text = ">M1 random\n";
    for (size_t b = 0; b < 4; ++b) {
        if (lettered) {
            text += "ACGT"[b];
            text += " [";
        }
        for (const auto& column : m.columns) {
            text += ' ';
            text += std::to_string(column[b]);
        }
        text += lettered ? " ]\n" : "\n";
    }
    return text;
}

std::string memeText(const MatrixWithSites& m) {
    std::string text =
        "MEME version 5\n\nALPHABET= ACGT\n\nMOTIF M1\nletter-probability matrix: "
        "alength= 4 w= " +
        std::to_string(m.columns.size()) + " nsites= " + std::to_string(m.sites.size()) + " E= 0\n";
    char buffer[32];
    for (const auto& column : m.columns) {
        for (size_t b = 0; b < 4; ++b) {
            std::snprintf(buffer, sizeof buffer, " %.6f",
                          column[b] / static_cast<double>(m.sites.size()));
            text += buffer;
        }
        text += '\n';
    }
    return text;
}

// P0 names the columns in the order `order`.
std::string transfacText(const MatrixWithSites& m, const std::string& order) {
    std::string text = "ID  M1\nXX\nP0";
    for (const char letter : order) {
        text += "  ";
        text += letter;
    }
    text += '\n';
    for (size_t l = 0; l < m.columns.size(); ++l) {
        text += l < 9 ? "0" : "";
        text += std::to_string(l + 1);
        for (const char letter : order) {
            text += ' ';
            text += std::to_string(m.columns[l][std::string("ACGT").find(letter)]);
        }
        text += " N\n";
    }
    return text + "XX\n//\n";
}

std::vector<CountMatrix> read(MatrixFormat format, const std::string& text,
                              const std::string& name = "m.txt") {
    return readMatrices(text, format, name, "m");
}

// The InputError `read` raises, or a failure.
InputError readError(MatrixFormat format, const std::string& text) {
    try {
        read(format, text, "bad.file");
    } catch (const InputError& error) {
        return error;
    }
    ADD_FAILURE() << "no input error for:\n" << text;
    return InputError(InputProblem::Options, "", "none");
}

}  // namespace

TEST(CountMatrix, GivesTheModelAndTermsOfItsSitesInEveryFormat) {
    std::mt19937 random(20240611);
    SequenceRecord genome;
    genome.sequence = "AATTTACGATTTAAGCATTAGAAT";
    computeBackgroundComposition(genome);
    for (int trial = 0; trial < 40; ++trial) {
        const MatrixWithSites m = randomMatrix(random);
        std::string order = "ACGT";
        std::shuffle(order.begin(), order.end(), random);
        const std::vector<std::string> texts = {jasparText(m, trial % 2 == 0), memeText(m),
                                                transfacText(m, order)};
        for (const SequenceRecord& background : {SequenceRecord{}, genome}) {
            const SiteCollection sites = makeCollection(m.sites, background);
            for (const std::string& text : texts) {
                const std::vector<CountMatrix> matrices = read(MatrixFormat::Unknown, text);
                ASSERT_EQ(matrices.size(), 1u) << text;
                const SiteCollection matrix = collectionFromMatrix(matrices[0], background);
                SCOPED_TRACE(text);
                EXPECT_TRUE(matrix.sites.empty());
                EXPECT_EQ(matrix.baseName, "M1");
                ASSERT_EQ(matrix.siteLength, sites.siteLength);
                EXPECT_EQ(matrix.siteCount(), sites.siteCount());
                for (size_t l = 0; l < m.columns.size(); ++l) {
                    const PositionRecord& a = sites.model.positions[l];
                    const PositionRecord& b = matrix.model.positions[l];
                    EXPECT_EQ(a.counts, b.counts) << "position " << l;
                    EXPECT_EQ(a.frequencies, b.frequencies) << "position " << l;
                    EXPECT_EQ(a.consensus, b.consensus) << "position " << l;
                }
                EXPECT_EQ(bitsOf(matrix.model.totalRsequence), bitsOf(sites.model.totalRsequence));
                EXPECT_EQ(bitsOf(matrix.model.totalRelativeEntropy),
                          bitsOf(sites.model.totalRelativeEntropy));
                for (int method = 1; method <= 11; ++method) {
                    const TermTable expected(method, sites, background);
                    const TermTable actual(method, matrix, background);
                    EXPECT_EQ(std::memcmp(expected.row(0), actual.row(0),
                                          sizeof(double) * 256 * m.columns.size()),
                              0)
                        << "method " << method;
                }
            }
        }
    }
}

TEST(CountMatrix, MemeCountsAreWholeWhenWithinOneThousandthOfOne) {
    const std::vector<CountMatrix> matrices = read(MatrixFormat::Meme,
                                                   "MEME version 4\n"
                                                   "MOTIF three\n"
                                                   "letter-probability matrix: w= 3 nsites= 3\n"
                                                   "0.3333 0.3333 0.3334 0\n"
                                                   "0.3336 0.3340 0.25 0.0824\n"
                                                   "0.1234 0.1 0.7 0.0766\n"
                                                   "MOTIF twenty\n"
                                                   "letter-probability matrix: alength= 4 w= 1\n"
                                                   "0.5 0.125 0.375 0\n");
    ASSERT_EQ(matrices.size(), 2u);
    using Column = std::array<double, 4>;
    const auto& three = matrices[0].columns;
    ASSERT_EQ(three.size(), 3u);
    EXPECT_EQ(three[0], (Column{1.0, 1.0, 1.0, 0.0}));
    EXPECT_EQ(three[1], (Column{1.0, 0.3340 * 3, 0.75, 0.0824 * 3}));
    EXPECT_EQ(three[2], (Column{0.1234 * 3, 0.1 * 3, 0.7 * 3, 0.0766 * 3}));
    // Without nsites= the matrix stands for 20 sites.
    EXPECT_EQ(matrices[1].columns, (std::vector<Column>{{10.0, 2.5, 7.5, 0.0}}));
    EXPECT_EQ(kMemeDefaultSites, 20.0);
    EXPECT_EQ(matrices[1].siteCount(), 20.0);
}

TEST(CountMatrix, MalformedMatricesGiveClearErrors) {
    const auto J = MatrixFormat::Jaspar;
    const auto M = MatrixFormat::Meme;
    const auto T = MatrixFormat::Transfac;
    const auto U = MatrixFormat::Unknown;
    const std::string meme = "MEME version 4\nMOTIF a\nletter-probability matrix: w= 2\n";
    const struct {
        MatrixFormat format;
        std::string text;
        int line;  // 0: the message names no line
        std::string problem;
    } cases[] = {
        {J, ">M1 x\nA [1 2 3]\nC [1 2]\nG [1 2 3]\nT [1 2 3]\n", 3,
         "a row of 2 counts in a matrix whose rows have 3"},
        {J, "1 2\n1 2\n1 2\n1 2 3\n", 4, "a row of 3 counts"},
        {J, ">M1\nA 1 2\nC 1 x\nG 1 1\nT 1 1\n", 3, "\"x\" is not a count"},
        {J, ">M1\nA 1 2\nC 1 -1\nG 1 1\nT 1 1\n", 3, "\"-1\" is not a count"},
        {J, ">M1\nA 1 nan\nC 1 1\nG 1 1\nT 1 1\n", 2, "\"nan\" is not a count"},
        {J, ">M1\nA 1 2\nC 1 2\nG 1 2\n>M2\n", 1, "matrix \"M1\" has 3 rows"},
        {J, ">M1\nA 1 2\nC 1 2\nG 1 2\nT 1 2\n>M2\n1\n1\n1\n", 6, "matrix \"M2\" has 3 rows"},
        {J, "1 2\n1 2\n1 2\n1 2\n1 2\n", 5, "a fifth row in matrix \"m\""},
        {J, ">M1\nA 1\nC 1\nG 1\nG 1\n", 1, "matrix \"M1\" has no row T"},
        {J, ">M1\nA 1\nC 1\n1\nT 1\n", 4, "all begin with their letter or none"},
        {J, ">M1\nA 0 1\nC 0 1\nG 0 1\nT 0 1\n", 1, "counts nothing at position 1"},
        {J, ">\nA 1\nC 1\nG 1\nT 1\n", 1, "a header without an ID"},
        {J, "", 0, "no matrix"},
        {M, "", 0, "no matrix"},
        {T, "\n\n", 0, "no matrix"},
        {U, " \n\r\n", 0, "no matrix"},
        {U, "hello world\n", 0, "not a count matrix file"},
        {M, meme + "0.25 0.25 0.25 0.25\n\nMOTIF b\n", 3, "MOTIF a: w= 2 but 1 rows"},
        {M, meme + "0.25 0.25 0.5 0\n0.25 0.25 0.25 0.25\n0.1 0.2 0.3 0.4\n", 3, "w= 2 but 3 rows"},
        {M, meme + "0.25 0.25 0.5\n", 4, "a row of 3 probabilities"},
        {M, meme + "0.25 0.25 0.5 x\n", 4, "\"x\" is not a probability"},
        {M, meme + "0.25 0.25 0.5 1.5\n", 4, "\"1.5\" is not a probability"},
        {J, ">M1\nA 1e308\nC 1e308\nG 0\nT 0\n", 1, "counts beyond any number at position 1"},
        {M, "MEME version 4\nMOTIF a\nletter-probability matrix: w= 0\n", 3, "w= 0 is not"},
        {M, "MEME version 4\nMOTIF a\nletter-probability matrix: nsites= -3\n", 3,
         "nsites= -3 is not"},
        {M, "MEME version 4\nMOTIF a\nletter-probability matrix: alength= 20\n", 3, "alength= 20"},
        {M, "MEME version 4\nMOTIF a\nMOTIF b\n", 2, "MOTIF a has no letter-probability matrix"},
        {M, "MEME version 4\nMOTIF\n", 2, "MOTIF without an ID"},
        {M, "MOTIF a\n", 1, "does not begin with \"MEME version\""},
        {M, "MEME version 4\nALPHABET= ACDEFGHIKLMNPQRSTVWY\n", 2, "only the DNA alphabet"},
        {M, "MEME version 4\nletter-probability matrix: w= 1\n", 2, "without its MOTIF line"},
        {T, "ID a\nP0 A C G T\n01 1 2 3\n", 3, "row 1 has 3 counts"},
        {T, "ID a\nP0 A C G T\n01 1 2 3 4 5 N\n", 3, "row 1 has more than four counts"},
        {T, "ID a\nP0 A C G T\n01 1 2 3 4\n03 1 2 3 4\n", 4, "row \"03\" where row 2"},
        {T, "ID a\nP0 A C G T\n01 1 2 y 4\n", 3, "\"y\" is not a count"},
        {T, "ID a\nP0 A C G\n", 2, "must name the columns A, C, G and T"},
        {T, "ID a\nP0 A C G T\nXX\n01 1 2 3 4\n", 4, "a numbered row without a P0 line"},
        {T, "ID a\nP0 A C G T\n01 1 1 1 1\nP0 A C G T\n", 4, "a second matrix before"},
        {T, "ID a\nP0 A C G T\nXX\n//\n", 2, "matrix \"a\" has no column"},
    };
    for (const auto& c : cases) {
        const InputError error = readError(c.format, c.text);
        const std::string message = error.what();
        SCOPED_TRACE(c.text);
        EXPECT_EQ(error.kind(), InputProblem::Format);
        EXPECT_EQ(error.path(), "bad.file");
        EXPECT_EQ(message.rfind("Incorrect matrix file! - bad.file, ", 0), 0u) << message;
        if (c.line > 0) {
            EXPECT_NE(message.find("line " + std::to_string(c.line) + ": "), std::string::npos)
                << message;
        } else {
            EXPECT_EQ(message.find("line "), std::string::npos) << message;
        }
        EXPECT_NE(message.find(c.problem), std::string::npos) << message;
    }

    TempFolder folder;
    try {
        readMatrixFile("missing.jaspar");
        ADD_FAILURE() << "no input error";
    } catch (const InputError& error) {
        EXPECT_EQ(error.kind(), InputProblem::Unreadable);
        EXPECT_EQ(error.path(), "missing.jaspar");
    }
}

TEST(CountMatrix, SeveralMatricesOfOneFileComeInOrder) {
    TempFolder folder;
    writeFile("set.JASPAR",
              ">MA0001.1 First factor\nA [ 1 2 ]\nC [ 3 4 ]\nG [ 5 6 ]\nT [ 7 8 ]\n\n"
              ">MA0002.1\nT[1 1 1]\nG[0 0 2]\nC[0 2 0]\nA[2 0 0]\n"
              ">MA0003.1 Third\r\n9\r\n0\r\n0\r\n0\r\n");
    writeFile("set.meme",
              "MEME version 5\n\nALPHABET= ACGT\n\nstrands: + -\n\n"
              "Background letter frequencies\nA 0.3 C 0.2 G 0.2 T 0.3\n\n"
              "MOTIF one First\nlog-odds matrix: alength= 4 w= 1\n-1 2 -3 4\n"
              "letter-probability matrix: alength= 4 w= 1 nsites= 4 E= 1e-5\n"
              "0.25 0.25 0.25 0.25\n\nURL http://example.org/one\n\n"
              "MOTIF two\nletter-probability matrix: alength= 4 w= 2 nsites= 2\n"
              "1 0 0 0\n0 0 0.5 0.5\n");
    writeFile("set.Dat",
              "VV  release header\nXX\n//\n"
              "AC  M00001\nXX\nID  F$ONE\nNA  One\nXX\nP0      A      C      G      T\n"
              "01      1      2      2      0      S\nXX\nBA  3 sites\n//\n"
              "AC  M00002\nXX\nPO  T G C A\n01 4 0 0 0 T\n02 0 0 0 4 A\nXX\n");
    writeFile("crp.pfm", "1 0\n0 1\n0 0\n0 0\n");
    writeFile("by_content.txt", "\n  ID  F$X\nP0 A C G T\n01 1 1 1 1\n//\n");

    struct Expected {
        std::string id;
        std::string name;
        std::vector<std::array<double, 4>> columns;
    };
    const struct {
        std::string path;
        std::vector<Expected> matrices;
    } files[] = {
        {"set.JASPAR",
         {{"MA0001.1", "First factor", {{1, 3, 5, 7}, {2, 4, 6, 8}}},
          {"MA0002.1", "", {{2, 0, 0, 1}, {0, 2, 0, 1}, {0, 0, 2, 1}}},
          {"MA0003.1", "Third", {{9, 0, 0, 0}}}}},
        {"set.meme", {{"one", "First", {{1, 1, 1, 1}}}, {"two", "", {{2, 0, 0, 0}, {0, 0, 1, 1}}}}},
        {"set.Dat",
         {{"F$ONE", "One", {{1, 2, 2, 0}}}, {"M00002", "", {{0, 0, 0, 4}, {4, 0, 0, 0}}}}},
        {"crp.pfm", {{"crp", "", {{1, 0, 0, 0}, {0, 1, 0, 0}}}}},
        {"by_content.txt", {{"F$X", "", {{1, 1, 1, 1}}}}},
    };
    for (const auto& file : files) {
        SCOPED_TRACE(file.path);
        const std::vector<CountMatrix> matrices = readMatrixFile(file.path);
        ASSERT_EQ(matrices.size(), file.matrices.size());
        for (size_t i = 0; i < matrices.size(); ++i) {
            EXPECT_EQ(matrices[i].id, file.matrices[i].id);
            EXPECT_EQ(matrices[i].name, file.matrices[i].name);
            EXPECT_EQ(matrices[i].columns, file.matrices[i].columns);
        }
        const std::vector<SiteCollection> collections =
            loadMatrixCollections(file.path, SequenceRecord{});
        ASSERT_EQ(collections.size(), matrices.size());
        for (size_t i = 0; i < matrices.size(); ++i) {
            EXPECT_EQ(collections[i].baseName, matrices[i].id);
            EXPECT_EQ(collections[i].siteCount(), matrices[i].siteCount());
            EXPECT_EQ(collections[i].model.positions.size(), matrices[i].columns.size());
        }
    }
}

TEST(CountMatrix, FormatsByExtensionAndContent) {
    for (const auto& [extension, format] :
         std::vector<std::pair<std::string, MatrixFormat>>{{"jaspar", MatrixFormat::Jaspar},
                                                           {"PFM", MatrixFormat::Jaspar},
                                                           {"Meme", MatrixFormat::Meme},
                                                           {"transfac", MatrixFormat::Transfac},
                                                           {"DAT", MatrixFormat::Transfac},
                                                           {"txt", MatrixFormat::Unknown},
                                                           {"", MatrixFormat::Unknown}}) {
        EXPECT_EQ(matrixFormatOfExtension(extension), format) << extension;
    }
    for (const auto& [text, format] : std::vector<std::pair<std::string, MatrixFormat>>{
             {"\n MEME version 4\n", MatrixFormat::Meme},
             {">MA1\n", MatrixFormat::Jaspar},
             {"A [ 1 2 ]\n", MatrixFormat::Jaspar},
             {"[ 1 2 ]\n", MatrixFormat::Jaspar},
             {"0.5 2\n", MatrixFormat::Jaspar},
             {"\r\nAC  M1\n", MatrixFormat::Transfac},
             {"//\n", MatrixFormat::Transfac},
             {"MOTIF a\n", MatrixFormat::Unknown},
             {"", MatrixFormat::Unknown}}) {
        EXPECT_EQ(matrixFormatOfContent(text), format) << text;
    }
}
