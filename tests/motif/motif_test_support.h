// Helpers shared by the motif tests: file writing, line splitting, small
// collections built without a file, bit patterns of doubles.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/errors.h"
#include "motif/site_collection.h"
#include "seqio/sequence.h"
#include "temp_dir.h"

namespace motif_test {

using TempFolder = xoprex::testing::TempDir;
using xoprex::testing::readFile;

// Writes `content` to `path` (relative to the current folder) as it is.
inline void writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

// Splits on '\n'; a final line end does not make an extra empty line.
inline std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

// A collection of the given (upper-case, equal-length) sites with its model.
inline xoprex::SiteCollection makeCollection(const std::vector<std::string>& sites,
                                             const xoprex::SequenceRecord& background = {}) {
    xoprex::SiteCollection collection;
    for (const auto& text : sites) {
        xoprex::SiteHit site(static_cast<int32_t>(text.size()));
        site.site = text;
        collection.sites.push_back(site);
    }
    collection.siteLength = sites.empty() ? 0 : static_cast<int32_t>(sites.front().size());
    collection.baseName = "test";
    xoprex::buildModel(collection, background);
    return collection;
}

inline uint64_t bitsOf(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

}  // namespace motif_test

// Runs `statement`, which must raise an InputError with exactly the given
// lines, and checks that it wrote no "OprexLog.txt" (the front ends' file).
#define EXPECT_FATAL_LINES(statement, ...)                           \
    do {                                                             \
        const std::vector<std::string> expectedLines_ = __VA_ARGS__; \
        bool thrown_ = false;                                        \
        try {                                                        \
            statement;                                               \
        } catch (const xoprex::InputError& error_) {                 \
            thrown_ = true;                                          \
            EXPECT_EQ(error_.lines(), expectedLines_);               \
        }                                                            \
        EXPECT_TRUE(thrown_) << "no input error";                    \
        EXPECT_FALSE(std::filesystem::exists("OprexLog.txt"));       \
    } while (false)
