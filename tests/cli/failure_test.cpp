// How the command line ends when things go wrong: a full device, a kill
// while saving, outputs named like inputs, names too long, absurd thread
// counts, too few files, too little memory. Every case ends with a clear message and its
// exit status (1 usage, 2 invalid input, 3 the system failed), leaves no
// partial file under a final name, and never touches an input.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "random_text.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;
using xoprex::testing::readFile;
using xoprex::testing::TempDir;

struct Limits {
    rlim_t fileSize = RLIM_INFINITY;
    rlim_t addressSpace = RLIM_INFINITY;
    rlim_t openFiles = 0;  // 0: as it is
};

// Starts the CLI with `args` in the current folder, its output in
// stdout.txt and stderr.txt; returns the process id.
pid_t start(const std::vector<std::string>& args, const Limits& limits = {}) {
    const pid_t pid = fork();
    if (pid == 0) {
        const rlimit fileSize{limits.fileSize, limits.fileSize};
        const rlimit addressSpace{limits.addressSpace, limits.addressSpace};
        setrlimit(RLIMIT_FSIZE, &fileSize);
        setrlimit(RLIMIT_AS, &addressSpace);
        if (limits.openFiles > 0) {
            const rlimit openFiles{limits.openFiles, limits.openFiles};
            setrlimit(RLIMIT_NOFILE, &openFiles);
        }
        std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead
        if (!freopen("stdout.txt", "w", stdout) || !freopen("stderr.txt", "w", stderr)) {
            _exit(126);
        }
        std::vector<char*> argv{const_cast<char*>(XOPREX_CLI)};
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        execv(XOPREX_CLI, argv.data());
        _exit(127);
    }
    return pid;
}

