// The enhanced metafile form of TMetafile: writing every record kind, and reading what the writer
// emits and what common producers add.

#include <algorithm>
#include <cmath>

#include "platform/graphics/metafile_files.h"

namespace vgl::graphics_detail {

namespace {

enum : std::uint32_t {
    EMR_HEADER = 1,
    EMR_POLYBEZIER = 2,
    EMR_POLYGON = 3,
    EMR_POLYLINE = 4,
    EMR_POLYBEZIERTO = 5,
    EMR_POLYLINETO = 6,
    EMR_POLYPOLYLINE = 7,
    EMR_POLYPOLYGON = 8,
    EMR_SETWINDOWEXTEX = 9,
    EMR_SETWINDOWORGEX = 10,
    EMR_SETVIEWPORTEXTEX = 11,
    EMR_SETVIEWPORTORGEX = 12,
    EMR_EOF = 14,
    EMR_SETPIXELV = 15,
    EMR_SETMAPMODE = 17,
    EMR_SETBKMODE = 18,
    EMR_SETSTRETCHBLTMODE = 21,
    EMR_SETTEXTALIGN = 22,
    EMR_SETTEXTCOLOR = 24,
    EMR_SETBKCOLOR = 25,
    EMR_MOVETOEX = 27,
    EMR_INTERSECTCLIPRECT = 30,
    EMR_SAVEDC = 33,
    EMR_RESTOREDC = 34,
    EMR_SETWORLDTRANSFORM = 35,
    EMR_MODIFYWORLDTRANSFORM = 36,
    EMR_SELECTOBJECT = 37,
    EMR_CREATEPEN = 38,
    EMR_CREATEBRUSHINDIRECT = 39,
    EMR_DELETEOBJECT = 40,
    EMR_ELLIPSE = 42,
    EMR_RECTANGLE = 43,
    EMR_ROUNDRECT = 44,
    EMR_LINETO = 54,
    EMR_EXTSELECTCLIPRGN = 75,
    EMR_BITBLT = 76,
    EMR_STRETCHBLT = 77,
    EMR_STRETCHDIBITS = 81,
    EMR_EXTCREATEFONTINDIRECTW = 82,
    EMR_EXTTEXTOUTA = 83,
    EMR_EXTTEXTOUTW = 84,
    EMR_POLYBEZIER16 = 85,
    EMR_POLYGON16 = 86,
    EMR_POLYLINE16 = 87,
    EMR_POLYBEZIERTO16 = 88,
    EMR_POLYLINETO16 = 89,
    EMR_POLYPOLYLINE16 = 90,
    EMR_POLYPOLYGON16 = 91,
    EMR_EXTCREATEPEN = 95,
    EMR_ALPHABLEND = 114,
};

constexpr std::uint32_t BLACKNESS = 0x00000042, WHITENESS = 0x00FF0062;
constexpr std::uint32_t PS_GEOMETRIC = 0x00010000;
constexpr std::size_t HeaderSize = 108;
/// The reference device: 96 pixels per inch (960 pixels in 254 mm).
constexpr int RefDevicePixels = 960, RefDeviceMm = 254;
/// Handle table: 0 is the metafile; pens, brushes and fonts alternate between two slots each.
constexpr std::uint32_t PenSlots[2] = {1, 2}, BrushSlots[2] = {3, 4}, FontSlots[2] = {5, 6}, HandleCount = 7;

class EmfWriter {
public:
    explicit EmfWriter(const TMetafile& mf) : FMf(mf) {}

