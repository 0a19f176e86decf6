// Solid rectangles, pictures enlarged by whole factors and opaque pictures stretched by other
// factors are set on the surface's rows directly.
// Each case is drawn twice: once plainly, once under a clip figure that covers the whole bitmap,
// which leaves the drawing to cairo; both must give the same pixels.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <random>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/bitmap_surface.h"
#include "platform/graphics/canvas.h"
#include "platform/graphics/jpeg_image.h"
#include "platform/rtl/streams.h"

namespace vgl {
namespace {

/// The number of pixels whose colours differ when `draw` runs on a plain canvas and on one that
/// cairo draws on (a clip figure around the whole bitmap).
long CompareWithCairo(int width, int height, TPixelFormat format, const std::function<void(TCanvas&)>& draw) {
    TBitmap direct(width, height, format), cairo(width, height, format);
    TClipFigure all;
    all.Points = {Point(-1, -1), Point(width + 1, -1), Point(width + 1, height + 1), Point(-1, height + 1)};
    cairo.Canvas().IntersectClipFigure(all);
    draw(direct.Canvas());
    draw(cairo.Canvas());
    const int bytes = format == pf32bit ? 4 : 3;
    long differing = 0;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t *a = direct.ScanLine(y), *b = cairo.ScanLine(y);
        for (int x = 0; x < width; ++x)
            differing += std::memcmp(a + x * bytes, b + x * bytes, 3) != 0;
    }
    return differing;
}

std::unique_ptr<TBitmap> RandomBitmap(int width, int height, unsigned seed) {
    std::mt19937 random(seed);
    auto bitmap = std::make_unique<TBitmap>(width, height, pf24bit);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = bitmap->ScanLine(y);
        for (int x = 0; x < width * 3; ++x)
            row[x] = std::uint8_t(random());
    }
    return bitmap;
}

TEST(CanvasPixelPaths, SolidRectanglesUnderClipsAndShiftsAreCairos) {
    std::mt19937 random(7);
    for (int round = 0; round < 400; ++round) {
        const int width = 1 + int(random() % 50), height = 1 + int(random() % 50);
        const TRect clip{int(random() % 40) - 5, int(random() % 40) - 5, int(random() % 60), int(random() % 60)};
        TXForm shift;
        shift.eDx = int(random() % 21) - 10;
        shift.eDy = int(random() % 21) - 10;
        const int mode = int(random() % 4);
        std::vector<std::pair<TRect, TColor>> fills;
        for (int k = 0; k < 4; ++k) // some of them empty or the wrong way round
            fills.push_back({TRect{int(random() % 80) - 15, int(random() % 80) - 15, int(random() % 80) - 15,
                                   int(random() % 80) - 15},
                             TColor(random() & 0xFFFFFF)});
        const long differing = CompareWithCairo(width, height, round % 2 ? pf32bit : pf24bit, [&](TCanvas& c) {
            c.Brush().SetColor(clWhite);
            c.FillRect(Rect(0, 0, width, height)); // the whole of a new bitmap
            if (mode & 1)
                c.IntersectClipRect(clip);
            if (mode & 2)
                c.SetWorldTransform(shift);
            for (const auto& [r, colour] : fills) {
                c.Brush().SetColor(colour);
                c.FillRect(r);
            }
        });
        ASSERT_EQ(differing, 0) << "round " << round;
    }
}

