#pragma once
// Variant: the dynamically typed value of the runtime, with the platform's type codes and
// conversion rules. Scalars live inline; texts, arrays and dispatch interfaces are shared,
// immutable payloads (arrays are copied on the first write after a copy, so a Variant behaves
// as a value).

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>

#include "platform/rtl/datetime.h"
#include "platform/rtl/ustring.h"

namespace vgl {

class TObject;
class ClassInfo;
class IDispatch;

using TVarType = std::uint16_t;

// The platform's type codes, as VarType returns them and VarArrayCreate takes them.
constexpr TVarType varEmpty = 0x0000;
constexpr TVarType varNull = 0x0001;
constexpr TVarType varSmallint = 0x0002;
constexpr TVarType varInteger = 0x0003;
constexpr TVarType varSingle = 0x0004;
constexpr TVarType varDouble = 0x0005;
constexpr TVarType varCurrency = 0x0006;
constexpr TVarType varDate = 0x0007;
constexpr TVarType varOleStr = 0x0008;
constexpr TVarType varDispatch = 0x0009;
constexpr TVarType varError = 0x000A;
constexpr TVarType varBoolean = 0x000B;
constexpr TVarType varVariant = 0x000C; ///< element type of arrays of Variants only
constexpr TVarType varUnknown = 0x000D;
constexpr TVarType varShortInt = 0x0010;
constexpr TVarType varByte = 0x0011;
constexpr TVarType varWord = 0x0012;
constexpr TVarType varLongWord = 0x0013;
constexpr TVarType varInt64 = 0x0014;
constexpr TVarType varUInt64 = 0x0015;
constexpr TVarType varStrArg = 0x0048;
constexpr TVarType varString = 0x0100; ///< AnsiString (bytes in the system ANSI code page)
constexpr TVarType varAny = 0x0101;
constexpr TVarType varUString = 0x0102; ///< String (UTF-16)
/// A reference to a host object (FromObject); its own kind, so that no number passes for one.
constexpr TVarType varObject = 0x0103;
/// A BCD number (platform/rtl/bcd.h), held as its text; converts through that text.
constexpr TVarType varBcd = 0x0104;
constexpr TVarType varTypeMask = 0x0FFF;
constexpr TVarType varArray = 0x2000;
constexpr TVarType varByRef = 0x4000;

/// Result of VarCompareValue.
enum TVariantRelationship { vrEqual, vrLessThan, vrGreaterThan, vrNotEqual };

class Variant {
public:
    /// Empty (unassigned).
    Variant() noexcept : FType(varEmpty), FInt(0) {}
    Variant(const Variant&) = default;
    Variant(Variant&& other) noexcept;
    Variant& operator=(const Variant&) = default;
    Variant& operator=(Variant&& other) noexcept;
    ~Variant() = default;

    Variant(bool v) noexcept : FType(varBoolean), FInt(v ? 1 : 0) {}
    Variant(signed char v) noexcept : FType(varShortInt), FInt(v) {}
    Variant(unsigned char v) noexcept : FType(varByte), FInt(v) {}
    Variant(short v) noexcept : FType(varSmallint), FInt(v) {}
    Variant(unsigned short v) noexcept : FType(varWord), FInt(v) {}
    Variant(int v) noexcept : FType(varInteger), FInt(v) {}
    Variant(unsigned v) noexcept : FType(varLongWord), FInt(v) {}
    Variant(long v) noexcept : FType(varInt64), FInt(v) {}
    Variant(long long v) noexcept : FType(varInt64), FInt(v) {}
    Variant(unsigned long v) noexcept : FType(varUInt64), FUInt(v) {}
    Variant(unsigned long long v) noexcept : FType(varUInt64), FUInt(v) {}
    Variant(float v) noexcept : FType(varSingle), FDouble(v) {}
    Variant(double v) noexcept : FType(varDouble), FDouble(v) {}
    /// Extended values are held as Double (the platform's Variant has no 80-bit kind).
    Variant(long double v) noexcept : FType(varDouble), FDouble(static_cast<double>(v)) {}
    /// A character becomes a one-character text.
    Variant(char16_t v);
    Variant(const String& v);
    Variant(String&& v);
    Variant(StringView v);
    Variant(const char16_t* v);
    /// An AnsiString (varString): bytes in the system ANSI code page.
    Variant(const AnsiString& v);
    /// A dispatch interface (varDispatch); a null pointer gives a nil reference of that kind.
    Variant(std::shared_ptr<IDispatch> v);

