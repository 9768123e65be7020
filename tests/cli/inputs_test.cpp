// The inputs the command line takes beside plain files with strict names:
// gzip files (one member or several), standard input, long extensions and
// every record of a GenBank file. Each gives the plain file's results table
// byte for byte.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "available_memory.h"
#include "temp_dir.h"

using xoprex::testing::availableMemory;
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

// A byte-order mark opening any input is not text: every input marked gives
// the unmarked run's files byte for byte.
TEST(CliInputs, ByteOrderMarksAreSkipped) {
    TempDir dir;
    const std::string files = kExamples + "pPCP1.fas " + kExamples + "crp_sites.txt " +
                              std::string(XOPREX_TEST_DATA) + "/motifs/crp.jaspar";
    shell("mkdir plain marked && cp " + files +
          " plain/ && printf 'crp_sites.txt\\n' > "
          "plain/list.txt");
    shell("cd plain && for f in *; do printf '\\357\\273\\277' | cat - $f > ../marked/$f; done");
    for (const char* folder : {"plain", "marked"}) {
        const std::string command =
            std::string("cd ") + folder + " && " + XOPREX_CLI +
            " search --sequence pPCP1.fas --collections list.txt --motifs crp.jaspar --pvalue "
            "1e-4 --format csv,tsv --options " +
            kOptions + " --out-dir out > ../" + folder + ".txt 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << readFile(std::string(folder) + ".txt");
    }
    size_t compared = 0;
    for (const auto& entry : std::filesystem::directory_iterator("plain/out")) {
        const std::string name = entry.path().filename().string();
        if (name.ends_with(".log")) {
            continue;  // times differ
        }
        std::string plain = readFile(entry.path().string());
        std::string marked = readFile("marked/out/" + name);
        EXPECT_EQ(marked, plain) << name;
        ++compared;
    }
    EXPECT_GE(compared, 4u);
}

// Inputs that would make the reader hold more than they are worth: a record
// past --max-record-length, half a gigabyte of zero bytes where a record should
// start (FASTA and GenBank). Each is refused, naming the file and what is
// wrong, within a small memory limit.
TEST(CliInputs, OversizedRecordsAndZeroFloodsAreRefusedEarly) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers need more address space than the limit leaves";
#endif
    TempDir dir;
    shell("cp " + kExamples + "pPCP1.fas " + kExamples +
          "crp_sites.txt . && head -c 512M "
          "/dev/zero | gzip -1 > zeros.fa.gz && cp zeros.fa.gz zeros.gbk.gz");
    struct Case {
        std::string sequence, flags, message;
    };
    for (const Case& c : std::vector<Case>{
             {"pPCP1.fas", "--max-record-length 4K",
              "Record 1 (NC_005816) of pPCP1.fas is longer than 4096 bytes"},
             {"zeros.fa.gz", "", "Incorrect FASTA file: zeros.fa.gz"},
             {"zeros.gbk.gz", "", "No LOCUS definition"},
         }) {
        const std::string command = "bash -c 'ulimit -v 262144; " + std::string(XOPREX_CLI) +
                                    " search --sequence " + c.sequence +
                                    " --collection crp_sites.txt " + c.flags + "' > out.txt 2>&1";
        const int status = std::system(command.c_str());
        EXPECT_EQ(WEXITSTATUS(status), 2) << c.sequence << "\n" << readFile("out.txt");
        EXPECT_NE(readFile("out.txt").find(c.message), std::string::npos) << readFile("out.txt");
    }
}

// A chromosome of more than 2^31 bases, piped in as FASTA: poly-A with a CRP
// site planted past 2^31 on each strand. Both come out of the TSV at their
// 1-based forward coordinates, with the palindrome's weaker reading of the
// first on the other strand three bases before it, and nothing else.
TEST(CliInputs, ARecordBeyondTwoToThe31BasesKeepsItsPositions) {
#if !defined(__OPTIMIZE__) || defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "4.3 billion windows take minutes in an unoptimised or instrumented build";
#endif
    if (availableMemory() < (size_t{8} << 30)) {
        GTEST_SKIP() << "needs about 8 GB of available memory (/proc/meminfo)";
    }
    TempDir dir;
    shell("cp " + kExamples + "crp_sites.txt .");
    dir.write("make.py",
              "import sys\n"
              "site = b'TGTGAGTTAGCTCACTCAT'\n"
              "back = site[::-1].translate(bytes.maketrans(b'ACGT', b'TGCA'))\n"
              "out = sys.stdout.buffer\n"
              "out.write(b'>chrBig a long one\\n')\n"
              "at = 0\n"
              "def run(n):\n"
              "    global at\n"
              "    block = b'A' * (1 << 20)\n"
              "    while n > 0:\n"
              "        k = min(n, len(block))\n"
              "        out.write(block[:k])\n"
              "        n -= k\n"
              "        at += k\n"
              "run(2147484649); out.write(site); at += 19\n"
              "run(2147490000 - at); out.write(back); at += 19\n"
              "run(2147500000 - at); out.write(b'\\n')\n");
    const int status =
        std::system(("/usr/bin/python3 make.py | " + std::string(XOPREX_CLI) +
                     " search --sequence - --collection crp_sites.txt --threads 2 --stdout tsv"
                     " > hits.tsv 2> err.txt")
                        .c_str());
    ASSERT_EQ(WEXITSTATUS(status), 0) << readFile("err.txt");
    // Record, start, end, strand and site of each row.
    std::vector<std::string> rows;
    std::istringstream table(readFile("hits.tsv"));
    for (std::string line; std::getline(table, line);) {
        std::vector<std::string> fields;
        std::istringstream row(line);
        for (std::string field; std::getline(row, field, '\t');) {
            fields.push_back(field);
        }
        if (!line.starts_with("#") && !line.starts_with("motif_id") && fields.size() > 9) {
            rows.push_back(fields[2] + " " + fields[3] + " " + fields[4] + " " + fields[5] + " " +
                           fields[9]);
        }
    }
    EXPECT_EQ(rows, (std::vector<std::string>{
                        "chrBig 2147484650 2147484668 + TGTGAGTTAGCTCACTCAT",
                        "chrBig 2147490001 2147490019 - TGTGAGTTAGCTCACTCAT",
                        "chrBig 2147484647 2147484665 - AGTGAGCTAACTCACATTT",
                    }))
        << readFile("hits.tsv");
}
