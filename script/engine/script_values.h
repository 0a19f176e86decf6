#pragma once
// The script engine's value arithmetic: what the operators of every script language do with
// Variants. Null makes arithmetic Null; Empty counts as 0 (or the empty text in concatenation); a
// text meets a number as the floating number it spells (a conversion error when it spells none).

#include "platform/rtl/variant.h"

namespace vgl {

/// a + b: texts concatenate; integers add in 64 bits and an overflow gives the floating sum.
Variant fsValueAdd(const Variant& a, const Variant& b);
/// a - b, with the integer rule of fsValueAdd.
Variant fsValueSubtract(const Variant& a, const Variant& b);
/// a * b, with the integer rule of fsValueAdd.
Variant fsValueMultiply(const Variant& a, const Variant& b);
/// a / b as a float; a zero divisor raises EZeroDivide.
Variant fsValueDivide(const Variant& a, const Variant& b);
/// a div b on integers (truncating); a zero divisor raises EDivByZero. The smallest 64-bit
/// integer divided by -1 gives the floating quotient 2^63 instead of trapping.
Variant fsValueIntDivide(const Variant& a, const Variant& b);
/// a mod b on integers (the sign of a); a zero divisor raises EDivByZero; x mod -1 is 0.
Variant fsValueModulus(const Variant& a, const Variant& b);
/// -a; negating the smallest 64-bit integer gives the floating 2^63.
Variant fsValueNegate(const Variant& a);
/// Shifts of the 64-bit pattern; a count below 0 or of 64 and more gives 0.
Variant fsValueShl(const Variant& a, const Variant& b);
Variant fsValueShr(const Variant& a, const Variant& b);

/// a and b / a or b: logical on Booleans, bitwise on integers. Null is unknown: Null and False
/// is False, Null and True is Null; Null or True is True, Null or False is Null.
Variant fsValueAnd(const Variant& a, const Variant& b);
Variant fsValueOr(const Variant& a, const Variant& b);
/// a xor b; Null gives Null.
Variant fsValueXor(const Variant& a, const Variant& b);
/// not a: logical on a Boolean, the bitwise complement on an integer; Null gives Null.
Variant fsValueNot(const Variant& a);

/// The order of two values: -1, 0 or 1. Numbers compare numerically, texts ordinally, a text
/// and a number as numbers, Booleans and dates by value. Null is below every other value and
/// equal to Null; Empty counts as 0 against a number and as the empty text against a text.
/// Raises EVariantError for values that do not compare (arrays, objects in an ordering).
int fsValueCompare(const Variant& a, const Variant& b);
/// Equality by the same rules: Null equals only Null; objects are equal when they are the same.
bool fsValueEquals(const Variant& a, const Variant& b);

} // namespace vgl
