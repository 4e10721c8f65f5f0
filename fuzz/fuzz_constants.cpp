// Feeds any bytes, as a file, to the constants file reader.
#include "FuzzSupport.h"

using namespace ferrolyt;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::ReadyOnce(fuzz::TBase::Empty);
    LoadConstants(fuzz::AsFile(data, size, "fuzz.CON"));
    return 0;
}
