// Whole searches with one and with two threads: the results table and the
// run log (elapsed seconds aside) must be the same bytes, for targets of many
// records (scanned one after the other, the long ones on every thread) and of
// one long record (strands and chunks scanned in parallel); cancel and
// progress must work while threads scan.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "base/file_names.h"
#include "options/options_file.h"
#include "pipeline/run_search.h"
#include "temp_dir.h"

namespace xoprex {
namespace {

using testing::TempDir;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The run log with every elapsed-time value blanked and the results file
// named without its folder.
std::string logWithoutTimes(const std::string& path) {
    std::istringstream in(readFile(path));
    std::string line, out;
    while (std::getline(in, line)) {
        const size_t time = line.find("Time (s): ");
        if (time != std::string::npos) {
            line.resize(time);
        }
        if (line.rfind("Saving results to ", 0) == 0) {
            line =
                "Saving results to " + std::filesystem::path(line.substr(18)).filename().string();
        }
        out += line + "\n";
    }
    return out;
}

std::vector<std::string> crpSites() {
    std::ifstream in(std::string(XOPREX_EXAMPLES) + "/crp_sites.txt");
    std::vector<std::string> sites;
    for (std::string line; std::getline(in, line);) {
        if (line.size() >= 19) {
            sites.push_back(line.substr(0, 19));
        }
    }
    return sites;
}

// Random bases with collection sites (and their reverse complements, so
// that both strands and the redundancy rule have work) planted every few
// hundred bases.
std::string plantedText(size_t length, std::mt19937_64& random) {
    static const std::vector<std::string> sites = crpSites();
    std::string text;
    text.reserve(length);
    while (text.size() < length) {
        text += "ACGT"[random() % 4];
        if (random() % 400 == 0) {
            std::string site = sites[random() % sites.size()];
            if (random() % 2 == 0) {
                std::string reverse(site.rbegin(), site.rend());
                for (char& c : reverse) {
                    c = c == 'A' ? 'T' : c == 'T' ? 'A' : c == 'C' ? 'G' : 'C';
                }
                site = reverse;
            }
            text += site;
        }
    }
    text.resize(length);
    return text;
}

void writeFasta(const std::string& path, const std::vector<std::string>& records) {
    std::ofstream out(path);
    for (size_t r = 0; r < records.size(); ++r) {
        out << ">record " << r + 1 << " of the test target\n";
        for (size_t i = 0; i < records[r].size(); i += 70) {
            out << records[r].substr(i, 70) << '\n';
        }
    }
}

// Many records of mixed sizes, some long enough to be scanned on every
// thread: some shorter than the neighbourhood, one shorter than a site, one
// with lower-case letters (dropped from the reverse strand, which is then
// shorter).
std::vector<std::string> manyRecords() {
    std::mt19937_64 random(17);
    std::vector<std::string> records;
    for (int r = 0; r < 12; ++r) {
        const bool longRecord = r % 4 == 0 || r == 9;
        records.push_back(plantedText(longRecord ? 220000 : 1000 + random() % 4000, random));
    }
    records[3] = plantedText(300, random);
    records[7] = "ACGTACG";
    records[11] = plantedText(2500, random);
    for (size_t i = 100; i < 2500; i += 97) {
        records[11][i] = 'a';
    }
    return records;
}

struct Combination {
    bool sortByScore, removeRedundant, integrative;
};

std::string optionsFile(const std::string& path, const Combination& c) {
    OptionTexts texts = factoryDefaults();
    texts.logResults = false;
    texts.methodNumber = "1";
    texts.threshold = "0.3";
    texts.sortByScore = c.sortByScore;
    texts.removeRedundant = c.removeRedundant;
    texts.integrative = c.integrative;
    texts.upLeft = "-500";
    texts.upRight = "-1";
    texts.downLeft = "1";
    texts.downRight = "500";
    texts.rescoringMethod = "1";
    writeOptionsFile(path, texts);
    return path;
}

SearchInputs inputsFor(const std::string& target, const std::string& options,
                       const std::string& folder, unsigned threads) {
    std::filesystem::create_directories(folder);
    SearchInputs inputs;
    inputs.sequencePath = target;
    inputs.collections = {{std::string(XOPREX_EXAMPLES) + "/crp_sites.txt", "crp"}};
    inputs.optionsPath = options;
    inputs.outputFolder = folder + "/";
    inputs.sequenceTitle = fileTitle(target);
    inputs.threads = threads;
    return inputs;
}

// Runs every combination of options 7, 8 and 10 with one and two threads and
// compares the outputs.
void expectSameWithTwoThreads(const std::string& target) {
    int run = 0;
    for (const bool sortByScore : {false, true}) {
        for (const bool removeRedundant : {false, true}) {
            for (const bool integrative : {false, true}) {
                const Combination c{sortByScore, removeRedundant, integrative};
                const std::string tag = std::to_string(run++);
                const std::string options = optionsFile("options" + tag + ".txt", c);
                const std::string one = runSearch(inputsFor(target, options, "one" + tag, 1));
                const std::string two = runSearch(inputsFor(target, options, "two" + tag, 2));
                const std::string table = readFile(one);
                EXPECT_GT(table.size(), 500u);
                EXPECT_EQ(table, readFile(two)) << target << " combination " << tag;
                const std::string log = "/" + fileTitle(target) + ".log";
                EXPECT_EQ(logWithoutTimes("one" + tag + log), logWithoutTimes("two" + tag + log))
                    << target << " combination " << tag;
            }
        }
    }
}

TEST(ThreadedSearch, ManyRecordTargetGivesTheSameTableAndLog) {
    TempDir dir;
    writeFasta("many.fas", manyRecords());
    expectSameWithTwoThreads("many.fas");
}

TEST(ThreadedSearch, LongSingleRecordGivesTheSameTableAndLog) {
    TempDir dir;
    std::mt19937_64 random(5);
    // Long enough for two chunks per strand.
    writeFasta("long.fas", {plantedText(200000, random)});
    expectSameWithTwoThreads("long.fas");
}

TEST(ThreadedSearch, GenBankTargetGivesTheSameTable) {
    TempDir dir;
    const std::string target = std::string(XOPREX_EXAMPLES) + "/pPCP1.gbk";
    const std::string options = optionsFile("options.txt", {false, true, true});
    EXPECT_EQ(readFile(runSearch(inputsFor(target, options, "one", 1))),
              readFile(runSearch(inputsFor(target, options, "two", 2))));
}

// Cancels once the progress passes a fifth of the scan; progress values seen
// until then must only grow.
void expectCancelled(const std::string& target, bool integrative) {
    const std::string options = optionsFile("options.txt", {true, true, integrative});
    std::atomic<bool> cancel{false};
    std::vector<double> seen;
    SearchControl control;
    control.cancel = &cancel;
    control.onProgress = [&](double share) {
        seen.push_back(share);
        if (share > 0.2) {
            cancel = true;
        }
    };
    EXPECT_THROW(runSearch(inputsFor(target, options, "out", 2), control), SearchCancelled);
    EXPECT_TRUE(cancel.load());
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_LT(seen.back(), 1.0);
}

TEST(ThreadedSearch, CancelStopsAThreadedScan) {
    TempDir dir;
    std::mt19937_64 random(9);
    writeFasta("long.fas", {plantedText(600000, random)});
    writeFasta("many.fas", manyRecords());
    expectCancelled("long.fas", false);
    expectCancelled("long.fas", true);
    expectCancelled("many.fas", false);
}

TEST(ThreadedSearch, ProgressGrowsToTheEnd) {
    TempDir dir;
    std::mt19937_64 random(3);
    writeFasta("long.fas", {plantedText(300000, random)});
    writeFasta("many.fas", manyRecords());
    const std::string options = optionsFile("options.txt", {true, true, true});
    for (const std::string target : {"long.fas", "many.fas"}) {
        std::vector<double> seen;
        SearchControl control;
        control.onProgress = [&seen](double share) { seen.push_back(share); };
        runSearch(inputsFor(target, options, "out", 2), control);
        ASSERT_GT(seen.size(), 3u) << target;
        EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end())) << target;
        EXPECT_DOUBLE_EQ(seen.back(), 1.0) << target;
    }
}

}  // namespace
}  // namespace xoprex
