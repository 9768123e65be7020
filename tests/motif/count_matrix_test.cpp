// Count matrices: a matrix gives the model its sites give, bit for bit, in
// each of the three formats; MEME's whole-count rounding; the readers'
// errors; several matrices of one file in order.
#include "motif/count_matrix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <sstream>
#include <tuple>
#include <unordered_set>

#include "input_files.h"
#include "motif/scoring.h"
#include "motif_test_support.h"

using namespace xoprex;
using motif_test::bitsOf;
using motif_test::makeCollection;
using motif_test::readFile;
using motif_test::splitLines;
using motif_test::TempFolder;
using motif_test::writeFile;

namespace {

// A whole-count matrix and sites that have exactly those counts: column l
// lists each base as often as it is counted, and 'X' (which counts nothing)
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
        letters += std::string(static_cast<size_t>(gaps), 'X');
        std::shuffle(letters.begin(), letters.end(), random);
        for (size_t i = 0; i < letters.size(); ++i) {
            result.sites[i][static_cast<size_t>(l)] = letters[i];
        }
        result.columns.push_back(counts);
    }
    return result;
}

std::string probability(int count, size_t sites) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.6f", count / static_cast<double>(sites));
    return buffer;
}

// Row b of the four-row layout, or the row of position l of the
// four-column layout, its numbers after `separator`.
std::string baseRow(const MatrixWithSites& m, size_t b, const std::string& separator) {
    std::string text;
    for (const auto& column : m.columns) {
        text += separator + std::to_string(column[b]);
    }
    return text;
}
std::string positionRow(const std::array<int, 4>& column, const std::string& separator,
                        size_t probabilitiesOf = 0) {
    std::string text;
    for (size_t b = 0; b < 4; ++b) {
        text += (b == 0 ? "" : separator) + (probabilitiesOf > 0
                                                 ? probability(column[b], probabilitiesOf)
                                                 : std::to_string(column[b]));
    }
    return text + "\n";
}

// JASPAR's four rows under `header` ("" for the bare .pfm).
std::string fourRowText(const MatrixWithSites& m, const std::string& header, bool lettered) {
    std::string text = header.empty() ? "" : header + "\n";
    for (size_t b = 0; b < 4; ++b) {
        text += lettered ? std::string(1, "ACGT"[b]) + "  [" + baseRow(m, b, " ") + " ]\n"
                         : baseRow(m, b, "\t") + "\n";
    }
    return text;
}

// Four columns under `header`, ClusterBuster's comments below it.
std::string fourColumnText(const MatrixWithSites& m, const std::string& header) {
    std::string text = header + "\n";
    if (header[0] == '>') {
        text += "# TF random\n# comment\n";
    }
    for (const auto& column : m.columns) {
        text += positionRow(column, "\t");
    }
    return text;
}

std::string homerText(const MatrixWithSites& m) {
    std::string text = ">M1\trandom\t6.25\t-10.5\t0\tT:17.0(44.7%),B:20.2(1.1%),P:1e-4\n";
    for (const auto& column : m.columns) {
        text += positionRow(column, "\t", m.sites.size());
    }
    return text;
}

// The minimal format, or MEME's report around the same matrix.
std::string memeText(const MatrixWithSites& m, bool report) {
    const std::string w = std::to_string(m.columns.size());
    const std::string n = std::to_string(m.sites.size());
    const std::string dashes(80, '-');
    std::string text = report ? std::string(80, '*') + "\nMEME - Motif discovery tool\n" +
                                    std::string(80, '*') + "\nMEME version 5.5.4 (Release)\n\n" +
                                    "ALPHABET= ACGT\n\nMOTIF M1 random\twidth = " + w +
                                    "  sites = " + n + "  llr = 99  E-value = 1e-5\n" + dashes +
                                    "\nSimplified        A  ::a:\nlog-odds matrix: alength= 4 "
                                    "w= " +
                                    w + " n= 100 bayes= 4\n"
                              : "MEME version 5\n\nALPHABET= ACGT\n\nMOTIF M1 random\n";
    for (size_t l = 0; report && l < m.columns.size(); ++l) {
        text += " -12  34  -1000  7\n";
    }
    text += (report ? dashes + "\n" : "") + "letter-probability matrix: alength= 4 w= " + w +
            " nsites= " + n + " E= 0\n";
    for (const auto& column : m.columns) {
        text += " " + positionRow(column, "  ", m.sites.size());
    }
    return text + (report ? dashes + "\n\tMotif M1 MEME-1 regular expression\n" + dashes +
                                "\nTGTGA\n" + dashes + "\n\nTime  0.1 secs.\n"
                          : "");
}

