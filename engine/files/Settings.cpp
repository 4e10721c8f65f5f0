#include "Settings.h"

#include "KeyStore.h"
#include "TextFile.h"
#include "Utils.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <string_view>

namespace ferrolyt {

TSettingsRecord Settings;

void SetOptionDefaults() { Settings = TSettingsRecord{}; }

namespace {

// The code page 1251 bytes of a text, cut to `capacity` characters; each
// character that 1251 cannot hold, and each malformed UTF-8 byte, gives '?'.
std::string Cp1251Fit(std::string_view utf8, std::size_t capacity)
{
    std::string out;
    if (TryToCp1251(utf8, out)) {
        if (out.size() > capacity)
            out.resize(capacity);
        return out;
    }
    out.clear();
    std::string converted;
    while (!utf8.empty() && out.size() < capacity) {
        const std::string character = Utf8Left(utf8, 1);
        out += TryToCp1251(character, converted) ? converted : std::string("?");
        utf8.remove_prefix(character.size());
    }
    return out;
}

// ---------------------------------------------------------------------------
// The file layout, written once: each field with its offset. The same walk
// packs a record (Packer) and unpacks an image (Unpacker).

template <class Io, class Record>
void WalkFields(Io& io, Record& r)
{
    io.String(0, r.LastProject);
    io.Bytes(106, r.Reserved1);
    io.Flag(236, r.ExitSave);
    io.Flag(237, r.AutoSave);
    io.Byte(238, r.AutoSaveMinutes);
    io.Byte(239, r.HeatAlg);
    io.Byte(240, r.ConsumptionMode);
    io.Word(241, r.HotHeelTemp);
    io.Word(243, r.HotHeelMetal);
    io.Word(245, r.HotHeelSlag);
    io.Word(247, r.MagnesiteTemp);
    io.Word(249, r.MagnesiteMass);
    io.Word(251, r.ScrapMeltTemp);
    io.Real(253, r.ElectrodeRate);
    io.Real(261, r.GasHeatToSystem);
    io.Real(269, r.ElectricHeatCoef);
    io.Real(277, r.LgConstFe);
    io.Real(285, r.FurnaceVolume);
    io.Flag(293, r.AllowCrystallisation);
    io.Flag(294, r.AutoInitialEstimate);
    io.Flag(295, r.AccurateOptimisation);
    io.Word(296, r.MoltenMaterialTemp);
    io.Bytes(298, r.Reserved2);
    io.Flag(356, r.AutoOxygen);
    io.Flag(357, r.ShowSomeGases);
    io.Flag(358, r.AverageValues);
    io.Flag(359, r.LogValues);
    io.Flag(360, r.MorePrecision);
    io.Flag(361, r.AccurateMetalSample);
    io.Flag(362, r.WidenFerroalloys);
    io.Flag(363, r.ElementalSlag);
    io.Flag(364, r.BetterConvergence);
    io.Byte(365, r.GasPressureUnit);
    io.Bytes(366, r.Reserved3);
    io.Byte(380, r.MetalModel);
    io.Byte(381, r.SlagModel);
    io.Byte(382, r.GasLogMode);
    io.Byte(383, r.CompositionUnit);
    io.Byte(384, r.FinalTempMode);
    io.Real(385, r.MinGasPressure);
    io.Flag(393, r.CalcNmi);
    io.Flag(394, r.AutoNmiRadius);
    io.Flag(395, r.ExportNmiByMultiple);
    io.Flag(396, r.ExportNmiByTemp);
    io.Byte(397, r.NmiRcMethod);
    io.Real(398, r.InitialExoNmiShare);
    io.Real(406, r.ExoNmiRadius);
    io.Real(414, r.EndoNmiRadius);
    io.Real(422, r.EndoNmiMultiple);
    io.Word(430, r.NmiTemp);
    io.Word(432, r.ExportMultipleFrom);
    io.Word(434, r.ExportMultipleTo);
    io.Word(436, r.ExportMultipleStep);
    io.Word(438, r.ExportMultipleTemp);
    io.Word(440, r.ExportTempFrom);
    io.Word(442, r.ExportTempTo);
    io.Word(444, r.ExportTempStep);
    io.Word(446, r.ExportTempMultiple);
    io.Bytes(448, r.Reserved4);
}

using Image = std::array<uint8_t, SettingsSize>;

struct Packer {
    Image& out;

