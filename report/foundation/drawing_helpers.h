#pragma once
// Drawing helpers the engine's objects share on any canvas: the design resolution, a device's
// scale against it, the background mode of text output, and the engine's metafile picture.

#include <memory>

#include "platform/graphics/canvas.h"
#include "platform/graphics/metafile.h"

namespace vgl {

/// Pixels per inch of report units on screen.
constexpr int frxDesignPPI = 96;

/// The canvas's resolution against the design resolution: Resolution / 96 on each axis. There
/// is no display mode to read here, so `keep` changes nothing.
void GetDisplayScale(const TCanvas& canvas, bool keep, long double& scaleX, long double& scaleY);

/// The background mode of the canvas's text output (TRANSPARENT or OPAQUE).
void SetCanvasBkMode(TCanvas& canvas, int mode);

/// The engine's metafile picture: drawing plays its records into the rectangle (nothing when it
/// holds none). Canvases here are true-colour, so there is no palette to realise.
class TfrxMetafile : public TMetafile {
public:
    using TMetafile::TMetafile;
    String ClassName() const override { return u"TfrxMetafile"; }
    std::unique_ptr<TGraphic> Clone() const override;
};

} // namespace vgl
