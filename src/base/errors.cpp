#include "base/errors.h"

#include <utility>

#include "base/run_log.h"

namespace xoprex {
namespace {

std::string joinLines(const std::vector<std::string>& lines) {
    std::string joined;
    for (const auto& line : lines) {
        if (!joined.empty()) {
            joined += '\n';
        }
        joined += line;
    }
    return joined;
}

}  // namespace

InputError::InputError(InputProblem kind, std::string path, std::vector<std::string> lines)
    : std::runtime_error(joinLines(lines)),
      kind_(kind),
      path_(std::move(path)),
      lines_(std::move(lines)) {}

OutputError::OutputError(std::string path, const std::string& message)
    : std::runtime_error(message), path_(std::move(path)) {}

void reportFatal(const InputError& error) {
    RunLog log("OprexLog.txt");
    for (const auto& line : error.lines()) {
        log.writeLine(line);
    }
}

}  // namespace xoprex
