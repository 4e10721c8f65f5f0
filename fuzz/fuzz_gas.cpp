// Feeds any bytes, as a file, to the gas file reader.
#include "FuzzSupport.h"

using namespace ferrolyt;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::ReadyOnce(fuzz::TBase::SmallDatabase);
    LoadGases(fuzz::AsFile(data, size, "fuzz.GAS"));
    return 0;
}
