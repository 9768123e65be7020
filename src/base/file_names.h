// Rules for the names of the files a search reads and writes.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>

namespace xoprex {

// The extension rule of the input readers: the text after the last '.' of
// the path (searched from at most index 1024), cut to three characters; a
// path without '.' gives its first three characters. `baseName` (when
// given) receives the path before that '.', or the whole path.
std::string fileExtension(const std::string& path, std::string* baseName = nullptr);

// File title: the name without folder and last extension ("data/x.fas" -> "x").
std::string fileTitle(const std::string& path);

// The two rules for the names of input files. Strict is the desktop
// program's (fileExtension, fileTitle); Wide is the command line's, for the
// names files have in the field:
//   - the path "-" stands for standard input (title "stdin");
//   - a final ".gz" (any case) is not part of the name: the extension and
//     the title are those of the rest;
//   - the extension is the whole text after the last '.' of the file name
//     (not of a folder), lower-cased.
enum class NameRule { Strict, Wide };

// True for "-", the standard input under the wide rule.
bool isStandardInput(const std::string& path);

// The extension under the wide rule ("" for a name without '.'); `baseName`
// (when given) receives the path before that '.' and without ".gz", or
// "stdin" for standard input.
std::string wideExtension(const std::string& path, std::string* baseName = nullptr);

// The title a search names its outputs after: fileTitle under the strict
// rule; under the wide rule the name without folder, ".gz" and last
// extension ("data/genome.fna.gz" -> "genome"), or "stdin".
std::string inputTitle(const std::string& path, NameRule rule);

// The files a run reads, to tell at once whether an output would replace one
// of them: by the absolute, normalised path (whether or not the file exists),
// and by device and inode (links, "..", other spellings, and standard input
// redirected from a file, named "-"). Each check costs one stat of the
// output, whatever the number of inputs.
class InputFiles {
  public:
    // Records an input ("-": standard input; "" is passed over).
    void add(const std::string& path);
    // The input `output` would replace, or nullptr.
    const std::string* replacedBy(const std::string& output) const;

  private:
    std::unordered_map<std::string, std::string> byPath_;
    std::map<std::pair<uint64_t, uint64_t>, std::string> byFile_;
};

// The folder with one trailing separator ("" stays "").
std::string withTrailingSeparator(const std::string& folder);

// True when both paths name one file: the same path once made absolute and
// normalised (whether or not it exists), or two existing names of the same
// file (the same device and inode: links, "..", other spellings).
bool sameFile(const std::string& a, const std::string& b);

}  // namespace xoprex
