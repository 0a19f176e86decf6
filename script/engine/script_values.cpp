#include "script/engine/script_values.h"

#include <cstdint>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"

namespace vgl {

namespace {

bool IsText(const Variant& v) {
    return VarIsStr(v);
}

// Integers and Booleans add as 64-bit integers; everything else numeric as a float.
bool IsIntegral(const Variant& v) {
    return VarIsOrdinal(v) || v.IsEmpty();
}

// A number operand: Empty is 0, a text is the floating number it spells.
long double AsNumber(const Variant& v) {
    if (v.IsEmpty())
        return 0;
    if (IsText(v))
        return StrToFloat(v.AsString());
    return v.AsExtended();
}

std::int64_t AsInt(const Variant& v) {
    return v.IsEmpty() ? 0 : v.AsInt64();
}

// An integer result: 32-bit when it fits, so that Integer variables keep their kind.
Variant IntResult(std::int64_t r) {
    if (r >= INT32_MIN && r <= INT32_MAX)
        return Variant(int(r));
    return Variant(static_cast<long long>(r));
}

} // namespace

Variant fsValueAdd(const Variant& a, const Variant& b) {
    if (a.VType() == varInteger && b.VType() == varInteger) // the common case, without overflow
        return IntResult(std::int64_t(a.AsInteger()) + b.AsInteger());
    if (a.IsNull() || b.IsNull())
        return Null();
    if ((IsText(a) || a.IsEmpty()) && (IsText(b) || b.IsEmpty()) && !(a.IsEmpty() && b.IsEmpty()))
        return Variant(a.AsString() + b.AsString());
    if (IsIntegral(a) && IsIntegral(b)) {
        std::int64_t r;
        if (!__builtin_add_overflow(AsInt(a), AsInt(b), &r))
            return IntResult(r);
        return Variant(double(AsNumber(a) + AsNumber(b)));
    }
    return Variant(double(AsNumber(a) + AsNumber(b)));
}

Variant fsValueSubtract(const Variant& a, const Variant& b) {
    if (a.VType() == varInteger && b.VType() == varInteger)
        return IntResult(std::int64_t(a.AsInteger()) - b.AsInteger());
    if (a.IsNull() || b.IsNull())
        return Null();
    if (IsIntegral(a) && IsIntegral(b)) {
        std::int64_t r;
        if (!__builtin_sub_overflow(AsInt(a), AsInt(b), &r))
            return IntResult(r);
        return Variant(double(AsNumber(a) - AsNumber(b)));
    }
    return Variant(double(AsNumber(a) - AsNumber(b)));
}

Variant fsValueMultiply(const Variant& a, const Variant& b) {
    if (a.IsNull() || b.IsNull())
        return Null();
    if (IsIntegral(a) && IsIntegral(b)) {
        std::int64_t r;
        if (!__builtin_mul_overflow(AsInt(a), AsInt(b), &r))
            return IntResult(r);
    }
    return Variant(double(AsNumber(a) * AsNumber(b)));
}

Variant fsValueDivide(const Variant& a, const Variant& b) {
    if (a.IsNull() || b.IsNull())
        return Null();
    const long double d = AsNumber(b);
    if (d == 0)
        throw EZeroDivide(u"Floating point division by zero");
    return Variant(double(AsNumber(a) / d));
}

namespace {

// The integer operands of div, mod and the shifts: texts and floats convert to integers.
std::int64_t IntOperand(const Variant& v) {
    if (v.IsEmpty())
        return 0;
    if (IsText(v))
        return Variant(double(StrToFloat(v.AsString()))).AsInt64();
    return v.AsInt64();
}

} // namespace

Variant fsValueIntDivide(const Variant& a, const Variant& b) {
    if (a.IsNull() || b.IsNull())
        return Null();
    const std::int64_t x = IntOperand(a), y = IntOperand(b);
    if (y == 0)
        throw EDivByZero(u"Division by zero");
    if (x == INT64_MIN && y == -1)
        return Variant(-double(INT64_MIN));
    return IntResult(x / y);
}

Variant fsValueModulus(const Variant& a, const Variant& b) {
    if (a.IsNull() || b.IsNull())
        return Null();
    const std::int64_t x = IntOperand(a), y = IntOperand(b);
    if (y == 0)
        throw EDivByZero(u"Division by zero");
    if (y == -1)
        return IntResult(0);
    return IntResult(x % y);
}

Variant fsValueNegate(const Variant& a) {
    if (a.IsNull())
        return Null();
    if (IsIntegral(a)) {
        const std::int64_t x = AsInt(a);
        if (x == INT64_MIN)
            return Variant(-double(INT64_MIN));
        return IntResult(-x);
    }
    return Variant(double(-AsNumber(a)));
}

Variant fsValueShl(const Variant& a, const Variant& b) {
    if (a.IsNull() || b.IsNull())
        return Null();
    const std::int64_t n = IntOperand(b);
    if (n < 0 || n >= 64)
        return IntResult(0);
    return IntResult(std::int64_t(std::uint64_t(IntOperand(a)) << n));
}

Variant fsValueShr(const Variant& a, const Variant& b) {
    if (a.IsNull() || b.IsNull())
        return Null();
    const std::int64_t n = IntOperand(b);
    if (n < 0 || n >= 64)
        return IntResult(0);
    return IntResult(std::int64_t(std::uint64_t(IntOperand(a)) >> n));
}

// ---- Logic ---------------------------------------------------------------------------------------

namespace {

bool IsBool(const Variant& v) {
    return v.VType() == varBoolean;
}

} // namespace

Variant fsValueAnd(const Variant& a, const Variant& b) {
    if (a.IsNull() || b.IsNull()) {
        const Variant& other = a.IsNull() ? b : a;
        if (!other.IsNull() && IsBool(other) && !other.AsBoolean())
            return Variant(false);
        if (!other.IsNull() && !IsBool(other) && IntOperand(other) == 0)
            return IntResult(0);
        return Null();
    }
    if (IsBool(a) && IsBool(b))
        return Variant(a.AsBoolean() && b.AsBoolean());
    return IntResult(IntOperand(a) & IntOperand(b));
}

Variant fsValueOr(const Variant& a, const Variant& b) {
    if (a.IsNull() || b.IsNull()) {
        const Variant& other = a.IsNull() ? b : a;
        if (!other.IsNull() && IsBool(other) && other.AsBoolean())
            return Variant(true);
        return Null();
    }
    if (IsBool(a) && IsBool(b))
        return Variant(a.AsBoolean() || b.AsBoolean());
    return IntResult(IntOperand(a) | IntOperand(b));
}

Variant fsValueXor(const Variant& a, const Variant& b) {
    if (a.IsNull() || b.IsNull())
        return Null();
    if (IsBool(a) && IsBool(b))
        return Variant(a.AsBoolean() != b.AsBoolean());
    return IntResult(IntOperand(a) ^ IntOperand(b));
}

Variant fsValueNot(const Variant& a) {
    if (a.IsNull())
        return Null();
    if (IsBool(a))
        return Variant(!a.AsBoolean());
    return IntResult(~IntOperand(a));
}

// ---- Comparisons ---------------------------------------------------------------------------------

namespace {

// Empty meets another value as that value's zero.
Variant EmptyAs(const Variant& other) {
    if (IsText(other))
        return Variant(String());
    if (IsBool(other))
        return Variant(false);
    return Variant(0);
}

} // namespace

int fsValueCompare(const Variant& a, const Variant& b) {
    if (a.VType() == varInteger && b.VType() == varInteger) {
        const int x = a.AsInteger(), y = b.AsInteger();
        return x < y ? -1 : x > y ? 1 : 0;
    }
    if (a.IsNull() || b.IsNull())
        return a.IsNull() == b.IsNull() ? 0 : a.IsNull() ? -1 : 1;
    if (a.IsEmpty() && b.IsEmpty())
        return 0;
    if (a.IsEmpty())
        return fsValueCompare(EmptyAs(b), b);
    if (b.IsEmpty())
        return fsValueCompare(a, EmptyAs(a));
    if (IsBool(a) && IsBool(b)) // False before True (the platform counts True as -1)
        return int(a.AsBoolean()) - int(b.AsBoolean());
    if (IsText(a) != IsText(b)) {
        // A text meets a number as the number it spells (a conversion error otherwise).
        const long double x = AsNumber(a), y = AsNumber(b);
        return x < y ? -1 : x > y ? 1 : 0;
    }
    switch (VarCompareValue(a, b)) {
    case vrEqual:
        return 0;
    case vrLessThan:
        return -1;
    case vrGreaterThan:
        return 1;
    case vrNotEqual:
        break;
    }
    throw EVariantError(u"Invalid variant operation");
}

bool fsValueEquals(const Variant& a, const Variant& b) {
    if (a.IsNull() || b.IsNull())
        return a.IsNull() && b.IsNull();
    if (a.VType() == varObject || b.VType() == varObject) {
        if (a.VType() == varObject && b.VType() == varObject)
            return VarCompareValue(a, b) == vrEqual;
        // nil against 0 or Empty; any other mix differs.
        const Variant& obj = a.VType() == varObject ? a : b;
        const Variant& other = a.VType() == varObject ? b : a;
        return obj.AsObject() == nullptr && (other.IsEmpty() || (VarIsOrdinal(other) && other.AsInt64() == 0));
    }
    return fsValueCompare(a, b) == 0;
}

} // namespace vgl