TEST(CanvasPixelPaths, WholeFactorEnlargementsAreCairos) {
    const auto source = RandomBitmap(23, 17, 1);
    struct Case {
        int Factor;
        TRect Clip; // none when empty
        int Shift;  // world transform, whole pixels
        int Left;   // of the enlarged picture
    } cases[] = {
        {1, {}, 0, 0},
        {2, {}, 0, 0},
        {3, {}, 0, -7},
        {3, {5, 4, 50, 33}, 0, 2},
        {4, {}, 3, 1},
        {5, {0, 0, 1, 1}, 0, 0},
        {7, {11, 9, 90, 60}, -4, -20},
        {9, {}, 0, -100},
        {3, {100, 0, 120, 5}, 0, 0}, // clipped away
    };
    for (const Case& c : cases) {
        const long differing = CompareWithCairo(120, 80, pf32bit, [&](TCanvas& canvas) {
            canvas.Brush().SetColor(clWhite);
            canvas.FillRect(Rect(0, 0, 120, 80));
            if (!c.Clip.IsEmpty())
                canvas.IntersectClipRect(c.Clip);
            TXForm shift;
            shift.eDx = shift.eDy = c.Shift;
            canvas.SetWorldTransform(shift);
            canvas.DrawBitmap(TRect{c.Left, c.Left / 2, c.Left + 23 * c.Factor, c.Left / 2 + 17 * c.Factor}, *source,
                              Rect(0, 0, 23, 17));
            // A part of the source, enlarged.
            canvas.DrawBitmap(TRect{60, 50, 60 + 5 * c.Factor, 50 + 4 * c.Factor}, *source, Rect(3, 2, 8, 6));
        });
        EXPECT_EQ(differing, 0) << "factor " << c.Factor << " left " << c.Left;
    }

    // Far from the picture's corner, where cairo's samples would drift for larger factors: a row
    // and a column of the longest source taken, the last 16383 pixels compared.
    for (const int factor : {3, 9}) {
        const int n = 32766 / factor;
        const auto row = RandomBitmap(n, 1, 2), column = RandomBitmap(1, n, 3);
        const int left = -(factor * n - 16383);
        EXPECT_EQ(
            CompareWithCairo(16383, factor, pf32bit,
                             [&](TCanvas& canvas) {
                                 canvas.DrawBitmap(TRect{left, 0, left + factor * n, factor}, *row, Rect(0, 0, n, 1));
                             }),
            0)
            << factor;
        EXPECT_EQ(CompareWithCairo(
                      factor, 16383, pf32bit,
                      [&](TCanvas& canvas) {
                          canvas.DrawBitmap(TRect{0, left, factor, left + factor * n}, *column, Rect(0, 0, 1, n));
                      }),
                  0)
            << factor;
    }
}

TEST(CanvasPixelPaths, AFillLeftPendingShowsWhereNothingCoversIt) {
    const auto source = RandomBitmap(10, 10, 4);
    // All of a white bitmap covered by the enlarged picture: no white is left.
    TBitmap covered(30, 30, pf32bit);
    covered.Canvas().Brush().SetColor(clWhite);
    covered.Canvas().FillRect(Rect(0, 0, 30, 30));
    covered.Canvas().DrawBitmap(Rect(0, 0, 30, 30), *source, Rect(0, 0, 10, 10));
    EXPECT_EQ(covered.GetPixel(29, 29), source->GetPixel(9, 9));
    EXPECT_EQ(covered.GetPixel(0, 2), source->GetPixel(0, 0));
    // Half of it covered: the other half keeps the fill, also when read as scan lines.
    TBitmap half(30, 30, pf24bit);
    half.Canvas().Brush().SetColor(clYellow);
    half.Canvas().FillRect(Rect(0, 0, 30, 30));
    half.Canvas().DrawBitmap(Rect(0, 0, 30, 15), *source, Rect(0, 0, 10, 5));
    EXPECT_EQ(half.GetPixel(5, 20), clYellow);
    EXPECT_EQ(half.GetPixel(3, 3), source->GetPixel(1, 1));
    const std::uint8_t* row = half.ScanLine(29);
    EXPECT_EQ(RGB(row[2], row[1], row[0]), clYellow);
}

TEST(CanvasPixelPaths, AJpegOfAnEnlargementNotYetWrittenEqualsOneOfItsWrittenPixels) {
    // The encoder takes the rows of an enlargement the surface has not written yet: over a whole
    // white bitmap, and over part of one drawn on before (a clip, a partial first block).
    const auto source = RandomBitmap(40, 30, 5);
    const std::function<void(TCanvas&)> drawings[] = {
        [&](TCanvas& c) {
            c.Brush().SetColor(clWhite);
            c.FillRect(Rect(0, 0, 120, 90));
            c.DrawBitmap(Rect(0, 0, 120, 90), *source, Rect(0, 0, 40, 30));
        },
        [&](TCanvas& c) {
            c.Brush().SetColor(clWhite);
            c.FillRect(Rect(0, 0, 120, 90));
            c.Brush().SetColor(clBlue);
            c.FillRect(Rect(10, 10, 110, 80));
            c.IntersectClipRect(Rect(7, 5, 100, 70));
            c.DrawBitmap(Rect(-2, 0, 118, 90), *source, Rect(0, 0, 40, 30));
        },
    };
    for (const auto& draw : drawings) {
        for (const TJPEGPixelFormat format : {jf24Bit, jf8Bit}) {
            TBitmap bitmap(120, 90, pf32bit);
            draw(bitmap.Canvas());
            TJPEGImage pending, written;
            pending.SetPixelFormat(format);
            written.SetPixelFormat(format);
            pending.Assign(bitmap);
            bitmap.ScanLine(0); // the pixels are written and read from the bitmap's rows now
            written.Assign(bitmap);
            EXPECT_TRUE(pending.SaveToBytes() == written.SaveToBytes());
        }
        EXPECT_EQ(CompareWithCairo(120, 90, pf32bit, draw), 0);
    }
}

