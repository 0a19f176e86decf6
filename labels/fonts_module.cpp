#include "labels/fonts_module.h"

#include "platform/graphics/label_fonts.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/resources.h"

namespace vgl {

VGL_DEFINE_CLASS(TDMFonts) {}

namespace {

TDataEmbedded* MakeFontComponent(TComponent* owner, const String& name, const char16_t* resource) {
    auto* component = new TDataEmbedded(owner);
    component->SetName(name);
    auto bytes = FindResource(resource, u"FONT");
    if (!bytes)
        throw EInvalidOperation(u"The font resource %s is missing", {String(resource)});
    TBytesStream data(*bytes);
    component->SetData(data);
    return component;
}

} // namespace

TDMFonts::TDMFonts(TComponent* owner) : TComponent(owner) {
    SetName(u"DMFonts");
    FFontArialNarrow = MakeFontComponent(this, u"FontArialNarrow", u"LiberationSansNarrow-Regular");
    FFontArialNarrowBold = MakeFontComponent(this, u"FontArialNarrowBold", u"LiberationSansNarrow-Bold");
    DataModuleCreate(this);
}

void TDMFonts::DataModuleCreate(TObject*) {
    TMemoryStream regular;
    FFontArialNarrow->DataSaveToStream(regular);
    TMemoryStream bold;
    FFontArialNarrowBold->DataSaveToStream(bold);
    RegisterLabelFonts(regular.Bytes(), bold.Bytes());
}

} // namespace vgl
