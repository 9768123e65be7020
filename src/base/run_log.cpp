#include "base/run_log.h"

#include <time.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "base/number_format.h"

namespace xoprex {
namespace {

// The time that decides flushes: the monotonic clock at its coarse
// resolution (a few milliseconds, far finer than any flush interval), which
// costs a fraction of the fine one; it is read for every line.
std::chrono::steady_clock::time_point now() {
    timespec time{};
    if (clock_gettime(CLOCK_MONOTONIC_COARSE, &time) == 0) {
        return std::chrono::steady_clock::time_point(
            std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                std::chrono::seconds(time.tv_sec) + std::chrono::nanoseconds(time.tv_nsec)));
    }
    return std::chrono::steady_clock::now();
}

}  // namespace

RunLog::RunLog(const std::string& fileName, std::ostream* echo)
    : fileName_(fileName), echo_(echo), lastFlush_(now()) {
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
    flushLocked(now());
}

void RunLog::flushLocked(std::chrono::steady_clock::time_point now) {
    handOverLocked();
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

void RunLog::handOverLocked() {
    if (!held_.empty()) {
        if (file_.is_open() && failure_.empty()) {
            file_.write(held_.data(), static_cast<std::streamsize>(held_.size()));
        }
        held_.clear();
    }
}

void RunLog::writeParts(std::string_view first, std::string_view second) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (file_.is_open() && failure_.empty()) {
        held_.append(first).append(second) += '\n';
        if (held_.size() >= kHeldMost) {
            handOverLocked();
        }
    }
    if (echo_ != nullptr) {
        echo_->write(first.data(), static_cast<std::streamsize>(first.size()));
        echo_->write(second.data(), static_cast<std::streamsize>(second.size()));
        echo_->put('\n');
    }
    const auto time = now();
    if (interval_.count() == 0 || time - lastFlush_ >= interval_) {
        flushLocked(time);
    } else {
        pending_ = true;
    }
    if (observer_) {
        std::string line;
        line.reserve(first.size() + second.size());
        line.append(first).append(second);
        observer_(line);
    }
}

void RunLog::writeLine(const std::string& text) {
    writeParts(text, {});
}

void RunLog::setFlushInterval(std::chrono::milliseconds interval) {
    const std::lock_guard<std::mutex> lock(mutex_);
    interval_ = interval;
    flushLocked(now());
}

void RunLog::flushIfStale() {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto time = now();
    if (pending_ && time - lastFlush_ >= interval_) {
        flushLocked(time);
    }
}

std::string RunLog::failure() {
    const std::lock_guard<std::mutex> lock(mutex_);
    flushLocked(now());
    return failure_;
}

void RunLog::writeValue(const std::string& text, double value) {
    char number[kGeneralMaxLength];
    const char* end = writeGeneral(number, value, 6);
    writeParts(text, std::string_view(number, static_cast<size_t>(end - number)));
}

void RunLog::writeJoined(const std::string& first, const std::string& second) {
    writeParts(first, second);
}

}  // namespace xoprex
