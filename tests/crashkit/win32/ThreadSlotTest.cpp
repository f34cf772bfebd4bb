#include "win32/ThreadSlot.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

namespace {

std::atomic<int> released{0};

struct TCounted {
    ~TCounted() { ++released; }
};

} // namespace

TEST(ThreadSlot, EachThreadKeepsItsObjectUntilTheThreadOrTheSlotEnds)
{
    released = 0;
    std::promise<void> holding;
    std::promise<void> slotEnded;
    const std::future<void> ended = slotEnded.get_future();
    std::thread outliving;
    {
        TThreadSlot<TCounted> slot;
        EXPECT_EQ(slot.Find(), nullptr) << "nothing before the first call";
        TCounted& mine = slot.Mine();
        EXPECT_EQ(&slot.Mine(), &mine);
        EXPECT_EQ(slot.Find(), &mine);

        const TCounted* other = nullptr;
        std::thread([&] { other = &slot.Mine(); }).join();
        EXPECT_NE(other, &mine);
        EXPECT_EQ(released, 1) << "the ended thread's object went with it";

        outliving = std::thread([&] {
            slot.Mine();
            holding.set_value();
            ended.wait();
        });
        holding.get_future().wait();
        EXPECT_EQ(released, 1);
    }
    EXPECT_EQ(released, 3) << "the slot's end releases the objects of the threads that are still running";
    slotEnded.set_value();
    outliving.join();
    EXPECT_EQ(released, 3) << "a thread that ends later releases nothing twice";
}
