#pragma once
// The paper table: the platform's paper codes with their sizes, from which report pages take
// their default sizes and the virtual printer its paper list.

#include <span>

namespace vgl {

/// The custom-size paper code: its width and height are given, not looked up.
constexpr int PaperCustom = 256;
/// A4, the default paper of the virtual printer.
constexpr int PaperA4 = 9;

/// One row of the paper table: the paper code and its portrait size in tenths of a millimetre.
/// The table carries no names.
struct TPaperInfo {
    int Typ;
    int X;
    int Y;
};

/// The 66 rows, codes 1 to 68 without 48 and 49, in code order.
std::span<const TPaperInfo> PaperInfo();

/// The portrait width and height in millimetres of paper `code`; false (and both untouched)
/// when the table has no such code.
bool LookupPaperSize(int code, long double& width, long double& height);

} // namespace vgl
