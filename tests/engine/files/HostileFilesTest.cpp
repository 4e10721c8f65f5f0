// Damaged and hostile files opened through every way the program opens a
// data file: each is refused (or, for UTF-8, read) with a message, and the
// project that was open before still melts to the very same result, with
// its folder, its tables and its task list untouched.

#include "ForwardProblem.h"
#include "HeatLog.h"
#include "LoaderTestSupport.h"
#include "RecordingHost.h"
#include "SampleProjectSupport.h"
#include "ThSys.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <optional>
#include <random>

namespace ferrolyt::test {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& file, const std::string& bytes)
{
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

// Reading as an ordinary user: the superuser reads a file of mode 000 all
// the same, so the unreadable case takes another effective user meanwhile.
class AsOrdinaryUser {
public:
    AsOrdinaryUser()
    {
        if (::geteuid() == 0)
            switched_ = ::seteuid(65534) == 0;
    }
    ~AsOrdinaryUser()
    {
        if (switched_) {
            EXPECT_EQ(::seteuid(0), 0);
        }
    }
    AsOrdinaryUser(const AsOrdinaryUser&) = delete;
    AsOrdinaryUser& operator=(const AsOrdinaryUser&) = delete;

private:
    bool switched_ = false;
};

// The ways a file reaches the model.
enum class Route { Project, Constants, Interaction, Slag, Gas, Materials, Tasks, HeatLog };

struct TRouteInfo {
    Route Way;
    const char* File; // the sample project's file of that kind
};

constexpr TRouteInfo Routes[] = {
    {Route::Project, "FERROLYT.FWP"}, {Route::Constants, "Ferrolyt.CON"}, {Route::Interaction, "Ferrolyt.EPS"},
    {Route::Slag, "Ferrolyt.SLG"},    {Route::Gas, "Ferrolyt.GAS"},       {Route::Materials, "Ferrolyt.MAT"},
    {Route::Tasks, "Ferrolyt.TSK"},   {Route::HeatLog, "DSP23517.HEA"},
};

void PrintTo(const TRouteInfo& route, std::ostream* out) { *out << route.File; }

// Makes the hostile file at `file` from the good file's bytes.
using TMaker = std::function<void(const fs::path& file, const std::string& good)>;

struct THostileCase {
    const char* Name;
    TMaker Make;
    bool ReadAnyway = false;  // read with a note (UTF-8): the same content, so the same result
    bool Unreadable = false;  // opened as an ordinary user
    const char* Says = "";    // what the refusal must name besides the file (the line and the field)
};

void Write(const std::string& bytes, const fs::path& file) { WriteBytes(file, bytes); }

THostileCase Replaced(const char* name, std::string from, std::string to, const char* says = "")
{
    return {name,
            [from, to](const fs::path& file, const std::string& good) {
                std::string bytes = good;
                const std::size_t at = bytes.find(from);
                ASSERT_NE(at, std::string::npos) << from;
                bytes.replace(at, from.size(), to);
                WriteBytes(file, bytes);
            },
            false, false, says};
}

// The cases every kind of file meets.
std::vector<THostileCase> CommonCases()
{
    return {
        {"empty", [](const fs::path& f, const std::string&) { Write("", f); }},
        {"blank lines only", [](const fs::path& f, const std::string&) { Write(std::string(2000, '\n'), f); }},
        {"a flood of empty lines",
         [](const fs::path& f, const std::string&) {
             std::string crlf;
             for (std::size_t k = 0; k <= MaxDataFileLines; ++k)
                 crlf += "\r\n";
             Write(crlf, f);
         }},
        {"cut in the middle of a line",
         [](const fs::path& f, const std::string& good) {
             std::size_t cut = good.size() / 2;
             while (cut < good.size() && (good[cut - 1] == '\n' || good[cut - 1] == '\r' || good[cut - 1] == ' '))
                 ++cut;
             Write(good.substr(0, cut), f);
         }},
        {"larger than the cap",
         [](const fs::path& f, const std::string& good) {
             Write(good, f);
             fs::resize_file(f, MaxDataFileBytes + 1);
         }},
        {"random bytes",
         [](const fs::path& f, const std::string&) {
             std::mt19937 random(18);
             std::string bytes(4096, '\0');
             for (char& c : bytes)
                 c = static_cast<char>(random() & 0xFF);
             Write(bytes, f);
         }},
        {"a pipe", [](const fs::path& f, const std::string&) { ASSERT_EQ(::mkfifo(f.c_str(), 0644), 0); }},
        {"a link to /dev/zero", [](const fs::path& f, const std::string&) { fs::create_symlink("/dev/zero", f); }},
        {"a folder", [](const fs::path& f, const std::string&) { fs::create_directory(f); }},
        {"unreadable",
         [](const fs::path& f, const std::string& good) {
             Write(good, f);
             fs::permissions(f, fs::perms::none);
         },
         false, true},
        {"UTF-8 with its byte-order mark",
         [](const fs::path& f, const std::string& good) { Write("\xEF\xBB\xBF" + FromCp1251(good), f); }, true},
    };
}

// Numbers no file may hold, per kind of file.
std::vector<THostileCase> NumberCases(Route route)
{
    switch (route) {
    case Route::Constants:
        return {Replaced("nan molar mass", "55.847", "nan"), Replaced("molar mass past long double", "55.847", "1e5000"),
                Replaced("coefficient past double", "58.8596", "1e4000"),
                Replaced("slag term A1 of 1e300", "6317.191", "1e300", "Рядок 3: елемент Fe: поле 6 (A1): 1e+300"),
                Replaced("formation enthalpy of 1e300", "-272040", "1e300", "Рядок 3: елемент Fe: поле 28 (h298)"),
                Replaced("heat capacity of 1e300", "25.1 0", "1e300 0", "Рядок 3: елемент Fe: поле 16 (solid b)"),
                Replaced("molar mass of 5000", "55.847", "5000", "поле 4 (M)"),
                Replaced("file byte of 1e6", "FeO    0", "FeO    1000000", "поле 3 (b)"),
                {"56 elements", [](const fs::path& f, const std::string& good) {
                     const std::size_t line = good.find("\r\nFe ") + 2;
                     const std::string fe = good.substr(line, good.find("\r\n", line) + 2 - line);
                     std::string bytes = good;
                     for (int k = 0; k < 56; ++k)
                         bytes += fe;
                     Write(bytes, f);
                 }}};
    case Route::Interaction:
        return {Replaced("nan parameter e", "0.173642", "nan"), Replaced("e past double", "0.173642", "1e4000"),
                Replaced("interaction parameter of 1e308", "-10.4878", "1e308", "параметр взаємодії O ε1 (O): 1e+308"),
                Replaced("parameter e of 1e300", "0.173642", "1e300", "параметр взаємодії O e: 1e+300")};
    case Route::Slag:
        return {Replaced("nan energy", "Fe  0 0 0 -8", "Fe  0 0 0 nan"),
                Replaced("energy past 32 bits", "Fe  0 0 0 -8", "Fe  0 0 0 -1e12"),
                Replaced("pair energy of a million kJ/mol", "Fe  0 0 0 -8", "Fe  0 0 0 1e6",
                         "енергія пари Fe, значення 4 (Si): 1e+06")};
    case Route::Gas:
        return {Replaced("inf coefficient", "2.1395351011e+02", "inf"),
                Replaced("coefficient past double", "2.1395351011e+02", "1e4000"),
                Replaced("coefficient of 1e300", "2.1395351011e+02", "1e300", "Рядок 2: поле 1 (φ1): 1e+300"),
                Replaced("coefficient of 1e308", "9.4344280169e-01", "1e308", "поле 7 (φ7)"),
                Replaced("formation enthalpy of 1e308", "249.1750", "1e308", "поле 8 (H0)")};
    case Route::Materials:
        return {Replaced("nan analysis", "0.15/0.25", "nan/0.25"), Replaced("inf analysis", "0.15/0.25", "0.15/-inf"),
                Replaced("analysis over 100 %", "0.15/0.25", "0.15/220"), Replaced("price of 1e308", "$335", "$1e308"),
                Replaced("temperature past the sun's", "@1350", "@1e6"),
                Replaced("lower ends adding up to 270 %", "4.0/4.4 0.6/0.8 0.4/0.6", "90/95 90/95 90/95",
                         "Рядок 10: матеріал Чавун переробний: нижні межі аналізу дають разом 270.1 %"),
                Replaced("lower end above the upper", "0.15/0.25", "0.22/0.17",
                         "Рядок 5: аналіз C: нижня межа 0.22 більша за верхню 0.17")};
    case Route::Tasks:
        return {Replaced("metal limit of 1e308", "95/105", "95/1e308"),
                Replaced("metal limit of 1e4000", "95/105", "95/1e4000"),
                Replaced("metal limit past long double", "95/105", "95/1e5000"),
                Replaced("nan temperature", "1620/1660", "nan/1660"),
                Replaced("negative charge amount", "~55 &80", "~-55 &80")};
    default:
        return {};
    }
}

// What a melt of the current task gives, and what it is made from.
struct TMeltPrint {
    std::vector<long double> Values;
    std::vector<std::string> Texts;
    bool operator==(const TMeltPrint&) const = default;
};

class HostileFiles : public LoaderTestBase, public ::testing::WithParamInterface<TRouteInfo> {
protected:
    void SetUp() override
    {
        LoaderTestBase::SetUp();
        UseSampleSolutionSettings();
        CopySample(project_.path());
        fs::copy_file(fs::path(FERROLYT_DATA) / "DSP23517.HEA", project_ / "DSP23517.HEA");
        ASSERT_TRUE(LoadProject((project_ / "FERROLYT.FWP").string()));
        before_ = Print();
    }

