#include "ParticleModel.h"

#include "CollisionEvents.h"
#include "FastKernel.h"
#include "Host.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace ferrolyt::particles {

namespace {

constexpr double Nan = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();
// Rounds of a flatten: each moves every sphere once; the spheres seldom
// still move after a few.
constexpr int FlattenRounds = 20;
constexpr double DegreesPerRadian = 180.0 / 3.14159265358979323846;
constexpr const char* SetupCaption = "Radudiz Adazuz";
constexpr std::uint64_t FreeSlot = ~std::uint64_t{0};

bool Finite(double v) { return std::isfinite(v); }

double Sign(double v) { return v > 0 ? 1.0 : (v < 0 ? -1.0 : 0.0); }

float AxisLengthDegrees(const float a[3])
{
    return static_cast<float>(std::sqrt(double(a[0]) * a[0] + double(a[1]) * a[1] + double(a[2]) * a[2]) *
                              DegreesPerRadian);
}

std::int64_t CellsOnAxis(double L, double d)
{
    const double n = std::floor(L / d + 1e-8);
    if (!(n >= 0))
        return 0;
    return n >= double(MaxLatticeCells) ? MaxLatticeCells : static_cast<std::int64_t>(n);
}

std::int64_t AtLeastZero(std::int64_t v) { return v < 0 ? 0 : v; }

// A soft pair's energy is positive everywhere outside the barrier (its tail
// beyond r = 50 is below 1e-11); a particle whose U is below this has a
// partner inside the barrier.
constexpr double FallenEnergy = -1e-3;

} // namespace

TBarrier SoftBarrier()
{
    static const TBarrier barrier = [] {
        // Newton's method on f(r) = 0 from r = 1.6.
        double r = 1.6, u = 0, f = 0;
        for (int k = 0; k < 50; ++k) {
            double u1, f1;
            SoftPotential(r, u, f);
            SoftPotential(r + 1e-7, u1, f1);
            const double next = r - f / ((f1 - f) / 1e-7);
            if (std::fabs(next - r) < 1e-15)
                break;
            r = next;
        }
        SoftPotential(r, u, f);
        return TBarrier{r, u};
    }();
    return barrier;
}

// --- Lattice --------------------------------------------------------------------

double LatticeFactor(TLattice lattice)
{
    switch (lattice) {
    case TLattice::BCC: return 1.16;
    case TLattice::FCC: return 1.42;
    default: return 1.02;
    }
}

std::int64_t LatticeSiteCount(TLattice lattice, std::int64_t n)
{
    const std::int64_t m = AtLeastZero(n - 1);
    switch (lattice) {
    case TLattice::BCC: return n * n * n + m * m * m;
    case TLattice::FCC: return n * n * n + 3 * n * m * m;
    default: return n * n * n;
    }
}

LatticeSites LatticeSites::For(TLattice lattice, double maxRadius, const std::array<double, 3>& L)
{
    LatticeSites s;
    s.lattice = lattice;
    s.d = std::max(1e-5, maxRadius) * LatticeFactor(lattice);
    s.nx = CellsOnAxis(L[0], s.d);
    s.ny = CellsOnAxis(L[1], s.d);
    s.nz = CellsOnAxis(L[2], s.d);
    return s;
}

std::uint64_t LatticeSites::Count() const
{
    const std::uint64_t x = nx, y = ny, z = nz;
    const std::uint64_t x1 = AtLeastZero(nx - 1), y1 = AtLeastZero(ny - 1), z1 = AtLeastZero(nz - 1);
    switch (lattice) {
    case TLattice::BCC: return x * y * z + x1 * y1 * z1;
    case TLattice::FCC: return x * y * z + x * y1 * z1 + x1 * y * z1 + x1 * y1 * z;
    default: return x * y * z;
    }
}

void LatticeSites::Site(std::uint64_t s, double& x, double& y, double& z) const
{
    // Corner (i, j, k) of an a x b x c block, then the offset of its kind.
    auto corner = [&](std::uint64_t index, std::uint64_t b, std::uint64_t c, double ox, double oy, double oz) {
        const std::uint64_t i = index / (b * c);
        const std::uint64_t j = (index / c) % b;
        const std::uint64_t k = index % c;
        x = (double(i) - double(nx - 1) / 2) * 2 * d + ox;
        y = (double(j) - double(ny - 1) / 2) * 2 * d + oy;
        z = (double(k) - double(nz - 1) / 2) * 2 * d + oz;
    };
    const std::uint64_t X = nx, Y = ny, Z = nz;
    const std::uint64_t X1 = AtLeastZero(nx - 1), Y1 = AtLeastZero(ny - 1), Z1 = AtLeastZero(nz - 1);
    if (s < X * Y * Z)
        return corner(s, Y, Z, 0, 0, 0);
    s -= X * Y * Z;
    if (lattice == TLattice::BCC)
        return corner(s, Y1, Z1, d, d, d);
    if (s < X * Y1 * Z1)
        return corner(s, Y1, Z1, 0, d, d);
    s -= X * Y1 * Z1;
    if (s < X1 * Y * Z1)
        return corner(s, Y, Z1, d, 0, d);
    s -= X1 * Y * Z1;
    corner(s, Y1, Z, d, d, 0);
}

// --- Model ------------------------------------------------------------------------

