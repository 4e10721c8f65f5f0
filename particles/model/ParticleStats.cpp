#include "ParticleStats.h"

#include "ParticleFormat.h"

#include <cmath>
#include <cstdio>

namespace ferrolyt::particles {

namespace {

constexpr double Pi = 3.14159265358979323846;

std::uint64_t StepsOf(const ParticleModel& m)
{
    return m.FrameCounter * static_cast<std::uint64_t>(m.StepsPerFrame < 0 ? 0 : m.StepsPerFrame);
}

// The status texts' numbers: "–" where a quantity has no value.
std::string G3(double v) { return ShownOrNoValue(v, FormatGeneral(v, 3, 4), 4); }
std::string G4(double v) { return ShownOrNoValue(v, FormatGeneral(v, 4)); }
std::string UpTo4(double v) { return ShownOrNoValue(v, FormatUpTo(v, 4)); }
std::string Fixed5(double v) { return ShownOrNoValue(v, FormatFixed(v, 5)); }

} // namespace

double TypePressure(const ParticleModel& m, int t)
{
    const double D = 3 * m.BoxVolume * double(StepsOf(m));
    return (m.BallTypes[t].SumMV2 + m.BallTypes[t].SumVir) / D;
}

double TypeChemicalPotential(const ParticleModel& m, int t, double pressure)
{
    const std::int64_t n = m.BallTypes[t].N;
    const std::uint64_t NS = static_cast<std::uint64_t>(n < 0 ? 0 : n) * StepsOf(m);
    return -std::log(m.BallTypes[t].SumBoltz / double(NS)) + pressure * m.BoxVolume / (m.TargetKT * double(n));
}

TStatistics ComputeStatistics(const ParticleModel& m)
{
    TStatistics s;
    s.Steps = StepsOf(m);
    s.Pressure = 0;
    for (int t = 1; t <= 3; ++t) {
        s.P[t] = TypePressure(m, t);
        s.Pressure += s.P[t];
    }
    for (int t = 1; t <= 3; ++t)
        s.Mu[t] = TypeChemicalPotential(m, t, s.P[t]);
    s.PackingFraction = m.SpheresVolume / m.BoxVolume;
    s.MassDensity = m.TotalMass / m.BoxVolume;
    const double F = double(m.FrameCounter);
    const double kt2 = m.TargetKT * m.TargetKT;
    if (m.Ensemble == TEnsemble::NoI || m.Ensemble == TEnsemble::NVE)
        s.HeatCapacity = 1 / (2.0 / 3.0 - (m.SumKTSquared / F / kt2 - 1) * m.NBalls);
    else
        s.HeatCapacity = (m.SumESquared / F - (m.SumE / F) * (m.SumE / F)) / kt2 / m.NBalls;
    s.MeanEnergy = m.SumE / F;
    return s;
}

TStatusTexts StatisticsTick(ParticleModel& m, std::uint32_t framesDrawn)
{
    const TStatistics s = ComputeStatistics(m);
    m.Pressure = s.Pressure;
    TStatusTexts t;
    auto bar1 = [&](int panel, std::string text) {
        t.Bar1[panel] = std::move(text);
        t.Bar1Set[panel] = true;
    };
    auto bar2 = [&](int panel, std::string text) {
        t.Bar2[panel] = std::move(text);
        t.Bar2Set[panel] = true;
    };
    bar1(0, " Fps " + std::to_string(framesDrawn));
    bar1(5, " N = " + std::to_string(m.NBalls));
    bar1(6, " Mui = " + G3(s.Mu[1]) + " " + G3(s.Mu[2]) + " " + G3(s.Mu[3]));
    bar1(7, " P, V, kT = " + G3(s.Pressure) + " " + G3(m.BoxVolume) + " " + G3(m.TargetKT));
    bar1(8, m.Periodic ? " Periodic" : "");
    bar2(0, std::string(" ") + EnsembleNames[static_cast<int>(m.Ensemble) & 3]);
    bar2(1, " Pi = " + G3(s.P[1]) + " " + G3(s.P[2]) + " " + G3(s.P[3]));
    bar2(2, " Rho(V) = " + UpTo4(s.PackingFraction));
    bar2(3, " Rho(m) = " + UpTo4(s.MassDensity));
    bar2(4, " Cv/k = " + G4(s.HeatCapacity));
    bar2(6, " <E> = " + G4(s.MeanEnergy));
    bar2(7, " Cnt = " + std::to_string(m.FrameCounter));
    return t;
}

std::array<std::string, 3> FrameTexts(const ParticleModel& m)
{
    return {" K " + Fixed5(m.FrameK), " U " + Fixed5(m.FrameU), " E " + Fixed5(m.TotalEnergy)};
}

std::string CameraText(double x, double y, double z, int azimuth, int slope)
{
    char buf[160];
    std::snprintf(buf, sizeof buf, " X %4.1f  Y %4.1f  Z %4.1f  Azi %d  Slp %d", x, y, z, azimuth, slope);
    return buf;
}

TEnergyChart EnergyChart(const ParticleModel& m)
{
    TEnergyChart c;
    double total = 0;
    for (std::int64_t n : m.EnergyHistogram)
        total += double(n);
    const double w = m.EnergyUnit / 32;
    const double kT = m.TargetKT;
    for (int i = 0; i <= 96; ++i) {
        const double x = i * w;
        const double px = i == 0 ? double(static_cast<float>(w / 4)) : x;
        const double py = double(m.EnergyHistogram[i]) / (total * w);
        if (std::isfinite(px) && std::isfinite(py))
            c.Points.push_back({px, py});
        const double my = 2 * std::sqrt(x / (Pi * kT)) * std::exp(-x / kT) / kT;
        if (std::isfinite(x) && std::isfinite(my))
            c.Maxwell.push_back({x, my});
    }
    return c;
}

std::vector<ChartPoint> PairCorrelationChart(const ParticleModel& m, int a, int b)
{
    std::vector<ChartPoint> points;
    // A type without particles has no pair correlation (not one of 0).
    if (a < 1 || a > 3 || b < 1 || b > 3 || m.BallTypes[a].N <= 0 || m.BallTypes[b].N <= 0)
        return points;
    const double dr = m.BoxL[0] / 120;
    const double S = double(StepsOf(m));
    const double norm = S * (4 * Pi / 3) * double(m.BallTypes[a].N) * double(m.BallTypes[b].N) / m.BoxVolume + 1e-10;
    for (int k = 5; k <= 120; ++k) {
        const double r = k * dr + 1e-10;
        const double rp = r + dr / 2, rm = r - dr / 2;
        const double g = double(m.PairHistogram[a][b][k]) / (norm * (rp * rp * rp - rm * rm * rm));
        if (std::isfinite(r) && std::isfinite(g))
            points.push_back({r, g});
    }
    return points;
}

} // namespace ferrolyt::particles
