// Whole searches checked against another run of the same work: a genome
// piped through standard input against the same search on the file, and the
// p-values of integrative mode against those of each hit's own window in a
// search that keeps every window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "random_text.h"
#include "temp_dir.h"

namespace {

using xoprex::testing::readFile;
using xoprex::testing::TempDir;

const std::string kExamples = std::string(XOPREX_EXAMPLES) + "/";

// Runs a shell command line in the current folder (standard error to
// err.txt); returns the exit status.
int sh(const std::string& command) {
    const int status = std::system(("(" + command + ") 2> err.txt").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string xoprex() {
    return std::string(XOPREX_CLI) + " search ";
}

// The text without its lines that name the command, the inputs or the
// results file, and without its times.
std::string withoutNames(const std::string& text) {
    static const std::regex names(
        "(# command|# target|Saving results to)[^\n]*\n|Time \\(s\\): [0-9.e+-]+");
    return std::regex_replace(text, names, "");
}

TEST(StandardInput, APipedGenomeGivesTheResultsOfItsFile) {
    TempDir dir;
    std::string fasta;
    // Records of several megabases and of a few bases, lines of 60 and 80.
    for (const size_t length : {size_t{3'000'000}, size_t{7}, size_t{1'500'000}, size_t{40'000}}) {
        const std::string sequence = xoprex::testing::randomText(length, "ACGT", length);
        fasta += ">r" + std::to_string(length) + " piped\n";
        const size_t width = length % 2 == 0 ? 60 : 80;
        for (size_t at = 0; at < sequence.size(); at += width) {
            fasta += sequence.substr(at, width) + "\n";
        }
    }
    dir.write("genome.fa", fasta);
    std::filesystem::create_directories(dir.file("file"));
    std::filesystem::create_directories(dir.file("pipe"));
    std::filesystem::copy_file(kExamples + "crp_sites.txt", dir.file("crp_sites.txt"));
    const std::string flags =
        " --collection crp_sites.txt --method 5 --threshold 0.7 --format csv,tsv,bed,gff3 --quiet";
    ASSERT_EQ(sh(xoprex() + "--sequence genome.fa --out-dir file/" + flags + " > file.out"), 0)
        << readFile("err.txt");
    ASSERT_EQ(
        sh("cat genome.fa | " + xoprex() + "--sequence - --out-dir pipe/" + flags + " > pipe.out"),
        0)
        << readFile("err.txt");
    const std::string table = "_crp_sites_Rsequence_Ri_0.700";
    ASSERT_GT(readFile("file/genome" + table + ".csv").size(), 10'000u);
    for (const std::string extension : {".csv", ".bed", ".gff3", ".tsv"}) {
        EXPECT_EQ(withoutNames(readFile("pipe/stdin" + table + extension)),
                  withoutNames(readFile("file/genome" + table + extension)))
            << extension;
    }
    EXPECT_EQ(withoutNames(readFile("pipe/stdin.log")), withoutNames(readFile("file/genome.log")));
}

struct Row {
    double score = 0.0;
    double p = 0.0;
    double q = 0.0;
};
using Window = std::tuple<std::string, long, long, std::string>;  // record, start, end, strand

// The rows of a TSV by their window.
std::map<Window, Row> tsvRows(const std::string& path) {
    std::map<Window, Row> rows;
    std::istringstream in(readFile(path));
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#' || line.rfind("motif_id\t", 0) == 0) {
            continue;
        }
        // The motif's ID, then (a site list's alt ID being empty) the record.
        std::istringstream fields(line);
        Window window;
        Row row;
        std::string motif;
        fields >> motif >> std::get<0>(window) >> std::get<1>(window) >> std::get<2>(window) >>
            std::get<3>(window) >> row.score >> row.p >> row.q;
        rows[window] = row;
    }
    return rows;
}

TEST(IntegrativePValues, AreThoseOfEachHitsOwnWindowWhateverTheCollections) {
    TempDir dir;
    std::filesystem::copy_file(kExamples + "pPCP1.gbk", dir.file("p.gbk"));
    std::filesystem::copy_file(kExamples + "crp_sites.txt", dir.file("crp.txt"));
    dir.write("short.txt", "TTGACATAT\nTTGACTTAT\nATGACATTA\nTTTACAAAT\n");
    for (const char* folder : {"both", "alone", "all"}) {
        std::filesystem::create_directories(dir.file(folder));
    }
    const std::string common = "--sequence p.gbk --keep-redundant --format tsv --quiet ";
    const std::string integrative = common + "--integrative -30,-1,1,30 --relaxation 1.2 ";
    ASSERT_EQ(sh(xoprex() + integrative +
                 "--collection crp.txt --collection short.txt --out-dir both/ > /dev/null"),
              0)
        << readFile("err.txt");
    for (const std::string collection : {"crp", "short"}) {
        SCOPED_TRACE(collection);
        const std::string tsv = "p_" + collection + "_Ri_0.800.tsv";
        // Every window a hit, with its own score's p-value.
        ASSERT_EQ(sh(xoprex() + common + "--collection " + collection +
                     ".txt --literal --threshold -1e6 --out-dir all/ > /dev/null"),
                  0)
            << readFile("err.txt");
        ASSERT_EQ(sh(xoprex() + integrative + "--collection " + collection +
                     ".txt --out-dir alone/ > /dev/null"),
                  0)
            << readFile("err.txt");
        EXPECT_EQ(withoutNames(readFile("both/" + tsv)), withoutNames(readFile("alone/" + tsv)));

        const std::string allTsv = "all/p_" + collection + "_Ri_-1000000.000.tsv";
        const std::map<Window, Row> all = tsvRows(allTsv);
        const std::map<Window, Row> hits = tsvRows("both/" + tsv);
        ASSERT_GT(hits.size(), 3u);
        std::smatch windows;
        const std::string allText = readFile(allTsv);
        ASSERT_TRUE(std::regex_search(allText, windows, std::regex("# windows scored: (\\d+)")));
        ASSERT_EQ(all.size(), std::stoul(windows[1]));
        size_t rescored = 0;
        std::vector<Row> byP;
        for (const auto& [window, hit] : hits) {
            const auto own = all.find(window);
            ASSERT_NE(own, all.end()) << std::get<0>(window) << " " << std::get<1>(window);
            // Both within 1e-3 of the exact tail, printed to 6 digits.
            EXPECT_NEAR(hit.p, own->second.p, 2.1e-3 * own->second.p) << std::get<1>(window);
            rescored += hit.score != own->second.score;
            byP.push_back(hit);
        }
        EXPECT_GT(rescored, 0u);  // the scores are the re-scored ones, the p-values not
        std::sort(byP.begin(), byP.end(), [](const Row& a, const Row& b) {
            return a.p < b.p || (a.p == b.p && a.q < b.q);
        });
        for (size_t i = 0; i < byP.size(); ++i) {
            EXPECT_GE(byP[i].q, byP[i].p);
            if (i > 0) {
                EXPECT_GE(byP[i].q, byP[i - 1].q) << "q-values not monotone in p-values";
            }
        }
    }
}

}  // namespace
