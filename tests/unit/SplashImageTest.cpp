#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "splash/GdiHandles.h"
#include "splash/ImageConversion.h"
#include "splash/SplashBitmap.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Blue, green, red, alpha: the memory order of one DIB pixel.
Bytes Pixel(uint8_t blue, uint8_t green, uint8_t red, uint8_t alpha) {
    return {blue, green, red, alpha};
}

Bytes PixelAt(const uint8_t* bits, size_t index) {
    return Bytes(bits + index * 4, bits + index * 4 + 4);
}

// --- Premultiplication -----------------------------------------------------

TEST(SplashPremultiply, ScalesColoursByAlphaRoundingDown) {
    Bytes pixels = {1, 128, 255, 128,  // blue 1, green 128, red 255 at alpha 128
                    0, 0, 0, 179,      // black at alpha 179
                    200, 100, 50, 0,   // anything at alpha 0
                    7, 8, 9, 255};     // opaque
    PremultiplyPixels(pixels.data(), 4);
    EXPECT_EQ(PixelAt(pixels.data(), 0), Pixel(0, 64, 128, 128));
    EXPECT_EQ(PixelAt(pixels.data(), 1), Pixel(0, 0, 0, 179));
    EXPECT_EQ(PixelAt(pixels.data(), 2), Pixel(0, 0, 0, 0));
    EXPECT_EQ(PixelAt(pixels.data(), 3), Pixel(7, 8, 9, 255));
}

TEST(SplashPremultiply, TouchesOnlyTheCountedPixels) {
    Bytes pixels = {10, 20, 30, 0, 10, 20, 30, 0};
    PremultiplyPixels(pixels.data(), 1);
    EXPECT_EQ(PixelAt(pixels.data(), 1), Pixel(10, 20, 30, 0));
    PremultiplyPixels(pixels.data() + 4, 0);
    PremultiplyPixels(pixels.data() + 4, -1);
    EXPECT_EQ(PixelAt(pixels.data(), 1), Pixel(10, 20, 30, 0));
}

// --- Row conversion by pixel format ----------------------------------------

Bytes ConvertOne(Gdiplus::PixelFormat format, const Bytes& source) {
    Bytes row(4, 0);
    ConvertImageRow(format, source.data(), 1, row.data());
    return row;
}

TEST(SplashRowConversion, Rgb565FieldsAreShiftedNotWidened) {
    EXPECT_EQ(ConvertOne(PixelFormat16bppRGB565, {0x00, 0xF8}), Pixel(0, 0, 248, 255));
    EXPECT_EQ(ConvertOne(PixelFormat16bppRGB565, {0x1F, 0x00}), Pixel(248, 0, 0, 255));
    EXPECT_EQ(ConvertOne(PixelFormat16bppRGB565, {0xE0, 0x07}), Pixel(0, 252, 0, 255));
}

TEST(SplashRowConversion, Rgb555IgnoresTheTopBit) {
    EXPECT_EQ(ConvertOne(PixelFormat16bppRGB555, {0xFF, 0x7F}), Pixel(248, 248, 248, 255));
    EXPECT_EQ(ConvertOne(PixelFormat16bppRGB555, {0x00, 0x80}), Pixel(0, 0, 0, 255));
    EXPECT_EQ(ConvertOne(PixelFormat16bppRGB555, {0x00, 0x7C}), Pixel(0, 0, 248, 255));
}

TEST(SplashRowConversion, ThirtyTwoBitFormats) {
    EXPECT_EQ(ConvertOne(PixelFormat32bppARGB, {1, 2, 3, 4}), Pixel(1, 2, 3, 4));
    EXPECT_EQ(ConvertOne(PixelFormat32bppRGB, {1, 2, 3, 4}), Pixel(1, 2, 3, 255));
}

TEST(SplashRowConversion, FormatsWithoutConversionStayTransparent) {
    const Bytes eightBytes = {9, 9, 9, 9, 9, 9, 9, 9};
    for (Gdiplus::PixelFormat format : {PixelFormat32bppPARGB, PixelFormat16bppARGB1555,
                                        PixelFormat16bppGrayScale, PixelFormat48bppRGB,
                                        PixelFormat64bppARGB, PixelFormat8bppIndexed}) {
        EXPECT_EQ(ConvertOne(format, eightBytes), Pixel(0, 0, 0, 0)) << format;
    }
}

TEST(SplashRowConversion, PaletteImagesAreLockedAsArgb) {
    EXPECT_EQ(FormatToLock(PixelFormat1bppIndexed), PixelFormat32bppARGB);
    EXPECT_EQ(FormatToLock(PixelFormat4bppIndexed), PixelFormat32bppARGB);
    EXPECT_EQ(FormatToLock(PixelFormat8bppIndexed), PixelFormat32bppARGB);
    EXPECT_EQ(FormatToLock(PixelFormat24bppRGB), PixelFormat24bppRGB);
    EXPECT_EQ(FormatToLock(PixelFormat64bppARGB), PixelFormat64bppARGB);
}

