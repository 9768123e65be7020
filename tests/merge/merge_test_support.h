// Builders of small GenBank texts and a scratch folder for the merge tests.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "merge/merge.h"

namespace xoprex::testing {

namespace fs = std::filesystem;

// Merges `input` into `output`; the failure's message, or "" on success.
inline std::string mergeFailure(const std::string& input, const std::string& output) {
    try {
        mergeGenBankFile(input, output);
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "";
}

// A scratch folder per test, removed afterwards.
class MergeFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() /
               ("xoprex_merge_" + std::string(info->name()) + "_" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    std::string write(const std::string& name, const std::string& text) const {
        std::ofstream(path(name), std::ios::binary) << text;
        return path(name);
    }

    static std::string read(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path dir_;
};

// `count` letters of a fixed pseudo-random pattern, lower case; `seed` picks
// the pattern so that records can be told apart.
inline std::string letters(size_t count, unsigned seed) {
    std::string text;
    unsigned state = seed * 2654435761u + 12345u;
    for (size_t i = 0; i < count; ++i) {
        state = state * 1103515245u + 12345u;
        text += "acgt"[(state >> 16) & 3];
    }
    return text;
}

// An ORIGIN block in the usual layout: "ORIGIN" with six blanks, positions
// right-aligned in 9 characters, groups of ten letters, then "//".
inline std::string originBlock(const std::string& sequence, bool closed = true) {
    std::string text = "ORIGIN      \n";
    for (size_t start = 0; start < sequence.size(); start += 60) {
        const std::string position = std::to_string(start + 1);
        text += std::string(9 - position.size(), ' ') + position;
        for (size_t group = start; group < std::min(start + 60, sequence.size()); group += 10) {
            text += ' ' + sequence.substr(group, std::min<size_t>(10, sequence.size() - group));
        }
        text += '\n';
    }
    if (closed) {
        text += "//\n";
    }
    return text;
}

inline std::string locusLine(const std::string& name, size_t length) {
    std::string line = "LOCUS       " + name;
    const std::string digits = std::to_string(length);
    line += std::string(40 - line.size() - digits.size(), ' ') + digits;
    return line + " bp    DNA     linear   BCT 01-JAN-2000\n";
}

// One record: LOCUS, DEFINITION, ACCESSION, FEATURES with a source feature
// and the given feature lines, then the ORIGIN block.
inline std::string record(const std::string& name, const std::string& sequence,
                          const std::string& features, bool closed = true) {
    const std::string length = std::to_string(sequence.size());
    return locusLine(name, sequence.size()) + "DEFINITION  Record " + name + ".\n" +
           "ACCESSION   " + name + "\n" + "FEATURES             Location/Qualifiers\n" +
           "     source          1.." + length + "\n" + "                     /organism=\"" + name +
           " organism\"\n" + features + originBlock(sequence, closed);
}

inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        result.push_back(line);
    }
    return result;
}

// The letters of the ORIGIN block of a merged text, position numbers dropped.
inline std::string originLetters(const std::string& text) {
    std::string result;
    bool inOrigin = false;
    for (const std::string& line : lines(text)) {
        if (line == "//") {
            break;
        }
        if (inOrigin) {
            std::istringstream words(line.substr(16));
            for (std::string word; words >> word;) {
                result += word;
            }
        }
        inOrigin = inOrigin || line.rfind("ORIGIN", 0) == 0;
    }
    return result;
}

}  // namespace xoprex::testing
