// Whole runs of the xoprex command line: usage, exit status and the fatal
// messages left in "OprexLog.txt".
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "temp_dir.h"

using xoprex::testing::readFile;
using xoprex::testing::TempDir;

namespace {

struct Result {
    int status = -1;
    std::string output;
};

// Runs the CLI with `args` in the current folder, capturing stdout and stderr.
Result runCli(const std::string& args) {
    Result result;
    const std::string command = std::string(XOPREX_CLI) + " " + args + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        result.output.append(buffer, n);
    }
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

const char* kSites = "TTGACA\nTTGACT\nATGACA\nTTTACA\n";

// On the factory defaults (no options file here).
std::string search(const std::string& sequence, const std::string& collection) {
    return "search --sequence " + sequence + " --collection " + collection;
}

}  // namespace

TEST(Cli, HelpForms) {
    for (const char* flag : {"--help", "-h", "/?"}) {
        const Result result = runCli(flag);
        EXPECT_EQ(result.status, 0) << flag;
        EXPECT_NE(result.output.find("search"), std::string::npos) << flag;
        EXPECT_NE(result.output.find("merge"), std::string::npos) << flag;
    }
    EXPECT_NE(runCli("").status, 0);
    EXPECT_NE(runCli("search --sequence x.fas").status, 0);
}

TEST(Cli, WritesFactoryDefaults) {
    TempDir dir;
    const Result result = runCli("options --write-defaults Options.txt");
    EXPECT_EQ(result.status, 0);
    const std::string text = readFile(dir.file("Options.txt"));
    EXPECT_EQ(text.substr(0, 10), " OPTIONS:\n");
    EXPECT_EQ(text.back(), '2');
}

// Every fatal input error ends the run with status 2 and leaves exactly its
// message in OprexLog.txt of the current folder.
TEST(Cli, FatalInputErrorsExitTwoWithTheirMessage) {
    TempDir dir;
    dir.write("sites.txt", kSites);
    dir.write("ok.fas", ">s\nACGTACGTACGTTTGACAACGT\n");
    dir.write("noheader.fas", "ACGT\n");
    dir.write("empty_record.fas", ">a\nACGT\n>b\n>c\nACGT\n");
    dir.write("unequal.txt", "TTGACA\nTTGAC\n");
    dir.write("sites.csv", kSites);
    dir.write("no_locus.gbk", "HEADER\nORIGIN\n        1 acgt\n//\n");
    const std::string missing = dir.file("missing.fas");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {search("ok.fq", "sites.txt"),
         "Incorrect sequence file extension.\nType Oprex /? for help.\n"},
        {search(missing, "sites.txt"), "Incorrect file name: " + missing + "\n"},
        {search("noheader.fas", "sites.txt"), "Incorrect FASTA file: noheader.fas\n"},
        {search("empty_record.fas", "sites.txt"), "No sequence read. Please check FASTA file!\n"},
        {search("no_locus.gbk", "sites.txt"),
         "Invalid format for GenBank file. No LOCUS definition!\n"},
        {search("ok.fas", "sites.csv"),
         "Incorrect motif file extension.\nType Oprex /? for help\n"},
        {search("ok.fas", "absent.txt"), "Incorrect file name: absent.txt\n"},
        {search("ok.fas", "unequal.txt"), "Incorrect collection file! - Different site lengths\n"},
        {search("ok.fas", "sites.txt") + " --options none.txt",
         "Options file could not be opened: none.txt\n"},
        {search("ok.fas", "sites.txt") + " --options sites.txt",
         "Incomplete options file: sites.txt holds 0 of the 16 options\n"},
    };
    for (const auto& [args, message] : cases) {
        std::remove("OprexLog.txt");
        const Result result = runCli(args);
        EXPECT_EQ(result.status, 2) << args;
        EXPECT_EQ(readFile(dir.file("OprexLog.txt")), message) << args;
        EXPECT_NE(result.output.find(message), std::string::npos) << args;
    }
}

TEST(Cli, InvalidIntervalsStopEvenWithIntegrativeModeOff) {
    TempDir dir;
    dir.write("sites.txt", kSites);
    dir.write("ok.fas", ">s\nACGTACGTACGTTTGACAACGT\n");
    ASSERT_EQ(runCli("options --write-defaults opts.txt").status, 0);
    std::string text = readFile(dir.file("opts.txt"));
    // Option 12 (Y) = 300 lies beyond option 13 (I) = 250: the intervals overlap.
    const size_t y = text.find("(+/- Y) -> [X,Y]\n\n$") + 19;
    text.replace(y, 2, "300");
    dir.write("opts.txt", text);
    const Result result =
        runCli("search --sequence ok.fas --collection sites.txt --options opts.txt");
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(readFile(dir.file("OprexLog.txt")),
              "Error: overlapping intervals for integration. Please check Options file!\n");
}

// An output folder that is not there is made with its parents; one that
// names a file is refused.
TEST(Cli, MissingOutputFolderIsMadeAndAFileRefused) {
    TempDir dir;
    dir.write("sites.txt", kSites);
    dir.write("ok.fas", ">s\nACGTACGTACGTTTGACAACGT\n");
    const Result made = runCli(search("ok.fas", "sites.txt") + " --out-dir no/such/folder");
    EXPECT_EQ(made.status, 0) << made.output;
    EXPECT_TRUE(std::filesystem::exists(dir.file("no/such/folder/ok.log")));
    const Result file = runCli(search("ok.fas", "sites.txt") + " --out-dir ok.fas");
    EXPECT_EQ(file.status, 2);
    EXPECT_NE(file.output.find("output folder ok.fas is not a folder"), std::string::npos)
        << file.output;
}

TEST(Cli, MergeJoinsRecordsAndReportsFailures) {
    TempDir dir;
    const std::string record = readFile(std::string(XOPREX_EXAMPLES) + "/pPCP1.gbk");
    dir.write("two.gbk", record + record);
    const Result merged = runCli("merge two.gbk");
    EXPECT_EQ(merged.status, 0) << merged.output;
    const std::string text = readFile(dir.file("Merged_two.gbk"));
    EXPECT_NE(text.find("     source          1..19218"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 3), "//\n");

    const Result missing = runCli("merge absent.gbk out.gbk");
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.output.find("absent.gbk"), std::string::npos) << missing.output;
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.gbk")));
}
