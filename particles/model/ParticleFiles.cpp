#include "ParticleFiles.h"

#include "DataFiles.h"
#include "ParticleFormat.h"
#include "TextFile.h"
#include "Utils.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace ferrolyt::particles {

namespace {

constexpr double Nan = std::numeric_limits<double>::quiet_NaN();

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool SameText(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t k = 0; k < a.size(); ++k) {
        char x = a[k], y = b[k];
        if (x >= 'a' && x <= 'z')
            x = char(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z')
            y = char(y - 'a' + 'A');
        if (x != y)
            return false;
    }
    return true;
}

bool ParseInt(std::string_view text, int& value)
{
    text = Trim(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

// The cells of the energy matrix that the file keeps: key, row, column.
struct EpsKey {
    const char* key;
    int row, column;
};
constexpr EpsKey EpsKeys[6] = {{"E11", 0, 0}, {"E22", 1, 1}, {"E33", 2, 2},
                               {"E12", 1, 0}, {"E13", 2, 0}, {"E23", 2, 1}};

constexpr const char* LatticeItems[3] = {"Cubic", "BCC", "FCC"};
constexpr const char* BoxKeys[3] = {"Lx", "Ly", "Lz"};
constexpr double BoxDefaults[3] = {3, 3, 5};

bool Fail(std::string* error, const std::string& message)
{
    if (error)
        *error = message;
    return false;
}

std::string CannotLoad(const std::filesystem::path& path)
{
    return "Неможливо завантажити файл " + path.string();
}

} // namespace

std::filesystem::path DezOzevevFolder(const std::filesystem::path& programDir)
{
    return programDir / DezOzevevFolderName;
}

std::filesystem::path ParticleFilesFolder(const std::filesystem::path& current,
                                          const std::filesystem::path& programDir)
{
    std::error_code ec;
    const std::filesystem::path here = DezOzevevFolder(current);
    if (std::filesystem::is_regular_file(here / DezOzevevIniName, ec))
        return here;
    return DezOzevevFolder(programDir);
}

// --- Name=Value lines ---------------------------------------------------------------

int NameValueList::IndexOfName(std::string_view name) const
{
    for (std::size_t k = 0; k < Lines.size(); ++k) {
        const std::string& line = Lines[k];
        const std::size_t eq = line.find('=');
        if (eq != std::string::npos && SameText(std::string_view(line).substr(0, eq), name))
            return static_cast<int>(k);
    }
    return -1;
}

std::string NameValueList::Value(std::string_view name) const
{
    const int k = IndexOfName(name);
    if (k < 0)
        return {};
    const std::string& line = Lines[k];
    return line.substr(line.find('=') + 1);
}

void NameValueList::SetValue(std::string_view name, const std::string& value)
{
    const int k = IndexOfName(name);
    if (value.empty()) {
        if (k >= 0)
            Lines.erase(Lines.begin() + k);
        return;
    }
    std::string line = std::string(name) + "=" + value;
    if (k >= 0)
        Lines[k] = std::move(line);
    else
        Lines.push_back(std::move(line));
}

bool LoadNameValueFile(const std::filesystem::path& path, NameValueList& list, std::string* error)
{
    // Through the checks every data file passes: a pipe, a device or a
    // huge file is refused, and so is binary data or a file cut mid-line
    // ("SysT=0.005" cut to "SysT=0.").
    std::vector<std::string> lines;
    std::string message;
    if (!ferrolyt::ReadDataFileLines(path, path.string(), lines, message))
        return Fail(error, message);
    list.Lines = std::move(lines);
    return true;
}

bool SaveNameValueFile(const std::filesystem::path& path, const NameValueList& list, std::string* error)
{
    return TryWriteTextFile1251(path, list.Lines, error);
}

// --- Parameter files -------------------------------------------------------------------

bool ParseNumber(std::string_view text, double& value)
{
    // The rule of every number the program reads: a value too small for a
    // double reads as the nearest one (1e-400 as 0), one too large does
    // not read.
    long double v = 0;
    if (Trim(text).size() > 64 || !ferrolyt::ReadShownNumber(text, v))
        return false;
    const double d = static_cast<double>(v);
    if (!std::isfinite(d))
        return false;
    value = d;
    return true;
}

namespace {

// The field named in a message: by its key, and in a file by its line
// (1-based; 0 for a control).
std::string FieldName(std::string_view key, std::size_t line)
{
    return line > 0 ? "Рядок " + std::to_string(line) + ", параметр " + std::string(key)
                    : "Параметр " + std::string(key);
}

std::string FieldText(std::string_view key, const std::string& value, std::size_t line = 0)
{
    return FieldName(key, line) + ": \"" + ferrolyt::Utf8Left(value, 40) + "\" ";
}

// A number field of a file or a control: empty when `text` is a number in
// [range.Min, range.Max] (above Min only, when MinOpen), else the reason
// naming the field.
std::string NumberProblem(std::string_view key, const std::string& text, const ParticleRange& range,
                          std::size_t line = 0)
{
    double v;
    if (Trim(text).size() > 64)
        return FieldText(key, text, line) + "довше за 64 символи, які вміщує поле";
    if (!ParseNumber(text, v))
        return FieldText(key, text, line) + "не є числом (десятковий знак — крапка або кома)";
    if (range.MinOpen ? !(v > range.Min) : !(v >= range.Min))
        return FieldText(key, text, line) + (range.MinOpen ? "має бути більшим за " : "має бути не меншим за ") +
               FormatGeneral(range.Min, 15);
    if (!(v <= range.Max))
        return FieldText(key, text, line) + "має бути не більшим за " + FormatGeneral(range.Max, 15);
    return {};
}

// Every key a parameter file holds.
constexpr const char* FileKeys[] = {"R1",  "R2",  "R3",  "M1",  "M2", "M3", "N1",    "N2",       "N3",      "E11", "E22",
                                    "E33", "E12", "E13", "E23", "Lx", "Ly", "Lz", "StepH", "Ensemble", "Lattice", "SysE",
                                    "SysT"};

// The lines as a whole: every key once and with a value. False with the
// refusal naming the line; lines that are no parameter of the file go into
// *note, one a line (they stay in the file when it is saved).
bool CheckLines(const NameValueList& list, std::string* error, std::string* note)
{
    std::array<std::size_t, std::size(FileKeys)> seen{};
    for (std::size_t k = 0; k < list.Lines.size(); ++k) {
        const std::string& line = list.Lines[k];
        const std::size_t number = k + 1;
        if (Trim(line).empty())
            continue;
        const std::size_t eq = line.find('=');
        const std::string_view key = std::string_view(line).substr(0, eq == std::string::npos ? line.size() : eq);
        const auto known = std::find_if(std::begin(FileKeys), std::end(FileKeys),
                                        [&](const char* name) { return eq != std::string::npos && SameText(key, name); });
        if (known == std::end(FileKeys)) {
            if (note)
                *note += "Рядок " + std::to_string(number) + ": \"" + ferrolyt::Utf8Left(line, 40) + "\" не є " +
                         (eq == std::string::npos ? "рядком Назва=Значення" : "параметром цього файлу") +
                         "; його не прочитано\n";
            continue;
        }
        std::size_t& first = seen[std::size_t(known - std::begin(FileKeys))];
        if (first > 0)
            return Fail(error, FieldName(*known, number) + " уже задано в рядку " + std::to_string(first));
        first = number;
        if (Trim(std::string_view(line).substr(eq + 1)).empty())
            return Fail(error, FieldName(*known, number) + " не має значення");
    }
    if (note && !note->empty())
        note->pop_back();
    return true;
}

} // namespace

bool ParamsFromList(const NameValueList& list, ParticleParams& p, std::string* error, std::string* note)
{
    // A key that is absent keeps its default; a value that is there but
    // cannot be what the field holds refuses the whole file rather than
    // being clamped or replaced.
    std::string notes;
    if (!CheckLines(list, error, &notes))
        return false;
    auto given = [&](std::string_view key, std::string& value) {
        value = list.Value(key);
        return !std::string(Trim(value)).empty();
    };
    auto lineOf = [&](std::string_view key) { return std::size_t(list.IndexOfName(key) + 1); };
    auto numberProblem = [&](std::string_view key, const std::string& text, const ParticleRange& range) {
        return NumberProblem(key, text, range, lineOf(key));
    };
    ParticleParams read = p;
    std::string value;
    for (int t = 0; t < 3; ++t) {
        const std::string k = std::to_string(t + 1);
        read.Radius[t] = list.Value("R" + k);
        if (given("R" + k, value))
            if (const std::string problem = numberProblem("R" + k, value, RadiusRange); !problem.empty())
                return Fail(error, problem);
        read.Mass[t] = list.Value("M" + k);
        if (given("M" + k, value))
            if (const std::string problem = numberProblem("M" + k, value, MassRange); !problem.empty())
                return Fail(error, problem);
        int n = 1;
        if (given("N" + k, value) && (!ParseInt(value, n) || n < 0 || n > MaxBalls))
            return Fail(error, FieldText("N" + k, value, lineOf("N" + k)) + "має бути цілим числом від 0 до " +
                                   std::to_string(MaxBalls));
        read.N[t] = n;
    }
    for (const EpsKey& e : EpsKeys) {
        read.Eps[e.row][e.column] = list.Value(e.key);
        if (given(e.key, value))
            if (const std::string problem = numberProblem(e.key, value, EnergyRange); !problem.empty())
                return Fail(error, problem);
    }
    for (int a = 0; a < 3; ++a) {
        double v = BoxDefaults[a];
        if (given(BoxKeys[a], value)) {
            if (const std::string problem = numberProblem(BoxKeys[a], value, BoxRange); !problem.empty())
                return Fail(error, problem);
            ParseNumber(value, v);
        }
        read.Box[a] = FormatGeneral(v, 15);
    }
    read.Step = list.Value("StepH");
    if (given("StepH", value))
        if (const std::string problem = numberProblem("StepH", value, StepRange); !problem.empty())
            return Fail(error, problem);
    read.Ensemble = TEnsemble::NoI;
    if (given("Ensemble", value)) {
        const std::string ensemble(Trim(value));
        const char third = ensemble.size() == 3 ? char(ensemble[2] & ~0x20) : '\0';
        switch (third) {
        case 'E': read.Ensemble = TEnsemble::NVE; break;
        case 'I': read.Ensemble = TEnsemble::NoI; break;
        case 'K': read.Ensemble = TEnsemble::NVK; break;
        case 'T': read.Ensemble = TEnsemble::NVT; break;
        default: return Fail(error, FieldText("Ensemble", value, lineOf("Ensemble")) + "не є одним із NoI, NVE, NVK, NVT");
        }
    }
    read.Lattice = TLattice::Cubic;
    if (given("Lattice", value)) {
        const std::string_view lattice = Trim(value);
        int found = -1;
        for (int k = 0; k < 3; ++k)
            if (SameText(lattice, LatticeItems[k]) || SameText(lattice, LatticeNames[k]))
                found = k;
        if (found < 0)
            return Fail(error, FieldText("Lattice", value, lineOf("Lattice")) + "не є одним із Cub, BCC, FCC");
        read.Lattice = static_cast<TLattice>(found);
    }
    read.SysE = list.Value("SysE");
    if (given("SysE", value))
        if (const std::string problem = numberProblem("SysE", value, SysERange); !problem.empty())
            return Fail(error, problem);
    read.SysT = list.Value("SysT");
    if (given("SysT", value))
        if (const std::string problem = numberProblem("SysT", value, SysTRange); !problem.empty())
            return Fail(error, problem);
    p = std::move(read);
    if (note)
        *note = std::move(notes);
    return true;
}

void ParamsToList(const ParticleParams& p, NameValueList& list)
{
    for (int t = 0; t < 3; ++t)
        list.SetValue("R" + std::to_string(t + 1), p.Radius[t]);
    for (int t = 0; t < 3; ++t)
        list.SetValue("M" + std::to_string(t + 1), p.Mass[t]);
    for (int t = 0; t < 3; ++t)
        list.SetValue("N" + std::to_string(t + 1), std::to_string(p.N[t]));
    for (const EpsKey& e : EpsKeys)
        list.SetValue(e.key, p.Eps[e.row][e.column]);
    for (int a = 0; a < 3; ++a)
        list.SetValue(BoxKeys[a], p.Box[a]);
    list.SetValue("StepH", p.Step);
    list.SetValue("Ensemble", EnsembleNames[static_cast<int>(p.Ensemble) & 3]);
    list.SetValue("Lattice", LatticeNames[std::min(static_cast<int>(p.Lattice), 2)]);
    list.SetValue("SysE", p.SysE);
    list.SetValue("SysT", p.SysT);
}

bool LoadParameterFile(const std::filesystem::path& folder, const std::string& dataFile, ParticleParams& params,
                       NameValueList& lines, std::string* error, std::string* note)
{
    NameValueList list;
    if (!LoadNameValueFile(folder / dataFile, list, error))
        return false;
    std::string problem, notes;
    if (!ParamsFromList(list, params, &problem, &notes))
        return Fail(error, CannotLoad(folder / dataFile) + "\n" + problem);
    if (note)
        *note = notes.empty() ? std::string() : "Файл " + (folder / dataFile).string() + "\n" + notes;
    lines = std::move(list);
    return true;
}

std::string ChangeExtension(const std::string& name, const std::string& extension)
{
    const std::size_t slash = name.find_last_of("/\\");
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return name + extension;
    return name.substr(0, dot) + extension;
}

bool SaveParameterFile(const std::filesystem::path& folder, std::string& dataFile, const ParticleParams& params,
                       NameValueList& lines, std::string* error)
{
    ParamsToList(params, lines);
    const std::string name = ChangeExtension(std::filesystem::path(dataFile).filename().string(), ".dat");
    if (!SaveNameValueFile(folder / name, lines, error))
        return false;
    dataFile = name;
    return true;
}

bool ReadDataFileSetting(const std::filesystem::path& folder, std::string& dataFile, std::string* error)
{
    NameValueList ini;
    if (!LoadNameValueFile(folder / DezOzevevIniName, ini, error))
        return false;
    dataFile = ini.Value("DataFile");
    return true;
}

bool WriteDataFileSetting(const std::filesystem::path& folder, const std::string& dataFile, std::string* error)
{
    NameValueList ini;
    ini.Lines.push_back("DataFile=" + dataFile);
    return SaveNameValueFile(folder / DezOzevevIniName, ini, error);
}

// --- Fields into the model ---------------------------------------------------------------

namespace {

// A number the model needs: refused with the reason when it is missing,
// not a number or outside its range.
bool RangeField(const std::string& text, std::string_view key, const ParticleRange& range, double& value,
                std::string* error)
{
    if (const std::string problem = NumberProblem(key, text, range); !problem.empty())
        return Fail(error, problem);
    ParseNumber(text, value);
    return true;
}

// E and kT: empty or not a number means "not given" (NaN).
bool OptionalField(const std::string& text, std::string_view key, const ParticleRange& range, double& value,
                   std::string* error)
{
    value = Nan;
    double v;
    if (!ParseNumber(text, v))
        return true;
    return RangeField(text, key, range, value, error);
}

bool CountFields(const ParticleParams& p, int& total, std::string* error)
{
    total = 0;
    for (int t = 0; t < 3; ++t) {
        if (p.N[t] < 0 || p.N[t] > MaxBalls)
            return Fail(error, "Кількість частинок типу " + std::to_string(t + 1) + " (N" + std::to_string(t + 1) +
                                   ") має бути від 0 до " + std::to_string(MaxBalls));
        total += p.N[t];
    }
    if (total > MaxBalls)
        return Fail(error, "Забагато частинок: N1 + N2 + N3 = " + std::to_string(total) + ", можна не більше " +
                               std::to_string(MaxBalls));
    if (total < 1)
        return Fail(error, "Немає частинок: N1 + N2 + N3 = 0");
    return true;
}

bool RadiusFields(const ParticleParams& p, std::array<double, 3>& radius, std::string* error)
{
    for (int t = 0; t < 3; ++t)
        if (!RangeField(p.Radius[t], "R" + std::to_string(t + 1), RadiusRange, radius[t], error))
            return false;
    return true;
}

} // namespace

bool ReadModelParams(const ParticleParams& p, ParticleModel& model, std::string* error)
{
    std::array<double, 3> radius{}, mass{}, box{};
    if (!RadiusFields(p, radius, error))
        return false;
    for (int t = 0; t < 3; ++t)
        if (!RangeField(p.Mass[t], "M" + std::to_string(t + 1), MassRange, mass[t], error))
            return false;
    int total = 0;
    if (!CountFields(p, total, error))
        return false;
    std::array<std::array<double, 3>, 3> eps{};
    for (const EpsKey& e : EpsKeys) {
        double v = 0;
        if (!RangeField(p.Eps[e.row][e.column], e.key, EnergyRange, v, error))
            return false;
        eps[e.row][e.column] = eps[e.column][e.row] = v;
    }
    for (int a = 0; a < 3; ++a)
        if (!RangeField(p.Box[a], BoxKeys[a], BoxRange, box[a], error))
            return false;
    double dt;
    if (!RangeField(p.Step, "StepH", StepRange, dt, error))
        return false;
    const double steps = std::max(1.0, std::nearbyint(1 / dt));
    if (steps > MaxStepsPerFrame)
        return Fail(error, "Крок інтегрування StepH = " + p.Step + " потребує " + FormatGeneral(steps, 15) +
                               " кроків на кадр; можна не більше " + std::to_string(MaxStepsPerFrame));
    double sysE, sysT;
    if (!OptionalField(p.SysE, "SysE", SysERange, sysE, error) ||
        !OptionalField(p.SysT, "SysT", SysTRange, sysT, error))
        return false;

    for (int t = 0; t < 3; ++t) {
        model.BallTypes[t + 1].Radius = radius[t];
        model.BallTypes[t + 1].Mass = mass[t];
        model.BallTypes[t + 1].N = p.N[t];
    }
    model.NBalls = total;
    model.EpsMatrix = eps;
    model.BoxL = box;
    model.Dt = dt;
    model.StepsPerFrame = static_cast<std::int32_t>(steps);
    TEnsemble ensemble = p.Ensemble;
    if ((ensemble == TEnsemble::NVE && std::isnan(sysE)) ||
        ((ensemble == TEnsemble::NVK || ensemble == TEnsemble::NVT) && std::isnan(sysT)))
        ensemble = TEnsemble::NoI;
    model.Ensemble = ensemble;
    model.Lattice = p.Lattice;
    model.SysE = sysE;
    model.SysT = sysT;
    model.InteractionOn = ensemble != TEnsemble::NoI;
    model.Periodic = p.Periodic;
    return true;
}

std::string SmallestBox(const ParticleParams& p, std::string* error)
{
    std::array<double, 3> radius{};
    int total = 0;
    if (!RadiusFields(p, radius, error) || !CountFields(p, total, error))
        return {};
    const double maxRadius = std::max({radius[0], radius[1], radius[2]});
    const double d = std::max(1e-5, maxRadius) * LatticeFactor(p.Lattice);
    std::int64_t n = 1;
    while (LatticeSiteCount(p.Lattice, n) < total)
        ++n;
    // Rounded up to two decimals, then checked the way the set-up counts.
    const double L = double(n) * d;
    double hundredths = std::ceil(L * 100 - 1e-9 * std::max(1.0, L * 100));
    for (int tries = 0; tries < 1000; ++tries, hundredths += 1) {
        const std::string text = FormatUpTo(hundredths / 100, 2);
        double v;
        if (!ParseNumber(text, v) || !(v > 0))
            continue;
        const LatticeSites sites = LatticeSites::For(p.Lattice, maxRadius, {v, v, v});
        if (sites.Count() >= std::uint64_t(total))
            return text;
    }
    Fail(error, "Не знайдено об'єму, що вмістив би ці частинки");
    return {};
}

} // namespace ferrolyt::particles