    std::vector<std::uint8_t> Write() {
        const int w = FMf.GetWidth(), h = FMf.GetHeight();
        W.Zeros(HeaderSize);
        ++FRecords;
        for (const TMetafileRecord& r : FMf.Records())
            Record(r);
        const std::size_t eof = Begin(EMR_EOF);
        W.U32(0);
        W.U32(16);
        W.U32(20);
        End(eof);

        std::vector<std::uint8_t>& d = W.Data();
        ByteWriter h0;
        h0.U32(EMR_HEADER);
        h0.U32(HeaderSize);
        h0.I32(0); // bounds, inclusive device pixels
        h0.I32(0);
        h0.I32(std::max(w - 1, 0));
        h0.I32(std::max(h - 1, 0));
        h0.I32(0); // frame, inclusive 0.01 mm
        h0.I32(0);
        h0.I32(std::max(int(std::lround(w * 2540.0 / 96)) - 1, 0));
        h0.I32(std::max(int(std::lround(h * 2540.0 / 96)) - 1, 0));
        h0.U32(0x464D4520); // " EMF"
        h0.U32(0x00010000);
        h0.U32(std::uint32_t(d.size()));
        h0.U32(FRecords);
        h0.U16(HandleCount);
        h0.U16(0);
        h0.U32(0); // no description
        h0.U32(0);
        h0.U32(0); // no palette
        h0.I32(RefDevicePixels);
        h0.I32(RefDevicePixels);
        h0.I32(RefDeviceMm);
        h0.I32(RefDeviceMm);
        h0.U32(0); // no pixel format
        h0.U32(0);
        h0.U32(0); // no OpenGL
        h0.I32(RefDeviceMm * 1000);
        h0.I32(RefDeviceMm * 1000);
        std::copy(h0.Data().begin(), h0.Data().end(), d.begin());
        return std::move(d);
    }

private:
    std::size_t Begin(std::uint32_t type) {
        const std::size_t at = W.Size();
        W.U32(type);
        W.U32(0);
        ++FRecords;
        return at;
    }
    void End(std::size_t at) {
        while (W.Size() % 4)
            W.U8(0);
        W.PatchU32(at + 4, std::uint32_t(W.Size() - at));
    }
    void Simple(std::uint32_t type, std::initializer_list<std::uint32_t> values) {
        const std::size_t at = Begin(type);
        for (std::uint32_t v : values)
            W.U32(v);
        End(at);
    }
    void Rect(const TRect& r) {
        W.I32(r.Left);
        W.I32(r.Top);
        W.I32(r.Right);
        W.I32(r.Bottom);
    }
    void Bounds(std::span<const TPoint> points) {
        if (points.empty())
            return Rect(TRect{0, 0, -1, -1});
        TRect b{points[0].X, points[0].Y, points[0].X, points[0].Y};
        for (const TPoint& p : points)
            b = TRect{std::min(b.Left, p.X), std::min(b.Top, p.Y), std::max(b.Right, p.X), std::max(b.Bottom, p.Y)};
        Rect(b);
    }

    void SelectPen(const TPenData& pen) {
        if (FHasPen && FPen == pen)
            return;
        const std::uint32_t slot = PenSlots[FPenSlot ^= 1];
        std::size_t at;
        if (pen.EndCap == pecRound && pen.JoinStyle == pjsRound) {
            at = Begin(EMR_CREATEPEN);
            W.U32(slot);
            W.U32(PenStyleBits(pen.Style));
            W.I32(pen.Width);
            W.I32(0);
            W.U32(Colorref(pen.Color));
        } else {
            at = Begin(EMR_EXTCREATEPEN);
            W.U32(slot);
            W.U32(52);
            W.U32(0);
            W.U32(52);
            W.U32(0);
            W.U32(PS_GEOMETRIC | PenStyleBits(pen.Style) | PenCapJoinBits(pen));
            W.U32(std::uint32_t(std::max(pen.Width, 1)));
            W.U32(0); // BS_SOLID
            W.U32(Colorref(pen.Color));
            W.U32(0);
            W.U32(0);
        }
        End(at);
        Simple(EMR_SELECTOBJECT, {slot});
        if (FHasPen)
            Simple(EMR_DELETEOBJECT, {PenSlots[FPenSlot ^ 1]});
        FHasPen = true;
        FPen = pen;
    }
    void SelectBrush(const TBrushData& brush) {
        if (FHasBrush && FBrush == brush)
            return;
        const std::uint32_t slot = BrushSlots[FBrushSlot ^= 1];
        Simple(EMR_CREATEBRUSHINDIRECT,
               {slot, BrushStyleBits(brush.Style), Colorref(brush.Color), BrushHatchBits(brush.Style)});
        Simple(EMR_SELECTOBJECT, {slot});
        if (FHasBrush)
            Simple(EMR_DELETEOBJECT, {BrushSlots[FBrushSlot ^ 1]});
        FHasBrush = true;
        FBrush = brush;
    }
    void SelectFont(const TFontData& font) {
        TFontData key = font;
        key.Color = clBlack; // the text colour is a record of its own
        key.PixelsPerInch = 96;
        if (FHasFont && FFont == key)
            return;
        const std::uint32_t slot = FontSlots[FFontSlot ^= 1];
        const std::size_t at = Begin(EMR_EXTCREATEFONTINDIRECTW);
        W.U32(slot);
        W.I32(font.Height);
        W.I32(0);
        W.I32(font.Orientation);
        W.I32(font.Orientation);
        W.I32(FontWeight(font));
        W.U8(font.Style.Contains(fsItalic));
        W.U8(font.Style.Contains(fsUnderline));
        W.U8(font.Style.Contains(fsStrikeOut));
        W.U8(font.Charset);
        W.Zeros(4);
        for (std::size_t i = 0; i < 32; ++i)
            W.U16(i < 31 && i < font.Name.size() ? std::uint16_t(font.Name[i]) : 0);
        W.Zeros(320 - 92); // the rest of the extended logical font: full name, style, version and panose unset
        End(at);
        Simple(EMR_SELECTOBJECT, {slot});
        if (FHasFont)
            Simple(EMR_DELETEOBJECT, {FontSlots[FFontSlot ^ 1]});
        FHasFont = true;
        FFont = key;
    }
    void Background(const TMetafileRecord& r) {
        if (r.BkMode != FBkMode) {
            Simple(EMR_SETBKMODE, {std::uint32_t(r.BkMode)});
            FBkMode = r.BkMode;
        }
        if (r.BkColorSet && (!FBkColorSet || r.BkColor != FBkColor)) {
            Simple(EMR_SETBKCOLOR, {Colorref(r.BkColor)});
            FBkColorSet = true;
            FBkColor = r.BkColor;
        }
    }