ParticleModel::ParticleModel()
    : rng_(5489u), fast_(std::make_unique<FastKernel>(*this)), events_(std::make_unique<CollisionEvents>(*this))
{
    for (int t = 1; t <= 3; ++t)
        BallTypes[t] = TBallTypeRecord{};
    taken_.fill(FreeSlot);
}

ParticleModel::~ParticleModel() = default;

void ParticleModel::Seed(std::uint64_t seed) { rng_.seed(seed); }

std::uint64_t ParticleModel::RandomBelow(std::uint64_t n)
{
    if (n <= 1)
        return 0;
    // Rejection keeps every value equally likely.
    const std::uint64_t limit = std::numeric_limits<std::uint64_t>::max() - std::numeric_limits<std::uint64_t>::max() % n;
    std::uint64_t v;
    do
        v = rng_();
    while (v >= limit);
    return v % n;
}

void ParticleModel::SetThreadCount(int threads) { fast_->SetThreadCount(threads); }
int ParticleModel::ThreadCount() const { return fast_->ThreadCount(); }
void ParticleModel::SetVectorised(bool on) { fast_->SetVectorised(on); }

void ParticleModel::ShowMessage(const std::string& caption, const std::string& text) const
{
    if (sink_)
        sink_(caption, text);
    else
        CurrentHost().ShowWarning(text);
}

void ParticleModel::ApplyGravitySetting()
{
    if (GravityOn) {
        Gravity = 0.005;
        WallRestitution = 0.98;
    } else {
        Gravity = 0;
        WallRestitution = 1.0;
    }
}

std::string ParticleModel::CheckNumbers() const
{
    auto positive = [](double v) { return Finite(v) && v > 0; };
    for (int t = 1; t <= 3; ++t) {
        const std::string type = std::to_string(t);
        if (!positive(BallTypes[t].Radius))
            return "Радіус частинок типу " + type + " має бути числом, більшим за 0";
        if (!positive(BallTypes[t].Mass))
            return "Маса частинок типу " + type + " має бути числом, більшим за 0";
        if (BallTypes[t].N < 0 || BallTypes[t].N > MaxBalls)
            return "Кількість частинок типу " + type + " має бути від 0 до " + std::to_string(MaxBalls);
    }
    const std::int64_t total = std::int64_t{BallTypes[1].N} + BallTypes[2].N + BallTypes[3].N;
    if (total > MaxBalls)
        return "Забагато частинок: усього " + std::to_string(total) + ", можна щонайбільше " + std::to_string(MaxBalls);
    if (total < 1)
        return "Немає частинок: сума кількостей дорівнює 0";
    static const char* axis[3] = {"Lx", "Ly", "Lz"};
    for (int k = 0; k < 3; ++k)
        if (!positive(BoxL[k]))
            return std::string("Півдовжина комірки ") + axis[k] + " має бути числом, більшим за 0";
    if (!positive(Dt) || Dt > 2)
        return "Крок інтегрування має бути більшим за 0 і не більшим за 2";
    if (StepsPerFrame < 1 || StepsPerFrame > MaxStepsPerFrame)
        return "Крок інтегрування дає " + std::to_string(StepsPerFrame) + " кроків на кадр; допустимо від 1 до " +
               std::to_string(MaxStepsPerFrame);
    if (!std::isnan(SysE) && !(Finite(SysE) && SysE >= 0))
        return "Енергія E не може бути від'ємною";
    if (!std::isnan(SysT) && !(Finite(SysT) && SysT >= 0))
        return "kT не може бути від'ємною";
    if (!Finite(Gravity) || !Finite(WallRestitution))
        return "Сила тяжіння має бути числом";
    return {};
}

void ParticleModel::UpdateTotals()
{
    TotalMass = 0;
    SpheresVolume = 0;
    for (int t = 1; t <= 3; ++t) {
        const TBallTypeRecord& r = BallTypes[t];
        TotalMass += r.N * r.Mass;
        SpheresVolume += r.N * r.Radius * r.Radius * r.Radius;
    }
    SpheresVolume *= 4.0 * 3.14159265358979323846 / 3.0;
}

