#pragma once
// Rounding rules of the platform.

#include <cstdint>

namespace vgl {

/// Round to the nearest integer, halves to even (banker's rounding). Raises EInvalidOp for
/// NaN or a value outside 64 bits.
std::int64_t Round(long double v);
/// Toward zero. Raises EInvalidOp for NaN or a value outside 64 bits.
std::int64_t Trunc(long double v);
/// Fraction part (sign kept).
long double Frac(long double v);
/// Largest integer ≤ v / smallest integer ≥ v.
std::int64_t Floor(long double v);
std::int64_t Ceil(long double v);
/// a * b / c with a 64-bit intermediate, rounded half away from zero; -1 when c is 0.
int MulDiv(int a, int b, int c);
/// Rounds to 10^digit with halves away from zero (the platform's SimpleRoundTo; digit -2 is
/// two decimals).
long double SimpleRoundTo(long double v, int digit = -2);
/// RoundTo: like SimpleRoundTo but halves to even.
long double RoundTo(long double v, int digit);
/// |a - b| compared with a tolerance (0 = a scale-dependent default).
bool SameValue(long double a, long double b, long double epsilon = 0);

} // namespace vgl
