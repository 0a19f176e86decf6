#include "platform/graphics/pen.h"

#include "platform/rtl/reflection_builder.h"

namespace vgl {

VGL_DEFINE_ENUM(TPenStyle, u"psSolid", u"psDash", u"psDot", u"psDashDot", u"psDashDotDot", u"psClear", u"psInsideFrame")

VGL_DEFINE_CLASS(TPen) {
    b.Property(u"Color", &TPen::GetColor, &TPen::SetColor).Type(ColorTypeInfo()).Default(clBlack);
    b.Property(u"Style", &TPen::GetStyle, &TPen::SetStyle).Default(psSolid);
    b.Property(u"Width", &TPen::GetWidth, &TPen::SetWidth).Default(1);
}

void TPen::Assign(const TPersistent* source) {
    if (auto* pen = dynamic_cast<const TPen*>(source))
        return SetData(pen->FData);
    TPersistent::Assign(source);
}

} // namespace vgl
