#include "ParticleFiles.h"

#include "ParticleFormat.h"
#include "TextFile.h"

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
    std::vector<std::string> lines;
    if (!TryReadTextFile1251(path, lines, nullptr))
        return Fail(error, CannotLoad(path));
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
    text = Trim(text);
    if (text.empty() || text.size() > 64)
        return false;
    char buf[65];
    std::size_t n = 0;
    bool comma = false;
    for (char c : text) {
        if (c == ',' && !comma) {
            c = '.';
            comma = true;
        }
        buf[n++] = c;
    }
    const char* begin = buf;
    if (buf[0] == '+')
        ++begin;
    double v = 0;
    const auto [end, ec] = std::from_chars(begin, buf + n, v);
    if (ec != std::errc() || end != buf + n || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

void ParamsFromList(const NameValueList& list, ParticleParams& p)
{
    for (int t = 0; t < 3; ++t) {
        const std::string k = std::to_string(t + 1);
        p.Radius[t] = list.Value("R" + k);
        p.Mass[t] = list.Value("M" + k);
        int n = 1;
        if (!ParseInt(list.Value("N" + k), n))
            n = 1;
        p.N[t] = std::clamp(n, 0, MaxBalls);
    }
    for (const EpsKey& e : EpsKeys)
        p.Eps[e.row][e.column] = list.Value(e.key);
    for (int a = 0; a < 3; ++a) {
        double v;
        if (!ParseNumber(list.Value(BoxKeys[a]), v))
            v = BoxDefaults[a];
        p.Box[a] = FormatGeneral(v, 15);
    }
    p.Step = list.Value("StepH");
    const std::string ensemble = list.Value("Ensemble");
    p.Ensemble = TEnsemble::NoI;
    if (ensemble.size() == 3) {
        switch (ensemble[2]) {
        case 'E': case 'e': p.Ensemble = TEnsemble::NVE; break;
        case 'K': case 'k': p.Ensemble = TEnsemble::NVK; break;
        case 'T': case 't': p.Ensemble = TEnsemble::NVT; break;
        default: p.Ensemble = TEnsemble::NoI; break;  // 'I', and any other letter
        }
    }
    const std::string lattice = list.Value("Lattice");
    p.Lattice = TLattice::Cubic;
    for (int k = 0; k < 3; ++k)
        if (SameText(lattice, LatticeItems[k]))
            p.Lattice = static_cast<TLattice>(k);
    p.SysE = list.Value("SysE");
    p.SysT = list.Value("SysT");
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
                       NameValueList& lines, std::string* error)
{
    NameValueList list;
    if (!LoadNameValueFile(folder / dataFile, list, error))
        return false;
    lines = std::move(list);
    ParamsFromList(lines, params);
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

bool PositiveField(const std::string& text, const std::string& field, double& value, std::string* error)
{
    if (!ParseNumber(text, value))
        return Fail(error, field + ": '" + text + "' is not a number");
    if (!(value > 0))
        return Fail(error, field + " must be greater than 0");
    return true;
}

// E and kT: empty or not a number means "not given" (NaN).
bool OptionalField(const std::string& text, const std::string& field, double& value, std::string* error)
{
    value = Nan;
    double v;
    if (!ParseNumber(text, v))
        return true;
    if (v < 0)
        return Fail(error, field + " must not be negative");
    value = v;
    return true;
}

bool CountFields(const ParticleParams& p, int& total, std::string* error)
{
    total = 0;
    for (int t = 0; t < 3; ++t) {
        if (p.N[t] < 0 || p.N[t] > MaxBalls)
            return Fail(error, "Quantity of type " + std::to_string(t + 1) + " (N" + std::to_string(t + 1) +
                                   ") must lie between 0 and " + std::to_string(MaxBalls));
        total += p.N[t];
    }
    if (total > MaxBalls)
        return Fail(error, "Too many particles: N1 + N2 + N3 = " + std::to_string(total) + ", at most " +
                               std::to_string(MaxBalls) + " are possible");
    if (total < 1)
        return Fail(error, "No particles: N1 + N2 + N3 = 0");
    return true;
}

bool RadiusFields(const ParticleParams& p, std::array<double, 3>& radius, std::string* error)
{
    for (int t = 0; t < 3; ++t)
        if (!PositiveField(p.Radius[t], "Radius of type " + std::to_string(t + 1) + " (R" + std::to_string(t + 1) + ")",
                           radius[t], error))
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
        if (!PositiveField(p.Mass[t], "Mass of type " + std::to_string(t + 1) + " (M" + std::to_string(t + 1) + ")",
                           mass[t], error))
            return false;
    int total = 0;
    if (!CountFields(p, total, error))
        return false;
    std::array<std::array<double, 3>, 3> eps{};
    for (const EpsKey& e : EpsKeys) {
        double v;
        if (!ParseNumber(p.Eps[e.row][e.column], v))
            return Fail(error, std::string("Energy of interaction ") + e.key + ": '" + p.Eps[e.row][e.column] +
                                   "' is not a number");
        eps[e.row][e.column] = eps[e.column][e.row] = v;
    }
    for (int a = 0; a < 3; ++a)
        if (!PositiveField(p.Box[a], std::string("Box half-length ") + BoxKeys[a], box[a], error))
            return false;
    double dt;
    if (!PositiveField(p.Step, "Integration step (StepH)", dt, error))
        return false;
    if (dt > 2)
        return Fail(error, "Integration step (StepH) must be at most 2");
    const double steps = std::max(1.0, std::nearbyint(1 / dt));
    if (steps > MaxStepsPerFrame)
        return Fail(error, "Integration step (StepH) " + p.Step + " would need " + FormatGeneral(steps, 15) +
                               " steps per frame; at most " + std::to_string(MaxStepsPerFrame) + " are possible");
    double sysE, sysT;
    if (!OptionalField(p.SysE, "E (SysE)", sysE, error) || !OptionalField(p.SysT, "kT (SysT)", sysT, error))
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
    Fail(error, "No box found for these particles");
    return {};
}

} // namespace ferrolyt::particles
