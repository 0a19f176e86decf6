#pragma once
// TFont: the logical font of a canvas (name, height in pixels or size in points, style,
// character set, colour, escapement), with a change notification.

#include <cstdint>

#include "platform/graphics/color.h"
#include "platform/graphics/geometry.h"
#include "platform/rtl/persistent.h"
#include "platform/rtl/ustring.h"

namespace vgl {

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
VGL_DECLARE_ENUM(TFontStyle);
/// A set of font styles (bit n = TFontStyle n); written as the sum bold 1, italic 2, underline 4,
/// strike-out 8.
VGL_DECLARE_SET(TFontStyles, TFontStyle);

using TFontCharset = std::uint8_t;
constexpr TFontCharset ANSI_CHARSET = 0;
constexpr TFontCharset DEFAULT_CHARSET = 1;
constexpr TFontCharset SYMBOL_CHARSET = 2;
/// "TFontCharset": a Byte.
const TypeInfo& FontCharsetTypeInfo();

/// The plain values of a font, copied as one (metafile records keep a copy of them).
struct TFontData {
    String Name = u"Arial";
    int Height = -13;       ///< pixels: negative = em height, positive = cell height (ascent + descent)
    int PixelsPerInch = 96; ///< resolution that converts Size to Height
    TFontStyles Style;
    TFontCharset Charset = DEFAULT_CHARSET;
    TColor Color = clWindowText;
    int Orientation = 0; ///< escapement of the baseline in tenths of a degree, counter-clockwise
    friend bool operator==(const TFontData&, const TFontData&) = default;
};

/// Published: Charset, Color, Height, Name, Orientation (default 0), Size (not stored: Height
/// carries it) and Style.
class TFont : public TPersistent {
    VGL_CLASS(TFont, TPersistent)
    TFont() = default;

    const String& GetName() const { return FData.Name; }
    void SetName(StringView name);
    int GetHeight() const { return FData.Height; }
    void SetHeight(int height);
    /// Size in points: -Height × 72 / PixelsPerInch, rounded half away from zero.
    int GetSize() const;
    /// Sets Height to -(Size × PixelsPerInch / 72), rounded half away from zero.
    void SetSize(int size);
    int GetPixelsPerInch() const { return FData.PixelsPerInch; }
    /// Changes the resolution; Height stays, so Size follows.
    void SetPixelsPerInch(int ppi);
    TFontStyles GetStyle() const { return FData.Style; }
    void SetStyle(TFontStyles style);
    TFontCharset GetCharset() const { return FData.Charset; }
    void SetCharset(TFontCharset charset);
    TColor GetColor() const { return FData.Color; }
    void SetColor(TColor color);
    int GetOrientation() const { return FData.Orientation; }
    void SetOrientation(int tenthsOfDegree);

    const TFontData& Data() const { return FData; }
    /// Takes all values at once (one notification when anything differs).
    void SetData(const TFontData& data);
    /// Takes the values of another font (OnChange stays); anything else as TPersistent.
    void Assign(const TPersistent* source) override;
    void Assign(const TFont& source) { SetData(source.FData); }

    TNotifyEvent OnChange;

private:
    void Changed();
    TFontData FData;
};

} // namespace vgl
