// An immutable text that the records copying it share: a copy refers to the
// same block (no allocation, no copying of characters), assigning another
// text replaces the block, so each record still behaves as the owner of its
// own text. Used for a hit's class and gene texts, which thousands of hits
// repeat. Reads like a std::string_view.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <utility>

namespace xoprex {

class SharedText {
  public:
    SharedText() noexcept = default;
    SharedText(std::string_view text);
    SharedText(const char* text) : SharedText(std::string_view(text)) {}
    SharedText(const std::string& text) : SharedText(std::string_view(text)) {}
    SharedText(const SharedText& other) noexcept : block_(other.block_) { retain(); }
    SharedText(SharedText&& other) noexcept : block_(std::exchange(other.block_, nullptr)) {}
    SharedText& operator=(SharedText other) noexcept {
        std::swap(block_, other.block_);
        return *this;
    }
    ~SharedText() { release(); }

    // A text that is never freed and copied without counting (for the few
    // fixed texts every hit starts with); meant for function-local statics.
    static SharedText lasting(std::string_view text);

    std::string_view view() const noexcept;
    operator std::string_view() const noexcept { return view(); }
    const char* data() const noexcept { return view().data(); }
    size_t size() const noexcept { return view().size(); }
    bool empty() const noexcept { return size() == 0; }

    friend bool operator==(const SharedText& a, std::string_view b) noexcept {
        return a.view() == b;
    }

  private:
    struct Block;
    void retain() const noexcept;
    void release() noexcept;

    Block* block_ = nullptr;
};

std::ostream& operator<<(std::ostream& out, const SharedText& text);

}  // namespace xoprex
