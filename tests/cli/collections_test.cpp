// Several collections in one pass write, file for file and byte for byte,
// what searches run one after another write; lists of collections and their
// mistakes; count matrices find what the sites they count find.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "random_text.h"
#include "temp_dir.h"

namespace {

using xoprex::testing::readFile;
using xoprex::testing::TempDir;

const std::string kExamples = std::string(XOPREX_EXAMPLES) + "/";

int run(const std::string& command) {
    return WEXITSTATUS(std::system(command.c_str()));
}

std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A file as compared: the run log without its times and folders, the TSV
// without its command line.
std::string comparable(const std::string& path) {
    std::string text = readFile(path);
    text = std::regex_replace(text, std::regex("Time \\(s\\): [0-9.e+-]+"), "Time");
    text = std::regex_replace(text, std::regex("(sep|one)/"), "");
    return std::regex_replace(text, std::regex("# command: [^\n]*\n"), "");
}

TEST(Collections, OnePassWritesWhatSeparateSearchesWrite) {
    TempDir dir;
    std::string fasta;
    for (int r = 0; r < 4; ++r) {
        // One record long enough to be scanned on several threads, and
        // bytes that the reverse strand leaves out.
        std::string sequence =
            xoprex::testing::randomText(r == 1 ? 70'000 : 900 + 500 * r, "ACGTACGTN", 40 + r);
        if (r == 2) {
            sequence[30] = '-';
        }
        fasta += ">r" + std::to_string(r) + "\n" + sequence + "\n";
    }
    dir.write("t.fas", fasta);
    std::filesystem::copy_file(kExamples + "pPCP1.gbk", dir.file("p.gbk"));
    std::filesystem::copy_file(kExamples + "crp_sites.txt", dir.file("crp.txt"));
    dir.write("short.txt", "TTGACATAT\nTTGACTTAT\nATGACATTA\nTTTACAAAT\n");
    dir.write("mid.txt", "TGTGAGCTAGATCA\nTGTGATCTAGATCA\nTTTGAGCTAGATCA\n");
    const std::vector<std::string> collections = {"crp.txt", "short.txt", "mid.txt"};
    const char* modes[] = {"--method 5 --threshold 0.5 --format csv,tsv,bed,gff3",
                           "--integrative -30,-1,1,30 --threads 1", "--method 5 --sort position"};
    for (const std::string target : {"t.fas", "p.gbk"}) {
        for (const std::string mode : modes) {
            SCOPED_TRACE(target + " " + mode);
            std::filesystem::remove_all(dir.file("sep"));
            std::filesystem::remove_all(dir.file("one"));
            std::filesystem::create_directory(dir.file("sep"));
            std::filesystem::create_directory(dir.file("one"));
            std::string all;
            for (const std::string& collection : collections) {
                ASSERT_EQ(run(std::string(XOPREX_CLI) + " search --sequence " + target +
                              " --collection " + collection + " --out-dir sep " + mode +
                              " > /dev/null 2>&1"),
                          0);
                all += " --collection " + collection;
            }
            ASSERT_EQ(run(std::string(XOPREX_CLI) + " search --sequence " + target + all +
                          " --out-dir one " + mode + " > out.txt 2> err.txt"),
                      0)
                << readFile("err.txt");
            ASSERT_EQ(filesIn("one"), filesIn("sep"));
            EXPECT_GE(filesIn("one").size(), 12u);
            for (const std::string& name : filesIn("one")) {
                EXPECT_EQ(comparable("one/" + name), comparable("sep/" + name)) << name;
            }
            // One summary line per collection, named (and its notes).
            const std::string summary = readFile("err.txt");
            const std::regex line("xoprex: [a-z]+: cut-off ");
            EXPECT_EQ(std::distance(std::sregex_iterator(summary.begin(), summary.end(), line),
                                    std::sregex_iterator()),
                      3)
                << summary;
            EXPECT_NE(summary.find("xoprex: short: cut-off"), std::string::npos);
        }
    }
}

TEST(Collections, ListsAndTheirMistakes) {
    TempDir dir;
    std::filesystem::copy_file(kExamples + "pPCP1.fas", dir.file("p.fas"));
    std::filesystem::create_directories(dir.file("a"));
    std::filesystem::create_directories(dir.file("b"));
    std::filesystem::copy_file(kExamples + "crp_sites.txt", dir.file("a/crp.txt"));
    std::filesystem::copy_file(kExamples + "crp_sites.txt", dir.file("b/crp.txt"));
    dir.write("short.txt", "TTGACATAT\nTTGACTTAT\nATGACATTA\nTTTACAAAT\n");
    const std::string search = std::string(XOPREX_CLI) + " search --sequence p.fas --no-log ";

    // A list: paths a line, blanks and comments skipped, after --collection.
    dir.write("list.txt", "# two more\n\n  a/crp.txt  \r\n");
    ASSERT_EQ(run(search + "--collection short.txt --collections list.txt > out.txt 2>&1"), 0)
        << readFile("out.txt");
    EXPECT_TRUE(std::filesystem::exists("p_short_Ri_0.800.csv"));
    EXPECT_TRUE(std::filesystem::exists("p_crp_Ri_0.800.csv"));

    // Two collections of one title would replace each other's files.
    EXPECT_EQ(run(search + "--collection a/crp.txt --collection b/crp.txt > out.txt 2>&1"), 2);
    EXPECT_NE(readFile("out.txt").find("have the same title, crp"), std::string::npos)
        << readFile("out.txt");
    dir.write("empty.txt", "# nothing\n\n");
    EXPECT_EQ(run(search + "--collections empty.txt > out.txt 2>&1"), 2);
    EXPECT_NE(readFile("out.txt").find("names no collection"), std::string::npos);
    EXPECT_EQ(run(search + "--collections missing.txt > out.txt 2>&1"), 2);
    // A bad entry is named with its line and the reason.
    dir.write("bad.txt", "a/crp.txt\n# a comment\nc/crp.txt\n");
    EXPECT_EQ(run(search + "--collections bad.txt > out.txt 2>&1"), 2);
    EXPECT_NE(readFile("out.txt").find("The collection list bad.txt, line 3: Incorrect file name: "
                                       "c/crp.txt"),
              std::string::npos)
        << readFile("out.txt");
    EXPECT_EQ(run(search + "> out.txt 2>&1"), 1);
    EXPECT_EQ(run(search + "--collection - --collection - < short.txt > out.txt 2>&1"), 1);
}

// The counts of the sites as a JASPAR matrix and as a MEME motif.
std::string countsOf(const std::vector<std::string>& sites, bool meme) {
    std::string text = meme ? "MEME version 4\n\nALPHABET= ACGT\n\nMOTIF CRP crp\n"
                              "letter-probability matrix: alength= 4 w= " +
                                  std::to_string(sites[0].size()) +
                                  " nsites= " + std::to_string(sites.size()) + "\n"
                            : ">CRP crp\n";
    std::vector<std::string> rows(meme ? sites[0].size() : 4);
    for (size_t l = 0; l < sites[0].size(); ++l) {
        for (int b = 0; b < 4; ++b) {
            const auto n = std::count_if(sites.begin(), sites.end(),
                                         [&](const std::string& s) { return s[l] == "ACGT"[b]; });
            char number[32];
            if (meme) {  // probabilities printed rounded, as MEME prints them
                std::snprintf(number, sizeof number, " %.6f",
                              static_cast<double>(n) / static_cast<double>(sites.size()));
            } else {
                std::snprintf(number, sizeof number, " %ld", static_cast<long>(n));
            }
            rows[meme ? l : static_cast<size_t>(b)] += number;
        }
    }
    for (size_t r = 0; r < rows.size(); ++r) {
        text += meme ? rows[r] + "\n" : std::string(1, "ACGT"[r]) + " [" + rows[r] + " ]\n";
    }
    return text;
}

TEST(Collections, MatricesFindWhatTheirSitesFind) {
    TempDir dir;
    std::filesystem::copy_file(kExamples + "pPCP1.gbk", dir.file("p.gbk"));
    std::filesystem::copy_file(kExamples + "crp_sites.txt", dir.file("crp.txt"));
    std::vector<std::string> sites;
    std::istringstream in(readFile("crp.txt"));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) {
            sites.push_back(line.substr(0, line.find_last_not_of("\r") + 1));
        }
    }
    dir.write("crp.jaspar", countsOf(sites, false));
    dir.write("crp.meme", countsOf(sites, true));
    const std::string search = std::string(XOPREX_CLI) +
                               " search --sequence p.gbk --method 5 --literal --threshold 2 "
                               "--format csv,tsv --no-log ";
    ASSERT_EQ(run(search + "--collection crp.txt > out.txt 2>&1"), 0) << readFile("out.txt");
    for (const char* matrices : {"crp.jaspar", "crp.meme"}) {
        SCOPED_TRACE(matrices);
        ASSERT_EQ(run(search + "--motifs " + matrices + " > out.txt 2>&1"), 0)
            << readFile("out.txt");
        EXPECT_EQ(readFile("p_CRP_Rseq_Ri_2.000.csv"), readFile("p_crp_Rseq_Ri_2.000.csv"));
        const auto rows = [](const std::string& path) {
            return std::regex_replace(readFile(path), std::regex("#[^\n]*\n"), "");
        };
        EXPECT_EQ(rows("p_CRP_Rseq_Ri_2.000.tsv"), rows("p_crp_Rseq_Ri_2.000.tsv"));
    }
    // Without sites there is no relative threshold.
    EXPECT_EQ(run(std::string(XOPREX_CLI) +
                  " search --sequence p.gbk --motifs crp.jaspar > out.txt 2>&1"),
              2);
    EXPECT_NE(readFile("out.txt").find("give the cut-off score (--literal) or a p-value"),
              std::string::npos)
        << readFile("out.txt");
    // Past a few dozen matrices each lets its distribution go once its
    // p-value cut-off is known and builds it again for its p-values: the
    // same answers as one kept throughout.
    std::string many;
    for (int m = 0; m < 34; ++m) {
        many += countsOf(sites, false).replace(1, 3, "M" + std::to_string(10 + m));
    }
    dir.write("many.jaspar", many);
    const std::string pvalue =
        std::string(XOPREX_CLI) + " search --sequence p.gbk --pvalue 1e-5 --format tsv --no-log ";
    ASSERT_EQ(run(pvalue + "--motifs crp.jaspar > out.txt 2>&1"), 0) << readFile("out.txt");
    ASSERT_EQ(run(pvalue + "--motifs many.jaspar > out.txt 2>&1"), 0) << readFile("out.txt");
    // The rows without the comment lines and the motif's IDs.
    const auto rows = [](const std::string& path) {
        const std::string text = std::regex_replace(readFile(path), std::regex("#[^\n]*\n"), "");
        return std::regex_replace(text, std::regex("(^|\n)[^\t\n]*\t[^\t\n]*\t"), "$1");
    };
    EXPECT_EQ(rows("p_M10_Ri_p1e-05.tsv"), rows("p_CRP_Ri_p1e-05.tsv"));
    EXPECT_EQ(rows("p_M43_Ri_p1e-05.tsv"), rows("p_CRP_Ri_p1e-05.tsv"));
}

}  // namespace
