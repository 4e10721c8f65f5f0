// Feeds any bytes to the texture decoder, plain and scrambled: a bitmap
// that decodes must give exactly width x height RGB pixels.
#include "BmpImage.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace ferrolyt::particles;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string file(reinterpret_cast<const char*>(data), size);
    for (int pass = 0; pass < 2; ++pass) {
        TRgbImage image;
        if (DecodeBmp(file, image) &&
            image.Rgb.size() != std::size_t(image.Width) * std::size_t(image.Height) * 3)
            std::abort();
        if (!ScrambleBmpPixels(file))
            break;
    }
    return 0;
}
