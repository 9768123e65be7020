#include "base/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

#include "base/errors.h"

namespace xoprex {
namespace {

// The longest file name the file systems in use take.
constexpr size_t kMaxNameLength = 255;

std::string systemReason(int error) {
    return std::strerror(error);
}

// ".NAME.XXXXXX" in the folder of `path` (a shorter fixed stem when the name
// is too long for the suffix), XXXXXX random.
std::string temporaryName(const std::string& path, std::mt19937_64& random) {
    const std::filesystem::path final(path);
    std::string name = final.filename().string();
    if (name.size() + 8 > kMaxNameLength) {
        name = "xoprex";
    }
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string suffix(6, 'x');
    for (char& c : suffix) {
        c = kLetters[random() % (sizeof kLetters - 1)];
    }
    return (final.parent_path() / ("." + name + "." + suffix)).string();
}

// The names of the temporaries in use, for removeTemporaryFiles: copies in
// memory of their own, so that a signal handler can read them at any time.
constexpr size_t kTemporarySlots = 4096;
std::atomic<char*> temporaries[kTemporarySlots];

// Keeps a copy of `name` in a free slot; kTemporarySlots when none is free
// (that temporary is then not removed on a signal).
size_t rememberTemporary(const std::string& name) {
    char* copy = static_cast<char*>(std::malloc(name.size() + 1));
    if (copy == nullptr) {
        return kTemporarySlots;
    }
    std::memcpy(copy, name.c_str(), name.size() + 1);
    for (size_t slot = 0; slot < kTemporarySlots; ++slot) {
        char* expected = nullptr;
        if (temporaries[slot].compare_exchange_strong(expected, copy)) {
            return slot;
        }
    }
    std::free(copy);
    return kTemporarySlots;
}

void forgetTemporary(size_t slot) {
    if (slot < kTemporarySlots) {
        std::free(temporaries[slot].exchange(nullptr));
    }
}

}  // namespace

void removeTemporaryFiles() noexcept {
    for (auto& slot : temporaries) {
        if (const char* name = slot.load()) {
            ::unlink(name);
        }
    }
}

void StreamSink::write(std::string_view text) {
    out_.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out_) {
        throw OutputError(name_, "Cannot write " + name_);
    }
}

void StreamSink::flush() {
    out_.flush();
    if (!out_) {
        throw OutputError(name_, "Cannot write " + name_);
    }
}

OutputFile::OutputFile(std::string path, Durability durability)
    : path_(std::move(path)), target_(path_), slot_(kTemporarySlots), durability_(durability) {
    struct stat status {};
    if (::stat(path_.c_str(), &status) == 0) {
        if (!S_ISREG(status.st_mode)) {
            fd_ = ::open(path_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
            if (fd_ < 0) {
                throw OutputError(path_, "Cannot write " + path_ + ": " + systemReason(errno));
            }
            return;
        }
        std::error_code ignored;
        if (std::filesystem::is_symlink(path_, ignored)) {
            target_ = std::filesystem::canonical(path_, ignored).string();
            if (target_.empty()) {
                target_ = path_;
            }
        }
    }
    if (std::filesystem::path(target_).filename().string().size() > kMaxNameLength) {
        throw OutputError(path_, "Cannot create " + path_ + ": " + systemReason(ENAMETOOLONG));
    }
    // Seeded once per thread: a run that writes many files opens the
    // system's random source once.
    thread_local std::mt19937_64 random = [] {
        std::random_device device;
        return std::mt19937_64((static_cast<uint64_t>(device()) << 32) ^ device() ^
                               static_cast<uint64_t>(::getpid()));
    }();
    // The signals that end the process wait while the temporary is made and
    // remembered, so that removeTemporaryFiles never misses it.
    sigset_t fatal;
    sigset_t before;
    sigemptyset(&fatal);
    for (const int signal : {SIGPIPE, SIGXFSZ, SIGTERM, SIGINT, SIGHUP}) {
        sigaddset(&fatal, signal);
    }
    pthread_sigmask(SIG_BLOCK, &fatal, &before);
    int error = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary_ = temporaryName(target_, random);
        fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        error = errno;
        if (fd_ >= 0 || error != EEXIST) {
            break;
        }
    }
    if (fd_ >= 0) {
        slot_ = rememberTemporary(temporary_);
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    if (fd_ < 0) {
        temporary_.clear();
        throw OutputError(path_, "Cannot create " + path_ + ": " + systemReason(error));
    }
}

OutputFile::~OutputFile() {
    if (!committed_) {
        discard();
    }
}

void OutputFile::discard() noexcept {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
    forgetTemporary(slot_);
    slot_ = kTemporarySlots;
}

void OutputFile::fail(const std::string& what, int error) {
    discard();
    throw OutputError(path_, what + " " + path_ + ": " + systemReason(error));
}

void OutputFile::write(std::string_view text) {
    const char* data = text.data();
    size_t left = text.size();
    while (left > 0) {
        const ssize_t written = ::write(fd_, data, left);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail("Cannot write", errno);
        }
        data += written;
        left -= static_cast<size_t>(written);
    }
}

void OutputFile::commit() {
    if (durability_ == Durability::Synced && !temporary_.empty() && ::fsync(fd_) != 0) {
        fail("Cannot write", errno);
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        fail("Cannot write", errno);
    }
    if (!temporary_.empty() && ::rename(temporary_.c_str(), target_.c_str()) != 0) {
        fail("Cannot create", errno);
    }
    temporary_.clear();
    forgetTemporary(slot_);
    slot_ = kTemporarySlots;
    committed_ = true;
}

void writeWholeFile(const std::string& path, std::string_view text,
                    OutputFile::Durability durability) {
    OutputFile file(path, durability);
    file.write(text);
    file.commit();
}

}  // namespace xoprex
