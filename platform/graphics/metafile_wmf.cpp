// The placeable metafile form of TMetafile: a 22-byte header (bounding box, units per inch,
// checksum) over the 16-bit records of the same drawing set as the enhanced form.

#include <cmath>

#include "platform/graphics/metafile_files.h"

namespace vgl::graphics_detail {

namespace {

enum : std::uint16_t {
    META_EOF = 0x0000,
    META_SAVEDC = 0x001E,
    META_SETBKMODE = 0x0102,
    META_SETMAPMODE = 0x0103,
    META_SETSTRETCHBLTMODE = 0x0107,
    META_SETTEXTALIGN = 0x012E,
    META_RESTOREDC = 0x0127,
    META_SELECTOBJECT = 0x012D,
    META_DELETEOBJECT = 0x01F0,
    META_SETBKCOLOR = 0x0201,
    META_SETTEXTCOLOR = 0x0209,
    META_SETWINDOWORG = 0x020B,
    META_SETWINDOWEXT = 0x020C,
    META_CREATEPENINDIRECT = 0x02FA,
    META_CREATEFONTINDIRECT = 0x02FB,
    META_CREATEBRUSHINDIRECT = 0x02FC,
    META_LINETO = 0x0213,
    META_MOVETO = 0x0214,
    META_POLYGON = 0x0324,
    META_POLYLINE = 0x0325,
    META_INTERSECTCLIPRECT = 0x0416,
    META_ELLIPSE = 0x0418,
    META_RECTANGLE = 0x041B,
    META_SETPIXEL = 0x041F,
    META_TEXTOUT = 0x0521,
    META_POLYPOLYGON = 0x0538,
    META_ROUNDRECT = 0x061C,
    META_DIBBITBLT = 0x0940,
    META_EXTTEXTOUT = 0x0A32,
    META_DIBSTRETCHBLT = 0x0B41,
    META_STRETCHDIB = 0x0F43,
};

constexpr std::uint32_t PlaceableKey = 0x9AC6CDD7;
constexpr int MaxObjects = 6;

[[noreturn]] void CannotHold(const char16_t* what) {
    throw EInvalidGraphicOperation(String(u"A placeable metafile cannot hold ") + what);
}

class WmfWriter {
public:
    explicit WmfWriter(const TMetafile& mf) : FMf(mf) {}

    std::vector<std::uint8_t> Write() {
        const int w = FMf.GetWidth(), h = FMf.GetHeight();
        if (w > 32767 || h > 32767)
            CannotHold(u"a picture larger than 32767 units");
        Simple(META_SETMAPMODE, {8}); // MM_ANISOTROPIC: the window maps onto the bounding box
        Simple(META_SETWINDOWORG, {0, 0});
        Simple(META_SETWINDOWEXT, {std::uint16_t(h), std::uint16_t(w)});
        for (const TMetafileRecord& r : FMf.Records())
            Record(r);
        Simple(META_EOF, {});

        ByteWriter out;
        out.U32(PlaceableKey);
        out.U16(0);
        out.I16(0);
        out.I16(0);
        out.I16(std::int16_t(w));
        out.I16(std::int16_t(h));
        out.U16(96); // units per inch
        out.U32(0);
        std::uint16_t sum = 0;
        for (int i = 0; i < 10; ++i)
            sum ^= std::uint16_t(out.Data()[i * 2] | (out.Data()[i * 2 + 1] << 8));
        out.U16(sum);
        out.U16(1); // in memory
        out.U16(9);
        out.U16(0x0300);
        out.U32(std::uint32_t((18 + W.Size()) / 2));
        out.U16(std::uint16_t(FMaxSlots));
        out.U32(FMaxRecord);
        out.U16(0);
        out.Bytes(W.Data());
        return std::move(out.Data());
    }

private:
    std::size_t Begin(std::uint16_t function) {
        const std::size_t at = W.Size();
        W.U32(0);
        W.U16(function);
        return at;
    }
    void End(std::size_t at) {
        if (W.Size() % 2)
            W.U8(0);
        const std::uint32_t words = std::uint32_t((W.Size() - at) / 2);
        W.PatchU32(at, words);
        FMaxRecord = std::max(FMaxRecord, words);
    }
    void Simple(std::uint16_t function, std::initializer_list<std::uint16_t> params) {
        const std::size_t at = Begin(function);
        for (std::uint16_t p : params)
            W.U16(p);
        End(at);
    }
    void Color(TColor c) { W.U32(Colorref(c)); }

