#include "audio/TimedLock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace tessaline {
namespace {

using namespace std::chrono_literals;

TEST(TimedLock, TakerGivesUpAfterItsWaitAndGetsAFreedLock) {
    TimedLock lock;
    lock.lock();
    bool got = true;
    std::chrono::steady_clock::duration waited{};
    std::thread other([&] {
        auto begin = std::chrono::steady_clock::now();
        got = lock.try_lock_for(30ms);
        waited = std::chrono::steady_clock::now() - begin;
    });
    other.join();
    EXPECT_FALSE(got);
    EXPECT_GE(waited, 30ms);
    EXPECT_FALSE(lock.try_lock());

    std::thread late([&] {
        std::this_thread::sleep_for(10ms);
        lock.unlock();
    });
    EXPECT_TRUE(lock.try_lock_for(2s));
    late.join();
    lock.unlock();
}

}  // namespace
}  // namespace tessaline
