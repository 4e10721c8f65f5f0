#pragma once
// What the particle windows show, as plain functions of a model: the
// statistics of the status bars, the per-frame energy texts and the points
// of the two charts. The windows only display the results.

#include "ParticleModel.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace ferrolyt::particles {

struct TStatistics {
    std::uint64_t Steps = 0;        // S = FrameCounter x StepsPerFrame (64-bit)
    std::array<double, 4> P{};      // per-type pressure [1..3]
    double Pressure = 0;            // P1 + P2 + P3
    std::array<double, 4> Mu{};     // per-type chemical potential [1..3]
    double PackingFraction = 0;     // SpheresVolume / BoxVolume
    double MassDensity = 0;         // TotalMass / BoxVolume
    double HeatCapacity = 0;        // Cv/k per particle
    double MeanEnergy = 0;          // SumE / FrameCounter
};

// The statistics of the sums accumulated since the last reset. Quantities
// without a finite value (no frame yet, a type without particles) are NaN
// or infinite.
TStatistics ComputeStatistics(const ParticleModel& model);

// The per-type pressure and chemical potential of type t from the sums, as
// the statistics and the batch table both use them.
double TypePressure(const ParticleModel& model, int t);
double TypeChemicalPotential(const ParticleModel& model, int t, double pressure);

// The texts of one statistics tick of the 3D window: the panels of the two
// status bars that the tick writes (the others are left empty with their
// Set flag false). Also writes model.Pressure.
struct TStatusTexts {
    std::array<std::string, 9> Bar1, Bar2;
    std::array<bool, 9> Bar1Set{}, Bar2Set{};
};
TStatusTexts StatisticsTick(ParticleModel& model, std::uint32_t framesDrawn);

// Panels 2, 3 and 4 of the first status bar after a frame: " K ", " U ", " E ".
std::array<std::string, 3> FrameTexts(const ParticleModel& model);

// Panel 1 of the first status bar: the camera.
std::string CameraText(double x, double y, double z, int azimuth, int slope);

struct ChartPoint {
    double x, y;
};

// The kinetic-energy distribution (points) and the Maxwell density (line),
// bins 0..96; points without a finite value are left out.
struct TEnergyChart {
    std::vector<ChartPoint> Points, Maxwell;
};
TEnergyChart EnergyChart(const ParticleModel& model);

// The pair correlation g(r) of types a and b (1..3), bins 5..120; points
// without a finite value are left out, and a type without particles has
// none.
std::vector<ChartPoint> PairCorrelationChart(const ParticleModel& model, int a, int b);

// Captions and axis titles of the chart window's two tabs.
inline constexpr const char* EnergyChartCaption = "Плотность распределения кинетической энергии";
inline constexpr const char* EnergyChartLeftAxis = "Плотность распределения";
inline constexpr const char* EnergyChartBottomAxis = "Энергия частиц, ед. kT";
inline constexpr const char* PairChartCaption = "Парные коррелятивные функции распределения плотности g(r)";
inline constexpr const char* PairChartLeftAxis = "Плотность распределения g(r)";
inline constexpr const char* PairChartBottomAxis = "Расстояние от центра частицы, r";

} // namespace ferrolyt::particles
