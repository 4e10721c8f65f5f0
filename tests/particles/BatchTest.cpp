#include "ParticleBatch.h"
#include "ParticleFiles.h"
#include "ParticleFormat.h"
#include "ParticleModel.h"
#include "ParticleStats.h"
#include "ParticleTestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iomanip>
#include <sstream>

using namespace ferrolyt::particles;
using ferrolyt::particles::testing::Model;
using ferrolyt::particles::testing::TempDir;

namespace {

std::vector<std::string> Lines(const std::filesystem::path& p)
{
    std::ifstream f(p, std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(f, line)) {
        EXPECT_TRUE(!line.empty() && line.back() == '\r') << "line without CR LF: " << line;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// Splits a table line into its fields, and checks the delimited-text form:
// one blank between fields, double quotes exactly around those with blanks.
std::vector<std::string> Fields(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> fields;
    std::string joined;
    for (std::string f; in >> std::quoted(f); fields.push_back(f))
        joined += (fields.empty() ? "" : " ") + (f.find(' ') != std::string::npos ? '"' + f + '"' : f);
    EXPECT_EQ(joined, line);
    return fields;
}

// A small hard-sphere mixture (type 3 too, which keeps its count).
void Mixture(ParticleModel& m)
{
    ParticleParams p;
    p.Radius = {"0.3", "0.4", "0.3"};
    p.Mass = {"1", "2", "1"};
    p.N = {14, 6, 2};
    p.Eps = {{{"0", "", ""}, {"0", "0", ""}, {"0", "0", "0"}}};
    p.SysT = "0.01";
    std::string error;
    ASSERT_TRUE(ReadModelParams(p, m, &error)) << error;
}

BatchPlan Short()
{
    BatchPlan plan;
    plan.EquilibrationFrames = 3;
    plan.Frames = 4;
    plan.LongFrames = 6;
    plan.MessageEvery = 2;
    plan.ProgressEvery = 2;
    plan.Seed = 5;
    return plan;
}

// A fresh mixture and a table file in a folder of its own.
class Batch : public ::testing::Test {
protected:
    void SetUp() override { Mixture(*m); }

    TempDir dir;
    const std::filesystem::path table = dir.path() / "Mix.tdf";
    Model m;
};

} // namespace

TEST_F(Batch, TableLineFormat)
{
    m->BatchMode = true;
    ASSERT_TRUE(m->SetupParticles());
    for (int f = 0; f < 20; ++f)
        ASSERT_TRUE(m->DoSteps());
    const std::string line = TableLine(*m);
    const std::vector<std::string> f = Fields(line);
    ASSERT_EQ(f.size(), 16u) << line;
    EXPECT_EQ(f[0], "14");
    EXPECT_EQ(f[1], "6");
    // Values narrower than their width are padded and so quoted (Fields checks the quotes).
    for (std::size_t k = 2; k < f.size(); ++k)
        EXPECT_GE(f[k].size(), (k >= 5 && k <= 7) ? 5u : 6u) << k;
    EXPECT_EQ(f[4], FormatGeneral(m->Pressure, 6, 6));
    // Hard spheres: no potential energy, and the collisions' virial raises
    // the pressure; the total of the table is that of the three types.
    EXPECT_EQ(std::stod(f[9]), 0.0);
    EXPECT_GT(std::stod(f[10]), 0.0);
    EXPECT_NEAR(m->Pressure, TypePressure(*m, 1) + TypePressure(*m, 2) + TypePressure(*m, 3), 1e-12 * m->Pressure);
    // The chemical potential of a hard-sphere gas is finite.
    EXPECT_TRUE(std::isfinite(std::stod(f[14])));
}

TEST_F(Batch, EndToEndWritesHeaderAndTwentyFiveLines)
{
    std::vector<std::string> status;
    std::vector<int> progress;
    BatchCallbacks cb;
    cb.Status = [&](const std::string& s) { status.push_back(s); };
    cb.CompositionProgress = [&](int lines) { progress.push_back(lines); };
    const BatchResult r = RunBatch(*m, table, Short(), cb);
    ASSERT_EQ(r.Outcome, BatchOutcome::Finished) << r.Message;
    EXPECT_EQ(r.FirstComposition, 1);
    EXPECT_EQ(r.Written, 25);
    EXPECT_FALSE(m->BatchMode);
    const std::vector<std::string> lines = Lines(table);
    ASSERT_EQ(lines.size(), 26u);
    EXPECT_EQ(lines[0], TableHeaderLine);
    for (std::size_t k = 1; k < lines.size(); ++k) {
        const std::vector<std::string> f = Fields(lines[k]);
        ASSERT_EQ(f.size(), 16u) << lines[k];
        EXPECT_EQ(std::stoi(f[0]), BatchN1(20, TDFCompositions[k - 1]));
        EXPECT_EQ(std::stoi(f[0]) + std::stoi(f[1]), 20);
    }
    EXPECT_EQ(m->BallTypes[3].N, 2);
    EXPECT_EQ(progress.front(), 1);
    EXPECT_EQ(progress.back(), 26);
    EXPECT_EQ(status.front(), "Preliminary equlibration on step 1");
    EXPECT_NE(std::find(status.begin(), status.end(), "Step 2. Integration: 6 of 6"), status.end());
    EXPECT_NE(std::find(status.begin(), status.end(), "Step 5. Integration: 4 of 4"), status.end());
}

TEST_F(Batch, ResumesAfterThreeFinishedCompositions)
{
    const std::string rest = " 1.5 1.5 \"   1.5\" 2 2 2 0.5 0 -0.5 0.5 0 -0.5 3 INF";
    const std::string before = std::string(TableHeaderLine) + "\r\n20 0" + rest + "\r\n\r\n20 0" + rest +
                               "\r\n19 1" + rest;  // no final break
    std::ofstream(table, std::ios::binary) << before;
    BatchPlan plan = Short();
    int calls = 0;
    BatchCallbacks cb;
    cb.ProcessMessages = [&] { return ++calls > 3; };  // stop during the first new composition's measurement
    BatchResult r = RunBatch(*m, table, plan, cb);
    EXPECT_EQ(r.Outcome, BatchOutcome::Stopped);
    EXPECT_EQ(r.FirstComposition, 4);
    EXPECT_EQ(r.Written, 0);
    std::ifstream f(table, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(f), {}), before);

    cb.ProcessMessages = [] { return false; };
    plan.Compositions.resize(5);
    r = RunBatch(*m, table, plan, cb);
    ASSERT_EQ(r.Outcome, BatchOutcome::Finished) << r.Message;
    EXPECT_EQ(r.FirstComposition, 4);
    EXPECT_EQ(r.Written, 2);
    const std::vector<std::string> lines = Lines(table);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[4], "19 1" + rest);
    EXPECT_EQ(Fields(lines[5])[0], std::to_string(BatchN1(20, 5)));
    EXPECT_EQ(Fields(lines[6])[0], std::to_string(BatchN1(20, 10)));
}