bool ParticleModel::SetupParticles()
{
    BoxVolume = 8 * BoxL[0] * BoxL[1] * BoxL[2];
    const std::string problem = CheckNumbers();
    if (!problem.empty()) {
        ShowMessage(SetupCaption, problem);
        return false;
    }
    const int count = BallTypes[1].N + BallTypes[2].N + BallTypes[3].N;
    const double maxRadius = std::max({BallTypes[1].Radius, BallTypes[2].Radius, BallTypes[3].Radius});
    const LatticeSites sites = LatticeSites::For(Lattice, maxRadius, BoxL);
    const std::uint64_t siteCount = sites.Count();
    if (siteCount < std::uint64_t(count)) {
        ShowMessage(SetupCaption, "Initial volume is not sufficient!");
        return false;
    }
    NBalls = count;

    double e = Nan;
    bool fixedKT = false;
    if (Ensemble == TEnsemble::NoI || Ensemble == TEnsemble::NVE) {
        if (std::isnan(SysE) && !std::isnan(SysT)) {
            e = 1.5 * SysT;
            TotalEnergy = NBalls * e;
        } else if (!std::isnan(SysE)) {
            e = SysE / NBalls;
            TotalEnergy = SysE;
        } else {
            TotalEnergy = Nan;
        }
    } else if (!std::isnan(SysT)) {
        TargetKT = SysT;
        e = 1.5 * TargetKT;
        fixedKT = true;
    }
    InteractionOn = Ensemble != TEnsemble::NoI;
    UpdateTotals();

    // Random free sites over the whole lattice.
    taken_.fill(FreeSlot);
    const std::size_t mask = taken_.size() - 1;
    auto take = [&](std::uint64_t s) {
        std::size_t h = static_cast<std::size_t>((s * 0x9E3779B97F4A7C15ull) >> 52) & mask;
        while (taken_[h] != FreeSlot) {
            if (taken_[h] == s)
                return false;
            h = (h + 1) & mask;
        }
        taken_[h] = s;
        return true;
    };
    int k = 0;
    for (int t = 1; t <= 3; ++t)
        for (int n = 0; n < BallTypes[t].N; ++n) {
            std::uint64_t s;
            do
                s = RandomBelow(siteCount);
            while (!take(s));
            double x, y, z;
            sites.Site(s, x, y, z);
            InitBall(Balls[k++], t, x, y, z, e);
        }

    // kT from the start, so that the chemical potential is finite from the
    // first frame: the given kT, else the start's kinetic temperature.
    if (!fixedKT) {
        double kinetic = 0;
        for (int i = 0; i < NBalls; ++i) {
            const TBall& b = Balls[i];
            kinetic += 0.5 * b.TypeData.Mass * (b.Vh[0] * b.Vh[0] + b.Vh[1] * b.Vh[1] + b.Vh[2] * b.Vh[2]);
        }
        TargetKT = 2.0 / 3.0 * kinetic / NBalls;
    }
    if (kernel_ == Kernel::Fast)
        fast_->Prepare(NBalls);
    Xi = 0;
    Halted = false;
    HaltMessage.clear();
    FrameK = FrameU = 0;
    ResetStatistics();

    // NVE keeps K = E - U: with E below the start's U every frame would
    // scale the velocities to 0 and the run would stand still. The placed
    // particles stay, but the run does not start.
    if (Ensemble == TEnsemble::NVE && Finite(TotalEnergy)) {
        const double lowest = StartPotentialEnergy();
        if (TotalEnergy < lowest) {
            char given[96], text[600];
            if (std::isnan(SysE))
                std::snprintf(given, sizeof given, "E = 3/2 N kT = %.6g", TotalEnergy);
            else
                std::snprintf(given, sizeof given, "E = %.6g", TotalEnergy);
            // The placement is random: another start may need less, or more.
            std::snprintf(text, sizeof text,
                          "Енергія системи %s менша за потенціальну енергію цього, випадкового, розташування "
                          "частинок U = %.6g: частинки не могли б рухатися. Найменша допустима енергія для цього "
                          "розташування: %.6g; інше розташування (новий запуск) потребує іншої.",
                          given, lowest, lowest);
            Halt(text);
            return false;
        }
    }
    return true;
}

double ParticleModel::StartPotentialEnergy() const
{
    double total = 0;
    for (int i = 1; i < NBalls; ++i)
        for (int j = 0; j < i; ++j) {
            double dx, dy, dz;
            PairDelta(Balls[i], Balls[j], dx, dy, dz);
            const double r2 = (dx * dx + dy * dy) + dz * dz;
            const double sig = Balls[i].TypeData.Radius + Balls[j].TypeData.Radius;
            if (!(r2 / (sig * sig) <= 16) || !(r2 > 0))
                continue;
            double u, f;
            SoftPotential(std::sqrt(r2), u, f);
            total += u;
        }
    return total;
}

void ParticleModel::InitBall(TBall& ball, int type, double x, double y, double z, double e)
{
    ball.X = x;
    ball.Y = y;
    ball.Z = z;
    ball.SpinAxis[0] = ball.SpinAxis[1] = ball.SpinAxis[2] = 0;
    ball.SpinRate = 0;
    for (int k = 0; k < 16; ++k)
        ball.Rotation[k] = (k % 5 == 0) ? 1.0f : 0.0f;
    constexpr double rad = 3.14159265358979323846 / 180.0;
    const double phi = double(RandomBelow(360)) * rad;
    const double theta = (double(RandomBelow(180)) - 90.0) * rad;
    const double speed = std::isnan(e) ? 0.11 : std::sqrt(2 * e / BallTypes[type].Mass);
    ball.Vh[0] = speed * std::cos(theta) * std::sin(phi);
    ball.Vh[1] = speed * std::sin(theta);
    ball.Vh[2] = speed * std::cos(theta) * std::cos(phi);
    // A particle starts without stale values from an earlier run.
    for (int k = 0; k < 3; ++k)
        ball.V[k] = ball.F[k] = 0;
    ball.U = ball.K = ball.PairVirial = 0;
    ball.BallType = type;
    ball.TypeData = BallTypes[type];
}

void ParticleModel::ResetStatistics()
{
    for (int t = 1; t <= 3; ++t) {
        BallTypes[t].SumBoltz = BallTypes[t].SumMV2 = BallTypes[t].SumU = BallTypes[t].SumVir = 0;
    }
    SumKTSquared = SumE = SumESquared = SumK = VirialSum = 0;
    FrameCounter = 0;
    EnergyUnit = Nan;
    EnergyHistogram.fill(0);
    fast_->DiscardHistogram();
    for (auto& row : PairHistogram)
        for (auto& cell : row)
            cell.fill(0);
}

// --- One step ----------------------------------------------------------------------

