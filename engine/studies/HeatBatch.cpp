// The batch report of the heat-log replay and its run counter.

#include "HeatBatch.h"

#include "HeatLog.h"
#include "HeatReplay.h"
#include "PathResolver.h"
#include "Settings.h"
#include "TextFile.h"
#include "ThSys.h"
#include "Utils.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>

namespace ferrolyt {

namespace {

constexpr long double NaN = std::numeric_limits<long double>::quiet_NaN();

// A number with `required` decimals and up to `optional` more when they are
// not trailing zeros ("0.0", "0.0#", "0.00#"); "-" when it has no value.
std::string Mask(long double x, int required, int optional = 0)
{
    if (!std::isfinite(x))
        return "-";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*Lf", required + optional, x);
    std::string s(buf);
    if (optional > 0) {
        const std::size_t dot = s.find('.');
        std::size_t keep = s.size();
        while (keep > dot + 1 + static_cast<std::size_t>(required) && s[keep - 1] == '0')
            --keep;
        if (keep == dot + 1)
            --keep;
        s.erase(keep);
    }
    if (s.find_first_not_of("-0.") == std::string::npos && s[0] == '-')
        s.erase(0, 1);
    return s;
}

// The general format with 3 significant digits.
std::string General3(long double x)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3LG", x);
    return buf;
}

struct TMean {
    long double Sum = 0;
    int Count = 0;
    void Add(long double x)
    {
        if (std::isfinite(x)) {
            Sum += x;
            ++Count;
        }
    }
    long double Value() const { return Count > 0 ? Sum / Count : NaN; }
};

std::string ReportLine(const std::string& name, long double s, long double e, long double d, long double r)
{
    return name + "  " + Mask(s, 1) + "  " + Mask(e, 3) + PadLeft(Mask(d, 1), 7) + PadLeft(Mask(r, 1), 7);
}

} // namespace

THeatBatchEntry CurrentHeatBatchEntry(bool replayed)
{
    THeatBatchEntry entry;
    entry.Name = HeatFileName;
    entry.Rows = HeatLogCount;
    if (!replayed) {
        entry.Slag = entry.SampleError = entry.TempError = entry.TempRms = NaN;
        return entry;
    }
    entry.Slag = LastSlagMass;
    entry.SampleError = HeatSampleCount > 0 ? SampleErrorSum / HeatSampleCount : NaN;
    entry.TempError = HeatMeasurementCount > 0 ? TempErrorSum / HeatMeasurementCount : NaN;
    entry.TempRms = HeatMeasurementCount > 0 ? std::sqrt(TempErrorSquareSum / HeatMeasurementCount) : NaN;
    return entry;
}

