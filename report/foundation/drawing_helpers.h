#pragma once
// Drawing helpers the engine's objects share on any canvas: the design resolution, a device's
// scale against it, the background mode of text output, the engine's metafile picture and the
// per-window DPI functions.

#include <cstdint>
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
    VGL_CLASS(TfrxMetafile, TMetafile)
    TfrxMetafile() = default;
    TfrxMetafile(int width, int height) : TMetafile(width, height) {}
    std::unique_ptr<TGraphic> Clone() const override;
};

/// The handle of a window, which stands for the screen here: no windows exist.
using TfrxWindowHandle = std::uintptr_t;
/// A thread's DPI-awareness context value; −1 stands for "unaware" and 0 for "not set".
using TfrxDpiContext = std::intptr_t;

/// Pixels per inch of a window. The system's per-window DPI entry point does not exist on this
/// platform, so this is the screen's resolution, frxDesignPPI (96).
int GetWindowPPI(TfrxWindowHandle window);
/// Sets the thread's DPI-awareness context through the system entry point when there is one;
/// there is none here, so it changes nothing and gives 0.
TfrxDpiContext SetThreadDPIContext(TfrxDpiContext context);
/// The thread's DPI-awareness context from the system entry point when there is one; there is
/// none here, so −1.
TfrxDpiContext GetThreadDPIContext();

} // namespace vgl
