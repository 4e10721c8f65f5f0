#include "WorkerPool.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define FERROLYT_PAUSE() _mm_pause()
#else
#define FERROLYT_PAUSE() std::this_thread::yield()
#endif

namespace ferrolyt::particles {

namespace {
constexpr int SpinRounds = 500;  // some microseconds; longer spinning starves a busy machine
}

WorkerPool::WorkerPool(int parts)
{
    for (int w = 1; w < parts; ++w)
        threads_.emplace_back([this, w] { Loop(w); });
}

WorkerPool::~WorkerPool()
{
    stop_.store(true, std::memory_order_release);
    generation_.fetch_add(1, std::memory_order_acq_rel);
    generation_.notify_all();
    for (std::thread& t : threads_)
        t.join();
}

void WorkerPool::Run(Job job, void* ctx)
{
    if (threads_.empty()) {
        job(ctx, 0);
        return;
    }
    job_ = job;
    ctx_ = ctx;
    pending_.store(static_cast<int>(threads_.size()), std::memory_order_relaxed);
    generation_.fetch_add(1, std::memory_order_acq_rel);
    generation_.notify_all();
    job(ctx, 0);
    for (int spin = 0; pending_.load(std::memory_order_acquire) != 0; ++spin) {
        if (spin < SpinRounds) {
            FERROLYT_PAUSE();
        } else {
            const int left = pending_.load(std::memory_order_acquire);
            if (left != 0)
                pending_.wait(left, std::memory_order_acquire);
        }
    }
}

void WorkerPool::Loop(int part)
{
    std::uint32_t seen = 0;
    for (;;) {
        std::uint32_t now = generation_.load(std::memory_order_acquire);
        for (int spin = 0; now == seen; ++spin) {
            if (spin < SpinRounds)
                FERROLYT_PAUSE();
            else
                generation_.wait(seen, std::memory_order_acquire);
            now = generation_.load(std::memory_order_acquire);
        }
        seen = now;
        if (stop_.load(std::memory_order_acquire))
            return;
        job_(ctx_, part);
        if (pending_.fetch_sub(1, std::memory_order_acq_rel) == 1)
            pending_.notify_one();
    }
}

} // namespace ferrolyt::particles
