#include "cli/progress_line.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <iostream>

namespace xoprex::cli {
namespace {

// Redraws at most this often.
constexpr std::chrono::milliseconds kRedraw(200);

// "12.3 MB", "950 kB", "512 B".
std::string sizeText(size_t bytes) {
    char text[32];
    const double value = static_cast<double>(bytes);
    if (bytes >= 1'000'000'000) {
        std::snprintf(text, sizeof text, "%.2f GB", value / 1e9);
    } else if (bytes >= 1'000'000) {
        std::snprintf(text, sizeof text, "%.1f MB", value / 1e6);
    } else if (bytes >= 1'000) {
        std::snprintf(text, sizeof text, "%.0f kB", value / 1e3);
    } else {
        std::snprintf(text, sizeof text, "%zu B", bytes);
    }
    return text;
}

// "0:07", "12:34", "1:02:03".
std::string timeText(double seconds) {
    const long whole = std::lround(std::max(0.0, seconds));
    char text[32];
    if (whole >= 3600) {
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60,
                      whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    }
    return text;
}

}  // namespace

ProgressLine::ProgressLine(std::ostream& out)
    : drawing_(::isatty(STDERR_FILENO) == 1),
      start_(std::chrono::steady_clock::now()),
      buffer_(*this, out.rdbuf()),
      echo_(&buffer_) {}

ProgressLine::~ProgressLine() {
    erase();
}

std::string ProgressLine::text(const SearchControl::Figures& figures, double elapsed) {
    std::string line = sizeText(figures.bytesDone);
    const bool known = figures.bytesTotal > 0 && figures.bytesDone <= figures.bytesTotal;
    if (known) {
        char share[16];
        std::snprintf(share, sizeof share, " (%.0f%%)",
                      100.0 * static_cast<double>(figures.bytesDone) /
                          static_cast<double>(figures.bytesTotal));
        line += " of " + sizeText(figures.bytesTotal) + share;
    }
    line += ", " + std::to_string(figures.records) +
            (figures.records == 1 ? " record, " : " records, ") + std::to_string(figures.hits) +
            (figures.hits == 1 ? " hit, " : " hits, ") + timeText(elapsed);
    if (known && figures.bytesDone > 0) {
        const double left = elapsed * static_cast<double>(figures.bytesTotal - figures.bytesDone) /
                            static_cast<double>(figures.bytesDone);
        line += ", " + timeText(left) + " left";
    }
    return line;
}

void ProgressLine::update(const SearchControl::Figures& figures) {
    if (!drawing_) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    const std::lock_guard<std::mutex> lock(mutex_);
    if (now - lastDraw_ < kRedraw) {
        return;
    }
    lastDraw_ = now;
    if (!buffer_.atLineStart()) {
        return;  // the echo is inside a line
    }
    buffer_.flushTarget();  // echoed lines reach the terminal before the line
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    std::cerr << '\r' << text(figures, elapsed) << "\033[K" << std::flush;
    shown_ = true;
}

void ProgressLine::erase() {
    const std::lock_guard<std::mutex> lock(mutex_);
    eraseLocked();
}

void ProgressLine::eraseLocked() {
    if (shown_) {
        std::cerr << "\r\033[K" << std::flush;
        shown_ = false;
    }
}

int ProgressLine::EchoBuffer::overflow(int c) {
    if (c == traits_type::eof()) {
        return traits_type::not_eof(c);
    }
    const char letter = static_cast<char>(c);
    return xsputn(&letter, 1) == 1 ? c : traits_type::eof();
}

std::streamsize ProgressLine::EchoBuffer::xsputn(const char* text, std::streamsize n) {
    const std::lock_guard<std::mutex> lock(line_.mutex_);
    line_.eraseLocked();
    if (n > 0) {
        atLineStart_ = text[n - 1] == '\n';
    }
    return target_->sputn(text, n);
}

int ProgressLine::EchoBuffer::sync() {
    return target_->pubsync();
}

}  // namespace xoprex::cli
