// What the results say, checked from outside as a user reads them: searches
// that must run, counts that must agree, and the words on standard error for
// every choice the program makes on its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "random_text.h"
#include "temp_dir.h"

namespace {

using xoprex::testing::readFile;
using xoprex::testing::TempDir;

const std::string kXoprex = XOPREX_CLI;

int run(const std::string& command) {
    return WEXITSTATUS(std::system(command.c_str()));
}

// A TSV's rows by column name, and its "# KEY: value" lines.
struct Table {
    std::map<std::string, std::string> comments;
    std::vector<std::map<std::string, std::string>> rows;
};

Table readTable(const std::string& path) {
    Table table;
    std::istringstream in(readFile(path));
    std::vector<std::string> names;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind('#', 0) == 0) {
            const size_t colon = line.find(": ");
            if (colon != std::string::npos) {
                table.comments[line.substr(2, colon - 2)] = line.substr(colon + 2);
            }
            continue;
        }
        std::vector<std::string> fields;
        std::istringstream row(line);
        for (std::string field; std::getline(row, field, '\t');) {
            fields.push_back(field);
        }
        if (line.size() > 0 && line.back() == '\t') {
            fields.emplace_back();
        }
        if (names.empty()) {
            names = fields;
            continue;
        }
        EXPECT_EQ(fields.size(), names.size()) << line;
        auto& named = table.rows.emplace_back();
        for (size_t k = 0; k < names.size() && k < fields.size(); ++k) {
            named[names[k]] = fields[k];
        }
    }
    return table;
}

std::string reverseComplement(const std::string& text) {
    std::string out;
    for (auto c = text.rbegin(); c != text.rend(); ++c) {
        const size_t at = std::string("ACGTN").find(*c);
        out += at == std::string::npos ? '?' : "TGCAX"[at];  // N pairs with X
    }
    return out;
}

// Random records of A, C, G, T and some N, with their texts.
std::map<std::string, std::string> writeRecords(TempDir& dir, const std::string& file) {
    std::map<std::string, std::string> records;
    std::string fasta;
    for (int r = 0; r < 5; ++r) {
        const std::string name = std::string(1, 'r') + std::to_string(r);
        records[name] = xoprex::testing::randomText(40 + 137 * r, "ACGTACGTACGTN", 7 + r);
        fasta.append(">").append(name).append("\n").append(records[name]).append("\n");
    }
    dir.write(file, fasta);
    return records;
}

// The target's own composition counts nothing for gaps, U, digits and the
// three-base codes' missing share: its background sums below 1, which the
// scores keep and the p-values scale to 1.
TEST(Trust, CompositionBackgroundBelowOneStillSearches) {
    TempDir dir;
    dir.write("c.txt", "TGCA\nTGCT\nAGCA\n");
    for (const char* text :
         {"ACGTTGCATG-TCGCAGATGACGTAGCTAGC", "ACGTUGCATGBTCGC1GATGACGTAGCDAGC"}) {
        dir.write("t.fna", std::string(">r\n") + text + "\n");
        EXPECT_EQ(run(kXoprex + " search --sequence t.fna --collection c.txt --background genome "
                                "--format csv,tsv --quiet 2> err.txt"),
                  0)
            << readFile("err.txt");
        EXPECT_NE(readFile("t_c_Ri_0.800.tsv").find("\tr\t"), std::string::npos) << text;
        EXPECT_NE(readFile("t_c_Ri_0.800.csv").find("A priori H,"), std::string::npos);
    }
}

