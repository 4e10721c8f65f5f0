// Feeds any bytes, as a file, to the slag file reader.
#include "FuzzSupport.h"

using namespace ferrolyt;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::ReadyOnce(fuzz::TBase::Empty);
    LoadSlagData(fuzz::AsFile(data, size, "fuzz.SLG"));
    return 0;
}
