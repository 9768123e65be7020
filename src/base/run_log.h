// The run log writes every line twice, to its file and to standard output
// (or another echo stream), flushing both (optionally a few times a second
// rather than line by line). A file that cannot be opened drops its half,
// and a write to an open file that fails is remembered (failure()), so that
// the run can report either; the echo goes on.
#pragma once

#include <chrono>
#include <fstream>
#include <functional>
#include <iostream>
#include <mutex>
#include <string>
#include <string_view>

namespace xoprex {

class RunLog {
  public:
    // Opens (truncates) the file; a file that cannot be opened silently drops
    // its half of every line, the echo still receives it. `echo` null: no
    // echo.
    explicit RunLog(const std::string& fileName, std::ostream* echo = &std::cout);
    ~RunLog();
    RunLog(const RunLog&) = delete;
    RunLog& operator=(const RunLog&) = delete;

    void writeLine(const std::string& text);
    // Text immediately followed by the number in 6-digit general notation.
    void writeValue(const std::string& text, double value);
    void writeJoined(const std::string& first, const std::string& second);

    // Optional observer of every line written (the desktop front end shows
    // progress with it). Called after the line reached file and stdout.
    using LineObserver = std::function<void(const std::string&)>;
    void setObserver(LineObserver observer) { observer_ = std::move(observer); }

    // Every line is flushed to the file and standard output as it is written
    // (interval 0, the default). With an interval, lines that follow the last
    // flush more closely stay buffered until a later line, flushIfStale or
    // the end of the log; a burst of thousands of short records then costs a
    // few writes instead of two per line. Setting the interval flushes.
    void setFlushInterval(std::chrono::milliseconds interval);
    // Flushes buffered lines once the interval has passed since the last flush.
    void flushIfStale();

    // The system's reason when the file could not be opened (a name given)
    // or a write to it failed, else empty (the file is flushed first).
    std::string failure();
    const std::string& fileName() const { return fileName_; }

  private:
    // The file's lines are gathered here and handed to the file stream a
    // block at a time (at a flush, or once kHeldMost bytes are held); the
    // echo gets each line as it comes.
    static constexpr size_t kHeldMost = size_t{1} << 16;
    void writeParts(std::string_view first, std::string_view second);
    void handOverLocked();
    void flushLocked(std::chrono::steady_clock::time_point now);

    std::mutex mutex_;  // lines may come from the threads of a search
    std::string fileName_;
    std::ofstream file_;
    std::string held_;
    std::ostream* echo_;
    std::string failure_;
    LineObserver observer_;
    std::chrono::milliseconds interval_{0};
    std::chrono::steady_clock::time_point lastFlush_;
    bool pending_ = false;
};

}  // namespace xoprex
