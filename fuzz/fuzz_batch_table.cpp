// Feeds any bytes to the particle batch's reading of an existing result
// table, which decides where the run appends: a table it reads has no more
// non-empty lines than line breaks plus one nor than the compositions and
// the header, and a refusal comes with a message.
#include "FuzzSupport.h"
#include "ParticleBatch.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace ferrolyt::particles;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const ferrolyt::fuzz::ProcessFolder folder("table");
    static const std::filesystem::path table = folder.path() / "fuzz.tdf";
    {
        std::ofstream out(table, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    int lines = -1;
    bool endsWithBreak = false;
    std::string message;
    if (!ReadBatchTable(table, lines, endsWithBreak, message)) {
        if (message.empty())
            std::abort();
        return 0;
    }
    // Only the run's own tables are read: the header and at most one line
    // per composition.
    const auto breaks = std::count(data, data + size, uint8_t('\n'));
    if (lines < 0 || lines > breaks + 1 || lines > int(TDFCompositions.size()) + 1 ||
        (size > 0 && endsWithBreak != (data[size - 1] == '\n')))
        std::abort();
    return 0;
}
