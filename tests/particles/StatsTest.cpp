#include "ParticleFormat.h"
#include "ParticleModel.h"
#include "ParticleStats.h"
#include "ParticleTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace ferrolyt::particles;
using ferrolyt::particles::testing::Measure;
using ferrolyt::particles::testing::Model;
using ferrolyt::particles::testing::OneType;
using ferrolyt::particles::testing::SoftGas;

TEST(Format, GeneralFixedAndUpTo)
{
    EXPECT_EQ(FormatGeneral(0.05, 6, 6), "  0.05");
    EXPECT_EQ(FormatGeneral(123456789, 6), "1.23457E+8");
    EXPECT_EQ(FormatGeneral(0.000012345, 3), "0.0000123");
    EXPECT_EQ(FormatGeneral(0.0000012345, 3), "1.23E-6");
    EXPECT_EQ(FormatGeneral(0.00012345, 3), "0.000123");
    EXPECT_EQ(FormatGeneral(2.0, 4), "2");
    EXPECT_EQ(FormatGeneral(-1.5, 3, 4), "-1.5");
    EXPECT_EQ(FormatGeneral(99999.95, 6), "99999.9");  // to nearest of the binary value
    EXPECT_EQ(FormatGeneral(999999.5, 6), "1E+6");
    EXPECT_EQ(FormatGeneral(NAN, 3, 4), " NAN");
    EXPECT_EQ(FormatGeneral(-INFINITY, 6), "-INF");
    EXPECT_EQ(FormatGeneral(0.0, 6, 6), "     0");
    EXPECT_EQ(FormatFixed(0.225, 5), "0.22500");
    EXPECT_EQ(FormatUpTo(0.12345678, 4), "0.1235");
    EXPECT_EQ(FormatUpTo(2.5, 4), "2.5");
    EXPECT_EQ(FormatUpTo(3.0, 2), "3");
    EXPECT_EQ(FormatUpTo(-0.00001, 4), "0");
}

TEST(Statistics, StatusTextsOfATick)
{
    Model m;
    SoftGas(*m, TEnsemble::NVK);
    m->Periodic = true;
    ASSERT_TRUE(m->SetupParticles());
    for (int f = 0; f < 5; ++f)
        ASSERT_TRUE(m->DoSteps());
    const TStatusTexts t = StatisticsTick(*m, 37);
    EXPECT_EQ(t.Bar1[0], " Fps 37");
    EXPECT_EQ(t.Bar1[5], " N = 30");
    EXPECT_EQ(t.Bar1[8], " Periodic");
    EXPECT_EQ(t.Bar2[0], " NVK");
    EXPECT_EQ(t.Bar2[7], " Cnt = 5");
    EXPECT_EQ(t.Bar1[7].rfind(" P, V, kT = ", 0), 0u);
    EXPECT_NE(t.Bar1[7].find("8E+3 0.005"), std::string::npos) << t.Bar1[7];
    EXPECT_EQ(t.Bar2[2].rfind(" Rho(V) = 0.0", 0), 0u) << t.Bar2[2];
    EXPECT_FALSE(t.Bar1Set[1]);  // the camera's panel
    EXPECT_FALSE(t.Bar2Set[5]);
    EXPECT_EQ(m->Pressure, ComputeStatistics(*m).Pressure);
    // Type 3 has no particles: P3 = 0 and mu3 has no value.
    EXPECT_EQ(ComputeStatistics(*m).P[3], 0);
    EXPECT_NE(t.Bar1[6].find("–"), std::string::npos) << t.Bar1[6];
    const auto frame = FrameTexts(*m);
    EXPECT_EQ(frame[0], " K 0.22500");
    EXPECT_EQ(frame[1].rfind(" U ", 0), 0u);
    EXPECT_EQ(CameraText(0, 0, 14, 0, -2), " X  0.0  Y  0.0  Z 14.0  Azi 0  Slp -2");
}

TEST(Statistics, QuantitiesWithoutAValueShowADash)
{
    // Type 3 has no particles; before the first frame no quotient has a value.
    for (auto [frames, mui] : {std::pair{5, "    –"}, {0, " Mui =    –    –    –"}}) {
        SCOPED_TRACE(::testing::Message() << frames << " frames");
        Model m;
        SoftGas(*m, TEnsemble::NVK);
        ASSERT_NO_FATAL_FAILURE(Measure(*m, frames, 0));
        const TStatusTexts t = StatisticsTick(*m, 0);
        std::vector<std::string> texts(t.Bar1.begin(), t.Bar1.end());
        texts.insert(texts.end(), t.Bar2.begin(), t.Bar2.end());
        for (const std::string& text : FrameTexts(*m))
            texts.push_back(text);
        for (const std::string& text : texts)
            EXPECT_TRUE(text.find("NAN") == text.npos && text.find("INF") == text.npos) << text;
        EXPECT_TRUE(t.Bar1[6].ends_with(mui)) << t.Bar1[6];
        EXPECT_TRUE(PairCorrelationChart(*m, 1, 3).empty());
        EXPECT_TRUE(PairCorrelationChart(*m, 3, 3).empty());
    }
}

