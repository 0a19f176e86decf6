#pragma once
// The error of the 2D symbol settings, shared by the symbol encoders and the 2D barcode component.

#include "platform/rtl/exceptions.h"

namespace vgl {

/// Raised by the 2D symbol settings for out-of-range property values.
VGL_DECLARE_EXCEPTION(EBarcode2DError, Exception);

} // namespace vgl
