#include "FastKernel.h"

#include "CollisionEvents.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>
#include <utility>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define FERROLYT_HAVE_AVX2_KERNEL 1
#include <immintrin.h>
#endif

namespace ferrolyt::particles {

namespace {

constexpr int Discard = FastKernel::HistSlots - 4;  // slots Discard..Discard+3, one per lane

inline double MinImage(double d, double L, double twoL)
{
    if (std::fabs(d) > L)
        d -= twoL * std::nearbyint(d / twoL);
    return d;
}

inline void Push(FastKernel::Buffer& b, int i, int j)
{
    if (b.pairCount < FastKernel::PairCapacity)
        b.pairs[b.pairCount++] = {i, j};
    else
        b.overflow = true;
}

// --- Portable rows ------------------------------------------------------------------

template <bool Periodic, bool Hist, bool Spin>
void SoftRowsScalar(const FastKernel::Context& c, FastKernel::Buffer& b, int rb, int re)
{
    for (int i = rb; i < re; ++i) {
        const double xi = c.x[i], yi = c.y[i], zi = c.z[i], Ri = c.rad[i], base = c.rowBase[i];
        double fxi = 0, fyi = 0, fzi = 0, ui = 0, viri = 0;
        for (int j = 0; j < i; ++j) {
            double dx = xi - c.x[j], dy = yi - c.y[j], dz = zi - c.z[j];
            if (Periodic) {
                dx = MinImage(dx, c.L[0], c.twoL[0]);
                dy = MinImage(dy, c.L[1], c.twoL[1]);
                dz = MinImage(dz, c.L[2], c.twoL[2]);
            }
            const double r2 = (dx * dx + dy * dy) + dz * dz;
            const double r = std::sqrt(r2);
            if (Hist) {
                const double bin = std::nearbyint(r * c.binScale);
                if (bin >= 0 && bin <= 120)
                    ++b.hist[static_cast<int>(base + c.tcol[j] + bin)];
            }
            const double sig = Ri + c.rad[j];
            const double sig2 = sig * sig;
            if (!(r2 / sig2 <= 16) || !(r2 > 0))
                continue;
            const double e = std::exp(-PotentialB * r);
            const double inv = 1.0 / r;
            const double inv2 = inv * inv;
            const double inv6 = inv2 * inv2 * inv2;
            const double u = PotentialA * e - PotentialC * inv6;
            const double f = PotentialA * PotentialB * e - 6 * PotentialC * (inv6 * inv);
            const double fr = f * r;
            const double half = 0.5 * fr;
            b.virial += fr;
            const double fx = f * (dx * inv), fy = f * (dy * inv), fz = f * (dz * inv);
            fxi += fx;
            fyi += fy;
            fzi += fz;
            ui += u;
            viri += half;
            b.fx[j] -= fx;
            b.fy[j] -= fy;
            b.fz[j] -= fz;
            b.u[j] += u;
            b.vir[j] += half;
            if (Spin && r2 <= sig2)
                Push(b, i, j);
        }
        b.fx[i] += fxi;
        b.fy[i] += fyi;
        b.fz[i] += fzi;
        b.u[i] += ui;
        b.vir[i] += viri;
    }
}

template <bool Periodic, bool Hist>
void HardRowsScalar(const FastKernel::Context& c, FastKernel::Buffer& b, int rb, int re)
{
    for (int i = rb; i < re; ++i) {
        const double xi = c.x[i], yi = c.y[i], zi = c.z[i], Ri = c.rad[i], base = c.rowBase[i];
        for (int j = 0; j < i; ++j) {
            double dx = xi - c.x[j], dy = yi - c.y[j], dz = zi - c.z[j];
            if (Periodic) {
                dx = MinImage(dx, c.L[0], c.twoL[0]);
                dy = MinImage(dy, c.L[1], c.twoL[1]);
                dz = MinImage(dz, c.L[2], c.twoL[2]);
            }
            const double r2 = (dx * dx + dy * dy) + dz * dz;
            if (Hist) {
                const double bin = std::nearbyint(std::sqrt(r2) * c.binScale);
                if (bin >= 0 && bin <= 120)
                    ++b.hist[static_cast<int>(base + c.tcol[j] + bin)];
            }
            const double reach = Ri + c.rad[j] + c.reach;
            if (r2 <= reach * reach)
                Push(b, i, j);
        }
    }
}

// --- AVX2 rows -------------------------------------------------------------------------

#ifdef FERROLYT_HAVE_AVX2_KERNEL
#define AVX2_FN __attribute__((target("avx2,fma")))
#define AVX2_INLINE __attribute__((target("avx2,fma"), always_inline)) inline

AVX2_INLINE __m256d Set(double v) { return _mm256_set1_pd(v); }

// exp(x) for the pair potential: x is -B r <= 0. Clamped to [-708, 708]
// (below -708 the true value is under 3e-308); a NaN becomes the clamp.
AVX2_INLINE __m256d Exp4(__m256d x)
{
    x = _mm256_max_pd(x, Set(-708.0));
    x = _mm256_min_pd(x, Set(708.0));
    const __m256d n = _mm256_round_pd(_mm256_mul_pd(x, Set(1.4426950408889634074)),
                                      _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
    __m256d r = _mm256_fnmadd_pd(n, Set(6.93147180369123816490e-01), x);
    r = _mm256_fnmadd_pd(n, Set(1.90821492927058770002e-10), r);
    // Taylor series to r^13 (|r| <= ln 2 / 2: truncation below 2e-16).
    static constexpr double c[14] = {1.0,
                                     1.0,
                                     1.0 / 2,
                                     1.0 / 6,
                                     1.0 / 24,
                                     1.0 / 120,
                                     1.0 / 720,
                                     1.0 / 5040,
                                     1.0 / 40320,
                                     1.0 / 362880,
                                     1.0 / 3628800,
                                     1.0 / 39916800,
                                     1.0 / 479001600,
                                     1.0 / 6227020800.0};
    __m256d p = Set(c[13]);
    for (int k = 12; k >= 0; --k)
        p = _mm256_fmadd_pd(p, r, Set(c[k]));
    const __m256i e = _mm256_slli_epi64(
        _mm256_add_epi64(_mm256_cvtepi32_epi64(_mm256_cvtpd_epi32(n)), _mm256_set1_epi64x(1023)), 52);
    return _mm256_mul_pd(p, _mm256_castsi256_pd(e));
}

AVX2_INLINE __m256d MinImage4(__m256d d, __m256d L, __m256d twoL)
{
    const __m256d absd = _mm256_andnot_pd(Set(-0.0), d);
    const __m256d outside = _mm256_cmp_pd(absd, L, _CMP_GT_OQ);
    const __m256d k = _mm256_round_pd(_mm256_div_pd(d, twoL), _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
    return _mm256_blendv_pd(d, _mm256_sub_pd(d, _mm256_mul_pd(twoL, k)), outside);
}

AVX2_INLINE double Sum4(__m256d v)
{
    const __m128d lo = _mm256_castpd256_pd128(v), hi = _mm256_extractf128_pd(v, 1);
    const __m128d s = _mm_add_pd(lo, hi);
    return _mm_cvtsd_f64(_mm_add_sd(s, _mm_unpackhi_pd(s, s)));
}

AVX2_INLINE void CountBins(FastKernel::Buffer& b, __m256d r, __m256d valid, __m256d base, const double* tcol,
                           __m256d binScale, int copyStride)
{
    const __m256d bin = _mm256_round_pd(_mm256_mul_pd(r, binScale), _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
    const __m256d ok = _mm256_and_pd(valid, _mm256_and_pd(_mm256_cmp_pd(bin, _mm256_setzero_pd(), _CMP_GE_OQ),
                                                          _mm256_cmp_pd(bin, Set(120.0), _CMP_LE_OQ)));
    // A lane that counts nothing adds to a slot of its own, so that these
    // increments do not wait for one another.
    const __m256d discard = _mm256_set_pd(Discard + 3, Discard + 2, Discard + 1, Discard);
    const __m256d idx = _mm256_blendv_pd(discard, _mm256_add_pd(_mm256_add_pd(base, _mm256_load_pd(tcol)), bin), ok);
    const __m128i copy = _mm_mullo_epi32(_mm_set_epi32(3, 2, 1, 0), _mm_set1_epi32(copyStride));
    alignas(16) std::int32_t slot[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(slot), _mm_add_epi32(_mm256_cvtpd_epi32(idx), copy));
    ++b.hist[slot[0]];
    ++b.hist[slot[1]];
    ++b.hist[slot[2]];
    ++b.hist[slot[3]];
}

template <bool Periodic, bool Hist, bool Spin>
AVX2_FN void SoftRowsAvx2(const FastKernel::Context& c, FastKernel::Buffer& b, int rb, int re)
{
    const __m256d lane = _mm256_set_pd(3, 2, 1, 0);
    const __m256d L0 = Set(c.L[0]), L1 = Set(c.L[1]), L2 = Set(c.L[2]);
    const __m256d T0 = Set(c.twoL[0]), T1 = Set(c.twoL[1]), T2 = Set(c.twoL[2]);
    const __m256d binScale = Set(c.binScale), zero = _mm256_setzero_pd(), one = Set(1.0), sixteen = Set(16.0);
    const __m256d negB = Set(-PotentialB), A = Set(PotentialA), AB = Set(PotentialA * PotentialB);
    const __m256d C = Set(PotentialC), C6 = Set(6 * PotentialC), halfV = Set(0.5);
    __m256d virial = zero;
    for (int i = rb; i < re; ++i) {
        const __m256d xi = Set(c.x[i]), yi = Set(c.y[i]), zi = Set(c.z[i]), Ri = Set(c.rad[i]);
        const __m256d base = Set(c.rowBase[i]), iv = Set(double(i));
        __m256d fxi = zero, fyi = zero, fzi = zero, ui = zero, viri = zero;
        for (int j = 0; j < i; j += 4) {
            const __m256d valid = _mm256_cmp_pd(_mm256_add_pd(Set(double(j)), lane), iv, _CMP_LT_OQ);
            __m256d dx = _mm256_sub_pd(xi, _mm256_load_pd(&c.x[j]));
            __m256d dy = _mm256_sub_pd(yi, _mm256_load_pd(&c.y[j]));
            __m256d dz = _mm256_sub_pd(zi, _mm256_load_pd(&c.z[j]));
            if (Periodic) {
                dx = MinImage4(dx, L0, T0);
                dy = MinImage4(dy, L1, T1);
                dz = MinImage4(dz, L2, T2);
            }
            const __m256d r2 =
                _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(dx, dx), _mm256_mul_pd(dy, dy)), _mm256_mul_pd(dz, dz));
            const __m256d r = _mm256_sqrt_pd(r2);
            if (Hist)
                CountBins(b, r, valid, base, &c.tcol[j], binScale, c.copyStride);
            const __m256d sig = _mm256_add_pd(Ri, _mm256_load_pd(&c.rad[j]));
            const __m256d sig2 = _mm256_mul_pd(sig, sig);
            const __m256d m =
                _mm256_and_pd(valid, _mm256_and_pd(_mm256_cmp_pd(_mm256_div_pd(r2, sig2), sixteen, _CMP_LE_OQ),
                                                   _mm256_cmp_pd(r2, zero, _CMP_GT_OQ)));
            if (_mm256_movemask_pd(m) == 0)
                continue;
            const __m256d e = Exp4(_mm256_mul_pd(negB, r));
            const __m256d inv = _mm256_div_pd(one, r);
            const __m256d inv2 = _mm256_mul_pd(inv, inv);
            const __m256d inv6 = _mm256_mul_pd(_mm256_mul_pd(inv2, inv2), inv2);
            const __m256d u = _mm256_and_pd(m, _mm256_sub_pd(_mm256_mul_pd(A, e), _mm256_mul_pd(C, inv6)));
            const __m256d f =
                _mm256_and_pd(m, _mm256_sub_pd(_mm256_mul_pd(AB, e), _mm256_mul_pd(C6, _mm256_mul_pd(inv6, inv))));
            const __m256d fr = _mm256_and_pd(m, _mm256_mul_pd(f, r));
            const __m256d half = _mm256_mul_pd(halfV, fr);
            virial = _mm256_add_pd(virial, fr);
            const __m256d fx = _mm256_and_pd(m, _mm256_mul_pd(f, _mm256_mul_pd(dx, inv)));
            const __m256d fy = _mm256_and_pd(m, _mm256_mul_pd(f, _mm256_mul_pd(dy, inv)));
            const __m256d fz = _mm256_and_pd(m, _mm256_mul_pd(f, _mm256_mul_pd(dz, inv)));
            fxi = _mm256_add_pd(fxi, fx);
            fyi = _mm256_add_pd(fyi, fy);
            fzi = _mm256_add_pd(fzi, fz);
            ui = _mm256_add_pd(ui, u);
            viri = _mm256_add_pd(viri, half);
            _mm256_store_pd(&b.fx[j], _mm256_sub_pd(_mm256_load_pd(&b.fx[j]), fx));
            _mm256_store_pd(&b.fy[j], _mm256_sub_pd(_mm256_load_pd(&b.fy[j]), fy));
            _mm256_store_pd(&b.fz[j], _mm256_sub_pd(_mm256_load_pd(&b.fz[j]), fz));
            _mm256_store_pd(&b.u[j], _mm256_add_pd(_mm256_load_pd(&b.u[j]), u));
            _mm256_store_pd(&b.vir[j], _mm256_add_pd(_mm256_load_pd(&b.vir[j]), half));
            if (Spin) {
                const int over = _mm256_movemask_pd(_mm256_and_pd(m, _mm256_cmp_pd(r2, sig2, _CMP_LE_OQ)));
                for (int k = 0; k < 4; ++k)
                    if (over & (1 << k))
                        Push(b, i, j + k);
            }
        }
        b.fx[i] += Sum4(fxi);
        b.fy[i] += Sum4(fyi);
        b.fz[i] += Sum4(fzi);
        b.u[i] += Sum4(ui);
        b.vir[i] += Sum4(viri);
    }
    b.virial += Sum4(virial);
}

template <bool Periodic, bool Hist>
AVX2_FN void HardRowsAvx2(const FastKernel::Context& c, FastKernel::Buffer& b, int rb, int re)
{
    const __m256d lane = _mm256_set_pd(3, 2, 1, 0);
    const __m256d L0 = Set(c.L[0]), L1 = Set(c.L[1]), L2 = Set(c.L[2]);
    const __m256d T0 = Set(c.twoL[0]), T1 = Set(c.twoL[1]), T2 = Set(c.twoL[2]);
    const __m256d binScale = Set(c.binScale), reach = Set(c.reach);
    for (int i = rb; i < re; ++i) {
        const __m256d xi = Set(c.x[i]), yi = Set(c.y[i]), zi = Set(c.z[i]);
        const __m256d Ri = _mm256_add_pd(Set(c.rad[i]), reach);
        const __m256d base = Set(c.rowBase[i]), iv = Set(double(i));
        for (int j = 0; j < i; j += 4) {
            const __m256d valid = _mm256_cmp_pd(_mm256_add_pd(Set(double(j)), lane), iv, _CMP_LT_OQ);
            __m256d dx = _mm256_sub_pd(xi, _mm256_load_pd(&c.x[j]));
            __m256d dy = _mm256_sub_pd(yi, _mm256_load_pd(&c.y[j]));
            __m256d dz = _mm256_sub_pd(zi, _mm256_load_pd(&c.z[j]));
            if (Periodic) {
                dx = MinImage4(dx, L0, T0);
                dy = MinImage4(dy, L1, T1);
                dz = MinImage4(dz, L2, T2);
            }
            const __m256d r2 =
                _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(dx, dx), _mm256_mul_pd(dy, dy)), _mm256_mul_pd(dz, dz));
            if (Hist)
                CountBins(b, _mm256_sqrt_pd(r2), valid, base, &c.tcol[j], binScale, c.copyStride);
            const __m256d within = _mm256_add_pd(Ri, _mm256_load_pd(&c.rad[j]));
            const __m256d hit = _mm256_and_pd(valid, _mm256_cmp_pd(r2, _mm256_mul_pd(within, within), _CMP_LE_OQ));
            const int bits = _mm256_movemask_pd(hit);
            if (bits)
                for (int k = 0; k < 4; ++k)
                    if (bits & (1 << k))
                        Push(b, i, j + k);
        }
    }
}

bool CpuHasAvx2()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}
#else
bool CpuHasAvx2() { return false; }
#endif

