#include "platform/graphics/brush.h"

#include "platform/rtl/reflection_builder.h"

namespace vgl {

VGL_DEFINE_ENUM(TBrushStyle, u"bsSolid", u"bsClear", u"bsHorizontal", u"bsVertical", u"bsFDiagonal", u"bsBDiagonal",
                u"bsCross", u"bsDiagCross")

VGL_DEFINE_CLASS(TBrush) {
    b.Property(u"Color", &TBrush::GetColor, &TBrush::SetColor).Type(ColorTypeInfo()).Default(clWhite);
    b.Property(u"Style", &TBrush::GetStyle, &TBrush::SetStyle).Default(bsSolid);
}

void TBrush::Assign(const TPersistent* source) {
    if (auto* brush = dynamic_cast<const TBrush*>(source))
        return SetData(brush->FData);
    TPersistent::Assign(source);
}

} // namespace vgl
