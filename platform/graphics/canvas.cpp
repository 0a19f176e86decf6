#include "platform/graphics/canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <numbers>
#include <optional>
#include <vector>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/bitmap_surface.h"
#include "platform/graphics/font_face_native.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"

namespace vgl {

VGL_DEFINE_CLASS(TCanvas) {}

TXForm TXForm::Rotation(double degrees, double cx, double cy) {
    double a = degrees * std::numbers::pi / 180.0;
    double c = std::cos(a), s = std::sin(a);
    // Counter-clockwise on a page whose y axis points down.
    TXForm x{c, -s, s, c, 0, 0};
    x.eDx = cx - (c * cx + s * cy);
    x.eDy = cy - (-s * cx + c * cy);
    return x;
}

TXForm TXForm::Then(const TXForm& n) const {
    return TXForm{eM11 * n.eM11 + eM12 * n.eM21,       eM11 * n.eM12 + eM12 * n.eM22,
                  eM21 * n.eM11 + eM22 * n.eM21,       eM21 * n.eM12 + eM22 * n.eM22,
                  eDx * n.eM11 + eDy * n.eM21 + n.eDx, eDx * n.eM12 + eDy * n.eM22 + n.eDy};
}

namespace {

void SetColor(cairo_t* cr, TColor color) {
    TColor c = ColorToRGB(color);
    cairo_set_source_rgb(cr, GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0);
}

cairo_matrix_t ToMatrix(const TXForm& x) {
    cairo_matrix_t m;
    cairo_matrix_init(&m, x.eM11, x.eM12, x.eM21, x.eM22, x.eDx, x.eDy);
    return m;
}

// Where CopyInBlocks gives cairo's pixels. Cairo samples an enlarged picture through a
// fixed-point inverse scale: up to a factor of 9 its samples stay inside their blocks for any
// position below kMaxBlockExtent from the picture's corner (for 10 and 12 they drift across block
// edges near the end of that range). It draws nothing at all from or onto a surface with a side
// of kMaxBlockExtent + 1 pixels or more, or beyond that distance from the corner. Drawings outside
// these bounds are left to cairo.
constexpr int kMaxBlockFactor = 9;
constexpr int kMaxBlockExtent = 32766;

// The device pixels a drawing of the logical rectangle `r` covers, where the canvas draws on a
// bitmap under a world transform that only moves by whole pixels and a clip that is a rectangle
// at most: Origin is r's corner on the device, Visible what of r the surface and the clip show
// (empty when nothing). None for any other canvas, or for a rectangle beyond the coordinates
// cairo keeps exactly.
struct TPixelArea {
    std::int64_t OriginLeft = 0, OriginTop = 0;
    TRect Visible;
};

std::optional<TPixelArea> PlainPixelArea(const TCanvas& canvas, const TRect& r) {
    const TBitmap* target = canvas.Target();
    if (!target || !canvas.ClipFigures().empty() || target->GetWidth() > kMaxBlockExtent ||
        target->GetHeight() > kMaxBlockExtent)
        return std::nullopt;
    const TXForm& xf = canvas.GetWorldTransform();
    constexpr double kCoordinateLimit = 1 << 22;
    if (xf.eM11 != 1 || xf.eM22 != 1 || xf.eM12 != 0 || xf.eM21 != 0 || xf.eDx != std::trunc(xf.eDx) ||
        xf.eDy != std::trunc(xf.eDy) || std::abs(xf.eDx) > kCoordinateLimit || std::abs(xf.eDy) > kCoordinateLimit)
        return std::nullopt;
    const std::int64_t left = r.Left + std::int64_t(xf.eDx), top = r.Top + std::int64_t(xf.eDy);
    const std::int64_t right = r.Right + std::int64_t(xf.eDx), bottom = r.Bottom + std::int64_t(xf.eDy);
    for (const std::int64_t v : {left, top, right, bottom})
        if (std::abs(v) > std::int64_t(kCoordinateLimit))
            return std::nullopt;
    std::int64_t visibleLeft = std::max<std::int64_t>(left, 0), visibleTop = std::max<std::int64_t>(top, 0);
    std::int64_t visibleRight = std::min<std::int64_t>(right, target->GetWidth());
    std::int64_t visibleBottom = std::min<std::int64_t>(bottom, target->GetHeight());
    if (canvas.HasClip()) {
        const TRect clip = canvas.ClipRect();
        visibleLeft = std::max<std::int64_t>(visibleLeft, clip.Left);
        visibleTop = std::max<std::int64_t>(visibleTop, clip.Top);
        visibleRight = std::min<std::int64_t>(visibleRight, clip.Right);
        visibleBottom = std::min<std::int64_t>(visibleBottom, clip.Bottom);
    }
    TPixelArea area{left, top, {}};
    if (visibleLeft < visibleRight && visibleTop < visibleBottom)
        area.Visible = TRect{int(visibleLeft), int(visibleTop), int(visibleRight), int(visibleBottom)};
    return area;
}

// A solid fill of a rectangle on a plain pixel area covers exactly its pixels: they are set
// here, as cairo sets them, without a drawing context for each rectangle (a barcode's bars).
bool FillPixels(const TCanvas& canvas, const TRect& r, TColor color) {
    if (r.Left > r.Right || r.Top > r.Bottom)
        return false;
    const std::optional<TPixelArea> area = PlainPixelArea(canvas, r);
    if (!area)
        return false;
    const TRect& v = area->Visible;
    if (v.IsEmpty())
        return true;
    const TColor c = ColorToRGB(color);
    const std::uint32_t word = 0xFF000000u | (std::uint32_t(GetRValue(c)) << 16) | (std::uint32_t(GetGValue(c)) << 8) |
                               std::uint32_t(GetBValue(c));
    const TBitmap& target = *canvas.Target();
    if (v.Left == 0 && v.Top == 0 && v.Right == target.GetWidth() && v.Bottom == target.GetHeight()) {
        // The whole bitmap in one colour (a background, an erased picture): written when the
        // surface is next used, never when it is not.
        TBitmapSurfaceAccess::FillWhole(target, word);
        return true;
    }
    cairo_surface_t* surface = TBitmapSurfaceAccess::ForOverwriting(target, v);
    cairo_surface_flush(surface);
    std::uint8_t* data = cairo_image_surface_get_data(surface);
    const std::ptrdiff_t stride = cairo_image_surface_get_stride(surface);
    for (int y = v.Top; y < v.Bottom; ++y)
        std::fill_n(reinterpret_cast<std::uint32_t*>(data + y * stride) + v.Left, v.Width(), word);
    cairo_surface_mark_dirty(surface);
    return true;
}

// True when the rectangle, under the world transform, lies wholly beyond a side of the canvas's
// bitmap by more than a pixel (so that no rounding of cairo's reaches it), within the coordinates
// cairo keeps exactly: a fill of it paints nothing (a bar of a code measured on a small bitmap).
bool BeyondTarget(const TCanvas& canvas, const TRect& r) {
    const TBitmap* target = canvas.Target();
    if (!target)
        return false;
    const TXForm& xf = canvas.GetWorldTransform();
    constexpr double kCoordinateLimit = 1 << 22;
    double minX = kCoordinateLimit, minY = kCoordinateLimit, maxX = -kCoordinateLimit, maxY = -kCoordinateLimit;
    for (const double x : {double(r.Left), double(r.Right)})
        for (const double y : {double(r.Top), double(r.Bottom)}) {
            const double dx = xf.eM11 * x + xf.eM21 * y + xf.eDx, dy = xf.eM12 * x + xf.eM22 * y + xf.eDy;
            if (!(std::abs(dx) < kCoordinateLimit && std::abs(dy) < kCoordinateLimit)) // NaN too
                return false;
            minX = std::min(minX, dx), maxX = std::max(maxX, dx);
            minY = std::min(minY, dy), maxY = std::max(maxY, dy);
        }
    return maxX < -1 || maxY < -1 || minX > target->GetWidth() + 1 || minY > target->GetHeight() + 1;
}

// An opaque bitmap enlarged by whole factors with the nearest-pixel filter, under a world
// transform that only moves by whole pixels and a clip that is a rectangle at most, gives every
// source pixel a block of factor × factor pixels. Such a drawing is made by the bitmap on its
// surface's rows (when the surface is next used, or row by row for a reader that takes them),
// which gives cairo's pixels at a fraction of its time (an 1800 × 1800 picture in a PDF export).
// False, and nothing drawn, for every other drawing.
bool CopyInBlocks(const TCanvas& canvas, const TRect& dest, const TBitmap& source, const TRect& sourceRect) {
    if (canvas.Target() == &source || canvas.GetStretchFilter() != sfNearest)
        return false;
    const TPixelFormat format = source.GetPixelFormat();
    if ((format != pf24bit && format != pf32bit) || source.GetTransparent() ||
        (format == pf32bit && source.GetAlphaFormat() != afIgnored) || source.GetWidth() > kMaxBlockExtent ||
        source.GetHeight() > kMaxBlockExtent)
        return false;
    if (dest.Left > dest.Right || dest.Top > dest.Bottom || sourceRect.Left < 0 || sourceRect.Top < 0 ||
        sourceRect.Right > source.GetWidth() || sourceRect.Bottom > source.GetHeight())
        return false;
    const std::int64_t destWidth = std::int64_t(dest.Right) - dest.Left,
                       destHeight = std::int64_t(dest.Bottom) - dest.Top;
    const int sourceWidth = sourceRect.Width(), sourceHeight = sourceRect.Height();
    const std::int64_t fx = destWidth / sourceWidth, fy = destHeight / sourceHeight;
    if (fx < 1 || fy < 1 || fx > kMaxBlockFactor || fy > kMaxBlockFactor || fx * sourceWidth != destWidth ||
        fy * sourceHeight != destHeight)
        return false;
    const std::optional<TPixelArea> area = PlainPixelArea(canvas, dest);
    if (!area)
        return false;
    const TRect& visible = area->Visible;
    if (visible.IsEmpty())
        return true; // nothing of it is visible
    const std::int64_t left = area->OriginLeft, top = area->OriginTop;
    if (visible.Right - left > kMaxBlockExtent || visible.Bottom - top > kMaxBlockExtent)
        return false;
    TBitmapSurfaceAccess::EnlargeInBlocks(*canvas.Target(), source, sourceRect, int(fx), int(fy), left, top, visible);
    return true;
}

// The device pixels that cairo's drawing of the opaque `source` stretched into `dest` paints
// (every one of them opaquely, whatever the filter), under a world transform that only moves by
// whole pixels and a clip that is a rectangle at most; none when that is not known. A picture
// with alpha or a transparent colour, or the target itself, paints nothing known.
std::optional<TRect> OpaqueStretchArea(const TCanvas& canvas, const TRect& dest, const TBitmap& source) {
    if (canvas.Target() == &source || source.GetTransparent() ||
        (source.GetPixelFormat() == pf32bit && source.GetAlphaFormat() != afIgnored) ||
        source.GetWidth() > kMaxBlockExtent || source.GetHeight() > kMaxBlockExtent)
        return std::nullopt;
    const TRect r{std::min(dest.Left, dest.Right), std::min(dest.Top, dest.Bottom), std::max(dest.Left, dest.Right),
                  std::max(dest.Top, dest.Bottom)};
    const std::optional<TPixelArea> area = PlainPixelArea(canvas, r);
    // Within the distances from the picture's corner where cairo is known to draw.
    if (!area || area->Visible.IsEmpty() || area->Visible.Right - area->OriginLeft > kMaxBlockExtent ||
        area->Visible.Bottom - area->OriginTop > kMaxBlockExtent)
        return std::nullopt;
    return area->Visible;
}

} // namespace

// One drawing operation on the canvas's bitmap: a cairo context with the canvas's clip and
// transform, released when the operation ends.
struct CanvasDraw {
    const TCanvas& Canvas;
    cairo_t* Cr = nullptr;
    /// A drawing with the canvas's settings on another surface of the target's size.
    CanvasDraw(const TCanvas& canvas, cairo_surface_t* surface) : Canvas(canvas), Cr(cairo_create(surface)) {
        Prepare();
    }
    /// `opaque`: device pixels the drawing is known to paint opaquely; when they are the whole
    /// bitmap, nothing of the picture before is put on the surface (a pending fill is dropped).
    explicit CanvasDraw(const TCanvas& canvas, const std::optional<TRect>& opaque = std::nullopt) : Canvas(canvas) {
        if (!canvas.FTarget)
            return;
        Cr = cairo_create(opaque ? TBitmapSurfaceAccess::ForOverwriting(*canvas.FTarget, *opaque)
                                 : TBitmapSurfaceAccess::ForDrawing(*canvas.FTarget));
        Prepare();
    }
    ~CanvasDraw() {
        if (Cr)
            cairo_destroy(Cr);
    }
    CanvasDraw(const CanvasDraw&) = delete;
    CanvasDraw& operator=(const CanvasDraw&) = delete;