void ParticleModel::ClampCoordinate(double& coordinate, double limit)
{
    if (coordinate > limit)
        coordinate = limit;
    else if (coordinate < -limit)
        coordinate = -limit;
}

void ParticleModel::ScaleBallVelocity(TBall& ball, float factor)
{
    for (double& v : ball.Vh)
        v *= factor;
    ball.SpinRate *= factor;
}

void ParticleModel::ReflectAtWall(TBall& ball, int axis, double s)
{
    const double w = WallRestitution;
    double* v = ball.Vh;
    const int p = (axis + 1) % 3, q = (axis + 2) % 3;
    v[axis] = -s * std::fabs(v[axis]) * w;
    v[p] *= w;
    v[q] *= w;
    if (NoGraphicsRun || BatchMode)
        return;
    float* a = ball.SpinAxis;
    if (axis == 0) {
        a[0] = float(0.3 * a[0]);
        a[1] = float(0.3 * a[1] + s * v[2]);
        a[2] = float(0.3 * a[2] - s * v[1]);
    } else if (axis == 1) {
        a[0] = float(0.3 * a[0] - s * v[2]);
        a[1] = float(0.3 * a[1]);
        a[2] = float(0.3 * a[2] + s * v[0]);
    } else {
        a[0] = float(0.3 * a[0] + s * v[1]);
        a[1] = float(0.3 * a[1] - s * v[0]);
        a[2] = float(0.3 * a[2]);
    }
    ball.SpinRate = AxisLengthDegrees(a);
}

void ParticleModel::CollideWithWalls(TBall& ball)
{
    const double R = ball.TypeData.Radius;
    const double c[3] = {ball.X, ball.Y, ball.Z};
    for (int axis = 0; axis < 3; ++axis)
        if (std::fabs(c[axis]) + R + 1e-6 >= BoxL[axis])
            ReflectAtWall(ball, axis, Sign(c[axis]));
}

double ParticleModel::MinImage(double d, int axis) const
{
    const double L = BoxL[axis];
    if (std::fabs(d) > L) {
        const double twoL = 2 * L;
        d -= twoL * std::nearbyint(d / twoL);
    }
    return d;
}

void ParticleModel::PairDelta(const TBall& a, const TBall& b, double& dx, double& dy, double& dz) const
{
    dx = a.X - b.X;
    dy = a.Y - b.Y;
    dz = a.Z - b.Z;
    if (Periodic) {
        dx = MinImage(dx, 0);
        dy = MinImage(dy, 1);
        dz = MinImage(dz, 2);
    }
}

void ParticleModel::CountPairDistance(int typeI, int typeJ, double r)
{
    const double bin = std::nearbyint(r * (120.0 / BoxL[0]));
    if (bin >= 0 && bin <= 120) {  // false for NaN: never cast
        const int b = static_cast<int>(bin);
        ++PairHistogram[typeI][typeJ][b];
        ++PairHistogram[typeJ][typeI][b];
    }
}

void ParticleModel::SoftOverlapSpin(TBall& a, TBall& b, double ux, double uy, double uz)
{
    const double gx = a.Vh[0] - b.Vh[0], gy = a.Vh[1] - b.Vh[1], gz = a.Vh[2] - b.Vh[2];
    const double w[3] = {2 * Dt * (uy * gz - uz * gy), 2 * Dt * (uz * gx - ux * gz), 2 * Dt * (ux * gy - uy * gx)};
    for (TBall* p : {&a, &b}) {
        for (int k = 0; k < 3; ++k)
            p->SpinAxis[k] = float(0.5 * p->SpinAxis[k] + w[k]);
        p->SpinRate = AxisLengthDegrees(p->SpinAxis);
    }
}

void ParticleModel::SoftPair(TBall& a, TBall& b, double dx, double dy, double dz, double r2)
{
    if (!(r2 > 0))
        return;  // the same point: no direction, and u and f have no value
    const double r = std::sqrt(r2);
    const double e = std::exp(-PotentialB * r);
    const double r6 = r2 * r2 * r2;
    const double r7 = r6 * r;
    const double u = PotentialA * e - PotentialC / r6;
    const double f = PotentialA * PotentialB * e - 6 * PotentialC / r7;
    a.U += u;
    b.U += u;
    const double fr = f * r;
    StepVirial += fr;
    a.PairVirial += 0.5 * fr;
    b.PairVirial += 0.5 * fr;
    const double ux = dx / r, uy = dy / r, uz = dz / r;
    a.F[0] += f * ux;
    a.F[1] += f * uy;
    a.F[2] += f * uz;
    b.F[0] -= f * ux;
    b.F[1] -= f * uy;
    b.F[2] -= f * uz;
    if (!NoGraphicsRun && !BatchMode) {
        const double sig = a.TypeData.Radius + b.TypeData.Radius;
        if (r2 <= sig * sig)
            SoftOverlapSpin(a, b, ux, uy, uz);
    }
}

void ParticleModel::PairInteraction(TBall& i, TBall& j)
{
    double dx, dy, dz;
    PairDelta(i, j, dx, dy, dz);
    const double r2 = (dx * dx + dy * dy) + dz * dz;
    if (!BatchMode)
        CountPairDistance(i.BallType, j.BallType, std::sqrt(r2));
    const double sig = i.TypeData.Radius + j.TypeData.Radius;
    if (!(r2 / (sig * sig) <= 16))
        return;  // beyond 4 sigma (or no distance at all)
    if (InteractionOn)
        SoftPair(i, j, dx, dy, dz, r2);
}

