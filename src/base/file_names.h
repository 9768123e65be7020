// Rules for the names of the files a search reads and writes.
#pragma once

#include <string>

namespace xoprex {

// The extension rule of the input readers: the text after the last '.' of
// the path (searched from at most index 1024), cut to three characters; a
// path without '.' gives its first three characters. `baseName` (when
// given) receives the path before that '.', or the whole path.
std::string fileExtension(const std::string& path, std::string* baseName = nullptr);

// File title: the name without folder and last extension ("data/x.fas" -> "x").
std::string fileTitle(const std::string& path);

// Folder of a path with a trailing separator ("" for a bare name).
std::string folderOf(const std::string& path);

// The folder with one trailing separator ("" stays "").
std::string withTrailingSeparator(const std::string& folder);

// True when both paths name one file: the same path once made absolute and
// normalised (whether or not it exists), or two existing names of the same
// file (the same device and inode: links, "..", other spellings).
bool sameFile(const std::string& a, const std::string& b);

}  // namespace xoprex