    // The canvas's clip, transform and antialiasing on the context.
    void Prepare() {
        if (Canvas.FHasClip) {
            cairo_rectangle(Cr, Canvas.FClip.Left, Canvas.FClip.Top, Canvas.FClip.Width(), Canvas.FClip.Height());
            cairo_clip(Cr);
        }
        for (const TClipFigure& f : Canvas.FClipFigures)
            ClipTo(f);
        cairo_matrix_t m = ToMatrix(Canvas.FXForm);
        cairo_set_matrix(Cr, &m);
        cairo_set_antialias(Cr, Canvas.FAntialias ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
    }

    // Paints `source` (part `sourceRect`) stretched into `dest` with the canvas's filter.
    void PaintStretched(const TRect& dest, cairo_surface_t* source, const TRect& sourceRect) {
        cairo_rectangle(Cr, std::min(dest.Left, dest.Right), std::min(dest.Top, dest.Bottom), std::abs(dest.Width()),
                        std::abs(dest.Height()));
        cairo_clip(Cr);
        cairo_translate(Cr, dest.Left, dest.Top);
        cairo_scale(Cr, double(dest.Width()) / sourceRect.Width(), double(dest.Height()) / sourceRect.Height());
        cairo_set_source_surface(Cr, source, -sourceRect.Left, -sourceRect.Top);
        cairo_pattern_t* pattern = cairo_get_source(Cr);
        cairo_pattern_set_filter(pattern, Canvas.FStretchFilter == sfSmooth ? CAIRO_FILTER_GOOD : CAIRO_FILTER_NEAREST);
        cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
        cairo_paint(Cr);
    }

    // How cairo leaves the unused top byte of the surface words it copies.
    enum TTopByte { tbKept, tbSet, tbCleared };

    // Which source column (`rows`: row) each device column (row) of `visible` takes when cairo
    // paints the opaque `source` stretched with the nearest-pixel filter as DrawBitmap does, and
    // how it writes the top byte. Learnt from cairo itself: the same stretch of a picture of the
    // source's size whose pixels hold their column (row) numbers is painted onto one row (column)
    // of `visible`, on a surface of the target's size, so that cairo transforms the coordinates
    // exactly as for the real drawing (a nearest-pixel sample along one axis depends only on the
    // position along that axis). Cairo keeps the top byte of the words it copies, but sets it
    // where it paints a single source pixel as a colour; `top` is what the first probe found, and
    // probes that disagree (one of them met a single pixel, the drawing does not) leave the
    // drawing to cairo. False when the painted pixels are anything else.
    static bool ProbeSamples(const TCanvas& canvas, const TRect& dest, const TBitmap& source, const TRect& sourceRect,
                             const TRect& visible, bool rows, std::vector<int>& index, std::optional<TTopByte>& top) {
        constexpr std::uint32_t kProbeTop = 0x5A000000u, kUnpainted = 0x12FFFFFFu;
        const int width = source.GetWidth(), height = source.GetHeight();
        const auto destroy = [](cairo_surface_t* s) { cairo_surface_destroy(s); };
        const std::unique_ptr<cairo_surface_t, decltype(destroy)> numbers(
            TBitmapSurfaceAccess::NewUnclearedSurface(width, height), destroy);
        std::uint8_t* data = cairo_image_surface_get_data(numbers.get());
        std::ptrdiff_t stride = cairo_image_surface_get_stride(numbers.get());
        for (int y = 0; y < height; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(data + y * stride);
            for (int x = 0; x < width; ++x)
                row[x] = kProbeTop | std::uint32_t(rows ? y : x);
        }
        cairo_surface_mark_dirty(numbers.get());
        const TBitmap& target = *canvas.FTarget;
        const std::unique_ptr<cairo_surface_t, decltype(destroy)> probe(
            TBitmapSurfaceAccess::NewUnclearedSurface(target.GetWidth(), target.GetHeight()), destroy);
        data = cairo_image_surface_get_data(probe.get());
        stride = cairo_image_surface_get_stride(probe.get());
        const TRect line = rows ? TRect{visible.Left, visible.Top, visible.Left + 1, visible.Bottom}
                                : TRect{visible.Left, visible.Top, visible.Right, visible.Top + 1};
        const auto at = [&](int i) {
            return reinterpret_cast<std::uint32_t*>(data + (line.Top + (rows ? i : 0)) * stride) + line.Left +
                   (rows ? 0 : i);
        };
        const int count = rows ? visible.Height() : visible.Width();
        for (int i = 0; i < count; ++i)
            *at(i) = kUnpainted;
        cairo_surface_mark_dirty(probe.get());
        {
            CanvasDraw d(canvas, probe.get());
            cairo_matrix_t m;
            cairo_get_matrix(d.Cr, &m);
            cairo_identity_matrix(d.Cr);
            cairo_rectangle(d.Cr, line.Left, line.Top, line.Width(), line.Height());
            cairo_clip(d.Cr);
            cairo_set_matrix(d.Cr, &m);
            d.PaintStretched(dest, numbers.get(), sourceRect);
            if (cairo_status(d.Cr) != CAIRO_STATUS_SUCCESS)
                return false;
        }
        cairo_surface_flush(probe.get());
        const std::uint32_t limit = std::uint32_t(rows ? height : width);
        index.resize(std::size_t(count));
        for (int i = 0; i < count; ++i) {
            const std::uint32_t word = *at(i);
            if ((word & 0xFFFFFFu) >= limit)
                return false;
            const std::uint32_t byte = word & 0xFF000000u;
            if (byte != kProbeTop && byte != 0xFF000000u && byte != 0)
                return false;
            const TTopByte kind = byte == kProbeTop ? tbKept : byte ? tbSet : tbCleared;
            if (top && *top != kind)
                return false;
            top = kind;
            index[std::size_t(i)] = int(word & 0xFFFFFFu);
        }
        return true;
    }

    // DrawBitmap of the opaque `source` with the nearest-pixel filter over `visible` (what
    // OpaqueStretchArea gives), stretched by factors that need not be whole: each device pixel
    // takes the source pixel cairo would sample for it (ProbeSamples), and every row of the
    // picture is made once and copied where the next row takes the same source row (a symbol of
    // 45 modules spread over 600 pixels). False, and nothing drawn, when the samples are not known
    // or learning them would cost more than the drawing (a source larger than what it covers).
    static bool StretchBySamples(const TCanvas& canvas, const TRect& dest, const TBitmap& source,
                                 const TRect& sourceRect, const TRect& visible) {
        if (canvas.FStretchFilter != sfNearest || std::int64_t(source.GetWidth()) * source.GetHeight() >
                                                      std::int64_t(visible.Width()) * std::int64_t(visible.Height()))
            return false;
        std::vector<int> columns, rows;
        std::optional<TTopByte> top;
        try {
            if (!ProbeSamples(canvas, dest, source, sourceRect, visible, false, columns, top) ||
                !ProbeSamples(canvas, dest, source, sourceRect, visible, true, rows, top))
                return false;
        } catch (const EOutOfMemory&) {
            return false; // no room to learn the samples: cairo draws it
        }
        cairo_surface_t* to = TBitmapSurfaceAccess::ForOverwriting(*canvas.FTarget, visible);
        cairo_surface_t* from = TBitmapSurfaceAccess::ForReading(source);
        cairo_surface_flush(from);
        cairo_surface_flush(to);
        const std::uint8_t* in = cairo_image_surface_get_data(from);
        const std::ptrdiff_t inStride = cairo_image_surface_get_stride(from);
        std::uint8_t* out = cairo_image_surface_get_data(to);
        const std::ptrdiff_t outStride = cairo_image_surface_get_stride(to);
        const std::uint32_t set = *top == tbSet ? 0xFF000000u : 0, keep = *top == tbCleared ? 0xFFFFFFu : ~0u;
        const std::size_t width = std::size_t(visible.Width());
        for (int y = visible.Top; y < visible.Bottom; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(out + y * outStride) + visible.Left;
            const int sourceRow = rows[std::size_t(y - visible.Top)];
            if (y > visible.Top && sourceRow == rows[std::size_t(y - 1 - visible.Top)]) {
                std::memcpy(row, reinterpret_cast<const std::uint8_t*>(row) - outStride, width * 4);
                continue;
            }
            const auto* words = reinterpret_cast<const std::uint32_t*>(in + sourceRow * inStride);
            for (std::size_t x = 0; x < width; ++x)
                row[x] = (words[columns[x]] & keep) | set;
        }
        cairo_surface_mark_dirty(to);
        return true;
    }

    // The brush as the source, its hatch pattern fixed to the device grid.
    bool SetBrush() {
        const TBrushData& b = Canvas.FBrush.Data();
        if (b.Style == bsClear)
            return false;
        if (b.Style == bsSolid) {
            SetColor(Cr, b.Color);
            return true;
        }
        cairo_surface_t* tile = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8);
        std::uint8_t* data = cairo_image_surface_get_data(tile);
        int stride = cairo_image_surface_get_stride(tile);
        TColor fg = ColorToRGB(b.Color), bg = ColorToRGB(Canvas.GetBkColor());
        auto argb = [](TColor c) {
            return 0xFF000000u | (std::uint32_t(GetRValue(c)) << 16) | (std::uint32_t(GetGValue(c)) << 8) |
                   std::uint32_t(GetBValue(c));
        };
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                bool on = false;
                switch (b.Style) {
                case bsHorizontal:
                    on = y == 7;
                    break;
                case bsVertical:
                    on = x == 7;
                    break;
                case bsFDiagonal:
                    on = x == y;
                    break;
                case bsBDiagonal:
                    on = x + y == 7;
                    break;
                case bsCross:
                    on = x == 7 || y == 7;
                    break;
                default:
                    on = x == y || x + y == 7;
                    break;
                }
                reinterpret_cast<std::uint32_t*>(data + y * stride)[x] =
                    on ? argb(fg) : (Canvas.FBkMode == OPAQUE ? argb(bg) : 0u);
            }
        cairo_surface_mark_dirty(tile);
        cairo_pattern_t* pattern = cairo_pattern_create_for_surface(tile);
        cairo_pattern_set_extend(pattern, CAIRO_EXTEND_REPEAT);
        cairo_pattern_set_filter(pattern, CAIRO_FILTER_NEAREST);
        cairo_matrix_t current;
        cairo_get_matrix(Cr, &current);
        cairo_identity_matrix(Cr);
        cairo_set_source(Cr, pattern);
        cairo_set_matrix(Cr, &current);
        cairo_pattern_destroy(pattern);
        cairo_surface_destroy(tile);
        return true;
    }

