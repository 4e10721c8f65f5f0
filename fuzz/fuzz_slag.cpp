// Feeds any bytes to the slag file reader.
#include "FuzzSupport.h"

using namespace ferrolyt;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::ReadyOnce(fuzz::TBase::Empty);
    const auto lines = fuzz::Lines(data, size);
    LoadSlagDataFromLines(lines, "fuzz.SLG");
    return 0;
}
