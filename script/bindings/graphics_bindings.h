#pragma once
// The graphics bindings: one constant per named colour, the font, pen and brush enumerations,
// and the font, pen, brush, canvas, graphic, picture, metafile and bitmap classes. Registration
// only: the published properties work, the registered members raise until their branches exist.

#include "platform/graphics/color.h"
#include "script/bindings/binding_module.h"

namespace vgl::fs_graphics {

class TFunctions : public TfsPendingModule {
public:
    explicit TFunctions(TfsScript* script);
};

std::unique_ptr<TfsRTTIModule> Make(TfsScript* script);

/// The colour a script constant of that colour name holds: the platform's colour, with a system
/// colour written as FF000000 plus its index (so scripts see system colours as negative numbers).
TColor ScriptColor(TColor color);

} // namespace vgl::fs_graphics
