#include "scan/parallel.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
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
    std::vector<std::thread> pool;
    pool.reserve(helpers);
    try {
        for (size_t t = 0; t < helpers; ++t) {
            pool.emplace_back(work, static_cast<unsigned>(t + 1));
        }
    } catch (...) {
        // A thread that cannot start leaves its share to the others.
    }
    work(0);
    for (std::thread& thread : pool) {
        thread.join();
    }
    if (error) {
        std::rethrow_exception(error);
    }
}

}  // namespace xoprex
