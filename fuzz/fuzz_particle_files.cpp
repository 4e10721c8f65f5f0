// Feeds any bytes to the particle window's files: as "DezOzevev.ini" and as
// the parameter file it names. A parameter file that loads either gives a
// model or is refused with a message, and saving it and loading it again
// gives the same fields.
#include "FuzzSupport.h"
#include "ParticleFiles.h"
#include "ParticleModel.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <unistd.h>

using namespace ferrolyt::particles;

namespace {

// Where a name stands twice, the first line counts and a save that empties
// it removes that line only, so the second one shows through on reading
// again: the round trip holds for files without repeated names.
bool NamesRepeat(const NameValueList& list)
{
    std::set<std::string> names;
    for (const auto& line : list.Lines) {
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string name = line.substr(0, eq);
        for (char& c : name)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (!names.insert(name).second)
            return true;
    }
    return false;
}

bool SameFields(const ParticleParams& a, const ParticleParams& b)
{
    return a.Radius == b.Radius && a.Mass == b.Mass && a.N == b.N && a.Eps == b.Eps && a.Box == b.Box &&
           a.Step == b.Step && a.Ensemble == b.Ensemble && a.Lattice == b.Lattice && a.SysE == b.SysE &&
           a.SysT == b.SysT;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const ferrolyt::fuzz::ProcessFolder own("particles");
    const std::filesystem::path& folder = own.path();
    static const auto model = std::make_unique<ParticleModel>();
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    for (const char* name : {"DezOzevev.ini", "fuzz.dat"}) {
        std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    std::string dataFile, error;
    if (!ReadDataFileSetting(folder, dataFile, &error) && error.empty())
        std::abort();

    ParticleParams params;
    NameValueList lines;
    error.clear();
    if (!LoadParameterFile(folder, "fuzz.dat", params, lines, &error)) {
        if (error.empty())
            std::abort();
        return 0;
    }
    error.clear();
    if (!ReadModelParams(params, *model, &error) && error.empty())
        std::abort();
    // Bytes above 127 are read as UTF-8 only when all of the file is valid
    // UTF-8, else as code page 1251; a save that writes them back in code
    // page 1251 may make the guess go the other way next time.
    const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (NamesRepeat(lines) || !ascii)
        return 0;
    std::string saved = "again";
    if (!SaveParameterFile(folder, saved, params, lines, &error))
        return 0;
    ParticleParams reread;
    NameValueList rereadLines;
    if (!LoadParameterFile(folder, saved, reread, rereadLines, &error) || !SameFields(params, reread))
        std::abort();
    return 0;
}
