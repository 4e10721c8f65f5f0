// Feeds any bytes to the gas file reader.
#include "FuzzSupport.h"

using namespace ferrolyt;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::ReadyOnce(fuzz::TBase::SmallDatabase);
    const auto lines = fuzz::Lines(data, size);
    LoadGasesFromLines(lines, "fuzz.GAS");
    return 0;
}