    void String(std::size_t at, const std::string& value)
    {
        const std::string cp = Cp1251Fit(value, LastProjectCapacity);
        out[at] = static_cast<uint8_t>(cp.size());
        std::memcpy(&out[at + 1], cp.data(), cp.size()); // the rest stays zero
    }
    template <std::size_t N>
    void Bytes(std::size_t at, const std::array<uint8_t, N>& value) { std::memcpy(&out[at], value.data(), N); }
    void Flag(std::size_t at, bool value) { out[at] = value ? 1 : 0; }
    void Byte(std::size_t at, uint8_t value) { out[at] = value; }
    void Word(std::size_t at, uint16_t value)
    {
        out[at] = static_cast<uint8_t>(value);
        out[at + 1] = static_cast<uint8_t>(value >> 8);
    }
    void Real(std::size_t at, double value)
    {
        const auto bits = std::bit_cast<uint64_t>(value);
        for (int i = 0; i < 8; ++i)
            out[at + i] = static_cast<uint8_t>(bits >> (8 * i));
    }
};

struct Unpacker {
    const Image& in;
    bool stringTooLong = false;

    void String(std::size_t at, std::string& value)
    {
        const uint8_t length = in[at];
        stringTooLong = length > LastProjectCapacity;
        if (!stringTooLong)
            value = FromCp1251({reinterpret_cast<const char*>(&in[at + 1]), length});
    }
    template <std::size_t N>
    void Bytes(std::size_t at, std::array<uint8_t, N>& value) { std::memcpy(value.data(), &in[at], N); }
    void Flag(std::size_t at, bool& value) { value = in[at] != 0; }
    void Byte(std::size_t at, uint8_t& value) { value = in[at]; }
    void Word(std::size_t at, uint16_t& value) { value = static_cast<uint16_t>(in[at] | (in[at + 1] << 8)); }
    void Real(std::size_t at, double& value)
    {
        uint64_t bits = 0;
        for (int i = 0; i < 8; ++i)
            bits |= static_cast<uint64_t>(in[at + i]) << (8 * i);
        value = std::bit_cast<double>(bits);
    }
};

// ---------------------------------------------------------------------------
// Mending of unusable values read from a file.

class Mender {
public:
    void Choice(uint8_t& value, uint8_t count, uint8_t fallback, const char* name)
    {
        if (value >= count)
            Mend(value, fallback, name);
    }
    // Any finite value is usable.
    void Finite(double& value, double fallback, const char* name)
    {
        if (!std::isfinite(value))
            Mend(value, fallback, name);
    }
    // A finite value that is not below zero.
    void NonNegative(double& value, double fallback, const char* name)
    {
        if (!std::isfinite(value) || value < 0)
            Mend(value, fallback, name);
    }
    template <class T>
    void Mend(T& value, const T& fallback, const char* name)
    {
        value = fallback;
        mended.emplace_back(name);
    }