    std::int16_t Coord(double v) {
        const long long i = std::llround(v);
        if (i < -32768 || i > 32767)
            CannotHold(u"coordinates beyond 16 bits");
        return std::int16_t(i);
    }
    TPoint Map(TPoint p) { return Point(Coord(X.eM11 * p.X + X.eDx), Coord(X.eM22 * p.Y + X.eDy)); }
    TRect Map(const TRect& r) {
        const TPoint a = Map(Point(r.Left, r.Top)), b = Map(Point(r.Right, r.Bottom));
        return TRect{a.X, a.Y, b.X, b.Y};
    }
    void RectParams(const TRect& r) { // bottom, right, top, left
        W.I16(std::int16_t(r.Bottom));
        W.I16(std::int16_t(r.Right));
        W.I16(std::int16_t(r.Top));
        W.I16(std::int16_t(r.Left));
    }

    int Create() {
        for (int i = 0; i < MaxObjects; ++i)
            if (!FUsed[i]) {
                FUsed[i] = true;
                FMaxSlots = std::max(FMaxSlots, i + 1);
                return i;
            }
        CannotHold(u"more objects"); // never: three kinds, two slots each
    }
    void ForgetSelection() {
        for (int* slot : {&FPenSlot, &FBrushSlot, &FFontSlot}) {
            if (*slot >= 0) {
                Simple(META_DELETEOBJECT, {std::uint16_t(*slot)});
                FUsed[*slot] = false;
            }
            *slot = -1;
        }
        FHasTextColor = FBkColorSet = false;
        FBkMode = -1;
        FStretch = 0;
    }
    void Replace(int& current, int made) {
        Simple(META_SELECTOBJECT, {std::uint16_t(made)});
        if (current >= 0) {
            Simple(META_DELETEOBJECT, {std::uint16_t(current)});
            FUsed[current] = false;
        }
        current = made;
    }
    void SelectPen(TPenData pen) {
        pen.Width = int(std::lround(pen.Width * std::fabs(X.eM11)));
        if (FPenSlot >= 0 && FPen == pen)
            return;
        const int slot = Create();
        const std::size_t at = Begin(META_CREATEPENINDIRECT);
        W.U16(std::uint16_t(PenStyleBits(pen.Style) | PenCapJoinBits(pen)));
        W.I16(std::int16_t(std::min(pen.Width, 32767)));
        W.I16(0);
        Color(pen.Color);
        End(at);
        Replace(FPenSlot, slot);
        FPen = pen;
    }
    void SelectBrush(const TBrushData& brush) {
        if (FBrushSlot >= 0 && FBrush == brush)
            return;
        const int slot = Create();
        const std::size_t at = Begin(META_CREATEBRUSHINDIRECT);
        W.U16(std::uint16_t(BrushStyleBits(brush.Style)));
        Color(brush.Color);
        W.U16(std::uint16_t(BrushHatchBits(brush.Style)));
        End(at);
        Replace(FBrushSlot, slot);
        FBrush = brush;
    }
    void SelectFont(TFontData font) {
        font.Color = clBlack;
        font.PixelsPerInch = 96;
        font.Height = int(std::lround(font.Height * std::fabs(X.eM22)));
        if (FFontSlot >= 0 && FFont == font)
            return;
        const int slot = Create();
        const std::size_t at = Begin(META_CREATEFONTINDIRECT);
        W.I16(Coord(font.Height));
        W.I16(0);
        W.I16(std::int16_t(font.Orientation));
        W.I16(std::int16_t(font.Orientation));
        W.I16(std::int16_t(FontWeight(font)));
        W.U8(font.Style.Contains(fsItalic));
        W.U8(font.Style.Contains(fsUnderline));
        W.U8(font.Style.Contains(fsStrikeOut));
        W.U8(font.Charset);
        W.Zeros(4);
        for (std::size_t i = 0; i < 32; ++i) {
            const char16_t c = i < 31 && i < font.Name.size() ? font.Name[i] : u'\0';
            if (c > 0xFF)
                CannotHold(u"a font name beyond Latin-1");
            W.U8(std::uint8_t(c));
        }
        End(at);
        Replace(FFontSlot, slot);
        FFont = font;
    }
    void Background(const TMetafileRecord& r) {
        if (r.BkMode != FBkMode) {
            Simple(META_SETBKMODE, {std::uint16_t(r.BkMode), 0});
            FBkMode = r.BkMode;
        }
        if (r.BkColorSet && (!FBkColorSet || r.BkColor != FBkColor)) {
            const std::size_t at = Begin(META_SETBKCOLOR);
            Color(r.BkColor);
            End(at);
            FBkColorSet = true;
            FBkColor = r.BkColor;
        }
    }
    void Points(std::uint16_t function, std::span<const TPoint> points) {
        if (points.size() > 32767)
            CannotHold(u"a figure of more than 32767 points");
        const std::size_t at = Begin(function);
        W.U16(std::uint16_t(points.size()));
        for (const TPoint& p : points) {
            const TPoint m = Map(p);
            W.I16(std::int16_t(m.X));
            W.I16(std::int16_t(m.Y));
        }
        End(at);
    }
    void Shape(std::uint16_t function, const TRect& r) {
        const std::size_t at = Begin(function);
        RectParams(Ordered(Map(r))); // a mirroring scale turns the box round
        End(at);
    }

