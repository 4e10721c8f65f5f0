// Resolution of Windows-style data-file names (PathResolver.h).
#include "LoaderTestSupport.h"
#include "PathResolver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace ferrolyt;
namespace fs = std::filesystem;

namespace {

class PathResolverTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(base / "Data" / "Шлаки");
        Touch(base / "STEEL.CON");
        Touch(base / "Data" / "Steel.mat");
        Touch(base / "Data" / "Шлаки" / "Основний.SLG");
        Touch(base / "Вапно.mat");
        // Two names that differ only in case: ambiguous for other spellings.
        Touch(base / "twin.eps");
        Touch(base / "TWIN.eps");
    }
    static void Touch(const fs::path& p) { std::ofstream(p) << "x"; }
    test::ScratchFolder scratch;
    fs::path base = scratch.path();
};

} // namespace

TEST(ConvertWindowsName, SeparatorsAndDrives)
{
    struct Case {
        const char* name;
        const char* path;
        bool rooted, hadDrive, unc;
    };
    const Case cases[] = {
        {"DATA\\x.CON", "DATA/x.CON", false, false, false},
        {"C:\\x\\y.CON", "x/y.CON", true, true, false},
        {"c:x\\y.CON", "x/y.CON", false, true, false}, // drive-relative
        {"\\\\server\\share\\f.TSK", "server/share/f.TSK", true, false, true},
        {"/home/u/f.TSK", "home/u/f.TSK", true, false, false},
    };
    for (const auto& c : cases) {
        const auto r = ConvertWindowsName(c.name);
        EXPECT_EQ(r.path, c.path) << c.name;
        EXPECT_EQ(r.rooted, c.rooted) << c.name;
        EXPECT_EQ(r.hadDrive, c.hadDrive) << c.name;
        EXPECT_EQ(r.unc, c.unc) << c.name;
    }
}

TEST_F(PathResolverTest, ExactNameWins)
{
    EXPECT_EQ(ResolveDataPath(base, "STEEL.CON"), base / "STEEL.CON");
    EXPECT_EQ(ResolveDataPath(base, "Data\\Steel.mat"), base / "Data/Steel.mat");
    EXPECT_EQ(ResolveDataPath(base, "twin.eps"), base / "twin.eps");
    EXPECT_EQ(ResolveDataPath(base, "TWIN.eps"), base / "TWIN.eps");
}

TEST_F(PathResolverTest, ComponentsMatchCaseInsensitively)
{
    EXPECT_EQ(ResolveDataPath(base, "steel.con"), base / "STEEL.CON");
    EXPECT_EQ(ResolveDataPath(base, "DATA\\STEEL.MAT"), base / "Data" / "Steel.mat");
    EXPECT_EQ(ResolveDataPath(base, "data/steel.MAT"), base / "Data" / "Steel.mat");
    // Cyrillic names too.
    EXPECT_EQ(ResolveDataPath(base, "ВАПНО.MAT"), base / "Вапно.mat");
    EXPECT_EQ(ResolveDataPath(base, "вапно.mat"), base / "Вапно.mat");
    EXPECT_EQ(ResolveDataPath(base, "DATA\\ШЛАКИ\\основний.slg"), base / "Data" / "Шлаки" / "Основний.SLG");
}

TEST_F(PathResolverTest, RelativePartsAreResolved)
{
    const fs::path sub = base / "Data";
    EXPECT_EQ(ResolveDataPath(sub, "..\\steel.con"), sub / ".." / "STEEL.CON");
    EXPECT_EQ(ResolveDataPath(sub, ".\\steel.MAT"), sub / "Steel.mat");
    EXPECT_TRUE(fs::exists(ResolveDataPath(sub, "..\\DATA\\.\\шлаки\\ОСНОВНИЙ.SLG")));
}

TEST_F(PathResolverTest, DriveLetterNamesFallBackToTheBaseFolder)
{
    // The trailing parts are tried below the base folder, longest first.
    EXPECT_EQ(ResolveDataPath(base, "C:\\Ferrolyt\\STEEL.CON"), base / "STEEL.CON");
    EXPECT_EQ(ResolveDataPath(base, "D:\\Work\\data\\steel.mat"), base / "Data" / "Steel.mat");
    EXPECT_EQ(ResolveDataPath(base, "C:\\x\\y\\вапно.MAT"), base / "Вапно.mat");
    EXPECT_EQ(ResolveDataPath(base, "\\\\server\\share\\STEEL.con"), base / "STEEL.CON");
    EXPECT_EQ(ResolveDataPath(base, "\\STEEL.CON"), base / "STEEL.CON");
    // Nothing found: the bare file name in the base folder.
    EXPECT_EQ(ResolveDataPath(base, "C:\\x\\y.CON"), base / "y.CON");
}

TEST_F(PathResolverTest, PosixAbsolutePathsStandAsWritten)
{
    const fs::path full = base / "Data" / "Steel.mat";
    EXPECT_EQ(ResolveDataPath("/nonexistent", full.string()), full);
    // Case-insensitive below the root as well.
    std::string upper = (base / "DATA" / "STEEL.MAT").string();
    EXPECT_EQ(ResolveDataPath("/nonexistent", upper), full);
}

TEST_F(PathResolverTest, MissingOrAmbiguousGivesThePlainConvertedPath)
{
    EXPECT_EQ(ResolveDataPath(base, "DATA\\none.mat"), base / "DATA/none.mat");
    EXPECT_EQ(ResolveDataPath(base, "none\\x.mat"), base / "none/x.mat");
    // "Twin.EPS" matches twin.eps and TWIN.eps: ambiguous, nothing chosen.
    EXPECT_EQ(ResolveDataPath(base, "Twin.EPS"), base / "Twin.EPS");
}

TEST_F(PathResolverTest, EmptyBaseMeansTheCurrentFolder)
{
    const fs::path cwd = fs::current_path();
    fs::current_path(base);
    EXPECT_EQ(ResolveDataPath("", "data\\STEEL.MAT"), fs::path("Data") / "Steel.mat");
    EXPECT_EQ(ResolveDataPath("", "missing.con"), fs::path("missing.con"));
    fs::current_path(cwd);
}