TEST_F(Batch, StopAndResumeLoseNothing)
{
    int calls = 0;
    BatchCallbacks cb;
    cb.ProcessMessages = [&] { return ++calls == 20; };
    BatchResult r = RunBatch(*m, table, Short(), cb);
    ASSERT_EQ(r.Outcome, BatchOutcome::Stopped);
    const std::size_t kept = Lines(table).size();
    EXPECT_EQ(kept, std::size_t(1 + r.Written));
    EXPECT_GT(r.Written, 0);
    r = RunBatch(*m, table, Short(), cb);
    ASSERT_EQ(r.Outcome, BatchOutcome::Finished) << r.Message;
    EXPECT_EQ(r.FirstComposition, int(kept));
    const std::vector<std::string> lines = Lines(table);
    ASSERT_EQ(lines.size(), 26u);
    for (std::size_t k = 1; k < lines.size(); ++k)
        EXPECT_EQ(std::stoi(Fields(lines[k])[0]), BatchN1(20, TDFCompositions[k - 1])) << k;
}

TEST_F(Batch, UnreadableTableStopsTheRunUntouched)
{
    std::filesystem::create_directory(table);  // exists, but is no readable file
    const BatchResult r = RunBatch(*m, table, Short(), {});
    EXPECT_EQ(r.Outcome, BatchOutcome::Failed);
    EXPECT_NE(r.Message.find("не можна продовжити"), std::string::npos) << r.Message;
    ASSERT_EQ(m.messages.size(), 1u);
    EXPECT_TRUE(std::filesystem::is_directory(table));
}