    std::vector<std::string> mended;
};

std::vector<std::string> MendSettings(TSettingsRecord& r, bool stringTooLong)
{
    const TSettingsRecord d{};
    Mender m;
    if (stringTooLong)
        m.Mend(r.LastProject, d.LastProject, "LastProject");
    if (r.AutoSaveMinutes == 0)
        m.Mend(r.AutoSaveMinutes, d.AutoSaveMinutes, "AutoSaveMinutes");
    m.Choice(r.HeatAlg, HeatAlgChoices, d.HeatAlg, "HeatAlg");
    m.Choice(r.ConsumptionMode, ConsumptionModeChoices, d.ConsumptionMode, "ConsumptionMode");
    m.NonNegative(r.ElectrodeRate, d.ElectrodeRate, "ElectrodeRate");
    m.Finite(r.GasHeatToSystem, d.GasHeatToSystem, "GasHeatToSystem");
    m.NonNegative(r.ElectricHeatCoef, d.ElectricHeatCoef, "ElectricHeatCoef");
    m.Finite(r.LgConstFe, d.LgConstFe, "LgConstFe");
    m.NonNegative(r.FurnaceVolume, d.FurnaceVolume, "FurnaceVolume");
    m.Choice(r.GasPressureUnit, GasPressureUnitChoices, d.GasPressureUnit, "GasPressureUnit");
    m.Choice(r.MetalModel, MetalModelChoices, d.MetalModel, "MetalModel");
    m.Choice(r.SlagModel, SlagModelChoices, d.SlagModel, "SlagModel");
    m.Choice(r.GasLogMode, GasLogModeChoices, d.GasLogMode, "GasLogMode");
    m.Choice(r.CompositionUnit, CompositionUnitChoices, d.CompositionUnit, "CompositionUnit");
    m.Choice(r.FinalTempMode, FinalTempModeChoices, d.FinalTempMode, "FinalTempMode");
    m.NonNegative(r.MinGasPressure, d.MinGasPressure, "MinGasPressure");
    m.Choice(r.NmiRcMethod, NmiRcMethodChoices, d.NmiRcMethod, "NmiRcMethod");
    m.NonNegative(r.InitialExoNmiShare, d.InitialExoNmiShare, "InitialExoNmiShare");
    m.NonNegative(r.ExoNmiRadius, d.ExoNmiRadius, "ExoNmiRadius");
    m.NonNegative(r.EndoNmiRadius, d.EndoNmiRadius, "EndoNmiRadius");
    m.NonNegative(r.EndoNmiMultiple, d.EndoNmiMultiple, "EndoNmiMultiple");
    return std::move(m.mended);
}

} // namespace

std::string FitShortString(const std::string& utf8, std::size_t capacity)
{
    return FromCp1251(Cp1251Fit(utf8, capacity));
}

std::array<uint8_t, SettingsSize> EncodeSettings(const TSettingsRecord& record)
{
    Image image{};
    Packer packer{image};
    WalkFields(packer, record);
    return image;
}

std::vector<std::string> DecodeSettings(const uint8_t* bytes, std::size_t size, TSettingsRecord& record)
{
    Image image = EncodeSettings(record);
    if (size > SettingsSize)
        size = SettingsSize;
    if (size > 0)
        std::memcpy(image.data(), bytes, size);
    Unpacker unpacker{image};
    WalkFields(unpacker, record);
    return MendSettings(record, unpacker.stringTooLong);
}

bool ReadSettingsFile(const std::string& path)
{
    std::string bytes;
    try {
        // A settings file holds one record: anything far larger is not ours.
        bytes = ReadFileBytes(path, 64 * SettingsSize);
    } catch (const std::exception&) {
        return false;
    }
    DecodeSettings(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), Settings);
    return true;
}

namespace {

// As much of a path as the key store gives back; far more than any path.
constexpr std::size_t WholePathCapacity = 1 << 16;

bool RecordHoldsWhole(const std::string& path) { return FitShortString(path, LastProjectCapacity) == path; }

} // namespace

void RestoreWholeLastProject()
{
    std::string whole;
    if (ReadRegistryString(HKEY_CURRENT_USER, ProgramKey, LastProjectValueName, whole, WholePathCapacity) ==
            ErrorSuccess &&
        !RecordHoldsWhole(whole) && FitShortString(whole, LastProjectCapacity) == Settings.LastProject)
        Settings.LastProject = whole;
}

bool KeepWholeLastProject(std::string* error)
{
    if (!RecordHoldsWhole(Settings.LastProject))
        return WriteRegistryString(HKEY_CURRENT_USER, ProgramKey, LastProjectValueName, Settings.LastProject,
                                   error) == ErrorSuccess;
    std::string stale;
    if (ReadRegistryString(HKEY_CURRENT_USER, ProgramKey, LastProjectValueName, stale) == ErrorSuccess &&
        !stale.empty())
        DeleteRegistryValue(HKEY_CURRENT_USER, ProgramKey, LastProjectValueName);
    return true;
}

bool WriteSettingsFile(const std::string& path)
{
    const Image image = EncodeSettings(Settings);
    try {
        WriteFileAtomically(path, {reinterpret_cast<const char*>(image.data()), image.size()});
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace ferrolyt