    // The pen as source and line settings; false for a clear pen.
    bool SetPen() {
        const TPenData& p = Canvas.FPen.Data();
        if (p.Style == psClear)
            return false;
        int w = p.Width < 1 ? 1 : p.Width;
        SetColor(Cr, p.Color);
        cairo_set_line_width(Cr, w);
        if (w == 1) {
            cairo_set_line_cap(Cr, CAIRO_LINE_CAP_BUTT);
            cairo_set_line_join(Cr, CAIRO_LINE_JOIN_MITER);
        } else {
            cairo_set_line_cap(Cr, p.EndCap == pecRound    ? CAIRO_LINE_CAP_ROUND
                                   : p.EndCap == pecSquare ? CAIRO_LINE_CAP_SQUARE
                                                           : CAIRO_LINE_CAP_BUTT);
            cairo_set_line_join(Cr, p.JoinStyle == pjsRound   ? CAIRO_LINE_JOIN_ROUND
                                    : p.JoinStyle == pjsBevel ? CAIRO_LINE_JOIN_BEVEL
                                                              : CAIRO_LINE_JOIN_MITER);
        }
        static const double dash[] = {18, 6}, dot[] = {3, 3}, dashDot[] = {9, 6, 3, 6},
                            dashDotDot[] = {9, 3, 3, 3, 3, 3};
        const double* pattern = nullptr;
        int count = 0;
        switch (p.Style) {
        case psDash:
            pattern = dash, count = 2;
            break;
        case psDot:
            pattern = dot, count = 2;
            break;
        case psDashDot:
            pattern = dashDot, count = 4;
            break;
        case psDashDotDot:
            pattern = dashDotDot, count = 6;
            break;
        default:
            break;
        }
        double scaled[6];
        for (int i = 0; i < count; ++i)
            scaled[i] = pattern[i] * w;
        cairo_set_dash(Cr, scaled, count, 0);
        return true;
    }

