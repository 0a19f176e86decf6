#include "remoting/core/ro_binary_helpers.h"

#include <cstring>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/format_settings.h"
#include "platform/rtl/streams.h"
#include "remoting/core/ro_utils.h"

namespace vgl {

namespace {

using UInt128 = unsigned __int128;

constexpr UInt128 MaxDecimalInteger = (UInt128(1) << 96) - 1;
constexpr std::int32_t ErrorParamNotFound = static_cast<std::int32_t>(0x80020004u);
constexpr TVarType ByteArrayCode = varArray | varByte;

[[noreturn]] void EndOfStream() {
    throw EROException(String(u"Unexpected end of stream."));
}

[[noreturn]] void Unsupported(int code) {
    throw EROBinaryConversionException(u"Unsupported variant type \"%d\"", {code});
}

std::int64_t Remaining(TStream& stream) {
    std::int64_t left = stream.GetSize() - stream.GetPosition();
    return left < 0 ? 0 : left;
}

void ReadExactly(TStream& stream, void* buffer, std::int64_t count) {
    if (count < 0 || count > Remaining(stream) || stream.Read(buffer, count) != count)
        EndOfStream();
}

template <class T> T ReadValue(TStream& stream) {
    unsigned char bytes[sizeof(T)];
    ReadExactly(stream, bytes, sizeof(T));
    T value;
    std::memcpy(&value, bytes, sizeof(T));
    return value;
}

template <class T> void WriteValue(TStream& stream, T value) {
    stream.WriteBuffer(&value, sizeof(T));
}

std::string ReadLengthPrefixed(TStream& stream) {
    auto length = ReadValue<std::int32_t>(stream);
    if (length < 0 || length > Remaining(stream))
        EndOfStream();
    std::string bytes(static_cast<std::size_t>(length), '\0');
    ReadExactly(stream, bytes.data(), length);
    return bytes;
}

/// Element types an array in the binary form may have: the scalar codes of the table and
/// Variant.
bool IsBinaryElementType(TVarType t) {
    switch (t) {
    case varSmallint:
    case varInteger:
    case varSingle:
    case varDouble:
    case varCurrency:
    case varDate:
    case varOleStr:
    case varError:
    case varBoolean:
    case varVariant:
    case varShortInt:
    case varByte:
    case varWord:
    case varLongWord:
    case varInt64:
    case varUInt64:
    case varString:
    case varUString:
        return true;
    default:
        return false;
    }
}

void WriteScalar(const Variant& value, TStream& stream) {
    TVarType code = value.VType();
    switch (code) {
    case varEmpty:
    case varNull:
    case varError:
        WriteValue<std::int32_t>(stream, code);
        break;
    case varSmallint:
        WriteValue<std::int32_t>(stream, code);
        WriteValue<std::int16_t>(stream, static_cast<std::int16_t>(value.AsInteger()));
        break;
    case varInteger:
        WriteValue<std::int32_t>(stream, code);
        WriteValue<std::int32_t>(stream, value.AsInteger());
        break;
    case varLongWord:
        WriteValue<std::int32_t>(stream, code);
        WriteValue<std::uint32_t>(stream, static_cast<std::uint32_t>(value.AsInt64()));
        break;
    case varSingle:
        WriteValue<std::int32_t>(stream, code);
        WriteValue<float>(stream, value.AsSingle());
        break;
    case varDouble:
        WriteValue<std::int32_t>(stream, code);
        WriteValue<double>(stream, value.AsDouble());
        break;
    case varDate:
        WriteValue<std::int32_t>(stream, code);
        WriteValue<double>(stream, value.AsDate());
        break;
    case varCurrency:
        WriteValue<std::int32_t>(stream, code);
        WriteValue<std::int64_t>(stream, value.AsCurrency());
        break;
    case varOleStr:
    case varUString:
        WriteValue<std::int32_t>(stream, code);
        WriteLengthPrefixedBytes(stream, StringToUtf8(value.AsString()));
        break;
    case varString:
        WriteValue<std::int32_t>(stream, code);
        WriteLengthPrefixedBytes(stream, value.AsAnsiString());
        break;
    case varBoolean:
        WriteValue<std::int32_t>(stream, code);
        WriteValue<std::int32_t>(stream, value.AsBoolean() ? 1 : 0);
        break;
    case varShortInt:
        WriteValue<std::int32_t>(stream, code);
        WriteValue<std::int8_t>(stream, static_cast<std::int8_t>(value.AsInteger()));
        break;
    case varByte:
        WriteValue<std::int32_t>(stream, code);
        WriteValue<std::uint8_t>(stream, static_cast<std::uint8_t>(value.AsInteger()));
        break;
    case varWord:
        WriteValue<std::int32_t>(stream, code);
        WriteValue<std::uint16_t>(stream, static_cast<std::uint16_t>(value.AsInteger()));
        break;
    case varInt64:
        WriteValue<std::int32_t>(stream, code);
        WriteValue<std::int64_t>(stream, value.AsInt64());
        break;
    case varUInt64: {
        // Values that fit a signed 64-bit integer keep code 20; larger ones are written with 21,
        // so that they read back unsigned instead of negative.
        std::uint64_t v = value.AsUInt64();
        WriteValue<std::int32_t>(stream, v > static_cast<std::uint64_t>(INT64_MAX) ? varUInt64 : varInt64);
        WriteValue<std::uint64_t>(stream, v);
        break;
    }
    case varDispatch:
        throw EROBinaryConversionException(u"Marshaling of IDispatch (%d) type variants is not supported.",
                                           {static_cast<int>(code)});
    default:
        Unsupported(code);
    }
}

void WriteVariant(const Variant& value, TStream& stream) {
    if (!value.IsArray()) {
        WriteScalar(value, stream);
        return;
    }
    int dims = VarArrayDimCount(value);
    if (dims != 1)
        throw EROBinaryConversionException(u"Variant Array DimCount must be 1 but is %d", {dims});
    int low = VarArrayLowBound(value, 1);
    int high = VarArrayHighBound(value, 1);
    TVarType code = value.VType();
    if (code == ByteArrayCode) {
        std::vector<std::uint8_t> bytes;
        bytes.reserve(static_cast<std::size_t>(high - low + 1));
        for (int i = low; i <= high; ++i)
            bytes.push_back(static_cast<std::uint8_t>(VarArrayGet(value, {i}).AsInteger()));
        WriteValue<std::int32_t>(stream, code);
        WriteValue<std::int32_t>(stream, high - low + 1);
        stream.WriteBuffer(bytes);
        return;
    }
    if (!IsBinaryElementType(code & varTypeMask))
        Unsupported(code);
    WriteValue<std::int32_t>(stream, code);
    WriteValue<std::int32_t>(stream, low);
    WriteValue<std::int32_t>(stream, high);
    for (int i = low; i <= high; ++i)
        WriteVariant(VarArrayGet(value, {i}), stream);
}

Variant ReadVariant(TStream& stream, int depth) {
    auto code = ReadValue<std::int32_t>(stream);
    switch (code) {
    case varEmpty:
        return Variant();
    case varNull:
        return Null();
    case varError:
        return Variant::FromError(ErrorParamNotFound);
    case varSmallint:
        return Variant(ReadValue<std::int16_t>(stream));
    case varInteger:
        return Variant(ReadValue<std::int32_t>(stream));
    case varLongWord: {
        // Integer when the value fits (as the form has always read it), LongWord above.
        auto v = ReadValue<std::uint32_t>(stream);
        if (v > static_cast<std::uint32_t>(INT32_MAX))
            return Variant(static_cast<unsigned>(v));
        return Variant(static_cast<int>(v));
    }
    case varSingle:
        return Variant(ReadValue<float>(stream));
    case varDouble:
        return Variant(ReadValue<double>(stream));
    case varDate:
        return Variant::FromDate(ReadValue<double>(stream));
    case varCurrency:
        return Variant::FromCurrency(ReadValue<std::int64_t>(stream));
    case varOleStr:
        return Variant::FromOleStr(Utf8ToString(ReadLengthPrefixed(stream)));
    case varUString:
        return Variant(Utf8ToString(ReadLengthPrefixed(stream)));
    case varString:
        return Variant(ReadLengthPrefixed(stream));
    case varBoolean:
        return Variant(ReadValue<std::int32_t>(stream) != 0);
    case varShortInt:
        return Variant(static_cast<signed char>(ReadValue<std::int8_t>(stream)));
    case varByte:
        return Variant(static_cast<unsigned char>(ReadValue<std::uint8_t>(stream)));
    case varWord:
        return Variant(static_cast<unsigned short>(ReadValue<std::uint16_t>(stream)));
    case varInt64:
        return Variant(static_cast<long long>(ReadValue<std::int64_t>(stream)));
    case varUInt64:
        return Variant(static_cast<unsigned long long>(ReadValue<std::uint64_t>(stream)));
    case 14: { // decimal record
        TDecimal d;
        d.Lo = ReadValue<std::uint32_t>(stream);
        d.Mid = ReadValue<std::uint32_t>(stream);
        d.Hi = ReadValue<std::uint32_t>(stream);
        d.Flags = ReadValue<std::uint32_t>(stream);
        return DecimalToVariant(d);
    }
    default:
        break;
    }
    if (code == ByteArrayCode) {
        auto count = ReadValue<std::int32_t>(stream);
        if (count < 0 || count > Remaining(stream))
            EndOfStream();
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count));
        ReadExactly(stream, bytes.data(), count);
        Variant result = VarArrayCreate({0, count - 1}, varByte);
        for (int i = 0; i < count; ++i)
            VarArrayPut(result, Variant(static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)])), {i});
        return result;
    }
    if ((code & ~static_cast<std::int32_t>(varTypeMask)) != varArray ||
        !IsBinaryElementType(static_cast<TVarType>(code & varTypeMask)))
        Unsupported(code);
    if (depth >= MaxBinaryVariantDepth)
        throw EROBinaryConversionException(u"Variant arrays are nested deeper than %d levels", {MaxBinaryVariantDepth});
    auto low = ReadValue<std::int32_t>(stream);
    auto high = ReadValue<std::int32_t>(stream);
    std::int64_t count = std::int64_t(high) - low + 1;
    if (count < 0)
        throw EROBinaryConversionException(u"Invalid variant array bounds %d..%d", {low, high});
    // Every element takes at least its 4-byte code.
    if (count > Remaining(stream) / 4)
        EndOfStream();
    Variant result = VarArrayCreate({low, high}, static_cast<TVarType>(code & varTypeMask));
    for (std::int64_t i = low; i <= high; ++i)
        VarArrayPut(result, ReadVariant(stream, depth + 1), {static_cast<int>(i)});
    return result;
}