    // 8-bit literals and raw pointers are ambiguous (UTF-8 or ANSI? text or Boolean?): say which.
    Variant(const char*) = delete;
    Variant(char) = delete;
    Variant(const void*) = delete;

    /// Factories for the kinds that share a C++ type with another kind.
    static Variant FromCurrency(std::int64_t scaled); ///< Currency: the value × 10,000
    static Variant FromDate(TDateTime v);
    static Variant FromOleStr(StringView v);
    /// A varBcd holding the number's text (VarBcdCreate of platform/rtl/bcd.h makes it).
    static Variant FromBcdText(StringView text);
    static Variant FromError(std::int32_t code);
    /// A reference to a host object (varObject), or nil for none. The Variant holds the object's
    /// identity handle, not its address: once the object is freed the reference reads as freed.
    static Variant FromObject(const TObject* obj);

    /// The type code (varArray | element type for arrays).
    TVarType VType() const { return FType; }
    bool IsEmpty() const { return FType == varEmpty; }
    bool IsNull() const { return FType == varNull; }
    bool IsArray() const { return (FType & varArray) != 0; }

    /// Conversions by the platform's rules. Empty gives 0 / "" / False; Null, arrays, dispatch
    /// references, texts that are no number and values out of the target's range raise
    /// EVariantError "Could not convert variant of type (%s) into type (%s)". Floating-point
    /// values go to integers rounded to nearest, halves to even.
    int AsInteger() const;
    std::int64_t AsInt64() const;
    std::uint64_t AsUInt64() const;
    double AsDouble() const;
    long double AsExtended() const;
    float AsSingle() const;
    std::int64_t AsCurrency() const; ///< scaled by 10,000
    TDateTime AsDate() const;
    bool AsBoolean() const;
    /// Text: integers in decimal, floats by FloatToStr, Booleans "True"/"False", dates by
    /// DateTimeToStr, all with the process's fixed format settings.
    String AsString() const;
    /// The text as AnsiString (code page 1252).
    AnsiString AsAnsiString() const;
    /// The dispatch interface of a varDispatch (null for a nil reference); other kinds raise.
    std::shared_ptr<IDispatch> AsDispatch() const;
    /// The object a varObject refers to (nil for a nil reference and for Empty). Raises
    /// EVariantError "Could not convert variant of type (%s) into type (Object)" for any other
    /// kind (numbers included) and "Variant refers to a freed object" when the object is gone.
    TObject* AsObject() const;
    /// The same, and the object must be of class `cls` or descend from it: otherwise raises
    /// EInvalidCast "Invalid class typecast: %s is no %s". Every typed object access from a
    /// Variant (property writes, method arguments) goes through here.
    TObject* AsObject(const ClassInfo* cls) const;
    /// The code of a varError.
    std::int32_t AsError() const;

