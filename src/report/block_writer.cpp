#include "report/block_writer.h"

#include <utility>

namespace xoprex {
namespace {

// The buffer starts small and grows only for large texts.
constexpr size_t kFirstBufferSize = size_t{1} << 16;
// Blocks waiting for the writing thread before the lines wait for it.
constexpr size_t kMaxQueued = 2;

}  // namespace

BlockWriter::BlockWriter(TextSink& out, bool writeBehind) : out_(out), writeBehind_(writeBehind) {
    text_.reserve(kFirstBufferSize);
}

BlockWriter::~BlockWriter() = default;

void BlockWriter::handOver() {
    if (writeBehind_ && behind_ == nullptr) {
        behind_ = std::make_unique<OrderedHandOff<std::string>>(kMaxQueued);
        OrderedHandOff<std::string>& blocks = *behind_;
        const bool started = blocks.start([this, &blocks] {
            std::string block;
            while (blocks.take(block)) {
                out_.write(block);
                block.clear();
                blocks.giveBack(std::move(block));
            }
        });
        if (!started) {
            behind_.reset();
            writeBehind_ = false;
        }
    }
    if (behind_ == nullptr) {
        out_.write(text_);
        text_.clear();
        return;
    }
    if (!behind_->put(std::move(text_))) {
        behind_->finish();  // rethrows the sink's error
    }
    text_ = behind_->spare();
    if (text_.capacity() < kBlockSize) {
        text_.reserve(kBlockSize + kBlockSize / 2);
    }
}

void BlockWriter::finish() {
    if (behind_ != nullptr) {
        behind_->close();
        behind_->finish();  // rethrows the sink's error
        behind_.reset();
    }
    out_.write(text_);
    text_.clear();
    out_.flush();
}

}  // namespace xoprex
