#pragma once
// TFont: the logical font of a canvas (name, height in pixels or size in points, style,
// character set, colour, escapement), with a change notification.

#include <cstdint>
#include <initializer_list>

#include "platform/graphics/color.h"
#include "platform/graphics/geometry.h"
#include "platform/rtl/ustring.h"

namespace vgl {

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };

/// A set of font styles (bit n = TFontStyle n).
class TFontStyles {
public:
    constexpr TFontStyles() = default;
    constexpr TFontStyles(std::initializer_list<TFontStyle> styles) {
        for (TFontStyle s : styles)
            FBits |= std::uint8_t(1u << s);
    }
    static constexpr TFontStyles FromBits(std::uint8_t bits) {
        TFontStyles s;
        s.FBits = bits & 0x0F;
        return s;
    }
    constexpr bool Contains(TFontStyle s) const { return (FBits >> s) & 1; }
    constexpr void Include(TFontStyle s) { FBits |= std::uint8_t(1u << s); }
    constexpr void Exclude(TFontStyle s) { FBits &= std::uint8_t(~(1u << s)); }
    constexpr std::uint8_t Bits() const { return FBits; }
    constexpr bool Empty() const { return FBits == 0; }
    friend constexpr bool operator==(TFontStyles, TFontStyles) = default;

private:
    std::uint8_t FBits = 0;
};

using TFontCharset = std::uint8_t;
constexpr TFontCharset ANSI_CHARSET = 0;
constexpr TFontCharset DEFAULT_CHARSET = 1;
constexpr TFontCharset SYMBOL_CHARSET = 2;

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

class TFont : public TObject {
public:
    TFont() = default;
    String ClassName() const override { return u"TFont"; }

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
    void Assign(const TFont& source) { SetData(source.FData); }

    TNotifyEvent OnChange;

private:
    void Changed();
    TFontData FData;
};

} // namespace vgl
