#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <zlib.h>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"
#include "platform/graphics/jpeg_image.h"
#include "platform/graphics/png_image.h"

namespace vgl {
namespace {

// A bitmap whose pixels differ from each other (palette formats use their palette entries).
std::unique_ptr<TBitmap> Pattern(int w, int h, TPixelFormat format) {
    auto result = std::make_unique<TBitmap>(w, h, format);
    TBitmap& bmp = *result;
    int entries = format == pf1bit ? 2 : format == pf4bit ? 16 : 256;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            TColor c = format <= pf8bit ? bmp.GetPalette()[std::size_t((x * 7 + y * 3) % entries)]
                                        : RGB(x * 17 % 256, y * 29 % 256, (x + y) * 5 % 256);
            bmp.SetPixel(x, y, c);
        }
    return result;
}

std::string Identify(const std::vector<std::uint8_t>& bytes, const char* ext) {
    std::string path = ::testing::TempDir() + "vgl_graphics_identify." + ext;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    std::string command = "identify -format '%w %h %z' " + path + " 2>/dev/null";
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[256];
        while (fgets(buf, sizeof buf, p))
            out += buf;
        pclose(p);
    }
    std::remove(path.c_str());
    return out;
}

TEST(Bmp, RoundTripIsIdenticalAndIdentifyAgrees) {
    struct Case {
        TPixelFormat Format;
        int Bits;
    } cases[] = {{pf1bit, 1}, {pf4bit, 4}, {pf8bit, 8}, {pf24bit, 24}, {pf32bit, 32}};
    for (const Case& c : cases) {
        auto Pattern13 = Pattern(13, 7, c.Format);
        TBitmap& bmp = *Pattern13; // odd width: rows are padded
        std::vector<std::uint8_t> bytes = bmp.SaveToBytes();
        ASSERT_EQ(bytes[0], 'B');
        EXPECT_EQ(bytes[28], c.Bits);
        TBitmap back;
        back.LoadFromBytes(bytes);
        EXPECT_EQ(back.GetPixelFormat(), c.Format);
        EXPECT_EQ(back.SaveToBytes(), bytes) << c.Bits;
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 13; ++x)
                ASSERT_EQ(back.GetPixel(x, y), bmp.GetPixel(x, y)) << c.Bits << " " << x << "," << y;
        EXPECT_EQ(Identify(bytes, "bmp"), "13 7 " + std::to_string(c.Bits <= 4 ? c.Bits : 8)) << c.Bits;
    }
}

TEST(Bmp, TopDownRowsLoadAsTheirBottomUpForm) {
    for (TPixelFormat format : {pf1bit, pf24bit, pf32bit}) {
        const std::vector<std::uint8_t> bottomUp = Pattern(13, 7, format)->SaveToBytes();
        // The same picture with its rows the other way round and a negative height.
        std::vector<std::uint8_t> topDown = bottomUp;
        const std::size_t offBits = bottomUp[10] | bottomUp[11] << 8, rowBytes = (bottomUp.size() - offBits) / 7;
        for (std::size_t y = 0; y < 7; ++y)
            std::copy_n(bottomUp.begin() + std::ptrdiff_t(offBits + (6 - y) * rowBytes), rowBytes,
                        topDown.begin() + std::ptrdiff_t(offBits + y * rowBytes));
        const std::int32_t height = -7;
        std::memcpy(topDown.data() + 22, &height, 4);
        TBitmap back;
        back.LoadFromBytes(topDown);
        EXPECT_EQ(back.SaveToBytes(), bottomUp) << int(format);
    }
}

TEST(Bmp, BadDataIsRejected) {
    std::vector<std::uint8_t> good = Pattern(4, 4, pf24bit)->SaveToBytes();
    struct Case {
        const char* Name;
        std::function<void(std::vector<std::uint8_t>&)> Spoil;
    } cases[] = {
        {"truncated pixels", [](auto& b) { b.resize(b.size() - 1); }},
        {"no signature", [](auto& b) { b[0] = 'X'; }},
        {"compressed", [](auto& b) { b[30] = 1; }},
        {"bits per pixel 7", [](auto& b) { b[28] = 7; }},
        {"huge width", [](auto& b) { b[21] = 0x7F; }},
        {"header only", [](auto& b) { b.resize(20); }},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bad = good;
        c.Spoil(bad);
        TBitmap bmp;
        EXPECT_THROW(bmp.LoadFromBytes(bad), EInvalidGraphic) << c.Name;
    }
}

