#pragma once
// The molecular-dynamics model of the particle demonstration: up to 1241
// spheres of three types in a box centred on the origin, hard walls or
// periodic boundaries, optional gravity, one of four ensembles.
//
// One ParticleModel is one independent simulation: the 3D window owns one,
// a batch run owns another. All storage is fixed at construction (1241
// particles, fixed histograms, the fast kernel's buffers), so nothing is
// allocated while frames run. Create it on the heap (it is several hundred
// kilobytes).
//
// Indexing: particle k (1-based in the window's texts) is Balls[k - 1];
// particle types are 1..3 and BallTypes[0] is unused, so BallTypes[type] and
// PairHistogram[type_i][type_j] read as the names suggest.

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <random>
#include <string>

namespace ferrolyt::particles {

inline constexpr int MaxBalls = 1241;
// The largest number of steps per frame accepted (a time step of 0.0005).
inline constexpr int MaxStepsPerFrame = 2000;
inline constexpr int EnergyBins = 98;  // 0..96, and 97 for everything outside
inline constexpr int PairBins = 121;   // 0..120, width Lx / 120
// Cells per axis of the start lattice are capped here so that site numbers
// fit 64 bits; a box that long is a million radii wide.
inline constexpr std::int64_t MaxLatticeCells = std::int64_t{1} << 20;

enum class TEnsemble : std::uint8_t { NoI = 0, NVE = 1, NVK = 2, NVT = 3 };
enum class TLattice : std::uint8_t { Cubic = 0, BCC = 1, FCC = 2 };

inline constexpr const char* EnsembleNames[4] = {"NoI", "NVE", "NVK", "NVT"};
inline constexpr const char* LatticeNames[3] = {"Cub", "BCC", "FCC"};

// Pair potential constants: u = A exp(-B r) - C / r^6.
inline constexpr double PotentialA = 0.5;
inline constexpr double PotentialB = 0.5;
inline constexpr double PotentialC = 0.5;

// The soft pair potential u(r) and its radial force f(r) = -du/dr (positive
// repulsive). Not shifted at the cut-off, independent of the radii. It has no
// repulsive core: below r = 1.6 it falls to minus infinity.
inline void SoftPotential(double r, double& u, double& f);

// The top of the soft potential's repulsive barrier: f(R) = 0 near r = 1.6,
// where u = Height. Inside it the attraction -C/r^6 wins.
struct TBarrier {
    double R, Height;
};
TBarrier SoftBarrier();

struct TBallTypeRecord {
    double Radius = 0.5;
    double Mass = 1.0;
    double SumBoltz = 0;  // sum over steps of exp(-(U + m V^2) / (2 kT))
    double SumMV2 = 0;    // sum over steps of m V^2
    double SumU = 0;      // sum over steps of the particles' U
    double SumVir = 0;    // sum over steps of the pair virial, 1/2 f r per particle of each pair
                          // (a hard-sphere collision counts d . dp / Dt as its f r)
    std::int32_t N = 1;   // particles of the type
};

struct TBall {
    double U = 0;  // potential energy: the sum of its pair energies this step
    double K = 0;  // kinetic energy 0.5 m V^2, set once per frame
    double X = 0, Y = 0, Z = 0;
    double V[3] = {0, 0, 0};   // velocity at the full step
    double Vh[3] = {0, 0, 0};  // velocity at the half step (moves the particle)
    double F[3] = {0, 0, 0};   // force of the current step
    float SpinRate = 0;        // degrees per frame (display only)
    float SpinAxis[3] = {0, 0, 0};
    float Rotation[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    std::int32_t BallType = 1;
    TBallTypeRecord TypeData;  // copy taken by InitBall; its Radius and Mass move the particle
    double PairVirial = 0;     // this step's sum of 1/2 f r over the particle's pairs
};

// The sites of the start lattice: nx x ny x nz corner sites 2d apart,
// centred on the origin, plus the body centres (BCC) or face centres (FCC).
// Sites are numbered corner block first, then each kind of centre in turn.
struct LatticeSites {
    TLattice lattice = TLattice::Cubic;
    double d = 0;  // half the corner spacing
    std::int64_t nx = 0, ny = 0, nz = 0;

    // Cells per axis and spacing for a box of half-lengths L and the largest radius.
    static LatticeSites For(TLattice lattice, double maxRadius, const std::array<double, 3>& L);
    std::uint64_t Count() const;
    void Site(std::uint64_t s, double& x, double& y, double& z) const;
};

// Sites of a lattice with n cells on every axis: n^3 (cubic), n^3 + (n-1)^3
// (BCC), n^3 + 3 n (n-1)^2 (FCC).
std::int64_t LatticeSiteCount(TLattice lattice, std::int64_t n);

// Spacing factor of a lattice: d = largest radius x factor.
double LatticeFactor(TLattice lattice);

class FastKernel;
class CollisionEvents;

class ParticleModel {
public:
    // Which pair loop a step runs: the plain loop in the order i = 2..N,
    // j = 1..i-1, or the vectorised one split over the model's threads.
    enum class Kernel { Reference, Fast };