std::string memeXmlText(const MatrixWithSites& m) {
    std::string text =
        "<?xml version='1.0' encoding='UTF-8' standalone='yes'?>\n<!DOCTYPE MEME[\n<!ELEMENT "
        "MEME (training_set, model, motifs)>\n]>\n<MEME version=\"5.5.4\">\n<training_set>\n"
        "<alphabet name=\"DNA\" like=\"dna\">\n<letter id=\"A\" symbol=\"A\"/>\n<letter "
        "id=\"C\" symbol=\"C\"/>\n<letter id=\"G\" symbol=\"G\"/>\n<letter id=\"T\" "
        "symbol=\"T\"/>\n<letter id=\"N\" symbol=\"N\" equals=\"ACGT\"/>\n</alphabet>\n"
        "</training_set>\n<motifs>\n<motif id=\"motif_1\" name=\"M1\" alt=\"random\" width=\"" +
        std::to_string(m.columns.size()) + "\" sites=\"" + std::to_string(m.sites.size()) +
        "\">\n<scores><alphabet_matrix><alphabet_array><value letter_id=\"A\">-5</value>"
        "</alphabet_array></alphabet_matrix></scores>\n<probabilities>\n<alphabet_matrix>\n";
    for (const auto& column : m.columns) {
        text += "<alphabet_array>\n";
        for (size_t b = 0; b < 4; ++b) {
            text += "<value letter_id=\"" + std::string(1, "ACGT"[b]) + "\">" +
                    probability(column[b], m.sites.size()) + "</value>\n";
        }
        text += "</alphabet_array>\n";
    }
    return text + "</alphabet_matrix>\n</probabilities>\n</motif>\n</motifs>\n</MEME>\n";
}

// P0 names the columns in the order `order`; the dialect's PO rows hold
// decimal counts under DE, CC, BA and BS lines.
std::string transfacText(const MatrixWithSites& m, const std::string& order, bool dialect) {
    std::string text =
        dialect ? "AC  M1\nXX\nDE  M1 random\nNA  random\nPO" : "ID  M1\nXX\nNA  random\nXX\nP0";
    for (const char letter : order) {
        text += "  ";
        text += letter;
    }
    text += '\n';
    for (size_t l = 0; l < m.columns.size(); ++l) {
        text += l < 9 ? "0" : "";
        text += std::to_string(l + 1);
        for (const char letter : order) {
            text += ' ' + std::to_string(m.columns[l][std::string("ACGT").find(letter)]);
            text += dialect ? ".0" : "";
        }
        text += " N\n";
    }
    return text + (dialect ? "XX\nCC  data_type:sites\nBA  some sites\nBS  ACGT; 1; 4;; p\nXX\n"
                           : "XX\n//\n");
}

// A .sites record per site, the site in upper case within lower-case
// flanks.
std::string sitesText(const MatrixWithSites& m) {
    std::string text;
    for (size_t i = 0; i < m.sites.size(); ++i) {
        text += ">M1 random " + std::to_string(i + 1) + "\n" + std::string("acgtt").substr(i % 5) +
                m.sites[i] + "ttgca\n";
    }
    return text;
}

// Every format's writer, the format it is, an extension it is read with,
// the ID and name it gives and whether its probabilities need the sites
// as the reading's default.
struct FormatCase {
    std::string label;
    std::function<std::string(const MatrixWithSites&, std::mt19937&)> write;
    MatrixFormat format;
    std::string extension;
    std::string id = "M1";
    std::string name = "random";
    bool defaultSites = false;
};