    // Offset that puts an odd-width stroke on pixel centres.
    double PenOffset() const {
        int w = Canvas.FPen.Data().Width < 1 ? 1 : Canvas.FPen.Data().Width;
        return (w & 1) ? 0.5 : 0.0;
    }

    // Fills the current path with the brush and strokes it with the pen.
    void FillAndStroke() {
        if (SetBrush()) {
            cairo_set_fill_rule(Cr, CAIRO_FILL_RULE_EVEN_ODD);
            cairo_fill_preserve(Cr);
        }
        if (SetPen())
            cairo_stroke_preserve(Cr);
        cairo_new_path(Cr);
    }

    // Narrows the clip to a figure given in device pixels, with the edges filling it would have.
    void ClipTo(const TClipFigure& f) {
        switch (f.Kind) {
        case TClipFigure::cfPolygon:
            if (f.Points.size() < 2) {
                cairo_rectangle(Cr, 0, 0, 0, 0);
                break;
            }
            cairo_move_to(Cr, f.Points[0].X + 0.5, f.Points[0].Y + 0.5);
            for (size_t i = 1; i < f.Points.size(); ++i)
                cairo_line_to(Cr, f.Points[i].X + 0.5, f.Points[i].Y + 0.5);
            cairo_close_path(Cr);
            cairo_set_fill_rule(Cr, CAIRO_FILL_RULE_EVEN_ODD);
            break;
        case TClipFigure::cfEllipse:
            EllipsePath(f.R.Left + 0.5, f.R.Top + 0.5, f.R.Right - 0.5, f.R.Bottom - 0.5);
            break;
        case TClipFigure::cfRoundRect:
            RoundRectPath(f.R.Left + 0.5, f.R.Top + 0.5, f.R.Right - 0.5, f.R.Bottom - 0.5, f.CornerWidth / 2.0,
                          f.CornerHeight / 2.0);
            break;
        }
        // An empty figure (no path) clips everything away.
        if (!cairo_has_current_point(Cr) && f.Kind != TClipFigure::cfPolygon)
            cairo_rectangle(Cr, 0, 0, 0, 0);
        cairo_clip(Cr);
        cairo_set_fill_rule(Cr, CAIRO_FILL_RULE_WINDING);
    }

