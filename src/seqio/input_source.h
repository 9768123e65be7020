// The bytes of one input, read piece by piece: a file, standard input or a
// stream, plain or gzip-compressed. A gzip input (recognised by its first
// two bytes, 0x1f 0x8b, whatever its name) is decompressed as it is read,
// member after member (concatenated files, bgzip blocks); zero bytes after
// the last member are taken as padding. Any other fault of the compressed
// data raises InputError naming the input and the problem ("truncated gzip
// file: PATH", "gzip data error (CRC): PATH", ...); the reads of a source
// never hand out bytes of a member whose end was not reached.
#pragma once

#include <cstddef>
#include <memory>
#include <streambuf>
#include <string>

#include "base/errors.h"
#include "base/file_names.h"

namespace xoprex {

// The name messages give standard input.
inline constexpr char kStandardInputName[] = "standard input";

// The error for an input that cannot be opened, naming the file and why:
// "Incorrect file name: PATH" for a file that is not there (or a folder),
// "Cannot read PATH: REASON" for one the system refuses (no permission).
InputError cannotOpen(const std::string& path);

class InputSource {
  public:
    // Opens the file at `path`, or standard input for "-" under the wide
    // rule. Returns nullptr when the path cannot be opened for reading
    // (missing file, folder, no permission).
    static std::unique_ptr<InputSource> open(const std::string& path,
                                             NameRule rule = NameRule::Strict);

    // Reads through `buffer` (not owned); `name` names it in messages.
    static std::unique_ptr<InputSource> fromStream(std::streambuf* buffer, const std::string& name);

    ~InputSource();
    InputSource(const InputSource&) = delete;
    InputSource& operator=(const InputSource&) = delete;

    // Reads up to n bytes into `to`: returns how many, 0 only at the end
    // of the input (or for n = 0). A UTF-8 byte-order mark that opens the
    // (decompressed) input is dropped. A read error of the file raises
    // InputError ("Incorrect file name: PATH", as for a file that cannot be
    // opened).
    size_t read(char* to, size_t n);

    // Every byte left.
    std::string readAll();

    bool compressed() const;

    // The likely size of the whole (decompressed) input, for a first
    // buffer: exact for a plain file, the gzip trailer's length (or a
    // multiple of the compressed size) for a gzip file, 0 when unknown.
    size_t sizeHint() const;

    // The input as messages name it: the path, or "standard input".
    const std::string& name() const;

    struct State;

  private:
    explicit InputSource(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

}  // namespace xoprex
