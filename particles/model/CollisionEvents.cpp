#include "CollisionEvents.h"

#include "ParticleModel.h"

#include <algorithm>
#include <cmath>

namespace ferrolyt::particles {

namespace {

constexpr double DegreesPerRadian = 180.0 / 3.14159265358979323846;
// Pending events at once. Stale events are dropped when the heap runs full;
// a step of 1241 spheres keeps a few thousand.
constexpr int HeapCapacity = 1 << 17;
// Overlaps deeper than this share of sigma^2 come from outside the flight.
constexpr double OverlapTolerance = 1e-9;
// The parting of overlapping spheres in one step tries at most this many
// times N^2 pairs: a dense fluid whose box was made 1 % smaller needs about
// 3 N^2 (some 40 sweeps over the moved spheres); a box too small for its
// spheres never comes apart, and its frames must not stall. What is left
// goes on in the next step.
constexpr std::int64_t SeparationTries = 4;

float AxisLengthDegrees(const float a[3])
{
    return static_cast<float>(std::sqrt(double(a[0]) * a[0] + double(a[1]) * a[1] + double(a[2]) * a[2]) *
                              DegreesPerRadian);
}

} // namespace

struct CollisionEvents::Store {
    std::array<std::array<std::int32_t, 2>, MaxCandidates> candidates;
    std::array<std::int32_t, MaxBalls + 1> first;  // neighbours of p: adjacent[first[p] .. first[p+1])
    std::array<std::int32_t, 2 * MaxCandidates> adjacent;
    std::array<double, MaxBalls> since;            // the time each sphere's position refers to
    std::array<std::uint32_t, MaxBalls> changes;   // events a sphere took part in this step
    std::array<std::uint8_t, MaxBalls> fast;       // faster than the bound the candidates assume
    std::array<std::int32_t, MaxBalls> fastList;
    int fastCount = 0;
    // Spheres moved by the parting of overlaps, to be tried against every
    // other in the next sweep.
    std::array<std::uint8_t, MaxBalls> queued;
    std::array<std::int32_t, MaxBalls> queue, sweep;
    int queueCount = 0;
    std::array<Event, HeapCapacity> heap;
    int heapSize = 0;
};

CollisionEvents::CollisionEvents(ParticleModel& model) : m_(model), s_(std::make_unique<Store>()) {}

CollisionEvents::~CollisionEvents() = default;

bool CollisionEvents::Later(const Event& a, const Event& b)
{
    // The heap's top is the earliest event; ties go by pair, so that the
    // order never depends on the order of prediction.
    if (a.t != b.t)
        return a.t > b.t;
    if (a.i != b.i)
        return a.i > b.i;
    return a.j > b.j;
}

void CollisionEvents::BeginCandidates()
{
    everyPair_ = false;
    candidateCount_ = 0;
    double fastest2 = 0;
    for (int p = 0; p < m_.NBalls; ++p) {
        const double* v = m_.Balls[p].Vh;
        fastest2 = std::max(fastest2, (v[0] * v[0] + v[1] * v[1]) + v[2] * v[2]);
    }
    bound_ = std::sqrt(fastest2);
    if (!std::isfinite(bound_))
        everyPair_ = true;
}

bool CollisionEvents::AddCandidate(int i, int j)
{
    if (candidateCount_ >= MaxCandidates) {
        everyPair_ = true;
        return false;
    }
    s_->candidates[candidateCount_++] = {i, j};
    return true;
}

double CollisionEvents::SpeedBound() const { return bound_; }

double CollisionEvents::Reach() const
{
    // Two spheres each at the bound close in by at most 2 vmax Dt; the
    // margin covers the rounding of the pass's distances.
    return 2 * bound_ * m_.Dt * (1 + 1e-9) + 1e-12;
}

void CollisionEvents::Push(const Event& e)
{
    Store& s = *s_;
    if (s.heapSize == HeapCapacity) {
        Compact();
        if (s.heapSize == HeapCapacity) {
            // Every pending event is still valid: predict afresh from now.
            s.heapSize = 0;
            PredictAll();
            if (s.heapSize == HeapCapacity)
                return;
        }
    }
    s.heap[s.heapSize++] = e;
    std::push_heap(s.heap.begin(), s.heap.begin() + s.heapSize, &Later);
}

void CollisionEvents::Compact()
{
    Store& s = *s_;
    int kept = 0;
    for (int k = 0; k < s.heapSize; ++k) {
        const Event& e = s.heap[k];
        if (s.changes[e.i] == e.ci && (e.j < 0 || s.changes[e.j] == e.cj))
            s.heap[kept++] = e;
    }
    s.heapSize = kept;
    std::make_heap(s.heap.begin(), s.heap.begin() + kept, &Later);
}

void CollisionEvents::PredictPair(int p, int q)
{
    if (p == q)
        return;
    const Store& s = *s_;
    const TBall& a = m_.Balls[p];
    const TBall& b = m_.Balls[q];
    const double ta = now_ - s.since[p], tb = now_ - s.since[q];
    double dx = (a.X + a.Vh[0] * ta) - (b.X + b.Vh[0] * tb);
    double dy = (a.Y + a.Vh[1] * ta) - (b.Y + b.Vh[1] * tb);
    double dz = (a.Z + a.Vh[2] * ta) - (b.Z + b.Vh[2] * tb);
    if (m_.Periodic) {
        dx = m_.MinImage(dx, 0);
        dy = m_.MinImage(dy, 1);
        dz = m_.MinImage(dz, 2);
    }
    const double gx = a.Vh[0] - b.Vh[0], gy = a.Vh[1] - b.Vh[1], gz = a.Vh[2] - b.Vh[2];
    const double approach = (gx * dx + gy * dy) + gz * dz;
    if (!(approach < 0))
        return;
    const double sig = a.TypeData.Radius + b.TypeData.Radius;
    const double gap = ((dx * dx + dy * dy) + dz * dz) - sig * sig;
    // Spheres still in one another after the parting before the flight
    // pass through until they are apart: turning them at every touch would
    // take ever more collisions and never part them. Spheres at contact, up
    // to rounding, collide at once.
    if (gap < -OverlapTolerance * sig * sig)
        return;
    double t = now_;
    if (gap > 0) {
        const double g2 = (gx * gx + gy * gy) + gz * gz;
        const double disc = approach * approach - g2 * gap;
        if (!(disc > 0))
            return;  // they pass each other
        t = now_ + gap / (std::sqrt(disc) - approach);
    }
    if (!(t < m_.Dt))
        return;
    const int i = std::max(p, q), j = std::min(p, q);
    Push(Event{t, i, j, s.changes[i], s.changes[j]});
}

void CollisionEvents::PredictWall(int p)
{
    if (m_.Periodic)
        return;
    const TBall& b = m_.Balls[p];
    const double elapsed = now_ - s_->since[p];
    const double c[3] = {b.X + b.Vh[0] * elapsed, b.Y + b.Vh[1] * elapsed, b.Z + b.Vh[2] * elapsed};
    double best = m_.Dt;
    int axis = -1;
    for (int k = 0; k < 3; ++k) {
        const double limit = m_.BoxL[k] - b.TypeData.Radius;
        const double v = b.Vh[k];
        if (!(limit > 0) || v == 0)
            continue;  // no room to bounce in: the end of the step clamps
        const double wall = v > 0 ? limit : -limit;
        const double tau = (v > 0 ? c[k] >= limit : c[k] <= -limit) ? 0.0 : (wall - c[k]) / v;
        if (now_ + tau < best) {
            best = now_ + tau;
            axis = k;
        }
    }
    if (axis >= 0)
        Push(Event{best, p, -(axis + 1), s_->changes[p], 0});
}

void CollisionEvents::Predict(int p)
{
    Store& s = *s_;
    PredictWall(p);
    const int n = m_.NBalls;
    if (everyPair_ || s.fast[p]) {
        for (int q = 0; q < n; ++q)
            PredictPair(p, q);
        return;
    }
    for (int k = s.first[p]; k < s.first[p + 1]; ++k)
        PredictPair(p, s.adjacent[k]);
    for (int k = 0; k < s.fastCount; ++k)
        PredictPair(p, s.fastList[k]);
}

void CollisionEvents::PredictAll()
{
    const Store& s = *s_;
    const int n = m_.NBalls;
    for (int p = 0; p < n; ++p)
        PredictWall(p);
    if (everyPair_) {
        for (int i = 1; i < n; ++i)
            for (int j = 0; j < i; ++j)
                PredictPair(i, j);
        return;
    }
    for (int k = 0; k < candidateCount_; ++k)
        PredictPair(s.candidates[k][0], s.candidates[k][1]);
    for (int k = 0; k < s.fastCount; ++k)
        for (int q = 0; q < n; ++q)
            PredictPair(s.fastList[k], q);
}

void CollisionEvents::Advance(int p, double t)
{
    TBall& b = m_.Balls[p];
    const double dt = t - s_->since[p];
    if (dt != 0) {
        b.X += b.Vh[0] * dt;
        b.Y += b.Vh[1] * dt;
        b.Z += b.Vh[2] * dt;
    }
    s_->since[p] = t;
}

void CollisionEvents::Bounce(TBall& a, TBall& b, double dx, double dy, double dz, double r2)
{
    const double gx = a.Vh[0] - b.Vh[0], gy = a.Vh[1] - b.Vh[1], gz = a.Vh[2] - b.Vh[2];
    const double approach = (gx * dx + gy * dy) + gz * dz;
    if (!(approach < 0 && r2 > 0))
        return;
    // The elastic impulse along the line of centres at contact (95 % of
    // the velocities kept with gravity on).
    const double ma = a.TypeData.Mass, mb = b.TypeData.Mass;
    const double J = 2 * approach / (ma + mb) / r2;
    const double e = m_.GravityOn ? 0.95 : 1.0;
    const double d[3] = {dx, dy, dz};
    for (int k = 0; k < 3; ++k) {
        a.Vh[k] = (a.Vh[k] - J * mb * d[k]) * e;
        b.Vh[k] = (b.Vh[k] + J * ma * d[k]) * e;
    }
    // The collision's virial: the impulse on a along the contact vector,
    // d . dp, spread over the step as the f r of a force would be.
    const double virial = -J * ma * mb * r2 / m_.Dt;
    m_.StepVirial += virial;
    a.PairVirial += 0.5 * virial;
    b.PairVirial += 0.5 * virial;
    const double r = std::sqrt(r2);
    const double w[3] = {0.5 * (dy * gz - dz * gy) / r, 0.5 * (dz * gx - dx * gz) / r, 0.5 * (dx * gy - dy * gx) / r};
    for (TBall* ball : {&a, &b}) {
        for (int k = 0; k < 3; ++k)
            ball->SpinAxis[k] = float(0.5 * ball->SpinAxis[k] + w[k]);
        ball->SpinRate = AxisLengthDegrees(ball->SpinAxis);
    }
}

void CollisionEvents::Watch(int p)
{
    Store& s = *s_;
    if (!s.fast[p]) {
        s.fast[p] = 1;
        s.fastList[s.fastCount++] = p;
    }
}

void CollisionEvents::Collide(int p, int q)
{
    Advance(p, now_);
    Advance(q, now_);
    TBall& a = m_.Balls[p];
    TBall& b = m_.Balls[q];
    double dx, dy, dz;
    m_.PairDelta(a, b, dx, dy, dz);
    Bounce(a, b, dx, dy, dz, (dx * dx + dy * dy) + dz * dz);
    Store& s = *s_;
    for (int x : {p, q}) {
        ++s.changes[x];
        // Faster than the bound, it can reach spheres beyond its candidates.
        const double* v = m_.Balls[x].Vh;
        if (!(((v[0] * v[0] + v[1] * v[1]) + v[2] * v[2]) <= bound_ * bound_))
            Watch(x);
    }
    Predict(p);
    Predict(q);
}

void CollisionEvents::MarkMoved(int p)
{
    // A moved sphere may now touch spheres beyond its candidates: the
    // flight watches it against every other.
    Watch(p);
    Store& s = *s_;
    if (!s.queued[p]) {
        s.queued[p] = 1;
        s.queue[s.queueCount++] = p;
    }
}

bool CollisionEvents::Separate(int p, int q)
{
    if (p == q)
        return false;
    TBall& a = m_.Balls[p];
    TBall& b = m_.Balls[q];
    double dx, dy, dz;
    m_.PairDelta(a, b, dx, dy, dz);
    const double r2 = (dx * dx + dy * dy) + dz * dz;
    const double sig = a.TypeData.Radius + b.TypeData.Radius;
    if (!(r2 - sig * sig < -OverlapTolerance * sig * sig))
        return false;
    // The line of centres; two spheres at one point part along their
    // relative velocity (along x when they have none).
    double u[3] = {dx, dy, dz};
    double r = std::sqrt(r2);
    if (!(r > 1e-9 * sig)) {
        for (int k = 0; k < 3; ++k)
            u[k] = a.Vh[k] - b.Vh[k];
        r = std::sqrt((u[0] * u[0] + u[1] * u[1]) + u[2] * u[2]);
        if (!(r > 0)) {
            u[0] = r = 1;
            u[1] = u[2] = 0;
        }
    }
    const double ma = a.TypeData.Mass, mb = b.TypeData.Mass;
    const double gap = sig - std::sqrt(r2);
    const double sa = gap * mb / (ma + mb) / r, sb = gap * ma / (ma + mb) / r;
    double* pa[3] = {&a.X, &a.Y, &a.Z};
    double* pb[3] = {&b.X, &b.Y, &b.Z};
    for (int k = 0; k < 3; ++k) {
        *pa[k] += sa * u[k];
        *pb[k] -= sb * u[k];
        if (!m_.Periodic) {
            // Not through a wall: what the wall holds back is parted in a
            // later sweep.
            ParticleModel::ClampCoordinate(*pa[k], std::max(0.0, m_.BoxL[k] - a.TypeData.Radius));
            ParticleModel::ClampCoordinate(*pb[k], std::max(0.0, m_.BoxL[k] - b.TypeData.Radius));
        }
    }
    m_.PairDelta(a, b, dx, dy, dz);
    Bounce(a, b, dx, dy, dz, (dx * dx + dy * dy) + dz * dz);
    MarkMoved(p);
    MarkMoved(q);
    return true;
}

void CollisionEvents::SeparateOverlaps()
{
    Store& s = *s_;
    const int n = m_.NBalls;
    std::fill_n(s.queued.begin(), n, 0);
    s.queueCount = 0;
    // A sphere that a smaller box left outside its walls comes in first.
    if (!m_.Periodic)
        for (int p = 0; p < n; ++p) {
            TBall& b = m_.Balls[p];
            double* c[3] = {&b.X, &b.Y, &b.Z};
            bool moved = false;
            for (int k = 0; k < 3; ++k) {
                const double was = *c[k];
                ParticleModel::ClampCoordinate(*c[k], std::max(0.0, m_.BoxL[k] - b.TypeData.Radius));
                moved = moved || *c[k] != was;
            }
            if (moved)
                MarkMoved(p);
        }
    // The pairs within reach hold every overlap of spheres not yet moved.
    if (everyPair_) {
        for (int i = 1; i < n; ++i)
            for (int j = 0; j < i; ++j)
                Separate(i, j);
    } else {
        for (int k = 0; k < candidateCount_; ++k)
            Separate(s.candidates[k][0], s.candidates[k][1]);
    }
    // After a step that could not part them all, the box is likely too
    // small for its spheres: a smaller share then, so that frames go on.
    const std::int64_t budget = (stuck_ ? 1 : 2 * SeparationTries) * std::int64_t(n) * n / 2;
    std::int64_t tries = everyPair_ ? std::int64_t(n) * (n - 1) / 2 : candidateCount_;
    while (s.queueCount > 0 && tries + std::int64_t(s.queueCount) * n <= budget) {
        const int count = s.queueCount;
        tries += std::int64_t(count) * n;
        std::copy_n(s.queue.begin(), count, s.sweep.begin());
        for (int k = 0; k < count; ++k)
            s.queued[s.sweep[k]] = 0;
        s.queueCount = 0;
        for (int k = 0; k < count; ++k)
            for (int q = 0; q < n; ++q)
                Separate(s.sweep[k], q);
    }
    stuck_ = s.queueCount > 0;
    if (stuck_) {
        // Not yet apart: this step's flight watches only the candidates (a
        // sphere watched against every other costs a pass over all of them
        // at each of its events); what it misses overlaps, and the next
        // step's parting takes it.
        for (int k = 0; k < s.fastCount; ++k)
            s.fast[s.fastList[k]] = 0;
        s.fastCount = 0;
    }
}

void CollisionEvents::HitWall(int p, int axis)
{
    Advance(p, now_);
    TBall& b = m_.Balls[p];
    double& c = axis == 0 ? b.X : axis == 1 ? b.Y : b.Z;
    const double limit = m_.BoxL[axis] - b.TypeData.Radius;
    const double s = b.Vh[axis] > 0 ? 1.0 : -1.0;
    if (s * c > limit)
        c = s * limit;  // the rounding of the flight, not a move through the wall
    m_.ReflectAtWall(b, axis, s);
    ++s_->changes[p];
    Predict(p);
}

void CollisionEvents::Fly()
{
    Store& s = *s_;
    const int n = m_.NBalls;
    now_ = 0;
    for (int p = 0; p < n; ++p) {
        s.since[p] = 0;
        s.changes[p] = 0;
        s.fast[p] = 0;
    }
    s.fastCount = 0;
    if (!everyPair_) {
        // Neighbour lists of the candidates (counting sort by sphere).
        std::fill_n(s.first.begin(), n + 1, 0);
        for (int k = 0; k < candidateCount_; ++k) {
            ++s.first[s.candidates[k][0] + 1];
            ++s.first[s.candidates[k][1] + 1];
        }
        for (int p = 0; p < n; ++p)
            s.first[p + 1] += s.first[p];
        for (int k = 0; k < candidateCount_; ++k) {
            const int i = s.candidates[k][0], j = s.candidates[k][1];
            s.adjacent[s.first[i]++] = j;
            s.adjacent[s.first[j]++] = i;
        }
        for (int p = n; p > 0; --p)
            s.first[p] = s.first[p - 1];
        s.first[0] = 0;
    }
    SeparateOverlaps();
    s.heapSize = 0;
    PredictAll();
    // A bound on the work of one step: spheres that lose energy at every
    // contact (gravity on) can meet ever more often; the step then ends.
    std::int64_t budget = 64 * std::int64_t(n) + 10000;
    while (s.heapSize > 0) {
        std::pop_heap(s.heap.begin(), s.heap.begin() + s.heapSize, &Later);
        const Event e = s.heap[--s.heapSize];
        if (s.changes[e.i] != e.ci || (e.j >= 0 && s.changes[e.j] != e.cj))
            continue;
        if (--budget < 0)
            break;
        now_ = std::max(now_, e.t);
        if (e.j >= 0)
            Collide(e.i, e.j);
        else
            HitWall(e.i, -e.j - 1);
    }
    for (int p = 0; p < n; ++p)
        Advance(p, m_.Dt);
}

} // namespace ferrolyt::particles