std::vector<FormatCase> formatCases() {
    using M = MatrixWithSites;
    using R = std::mt19937;
    return {
        {"JASPAR", [](const M& m, R&) { return fourRowText(m, ">M1 random", true); },
         MatrixFormat::Jaspar, "jaspar"},
        {"four rows under >", [](const M& m, R&) { return fourRowText(m, ">M1 random", false); },
         MatrixFormat::Jaspar, "txt"},
        {"four rows under #", [](const M& m, R&) { return fourRowText(m, "#M1 random", false); },
         MatrixFormat::Jaspar, "txt"},
        {"bare .pfm", [](const M& m, R&) { return fourRowText(m, "", false); },
         MatrixFormat::Jaspar, "pfm", "m", ""},
        {"four columns under #", [](const M& m, R&) { return fourColumnText(m, "#M1 random"); },
         MatrixFormat::FourColumn, "txt"},
        {"ClusterBuster", [](const M& m, R&) { return fourColumnText(m, ">M1 random"); },
         MatrixFormat::FourColumn, "cb"},
        {"HOMER", [](const M& m, R&) { return homerText(m); }, MatrixFormat::Homer, "motif", "M1",
         "random", true},
        {"MEME", [](const M& m, R&) { return memeText(m, false); }, MatrixFormat::Meme, "meme"},
        {"MEME report", [](const M& m, R&) { return memeText(m, true); }, MatrixFormat::Meme,
         "txt"},
        {"MEME XML", [](const M& m, R&) { return memeXmlText(m); }, MatrixFormat::MemeXml, "xml"},
        {"TRANSFAC",
         [](const M& m, R& random) {
             std::string order = "ACGT";
             std::shuffle(order.begin(), order.end(), random);
             return transfacText(m, order, false);
         },
         MatrixFormat::Transfac, "dat"},
        {"TRANSFAC dialect", [](const M& m, R&) { return transfacText(m, "ACGT", true); },
         MatrixFormat::Transfac, "transfac"},
        {"JASPAR sites", [](const M& m, R&) { return sitesText(m); }, MatrixFormat::JasparSites,
         "sites"},
    };
}

