#include "BmpImage.h"
#include "ParticleTestUtil.h"

#include "Utils.h"

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace ferrolyt::particles;

namespace {

TRgbImage Gradient(int w, int h)
{
    TRgbImage img;
    img.Width = w;
    img.Height = h;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            img.Rgb.push_back(std::uint8_t(x * 10));
            img.Rgb.push_back(std::uint8_t(y * 20));
            img.Rgb.push_back(std::uint8_t(x + y));
        }
    return img;
}

void Put32(std::string& s, std::size_t at, std::uint32_t v)
{
    for (int k = 0; k < 4; ++k)
        s[at + k] = char((v >> (8 * k)) & 0xFF);
}

// A hand-built bitmap with an info header; pixel bytes appended by the caller.
std::string Header(int w, int h, int bits, std::uint32_t sizeImage, std::uint32_t paletteCount)
{
    std::string s(54, '\0');
    s[0] = 'B';
    s[1] = 'M';
    Put32(s, 10, 54 + paletteCount * 4);
    Put32(s, 14, 40);
    Put32(s, 18, std::uint32_t(w));
    Put32(s, 22, std::uint32_t(h));
    s[26] = 1;
    s[28] = char(bits);
    Put32(s, 34, sizeImage);
    Put32(s, 46, paletteCount);
    return s;
}

} // namespace

TEST(BmpRoundTrip, EncodedFramesDecodeToTheSamePixels)
{
    for (int w : {1, 2, 3, 5, 64}) {
        const TRgbImage img = Gradient(w, 7);
        const std::string file = EncodeBmp24(img);
        ASSERT_FALSE(file.empty());
        EXPECT_EQ(file[28], 24);  // bits per pixel
        EXPECT_EQ(file.size(), 54 + std::size_t((w * 3 + 3) / 4 * 4) * 7);
        TRgbImage back;
        std::string error;
        ASSERT_TRUE(DecodeBmp(file, back, &error)) << error;
        EXPECT_EQ(back.Width, w);
        EXPECT_EQ(back.Height, 7);
        EXPECT_EQ(back.Rgb, img.Rgb);
    }
}

TEST(BmpRoundTrip, ScrambledPixelsComeBackAndHeadersStayPlain)
{
    const std::string plain = EncodeBmp24(Gradient(16, 16));
    std::string file = plain;
    ASSERT_TRUE(ScrambleBmpPixels(file));
    EXPECT_EQ(file.substr(0, 54), plain.substr(0, 54));
    EXPECT_NE(file, plain);
    // The scrambled pixels are the XOR with key table 3, byte for byte; a
    // second pass restores them.
    EXPECT_EQ(file.substr(54), ferrolyt::XorDescramble(BallTextureKey, plain.substr(54)));
    ASSERT_TRUE(ScrambleBmpPixels(file));
    EXPECT_EQ(file, plain);
}

TEST(BmpFlavours, PaletteImagesUseTheirColours)
{
    // 8 bits, 2 palette entries, 3 x 2 pixels, size field 0.
    std::string s = Header(3, 2, 8, 0, 2);
    s += std::string("\x00\x00\xFF\x00", 4);  // entry 0: red (B G R x)
    s += std::string("\xFF\x00\x00\x00", 4);  // entry 1: blue
    s += std::string("\x00\x01\x00\x00", 4);  // bottom row: red blue red + pad
    s += std::string("\x01\x01\x01\x00", 4);
    TRgbImage img;
    std::string error;
    ASSERT_TRUE(DecodeBmp(s, img, &error)) << error;
    ASSERT_EQ(img.Rgb.size(), 18u);
    EXPECT_EQ(img.Rgb[0], 255);  // red
    EXPECT_EQ(img.Rgb[5], 255);  // blue
    EXPECT_EQ(img.Rgb[6], 255);  // third pixel red again
    EXPECT_EQ(img.Rgb[8], 0);
    EXPECT_EQ(img.Rgb[9], 0);  // top row all blue
    EXPECT_EQ(img.Rgb[11], 255);
}

TEST(BmpFlavours, OneBitRowsAreUnpacked)
{
    std::string s = Header(3, 1, 1, 0, 0);  // 1 bit: palette of 2 by default
    Put32(s, 10, 54 + 8);
    s += std::string("\x00\x00\x00\x00\xFF\xFF\xFF\x00", 8);
    s += std::string("\xA0\x00\x00\x00", 4);  // bits 1 0 1
    TRgbImage img;
    ASSERT_TRUE(DecodeBmp(s, img));
    EXPECT_EQ(img.Rgb[0], 255);
    EXPECT_EQ(img.Rgb[3], 0);
    EXPECT_EQ(img.Rgb[6], 255);
}

