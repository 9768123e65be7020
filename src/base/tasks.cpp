#include "base/tasks.h"

#if defined(__linux__)
#include <sched.h>
#endif

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace xoprex {
namespace {

// The CPU the calling thread runs on, or -1 when unknown.
int currentCpu() {
#if defined(__linux__)
    return sched_getcpu();
#else
    return -1;
#endif
}

// Moves the calling (new) thread off `creator`, the CPU of the thread that
// started it, when the thread may run elsewhere, then leaves it free to run
// anywhere it may. Linux tends to start a thread on its creator's CPU and
// to leave it there for a few milliseconds even while another CPU idles:
// the two then share one CPU, which costs a task of a few milliseconds, as
// most of a search's are, its whole gain. Nothing fails: a refused request
// changes nothing.
void startAwayFrom([[maybe_unused]] int creator) {
#if defined(__linux__)
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (creator < 0 || creator >= CPU_SETSIZE ||
        sched_getaffinity(0, sizeof allowed, &allowed) != 0 || !CPU_ISSET(creator, &allowed) ||
        CPU_COUNT(&allowed) < 2) {
        return;
    }
    cpu_set_t others = allowed;
    CPU_CLR(creator, &others);
    if (sched_setaffinity(0, sizeof others, &others) == 0) {
        sched_setaffinity(0, sizeof allowed, &allowed);
    }
#endif
}

}  // namespace

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
        thread_ = std::thread([this, work = std::move(work), creator = currentCpu()] {
            startAwayFrom(creator);
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
