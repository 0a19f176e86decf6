// The text writers of the PDF export: memo text as glyph runs of embedded TrueType fonts (one
// BT … ET block per laid-out line), rotated memos and memos with a negative gap through the
// memo's recorded text output, and the objects of each document font (font file, descriptor,
// ToUnicode map, CIDSystemInfo, CID font and Type0 font).

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/rounding.h"
#include "platform/rtl/scope_guard.h"
#include "platform/rtl/streams.h"
#include "report/export/pdf_export.h"
#include "report/export/pdf_values.h"
#include "report/foundation/draw_text.h"
#include "report/foundation/vector_canvas.h"
#include "report/model/memo_view.h"

namespace vgl {

namespace {

constexpr long double kPoints = 0.75L; // points per report pixel
const char* const kCRLF = "\r\n";
constexpr int kSpaceGlyph = 3;
constexpr int kClippedOption = 4;         // the recorded call clips to its rectangle
constexpr int kRightToLeftOption = 128;   // the recorded call reads right to left
constexpr std::size_t kBfCharBlock = 100; // entries a CMap allows in one bfchar block
constexpr long double kMaxUnderlineRows = 10000;
constexpr long double kMaxAdjustment = 1e9L; // thousandths of an em
constexpr long double kUnderlineOffset = -0.12L, kUnderlineWidth = 0.08L;
constexpr long double kStrikeOffset = 0.28L, kStrikeWidth = 0.0565690849950502L;

AnsiString Fixed(long double v, int decimals) {
    return FloatToFixedAnsi(v, decimals);
}

AnsiString Trim3(long double v) {
    return FloatToTrimmedText(v, 3);
}

/// Four upper-case hexadecimal digits per 16-bit unit, high byte first.
AnsiString Hex16(StringView units) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(units.size() * 2);
    for (Char u : units) {
        bytes.push_back(std::uint8_t(u >> 8));
        bytes.push_back(std::uint8_t(u & 0xFF));
    }
    return BytesToHex(bytes, true);
}

/// The font the memo's text is written in: the highlight's when an active highlight brings one.
TFont TextFont(const TfrxCustomMemoView& memo) {
    TFont font;
    font.Assign(memo.Font());
    if (const TfrxHighlightCollection* highlights = memo.Highlights(); highlights && highlights->Count() > 0) {
        const TfrxHighlight* highlight = highlights->Items(0);
        if (highlight->Active() && highlight->ApplyFont() && highlight->Font())
            font.Assign(*highlight->Font());
    }
    return font;
}

bool BoldSimulated(const TFont& font) {
    return font.GetStyle().Contains(fsBold) && PDFFontSimulationList().IsNeedsBold(font.GetName());
}

bool ItalicSimulated(const TFont& font) {
    return font.GetStyle().Contains(fsItalic) && PDFFontSimulationList().IsNeedsItalic(font.GetName());
}

} // namespace

AnsiString GlyphHex(StringView glyphs) {
    return Hex16(glyphs);
}

AnsiString GlyphHexJustified(StringView glyphs, long double adjustment) {
    if (!std::isfinite(adjustment))
        throw EConvertError(FloatToStr(adjustment) + u" is not a finite word-space adjustment");
    // Beyond a million ems per space the text lies off any page; the bound keeps the numbers
    // within the integer range of the operands.
    adjustment = std::clamp(adjustment, -kMaxAdjustment, kMaxAdjustment);
    AnsiString s;
    s.reserve(glyphs.size() * 4);
    long double carry = 0;
    const long double whole = std::trunc(adjustment), part = Frac(adjustment);
    for (std::size_t i = 0; i < glyphs.size(); ++i) {
        s += Hex16(glyphs.substr(i, 1));
        if (glyphs[i] != kSpaceGlyph)
            continue;
        // The fractions of the adjustment add up over the line instead of being lost per space.
        const long double number = whole + std::trunc(carry + part);
        carry = Frac(carry + part);
        if (number != 0)
            s += ">" + IntToAnsi(std::int64_t(number)) + "<";
    }
    return s;
}