// Where a bitmap's picture is before a drawing: in its rows, on its surface, or not made yet.
enum TPictureHeld { phNew, phRows, phSurface, phRowsAfterSurface, phFilledNew };

const char* Name(TPictureHeld held) {
    const char* names[] = {"new", "rows", "surface", "rows after surface", "filled new"};
    return names[held];
}

// Puts a picture of random bytes (alpha bytes and row padding too) where `held` says.
void HoldPicture(TBitmap& bitmap, TPictureHeld held, unsigned seed) {
    std::mt19937 random(seed);
    if (held == phFilledNew) {
        bitmap.Canvas().Brush().SetColor(RGB(10, 200, 30));
        bitmap.Canvas().FillRect(Rect(0, 0, bitmap.GetWidth(), bitmap.GetHeight()));
        return;
    }
    if (held == phNew)
        return;
    for (int y = 0; y < bitmap.GetHeight(); ++y) {
        std::uint8_t* row = bitmap.ScanLine(y);
        for (int x = 0; x < bitmap.RowBytes(); ++x)
            row[x] = std::uint8_t(random());
    }
    if (held == phRows)
        return;
    bitmap.Canvas().Brush().SetColor(clNavy);
    bitmap.Canvas().FillRect(Rect(1, 1, bitmap.GetWidth() / 2 + 1, bitmap.GetHeight()));
    if (held == phRowsAfterSurface)
        bitmap.ScanLine(0)[0] ^= 0x5A;
}

// A bitmap's picture as the JPEG encoder reads it (24 and 32 bits) and then as its file form
// (every byte of the rows, alpha and padding included).
std::vector<std::uint8_t> ReadBack(const TBitmap& bitmap) {
    std::vector<std::uint8_t> bytes;
    if (bitmap.GetPixelFormat() == pf24bit || bitmap.GetPixelFormat() == pf32bit) {
        TJPEGImage jpeg;
        jpeg.Assign(bitmap);
        bytes = jpeg.SaveToBytes();
    }
    const std::vector<std::uint8_t> file = bitmap.SaveToBytes();
    bytes.insert(bytes.end(), file.begin(), file.end());
    return bytes;
}

// `draw` on a bitmap holding a picture where `held` says, plainly and under a clip figure that
// leaves the drawing to cairo: true when both read back alike.
bool SameAsCairo(int width, int height, TPixelFormat format, TPictureHeld held,
                 const std::function<void(TCanvas&)>& draw) {
    TBitmap direct(width, height, format), cairo(width, height, format);
    TClipFigure all;
    all.Points = {Point(-1, -1), Point(width + 1, -1), Point(width + 1, height + 1), Point(-1, height + 1)};
    cairo.Canvas().IntersectClipFigure(all);
    HoldPicture(direct, held, 11);
    HoldPicture(cairo, held, 11);
    draw(direct.Canvas());
    draw(cairo.Canvas());
    return ReadBack(direct) == ReadBack(cairo);
}

