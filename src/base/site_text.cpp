#include "base/site_text.h"

#include <cstring>
#include <new>
#include <ostream>

namespace xoprex {

static_assert(sizeof(SiteText) == 24, "a site text fills three words");
static_assert(sizeof(SharedText) <= SiteText::kInline + 1, "a shared text fits the inline room");

void SiteText::set(std::string_view text) {
    if (text.size() <= kInline) {
        if (!text.empty()) {
            std::memcpy(chars_, text.data(), text.size());
        }
        size_ = static_cast<uint8_t>(text.size());
        return;
    }
    new (chars_) SharedText(text);
    size_ = kShared;
}

void SiteText::copyFrom(const SiteText& other) {
    if (other.size_ == kShared) {
        new (chars_) SharedText(other.shared());
    } else {
        std::memcpy(chars_, other.chars_, other.size_);
    }
    size_ = other.size_;
}

void SiteText::clear() noexcept {
    if (size_ == kShared) {
        reinterpret_cast<SharedText*>(chars_)->~SharedText();
    }
    size_ = 0;
}

std::ostream& operator<<(std::ostream& out, const SiteText& text) {
    return out << text.view();
}

}  // namespace xoprex