TEST(Bmp, CanvasDrawingReachesScanLinesAndBack) {
    TBitmap bmp(8, 2, pf1bit);
    bmp.Canvas().Brush().SetColor(clWhite);
    bmp.Canvas().FillRect(Rect(0, 0, 4, 1));
    EXPECT_EQ(bmp.ScanLine(0)[0], 0xF0);
    bmp.ScanLine(1)[0] = 0x0F;
    EXPECT_EQ(bmp.Canvas().GetPixel(7, 1), clWhite);
    EXPECT_EQ(bmp.Canvas().GetPixel(0, 1), clBlack);
    EXPECT_THROW(bmp.ScanLine(2), ERangeError);
}

TEST(Bmp, OneEntryPaletteGivesBlackForTheMissingIndex) {
    TBitmap bmp(8, 1, pf1bit);
    bmp.SetPalette({clRed});
    bmp.ScanLine(0)[0] = 0x7F;
    EXPECT_EQ(bmp.GetPixel(0, 0), clRed);
    EXPECT_EQ(bmp.GetPixel(1, 0), clBlack);
}

TEST(Bitmap, PixelFormatConversionGivesWhatSetPixelGives) {
    // The one-pass conversion against its definition: every pixel's colour set one at a time
    // into a new bitmap of the target format (nearest palette entry, opaque alpha for 32 bits).
    for (TPixelFormat from : {pf1bit, pf4bit, pf8bit, pf24bit, pf32bit})
        for (TPixelFormat to : {pf1bit, pf4bit, pf8bit, pf24bit, pf32bit}) {
            if (from == to)
                continue;
            std::unique_ptr<TBitmap> source = Pattern(37, 5, from);
            TBitmap expected(37, 5, to);
            for (int y = 0; y < 5; ++y)
                for (int x = 0; x < 37; ++x)
                    expected.SetPixel(x, y, source->GetPixel(x, y));
            if (to == pf32bit)
                for (int y = 0; y < 5; ++y)
                    for (int x = 0; x < 37; ++x)
                        expected.ScanLine(y)[x * 4 + 3] = 0xFF;
            source->SetPixelFormat(to);
            EXPECT_EQ(source->SaveToBytes(), expected.SaveToBytes()) << int(from) << " -> " << int(to);
        }
}

TEST(Bitmap, RowsAndSurfaceStayInStep) {
    // A new bitmap reads as black everywhere, drawn on or not; drawing reaches the rows and keeps
    // a 32-bit bitmap's alpha bytes; rows written after drawing reach the canvas again.
    for (TPixelFormat format : {pf8bit, pf24bit, pf32bit}) {
        TBitmap untouched(5, 3, format), drawn(5, 3, format);
        EXPECT_EQ(untouched.GetPixel(4, 2), clBlack);
        EXPECT_EQ(drawn.Canvas().GetPixel(4, 2), clBlack) << int(format);
        drawn.Canvas().Brush().SetColor(clWhite);
        drawn.Canvas().FillRect(Rect(1, 1, 3, 2));
        EXPECT_EQ(drawn.GetPixel(1, 1), clWhite) << int(format);
        EXPECT_EQ(drawn.GetPixel(0, 0), clBlack) << int(format);
        EXPECT_EQ(untouched.SaveToBytes().size(), drawn.SaveToBytes().size());
        drawn.SetPixel(0, 0, clWhite);
        EXPECT_EQ(drawn.Canvas().GetPixel(0, 0), clWhite) << int(format);
    }
    // A solid fill of a whole new bitmap gives what the same fill gives through a clip.
    for (TPixelFormat format : {pf24bit, pf32bit}) {
        TBitmap whole(6, 4, format), clipped(6, 4, format);
        whole.Canvas().Brush().SetColor(RGB(12, 34, 56));
        whole.Canvas().FillRect(Rect(-2, -2, 9, 9));
        clipped.Canvas().Brush().SetColor(RGB(12, 34, 56));
        clipped.Canvas().IntersectClipRect(Rect(0, 0, 6, 4));
        clipped.Canvas().FillRect(Rect(-2, -2, 9, 9));
        EXPECT_EQ(whole.SaveToBytes(), clipped.SaveToBytes()) << int(format);
        whole.Canvas().Brush().SetColor(clWhite);
        whole.Canvas().FillRect(Rect(0, 0, 6, 4)); // the surface exists now: an ordinary fill
        EXPECT_EQ(whole.GetPixel(5, 3), clWhite);
    }
    TBitmap alpha(2, 1, pf32bit);
    alpha.ScanLine(0)[3] = 0x40;
    alpha.Canvas().Brush().SetColor(clRed);
    alpha.Canvas().FillRect(Rect(0, 0, 2, 1));
    EXPECT_EQ(alpha.ScanLine(0)[3], 0x40);
    EXPECT_EQ(alpha.GetPixel(0, 0), clRed);
}

