#include "BmpImage.h"
#include "TextFile.h"

#include "Utils.h"

#include <array>
#include <bit>
#include <cstring>

namespace ferrolyt::particles {

namespace {

std::uint32_t U16(std::string_view s, std::size_t at)
{
    return std::uint32_t(std::uint8_t(s[at])) | std::uint32_t(std::uint8_t(s[at + 1])) << 8;
}

std::uint32_t U32(std::string_view s, std::size_t at)
{
    return U16(s, at) | U16(s, at + 2) << 16;
}

std::int32_t S32(std::string_view s, std::size_t at) { return static_cast<std::int32_t>(U32(s, at)); }

bool Fail(std::string* error, const char* why)
{
    if (error)
        *error = why;
    return false;
}

// One channel out of a bit-field pixel, scaled to 0..255.
struct TChannel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint32_t max = 0;

    explicit TChannel(std::uint32_t m) : mask(m)
    {
        if (m) {
            shift = std::countr_zero(m);
            max = m >> shift;
        }
    }
    std::uint8_t Of(std::uint32_t pixel) const
    {
        if (!mask)
            return 0;
        const std::uint32_t v = (pixel & mask) >> shift;
        return static_cast<std::uint8_t>((std::uint64_t(v) * 255 + max / 2) / max);
    }
};

void Put16(std::string& out, std::uint32_t v)
{
    out.push_back(char(v & 0xFF));
    out.push_back(char((v >> 8) & 0xFF));
}

void Put32(std::string& out, std::uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

} // namespace

bool DecodeBmp(std::string_view file, TRgbImage& image, std::string* error)
{
    constexpr std::size_t FileHeader = 14;
    if (file.size() < FileHeader + 12)
        return Fail(error, "too short for a bitmap");
    if (file[0] != 'B' || file[1] != 'M')
        return Fail(error, "not a bitmap (no BM signature)");
    const std::uint64_t pixelOffset = U32(file, 10);
    const std::uint32_t headerSize = U32(file, 14);
    if (headerSize < 12 || FileHeader + std::uint64_t(headerSize) > file.size())
        return Fail(error, "bitmap header outside the file");

    std::int64_t width = 0, height = 0;
    std::uint32_t bits = 0, compression = 0, colorsUsed = 0;
    std::size_t paletteEntry = 4;
    if (headerSize == 12) {
        width = U16(file, 18);
        height = static_cast<std::int16_t>(U16(file, 20));
        bits = U16(file, 24);
        paletteEntry = 3;
    } else if (headerSize >= 40) {
        width = S32(file, 18);
        height = S32(file, 22);
        bits = U16(file, 28);
        compression = U32(file, 30);
        colorsUsed = U32(file, 46);
    } else {
        return Fail(error, "unknown bitmap header");
    }
    const bool topDown = height < 0;
    if (topDown)
        height = -height;
    if (width < 1 || height < 1 || width > MaxBmpSide || height > MaxBmpSide)
        return Fail(error, "bitmap size out of range");

    // Bit-field masks: inside a V4/V5 header, or right after an info header.
    std::uint32_t masks[3] = {0, 0, 0};
    std::size_t afterHeader = FileHeader + headerSize;
    if (compression == 3 || compression == 6) {
        if (bits != 16 && bits != 32)
            return Fail(error, "bit fields need 16 or 32 bits per pixel");
        std::size_t at = FileHeader + 40;
        if (headerSize == 40) {
            if (afterHeader + 12 > file.size())
                return Fail(error, "bit-field masks outside the file");
            afterHeader += 12;
        } else if (headerSize < 52) {
            return Fail(error, "bitmap header too short for its bit fields");
        }
        for (int k = 0; k < 3; ++k)
            masks[k] = U32(file, at + 4 * k);
    } else if (compression != 0) {
        return Fail(error, "compressed bitmaps are not supported");
    } else if (bits == 16) {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    } else if (bits == 32) {
        masks[0] = 0x00FF0000;
        masks[1] = 0x0000FF00;
        masks[2] = 0x000000FF;
    }
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return Fail(error, "unsupported number of bits per pixel");

    // Palette: between the header (and masks) and the end of the file.
    std::vector<std::array<std::uint8_t, 3>> palette;
    if (bits <= 8) {
        const std::uint32_t full = 1u << bits;
        const std::uint32_t count = colorsUsed == 0 || colorsUsed > full ? full : colorsUsed;
        const std::uint64_t end = afterHeader + std::uint64_t(count) * paletteEntry;
        if (end > file.size())
            return Fail(error, "palette outside the file");
        palette.resize(count);
        for (std::uint32_t k = 0; k < count; ++k) {
            const std::size_t at = afterHeader + k * paletteEntry;
            palette[k] = {std::uint8_t(file[at + 2]), std::uint8_t(file[at + 1]), std::uint8_t(file[at])};
        }
    }

    // The size field of the header is not trusted (it may be 0): the rows
    // are measured from width and depth and must lie inside the file.
    const std::uint64_t stride = ((std::uint64_t(width) * bits + 31) / 32) * 4;
    if (pixelOffset < FileHeader + 12 || pixelOffset > file.size() ||
        stride * std::uint64_t(height) > file.size() - pixelOffset)
        return Fail(error, "pixel data outside the file");

    const TChannel red(masks[0]), green(masks[1]), blue(masks[2]);
    TRgbImage out;
    out.Width = static_cast<int>(width);
    out.Height = static_cast<int>(height);
    out.Rgb.resize(std::size_t(width) * std::size_t(height) * 3);
    for (std::int64_t row = 0; row < height; ++row) {
        // Output rows bottom first.
        const std::int64_t fileRow = topDown ? height - 1 - row : row;
        const std::size_t base = std::size_t(pixelOffset + std::uint64_t(fileRow) * stride);
        std::uint8_t* dst = out.Rgb.data() + std::size_t(row) * std::size_t(width) * 3;
        for (std::int64_t x = 0; x < width; ++x, dst += 3) {
            std::array<std::uint8_t, 3> rgb{0, 0, 0};
            if (bits <= 8) {
                const std::uint64_t bitPos = std::uint64_t(x) * bits;
                const std::uint8_t byte = std::uint8_t(file[base + bitPos / 8]);
                const unsigned index = (byte >> (8 - bits - bitPos % 8)) & ((1u << bits) - 1);
                if (index < palette.size())
                    rgb = palette[index];
            } else if (bits == 24) {
                const std::size_t at = base + std::size_t(x) * 3;
                rgb = {std::uint8_t(file[at + 2]), std::uint8_t(file[at + 1]), std::uint8_t(file[at])};
            } else {
                const std::size_t at = base + std::size_t(x) * (bits / 8);
                const std::uint32_t pixel = bits == 16 ? U16(file, at) : U32(file, at);
                rgb = {red.Of(pixel), green.Of(pixel), blue.Of(pixel)};
            }
            std::memcpy(dst, rgb.data(), 3);
        }
    }
    image = std::move(out);
    return true;
}

std::string EncodeBmp24(const TRgbImage& image)
{
    if (image.Width < 1 || image.Height < 1 || image.Width > MaxBmpSide || image.Height > MaxBmpSide ||
        image.Rgb.size() != std::size_t(image.Width) * std::size_t(image.Height) * 3)
        return {};
    const std::uint32_t stride = ((std::uint32_t(image.Width) * 24 + 31) / 32) * 4;
    const std::uint32_t dataSize = stride * std::uint32_t(image.Height);
    std::string out;
    out.reserve(54 + dataSize);
    out += "BM";
    Put32(out, 54 + dataSize);
    Put32(out, 0);
    Put32(out, 54);
    Put32(out, 40);
    Put32(out, std::uint32_t(image.Width));
    Put32(out, std::uint32_t(image.Height));
    Put16(out, 1);
    Put16(out, 24);
    Put32(out, 0);
    Put32(out, dataSize);
    Put32(out, 2835); // 72 dpi
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
    for (int row = 0; row < image.Height; ++row) {
        const std::uint8_t* src = image.Rgb.data() + std::size_t(row) * std::size_t(image.Width) * 3;
        for (int x = 0; x < image.Width; ++x, src += 3) {
            out.push_back(char(src[2]));
            out.push_back(char(src[1]));
            out.push_back(char(src[0]));
        }
        out.append(stride - std::uint32_t(image.Width) * 3, '\0');
    }
    return out;
}

bool ScrambleBmpPixels(std::string& file)
{
    if (file.size() < 14)
        return false;
    const std::uint64_t offset = U32(file, 10);
    if (offset < 14 || offset > file.size())
        return false;
    std::string pixels;
    XorDescramble(BallTextureKey, std::string_view(file).substr(std::size_t(offset)), pixels);
    file.replace(std::size_t(offset), pixels.size(), pixels);
    return true;
}

TRgbImage PlainImage(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    TRgbImage image;
    image.Width = width;
    image.Height = height;
    image.Rgb.resize(std::size_t(width) * std::size_t(height) * 3);
    for (std::size_t k = 0; k < image.Rgb.size(); k += 3) {
        image.Rgb[k] = r;
        image.Rgb[k + 1] = g;
        image.Rgb[k + 2] = b;
    }
    return image;
}

bool ReadTexture(const std::filesystem::path& file, bool scrambled, TRgbImage& image, std::string* error)
{
    std::string bytes;
    try {
        bytes = ReadFileBytes(file, MaxTextureBytes);
    } catch (const TextFileError& e) {
        if (error)
            *error = e.what();
        return false;
    }
    if (scrambled && !ScrambleBmpPixels(bytes)) {
        if (error)
            *error = "файл " + file.string() + " не є рисунком BMP";
        return false;
    }
    TRgbImage decoded;
    std::string reason;
    if (!DecodeBmp(bytes, decoded, &reason)) {
        if (error)
            *error = "файл " + file.string() + " не є придатним рисунком BMP" + (reason.empty() ? "" : ": " + reason);
        return false;
    }
    image = std::move(decoded);
    return true;
}

} // namespace ferrolyt::particles
