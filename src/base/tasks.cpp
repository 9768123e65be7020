#include "base/tasks.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace xoprex {

unsigned resolveThreadCount(unsigned requested) {
    if (requested != 0) {
        return requested;
    }
    return std::max(1u, std::thread::hardware_concurrency());
}

void runTasks(size_t count, unsigned threads,
              const std::function<void(size_t index, unsigned worker)>& task) {
    std::atomic<size_t> next{0};
    std::atomic<bool> failed{false};
    std::exception_ptr error;
    std::mutex errorMutex;
    const auto work = [&](unsigned worker) {
        while (!failed.load()) {
            const size_t index = next.fetch_add(1);
            if (index >= count) {
                return;
            }
            try {
                task(index, worker);
            } catch (...) {
                const std::lock_guard<std::mutex> lock(errorMutex);
                if (!error) {
                    error = std::current_exception();
                }
                failed = true;
            }
        }
    };
    const size_t helpers =
        std::min<size_t>(threads > 0 ? threads - 1 : 0, count > 0 ? count - 1 : 0);
    std::vector<BackgroundThread> pool(helpers);
    for (size_t t = 0; t < helpers; ++t) {
        // A thread that cannot start leaves its share to the others.
        if (!pool[t].start([&work, t] { work(static_cast<unsigned>(t + 1)); })) {
            break;
        }
    }
    work(0);
    for (BackgroundThread& thread : pool) {
        thread.join();
    }
    if (error) {
        std::rethrow_exception(error);
    }
}

BackgroundThread::~BackgroundThread() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

bool BackgroundThread::start(std::function<void()> work) {
    error_ = nullptr;
    try {
        thread_ = std::thread([this, work = std::move(work)] {
            try {
                work();
            } catch (...) {
                error_ = std::current_exception();
            }
        });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void BackgroundThread::join() {
    if (thread_.joinable()) {
        thread_.join();
    }
    if (error_) {
        std::rethrow_exception(std::exchange(error_, nullptr));
    }
}

}  // namespace xoprex