// Expects `actual` to give the model of `expected` and the same score to
// every window, bit for bit: the counts, frequencies and totals, the term
// tables of all eleven methods and the per-window scores of random windows.
void expectSameModel(const SiteCollection& expected, SiteCollection actual,
                     const SequenceRecord& background, std::mt19937& random) {
    SiteCollection sites = expected;
    ASSERT_EQ(actual.siteLength, sites.siteLength);
    EXPECT_EQ(actual.siteCount(), sites.siteCount());
    const auto length = static_cast<size_t>(sites.siteLength);
    for (size_t l = 0; l < length; ++l) {
        const PositionRecord& a = sites.model.positions[l];
        const PositionRecord& b = actual.model.positions[l];
        EXPECT_EQ(a.counts, b.counts) << "position " << l;
        EXPECT_EQ(a.frequencies, b.frequencies) << "position " << l;
        EXPECT_EQ(a.consensus, b.consensus) << "position " << l;
    }
    EXPECT_EQ(bitsOf(actual.model.totalRsequence), bitsOf(sites.model.totalRsequence));
    EXPECT_EQ(bitsOf(actual.model.totalRelativeEntropy), bitsOf(sites.model.totalRelativeEntropy));
    for (int method = 1; method <= 11; ++method) {
        const TermTable expectedTerms(method, sites, background);
        const TermTable actualTerms(method, actual, background);
        EXPECT_EQ(
            std::memcmp(expectedTerms.row(0), actualTerms.row(0), sizeof(double) * 256 * length), 0)
            << "method " << method;
        for (int trial = 0; trial < 30; ++trial) {
            std::string text;
            for (size_t l = 0; l < length; ++l) {
                text += "ACGTNRX"[random() % 7];
            }
            SiteHit window(sites.siteLength);
            window.site = text;
            SiteHit same = window;
            scoreWindow(method, window, background, sites);
            scoreWindow(method, same, background, actual);
            ASSERT_EQ(bitsOf(window.score), bitsOf(same.score))
                << "method " << method << " window " << window.site;
        }
    }
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

// A matrix written in every format from the counts of a site list gives the
// model and scores of those sites; the content tells its format (the
// extension settling four rows of four numbers, which either layout may
// be).
TEST(CountMatrix, GivesTheModelAndTermsOfItsSitesInEveryFormat) {
    std::mt19937 random(20240611);
    SequenceRecord genome;
    genome.sequence = "AATTTACGATTTAAGCATTAGAAT";
    computeBackgroundComposition(genome);
    const std::vector<FormatCase> cases = formatCases();
    for (int trial = 0; trial < 40; ++trial) {
        const MatrixWithSites m = randomMatrix(random);
        for (const FormatCase& format : cases) {
            const std::string text = format.write(m, random);
            SCOPED_TRACE(format.label + ":\n" + text);
            // Four rows of four numbers may be either layout: in a .txt
            // file they are read as the writer meant.
            const bool square = m.columns.size() == 4 && format.extension == "txt";
            const MatrixFormat told = matrixFormatOf(text, format.extension);
            if (!square) {
                EXPECT_EQ(told, format.format);
            }
            if (m.columns.size() != 4) {
                EXPECT_EQ(matrixFormatOfContent(text), format.format);
            }
            MatrixReading reading;
            if (format.defaultSites) {
                reading.defaultSites = static_cast<double>(m.sites.size());
            }
            const std::vector<CountMatrix> matrices =
                readMatrices(text, square ? format.format : told, "m.txt", "m", reading);
            ASSERT_EQ(matrices.size(), 1u);
            EXPECT_EQ(matrices[0].id, format.id);
            EXPECT_EQ(matrices[0].name, format.name);
            for (const SequenceRecord& background : {SequenceRecord{}, genome}) {
                const SiteCollection matrix = collectionFromMatrix(matrices[0], background);
                EXPECT_EQ(matrix.baseName, format.id);
                EXPECT_EQ(matrix.fromMatrix(), format.format != MatrixFormat::JasparSites);
                expectSameModel(makeCollection(m.sites, background), matrix, background, random);
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
    const auto S = MatrixFormat::JasparSites;
    const auto F = MatrixFormat::FourColumn;
    const auto H = MatrixFormat::Homer;
    const auto X = MatrixFormat::MemeXml;
    const std::string xml = "<MEME>\n<motifs>\n<motif name=\"a\" width=\"1\" sites=\"4\">\n";
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
        // Log-odds and weight matrices are refused by name.
        {U, ">M1\n-1.2 0.5 0.3 -2\n0.1 0.2 0.3 0.4\n", 2, "\"-1.2\" is not a count"},
        {U, ">M1\nA -1 2\nC 1 2\nG 1 2\nT 1 2\n", 2, "log-odds and weight matrices are not read"},
        {T, "ID a\nP0 A C G T\n01 -0.5 1 1 1\n", 3, "log-odds and weight matrices are not read"},
        {M, meme + "-0.25 0.25 0.5 0.5\n", 4, "log-odds and weight matrices are not read"},
        {S, ">s1\nacTGTGAtt\n>s2\naTGTGtt\n", 3,
         "the site of record \"s2\" has 4 letters; the first has 5"},
        {S, ">s1 x 1\nacTGTGAtt\n>s1 x 2\nacgt\n", 3,
         "record \"s1 x 2\" has no site in upper case"},
        {S, ">s1\nacTGtGAtt\n", 1, "record \"s1\" has two runs of upper case"},
        {S, "TGTGA\n>s1\nTGTGA\n", 1, "a sequence before the first \">\" header"},
        {F, ">M1\n1 2 3\n", 2, "a row of 3 numbers; rows have four"},
        {F, "#M1\nA 1 2 3 4\n", 2, "a row that begins with a letter"},
        {H, ">M1\tx\t5\n0.5 0.5 0 1.5\n", 2, "\"1.5\" is not a probability"},
        {H, "0.5 0.5 0 0\n", 1, "rows before the first"},
        {X, xml, 3, "the file ends inside <motif>"},
        {X, "<STREME>\n", 1, "only MEME's XML output (<MEME>) is read"},
        {X, "<MEME>\n<motifs>\n</MEME>\n", 3, "</MEME> where </motifs> was expected"},
        {X, "<MEME>\n<a b=c>\n", 2, "the attribute b of <a> has no quoted value"},
        {X, "<MEME>\n<!-- open\n", 2, "a comment that does not end"},
        {X, "<MEME></MEME>\n", 0, "no matrix (no <motif> in <motifs>)"},
        {X, xml + "<probabilities><alphabet_matrix><alphabet_array>\n<value letter_id=\"E\">", 5,
         "letter_id \"E\" is not a base"},
        {X,
         xml + "<probabilities><alphabet_matrix><alphabet_array>\n<value letter_id=\"A\">1"
               "</value></alphabet_array>",
         5, "a position of motif \"a\" without C"},
        {X, xml + "<probabilities><alphabet_matrix></alphabet_matrix></probabilities></motif>", 3,
         "motif \"a\": width=1 but 0 positions"},
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
              "AC  M00002\nXX\nPO  T G C A\n01 4 0 0 0 T\n02 0 0 0 4 A\nXX\n"
              "AC  M00003\nP0 A C G T\n01 1 1 1 1\n");
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
         {{"F$ONE", "One", {{1, 2, 2, 0}}},
          {"M00002", "", {{0, 0, 0, 4}, {4, 0, 0, 0}}},
          {"M00003", "", {{1, 1, 1, 1}}}}},
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
                                                           {"sites", MatrixFormat::JasparSites},
                                                           {"xml", MatrixFormat::MemeXml},
                                                           {"CB", MatrixFormat::FourColumn},
                                                           {"motif", MatrixFormat::Homer},
                                                           {"motifs", MatrixFormat::Homer},
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
             {"", MatrixFormat::Unknown},
             {"****\nMEME - Motif discovery tool\n****\nMEME version 5\n", MatrixFormat::Meme},
             {"<?xml version='1.0'?>\n<MEME>\n", MatrixFormat::MemeXml},
             {">s1 CRP 1\nacgTGTGAtt\n", MatrixFormat::JasparSites},
             {">a\n1 2 3 4\n1 2 3 4\n", MatrixFormat::FourColumn},
             {"#a b\n1 2 3 4\n", MatrixFormat::FourColumn},
             {"#a b\n1 2 3\n1 2 3\n1 2 3\n1 2 3\n", MatrixFormat::Jaspar},
             {">TGA\tname\t6.5\n0.1 0.2 0.3 0.4\n", MatrixFormat::Homer},
             {"CC  comment\n", MatrixFormat::Transfac}}) {
        EXPECT_EQ(matrixFormatOfContent(text), format) << text;
    }
    // Four rows of four numbers: the layout whose columns (four rows) or
    // rows (four columns) alone total alike, which the extension settles.
    const std::string byColumn = ">a\n1 0 3 2\n1 2 0 1\n1 1 1 1\n1 1 0 0\n";
    const std::string byRow = ">a\n1 1 1 1\n0 2 1 1\n3 0 1 0\n2 1 1 0\n";
    const std::string oneRow = ">a\n1 2 3 4\n";
    for (const auto& [text, extension, format] :
         std::vector<std::tuple<std::string, std::string, MatrixFormat>>{
             {byColumn, "txt", MatrixFormat::Jaspar},
             {byColumn, "cb", MatrixFormat::FourColumn},
             {byColumn, "motif", MatrixFormat::Homer},
             {byColumn, "meme", MatrixFormat::Jaspar},
             {byRow, "txt", MatrixFormat::FourColumn},
             {byRow, "pfm", MatrixFormat::Jaspar},
             {oneRow, "jaspar", MatrixFormat::FourColumn},
             {oneRow, "motif", MatrixFormat::Homer},
             {"hello\n", "jaspar", MatrixFormat::Jaspar},
             {"MEME version 4\n", "jaspar", MatrixFormat::Meme}}) {
        EXPECT_EQ(matrixFormatOf(text, extension), format) << extension << ":\n" << text;
    }
}