FastKernel::RowsFn PickSoft(bool vec, bool periodic, bool hist, bool spin)
{
#ifdef FERROLYT_HAVE_AVX2_KERNEL
#define FERROLYT_SOFT(P, H, S) (vec ? &SoftRowsAvx2<P, H, S> : &SoftRowsScalar<P, H, S>)
#else
#define FERROLYT_SOFT(P, H, S) (&SoftRowsScalar<P, H, S>)
#endif
    if (periodic) {
        if (hist)
            return spin ? FERROLYT_SOFT(true, true, true) : FERROLYT_SOFT(true, true, false);
        return spin ? FERROLYT_SOFT(true, false, true) : FERROLYT_SOFT(true, false, false);
    }
    if (hist)
        return spin ? FERROLYT_SOFT(false, true, true) : FERROLYT_SOFT(false, true, false);
    return spin ? FERROLYT_SOFT(false, false, true) : FERROLYT_SOFT(false, false, false);
#undef FERROLYT_SOFT
}

FastKernel::RowsFn PickHard(bool vec, bool periodic, bool hist)
{
#ifdef FERROLYT_HAVE_AVX2_KERNEL
#define FERROLYT_HARD(P, H) (vec ? &HardRowsAvx2<P, H> : &HardRowsScalar<P, H>)
#else
#define FERROLYT_HARD(P, H) (&HardRowsScalar<P, H>)
#endif
    if (periodic)
        return hist ? FERROLYT_HARD(true, true) : FERROLYT_HARD(true, false);
    return hist ? FERROLYT_HARD(false, true) : FERROLYT_HARD(false, false);
#undef FERROLYT_HARD
}

} // namespace