TEST(BmpFlavours, ThirtyTwoBitAndTopDownRows)
{
    std::string s = Header(2, 2, 32, 0, 0);
    Put32(s, 22, std::uint32_t(-2));  // top-down
    s += std::string("\x01\x02\x03\x00\x04\x05\x06\x00", 8);  // top row
    s += std::string("\x07\x08\x09\x00\x0A\x0B\x0C\x00", 8);  // bottom row
    TRgbImage img;
    std::string error;
    ASSERT_TRUE(DecodeBmp(s, img, &error)) << error;
    // Output bottom row first, as R G B.
    const std::vector<std::uint8_t> want = {9, 8, 7, 12, 11, 10, 3, 2, 1, 6, 5, 4};
    EXPECT_EQ(img.Rgb, want);
}

TEST(BmpRefusal, TruncatedOrLyingFilesAreRefused)
{
    TRgbImage img;
    std::string full = EncodeBmp24(Gradient(8, 8));
    // Pixels cut short.
    EXPECT_FALSE(DecodeBmp(std::string_view(full).substr(0, full.size() - 1), img));
    // A header that claims a huge size.
    std::string huge = full;
    Put32(huge, 18, 100000);
    EXPECT_FALSE(DecodeBmp(huge, img));
    // A pixel offset past the end.
    std::string far = full;
    Put32(far, 10, 0x7FFFFFFF);
    EXPECT_FALSE(DecodeBmp(far, img));
    // A palette that does not fit.
    std::string pal = Header(4, 4, 8, 0, 256);
    EXPECT_FALSE(DecodeBmp(pal, img));
    // Compression, bad signature, empty input.
    std::string rle = full;
    Put32(rle, 30, 1);
    EXPECT_FALSE(DecodeBmp(rle, img));
    EXPECT_FALSE(DecodeBmp("XX" + full.substr(2), img));
    EXPECT_FALSE(DecodeBmp("", img));
    // Nothing was written to the image by the refusals.
    EXPECT_TRUE(img.Rgb.empty());
}

TEST(BmpRefusal, EncoderRefusesInconsistentImages)
{
    TRgbImage bad = Gradient(4, 4);
    bad.Rgb.pop_back();
    EXPECT_TRUE(EncodeBmp24(bad).empty());
    EXPECT_TRUE(EncodeBmp24(TRgbImage{}).empty());
    std::string tiny = "BM";
    EXPECT_FALSE(ScrambleBmpPixels(tiny));
}

// Textures are opened as every data file is: a pipe named like a picture
// must not hang the view, nor a link to an endless device fill the memory.
TEST(TextureFiles, OnlyRegularFilesWithinTheCapAreRead)
{
    ferrolyt::particles::testing::TempDir dir;
    const std::filesystem::path folder = dir.path();
    const TRgbImage picture = Gradient(5, 3);
    {
        std::ofstream(folder / "plain.bmp", std::ios::binary) << EncodeBmp24(picture);
        std::string scrambled = EncodeBmp24(picture);
        ASSERT_TRUE(ScrambleBmpPixels(scrambled));
        std::ofstream(folder / "ball.bmp", std::ios::binary) << scrambled;
    }
    TRgbImage image;
    ASSERT_TRUE(ReadTexture(folder / "plain.bmp", false, image));
    EXPECT_EQ(image.Rgb, picture.Rgb);
    image = {};
    ASSERT_TRUE(ReadTexture(folder / "ball.bmp", true, image));
    EXPECT_EQ(image.Rgb, picture.Rgb);
    // The shipped textures decode, the balls' after unscrambling.
    const std::filesystem::path shipped = std::filesystem::path(FERROLYT_DATA) / "DezOzevev";
    EXPECT_TRUE(ReadTexture(shipped / "Back.bmp", false, image));
    EXPECT_TRUE(ReadTexture(shipped / "RedBall.bmp", true, image));

    ASSERT_EQ(::mkfifo((folder / "Back.bmp").c_str(), 0644), 0);
    std::filesystem::create_symlink("/dev/zero", folder / "Grass.bmp");
    std::filesystem::create_directory(folder / "Brick.bmp");
    std::ofstream(folder / "Huge.bmp", std::ios::binary) << EncodeBmp24(picture);
    std::filesystem::resize_file(folder / "Huge.bmp", MaxTextureBytes + 1);
    for (const char* name : {"Back.bmp", "Grass.bmp", "Brick.bmp", "Huge.bmp", "missing.bmp"}) {
        SCOPED_TRACE(name);
        TRgbImage kept = picture;
        std::string error;
        EXPECT_FALSE(ReadTexture(folder / name, false, kept, &error));
        EXPECT_NE(error.find(name), std::string::npos) << error;
        EXPECT_EQ(kept.Rgb, picture.Rgb);
    }
}