TEST(Statistics, EnergyChartIntegratesToTheCountedShare)
{
    Model m;
    OneType(*m, 125, 0.35, 2.4);  // dense enough to be Maxwellian after the settling
    m->SysT = 0.01;
    ASSERT_NO_FATAL_FAILURE(Measure(*m, 300, 300));
    const TEnergyChart c = EnergyChart(*m);
    ASSERT_EQ(c.Points.size(), 97u);
    ASSERT_EQ(c.Maxwell.size(), 97u);
    const double w = m->EnergyUnit / 32;
    double area = 0, total = 0;
    for (const ChartPoint& p : c.Points)
        area += p.y * w;
    for (std::int64_t n : m->EnergyHistogram)
        total += double(n);
    EXPECT_NEAR(area, 1 - m->EnergyHistogram[97] / total, 1e-12);
    EXPECT_EQ(c.Points[0].x, double(float(w / 4)));
    EXPECT_EQ(c.Maxwell[0].y, 0);
    // The Maxwell density integrates to about 1 over 0..3 EnergyUnit (about 4.5 kT).
    double maxwell = 0;
    for (const ChartPoint& p : c.Maxwell)
        maxwell += p.y * w;
    EXPECT_NEAR(maxwell, 0.94, 0.03);
    // The gas's energies follow the Maxwell-Boltzmann distribution (Reif,
    // Fundamentals of Statistical and Thermal Physics, 1965, sec. 7.10): the
    // chart's mean energy is the density's over the same bins, and the
    // chart lies on the density within its noise.
    double mean = 0, maxwellMean = 0, apart = 0;
    for (std::size_t i = 0; i < c.Points.size(); ++i) {
        mean += c.Points[i].x * c.Points[i].y * w;
        maxwellMean += c.Maxwell[i].x * c.Maxwell[i].y * w;
        apart += std::fabs(c.Points[i].y - c.Maxwell[i].y) * w;
    }
    EXPECT_NEAR(mean / maxwellMean, 1, 0.03);
    EXPECT_LT(apart, 0.1);
}

TEST(Statistics, EnergyChartPointsSitOnTheEnergiesTheyCount)
{
    // 40 tiny spheres that never meet, each at its own constant kinetic
    // energy: 32 +- (a + f) bin widths of the mean, the fractions f placing
    // them on both sides of a bin's centre. Every chart point counts exactly
    // the particles whose energy lies within half a bin of it.
    Model m;
    OneType(*m, 40, 0.01, 50);
    m->Periodic = true;
    m->SysT = 0.01;
    ASSERT_TRUE(m->SetupParticles());
    const double unit = 0.015;  // the mean kinetic energy
    std::vector<double> energies;
    for (double a : {3, 7, 12, 18, 25})
        for (double f : {0.3, -0.3, 0.45, -0.45})
            for (double sign : {1, -1})
                energies.push_back((32 + sign * (a + f)) * unit / 32);
    ASSERT_EQ(energies.size(), std::size_t(m->NBalls));
    for (int i = 0; i < m->NBalls; ++i) {
        TBall& b = m->Balls[i];
        b.Vh[0] = std::sqrt(2 * energies[i]);
        b.Vh[1] = b.Vh[2] = 0;
    }
    for (int f = 0; f < 12; ++f)
        ASSERT_TRUE(m->DoSteps());
    for (int i = 0; i < m->NBalls; ++i)
        ASSERT_NEAR(m->Balls[i].K, energies[i], 1e-15) << "particle " << i << " met another";
    ASSERT_NEAR(m->EnergyUnit, unit, 1e-15);

    const TEnergyChart c = EnergyChart(*m);
    ASSERT_EQ(c.Points.size(), 97u);
    const double w = unit / 32, total = 3.0 * m->NBalls;  // frames 10, 11 and 12 counted
    for (std::size_t i = 1; i < c.Points.size(); ++i) {
        int near = 0;
        for (double e : energies)
            near += std::fabs(e - c.Points[i].x) <= w / 2;
        EXPECT_NEAR(c.Points[i].y, 3 * near / (total * w), 1e-9) << "point at " << c.Points[i].x / w << " bins";
    }
}

TEST(Statistics, UnlikePairChartsAreEqual)
{
    Model m;
    SoftGas(*m, TEnsemble::NVK);
    m->BallTypes[3].N = 5;
    ASSERT_TRUE(m->SetupParticles());
    for (int f = 0; f < 5; ++f)
        ASSERT_TRUE(m->DoSteps());
    for (auto [a, b] : {std::pair{1, 2}, {1, 3}, {2, 3}}) {
        const auto ab = PairCorrelationChart(*m, a, b);
        const auto ba = PairCorrelationChart(*m, b, a);
        ASSERT_EQ(ab.size(), 116u);
        for (std::size_t k = 0; k < ab.size(); ++k)
            EXPECT_EQ(ab[k].y, ba[k].y);
    }
    // Every pair was counted in every step (up to bin 120).
    std::int64_t counted = 0;
    for (int a = 1; a <= 3; ++a)
        for (int b = 1; b <= 3; ++b)
            for (std::int64_t n : m->PairHistogram[a][b])
                counted += n;
    EXPECT_LE(counted, std::int64_t(35) * 34 * 5 * 10);
    EXPECT_GT(counted, 0);
}
