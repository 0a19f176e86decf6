#pragma once
// The modules of a 2D symbol: a flat grid of width x height cells, each dark or light, with
// checked access.

#include <cstdint>
#include <vector>

namespace vgl {

class TModuleMatrix {
public:
    /// The empty matrix (0 x 0).
    TModuleMatrix() = default;
    /// A matrix of light modules. Raises ERangeError for a negative side.
    TModuleMatrix(int width, int height);

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    bool Empty() const { return FWidth == 0 || FHeight == 0; }

    /// The module in `column` of `row`. Raises ERangeError outside the matrix.
    bool IsDark(int column, int row) const { return FCells[Index(column, row)] != 0; }
    void SetDark(int column, int row, bool dark = true) { FCells[Index(column, row)] = dark ? 1 : 0; }

    friend bool operator==(const TModuleMatrix&, const TModuleMatrix&) = default;

private:
    std::size_t Index(int column, int row) const;

    int FWidth = 0;
    int FHeight = 0;
    std::vector<std::uint8_t> FCells; // row by row
};

} // namespace vgl
