#pragma once
// Shared pieces of the reader fuzz targets: the bytes of a file written as
// a file for the readers to open, or turned into lines as the text reader
// turns them, a host that shows nothing, a small
// element database for the readers that need one, and the one-time set-up
// that puts these in place.

#include "DataFiles.h"
#include "Host.h"
#include "Model.h"
#include "TextFile.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

namespace ferrolyt::fuzz {

// Code page 1251 bytes -> UTF-8 lines, split at LF with the CR before it removed.
inline std::vector<std::string> Lines(const uint8_t* data, std::size_t size)
{
    const std::string text = FromCp1251(std::string_view(reinterpret_cast<const char*>(data), size));
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

// The bytes as a file of the given name, in a folder of this process's
// own: a reader given its path opens it as it opens any file, through the
// checks of size, line count, final line break, control bytes and
// encoding that split lines would never reach.
// The folder goes with the process: libFuzzer ends a run through exit(),
// which runs the destructor of the static below.
class ProcessFolder {
public:
    explicit ProcessFolder(const std::string& tag = "")
        : path_(std::filesystem::temp_directory_path() /
                ("ferrolyt-fuzz-" + (tag.empty() ? tag : tag + "-") + std::to_string(::getpid())))
    {
        std::filesystem::create_directories(path_);
    }
    ~ProcessFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ProcessFolder(const ProcessFolder&) = delete;
    ProcessFolder& operator=(const ProcessFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline std::string AsFile(const uint8_t* data, std::size_t size, const char* name)
{
    static const ProcessFolder folder;
    const std::filesystem::path path = folder.path() / name;
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return path.string();
}

class QuietHost : public Host {
public:
    QuietHost() { SetHost(this); }
    ~QuietHost() override { SetHost(nullptr); }
    int ShowWarning(const std::string&) override { return 1; }
};

inline void LoadSmallDatabase()
{
    const std::string f = " 0 50 2 1 -0.5 0.8 -0.3 0.49 -20000 5.5 0.01 0 1 2 3 4 5 6 7 8 9 10 11 12 1.5";
    LoadConstantsFromLines({"t", "Fe FeO   " + f, "O        " + f.substr(0, 5) + "16 -2" + f.substr(9),
                            "C  CO     0 12 4" + f.substr(9), "Si SiO2   0 28 4" + f.substr(9),
                            "Ca CaO    0 40 2" + f.substr(9), "Mn MnO    0 55 2" + f.substr(9)},
                           "base.CON");
    LoadInteractionParamsFromLines({"t", "O 1.5", "C 2 0.1", "Si 1.2 0.1 0.2", "Ca 1.1 -", "Mn 1.3 -"}, "base.EPS");
    LoadGasesFromLines({"t", "1 2 3 4 5 6 7 8 0 0 1 O  1 Fe 0 Fe 0 Fe 0 O      ",
                        "1 2 3 4 5 6 7 8 0 0 1 O  2 Fe 0 Fe 0 Fe 0 O2     ",
                        "1 2 3 4 5 6 7 8 0 0 2 C  1 O  1 Fe 0 Fe 0 CO     "},
                       "base.GAS");
}

enum class TBase { Empty, SmallDatabase };

// Readies a target on its first input only: the quiet host, a fresh model,
// the small database when asked for, then `more` (further files the reader
// needs). Later inputs run on what the earlier ones left.
inline void ReadyOnce(TBase base, void (*more)() = nullptr)
{
    static QuietHost host;
    static const bool ready = [base, more] {
        ResetModel();
        if (base == TBase::SmallDatabase)
            LoadSmallDatabase();
        if (more)
            more();
        return true;
    }();
    (void)ready;
}

} // namespace ferrolyt::fuzz