    ParticleModel();
    ~ParticleModel();
    ParticleModel(const ParticleModel&) = delete;
    ParticleModel& operator=(const ParticleModel&) = delete;

    // --- Data --------------------------------------------------------------
    std::array<TBallTypeRecord, 4> BallTypes;  // [1..3]
    std::array<TBall, MaxBalls> Balls;
    std::int32_t NBalls = 3;
    double Dt = 0.1;
    std::int32_t StepsPerFrame = 10;
    std::array<double, 3> BoxL = {3, 3, 5};  // half-lengths Lx, Ly, Lz
    double BoxVolume = 8 * 3 * 3 * 5;
    TEnsemble Ensemble = TEnsemble::NoI;
    bool InteractionOn = false;
    TLattice Lattice = TLattice::Cubic;
    bool Periodic = false;
    bool GravityOn = false;
    double Gravity = 0;
    double WallRestitution = 1.0;
    double SysE = std::numeric_limits<double>::quiet_NaN();
    double SysT = std::numeric_limits<double>::quiet_NaN();
    double TotalEnergy = std::numeric_limits<double>::quiet_NaN();
    double TargetKT = std::numeric_limits<double>::quiet_NaN();
    double Xi = 0;
    double ThermostatQ = 100.0;
    double VirialSum = 0;
    double SumE = 0, SumK = 0;
    double SumKTSquared = 0;
    double SumESquared = 0;
    std::uint64_t FrameCounter = 0;
    double SpheresVolume = 0, TotalMass = 0;
    std::array<std::array<double, 3>, 3> EpsMatrix{};  // stored and saved, not used by the model
    bool NoGraphicsRun = false;
    bool BatchMode = false;

    // Histograms (64-bit counters).
    std::array<std::int64_t, EnergyBins> EnergyHistogram{};
    double EnergyUnit = std::numeric_limits<double>::quiet_NaN();
    std::array<std::array<std::array<std::int64_t, PairBins>, 4>, 4> PairHistogram{};  // [1..3][1..3][bin]

    // The last frame's kinetic and potential energy (the per-frame status texts).
    double FrameK = 0, FrameU = 0;
    // The factor by which the last frame's NVE or NVK rescale multiplied the
    // velocities (1 when nothing was rescaled): how far the steps themselves
    // strayed from the energy or temperature held.
    double FrameRescale = 1;
    // The total pressure: written by the statistics tick and by the batch run.
    double Pressure = 0;

    // Set when a step produced a value that is not finite, or a soft run
    // left its sane range (kinetic kT above the barrier's height, a particle
    // fallen inside the barrier): the step was undone and DoSteps does
    // nothing until the next SetupParticles.
    bool Halted = false;
    std::string HaltMessage;

    // --- Operations ----------------------------------------------------------

    // Gravity on: 0.005 along -Y and walls keep 98 % of the velocity; off: 0 and 100 %.
    void ApplyGravitySetting();

    // Builds the lattice, checks room, places and initialises all particles,
    // sets Xi := 0 and resets the statistics. NBalls becomes N1 + N2 + N3.
    // False, with a message, when a number is unusable or the lattice cannot
    // hold the particles (then only BoxVolume has changed), or when an NVE
    // energy lies below the placed start's potential energy (then the
    // particles stand placed and the model is halted).
    bool SetupParticles();

    // Initialises one particle at a site with the energy per particle e (NaN: speed 0.11).
    void InitBall(TBall& ball, int type, double x, double y, double z, double e);

    void ResetStatistics();

    // One frame: StepsPerFrame steps and the frame's bookkeeping. False when
    // the model is halted (see Halted) or has no particles.
    bool DoSteps();

    // The parts of one step. Soft runs: pairs, then IntegrateBall, which
    // bounces off the walls on the way (the fast kernel does the pair part
    // its own way and agrees with PairInteraction). Hard spheres:
    // CollideWithWalls, the pair pass (distances for the histogram, and the
    // pairs within reach), then the collision-by-collision flight.
    void CollideWithWalls(TBall& ball);
    // The bounce off the wall of one axis on the side s (+1 or -1): the
    // velocity turned inwards with the wall's restitution, and the spin.
    void ReflectAtWall(TBall& ball, int axis, double s);
    // The pair's distance in the histogram and, with the soft potential, its
    // energy and force. Hard spheres collide in the flight, not here.
    void PairInteraction(TBall& i, TBall& j);
    // Kick and move. A move that meets a wall bounces at the moment it gets
    // there: the step's acceleration acts before the bounce on the way out
    // and after it on the way in, as it would in the continuous motion.
    void IntegrateBall(TBall& ball);

    static void ClampCoordinate(double& coordinate, double limit);
    static void ScaleBallVelocity(TBall& ball, float factor);

    // --- Commands of the 3D window -------------------------------------------

