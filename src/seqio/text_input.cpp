#include "seqio/text_input.h"

#include <filesystem>
#include <fstream>
#include <new>
#include <system_error>
#include <utility>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace xoprex::seqio_detail {
namespace {

constexpr size_t kMinChunk = size_t{1} << 16;
constexpr size_t kHugePage = size_t{1} << 21;
constexpr size_t kPage = size_t{1} << 12;
// Blocks from this size on are mapped for huge pages; smaller ones come from
// the ordinary allocator.
constexpr size_t kMapFrom = size_t{1} << 22;

// Reads the rest of `buffer` into `out`, starting with room for `sizeHint`
// bytes (plus one, so that a correct hint ends with one empty read).
void readAll(std::streambuf* buffer, size_t sizeHint, TextBuffer& out) {
    out = TextBuffer{};
    if (buffer == nullptr) {
        return;
    }
    ByteBlock block(sizeHint + 1 > kMinChunk ? sizeHint + 1 : kMinChunk);
    size_t size = 0;
    for (;;) {
        if (size == block.capacity()) {
            ByteBlock bigger(block.capacity() * 2);
            std::memcpy(bigger.data(), block.data(), size);
            block = std::move(bigger);
        }
        const std::streamsize got = buffer->sgetn(
            block.data() + size, static_cast<std::streamsize>(block.capacity() - size));
        if (got <= 0) {
            break;
        }
        size += static_cast<size_t>(got);
    }
    out.storage = std::move(block);
    out.data = out.storage.data();
    out.size = size;
}

}  // namespace

ByteBlock::ByteBlock(size_t capacity) : capacity_(capacity) {
#if defined(__linux__)
    if (capacity >= kMapFrom) {
        // Map one huge page more than needed so that the block can start on
        // a huge-page boundary.
        const size_t length = (capacity + kHugePage - 1) / kHugePage * kHugePage + kHugePage;
        void* base =
            mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (base == MAP_FAILED) {
            throw std::bad_alloc();
        }
        auto* bytes = static_cast<char*>(base);
        const auto address = reinterpret_cast<uintptr_t>(bytes);
        const size_t lead = (kHugePage - address % kHugePage) % kHugePage;
        if (lead > 0) {
            munmap(bytes, lead);
        }
        const size_t trail = length - lead - (capacity + kHugePage - 1) / kHugePage * kHugePage;
        if (trail > 0) {
            munmap(bytes + length - trail, trail);
        }
        data_ = bytes + lead;
        mapped_ = length - lead - trail;
        prepareForWriting(data_, capacity_);
        return;
    }
#endif
    data_ = new char[capacity];
}

ByteBlock::~ByteBlock() {
    release();
}

ByteBlock::ByteBlock(ByteBlock&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      capacity_(std::exchange(other.capacity_, 0)),
      mapped_(std::exchange(other.mapped_, 0)) {}

ByteBlock& ByteBlock::operator=(ByteBlock&& other) noexcept {
    if (this != &other) {
        release();
        data_ = std::exchange(other.data_, nullptr);
        capacity_ = std::exchange(other.capacity_, 0);
        mapped_ = std::exchange(other.mapped_, 0);
    }
    return *this;
}

void ByteBlock::release() {
    if (data_ == nullptr) {
        return;
    }
#if defined(__linux__)
    if (mapped_ > 0) {
        munmap(data_, mapped_);
        data_ = nullptr;
        return;
    }
#endif
    delete[] data_;
    data_ = nullptr;
}

void releaseConsumed(TextBuffer& buffer, const char* upTo) {
#if defined(__linux__)
    if (buffer.storage.mapped() == 0 || upTo <= buffer.data + buffer.released) {
        return;
    }
    // The mapped block starts on a page boundary; only whole pages go, a
    // megabyte or more at a time (one request per small record would cost
    // more than it saves).
    constexpr size_t kReleaseStep = size_t{1} << 20;
    const size_t consumed = static_cast<size_t>(upTo - buffer.data) / kPage * kPage;
    if (consumed >= buffer.released + kReleaseStep) {
        madvise(buffer.data + buffer.released, consumed - buffer.released, MADV_DONTNEED);
        buffer.released = consumed;
    }
#else
    (void)buffer;
    (void)upTo;
#endif
}

void assignText(std::string& target, const char* source, size_t n) {
    std::string text;
    text.reserve(sequenceCapacity(n));
    prepareForWriting(text.data(), n);
    text.assign(source, n);
    target = std::move(text);
}

TextBuffer readWholeStream(std::istream& in) {
    TextBuffer out;
    readAll(in.rdbuf(), 0, out);
    return out;
}

bool readWholeFile(const std::string& path, TextBuffer& out) {
    std::error_code ec;
    if (path.empty() || std::filesystem::is_directory(path, ec)) {
        return false;
    }
    std::ifstream file(path, std::ios::in | std::ios::binary);
    if (!file.is_open()) {
        return false;
    }
    const auto fileSize = std::filesystem::file_size(path, ec);
    readAll(file.rdbuf(), ec ? 0 : static_cast<size_t>(fileSize), out);
    return !file.bad();
}

}  // namespace xoprex::seqio_detail