// A 3-pixel-wide 24-bit image has 9 bytes of pixels in a 12-byte row.
TEST(SplashRowConversion, OddWidthRowsFollowTheStrideAndLandBottomUp) {
    const Bytes source = {1,  2,  3,  4,  5,  6,  7,  8,  9,  0xEE, 0xEE, 0xEE,
                          11, 12, 13, 14, 15, 16, 17, 18, 19, 0xEE, 0xEE, 0xEE};
    Bytes dib(2 * 3 * 4, 0);
    ConvertImageRows(PixelFormat24bppRGB, source.data(), 12, 3, 2, dib.data());
    // Memory row 0 holds the image's bottom row.
    EXPECT_EQ(PixelAt(dib.data(), 0), Pixel(11, 12, 13, 255));
    EXPECT_EQ(PixelAt(dib.data(), 2), Pixel(17, 18, 19, 255));
    EXPECT_EQ(PixelAt(dib.data(), 3), Pixel(1, 2, 3, 255));
    EXPECT_EQ(PixelAt(dib.data(), 5), Pixel(7, 8, 9, 255));
}

TEST(SplashRowConversion, NegativeStrideIsFollowedAsGiven) {
    // Scan0 points at the last row in memory; the image's top row.
    const Bytes source = {0x00, 0x7C, 0x1F, 0x00};
    Bytes dib(2 * 4, 0);
    ConvertImageRows(PixelFormat16bppRGB555, source.data() + 2, -2, 1, 2, dib.data());
    EXPECT_EQ(PixelAt(dib.data(), 1), Pixel(248, 0, 0, 255));  // top row, stored last
    EXPECT_EQ(PixelAt(dib.data(), 0), Pixel(0, 0, 248, 255));
}

// --- Decoding through GDI+ -------------------------------------------------

