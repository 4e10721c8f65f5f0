// Feeds any bytes to the materials file reader, on a small element database.
#include "FuzzSupport.h"
#include "Materials.h"
#include "Settings.h"

using namespace ferrolyt;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::ReadyOnce(fuzz::TBase::SmallDatabase);
    // The first byte chooses whether ferroalloy analyses are widened.
    Settings.WidenFerroalloys = size > 0 && (data[0] & 1);
    LoadMaterials(fuzz::AsFile(data, size, "fuzz.MAT"), false);
    return 0;
}
