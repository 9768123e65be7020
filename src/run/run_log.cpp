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

RunLog::RunLog(const std::string& fileName)
    : file_(fileName, std::ios::out | std::ios::trunc),
      lastFlush_(std::chrono::steady_clock::now()) {}

RunLog::~RunLog() {
    const std::lock_guard<std::mutex> lock(mutex_);
    flushLocked(std::chrono::steady_clock::now());
}

void RunLog::flushLocked(std::chrono::steady_clock::time_point now) {
    if (file_.is_open()) {
        file_.flush();
    }
    std::cout.flush();
    lastFlush_ = now;
    pending_ = false;
}

void RunLog::writeLine(const std::string& text) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (file_.is_open()) {
        file_ << text << '\n';
    }
    std::cout << text << '\n';
    const auto now = std::chrono::steady_clock::now();
    if (interval_.count() == 0 || now - lastFlush_ >= interval_) {
        flushLocked(now);
    } else {
        pending_ = true;
    }
    if (observer_) {
        observer_(text);
    }
}

void RunLog::setFlushInterval(std::chrono::milliseconds interval) {
    const std::lock_guard<std::mutex> lock(mutex_);
    interval_ = interval;
    flushLocked(std::chrono::steady_clock::now());
}

void RunLog::flushIfStale() {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    if (pending_ && now - lastFlush_ >= interval_) {
        flushLocked(now);
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
