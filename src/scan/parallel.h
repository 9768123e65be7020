// A small task runner for the scan: independent tasks numbered 0..count-1
// run on a few threads, each task writing only its own results, so the
// outcome does not depend on which thread ran which task.
#pragma once

#include <cstddef>
#include <functional>

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

}  // namespace xoprex
