// Plain bytes come straight from the file into the caller's buffer (after the
// two bytes looked at to tell gzip). Compressed bytes pass through one chunk
// of kChunk bytes and are inflated with ISA-L's streaming inflate straight
// into the caller's buffer, so a caller that reads through a fixed buffer
// holds no more than that buffer and the chunk.
#include "seqio/input_source.h"

#include <fcntl.h>
#include <isa-l/igzip_lib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "base/errors.h"

namespace xoprex {
namespace {

constexpr size_t kChunk = size_t{256} << 10;
// ISA-L counts its input and output in 32 bits.
constexpr size_t kMaxCall = size_t{1} << 30;
constexpr unsigned char kGzipMagic[2] = {0x1f, 0x8b};

// Where the raw bytes come from.
class RawInput {
  public:
    virtual ~RawInput() = default;
    // Up to n bytes; 0 at the end. False on a read error.
    virtual bool read(unsigned char* to, size_t n, size_t& got) = 0;
    // The size of a regular file (0 otherwise) and its last four bytes.
    virtual size_t fileSize() const { return 0; }
    virtual bool readTail(unsigned char* /*to*/) const { return false; }
};

class FileInput : public RawInput {
  public:
    FileInput(int fd, bool owned) : fd_(fd), owned_(owned) {
        struct stat info {};
        if (fstat(fd_, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
            size_ = static_cast<size_t>(info.st_size);
        }
    }
    ~FileInput() override {
        if (owned_) {
            ::close(fd_);
        }
    }
    FileInput(const FileInput&) = delete;
    FileInput& operator=(const FileInput&) = delete;

    bool read(unsigned char* to, size_t n, size_t& got) override {
        for (;;) {
            const ssize_t r = ::read(fd_, to, std::min(n, kMaxCall));
            if (r >= 0) {
                got = static_cast<size_t>(r);
                return true;
            }
            if (errno != EINTR) {
                return false;
            }
        }
    }
    size_t fileSize() const override { return size_; }
    bool readTail(unsigned char* to) const override {
        return size_ >= 4 && ::pread(fd_, to, 4, static_cast<off_t>(size_ - 4)) == 4;
    }

  private:
    int fd_;
    bool owned_;
    size_t size_ = 0;
};

class StreamInput : public RawInput {
  public:
    explicit StreamInput(std::streambuf* buffer) : buffer_(buffer) {}
    bool read(unsigned char* to, size_t n, size_t& got) override {
        const std::streamsize r =
            buffer_ == nullptr
                ? 0
                : buffer_->sgetn(reinterpret_cast<char*>(to),
                                 static_cast<std::streamsize>(std::min(n, kMaxCall)));
        got = r > 0 ? static_cast<size_t>(r) : 0;
        return true;
    }

  private:
    std::streambuf* buffer_;
};

struct InflateStateDeleter {
    void operator()(inflate_state* state) const { delete state; }
};

}  // namespace

struct InputSource::State {
    std::unique_ptr<RawInput> raw;
    std::string name;
    // Bytes read from `raw` and not yet used: the first bytes of a plain
    // input, the compressed bytes of a gzip input.
    std::unique_ptr<unsigned char[]> chunk;
    size_t chunkCapacity = 0;
    size_t position = 0;
    size_t length = 0;
    bool rawEnded = false;
    // Gzip only: the inflate state (about 87 KB, so not on the stack) and
    // whether the last member has been read.
    std::unique_ptr<inflate_state, InflateStateDeleter> inflater;
    bool gzipEnded = false;
    size_t hint = 0;
    // The input's first bytes, held while telling whether they are a
    // byte-order mark (which is dropped) and handed out first otherwise.
    bool markChecked = false;
    unsigned char opening[3] = {};
    size_t openingSize = 0;
    size_t openingAt = 0;

    [[noreturn]] void fail(const std::string& problem) const {
        throw InputError(InputProblem::Format, name, problem + ": " + name);
    }

    // Up to n raw bytes; 0 at the end.
    size_t readRaw(unsigned char* to, size_t n) {
        if (rawEnded || n == 0) {
            return 0;
        }
        size_t got = 0;
        if (!raw->read(to, n, got)) {
            throw InputError(InputProblem::Unreadable, name,
                             "Cannot read " + name + ": " + std::strerror(errno));
        }
        rawEnded = got == 0;
        return got;
    }

