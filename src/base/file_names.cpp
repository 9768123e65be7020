#include "base/file_names.h"

#include <sys/stat.h>

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

bool isStandardInput(const std::string& path) {
    return path == "-";
}

namespace {

constexpr char kStandardInputTitle[] = "stdin";

// The path without a final ".gz" of any case.
std::string withoutGzipSuffix(const std::string& path) {
    const size_t n = path.size();
    if (n > 3 && path[n - 3] == '.' && (path[n - 2] == 'g' || path[n - 2] == 'G') &&
        (path[n - 1] == 'z' || path[n - 1] == 'Z')) {
        return path.substr(0, n - 3);
    }
    return path;
}

}  // namespace

std::string wideExtension(const std::string& path, std::string* baseName) {
    if (isStandardInput(path)) {
        if (baseName != nullptr) {
            *baseName = kStandardInputTitle;
        }
        return {};
    }
    const std::string name = withoutGzipSuffix(path);
    const size_t nameStart = name.find_last_of('/') + 1;  // 0 without a folder
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot < nameStart) {
        if (baseName != nullptr) {
            *baseName = name;
        }
        return {};
    }
    if (baseName != nullptr) {
        *baseName = name.substr(0, dot);
    }
    std::string extension = name.substr(dot + 1);
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return extension;
}

std::string inputTitle(const std::string& path, NameRule rule) {
    if (rule == NameRule::Strict) {
        return fileTitle(path);
    }
    if (isStandardInput(path)) {
        return kStandardInputTitle;
    }
    return fileTitle(withoutGzipSuffix(path));
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

namespace {

std::string normalised(const std::string& path) {
    std::error_code error;
    const auto absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

}  // namespace

void InputFiles::add(const std::string& path) {
    if (path.empty()) {
        return;
    }
    struct stat info {};
    if (isStandardInput(path)) {
        if (fstat(0, &info) == 0) {
            byFile_.emplace(std::pair<uint64_t, uint64_t>(info.st_dev, info.st_ino),
                            "standard input");
        }
        return;
    }
    byPath_.emplace(normalised(path), path);
    if (stat(path.c_str(), &info) == 0) {
        byFile_.emplace(std::pair<uint64_t, uint64_t>(info.st_dev, info.st_ino), path);
    }
}

const std::string* InputFiles::replacedBy(const std::string& output) const {
    if (const auto found = byPath_.find(normalised(output)); found != byPath_.end()) {
        return &found->second;
    }
    struct stat info {};
    if (stat(output.c_str(), &info) == 0) {
        const auto found = byFile_.find({info.st_dev, info.st_ino});
        if (found != byFile_.end()) {
            return &found->second;
        }
    }
    return nullptr;
}

std::string withTrailingSeparator(const std::string& folder) {
    if (folder.empty() || folder.back() == std::filesystem::path::preferred_separator) {
        return folder;
    }
    return folder + std::filesystem::path::preferred_separator;
}

}  // namespace xoprex
