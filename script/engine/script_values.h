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

} // namespace vgl