void ParticleModel::FoldIntoBox(TBall& ball)
{
    double* pos[3] = {&ball.X, &ball.Y, &ball.Z};
    for (int k = 0; k < 3; ++k) {
        const double L = BoxL[k];
        double& c = *pos[k];
        if (Periodic) {
            if (std::fabs(c) > L) {  // any displacement comes back into the box
                c -= 2 * L * std::nearbyint(c / (2 * L));
                ClampCoordinate(c, L);
            }
        } else {
            ClampCoordinate(c, L - ball.TypeData.Radius);
        }
    }
}

namespace {

// The first time at which y = y0 + w t + alpha t^2 / 2 reaches the wall at
// distance D = limit - y0 (moving outwards at it, when already there), or -1
// when it does not within the time left.
double TimeToWall(double D, double w, double alpha, double left)
{
    double tau = -1;
    if (D < 0) {
        tau = w > 0 ? 0 : -1;
    } else if (alpha == 0) {
        tau = w > 0 ? D / w : -1;
    } else {
        const double disc = w * w + 2 * alpha * D;
        if (disc >= 0) {
            const double q = -0.5 * (w + (w >= 0 ? std::sqrt(disc) : -std::sqrt(disc)));
            const double roots[2] = {q / (0.5 * alpha), q != 0 ? -D / q : -1};
            for (double r : roots)
                if ((r > 0 || (r == 0 && w > 0)) && (tau < 0 || r < tau))
                    tau = r;
        }
    }
    return tau <= left ? tau : -1;
}

} // namespace

void ParticleModel::IntegrateBall(TBall& ball)
{
    const double m = ball.TypeData.Mass;
    const double acc[3] = {ball.F[0] / m, ball.F[1] / m - Gravity, ball.F[2] / m};
    double* pos[3] = {&ball.X, &ball.Y, &ball.Z};
    for (int k = 0; k < 3; ++k) {
        const double delta = (acc[k] - Xi * ball.V[k]) * Dt;
        ball.V[k] = ball.Vh[k] + delta / 2;
        ball.Vh[k] += delta;
        const double limit = BoxL[k] - ball.TypeData.Radius;
        double& c = *pos[k];
        const double end = c + Dt * ball.Vh[k];
        if (Periodic || !(std::fabs(end) > limit && limit > 0)) {
            c = end;
            continue;
        }
        // The step's motion along the axis is x(t) = c + v t + a t^2 / 2
        // with the full-step velocity v and the step's acceleration a (the
        // leapfrog's move is this curve's end). It bounces where the curve
        // meets the wall, and goes on from there under the same a; the
        // half-step velocity is the curve's end velocity less a Dt / 2.
        const double a = delta / Dt;
        double x = c, u = ball.V[k], t = 0;
        for (int bounce = 0; bounce < 8; ++bounce) {
            const double rest = Dt - t;
            const double xe = x + u * rest + 0.5 * a * rest * rest;
            if (!(std::fabs(xe) > limit))
                break;
            const double s = xe > 0 ? 1.0 : -1.0;
            const double tau = TimeToWall(limit - s * x, s * u, s * a, rest);
            if (!(tau >= 0))
                break;  // outside already (a smaller box) and moving in: the clamp takes it
            t += tau;
            x = s * limit;
            u += a * tau;
            ball.Vh[k] = u;
            ReflectAtWall(ball, k, s);
            u = ball.Vh[k];
            // Pressed against this wall, the particle rises and falls back in
            // a fixed time 2 |u| / |a|: whole rounds end where they began.
            if (s * a > 0 && u * u < 4 * s * a * limit) {
                const double round = 2 * std::fabs(u) / std::fabs(a);
                if (round > 0 && round < Dt - t)
                    t = Dt - std::fmod(Dt - t, round);
            }
        }
        const double rest = Dt - t;
        if (rest > 0) {
            x += u * rest + 0.5 * a * rest * rest;
            u += a * rest;
        }
        c = x;
        ball.Vh[k] = u - 0.5 * delta;
    }
    FoldIntoBox(ball);
}

void ParticleModel::ZeroForces()
{
    for (int i = 0; i < NBalls; ++i) {
        TBall& b = Balls[i];
        b.U = 0;
        b.F[0] = b.F[1] = b.F[2] = 0;
        b.PairVirial = 0;
    }
}

void ParticleModel::RunPairLoop()
{
    StepVirial = 0;
    if (!InteractionOn)
        events_->BeginCandidates();
    if (kernel_ == Kernel::Fast) {
        fast_->Run();
        return;
    }
    if (!InteractionOn)
        events_->WatchEveryPair();
    for (int i = 1; i < NBalls; ++i)
        for (int j = 0; j < i; ++j)
            PairInteraction(Balls[i], Balls[j]);
}

void ParticleModel::HardSpheresStep()
{
    // Without forces the kick is gravity's (and the friction's, should a
    // thermostat's Xi be left over); the flight then moves every sphere
    // along straight lines from collision to collision.
    for (int i = 0; i < NBalls; ++i) {
        TBall& b = Balls[i];
        const double m = b.TypeData.Mass;
        const double acc[3] = {b.F[0] / m, b.F[1] / m - Gravity, b.F[2] / m};
        for (int k = 0; k < 3; ++k) {
            kick_[i][k] = (acc[k] - Xi * b.V[k]) * Dt;
            b.Vh[k] += kick_[i][k];
        }
    }
    RunPairLoop();
    events_->Fly();
    for (int i = 0; i < NBalls; ++i) {
        TBall& b = Balls[i];
        for (int k = 0; k < 3; ++k)
            b.V[k] = b.Vh[k] - kick_[i][k] / 2;
        FoldIntoBox(b);
    }
}

