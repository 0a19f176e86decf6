#include "platform/rtl/format.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"

namespace vgl {

TVarRec::TVarRec(const char* v) : FKind(vtString), FInt(0), FStr(Utf8ToString(v ? v : "")) {}
TVarRec::TVarRec(const std::string& v) : FKind(vtString), FInt(0), FStr(Utf8ToString(v)) {}

namespace {

// Widths and precisions above this are refused rather than allocated.
constexpr int kMaxWidth = 1 << 20;

[[noreturn]] void FormatError(StringView format) {
    // The message shows at most the first 31 characters of the format.
    throw EConvertError(u"Format '" + String(format.substr(0, 31)) + u"' invalid or incompatible with argument");
}

[[noreturn]] void ArgumentMissing(StringView format) {
    throw EConvertError(u"No argument for format '" + String(format.substr(0, 31)) + u"'");
}

String Hex(std::uint64_t v) {
    static const char16_t kDigits[] = u"0123456789ABCDEF";
    String r;
    do {
        r += kDigits[v & 0xF];
        v >>= 4;
    } while (v != 0);
    std::reverse(r.begin(), r.end());
    return r;
}

// Left-pads digits with zeros to `precision` (the minimum number of digits of %d %u %x).
String ZeroPad(String digits, int precision) {
    if (precision > static_cast<int>(digits.size()))
        digits.insert(0, static_cast<size_t>(precision) - digits.size(), u'0');
    return digits;
}

class Formatter {
public:
    Formatter(StringView format, std::span<const TVarRec> args, const TFormatSettings& settings)
        : FFormat(format), FArgs(args.data()), FCount(args.size()), FSettings(settings) {}

    String Run() {
        String out;
        out.reserve(FFormat.size() + 16);
        size_t i = 0;
        while (i < FFormat.size()) {
            const size_t percent = FFormat.find(u'%', i);
            if (percent == StringView::npos) {
                out.append(FFormat.substr(i));
                break;
            }
            out.append(FFormat.substr(i, percent - i));
            i = percent + 1;
            if (i < FFormat.size() && FFormat[i] == u'%') {
                out += u'%';
                ++i;
                continue;
            }
            i = Specifier(i, out);
        }
        return out;
    }

private:
    StringView FFormat;
    const TVarRec* FArgs;
    size_t FCount;
    const TFormatSettings& FSettings;
    size_t FNext = 0;

    const TVarRec& NextArg() {
        if (FNext >= FCount)
            ArgumentMissing(FFormat);
        return FArgs[FNext++];
    }

    bool At(size_t i, Char c) const { return i < FFormat.size() && FFormat[i] == c; }

    // A number, or "*" taking an Integer argument (which may be negative); nothing when neither.
    std::optional<int> Number(size_t& i) {
        if (At(i, u'*')) {
            ++i;
            const TVarRec& a = NextArg();
            if (a.GetKind() != TVarRec::vtInteger)
                FormatError(FFormat);
            const std::int64_t v = a.AsInt64();
            if (v < -kMaxWidth || v > kMaxWidth)
                FormatError(FFormat);
            return static_cast<int>(v);
        }
        if (i >= FFormat.size() || FFormat[i] < u'0' || FFormat[i] > u'9')
            return std::nullopt;
        int v = 0;
        for (; i < FFormat.size() && FFormat[i] >= u'0' && FFormat[i] <= u'9'; ++i) {
            v = v * 10 + (FFormat[i] - u'0');
            if (v > kMaxWidth)
                FormatError(FFormat);
        }
        return v;
    }

    // Parses one specifier after its "%" ([index ":"] ["-"] [width] ["." precision] type) and
    // appends its text; returns the position after it.
    size_t Specifier(size_t i, String& out) {
        bool left = false;
        int width = 0, precision = -1;
        std::optional<int> n = Number(i);
        if (At(i, u':')) {
            // The argument index (0-based); later specifiers continue after it.
            if (!n || *n < 0)
                FormatError(FFormat);
            FNext = static_cast<size_t>(*n);
            ++i;
            n.reset();
        }
        if (!n && At(i, u'-')) {
            left = true;
            ++i;
        }
        if (!n)
            n = Number(i);
        if (n) {
            width = *n;
            if (width < 0) {
                // A negative width from the arguments left-justifies.
                left = true;
                width = -width;
            }
        }
        if (At(i, u'.')) {
            ++i;
            const std::optional<int> p = Number(i);
            // No digits mean 0; a negative precision from the arguments means none.
            precision = !p ? 0 : std::max(*p, -1);
        }
        if (i >= FFormat.size())
            FormatError(FFormat);
        const Char type = FFormat[i++];
        String text = Convert(type, precision);
        if (width > static_cast<int>(text.size())) {
            const size_t pad = static_cast<size_t>(width) - text.size();
            if (left)
                text.append(pad, u' ');
            else
                text.insert(0, pad, u' ');
        }
        out += text;
        return i;
    }

