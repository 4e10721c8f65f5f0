#pragma once
// A fixed set of threads that share out the items of one job at a time.
// Run(fn, ctx, items) has fn(ctx, item) called once for every item 0..items-1
// by whichever thread takes it first, the calling thread included, and
// returns when every item has finished. It does not wait for threads that
// took nothing: on a busy machine a thread that was not scheduled in time
// simply misses the job, and the others do its share. The threads are made
// once, in the constructor, and wait between jobs (spinning briefly first,
// since the particle steps follow each other closely).

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace ferrolyt::particles {

class WorkerPool {
public:
    using Job = void (*)(void* ctx, int item);

    explicit WorkerPool(int threads);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    int Size() const { return static_cast<int>(threads_.size()) + 1; }
    void Run(Job job, void* ctx, int items);

private:
    void Loop();
    // Takes and runs items of the current job until none is left.
    void Drain();

    std::vector<std::thread> threads_;
    std::atomic<std::uint32_t> generation_{0};
    std::atomic<bool> stop_{false};
    // The current job: its serial number (high 32 bits) and item count (low
    // 32 bits); the ticket holds the serial number and the next item to
    // take, so that a thread late from an earlier job never takes an item
    // of a later one.
    std::atomic<std::uint64_t> job_{0};
    std::atomic<std::uint64_t> ticket_{0};
    std::atomic<int> done_{0};
    std::atomic<Job> fn_{nullptr};
    std::atomic<void*> ctx_{nullptr};
    std::uint32_t serial_ = 0;
};

} // namespace ferrolyt::particles