    static void CopySample(const fs::path& folder)
    {
        for (const auto& file : fs::directory_iterator(fs::path(FERROLYT_FIXTURES) / "sample-melt"))
            fs::copy_file(file.path(), folder / file.path().filename());
    }

    static TMeltPrint Print()
    {
        TMeltPrint p;
        EXPECT_TRUE(MeltForward().BothConverged);
        for (int k = 0; k < 2; ++k) {
            const TThSys& s = *ThSystems[static_cast<std::size_t>(k)];
            p.Values.insert(p.Values.end(), {s.Temperature, s.MetalMass, s.SlagMass, s.GasMass, s.Heat.H[phTotal]});
        }
        p.Values.insert(p.Values.end(), {static_cast<long double>(ElementBase.Count),
                                         static_cast<long double>(GasBaseCount), static_cast<long double>(MaterialCount),
                                         static_cast<long double>(TaskList.Count), InteractionEnergy[1][2],
                                         static_cast<long double>(SlagMatrix[0][3])});
        p.Texts = ProjectList;
        p.Texts.push_back(fs::current_path().string());
        p.Texts.push_back(Settings.LastProject);
        p.Texts.push_back(TaskList.FileName);
        return p;
    }

    // Opens `file` the way the program opens a file of that kind.
    static bool Open(Route route, const fs::path& file, const fs::path& folder)
    {
        switch (route) {
        case Route::Project:
            return LoadProject(file.string());
        case Route::Constants:
            return OpenConstantsFile(file.string());
        case Route::Interaction:
        case Route::Slag:
        case Route::Gas:
            return LoadProject((folder / "FERROLYT.FWP").string());
        case Route::Materials:
            return OpenMaterialsFile(file.string());
        case Route::Tasks:
            return OpenTaskFile(file.string());
        case Route::HeatLog:
            return LoadHeatFile(file.string());
        }
        return false;
    }

