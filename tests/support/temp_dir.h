// Test helper: a fresh temporary folder that becomes the current folder for
// the lifetime of the object (reportFatal writes "OprexLog.txt" there).
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace xoprex::testing {

class TempDir {
  public:
    TempDir() : previous_(std::filesystem::current_path()) {
        std::random_device device;
        path_ = std::filesystem::temp_directory_path() /
                ("xoprex-test-" + std::to_string(device()) + "-" + std::to_string(device()));
        std::filesystem::create_directories(path_);
        std::filesystem::current_path(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

    void write(const std::string& name, const std::string& text) const {
        std::ofstream(path_ / name, std::ios::binary) << text;
    }

  private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace xoprex::testing
