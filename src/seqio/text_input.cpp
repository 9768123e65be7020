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
constexpr size_t kPage = size_t{1} << 12;
// Reads the rest of `buffer` into `out`, starting with room for `sizeHint`
// bytes (plus one, so that a correct hint ends with one empty read).
void readAll(std::streambuf* buffer, size_t sizeHint, TextBuffer& out) {
    out = TextBuffer{};
    if (buffer == nullptr) {
        return;
    }
    std::string& text = out.storage;
    const size_t room = sizeHint + 1 > kMinChunk ? sizeHint + 1 : kMinChunk;
    text.reserve(room);
    prepareForWriting(text.data(), room);
    text.resize(room);
    size_t size = 0;
    for (;;) {
        if (size == text.size()) {
            text.resize(text.size() * 2);
        }
        const std::streamsize got =
            buffer->sgetn(text.data() + size, static_cast<std::streamsize>(text.size() - size));
        if (got <= 0) {
            break;
        }
        size += static_cast<size_t>(got);
    }
    text.resize(size);
    out.data = text.data();
    out.size = size;
}

}  // namespace

std::string adoptFront(TextBuffer& buffer, size_t n) {
    std::string text = std::move(buffer.storage);
    buffer = TextBuffer{};
    text.resize(n);
#if defined(__linux__)
    const auto begin = reinterpret_cast<uintptr_t>(text.data());
    const uintptr_t first = (begin + sequenceCapacity(n) + kPage - 1) / kPage * kPage;
    const uintptr_t last = (begin + text.capacity()) / kPage * kPage;
    if (last > first) {
        madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
    }
#endif
    return text;
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
