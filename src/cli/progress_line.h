// The command line's progress line: one line on a terminal's standard error,
// redrawn a few times a second with the bytes done of the input (and of the
// total when known), the records and hits so far, the time elapsed and, when
// the total is known, the time left; erased at the end. The run log echoed
// to the same terminal first erases it (echo()), so that the lines never mix.
// Nothing is drawn when standard error is not a terminal.
#pragma once

#include <chrono>
#include <mutex>
#include <ostream>
#include <streambuf>
#include <string>

#include "pipeline/run_search.h"

namespace xoprex::cli {

class ProgressLine {
  public:
    // Draws on standard error when it is a terminal; `out` is the stream
    // the run log is echoed to.
    explicit ProgressLine(std::ostream& out);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    bool drawing() const { return drawing_; }
    // For SearchControl::onFigures.
    void update(const SearchControl::Figures& figures);
    // Erases the line (before other text goes to the terminal).
    void erase();
    // The stream to echo the run log to: `out`, erasing the line first.
    std::ostream& echo() { return echo_; }

    // The line for the figures after `elapsed` seconds (for tests).
    static std::string text(const SearchControl::Figures& figures, double elapsed);

  private:
    class EchoBuffer : public std::streambuf {
      public:
        EchoBuffer(ProgressLine& line, std::streambuf* target) : line_(line), target_(target) {}
        // Whether the last text echoed ended its line (called under the
        // line's mutex).
        bool atLineStart() const { return atLineStart_; }
        void flushTarget() { target_->pubsync(); }

      protected:
        int overflow(int c) override;
        std::streamsize xsputn(const char* text, std::streamsize n) override;
        int sync() override;

      private:
        ProgressLine& line_;
        std::streambuf* target_;
        bool atLineStart_ = true;
    };

    void eraseLocked();

    bool drawing_;
    bool shown_ = false;
    std::mutex mutex_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastDraw_;
    EchoBuffer buffer_;
    std::ostream echo_;
};

}  // namespace xoprex::cli