void ParticleModel::Halt(const std::string& why)
{
    Halted = true;
    HaltMessage = why;
    ShowMessage(SetupCaption, why);
}

void ParticleModel::UndoStep()
{
    for (int i = 0; i < NBalls; ++i) {
        TBall& b = Balls[i];
        const Snapshot& s = snapshot_[i];
        b.X = s.X;
        b.Y = s.Y;
        b.Z = s.Z;
        for (int k = 0; k < 3; ++k) {
            b.V[k] = s.V[k];
            b.Vh[k] = s.Vh[k];
            b.F[k] = 0;
        }
        b.U = b.PairVirial = 0;
    }
}

std::string ParticleModel::SoftRunInsane(double kineticKT) const
{
    // The soft potential has no core: a pair that passes the top of its
    // barrier falls together without limit, and the energy it frees heats
    // the rest. Both signs are caught at the first step that shows them.
    const TBarrier barrier = SoftBarrier();
    char text[1000];
    if (kineticKT > barrier.Height) {
        std::snprintf(text, sizeof text,
                      "Кінетична температура kT = %.4g перевищила висоту бар'єра парного потенціалу (%.3f): "
                      "частинки долають його і, оскільки потенціал не має відштовхувального ядра, злипаються. "
                      "Останній крок скасовано, розрахунок зупинено (кадр %llu).",
                      kineticKT, barrier.Height, static_cast<unsigned long long>(FrameCounter + 1));
        return text;
    }
    for (int i = 0; i < NBalls; ++i)
        if (Balls[i].U < FallenEnergy) {
            std::snprintf(text, sizeof text,
                          "Частинка %d підійшла до іншої ближче за бар'єр парного потенціалу (r = %.2f) і, оскільки "
                          "потенціал не має відштовхувального ядра, падає в нього (її потенціальна енергія %.4g). "
                          "Останній крок скасовано, розрахунок зупинено (кадр %llu).",
                          i + 1, barrier.R, Balls[i].U, static_cast<unsigned long long>(FrameCounter + 1));
            return text;
        }
    return {};
}

bool ParticleModel::Step()
{
    const int n = NBalls;
    for (int i = 0; i < n; ++i) {
        const TBall& b = Balls[i];
        Snapshot& s = snapshot_[i];
        s.X = b.X;
        s.Y = b.Y;
        s.Z = b.Z;
        for (int k = 0; k < 3; ++k) {
            s.V[k] = b.V[k];
            s.Vh[k] = b.Vh[k];
        }
    }
    for (int i = 0; i < n; ++i)
        if (!Periodic && !InteractionOn)
            CollideWithWalls(Balls[i]);
    ZeroForces();
    if (InteractionOn) {
        RunPairLoop();
        for (int i = 0; i < n; ++i)
            IntegrateBall(Balls[i]);
    } else {
        HardSpheresStep();
    }

    // The step's sums, kept aside until every value is known to be finite.
    double W = 0;
    double mv2[4] = {0, 0, 0, 0}, u[4] = {0, 0, 0, 0}, boltz[4] = {0, 0, 0, 0}, vir[4] = {0, 0, 0, 0};
    const bool boltzmann = Finite(TargetKT) && TargetKT > 0;
    bool finite = Finite(StepVirial);
    for (int i = 0; i < n && finite; ++i) {
        const TBall& b = Balls[i];
        const double w = b.TypeData.Mass * ((b.V[0] * b.V[0] + b.V[1] * b.V[1]) + b.V[2] * b.V[2]);
        const double check = b.X + b.Y + b.Z + b.Vh[0] + b.Vh[1] + b.Vh[2] + w + b.U + b.PairVirial;
        if (!Finite(check)) {
            finite = false;
            break;
        }
        const int t = b.BallType;
        W += w;
        mv2[t] += w;
        u[t] += b.U;
        vir[t] += b.PairVirial;
        if (boltzmann)
            boltz[t] += std::exp(-(b.U + w) / (2 * TargetKT));
    }
    double xi = Xi;
    if (finite && Ensemble == TEnsemble::NVT && Finite(SysT)) {
        xi += (Dt / ThermostatQ) * (W - 3 * n * SysT);
        finite = Finite(xi);
    }
    std::string why;
    char text[1000];
    if (!finite) {
        std::snprintf(text, sizeof text,
                      "Стан частинок перестав бути скінченним (кадр %llu); останній крок скасовано, розрахунок "
                      "зупинено.",
                      static_cast<unsigned long long>(FrameCounter + 1));
        why = text;
    } else if (InteractionOn) {
        why = SoftRunInsane(W / (3 * n));
    }
    if (!why.empty()) {
        UndoStep();
        Halt(why);
        return false;
    }
    for (int t = 1; t <= 3; ++t) {
        BallTypes[t].SumMV2 += mv2[t];
        BallTypes[t].SumU += u[t];
        BallTypes[t].SumBoltz += boltz[t];
        BallTypes[t].SumVir += vir[t];
    }
    VirialSum += StepVirial;
    Xi = xi;
    return true;
}

