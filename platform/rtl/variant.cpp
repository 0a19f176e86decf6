#include "platform/rtl/variant.h"

#include <cfloat>
#include <cmath>
#include <limits>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/format.h"
#include "platform/rtl/object.h"
#include "platform/rtl/rounding.h"
#include "platform/rtl/sysutils.h"

namespace vgl {

namespace {

constexpr std::size_t MaxArrayElements = std::size_t{1} << 24;

struct TVarArrayBound {
    int LowBound;
    int ElementCount;
};

} // namespace

/// The payload of a Variant array: bounds per dimension and the elements, first index varying
/// fastest (so the last dimension is the outermost and can be resized in place).
struct TVarArrayData {
    TVarType ElementType = varVariant;
    std::vector<TVarArrayBound> Bounds;
    std::vector<Variant> Elements;
};

/// Reaches the shared payload of a Variant.
class TVarArrayAccess {
public:
    static const String& Str(const Variant& v) { return *static_cast<const String*>(v.FRef.get()); }
    static const AnsiString& Ansi(const Variant& v) { return *static_cast<const AnsiString*>(v.FRef.get()); }
    static std::int64_t Int(const Variant& v) { return v.FInt; }
    static const void* Ref(const Variant& v) { return v.FRef.get(); }
    static std::uint64_t UInt(const Variant& v) { return v.FUInt; }
    static double Dbl(const Variant& v) { return v.FDouble; }
    static const TVarArrayData* Array(const Variant& v) { return static_cast<const TVarArrayData*>(v.FRef.get()); }
    /// The array payload for writing: copied first when another Variant shares it.
    static TVarArrayData* MutableArray(Variant& v) {
        if (v.FRef.use_count() > 1)
            v.FRef = std::make_shared<TVarArrayData>(*Array(v));
        return static_cast<TVarArrayData*>(v.FRef.get());
    }
    static Variant MakeArray(std::shared_ptr<TVarArrayData> data) {
        Variant r;
        r.FType = varArray | data->ElementType;
        r.FRef = std::move(data);
        return r;
    }
    static Variant Make(TVarType t, std::int64_t i) {
        Variant r;
        r.FType = t;
        r.FInt = i;
        return r;
    }
    static Variant MakeUInt(TVarType t, std::uint64_t u) {
        Variant r;
        r.FType = t;
        r.FUInt = u;
        return r;
    }
    static Variant MakeDbl(TVarType t, double d) {
        Variant r;
        r.FType = t;
        r.FDouble = d;
        return r;
    }
    static Variant MakeStr(TVarType t, String s) {
        Variant r;
        r.FType = t;
        r.FRef = std::make_shared<String>(std::move(s));
        return r;
    }
    static Variant MakeNull() {
        Variant r;
        r.FType = varNull;
        return r;
    }
};

using A = TVarArrayAccess;

namespace {

[[noreturn]] void CastError(TVarType from, TVarType to) {
    throw EVariantError(u"Could not convert variant of type (%s) into type (%s)",
                        {VarTypeAsText(from), VarTypeAsText(to)});
}

[[noreturn]] void InvalidOp() {
    throw EVariantError(u"Invalid variant operation");
}

[[noreturn]] void BoundsError() {
    throw EVariantError(u"Variant or safe array index out of bounds");
}

[[noreturn]] void CreateError() {
    throw EVariantError(u"Error creating variant or safe array");
}

bool IsIntegerKind(TVarType t) {
    switch (t) {
    case varSmallint:
    case varInteger:
    case varShortInt:
    case varByte:
    case varWord:
    case varLongWord:
    case varInt64:
        return true;
    default:
        return false;
    }
}

bool IsStringKind(TVarType t) {
    return t == varUString || t == varOleStr || t == varString;
}

String TextOf(const Variant& v) {
    return v.VType() == varString ? AnsiToString(A::Ansi(v)) : A::Str(v);
}

/// Round half to even of a finite value; false when it lies outside [lo, hi].
bool RoundInRange(long double x, std::int64_t lo, std::int64_t hi, std::int64_t& out) {
    if (!std::isfinite(x))
        return false;
    long double r = std::nearbyint(x); // the default rounding mode rounds halves to even
    if (r < static_cast<long double>(lo) || r > static_cast<long double>(hi))
        return false;
    out = static_cast<std::int64_t>(r);
    return true;
}

/// Currency (scaled by 10,000) rounded to a whole number, halves to even.
std::int64_t CurrencyToInt(std::int64_t scaled) {
    std::int64_t q = scaled / 10000, r = scaled % 10000;
    if (r > 5000 || (r == 5000 && (q & 1)))
        ++q;
    else if (r < -5000 || (r == -5000 && (q & 1)))
        --q;
    return q;
}

/// The value as an integer within [lo, hi]; `target` names the type in the error.
std::int64_t ToIntegerIn(const Variant& v, TVarType target, std::int64_t lo, std::int64_t hi) {
    std::int64_t result = 0;
    bool ok = true;
    TVarType t = v.VType();
    switch (t) {
    case varEmpty:
        result = 0;
        break;
    case varBoolean:
        result = A::Int(v) ? -1 : 0;
        break;
    case varSmallint:
    case varInteger:
    case varShortInt:
    case varByte:
    case varWord:
    case varLongWord:
    case varInt64:
        result = A::Int(v);
        break;
    case varUInt64:
        ok = A::UInt(v) <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
        result = static_cast<std::int64_t>(A::UInt(v));
        break;
    case varSingle:
    case varDouble:
    case varDate:
        ok = RoundInRange(A::Dbl(v), lo, hi, result);
        break;
    case varCurrency:
        result = CurrencyToInt(A::Int(v));
        break;
    case varUString:
    case varOleStr:
    case varString:
    case varBcd: {
        String s = TextOf(v);
        long double f;
        bool b;
        if (TryStrToInt64(s, result)) {
        } else if (TryStrToFloat(s, f)) {
            ok = RoundInRange(f, lo, hi, result);
        } else if (TryStrToBool(s, b)) {
            result = b ? -1 : 0;
        } else {
            ok = false;
        }
        break;
    }
    default:
        ok = false;
    }
    if (!ok || result < lo || result > hi)
        CastError(t, target);
    return result;
}

/// The value as a float; `target` names the type in the error.
long double ToFloat(const Variant& v, TVarType target) {
    TVarType t = v.VType();
    switch (t) {
    case varEmpty:
        return 0;
    case varBoolean:
        return A::Int(v) ? -1 : 0;
    case varSmallint:
    case varInteger:
    case varShortInt:
    case varByte:
    case varWord:
    case varLongWord:
    case varInt64:
        return static_cast<long double>(A::Int(v));
    case varUInt64:
        return static_cast<long double>(A::UInt(v));
    case varSingle:
    case varDouble:
    case varDate:
        return A::Dbl(v);
    case varCurrency:
        return static_cast<long double>(A::Int(v)) / 10000;
    case varUString:
    case varOleStr:
    case varString:
    case varBcd: {
        String s = TextOf(v);
        long double f;
        bool b;
        if (TryStrToFloat(s, f))
            return f;
        if (TryStrToBool(s, b))
            return b ? -1 : 0;
        break;
    }
    default:
        break;
    }
    CastError(t, target);
}

double ToDoubleChecked(const Variant& v, TVarType target, long double limit) {
    long double f = ToFloat(v, target);
    if (std::isfinite(f) && std::fabs(f) > limit)
        CastError(v.VType(), target);
    return static_cast<double>(f);
}

std::int64_t ToCurrency(const Variant& v) {
    TVarType t = v.VType();
    if (t == varCurrency)
        return A::Int(v);
    constexpr long double limit = 922337203685477.5807L;
    if (IsIntegerKind(t) || t == varBoolean || t == varUInt64 || t == varEmpty) {
        std::int64_t i = ToIntegerIn(v, varCurrency, -922337203685477LL, 922337203685477LL);
        return i * 10000;
    }
    long double f = ToFloat(v, varCurrency);
    std::int64_t scaled;
    if (!std::isfinite(f) || std::fabs(f) > limit ||
        !RoundInRange(f * 10000, std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max(),
                      scaled))
        CastError(t, varCurrency);
    return scaled;
}

/// Exact decimal text of a Currency value (up to four decimals, trailing zeros dropped).
String CurrencyToStr(std::int64_t scaled) {
    bool negative = scaled < 0;
    std::uint64_t mag = negative ? 0 - static_cast<std::uint64_t>(scaled) : static_cast<std::uint64_t>(scaled);
    String text = UIntToStr(mag / 10000);
    unsigned frac = static_cast<unsigned>(mag % 10000);
    if (frac) {
        String digits;
        for (unsigned d = 1000; d && frac; d /= 10) {
            digits += static_cast<Char>(u'0' + frac / d);
            frac %= d;
        }
        text += u'.';
        text += digits;
    }
    return negative ? u"-" + text : text;
}

bool IsValidElementType(TVarType t) {
    return (t >= varSmallint && t <= varBoolean) || t == varVariant || (t >= varShortInt && t <= varUInt64) ||
           t == varString || t == varUString;
}

Variant ZeroOf(TVarType t) {
    switch (t) {
    case varVariant:
        return Variant();
    case varOleStr:
    case varUString:
        return A::MakeStr(t, String());
    case varString:
        return Variant(AnsiString());
    case varDispatch:
        return Variant(std::shared_ptr<IDispatch>());
    case varSingle:
    case varDouble:
    case varDate:
        return A::MakeDbl(t, 0);
    case varUInt64:
        return A::MakeUInt(t, 0);
    default:
        return A::Make(t, 0);
    }
}

std::size_t ElementOffset(const TVarArrayData& data, std::span<const int> indices) {
    if (indices.size() != data.Bounds.size())
        BoundsError();
    std::size_t offset = 0, stride = 1;
    for (std::size_t k = 0; k < indices.size(); ++k) {
        const TVarArrayBound& b = data.Bounds[k];
        std::int64_t rel = static_cast<std::int64_t>(indices[k]) - b.LowBound;
        if (rel < 0 || rel >= b.ElementCount)
            BoundsError();
        offset += static_cast<std::size_t>(rel) * stride;
        stride *= static_cast<std::size_t>(b.ElementCount);
    }
    return offset;
}

const TVarArrayData& ArrayOf(const Variant& a) {
    if (!a.IsArray())
        throw EVariantError(u"Variant is not an array");
    return *A::Array(a);
}

/// Compares two values that are neither Empty nor Null.
TVariantRelationship CompareValues(const Variant& a, const Variant& b) {
    TVarType ta = a.VType(), tb = b.VType();
    auto unsupported = [](TVarType t) {
        return (t & varArray) || t == varDispatch || t == varError || t == varUnknown;
    };
    if (unsupported(ta) || unsupported(tb))
        InvalidOp();
    // Object references compare by identity, and only with each other.
    if (ta == varObject || tb == varObject) {
        if (ta != tb)
            InvalidOp();
        return A::Ref(a) == A::Ref(b) ? vrEqual : vrNotEqual;
    }
    auto rel = [](auto x, auto y) { return x < y ? vrLessThan : (y < x ? vrGreaterThan : vrEqual); };
    if (IsStringKind(ta) && IsStringKind(tb)) {
        int c = CompareStr(TextOf(a), TextOf(b));
        return c < 0 ? vrLessThan : (c > 0 ? vrGreaterThan : vrEqual);
    }
    auto exactInt = [](TVarType t) { return IsIntegerKind(t) || t == varBoolean; };
    if (exactInt(ta) && exactInt(tb))
        return rel(A::Int(a) * (ta == varBoolean ? -1 : 1), A::Int(b) * (tb == varBoolean ? -1 : 1));
    if ((exactInt(ta) || ta == varUInt64) && (exactInt(tb) || tb == varUInt64)) {
        // At least one side is UInt64: compare signs first, then magnitudes.
        auto asSigned = [](const Variant& v) { return v.VType() == varBoolean ? -A::Int(v) : A::Int(v); };
        bool aNeg = ta != varUInt64 && asSigned(a) < 0, bNeg = tb != varUInt64 && asSigned(b) < 0;
        if (aNeg != bNeg)
            return aNeg ? vrLessThan : vrGreaterThan;
        if (aNeg)
            return rel(asSigned(a), asSigned(b));
        auto mag = [&](const Variant& v) {
            return v.VType() == varUInt64 ? A::UInt(v) : static_cast<std::uint64_t>(asSigned(v));
        };
        return rel(mag(a), mag(b));
    }
    if (ta == varCurrency && tb == varCurrency)
        return rel(A::Int(a), A::Int(b));
    // A text against a Boolean compares as Booleans, against a number as numbers.
    long double x = ToFloat(a, IsStringKind(ta) ? (tb == varBoolean ? varBoolean : varDouble) : ta);
    long double y = ToFloat(b, IsStringKind(tb) ? (ta == varBoolean ? varBoolean : varDouble) : tb);
    if (std::isnan(x) || std::isnan(y))
        return vrNotEqual;
    return rel(x, y);
}

} // namespace

// ---- Construction ------------------------------------------------------------------------------

Variant::Variant(Variant&& other) noexcept : FType(other.FType), FInt(other.FInt), FRef(std::move(other.FRef)) {
    other.FType = varEmpty;
    other.FInt = 0;
}

Variant& Variant::operator=(Variant&& other) noexcept {
    if (this != &other) {
        FType = other.FType;
        FInt = other.FInt;
        FRef = std::move(other.FRef);
        other.FType = varEmpty;
        other.FInt = 0;
    }
    return *this;
}

Variant::Variant(char16_t v) : Variant(String(1, v)) {}
Variant::Variant(const String& v) : FType(varUString), FInt(0), FRef(std::make_shared<String>(v)) {}
Variant::Variant(String&& v) : FType(varUString), FInt(0), FRef(std::make_shared<String>(std::move(v))) {}
Variant::Variant(StringView v) : Variant(String(v)) {}
Variant::Variant(const char16_t* v) : Variant(String(v ? v : u"")) {}
Variant::Variant(const AnsiString& v) : FType(varString), FInt(0), FRef(std::make_shared<AnsiString>(v)) {}
Variant::Variant(std::shared_ptr<IDispatch> v) : FType(varDispatch), FInt(0), FRef(std::move(v)) {}

Variant Variant::FromCurrency(std::int64_t scaled) {
    return A::Make(varCurrency, scaled);
}
Variant Variant::FromDate(TDateTime v) {
    return A::MakeDbl(varDate, v);
}
Variant Variant::FromOleStr(StringView v) {
    return A::MakeStr(varOleStr, String(v));
}
Variant Variant::FromBcdText(StringView text) {
    return A::MakeStr(varBcd, String(text));
}
Variant Variant::FromError(std::int32_t code) {
    return A::Make(varError, code);
}
Variant Variant::FromObject(const TObject* obj) {
    Variant r;
    r.FType = varObject;
    if (obj)
        r.FRef = obj->Identity();
    return r;
}

Variant Null() {
    return A::MakeNull();
}
Variant Unassigned() {
    return Variant();
}

// ---- Conversions -------------------------------------------------------------------------------

int Variant::AsInteger() const {
    return static_cast<int>(
        ToIntegerIn(*this, varInteger, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

std::int64_t Variant::AsInt64() const {
    return ToIntegerIn(*this, varInt64, std::numeric_limits<std::int64_t>::min(),
                       std::numeric_limits<std::int64_t>::max());
}

std::uint64_t Variant::AsUInt64() const {
    if (FType == varUInt64)
        return FUInt;
    if (FType == varSingle || FType == varDouble || FType == varDate || IsStringKind(FType)) {
        // Values above the Int64 range still fit.
        long double f = ToFloat(*this, varUInt64);
        std::int64_t i;
        if (IsStringKind(FType) && TryStrToInt64(TextOf(*this), i) && i >= 0)
            return static_cast<std::uint64_t>(i);
        long double r = std::nearbyint(f);
        if (!std::isfinite(r) || r < 0 || r >= 18446744073709551616.0L)
            CastError(FType, varUInt64);
        return static_cast<std::uint64_t>(r);
    }
    return static_cast<std::uint64_t>(ToIntegerIn(*this, varUInt64, 0, std::numeric_limits<std::int64_t>::max()));
}

double Variant::AsDouble() const {
    return ToDoubleChecked(*this, varDouble, DBL_MAX);
}
long double Variant::AsExtended() const {
    return ToFloat(*this, varDouble);
}
float Variant::AsSingle() const {
    return static_cast<float>(ToDoubleChecked(*this, varSingle, FLT_MAX));
}
std::int64_t Variant::AsCurrency() const {
    return ToCurrency(*this);
}

TDateTime Variant::AsDate() const {
    if (IsStringKind(FType)) {
        TDateTime d;
        if (TryStrToDateTime(TextOf(*this), d))
            return d;
        CastError(FType, varDate);
    }
    return ToDoubleChecked(*this, varDate, DBL_MAX);
}

bool Variant::AsBoolean() const {
    switch (FType) {
    case varEmpty:
        return false;
    case varBoolean:
        return FInt != 0;
    case varUInt64:
        return FUInt != 0;
    case varSingle:
    case varDouble:
    case varDate:
        return FDouble != 0;
    case varCurrency:
        return FInt != 0;
    case varUString:
    case varOleStr:
    case varString: {
        bool b;
        if (TryStrToBool(TextOf(*this), b))
            return b;
        break;
    }
    default:
        if (IsIntegerKind(FType))
            return FInt != 0;
    }
    CastError(FType, varBoolean);
}

String Variant::AsString() const {
    switch (FType) {
    case varEmpty:
        return String();
    case varBoolean:
        return FInt ? u"True" : u"False";
    case varUInt64:
        return UIntToStr(FUInt);
    case varSingle:
        return FloatToStr(static_cast<float>(FDouble));
    case varDouble:
        return FloatToStr(FDouble);
    case varDate:
        return DateTimeToStr(FDouble);
    case varCurrency:
        return CurrencyToStr(FInt);
    case varUString:
    case varOleStr:
    case varString:
    case varBcd:
        return TextOf(*this);
    default:
        if (IsIntegerKind(FType))
            return IntToStr(FInt);
    }
    CastError(FType, varUString);
}

AnsiString Variant::AsAnsiString() const {
    if (FType == varString)
        return A::Ansi(*this);
    if (FType == varEmpty || FType == varBoolean || FType == varDate || FType == varUString || FType == varOleStr ||
        FType == varSingle || FType == varDouble || FType == varCurrency || FType == varUInt64 || FType == varBcd ||
        IsIntegerKind(FType))
        return StringToAnsi(AsString());
    CastError(FType, varString);
}

std::shared_ptr<IDispatch> Variant::AsDispatch() const {
    if (FType == varDispatch)
        return std::static_pointer_cast<IDispatch>(FRef);
    if (FType == varEmpty)
        return nullptr;
    CastError(FType, varDispatch);
}

TObject* Variant::AsObject() const {
    if (FType == varEmpty)
        return nullptr;
    if (FType != varObject)
        CastError(FType, varObject);
    if (!FRef)
        return nullptr;
    TObject* obj = static_cast<const TObjectLink*>(FRef.get())->Object.load(std::memory_order_acquire);
    if (!obj)
        throw EVariantError(u"Variant refers to a freed object");
    return obj;
}

TObject* Variant::AsObject(const ClassInfo* cls) const {
    TObject* obj = AsObject();
    if (obj && !obj->InheritsFrom(cls))
        throw EInvalidCast(u"Invalid class typecast: %s is no %s", {obj->ClassName(), ClassNameOf(cls)});
    return obj;
}

std::int32_t Variant::AsError() const {
    if (FType != varError)
        CastError(FType, varError);
    return static_cast<std::int32_t>(FInt);
}

bool operator==(const Variant& a, const Variant& b) {
    return VarCompareValue(a, b) == vrEqual;
}

// ---- Queries -----------------------------------------------------------------------------------

TVarType VarType(const Variant& v) {
    return v.VType();
}
bool VarIsNull(const Variant& v) {
    return v.IsNull();
}
bool VarIsEmpty(const Variant& v) {
    return v.IsEmpty();
}
bool VarIsClear(const Variant& v) {
    return v.IsEmpty() || v.IsNull() || (v.VType() == varDispatch && !v.AsDispatch()) ||
           (v.VType() == varObject && !A::Ref(v));
}
bool VarIsArray(const Variant& v) {
    return v.IsArray();
}
bool VarIsStr(const Variant& v) {
    return IsStringKind(v.VType());
}
bool VarIsOrdinal(const Variant& v) {
    return IsIntegerKind(v.VType()) || v.VType() == varUInt64 || v.VType() == varBoolean;
}
bool VarIsFloat(const Variant& v) {
    return v.VType() == varSingle || v.VType() == varDouble || v.VType() == varCurrency;
}
bool VarIsNumeric(const Variant& v) {
    return IsIntegerKind(v.VType()) || v.VType() == varUInt64 || VarIsFloat(v);
}

String VarTypeAsText(TVarType t) {
    static const char16_t* const names[] = {u"Empty",    u"Null",     u"Smallint", u"Integer",  u"Single",   u"Double",
                                            u"Currency", u"Date",     u"OleStr",   u"Dispatch", u"Error",    u"Boolean",
                                            u"Variant",  u"Unknown",  u"Decimal",  nullptr,     u"ShortInt", u"Byte",
                                            u"Word",     u"LongWord", u"Int64",    u"UInt64"};
    String prefix;
    if (t & varByRef)
        prefix += u"ByRef ";
    if (t & varArray)
        prefix += u"Array ";
    TVarType base = t & varTypeMask;
    if (base < std::size(names) && names[base])
        return prefix + names[base];
    if (base == varString)
        return prefix + u"String";
    if (base == varUString)
        return prefix + u"UnicodeString";
    if (base == varAny)
        return prefix + u"Any";
    if (base == varObject)
        return prefix + u"Object";
    if (base == varBcd)
        return prefix + u"FMTBcd";
    return prefix + u"$" + IntToHex(base, 4);
}

String VarToStr(const Variant& v) {
    return v.IsNull() ? String() : v.AsString();
}
String VarToStrDef(const Variant& v, StringView def) {
    return v.IsNull() ? String(def) : v.AsString();
}

Variant VarAsType(const Variant& v, TVarType t) {
    if (v.VType() == t || t == varVariant)
        return v;
    using L = std::numeric_limits<std::int64_t>;
    switch (t) {
    case varEmpty:
        return Variant();
    case varNull:
        return Null();
    case varSmallint:
        return A::Make(t, ToIntegerIn(v, t, -32768, 32767));
    case varInteger:
        return A::Make(t, ToIntegerIn(v, t, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    case varShortInt:
        return A::Make(t, ToIntegerIn(v, t, -128, 127));
    case varByte:
        return A::Make(t, ToIntegerIn(v, t, 0, 255));
    case varWord:
        return A::Make(t, ToIntegerIn(v, t, 0, 65535));
    case varLongWord:
        return A::Make(t, ToIntegerIn(v, t, 0, 4294967295LL));
    case varInt64:
        return A::Make(t, ToIntegerIn(v, t, L::min(), L::max()));
    case varUInt64:
        return A::MakeUInt(t, v.AsUInt64());
    case varSingle:
        return A::MakeDbl(t, v.AsSingle());
    case varDouble:
        return A::MakeDbl(t, v.AsDouble());
    case varDate:
        return A::MakeDbl(t, v.AsDate());
    case varCurrency:
        return A::Make(t, v.AsCurrency());
    case varBoolean:
        return Variant(v.AsBoolean());
    case varUString:
    case varOleStr:
        return A::MakeStr(t, v.AsString());
    case varString:
        return Variant(v.AsAnsiString());
    case varDispatch:
        return Variant(v.AsDispatch());
    case varObject:
        return Variant::FromObject(v.AsObject());
    default:
        CastError(v.VType(), t);
    }
}

TVariantRelationship VarCompareValue(const Variant& a, const Variant& b) {
    if (a.IsEmpty())
        return b.IsEmpty() ? vrEqual : vrNotEqual;
    if (a.IsNull())
        return b.IsNull() ? vrEqual : vrNotEqual;
    if (b.IsEmpty() || b.IsNull())
        return vrNotEqual;
    return CompareValues(a, b);
}

// ---- Arrays ------------------------------------------------------------------------------------

Variant VarArrayCreate(std::initializer_list<int> bounds, TVarType elementType) {
    return VarArrayCreate(std::span<const int>(bounds.begin(), bounds.size()), elementType);
}

Variant VarArrayCreate(std::span<const int> bounds, TVarType elementType) {
    if (bounds.empty() || bounds.size() % 2 != 0 || !IsValidElementType(elementType))
        CreateError();
    auto data = std::make_shared<TVarArrayData>();
    data->ElementType = elementType;
    std::size_t total = 1;
    for (std::size_t k = 0; k < bounds.size(); k += 2) {
        std::int64_t count = static_cast<std::int64_t>(bounds[k + 1]) - bounds[k] + 1;
        if (count < 0 || count > static_cast<std::int64_t>(MaxArrayElements))
            CreateError();
        total *= static_cast<std::size_t>(count);
        if (total > MaxArrayElements)
            CreateError();
        data->Bounds.push_back({bounds[k], static_cast<int>(count)});
    }
    data->Elements.assign(total, ZeroOf(elementType));
    return A::MakeArray(std::move(data));
}

Variant VarArrayOf(std::initializer_list<Variant> values) {
    auto data = std::make_shared<TVarArrayData>();
    data->Bounds.push_back({0, static_cast<int>(values.size())});
    data->Elements.assign(values.begin(), values.end());
    return A::MakeArray(std::move(data));
}

int VarArrayDimCount(const Variant& a) {
    return a.IsArray() ? static_cast<int>(A::Array(a)->Bounds.size()) : 0;
}

int VarArrayLowBound(const Variant& a, int dim) {
    const TVarArrayData& data = ArrayOf(a);
    if (dim < 1 || dim > static_cast<int>(data.Bounds.size()))
        BoundsError();
    return data.Bounds[dim - 1].LowBound;
}

int VarArrayHighBound(const Variant& a, int dim) {
    const TVarArrayData& data = ArrayOf(a);
    if (dim < 1 || dim > static_cast<int>(data.Bounds.size()))
        BoundsError();
    const TVarArrayBound& b = data.Bounds[dim - 1];
    return b.LowBound + b.ElementCount - 1;
}

Variant VarArrayGet(const Variant& a, std::initializer_list<int> indices) {
    return VarArrayGet(a, std::span<const int>(indices.begin(), indices.size()));
}

Variant VarArrayGet(const Variant& a, std::span<const int> indices) {
    const TVarArrayData& data = ArrayOf(a);
    return data.Elements[ElementOffset(data, indices)];
}

void VarArrayPut(Variant& a, const Variant& value, std::initializer_list<int> indices) {
    VarArrayPut(a, value, std::span<const int>(indices.begin(), indices.size()));
}

void VarArrayPut(Variant& a, const Variant& value, std::span<const int> indices) {
    std::size_t offset = ElementOffset(ArrayOf(a), indices);
    // Convert before taking the payload for writing: `value` may share it (an array put into itself).
    Variant converted = VarAsType(value, A::Array(a)->ElementType);
    A::MutableArray(a)->Elements[offset] = std::move(converted);
}

void VarArrayRedim(Variant& a, int highBound) {
    ArrayOf(a);
    TVarArrayData* data = A::MutableArray(a);
    TVarArrayBound& last = data->Bounds.back();
    std::int64_t count = static_cast<std::int64_t>(highBound) - last.LowBound + 1;
    if (count < 0)
        BoundsError();
    std::size_t inner = data->Elements.size() / (last.ElementCount ? last.ElementCount : 1);
    if (last.ElementCount == 0) {
        inner = 1;
        for (std::size_t k = 0; k + 1 < data->Bounds.size(); ++k)
            inner *= static_cast<std::size_t>(data->Bounds[k].ElementCount);
    }
    if (inner * static_cast<std::size_t>(count) > MaxArrayElements)
        CreateError();
    data->Elements.resize(inner * static_cast<std::size_t>(count), ZeroOf(data->ElementType));
    last.ElementCount = static_cast<int>(count);
}

} // namespace vgl