// --- Kernel -----------------------------------------------------------------------------

FastKernel::FastKernel(ParticleModel& model) : m_(model), ctx_(std::make_unique<Context>())
{
    std::memset(static_cast<void*>(ctx_.get()), 0, sizeof(Context));
    vectorised_ = CpuHasAvx2();
    SetThreadCount(0);
}

FastKernel::~FastKernel() = default;

void FastKernel::SetVectorised(bool on) { vectorised_ = on && CpuHasAvx2(); }

void FastKernel::SetThreadCount(int threads)
{
    if (threads <= 0) {
        const unsigned cores = std::thread::hardware_concurrency();
        threads = cores == 0 ? 1 : static_cast<int>(std::min(cores, 16u));
    }
    threads = std::min(threads, 64);
    if (threads == threads_ && !bufs_.empty())
        return;
    FlushHistogram();
    pool_.reset();  // made again by the next set-up (or step) that needs it
    threads_ = threads;
    const int blocks = threads_ > 1 ? std::min(MaxBlocks, threads_ * BlocksPerThread) : 1;
    bufs_.clear();
    for (int k = 0; k < blocks; ++k) {
        auto b = std::make_unique<Buffer>();
        std::memset(static_cast<void*>(b.get()), 0, sizeof(Buffer));
        bufs_.push_back(std::move(b));
    }
}