UInt128 DecimalInteger(const TDecimal& d) {
    return (UInt128(d.Hi) << 64) | (UInt128(d.Mid) << 32) | d.Lo;
}

[[noreturn]] void DecimalOverflow() {
    throw EOverflow(String(u"Value was either too large or too small for a TDecimal"));
}

} // namespace

void WriteLengthPrefixedBytes(TStream& stream, std::string_view bytes) {
    if (bytes.size() > static_cast<std::size_t>(INT32_MAX))
        throw EROBinaryConversionException(String(u"Data too long for the binary variant form"));
    WriteValue<std::int32_t>(stream, static_cast<std::int32_t>(bytes.size()));
    if (!bytes.empty())
        stream.WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
}

String ReadAnsiStringFromStream(TStream& stream) {
    return AnsiToString(ReadLengthPrefixed(stream));
}

String ReadUTF8StringFromStream(TStream& stream) {
    return Utf8ToString(ReadLengthPrefixed(stream));
}

void WriteVariantToStream(const Variant& value, TStream& stream) {
    WriteVariant(value, stream);
}

Variant ReadVariantFromStream(TStream& stream) {
    return ReadVariant(stream, 0);
}

String DecimalToString(const TDecimal& value, Char separator) {
    UInt128 n = DecimalInteger(value);
    int scale = value.Scale();
    String digits; // least significant first
    while (n != 0) {
        digits.push_back(static_cast<Char>(u'0' + static_cast<int>(n % 10)));
        n /= 10;
    }
    while (static_cast<int>(digits.size()) < scale + 1)
        digits.push_back(u'0');
    String result;
    if (value.Negative())
        result.push_back(u'-');
    for (std::size_t i = digits.size(); i-- > 0;) {
        result.push_back(digits[i]);
        if (scale > 0 && i == static_cast<std::size_t>(scale))
            result.push_back(separator);
    }
    return result;
}

