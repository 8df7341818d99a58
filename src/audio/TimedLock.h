#pragma once
// A lock whose takers can give up after a while, for state that every holder
// keeps for a few loads and stores (the frame clock). A waiter yields instead
// of sleeping on a kernel object, so an uncontended take costs one atomic
// exchange and the timer thread never parks on it.

#include <atomic>
#include <chrono>
#include <thread>

namespace tessaline {

class TimedLock {
public:
    bool try_lock() { return !taken.exchange(true, std::memory_order_acquire); }

    template <class Rep, class Period>
    bool try_lock_for(std::chrono::duration<Rep, Period> wait) {
        if (try_lock()) return true;
        const auto deadline = std::chrono::steady_clock::now() + wait;
        do {
            std::this_thread::yield();
            if (try_lock()) return true;
        } while (std::chrono::steady_clock::now() < deadline);
        return false;
    }

    void lock() {
        while (!try_lock()) std::this_thread::yield();
    }

    void unlock() { taken.store(false, std::memory_order_release); }

private:
    std::atomic<bool> taken{false};
};

}  // namespace tessaline
