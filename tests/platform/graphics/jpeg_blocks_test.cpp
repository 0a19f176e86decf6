#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <thread>

#include <jpeglib.h>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/bitmap_surface.h"
#include "platform/graphics/canvas.h"
#include "platform/graphics/jpeg_blocks.h"
#include "platform/graphics/jpeg_image.h"

namespace vgl {
namespace {

// A source of random squares of `module` pixels from `colors`.
std::unique_ptr<TBitmap> RandomSource(int w, int h, std::vector<TColor> colors, unsigned seed, int module = 1) {
    auto bmp = std::make_unique<TBitmap>(w, h, pf24bit);
    std::mt19937 random(seed);
    const int across = (w + module - 1) / module;
    std::vector<TColor> modules(std::size_t(across) * std::size_t((h + module - 1) / module));
    for (TColor& c : modules)
        c = colors[random() % colors.size()];
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            bmp->SetPixel(x, y, modules[std::size_t(y / module) * std::size_t(across) + std::size_t(x / module)]);
    return bmp;
}

struct EnlargementCase {
    const char* Name = "";
    int Width = 0, Height = 0;  // the target bitmap
    std::vector<TColor> Colors; // of the source's pixels
    int SourceWidth = 0, SourceHeight = 0;
    int FactorX = 1, FactorY = 1;
    int Left = 0, Top = 0;       // the enlarged picture's corner
    int Module = 1;              // the source's squares of one colour
    TColor Background = clWhite; // filled first (clNone: none)
    std::optional<TRect> Clip;
    std::function<void(TBitmap&)> Before; // more drawing before the enlargement
    TPixelFormat Format = pf24bit;
    bool Made = true; // the file is made from the blocks
};

void DrawCase(TBitmap& bitmap, const EnlargementCase& c, const TBitmap& source) {
    TCanvas& canvas = bitmap.Canvas();
    if (c.Background != clNone) {
        canvas.Brush().SetColor(c.Background);
        canvas.FillRect(Rect(0, 0, c.Width, c.Height));
    }
    if (c.Before)
        c.Before(bitmap);
    if (c.Clip)
        canvas.IntersectClipRect(*c.Clip);
    canvas.DrawBitmap(Rect(c.Left, c.Top, c.Left + c.FactorX * c.SourceWidth, c.Top + c.FactorY * c.SourceHeight),
                      source, Rect(0, 0, c.SourceWidth, c.SourceHeight));
}

const TColor DarkGrey = RGB(37, 37, 37), LightGrey = RGB(201, 201, 201);

std::vector<EnlargementCase> Cases() {
    std::vector<EnlargementCase> cases;
    const auto add = [&](const char* name, int width, int height, std::vector<TColor> colors, int sourceWidth,
                         int sourceHeight, int factorX, int factorY, int left, int top,
                         TColor background = clWhite) -> EnlargementCase& {
        EnlargementCase c;
        c.Name = name;
        c.Width = width;
        c.Height = height;
        c.Colors = std::move(colors);
        c.SourceWidth = sourceWidth;
        c.SourceHeight = sourceHeight;
        c.FactorX = factorX;
        c.FactorY = factorY;
        c.Left = left;
        c.Top = top;
        c.Background = background;
        cases.push_back(std::move(c));
        return cases.back();
    };
    add("aztec-like", 600, 600, {clBlack, clWhite}, 200, 200, 3, 3, 0, 0).Module = 5;
    // Modules several block rows tall: block rows that repeat the one before.
    add("tall modules", 480, 484, {DarkGrey, LightGrey}, 80, 80, 6, 6, 0, 2, LightGrey).Module = 7;
    add("two greys, odd size, fill column", 61, 45, {DarkGrey, LightGrey}, 20, 15, 3, 3, 0, 0, LightGrey);
    add("corner off the bitmap", 50, 37, {clBlack, clWhite}, 13, 11, 4, 4, -5, -7, clNone);
    add("odd corner in a clip", 70, 53, {clBlack, clWhite}, 20, 16, 3, 3, 3, 1).Clip = Rect(5, 4, 61, 47);
    EnlargementCase& older = add("older drawing around", 64, 48, {DarkGrey, LightGrey}, 10, 8, 5, 5, 7, 3, DarkGrey);
    older.Clip = Rect(2, 2, 60, 46);
    older.Before = [](TBitmap& b) {
        b.Canvas().Brush().SetColor(LightGrey);
        b.Canvas().FillRect(Rect(0, 0, 30, 20));
    };
    add("32-bit target", 33, 17, {clBlack, clWhite}, 11, 5, 3, 3, 0, 1, clBlack).Format = pf32bit;
    // The encoder leaves transparency and alpha out, from the rows and from the blocks alike.
    add("transparent target", 30, 30, {clBlack, clWhite}, 10, 10, 3, 3, 0, 0).Before = [](TBitmap& b) {
        b.SetTransparent(true);
    };
    EnlargementCase& alpha = add("alpha target", 30, 30, {clBlack, clWhite}, 10, 10, 3, 3, 0, 0);
    alpha.Format = pf32bit;
    alpha.Before = [](TBitmap& b) { b.SetAlphaFormat(afDefined); };
    add("one block", 8, 8, {clBlack, clWhite}, 4, 4, 2, 2, 0, 0);
    add("one pixel", 1, 1, {clWhite}, 1, 1, 1, 1, 0, 0);
    for (int f = 1; f <= 9; ++f) // every factor, at sizes and corners of every remainder
        add("factor", 7 * f + f % 3, 5 * f + 2, {clBlack, clWhite}, 7, 5, f, f, f % 3, 1);
    add("factors 2 x 5", 45, 51, {clBlack, clWhite}, 20, 10, 2, 5, 1, 0);
    // Fallbacks: the row path.
    add("a colour pixel", 40, 40, {clBlack, clRed}, 10, 10, 4, 4, 0, 0).Made = false;
    add("colour around", 40, 40, {clBlack, clWhite}, 10, 10, 3, 3, 0, 0, clYellow).Made = false;
    add("three levels in a block", 40, 40, {clBlack, clWhite, DarkGrey}, 40, 40, 1, 1, 0, 0).Made = false;
    add("three levels with the fill", 40, 40, {clBlack, clWhite}, 10, 10, 3, 3, 1, 0, DarkGrey).Made = false;
    add("more distinct blocks than is worth it", 1456, 1456, {clBlack, clWhite}, 1456, 1456, 1, 1, 0, 0).Made = false;
    return cases;
}

struct Output {
    TJPEGPixelFormat Format;
    int Quality;
};
constexpr Output Outputs[] = {{jf24Bit, 100}, {jf8Bit, 100}, {jf24Bit, 75}, {jf8Bit, 75}};

std::vector<std::uint8_t> Encode(const TBitmap& bitmap, Output output) {
    TJPEGImage jpeg;
    jpeg.SetPixelFormat(output.Format);
    jpeg.SetCompressionQuality(output.Quality);
    jpeg.Assign(bitmap);
    return jpeg.SaveToBytes();
}

TEST(JpegBlocks, AGreyEnlargementGivesTheFileOfItsWrittenRows) {
    for (const EnlargementCase& c : Cases()) {
        const auto source =
            RandomSource(c.SourceWidth, c.SourceHeight, c.Colors, unsigned(c.Width * 31 + c.Height), c.Module);
        for (const Output output : Outputs) {
            SCOPED_TRACE(std::string(c.Name) + " " + std::to_string(c.FactorX) + " " +
                         (output.Format == jf8Bit ? "grey " : "colour ") + std::to_string(output.Quality));
            TBitmap pending(c.Width, c.Height, c.Format), written(c.Width, c.Height, c.Format);
            DrawCase(pending, c, *source);
            DrawCase(written, c, *source);
            TBitmapSurfaceAccess::ForReading(written); // the enlargement is written into the surface
            const std::uint64_t before = GreyBlockCacheStats().Pictures;
            const std::vector<std::uint8_t> fromBlocks = Encode(pending, output);
            EXPECT_EQ(GreyBlockCacheStats().Pictures - before, c.Made ? 1u : 0u);
            const std::vector<std::uint8_t> fromRows = Encode(written, output);
            EXPECT_EQ(GreyBlockCacheStats().Pictures - before, c.Made ? 1u : 0u);
            EXPECT_TRUE(fromBlocks == fromRows);
            written.ScanLine(0); // and read from the bitmap's rows
            EXPECT_TRUE(fromBlocks == Encode(written, output));
        }
    }
}

TEST(JpegBlocks, OtherBitmapsKeepTheRowPath) {
    const auto source = RandomSource(10, 10, {clBlack, clWhite}, 1);
    const std::function<void(TBitmap&)> setups[] = {
        [&](TBitmap& b) { // a fill only
            b.Canvas().Brush().SetColor(clGray);
            b.Canvas().FillRect(Rect(0, 0, 30, 30));
        },
        [&](TBitmap& b) { // an enlargement written by a drawing after it
            b.Canvas().StretchDraw(Rect(0, 0, 30, 30), *source);
            b.Canvas().Pen().SetColor(clWhite);
            b.Canvas().MoveTo(0, 0);
            b.Canvas().LineTo(29, 29);
        },
    };
    for (const auto& setup : setups) {
        TBitmap pending(30, 30, pf32bit), written(30, 30, pf32bit);
        setup(pending);
        setup(written);
        written.ScanLine(0);
        const std::uint64_t before = GreyBlockCacheStats().Pictures;
        const std::vector<std::uint8_t> bytes = Encode(pending, {jf24Bit, 90});
        EXPECT_EQ(GreyBlockCacheStats().Pictures, before);
        EXPECT_TRUE(bytes == Encode(written, {jf24Bit, 90}));
    }
}

TEST(JpegBlocks, AnEnlargedSymbolDecodesToItsModules) {
    const auto source = RandomSource(60, 60, {clBlack, clWhite}, 7);
    TBitmap bitmap(180, 180, pf24bit);
    bitmap.Canvas().Brush().SetColor(clWhite);
    bitmap.Canvas().FillRect(Rect(0, 0, 180, 180));
    bitmap.Canvas().DrawBitmap(Rect(0, 0, 180, 180), *source, Rect(0, 0, 60, 60));
    TJPEGImage jpeg;
    jpeg.SetCompressionQuality(100);
    const std::uint64_t before = GreyBlockCacheStats().Pictures;
    jpeg.Assign(bitmap);
    EXPECT_EQ(GreyBlockCacheStats().Pictures, before + 1); // made from the blocks
    TBitmap back;
    jpeg.AssignTo(back);
    ASSERT_EQ(back.GetWidth(), 180);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 60; ++x) {
            const TColor c = back.GetPixel(3 * x + 1, 3 * y + 1);
            const int expected = source->GetPixel(x, y) == clBlack ? 0 : 255;
            ASSERT_LE(std::abs(GetRValue(c) - expected), 8) << x << " " << y;
            ASSERT_LE(std::abs(GetGValue(c) - expected), 8) << x << " " << y;
        }
}

// Rows named alike are fetched once while their name keeps coming back, and the grid is the one
// that fetching every row gives. Few names all stay kept; many names make the cut drop some.
TEST(JpegBlocks, ARowNamedAgainIsNotFetchedAgain) {
    for (const int patterns : {5, 40}) {
        SCOPED_TRACE(patterns);
        const int width = 37, height = 203;
        std::mt19937 random{unsigned(patterns)};
        std::vector<std::vector<std::uint8_t>> rows(static_cast<std::size_t>(patterns),
                                                    std::vector<std::uint8_t>(width, 0));
        for (auto& row : rows) {
            int x = 0;
            while (x < width) { // runs of one level, as in an enlarged symbol
                const std::uint8_t level = random() % 2 ? 20 : 230;
                for (int run = 1 + int(random() % 11); run > 0 && x < width; --run)
                    row[std::size_t(x++)] = level;
            }
        }
        std::vector<int> pattern(height);
        int runs = 0;
        for (int y = 0; y < height; ++runs) { // runs of rows of one pattern, patterns coming back
            const int p = int(random() % unsigned(patterns));
            for (int run = 1 + int(random() % 13); run > 0 && y < height; --run)
                pattern[std::size_t(y++)] = p;
        }
        int fetches = 0;
        const auto fetch = [&](int y, std::uint8_t* samples) {
            ++fetches;
            const std::vector<std::uint8_t>& row = rows[std::size_t(pattern[std::size_t(y)])];
            std::copy(row.begin(), row.end(), samples);
        };
        const auto named = CutIntoGreyBlocks(
            width, height, 4096, [&](int y) { return std::int64_t(pattern[std::size_t(y)]); }, fetch);
        const int namedFetches = fetches;
        const auto each = CutIntoGreyBlocks(
            width, height, 4096, [](int y) { return -1 - std::int64_t(y); }, fetch);
        ASSERT_TRUE(named && each);
        EXPECT_TRUE(named->Cells == each->Cells);
        EXPECT_TRUE(named->Keys == each->Keys);
        EXPECT_EQ(fetches - namedFetches, height);
        if (patterns <= 8)
            EXPECT_EQ(namedFetches, patterns);
        else
            EXPECT_LE(namedFetches, runs);
    }
}

// The first entry of the library's luma table for `quality`.
int LumaDcDivisor(int quality) {
    jpeg_compress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    info.in_color_space = JCS_GRAYSCALE;
    info.input_components = 1;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    const int divisor = info.quant_tbl_ptrs[0]->quantval[0];
    jpeg_destroy_compress(&info);
    return divisor;
}

TEST(JpegBlocks, FlatBlocksHaveTheLibrarysDc) {
    std::vector<TGreyBlockKey> flat;
    for (int level = 0; level < 256; ++level)
        flat.push_back({0, std::uint8_t(level), std::uint8_t(level)});
    for (int quality = 1; quality <= 100; ++quality) {
        const auto made = QuantisedGreyBlocks(quality, flat);
        ASSERT_TRUE(made);
        const int divisor = LumaDcDivisor(quality);
        for (int level = 0; level < 256; ++level) {
            const TBlockCoefficients& block = (*made)[std::size_t(level)];
            ASSERT_EQ(block[0], FlatBlockDc(level, divisor)) << quality << " " << level;
            for (int i = 1; i < 64; ++i)
                ASSERT_EQ(block[std::size_t(i)], 0) << quality << " " << level;
        }
    }
}

TEST(JpegBlocks, TheCacheIsBoundedAndSharedByThreads) {
    // More contents than the cache holds, asked for by several threads at once: a content found
    // in the cache equals the one made before, and the cache stays within its bound.
    const std::size_t perThread = GreyBlockCacheLimit / 2 + 1000;
    std::vector<std::vector<TGreyBlockKey>> keys(4);
    for (std::size_t t = 0; t < keys.size(); ++t) {
        std::mt19937_64 random(t);
        for (std::size_t i = 0; i < perThread; ++i)
            keys[t].push_back({random() | 1, 10, 250});
        keys[t].resize(perThread / 2); // ask for half, then all (half of it again)
    }
    std::vector<std::thread> threads;
    std::vector<char> ok(keys.size(), 0);
    for (std::size_t t = 0; t < keys.size(); ++t)
        threads.emplace_back([&, t] {
            std::mt19937_64 random(t);
            std::vector<TGreyBlockKey> all;
            for (std::size_t i = 0; i < perThread; ++i)
                all.push_back({random() | 1, 10, 250});
            const auto first = QuantisedGreyBlocks(90, keys[t]);
            const auto second = QuantisedGreyBlocks(90, all);
            ok[t] = first && second && std::equal(first->begin(), first->end(), second->begin());
        });
    for (auto& thread : threads)
        thread.join();
    for (std::size_t t = 0; t < keys.size(); ++t)
        EXPECT_TRUE(ok[t]) << t;
    EXPECT_LE(GreyBlockCacheStats().Entries, GreyBlockCacheLimit);
}

} // namespace
} // namespace vgl