void FastKernel::Prepare(int n)
{
    if (!pool_ && threads_ > 1 && std::int64_t(n) * (n - 1) / 2 >= ParallelPairs)
        pool_ = std::make_unique<WorkerPool>(threads_);
}

void FastKernel::PairJob(void* self, int block) { static_cast<FastKernel*>(self)->Block(block); }

void FastKernel::MergeJob(void* self, int part)
{
    auto* k = static_cast<FastKernel*>(self);
    k->MergeForces(part, k->mergeParts_);
}

void FastKernel::HistogramJob(void* self, int part)
{
    auto* k = static_cast<FastKernel*>(self);
    k->MergeHistogram(part, k->mergeParts_);
}

void FastKernel::Block(int block)
{
    Buffer& b = *bufs_[block];
    if (soft_) {
        // The block writes entries 0..rowEnd-1 only.
        std::fill_n(b.fx.begin(), b.rowEnd, 0.0);
        std::fill_n(b.fy.begin(), b.rowEnd, 0.0);
        std::fill_n(b.fz.begin(), b.rowEnd, 0.0);
        std::fill_n(b.u.begin(), b.rowEnd, 0.0);
        std::fill_n(b.vir.begin(), b.rowEnd, 0.0);
    }
    // The histogram counts on over the frame's steps: the merge at the end
    // of the frame empties every slot it reads.
    b.virial = 0;
    b.pairCount = 0;
    b.overflow = false;
    rows_(*ctx_, b, b.rowBegin, b.rowEnd);
}

