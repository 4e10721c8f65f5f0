// Feeds any bytes to the settings record's decoder, as "Ferrolyt.ini" is read
// at every start: whatever it repairs, the record it leaves must encode to
// an image that decodes again to the same record with nothing to repair.
#include "Settings.h"

#include <cstdint>
#include <cstdlib>

using namespace ferrolyt;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TSettingsRecord record;
    (void)DecodeSettings(data, size, record);
    const auto image = EncodeSettings(record);
    TSettingsRecord again;
    if (!DecodeSettings(image.data(), image.size(), again).empty() || !(again == record) ||
        EncodeSettings(again) != image)
        std::abort();
    return 0;
}