void AppendLittleEndian(Bytes& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void AppendBigEndian(Bytes& out, uint32_t value) {
    for (int i = 3; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A BMP file; `rows` are given top row first, each already padded to 4 bytes.
Bytes BmpFile(int width, int height, int bitCount, uint32_t compression, const Bytes& extra,
              const std::vector<Bytes>& rows) {
    Bytes pixels;
    for (auto row = rows.rbegin(); row != rows.rend(); ++row)
        pixels.insert(pixels.end(), row->begin(), row->end());
    const uint32_t offset = 14 + 40 + static_cast<uint32_t>(extra.size());
    Bytes file = {'B', 'M'};
    AppendLittleEndian(file, offset + static_cast<uint32_t>(pixels.size()), 4);
    AppendLittleEndian(file, 0, 4);
    AppendLittleEndian(file, offset, 4);
    AppendLittleEndian(file, 40, 4);
    AppendLittleEndian(file, static_cast<uint32_t>(width), 4);
    AppendLittleEndian(file, static_cast<uint32_t>(height), 4);
    AppendLittleEndian(file, 1, 2);
    AppendLittleEndian(file, static_cast<uint32_t>(bitCount), 2);
    AppendLittleEndian(file, compression, 4);
    for (int i = 0; i < 5; ++i) AppendLittleEndian(file, 0, 4);
    file.insert(file.end(), extra.begin(), extra.end());
    file.insert(file.end(), pixels.begin(), pixels.end());
    return file;
}

uint32_t Crc32(const uint8_t* data, size_t size) {
    uint32_t crc = 0xFFFFFFFF;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
    }
    return ~crc;
}

void AppendChunk(Bytes& png, const char* type, const Bytes& data) {
    AppendBigEndian(png, static_cast<uint32_t>(data.size()));
    Bytes body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    png.insert(png.end(), body.begin(), body.end());
    AppendBigEndian(png, Crc32(body.data(), body.size()));
}

// An 8-bit RGBA PNG, its pixel data in one stored (uncompressed) deflate block.
Bytes RgbaPng(uint32_t width, uint32_t height, const Bytes& rgba) {
    Bytes raw;
    for (uint32_t y = 0; y < height; ++y) {
        raw.push_back(0);
        raw.insert(raw.end(), rgba.begin() + y * width * 4, rgba.begin() + (y + 1) * width * 4);
    }
    uint32_t a = 1, b = 0;
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    Bytes zlib = {0x78, 0x01, 0x01};
    AppendLittleEndian(zlib, static_cast<uint32_t>(raw.size()), 2);
    AppendLittleEndian(zlib, static_cast<uint32_t>(~raw.size() & 0xFFFF), 2);
    zlib.insert(zlib.end(), raw.begin(), raw.end());
    AppendBigEndian(zlib, b << 16 | a);

    Bytes header;
    AppendBigEndian(header, width);
    AppendBigEndian(header, height);
    header.insert(header.end(), {8, 6, 0, 0, 0});
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    AppendChunk(png, "IHDR", header);
    AppendChunk(png, "IDAT", zlib);
    AppendChunk(png, "IEND", {});
    return png;
}

struct DibView {
    int width = 0;
    int height = 0;
    int bitCount = 0;
    const uint8_t* bits = nullptr;
};

DibView Describe(const GdiObject& dib) {
    DIBSECTION section = {};
    DibView view;
    if (GetObjectW(dib.Get(), sizeof(section), &section) != sizeof(section)) return view;
    view.width = section.dsBm.bmWidth;
    view.height = section.dsBm.bmHeight;
    view.bitCount = section.dsBm.bmBitsPixel;
    view.bits = static_cast<const uint8_t*>(section.dsBm.bmBits);
    return view;
}

// The DIB pixel shown at image position x, y (rows are stored bottom-up).
Bytes Shown(const DibView& view, int x, int y) {
    return PixelAt(view.bits, static_cast<size_t>(view.height - 1 - y) * view.width + x);
}

class SplashDecode : public testing::Test {
protected:
    static void SetUpTestSuite() {
        Gdiplus::GdiplusStartupInput input;
        ASSERT_EQ(Gdiplus::GdiplusStartup(&token_, &input, nullptr), Gdiplus::Ok);
    }
    static void TearDownTestSuite() { Gdiplus::GdiplusShutdown(token_); }

    static HBITMAP Decode(const Bytes& file) {
        return DecodeSplashImage(file.data(), static_cast<uint32_t>(file.size()));
    }

    static ULONG_PTR token_;
};

ULONG_PTR SplashDecode::token_ = 0;

TEST_F(SplashDecode, PngIsPremultipliedWithItsTopRowShownOnTop) {
    const Bytes rgba = {255, 128, 1, 128, 10, 20, 30, 0,  //
                        0, 0, 0, 179, 40, 50, 60, 255};
    GdiObject owner(Decode(RgbaPng(2, 2, rgba)));
    ASSERT_TRUE(owner.IsValid());
    DibView view = Describe(owner);
    EXPECT_EQ(view.width, 2);
    EXPECT_EQ(view.height, 2);
    EXPECT_EQ(view.bitCount, 32);
    EXPECT_EQ(Shown(view, 0, 0), Pixel(0, 64, 128, 128));
    EXPECT_EQ(Shown(view, 1, 0), Pixel(0, 0, 0, 0));
    EXPECT_EQ(Shown(view, 0, 1), Pixel(0, 0, 0, 179));
    EXPECT_EQ(Shown(view, 1, 1), Pixel(60, 50, 40, 255));
}

TEST_F(SplashDecode, OddWidth24BitImageIsOpaqueAndUnskewed) {
    const std::vector<Bytes> rows = {{1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0},
                                     {11, 12, 13, 14, 15, 16, 17, 18, 19, 0, 0, 0}};
    GdiObject owner(Decode(BmpFile(3, 2, 24, BI_RGB, {}, rows)));
    ASSERT_TRUE(owner.IsValid());
    DibView view = Describe(owner);
    EXPECT_EQ(Shown(view, 0, 0), Pixel(1, 2, 3, 255));
    EXPECT_EQ(Shown(view, 2, 0), Pixel(7, 8, 9, 255));
    EXPECT_EQ(Shown(view, 0, 1), Pixel(11, 12, 13, 255));
    EXPECT_EQ(Shown(view, 2, 1), Pixel(17, 18, 19, 255));
}

TEST_F(SplashDecode, Rgb565ImageKeepsItsShiftedFields) {
    Bytes masks;
    for (uint32_t mask : {0xF800u, 0x07E0u, 0x001Fu}) AppendLittleEndian(masks, mask, 4);
    GdiObject owner(Decode(BmpFile(2, 1, 16, BI_BITFIELDS, masks, {{0x00, 0xF8, 0x1F, 0x00}})));
    ASSERT_TRUE(owner.IsValid());
    DibView view = Describe(owner);
    EXPECT_EQ(Shown(view, 0, 0), Pixel(0, 0, 248, 255));
    EXPECT_EQ(Shown(view, 1, 0), Pixel(248, 0, 0, 255));
}

TEST_F(SplashDecode, PaletteImageIsShownThroughItsPalette) {
    Bytes palette = {0, 0, 255, 0, 255, 0, 0, 0};  // entry 0 red, entry 1 blue (B, G, R, 0)
    palette.resize(256 * 4, 0);
    GdiObject owner(Decode(BmpFile(2, 1, 8, BI_RGB, palette, {{1, 0, 0, 0}})));
    ASSERT_TRUE(owner.IsValid());
    DibView view = Describe(owner);
    EXPECT_EQ(Shown(view, 0, 0), Pixel(255, 0, 0, 255));
    EXPECT_EQ(Shown(view, 1, 0), Pixel(0, 0, 255, 255));
}

TEST_F(SplashDecode, UndecodableBytesGiveNoBitmap) {
    const Bytes notAnImage = {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'};
    EXPECT_EQ(DecodeSplashImage(notAnImage.data(), static_cast<uint32_t>(notAnImage.size())),
              nullptr);
}

TEST_F(SplashDecode, ModuleWithoutTheImageGivesNoBitmap) {
    EXPECT_EQ(loadSplashBitmap(GetModuleHandleW(nullptr)), nullptr);
}

}  // namespace