void FastKernel::Run()
{
    ParticleModel& m = m_;
    const int n = m.NBalls;
    if (n < 2)
        return;
    Context& c = *ctx_;
    c.n = n;
    for (int k = 0; k < 3; ++k) {
        c.L[k] = m.BoxL[k];
        c.twoL[k] = 2 * m.BoxL[k];
    }
    c.binScale = 120.0 / m.BoxL[0];
    c.reach = m.InteractionOn ? 0.0 : m.events_->Reach();
    typeCount_ = {0, 0, 0};
    for (int p = 0; p < n; ++p) {
        const TBall& ball = m.Balls[p];
        c.x[p] = ball.X;
        c.y[p] = ball.Y;
        c.z[p] = ball.Z;
        c.rad[p] = ball.TypeData.Radius;
        const int t = std::clamp(ball.BallType, 1, 3) - 1;
        ++typeCount_[t];
        c.tcol[p] = double(t * PairBins);
        c.rowBase[p] = double(t * 3 * PairBins);
    }
    soft_ = m.InteractionOn;
    hist_ = !m.BatchMode;
    // Lane copies of the histogram pay off only when the rows are long.
    copies_ = vectorised_ && n >= 256 ? HistCopies : 1;
    c.copyStride = copies_ > 1 ? HistSlots : 0;
    const bool spin = !m.NoGraphicsRun && !m.BatchMode;
    rows_ = soft_ ? PickSoft(vectorised_, m.Periodic, hist_, spin) : PickHard(vectorised_, m.Periodic, hist_);

    // Rows 1..n-1 in contiguous blocks of about equal pair counts.
    const std::int64_t total = std::int64_t(n) * (n - 1) / 2;
    const bool parallel = threads_ > 1 && total >= ParallelPairs;
    blocks_ = parallel ? static_cast<int>(bufs_.size()) : 1;
    int row = 1;
    std::int64_t done = 0;
    for (int k = 0; k < blocks_; ++k) {
        Buffer& b = *bufs_[k];
        b.rowBegin = row;
        const std::int64_t target = total * (k + 1) / blocks_;
        while (row < n && done + row <= target) {
            done += row;
            ++row;
        }
        if (k == blocks_ - 1)
            row = n;
        b.rowEnd = row;
    }
    if (parallel) {
        if (!pool_)
            pool_ = std::make_unique<WorkerPool>(threads_);
        pool_->Run(&FastKernel::PairJob, this, blocks_);
    } else {
        Block(0);
    }
    histPending_ = histPending_ || hist_;
    if (!soft_) {
        // The pairs within reach, in row order, for the collision flight.
        CollisionEvents& events = *m.events_;
        for (int k = 0; k < blocks_; ++k) {
            const Buffer& b = *bufs_[k];
            if (b.overflow)
                events.WatchEveryPair();
            for (int q = 0; q < b.pairCount && !b.overflow; ++q)
                if (!events.AddCandidate(b.pairs[q].i, b.pairs[q].j))
                    break;
        }
    }
    if (soft_) {
        // One thread's buffer is the result itself, bar the copy.
        if (parallel) {
            mergeParts_ = 2 * threads_;
            pool_->Run(&FastKernel::MergeJob, this, mergeParts_);
        } else {
            MergeForces(0, 1);
        }
        double virial = 0;
        for (int k = 0; k < blocks_; ++k)
            virial += bufs_[k]->virial;
        m.StepVirial = virial;
        if (spin)
            SpinPairs();
    }
}