TDecimal StrToDecimalValue(StringView text, Char separator) {
    if (text.empty())
        throw EConvertError(String(u"Cannot convert empty string to decimal value"));
    auto invalid = [&]() -> void { throw EConvertError(u"'%s' is not a valid decimal value", {String(text)}); };
    UInt128 value = 0;
    bool negative = false;
    bool signSeen = false;
    bool pointSeen = false;
    bool significant = false;
    bool anyDigit = false;
    int positions = 0; // significant positions used, the point counting when it comes first
    int scale = 0;
    int roundDigit = -1;
    for (Char c : text) {
        if (c == u' ' || c == u'\t')
            continue;
        if (c == u'-' || c == u'+') {
            if (signSeen || anyDigit || pointSeen)
                invalid();
            signSeen = true;
            negative = c == u'-';
            continue;
        }
        if (c == separator) {
            if (pointSeen)
                invalid();
            pointSeen = true;
            if (!significant) {
                significant = true;
                positions = 1;
            }
            continue;
        }
        if (c < u'0' || c > u'9')
            invalid();
        int d = c - u'0';
        anyDigit = true;
        if (roundDigit >= 0) {
            // Digits past the rounding digit only tell a 5 with something after it from a 5.
            if (roundDigit == 5 && d != 0)
                roundDigit = 6;
            continue;
        }
        if (!pointSeen && !significant && d == 0)
            continue;
        significant = true;
        if (positions < 29) {
            UInt128 next = value * 10 + static_cast<unsigned>(d);
            if (next > MaxDecimalInteger) {
                if (!pointSeen)
                    DecimalOverflow();
                roundDigit = d; // a fraction digit past the range rounds the value there
                continue;
            }
            value = next;
            ++positions;
            if (pointSeen)
                ++scale;
        } else {
            if (!pointSeen)
                DecimalOverflow();
            roundDigit = d;
        }
    }
    if (!anyDigit)
        invalid();
    if (roundDigit > 5) {
        if (value == MaxDecimalInteger)
            DecimalOverflow();
        ++value;
    }
    TDecimal result;
    result.Lo = static_cast<std::uint32_t>(value);
    result.Mid = static_cast<std::uint32_t>(value >> 32);
    result.Hi = static_cast<std::uint32_t>(value >> 64);
    result.Flags = (static_cast<std::uint32_t>(scale) << 16) | (negative ? 0x80000000u : 0u);
    return result;
}