    // Makes sure unused chunk bytes are there; false at the end of the input.
    bool fillChunk() {
        if (position < length) {
            return true;
        }
        position = 0;
        length = readRaw(chunk.get(), chunkCapacity);
        return length > 0;
    }

    // Reads the first two bytes and tells whether they are the gzip magic.
    void start() {
        chunkCapacity = 2;
        chunk = std::make_unique<unsigned char[]>(chunkCapacity);
        while (length < 2) {
            const size_t got = readRaw(chunk.get() + length, 2 - length);
            if (got == 0) {
                break;
            }
            length += got;
        }
        if (length < 2 || std::memcmp(chunk.get(), kGzipMagic, 2) != 0) {
            hint = raw->fileSize();
            return;
        }
        auto bigger = std::make_unique<unsigned char[]>(kChunk);
        std::memcpy(bigger.get(), chunk.get(), 2);
        chunk = std::move(bigger);
        chunkCapacity = kChunk;
        length += readRaw(chunk.get() + 2, kChunk - 2);
        inflater.reset(new inflate_state);
        isal_inflate_init(inflater.get());
        inflater->crc_flag = ISAL_GZIP;
        hint = gzipSizeHint();
    }

    // The length the last member's trailer gives (the whole length for a
    // one-member file, modulo 2^32) when it is plausible: at least the
    // compressed size and at most what deflate can expand it to (a cut or
    // damaged file has anything there). Otherwise four times the
    // compressed size.
    size_t gzipSizeHint() const {
        constexpr size_t kMaxRatio = 1032;
        const size_t compressedSize = raw->fileSize();
        unsigned char tail[4];
        if (compressedSize == 0 || !raw->readTail(tail)) {
            return 0;
        }
        size_t trailerLength = 0;
        for (int i = 3; i >= 0; --i) {
            trailerLength = trailerLength << 8 | tail[i];
        }
        const bool plausible =
            trailerLength >= compressedSize && trailerLength / kMaxRatio <= compressedSize;
        return plausible ? trailerLength : 4 * compressedSize;
    }

    size_t readPlain(unsigned char* to, size_t n) {
        if (position < length) {
            const size_t taken = std::min(n, length - position);
            std::memcpy(to, chunk.get() + position, taken);
            position += taken;
            return taken;
        }
        return readRaw(to, n);
    }

    [[noreturn]] void failInflate(int result) const {
        switch (result) {
            case ISAL_INCORRECT_CHECKSUM:
                fail("gzip data error (CRC)");
            case ISAL_INVALID_WRAPPER:
                fail("gzip data error (header)");
            case ISAL_UNSUPPORTED_METHOD:
                fail("gzip data error (unknown compression method)");
            case ISAL_INVALID_BLOCK:
            case ISAL_INVALID_SYMBOL:
            case ISAL_INVALID_LOOKBACK:
                fail("gzip data error (deflate data)");
            default:
                fail("gzip data error (code " + std::to_string(result) + ")");
        }
    }

    // After a member whose trailer checked out: another member (its first
    // byte 0x1f), zero padding up to the end, or the end.
    void afterMember() {
        if (!fillChunk()) {
            gzipEnded = true;
            return;
        }
        if (chunk[position] == kGzipMagic[0]) {
            isal_inflate_reset(inflater.get());
            inflater->crc_flag = ISAL_GZIP;  // the reset does not keep it
            return;
        }
        do {
            const unsigned char* const from = chunk.get() + position;
            const unsigned char* const to = chunk.get() + length;
            if (std::any_of(from, to, [](unsigned char c) { return c != 0; })) {
                fail("unexpected data after the gzip data");
            }
            position = length;
        } while (fillChunk());
        gzipEnded = true;
    }