    void Record(const TMetafileRecord& r) {
        const bool box = IsBoxRecord(r.Kind);
        if (box && (r.R.IsEmpty() || Ordered(Map(r.R)).IsEmpty())) // also when scaled to nothing
            return;
        switch (r.Kind) {
        case mrLineTo: {
            SelectPen(r.Pen);
            Background(r);
            const TPoint a = Map(r.From), b = Map(r.Points.at(0));
            Simple(META_MOVETO, {std::uint16_t(a.Y), std::uint16_t(a.X)});
            Simple(META_LINETO, {std::uint16_t(b.Y), std::uint16_t(b.X)});
            break;
        }
        case mrPolyline:
        case mrPolygon:
            SelectPen(r.Pen);
            if (r.Kind == mrPolygon)
                SelectBrush(r.Brush);
            Background(r);
            Points(r.Kind == mrPolygon ? META_POLYGON : META_POLYLINE, r.Points);
            break;
        case mrRectangle:
        case mrEllipse:
            SelectPen(r.Pen);
            SelectBrush(r.Brush);
            Background(r);
            Shape(r.Kind == mrRectangle ? META_RECTANGLE : META_ELLIPSE, r.R);
            break;
        case mrRoundRect: {
            SelectPen(r.Pen);
            SelectBrush(r.Brush);
            Background(r);
            const std::size_t at = Begin(META_ROUNDRECT);
            W.I16(Coord(r.B * std::fabs(X.eM22)));
            W.I16(Coord(r.A * std::fabs(X.eM11)));
            RectParams(Ordered(Map(r.R)));
            End(at);
            break;
        }
        case mrFillRect: {
            SelectPen(NoPen());
            SelectBrush(r.Brush);
            Background(r);
            Shape(META_RECTANGLE, r.R);
            break;
        }
        case mrFrameRect: {
            if (r.Brush.Style == bsClear)
                break;
            SelectPen(FramePen(r.Brush));
            SelectBrush(NoBrush());
            Background(r);
            Shape(META_RECTANGLE, r.R);
            break;
        }
        case mrSetPixel: {
            const TPoint p = Map(Point(r.A, r.B));
            const std::size_t at = Begin(META_SETPIXEL);
            Color(r.Color);
            W.I16(std::int16_t(p.Y));
            W.I16(std::int16_t(p.X));
            End(at);
            break;
        }
        case mrExtTextOut: {
            for (char16_t c : r.Text)
                if (c > 0xFF)
                    CannotHold(u"text beyond Latin-1");
            if (r.Text.size() > 32767)
                CannotHold(u"a text of more than 32767 characters");
            SelectFont(r.Font);
            Background(r);
            if (!FHasTextColor || r.Font.Color != FTextColor) {
                const std::size_t at = Begin(META_SETTEXTCOLOR);
                Color(r.Font.Color);
                End(at);
                FHasTextColor = true;
                FTextColor = r.Font.Color;
            }
            const TPoint p = Map(Point(r.A, r.B));
            const int options = r.Options & (ETO_OPAQUE | ETO_CLIPPED | ETO_RTLREADING);
            const bool withRect = r.HasRect && (options & (ETO_OPAQUE | ETO_CLIPPED));
            const std::size_t at = Begin(META_EXTTEXTOUT);
            W.I16(std::int16_t(p.Y));
            W.I16(std::int16_t(p.X));
            W.U16(std::uint16_t(r.Text.size()));
            W.U16(std::uint16_t(withRect ? options : options & ETO_RTLREADING));
            if (withRect) {
                const TRect m = Map(r.R);
                W.I16(std::int16_t(m.Left));
                W.I16(std::int16_t(m.Top));
                W.I16(std::int16_t(m.Right));
                W.I16(std::int16_t(m.Bottom));
            }
            for (char16_t c : r.Text)
                W.U8(std::uint8_t(c));
            if (r.Text.size() % 2)
                W.U8(0);
            if (!r.Dx.empty())
                for (std::size_t i = 0; i < r.Text.size(); ++i)
                    W.I16(Coord((i < r.Dx.size() ? r.Dx[i] : 0) * std::fabs(X.eM11)));
            End(at);
            break;
        }
        case mrDrawBitmap: {
            if (!r.Bitmap || r.Bitmap->GetEmpty())
                break;
            const TBitmap& b = *r.Bitmap;
            if ((b.GetPixelFormat() == pf32bit && b.GetAlphaFormat() != afIgnored) || b.GetTransparent())
                CannotHold(u"a bitmap with alpha or a transparent colour");
            const int filter = StretchModeOf(r.Filter);
            if (filter != FStretch) {
                Simple(META_SETSTRETCHBLTMODE, {std::uint16_t(filter), 0});
                FStretch = filter;
            }
            const TDib dib = WriteDib(b, false);
            const TRect d = Map(r.R);
            const TRect& s = r.SourceRect;
            const std::size_t at = Begin(META_STRETCHDIB);
            W.U32(SRCCOPY);
            W.U16(0); // DIB_RGB_COLORS
            W.I16(Coord(s.Height()));
            W.I16(Coord(s.Width()));
            W.I16(Coord(b.GetHeight() - s.Bottom)); // from the bottom of a bottom-up DIB
            W.I16(Coord(s.Left));
            W.I16(Coord(d.Height()));
            W.I16(Coord(d.Width()));
            W.I16(std::int16_t(d.Top));
            W.I16(std::int16_t(d.Left));
            W.Bytes(dib.Header);
            W.Bytes(dib.Bits);
            End(at);
            break;
        }
        case mrIntersectClipRect:
            Shape(META_INTERSECTCLIPRECT, r.R);
            break;
        case mrSaveState:
            FSaved.push_back(X);
            Simple(META_SAVEDC, {});
            break;
        case mrRestoreState:
            if (!FSaved.empty()) {
                X = FSaved.back();
                FSaved.pop_back();
            }
            Simple(META_RESTOREDC, {std::uint16_t(-1)});
            // the player restores the objects and modes of the save: choose them again when needed
            ForgetSelection();
            break;
        case mrResetClip:
            CannotHold(u"a clip reset");
        case mrSetWorldTransform:
            if (r.XForm.eM12 != 0 || r.XForm.eM21 != 0)
                CannotHold(u"a rotated or sheared drawing");
            X = r.XForm;
            break;
        }
    }