    ScratchFolder project_;
    RecordingHost host_;
    TMeltPrint before_;
};

TEST_P(HostileFiles, AreRefusedWithAMessageAndLeaveTheProjectAsItWas)
{
    const TRouteInfo route = GetParam();
    std::vector<THostileCase> cases = CommonCases();
    for (THostileCase& c : NumberCases(route.Way))
        cases.push_back(std::move(c));
    for (const THostileCase& c : cases) {
        SCOPED_TRACE(c.Name);
        // The project's other files lie beside the hostile one, so that a
        // file reached through the project is the only one at fault.
        ScratchFolder elsewhere;
        CopySample(elsewhere.path());
        const fs::path file = elsewhere / route.File;
        fs::remove(file);
        c.Make(file, ReadBytes(fs::path(route.Way == Route::HeatLog ? FERROLYT_DATA : FERROLYT_FIXTURES "/sample-melt") /
                               route.File));
        host_.warnings.clear();
        const std::string caption = host_.caption;
        bool opened = false;
        {
            std::optional<AsOrdinaryUser> user;
            if (c.Unreadable) {
                user.emplace();
                if (::geteuid() == 0)
                    continue; // a superuser that cannot give up its rights reads everything
            }
            opened = Open(route.Way, file, elsewhere.path());
        }
        ASSERT_FALSE(host_.warnings.empty());
        if (c.ReadAnyway) {
            EXPECT_TRUE(host_.warned("UTF-8")) << host_.warnings.front();
            if (route.Way != Route::HeatLog) {
                EXPECT_TRUE(opened);
            }
            // Read, and so named by the project now: what counts is that it
            // melts as before.
            const TMeltPrint after = Print();
            EXPECT_EQ(after.Values, before_.Values);
            ASSERT_TRUE(LoadProject((project_ / "FERROLYT.FWP").string()));
            continue;
        }
        EXPECT_FALSE(opened);
        EXPECT_TRUE(host_.warned("Неможливо завантажити файл")) << host_.warnings.front();
        EXPECT_TRUE(host_.warned(c.Says)) << host_.warnings.front();
        EXPECT_EQ(host_.caption, caption);
        EXPECT_TRUE(Print() == before_);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryWayIn, HostileFiles, ::testing::ValuesIn(Routes), [](const auto& info) {
    const std::string file = info.param.File;
    return file.substr(file.find('.') + 1);
});

} // namespace
} // namespace ferrolyt::test