RawByteString ToUnicodeCMap(const TfrxExportFont& font, const AnsiString& fontName) {
    AnsiString cmapName = fontName;
    std::replace(cmapName.begin(), cmapName.end(), ',', '+');
    RawByteString s;
    auto line = [&s](const AnsiString& text) { s += text + kCRLF; };
    for (const char* text : {"/CIDInit /ProcSet findresource begin", "12 dict begin", "begincmap", "/CIDSystemInfo",
                             "<< /Registry (Adobe)", "/Ordering (UCS)", "/Supplement 0", ">> def"})
        line(text);
    line("/CMapName /" + cmapName + " def");
    line("/CMapType 2 def");
    line("1 begincodespacerange");
    line("<0000> <FFFF>");
    line("endcodespacerange");
    // Each used glyph maps to the whole text of its cluster (a ligature to all its characters);
    // a glyph that stands for no text of its own gets no entry.
    std::vector<AnsiString> entries;
    const std::size_t count = std::min(font.UsedAlphabet.size(), font.UsedAlphabetUnicode.size());
    for (std::size_t i = 0; i < count; ++i) {
        const String& text = font.UsedAlphabetUnicode[i];
        if (text.empty())
            continue;
        const String glyph(1, Char(font.UsedAlphabet[i]));
        entries.push_back("<" + Hex16(glyph) + "> <" + Hex16(text) + ">");
    }
    for (std::size_t from = 0; from < entries.size(); from += kBfCharBlock) {
        const std::size_t to = std::min(entries.size(), from + kBfCharBlock);
        line(IntToAnsi(std::int64_t(to - from)) + " beginbfchar");
        for (std::size_t i = from; i < to; ++i)
            line(entries[i]);
        line("endbfchar");
    }
    for (const char* text : {"endcmap", "CMapName currentdict /CMap defineresource pop", "end", "end"})
        line(text);
    return s;
}

void TfrxPDFExport::WriteMemo(TfrxCustomMemoView& memo, int selectedLine) {
    WriteFill(memo);
    if (memo.ReducedAngle() != 0 || std::min(memo.GapX(), memo.GapY()) < 0)
        WriteVectorText(memo);
    else
        WriteMemoLines(memo, selectedLine);
    WriteFrame(*memo.Frame(), ObjectRect(memo));
}

