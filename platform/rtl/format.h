#pragma once
// Format: the platform's format function, with its argument record.

#include <cstdint>
#include <initializer_list>
#include <span>

#include "platform/rtl/format_settings.h"
#include "platform/rtl/ustring.h"

namespace vgl {

/// One argument of Format: a tagged value as the platform's "array of const" held it.
class TVarRec {
public:
    enum Kind { vtInteger, vtInt64, vtUInt64, vtBoolean, vtChar, vtExtended, vtCurrency, vtString, vtPointer };

    TVarRec(int v) : FKind(vtInteger), FInt(v) {}
    TVarRec(long v) : FKind(vtInt64), FInt(v) {}
    TVarRec(long long v) : FKind(vtInt64), FInt(v) {}
    TVarRec(unsigned v) : FKind(vtInt64), FInt(v) {}
    TVarRec(unsigned long v) : FKind(vtUInt64), FUInt(v) {}
    TVarRec(unsigned long long v) : FKind(vtUInt64), FUInt(v) {}
    TVarRec(bool v) : FKind(vtBoolean), FInt(v) {}
    TVarRec(char16_t v) : FKind(vtChar), FInt(v) {}
    TVarRec(float v) : FKind(vtExtended), FFloat(v) {}
    TVarRec(double v) : FKind(vtExtended), FFloat(v) {}
    TVarRec(long double v) : FKind(vtExtended), FFloat(v) {}
    TVarRec(const String& v) : FKind(vtString), FStr(v) {}
    TVarRec(StringView v) : FKind(vtString), FStr(v) {}
    TVarRec(const char16_t* v) : FKind(vtString), FStr(v ? v : u"") {}
    /// 8-bit text is taken as UTF-8.
    TVarRec(const char* v);
    TVarRec(const std::string& v);
    TVarRec(const void* v) : FKind(vtPointer), FUInt(reinterpret_cast<std::uintptr_t>(v)) {}

    /// A Currency value: the 64-bit integer scaled by 10,000.
    static TVarRec Currency(std::int64_t scaled) {
        TVarRec r(0);
        r.FKind = vtCurrency;
        r.FInt = scaled;
        return r;
    }

    Kind GetKind() const { return FKind; }
    std::int64_t AsInt64() const { return FInt; }
    std::uint64_t AsUInt64() const { return FUInt; }
    long double AsExtended() const { return FFloat; }
    const String& AsString() const { return FStr; }

private:
    Kind FKind;
    union {
        std::int64_t FInt;
        std::uint64_t FUInt;
        long double FFloat;
    };
    String FStr;
};

using TVarRecs = std::initializer_list<TVarRec>;

/// The platform's Format: specifiers "%" [index ":"] ["-"] [width] ["." precision] type with the
/// types d u e f g n m p s x (case-insensitive), "*" for width or precision taken from the
/// arguments, and "%%". Numbers use the process format settings (decimal separator ".",
/// thousands separator ",") or the given record. Raises EConvertError "Format '%s' invalid or
/// incompatible with argument" on a bad specifier or a wrong argument kind and "No argument for
/// format '%s'" when the arguments run out (the format shown up to its 31st character).
String Format(StringView format, TVarRecs args);
String Format(StringView format, TVarRecs args, const TFormatSettings& settings);
/// Format over an argument list built at run time.
String Format(StringView format, std::span<const TVarRec> args);
String Format(StringView format, std::span<const TVarRec> args, const TFormatSettings& settings);

} // namespace vgl
