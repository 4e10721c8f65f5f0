// Feeds any bytes to the interaction file reader.
#include "FuzzSupport.h"

using namespace ferrolyt;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::ReadyOnce(fuzz::TBase::SmallDatabase);
    const auto lines = fuzz::Lines(data, size);
    LoadInteractionParamsFromLines(lines, "fuzz.EPS");
    return 0;
}