void TfrxPDFExport::WriteMemoLines(TfrxCustomMemoView& memo, int selectedLine) {
    TStream& out = *OutStream;
    const auto pageX = [this](long double x) { return x * kPoints + FMarginLeft; };
    const auto pageY = [this](long double y) { return FHeight - FMarginTop - y * kPoints; };

    PutRawLine(out, "q");
    PutRawLine(out, RectText(ObjectRectWithFrame(memo, false), 3) + " re");
    PutRawLine(out, "W");
    PutRawLine(out, "n");
    const TfrxFrame& frame = *memo.Frame();
    const long double shadow = frame.DropShadow() ? frame.ShadowWidth() : 0;
    const long double boxWidth = memo.Width() - shadow, boxHeight = memo.Height() - shadow;

    // The memo's layout object (its report's) for the whole layout and output, let go on every
    // path. The writer keeps no state of its own between exports, so exports on other threads
    // lay out their memos at the same time.
    TfrxDrawText& dt = memo.GetDrawTextObject();
    TfrxDrawTextLock layoutLock(dt);

    const TFont font = TextFont(memo);
    const int size = font.GetSize();
    dt.SetFont(font);
    dt.SetOptions(memo.WordWrap(), memo.AllowHTMLTags(), memo.RTLReading(), memo.WordBreak(), memo.Clipped(),
                  memo.Wysiwyg(), memo.ReducedAngle());
    dt.SetGaps(memo.ParagraphGap(), memo.CharSpacing(), memo.LineSpacing());
    dt.SetUseDefaultCharset(memo.UseDefaultCharset());
    dt.SetUseMonoFont(memo.DrawAsMask());
    // Device coordinates are rounded half to even and kept within the drawing range.
    int left = DeviceInt(memo.AbsLeft()), top = DeviceInt(memo.AbsTop());
    int right = left + DeviceInt(std::ceil(memo.Width())), bottom = top + DeviceInt(std::ceil(memo.Height()));
    const TfrxFrameTypes sides = frame.Typ();
    if (sides.Contains(ftLeft))
        left += DeviceInt((frame.Width() - 1) / 2);
    if (sides.Contains(ftTop))
        top += DeviceInt((frame.Width() - 1) / 2);
    if (sides.Contains(ftRight))
        right -= DeviceInt(frame.Width() / 2);
    if (sides.Contains(ftBottom))
        bottom -= DeviceInt(frame.Width() / 2);
    const int gapX = DeviceInt(memo.GapX()), gapY = DeviceInt(memo.GapY());
    const TRect rect{left + gapX, top + gapY, right - gapX + 1, bottom - gapY + 1};
    dt.SetDimensions(1, 1, 1, rect, rect);
    dt.SetText(memo.Memo(), memo.FirstParaBreak());
    dt.SetParaBreaks(memo.FirstParaBreak(), memo.LastParaBreak());
    const long double lineHeight = dt.LineHeight();
    const long double lineSpacing = memo.LineSpacing();

    // Ruled lines under the text area; a line height of 0 or less has no rows, and a height so
    // small that the rows would flood the page is refused.
    if (memo.Underlines() && lineHeight > 0) {
        const long double rows = std::trunc(boxHeight / lineHeight);
        if (rows > kMaxUnderlineRows)
            throw EInvalidOperation(u"The memo " + memo.Name() + u" has too many underline rows (line height " +
                                    FloatToStr(lineHeight) + u")");
        for (long double k = 1; k <= rows; ++k) {
            const AnsiString y = Fixed(pageY(memo.AbsTop() + memo.GapY() + 1 + k * lineHeight - lineSpacing), 2);
            PutRaw(out, ColorText(frame.Color(), FColorCache) + " RG" + kCRLF + Fixed(frame.Width() * kPoints, 2) +
                            " w" + kCRLF + FstLeft + " " + y + " m" + kCRLF + FstRight + " " + y + " l" + kCRLF + "S" +
                            kCRLF);
        }
    }

    const TfrxWideStrings& lines = dt.Text();
    const int n = lines.Count();
    if (n > 0) {
        const bool ownFlags = memo.Memo().Count() != n;
        TfrxPDFFont& pdfFont = *FFonts->Get(FPOH->GetObjFontNumber(font));
        pdfFont.Update(pdfFont, font);
        const long double charSpacing = memo.CharSpacing() * kPoints;
        if (charSpacing != 0)
            PutRaw(out, Fixed(charSpacing, 2) + " Tc" + kCRLF);
        const long double underlineOffset = size * kUnderlineOffset, strikeOffset = size * kStrikeOffset;
        dt.SetGaps(0, memo.CharSpacing(), memo.LineSpacing());
        const bool bold = BoldSimulated(font), italic = ItalicSimulated(font);
        const TFontStyles style = font.GetStyle();

        for (int i = 0; i < n; ++i) {
            const String& text = lines.Get(i);
            if (text.empty())
                continue;
            const int flags = ownFlags ? dt.ParagraphFlags(i) : (i == 0 ? pfFirstLine : 0) | pfLastLine;
            const long double indent = (flags & pfFirstLine) ? memo.ParagraphGap() : 0;
            long double shift = 0;
            if (memo.HAlign() == haCenter)
                shift = charSpacing / 2;
            else if (memo.HAlign() == haRight)
                shift = charSpacing;
            const TRemapedString run = pdfFont.SoftRemapString(text, memo.RTLReading());
            const long double available = boxWidth - 2 * memo.GapX() - indent;
            const bool justified = memo.HAlign() == haBlock && !(flags & pfLastLine) && run.SpacesCount > 0;
            long double lineWidth = 0, adjustment = 0;
            if (justified) {
                lineWidth = available;
                adjustment = pdfFont.SpaceAdjustment(run, available * kPoints, size);
            } else {
                lineWidth = size * run.Width / kPoints / 1000;
            }

            const long double baseX = memo.AbsLeft() + memo.GapX() + indent;
            long double x = baseX;
            switch (memo.HAlign()) {
            case haLeft:
                break;
            case haRight:
                x = baseX + available - lineWidth;
                break;
            case haCenter:
                x = baseX + (available - lineWidth) / 2;
                break;
            case haBlock:
                if (memo.RTLReading())
                    x = baseX + available - lineWidth;
                break;
            }
            x = pageX(x) - (long double)(text.size() - 1) * shift;

            const long double baseY = memo.AbsTop() + memo.GapY() - size * 0.1L;
            const long double height = boxHeight - 2 * memo.GapY();
            long double y = baseY;
            switch (memo.VAlign()) {
            case vaTop:
                y = baseY + (i + 1) * lineHeight - lineSpacing;
                break;
            case vaBottom:
                y = baseY + (height - lineSpacing) - (n - i - 1) * lineHeight;
                break;
            case vaCenter:
                y = baseY + (height - n * lineHeight) / 2 + (i + 1) * lineHeight - lineSpacing;
                break;
            }
            y = pageY(y);

            if (i == selectedLine) {
                const long double bottomY = y - 0.2L * size;
                const TfrxRect bar =
                    MakeFrxRect(x, bottomY + lineHeight * kPoints, x + memo.Width() * kPoints, bottomY);
                PutRaw(out, AnsiString("q") + kCRLF + ColorText(clHighlight, FColorCache) + " rg" + kCRLF +
                                RectText(bar, 3) + " re" + kCRLF + "f" + kCRLF + "Q" + kCRLF);
            }

            PutRaw(out, AnsiString("BT") + kCRLF);
            PutRaw(out, pdfFont.FFontName + " " + Fixed(pdfFont.FSize, 3) + " Tf" + kCRLF);
            PutRaw(out, AnsiString("[] 0 d") + kCRLF);
            PutRawLine(out, ColorText(i == selectedLine ? clHighlightText : pdfFont.FColor, FColorCache) + " rg");
            if (shift != 0)
                PutRaw(out, Fixed(shift, 2) + " Tc" + kCRLF);
            PutRaw(out, Fixed(x, 2) + " " + Fixed(y, 2) + " Td" + kCRLF);
            if (italic)
                PutRaw(out, ItalicSimulation() + " " + Trim3(x) + " " + Trim3(y) + " Tm" + kCRLF);
            if (bold)
                PutRaw(out, BoldSimulation(pdfFont.FSize, pdfFont.FColor) + kCRLF);
            if (justified)
                PutRaw(out, "[<" + GlyphHexJustified(run.Data, adjustment) + ">] TJ" + kCRLF + "ET" + kCRLF);
            else
                PutRaw(out, "<" + GlyphHex(run.Data) + "> Tj" + kCRLF + "ET" + kCRLF);
            if (bold)
                PutRaw(out, AnsiString("0 Tr") + kCRLF);

            const long double lineEnd = lineWidth * kPoints + x;
            if (style.Contains(fsUnderline)) {
                PutRawLine(out, "[] 0 d");
                PutRawLine(out, ColorText(pdfFont.FColor, FColorCache) + " RG");
                PutRawLine(out, Fixed(size * kUnderlineWidth, 2) + " w");
                PutRaw(out, MoveToLine(x, y + underlineOffset) + LineToLine(lineEnd, y + underlineOffset));
                PutRawLine(out, "S");
            }
            if (style.Contains(fsStrikeOut))
                PutRaw(out, ColorText(pdfFont.FColor, FColorCache) + " RG" + kCRLF + Fixed(size * kStrikeWidth, 2) +
                                " w" + kCRLF + MoveToLine(x, y + strikeOffset) + LineToLine(lineEnd, y + strikeOffset) +
                                "S" + kCRLF);
        }
    }
    PutRawLine(out, "Q");
}

