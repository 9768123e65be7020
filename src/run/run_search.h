// One complete search, from the three input paths to the results table.
// Invalid input raises FatalError (after reportFatal wrote "OprexLog.txt");
// a cancelled search raises SearchCancelled. Nothing else escapes.
#pragma once

#include <atomic>
#include <exception>
#include <functional>
#include <string>

namespace xoprex {

struct SearchInputs {
    std::string sequencePath;
    std::string collectionPath;
    std::string optionsPath;
    std::string outputFolder;  // ends with the path separator (or is empty)
    std::string sequenceTitle;
    std::string collectionTitle;
    unsigned threads = 0;  // 0: all cores
};

struct SearchControl {
    // Every run-log line, after it reached the log file and standard output.
    std::function<void(const std::string&)> onLine;
    // Share of the scan done, 0..1 (records done plus the share of windows
    // of the record being scanned).
    std::function<void(double)> onProgress;
    // Checked between records and regularly during a scan.
    const std::atomic<bool>* cancel = nullptr;
};

class SearchCancelled : public std::exception {
  public:
    const char* what() const noexcept override { return "search cancelled"; }
};

// Returns the results table's file name.
std::string runSearch(const SearchInputs& inputs, const SearchControl& control = {});

// File title: the name without folder and last extension ("data/x.fas" -> "x").
std::string fileTitle(const std::string& path);
// Folder of a path with a trailing separator ("" for a bare name).
std::string folderOf(const std::string& path);

}  // namespace xoprex