int finish(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int run(const std::vector<std::string>& args, const Limits& limits = {}) {
    return finish(start(args, limits));
}

// The factory options with some values replaced (option number -> text).
std::string optionsWith(const std::map<int, std::string>& values) {
    run({"options", "--write-defaults", "factory.txt"});
    const std::string text = readFile("factory.txt");
    fs::remove("factory.txt");
    std::string out;
    int number = 0;
    size_t at = 0;
    for (size_t dollar; (dollar = text.find('$', at)) != std::string::npos;) {
        out.append(text, at, dollar + 1 - at);
        const size_t end = std::min(text.find('\n', dollar), text.size());
        const auto value = values.find(++number);
        out += value == values.end() ? text.substr(dollar + 1, end - dollar - 1) : value->second;
        at = end;
    }
    return out + text.substr(at);
}

// Every window of the target a hit, logs off: a large results table.
const std::map<int, std::string> kEveryWindow = {{1, "0"}, {4, "-1000"}, {9, "1"}};

std::vector<std::string> searchArgs(const std::string& target, const std::string& options,
                                    const std::string& outDir = "") {
    std::vector<std::string> args = {"search",    "--sequence", target, "--collection",
                                     "sites.txt", "--options",  options};
    if (!outDir.empty()) {
        args.insert(args.end(), {"--out-dir", outDir});
    }
    return args;
}

void writeTarget(const TempDir& dir, const std::string& name, size_t length) {
    dir.write(name, ">t\n" + xoprex::testing::randomText(length, "ACGT", length) + "\n");
}

const char* kSites = "TTGACA\nTTGACT\nATGACA\nTTTACA\n";
const char* kTable = "t_sites_Ri_-1000.000.csv";

std::vector<std::string> entries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

TEST(Failures, FullDeviceLeavesNoPartialTable) {
    TempDir dir;
    dir.write("sites.txt", kSites);
    dir.write("all.txt", optionsWith(kEveryWindow));
    writeTarget(dir, "t.fas", 30000);  // about 6 MB of rows
    fs::create_directories("out");

    // A file size limit fails the write as a full disk does ("File too large").
    EXPECT_EQ(run(searchArgs("t.fas", "all.txt", "out"), {.fileSize = 64 * 1024}), 3);
    EXPECT_NE(readFile("OprexLog.txt").find("Cannot write out/" + std::string(kTable)),
              std::string::npos)
        << readFile("OprexLog.txt");
    EXPECT_EQ(entries("out"), std::vector<std::string>{"t.log"});

    // A real full device, where this test may mount one.
    if (geteuid() == 0 && mount("tmpfs", "out", "tmpfs", 0, "size=64k") == 0) {
        EXPECT_EQ(run(searchArgs("t.fas", "all.txt", "out")), 3);
        EXPECT_NE(readFile("OprexLog.txt").find("No space left on device"), std::string::npos)
            << readFile("OprexLog.txt");
        EXPECT_EQ(entries("out"), std::vector<std::string>{"t.log"});
        umount("out");
    }
}

// Whether the results table's temporary is in the current folder.
bool saving() {
    for (const std::string& name : entries(".")) {
        if (name.rfind(std::string(".") + kTable, 0) == 0) {
            return true;
        }
    }
    return false;
}

// A signal while the table is being saved: SIGKILL leaves the temporary (no
// code runs) but never a table under its final name; SIGTERM and SIGINT end
// the run with status 3 and remove the temporary too.
TEST(Failures, SignalWhileSavingLeavesNoPartialTable) {
    TempDir dir;
    dir.write("sites.txt", kSites);
    dir.write("all.txt", optionsWith(kEveryWindow));
    writeTarget(dir, "t.fas", 400000);  // about 80 MB of rows
    for (const int signal : {SIGKILL, SIGTERM, SIGINT}) {
        const pid_t pid = start(searchArgs("t.fas", "all.txt"));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!saving() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_TRUE(saving()) << "the table was never being saved";
        kill(pid, signal);
        EXPECT_EQ(finish(pid), signal == SIGKILL ? 128 + SIGKILL : 3) << signal;
        EXPECT_FALSE(fs::exists(kTable));
        if (signal != SIGKILL) {
            EXPECT_FALSE(saving()) << signal;
            EXPECT_NE(readFile("stderr.txt").find("stopped by a signal"), std::string::npos);
        }
        for (const std::string& name : entries(".")) {
            if (name.front() == '.') {
                fs::remove(name);
            }
        }
    }
}

// A reader that stops early (`| head`) ends the run as the closed pipe's
// signal would, without an error message.
TEST(Failures, ClosedPipeEndsTheRunQuietly) {
    TempDir dir;
    dir.write("sites.txt", kSites);
    dir.write("all.txt", optionsWith(kEveryWindow));
    writeTarget(dir, "t.fas", 100000);
    const std::string command = std::string("bash -c 'set -o pipefail; ") + XOPREX_CLI +
                                " search --sequence t.fas --collection sites.txt --options "
                                "all.txt --stdout tsv 2> err.txt | head -c 100 > /dev/null'";
    const int status = std::system(command.c_str());
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGPIPE);
    EXPECT_EQ(readFile("err.txt").find("xoprex: stopped"), std::string::npos);
    EXPECT_EQ(readFile("err.txt").find("Cannot write"), std::string::npos);
}

TEST(Failures, OutputsNamedLikeInputsAreRefusedBeforeAnythingIsWritten) {
    TempDir dir;
    writeTarget(dir, "t.fas", 2000);
    const std::string logsOn = optionsWith({{1, "1"}});
    const std::string table = "t_sites_Ri_0.800.csv";
    // (collection, options): each pair makes one output fall on one input.
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"t_seq_log.txt", "opts.txt"},  // the sequence log over the collection
        {"sites.txt", "t.log"},         // the run log over the options
        {"sites.txt", table},           // the results table over the options
        {"sites.txt", "t_sites_freq_table.csv"},
        {"sites.txt", "./sub/../t.log"},  // another spelling of the same file
    };
    fs::create_directories("sub");
    for (const auto& [collection, options] : cases) {
        dir.write(collection, kSites);
        dir.write(options, logsOn);
        const std::vector<std::string> before = entries(".");
        const std::vector<std::string> args = {"search",   "--sequence", "t.fas", "--collection",
                                               collection, "--options",  options};
        EXPECT_EQ(run(args), 2) << collection << " " << options;
        EXPECT_NE(readFile("OprexLog.txt").find("would overwrite input"), std::string::npos);
        EXPECT_EQ(readFile(collection), kSites);
        EXPECT_EQ(readFile(options), logsOn);
        fs::remove("OprexLog.txt");
        EXPECT_EQ(entries(".").size(), before.size()) << "something was written";
        fs::remove(collection);
        fs::remove(options);
    }
}