TEST(CanvasPixelPaths, AWholeBitmapOverwrittenReadsBackAsCairoDrawsIt) {
    // Nothing of the picture before shows through a drawing that covers the whole bitmap, but
    // the rows keep what the surface does not hold: alpha bytes and row padding.
    const auto source = RandomBitmap(7, 5, 6);
    const struct {
        const char* Name;
        std::function<void(TCanvas&)> Draw;
    } overwrites[] = {
        {"fill", [](TCanvas& c) { c.FillRect(Rect(0, 0, 14, 10)); }},
        {"fill beyond the sides", [](TCanvas& c) { c.FillRect(Rect(-3, -2, 20, 12)); }},
        {"fill, then a part",
         [](TCanvas& c) {
             c.FillRect(Rect(0, 0, 14, 10));
             c.Brush().SetColor(clYellow);
             c.FillRect(Rect(2, 3, 9, 5));
         }},
        {"enlargement", [&](TCanvas& c) { c.DrawBitmap(Rect(0, 0, 14, 10), *source, Rect(0, 0, 7, 5)); }},
    };
    for (const TPixelFormat format : {pf1bit, pf8bit, pf24bit, pf32bit})
        for (const TPictureHeld held : {phNew, phRows, phSurface, phRowsAfterSurface, phFilledNew})
            for (const auto& overwrite : overwrites)
                EXPECT_TRUE(SameAsCairo(14, 10, format, held,
                                        [&](TCanvas& c) {
                                            c.Brush().SetColor(RGB(200, 40, 90));
                                            overwrite.Draw(c);
                                        }))
                    << overwrite.Name << ", " << BitsPerPixel(format) << " bits, " << Name(held);
    // And the fill's colour is every pixel's.
    for (const TPixelFormat format : {pf24bit, pf32bit})
        for (const TPictureHeld held : {phNew, phRows, phSurface, phRowsAfterSurface, phFilledNew}) {
            TBitmap bitmap(14, 10, format);
            HoldPicture(bitmap, held, 12);
            bitmap.Canvas().Brush().SetColor(RGB(200, 40, 90));
            bitmap.Canvas().FillRect(Rect(0, 0, 14, 10));
            for (int y = 0; y < 10; ++y)
                for (int x = 0; x < 14; ++x)
                    ASSERT_EQ(bitmap.GetPixel(x, y), RGB(200, 40, 90)) << x << "," << y << " " << Name(held);
        }
}

TEST(CanvasPixelPaths, AnEnlargementTakesItsSourceWhereverItsPictureIs) {
    // The source's picture in its rows (written, loaded from a file, or rewritten after drawing)
    // or on its surface; all of it or a part away from its corner; rows with and without padding.
    const struct {
        const char* Name;
        std::function<void(TBitmap&)> Hold;
    } sources[] = {
        {"rows", [](TBitmap&) {}},
        {"loaded",
         [](TBitmap& b) {
             const std::vector<std::uint8_t> file = b.SaveToBytes();
             b.LoadFromBytes(file);
         }},
        {"surface",
         [](TBitmap& b) {
             b.Canvas().Brush().SetColor(clTeal);
             b.Canvas().FillRect(Rect(2, 1, 6, 4));
         }},
        {"rows after surface",
         [](TBitmap& b) {
             b.Canvas().Brush().SetColor(clTeal);
             b.Canvas().FillRect(Rect(2, 1, 6, 4));
             b.ScanLine(3)[4] ^= 0xFF;
         }},
    };
    const TRect parts[] = {Rect(0, 0, 11, 6), Rect(3, 2, 10, 5), Rect(10, 5, 11, 6)};
    for (const TPixelFormat format : {pf24bit, pf32bit})
        for (const auto& source : sources)
            for (const TRect& part : parts) {
                const auto make = [&] {
                    std::unique_ptr<TBitmap> bitmap = RandomBitmap(11, 6, 8);
                    bitmap->SetPixelFormat(format);
                    source.Hold(*bitmap);
                    return bitmap;
                };
                const TRect dest = Rect(1, 2, 1 + 3 * part.Width(), 2 + 3 * part.Height());
                EXPECT_TRUE(
                    SameAsCairo(40, 30, pf32bit, phRows, [&](TCanvas& c) { c.DrawBitmap(dest, *make(), part); }))
                    << BitsPerPixel(format) << " bits, " << source.Name << ", part at " << part.Left;
                // Each block has its source pixel's colour.
                const auto bitmap = make();
                TBitmap target(40, 30, pf32bit);
                target.Canvas().DrawBitmap(dest, *bitmap, part);
                for (int y = 0; y < part.Height(); ++y)
                    for (int x = 0; x < part.Width(); ++x)
                        ASSERT_EQ(target.GetPixel(dest.Left + 3 * x + 2, dest.Top + 3 * y + 1),
                                  bitmap->GetPixel(part.Left + x, part.Top + y))
                            << BitsPerPixel(format) << " bits, " << source.Name << " " << x << "," << y;
            }
}

