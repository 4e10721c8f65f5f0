#include "KeyStore.h"
#include "LoaderTestSupport.h"
#include "ProgramDir.h"
#include "Settings.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <random>
#include <tuple>

using namespace ferrolyt;
namespace fs = std::filesystem;

namespace {

using Image = std::array<uint8_t, SettingsSize>;

// One field of the file layout as the settings file format documents it.
struct FieldCase {
    const char* name;
    std::size_t offset;
    std::size_t width;
    std::function<void(TSettingsRecord&)> set; // puts a distinctive value in
    std::vector<uint8_t> expected;             // the bytes that value gives
};

std::vector<uint8_t> WordBytes(uint16_t v) { return {uint8_t(v), uint8_t(v >> 8)}; }

std::vector<uint8_t> DoubleBytes(double v)
{
    const auto bits = std::bit_cast<uint64_t>(v);
    std::vector<uint8_t> b;
    for (int i = 0; i < 8; ++i)
        b.push_back(uint8_t(bits >> (8 * i)));
    return b;
}

#define FLAG(name, off) FieldCase{#name, off, 1, [](TSettingsRecord& r) { r.name = !r.name; }, {uint8_t(!TSettingsRecord{}.name)}}
#define BYTE(name, off, v) FieldCase{#name, off, 1, [](TSettingsRecord& r) { r.name = v; }, {uint8_t(v)}}
#define WORD(name, off) FieldCase{#name, off, 2, [](TSettingsRecord& r) { r.name = 0xA1B2; }, WordBytes(0xA1B2)}
#define REAL(name, off) FieldCase{#name, off, 8, [](TSettingsRecord& r) { r.name = 1234.5678; }, DoubleBytes(1234.5678)}
#define RESERVED(name, off, n) FieldCase{#name, off, n, [](TSettingsRecord& r) { r.name.fill(0x5A); }, std::vector<uint8_t>(n, 0x5A)}

std::vector<FieldCase> Layout()
{
    std::vector<uint8_t> lastProject(106, 0);
    lastProject[0] = 3;
    lastProject[1] = 'A';
    lastProject[2] = 0xC0; // Cyrillic А in code page 1251
    lastProject[3] = 'z';
    return {
        FieldCase{"LastProject", 0, 106, [](TSettingsRecord& r) { r.LastProject = "AАz"; }, lastProject},
        RESERVED(Reserved1, 106, 130),
        FLAG(ExitSave, 236),
        FLAG(AutoSave, 237),
        BYTE(AutoSaveMinutes, 238, 0xAB),
        BYTE(HeatAlg, 239, 2),
        BYTE(ConsumptionMode, 240, 1),
        WORD(HotHeelTemp, 241),
        WORD(HotHeelMetal, 243),
        WORD(HotHeelSlag, 245),
        WORD(MagnesiteTemp, 247),
        WORD(MagnesiteMass, 249),
        WORD(ScrapMeltTemp, 251),
        REAL(ElectrodeRate, 253),
        REAL(GasHeatToSystem, 261),
        REAL(ElectricHeatCoef, 269),
        REAL(LgConstFe, 277),
        REAL(FurnaceVolume, 285),
        FLAG(AllowCrystallisation, 293),
        FLAG(AutoInitialEstimate, 294),
        FLAG(AccurateOptimisation, 295),
        WORD(MoltenMaterialTemp, 296),
        RESERVED(Reserved2, 298, 58),
        FLAG(AutoOxygen, 356),
        FLAG(ShowSomeGases, 357),
        FLAG(AverageValues, 358),
        FLAG(LogValues, 359),
        FLAG(MorePrecision, 360),
        FLAG(AccurateMetalSample, 361),
        FLAG(WidenFerroalloys, 362),
        FLAG(ElementalSlag, 363),
        FLAG(BetterConvergence, 364),
        BYTE(GasPressureUnit, 365, 3),
        RESERVED(Reserved3, 366, 14),
        BYTE(MetalModel, 380, 1),
        BYTE(SlagModel, 381, 1),
        BYTE(GasLogMode, 382, 2),
        BYTE(CompositionUnit, 383, 3),
        BYTE(FinalTempMode, 384, 2),
        REAL(MinGasPressure, 385),
        FLAG(CalcNmi, 393),
        FLAG(AutoNmiRadius, 394),
        FLAG(ExportNmiByMultiple, 395),
        FLAG(ExportNmiByTemp, 396),
        BYTE(NmiRcMethod, 397, 1),
        REAL(InitialExoNmiShare, 398),
        REAL(ExoNmiRadius, 406),
        REAL(EndoNmiRadius, 414),
        REAL(EndoNmiMultiple, 422),
        WORD(NmiTemp, 430),
        WORD(ExportMultipleFrom, 432),
        WORD(ExportMultipleTo, 434),
        WORD(ExportMultipleStep, 436),
        WORD(ExportMultipleTemp, 438),
        WORD(ExportTempFrom, 440),
        WORD(ExportTempTo, 442),
        WORD(ExportTempStep, 444),
        WORD(ExportTempMultiple, 446),
        RESERVED(Reserved4, 448, 64),
    };
}

TSettingsRecord Decoded(const Image& image, std::vector<std::string>* mended = nullptr)
{
    TSettingsRecord r;
    auto m = DecodeSettings(image.data(), image.size(), r);
    if (mended)
        *mended = m;
    return r;
}

void WriteBytes(const std::string& path, const uint8_t* data, std::size_t n)
{
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(data), std::streamsize(n));
}

