// Output files, written whole or not at all.
//
// An OutputFile writes to a temporary file beside its final name (".NAME.XXXXXX"
// in the same folder) and moves it over the final name only in commit(),
// once every byte was written, (when asked) synced to the disk, and the file
// closed without error. A file dropped without commit() removes its
// temporary, so an earlier file under the final name stays as it was and a
// failed or interrupted run leaves no partial file under a final name (a
// process killed outright can leave its hidden temporary behind, never a
// partial final file). A final name that is a link to a file writes that
// file (the link stays); one that is a device or a pipe (/dev/stdout, say)
// is written directly, since it cannot be replaced. Every failure raises
// OutputError naming the final file and the system's reason.
//
// TextSink is what the writers of text files write to: an OutputFile, or a
// StreamSink over a stream (standard output, or a string in tests).
#pragma once

#include <ostream>
#include <string>
#include <string_view>

namespace xoprex {

class TextSink {
  public:
    virtual ~TextSink() = default;
    // Writes every byte of `text`, or raises OutputError.
    virtual void write(std::string_view text) = 0;
    // Hands what is buffered on (a stream's buffer), or raises OutputError.
    virtual void flush() {}
};

// Writes to a stream; a stream that fails raises OutputError naming `name`.
class StreamSink : public TextSink {
  public:
    StreamSink(std::ostream& out, std::string name) : out_(out), name_(std::move(name)) {}
    void write(std::string_view text) override;
    void flush() override;

  private:
    std::ostream& out_;
    std::string name_;
};

class OutputFile : public TextSink {
  public:
    // Synced files are flushed to the disk (fsync) before they take their
    // final name: the results table and the merged file, which a later step
    // reads back.
    enum class Durability { Normal, Synced };

    // Creates the temporary file; raises OutputError when it cannot (no such
    // folder, no permission, a name too long).
    explicit OutputFile(std::string path, Durability durability = Durability::Normal);
    // Removes the temporary unless commit() succeeded.
    ~OutputFile() override;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void write(std::string_view text) override;
    // Closes the file and gives it its final name.
    void commit();

    const std::string& path() const { return path_; }

  private:
    [[noreturn]] void fail(const std::string& what, int error);
    void discard() noexcept;

    std::string path_;
    std::string target_;     // the file the temporary replaces (path_ or what it links to)
    std::string temporary_;  // empty when writing directly
    size_t slot_;            // where removeTemporaryFiles finds the temporary
    Durability durability_;
    int fd_ = -1;
    bool committed_ = false;
};

// Removes the temporary file of every OutputFile not yet committed: for a
// process stopped by a signal, which runs no destructor. Safe in a signal
// handler (it only unlinks names kept ready for it).
void removeTemporaryFiles() noexcept;

// The whole text to `path` through an OutputFile.
void writeWholeFile(const std::string& path, std::string_view text,
                    OutputFile::Durability durability = OutputFile::Durability::Normal);

}  // namespace xoprex