// The samples of tests/data/motifs, one per dialect as its makers lay it
// out: each gives its IDs and names, and its first matrix, counted from the
// crp example's 17 sites, gives their model and scores bit for bit; read
// from gzip data or standard input, each gives the same.
TEST(CountMatrix, SamplesOfEveryDialectGiveTheirSites) {
    TempFolder folder;
    const std::string data = std::string(XOPREX_TEST_DATA) + "/motifs/";
    std::mt19937 random(17);
    const std::string crpSites = std::string(XOPREX_EXAMPLES) + "/crp_sites.txt";
    const SiteCollection crp = loadCollection(crpSites, SequenceRecord{});
    using Strings = std::vector<std::string>;
    const Strings memeIds = {"TGTGATCGAGGTCACACTT", "TACTGT"};
    const Strings jasparIds = {"MX0001.1", "MX0002.1"};
    const struct {
        std::string file;
        Strings ids;
        Strings names;
    } samples[] = {
        {"meme.txt", memeIds, {"MEME-1", "MEME-2"}},
        {"meme.xml", memeIds, {"MEME-1", "MEME-2"}},
        {"crp.jaspar", jasparIds, {"CRP", "second"}},
        {"MX0001.1.pfm", {"MX0001.1"}, {""}},
        {"MX0001.1.sites", {"MX0001.1"}, {"CRP"}},
        {"crp_four_column.txt", jasparIds, {"CRP", "second"}},
        {"crp_four_row.txt", jasparIds, {"CRP", "second"}},
        {"crp.cb", {"CRP", "second"}, {"MX0001.1", ""}},
        {"crp.motif", memeIds, {"CRP(HTH)/Ecoli-CRP-ChIP-Seq/Homer", "second/Homer"}},
        {"crp.transfac", {"E$CRP_01", "E$SECOND_01"}, {"CRP", "second"}},
        {"crp_dialect.dat", {"CRP", "second"}, {"", ""}},
    };
    // HOMER gives no number of sites.
    const MatrixReading seventeen{17.0};
    for (const auto& sample : samples) {
        SCOPED_TRACE(sample.file);
        std::filesystem::copy_file(data + sample.file, sample.file);
        const std::vector<CountMatrix> matrices = readMatrixFile(sample.file, seventeen);
        ASSERT_EQ(matrices.size(), sample.ids.size());
        for (size_t i = 0; i < matrices.size(); ++i) {
            EXPECT_EQ(matrices[i].id, sample.ids[i]);
            EXPECT_EQ(matrices[i].name, sample.names[i]);
            EXPECT_EQ(matrices[i].columns.size(), i == 0 ? 19u : 6u);
        }
        const SiteCollection first = collectionFromMatrix(matrices[0], SequenceRecord{});
        expectSameModel(crp, first, SequenceRecord{}, random);
        if (sample.file.ends_with(".sites")) {
            EXPECT_EQ(matrices[0].sites, splitLines(readFile(crpSites)));
        }

        const std::string packed = xoprex::testing::gzipFile(sample.file);
        const std::vector<CountMatrix> unpacked = readMatrixFile(packed, seventeen);
        xoprex::testing::StandardInputFrom input(packed);
        const std::vector<CountMatrix> piped = readMatrixFile("-", seventeen);
        for (const auto* copy : {&unpacked, &piped}) {
            ASSERT_EQ(copy->size(), matrices.size());
            for (size_t i = 0; i < matrices.size(); ++i) {
                const bool bare = copy == &piped && sample.file.ends_with(".pfm");
                EXPECT_EQ((*copy)[i].id, bare ? "stdin" : matrices[i].id);
                EXPECT_EQ((*copy)[i].name, matrices[i].name);
                EXPECT_EQ((*copy)[i].columns, matrices[i].columns);
                EXPECT_EQ((*copy)[i].sites, matrices[i].sites);
            }
        }
    }
}