TEST(Bitmap, ResizingKeepsThePictureWhereverItIs) {
    // The kept area keeps its pixels, whether they are in the rows, on the surface, still to be
    // filled in there, or not made yet; new pixels are 0.
    const struct {
        const char* Name;
        std::function<void(TBitmap&)> Draw;
        TColor Kept;
    } cases[] = {
        {"new", [](TBitmap&) {}, clBlack},
        {"rows", [](TBitmap& b) { b.SetPixel(2, 1, clRed); }, clRed},
        {"filled new",
         [](TBitmap& b) {
             b.Canvas().Brush().SetColor(clRed);
             b.Canvas().FillRect(Rect(0, 0, 4, 3));
         },
         clRed},
        {"filled again",
         [](TBitmap& b) {
             b.Canvas().Brush().SetColor(clBlue);
             b.Canvas().FillRect(Rect(0, 0, 4, 3));
             b.Canvas().Brush().SetColor(clRed);
             b.Canvas().FillRect(Rect(0, 0, 4, 3));
         },
         clRed},
        {"drawn", [](TBitmap& b) { b.Canvas().SetPixel(2, 1, clRed); }, clRed},
    };
    for (TPixelFormat format : {pf8bit, pf24bit, pf32bit})
        for (const auto& c : cases) {
            TBitmap bitmap(4, 3, format);
            c.Draw(bitmap);
            bitmap.SetSize(6, 5);
            EXPECT_EQ(bitmap.GetPixel(2, 1), c.Kept) << c.Name << " " << int(format);
            EXPECT_EQ(bitmap.GetPixel(5, 4), clBlack) << c.Name << " " << int(format);
            EXPECT_EQ(bitmap.ScanLine(4)[0], 0) << c.Name << " " << int(format);
        }
    TBitmap empty;
    empty.SetPixelFormat(pf8bit);
    empty.SetSize(3, 2);
    EXPECT_EQ(empty.GetPixel(2, 1), empty.GetPalette()[0]);
    EXPECT_EQ(empty.SaveToBytes().size(), 14 + 40 + 256 * 4 + 2 * 4u);
}

TEST(Bitmap, ACopyHoldsThePictureWhereverTheOriginalHasIt) {
    // The copy reads back as the original does, every byte of the rows (alpha, padding) alike,
    // and the original is left as it was; drawing on the original afterwards does not reach it.
    const auto rows = [](TBitmap& b) {
        for (int y = 0; y < b.GetHeight(); ++y)
            for (int x = 0; x < b.RowBytes(); ++x)
                b.ScanLine(y)[x] = std::uint8_t(x * 37 + y * 91);
    };
    const auto part = [](TBitmap& b) {
        b.Canvas().Brush().SetColor(clOlive);
        b.Canvas().FillRect(Rect(2, 1, 7, 4));
    };
    const auto whole = [](TBitmap& b) {
        b.Canvas().Brush().SetColor(clSilver);
        b.Canvas().FillRect(Rect(0, 0, 13, 5));
    };
    const struct {
        const char* Name;
        std::function<void(TBitmap&)> Draw;
    } cases[] = {
        {"new", [](TBitmap&) {}},
        {"rows", rows},
        {"drawn",
         [&](TBitmap& b) {
             rows(b);
             part(b);
         }},
        {"rows after drawing",
         [&](TBitmap& b) {
             rows(b);
             part(b);
             b.ScanLine(2)[5] ^= 0xFF;
         }},
        {"filled", whole},
        {"rows, filled",
         [&](TBitmap& b) {
             rows(b);
             whole(b);
         }},
        {"filled, drawn",
         [&](TBitmap& b) {
             whole(b);
             part(b);
         }},
    };
    // 13 pixels leave padding at the end of every row; 12 of 24 or 32 bits leave none.
    const std::pair<int, std::vector<TPixelFormat>> shapes[] = {{13, {pf1bit, pf8bit, pf24bit, pf32bit}},
                                                                {12, {pf24bit, pf32bit}}};
    for (const auto& [width, formats] : shapes)
        for (TPixelFormat format : formats)
            for (const auto& c : cases) {
                TBitmap original(width, 5, format), twin(width, 5, format);
                c.Draw(original);
                c.Draw(twin);
                const std::unique_ptr<TGraphic> copy = original.Clone();
                const std::vector<std::uint8_t> expected = twin.SaveToBytes();
                TMemoryStream stream; // the file form written in place, from wherever the copy holds it
                copy->SaveToStream(stream);
                EXPECT_TRUE(std::ranges::equal(stream.Bytes(), expected))
                    << c.Name << " " << int(format) << " " << width;
                EXPECT_EQ(copy->SaveToBytes(), expected) << c.Name << " " << int(format) << " " << width;
                original.Canvas().Brush().SetColor(clRed);
                original.Canvas().FillRect(Rect(0, 0, 3, 3));
                EXPECT_EQ(copy->SaveToBytes(), expected) << c.Name << " " << int(format) << " " << width;
                EXPECT_EQ(original.GetPixel(4, 4), twin.GetPixel(4, 4)) << c.Name << " " << int(format) << " " << width;
            }
}

