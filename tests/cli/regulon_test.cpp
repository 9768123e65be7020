// xoprex regulon from outside: a synthetic genome with sites planted
// upstream of chosen operons (tests/tools/plant_regulon.py), read by pandas;
// the same genome as GenBank and as FASTA with a GFF3 annotation; the long
// table of several collections; the same table on any number of threads; and
// bad input, one case a row.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "temp_dir.h"

namespace {

using xoprex::testing::readFile;
using xoprex::testing::TempDir;

const std::string kXoprex = XOPREX_CLI;
const std::string kExamples = XOPREX_EXAMPLES;
const std::string kPlant =
    "/usr/bin/python3 " + std::string(XOPREX_TEST_DATA) + "/../tools/plant_regulon.py";

int run(const std::string& command) {
    return WEXITSTATUS(std::system(command.c_str()));
}

// A table from its header row on (its comment lines name the command).
std::string rows(const std::string& path) {
    const std::string text = readFile(path);
    return text.substr(text.find("motif_id\t"));
}

bool havePandas() {
    return run("/usr/bin/python3 -c 'import pandas' 2> /dev/null") == 0;
}

// Planted operons come first, and of the operons without a planted site in
// their promoter region at most one (a window of chance) reaches a
// posterior of 0.5; pandas reads the table.
TEST(Regulon, PlantedOperonsRankFirst) {
    if (!havePandas()) {
        GTEST_SKIP() << "pandas (python3-pandas) is not installed";
    }
    TempDir dir;
    ASSERT_EQ(run(kPlant + " --sites " + kExamples +
                  "/crp_sites.txt --out g --operons 80 --planted 10 --seed 3"),
              0);
    ASSERT_EQ(run(kXoprex + " regulon --sequence g.gbk --collection " + kExamples +
                  "/crp_sites.txt --pvalue 1e-5 --no-log --quiet --threads 2 2> err.txt"),
              0)
        << readFile("err.txt");
    EXPECT_NE(readFile("err.txt").find("80 operons"), std::string::npos) << readFile("err.txt");
    dir.write(
        "check.py",
        "import pandas as pd\n"
        "t = pd.read_csv('g_crp_sites_regulon.tsv', sep='\\t', comment='#')\n"
        "truth = pd.read_csv('g_truth.tsv', sep='\\t')\n"
        "assert len(t) == 80 and t.posterior.between(0, 1).all()\n"
        "assert (t.posterior.diff().dropna() <= 0).all(), 'sorted by posterior'\n"
        "t['first'] = t.locus_tags.str.split('|').str[0]\n"
        "m = t.reset_index().merge(truth, left_on='first', right_on='locus_tag')\n"
        "sites = truth[truth.planted == 1]\n"
        "def holds(r):\n"
        "    return ((sites.site_start <= r.best_end) & (sites.site_end >= r.best_start)).any()\n"
        "m['holds'] = m.apply(holds, axis=1)\n"
        "planted = m[m.planted == 1]\n"
        "others = m[(m.planted == 0) & ~m.holds]\n"
        "assert (others.posterior > 0.5).sum() <= 1, others\n"
        "strong = planted[planted.changed == 0]\n"
        "assert (strong.posterior > 0.5).sum() >= 1, strong\n"
        "assert planted.posterior.mean() > 5 * others.posterior.mean(), planted\n"
        "assert planted['index'].mean() < 0.75 * others['index'].mean(), planted\n");
    EXPECT_EQ(run("/usr/bin/python3 check.py > out.txt 2>&1"), 0) << readFile("out.txt");
    // The operons of the record are scored on two threads: the same table on one.
    std::filesystem::create_directory("one");
    ASSERT_EQ(run(kXoprex + " regulon --sequence g.gbk --collection " + kExamples +
                  "/crp_sites.txt --pvalue 1e-5 --no-log --quiet --threads 1 --out-dir one" +
                  " > /dev/null 2>&1"),
              0);
    EXPECT_EQ(rows("one/g_crp_sites_regulon.tsv"), rows("g_crp_sites_regulon.tsv"));
}

// FASTA with a GFF3 annotation gives the rows GenBank gives; --stdout
// writes one long table of every collection, and nothing else but the
// report asked for, which ranks the operons of all of them.
TEST(Regulon, AnnotationAndLongTable) {
    TempDir dir;
    ASSERT_EQ(run(kPlant + " --sites " + kExamples + "/crp_sites.txt --out g --operons 30" +
                  " --planted 5 --seed 4"),
              0);
    ASSERT_EQ(run(kPlant + " --sites " + kExamples + "/crp_sites.txt --out f --operons 30" +
                  " --planted 5 --seed 4 --gff3"),
              0);
    const std::string flags = " --collection " + kExamples + "/crp_sites.txt --no-log --quiet";
    std::filesystem::create_directory("a");
    std::filesystem::create_directory("b");
    ASSERT_EQ(run(kXoprex + " regulon --sequence g.gbk --out-dir a" + flags), 0);
    ASSERT_EQ(run(kXoprex + " regulon --sequence f.fna --annotation f.gff3 --out-dir b" + flags),
              0);
    EXPECT_EQ(rows("a/g_crp_sites_regulon.tsv"), rows("b/f_crp_sites_regulon.tsv"));
    // The hits of the annotated FASTA record are classed against its genes.
    EXPECT_NE(readFile("b/f_crp_sites_Ri_0.800.csv").find("Operator"), std::string::npos);

    std::filesystem::create_directory("c");
    ASSERT_EQ(run("cd c && " + kXoprex + " regulon --sequence ../g.gbk --collection " + kExamples +
                  "/crp_sites.txt --motifs " + kExamples +
                  "/crp.jaspar --pvalue 1e-4 --stdout tsv --report ../report.html > ../long.tsv "
                  "2> ../err.txt"),
              0)
        << readFile("err.txt");
    EXPECT_TRUE(std::filesystem::is_empty("c"));
    // The report ranks the operons of every collection together.
    const std::string report = readFile("report.html");
    const size_t ranked = report.find("<h2>Ranked operons</h2>");
    ASSERT_NE(ranked, std::string::npos);
    for (const char* motif : {"<td>crp_sites</td>", "<td>CRP</td>", "<td>CRP_HALF</td>"}) {
        EXPECT_NE(report.find(motif, ranked), std::string::npos) << motif;
    }
    const std::string table = readFile("long.tsv");
    size_t headers = 0;
    for (size_t at = 0; (at = table.find("\nmotif_id\t", at)) != std::string::npos; ++at) {
        ++headers;
    }
    EXPECT_EQ(headers, 1u);
    for (const char* motif : {"\ncrp_sites\t", "\nCRP\t", "\nCRP_HALF\t"}) {
        EXPECT_NE(table.find(motif), std::string::npos) << motif;
    }
}

// On one thread, two or three (the rows scored beside the scan, or after
// it with a thread more than there are cores): the same table.
TEST(Regulon, ThreadsGiveTheSameTable) {
    TempDir dir;
    ASSERT_EQ(run(kPlant + " --sites " + kExamples + "/crp_sites.txt --out g --operons 120" +
                  " --planted 10 --seed 5"),
              0);
    std::vector<std::string> tables;
    for (const std::string threads : {"1", "2", "3"}) {
        std::filesystem::create_directory("t" + threads);
        ASSERT_EQ(run(kXoprex + " regulon --sequence g.gbk --collection " + kExamples +
                      "/crp_sites.txt --no-log --quiet --threads " + threads + " --out-dir t" +
                      threads),
                  0);
        tables.push_back(rows("t" + threads + "/g_crp_sites_regulon.tsv"));
    }
    EXPECT_EQ(tables[0], tables[1]);
    EXPECT_EQ(tables[0], tables[2]);
}

struct BadRun {
    const char* name;
    std::string command;
    int status;
    std::string message;  // in standard output or standard error
};

// Bad input: a clear message, its status, and no regulon table.
TEST(Regulon, BadInputIsRefused) {
    TempDir dir;
    ASSERT_EQ(run(kPlant + " --sites " + kExamples + "/crp_sites.txt --out f --operons 5" +
                  " --planted 1 --seed 5 --gff3"),
              0);
    const std::string gff = readFile("f.gff3");
    const std::string last = "line " + std::to_string(std::count(gff.begin(), gff.end(), '\n') + 1);
    dir.write("short.gff3", gff + "PLANT.1\tx\tCDS\t10\t20\t.\t+\t0\n");
    dir.write("beyond.gff3", gff + "PLANT.1\tx\tCDS\t9000000\t9000100\t.\t+\t0\tID=z\n");
    dir.write("other.gff3", "##gff-version 3\nchrX\tx\tCDS\t10\t200\t.\t+\t0\tID=a\n");
    const std::string collection = " --collection " + kExamples + "/crp_sites.txt --no-log";
    const std::string regulon = kXoprex + " regulon --sequence f.fna" + collection;
    const std::vector<BadRun> runs = {
        {"a short line", regulon + " --annotation short.gff3", 2, "short.gff3, " + last},
        {"a gene beyond its record", regulon + " --annotation beyond.gff3", 2,
         "beyond.gff3, " + last + ": the gene lies beyond the end of record PLANT.1"},
        {"no sequence of the annotation", regulon + " --annotation other.gff3", 2,
         "No gene of the annotation other.gff3"},
        {"FASTA without annotation", regulon, 2, "No record of f.fna has genes"},
        {"an annotation that is not there", regulon + " --annotation none.gff3", 2, "none.gff3"},
        {"the annotation overwritten", regulon + " --annotation f_crp_sites_regulon.tsv", 2,
         "would overwrite input f_crp_sites_regulon.tsv"},
        {"--stdout bed", regulon + " --annotation f.gff3 --stdout bed", 1, "--stdout"},
        {"--prior 1", regulon + " --annotation f.gff3 --prior 1", 1, "--prior"},
        {"--site-density 0", regulon + " --annotation f.gff3 --site-density 0", 1,
         "--site-density"},
    };
    dir.write("f_crp_sites_regulon.tsv", "mine\n");
    for (const BadRun& bad : runs) {
        const int status = run(bad.command + " > out.txt 2>&1");
        EXPECT_EQ(status, bad.status) << bad.name;
        EXPECT_NE(readFile("out.txt").find(bad.message), std::string::npos)
            << bad.name << ": " << readFile("out.txt");
        EXPECT_EQ(readFile("f_crp_sites_regulon.tsv"), "mine\n") << bad.name;
        EXPECT_FALSE(std::filesystem::exists("f_crp_sites_Ri_0.800.csv")) << bad.name;
    }
}

}  // namespace
