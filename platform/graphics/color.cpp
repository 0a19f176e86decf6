#include "platform/graphics/color.h"

#include <array>
#include <cstdlib>
#include <string>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection.h"
#include "platform/rtl/sysutils.h"

namespace vgl {

namespace {

// The classic system colour scheme, indexed by the system colour number.
constexpr std::array<TColor, 31> SystemColors = {
    RGB(212, 208, 200), RGB(58, 110, 165),  RGB(10, 36, 106),   RGB(128, 128, 128), RGB(212, 208, 200),
    RGB(255, 255, 255), RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(255, 255, 255),
    RGB(212, 208, 200), RGB(212, 208, 200), RGB(128, 128, 128), RGB(10, 36, 106),   RGB(255, 255, 255),
    RGB(212, 208, 200), RGB(128, 128, 128), RGB(128, 128, 128), RGB(0, 0, 0),       RGB(212, 208, 200),
    RGB(255, 255, 255), RGB(64, 64, 64),    RGB(212, 208, 200), RGB(0, 0, 0),       RGB(255, 255, 225),
    RGB(181, 181, 181), RGB(0, 0, 128),     RGB(166, 202, 240), RGB(192, 192, 192), RGB(49, 106, 197),
    RGB(236, 233, 216)};

struct ColorName {
    TColor Value;
    const char* Name;
};

// The platform's colour identifiers, in its order.
constexpr ColorName ColorNames[] = {
    {clBlack, "clBlack"},
    {clMaroon, "clMaroon"},
    {clGreen, "clGreen"},
    {clOlive, "clOlive"},
    {clNavy, "clNavy"},
    {clPurple, "clPurple"},
    {clTeal, "clTeal"},
    {clGray, "clGray"},
    {clSilver, "clSilver"},
    {clRed, "clRed"},
    {clLime, "clLime"},
    {clYellow, "clYellow"},
    {clBlue, "clBlue"},
    {clFuchsia, "clFuchsia"},
    {clAqua, "clAqua"},
    {clWhite, "clWhite"},
    {clMoneyGreen, "clMoneyGreen"},
    {clSkyBlue, "clSkyBlue"},
    {clCream, "clCream"},
    {clMedGray, "clMedGray"},
    {clActiveBorder, "clActiveBorder"},
    {clActiveCaption, "clActiveCaption"},
    {clAppWorkSpace, "clAppWorkSpace"},
    {clBackground, "clBackground"},
    {clBtnFace, "clBtnFace"},
    {clBtnHighlight, "clBtnHighlight"},
    {clBtnShadow, "clBtnShadow"},
    {clBtnText, "clBtnText"},
    {clCaptionText, "clCaptionText"},
    {clDefault, "clDefault"},
    {clGradientActiveCaption, "clGradientActiveCaption"},
    {clGradientInactiveCaption, "clGradientInactiveCaption"},
    {clGrayText, "clGrayText"},
    {clHighlight, "clHighlight"},
    {clHighlightText, "clHighlightText"},
    {clHotLight, "clHotLight"},
    {clInactiveBorder, "clInactiveBorder"},
    {clInactiveCaption, "clInactiveCaption"},
    {clInactiveCaptionText, "clInactiveCaptionText"},
    {clInfoBk, "clInfoBk"},
    {clInfoText, "clInfoText"},
    {clMenu, "clMenu"},
    {clMenuBar, "clMenuBar"},
    {clMenuHighlight, "clMenuHighlight"},
    {clMenuText, "clMenuText"},
    {clNone, "clNone"},
    {clScrollBar, "clScrollBar"},
    {cl3DDkShadow, "cl3DDkShadow"},
    {cl3DLight, "cl3DLight"},
    {clWindow, "clWindow"},
    {clWindowFrame, "clWindowFrame"},
    {clWindowText, "clWindowText"},
};

bool SameAscii(StringView a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        if (AsciiLowerChar(a[i]) != AsciiLowerChar(Char(b[i])))
            return false;
    }
    return i == a.size() && b[i] == 0;
}

} // namespace

TColor ColorToRGB(TColor color) {
    if (color == clNone || color == clDefault)
        return clBlack;
    if (color & clSystemColor) {
        unsigned index = unsigned(color) & 0xFF;
        return index < SystemColors.size() ? SystemColors[index] : clBlack;
    }
    return color & 0xFFFFFF;
}

std::optional<TColor> IdentToColor(StringView ident) {
    for (const auto& entry : ColorNames)
        if (SameAscii(ident, entry.Name))
            return entry.Value;
    return std::nullopt;
}

void GetColorValues(const std::function<void(const String& name)>& proc) {
    for (const auto& entry : ColorNames)
        proc(ToString(entry.Name));
}

std::optional<String> ColorToIdent(TColor color) {
    for (const auto& entry : ColorNames)
        if (entry.Value == color)
            return ToString(entry.Name);
    return std::nullopt;
}

String ColorToString(TColor color) {
    if (auto name = ColorToIdent(color))
        return *name;
    static const char digits[] = "0123456789ABCDEF";
    std::string text = "$";
    for (int shift = 28; shift >= 0; shift -= 4)
        text += digits[(unsigned(color) >> shift) & 0xF];
    return ToString(text);
}

TColor StringToColor(StringView text) {
    if (auto color = IdentToColor(text))
        return *color;
    std::string ascii;
    for (char16_t c : text) {
        if (c > 0x7F)
            throw EConvertError(u"'" + String(text) + u"' is not a valid integer value");
        ascii += char(c);
    }
    size_t start = ascii.find_first_not_of(" \t");
    size_t end = ascii.find_last_not_of(" \t");
    std::string body = start == std::string::npos ? std::string() : ascii.substr(start, end - start + 1);
    bool negative = false;
    size_t pos = 0;
    if (pos < body.size() && (body[pos] == '-' || body[pos] == '+'))
        negative = body[pos++] == '-';
    int base = 10;
    if (pos < body.size() && body[pos] == '$') {
        base = 16;
        ++pos;
    } else if (pos + 1 < body.size() && body[pos] == '0' && (body[pos + 1] == 'x' || body[pos + 1] == 'X')) {
        base = 16;
        pos += 2;
    }
    if (pos >= body.size())
        throw EConvertError(u"'" + String(text) + u"' is not a valid integer value");
    char* endPtr = nullptr;
    long long value = std::strtoll(body.c_str() + pos, &endPtr, base);
    if (*endPtr != 0 || value > 0xFFFFFFFFLL)
        throw EConvertError(u"'" + String(text) + u"' is not a valid integer value");
    return TColor(std::uint32_t(negative ? -value : value));
}

const TypeInfo& ColorTypeInfo() {
    static const TypeInfo info = AliasTypeInfo(TypeInfoFor(TypeTag<std::int32_t>{}), u"TColor");
    return info;
}

} // namespace vgl
