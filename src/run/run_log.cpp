#include "run/run_log.h"

#include <iostream>

#include "run/number_format.h"

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

FatalError::FatalError(const std::vector<std::string>& lines)
    : std::runtime_error(joinLines(lines)), lines_(lines) {}

RunLog::RunLog(const std::string& fileName) : file_(fileName, std::ios::out | std::ios::trunc) {}

void RunLog::writeLine(const std::string& text) {
    if (file_.is_open()) {
        file_ << text << '\n';
        file_.flush();
    }
    std::cout << text << '\n';
    std::cout.flush();
    if (observer_) {
        observer_(text);
    }
}

void RunLog::writeValue(const std::string& text, double value) {
    writeLine(text + formatGeneral(value, 6));
}

void RunLog::writeJoined(const std::string& first, const std::string& second) {
    writeLine(first + second);
}

void reportFatalLines(const std::vector<std::string>& lines) {
    {
        RunLog log("OprexLog.txt");
        for (const auto& line : lines) {
            log.writeLine(line);
        }
    }
    throw FatalError(lines);
}

void reportFatal(const std::string& message) {
    reportFatalLines({message});
}

void reportFatal(const std::string& first, const std::string& second) {
    reportFatalLines({first + second});
}

}  // namespace xoprex