std::vector<uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

class SettingsFileTest : public ::testing::Test {
protected:
    std::string File(const std::string& name) const { return (dir / name).string(); }
    test::ScratchFolder dir;
};

} // namespace

TEST(Settings, EveryFieldLiesAtItsOffsetInBothDirections)
{
    const Image base = EncodeSettings(TSettingsRecord{});
    std::size_t next = 0; // the layout covers all 512 bytes without gaps
    for (const auto& f : Layout()) {
        EXPECT_EQ(f.offset, next) << f.name;
        ASSERT_EQ(f.expected.size(), f.width) << f.name;
        next = f.offset + f.width;
        TSettingsRecord r;
        f.set(r);
        const Image image = EncodeSettings(r);
        for (std::size_t i = 0; i < SettingsSize; ++i) {
            if (i >= f.offset && i < f.offset + f.width)
                EXPECT_EQ(image[i], f.expected[i - f.offset]) << f.name << " byte " << i;
            else
                EXPECT_EQ(image[i], base[i]) << f.name << " changed byte " << i;
        }
        // The same bytes put into a default image read back as the value.
        Image patched = base;
        std::memcpy(&patched[f.offset], f.expected.data(), f.width);
        std::vector<std::string> mended;
        EXPECT_EQ(Decoded(patched, &mended), r) << f.name;
        EXPECT_TRUE(mended.empty()) << f.name;
    }
    EXPECT_EQ(next, SettingsSize);
}

TEST(Settings, DefaultsAreZeroBytesAndSixValues)
{
    Settings.AutoSave = true;
    Settings.LastProject = "X.FWP";
    Settings.Reserved4[3] = 9;
    SetOptionDefaults();
    EXPECT_EQ(Settings, TSettingsRecord{});
    // The layout test above pins each offset, so the image pins the values.
    Image expected{};
    expected[0] = 12;
    std::memcpy(&expected[1], "FERROLYT.FWP", 12); // LastProject
    expected[238] = 10;                             // AutoSaveMinutes
    expected[296] = 1600 & 0xFF;                    // MoltenMaterialTemp
    expected[297] = 1600 >> 8;
    expected[356] = 1; // AutoOxygen
    expected[357] = 1; // ShowSomeGases
    const auto p = DoubleBytes(1e-10); // MinGasPressure
    std::memcpy(&expected[385], p.data(), 8);
    EXPECT_EQ(EncodeSettings(Settings), expected);
}