    void Points(std::uint32_t type, std::span<const TPoint> points) {
        const std::size_t at = Begin(type);
        Bounds(points);
        W.U32(std::uint32_t(points.size()));
        for (const TPoint& p : points) {
            W.I32(p.X);
            W.I32(p.Y);
        }
        End(at);
    }

    void Record(const TMetafileRecord& r) {
        const bool box = IsBoxRecord(r.Kind);
        if (box && r.R.IsEmpty())
            return;
        switch (r.Kind) {
        case mrLineTo:
            SelectPen(r.Pen);
            Background(r);
            Simple(EMR_MOVETOEX, {std::uint32_t(r.From.X), std::uint32_t(r.From.Y)});
            Simple(EMR_LINETO, {std::uint32_t(r.Points.at(0).X), std::uint32_t(r.Points.at(0).Y)});
            break;
        case mrPolyline:
        case mrPolygon:
            SelectPen(r.Pen);
            if (r.Kind == mrPolygon)
                SelectBrush(r.Brush);
            Background(r);
            Points(r.Kind == mrPolygon ? EMR_POLYGON : EMR_POLYLINE, r.Points);
            break;
        case mrRectangle:
        case mrEllipse:
        case mrRoundRect: {
            SelectPen(r.Pen);
            SelectBrush(r.Brush);
            Background(r);
            const std::size_t at = Begin(r.Kind == mrRectangle ? EMR_RECTANGLE
                                         : r.Kind == mrEllipse ? EMR_ELLIPSE
                                                               : EMR_ROUNDRECT);
            Rect(r.R);
            if (r.Kind == mrRoundRect) {
                W.I32(r.A);
                W.I32(r.B);
            }
            End(at);
            break;
        }
        case mrFillRect: { // a rectangle of the brush without an outline
            SelectPen(NoPen());
            SelectBrush(r.Brush);
            Background(r);
            const std::size_t at = Begin(EMR_RECTANGLE);
            Rect(r.R);
            End(at);
            break;
        }
        case mrFrameRect: { // a one-pixel outline in the brush colour, nothing inside
            if (r.Brush.Style == bsClear)
                break;
            SelectPen(FramePen(r.Brush));
            SelectBrush(NoBrush());
            Background(r);
            const std::size_t at = Begin(EMR_RECTANGLE);
            Rect(r.R);
            End(at);
            break;
        }
        case mrSetPixel:
            Simple(EMR_SETPIXELV, {std::uint32_t(r.A), std::uint32_t(r.B), Colorref(r.Color)});
            break;
        case mrExtTextOut: {
            SelectFont(r.Font);
            Background(r);
            if (!FHasTextColor || r.Font.Color != FTextColor) {
                Simple(EMR_SETTEXTCOLOR, {Colorref(r.Font.Color)});
                FHasTextColor = true;
                FTextColor = r.Font.Color;
            }
            const std::size_t at = Begin(EMR_EXTTEXTOUTW);
            Rect(TRect{0, 0, -1, -1});
            W.U32(1); // GM_COMPATIBLE
            W.F32(0);
            W.F32(0);
            W.I32(r.A);
            W.I32(r.B);
            const std::size_t n = r.Text.size();
            W.U32(std::uint32_t(n));
            const std::uint32_t offString = 76;
            const std::uint32_t offDx = r.Dx.empty() ? 0 : std::uint32_t(offString + (n * 2 + 3) / 4 * 4);
            W.U32(offString);
            W.U32(std::uint32_t(r.Options));
            Rect(r.HasRect ? r.R : TRect{0, 0, -1, -1});
            W.U32(offDx);
            for (char16_t c : r.Text)
                W.U16(std::uint16_t(c));
            while ((W.Size() - at) % 4)
                W.U8(0);
            if (!r.Dx.empty())
                for (std::size_t i = 0; i < n; ++i)
                    W.I32(i < r.Dx.size() ? r.Dx[i] : 0);
            End(at);
            break;
        }
        case mrDrawBitmap: {
            if (!r.Bitmap || r.Bitmap->GetEmpty())
                break;
            const TBitmap& b = *r.Bitmap;
            const int filter = StretchModeOf(r.Filter);
            if (filter != FStretch) {
                Simple(EMR_SETSTRETCHBLTMODE, {std::uint32_t(filter)});
                FStretch = filter;
            }
            const bool alpha = (b.GetPixelFormat() == pf32bit && b.GetAlphaFormat() != afIgnored) || b.GetTransparent();
            const TDib dib = WriteDib(b, alpha);
            const TRect& d = r.R;
            const TRect& s = r.SourceRect;
            std::size_t at;
            std::uint32_t headerEnd;
            if (alpha) {
                at = Begin(EMR_ALPHABLEND);
                Rect(d);
                W.I32(d.Left);
                W.I32(d.Top);
                W.I32(d.Width());
                W.I32(d.Height());
                W.U32(0x01FF0000); // AC_SRC_OVER, constant alpha 255, AC_SRC_ALPHA
                W.I32(s.Left);
                W.I32(s.Top);
                W.F32(1), W.F32(0), W.F32(0), W.F32(1), W.F32(0), W.F32(0);
                W.U32(0);
                W.U32(0); // DIB_RGB_COLORS
                headerEnd = 108;
                W.U32(headerEnd);
                W.U32(std::uint32_t(dib.Header.size()));
                W.U32(headerEnd + std::uint32_t(dib.Header.size()));
                W.U32(std::uint32_t(dib.Bits.size()));
                W.I32(s.Width());
                W.I32(s.Height());
            } else {
                at = Begin(EMR_STRETCHDIBITS);
                Rect(d);
                W.I32(d.Left);
                W.I32(d.Top);
                W.I32(s.Left);
                W.I32(b.GetHeight() - s.Bottom); // measured from the bottom of a bottom-up DIB
                W.I32(s.Width());
                W.I32(s.Height());
                headerEnd = 80;
                W.U32(headerEnd);
                W.U32(std::uint32_t(dib.Header.size()));
                W.U32(headerEnd + std::uint32_t(dib.Header.size()));
                W.U32(std::uint32_t(dib.Bits.size()));
                W.U32(0); // DIB_RGB_COLORS
                W.U32(SRCCOPY);
                W.I32(d.Width());
                W.I32(d.Height());
            }
            W.Bytes(dib.Header);
            W.Bytes(dib.Bits);
            End(at);
            break;
        }
        case mrIntersectClipRect: {
            const std::size_t at = Begin(EMR_INTERSECTCLIPRECT);
            Rect(r.R);
            End(at);
            break;
        }
        case mrSaveState:
            Simple(EMR_SAVEDC, {});
            break;
        case mrRestoreState:
            Simple(EMR_RESTOREDC, {std::uint32_t(-1)});
            // the player restores the objects and modes of the save: choose them again when needed
            FHasPen = FHasBrush = FHasFont = FHasTextColor = FBkColorSet = false;
            FBkMode = -1;
            FStretch = 0;
            break;
        case mrResetClip:
            Simple(EMR_EXTSELECTCLIPRGN, {0, 5}); // RGN_COPY without a region: no clip
            break;
        case mrSetWorldTransform: {
            const std::size_t at = Begin(EMR_SETWORLDTRANSFORM);
            for (double v : {r.XForm.eM11, r.XForm.eM12, r.XForm.eM21, r.XForm.eM22, r.XForm.eDx, r.XForm.eDy})
                W.F32(float(v));
            End(at);
            break;
        }
        }
    }