TEST(Failures, NamesTooLongAndThreadCountsOutOfRange) {
    TempDir dir;
    dir.write("sites.txt", kSites);
    dir.write("opts.txt", optionsWith({}));
    writeTarget(dir, "t.fas", 2000);
    const std::string longName(300, 'd');
    EXPECT_EQ(run(searchArgs("t.fas", "opts.txt", longName)), 2);
    EXPECT_NE(readFile("stderr.txt").find("File name too long"), std::string::npos);

    const std::string longTitle = std::string(240, 's') + ".txt";
    dir.write(longTitle, kSites);
    const std::vector<std::string> args = {"search",  "--sequence", "t.fas",   "--collection",
                                           longTitle, "--options",  "opts.txt"};
    EXPECT_EQ(run(args), 2);  // the input's title makes the name
    EXPECT_NE(readFile("OprexLog.txt").find("File name too long"), std::string::npos);
    EXPECT_FALSE(fs::exists("t.log"));  // refused before anything was written

    // More results tables to hold open than files the process may open.
    std::string matrices;
    for (int k = 0; k < 100; ++k) {
        matrices += ">M" + std::to_string(k) + "\nA [ 1 2 ]\nC [ 2 1 ]\nG [ 1 1 ]\nT [ 3 1 ]\n";
    }
    dir.write("many.jaspar", matrices);
    EXPECT_EQ(run({"search", "--sequence", "t.fas", "--motifs", "many.jaspar", "--literal"},
                  {.openFiles = 80}),
              1);
    EXPECT_NE(readFile("stderr.txt").find("ulimit -n"), std::string::npos);
    EXPECT_FALSE(fs::exists("t.log"));

    for (const char* threads : {"4000000000", "1025", "-1", "many"}) {
        std::vector<std::string> withThreads = searchArgs("t.fas", "opts.txt");
        withThreads.insert(withThreads.end(), {"--threads", threads});
        EXPECT_EQ(run(withThreads), 1) << threads;
    }
}

TEST(Failures, OutOfMemoryEndsWithAMessage) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer needs more address space than the limit leaves";
#endif
    TempDir dir;
    dir.write("sites.txt", kSites);
    dir.write("all.txt", optionsWith(kEveryWindow));
    writeTarget(dir, "t.fas", 3000000);  // 6 M hits
    EXPECT_EQ(run(searchArgs("t.fas", "all.txt"), {.addressSpace = 256ull << 20}), 3);
    EXPECT_EQ(readFile("OprexLog.txt"), "Out of memory\n");
    EXPECT_FALSE(fs::exists(kTable));
}

TEST(Failures, QuestionableOptionsAreNamedOnStandardError) {
    TempDir dir;
    dir.write("sites.txt", kSites);
    writeTarget(dir, "t.fas", 2000);
    dir.write("m12.txt", optionsWith({{2, "12"}}));
    dir.write("t80.txt", optionsWith({{4, "80"}}));
    EXPECT_EQ(run(searchArgs("t.fas", "m12.txt")), 0);
    EXPECT_NE(readFile("stderr.txt").find("warning: method 12 is not one of 1 to 11"),
              std::string::npos);
    EXPECT_EQ(run(searchArgs("t.fas", "t80.txt")), 0);
    EXPECT_NE(readFile("stderr.txt").find("warning: relative threshold 80 is outside (0, 1)"),
              std::string::npos);
    EXPECT_EQ(readFile("t.log").find("warning"), std::string::npos);
}

}  // namespace