// A random image whose fields all hold usable values.
Image RandomValidImage(std::mt19937& rng)
{
    std::uniform_int_distribution<int> byte(0, 255);
    Image image;
    for (auto& b : image)
        b = uint8_t(byte(rng));
    const uint8_t length = uint8_t(byte(rng) % 106);
    image[0] = length;
    std::memset(&image[1 + length], 0, 105 - length); // only the text is kept
    for (std::size_t at : {236, 237, 293, 294, 295, 356, 357, 358, 359, 360, 361, 362, 363, 364, 393, 394, 395, 396})
        image[at] &= 1;
    image[238] = uint8_t(1 + byte(rng) % 255);
    const std::pair<std::size_t, int> choices[] = {{239, 3}, {240, 2}, {365, 4}, {380, 2}, {381, 2},
                                                   {382, 3}, {383, 4}, {384, 3}, {397, 2}};
    for (auto [at, count] : choices)
        image[at] = uint8_t(byte(rng) % count);
    std::uniform_real_distribution<double> real(0.0, 1e6);
    for (std::size_t at : {253, 261, 269, 277, 285, 385, 398, 406, 414, 422}) {
        const auto b = DoubleBytes(real(rng));
        std::memcpy(&image[at], b.data(), 8);
    }
    return image;
}

TEST(Settings, RandomValidImageRoundTripsByteForByte)
{
    std::mt19937 rng(20240601);
    for (int run = 0; run < 200; ++run) {
        const Image image = RandomValidImage(rng);
        std::vector<std::string> mended;
        const TSettingsRecord r = Decoded(image, &mended);
        EXPECT_TRUE(mended.empty()) << run;
        ASSERT_EQ(EncodeSettings(r), image) << run;
    }
}

TEST(Settings, AnyNonZeroByteIsTrue)
{
    Image image = EncodeSettings(TSettingsRecord{});
    image[236] = 7;
    const TSettingsRecord r = Decoded(image);
    EXPECT_TRUE(r.ExitSave);
    EXPECT_EQ(EncodeSettings(r)[236], 1);
}

TEST(Settings, BytesOutOfRangeFallBackToTheirDefaults)
{
    const std::tuple<std::size_t, const char*, uint8_t> cases[] = {
        {0, "LastProject", 106}, {0, "LastProject", 200}, {0, "LastProject", 255}, // text length beyond capacity
        {239, "HeatAlg", 0xFF}, {240, "ConsumptionMode", 0xFF}, {365, "GasPressureUnit", 0xFF},
        {380, "MetalModel", 0xFF}, {381, "SlagModel", 0xFF}, {382, "GasLogMode", 0xFF},
        {383, "CompositionUnit", 0xFF}, {384, "FinalTempMode", 0xFF}, {397, "NmiRcMethod", 0xFF},
        {238, "AutoSaveMinutes", 0}}; // a zero interval becomes ten minutes
    for (auto [at, name, bad] : cases) {
        Image image = EncodeSettings(TSettingsRecord{});
        image[at] = bad;
        std::vector<std::string> mended;
        EXPECT_EQ(Decoded(image, &mended), TSettingsRecord{}) << name;
        EXPECT_EQ(mended, std::vector<std::string>{name});
    }
    // The largest value of each is still accepted.
    Image image = EncodeSettings(TSettingsRecord{});
    image[239] = 2;
    image[383] = 3;
    image[0] = 105;
    std::memset(&image[1], 'a', 105);
    const TSettingsRecord r = Decoded(image);
    EXPECT_EQ(r.HeatAlg, 2);
    EXPECT_EQ(r.CompositionUnit, 3);
    EXPECT_EQ(r.LastProject, std::string(105, 'a'));
}

TEST(Settings, UnusableNumbersFallBackToTheirDefaults)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        std::size_t at;
        double value;
        bool mended;
    };
    const Case cases[] = {
        {385, nan, true},  {385, -1e-5, true}, {385, inf, true}, // MinGasPressure
        {253, -1.0, true}, {269, -inf, true},  {285, -23.0, true},
        {398, -1.0, true}, {406, nan, true},   {414, -2.0, true}, {422, -0.5, true},
        {261, nan, true},  {277, inf, true},
        {261, -3.5, false}, {277, -4.25, false}, // may be negative
        {385, 0.0, false},
    };
    for (const auto& c : cases) {
        Image image = EncodeSettings(TSettingsRecord{});
        const auto b = DoubleBytes(c.value);
        std::memcpy(&image[c.at], b.data(), 8);
        std::vector<std::string> mended;
        const TSettingsRecord r = Decoded(image, &mended);
        EXPECT_EQ(mended.size(), c.mended ? 1u : 0u) << "offset " << c.at << " value " << c.value;
        if (c.mended)
            EXPECT_EQ(r, TSettingsRecord{}) << "offset " << c.at;
        else
            EXPECT_EQ(EncodeSettings(r), image) << "offset " << c.at;
    }
}

