#include "seqio/text_input.h"

#include <algorithm>
#include <memory>
#include <utility>

namespace xoprex::seqio_detail {
namespace {

constexpr size_t kMinChunk = size_t{1} << 16;
// Reads the rest of `source` into `out`, starting with room for its size
// hint (plus one, so that a correct hint ends with one empty read).
void readAll(InputSource& source, TextBuffer& out) {
    out = TextBuffer{};
    std::string& text = out.storage;
    const size_t sizeHint = source.sizeHint();
    const size_t room = sizeHint + 1 > kMinChunk ? sizeHint + 1 : kMinChunk;
    text.reserve(room);
    prepareForWriting(text.data(), room);
    text.resize(room);
    size_t size = 0;
    for (;;) {
        if (size == text.size()) {
            text.resize(text.size() * 2);
        }
        const size_t got = source.read(text.data() + size, text.size() - size);
        if (got == 0) {
            break;
        }
        size += got;
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

TextBuffer readWholeStream(std::istream& in, const std::string& name) {
    TextBuffer out;
    readAll(*InputSource::fromStream(in.rdbuf(), name), out);
    return out;
}

bool readWholeFile(const std::string& path, TextBuffer& out, NameRule rule) {
    const std::unique_ptr<InputSource> source = InputSource::open(path, rule);
    if (source == nullptr) {
        return false;
    }
    readAll(*source, out);
    return true;
}

}  // namespace xoprex::seqio_detail