    const TMetafile& FMf;
    ByteWriter W;
    std::uint32_t FRecords = 0;
    bool FHasPen = false, FHasBrush = false, FHasFont = false, FHasTextColor = false, FBkColorSet = false;
    unsigned FPenSlot = 1, FBrushSlot = 1, FFontSlot = 1;
    TPenData FPen;
    TBrushData FBrush;
    TFontData FFont;
    TColor FTextColor = clBlack, FBkColor = clWhite;
    int FBkMode = OPAQUE;
    int FStretch = 0;
};

// ---- reading ----

class EmfReader : TMetafileReaderBase {
public:
    EmfReader(std::span<const std::uint8_t> bytes, TMetafileContent& out)
        : TMetafileReaderBase(bytes, out), FBytes(bytes) {}

    void Read() {
        if (!IsEmfData(FBytes))
            BadData("The data is not an enhanced metafile", 0);
        const std::uint32_t headerSize = R.U32(4);
        if (headerSize < 88 || !R.Fits(0, headerSize))
            BadData("The metafile header is invalid", 0);
        const std::int32_t fl = R.I32(24), ft = R.I32(28), fr = R.I32(32), fb = R.I32(36);
        const std::int32_t devX = R.I32(72), devY = R.I32(76), mmX = R.I32(80), mmY = R.I32(84);
        if (devX <= 0 || devY <= 0 || mmX <= 0 || mmY <= 0)
            BadData("The metafile's reference device is invalid", 0);
        double umX = mmX * 1000.0, umY = mmY * 1000.0;
        if (headerSize >= 108 && R.I32(100) > 0 && R.I32(104) > 0)
            umX = R.I32(100), umY = R.I32(104);
        const double w = (double(fr) - fl + 1) * 96 / 2540, h = (double(fb) - ft + 1) * 96 / 2540;
        if (!(w >= 0 && h >= 0 && w <= MaxGraphicSide + 1 && h <= MaxGraphicSide + 1))
            BadData("The metafile's frame is invalid", 24);
        FOut.Width = int(std::lround(w));
        FOut.Height = int(std::lround(h));
        CheckGraphicSize(FOut.Width, FOut.Height);
        // device pixel → 0.01 mm → picture pixel at 96 dpi, less the frame's origin
        const double sx = umX / 10.0 / devX * 96 / 2540, sy = umY / 10.0 / devY * 96 / 2540;
        B.DeviceToPicture = TXForm{sx, 0, 0, sy, -fl * 96.0 / 2540, -ft * 96.0 / 2540};
        B.DevPerMmX = devX / (umX / 1000), B.DevPerMmY = devY / (umY / 1000);
        FObjects.resize(R.U16(56));

        std::size_t at = headerSize;
        while (at < R.Size()) {
            R.Need(at, 8, "A record header does not fit the data");
            const std::uint32_t type = R.U32(at), size = R.U32(at + 4);
            if (size < 8 || !R.Fits(at, size))
                BadData(size < 8 ? "A record has a size below 8" : "A record reaches past the end of the data", at);
            if (type == EMR_EOF)
                break;
            FAt = at;
            FEnd = at + size;
            Record(type);
            at += size;
        }
    }

private:
    std::uint32_t U32(std::size_t off) const { return Field(off, 4), R.U32(FAt + off); }
    std::int32_t I32(std::size_t off) const { return Field(off, 4), R.I32(FAt + off); }
    std::int16_t I16(std::size_t off) const { return Field(off, 2), R.I16(FAt + off); }
    float F32(std::size_t off) const { return Field(off, 4), R.F32(FAt + off); }
    /// A field must lie inside its record.
    void Field(std::size_t off, std::size_t n) const {
        if (FAt + off + n > FEnd)
            BadData("A record is too short for its fields", FAt);
    }
    /// A coordinate of the file, kept within what a canvas computes with (far beyond any page).
    static int C(std::int64_t v) { return int(std::clamp<std::int64_t>(v, -MaxMetafileCoord, MaxMetafileCoord)); }
    int X32(std::size_t off) const { return C(I32(off)); }
    TRect RectAt(std::size_t off) const { return TRect{X32(off), X32(off + 4), X32(off + 8), X32(off + 12)}; }
    /// A shape's box with its corners in order: the platform draws a box given either way round
    /// (as a y-up mapping mode gives it).
    TRect BoxAt(std::size_t off) const { return Ordered(RectAt(off)); }
    /// `count` points from `off`, 16 or 32 bits a coordinate, checked against the record.
    std::vector<TPoint> PointsAt(std::size_t off, std::uint64_t count, bool small) const {
        const std::uint64_t bytes = count * (small ? 4 : 8);
        if (FAt + off + bytes > FEnd)
            BadData("A record's points reach past its end", FAt);
        std::vector<TPoint> pts;
        pts.reserve(std::size_t(count));
        for (std::uint64_t i = 0; i < count; ++i) {
            const std::size_t p = off + std::size_t(i) * (small ? 4 : 8);
            pts.push_back(small ? Point(I16(p), I16(p + 2)) : Point(X32(p), X32(p + 4)));
        }
        return pts;
    }
    TMetafileObject& Object(std::uint32_t index) {
        if (index == 0 || index >= FObjects.size())
            BadData("An object index lies outside the handle table", FAt);
        return FObjects[index];
    }
    bool Finite(const TXForm& x) {
        for (double v : {x.eM11, x.eM12, x.eM21, x.eM22, x.eDx, x.eDy})
            if (!std::isfinite(v) || std::fabs(v) > 1e9)
                return false;
        return std::fabs(x.eM11 * x.eM22 - x.eM12 * x.eM21) > 1e-12;
    }
    TXForm XFormAt(std::size_t off) {
        return TXForm{F32(off), F32(off + 4), F32(off + 8), F32(off + 12), F32(off + 16), F32(off + 20)};
    }