TEST(Settings, TextsAreStoredInCodePage1251)
{
    TSettingsRecord r;
    r.LastProject = "Проєкти\\ЇїІіҐґ №1.FWP";
    const Image image = EncodeSettings(r);
    const uint8_t expected[] = {0xCF, 0xF0, 0xEE, 0xBA, 0xEA, 0xF2, 0xE8, '\\', 0xAF, 0xBF,
                                0xB2, 0xB3, 0xA5, 0xB4, ' ', 0xB9, '1', '.', 'F', 'W', 'P'};
    ASSERT_EQ(image[0], sizeof expected);
    EXPECT_EQ(0, std::memcmp(&image[1], expected, sizeof expected));
    EXPECT_EQ(Decoded(image).LastProject, r.LastProject);
}

TEST(Settings, LongTextsAreCutTo105CharactersNotBytes)
{
    TSettingsRecord r;
    std::string cyrillic;
    for (int i = 0; i < 150; ++i)
        cyrillic += "ж";
    r.LastProject = cyrillic;
    const Image image = EncodeSettings(r);
    EXPECT_EQ(image[0], 105);
    EXPECT_EQ(image[105], 0xE6);
    EXPECT_EQ(image[106], 0); // Reserved1 untouched
    const std::string cut = Decoded(image).LastProject;
    EXPECT_EQ(cut, cyrillic.substr(0, 2 * 105));
    EXPECT_EQ(FitShortString(cyrillic, LastProjectCapacity), cut);
}

TEST(Settings, UnmappableCharactersBecomeQuestionMarks)
{
    EXPECT_EQ(FitShortString("a日本€b.FWP", 105), "a??€b.FWP");
    EXPECT_EQ(FitShortString("x\xFFy\xE2\x82", 105), "x?y??"); // malformed UTF-8
    EXPECT_EQ(FitShortString("abcdef", 3), "abc");
    TSettingsRecord r;
    r.LastProject = "日本.FWP";
    const Image image = EncodeSettings(r);
    EXPECT_EQ(image[0], 6);
    EXPECT_EQ(Decoded(image).LastProject, "??.FWP");
}

TEST_F(SettingsFileTest, MissingOrForeignFileLeavesTheRecordAlone)
{
    // A pipe would hang the start before the window appears, and a link to
    // /dev/zero would be read until the memory runs out.
    ASSERT_EQ(::mkfifo(File("pipe.ini").c_str(), 0644), 0);
    std::filesystem::create_symlink("/dev/zero", File("zero.ini"));
    Settings.HotHeelTemp = 1650;
    const TSettingsRecord before = Settings;
    for (const char* name : {"none.ini", "pipe.ini", "zero.ini"}) {
        EXPECT_FALSE(ReadSettingsFile(File(name))) << name;
        EXPECT_EQ(Settings, before) << name;
    }
}

TEST_F(SettingsFileTest, ShortFileChangesOnlyTheBytesItHoldsLongerUsesItsFirst512)
{
    std::mt19937 rng(7);
    const Image image = RandomValidImage(rng);
    std::vector<uint8_t> file(image.begin(), image.end());
    file.resize(700, 0xEE);
    const auto prepare = [] {
        SetOptionDefaults();
        Settings.ExitSave = true;
        Settings.HotHeelTemp = 1700;
        Settings.Reserved2.fill(3);
        return EncodeSettings(Settings);
    };
    const Image before = prepare();
    for (std::size_t length : {0, 1, 100, 106, 240, 257, 300, 511, 512, 700}) {
        prepare();
        WriteBytes(File("s.ini"), file.data(), length);
        ASSERT_TRUE(ReadSettingsFile(File("s.ini")));
        Image expected = before;
        std::memcpy(expected.data(), file.data(), std::min(length, SettingsSize));
        // Only the text's "length" characters are kept; the rest is written as zeros.
        std::memset(&expected[1 + expected[0]], 0, 105 - expected[0]);
        EXPECT_EQ(EncodeSettings(Settings), expected) << length;
    }
}