Variant DecimalToVariant(const TDecimal& value) {
    std::uint32_t words[4] = {value.Lo, value.Mid, value.Hi, value.Flags};
    std::uint8_t bytes[16];
    std::memcpy(bytes, words, sizeof(bytes));
    Variant result = VarArrayCreate({0, 15}, varByte);
    for (int i = 0; i < 16; ++i)
        VarArrayPut(result, Variant(static_cast<unsigned char>(bytes[i])), {i});
    return result;
}

bool VariantToDecimalBytes(const Variant& value, TDecimal& result) {
    if (value.VType() != ByteArrayCode || VarArrayDimCount(value) != 1)
        return false;
    int low = VarArrayLowBound(value, 1);
    int high = VarArrayHighBound(value, 1);
    if (std::int64_t(high) - low + 1 != 16)
        return false;
    std::uint8_t bytes[16];
    for (int i = 0; i < 16; ++i)
        bytes[i] = static_cast<std::uint8_t>(VarArrayGet(value, {low + i}).AsInteger());
    std::uint32_t words[4];
    std::memcpy(words, bytes, sizeof(bytes));
    result = TDecimal{words[0], words[1], words[2], words[3]};
    return true;
}

TDecimal BcdToDecimal(const TBcd& value) {
    Char separator = FormatSettings().DecimalSeparator;
    return StrToDecimalValue(BcdToStr(value, separator), separator);
}

TBcd DecimalToBcd(const TDecimal& value) {
    return StrToBcd(DecimalToString(value, FormatSettings().DecimalSeparator));
}

TBcd VariantToBcd(const Variant& value) {
    if (value.IsNull())
        return TBcd();
    TDecimal decimal;
    if (VariantToDecimalBytes(value, decimal))
        return DecimalToBcd(decimal);
    if (value.VType() == varBcd)
        return VarToBcd(value);
    String text = value.AsString();
    ReplaceCharsInSet(text, TSysCharSet{u',', u'.'}, FormatSettings().DecimalSeparator);
    return StrToBcd(text);
}

Variant BcdToVariant(const TBcd& value, bool asDecimal) {
    return asDecimal ? DecimalToVariant(BcdToDecimal(value)) : VarBcdCreate(value);
}

} // namespace vgl