    const TMetafile& FMf;
    ByteWriter W;
    TXForm X;
    std::vector<TXForm> FSaved;
    bool FUsed[MaxObjects] = {};
    int FMaxSlots = 0;
    std::uint32_t FMaxRecord = 3;
    int FPenSlot = -1, FBrushSlot = -1, FFontSlot = -1;
    TPenData FPen;
    TBrushData FBrush;
    TFontData FFont;
    bool FHasTextColor = false, FBkColorSet = false;
    TColor FTextColor = clBlack, FBkColor = clWhite;
    int FBkMode = OPAQUE;
    int FStretch = 0;
};

// ---- reading ----

class WmfReader : TMetafileReaderBase {
public:
    WmfReader(std::span<const std::uint8_t> bytes, TMetafileContent& out) : TMetafileReaderBase(bytes, out) {}

    void Read() {
        R.Need(0, 22 + 18, "The metafile is too short");
        if (R.U32(0) != PlaceableKey)
            BadData("The data is not a placeable metafile", 0);
        std::uint16_t sum = 0;
        for (int i = 0; i < 10; ++i)
            sum ^= R.U16(std::size_t(i) * 2);
        if (sum != R.U16(20))
            BadData("The placeable header's checksum is wrong", 20);
        const int l = R.I16(6), t = R.I16(8), r = R.I16(10), b = R.I16(12);
        const int inch = R.U16(14);
        if (inch == 0 || r < l || b < t)
            BadData("The placeable header's bounding box is invalid", 6);
        FOut.Width = int(std::lround((r - l) * 96.0 / inch));
        FOut.Height = int(std::lround((b - t) * 96.0 / inch));
        CheckGraphicSize(FOut.Width, FOut.Height);
        // the window (by default the bounding box) maps onto the picture
        B.S.Map.MapMode = 8;
        B.S.Map.WinOrgX = l, B.S.Map.WinOrgY = t, B.S.Map.WinExtX = r - l, B.S.Map.WinExtY = b - t;
        B.S.Map.VpExtX = FOut.Width, B.S.Map.VpExtY = FOut.Height;

        const std::uint16_t headerWords = R.U16(24);
        if (headerWords < 9)
            BadData("The metafile header is invalid", 22);
        FObjects.resize(R.U16(32));
        std::size_t at = 22 + std::size_t(headerWords) * 2;
        while (at < R.Size()) {
            R.Need(at, 6, "A record header does not fit the data");
            const std::uint64_t size = std::uint64_t(R.U32(at)) * 2;
            const std::uint16_t function = R.U16(at + 4);
            if (size < 6 || !R.Fits(at, std::size_t(std::min<std::uint64_t>(size, SIZE_MAX))))
                BadData(size < 6 ? "A record has a size below 3 words" : "A record reaches past the end of the data",
                        at);
            if (function == META_EOF)
                break;
            FAt = at;
            FEnd = at + std::size_t(size);
            Record(function);
            at += std::size_t(size);
        }
    }

private:
    /// Parameter word `i` of the record.
    std::uint16_t P(std::size_t i) const {
        if (FAt + 6 + i * 2 + 2 > FEnd)
            BadData("A record is too short for its parameters", FAt);
        return R.U16(FAt + 6 + i * 2);
    }
    std::int16_t S(std::size_t i) const { return std::int16_t(P(i)); }
    std::uint32_t P32(std::size_t i) const { return P(i) | (std::uint32_t(P(i + 1)) << 16); }
    std::size_t Params() const { return (FEnd - FAt - 6) / 2; }
    /// A box (bottom, right, top, left) with its corners in order: the platform draws a box given
    /// either way round.
    TRect RectParams(std::size_t i) const { return Ordered(TRect{S(i + 3), S(i + 2), S(i + 1), S(i)}); }
    std::vector<TPoint> PointsAt(std::size_t i, std::size_t count) const {
        if (i + count * 2 > Params())
            BadData("A record's points reach past its end", FAt);
        std::vector<TPoint> pts;
        pts.reserve(count);
        for (std::size_t k = 0; k < count; ++k)
            pts.push_back(Point(S(i + k * 2), S(i + k * 2 + 1)));
        return pts;
    }
    TMetafileObject& Object(std::size_t index) {
        if (index >= FObjects.size())
            BadData("An object index lies outside the handle table", FAt);
        return FObjects[index];
    }
    void Add(TMetafileObject o) {
        for (TMetafileObject& slot : FObjects)
            if (slot.Kind == TMetafileObject::None) {
                slot = std::move(o);
                return;
            }
        BadData("The handle table is full", FAt);
    }
    String Bytes(std::size_t byteOffset, std::size_t count) const {
        if (FAt + 6 + byteOffset + count > FEnd)
            BadData("A text record's characters reach past its end", FAt);
        String s;
        s.reserve(count);
        for (std::size_t i = 0; i < count; ++i)
            s.push_back(char16_t(R.U8(FAt + 6 + byteOffset + i)));
        return s;
    }