void FastKernel::FlushHistogram()
{
    if (!histPending_)
        return;
    histPending_ = false;
    if (blocks_ > 1 && pool_) {
        mergeParts_ = 2 * threads_;
        pool_->Run(&FastKernel::HistogramJob, this, mergeParts_);
    } else {
        MergeHistogram(0, 1);
    }
}

void FastKernel::DiscardHistogram()
{
    if (!histPending_)
        return;
    histPending_ = false;
    for (auto& b : bufs_)
        b->hist.fill(0);
}

void FastKernel::MergeForces(int part, int parts)
{
    ParticleModel& m = m_;
    const int n = ctx_->n;
    {
        const int from = static_cast<int>(std::int64_t(n) * part / parts);
        const int to = static_cast<int>(std::int64_t(n) * (part + 1) / parts);
        for (int p = from; p < to; ++p) {
            double fx = 0, fy = 0, fz = 0, u = 0, vir = 0;
            for (int k = 0; k < blocks_; ++k) {
                const Buffer& b = *bufs_[k];
                if (p >= b.rowEnd)
                    continue;
                fx += b.fx[p];
                fy += b.fy[p];
                fz += b.fz[p];
                u += b.u[p];
                vir += b.vir[p];
            }
            TBall& ball = m.Balls[p];
            ball.F[0] = fx;
            ball.F[1] = fy;
            ball.F[2] = fz;
            ball.U = u;
            ball.PairVirial = vir;
        }
    }
}