    // Switches the ensemble (Xi := 0; InteractionOn follows). NVT without a
    // given kT takes the current running-mean kT as its target; false (and
    // nothing changes) when there is none yet. From hard spheres to the soft
    // potential: false, with a message, while two particles are closer than
    // the potential's barrier (they would fall together at once).
    bool SetEnsemble(TEnsemble ensemble);
    // "+" and "-": NVE energy +-0.01, NVK kT and NVT target x or / 1.1, NoI velocities x 1.1 or / 1.1.
    void Accelerate();
    void Decelerate();
    void ToggleGravity();
    void ScaleGravity(double factor);
    // Every half-length divided (larger) or multiplied (smaller) by 0.99;
    // the particles stay where they are and the walls clamp them.
    void ChangeVolume(bool larger);
    // Towards the plane Y = -2 (XY) or Z = 2 (XZ), that velocity component
    // := 0: each sphere as near the plane as the box and the others leave
    // room, on either side of it; no sphere comes inside another (soft
    // particles: nearer than the potential's barrier) or leaves the box.
    void FlattenToXY();
    void FlattenToXZ();
    // Remove the last particle / add one of type 1 at the origin; the type
    // counts follow. False when there is no room (1 left / 1241 reached).
    bool RemoveLastParticle();
    bool AddParticle();

    // --- Set-up of the engine ------------------------------------------------

    // The random generator (a 64-bit Mersenne twister) of this instance.
    void Seed(std::uint64_t seed);
    std::uint64_t RandomBelow(std::uint64_t n);

    void SetKernel(Kernel kernel) { kernel_ = kernel; }
    Kernel GetKernel() const { return kernel_; }
    // Threads of the fast kernel (1 = the calling thread only); 0 = one per
    // core. The pool is made when first needed, never per step.
    void SetThreadCount(int threads);
    int ThreadCount() const;
    // Forces the fast kernel's portable code even where AVX2 is present.
    void SetVectorised(bool on);

    // Where warnings go (caption, text). Default: the engine's host.
    using MessageSink = std::function<void(const std::string& caption, const std::string& text)>;
    void SetMessageSink(MessageSink sink) { sink_ = std::move(sink); }
    void ShowMessage(const std::string& caption, const std::string& text) const;

    // Checks the numbers a run depends on; empty when all are usable, else
    // a message naming the field.
    std::string CheckNumbers() const;

    // The pair loop of one step on the current state (after walls and the
    // zeroing of U and F): exposed for the tests of the two kernels. With
    // hard spheres it counts the histogram and hands the pairs within reach
    // to the collision flight. The fast kernel adds its histogram counts at
    // the end of the frame (DoSteps).
    void RunPairLoop();
    // The virial of the current step's pairs (sum of f r), added to
    // VirialSum at the end of the step.
    double StepVirial = 0;

private:
    friend class FastKernel;
    friend class CollisionEvents;

    bool Step();
    void ZeroForces();
    void CountPairDistance(int typeI, int typeJ, double r);
    void SoftPair(TBall& a, TBall& b, double dx, double dy, double dz, double r2);
    void SoftOverlapSpin(TBall& a, TBall& b, double ux, double uy, double uz);
    void HardSpheresStep();
    void FlattenOnto(int axis, double level);
    // Periodic wrap, or the clamp inside the walls, at the end of a move.
    void FoldIntoBox(TBall& ball);
    // The start's potential energy (soft runs), before any particle moved.
    double StartPotentialEnergy() const;
    void PairDelta(const TBall& a, const TBall& b, double& dx, double& dy, double& dz) const;
    double MinImage(double d, int axis) const;
    void Halt(const std::string& why);
    void UndoStep();
    // Why a soft run cannot go on (empty when it can).
    std::string SoftRunInsane(double kineticKT) const;
    std::string PairInsideBarrier() const;
    double FrameKinetic();
    void UpdateTotals();

    struct Snapshot {
        double X, Y, Z;
        double V[3], Vh[3];
    };
    std::array<Snapshot, MaxBalls> snapshot_;
    std::mt19937_64 rng_;
    Kernel kernel_ = Kernel::Fast;
    std::unique_ptr<FastKernel> fast_;
    std::unique_ptr<CollisionEvents> events_;
    // The velocity change of each particle's kick in a hard-sphere step.
    std::array<std::array<double, 3>, MaxBalls> kick_;
    MessageSink sink_;
    // A flatten's order of the spheres, and for the sphere it places the
    // height of each sphere in its way and how far that one keeps it (fixed
    // size: no allocation).
    std::array<int, MaxBalls> order_;
    std::array<std::array<double, 2>, MaxBalls> held_;
    // Site numbers taken during placement (open addressing; fixed size).
    std::array<std::uint64_t, 4096> taken_;
};

inline void SoftPotential(double r, double& u, double& f)
{
    const double e = std::exp(-PotentialB * r);
    const double r2 = r * r;
    const double r6 = r2 * r2 * r2;
    const double r7 = r6 * r;
    u = PotentialA * e - PotentialC / r6;
    f = PotentialA * PotentialB * e - 6 * PotentialC / r7;
}

} // namespace ferrolyt::particles