    void EllipsePath(double l, double t, double r, double b) {
        double w = r - l, h = b - t;
        if (w <= 0 || h <= 0)
            return;
        cairo_save(Cr);
        cairo_translate(Cr, l + w / 2, t + h / 2);
        cairo_scale(Cr, w / 2, h / 2);
        cairo_arc(Cr, 0, 0, 1, 0, 2 * std::numbers::pi);
        cairo_restore(Cr);
    }

    void RoundRectPath(double l, double t, double r, double b, double rx, double ry) {
        rx = std::min(rx, (r - l) / 2);
        ry = std::min(ry, (b - t) / 2);
        if (rx <= 0 || ry <= 0) {
            cairo_rectangle(Cr, l, t, r - l, b - t);
            return;
        }
        auto corner = [&](double cx, double cy, double a0) {
            cairo_save(Cr);
            cairo_translate(Cr, cx, cy);
            cairo_scale(Cr, rx, ry);
            cairo_arc(Cr, 0, 0, 1, a0, a0 + std::numbers::pi / 2);
            cairo_restore(Cr);
        };
        cairo_new_sub_path(Cr);
        corner(r - rx, t + ry, -std::numbers::pi / 2);
        corner(r - rx, b - ry, 0);
        corner(l + rx, b - ry, std::numbers::pi / 2);
        corner(l + rx, t + ry, std::numbers::pi);
        cairo_close_path(Cr);
    }
};

