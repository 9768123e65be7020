// The command line's flags set exactly what the options file sets: a search
// with flags writes the same results table as one with those values in its
// options file, and one without any options file runs on the factory
// defaults.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "temp_dir.h"

namespace {

using xoprex::testing::readFile;
using xoprex::testing::TempDir;

const std::string kExamples = std::string(XOPREX_EXAMPLES) + "/";

int xoprex(const std::string& args) {
    return std::system((std::string(XOPREX_CLI) + " " + args + " > out.txt 2>&1").c_str());
}

// The options file text with the k-th value replaced for every k in `values`.
std::string withValues(std::string text, const std::vector<std::string>& values) {
    size_t at = 0;
    for (const std::string& value : values) {
        at = text.find('$', at) + 1;
        const size_t end = std::min(text.find('\n', at), text.size());
        text.replace(at, end - at, value);
    }
    return text;
}

std::string tableIn(const std::string& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() == ".csv" &&
            entry.path().filename().string().find("crp_sites_") != std::string::npos &&
            entry.path().filename().string().find("motif_score") == std::string::npos &&
            entry.path().filename().string().find("freq_table") == std::string::npos) {
            return readFile(entry.path().string());
        }
    }
    return "";
}

TEST(Flags, SameTableAsTheSameOptionsInAFile) {
    TempDir dir;
    ASSERT_EQ(xoprex("options --write-defaults factory.txt"), 0);
    const std::string factory = readFile("factory.txt");
    const std::string search = "search --sequence " + kExamples + "pPCP1.gbk --collection " +
                               kExamples + "crp_sites.txt --no-log --threads 2";

    // No options file: the factory defaults.
    std::filesystem::create_directories("none");
    std::filesystem::create_directories("file");
    ASSERT_EQ(xoprex(search + " --out-dir none"), 0) << readFile("out.txt");
    ASSERT_EQ(xoprex(search + " --options factory.txt --out-dir file"), 0);
    EXPECT_EQ(tableIn("none"), tableIn("file"));
    EXPECT_NE(readFile("none/pPCP1.log").find("Options in effect: log no; method 1 (Ri)"),
              std::string::npos);

    std::mt19937 random(14);
    const auto pick = [&random](const std::vector<std::string>& from) {
        return from[random() % from.size()];
    };
    for (int trial = 0; trial < 6; ++trial) {
        const std::string method = pick({"1", "2", "5", "6", "9", "10"});
        const bool literal = trial % 3 == 0;
        const std::string threshold = literal ? pick({"2", "4.5"}) : pick({"0.6", "0.85"});
        const std::string background = pick({"uniform", "genome"});
        const std::string sort = pick({"score", "position"});
        const bool keep = random() % 2 == 0;
        const bool integrative = trial % 2 == 1;
        const std::string promoter = pick({"350", "120"});
        const std::string rescore = pick({"1", "2", "3"});
        std::string flags = " --method " + method + " --threshold " + threshold + " --background " +
                            background + " --sort " + sort + " --promoter-distance " + promoter +
                            " --in-gene-distance 80" + " --relaxation 2 --rescore " + rescore;
        flags += literal ? " --literal" : "";
        flags += keep ? " --keep-redundant" : "";
        flags += integrative ? " --integrative -300,-1,1,300" : "";
        const std::string values = withValues(
            factory,
            {"0", method, background == "genome" ? "1" : "0", threshold, promoter, "80",
             sort == "score" ? "1" : "0", keep ? "0" : "1", literal ? "1" : "0",
             integrative ? "1" : "0", integrative ? "-300" : "-200", integrative ? "-1" : "50",
             integrative ? "1" : "250", integrative ? "300" : "850", "2", rescore});
        dir.write("trial.txt", values);
        std::filesystem::remove_all("flags");
        std::filesystem::remove_all("file");
        std::filesystem::create_directories("flags");
        std::filesystem::create_directories("file");
        ASSERT_EQ(xoprex(search + flags + " --out-dir flags"), 0) << flags << readFile("out.txt");
        ASSERT_EQ(xoprex(search + " --options trial.txt --out-dir file"), 0);
        const std::string table = tableIn("flags");
        EXPECT_FALSE(table.empty()) << flags;
        EXPECT_EQ(table, tableIn("file")) << flags;
    }
}

TEST(Flags, ValuesOutsideTheirRangeAreUsageErrors) {
    TempDir dir;
    const std::string search =
        "search --sequence " + kExamples + "pPCP1.fas --collection " + kExamples + "crp_sites.txt";
    for (const char* flags :
         {"--method 12", "--method nosuch", "--rescore 4", "--relaxation 0", "--background genomic",
          "--integrative 1,2,3", "--threshold x", "--promoter-distance 1.5", "--log --no-log"}) {
        EXPECT_EQ(WEXITSTATUS(xoprex(search + " " + flags)), 1) << flags;
    }
    EXPECT_EQ(xoprex("--version"), 0);
    EXPECT_EQ(readFile("out.txt").substr(0, 7), "xoprex ");
}

}  // namespace

namespace {

// On a terminal the progress line comes and goes on standard error; the
// files are those of a search whose output is not a terminal, and --quiet
// leaves the terminal to the results' names and the closing figures.
TEST(Flags, ProgressLineOnATerminalOnly) {
    if (std::system("command -v script > /dev/null") != 0) {
        GTEST_SKIP() << "script (bsdutils) is not installed";
    }
    TempDir dir;
    std::string fasta;
    for (int r = 0; r < 300; ++r) {
        fasta += ">r" + std::to_string(r) + "\n" + std::string(2000, "ACGT"[r % 4]) + "\n";
    }
    dir.write("t.fa", fasta);
    std::filesystem::copy_file(kExamples + "crp_sites.txt", dir.file("crp.txt"));
    std::filesystem::create_directories(dir.file("plain"));
    std::filesystem::create_directories(dir.file("tty"));
    const std::string search = std::string(XOPREX_CLI) + " search --sequence t.fa --collection crp.txt ";
    ASSERT_EQ(std::system((search + "--out-dir plain > plain.txt 2>&1").c_str()), 0);
    ASSERT_EQ(std::system(("script -qec '" + search + "--out-dir tty' /dev/null > tty.txt").c_str()),
              0);
    const std::string terminal = readFile("tty.txt");
    EXPECT_NE(terminal.find(" of 602 kB ("), std::string::npos) << terminal;
    // Erased before the closing lines.
    EXPECT_LT(terminal.rfind(" records, "), terminal.rfind("\r\033[K"));
    EXPECT_LT(terminal.rfind("\r\033[K"), terminal.find("xoprex: cut-off"));
    EXPECT_EQ(readFile("plain.txt").find('\r'), std::string::npos);
    for (const char* name : {"t_crp_Ri_0.800.csv", "t_seq_log.txt", "t_crp_freq_table.csv"}) {
        EXPECT_EQ(readFile(dir.file("tty/") + name), readFile(dir.file("plain/") + name)) << name;
    }
    ASSERT_EQ(std::system(("script -qec '" + search + "--quiet --out-dir tty' /dev/null > quiet.txt")
                              .c_str()),
              0);
    const std::string quiet = readFile("quiet.txt");
    EXPECT_EQ(quiet.find("Analyzing sequence"), std::string::npos) << quiet;
    EXPECT_EQ(quiet.find("records, "), std::string::npos);
    EXPECT_NE(quiet.find("Results table: tty/t_crp_Ri_0.800.csv"), std::string::npos);
}

}  // namespace
