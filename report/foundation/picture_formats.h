#pragma once
// Start-up and shut-down of the picture formats: the picture-format registry's entries and the
// engine's own picture classes known to the platform's picture container.

namespace vgl {

/// Registers the formats in their documented order (WMF, EMF, FREMF, ICO, JPG, PNG, GIF, BMP), and TPNGObject
/// ("PNG_OLD") and TfrxGIFGraphic ("GIF") with the picture container. Called by InitializeReportFoundation.
void RegisterPictureFormats();
/// Removes what RegisterPictureFormats added (the picture-container classes too), in reverse
/// order; the emptied registry is destroyed.
void UnregisterPictureFormats();

} // namespace vgl
