#pragma once
// Windows bitmaps for the particle view: the textures it reads and the
// frames it saves. The decoder is strict: every size and offset is checked
// against the bytes actually present, whatever the header claims (a size
// field of 0, a palette, 16 or 32 bits per pixel, top-down rows), so a
// damaged or unusual file is refused rather than read past its end.
//
// The ball textures are stored with their pixel bytes scrambled (a
// repeating-key XOR, key table 3 of XorDescramble); headers and palette stay
// plain, so a scrambled file is still a well-formed bitmap.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace ferrolyt::particles {

// Pixels as R, G, B bytes, the bottom row first (OpenGL's texture order).
struct TRgbImage {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Rgb;
};

// Larger bitmaps are refused (a texture or a frame is far smaller).
inline constexpr int MaxBmpSide = 16384;

// The key table of the ball textures.
inline constexpr std::uint8_t BallTextureKey = 3;

// Decodes a whole .bmp file: BITMAPCOREHEADER or BITMAPINFOHEADER and its
// later versions; 1, 4, 8 bits with a palette, 16 (5-5-5 or bit fields), 24
// and 32 bits (plain or bit fields). Compressed bitmaps (RLE, JPEG, PNG) are
// refused. False, with the reason in `error`, when the file is not usable.
bool DecodeBmp(std::string_view file, TRgbImage& image, std::string* error = nullptr);

// A 24-bit bottom-up bitmap file of the image. Its size is checked by the
// caller: an image with a side outside 1..MaxBmpSide or a pixel buffer of
// the wrong length gives an empty text.
std::string EncodeBmp24(const TRgbImage& image);

// XORs the pixel array (from the file's pixel offset to its end) with the
// ball-texture key; applying it twice gives the original file back. False,
// with the file unchanged, when the file is too short to have a pixel offset
// or the offset lies outside it.
bool ScrambleBmpPixels(std::string& file);

// No texture file is larger (a 2048 x 2048 bitmap of 32 bits is 16 MB).
inline constexpr std::uintmax_t MaxTextureBytes = 16u << 20;

// Reads and decodes a texture file the way every data file is opened
// (ReadFileBytes: a regular file of at most MaxTextureBytes, never waiting
// on a pipe), unscrambling its pixels first when `scrambled`. False, with
// the reason, when the file cannot be read or decoded.
bool ReadTexture(const std::filesystem::path& file, bool scrambled, TRgbImage& image, std::string* error = nullptr);

// A one-colour image, used when a texture cannot be read.
TRgbImage PlainImage(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b);

} // namespace ferrolyt::particles