// Later matrices of a taken ID become ID.2, ID.3, ... past every name taken
// in earlier files and every ID still to come; one message each.
TEST(CountMatrix, DuplicateIdsAreToldApartAcrossFiles) {
    const auto withIds = [](const std::vector<std::string>& ids) {
        std::vector<CountMatrix> matrices(ids.size());
        for (size_t i = 0; i < ids.size(); ++i) {
            matrices[i].id = ids[i];
        }
        return matrices;
    };
    const auto idsOf = [](const std::vector<CountMatrix>& matrices) {
        std::vector<std::string> ids;
        for (const CountMatrix& matrix : matrices) {
            ids.push_back(matrix.id);
        }
        return ids;
    };
    std::unordered_set<std::string> taken;
    std::vector<CountMatrix> first = withIds({"CRP", "LexA", "CRP", "CRP.2", "CRP", "LexA"});
    const std::vector<std::string> messages = renameDuplicateIds(first, taken, "a.meme");
    EXPECT_EQ(idsOf(first),
              (std::vector<std::string>{"CRP", "LexA", "CRP.3", "CRP.2", "CRP.4", "LexA.2"}));
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0],
              "a.meme: matrix 3 has the ID \"CRP\" of an earlier matrix; it is titled \"CRP.3\"");
    std::vector<CountMatrix> second = withIds({"LexA", "FNR", "CRP.3"});
    EXPECT_EQ(renameDuplicateIds(second, taken, "b.jaspar").size(), 2u);
    EXPECT_EQ(idsOf(second), (std::vector<std::string>{"LexA.3", "FNR", "CRP.3.2"}));
    EXPECT_EQ(taken.size(), 9u);
}
