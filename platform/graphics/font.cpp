#include "platform/graphics/font.h"

#include <cstdint>

#include "platform/rtl/reflection_builder.h"

namespace vgl {

VGL_DEFINE_ENUM(TFontStyle, u"fsBold", u"fsItalic", u"fsUnderline", u"fsStrikeOut")
VGL_DEFINE_SET(TFontStyles, TFontStyle)

const TypeInfo& FontCharsetTypeInfo() {
    static const TypeInfo info = AliasTypeInfo(TypeInfoFor(TypeTag<std::uint8_t>{}), u"TFontCharset");
    return info;
}

VGL_DEFINE_CLASS(TFont) {
    b.Property(u"Charset", &TFont::GetCharset, &TFont::SetCharset).Type(FontCharsetTypeInfo());
    b.Property(u"Color", &TFont::GetColor, &TFont::SetColor).Type(ColorTypeInfo());
    b.Property(u"Height", &TFont::GetHeight, &TFont::SetHeight);
    b.Property(u"Name", &TFont::GetName, &TFont::SetName);
    b.Property(u"Orientation", &TFont::GetOrientation, &TFont::SetOrientation).Default(0);
    b.Property(u"Size", &TFont::GetSize, &TFont::SetSize).Stored(false);
    b.Property(u"Style", &TFont::GetStyle, &TFont::SetStyle);
}

namespace {

// a × b / c rounded half away from zero with a 64-bit intermediate.
int MulDivRound(int a, int b, int c) {
    if (c == 0)
        return -1;
    std::int64_t n = std::int64_t(a) * b;
    std::int64_t q = n / c, r = n % c;
    if (2 * (r < 0 ? -r : r) >= (c < 0 ? -std::int64_t(c) : c))
        q += ((n < 0) != (c < 0)) ? -1 : 1;
    return int(q);
}

} // namespace

void TFont::Changed() {
    if (OnChange)
        OnChange(this);
}

void TFont::SetName(StringView name) {
    if (FData.Name != name) {
        FData.Name = String(name);
        Changed();
    }
}

void TFont::SetHeight(int height) {
    if (FData.Height != height) {
        FData.Height = height;
        Changed();
    }
}

int TFont::GetSize() const {
    return -MulDivRound(FData.Height, 72, FData.PixelsPerInch);
}

void TFont::SetSize(int size) {
    SetHeight(-MulDivRound(size, FData.PixelsPerInch, 72));
}

void TFont::SetPixelsPerInch(int ppi) {
    if (ppi > 0 && FData.PixelsPerInch != ppi) {
        FData.PixelsPerInch = ppi;
        Changed();
    }
}

void TFont::SetStyle(TFontStyles style) {
    if (FData.Style != style) {
        FData.Style = style;
        Changed();
    }
}

void TFont::SetCharset(TFontCharset charset) {
    if (FData.Charset != charset) {
        FData.Charset = charset;
        Changed();
    }
}

void TFont::SetColor(TColor color) {
    if (FData.Color != color) {
        FData.Color = color;
        Changed();
    }
}

void TFont::SetOrientation(int tenthsOfDegree) {
    if (FData.Orientation != tenthsOfDegree) {
        FData.Orientation = tenthsOfDegree;
        Changed();
    }
}

void TFont::Assign(const TPersistent* source) {
    if (auto* font = dynamic_cast<const TFont*>(source))
        return SetData(font->FData);
    TPersistent::Assign(source);
}

void TFont::SetData(const TFontData& data) {
    if (!(FData == data)) {
        FData = data;
        Changed();
    }
}

} // namespace vgl
