#pragma once
// The free flight of hard spheres through one step, collision by collision.
//
// Within a step every sphere moves in a straight line at its half-step
// velocity. The flight predicts, for each pair that approaches, the moment
// of first contact (|d + dv t| = sigma) and, for each sphere, the moment it
// reaches a wall; it then takes the events in time order: the two spheres
// (or the one at the wall) are brought to that moment, turned, and only
// their own events are predicted again. Spheres therefore meet at contact
// and never pass into each other, at any density and speed.
//
// Spheres that already overlap (put so by a command: a smaller box, a
// particle added at the centre) are parted before the flight: each such
// pair is moved apart along its line of centres to contact, the centre of
// mass kept, and a pair that approaches is given the elastic impulse there,
// once. A parted sphere may be pushed into a third one; that pair is parted
// in the next sweep, until none overlaps (or the sweeps of this step run
// out, and the next step goes on). Within the flight an overlapping pair is
// left alone: turning it at every touch would never part it.
//
// Which pairs to watch: either every pair, or the pairs that the step's
// pair pass found within reach (closer than sigma + 2 vmax Dt at the start,
// vmax the fastest sphere then). A sphere that a collision makes faster than
// vmax leaves that bound, so from then on it is watched against every other.
//
// All storage is fixed when the object is made; a step allocates nothing.

#include <array>
#include <cstdint>
#include <memory>

namespace ferrolyt::particles {

class ParticleModel;
struct TBall;

class CollisionEvents {
public:
    // Pairs within reach that the pair pass may hand over; beyond this the
    // step watches every pair.
    static constexpr int MaxCandidates = 32768;

    explicit CollisionEvents(ParticleModel& model);
    ~CollisionEvents();
    CollisionEvents(const CollisionEvents&) = delete;
    CollisionEvents& operator=(const CollisionEvents&) = delete;

    // The pairs within reach of this step: begin, add (false when full, and
    // then every pair is watched), and the reach that the pass used.
    void BeginCandidates();
    bool AddCandidate(int i, int j);
    void WatchEveryPair() { everyPair_ = true; }

    // The speed bound that the candidates were chosen with: the fastest
    // sphere's speed at the start of the flight.
    double SpeedBound() const;
    // Reach of a step: how much closer than contact a candidate pair may be.
    double Reach() const;

    // Moves every sphere through one step of length Dt (collisions with one
    // another and, without periodic boundaries, with the walls), adding each
    // collision's virial and spin as a collision does.
    void Fly();

private:
    struct Event {
        double t;
        std::int32_t i, j;  // j < 0: the wall of axis -j-1
        std::uint32_t ci, cj;
    };
    static bool Later(const Event& a, const Event& b);

    void Push(const Event& e);
    void PredictPair(int p, int q);
    void PredictWall(int p);
    void Predict(int p);
    void PredictAll();
    void Advance(int p, double t);
    void Collide(int p, int q);
    // The elastic impulse of two spheres at contact that approach (with
    // gravity on, 95 % of their velocities kept), its virial and spin.
    void Bounce(TBall& a, TBall& b, double dx, double dy, double dz, double r2);
    // Parts the spheres that overlap at the start of the flight.
    void SeparateOverlaps();
    bool Separate(int p, int q);
    void MarkMoved(int p);
    void Watch(int p);
    void HitWall(int p, int axis);
    void Compact();

    ParticleModel& m_;
    bool everyPair_ = false;
    int candidateCount_ = 0;
    double bound_ = 0;
    double now_ = 0;
    bool stuck_ = false;  // the last step's parting left spheres in one another
    struct Store;
    std::unique_ptr<Store> s_;
};

} // namespace ferrolyt::particles