TEST_F(Batch, BoxTooSmallEndsTheRun)
{
    m->BoxL = {0.5, 0.5, 0.5};
    const BatchResult r = RunBatch(*m, table, Short(), {});
    EXPECT_EQ(r.Outcome, BatchOutcome::Failed);
    ASSERT_EQ(m.messages.size(), 1u);
    EXPECT_EQ(m.messages[0], "Initial volume is not sufficient!");
    EXPECT_EQ(Lines(table).size(), 1u);  // the header only
}

// Only a table the run itself writes is continued: anything else would be
// taken for finished compositions (or appended to), and is refused with a
// message, the file left byte for byte as it was.
TEST_F(Batch, ATableTheRunDidNotWriteIsRefusedUntouched)
{
    std::string random(1 << 20, '\0');
    std::uint32_t x = 7;
    for (char& c : random) {
        x = x * 1664525u + 1013904223u;
        c = char(x >> 24);
    }
    std::string many = std::string(TableHeaderLine) + "\r\n";
    for (int k = 0; k < 2000000; ++k)
        many += "\r\n";
    const std::string row = "10 10 1 1 1 1 1 1 1 1 1 1 1 1 1 1\r\n";
    std::string tooLong = std::string(TableHeaderLine) + "\r\n";
    for (int k = 0; k < 26; ++k)
        tooLong += row;
    const struct {
        const char* name;
        std::string bytes;
        const char* says;
    } cases[] = {
        {"random bytes", random, "рядок 1: це не заголовок таблиці"},
        {"two million lines", many, "Mix.tdf"},
        {"numbers no run writes", std::string(TableHeaderLine) + "\r\nnan inf -1e308 1e308\r\n",
         "рядок 2: це не рядок із 16 значень"},
        {"a value that is no number", std::string(TableHeaderLine) + "\r\n10 10 1 1 1 1 1 1 1 1 1 1 nan 1 1 1\r\n",
         "рядок 2: значення 13 не є числом"},
        {"a count beyond the particles", std::string(TableHeaderLine) + "\r\n99999 0 1 1 1 1 1 1 1 1 1 1 1 1 1 1\r\n",
         "значення 1"},
        {"a line cut short", std::string(TableHeaderLine) + "\r\n10 10 1 1 1 1 \"  1.", "рядок 2"},
        {"more lines than compositions", tooLong, "більше рядків, ніж є складів (25)"},
        {"only a header of another table", "N1 N2 P\r\n", "рядок 1: це не заголовок таблиці"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::ofstream(table, std::ios::binary | std::ios::trunc) << c.bytes;
        m.messages.clear();
        const BatchResult r = RunBatch(*m, table, Short(), {});
        EXPECT_EQ(r.Outcome, BatchOutcome::Failed);
        EXPECT_EQ(r.Written, 0);
        EXPECT_NE(r.Message.find(c.says), std::string::npos) << r.Message.substr(0, 300);
        EXPECT_NE(r.Message.find("не можна продовжити"), std::string::npos);
        EXPECT_EQ(m.messages.size(), 1u);
        std::ifstream f(table, std::ios::binary);
        EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(f), {}) == c.bytes);
    }
    // The header alone, and a finished table, are the run's own.
    std::ofstream(table, std::ios::binary | std::ios::trunc) << TableHeaderLine << "\r\n";
    int lines = 0;
    bool endsWithBreak = false;
    std::string message;
    EXPECT_TRUE(ReadBatchTable(table, lines, endsWithBreak, message)) << message;
    EXPECT_EQ(lines, 1);
    tooLong.resize(tooLong.size() - row.size());
    std::ofstream(table, std::ios::binary | std::ios::trunc) << tooLong;
    EXPECT_TRUE(ReadBatchTable(table, lines, endsWithBreak, message)) << message;
    EXPECT_EQ(lines, 26);
}
