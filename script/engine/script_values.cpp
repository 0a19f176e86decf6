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

} // namespace vgl
