// Golden-file tests of whole CLI searches on the bundled examples. The FASTA
// tables were cross-checked against a separate straightforward implementation
// (tests/tools/reference_search.py); the annotation columns were checked by
// hand against the GenBank record's CDS coordinates.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>

#include "temp_dir.h"

using xoprex::testing::readFile;
using xoprex::testing::TempDir;

namespace {

const std::string kData = std::string(XOPREX_TEST_DATA) + "/cli/";
const std::string kExamples = std::string(XOPREX_EXAMPLES) + "/";

int search(const std::string& target, const std::string& options) {
    const std::string command = std::string(XOPREX_CLI) + " search --sequence " + kExamples +
                                target + " --collection " + kExamples + "crp_sites.txt --options " +
                                kData + options + " > stdout.txt";
    return std::system(command.c_str());
}

// Elapsed seconds depend on the machine.
std::string withoutTimes(const std::string& log) {
    return std::regex_replace(log, std::regex("Time \\(s\\): [0-9]+"), "Time (s): T");
}

}  // namespace

TEST(GoldenSearch, GenBankTargetWithFactoryOptions) {
    TempDir dir;
    ASSERT_EQ(search("pPCP1.gbk", "factory_options.txt"), 0);
    for (const char* name :
         {"pPCP1_crp_sites_Ri_0.800.csv", "pPCP1_gene_log.csv",
          "pPCP1_crp_sites__motif_score_log.csv", "pPCP1_crp_sites_freq_table.csv"}) {
        EXPECT_EQ(readFile(dir.file(name)), readFile(kData + name)) << name;
    }
    EXPECT_EQ(withoutTimes(readFile(dir.file("pPCP1.log"))),
              withoutTimes(readFile(kData + "pPCP1_gbk.log")));
    EXPECT_EQ(readFile(dir.file("stdout.txt")),
              readFile(dir.file("pPCP1.log")) + "Results table: pPCP1_crp_sites_Ri_0.800.csv\n");
}

TEST(GoldenSearch, FastaTargetLiteralCutOffSortedByPosition) {
    TempDir dir;
    ASSERT_EQ(search("pPCP1.fas", "method6_literal3_by_position.txt"), 0);
    const char* name = "pPCP1_crp_sites_PredictRegulon_3.000.csv";
    EXPECT_EQ(readFile(dir.file(name)), readFile(kData + name));
    for (const char* log : {"pPCP1_seq_log.txt", "pPCP1_crp_sites__motif_score_log.csv",
                            "pPCP1_crp_sites_freq_table.csv"}) {
        EXPECT_FALSE(std::filesystem::exists(dir.file(log))) << log;  // option 1 off
    }
}

// Integrative mode with a negative cut-off (method 10): the relaxed cut-off
// admits more windows, and every hit carries its three neighbourhood means.
TEST(GoldenSearch, FastaTargetIntegrativeModeWithNegativeCutOff) {
    TempDir dir;
    ASSERT_EQ(search("pPCP1.fas", "method10_integrative.txt"), 0);
    const char* name = "pPCP1_crp_sites_Oprex_HI_0.800.csv";
    EXPECT_EQ(readFile(dir.file(name)), readFile(kData + name));
}

// The formats for other programs, pinned on the GenBank example (the TSV's
// p-values and q-values included).
TEST(GoldenSearch, TsvBedAndGff3OfTheGenBankExample) {
    TempDir dir;
    for (const char* example : {"pPCP1.gbk", "crp_sites.txt"}) {
        dir.write(example, readFile(kExamples + example));
    }
    const std::string command = std::string(XOPREX_CLI) +
                                " search --sequence pPCP1.gbk --collection crp_sites.txt --no-log "
                                "--format tsv,bed,gff3 > stdout.txt 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << readFile(dir.file("stdout.txt"));
    for (const char* format : {"tsv", "bed", "gff3"}) {
        const std::string name = std::string("pPCP1_crp_sites_Ri_0.800.") + format;
        EXPECT_EQ(readFile(dir.file(name)), readFile(kData + name)) << name;
    }
}