TEST(CanvasPixelPaths, AStretchedPictureHidesAPendingFillOnlyWhereItPaints) {
    // Stretches by factors that are not whole, or with the smooth filter, over a fill
    // left pending: where the opaque picture covers all of the bitmap the fill is never written,
    // elsewhere it shows around the picture. A picture with a transparent colour or alpha lets
    // the fill through.
    const auto source = RandomBitmap(7, 5, 9);
    auto keyed = RandomBitmap(7, 5, 9);
    keyed->SetTransparent(true);
    auto alpha = RandomBitmap(7, 5, 9);
    alpha->SetPixelFormat(pf32bit);
    alpha->SetAlphaFormat(afDefined);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            alpha->ScanLine(y)[x * 4 + 3] = std::uint8_t(x * 40);
    const struct {
        const char* Name;
        std::function<void(TCanvas&)> Draw;
    } stretches[] = {
        {"all", [&](TCanvas& c) { c.DrawBitmap(Rect(0, 0, 14, 10), *source, Rect(0, 0, 6, 4)); }},
        {"beyond the sides", [&](TCanvas& c) { c.DrawBitmap(Rect(-5, -4, 19, 13), *source, Rect(1, 1, 7, 5)); }},
        {"mirrored", [&](TCanvas& c) { c.DrawBitmap(Rect(14, 10, 0, 0), *source, Rect(0, 0, 6, 4)); }},
        {"shrunk", [&](TCanvas& c) { c.DrawBitmap(Rect(0, 0, 14, 10), *RandomBitmap(31, 23, 3), Rect(0, 0, 31, 23)); }},
        {"smooth",
         [&](TCanvas& c) {
             c.SetStretchFilter(sfSmooth);
             c.DrawBitmap(Rect(0, 0, 14, 10), *source, Rect(0, 0, 7, 5));
         }},
        {"shifted all",
         [&](TCanvas& c) {
             TXForm shift;
             shift.eDx = -3;
             shift.eDy = 2;
             c.SetWorldTransform(shift);
             c.DrawBitmap(Rect(3, -2, 17, 8), *source, Rect(0, 0, 6, 4));
         }},
        {"shifted part",
         [&](TCanvas& c) {
             TXForm shift;
             shift.eDx = 1;
             c.SetWorldTransform(shift);
             c.DrawBitmap(Rect(0, 0, 14, 10), *source, Rect(0, 0, 6, 4));
         }},
        {"a part", [&](TCanvas& c) { c.DrawBitmap(Rect(0, 0, 14, 7), *source, Rect(0, 0, 6, 4)); }},
        {"clipped",
         [&](TCanvas& c) {
             c.IntersectClipRect(Rect(1, 0, 14, 10));
             c.DrawBitmap(Rect(0, 0, 14, 10), *source, Rect(0, 0, 6, 4));
         }},
        {"transparent colour", [&](TCanvas& c) { c.DrawBitmap(Rect(0, 0, 14, 10), *keyed, Rect(0, 1, 6, 5)); }},
        {"alpha", [&](TCanvas& c) { c.DrawBitmap(Rect(0, 0, 14, 10), *alpha, Rect(0, 0, 6, 4)); }},
    };
    for (const TPixelFormat format : {pf8bit, pf24bit, pf32bit})
        for (const TPictureHeld held : {phFilledNew, phRows, phSurface})
            for (const auto& stretch : stretches)
                EXPECT_TRUE(SameAsCairo(14, 10, format, held,
                                        [&](TCanvas& c) {
                                            c.Brush().SetColor(clYellow);
                                            c.FillRect(Rect(0, 0, 14, 10));
                                            stretch.Draw(c);
                                        }))
                    << stretch.Name << ", " << BitsPerPixel(format) << " bits, " << Name(held);
    // The fill's colour shows exactly where the picture does not reach.
    TBitmap part(14, 10, pf24bit);
    part.Canvas().Brush().SetColor(clYellow);
    part.Canvas().FillRect(Rect(0, 0, 14, 10));
    part.Canvas().DrawBitmap(Rect(0, 0, 14, 7), *source, Rect(0, 0, 6, 4));
    EXPECT_EQ(part.GetPixel(13, 6), source->GetPixel(5, 3));
    EXPECT_EQ(part.GetPixel(0, 7), clYellow);
    EXPECT_EQ(part.GetPixel(13, 9), clYellow);
}

// The words of a bitmap's surface, the byte cairo does not use included.
std::vector<std::uint32_t> SurfaceWords(const TBitmap& bitmap) {
    cairo_surface_t* surface = TBitmapSurfaceAccess::ForReading(bitmap);
    cairo_surface_flush(surface);
    const std::uint8_t* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    std::vector<std::uint32_t> words;
    for (int y = 0; y < bitmap.GetHeight(); ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + y * stride);
        words.insert(words.end(), row, row + bitmap.GetWidth());
    }
    return words;
}