TEST(Bmp, SavedIntoAStreamAsOneWriteOfItsBytes) {
    // A plain memory stream gets the file form written in place; it must end as one Write of
    // SaveToBytes leaves it (bytes, size, position, capacity) wherever its position is. Other
    // streams, descendants with a Write of their own too, get that Write.
    class TRefusing : public TMemoryStream {
    public:
        std::int64_t Write(const void*, std::int64_t) override { return 0; }
    };
    const auto bitmap = Pattern(9, 7, pf24bit);
    bitmap->Canvas().Brush().SetColor(clTeal);
    bitmap->Canvas().FillRect(Rect(1, 1, 5, 4)); // the picture on the surface
    const std::vector<std::uint8_t> bytes = bitmap->SaveToBytes();
    for (const std::int64_t start : {0, 5, 40, 300, 0x2100}) {
        TMemoryStream direct, written;
        const std::vector<std::uint8_t> before(100, 0xAB);
        for (TMemoryStream* s : {&direct, &written}) {
            s->WriteBuffer(before);
            s->SetPosition(start);
        }
        bitmap->SaveToStream(direct);
        written.WriteBuffer(bytes);
        EXPECT_TRUE(std::ranges::equal(direct.Bytes(), written.Bytes())) << start;
        EXPECT_EQ(direct.GetPosition(), written.GetPosition()) << start;
        EXPECT_EQ(direct.Capacity(), written.Capacity()) << start;
    }
    TBytesStream other;
    bitmap->SaveToStream(other);
    EXPECT_EQ(other.GetBytes(), bytes);
    TRefusing refusing;
    EXPECT_THROW(bitmap->SaveToStream(refusing), EWriteError);
    EXPECT_EQ(refusing.GetSize(), 0);
    TMemoryStream before;
    before.Seek(-1, soBeginning);
    EXPECT_THROW(bitmap->SaveToStream(before), EWriteError);
    EXPECT_EQ(before.GetSize(), 0);
}

TEST(Bitmap, LargestSideCanBeDrawn) {
    // The drawing surfaces take at most MaxGraphicSide pixels on a side.
    TBitmap wide(MaxGraphicSide, 1, pf24bit);
    wide.SetPixel(MaxGraphicSide - 1, 0, clRed);
    TBitmap page(4, 4);
    page.Canvas().Draw(1 - MaxGraphicSide, 0, wide); // its last column lands on the first
    EXPECT_EQ(page.GetPixel(0, 0), clRed);
    EXPECT_THROW(TBitmap(MaxGraphicSide + 1, 1), EInvalidGraphic);
}