// Every window a hit: the windows of a linear record lie within it (N - L +
// 1 a strand), those of a circular one run over its end (N a strand), and
// with --skip-ambiguous only windows of bases remain and count.
TEST(Trust, TopologyAndAmbiguousLettersDecideTheWindows) {
    TempDir dir;
    const auto records = writeRecords(dir, "t.fas");
    dir.write("c.txt", "TGCAT\nTGCTT\nAGCAT\n");
    const size_t length = 5;
    for (const char* topology : {"circular", "linear", "auto"}) {
        for (const bool skip : {false, true}) {
            SCOPED_TRACE(std::string(topology) + (skip ? " skipping" : ""));
            ASSERT_EQ(run(kXoprex +
                          " search --sequence t.fas --collection c.txt --no-log "
                          "--literal --threshold -1e9 --keep-redundant --topology " +
                          topology + (skip ? " --skip-ambiguous" : "") +
                          " --stdout tsv > t.tsv 2> err.txt"),
                      0)
                << readFile("err.txt");
            const bool linear = std::string(topology) != "circular";
            const Table table = readTable("t.tsv");
            size_t windows = 0;
            for (const auto& [name, text] : records) {
                const size_t n = text.size();
                for (size_t start = 0; start < (linear ? n - length + 1 : n); ++start) {
                    std::string window;
                    for (size_t k = 0; k < length; ++k) {
                        window += text[(start + k) % n];
                    }
                    windows += skip && window.find('N') != std::string::npos ? 0 : 2;
                }
            }
            EXPECT_EQ(table.comments.at("windows scored"), std::to_string(windows));
            EXPECT_EQ(table.rows.size(), windows);
            for (const auto& row : table.rows) {
                const std::string& text = records.at(row.at("record"));
                const long start = std::stol(row.at("start"));
                const long end = std::stol(row.at("end"));
                ASSERT_EQ(end - start + 1, static_cast<long>(length));
                std::string site;
                for (long at = start; at <= end; ++at) {
                    site += text[static_cast<size_t>(at - 1) % text.size()];
                }
                EXPECT_EQ(row.at("site"), row.at("strand") == "+" ? site : reverseComplement(site));
                if (linear) {
                    ASSERT_LE(end, static_cast<long>(text.size()));
                }
                if (skip) {
                    ASSERT_EQ(site.find('N'), std::string::npos);
                }
            }
            const std::string err = readFile("err.txt");
            EXPECT_EQ(err.find("hold letters other than") != std::string::npos, !skip);
            EXPECT_EQ(err.find("across the end of a record") != std::string::npos, !linear);
        }
    }
}

// The q-values rank every window that passed the cut-off before the
// both-strand rule: a hit the rule keeps has the q-value it has when the
// rule is off. In integrative mode the windows tested are N a strand.
TEST(Trust, QValuesAndWindowCountsDoNotDependOnTheBothStrandRule) {
    TempDir dir;
    const auto records = writeRecords(dir, "t.fas");
    dir.write("c.txt", "TGCATGCA\nTGCTAGCA\nAGCATGCT\n");  // nearly palindromic
    const std::string search = kXoprex +
                               " search --sequence t.fas --collection c.txt --no-log --literal "
                               "--threshold 2 --format tsv --quiet";
    ASSERT_EQ(run(search + " --keep-redundant --out-dir . && mv t_c_Ri_2.000.tsv all.tsv"), 0);
    ASSERT_EQ(run(search + " 2> err.txt"), 0);
    const Table all = readTable("all.tsv");
    const Table kept = readTable("t_c_Ri_2.000.tsv");
    ASSERT_LT(kept.rows.size(), all.rows.size());
    std::map<std::string, std::string> qOf;
    for (const auto& row : all.rows) {
        qOf[row.at("record") + row.at("start") + row.at("strand")] = row.at("q_value");
    }
    for (const auto& row : kept.rows) {
        EXPECT_EQ(row.at("q_value"), qOf.at(row.at("record") + row.at("start") + row.at("strand")));
    }
    std::ostringstream found;
    found << all.rows.size() << " found (" << kept.rows.size() << " after the both-strand rule)";
    EXPECT_NE(readFile("err.txt").find(found.str()), std::string::npos) << readFile("err.txt");
    ASSERT_EQ(run(search + " --integrative -20,-1,1,20 --stdout tsv > i.tsv"), 0);
    size_t bases = 0;
    for (const auto& [name, text] : records) {
        bases += text.size() >= 21 ? text.size() : 0;
    }
    EXPECT_EQ(readTable("i.tsv").comments.at("windows scored"), std::to_string(2 * bases));
}