std::vector<std::string> HeatBatchReportLines(const std::vector<THeatBatchEntry>& entries, long double seconds)
{
    std::vector<std::string> lines{"Пл.№  Шл.  d(х/с)   dT    dT^2"};
    TMean s, e, d, r;
    long double rows = 0;
    for (const THeatBatchEntry& h : entries) {
        lines.push_back(ReportLine(h.Name, h.Slag, h.SampleError, h.TempError, h.TempRms));
        s.Add(h.Slag);
        e.Add(h.SampleError);
        d.Add(h.TempError);
        r.Add(h.TempRms);
        rows += h.Rows;
    }
    lines.emplace_back();
    lines.push_back(ReportLine("Cр. ", s.Value(), e.Value(), d.Value(), r.Value()));
    lines.emplace_back();

    const TSettingsRecord& st = Settings;
    lines.push_back("Алгоритм: " + ChoiceItem(HeatAlgItems, st.HeatAlg));
    lines.push_back("Расходы : " + ChoiceItem(ConsumptionItems, st.ConsumptionMode));
    lines.push_back("Расчет Т: " + ChoiceItem(FinalTempItems, st.FinalTempMode));
    lines.push_back(st.AllowCrystallisation ? "Кристаллизация: разрешена" : "Кристаллизация: не разрешена");
    lines.push_back("Т болота = " + std::to_string(st.HotHeelTemp) + " C");
    lines.push_back("Масса металла в болоте = " + std::to_string(st.HotHeelMetal) + " т");
    lines.push_back("Масса шлака в болоте = " + std::to_string(st.HotHeelSlag) + " т");
    lines.push_back("Т магнезита = " + std::to_string(st.MagnesiteTemp) + " C");
    lines.push_back("Масса магнезита = " + std::to_string(st.MagnesiteMass) + " кг");
    lines.push_back("Т плавления лома = " + std::to_string(st.ScrapMeltTemp) + " C");
    lines.push_back("Уд. расход электродов = " + General3(st.ElectrodeRate) + " кг/кВт*ч");
    lines.push_back("Отдача тепла газа в систему = " + Mask(st.GasHeatToSystem, 1, 1) + " МДж/м3");
    lines.push_back("Коэф. исп-ния тепла эл/энергии = " + Mask(st.ElectricHeatCoef, 2, 1));
    lines.push_back("lg B константы [Fe) = " + Mask(st.LgConstFe, 3));
    lines.push_back("Объем рабочего пр-ва печи = " + Mask(st.FurnaceVolume, 1, 1) + " м3");
    lines.emplace_back();

    const long double n = static_cast<long double>(entries.size());
    lines.push_back("Общее время счета, с: " + Mask(seconds, 3));
    lines.push_back("Ср. время счета одной плавки, с: " + Mask(n > 0 ? seconds / n : NaN, 3));
    lines.push_back("Ср. время счета одного кванта, с: " + Mask(rows > 0 ? seconds / rows : NaN, 3));
    lines.emplace_back();

    lines.push_back("Основные константы (м-ш, каппа, м-г):");
    if (ThSystems[0]) {
        const TThSys& sys = *ThSystems[0];
        for (int i = 0; i <= SystemElemLast && i < sys.Elems->Count; ++i) {
            const TElementRecord& el = sys.El(i);
            const long double kappa = el.SlagEnergy * el.SlagEnergy;
            const int kappaInt = std::isfinite(kappa) && std::fabs(kappa) < INT_MAX ? static_cast<int>(std::lround(kappa)) : 0;
            char buf[160];
            std::snprintf(buf, sizeof buf, "%-2s %8.1f %7.3f %4d %7.0f %7.3f", el.Symbol.c_str(),
                          static_cast<double>(el.SlagA1), static_cast<double>(el.SlagB1), kappaInt,
                          static_cast<double>(el.SlagA2), static_cast<double>(el.SlagB2));
            lines.emplace_back(buf);
        }
    }
    return lines;
}

bool NextHeatReportNumber(const std::filesystem::path& folder, int& number, std::string* error)
{
    namespace fs = std::filesystem;
    const fs::path counter = ResolveDataPath(folder, RunCounterFileName);
    std::error_code ec;
    long long value = 0;
    if (fs::exists(counter, ec)) {
        std::vector<std::string> lines;
        std::string first;
        if (TryReadTextFile1251(counter, lines) && !lines.empty()) {
            first = lines.front();
            const auto a = first.find_first_not_of(" \t");
            const auto b = first.find_last_not_of(" \t");
            first = a == std::string::npos ? std::string() : first.substr(a, b - a + 1);
        }
        const char* begin = first.data();
        const char* end = begin + first.size();
        const auto r = std::from_chars(begin, end, value);
        if (first.empty() || r.ec != std::errc{} || r.ptr != end || value < 0 || value >= INT_MAX - 1000) {
            if (error)
                *error = "Неможливо завантажити файл " + std::string(RunCounterFileName) +
                         "\nПерший рядок має містити номер останнього звіту.";
            return false;
        }
    }
    int n = static_cast<int>(value) + 1;
    // An existing report is never overwritten, even when the counter was
    // reset or its last update failed.
    while (fs::exists(folder / (std::to_string(n) + ".RES"), ec))
        ++n;
    number = n;
    return true;
}

bool WriteHeatBatchReport(const std::filesystem::path& folder, int number, const std::vector<std::string>& lines,
                          std::string* error)
{
    std::string message;
    if (!TryWriteTextFile1251(folder / (std::to_string(number) + ".RES"), lines, &message)) {
        if (error)
            *error = message;
        return false;
    }
    if (!TryWriteTextFile1251(ResolveDataPath(folder, RunCounterFileName), {std::to_string(number)}, &message)) {
        if (error)
            *error = message;
        return false;
    }
    return true;
}

} // namespace ferrolyt