    void Stock(std::uint32_t index) {
        auto& s = B.S;
        switch (index & 0x7FFFFFFF) {
        case 0: // WHITE_BRUSH, LTGRAY, GRAY, DKGRAY, BLACK
        case 1:
        case 2:
        case 3:
        case 4: {
            static const TColor greys[] = {clWhite, RGB(192, 192, 192), RGB(128, 128, 128), RGB(64, 64, 64), clBlack};
            s.Brush = TBrushData{greys[index & 0x7FFFFFFF], bsSolid};
            break;
        }
        case 5: // NULL_BRUSH
            s.Brush.Style = bsClear;
            break;
        case 6: // WHITE_PEN
        case 7: // BLACK_PEN
            s.Pen = TPenData{};
            s.Pen.Color = (index & 0x7FFFFFFF) == 6 ? clWhite : clBlack;
            break;
        case 8: // NULL_PEN
            s.Pen.Style = psClear;
            break;
        default: // fonts and palettes
            break;
        }
    }

    void Record(std::uint32_t type) {
        auto& s = B.S;
        switch (type) {
        case EMR_SETWINDOWEXTEX:
            s.Map.WinExtX = I32(8), s.Map.WinExtY = I32(12);
            break;
        case EMR_SETWINDOWORGEX:
            s.Map.WinOrgX = I32(8), s.Map.WinOrgY = I32(12);
            break;
        case EMR_SETVIEWPORTEXTEX:
            s.Map.VpExtX = I32(8), s.Map.VpExtY = I32(12);
            break;
        case EMR_SETVIEWPORTORGEX:
            s.Map.VpOrgX = I32(8), s.Map.VpOrgY = I32(12);
            break;
        case EMR_SETMAPMODE:
            s.Map.MapMode = int(U32(8));
            break;
        case EMR_SETBKMODE:
            B.SetBkMode(U32(8));
            break;
        case EMR_SETBKCOLOR:
            B.SetBkColor(U32(8));
            break;
        case EMR_SETTEXTCOLOR:
            B.SetTextColor(U32(8));
            break;
        case EMR_SETSTRETCHBLTMODE:
            B.SetStretchMode(U32(8));
            break;
        case EMR_SETTEXTALIGN:
            B.SetTextAlign(U32(8));
            break;
        case EMR_SETWORLDTRANSFORM: {
            const TXForm x = XFormAt(8);
            if (Finite(x))
                s.Map.World = x;
            break;
        }
        case EMR_MODIFYWORLDTRANSFORM: {
            const TXForm x = XFormAt(8);
            const std::uint32_t mode = U32(32);
            if (mode == 1)
                s.Map.World = TXForm{};
            else if (Finite(x) && (mode == 2 || mode == 3)) {
                const TXForm next = mode == 2 ? x.Then(s.Map.World) : s.Map.World.Then(x);
                if (Finite(next))
                    s.Map.World = next;
            }
            break;
        }
        case EMR_CREATEPEN: {
            TMetafileObject& o = Object(U32(8));
            o = TMetafileObject{};
            o.Kind = TMetafileObject::Pen;
            o.PenData.Style = PenStyleOf(U32(12));
            o.PenData.Width = std::clamp(I32(16), 0, 10000);
            o.PenData.Color = FromColorref(U32(24));
            break;
        }
        case EMR_EXTCREATEPEN: {
            TMetafileObject& o = Object(U32(8));
            o = TMetafileObject{};
            o.Kind = TMetafileObject::Pen;
            const std::uint32_t style = U32(28);
            o.PenData.Style = U32(36) == 1 ? psClear : PenStyleOf(style); // a null-brush pen draws nothing
            o.PenData.Width = int(std::min<std::uint32_t>(U32(32), 10000));
            o.PenData.Color = FromColorref(U32(40));
            SetPenCapJoin(o.PenData, style);
            break;
        }
        case EMR_CREATEBRUSHINDIRECT: {
            TMetafileObject& o = Object(U32(8));
            o = TMetafileObject{};
            o.Kind = TMetafileObject::Brush;
            o.BrushData.Color = FromColorref(U32(16));
            o.BrushData.Style = BrushStyleOf(U32(12), U32(20));
            break;
        }
        case EMR_EXTCREATEFONTINDIRECTW: {
            TMetafileObject& o = Object(U32(8));
            o = TMetafileObject{};
            o.Kind = TMetafileObject::Font;
            TFontData& f = o.FontData;
            f.Height = std::clamp(I32(12), -10000, 10000);
            f.Orientation = I32(20) % 3600;
            const int weight = I32(28);
            Field(32, 4);
            f.Style = FontStylesOf(weight, R.U8(FAt + 32), R.U8(FAt + 33), R.U8(FAt + 34));
            f.Charset = R.U8(FAt + 35);
            f.Name.clear();
            for (std::size_t i = 0; i < 32; ++i) {
                const std::uint16_t c = std::uint16_t(U32Half(40 + i * 2));
                if (c == 0)
                    break;
                f.Name.push_back(char16_t(c));
            }
            break;
        }
        case EMR_SELECTOBJECT: {
            const std::uint32_t index = U32(8);
            if (index & 0x80000000u) {
                Stock(index);
                break;
            }
            B.Select(Object(index));
            break;
        }
        case EMR_DELETEOBJECT:
            Object(U32(8)) = TMetafileObject{};
            break;
        case EMR_MOVETOEX:
            s.Pos = Point(X32(8), X32(12));
            break;
        case EMR_LINETO:
            B.LineTo(Point(X32(8), X32(12)));
            break;
        case EMR_POLYLINE:
        case EMR_POLYGON:
        case EMR_POLYBEZIER:
        case EMR_POLYLINETO:
        case EMR_POLYBEZIERTO:
        case EMR_POLYLINE16:
        case EMR_POLYGON16:
        case EMR_POLYBEZIER16:
        case EMR_POLYLINETO16:
        case EMR_POLYBEZIERTO16: {
            const bool small = type >= EMR_POLYBEZIER16;
            const std::uint32_t kind = small ? type - EMR_POLYBEZIER16 + EMR_POLYBEZIER : type;
            std::vector<TPoint> pts = PointsAt(28, U32(24), small);
            if (kind == EMR_POLYLINETO || kind == EMR_POLYBEZIERTO)
                pts.insert(pts.begin(), s.Pos);
            if (kind == EMR_POLYBEZIER || kind == EMR_POLYBEZIERTO)
                pts = TMetafileBuilder::FlattenBezier(pts);
            if (pts.empty())
                break;
            if (kind == EMR_POLYLINETO || kind == EMR_POLYBEZIERTO)
                s.Pos = pts.back();
            B.Emit(kind == EMR_POLYGON ? mrPolygon : mrPolyline).Points = std::move(pts);
            break;
        }
        case EMR_POLYPOLYLINE:
        case EMR_POLYPOLYGON:
        case EMR_POLYPOLYLINE16:
        case EMR_POLYPOLYGON16: {
            const bool small = type >= EMR_POLYPOLYLINE16;
            const std::uint32_t polys = U32(24), total = U32(28);
            if (32 + std::uint64_t(polys) * 4 > FEnd - FAt)
                BadData("A record's polygon counts reach past its end", FAt);
            std::vector<TPoint> pts = PointsAt(32 + std::size_t(polys) * 4, total, small);
            std::vector<std::vector<TPoint>> figures;
            std::uint64_t used = 0;
            for (std::uint32_t i = 0; i < polys; ++i) {
                const std::uint32_t n = U32(32 + std::size_t(i) * 4);
                if (used + n > total)
                    BadData("A record's polygon counts exceed its points", FAt);
                if (n > 0)
                    figures.emplace_back(pts.begin() + std::ptrdiff_t(used), pts.begin() + std::ptrdiff_t(used + n));
                used += n;
            }
            if (type == EMR_POLYPOLYGON || type == EMR_POLYPOLYGON16)
                B.PolyPolygon(figures);
            else
                for (auto& f : figures)
                    B.Emit(mrPolyline).Points = std::move(f);
            break;
        }
        case EMR_RECTANGLE:
            B.Emit(mrRectangle).R = BoxAt(8);
            break;
        case EMR_ELLIPSE:
            B.Emit(mrEllipse).R = BoxAt(8);
            break;
        case EMR_ROUNDRECT:
            B.RoundRect(BoxAt(8), X32(24), X32(28));
            break;
        case EMR_SETPIXELV:
            B.SetPixel(X32(8), X32(12), U32(16));
            break;
        case EMR_EXTTEXTOUTW:
        case EMR_EXTTEXTOUTA: {
            const bool wide = type == EMR_EXTTEXTOUTW;
            const std::uint32_t n = U32(44), offString = U32(48), options = U32(52), offDx = U32(72);
            const std::uint64_t textBytes = std::uint64_t(n) * (wide ? 2 : 1);
            if (offString + textBytes > FEnd - FAt || (offDx != 0 && offDx + std::uint64_t(n) * 4 > FEnd - FAt))
                BadData("A text record's characters reach past its end", FAt);
            TMetafileRecord& r = B.Emit(mrExtTextOut);
            r.A = X32(36);
            r.B = X32(40);
            r.Options = int(options & (ETO_OPAQUE | ETO_CLIPPED | ETO_RTLREADING));
            r.HasRect = (options & (ETO_OPAQUE | ETO_CLIPPED)) != 0;
            if (r.HasRect)
                r.R = RectAt(56);
            r.Text.reserve(n);
            for (std::uint32_t i = 0; i < n; ++i)
                r.Text.push_back(wide ? char16_t(R.U16(FAt + offString + i * 2)) : char16_t(R.U8(FAt + offString + i)));
            if (offDx != 0)
                for (std::uint32_t i = 0; i < n; ++i)
                    r.Dx.push_back(C(R.I32(FAt + offDx + std::size_t(i) * 4)));
            B.AlignText(r);
            break;
        }
        case EMR_STRETCHDIBITS: {
            const std::uint32_t offBmi = U32(48), cbBmi = U32(52), offBits = U32(56), cbBits = U32(60);
            const std::uint32_t usage = U32(64), rop = U32(68);
            if (usage != 0 || rop != SRCCOPY || cbBmi == 0)
                break;
            Blit(RectFrom(I32(24), I32(28), I32(72), I32(76)), I32(32), I32(36), I32(40), I32(44), offBmi, cbBmi,
                 offBits, cbBits, true, false);
            break;
        }
        case EMR_BITBLT:
        case EMR_STRETCHBLT: {
            const TRect dest = RectFrom(I32(24), I32(28), I32(32), I32(36));
            const std::uint32_t rop = U32(40), cbBmi = U32(88);
            if (cbBmi == 0) { // a pattern fill
                if (rop == PATCOPY)
                    B.Emit(mrFillRect).R = dest;
                else if (rop == BLACKNESS || rop == WHITENESS) {
                    TMetafileRecord& r = B.Emit(mrFillRect);
                    r.R = dest;
                    r.Brush = TBrushData{rop == BLACKNESS ? clBlack : clWhite, bsSolid};
                }
                break;
            }
            if (rop != SRCCOPY || U32(80) != 0)
                break;
            const bool stretch = type == EMR_STRETCHBLT;
            Blit(dest, I32(44), I32(48), stretch ? I32(100) : dest.Width(), stretch ? I32(104) : dest.Height(), U32(84),
                 cbBmi, U32(92), U32(96), false, false);
            break;
        }
        case EMR_ALPHABLEND: {
            if (U32(80) != 0 || U32(88) == 0)
                break;
            Blit(RectFrom(I32(24), I32(28), I32(32), I32(36)), I32(44), I32(48), I32(100), I32(104), U32(84), U32(88),
                 U32(92), U32(96), false, true);
            break;
        }
        case EMR_INTERSECTCLIPRECT:
            B.Emit(mrIntersectClipRect).R = BoxAt(8);
            break;
        case EMR_EXTSELECTCLIPRGN:
            if (U32(12) == 5 && U32(8) == 0) // RGN_COPY without a region
                B.Plain(mrResetClip);
            break;
        case EMR_SAVEDC:
            B.Save(FAt);
            break;
        case EMR_RESTOREDC:
            B.Restore(I32(8));
            break;
        default: // every other record draws nothing here
            break;
        }
    }

