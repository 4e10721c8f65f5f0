// Reading a heat log. The rows are parsed into a local copy first and
// committed to the globals only when the whole file was read, so that a
// damaged log never leaves half a heat behind for the replay.

#include "HeatLog.h"

#include "DataFiles.h"

#include "PathResolver.h"
#include "Project.h"
#include "Settings.h"
#include "TextFile.h"
#include "Utils.h"

#include <charconv>
#include <cmath>
#include <memory>
#include <optional>

namespace ferrolyt {

OffsetArray<THeatLogRecord, 1, MaxHeatLogRows> HeatLog;
OffsetArray<THeatLogRecord, 1, MaxHeatLogRows> HeatLogTotals;
int32_t HeatLogCount = 0;
int32_t HeatColumnCount = 0;
int32_t ScrapMeanColumn = 0;
OffsetArray<std::string, 1, MaxHeatColumns> ColumnName;
OffsetArray<int32_t, 1, MaxHeatColumns> ColumnMaterial;
OffsetArray<bool, 1, MaxHeatColumns> ColumnIsScrap;
int32_t ScrapMeanMaterial = -1;
OffsetArray<THeatMeasurement, 1, MaxHeatMeasurements> HeatMeasurements;
int32_t HeatMeasurementCount = 0;
OffsetArray<THeatSample, 1, MaxHeatSamples> HeatSamples;
int32_t HeatSampleCount = 0;
std::string HeatFileName;
THeatKeyElements HeatKeyElements;

namespace {

// Everything a load produces, committed in one assignment.
struct TLoadedLog {
    OffsetArray<THeatLogRecord, 1, MaxHeatLogRows> Log;
    OffsetArray<THeatLogRecord, 1, MaxHeatLogRows> Totals;
    int32_t Count = 0;
    int32_t ColumnCount = 0;
    int32_t ScrapColumn = 0;
    OffsetArray<std::string, 1, MaxHeatColumns> Names;
    OffsetArray<int32_t, 1, MaxHeatColumns> Materials;
    OffsetArray<bool, 1, MaxHeatColumns> IsScrap;
    OffsetArray<THeatMeasurement, 1, MaxHeatMeasurements> Measurements;
    int32_t MeasurementCount = 0;
    OffsetArray<THeatSample, 1, MaxHeatSamples> Samples;
    int32_t SampleCount = 0;
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

std::string Trim(const std::string& s)
{
    std::size_t a = 0, b = s.size();
    while (a < b && static_cast<unsigned char>(s[a]) <= ' ')
        ++a;
    while (b > a && static_cast<unsigned char>(s[b - 1]) <= ' ')
        --b;
    return s.substr(a, b - a);
}

// Numbers separated by blanks or line ends, read across lines.
class TNumberReader {
public:
    explicit TNumberReader(const std::vector<std::string>& lines) : lines_(lines) {}

    // Moves to the next line that holds anything but blanks; false at the end.
    bool AtRowStart()
    {
        for (; line_ < lines_.size(); ++line_, pos_ = 0)
            for (std::size_t p = pos_; p < lines_[line_].size(); ++p)
                if (!IsBlank(lines_[line_][p]))
                    return true;
        return false;
    }

    // The next blank-delimited token, or nothing at the end of the file.
    std::optional<std::string> Token()
    {
        for (; line_ < lines_.size(); ++line_, pos_ = 0) {
            const std::string& s = lines_[line_];
            while (pos_ < s.size() && IsBlank(s[pos_]))
                ++pos_;
            if (pos_ < s.size()) {
                const std::size_t start = pos_;
                while (pos_ < s.size() && !IsBlank(s[pos_]))
                    ++pos_;
                return s.substr(start, pos_ - start);
            }
        }
        return std::nullopt;
    }

    // What is left of the current line; the reader then goes to the next line.
    std::string RestOfLine()
    {
        std::string rest;
        if (line_ < lines_.size())
            rest = lines_[line_].substr(std::min(pos_, lines_[line_].size()));
        ++line_;
        pos_ = 0;
        return rest;
    }

