// Whole searches checked against another run of the same work: a genome
// piped through standard input against the same search on the file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>

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

}  // namespace