TEST(Jpeg, RoundTripKeepsSizeAndColoursApproximately) {
    struct Case {
        TJPEGPixelFormat Format;
        int Quality, Tolerance;
    } cases[] = {{jf24Bit, 95, 24}, {jf8Bit, 90, 12}, {jf24Bit, 250, 24}};
    TBitmap source(32, 16, pf24bit);
    source.Canvas().Brush().SetColor(RGB(200, 40, 40));
    source.Canvas().FillRect(Rect(0, 0, 16, 16));
    source.Canvas().Brush().SetColor(RGB(30, 30, 220));
    source.Canvas().FillRect(Rect(16, 0, 32, 16));
    for (const Case& c : cases) {
        TJPEGImage jpeg;
        jpeg.SetPixelFormat(c.Format);
        jpeg.SetCompressionQuality(c.Quality);
        EXPECT_LE(jpeg.GetCompressionQuality(), 100);
        jpeg.Assign(source);
        std::vector<std::uint8_t> bytes = jpeg.SaveToBytes();
        ASSERT_TRUE(IsJpegData(bytes));
        TJPEGImage back;
        back.LoadFromBytes(bytes);
        EXPECT_EQ(back.GetWidth(), 32);
        EXPECT_EQ(back.GetHeight(), 16);
        EXPECT_EQ(back.GetPixelFormat(), c.Format);
        TBitmap decoded;
        decoded.Assign(back);
        EXPECT_EQ(decoded.GetPixelFormat(), c.Format == jf8Bit ? pf8bit : pf24bit);
        TColor left = decoded.GetPixel(4, 8), right = decoded.GetPixel(28, 8);
        if (c.Format == jf24Bit) {
            EXPECT_NEAR(GetRValue(left), 200, c.Tolerance);
            EXPECT_NEAR(GetBValue(right), 220, c.Tolerance);
        } else {
            EXPECT_EQ(GetRValue(left), GetBValue(left));
            EXPECT_NEAR(GetRValue(left), 86, c.Tolerance); // luma of (200, 40, 40)
        }
        EXPECT_EQ(Identify(bytes, "jpg"), "32 16 8");
    }
    TJPEGImage jpeg;
    std::vector<std::uint8_t> junk = {0xFF, 0xD8, 0x00, 0x01, 0x02};
    EXPECT_THROW(jpeg.LoadFromBytes(junk), EInvalidGraphic);
    EXPECT_TRUE(jpeg.GetEmpty());
}

TEST(Png, RoundTripsOfEveryColourType) {
    // Colour with alpha, from a premultiplied bitmap: a half-transparent white pixel.
    TBitmap rgba(2, 1, pf32bit);
    const std::uint8_t px[8] = {128, 128, 128, 128, 0, 0, 255, 255};
    std::copy(px, px + 8, rgba.ScanLine(0));
    rgba.SetAlphaFormat(afPremultiplied);

    struct Case {
        const char* Name;
        std::function<TPngImage()> Make;
        int ColorType;
        TPngTransparencyMode Mode;
    } cases[] = {
        {"rgb",
         [] {
             TPngImage p;
             p.Assign(*Pattern(5, 3, pf24bit));
             return p;
         },
         COLOR_RGB, ptmNone},
        {"palette 4 bit",
         [] {
             TPngImage p;
             p.Assign(*Pattern(5, 3, pf4bit));
             return p;
         },
         COLOR_PALETTE, ptmNone},
        {"grey 2 bit with key",
         [] {
             TPngImage p;
             p.CreateBlank(COLOR_GRAYSCALE, 2, 5, 3);
             p.Scanline(1)[0] = 0xE4; // samples 3 2 1 0
             p.SetTransparentColor(clWhite);
             return p;
         },
         COLOR_GRAYSCALE, ptmBit},
        {"rgba",
         [&] {
             TPngImage p;
             p.Assign(rgba);
             return p;
         },
         COLOR_RGBALPHA, ptmPartial},
        {"palette with partial tRNS",
         [] {
             TPngImage p;
             p.Assign(*Pattern(5, 3, pf1bit));
             p.SetPaletteAlpha({0, 128});
             return p;
         },
         COLOR_PALETTE, ptmPartial},
    };
    for (const Case& c : cases) {
        TPngImage png = c.Make();
        std::vector<std::uint8_t> bytes = png.SaveToBytes();
        ASSERT_TRUE(IsPngData(bytes)) << c.Name;
        TPngImage back;
        back.LoadFromBytes(bytes);
        EXPECT_EQ(back.ColorType(), c.ColorType) << c.Name;
        EXPECT_EQ(back.TransparencyMode(), c.Mode) << c.Name;
        for (int y = 0; y < png.GetHeight(); ++y)
            for (int x = 0; x < png.GetWidth(); ++x) {
                ASSERT_EQ(back.GetPixelColor(x, y), png.GetPixelColor(x, y)) << c.Name << " " << x << "," << y;
                ASSERT_EQ(back.GetPixelAlpha(x, y), png.GetPixelAlpha(x, y)) << c.Name << " " << x << "," << y;
            }
        EXPECT_EQ(back.SaveToBytes(), bytes) << c.Name;
    }
    // The premultiplied half-white pixel comes back as straight white with alpha 128.
    TPngImage p;
    p.Assign(rgba);
    EXPECT_EQ(p.GetPixelColor(0, 0), clWhite);
    EXPECT_EQ(p.GetPixelAlpha(0, 0), 128);
    EXPECT_EQ(p.GetPixelColor(1, 0), clRed);
}

