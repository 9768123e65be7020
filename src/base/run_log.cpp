#include "base/run_log.h"

#include <cerrno>
#include <cstring>
#include <iostream>

#include "base/number_format.h"

namespace xoprex {

RunLog::RunLog(const std::string& fileName, std::ostream* echo)
    : fileName_(fileName), echo_(echo), lastFlush_(std::chrono::steady_clock::now()) {
    if (fileName.empty()) {
        return;  // no file: the echo alone
    }
    errno = 0;
    file_.open(fileName, std::ios::out | std::ios::trunc);
    if (!file_.is_open()) {
        failure_ = errno != 0 ? std::strerror(errno) : "it cannot be created";
    }
}

RunLog::~RunLog() {
    const std::lock_guard<std::mutex> lock(mutex_);
    flushLocked(std::chrono::steady_clock::now());
}

void RunLog::flushLocked(std::chrono::steady_clock::time_point now) {
    if (file_.is_open() && failure_.empty()) {
        file_.flush();
        if (!file_) {
            failure_ = std::strerror(errno);
        }
    }
    if (echo_ != nullptr) {
        echo_->flush();
    }
    lastFlush_ = now;
    pending_ = false;
}

void RunLog::writeLine(const std::string& text) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (file_.is_open() && failure_.empty()) {
        file_ << text << '\n';
    }
    if (echo_ != nullptr) {
        *echo_ << text << '\n';
    }
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

std::string RunLog::failure() {
    const std::lock_guard<std::mutex> lock(mutex_);
    flushLocked(std::chrono::steady_clock::now());
    return failure_;
}

void RunLog::writeValue(const std::string& text, double value) {
    writeLine(text + formatGeneral(value, 6));
}

void RunLog::writeJoined(const std::string& first, const std::string& second) {
    writeLine(first + second);
}

}  // namespace xoprex