double ParticleModel::FrameKinetic()
{
    double K = 0;
    for (int i = 0; i < NBalls; ++i) {
        TBall& b = Balls[i];
        b.K = 0.5 * b.TypeData.Mass * ((b.V[0] * b.V[0] + b.V[1] * b.V[1]) + b.V[2] * b.V[2]);
        K += b.K;
    }
    return K;
}

bool ParticleModel::DoSteps()
{
    if (Halted || NBalls <= 0)
        return false;
    bool stepped = true;
    for (int s = 0; s < StepsPerFrame && stepped; ++s)
        stepped = Step();
    fast_->FlushHistogram();
    if (!stepped)
        return false;

    double K = FrameKinetic();
    double U = 0;
    for (int i = 0; i < NBalls; ++i)
        U += Balls[i].U;
    U *= 0.5;

    FrameRescale = 1;
    auto rescale = [&](double f) {
        FrameRescale = f;
        for (int i = 0; i < NBalls; ++i) {
            TBall& b = Balls[i];
            for (double& v : b.Vh)
                v *= f;
            b.K *= f * f;
        }
        K = 0;
        for (int i = 0; i < NBalls; ++i)
            K += Balls[i].K;
    };
    // A frame without kinetic energy (or without a target) is not rescaled.
    if (Ensemble == TEnsemble::NVE && Finite(TotalEnergy) && K > 0)
        rescale(std::sqrt(std::max(TotalEnergy - U, 0.0) / K));
    ++FrameCounter;
    if (Ensemble == TEnsemble::NVK) {
        if (Finite(TargetKT) && TargetKT >= 0 && K > 0)
            rescale(std::sqrt(1.5 * NBalls * TargetKT / K));
        SumK += K;
    } else {
        SumK += K;
        TargetKT = (2.0 / 3.0) * SumK / NBalls / double(FrameCounter);
    }
    // NVE holds its energy: a frame whose U exceeds it stops the particles,
    // and the run goes on at that energy instead of taking U as its new one.
    if (!(Ensemble == TEnsemble::NVE && Finite(TotalEnergy)))
        TotalEnergy = K + U;
    SumE += TotalEnergy;
    FrameK = K;
    FrameU = U;
    if (!Finite(TotalEnergy)) {
        Halt("Енергія частинок перестала бути скінченною; розрахунок зупинено.");
        return false;
    }
    if (BatchMode)
        return true;

    if (FrameCounter == 10)
        EnergyUnit = SumK / NBalls / double(FrameCounter);
    if (FrameCounter >= 10) {
        for (int i = 0; i < NBalls; ++i) {
            const double bin = std::nearbyint(Balls[i].K / EnergyUnit * 32);
            // NaN and infinities fail both tests and go to the overflow bin.
            if (bin >= 0 && bin <= 96)
                ++EnergyHistogram[static_cast<int>(bin)];
            else
                ++EnergyHistogram[97];
        }
    }
    if (Ensemble == TEnsemble::NoI || Ensemble == TEnsemble::NVE) {
        const double kt = (2.0 / 3.0) * K / NBalls;
        SumKTSquared += kt * kt;
    } else {
        SumESquared += TotalEnergy * TotalEnergy;
    }
    return true;
}

// --- Commands ----------------------------------------------------------------------

bool ParticleModel::SetEnsemble(TEnsemble ensemble)
{
    if (ensemble != TEnsemble::NoI && !InteractionOn) {
        const std::string why = PairInsideBarrier();
        if (!why.empty()) {
            ShowMessage(SetupCaption, why);
            return false;
        }
    }
    if (ensemble == TEnsemble::NVT && !(Finite(SysT) && SysT >= 0)) {
        if (!(Finite(TargetKT) && TargetKT > 0))
            return false;
        SysT = TargetKT;
    }
    Xi = 0;
    Ensemble = ensemble;
    InteractionOn = ensemble != TEnsemble::NoI;
    return true;
}

std::string ParticleModel::PairInsideBarrier() const
{
    const double rb = SoftBarrier().R;
    for (int i = 1; i < NBalls; ++i)
        for (int j = 0; j < i; ++j) {
            double dx, dy, dz;
            PairDelta(Balls[i], Balls[j], dx, dy, dz);
            const double r2 = (dx * dx + dy * dy) + dz * dz;
            if (r2 < rb * rb) {
                char text[1000];
                std::snprintf(text, sizeof text,
                              "Частинки %d і %d на відстані %.3g, ближче за бар'єр парного потенціалу (r = %.2f); "
                              "оскільки потенціал не має відштовхувального ядра, вони злиплися б. Розрахунок триває "
                              "без взаємодії: задайте частинкам радіуси щонайменше %.2f або дайте їм більше місця.",
                              j + 1, i + 1, std::sqrt(r2), rb, rb / 2);
                return text;
            }
        }
    return {};
}

void ParticleModel::Accelerate()
{
    switch (Ensemble) {
    case TEnsemble::NVE: TotalEnergy += 0.01; break;
    case TEnsemble::NVK: TargetKT *= 1.1; break;
    case TEnsemble::NVT: SysT *= 1.1; break;
    default:
        for (int i = 0; i < NBalls; ++i)
            ScaleBallVelocity(Balls[i], 1.1f);
    }
}

