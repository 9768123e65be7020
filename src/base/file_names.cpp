#include "base/file_names.h"

#include <filesystem>

namespace xoprex {

std::string fileExtension(const std::string& path, std::string* baseName) {
    // The search for the last '.' starts no further right than index 1024.
    const size_t dot = path.rfind('.', 1024);
    if (dot == std::string::npos) {
        if (baseName != nullptr) {
            *baseName = path;
        }
        return path.substr(0, 3);
    }
    if (baseName != nullptr) {
        *baseName = path.substr(0, dot);
    }
    return path.substr(dot + 1, 3);
}

std::string fileTitle(const std::string& path) {
    return std::filesystem::path(path).stem().string();
}

std::string folderOf(const std::string& path) {
    return withTrailingSeparator(std::filesystem::path(path).parent_path().string());
}

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    const auto absoluteA = std::filesystem::absolute(a, error).lexically_normal();
    const auto absoluteB = std::filesystem::absolute(b, error).lexically_normal();
    if (!error && absoluteA == absoluteB) {
        return true;
    }
    error.clear();
    return std::filesystem::equivalent(a, b, error) && !error;
}

std::string withTrailingSeparator(const std::string& folder) {
    if (folder.empty() || folder.back() == std::filesystem::path::preferred_separator) {
        return folder;
    }
    return folder + std::filesystem::path::preferred_separator;
}

}  // namespace xoprex