TEST(CanvasPixelPaths, StretchesByOtherFactorsTakeCairosSamples) {
    // Opaque pictures stretched by factors that are not whole, with the nearest-pixel filter,
    // are made from the samples cairo takes: every surface word must be the one cairo writes.
    // Sources on their surface (a grey fill leaves the unused byte set to the grey) or in their
    // rows; enlarged and shrunk, mirrored, shifted, clipped, parts of them, beyond the sides.
    std::mt19937 random(13);
    const auto symbol = [](int modules, TColor space) {
        // A picture of modules like a two-dimensional code's: rows repeat, the fill is grey.
        auto bitmap = std::make_unique<TBitmap>(modules, modules, pf24bit);
        bitmap->Canvas().Brush().SetColor(space);
        bitmap->Canvas().FillRect(Rect(0, 0, modules, modules));
        bitmap->Canvas().Brush().SetColor(clBlack);
        for (int y = 0; y < modules; y += 2)
            for (int x = (y / 2) % 3; x < modules; x += 3)
                bitmap->Canvas().FillRect(Rect(x, y, x + 1, y + 2));
        return bitmap;
    };
    struct Case {
        std::shared_ptr<TBitmap> Source;
        TRect Dest, Part, Clip; // no clip when empty
        int ShiftX = 0, ShiftY = 0;
        int Width = 0, Height = 0; // of the target
    };
    std::vector<Case> cases = {
        {symbol(45, clWhite), Rect(0, 0, 600, 600), Rect(0, 0, 45, 45), {}, 0, 0, 600, 600}, // the label's
        {symbol(45, RGB(128, 128, 128)), Rect(0, 0, 600, 600), Rect(0, 0, 45, 45), {}, 0, 0, 600, 600},
        {symbol(31, RGB(200, 200, 200)), Rect(3, 5, 203, 185), Rect(0, 0, 31, 31), {}, 0, 0, 210, 190},
        {symbol(19, RGB(9, 9, 9)), Rect(250, 190, -7, 0), Rect(1, 2, 18, 17), Rect(4, 3, 220, 170), -2, 5, 240, 200},
    };
    for (int round = 0; round < 120; ++round) {
        Case c;
        const int w = 1 + int(random() % 40), h = 1 + int(random() % 40);
        c.Source = RandomBitmap(w, h, unsigned(round));
        if (round % 3 == 1)
            c.Source->SetPixelFormat(pf32bit);
        if (round % 4 == 2) { // the picture on the surface
            c.Source->Canvas().Brush().SetColor(TColor(random() & 0xFFFFFF));
            c.Source->Canvas().FillRect(Rect(0, 0, w / 2 + 1, h));
        }
        const int left = int(random() % w), top = int(random() % h);
        c.Part = Rect(left, top, left + 1 + int(random() % (w - left)), top + 1 + int(random() % (h - top)));
        c.Width = 20 + int(random() % 300);
        c.Height = 20 + int(random() % 300);
        const int dx = int(random() % 400) - 20, dy = int(random() % 400) - 20;
        c.Dest = Rect(int(random() % 60) - 30, int(random() % 60) - 30, 0, 0);
        c.Dest.Right = c.Dest.Left + (round % 7 == 3 ? -dx : dx);
        c.Dest.Bottom = c.Dest.Top + (round % 5 == 4 ? -dy : dy);
        if (round % 3 == 0)
            c.Clip = Rect(int(random() % 50), int(random() % 50), 40 + int(random() % 300), 40 + int(random() % 300));
        if (round % 4 == 1)
            c.ShiftX = int(random() % 21) - 10, c.ShiftY = int(random() % 21) - 10;
        cases.push_back(c);
    }
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        const auto draw = [&](TBitmap& target) {
            TCanvas& canvas = target.Canvas();
            canvas.Brush().SetColor(clYellow);
            canvas.FillRect(Rect(0, 0, c.Width, c.Height));
            if (!c.Clip.IsEmpty())
                canvas.IntersectClipRect(c.Clip);
            TXForm shift;
            shift.eDx = c.ShiftX;
            shift.eDy = c.ShiftY;
            canvas.SetWorldTransform(shift);
            canvas.DrawBitmap(c.Dest, *c.Source, c.Part);
        };
        TBitmap direct(c.Width, c.Height, pf32bit), cairo(c.Width, c.Height, pf32bit);
        TClipFigure all;
        all.Points = {Point(-1, -1), Point(c.Width + 1, -1), Point(c.Width + 1, c.Height + 1), Point(-1, c.Height + 1)};
        cairo.Canvas().IntersectClipFigure(all);
        draw(direct);
        draw(cairo);
        ASSERT_TRUE(SurfaceWords(direct) == SurfaceWords(cairo)) << "case " << i;
    }
}

