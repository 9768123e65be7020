// Threads of a search. Two shapes cover every use:
//   runTasks         independent tasks numbered 0..count-1 on a few threads,
//                    each task writing only its own results, so the outcome
//                    does not depend on which thread ran which task;
//   BackgroundThread one function on a second thread beside the caller (a
//                    writer behind a producer), joined before it is gone.
// Both pass an exception of the thread on to the caller, and both carry on
// on fewer threads when the system refuses a new one.
#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <thread>

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

}  // namespace xoprex