TCanvas::TCanvas(TBitmap* target) : FTarget(target) {}
TCanvas::TCanvas() = default;
TCanvas::~TCanvas() = default;

void TCanvas::MoveTo(int x, int y) {
    FPenPos = Point(x, y);
}

void TCanvas::LineTo(int x, int y) {
    CanvasDraw d(*this);
    if (d.Cr && d.SetPen()) {
        double o = d.PenOffset();
        cairo_move_to(d.Cr, FPenPos.X + o, FPenPos.Y + o);
        cairo_line_to(d.Cr, x + o, y + o);
        cairo_stroke(d.Cr);
    }
    FPenPos = Point(x, y);
}

void TCanvas::Polyline(std::span<const TPoint> points) {
    CanvasDraw d(*this);
    if (d.Cr && points.size() >= 2 && d.SetPen()) {
        double o = d.PenOffset();
        cairo_move_to(d.Cr, points[0].X + o, points[0].Y + o);
        for (size_t i = 1; i < points.size(); ++i)
            cairo_line_to(d.Cr, points[i].X + o, points[i].Y + o);
        cairo_stroke(d.Cr);
    }
}

void TCanvas::Polygon(std::span<const TPoint> points) {
    CanvasDraw d(*this);
    if (!d.Cr || points.size() < 2)
        return;
    double o = d.PenOffset();
    cairo_move_to(d.Cr, points[0].X + o, points[0].Y + o);
    for (size_t i = 1; i < points.size(); ++i)
        cairo_line_to(d.Cr, points[i].X + o, points[i].Y + o);
    cairo_close_path(d.Cr);
    d.FillAndStroke();
}

void TCanvas::Rectangle(const TRect& r) {
    CanvasDraw d(*this);
    if (!d.Cr || r.IsEmpty())
        return;
    if (d.SetBrush()) {
        cairo_rectangle(d.Cr, r.Left, r.Top, r.Width(), r.Height());
        cairo_fill(d.Cr);
    }
    if (d.SetPen()) {
        double o = d.PenOffset();
        cairo_rectangle(d.Cr, r.Left + o, r.Top + o, r.Width() - 1, r.Height() - 1);
        cairo_stroke(d.Cr);
    }
}

void TCanvas::RoundRect(const TRect& r, int cornerWidth, int cornerHeight) {
    CanvasDraw d(*this);
    if (!d.Cr || r.IsEmpty())
        return;
    d.RoundRectPath(r.Left + 0.5, r.Top + 0.5, r.Right - 0.5, r.Bottom - 0.5, cornerWidth / 2.0, cornerHeight / 2.0);
    d.FillAndStroke();
}

void TCanvas::Ellipse(const TRect& r) {
    CanvasDraw d(*this);
    if (!d.Cr || r.IsEmpty())
        return;
    d.EllipsePath(r.Left + 0.5, r.Top + 0.5, r.Right - 0.5, r.Bottom - 0.5);
    d.FillAndStroke();
}

