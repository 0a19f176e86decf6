#pragma once
// Start-up and shut-down of the picture formats: the picture-format registry's entries and the
// engine's own picture classes known to the platform's picture container.

namespace vgl {

/// Registers the formats in their documented order (JPG, PNG, BMP) and TPNGObject with the picture
/// container ("PNG_OLD"). Called by InitializeReportFoundation.
void RegisterPictureFormats();
/// Removes what RegisterPictureFormats added, in reverse order; the emptied registry is destroyed.
void UnregisterPictureFormats();

} // namespace vgl
