// Feeds any bytes to the constants file reader.
#include "FuzzSupport.h"

using namespace ferrolyt;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::ReadyOnce(fuzz::TBase::Empty);
    const auto lines = fuzz::Lines(data, size);
    LoadConstantsFromLines(lines, "fuzz.CON");
    return 0;
}
