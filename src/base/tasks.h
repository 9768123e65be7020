// Threads of a search. Three shapes cover every use:
//   runTasks         independent tasks numbered 0..count-1 on a few threads,
//                    each task writing only its own results, so the outcome
//                    does not depend on which thread ran which task;
//   BackgroundThread one function on a second thread beside the caller,
//                    joined before it is gone;
//   OrderedHandOff   items passed in order from one thread to the other
//                    through a short queue, the second thread being either
//                    side (a writer behind a producer, a helper formatting
//                    text the caller appends).
// Each passes an exception of the thread on to the caller, and each carries
// on on fewer threads when the system refuses a new one.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace xoprex {

// The number of threads to use: `requested`, or every core when it is 0
// (at least 1).
unsigned resolveThreadCount(unsigned requested);

// Calls task(index, worker) once for every index < count, on at most
// `threads` threads (the calling thread is worker 0; workers are numbered
// below `threads`). Indices are handed out in increasing order. When a task
// throws, no further task starts; the running ones finish, and the first
// exception is rethrown to the caller after every thread has ended.
void runTasks(size_t count, unsigned threads,
              const std::function<void(size_t index, unsigned worker)>& task);

class BackgroundThread {
  public:
    BackgroundThread() = default;
    // Joins a thread still running (its exception is dropped: call join()).
    ~BackgroundThread();
    BackgroundThread(const BackgroundThread&) = delete;
    BackgroundThread& operator=(const BackgroundThread&) = delete;

    // Starts `work` on a new thread; false (and nothing started) when the
    // system refuses one, so that the caller does the work itself.
    bool start(std::function<void()> work);
    bool running() const { return thread_.joinable(); }
    // Waits for the thread and rethrows what its work threw.
    void join();

  private:
    std::thread thread_;
    std::exception_ptr error_;
};

// Items handed from a producer to a consumer in the order they are put,
// through a queue of at most `capacity` items. The calling thread is one
// side; start() runs the other side's function on a second thread.
//
// Either side may stop the hand-off: the caller with stop() (the destructor
// stops too), the second thread by throwing. Once stopped, put() and take()
// return false at once (the items still queued are dropped), so neither side
// waits for the other any more; finish() then rethrows what the second
// thread threw. A consumer may give an item back once done with it, and the
// producer takes it again with spare(), to reuse its storage.
template <typename Item>
class OrderedHandOff {
  public:
    explicit OrderedHandOff(size_t capacity) : capacity_(capacity > 0 ? capacity : 1) {}
    // Stops the hand-off and waits for the second thread (its error is
    // dropped: call finish()).
    ~OrderedHandOff() {
        stop();
        try {
            thread_.join();
        } catch (...) {
        }
    }
    OrderedHandOff(const OrderedHandOff&) = delete;
    OrderedHandOff& operator=(const OrderedHandOff&) = delete;

    // Runs `side` on a second thread: the producer or the consumer. False
    // (and nothing started) when the system refuses a thread, so that the
    // caller does the work itself.
    bool start(std::function<void()> side) {
        return thread_.start([this, side = std::move(side)] {
            try {
                side();
            } catch (...) {
                stop();
                throw;
            }
        });
    }

    // Producer: waits while `capacity` items are queued, then queues `item`.
    // False (the item dropped) once the hand-off is stopped.
    bool put(Item item) {
        std::unique_lock<std::mutex> lock(mutex_);
        taken_.wait(lock, [this] { return queue_.size() < capacity_ || stopped_; });
        if (stopped_) {
            return false;
        }
        queue_.push_back(std::move(item));
        put_.notify_one();
        return true;
    }
    // Producer: no item follows.
    void close() {
        const std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        put_.notify_one();
    }
    // Consumer: waits for the next item. False when none follows: the
    // producer closed the queue and it is empty, or the hand-off is stopped.
    bool take(Item& item) {
        std::unique_lock<std::mutex> lock(mutex_);
        put_.wait(lock, [this] { return !queue_.empty() || closed_ || stopped_; });
        if (stopped_ || queue_.empty()) {
            return false;
        }
        item = std::move(queue_.front());
        queue_.pop_front();
        taken_.notify_one();
        return true;
    }

    // Consumer: an item it is done with; producer: such an item, or Item{}
    // when there is none.
    void giveBack(Item item) {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (spares_.size() <= capacity_) {
            spares_.push_back(std::move(item));
        }
    }
    Item spare() {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (spares_.empty()) {
            return Item{};
        }
        Item item = std::move(spares_.back());
        spares_.pop_back();
        return item;
    }

    // Either side: no item passes any more; wakes the other side.
    void stop() {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopped_ = true;
        queue_.clear();
        put_.notify_all();
        taken_.notify_all();
    }

    // Caller: waits for the second thread to end (a producer ends after
    // close(), a consumer once the closed queue is empty) and rethrows what
    // its side threw.
    void finish() { thread_.join(); }

  private:
    const size_t capacity_;
    std::mutex mutex_;
    std::condition_variable put_;    // an item was queued, or the queue closed or stopped
    std::condition_variable taken_;  // an item was taken off the queue, or the queue stopped
    std::deque<Item> queue_;
    std::vector<Item> spares_;
    bool closed_ = false;
    bool stopped_ = false;
    BackgroundThread thread_;  // last: ends before the members above go
};

}  // namespace xoprex