void FastKernel::MergeHistogram(int part, int parts)
{
    ParticleModel& m = m_;
    {
        // Units: the six unordered type pairs times the bins; each unit
        // writes its own two cells ([a][c] and [c][a]).
        constexpr int Units = 6 * PairBins;
        static constexpr int A[6] = {0, 0, 0, 1, 1, 2}, C[6] = {0, 1, 2, 1, 2, 2};
        for (int unit = Units * part / parts; unit < Units * (part + 1) / parts; ++unit) {
            const int pair = unit / PairBins, bin = unit % PairBins;
            const int a = A[pair], c = C[pair];
            if (a == c ? typeCount_[a] < 2 : typeCount_[a] == 0 || typeCount_[c] == 0)
                continue;  // no such pair: nothing was counted
            std::uint64_t v = 0;
            for (int k = 0; k < blocks_; ++k) {
                Buffer& b = *bufs_[k];
                for (int copy = 0; copy < copies_; ++copy) {
                    const int base = copy * HistSlots;
                    v += std::exchange(b.hist[base + (a * 3 + c) * PairBins + bin], 0);
                    if (a != c)
                        v += std::exchange(b.hist[base + (c * 3 + a) * PairBins + bin], 0);
                }
            }
            const auto count = static_cast<std::int64_t>(v);
            m.PairHistogram[a + 1][c + 1][bin] += count;
            m.PairHistogram[c + 1][a + 1][bin] += count;
        }
    }
}

void FastKernel::SpinPairs()
{
    ParticleModel& m = m_;
    for (int k = 0; k < blocks_; ++k)
        if (bufs_[k]->overflow) {
            // More overlapping pairs than a block could list: all of them,
            // in the same order, from the positions.
            for (int i = 1; i < ctx_->n; ++i)
                for (int j = 0; j < i; ++j) {
                    TBall& a = m.Balls[i];
                    TBall& c = m.Balls[j];
                    double dx, dy, dz;
                    m.PairDelta(a, c, dx, dy, dz);
                    const double r2 = (dx * dx + dy * dy) + dz * dz;
                    const double sig = a.TypeData.Radius + c.TypeData.Radius;
                    if (r2 > 0 && r2 <= sig * sig) {
                        const double r = std::sqrt(r2);
                        m.SoftOverlapSpin(a, c, dx / r, dy / r, dz / r);
                    }
                }
            return;
        }
    for (int k = 0; k < blocks_; ++k) {
        const Buffer& b = *bufs_[k];
        for (int q = 0; q < b.pairCount; ++q) {
            TBall& a = m.Balls[b.pairs[q].i];
            TBall& c = m.Balls[b.pairs[q].j];
            double dx, dy, dz;
            m.PairDelta(a, c, dx, dy, dz);
            const double r = std::sqrt((dx * dx + dy * dy) + dz * dz);
            m.SoftOverlapSpin(a, c, dx / r, dy / r, dz / r);
        }
    }
}

} // namespace ferrolyt::particles