    void Record(std::uint16_t function) {
        auto& s = B.S;
        switch (function) {
        case META_SETWINDOWORG:
            s.Map.WinOrgY = S(0), s.Map.WinOrgX = S(1);
            break;
        case META_SETWINDOWEXT:
            if (S(0) != 0 && S(1) != 0)
                s.Map.WinExtY = S(0), s.Map.WinExtX = S(1);
            break;
        case META_SETBKMODE:
            B.SetBkMode(P(0));
            break;
        case META_SETBKCOLOR:
            B.SetBkColor(P32(0));
            break;
        case META_SETTEXTCOLOR:
            B.SetTextColor(P32(0));
            break;
        case META_SETSTRETCHBLTMODE:
            B.SetStretchMode(P(0));
            break;
        case META_SETTEXTALIGN:
            B.SetTextAlign(P(0));
            break;
        case META_CREATEPENINDIRECT: {
            TMetafileObject o;
            o.Kind = TMetafileObject::Pen;
            const std::uint16_t style = P(0);
            o.PenData.Style = PenStyleOf(style);
            SetPenCapJoin(o.PenData, style);
            o.PenData.Width = std::max<int>(S(1), 0);
            o.PenData.Color = FromColorref(P32(3));
            Add(o);
            break;
        }
        case META_CREATEBRUSHINDIRECT: {
            TMetafileObject o;
            o.Kind = TMetafileObject::Brush;
            const std::uint16_t style = P(0), hatch = P(3);
            o.BrushData.Color = FromColorref(P32(1));
            o.BrushData.Style = BrushStyleOf(style, hatch);
            Add(o);
            break;
        }
        case META_CREATEFONTINDIRECT: {
            TMetafileObject o;
            o.Kind = TMetafileObject::Font;
            TFontData& f = o.FontData;
            f.Height = S(0);
            f.Orientation = S(2) % 3600;
            const int weight = S(4);
            const std::uint16_t italicUnderline = P(5), strikeCharset = P(6);
            f.Style = FontStylesOf(weight, italicUnderline & 0xFF, italicUnderline >> 8, strikeCharset & 0xFF);
            f.Charset = std::uint8_t(strikeCharset >> 8);
            f.Name.clear();
            for (std::size_t i = 0; i < 32 && FAt + 6 + 18 + i < FEnd; ++i) {
                const std::uint8_t c = R.U8(FAt + 6 + 18 + i);
                if (c == 0)
                    break;
                f.Name.push_back(char16_t(c));
            }
            Add(o);
            break;
        }
        case 0x00F7: // META_CREATEPALETTE
        case 0x01F9: // META_CREATEPATTERNBRUSH
        case 0x0142: // META_DIBCREATEPATTERNBRUSH
        case 0x06FF: // META_CREATEREGION
        {
            TMetafileObject o;
            o.Kind = TMetafileObject::Other; // takes a slot of the table
            Add(o);
            break;
        }
        case META_SELECTOBJECT:
            B.Select(Object(P(0)));
            break;
        case META_DELETEOBJECT:
            Object(P(0)) = TMetafileObject{};
            break;
        case META_MOVETO:
            s.Pos = Point(S(1), S(0));
            break;
        case META_LINETO:
            B.LineTo(Point(S(1), S(0)));
            break;
        case META_POLYLINE:
        case META_POLYGON: {
            std::vector<TPoint> pts = PointsAt(1, P(0));
            if (!pts.empty())
                B.Emit(function == META_POLYGON ? mrPolygon : mrPolyline).Points = std::move(pts);
            break;
        }
        case META_POLYPOLYGON: {
            const std::size_t n = P(0);
            std::vector<std::vector<TPoint>> figures;
            std::size_t next = 1 + n;
            for (std::size_t i = 0; i < n; ++i) {
                const std::size_t count = P(1 + i);
                std::vector<TPoint> pts = PointsAt(next, count);
                next += count * 2;
                if (!pts.empty())
                    figures.push_back(std::move(pts));
            }
            B.PolyPolygon(figures);
            break;
        }
        case META_RECTANGLE:
            B.Emit(mrRectangle).R = RectParams(0);
            break;
        case META_ELLIPSE:
            B.Emit(mrEllipse).R = RectParams(0);
            break;
        case META_ROUNDRECT:
            B.RoundRect(RectParams(2), S(1), S(0));
            break;
        case META_SETPIXEL:
            B.SetPixel(S(3), S(2), P32(0));
            break;
        case META_TEXTOUT: {
            const std::size_t n = P(0), padded = (n + 1) / 2;
            String text = Bytes(2, n);
            TMetafileRecord& r = B.Emit(mrExtTextOut);
            r.B = S(1 + padded);
            r.A = S(2 + padded);
            r.Text = std::move(text);
            B.AlignText(r);
            break;
        }
        case META_EXTTEXTOUT: {
            const std::size_t n = P(2);
            const int options = P(3) & (ETO_OPAQUE | ETO_CLIPPED | ETO_RTLREADING);
            const bool withRect = options & (ETO_OPAQUE | ETO_CLIPPED);
            const std::size_t textAt = withRect ? 8 : 4; // in words
            String text = Bytes(textAt * 2, n);
            const std::size_t dxAt = textAt + (n + 1) / 2;
            TMetafileRecord& r = B.Emit(mrExtTextOut);
            r.B = S(0);
            r.A = S(1);
            r.Options = options;
            r.HasRect = withRect;
            if (withRect)
                r.R = TRect{S(4), S(5), S(6), S(7)};
            r.Text = std::move(text);
            if (dxAt + n <= Params())
                for (std::size_t i = 0; i < n; ++i)
                    r.Dx.push_back(S(dxAt + i));
            B.AlignText(r);
            break;
        }
        case META_STRETCHDIB:
        case META_DIBSTRETCHBLT:
        case META_DIBBITBLT: {
            const std::uint32_t rop = P32(0);
            std::size_t i = function == META_STRETCHDIB ? 3 : 2; // past the raster operation (and usage)
            int sh, sw, sy, sx, dh, dw, dy, dx;
            if (function == META_DIBBITBLT) {
                // with a bitmap: ySrc, xSrc, height, width, yDest, xDest
                sy = S(i), sx = S(i + 1), dh = sh = S(i + 2), dw = sw = S(i + 3), dy = S(i + 4), dx = S(i + 5);
                i += 6;
            } else {
                sh = S(i), sw = S(i + 1), sy = S(i + 2), sx = S(i + 3);
                dh = S(i + 4), dw = S(i + 5), dy = S(i + 6), dx = S(i + 7);
                i += 8;
            }
            const TRect dest{dx, dy, dx + dw, dy + dh};
            const std::size_t dibAt = FAt + 6 + i * 2;
            if (dibAt + 40 > FEnd) { // no bitmap: a pattern fill
                if (rop == PATCOPY)
                    B.Emit(mrFillRect).R = dest;
                break;
            }
            if (rop != SRCCOPY || (function == META_STRETCHDIB && P(2) != 0))
                break;
            const std::uint32_t headerSize = R.U32(dibAt);
            const int bits = R.U16(dibAt + 14);
            std::uint32_t colours = R.U32(dibAt + 32);
            if (bits <= 8 && (colours == 0 || colours > (1u << bits)))
                colours = 1u << bits;
            if (bits > 8)
                colours = 0;
            const std::uint64_t bmi = std::uint64_t(headerSize) + std::uint64_t(colours) * 4;
            if (headerSize < 40 || dibAt + bmi > FEnd)
                BadData("A bitmap in a record does not fit it", FAt);
            std::unique_ptr<TBitmap> bmp =
                ReadDib(R, dibAt, std::size_t(bmi), dibAt + std::size_t(bmi), FEnd - dibAt - std::size_t(bmi), FAt);
            if (!bmp)
                break;
            const bool bottomUp = R.I32(dibAt + 8) > 0;
            const int top = bottomUp ? bmp->GetHeight() - sy - sh : sy;
            B.DrawBitmap(dest, TRect{sx, top, sx + sw, top + sh}, std::move(bmp));
            break;
        }
        case META_INTERSECTCLIPRECT:
            B.Emit(mrIntersectClipRect).R = RectParams(0);
            break;
        case META_SAVEDC:
            B.Save(FAt);
            break;
        case META_RESTOREDC:
            B.Restore(S(0));
            break;
        default: // mapping modes and viewports do not apply: the window maps onto the bounding box
            break;
        }
    }
};

} // namespace

std::vector<std::uint8_t> WriteWmf(const TMetafile& metafile) {
    return WmfWriter(metafile).Write();
}

TMetafileContent ReadWmf(std::span<const std::uint8_t> bytes) {
    TMetafileContent out;
    WmfReader(bytes, out).Read();
    return out;
}

} // namespace vgl::graphics_detail
