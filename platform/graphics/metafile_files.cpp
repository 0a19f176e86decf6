#include "platform/graphics/metafile_files.h"

#include <cmath>
#include <cstring>

namespace vgl::graphics_detail {

bool IsEmfData(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 108 && bytes[0] == 1 && bytes[1] == 0 && bytes[2] == 0 && bytes[3] == 0 &&
           bytes[40] == 0x20 && bytes[41] == 0x45 && bytes[42] == 0x4D && bytes[43] == 0x46;
}

bool IsPlaceableWmfData(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 22 && bytes[0] == 0xD7 && bytes[1] == 0xCD && bytes[2] == 0xC6 && bytes[3] == 0x9A;
}

// ---- DIBs ----

std::unique_ptr<TBitmap> ReadDib(const ByteReader& r, std::size_t headerAt, std::size_t headerSize, std::size_t bitsAt,
                                 std::size_t bitsSize, std::size_t at) {
    if (headerSize < 40 || !r.Fits(headerAt, headerSize) || !r.Fits(bitsAt, bitsSize))
        BadData("A bitmap in a record does not fit the data", at);
    const std::uint32_t size = r.U32(headerAt);
    if (size < 40 || size > headerSize)
        return nullptr; // a core header or an unknown form
    const std::int32_t width = r.I32(headerAt + 4), rawHeight = r.I32(headerAt + 8);
    const int bits = r.U16(headerAt + 14);
    const std::uint32_t compression = r.U32(headerAt + 16);
    std::uint32_t used = r.U32(headerAt + 32);
    if (compression != 0 || (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32))
        return nullptr;
    if (width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN)
        BadData("A bitmap in a record has an invalid size", at);
    const int height = std::abs(rawHeight);
    try {
        CheckGraphicSize(width, height);
    } catch (const EInvalidGraphic&) {
        BadData("A bitmap in a record is too large", at);
    }
    std::vector<TColor> palette;
    if (bits <= 8) {
        const std::uint32_t max = 1u << bits;
        if (used == 0 || used > max)
            used = max;
        const std::size_t tableAt = headerAt + size;
        if (std::uint64_t(size) + std::uint64_t(used) * 4 > headerSize)
            BadData("A bitmap's colour table does not fit its record", at);
        for (std::uint32_t i = 0; i < used; ++i)
            palette.push_back(RGB(r.U8(tableAt + i * 4 + 2), r.U8(tableAt + i * 4 + 1), r.U8(tableAt + i * 4)));
        palette.resize(max, clBlack);
    }
    const std::uint64_t rowBytes = (std::uint64_t(width) * bits + 31) / 32 * 4;
    if (rowBytes * std::uint64_t(height) > bitsSize)
        BadData("A bitmap's pixels do not fit its record", at);
    const TPixelFormat format = bits == 1    ? pf1bit
                                : bits == 4  ? pf4bit
                                : bits == 8  ? pf8bit
                                : bits == 24 ? pf24bit
                                             : pf32bit;
    auto bitmap = std::make_unique<TBitmap>(width, height, format);
    if (!palette.empty())
        bitmap->SetPalette(palette);
    std::span<const std::uint8_t> pixels = r.Bytes(bitsAt, std::size_t(rowBytes) * height);
    for (int y = 0; y < height; ++y) {
        const int srcRow = rawHeight > 0 ? height - 1 - y : y; // bottom-up unless the height is negative
        std::memcpy(bitmap->ScanLine(y), pixels.data() + std::size_t(srcRow) * rowBytes, std::size_t(rowBytes));
    }
    return bitmap;
}

TDib WriteDib(const TBitmap& source, bool alpha) {
    TBitmap copy;
    copy.Assign(source);
    const int w = copy.GetWidth(), h = copy.GetHeight();
    TDib dib;
    ByteWriter head;
    head.U32(40);
    head.I32(w);
    head.I32(h);
    head.U16(1);
    head.U16(alpha ? 32 : 24);
    head.U32(0);
    head.U32(0);
    head.I32(3780); // 96 dpi in pixels per metre
    head.I32(3780);
    head.U32(0);
    head.U32(0);
    dib.Header = std::move(head.Data());
    if (alpha) {
        const bool keyed = !(copy.GetPixelFormat() == pf32bit && copy.GetAlphaFormat() != afIgnored);
        const TColor key = keyed && copy.GetTransparent() ? ColorToRGB(copy.GetTransparentColor()) : clNone;
        const bool straight = copy.GetPixelFormat() == pf32bit && copy.GetAlphaFormat() == afDefined;
        dib.Bits.resize(std::size_t(w) * h * 4);
        for (int y = 0; y < h; ++y) {
            std::uint8_t* dst = dib.Bits.data() + std::size_t(h - 1 - y) * w * 4;
            const std::uint8_t* row = keyed ? nullptr : copy.ScanLine(y);
            for (int x = 0; x < w; ++x) {
                std::uint8_t* px = dst + x * 4;
                if (keyed) {
                    const TColor c = copy.GetPixel(x, y);
                    const bool clear = c == key;
                    px[0] = clear ? 0 : std::uint8_t(GetBValue(c));
                    px[1] = clear ? 0 : std::uint8_t(GetGValue(c));
                    px[2] = clear ? 0 : std::uint8_t(GetRValue(c));
                    px[3] = clear ? 0 : 255;
                } else {
                    const std::uint8_t a = row[x * 4 + 3];
                    for (int k = 0; k < 3; ++k)
                        px[k] = straight ? std::uint8_t((row[x * 4 + k] * a + 127) / 255) : std::min(row[x * 4 + k], a);
                    px[3] = a;
                }
            }
        }
    } else {
        copy.SetPixelFormat(pf24bit);
        const std::size_t rowBytes = std::size_t(copy.RowBytes());
        dib.Bits.resize(rowBytes * h);
        for (int y = 0; y < h; ++y)
            std::memcpy(dib.Bits.data() + std::size_t(h - 1 - y) * rowBytes, copy.ScanLine(y), rowBytes);
    }
    return dib;
}

// ---- the play state ----

std::uint32_t PenStyleBits(TPenStyle s) {
    switch (s) {
    case psDash:
        return 1;
    case psDot:
        return 2;
    case psDashDot:
        return 3;
    case psDashDotDot:
        return 4;
    case psClear:
        return 5;
    case psInsideFrame:
        return 6;
    default:
        return 0;
    }
}

std::uint32_t PenCapJoinBits(const TPenData& pen) {
    return (pen.EndCap == pecSquare ? 0x100u
            : pen.EndCap == pecFlat ? 0x200u
                                    : 0u) |
           (pen.JoinStyle == pjsBevel   ? 0x1000u
            : pen.JoinStyle == pjsMiter ? 0x2000u
                                        : 0u);
}

TPenStyle PenStyleOf(std::uint32_t bits) {
    static const TPenStyle styles[] = {psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame};
    return (bits & 0xF) < 7 ? styles[bits & 0xF] : psSolid;
}

void SetPenCapJoin(TPenData& pen, std::uint32_t bits) {
    pen.EndCap = (bits & 0xF00) == 0x100 ? pecSquare : (bits & 0xF00) == 0x200 ? pecFlat : pecRound;
    pen.JoinStyle = (bits & 0xF000) == 0x1000 ? pjsBevel : (bits & 0xF000) == 0x2000 ? pjsMiter : pjsRound;
}

std::uint32_t BrushStyleBits(TBrushStyle style) {
    return style == bsSolid ? 0 : style == bsClear ? 1 : 2;
}

std::uint32_t BrushHatchBits(TBrushStyle style) {
    return style >= bsHorizontal ? std::uint32_t(style - bsHorizontal) : 0;
}

TBrushStyle BrushStyleOf(std::uint32_t style, std::uint32_t hatch) {
    return style == 1 ? bsClear : style == 2 && hatch <= 5 ? TBrushStyle(bsHorizontal + hatch) : bsSolid;
}

TFontStyles FontStylesOf(int weight, bool italic, bool underline, bool strikeOut) {
    TFontStyles style;
    if (weight >= 600)
        style.Include(fsBold);
    if (italic)
        style.Include(fsItalic);
    if (underline)
        style.Include(fsUnderline);
    if (strikeOut)
        style.Include(fsStrikeOut);
    return style;
}

TXForm TMetafileBuilder::Current() const {
    const TMapping& m = S.Map;
    double sx = 1, sy = 1;
    auto ratio = [](double a, double b) { return b == 0 ? 1.0 : a / b; };
    switch (m.MapMode) {
    case 2: // MM_LOMETRIC: 0.1 mm, y up
        sx = 0.1 * DevPerMmX, sy = -0.1 * DevPerMmY;
        break;
    case 3: // MM_HIMETRIC: 0.01 mm
        sx = 0.01 * DevPerMmX, sy = -0.01 * DevPerMmY;
        break;
    case 4: // MM_LOENGLISH: 0.01 inch
        sx = 0.254 * DevPerMmX, sy = -0.254 * DevPerMmY;
        break;
    case 5: // MM_HIENGLISH: 0.001 inch
        sx = 0.0254 * DevPerMmX, sy = -0.0254 * DevPerMmY;
        break;
    case 6: // MM_TWIPS
        sx = 25.4 / 1440 * DevPerMmX, sy = -25.4 / 1440 * DevPerMmY;
        break;
    case 7: { // MM_ISOTROPIC: the smaller scale on both axes
        sx = ratio(m.VpExtX, m.WinExtX), sy = ratio(m.VpExtY, m.WinExtY);
        const double s = std::min(std::fabs(sx), std::fabs(sy));
        sx = std::copysign(s, sx), sy = std::copysign(s, sy);
        break;
    }
    case 8: // MM_ANISOTROPIC
        sx = ratio(m.VpExtX, m.WinExtX), sy = ratio(m.VpExtY, m.WinExtY);
        break;
    default: // MM_TEXT
        break;
    }
    const TXForm page{sx, 0, 0, sy, m.VpOrgX - m.WinOrgX * sx, m.VpOrgY - m.WinOrgY * sy};
    return m.World.Then(page).Then(DeviceToPicture);
}

void TMetafileBuilder::Push(TMetafileRecord r, std::size_t at) {
    if (FOut.Records.size() >= MaxMetafileRecords)
        BadData("The metafile has too many records", at);
    FOut.Records.push_back(std::move(r));
}

namespace {

/// A transform a canvas can draw with: finite, not huge, invertible.
bool Usable(const TXForm& x) {
    for (double v : {x.eM11, x.eM12, x.eM21, x.eM22, x.eDx, x.eDy})
        if (!std::isfinite(v) || std::fabs(v) > 1e9)
            return false;
    return std::fabs(x.eM11 * x.eM22 - x.eM12 * x.eM21) > 1e-12;
}

} // namespace

TMetafileRecord TMetafileBuilder::Make(TMetafileRecordKind kind) const {
    TMetafileRecord r;
    r.Kind = kind;
    r.Pen = S.Pen;
    r.Brush = S.Brush;
    r.Font = S.Font;
    r.Font.Color = S.TextColor;
    r.BkMode = S.BkMode;
    r.BkColor = S.BkColor;
    r.BkColorSet = S.BkColorSet;
    r.Filter = S.Filter;
    return r;
}

TMetafileRecord& TMetafileBuilder::Emit(TMetafileRecordKind kind) {
    const TXForm current = Current();
    if (!Usable(current)) {
        // a mapping that collapses the drawing (an extent of 0, say) draws nothing
        FDiscard = Make(kind);
        return FDiscard;
    }
    if (!(current == S.Emitted)) {
        TMetafileRecord t = Make(mrSetWorldTransform);
        t.XForm = current;
        Push(std::move(t));
        S.Emitted = current;
    }
    Push(Make(kind));
    return FOut.Records.back();
}

void TMetafileBuilder::Plain(TMetafileRecordKind kind) {
    Push(Make(kind));
}

void TMetafileBuilder::Save(std::size_t at) {
    if (FSaved.size() >= std::size_t(MaxMetafileSaveDepth))
        BadData("Saved states nest too deep", at);
    Plain(mrSaveState);
    FSaved.push_back(S);
}

void TMetafileBuilder::Restore(int relative) {
    // negative: that many levels back; positive: back to that absolute level
    std::int64_t pops = relative < 0 ? -std::int64_t(relative) : std::int64_t(FSaved.size()) - relative + 1;
    if (pops <= 0 || pops > std::int64_t(FSaved.size()))
        return;
    for (; pops > 0; --pops) {
        S = FSaved.back();
        FSaved.pop_back();
        Plain(mrRestoreState);
    }
}

void TMetafileBuilder::AlignText(TMetafileRecord& r) const {
    const int align = S.TextAlign;
    const int horizontal = align & 6, vertical = align & 24; // TA_RIGHT 2, TA_CENTER 6; TA_BOTTOM 8, TA_BASELINE 24
    if (horizontal == 0 && vertical == 0)
        return;
    double dx = 0, dy = 0;
    try {
        TMetafile scratch;
        TMetafileCanvas measure(scratch);
        measure.Font().SetData(r.Font);
        if (horizontal) {
            long long width = 0;
            if (!r.Dx.empty())
                for (int d : r.Dx)
                    width += d;
            else
                width = measure.TextExtent(r.Text).cx;
            dx = horizontal == 6 ? -double(width) / 2 : -double(width);
        }
        if (vertical) {
            const TTextMetric m = measure.GetTextMetrics();
            dy = vertical == 24 ? -m.tmAscent : -m.tmHeight;
        }
    } catch (const Exception&) {
        return; // no font to measure with: left where the file put it
    }
    // along the baseline and down from it, turned by the escapement (counter-clockwise on the page)
    const double a = r.Font.Orientation * 3.14159265358979323846 / 1800;
    const double ox = dx * std::cos(a) + dy * std::sin(a), oy = -dx * std::sin(a) + dy * std::cos(a);
    auto coord = [](double v) {
        return int(std::clamp<double>(std::round(v), -double(MaxMetafileCoord), double(MaxMetafileCoord)));
    };
    r.A = coord(r.A + ox);
    r.B = coord(r.B + oy);
}

std::vector<TPoint> TMetafileBuilder::FlattenBezier(std::span<const TPoint> p) {
    std::vector<TPoint> out;
    if (p.empty())
        return out;
    out.push_back(p[0]);
    constexpr int Steps = 16;
    for (std::size_t i = 1; i + 2 < p.size(); i += 3) {
        const TPoint a = p[i - 1], b = p[i], c = p[i + 1], d = p[i + 2];
        for (int s = 1; s <= Steps; ++s) {
            const double t = double(s) / Steps, u = 1 - t;
            const double x = u * u * u * a.X + 3 * u * u * t * b.X + 3 * u * t * t * c.X + t * t * t * d.X;
            const double y = u * u * u * a.Y + 3 * u * u * t * b.Y + 3 * u * t * t * c.Y + t * t * t * d.Y;
            out.push_back(Point(int(std::lround(x)), int(std::lround(y))));
        }
    }
    return out;
}

void TMetafileBuilder::SetBkMode(std::uint32_t mode) {
    S.BkMode = mode == TRANSPARENT ? TRANSPARENT : OPAQUE;
}

void TMetafileBuilder::SetBkColor(std::uint32_t colorref) {
    S.BkColor = FromColorref(colorref);
    S.BkColorSet = true;
}

void TMetafileBuilder::SetTextColor(std::uint32_t colorref) {
    S.TextColor = FromColorref(colorref);
}

void TMetafileBuilder::SetStretchMode(std::uint32_t mode) {
    S.Filter = mode == StretchHalftone ? sfSmooth : sfNearest;
}

void TMetafileBuilder::SetTextAlign(std::uint32_t align) {
    S.TextAlign = int(align & 30);
}

void TMetafileBuilder::RoundRect(const TRect& box, int cornerWidth, int cornerHeight) {
    TMetafileRecord& r = Emit(mrRoundRect);
    r.R = box;
    r.A = cornerWidth;
    r.B = cornerHeight;
}

void TMetafileBuilder::SetPixel(int x, int y, std::uint32_t colorref) {
    TMetafileRecord& r = Emit(mrSetPixel);
    r.A = x;
    r.B = y;
    r.Color = FromColorref(colorref);
}

void TMetafileBuilder::Select(const TMetafileObject& o) {
    if (o.Kind == TMetafileObject::Pen)
        S.Pen = o.PenData;
    else if (o.Kind == TMetafileObject::Brush)
        S.Brush = o.BrushData;
    else if (o.Kind == TMetafileObject::Font)
        S.Font = o.FontData;
}

void TMetafileBuilder::LineTo(TPoint to) {
    TMetafileRecord& r = Emit(mrLineTo);
    r.From = S.Pos;
    r.Points = {to};
    S.Pos = to;
}

void TMetafileBuilder::DrawBitmap(const TRect& dest, const TRect& source, std::unique_ptr<TBitmap> bitmap) {
    TMetafileRecord& r = Emit(mrDrawBitmap);
    r.R = dest;
    r.SourceRect = source;
    r.Bitmap = std::shared_ptr<const TBitmap>(std::move(bitmap));
}

void TMetafileBuilder::PolyPolygon(const std::vector<std::vector<TPoint>>& polygons) {
    if (polygons.empty() || polygons.front().empty())
        return;
    if (polygons.size() == 1) {
        Emit(mrPolygon).Points = polygons[0];
        return;
    }
    // One figure visiting every polygon and coming back along the same edge fills as the
    // polygons together do under the alternate rule; the outlines are drawn on their own.
    if (S.Brush.Style != bsClear) {
        std::vector<TPoint> all;
        const TPoint home = polygons.front().front();
        for (const auto& p : polygons) {
            all.insert(all.end(), p.begin(), p.end());
            all.push_back(p.front());
            all.push_back(home);
        }
        TMetafileRecord& r = Emit(mrPolygon);
        r.Points = std::move(all);
        r.Pen.Style = psClear;
    }
    if (S.Pen.Style != psClear)
        for (const auto& p : polygons) {
            std::vector<TPoint> closed = p;
            closed.push_back(p.front());
            Emit(mrPolyline).Points = std::move(closed);
        }
}

} // namespace vgl::graphics_detail
