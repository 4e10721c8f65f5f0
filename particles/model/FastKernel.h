#pragma once
// The fast pair loop of a particle step. It copies the step's start state
// into arrays (structure of arrays) and cuts the rows i = 1..N-1 into fixed
// contiguous blocks of about equal pair counts; the model's threads take
// the blocks one by one and run each with AVX2 where the processor has it
// (portable code else). Each block adds into buffers of its own (forces,
// energies, virial, histogram, and the pairs that need the plain code), and
// the buffers are merged in block order, so a run gives the same numbers
// however the threads were scheduled.
//
// Hard spheres: a collision moves and turns two particles, and the plain
// loop sees that in every later pair. The blocks only find the pairs that
// collide in the start state; then, in the plain order, the pairs of those
// collisions and every later pair of a particle that has collided are done
// again on the current state (with the histogram corrected for them), which
// gives exactly what the plain loop gives.

#include "ParticleModel.h"
#include "WorkerPool.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace ferrolyt::particles {

class FastKernel {
public:
    static constexpr int Padded = ((MaxBalls + 3) / 4) * 4 + 4;
    static constexpr int HistSlots = 9 * PairBins + 4;  // the last 4 take what is not counted, one per lane
    static constexpr int PairCapacity = 4096;
    // Below this many pairs one thread does the step (waking others costs more).
    static constexpr std::int64_t ParallelPairs = 20000;
    // Blocks per thread when the step is split (more blocks even out the
    // threads when the machine is busy, fewer make the merge cheaper).
    static constexpr int BlocksPerThread = 4;
    static constexpr int MaxBlocks = 64;

    struct Pair {
        std::int32_t i, j;
    };

    struct alignas(64) Buffer {
        alignas(32) std::array<double, Padded> fx, fy, fz, u, vir;
        std::array<std::uint64_t, HistSlots> hist;
        double virial;
        std::array<Pair, PairCapacity> pairs;
        int pairCount;
        bool overflow;
        int rowBegin, rowEnd;
    };

    // What the threads read: the start state of the step and its constants.
    struct Context {
        alignas(32) std::array<double, Padded> x, y, z, vx, vy, vz, rad, tcol, rowBase;
        double L[3], twoL[3];
        double binScale;
        int n;
    };

    explicit FastKernel(ParticleModel& model);
    ~FastKernel();

    // The pair loop of one step. False when a thread's buffer of pairs ran
    // full; nothing has changed then and the caller runs the plain loop.
    bool Run();

    // Makes the threads a run of n particles will use (called by the set-up,
    // so that frames allocate nothing).
    void Prepare(int n);
    void SetThreadCount(int threads);
    int ThreadCount() const { return threads_; }
    void SetVectorised(bool on);

    using RowsFn = void (*)(const Context&, Buffer&, int rowBegin, int rowEnd);

private:
    static void PairJob(void* self, int part);
    static void MergeJob(void* self, int part);
    void Block(int block);
    void MergeSlice(int part, int parts);
    void SpinPairs();
    void Collisions();
    void EvalHardPair(int i, int j);
    void Touch(int p);

    ParticleModel& m_;
    std::unique_ptr<Context> ctx_;
    std::vector<std::unique_ptr<Buffer>> bufs_;  // one per block
    std::unique_ptr<WorkerPool> pool_;
    int threads_ = 1;
    int blocks_ = 1;                 // blocks of the current step
    int mergeParts_ = 1;             // threads of the current merge
    std::atomic<int> nextBlock_{0};
    bool vectorised_ = false;
    bool soft_ = false, hist_ = false;
    RowsFn rows_ = nullptr;
    // Collision pass: particles moved in this step, and their sorted list.
    std::array<std::uint8_t, MaxBalls> touched_{};
    std::array<std::int32_t, MaxBalls> touchedList_{};
    int touchedCount_ = 0;
};

} // namespace ferrolyt::particles
