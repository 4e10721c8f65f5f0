// Feeds any bytes to the project loader as a project file in an empty
// folder (the data files it names are looked for and mostly not found),
// then builds the lines a save would write.
#include "FuzzSupport.h"
#include "ProgramDir.h"
#include "Project.h"

#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace ferrolyt;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static fuzz::QuietHost host;
    static const fuzz::ProcessFolder own("project");
    static const std::filesystem::path folder = [] {
        ResetModel();
        SetProgramDir(own.path().string());
        return own.path();
    }();
    const auto file = folder / "fuzz.FWP";
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    // The loader makes the project's folder current; libFuzzer keeps writing
    // into the corpus folder it was given, which may be relative.
    const auto before = std::filesystem::current_path();
    LoadProject(file.string());
    std::filesystem::current_path(before);
    (void)ProjectFileLines();
    ProjectList = fuzz::Lines(data, size);
    ReadTaskFileEntries(0);
    (void)ProjectFileLines();
    return 0;
}
