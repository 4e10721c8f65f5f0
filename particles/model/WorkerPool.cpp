#include "WorkerPool.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace ferrolyt::particles {

namespace {

constexpr int SpinRounds = 500;  // some microseconds; longer spinning starves a busy machine

inline void Pause()
{
#if defined(__x86_64__) || defined(__i386__)
    _mm_pause();
#else
    std::this_thread::yield();
#endif
}

} // namespace

WorkerPool::WorkerPool(int threads)
{
    for (int w = 1; w < threads; ++w)
        threads_.emplace_back([this] { Loop(); });
}

WorkerPool::~WorkerPool()
{
    stop_.store(true, std::memory_order_release);
    generation_.fetch_add(1, std::memory_order_acq_rel);
    generation_.notify_all();
    for (std::thread& t : threads_)
        t.join();
}

void WorkerPool::Drain()
{
    for (;;) {
        const std::uint64_t ticket = ticket_.fetch_add(1, std::memory_order_acq_rel);
        // The job that the ticket belongs to must be the one whose numbers
        // are published; a ticket of an earlier job lies past its items.
        const std::uint64_t job = job_.load(std::memory_order_acquire);
        if ((ticket >> 32) != (job >> 32) || (ticket & 0xffffffffu) >= (job & 0xffffffffu))
            return;
        fn_.load(std::memory_order_relaxed)(ctx_.load(std::memory_order_relaxed), static_cast<int>(ticket & 0xffffffffu));
        done_.fetch_add(1, std::memory_order_acq_rel);
    }
}

void WorkerPool::Run(Job job, void* ctx, int items)
{
    if (threads_.empty() || items <= 0) {
        for (int item = 0; item < items; ++item)
            job(ctx, item);
        return;
    }
    ++serial_;
    fn_.store(job, std::memory_order_relaxed);
    ctx_.store(ctx, std::memory_order_relaxed);
    done_.store(0, std::memory_order_relaxed);
    job_.store((std::uint64_t{serial_} << 32) | static_cast<std::uint32_t>(items), std::memory_order_release);
    ticket_.store(std::uint64_t{serial_} << 32, std::memory_order_release);
    generation_.fetch_add(1, std::memory_order_acq_rel);
    generation_.notify_all();
    Drain();
    for (int spin = 0; done_.load(std::memory_order_acquire) < items; ++spin)
        if (spin < SpinRounds)
            Pause();
        else
            std::this_thread::yield();
}

void WorkerPool::Loop()
{
    std::uint32_t seen = 0;
    for (;;) {
        std::uint32_t now = generation_.load(std::memory_order_acquire);
        for (int spin = 0; now == seen; ++spin) {
            if (spin < SpinRounds)
                Pause();
            else
                generation_.wait(seen, std::memory_order_acquire);
            now = generation_.load(std::memory_order_acquire);
        }
        seen = now;
        if (stop_.load(std::memory_order_acquire))
            return;
        Drain();
    }
}

} // namespace ferrolyt::particles