TEST(Png, BadDataIsRejected) {
    TPngImage png;
    png.Assign(*Pattern(5, 3, pf24bit));
    std::vector<std::uint8_t> bytes = png.SaveToBytes();
    std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + long(bytes.size() / 2));
    std::vector<std::uint8_t> crc = bytes;
    crc[20] ^= 0xFF;
    for (auto* bad : {&cut, &crc}) {
        TPngImage p;
        EXPECT_THROW(p.LoadFromBytes(*bad), EInvalidGraphic);
    }
    TPngImage p;
    EXPECT_THROW(p.CreateBlank(COLOR_RGB, 4, 2, 2), EInvalidGraphic);
}

// A PNG file of a header and an empty data chunk that claims `width` × `height` colour pixels
// with alpha.
std::vector<std::uint8_t> PngHeaderOnly(std::uint32_t width, std::uint32_t height) {
    std::vector<std::uint8_t> out = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
    auto put32 = [&](std::uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8)
            out.push_back(std::uint8_t(v >> shift));
    };
    auto chunk = [&](const char* type, std::vector<std::uint8_t> data) {
        put32(std::uint32_t(data.size()));
        std::size_t start = out.size();
        out.insert(out.end(), type, type + 4);
        out.insert(out.end(), data.begin(), data.end());
        put32(std::uint32_t(crc32(0, out.data() + start, uInt(out.size() - start))));
    };
    std::vector<std::uint8_t> ihdr;
    std::swap(out, ihdr);
    put32(width);
    put32(height);
    std::swap(out, ihdr);
    ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});
    chunk("IHDR", ihdr);
    chunk("IDAT", {0x78, 0x9C, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01}); // no bytes, compressed
    chunk("IEND", {});
    return out;
}

TEST(Png, FileTooShortForItsSizeIsRefusedBeforeDecoding) {
    TPngImage png;
    try {
        png.LoadFromBytes(PngHeaderOnly(MaxGraphicSide, 8192)); // rows would need 1 GB
        FAIL() << "loaded";
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message(), u"PNG error: The image data is too short for the image size");
    }
    EXPECT_TRUE(png.GetEmpty());
}

TEST(Picture, LoadsByMagicBytes) {
    TPngImage png;
    png.Assign(*Pattern(3, 2, pf24bit));
    struct Case {
        std::vector<std::uint8_t> Bytes;
        const char16_t* Class;
    } cases[] = {{Pattern(3, 2, pf8bit)->SaveToBytes(), u"TBitmap"}, {png.SaveToBytes(), u"TPngImage"}};
    for (const Case& c : cases) {
        TPicture picture;
        int changes = 0;
        picture.OnChange = [&](TObject*) { ++changes; };
        picture.LoadFromBytes(c.Bytes);
        ASSERT_NE(picture.GetGraphic(), nullptr);
        EXPECT_EQ(picture.GetGraphic()->ClassName(), c.Class);
        EXPECT_EQ(picture.GetWidth(), 3);
        EXPECT_EQ(changes, 1);
        TPicture copy;
        copy.Assign(picture);
        EXPECT_NE(copy.GetGraphic(), picture.GetGraphic());
        EXPECT_EQ(copy.GetGraphic()->SaveToBytes(), c.Bytes);
    }
    TPicture picture;
    std::vector<std::uint8_t> text = {'h', 'e', 'l', 'l', 'o'};
    EXPECT_THROW(picture.LoadFromBytes(text), EInvalidGraphic);
    TJPEGImage jpeg;
    EXPECT_THROW(jpeg.Assign(TPngImage()), EConvertError);
}

} // namespace
} // namespace vgl
