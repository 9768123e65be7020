// Many collections and matrices as one long table: to standard output with
// nothing else written, to a file, read back by pandas; matrices chosen by
// ID, duplicate IDs told apart, and a limit on the windows kept for the
// q-values.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "temp_dir.h"

namespace {

using xoprex::testing::readFile;
using xoprex::testing::TempDir;

const std::string kXoprex = XOPREX_CLI;
const std::string kMotifs = std::string(XOPREX_TEST_DATA) + "/motifs/";

int run(const std::string& command) {
    return WEXITSTATUS(std::system(command.c_str()));
}

std::set<std::string> filesHere() {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// The rows of a TSV without its comment lines.
std::string rowsOf(const std::string& text) {
    return std::regex_replace(text, std::regex("#[^\n]*\n"), "");
}

class OneTable : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_.write("p.gbk", readFile(std::string(XOPREX_EXAMPLES) + "/pPCP1.gbk"));
        dir_.write("crp.txt", readFile(std::string(XOPREX_EXAMPLES) + "/crp_sites.txt"));
        // Two files whose matrices share IDs: the later ones are renamed.
        const std::string jaspar = readFile(kMotifs + "crp.jaspar");
        dir_.write("a.jaspar", jaspar);
        dir_.write("b.jaspar", jaspar);
    }
    TempDir dir_;
};

TEST_F(OneTable, StandardOutputHoldsEveryCollectionAndNothingElseIsWritten) {
    const std::set<std::string> before = filesHere();
    const std::string search = kXoprex +
                               " search --sequence p.gbk --collection crp.txt --motifs a.jaspar "
                               "--motifs b.jaspar --pvalue 1e-3 ";
    ASSERT_EQ(run(search + "--stdout tsv > all.tsv 2> err.txt"), 0) << readFile("err.txt");
    EXPECT_EQ(filesHere().size(), before.size() + 2);  // all.tsv and err.txt alone
    const std::string err = readFile("err.txt");
    EXPECT_NE(err.find("it is titled \"MX0001.1.2\""), std::string::npos) << err;
    // Each collection's rows, in turn, are those of its own TSV.
    ASSERT_EQ(run(search + "--format tsv --no-log --out-table one.tsv > out.txt 2>&1"), 0)
        << readFile("out.txt");
    EXPECT_EQ(rowsOf(readFile("one.tsv")), rowsOf(readFile("all.tsv")));
    std::string own;
    for (const char* title : {"crp", "MX0001.1", "MX0002.1", "MX0001.1.2", "MX0002.1.2"}) {
        const std::string rows = rowsOf(readFile(std::string("p_") + title + "_Ri_p0.001.tsv"));
        own += own.empty() ? rows : rows.substr(rows.find('\n') + 1);  // one header row
    }
    EXPECT_EQ(rowsOf(readFile("all.tsv")), own);
    if (run("/usr/bin/python3 -c 'import pandas' 2> /dev/null") == 0) {
        dir_.write("read.py",
                   "import pandas as pd\n"
                   "t = pd.read_csv('all.tsv', sep='\\t', comment='#')\n"
                   "n = t.groupby('motif_id').size().to_dict()\n"
                   "assert set(n) == {'crp', 'MX0001.1', 'MX0002.1', 'MX0001.1.2', "
                   "'MX0002.1.2'} or set(n) <= {'crp', 'MX0001.1', 'MX0002.1', 'MX0001.1.2', "
                   "'MX0002.1.2'}, n\n"
                   "assert n['MX0001.1'] == n['MX0001.1.2'], n\n"
                   "assert (t[t.motif_id == 'MX0001.1'].motif_alt_id == 'CRP').all()\n");
        EXPECT_EQ(run("/usr/bin/python3 read.py > py.txt 2>&1"), 0) << readFile("py.txt");
    }
    // A GFF3 table numbers its features through every collection.
    ASSERT_EQ(run(search + "--stdout gff3 > all.gff3 2> err.txt"), 0);
    if (run("command -v gt > /dev/null") == 0) {
        EXPECT_EQ(run("gt gff3validator all.gff3 > gt.txt 2>&1"), 0) << readFile("gt.txt");
    }
}

TEST_F(OneTable, MatricesChosenByIdOrAltId) {
    const std::string search = kXoprex +
                               " search --sequence p.gbk --motifs a.jaspar "
                               "--pvalue 1e-3 --stdout tsv ";
    ASSERT_EQ(run(search + "--motif second > t.tsv 2> err.txt"), 0) << readFile("err.txt");
    const std::string rows = rowsOf(readFile("t.tsv"));
    EXPECT_EQ(rows.find("MX0001.1\t"), std::string::npos);
    EXPECT_NE(rows.find("\nMX0002.1\tsecond\t"), std::string::npos) << rows;
    EXPECT_EQ(run(search + "--motif MX0001.1 --motif NOPE > t.tsv 2> err.txt"), 2);
    // With --stdout every message goes to standard error.
    EXPECT_NE(readFile("err.txt").find("--motif NOPE names no matrix of a.jaspar"),
              std::string::npos)
        << readFile("err.txt");
    EXPECT_EQ(readFile("t.tsv"), "");
}

// Beyond the limit the rows come as they are found, with their p-values,
// and the q-values stay empty: the same rows otherwise.
TEST_F(OneTable, RowsBeyondTheStoredLimitKeepTheirPValues) {
    const std::string search = kXoprex +
                               " search --sequence p.gbk --collection crp.txt --literal "
                               "--threshold 3 --keep-redundant --stdout tsv ";
    ASSERT_EQ(run(search + "> stored.tsv 2> err.txt"), 0);
    ASSERT_EQ(run(search + "--max-stored-hits 200 > streamed.tsv 2> err.txt"), 0);
    EXPECT_NE(readFile("err.txt").find("their q-values are left empty"), std::string::npos);
    const std::string stored = rowsOf(readFile("stored.tsv"));
    const std::string streamed = rowsOf(readFile("streamed.tsv"));
    ASSERT_GT(std::count(stored.begin(), stored.end(), '\n'), 100);
    // Without the q-value column (the ninth), the same rows; streamed, it is
    // empty.
    const auto withoutQ = [](const std::string& rows) {
        return std::regex_replace(
            rows, std::regex("^((?:[^\t\n]*\t){8})[^\t\n]*", std::regex::multiline), "$1");
    };
    EXPECT_EQ(withoutQ(stored), withoutQ(streamed));
    EXPECT_EQ(withoutQ(streamed), std::regex_replace(streamed, std::regex("q_value"), ""));
}

}  // namespace
