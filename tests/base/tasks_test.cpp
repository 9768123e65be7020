// The thread helpers of base/tasks.h: an ordered hand-off carries every item
// in order with the second thread as producer or consumer, never lets more
// than its capacity wait, and ends cleanly whichever side fails. Shared
// texts and genes are copied and dropped on several threads at once (the
// ThreadSanitizer build checks their counts). A new thread keeps the CPUs
// its creator may use.
#include "base/tasks.h"

#include <gtest/gtest.h>

#if defined(__linux__)
#include <sched.h>
#endif

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/records.h"
#include "base/shared_text.h"

namespace xoprex {
namespace {

std::string itemText(size_t i) {
    return "item " + std::to_string(i);
}

TEST(Tasks, HandOffCarriesEveryItemInOrderEitherWay) {
    for (const size_t capacity : {size_t{1}, size_t{2}, size_t{5}}) {
        for (const size_t count : {size_t{0}, size_t{1}, size_t{1000}}) {
            SCOPED_TRACE("capacity " + std::to_string(capacity) + ", " + std::to_string(count));
            std::atomic<size_t> taken{0};
            std::atomic<size_t> mostAhead{0};
            const auto produce = [&](OrderedHandOff<std::string>& handOff) {
                for (size_t i = 0; i < count; ++i) {
                    std::string item = handOff.spare();
                    item = itemText(i);
                    ASSERT_TRUE(handOff.put(std::move(item)));
                    // An item may be taken but not yet counted.
                    const size_t ahead = i + 1 - taken.load();
                    if (ahead > mostAhead.load()) {
                        mostAhead = ahead;
                    }
                }
                handOff.close();
            };
            const auto consume = [&](OrderedHandOff<std::string>& handOff) {
                std::vector<std::string> items;
                std::string item;
                while (handOff.take(item)) {
                    ++taken;
                    items.push_back(item);
                    handOff.giveBack(std::move(item));
                }
                ASSERT_EQ(items.size(), count);
                for (size_t i = 0; i < count; ++i) {
                    ASSERT_EQ(items[i], itemText(i));
                }
            };
            {
                OrderedHandOff<std::string> handOff(capacity);  // a writer behind the caller
                ASSERT_TRUE(handOff.start([&] { consume(handOff); }));
                produce(handOff);
                handOff.finish();
            }
            EXPECT_LE(mostAhead.load(), capacity + 1);
            taken = 0;
            mostAhead = 0;
            OrderedHandOff<std::string> handOff(capacity);  // a helper making items for the caller
            ASSERT_TRUE(handOff.start([&] { produce(handOff); }));
            consume(handOff);
            handOff.finish();
            EXPECT_LE(mostAhead.load(), capacity + 1);
        }
    }
}

TEST(Tasks, HandOffEndsCleanlyWhicheverSideFails) {
    // The second thread fails as consumer: the caller's put() stops waiting
    // and finish() passes the error on.
    OrderedHandOff<int> failingConsumer(1);
    ASSERT_TRUE(failingConsumer.start([&] {
        int item = 0;
        failingConsumer.take(item);
        throw std::runtime_error("sink full");
    }));
    int puts = 0;
    while (failingConsumer.put(puts)) {
        ++puts;
    }
    EXPECT_LE(puts, 3);
    EXPECT_THROW(failingConsumer.finish(), std::runtime_error);

    // ... and as producer: take() returns false instead of waiting.
    OrderedHandOff<int> failingProducer(2);
    ASSERT_TRUE(failingProducer.start([&] {
        failingProducer.put(1);
        throw std::runtime_error("row failed");
    }));
    int item = 0;
    while (failingProducer.take(item)) {
        EXPECT_EQ(item, 1);
    }
    EXPECT_THROW(failingProducer.finish(), std::runtime_error);

    // The caller gives up (an exception of its own): dropping the hand-off
    // ends a producer waiting for room and a consumer waiting for items.
    {
        OrderedHandOff<int> waitingProducer(1);
        ASSERT_TRUE(waitingProducer.start([&] {
            for (int i = 0; waitingProducer.put(i); ++i) {
            }
        }));
        ASSERT_TRUE(waitingProducer.take(item));
        OrderedHandOff<int> waitingConsumer(1);
        ASSERT_TRUE(waitingConsumer.start([&] {
            while (waitingConsumer.take(item)) {
            }
        }));
    }
    // A spare keeps the storage of the item given back.
    OrderedHandOff<std::string> spares(1);
    EXPECT_TRUE(spares.spare().empty());
    std::string large(1 << 16, 'x');
    const char* storage = large.data();
    spares.giveBack(std::move(large));
    EXPECT_EQ(spares.spare().data(), storage);
}

TEST(Tasks, SharedTextsAndGenesAreCopiedOnManyThreads) {
    const SharedText text(std::string(40, 'p'));
    static const SharedText lasting = SharedText::lasting("intergenic");
    const HitGene gene(HitGene::Fields{text, "crp", lasting, 10, 20, true});
    runTasks(64, 2, [&](size_t, unsigned) {
        for (int i = 0; i < 2000; ++i) {
            std::vector<SharedText> texts(3, text);
            texts.push_back(lasting);
            HitGene copy = gene;
            HitGene moved = std::move(copy);
            ASSERT_EQ(moved.fields().tag, text.view());
            texts.clear();
        }
    });
    EXPECT_EQ(text, std::string(40, 'p'));
    EXPECT_EQ(gene.fields().product, "intergenic");
}

#if defined(__linux__)
// A new thread is moved off its creator's CPU at its start and then let
// free: it ends up with the CPUs its creator may use, whether that is every
// CPU of the machine or one alone (nowhere else to go).
TEST(Tasks, ThreadsKeepTheirCreatorsCpus) {
    cpu_set_t own;
    ASSERT_EQ(sched_getaffinity(0, sizeof own, &own), 0);
    const auto workerCpus = [] {
        cpu_set_t seen;
        CPU_ZERO(&seen);
        BackgroundThread thread;
        EXPECT_TRUE(thread.start([&seen] { sched_getaffinity(0, sizeof seen, &seen); }));
        thread.join();
        return seen;
    };
    cpu_set_t seen = workerCpus();
    EXPECT_TRUE(CPU_EQUAL(&seen, &own));
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(sched_getcpu(), &one);
    if (sched_setaffinity(0, sizeof one, &one) != 0) {
        GTEST_SKIP() << "this system refuses a thread its CPUs";
    }
    seen = workerCpus();
    EXPECT_TRUE(CPU_EQUAL(&seen, &one));
    ASSERT_EQ(sched_setaffinity(0, sizeof own, &own), 0);
}
#endif

}  // namespace
}  // namespace xoprex
