#include "report/export/pdf_values.h"

#include "platform/rtl/streams.h"

namespace vgl {

namespace {

const char* const CRLF = "\r\n";

AnsiString Hex4(Char c) {
    const std::uint8_t bytes[2] = {std::uint8_t(c >> 8), std::uint8_t(c)};
    return BytesToHex({bytes, 2}, true);
}

AnsiString PairLine(long double x, long double y, const char* op) {
    return FloatToFixedAnsi(x, 2) + " " + FloatToFixedAnsi(y, 2) + " " + op + CRLF;
}

} // namespace

void PutRaw(TStream& stream, const RawByteString& bytes) {
    stream.WriteBuffer(bytes.data(), std::int64_t(bytes.size()));
}

void PutRawLine(TStream& stream, const RawByteString& bytes) {
    PutRaw(stream, bytes + CRLF);
}

void PutText(TStream& stream, StringView text) {
    PutRaw(stream, StringToAnsi(text));
}

void PutLine(TStream& stream, StringView text) {
    PutRawLine(stream, StringToAnsi(text));
}

AnsiString ObjectLine(int n) {
    return IntToAnsi(n) + " 0 obj";
}

AnsiString ObjectRef(int n) {
    return IntToAnsi(n) + " 0 R";
}

AnsiString RectText(const TfrxRect& rect, int decimals) {
    return FloatToTrimmedText(rect.Left, decimals) + " " + FloatToTrimmedText(rect.Bottom, decimals) + " " +
           FloatToTrimmedText(rect.Right - rect.Left, decimals) + " " +
           FloatToTrimmedText(rect.Top - rect.Bottom, decimals);
}

AnsiString ColorText(TColor color, TPDFColorCache& cache) {
    const TColor rgb = ColorToRGB(color);
    if (rgb == 0)
        return "0 0 0";
    if (rgb == clWhite)
        return "1 1 1";
    if (rgb == cache.FLastColor)
        return cache.FLastColorResult;
    cache.FLastColor = rgb;
    cache.FLastColorResult = FloatToFixedAnsi(GetRValue(rgb) / 255.0L, 2) + " " +
                             FloatToFixedAnsi(GetGValue(rgb) / 255.0L, 2) + " " +
                             FloatToFixedAnsi(GetBValue(rgb) / 255.0L, 2);
    return cache.FLastColorResult;
}

AnsiString ColorTextShort(TColor color) {
    if (color == clNone)
        return "0 0 0";
    const TColor rgb = ColorToRGB(color);
    return FloatToTrimmedText(GetRValue(rgb) / 255.0L, 3) + " " + FloatToTrimmedText(GetGValue(rgb) / 255.0L, 3) + " " +
           FloatToTrimmedText(GetBValue(rgb) / 255.0L, 3);
}

AnsiString ColorComponentText(int component) {
    if (component <= 0)
        return "0";
    if (component > 254)
        return "1";
    const int v = component * 100 / 256;
    return AnsiString("0.") + char('0' + v / 10) + char('0' + v % 10);
}

AnsiString ColorComponentsText(TColor color) {
    const TColor rgb = ColorToRGB(color);
    return ColorComponentText(GetRValue(rgb)) + " " + ColorComponentText(GetGValue(rgb)) + " " +
           ColorComponentText(GetBValue(rgb));
}

AnsiString StrokeColorLine(TColor color) {
    return ColorComponentsText(color) + " RG" + CRLF;
}

AnsiString FillColorLine(TColor color) {
    return ColorComponentsText(color) + " rg" + CRLF;
}

AnsiString LineWidthLine(long double width) {
    return FloatToFixedAnsi(width * 0.75L, 2) + " w" + CRLF;
}

AnsiString MoveToLine(long double x, long double y) {
    return PairLine(x, y, "m");
}

AnsiString LineToLine(long double x, long double y) {
    return PairLine(x, y, "l");
}

AnsiString StrokeLine() {
    return AnsiString("S") + CRLF;
}

AnsiString FillStrokeLine() {
    return AnsiString("B") + CRLF;
}

AnsiString RectPathLines(const TfrxRect& rect, TColor color) {
    return LineWidthLine(0) + StrokeColorLine(color) + FillColorLine(color) + MoveToLine(rect.Left, rect.Bottom) +
           LineToLine(rect.Right, rect.Bottom) + LineToLine(rect.Right, rect.Top) + LineToLine(rect.Left, rect.Top) +
           FillStrokeLine();
}

RawByteString EscapeLiteral(const RawByteString& bytes) {
    RawByteString s;
    for (char c : bytes) {
        if (c == '(' || c == ')' || c == '\\') {
            s += '\\';
            s += c;
        } else if (c == '\n') {
            s += "\\n";
        } else if (c == '\r') {
            s += "\\r";
        } else {
            s += c;
        }
    }
    return s;
}

AnsiString HexBytes(const RawByteString& bytes) {
    return "<" + BytesToHex(bytes, true) + ">";
}

AnsiString HexTextString(const RawByteString& bytes, int objectNumber, const TPDFStringEncryption& encryption) {
    return HexBytes(encryption ? encryption(bytes, objectNumber) : bytes);
}

RawByteString ToUTF16BE(StringView text) {
    RawByteString s = "\xFE\xFF";
    for (Char c : text) {
        s += char(c >> 8);
        s += char(c & 0xFF);
    }
    return s;
}

AnsiString UnicodeTextString(StringView text, int objectNumber, const TPDFStringEncryption& encryption) {
    return HexTextString(ToUTF16BE(text), objectNumber, encryption);
}

AnsiString UnicodeHex(StringView text) {
    AnsiString s = "FEFF";
    for (Char c : text)
        s += Hex4(c);
    return s;
}

bool IsPlainLiteral(StringView text) {
    int open = 0;
    for (Char c : text) {
        if (c < 32 || c > 126)
            return false;
        if (c == u'(')
            ++open;
        else if (c == u')' && --open < 0)
            return false;
    }
    return open == 0;
}

AnsiString LiteralOrHex(StringView text) {
    if (IsPlainLiteral(text)) {
        AnsiString s = "(";
        for (char c : StringToAnsi(text)) {
            if (c == '\\')
                s += '\\'; // a lone backslash would escape the character after it
            s += c;
        }
        return s + ")";
    }
    AnsiString s = "<";
    for (Char c : text)
        s += Hex4(c);
    return s + ">";
}

} // namespace vgl
