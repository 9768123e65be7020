// The inputs the command line takes beside plain files with strict names:
// gzip files (one member or several), standard input, long extensions and
// every record of a GenBank file. Each gives the plain file's results table
// byte for byte.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "temp_dir.h"

using xoprex::testing::readFile;
using xoprex::testing::TempDir;

namespace {

const std::string kExamples = std::string(XOPREX_EXAMPLES) + "/";
const std::string kOptions = std::string(XOPREX_TEST_DATA) + "/cli/factory_options.txt";
const std::string kTable = "_crp_sites_Ri_0.800.csv";

// Runs a search in the current folder; `redirect` is appended to the
// command line. Returns the exit status.
int search(const std::string& sequence, const std::string& collection,
           const std::string& redirect = "", const std::string& flags = "") {
    const std::string command = std::string(XOPREX_CLI) + " search --sequence " + sequence +
                                " --collection " + collection + " --options " + kOptions + " " +
                                flags + " " + redirect + " > stdout.txt 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void shell(const std::string& command) {
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

}  // namespace

TEST(CliInputs, CompressedAndStandardInputGiveThePlainTable) {
    TempDir dir;
    shell("cp " + kExamples + "pPCP1.gbk " + kExamples + "pPCP1.fas " + kExamples +
          "crp_sites.txt .");
    ASSERT_EQ(search("pPCP1.gbk", "crp_sites.txt"), 0) << readFile("stdout.txt");
    const std::string plain = readFile("pPCP1" + kTable);
    ASSERT_FALSE(plain.empty());
    std::remove(("pPCP1" + kTable).c_str());

    shell("gzip -k pPCP1.gbk && gzip -k crp_sites.txt && cp pPCP1.gbk copy.GBFF");
    // Two members: the file cut in two, each half compressed on its own.
    shell(
        "head -c 4000 pPCP1.gbk | gzip > two.gbk.gz && tail -c +4001 pPCP1.gbk | gzip >> "
        "two.gbk.gz");
    struct Run {
        std::string sequence, collection, redirect, title;
    };
    for (const Run& run : std::vector<Run>{
             {"pPCP1.gbk.gz", "crp_sites.txt.gz", "", "pPCP1"},
             {"two.gbk.gz", "crp_sites.txt", "", "two"},
             {"copy.GBFF", "crp_sites.txt", "", "copy"},
             {"-", "crp_sites.txt", "< pPCP1.gbk", "stdin"},
             {"-", "crp_sites.txt", "< pPCP1.gbk.gz", "stdin"},
             {"pPCP1.gbk", "-", "< crp_sites.txt.gz", "pPCP1"},
         }) {
        const std::string what = run.sequence + " " + run.collection + " " + run.redirect;
        ASSERT_EQ(search(run.sequence, run.collection, run.redirect), 0) << what << "\n"
                                                                         << readFile("stdout.txt");
        const std::string table =
            run.title + (run.collection == "-" ? "_stdin" : "_crp_sites") + "_Ri_0.800.csv";
        EXPECT_EQ(readFile(table), plain) << what;
        std::remove(table.c_str());
    }

    // FASTA under the long extension, compressed, against the .fas table.
    ASSERT_EQ(search("pPCP1.fas", "crp_sites.txt"), 0);
    shell("gzip -c pPCP1.fas > genome.fasta.gz");
    ASSERT_EQ(search("genome.fasta.gz", "crp_sites.txt"), 0);
    EXPECT_EQ(readFile("genome" + kTable), readFile("pPCP1" + kTable));
}

TEST(CliInputs, FaultyInputsExitTwoNamingTheProblem) {
    TempDir dir;
    shell("cp " + kExamples + "crp_sites.txt . && gzip -c " + kExamples +
          "pPCP1.gbk | head -c 2000 > cut.gbk.gz && printf 'ACGT\\n' > plain.txt");
    EXPECT_EQ(search("cut.gbk.gz", "crp_sites.txt"), 2);
    EXPECT_EQ(readFile("OprexLog.txt"), "truncated gzip file: cut.gbk.gz\n");
    EXPECT_EQ(search("-", "crp_sites.txt", "< plain.txt"), 2);
    EXPECT_NE(readFile("OprexLog.txt").find("standard input"), std::string::npos);
    EXPECT_NE(search("-", "-", "< plain.txt"), 0);
}

TEST(CliInputs, AllRecordsSearchesEveryGenBankRecord) {
    TempDir dir;
    shell("cat " + kExamples + "pPCP1.gbk " + kExamples + "pPCP1.gbk > two.gbk && cp " + kExamples +
          "pPCP1.gbk one.gbk");
    ASSERT_EQ(search("one.gbk", kExamples + "crp_sites.txt"), 0);
    ASSERT_EQ(search("two.gbk", kExamples + "crp_sites.txt"), 0);
    EXPECT_EQ(readFile("two" + kTable), readFile("one" + kTable));  // the first record only
    ASSERT_EQ(search("two.gbk", kExamples + "crp_sites.txt", "", "--all-records"), 0);
    const std::string one = readFile("one" + kTable);
    const std::string both = readFile("two" + kTable);
    const std::string rows = one.substr(0, one.find("\n\n") + 1);  // header and hits
    EXPECT_EQ(both.find(rows), 0u);
    EXPECT_NE(both.find(rows, rows.size()), std::string::npos);  // the second record's
    EXPECT_NE(both.find("\nSequences,2\n"), std::string::npos);
}