TEST(CanvasPixelPaths, RepeatedRowsReadBackAsEveryOtherRow) {
    // Rows equal to the row above are converted once and copied: rows loaded from a file and
    // enlarged, and the enlargement read back as rows, in its file form and in a stream.
    const int width = 11, height = 9;
    TBitmap source(width, height, pf24bit);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            source.SetPixel(x, y, RGB(x * 20, (y / 3) * 70, x == 5 && y == 7 ? 255 : 0));
    source.LoadFromBytes(source.SaveToBytes());
    for (const TPixelFormat format : {pf24bit, pf32bit}) {
        TBitmap target(3 * width, 2 * height, format);
        target.Canvas().DrawBitmap(Rect(0, 0, 3 * width, 2 * height), source, Rect(0, 0, width, height));
        const std::unique_ptr<TGraphic> copy = target.Clone();
        TMemoryStream stream;
        copy->SaveToStream(stream);
        TBitmap loaded;
        loaded.LoadFromBytes(std::vector<std::uint8_t>(stream.Bytes().begin(), stream.Bytes().end()));
        for (const TBitmap* read : {&target, &loaded})
            for (int y = 0; y < 2 * height; ++y)
                for (int x = 0; x < 3 * width; ++x)
                    ASSERT_EQ(read->GetPixel(x, y), source.GetPixel(x / 3, y / 2))
                        << BitsPerPixel(format) << " bits, " << x << "," << y;
    }
}

// A fill that lies beyond the bitmap is left out before cairo is asked. The same fills drawn on a
// bitmap ten pixels larger on every side, shifted by ten pixels, are all cairo's: the small bitmap
// must show what that one shows in its middle. Scales are binary fractions, so that the shift
// changes no rounding.
TEST(CanvasPixelPaths, FillsBeyondTheBitmapPaintWhatCairoPaints) {
    std::mt19937 random(11);
    const double scales[] = {0.5, 1, 1.5, 2.25, 3, -1.5};
    for (int round = 0; round < 300; ++round) {
        const int width = 1 + int(random() % 12), height = 1 + int(random() % 12);
        TXForm xf;
        const double sx = scales[random() % 6], sy = scales[random() % 6];
        if (random() % 3 == 0) { // a quarter turn
            xf.eM12 = sx, xf.eM21 = -sy, xf.eM11 = xf.eM22 = 0;
        } else {
            xf.eM11 = sx, xf.eM22 = sy;
        }
        xf.eDx = double(int(random() % 13) - 6) / 4;
        xf.eDy = double(int(random() % 13) - 6) / 4;
        TXForm shifted = xf;
        shifted.eDx += 10;
        shifted.eDy += 10;
        const bool antialias = random() % 2;
        std::vector<TRect> fills;
        for (int k = 0; k < 6; ++k)
            fills.push_back(TRect{int(random() % 30) - 15, int(random() % 30) - 15, int(random() % 30) - 15,
                                  int(random() % 30) - 15});
        TBitmap small(width, height, pf24bit), large(width + 20, height + 20, pf24bit);
        for (auto [bitmap, transform] : {std::pair{&small, xf}, std::pair{&large, shifted}}) {
            TCanvas& c = bitmap->Canvas();
            c.Brush().SetColor(clWhite);
            c.FillRect(Rect(0, 0, bitmap->GetWidth(), bitmap->GetHeight()));
            c.SetAntialias(antialias);
            c.SetWorldTransform(transform);
            c.Brush().SetColor(clBlack);
            for (const TRect& r : fills)
                c.FillRect(r);
        }
        for (int y = 0; y < height; ++y)
            ASSERT_EQ(std::memcmp(small.ScanLine(y), large.ScanLine(y + 10) + 30, std::size_t(width) * 3), 0)
                << "round " << round << " row " << y;
    }
}

} // namespace
} // namespace vgl