// Benjamini-Hochberg over two collections together, recomputed from the
// p-values the run writes.
TEST(Trust, PooledQValuesFollowTheirDefinition) {
    TempDir dir;
    writeRecords(dir, "t.fas");
    dir.write("a.txt", "TGCAT\nTGCTT\nAGCAT\n");
    dir.write("b.txt", "GGATCC\nGGTTCC\nGCATCC\n");
    ASSERT_EQ(run(kXoprex + " search --sequence t.fas --collection a.txt --collection b.txt "
                            "--no-log --literal --threshold 3 --keep-redundant --pooled-q "
                            "--format tsv --quiet"),
              0);
    std::vector<std::pair<double, std::string>> tests;  // p-value, reported q-value
    double windows = 0.0;
    for (const char* name : {"t_a_Ri_3.000.tsv", "t_b_Ri_3.000.tsv"}) {
        const Table table = readTable(name);
        windows += std::stod(table.comments.at("windows scored"));
        for (const auto& row : table.rows) {
            tests.emplace_back(std::stod(row.at("p_value")), row.at("q_value"));
        }
    }
    ASSERT_GT(tests.size(), 20u);
    std::stable_sort(tests.begin(), tests.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    double running = 1.0;
    for (size_t k = tests.size(); k-- > 0;) {
        running = std::min(running, tests[k].first * windows / static_cast<double>(k + 1));
        EXPECT_NEAR(std::stod(tests[k].second), running, running * 1e-4 + 1e-12) << k;
    }
}

// A background file scores and tests every record as option 3 would with
// that composition; option 3 on a target of several records is not applied,
// with a word.
TEST(Trust, BackgroundFileActsAsTheCompositionWould) {
    TempDir dir;
    const std::string text = xoprex::testing::randomText(3000, "AAATTTGCACGTATAT", 31);
    dir.write("one.fas", ">one\n" + text + "\n");
    dir.write("two.fas", ">one\n" + text + "\n>two\n" + text + "\n");
    dir.write("c.txt", readFile(std::string(XOPREX_EXAMPLES) + "/crp_sites.txt"));
    // The composition as option 3 makes it: strand-symmetric.
    double at = 0, gc = 0;
    for (const char c : text) {
        (c == 'A' || c == 'T' ? at : gc) += 1;
    }
    char file[200];
    std::snprintf(file, sizeof file, "# composition\nA %.17g\nC %.17g\nG %.17g\nT %.17g\nAA 0.1\n",
                  at / 6000, gc / 6000, gc / 6000, at / 6000);
    dir.write("bg.txt", file);
    const std::string search = kXoprex +
                               " search --collection c.txt --no-log --method iseq "
                               "--pvalue 1e-3 --stdout tsv --sequence ";
    const auto rows = [](const std::string& path) {
        std::string kept;
        std::istringstream in(readFile(path));
        for (std::string line; std::getline(in, line);) {
            kept += line.rfind('#', 0) == 0 ? "" : line + "\n";
        }
        return kept;
    };
    ASSERT_EQ(run(search + "one.fas --background genome > genome.tsv 2> err.txt"), 0);
    ASSERT_EQ(run(search + "one.fas --bgfile bg.txt > file.tsv 2> err.txt"), 0);
    EXPECT_EQ(rows("file.tsv"), rows("genome.tsv"));
    EXPECT_NE(readFile("err.txt").find("1 lines of higher orders"), std::string::npos);
    // Both records take the file; option 3 leaves them uniform.
    ASSERT_EQ(run(search + "two.fas --bgfile bg.txt > two.tsv 2> err.txt"), 0);
    EXPECT_EQ(readTable("two.tsv").rows.size(), 2 * readTable("file.tsv").rows.size());
    ASSERT_EQ(run(search + "two.fas --background genome > g2.tsv 2> err.txt"), 0);
    EXPECT_NE(readFile("err.txt").find("option 3"), std::string::npos) << readFile("err.txt");
    ASSERT_EQ(run(search + "two.fas > u2.tsv 2> err.txt"), 0);
    EXPECT_EQ(rows("g2.tsv"), rows("u2.tsv"));
    // Mistakes name the file and the line.
    dir.write("bad.txt", "A 0.3\nC x\n");
    EXPECT_EQ(run(search + "one.fas --bgfile bad.txt > out.txt 2>&1"), 2);
    EXPECT_NE(readFile("out.txt").find("bad.txt, line 2"), std::string::npos)
        << readFile("out.txt");
}

// A word on standard error for every choice made without being asked.
TEST(Trust, SilentChoicesAreSaid) {
    TempDir dir;
    const std::string genBank = readFile(std::string(XOPREX_EXAMPLES) + "/pPCP1.gbk");
    dir.write("three.gbk", genBank + genBank + genBank);
    dir.write("c.txt", readFile(std::string(XOPREX_EXAMPLES) + "/crp_sites.txt"));
    dir.write("short.txt", "ACG\nACG\nACT\n");
    dir.write("at.fas", ">at\n" + xoprex::testing::randomText(20000, "AAAATTTTGC", 5) + "\n");
    const std::string search = kXoprex + " search --no-log --format tsv --quiet ";
    const auto saysIt = [&](const std::string& arguments, const std::string& words) {
        EXPECT_EQ(run(search + arguments + " 2> err.txt"), 0) << arguments;
        EXPECT_NE(readFile("err.txt").find(words), std::string::npos)
            << arguments << ": " << readFile("err.txt");
    };
    saysIt("--sequence three.gbk --collection c.txt", "2 more GenBank records of three.gbk");
    saysIt("--sequence three.gbk --collection short.txt --pvalue 1e-9",
           "short: no window can reach the p-value cut-off 1e-09; its best has p-value");
    saysIt("--sequence at.fas --collection c.txt",
           "the target is 20% G + C and the background 50%");
    run(kXoprex + " options --write-defaults Options.txt > /dev/null");
    saysIt("--sequence at.fas --collection c.txt", "Options.txt in this folder is not used");
    EXPECT_EQ(run(search + "--sequence three.gbk --all-records --collection c.txt 2> err.txt"), 0);
    EXPECT_EQ(readFile("err.txt").find("GenBank record"), std::string::npos);
}

// The formats other programs read, read by them: pandas takes the TSV with
// its texts' commas and empty gene fields for FASTA records, whose unnamed
// record is called record_N.
TEST(Trust, PandasReadsTheTable) {
    if (run("/usr/bin/python3 -c 'import pandas' 2> /dev/null") != 0) {
        GTEST_SKIP() << "pandas (python3-pandas) is not installed";
    }
    TempDir dir;
    std::string genBank = readFile(std::string(XOPREX_EXAMPLES) + "/pPCP1.gbk");
    const std::string product = "outer membrane protease";
    for (size_t at; (at = genBank.find(product)) != std::string::npos;) {
        genBank.replace(at, product.size(), "4,6-dehydratase, outer membrane");
    }
    dir.write("p.gbk", genBank);
    std::string fasta = "> unnamed record\n";
    fasta += genBank.substr(genBank.find("ORIGIN"));
    dir.write("q.fas", ">q first\nACGT\n" + fasta);
    dir.write("c.txt", readFile(std::string(XOPREX_EXAMPLES) + "/crp_sites.txt"));
    for (const char* target : {"p.gbk", "q.fas"}) {
        ASSERT_EQ(run(kXoprex + " search --sequence " + target +
                      " --collection c.txt --no-log --pvalue 1e-4 --format tsv --quiet"),
                  0);
    }
    dir.write("read.py",
              "import pandas as pd\n"
              "g = pd.read_csv('p_c_Ri_p1e-04.tsv', sep='\\t', comment='#')\n"
              "f = pd.read_csv('q_c_Ri_p1e-04.tsv', sep='\\t', comment='#')\n"
              "assert (g.motif_id == 'c').all() and g.motif_alt_id.isna().all()\n"
              "assert (g['product'] == '4,6-dehydratase, outer membrane').any(), g['product']\n"
              "assert not (g == 'Unavailable').any().any()\n"
              "assert len(f) > 0 and f['product'].isna().all() and f.gene_start.isna().all()\n"
              "assert set(f.record) == {'record_2'}, set(f.record)\n"
              "assert (f.p_value <= 1e-4).all() and (f.q_value >= f.p_value).all()\n");
    EXPECT_EQ(run("/usr/bin/python3 read.py > out.txt 2>&1"), 0) << readFile("out.txt");
}

}  // namespace
