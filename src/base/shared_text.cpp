#include "base/shared_text.h"

#include <atomic>
#include <cstring>
#include <limits>
#include <new>
#include <ostream>

namespace xoprex {

struct SharedText::Block {
    // Copies referring to the block; kLasting for blocks that are never freed.
    std::atomic<uint32_t> references;
    size_t size;
    char* text() { return reinterpret_cast<char*>(this + 1); }
};

namespace {

constexpr uint32_t kLasting = std::numeric_limits<uint32_t>::max();

}  // namespace

SharedText::SharedText(std::string_view text) {
    if (text.empty()) {
        return;
    }
    void* memory = ::operator new(sizeof(Block) + text.size());
    block_ = new (memory) Block{{1}, text.size()};
    std::memcpy(block_->text(), text.data(), text.size());
}

SharedText SharedText::lasting(std::string_view text) {
    SharedText result(text);
    if (result.block_ != nullptr) {
        result.block_->references.store(kLasting, std::memory_order_relaxed);
    }
    return result;
}

std::string_view SharedText::view() const noexcept {
    // An empty text still points somewhere, so it can be copied from.
    return block_ == nullptr ? std::string_view("", 0)
                             : std::string_view(block_->text(), block_->size);
}

void SharedText::retain() const noexcept {
    if (block_ != nullptr && block_->references.load(std::memory_order_relaxed) != kLasting) {
        block_->references.fetch_add(1, std::memory_order_relaxed);
    }
}

void SharedText::release() noexcept {
    if (block_ == nullptr || block_->references.load(std::memory_order_relaxed) == kLasting) {
        return;
    }
    if (block_->references.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        block_->~Block();
        ::operator delete(block_);
    }
    block_ = nullptr;
}

std::ostream& operator<<(std::ostream& out, const SharedText& text) {
    return out << text.view();
}

}  // namespace xoprex