    std::uint32_t U32Half(std::size_t off) const {
        Field(off, 2);
        return R.U16(FAt + off);
    }
    static TRect RectFrom(std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h) {
        return TRect{C(x), C(y), C(x + w), C(y + h)};
    }

    /// A bitmap blit: the DIB at the record's offsets, its source rectangle (measured from the
    /// bottom for StretchDIBits' bottom-up DIBs), drawn into `dest`.
    void Blit(const TRect& dest, int sx, int sy, int sw, int sh, std::uint32_t offBmi, std::uint32_t cbBmi,
              std::uint32_t offBits, std::uint32_t cbBits, bool fromBottom, bool alpha) {
        if (std::uint64_t(offBmi) + cbBmi > FEnd - FAt || std::uint64_t(offBits) + cbBits > FEnd - FAt)
            BadData("A bitmap reaches past the end of its record", FAt);
        std::unique_ptr<TBitmap> bmp = ReadDib(R, FAt + offBmi, cbBmi, FAt + offBits, cbBits, FAt);
        if (!bmp)
            return;
        if (alpha) {
            if (bmp->GetPixelFormat() != pf32bit)
                return;
            bmp->SetAlphaFormat(afPremultiplied);
        }
        const bool bottomUp = R.I32(FAt + offBmi + 8) > 0;
        const std::int64_t top = fromBottom && bottomUp ? std::int64_t(bmp->GetHeight()) - sy - sh : sy;
        B.DrawBitmap(dest, RectFrom(sx, top, sw, sh), std::move(bmp));
    }

    std::span<const std::uint8_t> FBytes;
};

} // namespace

std::vector<std::uint8_t> WriteEmf(const TMetafile& metafile) {
    return EmfWriter(metafile).Write();
}

TMetafileContent ReadEmf(std::span<const std::uint8_t> bytes) {
    TMetafileContent out;
    EmfReader(bytes, out).Read();
    return out;
}

} // namespace vgl::graphics_detail
