// Feeds any bytes, as a file, to the interaction file reader.
#include "FuzzSupport.h"

using namespace ferrolyt;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::ReadyOnce(fuzz::TBase::SmallDatabase);
    LoadInteractionParams(fuzz::AsFile(data, size, "fuzz.EPS"));
    return 0;
}
