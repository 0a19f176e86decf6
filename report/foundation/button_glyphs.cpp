#include "report/foundation/button_glyphs.h"

#include <array>
#include <cmath>

#include "platform/rtl/exceptions.h"
#include "report/foundation/raster_drawing.h"

namespace vgl {

void LoadImageStrip(const TBitmap& strip, int tileWidth, int tileHeight, TImageList* disabled, TImageList& images) {
    // A tile side of 0 would never move past the strip's edge.
    if (tileWidth < 1 || tileHeight < 1)
        throw EInvalidOperation(u"The tile width and height of an image strip must be at least 1");
    const int w = strip.GetWidth(), h = strip.GetHeight();
    for (int top = 0; top < h; top += tileHeight)
        for (int left = 0; left < w; left += tileWidth) {
            TBitmap tile(tileWidth, tileHeight, pf24bit); // a plain copy; outside the strip stays black
            for (int y = 0; y < tileHeight && top + y < h; ++y)
                for (int x = 0; x < tileWidth && left + x < w; ++x)
                    tile.SetPixel(x, y, strip.GetPixel(left + x, top + y));
            images.AddMasked(tile, tile.GetTransparentColor());
            if (disabled) {
                MakeDisabledBitmap(tile);
                disabled->AddMasked(tile, tile.GetTransparentColor());
            }
        }
}

void ImageListToBitmap(const TImageList& images, TBitmap& bitmap, int index, TColor background) {
    bitmap.SetSize(images.Width(), images.Height());
    TCanvas& c = bitmap.Canvas();
    c.Brush().SetColor(background);
    c.FillRect(Rect(0, 0, images.Width(), images.Height()));
    images.Draw(c, 0, 0, index);
}

void DrawBitmapMasked(TCanvas& canvas, int x, int y, const TBitmap* bitmap) {
    if (!bitmap || bitmap->GetEmpty())
        return;
    TImageList list(bitmap->GetWidth(), bitmap->GetHeight());
    list.AddMasked(*bitmap, bitmap->GetTransparentColor());
    list.Draw(canvas, x, y, 0);
}

namespace {

void Solid(TCanvas& canvas, TColor color) {
    canvas.Brush().SetStyle(bsSolid);
    canvas.Brush().SetColor(color);
    canvas.Pen().SetStyle(psSolid);
    canvas.Pen().SetWidth(1);
    canvas.Pen().SetColor(color);
}

} // namespace

void DrawArrowTriangle(TCanvas& canvas, const TRect& rect, TColor color, bool reversed, bool vertical) {
    Solid(canvas, color);
    const int w = rect.Width(), h = rect.Height();
    const int q = int(std::nearbyint((w / 2) * 0.5)); // the default rounding mode: halves to even
    int base = w - 2 * q;
    base -= base % 2;
    const int height = base / 2;
    std::array<TPoint, 3> p;
    if (vertical) {
        const int x0 = rect.Left + (w - base) / 2 - (w % 2 == 0 ? 1 : 0);
        const int y0 = rect.Top + (h - height) / 2;
        const int baseY = reversed ? y0 + height : y0, tipY = reversed ? y0 : y0 + height;
        p = {Point(x0, baseY), Point(x0 + base, baseY), Point(x0 + base / 2, tipY)};
    } else {
        const int y0 = rect.Top + (h - base) / 2 - (h % 2 == 0 ? 1 : 0);
        const int x0 = rect.Left + (w - height) / 2;
        const int baseX = reversed ? x0 + height : x0, tipX = reversed ? x0 : x0 + height;
        p = {Point(baseX, y0), Point(baseX, y0 + base), Point(tipX, y0 + base / 2)};
    }
    canvas.Polygon(p);
}

void DrawChevrons(TCanvas& canvas, const TRect& rect, TColor color, int count, int inset, int step, int stroke,
                  bool reversed, bool vertical) {
    Solid(canvas, color);
    TRect r = Rect(rect.Left + inset, rect.Top + inset, rect.Right - inset, rect.Bottom - inset);
    for (int i = 0; i < count; ++i) {
        if (vertical) {
            // near side: the top (pointing down) or the bottom (pointing up)
            const int nearY = reversed ? r.Bottom : r.Top, farY = reversed ? r.Top : r.Bottom;
            const int s = reversed ? -stroke : stroke;
            const int mx = (r.Left + r.Right) / 2;
            const std::array<TPoint, 4> left{Point(r.Left, nearY), Point(r.Left, nearY + s), Point(mx, farY),
                                             Point(mx, farY - s)};
            const std::array<TPoint, 4> right{Point(r.Right, nearY), Point(r.Right, nearY + s), Point(mx, farY),
                                              Point(mx, farY - s)};
            canvas.Polygon(left);
            canvas.Polygon(right);
            const int move = reversed ? 2 * step : -2 * step;
            r = Rect(r.Left, r.Top + move, r.Right, r.Bottom + move);
        } else {
            const int nearX = reversed ? r.Right : r.Left, farX = reversed ? r.Left : r.Right;
            const int s = reversed ? -stroke : stroke;
            const int my = (r.Top + r.Bottom) / 2;
            const std::array<TPoint, 4> top{Point(nearX, r.Top), Point(nearX + s, r.Top), Point(farX, my),
                                            Point(farX - s, my)};
            const std::array<TPoint, 4> bottom{Point(nearX, r.Bottom), Point(nearX + s, r.Bottom), Point(farX, my),
                                               Point(farX - s, my)};
            canvas.Polygon(top);
            canvas.Polygon(bottom);
            const int move = reversed ? 2 * step : -2 * step;
            r = Rect(r.Left + move, r.Top, r.Right + move, r.Bottom);
        }
    }
}

} // namespace vgl
