#include "ParticleFiles.h"
#include "ParticleModel.h"
#include "ParticleTestUtil.h"
#include "TextFile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <random>
#include <sstream>
#include <thread>
#include <vector>

using namespace ferrolyt::particles;
using ferrolyt::particles::testing::ControlDefaults;
using ferrolyt::particles::testing::Model;
using ferrolyt::particles::testing::TempDir;

namespace {

std::string Bytes(const std::filesystem::path& p)
{
    std::ifstream f(p, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

const std::filesystem::path ShippedFolder = std::filesystem::path(FERROLYT_DATA) / "DezOzevev";

} // namespace

TEST(Files, ParameterFileRoundTrip)
{
    TempDir dir;
    std::ofstream(dir.path() / "in.dat", std::ios::binary) << "Comment=kept\r\nR1=0.7\r\nSysT=0.02\r\nLattice=FCC\r\n";
    ParticleParams p;
    NameValueList lines;
    std::string error;
    ASSERT_TRUE(LoadParameterFile(dir.path(), "in.dat", p, lines, &error)) << error;
    EXPECT_EQ(p.Radius[0], "0.7");
    EXPECT_EQ(p.N[0], 1);  // missing: 1
    EXPECT_EQ(p.Box[0], "3");
    EXPECT_EQ(p.Box[2], "5");
    EXPECT_EQ(p.Lattice, TLattice::FCC);
    EXPECT_EQ(p.SysT, "0.02");

    p.Radius = {"0,5", "0.4", "0.3"};  // texts stay as typed
    p.Mass = {"1", "2", "3"};
    p.N = {7, 8, 9};
    p.Eps = {{{"1", "", ""}, {"0.5", "2", ""}, {"0.25", "0.75", "3"}}};
    p.Box = {"4", "4.5", "6"};
    p.Step = "0.05";
    p.Ensemble = TEnsemble::NVT;
    p.Lattice = TLattice::BCC;
    p.SysE = "";
    p.SysT = "";  // empty: the key's line goes
    std::string name = "out";
    ASSERT_TRUE(SaveParameterFile(dir.path(), name, p, lines, &error)) << error;
    EXPECT_EQ(name, "out.dat");
    const std::string text = Bytes(dir.path() / "out.dat");
    EXPECT_EQ(text.rfind("Comment=kept\r\nR1=0,5\r\n", 0), 0u) << text;  // other keys kept, R1 replaced in place
    EXPECT_EQ(text.find("SysT"), std::string::npos);
    EXPECT_EQ(text.find("SysE"), std::string::npos);
    EXPECT_NE(text.find("Ensemble=NVT\r\n"), std::string::npos);
    EXPECT_NE(text.find("Lattice=BCC\r\n"), std::string::npos);
    EXPECT_NE(text.find("E23=0.75\r\n"), std::string::npos);

    ParticleParams q;
    NameValueList again;
    ASSERT_TRUE(LoadParameterFile(dir.path(), name, q, again, &error)) << error;
    EXPECT_EQ(q.Radius, p.Radius);
    EXPECT_EQ(q.Mass, p.Mass);
    EXPECT_EQ(q.N, p.N);
    EXPECT_EQ(q.Eps, p.Eps);
    EXPECT_EQ(q.Box, p.Box);
    EXPECT_EQ(q.Step, p.Step);
    EXPECT_EQ(q.Ensemble, TEnsemble::NVT);
    EXPECT_EQ(q.Lattice, TLattice::BCC);
    EXPECT_EQ(q.SysT, "");
}

TEST(Files, FieldsAreReadAsTheControlsShowThem)
{
    NameValueList l;
    l.Lines = {"N3= 12", "Ly=2.50", "Lz=1e1", "Lattice=Cub"};
    ParticleParams p;
    std::string error;
    ASSERT_TRUE(ParamsFromList(l, p, &error)) << error;
    EXPECT_EQ(p.N[0], 1);  // absent: 1
    EXPECT_EQ(p.N[2], 12);
    EXPECT_EQ(p.Box[0], "3");  // absent: the default
    EXPECT_EQ(p.Box[1], "2.5");
    EXPECT_EQ(p.Box[2], "10");
    EXPECT_EQ(p.Ensemble, TEnsemble::NoI);  // absent
    EXPECT_EQ(p.Lattice, TLattice::Cubic);
    for (auto [value, expected] : {std::pair{"NVE", TEnsemble::NVE}, {"NoI", TEnsemble::NoI}, {"NVK", TEnsemble::NVK},
                                   {"NVT", TEnsemble::NVT}, {"nvt", TEnsemble::NVT}}) {
        l.SetValue("Ensemble", value);
        ASSERT_TRUE(ParamsFromList(l, p, &error)) << error;
        EXPECT_EQ(p.Ensemble, expected) << value;
    }
    for (auto [value, expected] :
         {std::pair{"Cubic", TLattice::Cubic}, {"BCC", TLattice::BCC}, {"fcc", TLattice::FCC}}) {
        l.SetValue("Lattice", value);
        ASSERT_TRUE(ParamsFromList(l, p, &error)) << error;
        EXPECT_EQ(p.Lattice, expected) << value;
    }
}

// A value that is there but cannot be what its field holds refuses the
// file with a message naming the line and the field; nothing is clamped or
// defaulted.
TEST(Files, AValuePresentButUnreadableOrOutOfRangeRefusesTheFile)
{
    const struct {
        const char* line;
        const char* says;
    } cases[] = {
        {"N1=99999999999", "Рядок 2, параметр N1: \"99999999999\" має бути цілим числом від 0 до 1241"},
        {"N1=-5", "Рядок 2, параметр N1: \"-5\""},
        {"N2=abc", "Рядок 2, параметр N2"},
        {"N3=5000", "Рядок 2, параметр N3"},
        {"Lx=nan", "Рядок 2, параметр Lx: \"nan\" не є числом"},
        {"Ly=oops", "Рядок 2, параметр Ly"},
        {"Lz=1e300", "Рядок 2, параметр Lz: \"1e300\" має бути не більшим за 10000"},
        {"Lx=0", "Рядок 2, параметр Lx: \"0\" має бути більшим за 0"},
        {"Lattice=ZZZ", "Рядок 2, параметр Lattice: \"ZZZ\" не є одним із Cub, BCC, FCC"},
        {"Ensemble=XYZ", "Рядок 2, параметр Ensemble"},
        {"Ensemble=NVTX", "Рядок 2, параметр Ensemble"},
        {"SysT=inf", "Рядок 2, параметр SysT: \"inf\" не є числом"},
        {"SysT=-0.01", "Рядок 2, параметр SysT"},
        {"SysE=1e300", "Рядок 2, параметр SysE"},
        {"E11=1e308", "Рядок 2, параметр E11: \"1e308\" має бути не більшим за 10000"},
        {"E23=-1e308", "Рядок 2, параметр E23"},
        {"R2=1e300", "Рядок 2, параметр R2"},
        {"M3=0", "Рядок 2, параметр M3"},
        {"StepH=3", "Рядок 2, параметр StepH"},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        std::ofstream(dir.path() / "bad.dat", std::ios::binary | std::ios::trunc)
            << "R1=0.7\r\n" << c.line << "\r\nM1=2\r\n";
        ParticleParams p;
        p.Radius[0] = "before";
        NameValueList lines;
        lines.Lines = {"kept"};
        std::string error;
        EXPECT_FALSE(LoadParameterFile(dir.path(), "bad.dat", p, lines, &error));
        EXPECT_NE(error.find("Неможливо завантажити файл"), std::string::npos) << error;
        EXPECT_NE(error.find("bad.dat"), std::string::npos) << error;
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
        EXPECT_EQ(p.Radius[0], "before");
        EXPECT_EQ(lines.Lines, std::vector<std::string>{"kept"});
    }
}

// A key without a value or given twice refuses the file by its line, as a
// number too small for a double does not: it reads as 0, as in every data
// file. A line that is no parameter is named, and the rest is loaded.
TEST(Files, ALineWithoutAValueGivenTwiceOrUnknownIsNamedByItsLine)
{
    const struct {
        const char* line;
        const char* says;
        bool refused;
    } cases[] = {
        {"Lx=", "Рядок 2, параметр Lx не має значення", true},
        {"SysE= ", "Рядок 2, параметр SysE не має значення", true},
        {"r1=0.8", "Рядок 2, параметр R1 уже задано в рядку 1", true},
        {"M1=3\r\nN1=4", "Рядок 4, параметр M1 уже задано в рядку 2", true},
        {"R2=1e-400", "Рядок 2, параметр R2: \"1e-400\" має бути більшим за 0", true},
        {"E12=1e-400", "", false},
        {"Lzz=5", "Рядок 2: \"Lzz=5\" не є параметром цього файлу; його не прочитано", false},
        {"Lz 5", "Рядок 2: \"Lz 5\" не є рядком Назва=Значення", false},
        {"", "", false},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        std::ofstream(dir.path() / "bad.dat", std::ios::binary | std::ios::trunc)
            << "R1=0.7\r\n" << c.line << "\r\nM1=2\r\n";
        ParticleParams p;
        NameValueList lines;
        std::string error, note;
        const bool loaded = LoadParameterFile(dir.path(), "bad.dat", p, lines, &error, &note);
        EXPECT_EQ(loaded, !c.refused) << error;
        const std::string& said = c.refused ? error : note;
        if (*c.says)
            EXPECT_NE(said.find(c.says), std::string::npos) << said;
        else
            EXPECT_EQ(note, "");
        if (loaded) {
            EXPECT_EQ(p.Mass[0], "2");
            EXPECT_EQ(lines.Lines.size(), 3u);  // kept for the save
        }
    }
}

// Parameter files are opened as every data file is.
TEST(Files, ParameterFilesPassTheChecksOfEveryDataFile)
{
    TempDir dir;
    // "SysT=0.005" cut to "SysT=0.": read whole, it would run at kT = 0.
    std::ofstream(dir.path() / "cut.dat", std::ios::binary) << "R1=0.7\r\nSysT=0.";
    ASSERT_EQ(::mkfifo((dir.path() / "pipe.dat").c_str(), 0644), 0);
    std::filesystem::create_symlink("/dev/zero", dir.path() / "zero.dat");
    std::ofstream(dir.path() / "binary.dat", std::ios::binary) << std::string(200, '\x01') << "\r\n";
    for (const char* name : {"cut.dat", "pipe.dat", "zero.dat", "binary.dat", "missing.dat"}) {
        SCOPED_TRACE(name);
        ParticleParams p;
        NameValueList lines;
        std::string error;
        EXPECT_FALSE(LoadParameterFile(dir.path(), name, p, lines, &error));
        EXPECT_EQ(error.rfind("Неможливо завантажити файл " + (dir.path() / name).string(), 0), 0u) << error;
        EXPECT_EQ(p.SysT, "");
    }
}

TEST(Files, TheFilesNextToTheProgramServeAFolderWithoutTheirOwn)
{
    TempDir project, program;
    std::filesystem::create_directories(program.path() / "DezOzevev");
    std::ofstream(program.path() / "DezOzevev" / "DezOzevev.ini", std::ios::binary) << "DataFile=a.dat\r\n";
    EXPECT_EQ(ParticleFilesFolder(project.path(), program.path()), program.path() / "DezOzevev");
    // A folder of that name without the setting file is not the demonstration's.
    std::filesystem::create_directories(project.path() / "DezOzevev");
    EXPECT_EQ(ParticleFilesFolder(project.path(), program.path()), program.path() / "DezOzevev");
    std::ofstream(project.path() / "DezOzevev" / "DezOzevev.ini", std::ios::binary) << "DataFile=b.dat\r\n";
    EXPECT_EQ(ParticleFilesFolder(project.path(), program.path()), project.path() / "DezOzevev");
}

TEST(Files, EnsembleWithoutItsEnergyFallsBackToNoInteraction)
{
    ParticleParams p;
    p.Eps = {{{"0", "", ""}, {"0", "0", ""}, {"0", "0", "0"}}};
    Model m;
    std::string error;
    p.Ensemble = TEnsemble::NVT;
    ASSERT_TRUE(ReadModelParams(p, *m, &error)) << error;
    EXPECT_EQ(m->Ensemble, TEnsemble::NoI);
    EXPECT_FALSE(m->InteractionOn);
    p.SysT = "0.01";
    ASSERT_TRUE(ReadModelParams(p, *m, &error));
    EXPECT_EQ(m->Ensemble, TEnsemble::NVT);
    EXPECT_TRUE(m->InteractionOn);
    EXPECT_EQ(m->StepsPerFrame, 10);
    p.Ensemble = TEnsemble::NVE;
    p.SysE = "not a number";  // taken as empty
    ASSERT_TRUE(ReadModelParams(p, *m, &error));
    EXPECT_EQ(m->Ensemble, TEnsemble::NoI);
    EXPECT_TRUE(std::isnan(m->SysE));
}

TEST(Files, DataFileSetting)
{
    TempDir dir;
    std::string name, error;
    EXPECT_FALSE(ReadDataFileSetting(dir.path(), name, &error));
    EXPECT_NE(error.find("DezOzevev.ini"), std::string::npos);
    ASSERT_TRUE(WriteDataFileSetting(dir.path(), "Суміш.dat", &error)) << error;
    EXPECT_EQ(Bytes(dir.path() / "DezOzevev.ini"), "DataFile=\xD1\xF3\xEC\xB3\xF8.dat\r\n");  // code page 1251
    ASSERT_TRUE(ReadDataFileSetting(dir.path(), name, &error));
    EXPECT_EQ(name, "Суміш.dat");
    EXPECT_EQ(DezOzevevFolder("/opt/ferrolyt"), std::filesystem::path("/opt/ferrolyt/DezOzevev"));
    EXPECT_EQ(ChangeExtension("Mix.dat", ".tdf"), "Mix.tdf");
    EXPECT_EQ(ChangeExtension("dir.x/Mix", ".tdf"), "dir.x/Mix.tdf");
}

TEST(Files, ShippedParameterFilesAndTheDefaultsStaySaneForAHundredThousandFrames)
{
    std::string first, error;
    ASSERT_TRUE(ReadDataFileSetting(ShippedFolder, first, &error)) << error;
    EXPECT_TRUE(std::filesystem::exists(ShippedFolder / first)) << first;
    std::vector<std::pair<std::string, ParticleParams>> runs = {{"the control window's defaults", ControlDefaults()}};
    bool hardSpheres = false;
    for (const auto& entry : std::filesystem::directory_iterator(ShippedFolder)) {
        if (entry.path().extension() != ".dat")
            continue;
        const std::string name = entry.path().filename().string();
        ParticleParams p;
        NameValueList lines;
        ASSERT_TRUE(LoadParameterFile(ShippedFolder, name, p, lines, &error)) << error;
        if (name == "HardSpheres.dat") {  // fits the default box
            hardSpheres = true;
            EXPECT_EQ(p.Ensemble, TEnsemble::NoI);
            EXPECT_EQ(p.Box, (std::array<std::string, 3>{"3", "3", "5"}));
        }
        runs.emplace_back(name, p);
    }
    EXPECT_GE(runs.size(), 5u);
    EXPECT_TRUE(hardSpheres);
    // The runs are independent models: each on a thread of its own.
    struct Outcome {
        std::string setup, halt;
        bool messages = false;
        TEnsemble ensemble = TEnsemble::NoI;
        double startKT = 0, kT = 0, U = 0;
    };
    std::vector<Outcome> outcomes(runs.size());
    std::vector<std::thread> threads;
    for (std::size_t k = 0; k < runs.size(); ++k)
        threads.emplace_back([&, k] {
            Outcome& o = outcomes[k];
            Model m;
            if (!ReadModelParams(runs[k].second, *m, &o.setup) || !m->SetupParticles()) {
                o.setup += " (not set up)";
                return;
            }
            o.ensemble = m->Ensemble;
            o.startKT = m->TargetKT;
            for (int f = 0; f < 100000; ++f)
                if (!m->DoSteps()) {
                    o.halt = "frame " + std::to_string(f) + ": " + m->HaltMessage;
                    break;
                }
            o.messages = !m.messages.empty();
            o.kT = m->TargetKT;
            o.U = m->FrameU;
        });
    for (std::thread& t : threads)
        t.join();
    for (std::size_t k = 0; k < runs.size(); ++k) {
        SCOPED_TRACE(runs[k].first);
        const Outcome& o = outcomes[k];
        ASSERT_EQ(o.setup, "");
        EXPECT_EQ(o.ensemble, runs[k].second.Ensemble) << "lacks its energy or kT";
        EXPECT_EQ(o.halt, "");
        EXPECT_FALSE(o.messages);
        EXPECT_GT(o.U, -1e-3) << "spheres fell into the potential's well";
        // Hard spheres keep their kinetic energy; soft runs stay near their start.
        if (o.ensemble == TEnsemble::NoI)
            EXPECT_NEAR(o.kT, o.startKT, 1e-9 * o.startKT);
        else
            EXPECT_LT(o.kT, 0.02);
    }
}

// One value of a shipped parameter file damaged at a time reads to the very
// same numbers or is refused naming that value's key; the window's decimal
// comma ("R1=0,5") is a decimal point, as in every data file.
TEST(Files, OneValueDamagedReadsTheSameNumbersOrIsRefusedByItsKey)
{
    TempDir dir;
    const std::vector<std::string> good = ferrolyt::ReadTextFile1251(ShippedFolder / "SoftNVT.dat");
    auto load = [&](const std::vector<std::string>& lines, std::vector<double>& numbers, std::string& error) {
        ferrolyt::WriteTextFile1251(dir.path() / "damaged.dat", lines);
        ParticleParams p;
        NameValueList list;
        if (!LoadParameterFile(dir.path(), "damaged.dat", p, list, &error))
            return false;
        ParamsToList(p, list);
        for (const std::string& line : list.Lines) {
            double x = -1;
            numbers.push_back(ParseNumber(line.substr(line.find('=') + 1), x) ? x : double(line.size()));
        }
        return true;
    };
    std::vector<double> before;
    std::string error;
    ASSERT_TRUE(load(good, before, error)) << error;
    static const char* const Typos[] = {"abc", "0x10", "--1", "nan", "inf", "1,5,2", "1.5.2", "1e400", "+"};
    std::mt19937 random(34);
    int refused = 0;
    for (int k = 0; k < 100; ++k) {
        std::vector<std::string> lines = good;
        std::string& line = lines[random() % lines.size()];
        const std::string key = line.substr(0, line.find('='));
        const std::string value = line.substr(key.size() + 1);
        const std::string damaged[] = {value + " " + value, Typos[random() % std::size(Typos)],
                                       value + std::string(70, '0'),
                                       value.find('.') == std::string::npos ? "+" + value
                                                                            : std::string(value).replace(value.find('.'), 1, ",")};
        line = key + "=" + damaged[random() % 4];
        SCOPED_TRACE(line);
        std::vector<double> after;
        if (load(lines, after, error)) {
            EXPECT_EQ(after, before);
            continue;
        }
        ++refused;
        EXPECT_NE(error.find("параметр " + key + ":"), std::string::npos) << error;
    }
    EXPECT_GT(refused, 30);
}
