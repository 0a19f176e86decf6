#include "codes/module_matrix.h"

#include "platform/rtl/exceptions.h"
#include "platform/rtl/format.h"

namespace vgl {

TModuleMatrix::TModuleMatrix(int width, int height) {
    if (width < 0 || height < 0)
        throw ERangeError(Format(u"Invalid module matrix size %d x %d", {width, height}));
    FWidth = width;
    FHeight = height;
    FCells.assign(std::size_t(width) * std::size_t(height), 0);
}

std::size_t TModuleMatrix::Index(int column, int row) const {
    if (column < 0 || column >= FWidth || row < 0 || row >= FHeight)
        throw ERangeError(Format(u"Module (%d, %d) lies outside the %d x %d matrix", {column, row, FWidth, FHeight}));
    return std::size_t(row) * std::size_t(FWidth) + std::size_t(column);
}

} // namespace vgl
