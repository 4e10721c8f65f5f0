#pragma once
// A fixed set of threads that run one job at a time: Run calls fn(ctx, w)
// for w = 0..Size()-1, part 0 on the calling thread, and returns when every
// part has finished. The threads are made once, in the constructor, and
// wait between jobs (spinning briefly first, since the particle steps follow
// each other closely).

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace ferrolyt::particles {

class WorkerPool {
public:
    using Job = void (*)(void* ctx, int part);

    explicit WorkerPool(int parts);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    int Size() const { return static_cast<int>(threads_.size()) + 1; }
    void Run(Job job, void* ctx);

private:
    void Loop(int part);

    std::vector<std::thread> threads_;
    std::atomic<std::uint32_t> generation_{0};
    std::atomic<int> pending_{0};
    std::atomic<bool> stop_{false};
    Job job_ = nullptr;
    void* ctx_ = nullptr;
};

} // namespace ferrolyt::particles