void TfrxPDFExport::WriteVectorText(TfrxCustomMemoView& memo) {
    TfrxDrawText& dt = memo.GetDrawTextObject();
    TfrxDrawTextLock layoutLock(dt);
    // The layout records its text calls only while Wysiwyg is on; without the recording a
    // rotated memo would lose its text, so the recording is made with it on.
    std::unique_ptr<TVectorCanvas> canvas;
    {
        const TScopeExit restore([&memo, wysiwyg = memo.Wysiwyg()] { memo.SetWysiwyg(wysiwyg); });
        memo.SetWysiwyg(true);
        canvas = memo.GetVectorCanvas();
    }
    PutRawLine(*OutStream, "q");
    for (int i = 0; i < canvas->Count(); ++i)
        if (const TObject& record = canvas->Items(i); IsExtTextOutRecord(&record))
            WriteExtTextOut(memo, static_cast<const TVector_ExtTextOut&>(record));
    PutRawLine(*OutStream, "Q");
}

void TfrxPDFExport::WriteExtTextOut(TfrxCustomMemoView& memo, const TVector_ExtTextOut& record) {
    if (record.Str().empty())
        return;
    TStream& out = *OutStream;
    PutRawLine(out, "%--Vector Begin");
    PutRawLine(out, "q");
    if (record.Options() & kClippedOption) {
        PutRawLine(out, RectText(ObjectRectWithFrame(memo, false), 3) + " re");
        PutRawLine(out, "W");
        PutRawLine(out, "n");
    }
    const TFont font = TextFont(memo);
    TfrxPDFFont& pdfFont = *FFonts->Get(FPOH->GetObjFontNumber(font));
    pdfFont.Update(pdfFont, font);
    const long double theta = memo.ReducedAngle() * std::numbers::pi_v<long double> / 180;
    const long double dx = font.GetSize() * std::sin(theta) * 1.2L;
    const long double dy = font.GetSize() * std::cos(theta) * 1.2L;
    TfrxPoint p{(memo.AbsLeft() + record.X() + dx) * kPoints + FMarginLeft,
                FHeight - FMarginTop - (memo.AbsTop() + record.Y() + dy) * kPoints};
    if (theta != 0) {
        // The rotation about the record's position; the start point is turned back by it, so
        // that the rotated text starts where the record put it.
        TRotation2D rotation;
        rotation.Init(theta, TfrxPoint{(long double)record.X(), (long double)record.Y()}, 3);
        PutRawLine(out, rotation.Matrix() + " cm");
        p = rotation.Turn(p);
    }
    PutRawLine(out, "BT");
    PutRaw(out, pdfFont.FFontName + " " + Fixed(pdfFont.FSize, 3) + " Tf" + kCRLF);
    PutRaw(out, ColorText(pdfFont.FColor, FColorCache) + " rg" + kCRLF);
    PutRawLine(out, PointText(p, 3) + " Td");
    const TRemapedString run = pdfFont.SoftRemapString(record.Str(), (record.Options() & kRightToLeftOption) != 0);
    const bool bold = BoldSimulated(font);
    if (ItalicSimulated(font))
        PutRawLine(out, ItalicSimulation() + " " + PointText(p, 3) + " Tm");
    if (bold)
        PutRawLine(out, BoldSimulation(pdfFont.FSize, pdfFont.FColor));
    const long double textLength = record.TextLength() * kPoints;
    if (run.Data.size() < 2 || run.SpacesCount == 0 || textLength <= 0)
        PutRawLine(out, "<" + GlyphHex(run.Data) + "> Tj");
    else
        PutRawLine(out, "[<" + GlyphHexJustified(run.Data, pdfFont.SpaceAdjustment(run, textLength, pdfFont.FSize)) +
                            ">] TJ");
    PutRawLine(out, "ET");
    if (bold)
        PutRawLine(out, "0 Tr");
    const TFontStyles style = font.GetStyle();
    if (style.Contains(fsUnderline) || style.Contains(fsStrikeOut)) {
        PutRawLine(out, "[] 0 d");
        PutRawLine(out, ColorText(pdfFont.FColor, FColorCache) + " RG");
        auto rule = [&](long double offset, long double width) {
            PutRawLine(out, Fixed(width * pdfFont.FSize, 2) + " w");
            const long double y = offset * pdfFont.FSize + p.Y;
            PutRaw(out, MoveToLine(p.X, y) + kCRLF + LineToLine(p.X + textLength, y) + kCRLF);
            PutRawLine(out, "S");
        };
        if (style.Contains(fsUnderline))
            rule(kUnderlineOffset, kUnderlineWidth);
        if (style.Contains(fsStrikeOut))
            rule(kStrikeOffset, kStrikeWidth);
    }
    PutRawLine(out, "Q");
    PutRawLine(out, "%--Vector End");
}