void ParticleModel::Decelerate()
{
    switch (Ensemble) {
    case TEnsemble::NVE: TotalEnergy -= 0.01; break;
    case TEnsemble::NVK: TargetKT /= 1.1; break;
    case TEnsemble::NVT: SysT /= 1.1; break;
    default:
        for (int i = 0; i < NBalls; ++i)
            ScaleBallVelocity(Balls[i], 0.9090909f);
    }
}

void ParticleModel::ToggleGravity()
{
    GravityOn = !GravityOn;
    ApplyGravitySetting();
}

void ParticleModel::ScaleGravity(double factor) { Gravity *= factor; }

void ParticleModel::ChangeVolume(bool larger)
{
    for (double& L : BoxL)
        L = larger ? L / 0.99 : L * 0.99;
    BoxVolume = 8 * BoxL[0] * BoxL[1] * BoxL[2];
}

void ParticleModel::FlattenOnto(int axis, double level)
{
    // Pressed into one plane, a dense layer could never come apart (every
    // push between its spheres lies in the plane), and a sphere set inside
    // another or beyond a wall is pushed back by the next step onto others.
    // So each sphere moves along the axis only, towards the plane, to the
    // free height nearest it among the others where they stand: where it
    // stood is free, so no sphere comes inside another or leaves the box.
    // Those nearest the plane move first, and the rounds repeat while the
    // spheres move up into the room others left, from both sides. Soft
    // particles keep at least the potential's barrier apart: set into one
    // plane, pairs would come inside it and fall together.
    const double barrier = SoftBarrier().R;
    auto height = [axis](const TBall& b) { return axis == 0 ? b.X : axis == 1 ? b.Y : b.Z; };
    // Where the plane lies for a sphere: within reach of its centre.
    auto targetOf = [&](const TBall& b) {
        if (Periodic)
            return MinImage(level, axis);
        const double limit = std::max(0.0, BoxL[axis] - b.TypeData.Radius);
        return std::clamp(level, -limit, limit);
    };
    auto along = [&](double from, double to) { return Periodic ? MinImage(to - from, axis) : to - from; };
    auto offset = [&](int i) { return std::fabs(along(targetOf(Balls[i]), height(Balls[i]))); };
    for (int i = 0; i < NBalls; ++i) {
        FoldIntoBox(Balls[i]);
        Balls[i].Vh[axis] = 0;
        order_[i] = i;
    }
    std::sort(order_.begin(), order_.begin() + NBalls, [&](int a, int b) { return offset(a) < offset(b); });

    bool moved = true;
    for (int round = 0; round < FlattenRounds && moved; ++round) {
        moved = false;
        for (int k = 0; k < NBalls; ++k) {
            TBall& b = Balls[order_[k]];
            const double target = targetOf(b);
            const double own = along(target, height(b));
            // The others in this sphere's way along the axis, and how far
            // each keeps it.
            int count = 0;
            for (int j = 0; j < NBalls; ++j) {
                if (j == order_[k])
                    continue;
                const TBall& o = Balls[j];
                double d[3];
                PairDelta(b, o, d[0], d[1], d[2]);
                d[axis] = 0;
                const double h2 = (d[0] * d[0] + d[1] * d[1]) + d[2] * d[2];
                const double sigma = b.TypeData.Radius + o.TypeData.Radius;
                const double apart = InteractionOn ? std::max(sigma, barrier) : sigma;
                if (h2 < apart * apart)
                    held_[count++] = {height(o), std::sqrt(apart * apart - h2)};
            }
            // Between the plane and where the sphere stands, the nearest
            // free height is the plane or lies just beyond the reach of one
            // in the way. A sphere that already stood inside another (a
            // smaller box, an added particle, soft spheres) may find none:
            // it stays until the others make room, and comes no nearer to
            // any than it was.
            double best = height(b), bestDistance = Inf;
            auto consider = [&](double c) {
                if (Periodic)
                    c = MinImage(c, axis);
                const double u = along(target, c);
                if (!(std::fabs(u) < bestDistance) || (own >= 0 ? u < 0 || u > own : u > 0 || u < own))
                    return;
                for (int j = 0; j < count; ++j)
                    if (std::fabs(along(held_[j][0], c)) < held_[j][1])
                        return;
                best = c;
                bestDistance = std::fabs(u);
            };
            consider(target);
            for (int j = 0; j < count && bestDistance > 0; ++j)
                for (double side : {-1.0, 1.0})
                    consider(held_[j][0] + side * held_[j][1] * (1 + 1e-12));
            consider(height(b));
            moved = moved || best != height(b);
            (axis == 0 ? b.X : axis == 1 ? b.Y : b.Z) = best;
        }
    }
}

void ParticleModel::FlattenToXY() { FlattenOnto(1, -2.0); }

void ParticleModel::FlattenToXZ() { FlattenOnto(2, 2.0); }

bool ParticleModel::RemoveLastParticle()
{
    if (NBalls <= 1)
        return false;
    const int t = Balls[NBalls - 1].BallType;
    if (t >= 1 && t <= 3 && BallTypes[t].N > 0)
        --BallTypes[t].N;
    --NBalls;
    UpdateTotals();
    return true;
}

bool ParticleModel::AddParticle()
{
    if (NBalls >= MaxBalls)
        return false;
    InitBall(Balls[NBalls], 1, 0, 0, 0, Nan);
    ++NBalls;
    ++BallTypes[1].N;
    UpdateTotals();
    return true;
}

} // namespace ferrolyt::particles