TEST_F(SettingsFileTest, WrittenFileIs512BytesAndReadsBackWithReservedBytes)
{
    std::mt19937 rng(3);
    const Image image = RandomValidImage(rng);
    ASSERT_TRUE(DecodeSettings(image.data(), image.size(), Settings).empty());
    const std::string path = File("Ferrolyt.ini");
    WriteBytes(path, reinterpret_cast<const uint8_t*>("old"), 3);
    ASSERT_TRUE(WriteSettingsFile(path));
    const auto written = ReadBytes(path);
    ASSERT_EQ(written.size(), SettingsSize);
    EXPECT_TRUE(std::equal(written.begin(), written.end(), image.begin()));
    EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(path).parent_path()), fs::directory_iterator()), 1);

    const TSettingsRecord saved = Settings;
    SetOptionDefaults();
    ASSERT_TRUE(ReadSettingsFile(path));
    EXPECT_EQ(Settings, saved);
}

TEST_F(SettingsFileTest, FailedWriteReturnsFalseAndKeepsTheOldFile)
{
    EXPECT_FALSE(WriteSettingsFile(File("missing/Ferrolyt.ini")));

    // The name is taken by a folder: the temporary file is written, the
    // replacement fails, and nothing is left behind.
    const std::string blocked = File("blocked.ini");
    fs::create_directories(fs::path(blocked) / "inside");
    EXPECT_FALSE(WriteSettingsFile(blocked));
    EXPECT_TRUE(fs::is_directory(blocked));
    const auto entries = std::distance(fs::directory_iterator(fs::path(blocked).parent_path()), fs::directory_iterator());
    EXPECT_EQ(entries, 1); // no temporary file left behind
}

TEST_F(SettingsFileTest, ALastProjectTheRecordCannotHoldIsKeptWholeInTheKeyStore)
{
    SetKeyStoreFile(File("registry.ini"));
    std::string deep = "Плавки";
    while (deep.size() < 400)
        deep += "/Цех сталеплавильний № 2";
    const std::string whole = deep + "/FERROLYT.FWP";
    std::string error;
    for (const std::string& path : {whole, std::string("Проєкти/日本.FWP")}) {
        Settings.LastProject = path;
        ASSERT_TRUE(WriteSettingsFile(File("Ferrolyt.ini")));
        ASSERT_TRUE(KeepWholeLastProject(&error)) << error;
        SetOptionDefaults();
        ASSERT_TRUE(ReadSettingsFile(File("Ferrolyt.ini")));
        EXPECT_EQ(Settings.LastProject, FitShortString(path, LastProjectCapacity));
        RestoreWholeLastProject();
        EXPECT_EQ(Settings.LastProject, path);
    }

    // A record that names another project does not take the stored path.
    Settings.LastProject = FitShortString("Інші/" + whole, LastProjectCapacity);
    RestoreWholeLastProject();
    EXPECT_EQ(Settings.LastProject, FitShortString("Інші/" + whole, LastProjectCapacity));

    // A path the record holds leaves no value behind.
    Settings.LastProject = "FERROLYT.FWP";
    ASSERT_TRUE(KeepWholeLastProject(&error));
    std::string stored;
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, ProgramKey, LastProjectValueName, stored), ErrorSuccess);
    EXPECT_TRUE(stored.empty());
    SetKeyStoreFile({});
}

TEST(ProgramDirTest, HasNoTrailingSeparatorExceptAtTheRoot)
{
    const std::string saved = ProgramDir();
    SetProgramDir("/opt/ferrolyt/");
    EXPECT_EQ(ProgramDir(), "/opt/ferrolyt");
    EXPECT_EQ(ProgramFile("Ferrolyt.ini"), "/opt/ferrolyt/Ferrolyt.ini");
    SetProgramDir("/");
    EXPECT_EQ(ProgramDir(), "/");
    EXPECT_EQ(ProgramFile("Ferrolyt.ini"), "/Ferrolyt.ini");
    SetProgramDir("C:\\");
    EXPECT_EQ(ProgramDir(), "C:\\");
    SetProgramDir("C:\\Ferrolyt\\");
    EXPECT_EQ(ProgramDir(), "C:\\Ferrolyt");
    SetProgramDir(saved);
}
