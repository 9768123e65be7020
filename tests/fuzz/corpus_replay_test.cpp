// Replays the committed fuzz corpus: every file of fuzz/corpus/<harness>/
// goes through its harness. A harness that crashes, trips a sanitizer or
// lets anything but InputError / OutputError escape fails the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "harnesses.h"
#include "temp_dir.h"

namespace xoprex {
namespace fuzz {

// Test names and messages show the harness by its name.
void PrintTo(const Harness& harness, std::ostream* out) {
    *out << harness.name;
}

}  // namespace fuzz
namespace {

class CorpusReplay : public ::testing::TestWithParam<fuzz::Harness> {};

TEST_P(CorpusReplay, EveryFileRunsClean) {
    const std::filesystem::path folder =
        std::filesystem::path(XOPREX_FUZZ_CORPUS) / GetParam().name;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty()) << "no corpus in " << folder;
    for (const std::filesystem::path& file : files) {
        SCOPED_TRACE(file.string());
        const std::string bytes = testing::readFile(file.string());
        EXPECT_NO_THROW(
            GetParam().run(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    }
}

INSTANTIATE_TEST_SUITE_P(Harnesses, CorpusReplay,
                         ::testing::ValuesIn(fuzz::harnesses().begin(), fuzz::harnesses().end()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace xoprex
