#pragma once
// A single-producer, single-consumer ring of timed events.
//
// The producer (MIDI or UI thread, one at a time under the organ's action
// lock) writes an event and then advances head (release); the consumer (the
// renderer) reads up to head (acquire) and advances tail. The ring is full
// when head is one slot behind tail, so it holds Capacity - 1 events; a full
// ring refuses the event and counts the drop.
//
// Emptying the ring is the consumer's business (it owns tail), so the
// producer only asks for it: RequestClear records the head it has reached and
// the consumer, at the start of its next block, drops everything before that
// point. Events pushed after the request survive it.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace tessaline {

template <typename Event, size_t Capacity>
class EventRing {
    static_assert((Capacity & (Capacity - 1)) == 0, "the capacity is a power of two");
    static_assert(Capacity <= (size_t{1} << 31), "head and tail fit the clear word");

public:
    // Producer. False (and one more drop counted) when the ring is full.
    bool Push(const Event& event) {
        if (Full()) {
            CountDrop();
            return false;
        }
        size_t h = head.load(std::memory_order_relaxed);
        entries[h] = event;
        head.store((h + 1) & (Capacity - 1), std::memory_order_release);
        return true;
    }

    // Producer: no room for another event (until the consumer moves on).
    bool Full() const {
        size_t next = (head.load(std::memory_order_relaxed) + 1) & (Capacity - 1);
        return next == tail.load(std::memory_order_acquire);
    }
    // Producer: an event given up for want of room elsewhere.
    void CountDrop() { dropped.fetch_add(1, std::memory_order_relaxed); }

    // Producer. Every event queued so far is dropped at the consumer's next
    // BeginBlock.
    void RequestClear() {
        uint64_t generation = (clearWord.load(std::memory_order_relaxed) >> 32) + 1;
        clearWord.store((generation << 32) | head.load(std::memory_order_relaxed),
                        std::memory_order_release);
    }

    // Consumer, once per block before Peek and Pop: fixes the events visible
    // to this block and carries out a pending clear. True when a clear was
    // carried out.
    bool BeginBlock() {
        // head first: an event pushed after a clear request is visible only
        // together with that request, so a clear never takes tail back over
        // events already consumed.
        visibleHead = head.load(std::memory_order_acquire);
        uint64_t word = clearWord.load(std::memory_order_acquire);
        uint32_t generation = static_cast<uint32_t>(word >> 32);
        if (generation == clearsDone) return false;
        clearsDone = generation;
        size_t clearHead = static_cast<size_t>(word & 0xffffffffu);
        size_t oldTail = tail.load(std::memory_order_relaxed);
        // A clear requested after head was read points past what this block
        // sees: nothing is left for it then.
        if (Distance(oldTail, clearHead) > Distance(oldTail, visibleHead)) visibleHead = clearHead;
        tail.store(clearHead, std::memory_order_release);
        return true;
    }

    // Consumer: the oldest event visible to this block, or nullptr.
    const Event* Peek() const {
        size_t t = tail.load(std::memory_order_relaxed);
        return t == visibleHead ? nullptr : &entries[t];
    }
    void Pop() {
        size_t t = tail.load(std::memory_order_relaxed);
        tail.store((t + 1) & (Capacity - 1), std::memory_order_release);
    }

    // Back to empty with no drops counted. OFF: neither side is running.
    void ResetIdle() {
        head.store(0, std::memory_order_relaxed);
        tail.store(0, std::memory_order_relaxed);
        clearWord.store(0, std::memory_order_relaxed);
        dropped.store(0, std::memory_order_relaxed);
        visibleHead = 0;
        clearsDone = 0;
    }

    // Any thread.
    uint32_t Dropped() const { return dropped.load(std::memory_order_relaxed); }
    static constexpr size_t Size() { return Capacity; }

private:
    static size_t Distance(size_t from, size_t to) { return (to - from) & (Capacity - 1); }

    std::array<Event, Capacity> entries{};
    std::atomic<size_t> head{0};
    std::atomic<size_t> tail{0};
    std::atomic<uint64_t> clearWord{0};  // clear generation << 32 | head at the request
    std::atomic<uint32_t> dropped{0};
    // Consumer only.
    size_t visibleHead = 0;
    uint32_t clearsDone = 0;
};

}  // namespace tessaline