    String Convert(Char type, int precision) {
        const TVarRec& a = NextArg();
        const TVarRec::Kind kind = a.GetKind();
        const bool integer = kind == TVarRec::vtInteger || kind == TVarRec::vtInt64 || kind == TVarRec::vtUInt64;
        const bool real = kind == TVarRec::vtExtended || kind == TVarRec::vtCurrency;
        switch (type) {
        case u'd':
        case u'D': {
            if (!integer)
                FormatError(FFormat);
            if (kind == TVarRec::vtUInt64)
                return ZeroPad(UIntToStr(a.AsUInt64()), precision);
            const std::int64_t v = a.AsInt64();
            const std::uint64_t magnitude =
                v < 0 ? 0ull - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
            String digits = ZeroPad(UIntToStr(magnitude), precision);
            return v < 0 ? u"-" + digits : digits;
        }
        case u'u':
        case u'U':
        case u'x':
        case u'X': {
            if (!integer)
                FormatError(FFormat);
            // A negative Integer reads as its 32-bit pattern, a negative Int64 as its 64-bit one.
            std::uint64_t v = kind == TVarRec::vtInteger
                                  ? static_cast<std::uint32_t>(static_cast<std::int32_t>(a.AsInt64()))
                                  : a.AsUInt64();
            return ZeroPad(type == u'u' || type == u'U' ? UIntToStr(v) : Hex(v), precision);
        }
        case u'e':
        case u'E':
        case u'f':
        case u'F':
        case u'g':
        case u'G':
        case u'n':
        case u'N':
        case u'm':
        case u'M': {
            if (!real)
                FormatError(FFormat);
            const long double v =
                kind == TVarRec::vtCurrency ? static_cast<long double>(a.AsInt64()) / 10000.0L : a.AsExtended();
            switch (type | 0x20) {
            case u'e':
                return FloatToStrF(v, ffExponent, precision < 0 ? 15 : precision, 3, FSettings);
            case u'g':
                return FloatToStrF(v, ffGeneral, precision < 0 ? 15 : precision, 3, FSettings);
            case u'f':
                return FloatToStrF(v, ffFixed, 18, precision < 0 ? 2 : precision, FSettings);
            case u'n':
                return FloatToStrF(v, ffNumber, 18, precision < 0 ? 2 : precision, FSettings);
            default:
                return FloatToStrF(v, ffCurrency, 18, precision < 0 ? FSettings.CurrencyDecimals : precision,
                                   FSettings);
            }
        }
        case u'p':
        case u'P':
            if (kind != TVarRec::vtPointer)
                FormatError(FFormat);
            return ZeroPad(Hex(a.AsUInt64()), 2 * static_cast<int>(sizeof(void*)));
        case u's':
        case u'S': {
            String s;
            if (kind == TVarRec::vtString)
                s = a.AsString();
            else if (kind == TVarRec::vtChar)
                s = String(1, static_cast<Char>(a.AsInt64()));
            else
                FormatError(FFormat);
            if (precision >= 0 && static_cast<size_t>(precision) < s.size())
                s.resize(static_cast<size_t>(precision));
            return s;
        }
        default:
            FormatError(FFormat);
        }
    }
};

} // namespace

String Format(StringView format, TVarRecs args) {
    return Formatter(format, std::span<const TVarRec>(args.begin(), args.size()), FormatSettings()).Run();
}

String Format(StringView format, std::span<const TVarRec> args) {
    return Formatter(format, args, FormatSettings()).Run();
}

String Format(StringView format, TVarRecs args, const TFormatSettings& settings) {
    return Formatter(format, std::span<const TVarRec>(args.begin(), args.size()), settings).Run();
}

String Format(StringView format, std::span<const TVarRec> args, const TFormatSettings& settings) {
    return Formatter(format, args, settings).Run();
}

} // namespace vgl
