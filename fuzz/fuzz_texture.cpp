// Feeds any bytes, as a file, to the particle view's texture reader, plain
// and scrambled: a texture it reads has exactly width x height RGB pixels
// within the bitmap's size limit, and one it refuses says why.
#include "FuzzSupport.h"
#include "BmpImage.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace ferrolyt::particles;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const ferrolyt::fuzz::ProcessFolder folder("texture");
    static const std::filesystem::path file = folder.path() / "Back.bmp";
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    for (const bool scrambled : {false, true}) {
        TRgbImage image;
        std::string error;
        if (!ReadTexture(file, scrambled, image, &error)) {
            if (error.empty())
                std::abort();
            continue;
        }
        if (image.Width < 1 || image.Height < 1 || image.Width > MaxBmpSide || image.Height > MaxBmpSide ||
            image.Rgb.size() != std::size_t(image.Width) * std::size_t(image.Height) * 3)
            std::abort();
    }
    return 0;
}
