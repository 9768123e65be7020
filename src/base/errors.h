// The failures the core reports to its callers, as exceptions without side
// effects: the core never writes a file or a message when it raises them.
//   InputError      invalid input (a file that cannot be read, a malformed
//                   file, an unknown extension, invalid options); what() is
//                   the message lines joined by '\n'.
//   OutputError     an output file that could not be created or written.
//   SearchCancelled the caller asked a running search to stop.
// The front ends report an InputError with reportFatal, which writes the
// message to "OprexLog.txt" in the current folder and to standard output.
#pragma once

#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

namespace xoprex {

enum class InputProblem {
    Extension,   // the file's extension names no accepted format
    Unreadable,  // the file cannot be opened or read
    Format,      // the file's content is not what its format requires
    Options,     // option values the search cannot run with
    Overwrite,   // an output would replace an input
    Usage,       // settings of a search that do not go together
};

class InputError : public std::runtime_error {
  public:
    InputError(InputProblem kind, std::string path, std::vector<std::string> lines);
    // One message line.
    InputError(InputProblem kind, std::string path, const std::string& line)
        : InputError(kind, std::move(path), std::vector<std::string>{line}) {}

    InputProblem kind() const { return kind_; }
    // The file the problem is in (empty when it concerns no file).
    const std::string& path() const { return path_; }
    const std::vector<std::string>& lines() const { return lines_; }

  private:
    InputProblem kind_;
    std::string path_;
    std::vector<std::string> lines_;
};

class OutputError : public std::runtime_error {
  public:
    // `message` names the file; `path` is that file.
    OutputError(std::string path, const std::string& message);
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

class SearchCancelled : public std::exception {
  public:
    const char* what() const noexcept override { return "search cancelled"; }
};

// Writes the error's lines to a fresh "OprexLog.txt" in the current folder
// and to standard output (a file that cannot be created gets nothing).
void reportFatal(const InputError& error);

}  // namespace xoprex