    size_t readGzip(unsigned char* to, size_t n) {
        size_t made = 0;
        while (made < n && !gzipEnded) {
            if (inflater->block_state == ISAL_BLOCK_FINISH) {
                afterMember();
                continue;
            }
            fillChunk();
            const size_t inputSize = std::min(length - position, kMaxCall);
            const size_t room = std::min(n - made, kMaxCall);
            inflater->next_in = chunk.get() + position;
            inflater->avail_in = static_cast<uint32_t>(inputSize);
            inflater->next_out = to + made;
            inflater->avail_out = static_cast<uint32_t>(room);
            const int result = isal_inflate(inflater.get());
            const size_t used = inputSize - inflater->avail_in;
            const size_t produced = room - inflater->avail_out;
            position += used;
            made += produced;
            if (result != ISAL_DECOMP_OK && result != ISAL_END_INPUT) {
                failInflate(result);
            }
            if (used == 0 && produced == 0 && inflater->block_state != ISAL_BLOCK_FINISH) {
                // Nothing moved with the output room free: the member needs
                // bytes the input does not have.
                fail(position == length ? "truncated gzip file" : "gzip data error (stalled)");
            }
        }
        return made;
    }
};

InputSource::InputSource(std::unique_ptr<State> state) : state_(std::move(state)) {}
InputSource::~InputSource() = default;

InputError cannotOpen(const std::string& path) {
    struct stat info {};
    std::string reason;
    if (path.empty() || ::stat(path.c_str(), &info) != 0) {
        if (!path.empty() && errno != ENOENT) {
            reason = std::strerror(errno);
        }
    } else if (!S_ISDIR(info.st_mode) && ::access(path.c_str(), R_OK) != 0) {
        reason = std::strerror(errno);
    }
    if (reason.empty()) {
        return InputError(InputProblem::Unreadable, path, "Incorrect file name: " + path);
    }
    return InputError(InputProblem::Unreadable, path, "Cannot read " + path + ": " + reason);
}

std::unique_ptr<InputSource> InputSource::open(const std::string& path, NameRule rule) {
    auto state = std::make_unique<State>();
    if (rule == NameRule::Wide && isStandardInput(path)) {
        state->raw = std::make_unique<FileInput>(STDIN_FILENO, false);
        state->name = kStandardInputName;
    } else {
        std::error_code error;
        if (path.empty() || std::filesystem::is_directory(path, error)) {
            return nullptr;
        }
        // Opening a named pipe waits for its writer; a signal may cut that short.
        int fd = -1;
        do {
            fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) {
            return nullptr;
        }
        state->raw = std::make_unique<FileInput>(fd, true);
        state->name = path;
    }
    state->start();
    return std::unique_ptr<InputSource>(new InputSource(std::move(state)));
}

std::unique_ptr<InputSource> InputSource::fromStream(std::streambuf* buffer,
                                                     const std::string& name) {
    auto state = std::make_unique<State>();
    state->raw = std::make_unique<StreamInput>(buffer);
    state->name = name;
    state->start();
    return std::unique_ptr<InputSource>(new InputSource(std::move(state)));
}

size_t InputSource::read(char* to, size_t n) {
    State& s = *state_;
    const auto readOn = [&s](unsigned char* into, size_t count) {
        return s.inflater ? s.readGzip(into, count) : s.readPlain(into, count);
    };
    if (!s.markChecked && n > 0) {
        // A UTF-8 byte-order mark some editors put first is not text.
        s.markChecked = true;
        while (s.openingSize < 3) {
            const size_t got = readOn(s.opening + s.openingSize, 3 - s.openingSize);
            if (got == 0) {
                break;
            }
            s.openingSize += got;
        }
        if (s.openingSize == 3 && s.opening[0] == 0xEF && s.opening[1] == 0xBB &&
            s.opening[2] == 0xBF) {
            s.openingSize = 0;
        }
    }
    if (s.openingAt < s.openingSize) {
        const size_t taken = std::min(n, s.openingSize - s.openingAt);
        std::memcpy(to, s.opening + s.openingAt, taken);
        s.openingAt += taken;
        return taken;
    }
    return readOn(reinterpret_cast<unsigned char*>(to), n);
}

std::string InputSource::readAll() {
    std::string text;
    text.resize(std::max<size_t>(sizeHint() + 1, 4096));
    size_t size = 0;
    for (;;) {
        if (size == text.size()) {
            text.resize(text.size() * 2);
        }
        const size_t got = read(text.data() + size, text.size() - size);
        if (got == 0) {
            break;
        }
        size += got;
    }
    text.resize(size);
    return text;
}

bool InputSource::compressed() const {
    return state_->inflater != nullptr;
}

size_t InputSource::sizeHint() const {
    return state_->hint;
}

const std::string& InputSource::name() const {
    return state_->name;
}

}  // namespace xoprex
