// The GIF and TIFF writers of the image export, read back by ImageMagick.

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/graphics/bitmap.h"
#include "platform/rtl/streams.h"
#include "report/export/gif_writer.h"
#include "report/export/tiff_writer.h"
#include "tests/report/export/font_test_support.h"

using namespace vgl;
using vgl::test::Bytes;
using vgl::test::DataPath;
using vgl::test::ReadFile;
using vgl::test::RunCommand;

namespace {

Bytes StreamBytes(TMemoryStream& s) {
    return Bytes(s.Memory(), s.Memory() + s.GetSize());
}

/// A temporary file holding the bytes, removed with the object.
class TTempFile {
public:
    TTempFile(const Bytes& bytes, const std::string& suffix) {
        char name[] = "/tmp/vgl_image_XXXXXX";
        const int fd = mkstemp(name);
        close(fd);
        std::remove(name);
        FPath = std::string(name) + suffix;
        FILE* f = std::fopen(FPath.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    ~TTempFile() { std::remove(FPath.c_str()); }
    const std::string& Path() const { return FPath; }

private:
    std::string FPath;
};

/// What ImageMagick prints for the file, with its warnings.
std::string Identify(const TTempFile& file, const std::string& format) {
    return RunCommand("identify -format '" + format + "' '" + file.Path() + "' 2>&1");
}

/// The file's pixels as ImageMagick decodes them: red, green, blue per pixel, rows from the top.
Bytes DecodedRGB(const TTempFile& file, const std::string& frame = "") {
    const std::string out = file.Path() + ".rgb";
    RunCommand("/usr/bin/convert '" + file.Path() + frame + "' -depth 8 'rgb:" + out + "' 2>&1");
    Bytes rgb = ReadFile(out);
    std::remove(out.c_str());
    return rgb;
}

/// The bitmap's pixels as red, green, blue.
Bytes BitmapRGB(const TBitmap& bitmap) {
    Bytes rgb;
    for (int y = 0; y < bitmap.GetHeight(); ++y)
        for (int x = 0; x < bitmap.GetWidth(); ++x) {
            const TColor c = bitmap.GetPixel(x, y);
            rgb.insert(rgb.end(), {std::uint8_t(GetRValue(c)), std::uint8_t(GetGValue(c)), std::uint8_t(GetBValue(c))});
        }
    return rgb;
}

std::uint32_t Le32(const Bytes& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24;
}
std::uint16_t Le16(const Bytes& b, std::size_t at) {
    return std::uint16_t(b[at] | b[at + 1] << 8);
}

} // namespace

// ---- GIF --------------------------------------------------------------------------------------

TEST(GifWriter, OnePixelFileLayout) {
    TBitmap bitmap(1, 1, pf24bit);
    bitmap.SetPixel(0, 0, RGB(0, 0, 0));
    TMemoryStream stream;
    WriteGIFImage(stream, bitmap);
    EXPECT_EQ(bitmap.GetPixelFormat(), pf8bit);
    const Bytes b = StreamBytes(stream);
    ASSERT_EQ(b.size(), 13u + 768 + 8 + 14 + 10 + 8);
    EXPECT_EQ(Bytes(b.begin(), b.begin() + 13), (Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0xE7, 0, 0}));
    const std::vector<TColor>& palette = bitmap.GetPalette();
    for (std::size_t i = 0; i < 256; ++i) {
        const TColor c = i < palette.size() ? palette[i] : 0;
        ASSERT_EQ(b[13 + 3 * i], GetRValue(c)) << i;
        ASSERT_EQ(b[14 + 3 * i], GetGValue(c)) << i;
        ASSERT_EQ(b[15 + 3 * i], GetBValue(c)) << i;
    }
    const Bytes tail(b.begin() + 781, b.end());
    EXPECT_EQ(tail, (Bytes{0x21, 0xF9, 0x04, 0,    0,    0,    0,    0,                               // graphic control
                           0x21, 0xFE, 10,   'D',  'u',  'd',  'e',  'Z', 'i', 'r', 'a', 'r', 'e', 0, // comment
                           0x2C, 0,    0,    0,    0,    1,    0,    1,   0,   0, // image descriptor
                           0x08, 0x04, 0x00, 0x01, 0x04, 0x04, 0x00, 0x3B}));     // clear, 0, end
    TTempFile file(b, ".gif");
    EXPECT_EQ(Identify(file, "%m %w %h %c"), "GIF 1 1 DudeZirare");
}

TEST(GifWriter, RandomIndexesAndOneColourDecodeToTheirPixels) {
    // Random indexes leave almost every string new, so the codes grow to 12 bits and the table
    // is cleared many times; one colour gives runs that grow the codes slowly.
    std::mt19937 random(42);
    TBitmap noisy(301, 207, pf8bit);
    for (int y = 0; y < noisy.GetHeight(); ++y)
        for (int x = 0; x < noisy.GetWidth(); ++x)
            noisy.ScanLine(y)[x] = std::uint8_t(random());
    TBitmap plain(1700, 1100, pf24bit);
    for (int y = 0; y < plain.GetHeight(); ++y)
        for (int x = 0; x < plain.GetWidth(); ++x)
            plain.SetPixel(x, y, RGB(255, 255, 255));
    for (TBitmap* bitmap : {&noisy, &plain}) {
        TMemoryStream stream;
        WriteGIFImage(stream, *bitmap);
        const Bytes b = StreamBytes(stream);
        TTempFile file(b, ".gif");
        EXPECT_EQ(Identify(file, "%m %w %h"),
                  "GIF " + std::to_string(bitmap->GetWidth()) + " " + std::to_string(bitmap->GetHeight()));
        EXPECT_TRUE(DecodedRGB(file) == BitmapRGB(*bitmap)) << bitmap->GetWidth();
        EXPECT_EQ(RunCommand("giftext '" + file.Path() + "' >/dev/null 2>&1; echo $?"), "0\n");
    }
}

TEST(GifWriter, RefusesAnEmptyBitmap) {
    TMemoryStream stream;
    TBitmap empty;
    EXPECT_THROW(WriteGIFImage(stream, empty), EInvalidGraphicOperation);
    EXPECT_EQ(stream.GetSize(), 0);
}

// ---- TIFF -------------------------------------------------------------------------------------

namespace {

TBitmap& Fill(TBitmap& bitmap, unsigned seed) {
    std::mt19937 random(seed);
    for (int y = 0; y < bitmap.GetHeight(); ++y)
        for (int x = 0; x < bitmap.GetWidth(); ++x)
            bitmap.SetPixel(x, y, TColor(random() & 0xFFFFFF));
    return bitmap;
}

/// Checks that every directory of the file starts on an even offset; returns their count.
int CountEvenDirectories(const Bytes& b) {
    int count = 0;
    for (std::uint32_t ifd = Le32(b, 4); ifd != 0; ifd = Le32(b, ifd + 2 + 12 * std::size_t(Le16(b, ifd)))) {
        EXPECT_EQ(ifd % 2, 0u);
        if (++count > 16)
            break;
    }
    return count;
}

} // namespace

TEST(TiffWriter, SmallRgbImageMatchesTheExpectedFile) {
    TBitmap bitmap(3, 2, pf24bit);
    const TColor pixels[] = {RGB(255, 0, 0), RGB(0, 255, 0),     RGB(0, 0, 255),
                             RGB(0, 0, 0),   RGB(255, 255, 255), RGB(18, 52, 86)};
    for (int i = 0; i < 6; ++i)
        bitmap.SetPixel(i % 3, i / 3, pixels[i]);
    TMemoryStream stream;
    EXPECT_EQ(WriteTIFFImage(stream, bitmap, true, 300), 0);
    const Bytes b = StreamBytes(stream);
    EXPECT_EQ(b, ReadFile(DataPath("rgb_3x2.tif")));
    EXPECT_EQ(CountEvenDirectories(b), 1);
    TTempFile file(b, ".tif");
    EXPECT_EQ(Identify(file, "%m %w %h %x %y %U %[tiff:software]"), "TIFF 3 2 300 300 PixelsPerInch DudeZirare");
    EXPECT_EQ(DecodedRGB(file), BitmapRGB(bitmap));
}

TEST(TiffWriter, EveryPixelFormatReadsBack) {
    struct Case {
        TPixelFormat Format;
        int Width;
        const char* Expected;
    } cases[] = {
        {pf1bit, 13, "TIFF 13 5 1 DirectClass Gray "}, {pf4bit, 7, "TIFF 7 5 8 PseudoClass sRGB "},
        {pf8bit, 9, "TIFF 9 5 8 PseudoClass sRGB "},   {pf24bit, 5, "TIFF 5 5 8 DirectClass sRGB "},
        {pf32bit, 6, "TIFF 6 5 8 DirectClass sRGB "},
    };
    for (const Case& c : cases) {
        TBitmap source(c.Width, 5, pf24bit);
        Fill(source, unsigned(c.Width));
        source.SetPixelFormat(c.Format);
        TMemoryStream stream;
        WriteTIFFImage(stream, source, true, 96);
        const Bytes b = StreamBytes(stream);
        EXPECT_EQ(CountEvenDirectories(b), 1);
        TTempFile file(b, ".tif");
        EXPECT_EQ(Identify(file, "%m %w %h %[bit-depth] %r"), c.Expected);
        EXPECT_TRUE(DecodedRGB(file) == BitmapRGB(source)) << c.Expected;
    }
}

TEST(TiffWriter, ImagesChainIntoOneFileAndFilesFollowOtherData) {
    TBitmap a(4, 3), b(5, 2), c(3, 3);
    Fill(a, 1), Fill(b, 2), Fill(c, 3);

    // Three images in one file: one header, three directories chained.
    TMemoryStream multi;
    const std::int64_t start = WriteTIFFImage(multi, a, true, 300);
    WriteTIFFImage(multi, b, false, 300, start);
    WriteTIFFImage(multi, c, false, 300, start);
    const Bytes m = StreamBytes(multi);
    EXPECT_EQ(CountEvenDirectories(m), 3);
    TTempFile multiFile(m, ".tif");
    EXPECT_EQ(Identify(multiFile, "%w %h;"), "4 3;5 2;3 3;");
    EXPECT_EQ(DecodedRGB(multiFile, "[1]"), BitmapRGB(b));

    // Two files one after the other in one stream: each counts its offsets from its own header.
    TMemoryStream both;
    const std::int64_t first = WriteTIFFImage(both, a, true, 300);
    const std::int64_t second = WriteTIFFImage(both, c, true, 300);
    EXPECT_EQ(first, 0);
    const Bytes all = StreamBytes(both);
    const Bytes one(all.begin(), all.begin() + second), two(all.begin() + second, all.end());
    EXPECT_EQ(CountEvenDirectories(one), 1);
    EXPECT_EQ(CountEvenDirectories(two), 1);
    TTempFile fileOne(one, ".tif"), fileTwo(two, ".tif");
    EXPECT_EQ(DecodedRGB(fileOne), BitmapRGB(a));
    EXPECT_EQ(DecodedRGB(fileTwo), BitmapRGB(c));
}

TEST(TiffWriter, EmptyBitmapAddsNothingAndBadResolutionIsRefused) {
    TMemoryStream stream;
    TBitmap empty;
    WriteTIFFImage(stream, empty, true, 300);
    EXPECT_EQ(stream.GetSize(), 0);
    TBitmap one(1, 1);
    EXPECT_THROW(WriteTIFFImage(stream, one, true, 0), EInvalidGraphicOperation);
    EXPECT_THROW(WriteTIFFImage(stream, one, false, 300), EInvalidGraphicOperation);
}
