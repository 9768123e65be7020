// The text of a site: a window of the motif's length. Texts of up to 22
// characters (nearly every motif) are kept inside the object, so a hit
// needs no memory of its own for its site; longer ones live in one block on
// the heap that copies share (SharedText). Reads like a std::string_view.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <type_traits>

#include "base/shared_text.h"

namespace xoprex {

class SiteText {
  public:
    static constexpr size_t kInline = 22;

    SiteText() noexcept : size_(0) {}
    SiteText(std::string_view text) { set(text); }
    SiteText(const char* text) : SiteText(std::string_view(text)) {}
    SiteText(const std::string& text) : SiteText(std::string_view(text)) {}
    SiteText(const SiteText& other) { copyFrom(other); }
    SiteText& operator=(const SiteText& other) {
        if (this != &other) {
            clear();
            copyFrom(other);
        }
        return *this;
    }
    ~SiteText() { clear(); }

    // Replaces the text.
    void assign(const char* text, size_t size) {
        clear();
        set(std::string_view(text, size));
    }

    std::string_view view() const noexcept {
        return size_ == kShared ? shared().view() : std::string_view(chars_, size_);
    }
    operator std::string_view() const noexcept { return view(); }
    std::string str() const { return std::string(view()); }
    const char* data() const noexcept { return view().data(); }
    size_t size() const noexcept { return view().size(); }
    bool empty() const noexcept { return size() == 0; }
    char operator[](size_t i) const noexcept { return data()[i]; }

    friend bool operator==(const SiteText& a, const SiteText& b) noexcept {
        return a.view() == b.view();
    }
    // Any text: a string, a view, a literal.
    template <class Text>
    requires(std::is_convertible_v<const Text&, std::string_view> &&
             !std::is_same_v<Text, SiteText>) friend bool
    operator==(const SiteText& a, const Text& b) noexcept {
        return a.view() == std::string_view(b);
    }

  private:
    static constexpr uint8_t kShared = 0xFF;

    void set(std::string_view text);
    void copyFrom(const SiteText& other);
    void clear() noexcept;
    const SharedText& shared() const noexcept {
        return *reinterpret_cast<const SharedText*>(chars_);
    }

    // Inline: the characters. Shared: a SharedText constructed in place.
    alignas(8) char chars_[kInline + 1];
    uint8_t size_;  // inline length, or kShared
};

std::ostream& operator<<(std::ostream& out, const SiteText& text);

}  // namespace xoprex