void TCanvas::FillRect(const TRect& r) {
    // A solid fill over the whole of a new bitmap is its first picture: the surface is made in
    // that colour at once instead of being cleared first and filled then.
    if (FTarget && FBrush.GetStyle() == bsSolid && !FHasClip && FClipFigures.empty() && FXForm == TXForm{} &&
        r.Left <= 0 && r.Top <= 0 && r.Right >= FTarget->GetWidth() && r.Bottom >= FTarget->GetHeight() &&
        TBitmapSurfaceAccess::CreateFilled(*FTarget, FBrush.GetColor()))
        return;
    if (FBrush.GetStyle() == bsSolid && FillPixels(*this, r, FBrush.GetColor()))
        return;
    if (BeyondTarget(*this, r))
        return;
    CanvasDraw d(*this);
    if (!d.Cr || r.IsEmpty() || !d.SetBrush())
        return;
    cairo_rectangle(d.Cr, r.Left, r.Top, r.Width(), r.Height());
    cairo_fill(d.Cr);
}

void TCanvas::FrameRect(const TRect& r) {
    CanvasDraw d(*this);
    if (!d.Cr || r.IsEmpty() || FBrush.GetStyle() == bsClear)
        return;
    SetColor(d.Cr, FBrush.GetColor());
    cairo_rectangle(d.Cr, r.Left, r.Top, r.Width(), r.Height());
    cairo_rectangle(d.Cr, r.Left + 1, r.Top + 1, r.Width() - 2, r.Height() - 2);
    cairo_set_fill_rule(d.Cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_fill(d.Cr);
}

void TCanvas::SetPixel(int x, int y, TColor color) {
    CanvasDraw d(*this);
    if (!d.Cr)
        return;
    SetColor(d.Cr, color);
    cairo_rectangle(d.Cr, x, y, 1, 1);
    cairo_fill(d.Cr);
}

TColor TCanvas::GetPixel(int x, int y) const {
    return FTarget ? FTarget->GetPixel(x, y) : clNone;
}

const TFontMeasure& TCanvas::Measure() const {
    if (!FMeasure || !(FMeasureFont == FFont.Data())) {
        FMeasure = std::make_unique<TFontMeasure>(FFont.Data());
        FMeasureFont = FFont.Data();
    }
    return *FMeasure;
}

TSize TCanvas::TextExtent(StringView text) const {
    return Measure().TextExtent(text);
}

TTextMetric TCanvas::GetTextMetrics() const {
    return Measure().TextMetric();
}

void TCanvas::SetBkMode(int mode) {
    FBkMode = mode == TRANSPARENT ? TRANSPARENT : OPAQUE;
}

void TCanvas::SetBkColor(TColor color) {
    FBkColor = color;
    FBkColorSet = true;
}

void TCanvas::TextOut(int x, int y, StringView text) {
    // The platform's TextOut: background from the brush, transparent for a clear brush.
    int saved = FBkMode;
    TColor savedColor = FBkColor;
    bool savedSet = FBkColorSet;
    FBkMode = FBrush.GetStyle() == bsClear ? TRANSPARENT : OPAQUE;
    FBkColor = FBrush.GetColor();
    FBkColorSet = true;
    ExtTextOut(x, y, 0, nullptr, text, {});
    FBkMode = saved;
    FBkColor = savedColor;
    FBkColorSet = savedSet;
    FPenPos = Point(x + TextWidth(text), y);
}

void TCanvas::ExtTextOut(int x, int y, int options, const TRect* rect, StringView text, std::span<const int> dx) {
    CanvasDraw d(*this);
    if (!d.Cr)
        return;
    const TFontMeasure& m = Measure();
    const TTextMetric& tm = m.TextMetric();
    TColor bk = FBkColorSet ? FBkColor : FBrush.GetColor();
    if (rect && (options & ETO_OPAQUE) && !rect->IsEmpty()) {
        SetColor(d.Cr, bk);
        cairo_rectangle(d.Cr, rect->Left, rect->Top, rect->Width(), rect->Height());
        cairo_fill(d.Cr);
    }
    if (rect && (options & ETO_CLIPPED)) {
        cairo_rectangle(d.Cr, rect->Left, rect->Top, rect->Width(), rect->Height());
        cairo_clip(d.Cr);
    }
    if (text.empty())
        return;
    std::vector<int> advances = m.CharAdvances(text);
    for (size_t i = 0; i < dx.size() && i < advances.size(); ++i)
        advances[i] = dx[i];
    const TFontFace& face = *m.Match().Face;
    std::vector<cairo_glyph_t> glyphs;
    glyphs.reserve(text.size());
    double pen = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char32_t c = CodePointAt(text, i);
        double advance = advances[i];
        if (c > 0xFFFF)
            advance += advances[++i];
        glyphs.push_back(cairo_glyph_t{face.GlyphIndex(c), pen, double(tm.tmAscent)});
        pen += advance;
    }
    cairo_translate(d.Cr, x, y);
    if (FFont.GetOrientation() != 0)
        cairo_rotate(d.Cr, -FFont.GetOrientation() * std::numbers::pi / 1800.0);
    if (FBkMode == OPAQUE) {
        SetColor(d.Cr, bk);
        cairo_rectangle(d.Cr, 0, 0, pen, tm.tmHeight);
        cairo_fill(d.Cr);
    }
    const TFontMatch& match = m.Match();
    cairo_set_font_face(d.Cr, face.GetNative().CairoFontFace(match.SimulatedBold, match.SimulatedItalic));
    cairo_set_font_size(d.Cr, m.EmHeight());
    cairo_font_options_t* fo = cairo_font_options_create();
    cairo_font_options_set_antialias(fo, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(fo, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(fo, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(d.Cr, fo);
    cairo_font_options_destroy(fo);
    SetColor(d.Cr, FFont.GetColor());
    cairo_show_glyphs(d.Cr, glyphs.data(), int(glyphs.size()));
    // Underline and strike-out bars from the face's own positions.
    const TOutlineMetrics& om = face.Metrics();
    auto bar = [&](int position, int thickness) {
        int t = std::max(1, ScaleFontUnits(thickness, m.EmHeight(), om.UnitsPerEm));
        int top = tm.tmAscent - ScaleFontUnits(position, m.EmHeight(), om.UnitsPerEm);
        cairo_rectangle(d.Cr, 0, top, pen, t);
        cairo_fill(d.Cr);
    };
    if (FFont.GetStyle().Contains(fsUnderline))
        bar(om.UnderlinePosition, om.UnderlineThickness);
    if (FFont.GetStyle().Contains(fsStrikeOut))
        bar(om.StrikeoutPosition + om.StrikeoutSize, om.StrikeoutSize);
}

void TCanvas::Draw(int x, int y, const TGraphic& graphic) {
    graphic.Draw(*this, Rect(x, y, x + graphic.GetWidth(), y + graphic.GetHeight()));
}

void TCanvas::StretchDraw(const TRect& rect, const TGraphic& graphic) {
    graphic.Draw(*this, rect);
}

void TCanvas::SetStretchFilter(TStretchFilter filter) {
    FStretchFilter = filter;
}

void TCanvas::DrawBitmap(const TRect& dest, const TBitmap& source, const TRect& sourceRect) {
    if (dest.Width() == 0 || dest.Height() == 0 || sourceRect.IsEmpty() || source.GetEmpty())
        return;
    if (CopyInBlocks(*this, dest, source, sourceRect))
        return;
    // An opaque picture stretched over the whole bitmap hides all of it: a fill still pending
    // there is never written (the parcel label's Aztec symbol, 45 modules onto 600 pixels).
    const std::optional<TRect> opaque = OpaqueStretchArea(*this, dest, source);
    if (opaque && CanvasDraw::StretchBySamples(*this, dest, source, sourceRect, *opaque))
        return;
    CanvasDraw d(*this, opaque);
    if (!d.Cr)
        return;
    cairo_surface_t* src = TBitmapSurfaceAccess::AlphaSurface(source);
    bool owned = src != nullptr;
    if (!src) {
        src = TBitmapSurfaceAccess::ForReading(source);
        if (&source == FTarget) { // drawing a bitmap onto itself: read from a copy
            cairo_surface_t* copy =
                cairo_image_surface_create(CAIRO_FORMAT_RGB24, source.GetWidth(), source.GetHeight());
            cairo_t* c = cairo_create(copy);
            cairo_set_source_surface(c, src, 0, 0);
            cairo_paint(c);
            cairo_destroy(c);
            src = copy;
            owned = true;
        }
    }
    d.PaintStretched(dest, src, sourceRect);
    if (owned)
        cairo_surface_destroy(src);
}

void TCanvas::IntersectClipRect(const TRect& r) {
    // The rectangle is given in logical units; its device bounds are kept.
    double xs[4] = {double(r.Left), double(r.Right), double(r.Left), double(r.Right)};
    double ys[4] = {double(r.Top), double(r.Top), double(r.Bottom), double(r.Bottom)};
    double minX = 1e18, minY = 1e18, maxX = -1e18, maxY = -1e18;
    for (int i = 0; i < 4; ++i) {
        double dx = FXForm.eM11 * xs[i] + FXForm.eM21 * ys[i] + FXForm.eDx;
        double dy = FXForm.eM12 * xs[i] + FXForm.eM22 * ys[i] + FXForm.eDy;
        minX = std::min(minX, dx), maxX = std::max(maxX, dx);
        minY = std::min(minY, dy), maxY = std::max(maxY, dy);
    }
    TRect device = Rect(int(std::lround(minX)), int(std::lround(minY)), int(std::lround(maxX)), int(std::lround(maxY)));
    FClip = FHasClip ? IntersectRect(FClip, device) : device;
    FHasClip = true;
}

void TCanvas::IntersectClipFigure(const TClipFigure& figure) {
    FClipFigures.push_back(figure);
}

int TCanvas::SaveState() {
    FSaved.push_back(State{FHasClip, FClip, FClipFigures, FXForm, FBkMode, FBkColor});
    return int(FSaved.size());
}

void TCanvas::RestoreState() {
    if (FSaved.empty())
        return;
    const State& s = FSaved.back();
    FHasClip = s.HasClip;
    FClip = s.Clip;
    FClipFigures = s.ClipFigures;
    FXForm = s.XForm;
    FBkMode = s.BkMode;
    FBkColor = s.BkColor;
    FSaved.pop_back();
}

void TCanvas::ResetClip() {
    FHasClip = false;
    FClipFigures.clear();
}

void TCanvas::SetWorldTransform(const TXForm& xform) {
    FXForm = xform;
}

void TCanvas::SetAntialias(bool on) {
    FAntialias = on;
}

} // namespace vgl
