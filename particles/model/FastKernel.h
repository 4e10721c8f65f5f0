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
// Hard spheres: the blocks count the histogram and list the pairs within
// the collision flight's reach; the flight (CollisionEvents) then watches
// only those pairs, which gives what watching every pair gives.

#include "ParticleModel.h"
#include "WorkerPool.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace ferrolyt::particles {

class FastKernel {
public:
    static constexpr int Padded = ((MaxBalls + 3) / 4) * 4 + 4;
    static constexpr int HistSlots = 9 * PairBins + 4;  // the last 4 take what is not counted, one per lane
    // Each vector lane counts into a histogram of its own: neighbouring
    // pairs fall into the same bins, and increments of one counter have to
    // wait for one another.
    static constexpr int HistCopies = 4;
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
        std::array<std::uint64_t, HistSlots * HistCopies> hist;
        double virial;
        std::array<Pair, PairCapacity> pairs;
        int pairCount;
        bool overflow;
        int rowBegin, rowEnd;
    };

    // What the threads read: the start state of the step and its constants.
    struct Context {
        alignas(32) std::array<double, Padded> x, y, z, rad, tcol, rowBase;
        double L[3], twoL[3];
        double binScale;
        double reach;  // hard spheres: pairs closer than sigma + reach are listed
        int n;
        int copyStride;  // between the lanes' histograms (0: one histogram)
    };

    explicit FastKernel(ParticleModel& model);
    ~FastKernel();

    // The pair loop of one step. The histogram's counts stay in the
    // blocks' buffers until FlushHistogram adds them to the model's (once a
    // frame: merging them at every step cost a one-thread run of 100
    // particles an eighth of its time).
    void Run();
    void FlushHistogram();
    // Drops the counts not yet added (the statistics were reset).
    void DiscardHistogram();

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
    static void HistogramJob(void* self, int part);
    void Block(int block);
    void MergeForces(int part, int parts);
    void MergeHistogram(int part, int parts);
    void SpinPairs();

    ParticleModel& m_;
    std::unique_ptr<Context> ctx_;
    std::vector<std::unique_ptr<Buffer>> bufs_;  // one per block
    std::unique_ptr<WorkerPool> pool_;
    int threads_ = 1;
    int blocks_ = 1;                 // blocks of the current step
    int mergeParts_ = 1;             // slices of the current merge
    bool vectorised_ = false;
    bool soft_ = false, hist_ = false;
    bool histPending_ = false;  // the buffers hold counts not yet merged
    int copies_ = 1;  // histogram copies of this step
    std::array<int, 3> typeCount_{};  // particles of each type in this step
    RowsFn rows_ = nullptr;
};

} // namespace ferrolyt::particles
