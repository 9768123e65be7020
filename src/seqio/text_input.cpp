#include "seqio/text_input.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <new>
#include <system_error>
#include <utility>

namespace xoprex::seqio_detail {
namespace {

constexpr size_t kMinChunk = size_t{1} << 16;
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
    const size_t kept = std::min(sequenceCapacity(n), text.capacity());
    releasePages(text.data() + kept, text.capacity() - kept);
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
