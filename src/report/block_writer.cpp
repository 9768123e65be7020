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

BlockWriter::~BlockWriter() {
    stopThread();
}

void BlockWriter::stopThread() noexcept {
    if (!thread_.running()) {
        return;
    }
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        ending_ = true;
    }
    queued_.notify_one();
    try {
        thread_.join();
    } catch (...) {
        // The writer is being dropped: its error no longer has a reader.
    }
}

void BlockWriter::handOver() {
    queue(std::move(text_));
    text_.clear();
    const std::lock_guard<std::mutex> lock(mutex_);
    if (spares_.empty()) {
        text_.reserve(kBlockSize + kBlockSize / 2);
    } else {
        text_ = std::move(spares_.back());
        spares_.pop_back();
    }
}

void BlockWriter::queue(std::string&& block) {
    if (!thread_.running()) {
        if (writeBehind_ && !thread_.start([this] { writeBlocks(); })) {
            writeBehind_ = false;
        }
        if (!writeBehind_) {
            out_.write(block);
            block.clear();
            return;
        }
    }
    std::unique_lock<std::mutex> lock(mutex_);
    written_.wait(lock, [this] { return queue_.size() < kMaxQueued || failed_; });
    if (failed_) {
        lock.unlock();
        thread_.join();  // rethrows the sink's error
    }
    queue_.push_back(std::move(block));
    queued_.notify_one();
}

void BlockWriter::writeBlocks() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        queued_.wait(lock, [this] { return !queue_.empty() || ending_; });
        if (queue_.empty()) {
            return;
        }
        std::string block = std::move(queue_.front());
        queue_.pop_front();
        written_.notify_one();
        lock.unlock();
        try {
            out_.write(block);
        } catch (...) {
            lock.lock();
            failed_ = true;
            written_.notify_one();
            throw;
        }
        block.clear();
        lock.lock();
        spares_.push_back(std::move(block));
    }
}

void BlockWriter::finish() {
    if (thread_.running()) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            ending_ = true;
        }
        queued_.notify_one();
        thread_.join();  // rethrows the sink's error
    }
    out_.write(text_);
    text_.clear();
    out_.flush();
}

}  // namespace xoprex
