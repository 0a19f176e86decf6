#include "report/foundation/drawing_helpers.h"

#include "platform/rtl/reflection_builder.h"

namespace vgl {

void GetDisplayScale(const TCanvas& canvas, bool /*keep*/, long double& scaleX, long double& scaleY) {
    const TPoint ppi = canvas.Resolution();
    scaleX = (long double)ppi.X / frxDesignPPI;
    scaleY = (long double)ppi.Y / frxDesignPPI;
}

void SetCanvasBkMode(TCanvas& canvas, int mode) {
    canvas.SetBkMode(mode);
}

VGL_DEFINE_CLASS(TfrxMetafile) {}

std::unique_ptr<TGraphic> TfrxMetafile::Clone() const {
    auto copy = std::make_unique<TfrxMetafile>();
    copy->Assign(*this);
    return copy;
}

int GetWindowPPI(TfrxWindowHandle /*window*/) {
    return frxDesignPPI;
}

TfrxDpiContext SetThreadDPIContext(TfrxDpiContext /*context*/) {
    return 0;
}

TfrxDpiContext GetThreadDPIContext() {
    return -1;
}

} // namespace vgl
