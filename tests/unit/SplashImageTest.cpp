#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/GdiOwners.h"
#include "platform/KernelHandles.h"
#include "splash/GdiplusOwners.h"
#include "splash/ImageConversion.h"
#include "splash/SplashBitmap.h"
#include "splash/SplashWindow.h"

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
    Bytes pixels = {1,   128, 255, 128,   // blue 1, green 128, red 255 at alpha 128
                    0,   0,   0,   179,   // black at alpha 179
                    200, 100, 50,  0,     // anything at alpha 0
                    7,   8,   9,   255};  // opaque
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
    for (Gdiplus::PixelFormat format :
         {PixelFormat32bppPARGB, PixelFormat16bppARGB1555, PixelFormat16bppGrayScale,
          PixelFormat48bppRGB, PixelFormat64bppARGB, PixelFormat8bppIndexed}) {
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

// An 8-bit palette BMP, 2 by 1 pixels: palette entry 1, then entry 0.
Bytes PaletteBmp(const Bytes& palette) {
    const uint32_t offset = 14 + 40 + 256 * 4;
    Bytes file = {'B', 'M'};
    for (uint32_t field : {offset + 4, 0u, offset}) AppendLittleEndian(file, field, 4);
    for (uint32_t field : {40u, 2u, 1u}) AppendLittleEndian(file, field, 4);
    AppendLittleEndian(file, 1, 2);  // planes
    AppendLittleEndian(file, 8, 2);  // bits per pixel
    for (int i = 0; i < 6; ++i) AppendLittleEndian(file, 0, 4);
    file.insert(file.end(), palette.begin(), palette.end());
    file.resize(offset, 0);
    file.insert(file.end(), {1, 0, 0, 0});
    return file;
}

struct DibView {
    int width = 0;
    int height = 0;
    const uint8_t* bits = nullptr;
};

DibView Describe(const UniqueBitmap& dib) {
    DIBSECTION section = {};
    DibView view;
    if (GetObjectW(dib.Get(), sizeof(section), &section) != sizeof(section)) return view;
    view.width = section.dsBm.bmWidth;
    view.height = section.dsBm.bmHeight;
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
        gdiplus_ = StartGdiplus();
        ASSERT_TRUE(gdiplus_.IsValid());
    }
    static void TearDownTestSuite() { gdiplus_.Close(); }

    static UniqueBitmap Decode(const Bytes& file) {
        return DecodeSplashImage(file.data(), static_cast<uint32_t>(file.size()));
    }

    static UniqueGdiplusSession gdiplus_;
};

UniqueGdiplusSession SplashDecode::gdiplus_;

TEST_F(SplashDecode, PaletteImageIsShownThroughItsPalette) {
    // Entry 0 red, entry 1 blue, each as blue, green, red, reserved.
    UniqueBitmap owner = Decode(PaletteBmp({0, 0, 255, 0, 255, 0, 0, 0}));
    ASSERT_TRUE(owner.IsValid());
    DibView view = Describe(owner);
    EXPECT_EQ(Shown(view, 0, 0), Pixel(255, 0, 0, 255));
    EXPECT_EQ(Shown(view, 1, 0), Pixel(0, 0, 255, 255));
}

TEST_F(SplashDecode, UndecodableBytesGiveNoBitmap) {
    const Bytes notAnImage = {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'};
    EXPECT_FALSE(
        DecodeSplashImage(notAnImage.data(), static_cast<uint32_t>(notAnImage.size())).IsValid());
}

TEST_F(SplashDecode, ModuleWithoutTheImageGivesNoBitmapAndNoWindow) {
    EXPECT_FALSE(loadSplashBitmap(GetModuleHandleW(nullptr)).IsValid());
    createSplashWindow(GetModuleHandleW(nullptr), nullptr);
    EXPECT_EQ(GetSplashWindow(), nullptr);
    DestroySplashWindow();
    EXPECT_EQ(GetSplashWindow(), nullptr);
}

}  // namespace

// --- The image shipped in the server's resources -----------------------------

// The server's resources, loaded as data.
UniqueModule LoadServerModule() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring file(path, length);
    file = file.substr(0, file.find_last_of(L"\\/") + 1) + L"ScanServer-x64.exe";
    return UniqueModule(LoadLibraryExW(file.c_str(), nullptr,
                                       LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
}

TEST_F(SplashDecode, ShippedImageIsPremultipliedWithTransparentCornersAndWhiteCaption) {
    UniqueModule server = LoadServerModule();
    ASSERT_TRUE(server.IsValid()) << "ScanServer-x64.exe beside the test program";
    UniqueBitmap owner = loadSplashBitmap(server.Get());
    ASSERT_TRUE(owner.IsValid());
    DibView view = Describe(owner);
    EXPECT_EQ(view.width, 120);
    EXPECT_EQ(view.height, 120);
    for (int corner : {0, 119}) {
        EXPECT_EQ(Shown(view, corner, 0), Pixel(0, 0, 0, 0));
        EXPECT_EQ(Shown(view, corner, 119), Pixel(0, 0, 0, 0));
    }
    EXPECT_EQ(Shown(view, 4, 60), Pixel(38 * 179 / 255, 30 * 179 / 255, 28 * 179 / 255, 179));
    EXPECT_EQ(Shown(view, 40, 30), Pixel(214, 150, 38, 255));  // the emblem
    EXPECT_EQ(Shown(view, 8, 84), Pixel(255, 255, 255, 255));  // the caption's S
}
