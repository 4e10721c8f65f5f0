// Feeds any bytes to the heat batch's report counter "NUM.TXT": it is either
// refused with a message or gives a report number that no existing report
// holds.
#include "FuzzSupport.h"
#include "HeatBatch.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace ferrolyt;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const fuzz::ProcessFolder own("heatbatch");
    const std::filesystem::path& folder = own.path();
    {
        std::ofstream out(folder / "NUM.TXT", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    int number = 0;
    std::string error;
    if (NextHeatReportNumber(folder, number, &error)) {
        if (number < 1 || std::filesystem::exists(folder / (std::to_string(number) + ".RES")))
            std::abort();
    } else if (error.empty()) {
        std::abort();
    }
    return 0;
}