    std::size_t LineNumber() const { return line_ + 1; }

private:
    const std::vector<std::string>& lines_;
    std::size_t line_ = 1; // line 0 is the header
    std::size_t pos_ = 0;
};

struct TLoadError {
    std::string Reason;
};

// A finite number that fits a single; text, overflow and NaN are refused.
float ReadSingle(TNumberReader& in, const char* what, bool allowNegative)
{
    const auto token = in.Token();
    if (!token)
        throw TLoadError{"рядок " + std::to_string(in.LineNumber()) + ": бракує значення (" + what + ")"};
    long double v = 0;
    // The decimal comma of every data file ("1,5" is 1.5) holds here too.
    if (!TryParseReal(DecimalDot(*token), v) || !std::isfinite(static_cast<float>(v)))
        throw TLoadError{"рядок " + std::to_string(in.LineNumber()) + ": «" + *token + "» не є числом (" + what +
                         "; десятковий знак — крапка або кома)"};
    if (!allowNegative && v < 0)
        throw TLoadError{"рядок " + std::to_string(in.LineNumber()) + ": від'ємне значення (" + what + ")"};
    return static_cast<float>(v);
}

uint16_t ReadTime(TNumberReader& in)
{
    const auto token = in.Token();
    int64_t v = -1;
    if (token) {
        const char* b = token->data();
        const char* e = b + token->size();
        if (b != e && *b == '+')
            ++b;
        const auto r = std::from_chars(b, e, v);
        if (r.ec != std::errc{} || r.ptr != e)
            v = -1;
    }
    if (v < 0 || v > 65535)
        throw TLoadError{"рядок " + std::to_string(in.LineNumber()) + ": час має бути цілим числом від 0 до 65535"};
    return static_cast<uint16_t>(v);
}

// The items "/C=0.31/Mn=0.45" of a sample; unknown symbols and values that
// do not read are skipped.
void ReadSample(std::string text, THeatSample& sample)
{
    const TElems* lower = ExistingSystemElems(0);
    while (!text.empty()) {
        text.erase(0, 1); // the '/'
        const std::size_t slash = text.find('/');
        std::string item = text.substr(0, slash);
        text = slash == std::string::npos ? std::string() : text.substr(slash);
        const std::size_t eq = item.find('=');
        const std::string symbol = Utf8Left(Trim(item.substr(0, eq)), 3);
        if (eq == std::string::npos || lower == nullptr)
            continue;
        long double value = 0;
        if (!TryParseReal(DecimalDot(Trim(item.substr(eq + 1))), value))
            continue;
        const int e = lower->IndexOfSymbol(symbol);
        // A share outside 0..100 % cannot be a metal's analysis and would
        // leave the iron balance of the fixed-metal equilibration negative.
        if (e < 0 || e > SystemElemLast || e >= MaxElements || !(value >= 0 && value <= 100))
            continue;
        sample.Percent[static_cast<std::size_t>(e)] = static_cast<double>(value);
    }
}

void ReadLog(const std::vector<std::string>& lines, TLoadedLog& log)
{
    if (lines.empty())
        throw TLoadError{NoRecordsText("жодного рядка")};

    // Header: column names after the first '|'.
    std::string header = lines.front();
    const std::size_t bar = header.find('|');
    if (bar != std::string::npos)
        header.erase(0, bar + 1);
    std::string name;
    while (NextToken(header, name, 1, 1, BlankSet)) {
        if (name.empty())
            continue;
        if (log.ColumnCount == MaxNamedHeatColumns)
            throw TLoadError{"у заголовку більше " + std::to_string(MaxNamedHeatColumns) + " матеріалів"};
        const int k = ++log.ColumnCount;
        log.Names[k] = name;
        log.Materials[k] = MaterialIndexByName(name);
        log.IsScrap[k] = Utf8Left(name, 3) == ScrapPrefix;
    }
    const int named = log.ColumnCount;
    log.ScrapColumn = named + 1;
    const char* computed[3] = {ScrapMeanName, OxygenName, ElectrodesName};
    for (int c = 0; c < 3; ++c) {
        const int k = ++log.ColumnCount;
        log.Names[k] = computed[c];
        log.Materials[k] = MaterialIndexByName(computed[c]);
        log.IsScrap[k] = c == 0;
    }

    TNumberReader in(lines);
    THeatLogRecord totals;
    while (in.AtRowStart()) {
        if (log.Count == MaxHeatLogRows)
            throw TLoadError{"більше " + std::to_string(MaxHeatLogRows) + " рядків"};
        const int row = ++log.Count;
        THeatLogRecord& r = log.Log[row];
        r.Time = ReadTime(in);
        const float electricKwh = ReadSingle(in, "електроенергія", false);
        const float lossKwh = ReadSingle(in, "втрати", false);
        r.Gas = ReadSingle(in, "газ", false);
        r.Oxygen = ReadSingle(in, "кисень", false);
        const float t = ReadSingle(in, "температура", true);
        r.Values[log.ScrapColumn + 1] = 1.3f * r.Oxygen;
        r.Values[log.ScrapColumn + 2] = static_cast<float>(Settings.ElectrodeRate * electricKwh);
        r.ElectricEnergy = static_cast<float>(std::round(3.6L * electricKwh));
        r.LossEnergy = static_cast<float>(std::round(3.6L * lossKwh));
        float scrap = 0;
        for (int k = 1; k < log.ScrapColumn; ++k) {
            r.Values[k] = ReadSingle(in, log.Names[k].c_str(), false);
            if (log.IsScrap[k])
                scrap += r.Values[k];
        }
        r.Values[log.ScrapColumn] = scrap;
        if (!std::isfinite(r.Values[log.ScrapColumn + 2]) || !std::isfinite(scrap))
            throw TLoadError{"рядок " + std::to_string(in.LineNumber()) + ": завелике значення"};
        totals.ElectricEnergy += r.ElectricEnergy;
        totals.LossEnergy += r.LossEnergy;
        totals.Gas += r.Gas;
        for (int k = 1; k <= log.ColumnCount; ++k)
            totals.Values[k] += r.Values[k];

        if (t > Settings.ScrapMeltTemp) {
            // The solver's temperature cannot leave 293..5000 K; a reading
            // far beyond that is a typing error, not a measurement.
            if (!(t <= 5000))
                throw TLoadError{"рядок " + std::to_string(in.LineNumber()) + ": неможлива температура"};
            if (log.MeasurementCount == MaxHeatMeasurements)
                throw TLoadError{"більше " + std::to_string(MaxHeatMeasurements) + " вимірів температури"};
            THeatMeasurement& m = log.Measurements[++log.MeasurementCount];
            m.Row = static_cast<uint16_t>(row);
            m.Time = r.Time;
            m.Temperature = static_cast<int32_t>(std::lround(t));
            r.MeasurementNumber = static_cast<uint8_t>(log.MeasurementCount);
        }
        totals.Time = r.Time;
        log.Totals[row] = totals;

        const std::string sampleText = Trim(in.RestOfLine());
        if (!sampleText.empty()) {
            if (log.SampleCount == MaxHeatSamples)
                throw TLoadError{"більше " + std::to_string(MaxHeatSamples) + " проб"};
            THeatSample& s = log.Samples[++log.SampleCount];
            s.Row = static_cast<uint16_t>(row);
            s.Time = r.Time;
            ReadSample(sampleText, s);
            r.SampleNumber = static_cast<uint8_t>(log.SampleCount);
        }
    }
    if (log.Count == 0)
        throw TLoadError{NoRecordsText("жодного рядка даних")};
}

// The mean analysis of the heat's scrap, weighted by the mass of each grade.
void SetScrapMeanComposition()
{
    if (ScrapMeanMaterial < 1 || HeatLogCount < 1)
        return;
    const long double total = HeatLogTotals[HeatLogCount].Values[ScrapMeanColumn];
    // A log without scrap keeps the materials file's analysis: there is
    // nothing to average, and a division by zero would poison the replay.
    if (!(total > 0))
        return;
    for (TCompositionTable* table : {&CompositionMin, &CompositionMax}) {
        long double sumPerMole = 0;
        for (int e = 0; e <= SystemElemLast && e < MaxElements; ++e) {
            TCompositionRow& row = (*table)[static_cast<std::size_t>(e + 1)];
            long double x = 0;
            for (int k = 1; k < ScrapMeanColumn; ++k)
                if (ColumnIsScrap[k] && ColumnMaterial[k] >= 1)
                    x += row[ColumnMaterial[k]] * static_cast<long double>(HeatLogTotals[HeatLogCount].Values[k]);
            row[ScrapMeanMaterial] = static_cast<float>(x / total);
            const TElems* lower = ExistingSystemElems(0);
            if (lower && lower->Items[static_cast<std::size_t>(e)].MolarMass > 0)
                sumPerMole += x / total / lower->Items[static_cast<std::size_t>(e)].MolarMass;
        }
        // Row 0 is the amount per unit mass that kilomole input relies on.
        (*table)[0][ScrapMeanMaterial] = static_cast<float>(sumPerMole);
    }
}

std::string BaseName8(const std::string& fileName)
{
    std::string base = fileName;
    const std::size_t sep = base.find_last_of("/\\");
    if (sep != std::string::npos)
        base.erase(0, sep + 1);
    const std::size_t dot = base.rfind('.');
    if (dot != std::string::npos && dot > 0)
        base.erase(dot);
    return Utf8Left(base, HeatFileNameLength);
}

} // namespace

void ClearHeatLog()
{
    for (auto* table : {&HeatLog, &HeatLogTotals})
        table->Fill(THeatLogRecord{});
    HeatLogCount = 0;
    HeatColumnCount = 0;
    ScrapMeanColumn = 0;
    ColumnName.Fill(std::string());
    ColumnMaterial.Fill(-1);
    ColumnIsScrap.Fill(false);
    ScrapMeanMaterial = -1;
    HeatMeasurements.Fill(THeatMeasurement{});
    HeatMeasurementCount = 0;
    HeatSamples.Fill(THeatSample{});
    HeatSampleCount = 0;
    HeatFileName.clear();
    HeatKeyElements = THeatKeyElements{};
    ClearHeatReplaySums();
}

bool LoadHeatFromLines(const std::vector<std::string>& lines, const std::string& fileName)
{
    ClearHeatLog();
    auto log = std::make_unique<TLoadedLog>();
    try {
        ReadLog(lines, *log);
    } catch (const TLoadError& e) {
        ShowWarning("Неможливо завантажити файл " + fileName + "\n" + e.Reason);
        return false;
    }
    HeatLog = log->Log;
    HeatLogTotals = log->Totals;
    HeatLogCount = log->Count;
    HeatColumnCount = log->ColumnCount;
    ScrapMeanColumn = log->ScrapColumn;
    ColumnName = log->Names;
    ColumnMaterial = log->Materials;
    ColumnIsScrap = log->IsScrap;
    ScrapMeanMaterial = MaterialIndexByName(ScrapMeanName);
    HeatMeasurements = log->Measurements;
    HeatMeasurementCount = log->MeasurementCount;
    HeatSamples = log->Samples;
    HeatSampleCount = log->SampleCount;
    HeatFileName = BaseName8(fileName);
    SetScrapMeanComposition();
    if (const TElems* lower = ExistingSystemElems(0)) {
        const TElems& el = *lower;
        HeatKeyElements = {el.Key(keyC), el.Key(keySi), el.Key(keyMn), el.Key(keyS), el.Key(keyP)};
    }
    return true;
}

bool LoadHeatFile(const std::string& fileName)
{
    ClearHeatLog();
    if (fileName.empty())
        return false;
    std::vector<std::string> lines;
    if (!ReadDataFile(ResolveDataPath({}, fileName), fileName, lines))
        return false;
    if (!LoadHeatFromLines(lines, fileName))
        return false;
    SetProjectValue("HeaFile", HeatFileName + ".HEA");
    return true;
}

std::vector<std::string> MissingHeatMaterials()
{
    std::vector<std::string> missing;
    for (int k = 1; k <= HeatColumnCount; ++k)
        if (ColumnMaterial[k] < 1)
            missing.push_back(ColumnName[k]);
    for (const char* name : {ScrapMeanName, OxygenName, ElectrodesName, MagnesiteName, HotHeelMetalName,
                             HotHeelSlagName}) {
        bool listed = false;
        for (const auto& m : missing)
            listed = listed || m == name;
        if (!listed && MaterialIndexByName(name) < 1)
            missing.push_back(name);
    }
    return missing;
}

} // namespace ferrolyt
