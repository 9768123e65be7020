// Helpers of the sequence input tests: a fresh temporary working folder per
// test, small file writers, and a check of an input error's lines.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "base/errors.h"
#include "seqio/sequence.h"
#include "temp_dir.h"

namespace xoprex::seqio_test {

// Changes into a fresh temporary folder for the test's life, then back.
class TempFolderTest : public ::testing::Test {
  protected:
    void SetUp() override { folder_ = std::make_unique<testing::TempDir>(); }
    void TearDown() override { folder_.reset(); }

    // Writes `text` byte for byte to `name` inside the temporary folder.
    std::string writeFile(const std::string& name, const std::string& text) {
        const std::filesystem::path path = folder() / name;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream out(path, std::ios::binary);
        out << text;
        return path.string();
    }

    const std::filesystem::path& folder() const { return folder_->path(); }

  private:
    std::unique_ptr<testing::TempDir> folder_;
};

inline std::string readText(const std::filesystem::path& path) {
    return testing::readFile(path.string());
}

// Runs `action`, which must end in an InputError with exactly `lines`, and
// checks that it wrote nothing ("OprexLog.txt" is the front ends' to write).
inline void expectFatal(const std::function<void()>& action,
                        const std::vector<std::string>& lines) {
    std::filesystem::remove("OprexLog.txt");
    bool thrown = false;
    try {
        action();
    } catch (const InputError& error) {
        thrown = true;
        EXPECT_EQ(error.lines(), lines);
    }
    ASSERT_TRUE(thrown) << "no input error was raised";
    EXPECT_FALSE(std::filesystem::exists("OprexLog.txt"));
}

// Compresses `text` with the gzip program.
inline std::string gzipped(const std::string& text) {
    const std::string plain = (std::filesystem::temp_directory_path() /
                               ("xoprex_gz_" + std::to_string(::getpid()) + ".txt"))
                                  .string();
    std::ofstream(plain, std::ios::binary) << text;
    std::string out;
    FILE* pipe = popen(("gzip -c -n " + plain).c_str(), "r");
    if (pipe != nullptr) {
        char buffer[65536];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            out.append(buffer, n);
        }
        pclose(pipe);
    }
    std::filesystem::remove(plain);
    return out;
}

inline SequenceSet fastaFromText(const std::string& text, const std::string& path = "t.fas") {
    SequenceSet set;
    std::istringstream in(text);
    readFastaStream(in, path, set);
    return set;
}

inline SequenceSet genBankFromText(const std::string& text) {
    SequenceSet set;
    std::istringstream in(text);
    readGenBankStream(in, set);
    return set;
}

}  // namespace xoprex::seqio_test
