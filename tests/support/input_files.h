// Test helpers for inputs read through seqio/input_source.h: a gzip copy of
// a file made by the gzip program, and standard input taken from a file.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace xoprex::testing {

// Compresses the file at `path` beside it ("PATH.gz"), keeping it.
inline std::string gzipFile(const std::string& path) {
    EXPECT_EQ(std::system(("gzip -k -f -n '" + path + "'").c_str()), 0);
    return path + ".gz";
}

// Standard input reads the given file while the object lives.
class StandardInputFrom {
  public:
    explicit StandardInputFrom(const std::string& path) : saved_(::dup(STDIN_FILENO)) {
        const int fd = ::open(path.c_str(), O_RDONLY);
        ::dup2(fd, STDIN_FILENO);
        ::close(fd);
    }
    ~StandardInputFrom() {
        ::dup2(saved_, STDIN_FILENO);
        ::close(saved_);
    }
    StandardInputFrom(const StandardInputFrom&) = delete;
    StandardInputFrom& operator=(const StandardInputFrom&) = delete;

  private:
    int saved_;
};

}  // namespace xoprex::testing