void TfrxPDFExport::WriteFontObjects(TfrxPDFFont& font) {
    TStream& out = *pdf;
    int fileNo = 0;
    if (FEmbeddedFonts) {
        font.PackTTFFont();
        // A font whose file was never read (no glyph of it was written) is referenced, not embedded.
        if (!font.FontData.empty()) {
            fileNo = FPOH->UpdateXRef();
            PutRawLine(out, ObjectLine(fileNo));
            TMemoryStream data;
            data.WriteBuffer(font.FontData.data(), std::int64_t(font.FontData.size()));
            // Length1: the font program's own length, which readers need for a TrueType program.
            PutRaw(out, "<</Length1 " + IntToAnsi(std::int64_t(font.FontData.size())));
            WriteStreamObject(out, data, fileNo, FCompressed, FProtection, false, true, FPOH->FStreamEncryption);
        }
    }
    const AnsiString name = font.GetFontName();
    const TPDFFontMetrics& m = font.TextMetric();

    const int descriptor = FPOH->UpdateXRef();
    PutRawLine(out, ObjectLine(descriptor));
    PutRawLine(out, "<<");
    PutRawLine(out, "/Type /FontDescriptor");
    PutRawLine(out, "/FontName /" + name);
    PutRawLine(out, "/Flags 32");
    PutRawLine(out, "/FontBBox [" + IntToAnsi(m.BBoxLeft) + " " + IntToAnsi(m.BBoxBottom) + " " +
                        IntToAnsi(m.BBoxRight) + " " + IntToAnsi(m.BBoxTop) + " ]");
    PutRawLine(out, "/ItalicAngle " + IntToAnsi(std::int64_t(Round(m.ItalicAngle))));
    PutRawLine(out, "/Ascent " + IntToAnsi(m.Ascent));
    PutRawLine(out, "/Descent " + IntToAnsi(m.Descent));
    PutRawLine(out, "/Leading " + IntToAnsi(m.tmInternalLeading));
    // The face's own cap height: the cell height (ascent plus descent) would put capitals above
    // the ascent.
    PutRawLine(out, "/CapHeight " + IntToAnsi(m.CapHeight));
    const long double stem = m.Weight / 65.0L;
    PutRawLine(out, "/StemV " + IntToAnsi(50 + std::int64_t(Round(stem * stem))));
    PutRawLine(out, "/AvgWidth " + IntToAnsi(m.AvgWidth));
    PutRawLine(out, "/MaxWidth " + IntToAnsi(m.MaxWidth));
    PutRawLine(out, "/MissingWidth " + IntToAnsi(m.AvgWidth));
    if (fileNo != 0)
        PutRawLine(out, "/FontFile2 " + ObjectRef(fileNo));
    PutRawLine(out, ">>");
    PutRawLine(out, "endobj");

    const int toUnicode = FPOH->UpdateXRef();
    PutRawLine(out, ObjectLine(toUnicode));
    const RawByteString cmap = ToUnicodeCMap(font, name);
    TMemoryStream cmapData;
    cmapData.WriteBuffer(cmap.data(), std::int64_t(cmap.size()));
    WriteStreamObject(out, cmapData, toUnicode, FCompressed, FProtection, true, true, FPOH->FStreamEncryption);

    const int systemInfo = FPOH->UpdateXRef();
    PutRawLine(out, ObjectLine(systemInfo));
    PutRawLine(out, "<<");
    PutRawLine(out, "/Registry " + HexTextString("Adobe", systemInfo, FPOH->FStreamEncryption));
    PutRawLine(out, "/Ordering " + HexTextString("Identity", systemInfo, FPOH->FStreamEncryption));
    PutRawLine(out, "/Supplement 0");
    PutRawLine(out, ">>");
    PutRawLine(out, "endobj");

    const int cidFont = FPOH->UpdateXRef();
    PutRawLine(out, ObjectLine(cidFont));
    PutRawLine(out, "<<");
    PutRawLine(out, "/Type /Font");
    PutRawLine(out, "/Subtype /CIDFontType2");
    PutRawLine(out, "/BaseFont /" + name);
    PutRawLine(out, "/CIDToGIDMap /Identity");
    PutRawLine(out, "/CIDSystemInfo " + ObjectRef(systemInfo));
    PutRawLine(out, "/FontDescriptor " + ObjectRef(descriptor));
    AnsiString widths = "/W [ ";
    for (std::size_t i = 0; i < font.UsedAlphabet.size(); ++i) {
        const int width = i < font.Widths.size() ? font.Widths[i] : -1;
        widths += IntToAnsi(font.UsedAlphabet[i]) + " [" + IntToAnsi(width == -1 ? 0 : width) + "] ";
    }
    PutRawLine(out, widths + "]");
    PutRawLine(out, ">>");
    PutRawLine(out, "endobj");

    FPOH->CRS().SetOffset(font.Reference, out.GetPosition());
    PutRawLine(out, ObjectLine(font.Reference));
    PutRawLine(out, "<<");
    PutRawLine(out, "/Type /Font");
    PutRawLine(out, "/Subtype /Type0");
    PutRawLine(out, "/BaseFont /" + name);
    PutRawLine(out, "/Encoding /Identity-H");
    PutRawLine(out, "/DescendantFonts [" + ObjectRef(cidFont) + "]");
    PutRawLine(out, "/ToUnicode " + ObjectRef(toUnicode));
    PutRawLine(out, ">>");
    PutRawLine(out, "endobj");
}

} // namespace vgl