    /// Equality by VarCompareValue (Null equals only Null, Empty only Empty).
    friend bool operator==(const Variant& a, const Variant& b);

private:
    friend class TVarArrayAccess;
    TVarType FType;
    union {
        std::int64_t FInt;
        std::uint64_t FUInt;
        double FDouble;
    };
    /// Texts (String or AnsiString), array data or the dispatch interface, by FType.
    std::shared_ptr<void> FRef;
};

/// Null and Empty values.
Variant Null();
Variant Unassigned();

TVarType VarType(const Variant& v);
bool VarIsNull(const Variant& v);
bool VarIsEmpty(const Variant& v);
/// Empty, Null, a nil dispatch reference or a nil object reference.
bool VarIsClear(const Variant& v);
bool VarIsArray(const Variant& v);
/// String, UString or OleStr.
bool VarIsStr(const Variant& v);
/// Integer kinds, floats, currency (not Boolean or date).
bool VarIsNumeric(const Variant& v);
bool VarIsOrdinal(const Variant& v);
bool VarIsFloat(const Variant& v);

/// The platform's name of a type code: "Empty", "Null", "Smallint", "Integer", "Single",
/// "Double", "Currency", "Date", "OleStr", "Dispatch", "Error", "Boolean", "Variant", "Unknown",
/// "ShortInt", "Byte", "Word", "LongWord", "Int64", "UInt64", "String", "UnicodeString";
/// arrays as "Array " + element name; unknown codes as "$" + 4 hex digits.
String VarTypeAsText(TVarType t);

/// Text of any Variant; Null gives the empty text.
String VarToStr(const Variant& v);
String VarToStrDef(const Variant& v, StringView def);

/// The value converted to another type code (scalar codes, varOleStr, varString, varUString);
/// raises EVariantError as the As... conversions do, and for a code that is no value kind.
Variant VarAsType(const Variant& v, TVarType t);

/// The platform's comparison: Empty equals only Empty and Null only Null (anything else is
/// vrNotEqual); two texts compare ordinally; a text and a number compare as numbers; numbers
/// compare by value (integers exactly); two object references are equal when they name the same
/// object (vrNotEqual otherwise). Arrays, dispatch references, errors and an object reference
/// against another kind raise EVariantError "Invalid variant operation".
TVariantRelationship VarCompareValue(const Variant& a, const Variant& b);

// ---- Variant arrays -------------------------------------------------------------------------
/// A new array: `bounds` holds low and high bound of each dimension in turn ({0, 4} is one
/// dimension of five elements); a dimension may be empty (high = low - 1). Elements start as
/// the element type's zero (Empty for varVariant). Raises EVariantError "Error creating variant
/// or safe array" for an odd or empty bounds list, a bad element type or more than 2^24 elements.
Variant VarArrayCreate(std::initializer_list<int> bounds, TVarType elementType);
Variant VarArrayCreate(std::span<const int> bounds, TVarType elementType);
/// A one-dimensional array of Variants, bounds 0..n-1.
Variant VarArrayOf(std::initializer_list<Variant> values);
/// Number of dimensions (0 when the Variant is no array).
int VarArrayDimCount(const Variant& a);
/// Bounds of dimension `dim` (1-based). Raise EVariantError "Variant or safe array index out of
/// bounds" for a bad dimension and "Variant is not an array" for a non-array.
int VarArrayLowBound(const Variant& a, int dim);
int VarArrayHighBound(const Variant& a, int dim);
/// The element at the given indexes (one per dimension). Raises EVariantError "Variant or safe
/// array index out of bounds" for a wrong index count or an index outside its bounds.
Variant VarArrayGet(const Variant& a, std::initializer_list<int> indices);
Variant VarArrayGet(const Variant& a, std::span<const int> indices);
/// Stores `value`, converted to the array's element type, at the given indexes.
void VarArrayPut(Variant& a, const Variant& value, std::initializer_list<int> indices);
void VarArrayPut(Variant& a, const Variant& value, std::span<const int> indices);
/// Changes the high bound of the last dimension, keeping the elements that stay in range.
void VarArrayRedim(Variant& a, int highBound);

// ---- Automation ----------------------------------------------------------------------------
using HRESULT = std::int32_t;
constexpr HRESULT S_OK = 0;
constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003u);
constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006u);
constexpr HRESULT DISP_E_BADPARAMCOUNT = static_cast<HRESULT>(0x8002000Eu);
constexpr HRESULT DISP_E_EXCEPTION = static_cast<HRESULT>(0x80020009u);

/// Invoke flags.
constexpr std::uint16_t DISPATCH_METHOD = 1;
constexpr std::uint16_t DISPATCH_PROPERTYGET = 2;
constexpr std::uint16_t DISPATCH_PROPERTYPUT = 4;
constexpr std::uint16_t DISPATCH_PROPERTYPUTREF = 8;
/// The named-argument identifier of the assigned value in a property put.
constexpr std::int32_t DISPID_PROPERTYPUT = -3;

/// What a failing Invoke reports about the failure.
struct TExcepInfo {
    String Source;
    String Description;
    String HelpFile;
};

/// An automation object reached by member name at run time (a varDispatch Variant holds one).
class IDispatch {
public:
    virtual ~IDispatch() = default;
    /// The dispatch identifier of a member name; DISP_E_UNKNOWNNAME when there is none.
    virtual HRESULT GetIDsOfNames(StringView name, std::int32_t& dispId) = 0;
    /// Calls a member. `args` are in reverse order (the last argument first); `namedArgs` holds
    /// the identifiers of named arguments (DISPID_PROPERTYPUT for a put), which come first in
    /// `args`. `result` is null when no result is wanted. A failure code fills `excepInfo`.
    virtual HRESULT Invoke(std::int32_t dispId, std::uint16_t flags, std::span<Variant> args,
                           std::span<const std::int32_t> namedArgs, Variant* result, TExcepInfo& excepInfo) = 0;
};

} // namespace vgl
